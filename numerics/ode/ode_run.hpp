// A run of the ODE integrator on the value stack. Above the call's
// arguments lie, for the whole run, the working values y (the solution at
// t), ynew and the stage derivatives k (n x (N+2), column s stage s), each
// with an imaginary block throughout (all zero for a real problem); the
// event integrator's own values; the run-state row; and on top the output
// accumulator, whose rows are [t, y(t).'] and which grows in place. Every
// call a run starts is preceded by one slot entry, the function value
// called (an empty matrix when it is fun, the first argument), so that the
// results of any call lie right above the slot, the accumulator and the
// state.
#pragma once

#include "engine/context.hpp"
#include "numerics/ode/ode_methods.hpp"

namespace vke {

// Elements of the run-state row.
enum OdeSlot : int32_t {
  kOdePhase,        // what the arriving result belongs to: a stage or an OdePhase
  kOdeNargin,       // argument count of the native, the method values included
  kOdeTime,         // t, the time reached
  kOdeStep,         // h, the step size
  kOdeComplex,      // y0 or a derivative had an imaginary part
  kOdeLength,       // length of the first derivative
  kOdeRelTol,       // relative tolerance
  kOdeTolRatio,     // AbsTol / RelTol
  kOdeNormControl,  // error as the 2-norm of the whole state
  kOdeMaxStep,      // largest step
  kOdeMinStep,      // smallest step: below it the run ends
  kOdeRefine,       // output rows per accepted step
  kOdeEventsSet,    // the Events option is set
  kOdeEndTime,      // tf
  kOdeStats,        // statistics at the end
  kOdeAccepted,     // successful steps
  kOdeRejected,     // failed steps
  kOdeEvaluations,  // evaluations of fun
  kOdePreArgs,      // elements of the PreArg list
  kOdeOutputSet,    // the OutputFcn option is set
  kOdePlainStateSize,
};

// Phases beyond the stages 0..N+1 (0: f at the start point; p: stage p + 1
// of the step under way).
enum OdePhase : int32_t {
  kOdeOutputPhase = 100,  // the output function after an accepted step
};

// The run as one entry of the native sees it. Pointers are into the stack
// and valid until the entries they point into move.
struct OdeRun {
  EngineContext* ctx = nullptr;
  int32_t nargin = 0;   // of the native, the method values included
  int32_t nargout = 0;  // of the native
  bool events = false;  // the event integrator's run
  OdeMethod method;
  int32_t n = 0;  // states
  double* s = nullptr;
  double *yRe = nullptr, *yIm = nullptr;
  double *newRe = nullptr, *newIm = nullptr;
  double *kRe = nullptr, *kIm = nullptr;  // n x (N+2), row by row
  int32_t rows = 0;                       // of the accumulator
  double *accRe = nullptr, *accIm = nullptr;

  // Working entries above the arguments: y, ynew, k, the event
  // integrator's events found and event values, the state, the accumulator.
  int32_t Working() const { return events ? 7 : 5; }
  // 1-based argument position of fun: behind the nine method values in an
  // event run.
  int32_t FunPosition() const { return events ? 10 : 1; }
  // Depth of the argument at 1-based position `position`, with `above`
  // entries over the working values.
  int32_t ArgDepth(int32_t position, int32_t above) const {
    return above + Working() + nargin - position;
  }
  int32_t ExtraArgs() const {
    const int32_t k = nargin - FunPosition() - 3;
    return k > 0 ? k : 0;
  }
  double& K(int32_t i, int32_t stage) const {
    return kRe[int64_t{i} * method.Stages() + stage - 1];
  }
  double& KIm(int32_t i, int32_t stage) const {
    return kIm[int64_t{i} * method.Stages() + stage - 1];
  }
  bool IsComplex() const { return s[kOdeComplex] != 0; }
};

// Reads the run from the stack with `above` entries over the accumulator
// (a call's results and its slot, or none): false when the entries are not
// a run's. table: the native's method; an event run reads its own.
bool ReadOdeRun(EngineContext* ctx, int32_t above, int32_t nargout, const double* table,
                OdeRun* run);

// ---- Steps (ode_steps.cpp) ----

// Calls fun at time t on the state y + h sum_s w[s] k_s (w null: y itself;
// fromNew: ynew instead of y), the PreArg elements before the state and the
// extra arguments after it. The native returns this code.
ErrCode CallFunAt(OdeRun& r, double t, const double* w, bool fromNew);
// Takes fun's value (on top, its slot beneath) as stage `stage`; the
// refusals are codes, or in an event run the integrator's errors.
ErrCode TakeDerivative(OdeRun& r, int32_t stage);
// With the value of the stage after `phase` taken: calls fun for the next
// stage, or returns with *complete when the step's last stage is in.
ErrCode AdvanceStage(OdeRun& r, int32_t phase, bool* complete);
// Starts the step of size h from t: the second stage.
ErrCode StartStep(OdeRun& r);
// The error of the complete step relative to RelTol's scale.
double StepError(const OdeRun& r);
// The step size after a step with that error, within MaxStep and above the
// floor that keeps t + h apart from t.
void ChooseNextStep(OdeRun& r, double err);
// Appends the rows of the step up to the fraction `end` of it: those at
// k / refine below it from the dense output, then the row at `end` (1: t + h
// and ynew exactly). The accumulator grows in place.
ErrCode AppendStepRows(OdeRun& r, int32_t refine, double end);
// Appends one row [t, y.'].
ErrCode AppendRow(OdeRun& r, double t, const double* re, const double* im);
// The state at the fraction theta of the step from the dense output.
void DenseState(const OdeRun& r, double theta, double* re, double* im);
// The accepted step taken: t + h, y = ynew, the last stage as the first.
void TakeStep(OdeRun& r);
// Whether the run has reached tf or its step fell below MinStep; else the
// step is cut to end at tf.
bool RunEnds(OdeRun& r);

// ---- Results (ode_native.cpp) ----

// The output function's call on the rows appended last: outfcn(P..., tnew,
// ynew) with one result.
ErrCode CallOutputFunction(OdeRun& r, int32_t firstRow);
// Pushes t and y of the accumulator (y complex when the run is) as results.
ErrCode PushSolution(OdeRun& r, int32_t nargout);

// ---- The event integrator (ode_events.cpp) ----

// The first entry of an event run: the nine method values of the table
// go below the call's nargin arguments.
ErrCode StartEventRun(EngineContext* ctx, int32_t nargin, int32_t nargout, const double* table);
// A re-entry of an event run with `results` results above the slot.
ErrCode ResumeEventRun(OdeRun& r, int32_t results);
// With Past set, pushes the times and states of the rows so far as two
// more arguments of fun (counted in *pushed).
ErrCode PushPastArguments(OdeRun& r, int32_t* pushed);
// The state row size of an event run.
int32_t EventStateSize();

}  // namespace vke
