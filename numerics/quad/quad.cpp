// The native quad: the integral of a real function of one real variable
// over [a, b] by the trapezoidal rule with the step halved at each phase,
// improved by Richardson extrapolation to Simpson's rule; it stops when two
// successive Simpson estimates agree to a relative tolerance. Phase k adds
// the 2^(k-2) midpoints of the previous grid, so that after it the grid
// has 2^(k-1) + 1 points; the test begins at phase 4 and phase 13 is the
// last. fun is evaluated through the call-and-resume cycle; the run's
// state is a 1 x 13 row above the arguments.
#include <cmath>
#include <limits>

#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "numerics/call_cycle.hpp"

namespace vke {

namespace {

// Elements of the state row.
enum Slot : int32_t {
  kNargin,           // argument count of the first entry
  kPhase,            // phase k, from 1
  kNewPoints,        // N, the new points of the phase (from phase 2)
  kDone,             // points of the phase evaluated so far
  kLower,            // a
  kUpper,            // b
  kPoint,            // the point being evaluated
  kSum,              // sum of f over the phase's points (phase 1: f(a))
  kTrapezoid,        // T of the latest phase
  kTrapezoidBefore,  // T of the phase before (+Inf at start)
  kSimpsonBefore,    // Simpson estimate of the phase before (+Inf at start)
  kTolerance,        // relative tolerance
  kTrace,            // 1: a line per phase on descriptor 2
  kStateSize
};

// The state row on top of the arguments; fun is the first argument, the
// extra arguments begin at the sixth.
constexpr CycleLayout kLayout{1, 6};
constexpr double kSqrtEps = 1.4901161193847656e-08;
constexpr int32_t kFirstTestedPhase = 4;
constexpr int32_t kLastPhase = 13;

// An optional real scalar argument: an empty double array gives the default,
// a one-element double or integer array its value; 21 for other sizes.
ErrCode GetOptionalScalarArg(EngineContext* ctx, int32_t depth, double def, double* out) {
  const NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kDouble && v.cls != ValueClass::kInteger) return kErrWrongType;
  if (v.cls == ValueClass::kDouble && v.shape.count == 0) {
    *out = def;
    return kOk;
  }
  if (v.shape.count != 1) return kErrBadSize;
  if (ViewElement(v, 0, true) != 0) return kErrWrongType;
  *out = ViewElement(v, 0, false);
  return kOk;
}

// "Phase k: n points, y=S".
ErrCode TracePhase(EngineContext* ctx, int32_t phase, double simpson) {
  if (!TraceLineDue(ctx)) return kOk;
  ErrCode e = WriteToFd(ctx, kFdErr, "Phase ", -1);
  if (!e) e = WriteNumberToFd(ctx, kFdErr, phase);
  if (!e) e = WriteToFd(ctx, kFdErr, ": ", -1);
  if (!e) e = WriteNumberToFd(ctx, kFdErr, std::ldexp(1.0, phase - 1) + 1);
  if (!e) e = WriteToFd(ctx, kFdErr, " points, y=", -1);
  if (!e) e = WriteNumberToFd(ctx, kFdErr, simpson);
  if (!e) e = WriteNewlineToFd(ctx, kFdErr);
  return TraceLineWritten(ctx, e);
}

ErrCode Start(EngineContext* ctx, int32_t nargin, int32_t) {
  double* s;
  if (ErrCode e = PushStateRow(ctx, kStateSize, &s)) return e;
  double trace = 0, tol = 0, a, b;
  if (nargin >= 5)
    if (ErrCode e = GetOptionalScalarArg(ctx, nargin - 4, 0, &trace)) return e;
  if (nargin >= 4)
    if (ErrCode e = GetOptionalScalarArg(ctx, nargin - 3, 0, &tol)) return e;
  if (tol < kSqrtEps) tol = kSqrtEps;
  if (ErrCode e = GetScalarArg(ctx, nargin - 2, &b)) return e;
  if (ErrCode e = GetScalarArg(ctx, nargin - 1, &a)) return e;
  s[kNargin] = nargin;
  s[kPhase] = 1;
  s[kLower] = a;
  s[kUpper] = b;
  s[kPoint] = a;
  s[kTrapezoidBefore] = s[kSimpsonBefore] = std::numeric_limits<double>::infinity();
  s[kTolerance] = tol;
  s[kTrace] = trace != 0 && !std::isnan(trace) ? 1 : 0;
  return CallAtPoint(ctx, kLayout, nargin, a);
}

ErrCode Resume(EngineContext* ctx, int32_t nargin, int32_t) {
  double y;
  if (ErrCode e = PopScalarResult(ctx, nargin, &y)) return e;
  if (!std::isfinite(y)) return kErrNoConvergence;
  double* s = StateRowAt(ctx, 0, kStateSize);
  if (!s) return kErrIllegal;
  const int32_t args = TruncateToInt(s[kNargin]);
  const int32_t phase = TruncateToInt(s[kPhase]);
  if (phase < 1 || phase > kLastPhase) return kErrIllegal;
  const double a = s[kLower], b = s[kUpper];
  if (phase == 1) {
    if (s[kDone] == 0) {
      // f(a) has come; f(b) is next.
      s[kSum] = y;
      s[kDone] = 1;
      s[kPoint] = b;
      return CallAtPoint(ctx, kLayout, args, b);
    }
    s[kTrapezoid] = (y + s[kSum]) * (b - a) / 2;
  } else {
    const double n = s[kNewPoints];
    s[kSum] += y;
    s[kDone] += 1;
    if (s[kDone] < n) {
      s[kPoint] += (b - a) / n;
      return CallAtPoint(ctx, kLayout, args, s[kPoint]);
    }
    s[kTrapezoid] = ((b - a) * s[kSum] / n + s[kTrapezoid]) / 2;
  }
  const double simpson = (4 * s[kTrapezoid] - s[kTrapezoidBefore]) / 3;
  const double before = s[kSimpsonBefore];
  if (phase >= kFirstTestedPhase &&
      std::fabs(simpson - before) <= (std::fabs(before) + 1e-6) * s[kTolerance]) {
    return PushInPlaceOfTop(ctx, args + 1, [&] { return PushRealScalar(ctx, simpson); });
  }
  if (phase >= kLastPhase) return kErrNoConvergence;
  if (s[kTrace] != 0)
    if (ErrCode e = TracePhase(ctx, phase, simpson)) return e;
  // The next phase evaluates the midpoints of the present grid.
  const double n = std::ldexp(1.0, phase - 1);
  s[kTrapezoidBefore] = s[kTrapezoid];
  s[kSimpsonBefore] = simpson;
  s[kPhase] = phase + 1;
  s[kSum] = 0;
  s[kDone] = 0;
  s[kNewPoints] = n;
  s[kPoint] = a + ((b - a) / 2) / n;
  return CallAtPoint(ctx, kLayout, args, s[kPoint]);
}

}  // namespace

// quad(fun, a, b, tol, trace, p1, ..., pk); entered again with a negative
// nargin after each evaluation of fun.
ErrCode QuadNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return EnterCycle(ctx, nargin, nargout, kLayout.working, &Start, &Resume,
                    reinterpret_cast<const void*>(&QuadNative));
}

}  // namespace vke
