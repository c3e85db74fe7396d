// Texts compiled and run among the variables of a frame: eval texts,
// command lines and texts run by natives; the variable table of that frame
// grown for the names the text adds, and generated code run as a function.
//
// The frame keeps the slots of its variables where its running code expects
// them: a text only appends variables, and nothing is compacted.
//
// A command line typed in part is compiled to look for an error before
// its end, where more lines cannot mend it, and then taken back.

#include <algorithm>
#include <string>

#include "compiler/compile_calls.hpp"
#include "compiler/compile_memory.hpp"
#include "compiler/compile_undo.hpp"
#include "compiler/scan.hpp"
#include "compiler/tool_support.hpp"
#include "engine/code/function_table.hpp"
#include "engine/engine.hpp"
#include "engine/errors/raise.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/memory_retry.hpp"
#include "engine/room_requests.hpp"
#include "engine/text/text.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// Frames of texts run within one frame's variables, at most.
constexpr int32_t kMaxTextNesting = 2048;
// The descriptor words of one entry (the no-value marker a statement's
// text leaves, the entry its code becomes).
constexpr uint32_t kEntryDescWords = 3;

// Takes from the scratch the names of frame f's variables and the room for
// the code of a text compiled among them (*codeRoom bytes at *code), and
// sets the request of that text.
ErrCode OpenFrameText(EngineContext* ctx, int32_t f, const char* text, int32_t length,
                      int32_t scope, Scratch* scratch, CompileRequest* request, int16_t** code,
                      uint32_t* codeRoom) {
  const int32_t frameVars = static_cast<int32_t>(FrameWords(ctx, f)[kFwVarCount]);
  char* names = static_cast<char*>(scratch->Take(static_cast<uint32_t>(frameVars) * 32 + 8));
  *codeRoom = scratch->Free() / 3 & ~7u;
  *code = static_cast<int16_t*>(scratch->Take(*codeRoom));
  if (!names || !*code) return kErrCompOutOfMemory;
  for (int32_t i = 0; i < frameVars; i++) {
    const char* name = FrameVariableName(ctx, f, i);
    if (name)
      std::memcpy(names + 32ull * i, name, 32);
    else
      std::memset(names + 32ull * i, 0, 32);
  }
  request->text = text;
  request->length = length;
  request->isText = true;
  request->scope = scope;
  request->frameNames = names;
  request->frameVars = frameVars;
  request->baseEntries = 1;
  return kOk;
}

}  // namespace

