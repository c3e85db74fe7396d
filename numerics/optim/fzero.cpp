// The native fzero: a zero of a real function of one real variable. From a
// start point the interval around it widens by 0.4142 of its width,
// alternately upward and downward, until the function changes sign; a given
// interval must show the change at its ends. Brent's zeroin (bisection,
// secant and inverse quadratic interpolation) then narrows the bracket.
// fun is evaluated through the call-and-resume cycle; the run's state is a
// 1 x 15 row above the arguments.
//
// The widening stops with 9 (no convergence) when an end of the interval
// overflows, or when the evaluations exceed MaxFunEvals (no limit when the
// option is empty): a bounded function without a sign change would
// otherwise widen it forever.
#include <cmath>
#include <limits>

#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/call_cycle.hpp"
#include "numerics/optim/optim_options.hpp"

namespace vke {

namespace {

// Elements of the state row.
enum Slot : int32_t {
  kPhase,        // what the arriving value belongs to (Phase)
  kNargin,       // argument count of the first entry
  kA,            // lower end of the search interval, then Brent's previous point
  kB,            // Brent's best estimate
  kC,            // upper end of the search interval, then the opposite end of the bracket
  kFa,           // f(a)
  kFb,           // f(b)
  kFc,           // f(c)
  kStep,         // d, the last step
  kStepBefore,   // e, the step before it
  kTolX,         // tolerance on x; the options in their order (StartScalarSearch)
  kMaxIter,      // read, not used
  kMaxFunEvals,  // limit of the interval's widening
  kDisplay,      // trace when nonzero
  kEvaluations,  // evaluations requested so far
  kStateSize
};
static_assert(kNargin == kSearchNarginSlot);

// What the value arriving at a re-entry is.
enum Phase : int32_t {
  kAtNewLower = 1,    // the lower end of the widening interval
  kAtNewUpper = 2,    // its upper end
  kAtGivenLower = 3,  // the lower end of the given interval
  kAtGivenUpper = 4,  // its upper end
  kAtBrentPoint = 5,  // Brent's new b
};

// The state row on top of the arguments; fun is the first argument, the
// extra arguments begin at the fourth.
constexpr CycleLayout kLayout{1, 4};
constexpr double kEps = 2.220446049250313e-16;
constexpr double kWidening = 0.4142;

struct Run {
  EngineContext* ctx;
  double* s;
  int32_t nargin;

