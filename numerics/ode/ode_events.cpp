// The event integrator, which ode45 and ode23 hand a call to when Events,
// EventTime or Past is set. It takes the nine values of the method (N, K,
// p, the default Refine, c, b, e, the a matrix with row j holding
// a(2..N+1, j), and P) under the call's arguments and steps as the plain
// run does, with these additions:
//
// - Events: [value, isterminal, direction] = events(t, y), three numeric
//   arrays of one size, is evaluated at the start and at the end of every
//   accepted step. Component i has an event in a step when its value
//   crosses zero from a nonzero value: upward (from negative to zero or
//   above) when direction(i) >= 0, downward when direction(i) <= 0. Its
//   time is located by the Illinois variant of false position on the
//   step's dense output, each trial point being one more call of events,
//   until the bracket is 8 eps (|t| + |h|) wide; the event is at the end
//   of the bracket past the crossing. Several components crossing in a step
//   count at the earliest crossing, with all components that crossed by
//   then.
// - A terminal event ends the run at the event: the rows of the step up to
//   it, then the event's row. With OnEvent set, ynew = onevent(te, ye, ie)
//   (ie the column of the components) gives the state the run restarts
//   from at te, after the rows up to the event and a row of the new state.
//   Without it a non-terminal event is only recorded.
// - EventTime: times = eventtime(t, y), a numeric column, is asked at the
//   start and after every event. Steps end exactly at the first of those
//   times after t, where an event with index (components of events) + k is
//   recorded for the k-th time and OnEvent is called as above.
// - Past: fun receives the solution so far, the times and the states of
//   the rows up to the step's start, as two more arguments after y.
// - OutputFcn: outfcn(P..., [t0 tf], y0, 'init') first and outfcn(P...,
//   [], [], 'done') last, both without results; between them outfcn(P...,
//   tnew, ynew) after every accepted step, as in the plain run.
// - Results [t, y, te, ye, ie]: the events as times, states and indices.
// Errors of the functions' results are raised with the integrator's own
// identifiers and messages; Stats prints its three counts as whole numbers.
#include <cmath>
#include <cstdio>
#include <limits>

#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/calls.hpp"
#include "engine/memory_retry.hpp"
#include "engine/registry/option_tables.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "numerics/call_cycle.hpp"
#include "numerics/native_results.hpp"
#include "numerics/ode/ode_options.hpp"
#include "numerics/ode/ode_run.hpp"

namespace vke {

namespace {

// Elements of the state row beyond those of the plain run.
enum EventSlot : int32_t {
  kEvPast = kOdePlainStateSize,  // fun receives the past
  kEvTimesSet,                   // EventTime is set
  kEvOnEventSet,                 // OnEvent is set
  kEvComponents,                 // components of the events value, -1 before the first call
  kEvLow,                        // the search bracket as fractions of the step
  kEvHigh,
  kEvTrial,      // the fraction of the trial point asked for
  kEvFollowed,   // 0-based component the search follows
  kEvScaledLow,  // its values at the bracket's ends, as Illinois scales them
  kEvScaledHigh,
  kEvSide,           // end kept by the last search step: -1 low, 1 high
  kEvSearchSteps,    // trial points of this search
  kEvNextTime,       // the next time of EventTime after t (+Inf: none)
  kEvNextTimeIndex,  // its 1-based position
  kEvStepToTime,     // the step under way ends at that time
  kEvFreeStep,       // the step size before it was cut to that time
  kEvStepError,      // the error of the accepted step
  kEvRowsBefore,     // rows before those of the latest step
  kEvPending,        // what follows the output function (Pending)
  kEvDoneCalled,     // the output function had its 'done' call
  kEvStateSize
};

// Phases beyond the stages and the output function's.
enum EventPhase : int32_t {
  kEvInitPhase = 101,         // outfcn(..., 'init') returned
  kEvStartValuesPhase = 102,  // events at the (re)start point returned
  kEvTimesPhase = 103,        // eventtime returned
  kEvStepEndPhase = 104,      // events at the end of an accepted step returned
  kEvSearchPhase = 105,       // events at a trial point returned
  kEvOnEventPhase = 106,      // onevent returned
  kEvDonePhase = 107,         // outfcn(..., 'done') returned
};

// What the run does once the output function has had the step's rows.
enum Pending : int32_t {
  kContinue = 0,  // the next step
  kRestart = 1,   // a new start at (t, y): fun, events, eventtime
  kAskTimes = 2,  // eventtime again, then the next step
  kFinish = 3,    // the end of the run
};

// Working entries at rest, by depth: the accumulator, the state, the event
// values and the events found.
constexpr int32_t kValuesDepth = 2;
constexpr int32_t kFoundDepth = 3;
// Columns of the event values, a row per component: at the low and high
// ends of the search bracket (the low end is the step's start), at the
// step's end, at the latest trial point, and the flags of the latest call.
enum ValueColumn : int32_t {
  kAtLow,
  kAtHigh,
  kAtStepEnd,
  kAtTrial,
  kTerminal,
  kDirection,
  kValueColumns
};
// The nine method values under the call's arguments.
constexpr int32_t kMethodValues = 9;
constexpr int32_t kFunPosition = kMethodValues + 1;
constexpr int32_t kMaxSearchSteps = 100;
constexpr double kEps = 2.220446049250313e-16;

bool Crosses(double from, double to, double direction) {
  return (from < 0 && to >= 0 && direction >= 0) || (from > 0 && to <= 0 && direction <= 0);
}

// The first component whose value crosses between the low end and the
// column `to`, or -1.
int32_t FirstCrossing(const double* values, int32_t components, ValueColumn to) {
  for (int32_t i = 0; i < components; i++) {
    const double* row = values + i * kValueColumns;
    if (Crosses(row[kAtLow], row[to], row[kDirection])) return i;
  }
  return -1;
}

void CopyColumn(double* values, int32_t components, ValueColumn from, ValueColumn to) {
  for (int32_t i = 0; i < components; i++)
    values[i * kValueColumns + to] = values[i * kValueColumns + from];
}

// The indices of the events at one time: the components of the values
// table that crossed between the bracket's ends, or the one index of an
// event time.
struct EventIndices {
  const double* values = nullptr;
  int32_t components = 0;
  double single = 0;  // when values is null

