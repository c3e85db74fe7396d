// The native fminbnd: a minimum of a real function of one real variable,
// on an interval or near a start point. A bracket search of its own (the
// middle of the interval moved towards the better end, or steps from the
// start point growing by the golden ratio) finds three points whose middle
// one is lowest; Brent's method (parabolic fits and golden sections) then
// narrows the bracket. fun is evaluated through the call-and-resume cycle;
// the run's state is a 1 x 21 row above the arguments.
#include <cmath>
#include <limits>

#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/call_cycle.hpp"
#include "numerics/native_results.hpp"
#include "numerics/optim/optim_options.hpp"

namespace vke {

namespace {

// Elements of the state row.
enum Slot : int32_t {
  kPhase,        // what the arriving value belongs to (Phase)
  kNargin,       // argument count of the first entry
  kLower,        // a, lower end of the interval
  kUpper,        // b, upper end
  kLowerValue,   // fa, value held for the lower end
  kUpperValue,   // fb, value held for the upper end
  kTrial,        // u, the point evaluated in the Brent stage
  kMiddle,       // v: the trial middle point of the bracket search, then Brent's v
  kSecond,       // w, the second best point
  kBest,         // x, the best point
  kStep,         // d, the last step
  kStepBefore,   // e, the step before it
  kBestValue,    // fx
  kMiddleValue,  // fv
  kSecondValue,  // fw
  kTolX,         // tolerance on x; the options in their order (StartScalarSearch)
  kMaxIter,      // largest number of Brent iterations
  kMaxFunEvals,  // largest number of evaluations (one more is made)
  kDisplay,      // trace when its lowest byte is nonzero
  kIterations,   // Brent iterations so far
  kEvaluations,  // evaluations requested so far
  kStateSize
};
static_assert(kNargin == kSearchNarginSlot);

// What the value arriving at a re-entry is.
enum Phase : int32_t {
  kAtLower = 1,      // the given lower end
  kAtUpper = 2,      // the given upper end
  kAtMiddle = 3,     // the trial middle point
  kAtStart = 4,      // the start point
  kAtFirstStep = 5,  // the first step from it
  kAtExtension = 6,  // the end just moved outward
  kAtTrial = 7,      // Brent's trial point
};

// The state row on top of the arguments; fun is the first argument, the
// extra arguments begin at the fourth.
constexpr CycleLayout kLayout{1, 4};
constexpr double kGoldenSection = 0.381966;
constexpr double kGoldenRatio = 1.618034;
constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

struct Run {
  EngineContext* ctx;
  double* s;
  int32_t nargin;
  int32_t nargout;

