// The beta and gamma inversions behind the inverse distribution functions
// of "beta", "t", "f", "gamma" and "chi2": Newton's iteration on the
// regularised incomplete functions, stopped on a step relative to the
// iterate, started from the leading term far out in a tail, and for beta
// resolving the root from the end of [0, 1] it lies nearer.
#include <cmath>
#include <limits>

#include "numerics/special/distributions.hpp"
#include "numerics/special/special_constants.hpp"
#include "numerics/special/special_core.hpp"

namespace vke {

namespace {

using special::kEps;

constexpr int kNewtonSteps = 100;
// Steps below this, relative to the iterate, end the iteration (2^-44).
constexpr double kStepTolerance = 5.684341886080802e-14;
// Below this the tolerance is absolute: quantiles this close to 0 are 0.
constexpr double kNearZero = 1e-300;
// The start of the beta inversion is kept this far inside (0, 1).
constexpr double kBetaStartLow = 1.4901e-08;
constexpr double kBetaStartHigh = 0.999999985099;
// The incomplete-beta core is good to about this absolute accuracy, and
// jumps by about as much where it switches between its two fractions; a
// residual below it ends the iteration.
constexpr double kBetaCoreAccuracy = 1e-14;
// The part the leading term of an incomplete function may miss where it
// serves as a start.
constexpr double kLeadingTermRange = 0.1;
// The relative rounding of the series or fraction of P(a, x), in units of
// 2^-52.
constexpr double kRoundingOfP = 8;
// 1 - p keeps p to the step tolerance from here up.
constexpr double kLowestReflected = 1.0 / 256;
// Bisection steps that may follow Newton's budget.
constexpr int kBisectionSteps = 64;

double Tolerance(double x) {
  return kStepTolerance * std::fmax(std::fabs(x), kNearZero);
}

bool StepIsSmall(double step, double x) {
  return std::fabs(step) <= Tolerance(x);
}

// The start of Newton's iteration; exact when it is the quantile itself.
struct Start {
  double x;
  bool exact;
};

// Far out in a tail the stated starts lie too many halvings away from the
// root. The leading term of the incomplete function there gives a start
// close to it where the next term adds a part below kLeadingTermRange, and
// the quantile itself where that part is below the step tolerance:
// I_x(a, b) ~ x^a/(a B(a, b)) (1 + a(1 - b)x/(a + 1)) and P(a, x) ~
// x^a/Gamma(a + 1) (1 - ax/(a + 1)).
Start FromLeadingTerm(double stated, double low, double part) {
  if (!(low < stated) || !(part < kLeadingTermRange)) return {stated, false};
  return {low, part <= kStepTolerance};
}

Start BetaStart(double p, double a, double b) {
  const double stated = std::fmin(std::fmax(a / (a + b), kBetaStartLow), kBetaStartHigh);
  const double logBeta = ComputeLogGamma(a) + ComputeLogGamma(b) - ComputeLogGamma(a + b);
  const double low = std::exp((std::log(p) + std::log(a) + logBeta) / a);
  return FromLeadingTerm(stated, low, std::fabs(a * (1 - b) / (a + 1)) * low);
}

Start GammaStart(double p, double a, double b, double logGammaA) {
  const double stated = a > 1.1 ? a - 1 : 0.1;
  const double low = std::exp((std::log(p) + logGammaA + std::log(a)) / a);
  return FromLeadingTerm(stated, low * b, a / (a + 1) * low);
}

// Newton's iteration on I_x(a, b) = p for 0 < p < 1 inside a bracket
// [lo, hi] that every evaluation narrows: a step that leaves the bracket,
// or that fails to shrink, is replaced by bisection, so that a root where
// the core is not smooth cannot make the iteration oscillate.
bool SolveIncompleteBeta(double p, double a, double b, double* result) {
  const double beta = ComputeBeta(a, b);
  const Start start = BetaStart(p, a, b);
  double x = start.x;
  if (start.exact) {
    *result = x;
    return true;
  }
  double lo = 0, hi = 1, last = 2;
  for (int i = 0; i < kNewtonSteps + kBisectionSteps; i++) {
    double in;
    if (!ComputeIncompleteBeta(x, a, b, &in)) return false;
    const double residual = in - p;
    if (std::fabs(residual) <= kBetaCoreAccuracy * p) break;
    if (residual < 0) {
      lo = x;
    } else {
      hi = x;
    }
    const double step = residual * beta / (std::pow(x, a - 1) * std::pow(1 - x, b - 1));
    double next = x - step;
    const bool shrinking = std::fabs(step) < 0.5 * std::fabs(last) || i < 2;
    if (!(next > lo && next < hi) || !shrinking || i >= kNewtonSteps) {
      // Far below or above: approach the end of the interval geometrically.
      if (lo == 0 && !(next > lo)) {
        next = x / 8;
      } else if (hi == 1 && !(next < hi)) {
        next = 1 - (1 - x) / 8;
      } else {
        next = (lo + hi) / 2;
      }
    }
    last = next - x;
    x = next;
    if (StepIsSmall(last, x) || hi - lo <= Tolerance(x) * 0.5) break;
    if (i == kNewtonSteps + kBisectionSteps - 1) return false;
  }
  *result = x;
  return true;
}

}  // namespace

// A root above 1/2 is found through I_x(a, b) = 1 - I_(1-x)(b, a), as
// 1 - x, which near 1 is finer than x itself can be, unless p is so small
// that 1 - p would lose it. Otherwise x is found and 1 - x follows from it.
bool InverseBetaWithComplement(double p, double a, double b, double* x, double* complement) {
  if (!(a >= 0 && b >= 0 && p >= 0 && p <= 1)) {
    *x = *complement = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  if (p == 0 || p == 1) {
    *x = p;
    *complement = 1 - p;
    return true;
  }
  double half;
  const bool above =
      p >= kLowestReflected && (ComputeIncompleteBeta(0.5, a, b, &half) ? p > half : p > 0.5);
  if (above) {
    if (!SolveIncompleteBeta(1 - p, b, a, complement)) return false;
    *x = 1 - *complement;
  } else {
    if (!SolveIncompleteBeta(p, a, b, x)) return false;
    *complement = 1 - *x;
  }
  return true;
}

bool InverseBetaDistribution(double p, double a, double b, double* result) {
  double complement;
  return InverseBetaWithComplement(p, a, b, result, &complement);
}

bool InverseGammaDistribution(double p, double a, double b, double* result) {
  if (!(a >= 0 && b >= 0 && p >= 0 && p <= 1)) {
    *result = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  if (p == 0 || p == 1) {
    *result = p == 0 ? 0 : std::numeric_limits<double>::infinity();
    return true;
  }
  const double logGammaA = ComputeLogGamma(a);
  const Start start = GammaStart(p, a, b, logGammaA);
  double x = start.x;
  if (start.exact) {
    *result = x;
    return true;
  }
  for (int i = 0; i < kNewtonSteps; i++) {
    double pa;
    if (!ComputeIncompleteGamma(a, x / b, &pa)) return false;
    const double density = std::exp((a - 1) * std::log(x) - x / b - logGammaA - a * std::log(b));
    // In the lower tail Newton's step on ln P, which is nearly linear there,
    // where the step on P crawls a few units per iteration.
    const bool logarithmic = p < 0.5 && pa > 0;
    const double step = logarithmic ? std::log(pa / p) * pa / density : (pa - p) / density;
    // P(a, x) carries the relative rounding of its exponential factor
    // exp(a ln x - x - ln Gamma(a)) and of its series, and in the upper
    // half, taken as 1 - Q, that of Q and of the subtraction; a small shape
    // amplifies it by 1/a in the quantile. A step within what that rounding
    // allows ends the iteration too.
    const double relative =
        kEps * (kRoundingOfP + std::fabs(a * std::log(x / b)) + x / b + std::fabs(logGammaA));
    const double rounding = pa < 0.5 ? relative * pa : relative * (1 - pa) + kRoundingOfP * kEps;
    x = x - step < 0 ? x / 2 : x - step;
    if (StepIsSmall(step, x) || std::fabs(step) <= rounding / density) {
      *result = x;
      return true;
    }
  }
  return false;
}

}  // namespace vke
