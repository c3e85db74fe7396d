// The control-design plot natives that take linear systems: the table of
// the response natives (codes, curve routine, the forms each accepts) and
// the implementations that check and classify their arguments, store each
// system as a command of the subplot's object and hand it to its curve
// routine. The natives draw when called without outputs and compute the
// same data when outputs are asked for; the response natives and lsim also
// compute without a figure (a null target).
//
// Every implementation removes its arguments on success. Those that may
// return data (the table's natives, lsim, initial) leave the outputs the
// curve routine pushed or, called as a statement, the no-value marker; an
// empty system ends their call at once with [] for each output asked for.
// hstep and plotroots, which only draw, leave nothing.
#pragma once

#include <cstdint>

#include "graphics/lti_system.hpp"

namespace vke {

// What the numerator may hold compared with the denominator.
enum class Properness : uint8_t {
  kAny,       // no rule
  kProper,    // numerator degree at most the denominator's
  kStrictly,  // below it, and a state-space D of zeros
};

// The natives of AddResponsePlot, in table order.
enum class ResponseNative : int32_t {
  kBodemag,
  kBodephase,
  kNyquist,
  kNichols,
  kSigma,
  kDbodemag,
  kDbodephase,
  kDnyquist,
  kDnichols,
  kDsigma,
  kStep,
  kDstep,
  kImpulse,
  kDimpulse,
  kRlocus,
  kCount,
};

// A code of a form the native refuses.
inline constexpr int32_t kFormRefused = -1;

struct ResponseNativeRow {
  ResponseNative native;
  int32_t tfCode;  // system command of the transfer-function form
  int32_t ssCode;  // of the state-space form
  ResponseCurveCallback curve;
  Properness properness;
  bool singleInput;  // a state-space D of one column
  bool discrete;
  bool takesTs;  // a sampling period follows the system
  bool vector;   // frequencies may follow
  bool options;  // an options structure may follow
};

const ResponseNativeRow& ResponseNativeRowOf(ResponseNative native);

// The natives of the table: system, [Ts], [vector], [options], [style], [id].
ErrCode AddResponsePlot(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget* target,
                        const ResponseNativeRow& row);

// hstep(num1, den1, T, num2, den2 [, style [, id]]): one curve per row pair;
// a pair of one row serves every row of the other.
ErrCode AddHstepPlot(EngineContext* ctx, int32_t nargin, PlotTarget& target, HstepCurveFn curve);

// lsim(num, den, u, t ...) or lsim(A, B, C, D, u, t [, x0] ...); dlsim takes
// Ts in the place of t. Then [options], [style [, id]].
ErrCode AddLsimPlot(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget* target,
                    bool discrete, LsimCurveFn curve);

// initial(A, C, x0 ...) or initial(A, B, C, D, x0 ...); dinitial takes Ts
// before x0. Then [options], [style [, id]]. The free response is the
// impulse response of (A, x0, C, 0).
ErrCode AddInitialPlot(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target,
                       bool discrete, ResponseCurveCallback curve);

// The natives above that compute without a figure, as a host without
// figures registers them: called for their outputs only (the host answers a
// call without outputs, which would draw).
template <ResponseNative Native>
ErrCode ResponseOutputsNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return AddResponsePlot(ctx, nargin, nargout, nullptr, ResponseNativeRowOf(Native));
}
ErrCode LsimOutputsNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t);
ErrCode DlsimOutputsNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t);

// plotroots(P [, style [, id]]): the roots of each row of P.
ErrCode AddRootsPlot(EngineContext* ctx, int32_t nargin, PlotTarget& target);

}  // namespace vke
