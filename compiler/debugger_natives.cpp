// The debugger's natives: the call stack, breakpoints and the interrupt key,
// halting, continuing, stepping and quitting, and statement echo. They work
// on the engine's debugger holders and on the frames' step words; after a
// stop, the command typed at it runs in a frame of its own above the
// stopped one, which dbcont and dbstep leave for the stop.
#include "builtins/builtin.hpp"
#include "builtins/builtin_helpers.hpp"
#include "compiler/tool_natives.hpp"
#include "compiler/tool_support.hpp"
#include "engine/engine.hpp"
#include "engine/errors/raise.hpp"
#include "engine/files/fd.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kDefaultEchoLevel = 2;
constexpr int32_t kEntryLine = 0;   // a breakpoint at the function's entry
constexpr int32_t kEveryLine = -1;  // every breakpoint of a function
constexpr int32_t kLineTextBytes = 16;

bool IsWord(const char* text, int32_t length, const char* word) {
  return StringsEqual(text, length, word, -1, false);
}

bool IsWordIgnoringCase(const char* text, int32_t length, const char* word) {
  return StringsEqual(text, length, word, -1, true);
}

// A breakpoint's function and line as dbstop and dbclear take them: the
// name (or "-interrupt") deepest, an optional line above it.
struct BreakpointArgs {
  char name[kToolNameBytes];
  int32_t length = 0;
  int32_t line = kEntryLine;
  bool lineGiven = false;
  bool interrupt = false;
};

// The line: a text of decimal digits (107 for any other character) or an
// integer (107 below 0, which no line has).
ErrCode ReadLine(EngineContext* ctx, int32_t depth, int32_t* line) {
  if (!IsCharArray(ctx, depth)) {
    ErrCode e = GetIntegerArg(ctx, depth, line);
    return e ? e : *line < 0 ? kErrBadArg : kOk;
  }
  char text[kLineTextBytes];
  int32_t length;
  if (GetStringArgToBuffer(ctx, depth, text, sizeof text, &length) || length == 0)
    return kErrBadArg;
  int64_t n = 0;
  for (int32_t i = 0; i < length; i++) {
    if (text[i] < '0' || text[i] > '9') return kErrBadArg;
    n = n * 10 + (text[i] - '0');
    if (n > INT32_MAX) return kErrBadArg;
  }
  *line = static_cast<int32_t>(n);
  return kOk;
}

ErrCode ReadBreakpointArgs(EngineContext* ctx, int32_t nargin, BreakpointArgs* args) {
  if (nargin == 2) {
    if (ErrCode e = ReadLine(ctx, 0, &args->line)) return e;
    args->lineGiven = true;
  }
  if (ErrCode e = ReadToolName(ctx, nargin - 1, args->name, &args->length)) return e;
  args->interrupt = IsWord(args->name, args->length, "-interrupt");
  if (args->interrupt && args->lineGiven) return kErrTooManyArgin;
  return kOk;
}

// The first frame from the current one outward whose step word is set,
// -1 when none is.
int32_t SteppingFrame(EngineContext* ctx) {
  for (int32_t f = ctx->curFrame; f >= 0; f = PreviousFrame(ctx, f))
    if (FrameWords(ctx, f)[kFwStopRequest] != 0) return f;
  return -1;
}

// Leaves the frames above the stop for it (400 when execution has not
// stopped, without touching any frame).
ErrCode ReturnToStop(EngineContext* ctx) {
  if (StoppedFrame(ctx) < 0) return kErrBadContext;
  return DebugUp(ctx);
}

// One "name;line" line.
ErrCode WriteFrameLine(EngineContext* ctx, int32_t fn, int32_t line) {
  ErrCode e = WriteFunctionName(ctx, kFdOut, fn);
  if (!e) e = WriteToFd(ctx, kFdOut, ";", 1);
  if (!e) e = WriteNumberToFd(ctx, kFdOut, line);
  if (!e) e = WriteNewlineToFd(ctx, kFdOut);
  return e;
}

