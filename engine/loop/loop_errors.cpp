// The loop's error path and what it prints: the status codes that suspend,
// yield, retry or stop a run, the catch search for errors, the uncaught
// error with its call trace; and the line instruction with its echo, its
// breakpoints and its stops for the debugger.
#include <cstdio>

#include "engine/builtin_hooks.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/compile_hooks.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/loop/loop_internal.hpp"
#include "engine/memory_retry.hpp"
#include "engine/room_requests.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxTraceFrames = 1000000;
constexpr int32_t kEchoNameColumns = 16;
constexpr int32_t kEchoLineBytes = 80;
constexpr int32_t kIoEndEcho = 5;  // the I/O request that ends an echoed line
constexpr int32_t kMessageBytes = 256;
// A native ends the run where it stands: its instruction runs again when
// the run is resumed.
constexpr ErrCode kStatusRepeatLater = 503;

void AppendNumber(char* buffer, int32_t* position, int32_t size, const char* format, int32_t n) {
  char digits[48];
  const int count = std::snprintf(digits, sizeof digits, format, n);
  if (count > 0)
    AppendBytes(buffer, position, digits, count < int{sizeof digits} ? count : sizeof digits - 1,
                size);
}

// Appends the text of source line `line` of a function. *found is false
// when its source or that line cannot be found. A shortage of room for the
// source is a memory code where the host grows the area and runs the line
// marker again (nothing written yet); elsewhere the line is shown without
// its text.
ErrCode AppendSourceLine(EngineContext* ctx, int32_t function, int32_t line, char* out,
                         int32_t* position, int32_t size, bool* found) {
  *found = false;
  if (function < 0) return kOk;
  uint32_t freeBytes = 0;
  GetDataStackFree(ctx, &freeBytes, nullptr);
  DataScratch scratch(ctx);
  uint32_t at;
  const uint32_t bytes = freeBytes / 2 & ~7u;
  ErrCode e = bytes < 64 ? kErrDataOverflow : scratch.Reserve(bytes, &at);
  char* text = e ? nullptr : reinterpret_cast<char*>(ctx->Bytes() + at);
  int32_t length = 0, current = 0;
  if (!e && ctx->compileHooks)
    e = ctx->compileHooks->functionSource(ctx, function, text, static_cast<int32_t>(bytes), &length,
                                          &current);
  if (e || !ctx->compileHooks) return IsEngineMemoryCode(e) && HostGrowsForRoom(ctx) ? e : kOk;
  int32_t i = 0;
  while (current < line && i < length) {
    const char c = text[i++];
    if (c == '\r' && i < length && text[i] == '\n') i++;
    if (c == '\r' || c == '\n') current++;
  }
  if (current != line || i >= length) return kOk;
  int32_t end = i;
  while (end < length && text[end] != '\r' && text[end] != '\n') end++;
  AppendBytes(out, position, text + i, end - i, size);
  *found = true;
  return kOk;
}

// The echo of a line: the function's name in 16 columns, the line number
// in 5, a blank and the source line, at most 80 characters; *position
// stays 0 when the line is not found (nothing is echoed).
struct EchoLine {
  char text[kEchoLineBytes + 1];
  int32_t position = 0;
};
ErrCode ComposeEchoLine(EngineContext* ctx, int32_t function, int32_t line, EchoLine* echo) {
  const char* name;
  int32_t length;
  GetFunctionNameOfIndex(ctx, function, &name, &length);
  char* text = echo->text;
  int32_t position = 0;
  AppendBytes(text, &position, name, length < kEchoNameColumns ? length : kEchoNameColumns,
              sizeof echo->text);
  AppendRepeatedByte(text, &position, ' ', kEchoNameColumns - position, sizeof echo->text);
  AppendNumber(text, &position, sizeof echo->text, "%5d ", line);
  bool found;
  if (ErrCode e = AppendSourceLine(ctx, function, line, text, &position, sizeof echo->text, &found))
    return e;
  echo->position = found ? position : 0;
  return kOk;
}
void PrintEchoLine(EngineContext* ctx, const EchoLine& echo) {
  if (echo.position == 0) return;
  WriteToFd(ctx, kFdOut, echo.text, echo.position);
  WriteNewlineToFd(ctx, kFdOut);
  IoControlFd(ctx, kFdOut, kIoEndEcho, 0, nullptr, nullptr);
}

