// The linear system that a control-design plot native hands to its curve
// routine, and the contracts of the curve routines: what each receives, what
// it appends when it draws and what it pushes when outputs are asked for.
//
// A curve routine draws when called without outputs (nargout below 1): it
// appends ordinary drawing commands behind the system command in the
// target's command area and widens the subplot's automatic limits. With
// outputs it pushes at most nargout values instead, the first on top. It
// leaves the native's arguments where they are; the native drops them.
#pragma once

#include <cstdint>

#include "graphics/plot_frame.hpp"

namespace vke {

enum class LtiForm : int32_t {
  kTransferFunction = 0,
  kStateSpace = 1,
};

// One system, pointing into the argument values on the stack; it owns
// nothing and lives for one call of a curve routine. Transfer functions are
// stripped of their leading zeros (the last coefficient always stays);
// matrices are row by row.
struct LtiSystemRecord {
  LtiForm form;
  // Transfer-function form: coefficients, highest power first.
  const double* num;
  const double* den;
  int32_t numDegree;
  int32_t denDegree;
  // State-space form: A (n x n), B (n x m), C (p x n), D (p x m). The free
  // response from an initial state carries x0 (n values) as B and no D; a
  // null D stands for zeros.
  const double* a;
  const double* b;
  const double* c;
  const double* d;
  int32_t states;
  int32_t inputs;
  int32_t outputs;
};

// What a response curve routine receives besides the engine context. The
// target is the figure's command area and subplot, or, without a figure, a
// temporary command area on the data stack with a null subplot.
struct ResponseCurveCall {
  int32_t nargout;  // below 1: draw
  PlotTarget* target;
  const LtiSystemRecord* system;
  bool discrete;
  double ts;             // 1 when the native takes no sampling period
  int32_t optionsDepth;  // of the options structure on the stack, -1 none
  const double* vector;  // frequencies or times given, or null
  int32_t vectorCount;
  // One style for a transfer function; for a state-space system one per
  // output (per input for the singular values).
  const PlotStyle* styles;
  int32_t id;      // kNoPlotId when none was given
  int32_t series;  // row + 1 of a transfer function, 1 for state space
};
using ResponseCurveCallback = ErrCode (*)(EngineContext* ctx, const ResponseCurveCall& call);

// The hybrid step response of a discrete controller num1/den1 of period t in
// a loop with the continuous plant num2/den2; it only draws.
struct HstepCurveCall {
  PlotTarget* target;
  const double* num1;
  int32_t num1Degree;
  const double* den1;
  int32_t den1Degree;
  const double* num2;
  int32_t num2Degree;
  const double* den2;
  int32_t den2Degree;
  double t;
  PlotStyle style;
  int32_t id;
  int32_t series;
};
using HstepCurveFn = ErrCode (*)(EngineContext* ctx, const HstepCurveCall& call);

// The response to the input u: samples rows of one column per input, at the
// times t (null for a discrete system, whose samples lie ts apart), from the
// initial state x0 (null: zero).
struct LsimCurveCall {
  int32_t nargout;  // below 1: draw
  PlotTarget* target;
  const LtiSystemRecord* system;
  bool discrete;
  int32_t samples;
  double ts;
  const double* t;
  const double* u;
  const double* x0;
  int32_t optionsDepth;
  const PlotStyle* styles;  // one per output, or the system's one
  int32_t id;
  int32_t series;
};
using LsimCurveFn = ErrCode (*)(EngineContext* ctx, const LsimCurveCall& call);

// The curve routines of the frequency and time responses and of the root
// locus.
ErrCode BodeMagnitudeCurve(EngineContext* ctx, const ResponseCurveCall& call);
ErrCode BodePhaseCurve(EngineContext* ctx, const ResponseCurveCall& call);
ErrCode NyquistCurve(EngineContext* ctx, const ResponseCurveCall& call);
ErrCode NicholsCurve(EngineContext* ctx, const ResponseCurveCall& call);
ErrCode SigmaCurve(EngineContext* ctx, const ResponseCurveCall& call);
ErrCode StepResponseCurve(EngineContext* ctx, const ResponseCurveCall& call);
ErrCode ImpulseResponseCurve(EngineContext* ctx, const ResponseCurveCall& call);
ErrCode RootLocusCurve(EngineContext* ctx, const ResponseCurveCall& call);
ErrCode HstepCurve(EngineContext* ctx, const HstepCurveCall& call);
ErrCode LsimCurve(EngineContext* ctx, const LsimCurveCall& call);

// The roots of one polynomial of degree d (real coefficients, and the
// imaginary ones or null) as one polyline command {d, Re[d], Im[d]}; the
// automatic limits take the roots. work: RootsPlotWork(d, complex) doubles.
// kErrPlotOverflow when the command does not fit.
ErrCode RootsPlotCurve(PlotTarget& target, const double* re, const double* im, int32_t degree,
                       const PlotStyle& style, int32_t id, int32_t series, double* work);
int64_t RootsPlotWork(int32_t degree, bool complex);

}  // namespace vke
