// Discretisation (zero-order and first-order hold, bilinear substitution,
// matched poles and zeros) and the conversions between transfer functions
// and state space.
#include "control/conversion_kernels.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "builtins/matrix_kernels.hpp"
#include "control/frequency_response.hpp"
#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

int64_t Sq(int32_t n) {
  return int64_t{n} * n;
}

// The characteristic polynomial of the n x n A (copied into work first);
// false (and c NaN) when its eigenvalues do not converge. work: n^2 + 4n + 1.
bool CharPoly(const double* a, int32_t n, double* c, double* work) {
  std::copy(a, a + Sq(n), work);
  if (ComputeRealCharPoly(work, n, c, work + Sq(n)) == kKernelFailed) {
    std::fill(c, c + n + 1, kNaN);
    return false;
  }
  return true;
}
int64_t CharPolyWork(int32_t n) {
  return Sq(n) + 4 * int64_t{n} + 1;
}

// The exponential of the size x size m (destroyed) into e.
void Exponential(double* m, int32_t size, double* e, double* work) {
  ExpmReal(m, size, e, work);
}
int64_t ExponentialWork(int32_t size) {
  return size + 2 * Sq(size);
}

// Rows and columns [r0, r0 + rows) x [c0, c0 + cols) of the size-wide src.
void CopyBlock(const double* src, int32_t size, int32_t r0, int32_t c0, int32_t rows, int32_t cols,
               double* dst) {
  for (int32_t i = 0; i < rows; i++) {
    std::copy_n(src + int64_t{r0 + i} * size + c0, cols, dst + int64_t{i} * cols);
  }
}

// The block [[A ts, B ts], ...] of the size-wide matrix m, zero elsewhere.
void PlaceScaledSystem(const double* a, const double* b, int32_t n, int32_t m, double ts,
                       int32_t size, double* out) {
  std::fill(out, out + Sq(size), 0.0);
  for (int32_t i = 0; i < n; i++) {
    for (int32_t j = 0; j < n; j++) out[int64_t{i} * size + j] = a[int64_t{i} * n + j] * ts;
    for (int32_t j = 0; j < m; j++) out[int64_t{i} * size + n + j] = b[int64_t{i} * m + j] * ts;
  }
}

// Sum over j of p[j] (a z + b)^(deg - j) (c z + d)^(total - deg + j), with
// the powers of both factors (total + 1 rows of total + 1) in pw and qw.
void SubstituteBilinear(const double* p, int32_t deg, int32_t total, const double* pw,
                        const double* qw, double* out) {
  const int32_t w = total + 1;
  std::fill(out, out + w, 0.0);
  for (int32_t j = 0; j <= deg; j++) {
    const int32_t ka = deg - j, kc = total - deg + j;
    for (int32_t u = 0; u <= ka; u++) {
      const double pu = p[j] * pw[int64_t{ka} * w + u];
      for (int32_t v = 0; v <= kc; v++) out[u + v] += pu * qw[int64_t{kc} * w + v];
    }
  }
}

// Powers 0 .. total of (a z + b), row k holding the k + 1 coefficients.
void LinearPowers(double a, double b, int32_t total, double* pw) {
  const int32_t w = total + 1;
  pw[0] = 1;
  for (int32_t k = 1; k <= total; k++) {
    const double* prev = pw + int64_t{k - 1} * w;
    double* row = pw + int64_t{k} * w;
    row[0] = a * prev[0];
    for (int32_t j = 1; j < k; j++) row[j] = a * prev[j] + b * prev[j - 1];
    row[k] = b * prev[k - 1];
  }
}

double Sum(const double* p, int32_t count) {
  double s = 0;
  for (int32_t k = 0; k < count; k++) s += p[k];
  return s;
}

}  // namespace

int64_t BilinearMapWork(int32_t denDegree) {
  return 2 * Sq(denDegree + 1) + denDegree + 1;
}