// "<name:line> " and the source line where the debugger shows a line.
struct StopLine {
  char text[kMessageBytes];
  int32_t position = 0;
};
ErrCode ComposeStopLine(EngineContext* ctx, int32_t function, int32_t line, StopLine* stop) {
  char* text = stop->text;
  int32_t position = 0;
  AppendBytes(text, &position, "<", 1, sizeof stop->text);
  if (function != -2) {
    const char* name;
    int32_t length;
    GetFunctionNameOfIndex(ctx, function, &name, &length);
    AppendBytes(text, &position, name, length < 32 ? length : 32, sizeof stop->text);
    AppendBytes(text, &position, ":", 1, sizeof stop->text);
  }
  AppendNumber(text, &position, sizeof stop->text, "%d> ", line);
  bool found;  // shown without its text when it is not
  if (ErrCode e = AppendSourceLine(ctx, function, line, text, &position, sizeof stop->text, &found))
    return e;
  stop->position = position;
  return kOk;
}
void ShowStopLine(EngineContext* ctx, const StopLine& stop) {
  WriteToFd(ctx, kFdErr, stop.text, stop.position);
  WriteNewlineToFd(ctx, kFdErr);
}

// True when a breakpoint names the function at the line (line < 0: at any
// line).
bool BreakpointIn(EngineContext* ctx, int32_t function, int32_t line) {
  if (ctx->bpTable <= 0) return false;
  uint32_t pairs = BlockUnits(ctx, ctx->bpTable);
  if (ctx->bpCount < pairs) pairs = ctx->bpCount;
  const uint8_t* p = BlockData(ctx, ctx->bpTable);
  for (uint32_t i = 0; i < pairs; i++)
    if (Load<int32_t>(p + 8ull * i) == function &&
        (line < 0 || Load<int32_t>(p + 8ull * i + 4) == line))
      return true;
  return false;
}

// The line instruction's question, asked of the table only for functions
// that have a breakpoint: a loop in a function without one pays a compare.
bool BreakpointAt(EngineContext* ctx, int32_t function, int32_t line) {
  int32_t* step = ctx->stepWords;
  if (step[kStepCachedHasBreakpoint] < 0 || step[kStepCachedFunction] != function) {
    step[kStepCachedFunction] = function;
    step[kStepCachedHasBreakpoint] = BreakpointIn(ctx, function, -1) ? 1 : 0;
  }
  return step[kStepCachedHasBreakpoint] && BreakpointIn(ctx, function, line);
}

void KillCurrentThread(EngineContext* ctx) {
  if (ctx->currentThread == 0) return;
  const uint32_t thread = ctx->currentThread;
  SwitchThreadFromLoop(ctx, 0);
  KillThread(ctx, thread);
}

Next Stop(LoopRun& run, ErrCode code, ErrCode* result) {
  LeaveRun(run.ctx);
  *result = code;
  return Next::kReturn;
}

// 504 and 502 in thread 0: other threads may run; a sliced run then ends
// its slice.
Next Yield(LoopRun& run, const int16_t* at, ErrCode* result) {
  if (YieldToThreads(run.ctx, &run.ip)) return Stop(run, kOk, result);
  if (run.ctx->currentThread != 0 || !run.sliced) return Next::kContinue;
  return HandleError(run, CheckBreakAtSliceEnd(run.ctx), at, result);
}

