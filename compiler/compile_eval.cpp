// Texts compiled and run among the variables of a frame: eval texts,
// command lines and texts run by natives; the variable table of that frame
// grown for the names the text adds, and generated code run as a function.
//
// The frame keeps the slots of its variables where its running code expects
// them: a text only appends variables, and nothing is compacted.
#include "compiler/compile_calls.hpp"
#include "compiler/compile_memory.hpp"
#include "compiler/function_table.hpp"
#include "engine/calls.hpp"
#include "engine/engine.hpp"
#include "engine/frames.hpp"
#include "engine/raise.hpp"
#include "engine/values.hpp"

namespace vke {

namespace {

// Room kept free on the descriptor stack when a frame's table grows.
constexpr uint32_t kKeptDescWords = 1024;
constexpr uint32_t kExtraNames = 16;
// Frames of texts run within one frame's variables, at most.
constexpr int32_t kMaxTextNesting = 2048;

// The 32-byte name of variable i of frame f (null when it has none).
const char* FrameVariableName(EngineContext* ctx, int32_t f, int32_t i) {
  const uint32_t* w = FrameWords(ctx, f);
  const int32_t at = static_cast<int32_t>(w[kFwHeader]);
  if (at == 0) {
    const uint32_t capacity = w[kFwNameCapacity];
    if (static_cast<uint32_t>(i) >= capacity) return nullptr;
    return reinterpret_cast<const char*>(w + kFrameHeaderWords + capacity +
                                         static_cast<uint32_t>(i) * (kFrameNameBytes / 4));
  }
  uint8_t* block;
  if (at > 0) {
    block = ctx->CodeBytes() + 2ull * static_cast<uint32_t>(at);
  } else if (at < -1) {
    block = ctx->DataBytes() + 2ull * static_cast<uint32_t>(-2 - at);
  } else {
    return nullptr;
  }
  const FunctionHeader h = ReadFunctionHeader(block);
  if (!h.HasNames() || i >= h.vars) return nullptr;
  return reinterpret_cast<const char*>(block + 2ull * (h.NamesAt() + kFnNameUnits * i));
}

// Gives frame f room for `count` more variables named by `names` (32 bytes
// each), holding every name in the frame. The entries and frames above it
// move up; 182 when the descriptor stack has no room.
ErrCode GrowFrameVariables(EngineContext* ctx, int32_t f, const char* names, int32_t count) {
  if (count <= 0) return kOk;
  uint32_t* w = FrameWords(ctx, f);
  const uint32_t vars = w[kFwVarCount];
  const uint32_t capacity = w[kFwNameCapacity];
  const bool held = static_cast<int32_t>(w[kFwHeader]) == 0 && capacity > 0;
  if (held && vars + count <= capacity) {
    for (int32_t i = 0; i < count; i++) {
      w[kFrameHeaderWords + vars + i] = static_cast<uint32_t>(-1);
      std::memcpy(w + kFrameHeaderWords + capacity + (vars + i) * (kFrameNameBytes / 4),
                  names + 32ull * i, kFrameNameBytes);
    }
    w[kFwVarCount] = vars + count;
    return kOk;
  }
  const uint32_t newCapacity = vars + count + kExtraNames;
  const uint32_t oldFixed = FrameFixedWords(w);
  const uint32_t newFixed = kFrameHeaderWords + newCapacity * (1 + kFrameNameBytes / 4);
  const uint32_t delta = newFixed - oldFixed;
  if (uint64_t{ctx->descTop} + delta + kKeptDescWords > ctx->descCap) return kErrVarTableOverflow;
  // The names as they are now (they may lie in the frame itself).
  char saved[kFrameNameBytes];
  uint32_t* base = ctx->DescWords();
  const uint32_t above = static_cast<uint32_t>(f) + oldFixed;
  std::memmove(base + above + delta, base + above, 4ull * (ctx->descTop - above));
  w = FrameWords(ctx, f);
  uint32_t* newNames = w + kFrameHeaderWords + newCapacity;
  // Old names first, from the last so that moving within the frame is safe.
  for (int32_t i = static_cast<int32_t>(vars) - 1; i >= 0; i--) {
    const char* name = held ? reinterpret_cast<const char*>(w + kFrameHeaderWords + capacity +
                                                            i * (kFrameNameBytes / 4))
                            : FrameVariableName(ctx, f, i);
    if (name)
      std::memcpy(saved, name, kFrameNameBytes);
    else
      std::memset(saved, 0, kFrameNameBytes);
    std::memcpy(newNames + i * (kFrameNameBytes / 4), saved, kFrameNameBytes);
  }
  for (uint32_t i = vars; i < newCapacity; i++) {
    w[kFrameHeaderWords + i] = static_cast<uint32_t>(-1);
    std::memset(newNames + i * (kFrameNameBytes / 4), 0, kFrameNameBytes);
  }
  for (int32_t i = 0; i < count; i++)
    std::memcpy(newNames + (vars + i) * (kFrameNameBytes / 4), names + 32ull * i, kFrameNameBytes);
  w[kFwVarCount] = vars + count;
  w[kFwNameCapacity] = newCapacity;
  w[kFwHeader] = 0;
  // The frames above follow.
  ctx->descTop += delta;
  if (ctx->curFrame > f) {
    int32_t g = ctx->curFrame + static_cast<int32_t>(delta);
    ctx->curFrame = g;
    for (;;) {
      uint32_t* gw = FrameWords(ctx, g);
      int32_t previous = g - static_cast<int32_t>(gw[kFwBackLink]);
      if (previous - static_cast<int32_t>(delta) <= f) {
        gw[kFwBackLink] += delta;
        break;
      }
      g = previous;
    }
  }
  return kOk;
}

}  // namespace

int32_t CurrentScope(EngineContext* ctx) {
  if (ctx->curFrame < 0) return 0;
  const int32_t scope = static_cast<int32_t>(FrameWords(ctx, ctx->curFrame)[kFwCaller1]);
  return scope > 0 ? scope : 0;
}

int32_t InnermostVariableFrame(EngineContext* ctx) {
  for (int32_t f = ctx->curFrame; f >= 0; f = PreviousFrame(ctx, f))
    if (static_cast<int32_t>(FrameWords(ctx, f)[kFwVarCount]) > 0) return f;
  return -1;
}

int32_t InnermostFrameVariables(EngineContext* ctx) {
  const int32_t f = InnermostVariableFrame(ctx);
  return f < 0 ? 0 : static_cast<int32_t>(FrameWords(ctx, f)[kFwVarCount]);
}

bool VariableIsSet(EngineContext* ctx, int32_t i) {
  const int32_t f = InnermostVariableFrame(ctx);
  if (f < 0 || i < 0 || static_cast<uint32_t>(i) >= FrameWords(ctx, f)[kFwVarCount]) return false;
  return VariableValueBlock(ctx, static_cast<int32_t>(FrameWords(ctx, f)[kFrameHeaderWords + i])) >
         0;
}

ErrCode EvaluateSourceText(EngineContext* ctx, const char* text, int32_t length, int32_t scope,
                           int32_t results, uint32_t flags) {
  const int32_t f = InnermostVariableFrame(ctx);
  if (f < 0) return kErrBadContext;
  // Every variable of a text is reached through the texts between it and
  // its frame: texts that run texts without end stop at a depth that keeps
  // that walk as short as the stacks keep ordinary recursion.
  int32_t levels = 0;
  for (int32_t g = ctx->curFrame; g > f && levels <= kMaxTextNesting; g = PreviousFrame(ctx, g))
    levels++;
  if (levels > kMaxTextNesting) return kErrStackOverflow;
  WithheldSpace withheld(ctx);
  Scratch scratch;
  if (ErrCode e = withheld.TakeScratch(&scratch)) return e;
  const int32_t frameVars = static_cast<int32_t>(FrameWords(ctx, f)[kFwVarCount]);
  char* names = static_cast<char*>(scratch.Take(static_cast<uint32_t>(frameVars) * 32 + 8));
  const uint32_t codeRoom = scratch.Free() / 3 & ~7u;
  auto* code = static_cast<int16_t*>(scratch.Take(codeRoom));
  if (!names || !code) return kErrCompOutOfMemory;
  for (int32_t i = 0; i < frameVars; i++) {
    const char* name = FrameVariableName(ctx, f, i);
    if (name)
      std::memcpy(names + 32ull * i, name, 32);
    else
      std::memset(names + 32ull * i, 0, 32);
  }
  CompileRequest request;
  request.text = text;
  request.length = length;
  request.isText = true;
  request.keepAns = (flags & kEvalKeepAns) != 0;
  request.scope = scope;
  request.frameNames = names;
  request.frameVars = frameVars;
  request.baseEntries = 1;
  request.results = results > 0 ? results : 0;
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
    if (2u * static_cast<uint32_t>(block.words + 1) > codeRoom) return kErrCodeOverflow;
    code[block.words - 1] = kOpVariables;
    code[block.words++] = kOpHalt;
  }
  if (e) return e;
  if ((e = GrowFrameVariables(ctx, f, block.varNames + 32ull * frameVars, block.vars - frameVars)))
    return e;
  CallInfo info;
  info.returnTo = {ctx->cpKind, ctx->cpOffset};
  info.scope = scope;
  if ((e = CallCompiledFunction(ctx, info, kCallText, 0, results > 0 ? results : 0))) return e;
  // The code becomes the frame's first entry: a value of its size.
  withheld.Release();
  const uint32_t units = (2u * static_cast<uint32_t>(block.words) + 7) / 8;
  uint8_t* data;
  if ((e = PushEntry(ctx, 0, units, static_cast<int32_t>(units), false, &data))) {
    UnwindCallFrames(ctx, static_cast<int32_t>(ctx->curFrame));
    return e;
  }
  std::memmove(data, code, 2ull * block.words);
  ctx->cpKind = kCodeDataStack;
  ctx->cpOffset = static_cast<uint32_t>(data - ctx->DataBytes());
  ctx->cpFlag = 0;
  if (flags & kEvalCompileFunctions) {
    e = CompilePendingFunctions(ctx, false);
    if (e == kErrFunNotFound) e = kOk;
  }
  return e;
}