  template <typename Fn>
  void ForEach(Fn fn) const {
    if (!values) {
      fn(single);
      return;
    }
    for (int32_t i = 0; i < components; i++) {
      const double* row = values + i * kValueColumns;
      if (Crosses(row[kAtLow], row[kAtHigh], row[kDirection])) fn(i + 1.0);
    }
  }
  int32_t Count() const {
    int32_t count = 0;
    ForEach([&](double) { count++; });
    return count;
  }
};

ErrCode RaiseOdeError(EngineContext* ctx, const char* id, const char* message) {
  return RaiseErrorById(ctx, id, -1, message, -1);
}

// Re-reads the run at rest after entries moved.
ErrCode Reread(OdeRun& r) {
  return ReadOdeRun(r.ctx, 0, r.nargout, nullptr, &r) ? kOk : kErrIllegal;
}

// The value on top replaces the working entry at that depth at rest.
ErrCode ReplaceWorkingEntry(OdeRun& r, int32_t depth) {
  if (ErrCode e = RollStackEntries(r.ctx, depth + 1, depth)) return e;
  if (ErrCode e = DropStackEntries(r.ctx, depth + 1, 1)) return e;
  return Reread(r);
}

// The event values: components x 5 (ValueColumn), or null before the
// first call of events.
double* EventValues(const OdeRun& r, int32_t above) {
  int32_t rows, cols;
  double *re, *im;
  if (GetNumericArg(r.ctx, above + kValuesDepth, &rows, &cols, &re, &im) || cols != kValueColumns)
    return nullptr;
  return re;
}

// Pushes the slot, a function option's value, then the PreArg elements.
ErrCode PushOptionCall(OdeRun& r, const char* option, int32_t* pushed) {
  EngineContext* ctx = r.ctx;
  if (ErrCode e = GetOptionsArg(ctx, r.ArgDepth(kFunPosition + 3, 0), option, kOdesetTable))
    return e;
  *pushed = 1;
  return kOk;
}

// Pushes the state at fraction theta of the step (1: ynew; negative: y),
// a column, complex when the run is.
ErrCode PushStateColumn(OdeRun& r, double theta) {
  double *re, *im = nullptr;
  if (ErrCode e = PushNewMatrix(r.ctx, r.n, 1, &re, r.IsComplex() ? &im : nullptr)) return e;
  if (theta < 0 || theta == 1) {
    const double* fromRe = theta < 0 ? r.yRe : r.newRe;
    const double* fromIm = theta < 0 ? r.yIm : r.newIm;
    for (int32_t i = 0; i < r.n; i++) {
      re[i] = fromRe[i];
      if (im) im[i] = fromIm[i];
    }
    return kOk;
  }
  // The dense output into scratch above the new column, then copied.
  uint32_t freeBytes;
  void* scratch;
  GetDataStackFree(r.ctx, &freeBytes, &scratch);
  if (freeBytes < 16u * static_cast<uint32_t>(r.n)) return kErrDataOverflow;
  auto* sRe = static_cast<double*>(scratch);
  double* sIm = sRe + r.n;
  DenseState(r, theta, sRe, sIm);
  for (int32_t i = 0; i < r.n; i++) {
    re[i] = sRe[i];
    if (im) im[i] = sIm[i];
  }
  return kOk;
}

// events(t, y) at the fraction theta of the step (negative: at t and y).
ErrCode CallEvents(OdeRun& r, EventPhase phase, double theta) {
  EngineContext* ctx = r.ctx;
  int32_t pushed;
  if (ErrCode e = PushOptionCall(r, "Events", &pushed)) return e;
  const double t = theta < 0    ? r.s[kOdeTime]
                   : theta == 1 ? r.s[kOdeTime] + r.s[kOdeStep]
                                : r.s[kOdeTime] + theta * r.s[kOdeStep];
  if (ErrCode e = PushRealScalar(ctx, t)) return e;
  if (ErrCode e = PushStateColumn(r, theta)) return e;
  r.s[kOdePhase] = phase;
  r.s[kEvTrial] = theta;
  return CallFunctionValue(ctx, 2, 2, 3, 1);
}

// eventtime(t, y) at the point reached.
ErrCode CallEventTime(OdeRun& r) {
  int32_t pushed;
  if (ErrCode e = PushOptionCall(r, "EventTime", &pushed)) return e;
  if (ErrCode e = PushRealScalar(r.ctx, r.s[kOdeTime])) return e;
  if (ErrCode e = PushStateColumn(r, -1)) return e;
  r.s[kOdePhase] = kEvTimesPhase;
  return CallFunctionValue(r.ctx, 2, 2, 1, 1);
}

// outfcn(P..., a, b, flag) without results, for 'init' and 'done'.
ErrCode CallOutputFlag(OdeRun& r, bool init) {
  EngineContext* ctx = r.ctx;
  int32_t pushed;
  if (ErrCode e = PushOptionCall(r, "OutputFcn", &pushed)) return e;
  if (r.s[kOdePreArgs] > 0) {
    if (ErrCode e =
            GetOptionsArg(ctx, r.ArgDepth(kFunPosition + 3, pushed), "PreArg", kOdesetTable))
      return e;
    int32_t count = 0;
    if (ErrCode e = PushListItems(ctx, &count)) return e;
    pushed += count;
  }
  if (init) {
    double* span;
    if (ErrCode e = PushNewMatrix(ctx, 1, 2, &span, nullptr)) return e;
    span[0] = r.accRe[0];
    span[1] = r.s[kOdeEndTime];
    if (ErrCode e = PushStateColumn(r, -1)) return e;
  } else {
    if (ErrCode e = PushEmptyMatrix(ctx)) return e;
    if (ErrCode e = PushEmptyMatrix(ctx)) return e;
  }
  if (ErrCode e = PushCString(ctx, -1, init ? "init" : "done")) return e;
  pushed += 3;
  r.s[kOdePhase] = init ? kEvInitPhase : kEvDonePhase;
  return CallFunctionValue(ctx, pushed - 1, pushed - 1, 0, 1);
}

ErrCode WriteCount(EngineContext* ctx, const char* format, double count) {
  // A line the entry wrote before it ran again after growth is passed over.
  if (!TraceLineDue(ctx)) return kOk;
  char line[80];
  const int length = std::snprintf(line, sizeof line, format, TruncateToInt(count));
  ErrCode e = WriteToFd(ctx, kFdErr, line, length);
  if (!e) e = WriteNewlineToFd(ctx, kFdErr);
  return TraceLineWritten(ctx, e);
}

// The statistics of the run, when asked for.
ErrCode WriteEventStatistics(OdeRun& r) {
  if (r.s[kOdeStats] == 0) return kOk;
  ErrCode e = WriteCount(r.ctx, "Number of function evaluations: %d", r.s[kOdeEvaluations]);
  if (!e) e = WriteCount(r.ctx, "Successful steps: %d", r.s[kOdeAccepted]);
  if (!e) e = WriteCount(r.ctx, "Failed steps: %d", r.s[kOdeRejected]);
  return e;
}

// The results t, y, te, ye and ie in place of everything the call holds,
// and the statistics, written once the results stand.
ErrCode Finalize(OdeRun& r) {
  EngineContext* ctx = r.ctx;
  const int32_t below = r.nargin + r.Working();
  if (r.nargout <= 0) {
    if (ErrCode e = WriteEventStatistics(r)) return e;
    return ReplaceInputsWithNothing(ctx, below, r.nargout);
  }
  // The events found: rows [te, ie, ye.'].
  int32_t found, cols;
  double *fRe, *fIm;
  if (GetNumericArg(ctx, kFoundDepth, &found, &cols, &fRe, &fIm)) return kErrIllegal;
  const int32_t width = r.n + 2;
  for (int32_t result = r.nargout; result >= 3; result--) {
    double *re, *im = nullptr;
    const bool states = result == 4;
    const bool complex = states && r.IsComplex();
    if (ErrCode e = PushNewMatrix(ctx, found, states ? r.n : 1, &re, complex ? &im : nullptr))
      return e;
    // Pushing moved nothing: the rows are read where they lie.
    GetNumericArg(ctx, kFoundDepth + 1 + r.nargout - result, &found, &cols, &fRe, &fIm);
    for (int32_t k = 0; k < found; k++) {
      const double* row = fRe + int64_t{k} * width;
      if (!states) {
        re[k] = row[result == 3 ? 0 : 1];
        continue;
      }
      for (int32_t i = 0; i < r.n; i++) {
        re[int64_t{k} * r.n + i] = row[2 + i];
        if (im) im[int64_t{k} * r.n + i] = fIm[int64_t{k} * width + 2 + i];
      }
    }
  }
  if (ErrCode e = PushSolution(r, r.nargout)) return e;
  if (ErrCode e = WriteEventStatistics(r)) return e;
  return DropStackEntries(ctx, r.nargout, below);
}

ErrCode FinishEventRun(OdeRun& r) {
  if (r.s[kOdeOutputSet] != 0 && r.s[kEvDoneCalled] == 0) {
    r.s[kEvDoneCalled] = 1;
    return CallOutputFlag(r, false);
  }
  return Finalize(r);
}

// The next step, cut to end at tf or at the next event time.
ErrCode ContinueEventRun(OdeRun& r) {
  if (RunEnds(r)) return FinishEventRun(r);
  double* s = r.s;
  s[kEvFreeStep] = s[kOdeStep];
  s[kEvStepToTime] = 0;
  const double next = s[kEvNextTime];
  if (next < std::numeric_limits<double>::infinity() && s[kOdeTime] + s[kOdeStep] >= next) {
    s[kOdeStep] = next - s[kOdeTime];
    s[kEvStepToTime] = 1;
  }
  return StartStep(r);
}

// After the start derivative: the events' values and the event times at
// the start point.
ErrCode AfterStartValues(OdeRun& r) {
  if (r.s[kEvTimesSet] != 0) return CallEventTime(r);
  return ContinueEventRun(r);
}

ErrCode AfterStartDerivative(OdeRun& r) {
  if (r.s[kOdeEventsSet] != 0) return CallEvents(r, kEvStartValuesPhase, -1);
  return AfterStartValues(r);
}

// A new start at (t, y): fun's derivative first.
ErrCode Restart(OdeRun& r) {
  r.s[kOdePhase] = 0;
  return CallFunAt(r, r.s[kOdeTime], nullptr, false);
}

ErrCode DoPending(OdeRun& r, int32_t pending) {
  switch (pending) {
    case kRestart:
      return Restart(r);
    case kAskTimes:
      return CallEventTime(r);
    case kFinish:
      return FinishEventRun(r);
    default:
      return ContinueEventRun(r);
  }
}

// The step's rows are in: the output function sees them, then the run
// goes on as pending says.
ErrCode AfterRows(OdeRun& r, Pending pending) {
  if (r.s[kOdeOutputSet] != 0) {
    r.s[kEvPending] = pending;
    return CallOutputFunction(r, TruncateToInt(r.s[kEvRowsBefore]));
  }
  return DoPending(r, pending);
}

// Reads the three results of events (value on top): their count, checked
// against the count known; the values go to the columns given.
ErrCode TakeEventValues(OdeRun& r, ValueColumn valueColumn) {
  EngineContext* ctx = r.ctx;
  NumericView views[3];
  for (int32_t k = 0; k < 3; k++) {
    views[k] = ViewNumeric(ctx, k);
    if (views[k].cls == ValueClass::kOther || views[k].cls == ValueClass::kChar || views[k].complex)
      return RaiseOdeError(ctx, "VKE:badType", "ODE Events function result has bad type");
  }
  const int64_t count = views[0].shape.count;
  if (views[1].shape.count != count || views[2].shape.count != count ||
      (r.s[kEvComponents] >= 0 && count != r.s[kEvComponents]) || count > INT32_MAX / 8)
    return RaiseOdeError(ctx, "VKE:incompSize",
                         "ODE Events function result sizes are incompatible");
  // The first call gives the table of the values its size.
  const bool first = r.s[kEvComponents] < 0;
  double* values;
  if (first) {
    if (ErrCode e =
            PushNewMatrix(ctx, static_cast<int32_t>(count), kValueColumns, &values, nullptr))
      return e;
  } else {
    values = EventValues(r, 4);
    if (!values) return kErrIllegal;
  }
  for (int64_t i = 0; i < count; i++) {
    double* row = values + i * kValueColumns;
    row[valueColumn] = ViewElement(views[0], i, false);
    row[kTerminal] = ViewElement(views[1], i, false);
    row[kDirection] = ViewElement(views[2], i, false);
  }
  if (!first) return Drop(ctx, 4);
  r.s[kEvComponents] = static_cast<double>(count);
  if (ErrCode e = DropStackEntries(ctx, 1, 4)) return e;
  return ReplaceWorkingEntry(r, kValuesDepth);
}

// Appends rows [te, index, y(te).'] to the events found, the state taken at
// the fraction theta of the step (negative: y).
ErrCode RecordEvents(OdeRun& r, double te, double theta, const EventIndices& indices) {
  EngineContext* ctx = r.ctx;
  int32_t found, cols;
  double *oldRe, *oldIm;
  if (GetNumericArg(ctx, kFoundDepth, &found, &cols, &oldRe, &oldIm)) return kErrIllegal;
  const int32_t width = r.n + 2, count = indices.Count();
  double *re, *im;
  if (ErrCode e = PushNewMatrix(ctx, found + count, width, &re, &im)) return e;
  const int64_t old = int64_t{found} * width;
  for (int64_t i = 0; i < old; i++) {
    re[i] = oldRe[i];
    im[i] = oldIm ? oldIm[i] : 0;
  }
  // The state once, then copied to the other rows.
  double* rowRe = re + old;
  double* rowIm = im + old;
  if (theta < 0 || theta == 1) {
    for (int32_t i = 0; i < r.n; i++) {
      rowRe[2 + i] = theta < 0 ? r.yRe[i] : r.newRe[i];
      rowIm[2 + i] = theta < 0 ? r.yIm[i] : r.newIm[i];
    }
  } else {
    DenseState(r, theta, rowRe + 2, rowIm + 2);
  }
  int32_t k = 0;
  indices.ForEach([&](double index) {
    double* kRe = rowRe + int64_t{k} * width;
    double* kIm = rowIm + int64_t{k} * width;
    for (int32_t i = 0; k > 0 && i < r.n; i++) {
      kRe[2 + i] = rowRe[2 + i];
      kIm[2 + i] = rowIm[2 + i];
    }
    kRe[0] = te;
    kRe[1] = index;
    kIm[0] = kIm[1] = 0;
    k++;
  });
  return ReplaceWorkingEntry(r, kFoundDepth);
}

// onevent(te, y, ie) with the state at the fraction theta of the step
// (negative: y) and the event indices as a column.
ErrCode CallOnEvent(OdeRun& r, double te, double theta, const EventIndices& indices) {
  EngineContext* ctx = r.ctx;
  int32_t pushed;
  if (ErrCode e = PushOptionCall(r, "OnEvent", &pushed)) return e;
  if (ErrCode e = PushRealScalar(ctx, te)) return e;
  if (ErrCode e = PushStateColumn(r, theta)) return e;
  double* ie;
  if (ErrCode e = PushNewMatrix(ctx, indices.Count(), 1, &ie, nullptr)) return e;
  indices.ForEach([&](double index) { *ie++ = index; });
  r.s[kOdePhase] = kEvOnEventPhase;
  r.s[kOdeTime] = te;
  return CallFunctionValue(ctx, 3, 3, 1, 1);
}

// An accepted step without a located event, or with one that neither ends
// the run nor changes the state: all its rows. A step that ends at an
// event time has that event.
ErrCode AcceptWholeStep(OdeRun& r) {
  double* s = r.s;
  s[kOdeAccepted] += 1;
  s[kEvRowsBefore] = r.rows;
  if (ErrCode e = AppendStepRows(r, TruncateToInt(s[kOdeRefine]), 1)) return e;
  TakeStep(r);
  const bool atTime = s[kEvStepToTime] != 0;
  ChooseNextStep(r, s[kEvStepError]);
  // A step cut short to meet the time does not shrink the next one.
  if (atTime && s[kOdeStep] < s[kEvFreeStep])
    s[kOdeStep] = std::fmin(s[kEvFreeStep], s[kOdeMaxStep]);
  if (double* values = EventValues(r, 0))
    CopyColumn(values, TruncateToInt(s[kEvComponents]), kAtStepEnd, kAtLow);
  if (!atTime) return AfterRows(r, kContinue);
  s[kEvStepToTime] = 0;
  EventIndices timed;
  timed.single = (s[kEvComponents] > 0 ? s[kEvComponents] : 0) + s[kEvNextTimeIndex];
  if (ErrCode e = RecordEvents(r, s[kOdeTime], -1, timed)) return e;
  if (r.s[kEvOnEventSet] != 0) return CallOnEvent(r, r.s[kOdeTime], -1, timed);
  return AfterRows(r, kAskTimes);
}

// The event located at the fraction theta of the step.
ErrCode EventFound(OdeRun& r, double theta) {
  EventIndices crossed{EventValues(r, 0), TruncateToInt(r.s[kEvComponents])};
  if (!crossed.values) return kErrIllegal;
  bool terminal = false;
  for (int32_t i = 0; i < crossed.components; i++) {
    const double* row = crossed.values + i * kValueColumns;
    if (Crosses(row[kAtLow], row[kAtHigh], row[kDirection]) && row[kTerminal] != 0) terminal = true;
  }
  const double t = r.s[kOdeTime], h = r.s[kOdeStep];
  const double te = theta == 1 ? t + h : t + theta * h;
  if (ErrCode e = RecordEvents(r, te, theta, crossed)) return e;
  double* s = r.s;
  if (!terminal && s[kEvOnEventSet] == 0) return AcceptWholeStep(r);
  // The rows up to the event; then the end, or a new start from the state
  // onevent gives.
  s[kOdeAccepted] += 1;
  s[kEvRowsBefore] = r.rows;
  if (ErrCode e = AppendStepRows(r, TruncateToInt(s[kOdeRefine]), theta)) return e;
  if (terminal) return AfterRows(r, kFinish);
  ChooseNextStep(r, s[kEvStepError]);
  crossed.values = EventValues(r, 0);
  return CallOnEvent(r, te, theta, crossed);
}

// One step of the search for the earliest crossing in the bracket.
ErrCode SearchEvent(OdeRun& r) {
  double* s = r.s;
  double* values = EventValues(r, 0);
  if (!values) return kErrIllegal;
  const int32_t m = TruncateToInt(s[kEvComponents]);
  const int32_t followed = FirstCrossing(values, m, kAtHigh);
  if (followed < 0) return kErrIllegal;
  const double low = s[kEvLow], high = s[kEvHigh];
  const double h = std::fabs(s[kOdeStep]);
  const double tolerance = 8 * kEps * (std::fabs(s[kOdeTime]) + h);
  if ((high - low) * h <= tolerance || s[kEvSearchSteps] >= kMaxSearchSteps)
    return EventFound(r, high);
  const double* row = values + followed * kValueColumns;
  if (followed != s[kEvFollowed]) {
    s[kEvFollowed] = followed;
    s[kEvScaledLow] = row[kAtLow];
    s[kEvScaledHigh] = row[kAtHigh];
    s[kEvSide] = 0;
  }
  const double gLow = s[kEvScaledLow], gHigh = s[kEvScaledHigh];
  double trial = high - gHigh * (high - low) / (gHigh - gLow);
  // Too near an end, or outside: the middle.
  const double margin = tolerance / (2 * h);
  if (!(trial > low + margin && trial < high - margin)) trial = (low + high) / 2;
  s[kEvSearchSteps] += 1;
  return CallEvents(r, kEvSearchPhase, trial);
}

// The values at the trial point narrow the bracket.
ErrCode NarrowBracket(OdeRun& r) {
  double* s = r.s;
  double* values = EventValues(r, 0);
  if (!values) return kErrIllegal;
  const int32_t m = TruncateToInt(s[kEvComponents]);
  const bool crossed = FirstCrossing(values, m, kAtTrial) >= 0;
  const ValueColumn moved = crossed ? kAtHigh : kAtLow;
  CopyColumn(values, m, kAtTrial, moved);
  const int32_t followed = TruncateToInt(s[kEvFollowed]);
  const double g = values[followed * kValueColumns + moved];
  // Illinois: an end kept twice in a row counts half.
  if (crossed) {
    s[kEvHigh] = s[kEvTrial];
    s[kEvScaledHigh] = g;
    if (s[kEvSide] < 0) s[kEvScaledLow] /= 2;
    s[kEvSide] = -1;
  } else {
    s[kEvLow] = s[kEvTrial];
    s[kEvScaledLow] = g;
    if (s[kEvSide] > 0) s[kEvScaledHigh] /= 2;
    s[kEvSide] = 1;
  }
  return SearchEvent(r);
}

// The values at the end of an accepted step: a crossing starts the search.
ErrCode CheckStepEnd(OdeRun& r) {
  double* s = r.s;
  double* values = EventValues(r, 0);
  if (!values) return kErrIllegal;
  const int32_t m = TruncateToInt(s[kEvComponents]);
  CopyColumn(values, m, kAtStepEnd, kAtHigh);
  if (FirstCrossing(values, m, kAtHigh) < 0) return AcceptWholeStep(r);
  s[kEvLow] = 0;
  s[kEvHigh] = 1;
  s[kEvFollowed] = -1;
  s[kEvSearchSteps] = 0;
  return SearchEvent(r);
}

// The stages are in: accepted steps go on to the events, refused ones are
// made again smaller.
ErrCode CompleteEventStep(OdeRun& r) {
  const double err = StepError(r);
  if (err < r.s[kOdeRelTol]) {
    r.s[kEvStepError] = err;
    if (r.s[kOdeEventsSet] != 0) {
      // The step's values are kept apart from the start's until compared.
      return CallEvents(r, kEvStepEndPhase, 1);
    }
    return AcceptWholeStep(r);
  }
  r.s[kOdeRejected] += 1;
  ChooseNextStep(r, err);
  if (r.s[kEvStepToTime] != 0) r.s[kEvStepToTime] = 0;
  return ContinueEventRun(r);
}

// The times of eventtime, a numeric column: the first after t is next.
ErrCode TakeEventTimes(OdeRun& r) {
  EngineContext* ctx = r.ctx;
  const NumericView v = ViewNumeric(ctx, 0);
  if (v.cls == ValueClass::kOther || v.cls == ValueClass::kChar || v.complex)
    return RaiseOdeError(ctx, "VKE:wrongType", "ODE EventTime result is not numeric");
  if (v.shape.count > 0 && (v.shape.ndims != 2 || v.shape.dims[1] != 1))
    return RaiseOdeError(ctx, "VKE:badSize", "ODE EventTime result is not a column vector");
  double* s = r.s;
  const double t = s[kOdeTime];
  const double tolerance = 8 * kEps * (std::fabs(t) + std::fabs(s[kOdeStep]));
  s[kEvNextTime] = std::numeric_limits<double>::infinity();
  s[kEvNextTimeIndex] = 0;
  for (int64_t k = 0; k < v.shape.count; k++) {
    const double time = ViewElement(v, k, false);
    if (time > t + tolerance && time < s[kEvNextTime]) {
      s[kEvNextTime] = time;
      s[kEvNextTimeIndex] = static_cast<double>(k + 1);
    }
  }
  return Drop(ctx, 2);
}

// The state onevent gives: n numbers, where the run starts again.
ErrCode TakeNewState(OdeRun& r) {
  EngineContext* ctx = r.ctx;
  const NumericView v = ViewNumeric(ctx, 0);
  if (v.cls == ValueClass::kOther || v.cls == ValueClass::kChar || v.shape.count != r.n)
    return RaiseOdeError(ctx, "VKE:badSize", "Bad size for result of onEvent function");
  if (v.complex) r.s[kOdeComplex] = 1;
  for (int32_t i = 0; i < r.n; i++) {
    r.yRe[i] = ViewElement(v, i, false);
    r.yIm[i] = ViewElement(v, i, true);
  }
  if (ErrCode e = Drop(ctx, 2)) return e;
  if (ErrCode e = AppendRow(r, r.s[kOdeTime], r.yRe, r.yIm)) return e;
  return AfterRows(r, kRestart);
}

// The first entry once the method values lie under the call's `all`
// arguments.
ErrCode StartWithMethodValues(EngineContext* ctx, int32_t all, int32_t nargout,
                              const OdeMethod& method) {
  OdeProblem p;
  if (ErrCode e = ReadOdeProblem(ctx, all, kFunPosition, &p)) return e;
  if (p.tf <= p.t0) return FinishAtStart(ctx, all, kFunPosition, nargout, p.t0);
  if (ErrCode e = PushRunValues(ctx, all, kFunPosition, method, p, 2, kEvStateSize)) return e;
  OdeRun r;
  if (!ReadOdeRun(ctx, 0, nargout, nullptr, &r)) return kErrIllegal;
  // The options only the event integrator reads.
  const int32_t options = r.ArgDepth(kFunPosition + 3, 0);
  uint8_t past = 0;
  if (ErrCode e = GetBooleanOption(ctx, options, "Past", kOdesetTable, 0, &past)) return e;
  bool noTimes, noOnEvent;
  if (ErrCode e = OptionIsEmptyNumber(ctx, options, "EventTime", &noTimes)) return e;
  if (ErrCode e = OptionIsEmptyNumber(ctx, options, "OnEvent", &noOnEvent)) return e;
  r.s[kEvPast] = past != 0;
  r.s[kEvTimesSet] = !noTimes;
  r.s[kEvOnEventSet] = !noOnEvent;
  r.s[kEvComponents] = -1;
  r.s[kEvNextTime] = std::numeric_limits<double>::infinity();
  if (r.s[kOdeOutputSet] != 0) return CallOutputFlag(r, true);
  return Restart(r);
}

}  // namespace

int32_t EventStateSize() {
  return kEvStateSize;
}

ErrCode PushPastArguments(OdeRun& r, int32_t* pushed) {
  if (r.s[kEvPast] == 0) return kOk;
  EngineContext* ctx = r.ctx;
  const int32_t m = r.rows, n = r.n, cols = n + 1;
  double *t, *re, *im = nullptr;
  if (ErrCode e = PushNewMatrix(ctx, m, 1, &t, nullptr)) return e;
  if (ErrCode e = PushNewMatrix(ctx, m, n, &re, r.IsComplex() ? &im : nullptr)) return e;
  for (int32_t k = 0; k < m; k++) {
    t[k] = r.accRe[int64_t{k} * cols];
    for (int32_t i = 0; i < n; i++) {
      re[int64_t{k} * n + i] = r.accRe[int64_t{k} * cols + 1 + i];
      if (im) im[int64_t{k} * n + i] = r.accIm[int64_t{k} * cols + 1 + i];
    }
  }
  *pushed += 2;
  return kOk;
}

ErrCode StartEventRun(EngineContext* ctx, int32_t nargin, int32_t nargout, const double* table) {
  OdeMethod method;
  if (!ReadOdeMethod(table, &method)) return kErrIllegal;
  // The nine method values go under the call's arguments.
  const int32_t n = method.nodes, k = method.degree;
  const uint32_t start = ctx->descTop;
  for (double v : {double(n), double(k), method.exponent, method.refine})
    if (ErrCode e = PushRealScalar(ctx, v)) return DropAboveLevel(ctx, start, e);
  const struct {
    const double* data;
    int32_t rows, cols;
  } parts[] = {{method.c, 1, n},
               {method.b, 1, n + 1},
               {method.e, 1, n + 2},
               {method.a, n, n},
               {method.p, n + 2, k}};
  for (const auto& part : parts) {
    double* re;
    if (ErrCode e = PushNewMatrix(ctx, part.rows, part.cols, &re, nullptr))
      return DropAboveLevel(ctx, start, e);
    for (int32_t i = 0; i < part.rows * part.cols; i++) re[i] = part.data[i];
  }
  if (ErrCode e = RollStackEntries(ctx, nargin + kMethodValues, nargin)) return e;
  // A failure from here leaves the arguments as they came: what the run
  // pushed goes, and the method values under them.
  const uint32_t level = ctx->descTop;
  const ErrCode e = StartWithMethodValues(ctx, nargin + kMethodValues, nargout, method);
  if (e && KeepArgumentsOnFailure(ctx, level, e) && ctx->descTop == level)
    DropStackEntries(ctx, nargin, kMethodValues);
  return e;
}

ErrCode ResumeEventRun(OdeRun& r, int32_t results) {
  EngineContext* ctx = r.ctx;
  const int32_t phase = TruncateToInt(r.s[kOdePhase]);
  auto expect = [&](int32_t count) { return results == count ? kOk : kErrTooFewArgout; };
  switch (phase) {
    case kEvInitPhase:
    case kEvDonePhase:
      // Whatever the output function gave, and its slot.
      if (ErrCode e = Drop(ctx, results + 1)) return e;
      return phase == kEvInitPhase ? Restart(r) : Finalize(r);
    case kOdeOutputPhase: {
      if (ErrCode e = expect(1)) return e;
      uint8_t stop = 0;
      if (ErrCode e = PopBooleanArg(ctx, &stop)) return e;
      if (ErrCode e = Drop(ctx)) return e;
      return stop ? FinishEventRun(r) : DoPending(r, TruncateToInt(r.s[kEvPending]));
    }
    case kEvStartValuesPhase:
    case kEvStepEndPhase:
    case kEvSearchPhase: {
      if (ErrCode e = expect(3)) return e;
      const ValueColumn column = phase == kEvStartValuesPhase ? kAtLow
                                 : phase == kEvStepEndPhase   ? kAtStepEnd
                                                              : kAtTrial;
      if (ErrCode e = TakeEventValues(r, column)) return e;
      if (phase == kEvStartValuesPhase) return AfterStartValues(r);
      if (phase == kEvStepEndPhase) return CheckStepEnd(r);
      return NarrowBracket(r);
    }
    case kEvTimesPhase:
      if (ErrCode e = expect(1)) return e;
      if (ErrCode e = TakeEventTimes(r)) return e;
      return ContinueEventRun(r);
    case kEvOnEventPhase:
      if (ErrCode e = expect(1)) return e;
      return TakeNewState(r);
    default:
      break;
  }
  if (phase < 0 || phase > r.method.nodes + 1) return kErrIllegal;
  if (ErrCode e = expect(1)) return e;
  if (ErrCode e = TakeDerivative(r, phase + 1)) return e;
  if (phase == 0) return AfterStartDerivative(r);
  bool complete;
  if (ErrCode e = AdvanceStage(r, phase, &complete)) return e;
  return complete ? CompleteEventStep(r) : kOk;
}

}  // namespace vke