// A structure {name, line} for one frame.
ErrCode PushFrameStructure(EngineContext* ctx, int32_t fn, int32_t line) {
  char text[kToolNameBytes];
  int32_t length = 0;
  if (fn == -2)
    AppendCString(text, &length, "(inline)", sizeof text);
  else
    GetFunctionNameAndLine(ctx, fn, text, sizeof text, &length);
  ErrCode e = PushCString(ctx, length, text);
  if (!e) e = PushListFromEntries(ctx, 1, false, "name", -1);
  if (!e) e = PushRealScalar(ctx, line);
  if (!e) e = PushListFromEntries(ctx, 1, true, "line", -1);
  return e;
}

// No frame: a 0 x 1 structure array. An empty structure array holds no
// field names (they are kept with the elements), so it has none.
ErrCode PushNoFrames(EngineContext* ctx) {
  static constexpr int32_t kNone[] = {0, 1};
  if (ErrCode e = StructarrayBuiltin(ctx, 0, 1, 0)) return e;
  if (ErrCode e = ReshapeTopCellArray(ctx, 2, kNone)) {
    Drop(ctx);
    return e;
  }
  return kOk;
}

}  // namespace

ErrCode DbstackNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  int32_t option;
  if (nargin == 1)
    if (ErrCode e = ReadOption(ctx, 0, {"all"}, &option)) return e;
  const bool all = nargin == 1;
  if (ErrCode e = RoomForNothing(ctx, nargin, nargout)) return e;
  // From the current frame (its caller when native code called it) to the
  // frame where the host or a native entered, or to the base with "all".
  int32_t f = ctx->curFrame;
  if (f >= 0 && FrameWords(ctx, f)[kFwReturnKind] == 0) f = PreviousFrame(ctx, f);
  int32_t pushed = 0;
  ErrCode e = kOk;
  for (; f >= 0 && !e; f = PreviousFrame(ctx, f)) {
    if (IsFunctionFrame(ctx, f)) {
      const uint32_t* w = FrameWords(ctx, f);
      const auto fn = static_cast<int32_t>(w[kFwFunction]);
      const auto line = static_cast<int32_t>(w[kFwPosition]);
      if (nargout < 1) {
        e = WriteFrameLine(ctx, fn, line);
      } else {
        e = PushFrameStructure(ctx, fn, line);
        pushed += e ? 0 : 1;
      }
    }
    const int32_t caller = PreviousFrame(ctx, f);
    if (!all && caller >= 0 && FrameWords(ctx, caller)[kFwReturnKind] == 0) break;
  }
  if (nargout < 1) return e ? e : ReplaceInputsWithNothing(ctx, nargin, nargout);
  if (!e && pushed == 0) {
    if (ErrCode none = PushNoFrames(ctx)) return none;
    return DropInputsUnderResult(ctx, nargin);
  }
  if (!e) e = PushListFromEntries(ctx, pushed, false, nullptr, 0);
  if (!e) e = StructListToArray(ctx);
  if (e) {
    Drop(ctx, pushed);
    return e;
  }
  return DropInputsUnderResult(ctx, nargin);
}

ErrCode DbhaltNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (ErrCode e = ReplaceInputsWithNothing(ctx, nargin, nargout)) return e;
  if (ctx->curFrame >= 0) FrameWords(ctx, ctx->curFrame)[kFwStopRequest] = kStopAtNextLine;
  return kStatusDebug;
}

ErrCode DbstopNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  BreakpointArgs args;
  if (ErrCode e = ReadBreakpointArgs(ctx, nargin, &args)) return e;
  if (args.interrupt) {
    SetInterruptDebug(ctx, 1);
  } else if (ErrCode e = SetBreakpoint(ctx, args.name, args.length, args.line)) {
    return e;
  }
  return ReplaceInputsWithNothing(ctx, nargin, nargout);
}

ErrCode DbclearNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (nargin == 0) {
    ClearBreakpoint(ctx, nullptr, 0, kEveryLine);
    return ReplaceInputsWithNothing(ctx, nargin, nargout);
  }
  BreakpointArgs args;
  if (ErrCode e = ReadBreakpointArgs(ctx, nargin, &args)) return e;
  if (args.interrupt) {
    SetInterruptDebug(ctx, 0);
  } else if (ErrCode e = ClearBreakpoint(ctx, args.name, args.length,
                                         args.lineGiven ? args.line : kEveryLine)) {
    return e;
  }
  return ReplaceInputsWithNothing(ctx, nargin, nargout);
}

