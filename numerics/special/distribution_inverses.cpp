// The beta and gamma inversions behind the inverse distribution functions
// of "beta", "t", "f", "gamma" and "chi2": Newton's iteration on the
// regularised incomplete functions.
#include <cmath>
#include <limits>

#include "numerics/special/distributions.hpp"
#include "numerics/special/special_core.hpp"

namespace vke {

namespace {

constexpr int kNewtonSteps = 100;
// Steps below this, relative to max(x, 1), end the iteration (2^-44).
constexpr double kStepTolerance = 5.684341886080802e-14;
// The start of the beta inversion is kept this far inside (0, 1).
constexpr double kBetaStartLow = 1.4901e-08;
constexpr double kBetaStartHigh = 0.999999985099;
// The incomplete-beta core is good to about this absolute accuracy, and
// jumps by about as much where it switches between its two fractions; a
// residual below it ends the iteration.
constexpr double kBetaCoreAccuracy = 1e-14;
// Bisection steps that may follow Newton's budget.
constexpr int kBisectionSteps = 64;

bool StepIsSmall(double step, double x) {
  return std::fabs(step) <= kStepTolerance * std::fmax(x, 1);
}

}  // namespace

// Newton's iteration on I_x(a, b) = p inside a bracket [lo, hi] that every
// evaluation narrows: a step that leaves the bracket, or that fails to
// shrink, is replaced by bisection, so that a root where the core is not
// smooth cannot make the iteration oscillate.
bool InverseBetaDistribution(double p, double a, double b, double* result) {
  if (!(a >= 0 && b >= 0 && p >= 0 && p <= 1)) {
    *result = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  if (p == 0 || p == 1) {
    *result = p;
    return true;
  }
  double x = std::fmin(std::fmax(a / (a + b), kBetaStartLow), kBetaStartHigh);
  const double beta = ComputeBeta(a, b);
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
    if (StepIsSmall(last, x) || hi - lo <= kStepTolerance * std::fmax(x, 1) * 0.5) break;
    if (i == kNewtonSteps + kBisectionSteps - 1) return false;
  }
  *result = x;
  return true;
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
  double x = a > 1.1 ? a - 1 : 0.1;
  const double logGammaA = ComputeLogGamma(a);
  for (int i = 0; i < kNewtonSteps; i++) {
    double pa;
    if (!ComputeIncompleteGamma(a, x / b, &pa)) return false;
    const double density = std::exp((a - 1) * std::log(x) - x / b - logGammaA - a * std::log(b));
    const double step = (pa - p) / density;
    x = x - step < 0 ? x / 2 : x - step;
    if (StepIsSmall(step, x)) {
      *result = x;
      return true;
    }
  }
  return false;
}

}  // namespace vke
