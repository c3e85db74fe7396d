// Rational functions at complex points, frequency ranges and time horizons
// from the poles, and state-space responses at one complex frequency.
#include "control/frequency_response.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "builtins/matrix_kernels.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/rational.hpp"

namespace vke {

namespace {

// The range and horizon of a system without poles (or whose poles could not
// be found).
constexpr double kDefaultLower = 1.0;
constexpr double kDefaultUpper = 10.0;
constexpr double kDefaultHorizon = 10.0;
// Outer roots of a high-order polynomial beyond this squared magnitude are
// not trusted: the range is then capped at kCappedUpper.
constexpr int32_t kTrustedDegree = 6;
constexpr double kHugeSquaredRoot = 1e12;
constexpr double kCappedUpper = 1e6;
// A decade either side of the roots; at most four decades on a log scale,
// a linear range wider than one decade starts at 0.
constexpr double kDecade = 10.0;
constexpr double kLogSpan = 1e4;
// Roots with |s|^2 below this count as at the origin for the horizon.
constexpr double kOriginSquared = 1e-6;

// Roots of the polynomial (work: 3n + 1) or eigenvalues of A (work:
// 3n + n^2) into re and im, n each; false when the iteration fails.
bool PolyRoots(const double* p, int32_t n, double* work, double** re, double** im) {
  *re = work + n + 1;
  *im = *re + n;
  return FindRealPolynomialRootsOnCopy(p, n, *re, *im, work);
}

bool MatrixEigenvalues(const double* a, int32_t n, double* work, double** re, double** im) {
  double* copy = work;
  std::copy(a, a + int64_t{n} * n, copy);
  *re = copy + int64_t{n} * n;
  *im = *re + n;
  auto* index = reinterpret_cast<uint32_t*>(*im + n);
  return ComputeRealEigenvalues(copy, n, index, *re, *im);
}

void RangeFromRoots(const double* re, const double* im, int32_t n, uint8_t logScale, double* lower,
                    double* upper) {
  double lo = 1e30, hi = 0;
  for (int32_t k = 0; k < n; k++) {
    const double mag2 = re[k] * re[k] + im[k] * im[k];
    lo = std::min(lo, mag2);
    hi = std::max(hi, mag2);
  }
  if (hi == 0) {
    // Every root at the origin: the range of a system without poles.
    lo = kDefaultLower;
    hi = kDefaultUpper;
  } else if (n > kTrustedDegree && hi > kHugeSquaredRoot) {
    lo = 0;
    hi = kCappedUpper;
  } else {
    lo = std::sqrt(lo) / kDecade;
    hi = std::sqrt(hi) * kDecade;
  }
  if (logScale) {
    if (std::fabs(hi / lo) > kLogSpan) lo = hi / kLogSpan;
  } else if (std::fabs(hi / lo) > kDecade) {
    lo = 0;
  }
  *lower = lo;
  *upper = hi;
}

// Sum of 10 / |s| over the roots (ts > 0: discrete roots z, s = ln(z) / ts).
double HorizonFromRoots(const double* re, const double* im, int32_t n, double ts) {
  double horizon = 0;
  for (int32_t k = 0; k < n; k++) {
    double mag2;
    if (ts > 0) {
      const double logMag = std::log(std::hypot(re[k], im[k]));
      const double arg = std::atan2(im[k], re[k]);
      mag2 = (logMag * logMag + arg * arg) / (ts * ts);
    } else {
      mag2 = re[k] * re[k] + im[k] * im[k];
    }
    if (mag2 > kOriginSquared) horizon += kDefaultHorizon / std::sqrt(mag2);
  }
  // No root away from the origin: the horizon of a system without poles.
  if (horizon == 0) return kDefaultHorizon;
  return std::min(horizon, kMaxTimeHorizon);
}

// X = C (sI - A)^-1 (p x n complex, real block first) in work; returns the
// doubles used.
int64_t SolveResolvent(const double* a, const double* c, int32_t n, int32_t p, double x, double y,
                       double* work) {
  const int64_t nn = int64_t{n} * n, pn = int64_t{p} * n;
  double* m = work;
  for (int64_t k = 0; k < nn; k++) {
    m[k] = -a[k];
    m[nn + k] = 0;
  }
  for (int32_t k = 0; k < n; k++) {
    m[int64_t{k} * n + k] += x;
    m[nn + int64_t{k} * n + k] = y;
  }
  double* xs = m + 2 * nn;
  std::copy(c, c + pn, xs);
  std::fill(xs + pn, xs + 2 * pn, 0.0);
  auto* perm = reinterpret_cast<int32_t*>(xs + 2 * pn);
  SolveRightComplex(m, xs, n, p, perm);
  return 2 * nn;
}

}  // namespace

void EvalRationalAtComplex(const double* num, int32_t numDegree, const double* den,
                           int32_t denDegree, double x, double y, double* re, double* im) {
  const ComplexValue v = EvalRationalAtComplex(num, numDegree + 1, den, denDegree + 1, {x, y});
  *re = v.re;
  *im = v.im;
}

void FrequencyRangeTf(const double* p, int32_t n, uint8_t logScale, double* work, double* lower,
                      double* upper) {
  double *re, *im;
  if (n <= 0 || !PolyRoots(p, n, work, &re, &im)) {
    RangeFromRoots(nullptr, nullptr, 0, logScale, lower, upper);
    return;
  }
  RangeFromRoots(re, im, n, logScale, lower, upper);
}

void FrequencyRangeSs(const double* a, int32_t n, uint8_t logScale, double* work, double* lower,
                      double* upper) {
  double *re, *im;
  if (n <= 0 || !MatrixEigenvalues(a, n, work, &re, &im)) {
    *lower = kDefaultLower;
    *upper = kDefaultUpper;
    return;
  }
  RangeFromRoots(re, im, n, logScale, lower, upper);
}

void TimeHorizonTf(const double* p, int32_t n, double* work, double* horizon) {
  TimeHorizonTfDiscrete(p, n, 0, work, horizon);
}

void TimeHorizonTfDiscrete(const double* p, int32_t n, double ts, double* work, double* horizon) {
  double *re, *im;
  *horizon =
      n > 0 && PolyRoots(p, n, work, &re, &im) ? HorizonFromRoots(re, im, n, ts) : kDefaultHorizon;
}

void TimeHorizonSs(const double* a, int32_t n, double* work, double* horizon) {
  TimeHorizonSsDiscrete(a, n, 0, work, horizon);
}

void TimeHorizonSsDiscrete(const double* a, int32_t n, double ts, double* work, double* horizon) {
  double *re, *im;
  *horizon = n > 0 && MatrixEigenvalues(a, n, work, &re, &im) ? HorizonFromRoots(re, im, n, ts)
                                                              : kDefaultHorizon;
}

int64_t SsResponseWork(int32_t n, int32_t p) {
  return 2 * int64_t{n} * n + 2 * int64_t{p} * n + n;
}

void SsResponseSingleInput(const double* a, const double* b, const double* c, const double* d,
                           int32_t n, int32_t p, double x, double y, double* re, double* im,
                           double* work) {
  const double* xs = work + SolveResolvent(a, c, n, p, x, y, work);
  const int64_t pn = int64_t{p} * n;
  for (int32_t j = 0; j < p; j++) {
    double sumRe = d ? d[j] : 0.0, sumIm = 0;
    for (int32_t k = 0; k < n; k++) {
      sumRe += xs[int64_t{j} * n + k] * b[k];
      sumIm += xs[pn + int64_t{j} * n + k] * b[k];
    }
    re[j] = sumRe;
    im[j] = sumIm;
  }
}

int64_t SsSingularValuesWork(int32_t n, int32_t m, int32_t p) {
  const int64_t pm = int64_t{p} * m;
  return SsResponseWork(n, p) + 2 * pm + 4 * pm + 5 * int64_t{m} + 1;
}

void SsSingularValues(const double* a, const double* c, const double* b, const double* d, int32_t n,
                      int32_t m, int32_t p, double x, double y, double* sv, double* work) {
  const double* xs = work + SolveResolvent(a, c, n, p, x, y, work);
  const int64_t pn = int64_t{p} * n, pm = int64_t{p} * m;
  double* g = work + SsResponseWork(n, p);
  for (int32_t i = 0; i < p; i++) {
    for (int32_t j = 0; j < m; j++) {
      double sumRe = d ? d[int64_t{i} * m + j] : 0.0, sumIm = 0;
      for (int32_t k = 0; k < n; k++) {
        const double bkj = b[int64_t{k} * m + j];
        sumRe += xs[int64_t{i} * n + k] * bkj;
        sumIm += xs[pn + int64_t{i} * n + k] * bkj;
      }
      g[int64_t{i} * m + j] = sumRe;
      g[pm + int64_t{i} * m + j] = sumIm;
    }
  }
  ComputeComplexSingularValues(g, g + pm, p, m, sv, g + 2 * pm);
}

}  // namespace vke
