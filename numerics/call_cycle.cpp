// The call-and-resume cycle shared by the natives that evaluate a function
// value: starting fun's call, its result, the state row, the budget, trace
// lines and the clean-up of a failed entry.
#include "numerics/call_cycle.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/entry_copies.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/calls.hpp"
#include "engine/loop/loop.hpp"
#include "engine/memory_retry.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

int32_t ExtraArgumentCount(const CycleLayout& layout, int32_t nargin) {
  return nargin >= layout.firstExtra ? nargin - layout.firstExtra + 1 : 0;
}

ErrCode CallWithPointOnTop(EngineContext* ctx, const CycleLayout& layout, int32_t nargin) {
  const int32_t extra = ExtraArgumentCount(layout, nargin);
  // Above the arguments: the working entries, then the point.
  if (extra > 0)
    if (ErrCode e = DuplicateStackEntries(ctx, 1 + layout.working, extra)) return e;
  const int32_t inputs = 1 + extra;
  const int32_t funDepth = inputs + layout.working + nargin - 1;
  return CallFunctionValue(ctx, funDepth, inputs, 1, 1);
}

ErrCode CallAtPoint(EngineContext* ctx, const CycleLayout& layout, int32_t nargin, double x) {
  if (ErrCode e = PushRealScalar(ctx, x)) return e;
  return CallWithPointOnTop(ctx, layout, nargin);
}

ErrCode PopScalarResult(EngineContext* ctx, int32_t nargin, double* y) {
  if (nargin != -2) return kErrTooFewArgout;
  return PopRealScalar(ctx, y);
}

ErrCode PushStateRow(EngineContext* ctx, int32_t size, double** state) {
  if (ErrCode e = PushNewMatrix(ctx, 1, size, state, nullptr)) return e;
  for (int32_t i = 0; i < size; i++) (*state)[i] = 0;
  return kOk;
}

double* StateRowAt(EngineContext* ctx, int32_t depth, int32_t size) {
  if (static_cast<uint32_t>(depth) * 3 + 3 > ctx->descTop) return nullptr;
  int32_t rows, cols;
  double *re, *im;
  if (GetNumericArg(ctx, depth, &rows, &cols, &re, &im) || rows != 1 || cols != size || im)
    return nullptr;
  return re;
}

int32_t TruncateToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

bool TakeEvaluation(double* count, double limit) {
  if (*count > limit) return false;
  *count += 1;
  return true;
}

thread_local TraceLines* t_traceLines = nullptr;

EntryTraceLines::EntryTraceLines(EngineContext* ctx)
    : lines_{TakeRerunProgress(ctx)}, outer_(t_traceLines) {
  t_traceLines = &lines_;
}

EntryTraceLines::~EntryTraceLines() {
  t_traceLines = outer_;
}

ErrCode EntryTraceLines::Failed(EngineContext* ctx, ErrCode e) const {
  if (IsEngineMemoryCode(e) && !OperandsChanged(ctx))
    KeepRerunProgress(ctx, std::max(lines_.before, lines_.reached));
  return e;
}

bool TraceLineDue(EngineContext* ctx) {
  TraceLines* lines = t_traceLines;
  if (!lines) {
    // What is written stays written: a later failure for lack of room
    // takes the error path rather than running the native again.
    MarkOperandsChanged(ctx);
    return true;
  }
  return ++lines->reached > lines->before;
}

ErrCode TraceLineWritten(EngineContext* ctx, ErrCode e) {
  // A line cut short cannot be passed over as a whole.
  if (e) MarkOperandsChanged(ctx);
  return e;
}

ErrCode WriteTraceLine(EngineContext* ctx, const char* label, std::initializer_list<double> numbers,
                       const char* tail) {
  if (!TraceLineDue(ctx)) return kOk;
  auto write = [&]() -> ErrCode {
    if (ErrCode e = WriteToFd(ctx, kFdErr, label, -1)) return e;
    bool first = true;
    for (double x : numbers) {
      if (!first)
        if (ErrCode e = WriteToFd(ctx, kFdErr, ",", 1)) return e;
      first = false;
      if (ErrCode e = WriteNumberToFd(ctx, kFdErr, x)) return e;
    }
    if (tail)
      if (ErrCode e = WriteToFd(ctx, kFdErr, tail, -1)) return e;
    return WriteNewlineToFd(ctx, kFdErr);
  };
  return TraceLineWritten(ctx, write());
}

uint32_t ArgumentsTop(EngineContext* ctx, int32_t nargin, int32_t working) {
  if (nargin >= 0) return ctx->descTop;
  const int64_t above = 3 * (int64_t{-nargin - 1} + working);
  return above > ctx->descTop ? ctx->descTop : ctx->descTop - static_cast<uint32_t>(above);
}

ErrCode KeepArgumentsOnFailure(EngineContext* ctx, uint32_t level, ErrCode e) {
  // A call frame set up above the level belongs to the engine's unwinding.
  if (e && ctx->descTop > level && ctx->curFrame < static_cast<int32_t>(level))
    Drop(ctx, static_cast<int32_t>((ctx->descTop - level) / 3));
  return e;
}

ErrCode CheckCycleNesting(EngineContext* ctx, const void* self) {
  return CountCallBacksOf(ctx, self) >= kMaxCycleNesting ? NestingLimitReached(ctx) : kOk;
}

ErrCode EnterCycle(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t working,
                   CycleEntry start, CycleEntry resume, const void* self) {
  if (nargin >= 0) {
    if (ErrCode e = CheckCycleNesting(ctx, self)) return e;
  }
  const uint32_t level = ArgumentsTop(ctx, nargin, working);
  if (!HostGrowsForRoom(ctx)) {
    const ErrCode e = nargin >= 0 ? start(ctx, nargin, nargout) : resume(ctx, nargin, nargout);
    return KeepArgumentsOnFailure(ctx, level, e);
  }
  const EntryTraceLines lines(ctx);
  if (nargin >= 0) {
    // A first entry that fails for lack of room with its arguments as they
    // came runs again as its instruction.
    return lines.Failed(ctx, KeepArgumentsOnFailure(ctx, level, start(ctx, nargin, nargout)));
  }
  // A re-entry: its working values and the results are put back when it
  // fails for lack of room, for it to be made again.
  const int32_t frame = ctx->curFrame;
  const int32_t kept = working + (-nargin - 1);
  EntryCopies copies(ctx);
  if (ErrCode e = copies.Take(0, kept)) return ReentryUnchanged(ctx, e);
  WatchOperandChanges(ctx);
  const ErrCode e = resume(ctx, nargin, nargout);
  if (!IsEngineMemoryCode(e) || OperandsChanged(ctx) || ctx->curFrame != frame) {
    ctx->instructionLevel = UINT32_MAX;
    return KeepArgumentsOnFailure(ctx, level, e);
  }
  DropAboveLevel(ctx, level);
  if (!copies.PushBack()) return KeepArgumentsOnFailure(ctx, level, e);
  return ReentryUnchanged(ctx, lines.Failed(ctx, e));
}

}  // namespace vke
