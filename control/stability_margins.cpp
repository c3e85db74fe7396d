// The margin search: a closed-loop stability test, then phase and gain
// crossovers along the unit circle, each refined by bisection.
#include "control/stability_margins.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "control/frequency_response.hpp"
#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kAngleStep = kPi / 200;
constexpr double kLastAngle = 1.01 * kPi;
constexpr int32_t kBisections = 20;
// A pole at z = 1 when |den(1)| is this small relative to the coefficients.
constexpr double kPoleAtOne = 1e-6;
// |L| this close to 1 where the search starts counts as 1 itself.
constexpr double kUnitGainAtStart = 1e-10;

struct Loop {
  const double* num;
  int32_t numDegree;
  const double* den;
  int32_t n;
  // L(e^(i theta)); at pi exactly z = -1, which cos and sin of the rounded
  // pi miss by 1.2e-16 in the imaginary part: a zero of L at -1 would then
  // give a finite, huge gain margin instead of an infinite one.
  void At(double theta, double* re, double* im) const {
    const bool minusOne = theta == kPi;
    EvalRationalAtComplex(num, numDegree, den, n, minusOne ? -1.0 : std::cos(theta),
                          minusOne ? 0.0 : std::sin(theta), re, im);
  }
};

int ImaginarySign(double im) {
  return im > kKernelEps ? 1 : im < -kKernelEps ? -1 : 0;
}

// Bisects [lo, hi] on a test that holds at lo; the angle found.
template <typename Test>
double Bisect(double lo, double hi, Test holds) {
  for (int32_t k = 0; k < kBisections; k++) {
    const double mid = 0.5 * (lo + hi);
    (holds(mid) ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

struct Search {
  StabilityMargins* out;
  bool haveGain = false;
  // A phase crossover where L = x: the candidate gain margin -1 / x.
  void PhaseCrossover(double x, double theta) {
    const double g = -1 / x;
    if (!haveGain) {
      out->gainLower = out->gainUpper = g;
      out->angleLower = out->angleUpper = theta;
      haveGain = true;
    } else if (-1 / out->gainUpper > x && (x > -1 || out->gainUpper < 1)) {
      out->gainUpper = g;
      out->angleUpper = theta;
    } else if (-1 / out->gainLower < x && (out->gainLower > 1 || x < 1)) {
      out->gainLower = g;
      out->angleLower = theta;
    }
  }
};

}  // namespace

bool SchurCohnStable(const double* p, int32_t n, double* work) {
  int32_t lead = 0;
  while (lead <= n && p[lead] == 0) lead++;
  if (lead > n) return false;
  const int32_t deg = n - lead;
  double* q = work;
  const double sign = p[lead] < 0 ? -1.0 : 1.0;
  for (int32_t i = 0; i <= deg; i++) q[i] = sign * p[lead + i];
  for (int32_t k = deg; k >= 1; k--) {
    if (!(q[0] > 0)) return false;
    const double r = q[k] / q[0];
    for (int32_t i = 0; 2 * i <= k; i++) {
      const double lo = q[i], hi = q[k - i];
      q[i] = lo - r * hi;
      q[k - i] = hi - r * lo;
    }
  }
  return q[0] > 0;
}

void FindGainPhaseCrossovers(const double* num, int32_t numDegree, const double* den, int32_t n,
                             double* work, StabilityMargins* out) {
  *out = StabilityMargins{};
  // The closed loop's characteristic polynomial den + num.
  std::copy(den, den + n + 1, work);
  for (int32_t i = 0; i <= numDegree; i++) work[n - numDegree + i] += num[i];
  if (!SchurCohnStable(work, n, work)) return;
  out->stable = true;
  const Loop loop{num, numDegree, den, n};
  Search search{out};
  out->gainLower = -INFINITY;
  out->gainUpper = INFINITY;
  out->angleLower = 0;
  out->angleUpper = kPi;
  out->phase = 2 * kNoPhaseMargin;
  double denAtOne = 0, denSum = 0;
  for (int32_t i = 0; i <= n; i++) {
    denAtOne += den[i];
    denSum += std::fabs(den[i]);
  }
  double theta = 0;
  if (!(std::fabs(denAtOne) / denSum >= kPoleAtOne)) {
    // A pole at z = 1: infinite margins until a phase crossover replaces them.
    theta = kAngleStep;
    search.haveGain = true;
  }
  double re, im;
  loop.At(theta, &re, &im);
  int lastSign = ImaginarySign(im);
  bool lastBelow = std::hypot(re, im) < 1;
  if (std::fabs(std::hypot(re, im) - 1) <= kUnitGainAtStart) {
    // A loop gain of exactly 1 at the first angle (the zero frequency):
    // the rounding of |L| there decides nothing; the side is the next one's.
    loop.At(theta + kAngleStep, &re, &im);
    lastBelow = std::hypot(re, im) < 1;
  }
  double lastTheta = theta;
  for (theta += kAngleStep; theta <= kLastAngle; theta += kAngleStep) {
    loop.At(theta, &re, &im);
    const int sign = ImaginarySign(im);
    const bool below = std::hypot(re, im) < 1;
    if (sign != 0 && lastSign != 0 && sign != lastSign) {
      double x, y;
      if (theta >= kPi) {
        loop.At(kPi, &x, &y);
        search.PhaseCrossover(x, kPi);
      } else {
        const int startSign = lastSign;
        const double at = Bisect(lastTheta, theta, [&](double t) {
          loop.At(t, &x, &y);
          return ImaginarySign(y) == startSign;
        });
        loop.At(at, &x, &y);
        search.PhaseCrossover(x, at);
      }
    }
    if (below != lastBelow) {
      double x, y;
      const bool startBelow = lastBelow;
      const double at = Bisect(lastTheta, theta, [&](double t) {
        loop.At(t, &x, &y);
        return (std::hypot(x, y) < 1) == startBelow;
      });
      loop.At(at, &x, &y);
      const double phase = std::fabs(std::atan2(-y, -x));
      if (phase < out->phase) {
        out->phase = phase;
        out->phaseAngle = at;
      }
    }
    if (sign != 0) lastSign = sign;
    lastBelow = below;
    lastTheta = theta;
  }
  loop.At(kPi, &re, &im);
  search.PhaseCrossover(re, kPi);
  if (std::isinf(out->gainLower)) out->gainLower = -INFINITY;
  if (std::isinf(out->gainUpper)) out->gainUpper = INFINITY;
  if (std::fabs(out->gainLower) < std::fabs(den[0]) * kKernelEps &&
      std::fabs(out->gainLower) < kKernelEps) {
    out->gainLower = 0;
  }
}

}  // namespace vke