  ErrCode Trace(const char* label, std::initializer_list<double> numbers) const {
    return s[kDisplay] != 0 ? WriteTraceLine(ctx, label, numbers) : kOk;
  }
  ErrCode Evaluate(Phase phase, double x) const {
    s[kPhase] = phase;
    return CallAtPoint(ctx, kLayout, nargin, x);
  }
  // An evaluation of the widening: refused for an end that has overflowed
  // and beyond the budget.
  ErrCode Widen(Phase phase, double x) const {
    if (!std::isfinite(x) || !TakeEvaluation(&s[kEvaluations], s[kMaxFunEvals]))
      return kErrNoConvergence;
    return Evaluate(phase, x);
  }
};

ErrCode Finish(const Run& r, double x) {
  return PushInPlaceOfTop(r.ctx, r.nargin + 1, [&] { return PushRealScalar(r.ctx, x); });
}

// Signs compared directly: a product of two tiny values would underflow.
bool SameSign(double u, double v) {
  return (u > 0 && v > 0) || (u < 0 && v < 0);
}
bool OppositeSigns(double u, double v) {
  return (u > 0 && v < 0) || (u < 0 && v > 0);
}

// One step of Brent's zeroin on the bracket between b and c.
ErrCode BrentStep(const Run& r) {
  double* s = r.s;
  double &a = s[kA], &b = s[kB], &c = s[kC];
  double &fa = s[kFa], &fb = s[kFb], &fc = s[kFc];
  double &d = s[kStep], &e = s[kStepBefore];
  if (SameSign(fb, fc)) {
    c = a;
    fc = fa;
    e = d = b - a;
  }
  if (std::fabs(fc) < std::fabs(fb)) {
    a = b;
    b = c;
    c = a;
    fa = fb;
    fb = fc;
    fc = fa;
  }
  const double xm = (c - b) / 2;
  const double tol = 2 * s[kTolX] * (std::fabs(b) + 1);
  if (std::fabs(xm) <= tol || fb == 0) return Finish(r, b);

  const char* label = "Bisection ";
  bool interpolated = false;
  if (!(std::fabs(e) < tol || std::fabs(fa) <= std::fabs(fb))) {
    const double sb = fb / fa;
    double p, q;
    if (a == c) {
      // Secant.
      p = 2 * xm * sb;
      q = 1 - sb;
    } else {
      // Inverse quadratic interpolation.
      const double qa = fa / fc, rb = fb / fc;
      p = sb * (2 * xm * qa * (qa - rb) - (b - a) * (rb - 1));
      q = (qa - 1) * (rb - 1) * (sb - 1);
    }
    if (p > 0) q = -q;
    p = std::fabs(p);
    if (!(2 * p >= 3 * xm * q - std::fabs(tol * q) || 2 * p >= std::fabs(e * q))) {
      e = d;
      d = p / q;
      interpolated = true;
      label = "Inverse quadratic interpolation ";
    }
  }
  if (!interpolated) d = e = xm;
  a = b;
  fa = fb;
  b = std::fabs(d) > tol ? b + d : (xm <= 0 ? b - tol : b + tol);
  if (ErrCode err = r.Trace(label, {a, b, c})) return err;
  return r.Evaluate(kAtBrentPoint, b);
}

// A sign change between the lower end a and the upper end c.
ErrCode BracketFound(const Run& r) {
  r.s[kB] = r.s[kC];
  r.s[kFb] = r.s[kFc];
  return BrentStep(r);
}

ErrCode Start(EngineContext* ctx, int32_t nargin, int32_t) {
  ScalarSearch search;
  if (ErrCode e =
          StartScalarSearch(ctx, nargin, kStateSize, kTolX,
                            {kEps, 0, std::numeric_limits<double>::infinity(), 0}, kEps, &search))
    return e;
  double* s = search.state;
  const Run r{ctx, s, nargin};
  if (search.interval) {
    s[kA] = search.lo;
    s[kC] = search.hi;
    if (ErrCode e = r.Trace("Checking lower bound", {})) return e;
    return r.Evaluate(kAtGivenLower, s[kA]);
  }
  const double x0 = search.lo;
  const double half = std::fabs(x0) < 1e-9 ? 0.02 : 0.02 * std::fabs(x0);
  s[kA] = std::fabs(x0) < 1e-9 ? -half : x0 - half;
  s[kC] = std::fabs(x0) < 1e-9 ? half : x0 + half;
  if (ErrCode e = r.Trace("Extending", {})) return e;
  return r.Widen(kAtNewLower, s[kA]);
}

ErrCode Resume(EngineContext* ctx, int32_t nargin, int32_t) {
  double y;
  if (ErrCode e = PopScalarResult(ctx, nargin, &y)) return e;
  double* s = StateRowAt(ctx, 0, kStateSize);
  if (!s) return kErrIllegal;
  const Run r{ctx, s, TruncateToInt(s[kNargin])};
  if (!std::isfinite(y)) return kErrNoConvergence;
  switch (TruncateToInt(s[kPhase])) {
    case kAtNewLower:
      if (y == 0) return Finish(r, s[kA]);
      s[kFa] = y;
      if (OppositeSigns(y, s[kFc])) return BracketFound(r);
      s[kC] += kWidening * (s[kC] - s[kA]);
      if (ErrCode e = r.Trace("Extending upper limit ->", {s[kC]})) return e;
      return r.Widen(kAtNewUpper, s[kC]);
    case kAtNewUpper:
      if (y == 0) return Finish(r, s[kC]);
      s[kFc] = y;
      if (OppositeSigns(y, s[kFa])) return BracketFound(r);
      s[kA] -= kWidening * (s[kC] - s[kA]);
      if (ErrCode e = r.Trace("Extending lower limit ->", {s[kA]})) return e;
      return r.Widen(kAtNewLower, s[kA]);
    case kAtGivenLower:
      if (y == 0) return Finish(r, s[kA]);
      s[kFa] = y;
      if (ErrCode e = r.Trace("Checking upper bound", {})) return e;
      return r.Evaluate(kAtGivenUpper, s[kC]);
    case kAtGivenUpper:
      if (y == 0) return Finish(r, s[kC]);
      if (!OppositeSigns(y, s[kFa])) return kErrNoConvergence;
      s[kFc] = y;
      return BracketFound(r);
    case kAtBrentPoint:
      s[kFb] = y;
      return BrentStep(r);
    default:
      return kErrIllegal;
  }
}

}  // namespace

// x = fzero(fun, x0, options, p1, ..., pk); entered again with a negative
// nargin after each evaluation of fun.
ErrCode FzeroNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return EnterCycle(ctx, nargin, nargout, kLayout.working, &Start, &Resume,
                    reinterpret_cast<const void*>(&FzeroNative));
}

}  // namespace vke