void ApplyBilinearMap(const double* num, int32_t numDegree, const double* den, int32_t denDegree,
                      double a, double b, double c, double d, uint8_t normalise, double* numOut,
                      double* denOut, double* work) {
  const int32_t w = denDegree + 1;
  double* pw = work;
  double* qw = pw + Sq(w);
  double* denTmp = qw + Sq(w);
  LinearPowers(a, b, denDegree, pw);
  LinearPowers(c, d, denDegree, qw);
  SubstituteBilinear(den, denDegree, denDegree, pw, qw, denTmp);
  const double scale = normalise ? denTmp[0] : 1.0;
  if (numOut) {
    SubstituteBilinear(num, numDegree, denDegree, pw, qw, numOut);
    for (int32_t k = 0; k < w; k++) numOut[k] /= scale;
  }
  if (denOut) {
    for (int32_t k = 0; k < w; k++) denOut[k] = denTmp[k] / scale;
  }
}

int64_t DiscretizeTfByExpmWork(int32_t n) {
  const int32_t n1 = n + 1;
  return 2 * Sq(n1) + ExponentialWork(n1) + 2 * Sq(n) + CharPolyWork(n) + 2 * int64_t{n1};
}

bool DiscretizeTfByExpm(const double* num, int32_t numDegree, const double* den, int32_t n,
                        double ts, double* numOut, double* denOut, double* work) {
  denOut[0] = 1;
  if (n == 0) {
    if (numOut) numOut[0] = num[0] / den[0];
    return true;
  }
  const int32_t n1 = n + 1;
  double* m = work;
  double* e = m + Sq(n1);
  double* expWork = e + Sq(n1);
  double* phi = expWork + ExponentialWork(n1);
  double* copy = phi + Sq(n);
  double* cpWork = copy + Sq(n);
  double* charCopy = cpWork + CharPolyWork(n);
  // The companion matrix of den with the input integrated in the last row.
  std::fill(m, m + Sq(n1), 0.0);
  for (int32_t k = 0; k < n; k++) m[int64_t{k} * n1] = -den[k + 1] / den[0] * ts;
  m[int64_t{n} * n1] = ts;
  for (int32_t k = 0; k + 1 < n; k++) m[int64_t{k} * n1 + k + 1] = ts;
  Exponential(m, n1, e, expWork);
  CopyBlock(e, n1, 0, 0, n, n, phi);
  const double* row = e + int64_t{n} * n1;  // the hold's contribution
  if (!CharPoly(phi, n, denOut, cpWork)) {
    if (numOut) std::fill(numOut, numOut + (numDegree == n ? n1 : n), kNaN);
    return false;
  }
  if (!numOut) return true;
  // The numerator from the rank-one change of the characteristic polynomial.
  std::copy(phi, phi + Sq(n), copy);
  const bool proper = numDegree == n;
  for (int32_t i = 0; i < (proper ? n : numDegree + 1); i++) {
    const int32_t r = proper ? i : n - 1 - numDegree + i;
    const double v = proper ? num[i + 1] - num[0] * den[i + 1] / den[0] : num[i];
    for (int32_t j = 0; j < n; j++) copy[int64_t{r} * n + j] -= v * row[j];
  }
  const bool ok = CharPoly(copy, n, charCopy, cpWork);
  if (proper) {
    for (int32_t k = 0; k <= n; k++) numOut[k] = ((num[0] - 1) * denOut[k] + charCopy[k]) / den[0];
  } else {
    for (int32_t k = 0; k < n; k++) numOut[k] = (charCopy[k + 1] - denOut[k + 1]) / den[0];
  }
  return ok;
}

int64_t ZohStateSpaceWork(int32_t n, int32_t m) {
  return 2 * Sq(n + m) + ExponentialWork(n + m);
}

void ZohStateSpace(const double* a, const double* b, int32_t n, int32_t m, double ts, double* ad,
                   double* bd, double* work) {
  const int32_t size = n + m;
  double* mm = work;
  double* e = mm + Sq(size);
  PlaceScaledSystem(a, b, n, m, ts, size, mm);
  Exponential(mm, size, e, e + Sq(size));
  CopyBlock(e, size, 0, 0, n, n, ad);
  CopyBlock(e, size, 0, n, n, m, bd);
}