ErrCode CompileCommandLine(EngineContext* ctx, const char* text, int32_t length) {
  if (IsDebugging(ctx)) {
    // Stopped in the debugger: an empty line steps, anything else runs in
    // the stopped frame.
    bool blank = true;
    for (int32_t i = 0; i < length && blank; i++)
      blank = text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n';
    ErrCode e = blank ? CallFunctionByName(ctx, "dbstep", 6, 0, 0, 0)
                      : EvaluateSourceText(ctx, text, length, CurrentScope(ctx), 0, kEvalKeepAns);
    if (e && e != kStatusSuspended && e != kStatusDebug) PrintError(ctx, e, true);
    return e;
  }
  int32_t cli;
  ErrCode e = CommandLineLibrary(ctx, &cli);
  if (!e) e = ProcessUseStatements(ctx, cli, text, length, nullptr, 0, true);
  if (!e) {
    e = DefineSourceFunctions(ctx, text, length, cli);
    if (e == kErrFunNotFound) e = kOk;
  }
  if (!e) e = LoadLibraryDefinitions(ctx, cli, "", 0, nullptr, 0);
  if (!e) e = EvaluateSourceText(ctx, text, length, cli, 0, kEvalKeepAns);
  if (e && e != kStatusSuspended && e != kStatusDebug) {
    PrintError(ctx, e, true);
    ctx->cpKind = kCodeNone;
  }
  return e;
}

}  // namespace vke