ErrCode DbstatusNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  int32_t only = -1;
  char name[kToolNameBytes];
  int32_t length;
  if (ErrCode e = RoomForNothing(ctx, nargin, nargout)) return e;
  if (nargin == 1) {
    if (ErrCode e = ReadDebugFunction(ctx, 0, name, &length, &only)) return e;
  } else if (GetInterruptDebug(ctx)) {
    const char text[] = "Interrupt key enters debugging mode";
    ErrCode e = WriteToFd(ctx, kFdOut, text, sizeof text - 1);
    if (!e) e = WriteNewlineToFd(ctx, kFdOut);
    if (e) return e;
  }
  int32_t fn, line;
  for (uint32_t i = 0; GetBreakpoint(ctx, i, &fn, &line); i++)
    if (only < 0 || fn == only)
      if (ErrCode e = WriteFrameLine(ctx, fn, line)) return e;
  return ReplaceInputsWithNothing(ctx, nargin, nargout);
}

ErrCode DbcontNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  if (ErrCode e = ReturnToStop(ctx)) return e;
  // Execution runs on freely: no frame of this stop keeps a step word (a
  // caller that stepped into the stopped call would stop again at its next
  // line). The frames of an earlier stop, under the one a command at it
  // runs in, keep theirs.
  for (int32_t f = ctx->curFrame; f >= 0; f = PreviousFrame(ctx, f)) {
    uint32_t* w = FrameWords(ctx, f);
    if (w[kFwDebugKind] != 0) break;
    w[kFwStopRequest] = 0;
  }
  return kOk;
}

ErrCode DbstepNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  // Over without an option; "in" or "out".
  enum Step : int32_t { kIn = 0, kOut = 1, kOver = 2 };
  int32_t step = kOver;
  if (nargin == 1)
    if (ErrCode e = ReadOption(ctx, 0, {"in", "out"}, &step)) return e;
  if (ErrCode e = ReturnToStop(ctx)) return e;
  const int32_t f = SteppingFrame(ctx);
  if (f < 0) return kOk;
  uint32_t* w = FrameWords(ctx, f);
  switch (step) {
    case kOver:
      w[kFwStopRequest] = kStopAtNextLine;
      break;
    case kIn:
      w[kFwStopRequest] = kStepIntoCalls;
      break;
    case kOut: {
      w[kFwStopRequest] = 0;
      const int32_t caller = PreviousFrame(ctx, f);
      if (caller >= 0 && IsFunctionFrame(ctx, caller))
        FrameWords(ctx, caller)[kFwStopRequest] = kStopAtNextLine;
      break;
    }
  }
  return kOk;
}

ErrCode DbquitNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  return UnwindCallFrames(ctx, 0);
}

ErrCode EchoNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  // The level on top (removed), or, with two inputs, the state there.
  int32_t level = kDefaultEchoLevel, stateDepth = 0;
  if (nargin >= 2) {
    const ErrCode e = IsCharArray(ctx, 0) ? kErrWrongType : GetIntegerArg(ctx, 0, &level);
    if (!e)
      stateDepth = 1;
    else if (nargin == 3)
      return e;
    else
      level = kDefaultEchoLevel;
  }
  uint8_t on = 0;
  if (IsCharArray(ctx, stateDepth)) {
    char state[kLineTextBytes];
    int32_t length;
    ErrCode e = GetStringArgToBuffer(ctx, stateDepth, state, sizeof state, &length);
    if (!e && IsWordIgnoringCase(state, length, "on"))
      on = 1;
    else if (e || !IsWordIgnoringCase(state, length, "off"))
      return kErrUnknownOpt;
  } else if (ErrCode e = GetBooleanArg(ctx, stateDepth, &on)) {
    return e;
  }
  // A function named under the state: echo of that function only.
  char name[kToolNameBytes];
  int32_t length = -1;
  int32_t fn;
  if (stateDepth + 1 < nargin)
    if (ErrCode e = ReadDebugFunction(ctx, stateDepth + 1, name, &length, &fn)) return e;
  if (ErrCode e = SetEchoMode(ctx, on != 0, length >= 0 ? name : nullptr, length, level)) return e;
  return ReplaceInputsWithNothing(ctx, nargin, nargout);
}

}  // namespace vke