int64_t DiscretizeSsByExpmWork(int32_t n, int32_t m, int32_t p) {
  const int32_t size = n + 2 * m;
  return 2 * Sq(size) + ExponentialWork(size) + 2 * int64_t{n} * m + int64_t{p} * m;
}

void DiscretizeSsByExpm(const double* a, const double* b, const double* c, const double* d,
                        int32_t n, int32_t m, int32_t p, double ts, double* ad, double* bd,
                        double* cd, double* dd, double* work, double* rampOut) {
  const int32_t size = n + 2 * m;
  double* mm = work;
  double* e = mm + Sq(size);
  double* gamma2 = e + Sq(size) + ExponentialWork(size);
  double* phiGamma2 = gamma2 + int64_t{n} * m;
  PlaceScaledSystem(a, b, n, m, ts, size, mm);
  // The ramp between samples: its unit slope is not scaled by ts.
  for (int32_t k = 0; k < m; k++) mm[int64_t{n + k} * size + n + m + k] = 1.0;
  Exponential(mm, size, e, e + Sq(size));
  CopyBlock(e, size, 0, 0, n, n, ad);
  CopyBlock(e, size, 0, n, n, m, bd);
  CopyBlock(e, size, 0, n + m, n, m, gamma2);
  if (rampOut != nullptr) std::copy(gamma2, gamma2 + int64_t{n} * m, rampOut);
  MultiplyRealMatrices(n, n, m, ad, gamma2, phiGamma2);
  for (int64_t k = 0; k < int64_t{n} * m; k++) bd[k] += phiGamma2[k] - gamma2[k];
  double* cGamma2 = phiGamma2;  // reused: p x m
  MultiplyRealMatrices(p, n, m, c, gamma2, cGamma2);
  std::copy(c, c + int64_t{p} * n, cd);
  for (int64_t k = 0; k < int64_t{p} * m; k++) dd[k] = d[k] + cGamma2[k];
}

void TfToStateSpace(const double* num, int32_t numDegree, const double* den, int32_t n, double* a,
                    double* b, double* c, double* d) {
  std::fill(a, a + Sq(n), 0.0);
  std::fill(b, b + n, 0.0);
  if (n > 0) b[0] = 1;
  for (int32_t k = 0; k < n; k++) a[k] = -den[k + 1] / den[0];
  for (int32_t k = 1; k < n; k++) a[int64_t{k} * n + k - 1] = 1;
  if (numDegree == n) {
    *d = num[0] / den[0];
    for (int32_t k = 0; k < n; k++) c[k] = (num[k + 1] - *d * den[k + 1]) / den[0];
    return;
  }
  *d = 0;
  std::fill(c, c + n, 0.0);
  for (int32_t k = 0; k <= numDegree; k++) c[n - 1 - numDegree + k] = num[k] / den[0];
}

int64_t StateSpaceToTfWork(int32_t n) {
  return Sq(n) + CharPolyWork(n) + n + 1;
}

bool StateSpaceToTf(const double* a, const double* b, const double* c, const double* d, int32_t iu,
                    int32_t n, int32_t m, int32_t p, double* work, double* numOut, double* denOut) {
  double* shifted = work;
  double* cpWork = shifted + Sq(n);
  double* charShifted = cpWork + CharPolyWork(n);
  bool ok = CharPoly(a, n, denOut, cpWork);
  if (!numOut) return ok;
  for (int32_t i = 0; i < p; i++) {
    // charpoly(A - b c_i) - charpoly(A) is the strictly proper numerator.
    for (int32_t r = 0; r < n; r++) {
      for (int32_t k = 0; k < n; k++) {
        shifted[int64_t{r} * n + k] =
            a[int64_t{r} * n + k] - b[int64_t{r} * m + iu] * c[int64_t{i} * n + k];
      }
    }
    ok = CharPoly(shifted, n, charShifted, cpWork) && ok;
    const double di = d[int64_t{i} * m + iu];
    double* row = numOut + int64_t{i} * (n + 1);
    for (int32_t k = 0; k <= n; k++) row[k] = charShifted[k] - denOut[k] + di * denOut[k];
  }
  return ok;
}

