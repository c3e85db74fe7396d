// Roots of real and complex polynomials: eigenvalues of the companion
// matrix, polished by Newton steps on the polynomial, and when that
// iteration fails, Laguerre's method with deflation, one root (or one
// conjugate pair) at a time.
#include <algorithm>
#include <cmath>

#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/kernels/kernel_math.hpp"

namespace vke {

RootKernelFaults gRootKernelFaults;

namespace {

constexpr int32_t kLaguerreIterations = 200;
// Starts tried for one root before the fallback gives up; a complex run
// that converges to NaN is accepted after kComplexNaNStarts of them.
constexpr int32_t kMaxStarts = 30;
constexpr int32_t kComplexNaNStarts = 10;
constexpr double kStartTolerance = 1e-7;
constexpr double kSmallestTolerance = 1e-9;
// Below this, the imaginary part of a closed-form pair counts as 0.
constexpr double kPairImaginaryFloor = 1e-7;
// A complex result stays a pair while the remainder terms are this large
// relative to the leading coefficient.
constexpr double kPairRemainder = 1e-9;
// Newton steps at most that polish one root of the companion matrix.
constexpr int32_t kPolishSteps = 10;

// p, p' and p'' at z by Horner's rule over n + 1 coefficients.
template <bool kCx>
void Evaluate(const double* cRe, const double* cIm, int32_t n, Num z, Num* p, Num* dp, Num* d2p) {
  Num b{cRe[0], kCx ? cIm[0] : 0.0}, d{}, f{};
  for (int32_t k = 1; k <= n; k++) {
    f = Plus<true>(Times<true>(z, f), d);
    d = Plus<true>(Times<true>(z, d), b);
    b = Plus<true>(Times<true>(z, b), Num{cRe[k], kCx ? cIm[k] : 0.0});
  }
  *p = b;
  *dp = d;
  *d2p = {2 * f.re, 2 * f.im};
}

// Whether the step ends the iteration: below tol, or NaN, which leaves the
// iterate NaN so that the callers do not take the start for a root.
bool Converged(double stepRe, double stepIm, double tol, double* x, double* y) {
  if (std::isnan(stepRe) || std::isnan(stepIm)) {
    *x = *y = NAN;
    return true;
  }
  return std::fabs(stepRe) < tol && std::fabs(stepIm) < tol;
}

// One Laguerre step from z in complex arithmetic: n p / (p' + sqrt(H)),
// the root's sign chosen to enlarge the denominator.
Num ComplexStep(int32_t n, Num p, Num dp, Num h) {
  Num root = StableSqrt(h);
  if (dp.re * root.re + dp.im * root.im < 0) root = {-root.re, -root.im};
  return ScaledQuotient(Times<true>(Num{double(n), 0}, p), Plus<true>(dp, root));
}

// H = (n - 1) ((n - 1) p'^2 - n p p'').
Num LaguerreH(int32_t n, Num p, Num dp, Num d2p) {
  double k = n - 1;
  Num a = Times<true>(Num{k, 0}, Times<true>(dp, dp));
  Num b = Times<true>(Num{double(n), 0}, Times<true>(p, d2p));
  return Times<true>(Num{k, 0}, Minus<true>(a, b));
}

double EffectiveTolerance(double tol, int32_t n) {
  return std::max(kSmallestTolerance, tol * std::exp(-double(n)));
}

// The complex iteration of both kernels, from x + i y.
template <bool kCx>
bool IterateComplex(const double* cRe, const double* cIm, int32_t n, double* x, double* y,
                    double tol, int32_t iterations) {
  for (int32_t it = 0; it < iterations; it++) {
    Num p, dp, d2p;
    Evaluate<kCx>(cRe, cIm, n, Num{*x, *y}, &p, &dp, &d2p);
    Num step = ComplexStep(n, p, dp, LaguerreH(n, p, dp, d2p));
    if (Converged(step.re, step.im, tol, x, y)) return true;
    *x -= step.re;
    *y -= step.im;
  }
  return false;
}

// Deflates c (n + 1 coefficients) by z - root in place.
void DeflateComplexRoot(double* cRe, double* cIm, int32_t n, Num root) {
  for (int32_t k = 0; k < n; k++) {
    Num x = Times<true>(root, Num{cRe[k], cIm[k]});
    cRe[k + 1] += x.re;
    cIm[k + 1] += x.im;
  }
}

// Newton steps on the polynomial from each of the n roots while they make
// |p| smaller. The companion matrix gives its eigenvalues to rounding of
// the largest coefficient ratio, so that a root much smaller than the others
// may come out as 0 or far off; one or two steps on the polynomial itself
// give it to rounding of its own size. Real roots stay real, and the
// members of a conjugate pair stay conjugate.
template <bool kCx>
void PolishRoots(const double* cRe, const double* cIm, int32_t n, double* re, double* im) {
  for (int32_t i = 0; i < n; i++) {
    Num z{re[i], im[i]};
    if (!std::isfinite(z.re) || !std::isfinite(z.im)) continue;
    Num p, dp, d2p;
    Evaluate<kCx>(cRe, cIm, n, z, &p, &dp, &d2p);
    double size = std::hypot(p.re, p.im);
    for (int32_t step = 0; step < kPolishSteps && size > 0 && !IsZero<true>(dp); step++) {
      const Num next = Minus<true>(z, ScaledQuotient(p, dp));
      Num q, dq;
      Evaluate<kCx>(cRe, cIm, n, next, &q, &dq, &d2p);
      const double nextSize = std::hypot(q.re, q.im);
      if (!(nextSize < size)) break;
      z = next;
      p = q;
      dp = dq;
      size = nextSize;
    }
    re[i] = z.re;
    im[i] = z.im;
  }
}

}  // namespace

bool LaguerreRealPolynomial(const double* c, int32_t n, double* x, double* y, double tol) {
  if (gRootKernelFaults.laguerre) return false;
  tol = EffectiveTolerance(tol, n);
  bool complexPhase = !(*y < 0), converged = false;
  int32_t it = 0;
  for (; it < kLaguerreIterations && !complexPhase; it++) {
    Num p, dp, d2p;
    Evaluate<false>(c, nullptr, n, Num{*x, 0}, &p, &dp, &d2p);
    double h = LaguerreH(n, p, dp, d2p).re;
    if (h < 0) {
      // Off the real axis: the complex step from the real point, and the
      // complex iteration from there.
      complexPhase = true;
      *y = 0;
      Num step = ComplexStep(n, p, dp, Num{h, 0});
      converged = Converged(step.re, step.im, tol, x, y);
      if (!converged) {
        *x -= step.re;
        *y -= step.im;
      }
      it++;
      break;
    }
    double s = std::sqrt(h);
    if (dp.re < 0) s = -s;
    double den = dp.re + s, step = den == 0 ? 0.0 : n * p.re / den;
    if (Converged(step, 0, tol, x, y)) {
      converged = true;
      break;
    }
    *x -= step;
  }
  if (complexPhase && !converged) {
    converged = IterateComplex<false>(c, nullptr, n, x, y, tol, kLaguerreIterations - it);
  }
  // Whether x + i y is a genuine pair.
  double q = *x * *x + *y * *y, r1 = c[0], r2 = c[1];
  for (int32_t k = 1; k < n; k++) {
    double previous = r1;
    r2 = c[k + 1] - q * previous;
    r1 = c[k] + 2 * *x * previous;
  }
  bool pair = complexPhase && std::fabs(*y) >= tol &&
              std::fabs(r1) + std::fabs(r2) >= kPairRemainder * c[0];
  *y = pair ? std::fabs(*y) : -1.0;
  return converged;
}

bool LaguerreComplexPolynomial(const double* cRe, const double* cIm, int32_t n, double* x,
                               double* y, double tol) {
  if (gRootKernelFaults.laguerre) return false;
  return IterateComplex<true>(cRe, cIm, n, x, y, EffectiveTolerance(tol, n), kLaguerreIterations);
}

int32_t FindRealPolynomialRoots(double* c, int32_t n, double* re, double* im) {
  if (n <= 0) return 0;
  if (c[0] == 0) return kKernelFailed;
  for (int32_t k = 1; k <= n; k++) c[k] /= c[0];
  c[0] = 1;
  while (n > 0 && c[n] == 0) {
    re[n - 1] = im[n - 1] = 0;
    n--;
  }
  int32_t complexFlag = 0;
  while (n >= 3) {
    double x = 0, y = 0;
    bool found = false;
    for (int32_t start = 0; start < kMaxStarts && !found; start++) {
      x = start == 0 ? 1.0 : double(start);
      y = -1;
      found =
          LaguerreRealPolynomial(c, n, &x, &y, kStartTolerance) && !std::isnan(x) && !std::isnan(y);
    }
    if (!found) return kKernelFailed;
    if (y >= 0) {
      re[n - 1] = re[n - 2] = x;
      im[n - 1] = y;
      im[n - 2] = -y;
      complexFlag = 1;
      double q = x * x + y * y;
      for (int32_t j = 2; j <= n; j++) {
        c[j - 1] += 2 * x * c[j - 2];
        c[j] -= q * c[j - 2];
      }
      n -= 2;
    } else {
      re[n - 1] = x;
      im[n - 1] = 0;
      for (int32_t k = 0; k < n; k++) c[k + 1] += x * c[k];
      n--;
    }
  }
  if (n == 2) {
    double disc = c[1] * c[1] - 4 * c[2] * c[0];
    if (disc < 0) {
      re[0] = re[1] = -c[1] / (2 * c[0]);
      double s = std::sqrt(-disc);
      double part = s >= kPairImaginaryFloor ? s / (2 * c[0]) : 0.0;
      im[0] = part;
      im[1] = -part;
      return 1;
    }
    double s = std::sqrt(disc);
    re[0] = (s - c[1]) / (2 * c[0]);
    re[1] = (-c[1] - s) / (2 * c[0]);
    im[0] = im[1] = 0;
  } else if (n == 1) {
    re[0] = -c[1] / c[0];
    im[0] = 0;
  }
  return complexFlag;
}

bool FindComplexPolynomialRoots(double* cRe, double* cIm, int32_t n, double* re, double* im) {
  if (n <= 0) return true;
  if (cRe[0] == 0 && cIm[0] == 0) return false;
  bool real = true;
  for (int32_t k = 0; k <= n; k++) real = real && cRe[k] + cIm[k] == cRe[k];
  if (real) return FindRealPolynomialRoots(cRe, n, re, im) != kKernelFailed;
  while (n >= 1 && cRe[n] == 0 && cIm[n] == 0) {
    re[n - 1] = im[n - 1] = 0;
    n--;
  }
  while (n > 1) {
    double x = 1, y = -1;
    bool found = false;
    for (int32_t start = 0; start < kMaxStarts && !found; start++) {
      if (start > 0) {
        x = double(start);
        y = -1;
      }
      found = LaguerreComplexPolynomial(cRe, cIm, n, &x, &y, kStartTolerance) &&
              ((!std::isnan(x) && !std::isnan(y)) || start + 1 >= kComplexNaNStarts);
    }
    if (!found) return false;
    re[n - 1] = x;
    im[n - 1] = y;
    DeflateComplexRoot(cRe, cIm, n, Num{x, y});
    n--;
  }
  if (n == 1) {
    Num root = ScaledQuotient(Num{cRe[1], cIm[1]}, Num{cRe[0], cIm[0]});
    re[0] = -root.re;
    im[0] = -root.im;
  }
  return true;
}

int32_t ComputeRealPolynomialRoots(double* c, int32_t n, double* re, double* im, double* work) {
  if (n <= 0) return 0;
  if (c[0] == 0) return kKernelFailed;
  while (n > 0 && c[n] == 0) {
    re[n - 1] = im[n - 1] = 0;
    n--;
  }
  if (n == 0) return 0;
  if (n == 1) {
    re[0] = -c[1] / c[0];
    im[0] = 0;
    return 0;
  }
  int64_t nn = int64_t(n) * n;
  std::fill(work, work + nn, 0.0);
  for (int32_t k = 0; k < n; k++) work[k] = -c[k + 1] / c[0];
  for (int32_t i = 1; i < n; i++) work[int64_t(i) * n + i - 1] = 1;
  // Balanced, the companion matrix of widely spread coefficients keeps its
  // small roots: the scaling keeps the Hessenberg form and the eigenvalues,
  // and im serves as the scale vector until they are written.
  BalanceMatrix(work, nullptr, n, im);
  if (!gRootKernelFaults.companion &&
      ComputeRealEigenvalues(work, n, reinterpret_cast<uint32_t*>(work + nn), re, im)) {
    PolishRoots<false>(c, nullptr, n, re, im);
    for (int32_t i = 0; i < n; i++) {
      if (im[i] != 0) return 1;  // NaN included
    }
    return 0;
  }
  return FindRealPolynomialRoots(c, n, re, im);
}

bool ComputeComplexPolynomialRoots(double* cRe, double* cIm, int32_t n, double* re, double* im,
                                   double* work) {
  if (n <= 0) return true;
  if (cRe[0] == 0 && cIm[0] == 0) return false;
  while (n >= 1 && cRe[n] == 0 && cIm[n] == 0) {
    re[n - 1] = im[n - 1] = 0;
    n--;
  }
  if (n == 0) return true;
  Num lead{cRe[0], cIm[0]};
  if (n == 1) {
    Num root = ScaledQuotient(Num{cRe[1], cIm[1]}, lead);
    re[0] = -root.re;
    im[0] = -root.im;
    return true;
  }
  int64_t nn = int64_t(n) * n;
  double *tRe = work, *tIm = work + nn;
  std::fill(work, work + 2 * nn, 0.0);
  for (int32_t k = 0; k < n; k++) {
    Num x = ScaledQuotient(Num{cRe[k + 1], cIm[k + 1]}, lead);
    tRe[k] = -x.re;
    tIm[k] = -x.im;
  }
  for (int32_t i = 1; i < n; i++) tRe[int64_t(i) * n + i - 1] = 1;
  BalanceMatrix(tRe, tIm, n, re);  // as for a real polynomial
  if (!gRootKernelFaults.companion &&
      ComputeComplexSchurForm(tRe, tIm, n, nullptr, nullptr, work + 2 * nn)) {
    for (int32_t k = 0; k < n; k++) {
      re[k] = tRe[int64_t(k) * n + k];
      im[k] = tIm[int64_t(k) * n + k];
    }
    PolishRoots<true>(cRe, cIm, n, re, im);
    return true;
  }
  return FindComplexPolynomialRoots(cRe, cIm, n, re, im);
}

bool FindRealPolynomialRootsOnCopy(const double* c, int32_t n, double* re, double* im,
                                   double* work) {
  std::copy(c, c + (n > 0 ? n + 1 : 1), work);
  return FindRealPolynomialRoots(work, n, re, im) != kKernelFailed;
}

}  // namespace vke