// Makes the error's text the last error when no message was raised for it.
void KeepAsLastError(EngineContext* ctx, ErrCode code) {
  char text[kMessageBytes];
  int32_t length = 0;
  GetErrorText(ctx, code, false, text, sizeof text, &length);
  if (FormatErrorMessage(ctx, code, text, length, false) == kOk) ClearPendingError(ctx);
}

// HandleError for an error proper, apart from the status codes, whose
// cases stay light.
Next HandleFailure(LoopRun& run, ErrCode code, const int16_t* at, ErrCode* result);

bool MayBeObjectError(ErrCode code) {
  return code == kErrWrongTypeOverload || code == kErrWrongVarType ||
         code == kErrWrongVarTypeField || code == kErrWrongVarTypeElem || code == kErrUndefField ||
         code == kErrInvalidFieldAccess;
}

}  // namespace

ErrCode LineInstruction(LoopRun& run, const int16_t* at, bool* light) {
  EngineContext* ctx = run.ctx;
  const int32_t function = at[1], line = at[2];
  *light = true;
  if (ctx->curFrame < 0) return kOk;
  uint32_t* w = FrameWords(ctx, ctx->curFrame);
  // The marker that begins every code names no function: the frame keeps
  // the function its call gave it, so that a stop at a function's entry
  // still names the function.
  if (function != -1) w[kFwFunction] = static_cast<uint32_t>(function);
  w[kFwPosition] = static_cast<uint32_t>(line);
  const bool echo = ctx->echoMode == -2 || (ctx->echoMode >= 0 && ctx->echoMode == function);
  if (ctx->bpCount > 0 && w[kFwStopRequest] == 0 && BreakpointAt(ctx, function, line))
    w[kFwStopRequest] = kStopAtNextLine;
  const uint32_t stop = w[kFwStopRequest];
  // The lines shown are read first: without room for their source the
  // marker runs again once the area has grown, nothing counted or written.
  EchoLine echoed;
  StopLine shown;
  ErrCode e = echo ? ComposeEchoLine(ctx, function, line, &echoed) : kOk;
  if (!e && stop != 0) e = ComposeStopLine(ctx, static_cast<int32_t>(w[kFwFunction]), line, &shown);
  if (e) {
    *light = false;
    return e;
  }
  if (ctx->profileTable > 0) ProfileLine(ctx, function, line);
  if (echo) PrintEchoLine(ctx, echoed);
  if (stop == 0) return kOk;
  *light = false;
  ShowStopLine(ctx, shown);
  if (stop >= kStopAtNextLine) return kStatusDebug;
  YieldRequested(ctx) = 1;
  return kOk;
}

Next HandleError(LoopRun& run, ErrCode code, const int16_t* at, ErrCode* result) {
  EngineContext* ctx = run.ctx;
  *result = code;
  switch (code) {
    case kStatusYield:
      run.ip = at + GetInstructionLength(at);
      return Yield(run, at, result);
    case kStatusRetry:
      run.ip = at;
      if (ctx->currentThread == 0) return Yield(run, at, result);
      SetCodePointer(ctx, run.ip);
      SwitchThreadFromLoop(ctx, 0);
      return Stop(run, kStatusSuspended, result);
    case kStatusSuspended:
      SetCodePointer(ctx, run.ip);
      if (ctx->currentThread != 0) SwitchThreadFromLoop(ctx, 0);
      return Stop(run, code, result);
    case kStatusRepeatLater:
      run.ip = at;
      SetCodePointer(ctx, run.ip);
      KillCurrentThread(ctx);
      return Stop(run, code, result);
    case kStatusDebug:
      SetCodePointer(ctx, run.ip);
      if (ctx->curFrame >= 0 && FrameWords(ctx, ctx->curFrame)[kFwStopRequest] >= kStopAtNextLine) {
        uint32_t* w = FrameWords(ctx, ctx->curFrame);
        w[kFwDebugKind] = ctx->cpKind;
        w[kFwDebugOffset] = ctx->cpOffset;
      }
      ctx->errLocCode = kStatusDebug;
      KillCurrentThread(ctx);
      return Stop(run, code, result);
    default:
      return HandleFailure(run, code, at, result);
  }
}