int64_t DiscretizeTfViaSsWork(int32_t n) {
  return 2 * (Sq(n) + 2 * int64_t{n} + 1) + DiscretizeSsByExpmWork(n, 1, 1) + StateSpaceToTfWork(n);
}

bool DiscretizeTfViaSs(const double* num, int32_t numDegree, const double* den, int32_t n,
                       double ts, double* numOut, double* denOut, double* work) {
  double* a = work;
  double* b = a + Sq(n);
  double* c = b + n;
  double* d = c + n;
  double* ad = d + 1;
  double* bd = ad + Sq(n);
  double* cd = bd + n;
  double* dd = cd + n;
  double* rest = dd + 1;
  TfToStateSpace(num, numDegree, den, n, a, b, c, d);
  DiscretizeSsByExpm(a, b, c, d, n, 1, 1, ts, ad, bd, cd, dd, rest);
  return StateSpaceToTf(ad, bd, cd, dd, 0, n, 1, 1, rest, numOut, denOut);
}

namespace {

int64_t MapRootsWork(int32_t degree, int32_t total) {
  return (degree + 1) + Sq(degree) + degree + 3 * int64_t{total} + 1;
}

}  // namespace

bool MapRootsToDiscrete(const double* p, int32_t degree, int32_t extraRoots, double ts, double* out,
                        double* work) {
  const int32_t total = degree + extraRoots;
  double* copy = work;
  double* re = copy + degree + 1;
  double* im = re + total;
  double* outIm = im + total;
  double* rootWork = outIm + total + 1;
  if (degree > 0) {
    std::copy(p, p + degree + 1, copy);
    if (ComputeRealPolynomialRoots(copy, degree, re, im, rootWork) == kKernelFailed) {
      std::fill(out, out + total + 1, kNaN);
      return false;
    }
  }
  for (int32_t k = 0; k < degree; k++) {
    const double mag = std::exp(re[k] * ts), arg = im[k] * ts;
    re[k] = mag * std::cos(arg);
    im[k] = mag * std::sin(arg);
  }
  for (int32_t k = degree; k < total; k++) {
    re[k] = -1;
    im[k] = 0;
  }
  if (!MatchConjugatePairs(re, im, total, out, outIm)) {
    std::fill(out, out + total + 1, kNaN);
    return false;
  }
  return true;
}

int64_t MatchPolesZerosWork(int32_t numDegree, int32_t n) {
  return MapRootsWork(std::max(numDegree, n), std::max(numDegree, n));
}

bool MatchPolesZeros(const double* num, int32_t numDegree, const double* den, int32_t n, double ts,
                     double* numOut, double* denOut, double* work) {
  if (!MapRootsToDiscrete(den, n, 0, ts, denOut, work)) return false;
  if (!numOut) return true;
  const int32_t extra = numDegree < n ? n - numDegree - 1 : 0;
  const int32_t numOutDegree = numDegree + extra;
  if (!MapRootsToDiscrete(num, numDegree, extra, ts, numOut, work)) return false;
  // Match the gain at s = 0 and z = 1 where it is finite and non-zero there;
  // a zero or pole at the origin moves the match to s = i / ts, z = e^i.
  double k = (num[numDegree] / den[n]) * Sum(denOut, n + 1) / Sum(numOut, numOutDegree + 1);
  if (!std::isfinite(k) || k == 0) {
    double cRe, cIm, dRe, dIm;
    EvalRationalAtComplex(num, numDegree, den, n, 0, 1 / ts, &cRe, &cIm);
    EvalRationalAtComplex(numOut, numOutDegree, denOut, n, std::cos(1.0), std::sin(1.0), &dRe,
                          &dIm);
    const double ratio = std::hypot(cRe, cIm) / std::hypot(dRe, dIm);
    k = cRe * dRe + cIm * dIm < 0 ? -ratio : ratio;
  }
  for (int32_t j = 0; j <= numOutDegree; j++) numOut[j] *= k;
  return true;
}

}  // namespace vke