ErrCode EvaluateInPlaceOfInputs(EngineContext* ctx, const char* text, int32_t length, int32_t scope,
                                int32_t inputs, int32_t nargout, uint32_t flags) {
  const int32_t f = InnermostVariableFrame(ctx);
  if (f < 0) return kErrBadContext;
  // Every variable of a text is reached through the texts between it and
  // its frame: texts that run texts without end stop at a depth that keeps
  // that walk as short as the stacks keep ordinary recursion.
  int32_t levels = 0;
  for (int32_t g = ctx->curFrame; g > f && levels <= kMaxTextNesting; g = PreviousFrame(ctx, g))
    levels++;
  if (levels > kMaxTextNesting) return NestingLimitReached(ctx);
  const int32_t results = nargout > 0 ? nargout : 0;
  // What a compilation without room left in the code area is taken back,
  // so that the text compiles cleanly when the call runs again.
  const CompileMark mark = MarkCompile(ctx);
  auto shortage = [&](ErrCode e) {
    if (IsEngineMemoryCode(e)) UndoCompile(ctx, mark);
    return e;
  };
  WithheldSpace withheld(ctx);
  Scratch scratch;
  if (ErrCode e = withheld.TakeScratch(&scratch)) return e;
  CompileRequest request;
  int16_t* code;
  uint32_t codeRoom;
  if (ErrCode e = OpenFrameText(ctx, f, text, length, scope, &scratch, &request, &code, &codeRoom))
    return e;
  const int32_t frameVars = request.frameVars;
  request.keepAns = (flags & kEvalKeepAns) != 0;
  request.results = results;
  CompiledBlock block;
  const auto compile = [&] {
    return CompileFunction(ctx, request, code, static_cast<int32_t>(codeRoom / 2), false, &scratch,
                           &block);
  };
  ErrCode e = compile();
  if (e == kErrIncorrectNargout && request.results > 0) {
    // A text that cannot give a value may not even compile: its syntax
    // error is what went wrong. Else the count error is raised again.
    request.results = 0;
    const ErrCode syntax = compile();
    request.results = results;
    e = syntax ? syntax : compile();
  }
  if (!e && (flags & kEvalReturnVariables)) {
    if (block.words < 1 || code[block.words - 1] != kOpHalt) return kErrIllegal;
    if (2u * static_cast<uint32_t>(block.words + 1) > codeRoom) return shortage(kErrCodeOverflow);
    code[block.words - 1] = kOpVariables;
    code[block.words++] = kOpHalt;
  }
  if (e) return shortage(e);
  // The room of all that follows, asked for at once: the frame's table
  // grown for the text's new variables, the text's frame, and its code as a
  // value once the compilation's room is given back. Until it is there the
  // inputs stay as given.
  const int32_t added = block.vars - frameVars;
  const uint32_t units = (2u * static_cast<uint32_t>(block.words) + 7) / 8;
  const uint64_t descNeed = uint64_t{ctx->descTop} + kFrameHeaderWords + 2 * kEntryDescWords +
                            FrameGrowthRoom(ctx, f, added);
  const uint64_t dataNeed = uint64_t{ctx->dataTop} + units;
  if (descNeed >= ctx->descCap) return shortage(kErrStackOverflow);
  if (dataNeed >= withheld.ReleasedDataCap() || RoomRefused(StackRoom(ctx)))
    return shortage(kErrDataOverflow);
  // Their room found, the steps below ask for none and cannot fail for it.
  const RoomRequestsPaused found;
  if ((e = GrowFrameVariables(ctx, f, block.varNames + 32ull * frameVars, added))) return e;
  if ((e = ReplaceInputsWithNothing(ctx, inputs, nargout))) return e;
  CallInfo info;
  info.returnTo = {ctx->cpKind, ctx->cpOffset};
  info.scope = scope;
  if ((e = CallCompiledFunction(ctx, info, kCallText, 0, results))) return e;
  // The code becomes the frame's first entry: a value of its size.
  withheld.Release();
  uint8_t* data;
  if ((e = PushEntry(ctx, 0, units, static_cast<int32_t>(units), false, &data))) {
    UnwindCallFrames(ctx, static_cast<int32_t>(ctx->curFrame));
    return e;
  }
  std::memmove(data, code, 2ull * block.words);
  NoteCodeChanged();
  ctx->cpKind = kCodeDataStack;
  ctx->cpOffset = static_cast<uint32_t>(data - ctx->DataBytes());
  ctx->cpFlag = 0;
  if (flags & kEvalCompileFunctions) {
    e = CompilePendingFunctions(ctx, false);
    if (e == kErrFunNotFound) e = kOk;
  }
  return e;
}

ErrCode EvaluateSourceText(EngineContext* ctx, const char* text, int32_t length, int32_t scope,
                           int32_t results, uint32_t flags) {
  return EvaluateInPlaceOfInputs(ctx, text, length, scope, 0, std::max(results, 0), flags);
}

namespace {

// A failure is printed, except one for want of room while the host grows
// the area and tries again (memory retry on): that attempt ends quietly.
void ReportCommandLineFailure(EngineContext* ctx, ErrCode e) {
  if (ctx->memoryRetry && IsEngineMemoryCode(e)) {
    if (ctx->pendingError != -1) ClearPendingError(ctx);
    ClearErrorLocation(ctx);
    return;
  }
  PrintError(ctx, e, true);
}

}  // namespace