namespace {

// Instructions that, failing for lack of room with the stack at the level
// they started from, have changed nothing and can run again as they stand:
// builtins that start no code, natives, the instructions that neither act
// nor fail but for room (pushes of literals, copies and rotations of the
// top values), and the instructions that load, store, show, index and
// gather values.
bool RerunsAfterGrowth(const EngineContext* ctx, int32_t op) {
  if (op >= kFirstNativeOpcode) return true;
  if (op >= 0 && (kOpcodeTable[op].flags & kOpFlagSafe)) return true;
  switch (op) {
    case kOpLoadVar:
    case kOpStoreVar:
    case kOpShowVar:
    case kOpDisplayVar:
    case kOpStoreAnsShow:
    case kOpDup:
    case kOpPushRange:
    case kOpPushStr8:
    case kOpPushStr:
    case kOpHorzcat:
    case kOpBraceList:
    case kOpMakeList1:
    case kOpLoadField:
    case kOpLoadFieldByName:
    case kOpIndexValue:
    case kOpParenAfterIndex:
    case kOpBraceIndexValue:
    case kOpIndexField:
    case kOpIndexGroup:
    case kOpBeginningValue:
    case kOpEndValue:
    case kOpMatrixRowValue:
    case kOpMatrixColValue:
    case kOpLoadIndexed:
    case kOpLoadIndexedFirst:
    case kOpApplyParen:
    case kOpApplyBrace:
    case kOpParenAfterBrace:
    // A function reference without room leaves the name it was made of.
    case kOpMakeFunRef:
    // A call whose frame or inputs found no room has moved nothing (one
    // that ends a recursion does not run again, CallCompiledFunction); nor
    // has a call by name, or of a function value, whose callee's code,
    // frame or inputs found none: its value and arguments are left as they
    // came (CallFunctionValueWithArgs).
    case kOpCallFn:
    // A call of a function value whose callee found no room, or whose comma
    // lists found none to expand, gets its operands back as they came
    // (CallValueInstruction).
    case kOpCallValue:
    // The core subsasgn finds the room of the code it runs before it lays
    // out its operands.
    case kOpSubsasgn:
    case kOpFeval:
    case kOpBuiltin:
    // A text without room to compile or to start leaves its argument as it
    // came (EvaluateInPlaceOfInputs).
    case kOpEval:
    // A return whose results found no room where its frame begins has left
    // the frame as it was (ReturnFromCall finds their room first).
    case kOpReturn:
    // A global or persistent declaration without room has left the slot as
    // it was; the shared entry it made is found again.
    case kOpDeclareGlobal:
    // A loop's iterator without room leaves the bounds it is made of (in
    // their common class, which a second conversion keeps); its last value
    // without room leaves the iterator.
    case kOpForRangeInit:
    case kOpForRangeLast:
    // A round's value without room leaves the iterator where it was, and
    // the loop value its count of rounds.
    case kOpForRangeNext:
    case kOpForNext:
    // A line marker without room for the source line it shows has counted
    // and written nothing.
    case kOpLine:
      return true;
    default:
      return GetBuiltinDispatch(ctx, op).fn && !StartsCode(op);
  }
}

// An instruction that failed for lack of room with its operands in place
// (the stack at the level it started from) can run again as it stands once
// the host has grown the area.
bool RunsAgainAfterGrowth(const EngineContext* ctx, ErrCode code, const int16_t* at) {
  return ctx->memoryRetry && ctx->currentThread == 0 && IsEngineMemoryCode(code) &&
         ctx->descTop == ctx->instructionLevel && RerunsAfterGrowth(ctx, at[0]);
}

// Stops the run for the host to grow the area and go on at `resume`: the
// instruction again, or the instruction after a native whose entry was kept
// (KeepFailedReentry), which the run makes first. The shortage is no error:
// its message goes, and the last error caught stays what lasterr and
// lasterror give (lastCode, or the code of the last error's message where
// raising the shortage's recorded its own).
Next StopForGrowth(LoopRun& run, ErrCode code, const int16_t* resume, ErrCode lastCode,
                   ErrCode* result) {
  EngineContext* ctx = run.ctx;
  if (ctx->pendingError != -1) {
    FreeEngineBlock(ctx, ctx->pendingError);
    ctx->pendingError = -1;
    lastCode = 0;
    ReadErrorBlock(ctx, ctx->lastError, &lastCode, nullptr, nullptr);
  }
  ctx->errLocCode = lastCode;
  ClearInstructionLocation(ctx);
  ctx->memoryRetry = kMemoryRetryPending;
  run.ip = resume;
  SetCodePointer(ctx, run.ip);
  return Stop(run, code, result);
}

// The place of an instruction of the current code.
SavedCodePointer CodePlace(EngineContext* ctx, const int16_t* at) {
  const uint8_t* base = CodeAreaBase(ctx, ctx->cpKind);
  if (!base || !at) return {kCodeNone, 0};
  return {ctx->cpKind, static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(at) - base)};
}

