// The compile driver: one function or text through both passes into a
// block, function-table entries compiled at the code area's fill position
// on demand, and the functions of a source text defined and compiled.
#include "compiler/compile_internal.hpp"
#include "compiler/compile_memory.hpp"
#include "compiler/library_source.hpp"
#include "compiler/optimize.hpp"
#include "compiler/scan.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/raise.hpp"
#include "engine/room_requests.hpp"

namespace vke {

namespace {

// Entries kept free before a compilation, which cannot grow the table.
constexpr uint32_t kSpareEntries = 8;
// Marks an entry whose source was missing during CompilePendingFunctions.
constexpr int32_t kCodeMissing = -3;

ErrCode RaiseFunctionError(EngineContext* ctx, ErrCode code, int32_t index) {
  const FunctionTableEntry* e = GetFunctionEntry(ctx, index);
  ErrorDetails d;
  d.fieldId = e ? e->nameId : 0;
  int32_t length = 0;
  const char* name = e ? NameText(ctx, e->nameId, &length) : nullptr;
  d.name = name;
  d.integer = name ? length : -1;
  return RaiseErrorWithDetails(ctx, code, d);
}

}  // namespace

ErrCode CompileFunction(EngineContext* ctx, const CompileRequest& request, int16_t* buffer,
                        int32_t capacity, bool inCodeArea, Scratch* scratch, CompiledBlock* out) {
  // Code compiled from the host's named source file counts its lines as
  // the file does, so that its errors, compiled or run, name them.
  CompileRequest placed = request;
  placed.firstLine += SourceFileLineOffset(ctx, request.text);
  CompileUnit u;
  u.ctx = ctx;
  u.request = &placed;
  u.scratch = scratch;
  u.laterFunctions = !request.isText || request.laterFunctions;
  u.line = placed.firstLine;
  const uint8_t wasCompiling = ctx->compiling;
  ctx->compiling = 1;
  struct Restore {
    EngineContext* ctx;
    uint8_t value;
    ~Restore() {
      ctx->compiling = value;
      NoteCodeChanged();
    }
  } restore{ctx, wasCompiling};

  if (ErrCode e = u.vars.Open(scratch)) return CompileError(u, e);
  for (int32_t i = 0; i < request.frameVars; i++) {
    const char* name = request.frameNames + static_cast<size_t>(i) * kVarNameBytes;
    int32_t index;
    if (ErrCode e = u.vars.AddRaw(name, &index)) return CompileError(u, e);
  }
  const StatementRecord* first = nullptr;
  int32_t count = 0;
  if (ErrCode e = ParseStatements(u, request.text, request.length, &first, &count)) return e;
  // The variables are known from here on, whatever the code makes of them.
  out->vars = u.vars.Count();
  out->varNames = u.vars.Name(0);
  if (!request.isText || request.keepAns) u.ansVar = u.vars.Find("ans", 3);

  // Header and variable table of a function block.
  const int32_t vars = u.vars.Count();
  u.header.vars = static_cast<uint16_t>(vars);
  u.code.Open(buffer, capacity, inCodeArea ? ctx : nullptr);
  if (!request.isText) {
    const int32_t codeAt = static_cast<int32_t>(kFnHeaderUnits) + vars * (1 + kFnNameUnits);
    if (u.code.Reserve(codeAt) || RoomRefused(RoomKind::kCode))
      return CompileError(u, kErrCodeOverflow);
    std::memset(buffer, 0, 2ull * codeAt);
    Store<FunctionHeader>(buffer, u.header);
    std::memcpy(buffer + kFnHeaderUnits + vars, u.vars.Name(0), static_cast<size_t>(vars) * 32);
    u.code.Truncate(codeAt);
  }
  u.codeStart = u.code.Pos();
  if (ErrCode e = CompileStatements(u, first, count)) return e;

  int32_t words = u.code.Pos();
  if (!request.isText && request.removeNames && vars > 0) {
    const int32_t names = static_cast<int32_t>(kFnHeaderUnits) + vars;
    std::memmove(buffer + names, buffer + u.codeStart, 2ull * (words - u.codeStart));
    words -= vars * kFnNameUnits;
    u.codeStart = names;
    u.header.flags |= kFnNoNames;
    Store<FunctionHeader>(buffer, u.header);
  }
  if (ctx->optLevel >= 2)
    OptimizeJumps(buffer + u.codeStart, words - u.codeStart, ctx->optLevel >= 3);
  out->words = words;
  out->header = u.header;
  out->vars = vars;
  out->varNames = u.vars.Name(0);
  return kOk;
}

ErrCode CompileFunctionEntry(EngineContext* ctx, int32_t index, const char* source, int32_t length,
                             int32_t firstLine) {
  FunctionTableEntry* entry = GetFunctionEntry(ctx, index);
  if (!entry || !IsFunctionEntry(*entry)) return kErrUndefFunOrVar;
  if (entry->code > 0) return RaiseFunctionError(ctx, kErrFunAlreadyDefined, index);
  if (ctx->funcCap - ctx->funcCount < kSpareEntries) GrowFunctionTable(ctx);

  WithheldSpace withheld(ctx);
  if (!source) {
    ErrCode e = withheld.LoadSource(index, &source, &length, &firstLine);
    if (e == kErrSrcNotFound || e == kErrLibNotFound || e == kErrFileNotFound)
      return RaiseFunctionError(ctx, kErrUndefFunOrVar, index);
    if (e) return e;
  }
  Scratch scratch;
  if (ErrCode e = withheld.TakeScratch(&scratch)) return e;
  entry = GetFunctionEntry(ctx, index);
  CompileRequest request;
  request.text = source;
  request.length = length;
  request.firstLine = firstLine;
  request.function = index;
  request.scope = static_cast<int32_t>(entry->info & kEntrySourceMask);
  const uint32_t start = (ctx->codeEnd + kCodeBlockAlign - 1) / kCodeBlockAlign * kCodeBlockAlign;
  if (int64_t{start} * 2 > int64_t{ctx->codeSize} * 2 + ctx->nameStart) return kErrCodeOverflow;
  auto* buffer = reinterpret_cast<int16_t*>(ctx->CodeBytes() + 2ull * start);
  const int32_t capacity = static_cast<int32_t>(ctx->codeSize - start);
  CompiledBlock block;
  if (ErrCode e = CompileFunction(ctx, request, buffer, capacity, true, &scratch, &block)) return e;
  entry = GetFunctionEntry(ctx, index);
  if (entry->info & kEntryRestricted) {
    block.header.flags |= kFnRestricted;
    Store<FunctionHeader>(buffer, block.header);
  }
  int32_t position;
  if (ErrCode e = ReserveCodeBlock(ctx, block.words, &position)) return e;
  entry->code = position;
  return kOk;
}

ErrCode CompilePendingFunctions(EngineContext* ctx, bool includeKnown) {
  return CompilePending(ctx, includeKnown, 1);
}

ErrCode CompilePending(EngineContext* ctx, bool includeKnown, uint32_t reportFrom) {
  ErrCode result = kOk;
  for (uint32_t i = 1; i < ctx->funcCount; i++) {
    FunctionTableEntry* e = GetFunctionEntry(ctx, static_cast<int32_t>(i));
    if (!IsFunctionEntry(*e) || !(e->code == kCodeNotCompiled || (includeKnown && e->code == 0)))
      continue;
    ErrCode err = CompileFunctionEntry(ctx, static_cast<int32_t>(i), nullptr, 0, 1);
    if (err == kErrUndefFunOrVar) {
      if (i >= reportFrom) {
        RaiseFunctionError(ctx, kErrFunNotFound, static_cast<int32_t>(i));
        result = kErrFunNotFound;
      }
      GetFunctionEntry(ctx, static_cast<int32_t>(i))->code = kCodeMissing;
    } else if (err) {
      result = err;
      break;
    }
    i = 0;  // the table may have changed: start again
  }
  for (uint32_t i = 1; i < ctx->funcCount; i++) {
    FunctionTableEntry* e = GetFunctionEntry(ctx, static_cast<int32_t>(i));
    if (IsFunctionEntry(*e) && e->code == kCodeMissing) e->code = kCodeNotCompiled;
  }
  return result;
}

ErrCode DefineSourceFunctions(EngineContext* ctx, const char* text, int32_t length,
                              int32_t library) {
  // Functions that went missing before (left by an earlier text) are tried
  // again but are not this text's to report.
  const uint32_t firstNew = ctx->funcCount;
  // Every definition first, so that the functions find one another, then
  // each compiled from its place in the text.
  for (int32_t compile = 0; compile < 2; compile++) {
    SourceScan scan;
    ScannedDefinition d;
    ErrCode e;
    while ((e = ScanSourceForFunctions(ctx, text, length, &scan, &d, false, false)) == kOk) {
      if (d.nameLength > kMaxIdentifierLength) {
        ErrorDetails details;
        details.name = d.name;
        details.integer = d.nameLength;
        const ErrCode tooLong = RaiseErrorWithDetails(ctx, kErrNameTooLong, details);
        if (tooLong == kErrNameTooLong) PlaceTextError(ctx, tooLong, text, d.line, details);
        return tooLong;
      }
      int32_t index;
      if ((e = DefineFunctionEntry(ctx, d.name, d.nameLength, d.library, d.libraryLength, library,
                                   d.isPrivate, false, &index)))
        return e;
      if (compile &&
          (e = CompileFunctionEntry(ctx, index, text + d.start, length - d.start, d.line)))
        return e;
    }
    if (e != kErrEof) return e;
  }
  return CompilePending(ctx, false, firstNew);
}

ErrCode CompileSourceText(EngineContext* ctx, const char* text, int32_t length, int32_t library,
                          int32_t* index) {
  SourceScan scan;
  ScannedDefinition d;
  if (ErrCode e = ScanSourceForFunctions(ctx, text, length, &scan, &d, false, false)) return e;
  if (ErrCode e = DefineFunctionEntry(ctx, d.name, d.nameLength, d.library, d.libraryLength,
                                      library, d.isPrivate, false, index))
    return e;
  return CompileFunctionEntry(ctx, *index, text + d.start, length - d.start, d.line);
}

}  // namespace vke