ErrCode CompileCommandLine(EngineContext* ctx, const char* text, int32_t length) {
  SkipByteOrderMark(ctx, &text, &length);  // a script saved with one
  if (IsDebugging(ctx)) {
    // Stopped in the debugger: an empty line steps, anything else runs in
    // the stopped frame. The stop no longer holds the loop back, and the
    // line's frame returns to no code: where execution stopped is kept in
    // the stopped frame, from which dbcont and dbstep go on.
    if (ctx->errLocCode == kStatusDebug) ClearErrorLocation(ctx);
    ctx->cpKind = kCodeNone;
    bool blank = true;
    for (int32_t i = 0; i < length && blank; i++)
      blank = text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n';
    ErrCode e = blank ? CallFunctionByName(ctx, "dbstep", 6, 0, 0, 0)
                      : EvaluateSourceText(ctx, text, length, CurrentScope(ctx), 0, kEvalKeepAns);
    if (e && e != kStatusSuspended && e != kStatusDebug) ReportCommandLineFailure(ctx, e);
    return e;
  }
  int32_t cli;
  ErrCode e = CommandLineLibrary(ctx, &cli);
  if (!e) e = ProcessUseStatements(ctx, cli, text, length, nullptr, 0, true);
  // What the use statements did is done again alike by another attempt; the
  // definitions and code from here on are taken back when room runs out.
  const CompileMark mark = MarkCompile(ctx);
  if (!e) {
    e = DefineSourceFunctions(ctx, text, length, cli);
    if (e == kErrFunNotFound) e = kOk;
  }
  if (!e) {
    int32_t failed = -1;
    e = LoadLibraryDefinitions(ctx, cli, "", 0, nullptr, 0, &failed);
    // A library the line uses that is not there is placed at its "use".
    if (e) PlaceUseFailure(ctx, e, failed, text, length);
  }
  if (!e) e = EvaluateSourceText(ctx, text, length, cli, 0, kEvalKeepAns);
  if (e && e != kStatusSuspended && e != kStatusDebug) {
    ReportCommandLineFailure(ctx, e);
    ctx->cpKind = kCodeNone;
    if (IsEngineMemoryCode(e)) UndoCompile(ctx, mark);
  }
  return e;
}