// Whether `later` lies behind `place` in the same code (at it too when
// `orAt`).
bool IsAfter(const SavedCodePointer& later, const SavedCodePointer& place, bool orAt) {
  return later.kind == place.kind && place.kind != kCodeNone &&
         (later.offset > place.offset || (orAt && later.offset == place.offset));
}

Next HandleFailure(LoopRun& run, ErrCode code, const int16_t* at, ErrCode* result) {
  EngineContext* ctx = run.ctx;
  if (ctx->memoryRetry == kMemoryRetryDeclined && ctx->currentThread == 0) {
    // The failure the host declined to grow for takes the error path; the
    // ones after it are answered by growth again.
    ctx->memoryRetry = 0;
    const Next next = HandleFailure(run, code, at, result);
    ctx->memoryRetry = 1;
    return next;
  }
  const ErrCode lastCode = ctx->errLocCode;
  if (ctx->keptReentry.opcode && ctx->memoryRetry && ctx->currentThread == 0 &&
      IsEngineMemoryCode(code))
    return StopForGrowth(run, code, run.ip, lastCode, result);
  if (RunsAgainAfterGrowth(ctx, code, at)) return StopForGrowth(run, code, at, lastCode, result);
  // The instruction does not run again: what it kept for that goes.
  ForgetRerunProgress(ctx);
  ctx->keptReentry.opcode = 0;
  // Where it happened, and the failing builtin's or native's name.
  if (ctx->errLocFunc == -1 && ctx->errLocPos == -1) SetErrorLocation(ctx, code, 0);
  ctx->errLocCode = code;
  if (!ctx->errLocName[0] && code != kErrUser && code != kStatusHalted) {
    char name[32];
    if (GetOpcodeName(ctx, at[0], false, name) == kOk)
      CopyCStringBounded(ctx->errLocName, 33, name, 32);
  }
  if (MayBeObjectError(code)) {
    if (TryObjectPath(run, at, &code)) return Next::kContinue;
    if (code == kStatusSuspended || code == kStatusDebug) return HandleError(run, code, at, result);
    // Operands that found no room as doubles: the instruction runs again.
    if (RunsAgainAfterGrowth(ctx, code, at)) return StopForGrowth(run, code, at, lastCode, result);
  }
  if (IsEngineMemoryCode(code)) NoteFailureNotRunAgain(at[0], ctx->errLocName);
  *result = code;
  const bool sandboxed = code == kErrSecViolation || code == kErrSecViolationGlobal;
  // The stores that the error leaves unfinished leave their variables as
  // they were.
  // The user's break and quit end the run, whatever catches wait for them.
  const bool catchable = code != kStatusHalted && code != kStatusQuit;
  AbandonStores(ctx, UnwoundEntriesStart(ctx, catchable, sandboxed));
  // A message raised with its details stays pending until the catch takes it
  // or the trace prints it whole.
  if (ctx->pendingError == -1) KeepAsLastError(ctx, code);
  if (catchable) {
    const int32_t failingFrame = ctx->curFrame;
    const SavedCodePointer failing = CodePlace(ctx, at);
    SavedCodePointer handler, left{kCodeNone, 0};
    if (FindCatchFrame(ctx, sandboxed, &handler, &left)) {
      if (ctx->pendingError != -1) ClearPendingError(ctx);
      ctx->cpKind = handler.kind;
      ctx->cpOffset = handler.offset;
      run.ip = GetCodePointer(ctx);
      // A catch at or before the place its frame failed at makes a loop of
      // the failure: a sliced run ends its slice there, as at a loop's end,
      // so that a break stops it.
      const bool onward = ctx->curFrame == failingFrame
                              ? IsAfter(handler, failing, false)
                              : left.kind != kCodeNone && IsAfter(handler, left, true);
      if (run.sliced && !onward)
        if (const ErrCode e = EndOfRound(run)) return HandleError(run, e, at, result);
      return Next::kContinue;
    }
  }
  if (ctx->curFrame >= 0)
    ProfileLine(ctx, static_cast<int32_t>(FrameWords(ctx, ctx->curFrame)[kFwFunction]), -1);
  ctx->cpKind = kCodeNone;
  // The user's break is no failure the host reports: the engine says it.
  const bool reported =
      ctx->hostReportsFailures && ctx->currentThread == 0 && code != kStatusHalted;
  if (code != kStatusNoPrint && code != kStatusQuit && !reported) PrintErrorTrace(ctx, code);
  if (ctx->pendingError != -1) ClearPendingError(ctx);
  KillCurrentThread(ctx);
  return Stop(run, code, result);
}

}  // namespace

