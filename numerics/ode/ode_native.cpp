// The natives ode45 and ode23, one routine over the method table their
// records carry: [t, y, te, ye, ie] = ode45(fun, tspan, y0, options, p1,
// ..., pk) integrates y' = fun(t, P1, ..., Pc, y, p1, ..., pk) from t0 to
// tf with adaptive steps, Refine output rows per accepted step and an
// output function that may stop the run. With events, event times or past
// values the call goes to the event integrator. Every evaluation goes
// through the call-and-resume cycle.
#include <cmath>
#include <cstring>

#include "engine/entry_copies.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/memory_retry.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/option_tables.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "numerics/call_cycle.hpp"
#include "numerics/ode/ode_options.hpp"
#include "numerics/ode/ode_run.hpp"

namespace vke {

namespace {

// The statistics of the run, when asked for.
ErrCode WritePlainStatistics(OdeRun& r) {
  if (r.s[kOdeStats] == 0) return kOk;
  ErrCode e = WriteTraceLine(r.ctx, "Number of function evaluations: ", {r.s[kOdeEvaluations]});
  if (!e) e = WriteTraceLine(r.ctx, "Successful steps: ", {r.s[kOdeAccepted]});
  if (!e) e = WriteTraceLine(r.ctx, "Failed steps (error too large): ", {r.s[kOdeRejected]});
  return e;
}

// The run ends: t and y and empty event results in place of the arguments
// and working values, and the statistics, written once the results stand
// (a shortage before has the entry made again, having written nothing).
ErrCode FinishPlainRun(OdeRun& r) {
  EngineContext* ctx = r.ctx;
  const int32_t below = r.nargin + r.Working();
  if (r.nargout <= 0) {
    if (ErrCode e = WritePlainStatistics(r)) return e;
    return ReplaceInputsWithNothing(ctx, below, r.nargout);
  }
  for (int32_t k = r.nargout; k >= 3; k--)
    if (ErrCode e = PushEmptyMatrix(ctx)) return e;
  if (ErrCode e = PushSolution(r, r.nargout)) return e;
  if (ErrCode e = WritePlainStatistics(r)) return e;
  return DropStackEntries(ctx, r.nargout, below);
}

// The step is made or the run ends.
ErrCode ContinuePlainRun(OdeRun& r) {
  return RunEnds(r) ? FinishPlainRun(r) : StartStep(r);
}

// The last stage is in: the step is accepted or refused, the next step
// size chosen, and the output function told of the rows appended.
ErrCode CompletePlainStep(OdeRun& r) {
  const double err = StepError(r);
  const int32_t firstRow = r.rows;
  if (err < r.s[kOdeRelTol]) {
    r.s[kOdeAccepted] += 1;
    if (ErrCode e = AppendStepRows(r, TruncateToInt(r.s[kOdeRefine]), 1)) return e;
    TakeStep(r);
    ChooseNextStep(r, err);
    if (r.s[kOdeOutputSet] != 0) return CallOutputFunction(r, firstRow);
  } else {
    r.s[kOdeRejected] += 1;
    ChooseNextStep(r, err);
  }
  return ContinuePlainRun(r);
}

// The first entry of a run without events.
ErrCode StartPlainRun(EngineContext* ctx, int32_t nargin, int32_t nargout, const double* table) {
  OdeProblem p;
  if (ErrCode e = ReadOdeProblem(ctx, nargin, 1, &p)) return e;
  if (p.tf <= p.t0) return FinishAtStart(ctx, nargin, 1, nargout, p.t0);
  OdeMethod method;
  if (!ReadOdeMethod(table, &method)) return kErrIllegal;
  if (ErrCode e = PushRunValues(ctx, nargin, 1, method, p, 0, kOdePlainStateSize)) return e;
  OdeRun r;
  if (!ReadOdeRun(ctx, 0, nargout, table, &r)) return kErrIllegal;
  return CallFunAt(r, p.t0, nullptr, false);
}

ErrCode ResumePlainRun(OdeRun& r, int32_t results) {
  const int32_t phase = TruncateToInt(r.s[kOdePhase]);
  if (phase == kOdeOutputPhase) {
    if (results != 1) return kErrTooFewArgout;
    uint8_t stop = 0;
    if (ErrCode e = PopBooleanArg(r.ctx, &stop)) return e;
    if (ErrCode e = Drop(r.ctx)) return e;
    return stop ? FinishPlainRun(r) : ContinuePlainRun(r);
  }
  if (phase < 0 || phase > r.method.nodes + 1) return kErrIllegal;
  if (results != 1) return kErrTooFewArgout;
  if (ErrCode e = TakeDerivative(r, phase + 1)) return e;
  if (phase == 0) return ContinuePlainRun(r);
  bool complete;
  if (ErrCode e = AdvanceStage(r, phase, &complete)) return e;
  return complete ? CompletePlainStep(r) : kOk;
}

// The accumulator on top cut back to its first `rows` rows: the imaginary
// block moves down behind them. False when it has fewer.
bool CutAccumulator(EngineContext* ctx, int32_t rows) {
  int32_t m, cols;
  double *re, *im;
  if (GetNumericArg(ctx, 0, &m, &cols, &re, &im) || !im || m < rows) return false;
  const int64_t count = int64_t{rows} * cols;
  std::memmove(re + count, im, sizeof(double) * count);
  ValueDescriptor* d = DescAt(ctx, 0);
  ctx->dataTop -= d->size - static_cast<uint32_t>(2 * count);
  d->size = static_cast<uint32_t>(2 * count);
  return true;
}

// A re-entry that fails for lack of room with nothing written is put back
// as it found the stacks, for it to be made again once the area has grown:
// the working values under the accumulator written back in place, the
// accumulator cut back to its rows, the slot and the results pushed again.
// The accumulator, which only grows by whole rows, is not copied.
ErrCode ResumeRestorably(OdeRun& r, int32_t results, uint32_t level) {
  EngineContext* ctx = r.ctx;
  const int32_t frame = ctx->curFrame, rows = r.rows, under = r.Working() - 1;
  const uint32_t accumulatorTop = level + 3u * static_cast<uint32_t>(r.Working());
  EntryCopies below(ctx), above(ctx);
  ErrCode e = below.Take(results + 2, under);
  if (!e) e = above.Take(0, results + 1);
  if (e) return ReentryUnchanged(ctx, e);
  WatchOperandChanges(ctx);
  e = r.events ? ResumeEventRun(r, results) : ResumePlainRun(r, results);
  const bool restorable = IsEngineMemoryCode(e) && !OperandsChanged(ctx) &&
                          ctx->curFrame == frame && ctx->descTop >= accumulatorTop;
  ctx->instructionLevel = UINT32_MAX;
  if (!restorable) return KeepArgumentsOnFailure(ctx, level, e);
  DropAboveLevel(ctx, accumulatorTop);
  if (!CutAccumulator(ctx, rows) || !below.WriteBack(1) || !above.PushBack())
    return KeepArgumentsOnFailure(ctx, level, e);
  return ReentryUnchanged(ctx, e);
}

}  // namespace

ErrCode CallOutputFunction(OdeRun& r, int32_t firstRow) {
  EngineContext* ctx = r.ctx;
  // The function value is the slot.
  if (ErrCode e = GetOptionsArg(ctx, r.ArgDepth(r.FunPosition() + 3, 0), "OutputFcn", kOdesetTable))
    return e;
  int32_t pushed = 1;
  if (r.s[kOdePreArgs] > 0) {
    if (ErrCode e =
            GetOptionsArg(ctx, r.ArgDepth(r.FunPosition() + 3, pushed), "PreArg", kOdesetTable))
      return e;
    int32_t count = 0;
    if (ErrCode e = PushListItems(ctx, &count)) return e;
    pushed += count;
  }
  // tnew, a row, and ynew with one column per time.
  const int32_t count = r.rows - firstRow, cols = r.n + 1;
  double *t, *re, *im = nullptr;
  if (ErrCode e = PushNewMatrix(ctx, 1, count, &t, nullptr)) return e;
  if (ErrCode e = PushNewMatrix(ctx, r.n, count, &re, r.IsComplex() ? &im : nullptr)) return e;
  pushed += 2;
  for (int32_t k = 0; k < count; k++) {
    const int64_t row = int64_t{firstRow + k} * cols;
    t[k] = r.accRe[row];
    for (int32_t i = 0; i < r.n; i++) {
      re[int64_t{i} * count + k] = r.accRe[row + 1 + i];
      if (im) im[int64_t{i} * count + k] = r.accIm[row + 1 + i];
    }
  }
  r.s[kOdePhase] = kOdeOutputPhase;
  return CallFunctionValue(ctx, pushed - 1, pushed - 1, 1, 1);
}

ErrCode PushSolution(OdeRun& r, int32_t nargout) {
  EngineContext* ctx = r.ctx;
  const int32_t m = r.rows, n = r.n, cols = n + 1;
  if (nargout >= 2) {
    double *re, *im = nullptr;
    if (ErrCode e = PushNewMatrix(ctx, m, n, &re, r.IsComplex() ? &im : nullptr)) return e;
    for (int32_t k = 0; k < m; k++)
      for (int32_t i = 0; i < n; i++) {
        re[int64_t{k} * n + i] = r.accRe[int64_t{k} * cols + 1 + i];
        if (im) im[int64_t{k} * n + i] = r.accIm[int64_t{k} * cols + 1 + i];
      }
  }
  double* t;
  if (ErrCode e = PushNewMatrix(ctx, m, 1, &t, nullptr)) return e;
  for (int32_t k = 0; k < m; k++) t[k] = r.accRe[int64_t{k} * cols];
  return kOk;
}

// ode45 and ode23: the option is the method table. Entered again with a
// negative nargin when a call the run started has returned.
ErrCode IntegrateOde(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  const auto* table = reinterpret_cast<const double*>(option);
  if (nargin >= 0) {
    if (ErrCode e = CheckCycleNesting(ctx, reinterpret_cast<const void*>(&IntegrateOde))) return e;
    const uint32_t level = ctx->descTop;
    bool events = false;
    ErrCode e = nargin >= 4 ? WantsEventIntegrator(ctx, nargin - 4, &events) : kOk;
    if (!e)
      e = events ? StartEventRun(ctx, nargin, nargout, table)
                 : StartPlainRun(ctx, nargin, nargout, table);
    return KeepArgumentsOnFailure(ctx, level, e);
  }
  const int32_t results = -nargin - 1;
  OdeRun r;
  if (!ReadOdeRun(ctx, results + 1, nargout, table, &r)) return kErrIllegal;
  const uint32_t level = ArgumentsTop(ctx, nargin, r.Working() + 1);
  if (HostGrowsForRoom(ctx)) return ResumeRestorably(r, results, level);
  const ErrCode e = r.events ? ResumeEventRun(r, results) : ResumePlainRun(r, results);
  return KeepArgumentsOnFailure(ctx, level, e);
}

}  // namespace vke