namespace {

// The answer of a compilation of a text typed in part: what it lacks at
// its end (kErrEof) is no fault, since the lines to come may bring it.
ErrCode FaultOf(ErrCode e) {
  return e == kErrEof ? kOk : e;
}

// The fault of a text typed in part, compiled by the request (with an open
// end) into code: none when it lacks only its end, and none either when it
// compiles once the names it does not know are taken for variables, since
// the lines to come may assign them ("prev(end)" before "prev = x").
ErrCode LookFault(EngineContext* ctx, CompileRequest* request, int16_t* code, uint32_t codeRoom,
                  Scratch* scratch, CompiledBlock* block) {
  const uint32_t mark = scratch->Used();
  request->openEnd = true;
  ErrCode e = FaultOf(CompileFunction(ctx, *request, code, static_cast<int32_t>(codeRoom / 2),
                                      false, scratch, block));
  if (!e || IsEngineMemoryCode(e)) return e;
  scratch->Release(mark);
  request->unknownAsVariables = true;
  CompiledBlock asVariables;
  const ErrCode again = FaultOf(CompileFunction(
      ctx, *request, code, static_cast<int32_t>(codeRoom / 2), false, scratch, &asVariables));
  if (!again) *block = asVariables;
  return again && !IsEngineMemoryCode(again) ? e : again;
}

// The first fault among the definitions of a command line, each compiled
// from its place in the text as a function of library cli, or the memory
// code of one that ran short of room. With names given, they are the
// variables the body of the first definition is known to have, and the
// variables of the last one are put there.
ErrCode DefinitionFault(EngineContext* ctx, const char* text, int32_t length, int32_t cli,
                        Scratch* scratch, std::string* names) {
  const uint32_t start = scratch->Used();
  SourceScan scan;
  ScannedDefinition d;
  for (bool first = true; ScanSourceForFunctions(ctx, text, length, &scan, &d, false, true) == kOk;
       first = false) {
    scratch->Release(start);
    const uint32_t codeRoom = scratch->Free() / 3 & ~7u;
    auto* code = static_cast<int16_t*>(scratch->Take(codeRoom));
    if (!code) return kErrCompOutOfMemory;
    CompileRequest request;
    request.text = text + d.start;
    request.length = length - d.start;
    request.firstLine = d.line;
    request.scope = cli;
    if (first && names) {
      request.bodyNames = names->data();
      request.bodyVars = static_cast<int32_t>(names->size() / 32);
    }
    CompiledBlock block;
    if (ErrCode e = LookFault(ctx, &request, code, codeRoom, scratch, &block)) return e;
    if (names) names->assign(block.varNames, 32ull * static_cast<uint32_t>(block.vars));
  }
  scratch->Release(start);
  return kOk;
}

// The error of a text compiled as code of the innermost frame that has
// variables; names it does not know are taken for functions, since the
// lines to come may assign or define them. With names given, those are the
// variables it knows instead of the frame's (when there are any), and they
// take in the text's own once they are read.
ErrCode TextFault(EngineContext* ctx, const char* text, int32_t length, int32_t scope,
                  Scratch* scratch, std::string* names, bool knownNames) {
  const int32_t f = InnermostVariableFrame(ctx);
  if (f < 0) return kErrBadContext;
  CompileRequest request;
  int16_t* code;
  uint32_t codeRoom;
  if (ErrCode e = OpenFrameText(ctx, f, text, length, scope, scratch, &request, &code, &codeRoom))
    return e;
  if (knownNames && names && !names->empty()) {
    request.frameNames = names->data();
    request.frameVars = static_cast<int32_t>(names->size() / 32);
  }
  request.keepAns = true;
  request.laterFunctions = true;
  CompiledBlock block;
  const ErrCode e = LookFault(ctx, &request, code, codeRoom, scratch, &block);
  if (names && block.varNames && !e)
    names->assign(block.varNames, 32ull * static_cast<uint32_t>(block.vars));
  return e;
}

// The look at a text typed in part, its definitions too: with knownNames,
// names are the variables it knows, else the frame's are.
ErrCode LookAtCommandLine(EngineContext* ctx, const char* text, int32_t length, std::string* names,
                          bool knownNames, std::string* definitionNames) {
  TolerantLookup quiet(ctx);
  const CompileMark mark = MarkCompile(ctx);
  ErrCode e;
  {
    WithheldSpace withheld(ctx);
    Scratch scratch;
    // Stopped in the debugger, a line runs in the stopped frame and defines
    // nothing.
    const bool stopped = IsDebugging(ctx);
    int32_t cli = 0;
    e = withheld.TakeScratch(&scratch);
    if (!e && !stopped) e = CommandLineLibrary(ctx, &cli);
    if (!e && !stopped) e = DefinitionFault(ctx, text, length, cli, &scratch, definitionNames);
    if (!e)
      e = TextFault(ctx, text, length, stopped ? CurrentScope(ctx) : cli, &scratch, names,
                    knownNames);
  }
  // The entries the names not known yet made go again.
  UndoCompile(ctx, mark);
  quiet.Forget();
  return e;
}

}  // namespace

ErrCode CommandLineFault(EngineContext* ctx, const char* text, int32_t length, std::string* names) {
  SkipByteOrderMark(ctx, &text, &length);
  return LookAtCommandLine(ctx, text, length, names, false, nullptr);
}

ErrCode CommandLineStatementsFault(EngineContext* ctx, const char* text, int32_t length,
                                   std::string* names, std::string* definitionNames) {
  return LookAtCommandLine(ctx, text, length, names, true, definitionNames);
}

}  // namespace vke