  bool Tracing() const { return (TruncateToInt(s[kDisplay]) & 0xff) != 0; }
  ErrCode Trace(const char* label, std::initializer_list<double> numbers) const {
    return Tracing() ? WriteTraceLine(ctx, label, numbers) : kOk;
  }
  bool TakeEvaluation() const { return vke::TakeEvaluation(&s[kEvaluations], s[kMaxFunEvals]); }
  ErrCode Evaluate(Phase phase, double x) const {
    s[kPhase] = phase;
    return CallAtPoint(ctx, kLayout, nargin, x);
  }
};

// The results x, fval and exitflag in place of the state and the arguments.
ErrCode Finish(const Run& r, double x, double fx, bool converged) {
  // The outputs stand above the run before it goes.
  const uint32_t level = r.ctx->descTop;
  ErrCode e = r.nargout >= 3 ? PushLogicalScalar(r.ctx, converged) : kOk;
  if (!e && r.nargout >= 2) e = PushRealScalar(r.ctx, fx);
  if (!e) e = PushRealScalar(r.ctx, x);
  if (e) return DropAboveLevel(r.ctx, level, e);
  const int32_t outputs = static_cast<int32_t>((r.ctx->descTop - level) / 3);
  return DropStackEntries(r.ctx, outputs, r.nargin + 1);
}

// A budget is spent: without exitflag asked for, 9; else the better of the
// two candidates (the first on a tie) with exitflag false.
ErrCode GiveUp(const Run& r, double x1, double f1, double x2, double f2) {
  if (r.nargout < 3) return kErrNoConvergence;
  return f2 < f1 ? Finish(r, x2, f2, false) : Finish(r, x1, f1, false);
}

// One step of Brent's method from the bracket [a, b] around x.
ErrCode BrentStep(const Run& r) {
  double* s = r.s;
  const double a = s[kLower], b = s[kUpper], x = s[kBest];
  const double xm = (a + b) / 2;
  const double tol1 = std::fabs(x) * s[kTolX] + 1e-20;
  const double tol2 = 2 * tol1;
  if (std::fabs(x - xm) <= tol2 - (b - a) / 2) return Finish(r, x, s[kBestValue], true);
  s[kIterations] += 1;
  if (s[kIterations] > s[kMaxIter]) return GiveUp(r, x, s[kBestValue], x, s[kBestValue]);

  const char* label = "Golden section: ";
  bool fitted = false;
  if (std::fabs(s[kStepBefore]) > tol1) {
    // A parabola through x, w and v.
    const double fx = s[kBestValue], v = s[kMiddle], w = s[kSecond];
    const double t = (x - w) * (fx - s[kMiddleValue]);
    double q = (x - v) * (fx - s[kSecondValue]);
    double p = (x - v) * q - (x - w) * t;
    q = 2 * (q - t);
    if (q > 0) p = -p;
    q = std::fabs(q);
    const double before = s[kStepBefore];
    s[kStepBefore] = s[kStep];
    if (!(std::fabs(p) >= std::fabs(0.5 * q * before) || p <= q * (a - x) || p >= q * (b - x))) {
      s[kStep] = p / q;
      const double u = x + s[kStep];
      if (u - a < tol2 || b - u < tol2) s[kStep] = xm < x ? -tol1 : tol1;
      fitted = true;
      label = "Parabolic fit: ";
    }
  }
  if (!fitted) {
    s[kStepBefore] = (x < xm ? b : a) - x;
    s[kStep] = kGoldenSection * s[kStepBefore];
  }
  const double d = s[kStep];
  const double u = std::fabs(d) >= tol1 ? x + d : (d < 0 ? x - tol1 : x + tol1);
  s[kTrial] = u;
  if (ErrCode e = r.Trace(label, {a, s[kMiddle], b})) return e;
  if (!r.TakeEvaluation()) return GiveUp(r, x, s[kBestValue], x, s[kBestValue]);
  return r.Evaluate(kAtTrial, u);
}

// A bracket a < v < b with f(v) below both ends: Brent's stage starts at v.
ErrCode StartBrent(const Run& r) {
  double* s = r.s;
  if (ErrCode e = r.Trace("Initial bracketing: ", {s[kLower], s[kMiddle], s[kUpper]})) return e;
  s[kBest] = s[kSecond] = s[kMiddle];
  s[kBestValue] = s[kSecondValue] = s[kMiddleValue];
  s[kStep] = s[kStepBefore] = 0;
  return BrentStep(r);
}

// Moves the better end outward by the golden ratio; the end left behind
// becomes the middle point.
ErrCode Extend(const Run& r) {
  double* s = r.s;
  const bool upward = s[kUpperValue] <= s[kLowerValue];
  const double width = s[kUpper] - s[kLower];
  double point;
  if (upward) {
    s[kMiddle] = s[kUpper];
    s[kMiddleValue] = s[kUpperValue];
    point = s[kUpper] = s[kUpper] + kGoldenRatio * width;
  } else {
    s[kMiddle] = s[kLower];
    s[kMiddleValue] = s[kLowerValue];
    point = s[kLower] = s[kLower] - kGoldenRatio * width;
  }
  s[kPhase] = kAtExtension;
  // Giving up, the point with the value held: the lower end, or the middle
  // point when the lower end has just moved past it. An end that has
  // overflowed ends the search as a spent budget would.
  if (!std::isfinite(point) || !r.TakeEvaluation())
    return upward ? GiveUp(r, s[kLower], s[kLowerValue], s[kLower], s[kLowerValue])
                  : GiveUp(r, s[kMiddle], s[kMiddleValue], s[kMiddle], s[kMiddleValue]);
  if (ErrCode e = r.Trace("Extending bracketing to ", {point})) return e;
  return r.Evaluate(kAtExtension, point);
}

ErrCode Start(EngineContext* ctx, int32_t nargin, int32_t nargout) {
  ScalarSearch search;
  if (ErrCode e = StartScalarSearch(ctx, nargin, kStateSize, kTolX, {kMinTolX, 500, 1000, 0},
                                    kMinTolX, &search))
    return e;
  double* s = search.state;
  const bool interval = search.interval;
  s[kLower] = search.lo;
  if (interval) s[kUpper] = search.hi;
  const Run r{ctx, s, nargin, nargout};
  if (!r.TakeEvaluation()) return kErrNoConvergence;
  return r.Evaluate(interval ? kAtLower : kAtStart, search.lo);
}

ErrCode Resume(EngineContext* ctx, int32_t nargin, int32_t nargout) {
  double y;
  if (ErrCode e = PopScalarResult(ctx, nargin, &y)) return e;
  double* s = StateRowAt(ctx, 0, kStateSize);
  if (!s) return kErrIllegal;
  const Run r{ctx, s, TruncateToInt(s[kNargin]), nargout};
  const int32_t phase = TruncateToInt(s[kPhase]);
  if (!std::isfinite(y)) {
    // Falling to minus infinity while extending: the end just moved.
    if (phase == kAtExtension && y == kMinusInfinity && nargout >= 3)
      return Finish(r, s[kUpperValue] <= s[kLowerValue] ? s[kUpper] : s[kLower], y, false);
    return kErrNoConvergence;
  }
  switch (phase) {
    case kAtLower:
      s[kLowerValue] = y;
      if (ErrCode e = r.Trace("Calculating f(xmin)=", {y})) return e;
      if (!r.TakeEvaluation()) return GiveUp(r, s[kLower], y, s[kLower], y);
      return r.Evaluate(kAtUpper, s[kUpper]);
    case kAtUpper:
      s[kUpperValue] = y;
      if (ErrCode e = r.Trace("Calculating f(xmax)=", {y})) return e;
      if (!r.TakeEvaluation()) return GiveUp(r, s[kLower], s[kLowerValue], s[kUpper], y);
      s[kMiddle] = (s[kLower] + s[kUpper]) / 2;
      return r.Evaluate(kAtMiddle, s[kMiddle]);
    case kAtMiddle: {
      s[kMiddleValue] = y;
      if (y < s[kLowerValue] && y < s[kUpperValue]) return StartBrent(r);
      // The middle point moves halfway towards the better end, until it
      // comes so close that the minimum is taken at that end.
      const bool upper = s[kUpperValue] <= s[kLowerValue];
      const double end = upper ? s[kUpper] : s[kLower];
      const double m = s[kMiddle] = (s[kMiddle] + end) / 2;
      const double close = 0.001 * s[kTolX];
      if (!(std::fabs(s[kLower] - m) >= close && std::fabs(s[kUpper] - m) >= close))
        return Finish(r, end, upper ? s[kUpperValue] : s[kLowerValue], true);
      if (!r.TakeEvaluation())
        return GiveUp(r, s[kLower], s[kLowerValue], s[kUpper], s[kUpperValue]);
      if (ErrCode e = r.Trace("Checking ", {m})) return e;
      return r.Evaluate(kAtMiddle, m);
    }
    case kAtStart: {
      s[kLowerValue] = y;
      const double a = s[kLower];
      s[kUpper] = a + 0.001 * std::fmax(std::fabs(a), 1);
      if (!r.TakeEvaluation()) return GiveUp(r, a, y, a, y);
      if (ErrCode e = r.Trace("Calculating f(x0)=", {y})) return e;
      return r.Evaluate(kAtFirstStep, s[kUpper]);
    }
    case kAtFirstStep:
      s[kUpperValue] = y;
      return Extend(r);
    case kAtExtension:
      s[s[kUpperValue] <= s[kLowerValue] ? kUpperValue : kLowerValue] = y;
      if (s[kMiddleValue] < s[kLowerValue] && s[kMiddleValue] < s[kUpperValue])
        return StartBrent(r);
      return Extend(r);
    case kAtTrial: {
      const double u = s[kTrial], x = s[kBest];
      if (y > s[kBestValue]) {
        s[u >= x ? kUpper : kLower] = u;
        if (y <= s[kSecondValue] || s[kSecond] == x) {
          s[kMiddle] = s[kSecond];
          s[kMiddleValue] = s[kSecondValue];
          s[kSecond] = u;
          s[kSecondValue] = y;
        } else if (y <= s[kMiddleValue] || s[kMiddle] == x || s[kMiddle] == s[kSecond]) {
          s[kMiddle] = u;
          s[kMiddleValue] = y;
        }
      } else {
        s[u < x ? kUpper : kLower] = x;
        s[kMiddle] = s[kSecond];
        s[kMiddleValue] = s[kSecondValue];
        s[kSecond] = x;
        s[kSecondValue] = s[kBestValue];
        s[kBest] = u;
        s[kBestValue] = y;
      }
      return BrentStep(r);
    }
    default:
      return kErrIllegal;
  }
}

}  // namespace

// [x, fval, exitflag] = fminbnd(fun, range, options, p1, ..., pk); entered
// again with a negative nargin after each evaluation of fun.
ErrCode FminbndNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return EnterCycle(ctx, nargin, nargout, kLayout.working, &Start, &Resume,
                    reinterpret_cast<const void*>(&FminbndNative));
}

}  // namespace vke