void PrintErrorTrace(EngineContext* ctx, ErrCode code) {
  PrintError(ctx, code, false);
  char text[kMessageBytes];
  int32_t repeats = 0, lastFunction = 0, lastLine = 0;
  bool printed = false;
  auto flushRepeats = [&] {
    if (repeats == 0) return;
    int32_t position = 0;
    AppendNumber(text, &position, sizeof text, "%d recursive calls", repeats + 1);
    WriteToFd(ctx, kFdErr, text, position);
    WriteNewlineToFd(ctx, kFdErr);
    repeats = 0;
  };
  int32_t f = ctx->curFrame;
  for (int32_t n = 0; f >= 0 && n < kMaxTraceFrames; n++, f = PreviousFrame(ctx, f)) {
    const uint32_t* w = FrameWords(ctx, f);
    const auto function = static_cast<int32_t>(w[kFwFunction]);
    const auto line = static_cast<int32_t>(w[kFwPosition]);
    if (function < 0 && function != -2) continue;
    if (printed && function == lastFunction && line == lastLine) {
      repeats++;
      continue;
    }
    flushRepeats();
    int32_t position = 0;
    AppendBytes(text, &position, "->", 2, sizeof text);
    if (AppendCodePlace(ctx, function, line, text, &position, sizeof text)) {
      // "-> (FILE, line N)" for the user's own code.
    } else if (function == -2) {
      AppendBytes(text, &position, " (inline)", 9, sizeof text);
      AppendNumber(text, &position, sizeof text, ";%d", line);
    } else {
      int32_t length = 0;
      AppendBytes(text, &position, " ", 1, sizeof text);
      GetFunctionNameAndLine(ctx, function, text + position, sizeof text - position, &length);
      position += length;
      AppendNumber(text, &position, sizeof text, ";%d", line);
    }
    WriteToFd(ctx, kFdErr, text, position);
    WriteNewlineToFd(ctx, kFdErr);
    printed = true;
    lastFunction = function;
    lastLine = line;
  }
  flushRepeats();
}

}  // namespace vke
