// Eigenvalues of a real matrix without vectors: stabilised elimination to
// Hessenberg form, then double-shift QR steps that deflate one eigenvalue or
// one pair at a time from the bottom.
#include <algorithm>
#include <cmath>

#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/kernels/kernel_math.hpp"

namespace vke {

namespace {

constexpr int32_t kBudgetPerEigenvalue = 30;
// Iterations on one eigenvalue after which an exceptional shift is taken.
constexpr int32_t kFirstExceptionalShift = 10;
constexpr int32_t kSecondExceptionalShift = 20;
constexpr double kExceptionalShift = 0.75;
constexpr double kExceptionalProduct = -0.4375;

struct Rows {
  double* a;
  int32_t n;
  double& operator()(int32_t i, int32_t j) const { return a[int64_t(i) * n + j]; }
};

// The first row l <= nn, from the bottom, whose subdiagonal entry is
// negligible (0 when none is).
int32_t SmallSubdiagonal(Rows a, int32_t nn, double anorm, double tol) {
  for (int32_t l = nn; l >= 1; l--) {
    double s = std::fabs(a(l, l)) + std::fabs(a(l - 1, l - 1));
    if (s == 0) s = anorm / (0.5 * double(nn + 1) * double(nn + 1));
    if (std::fabs(a(l, l - 1)) <= s * tol) return l;
  }
  return 0;
}

}  // namespace

void ReduceToHessenbergByElimination(double* data, int32_t n, uint32_t* index) {
  Rows a{data, n};
  for (int32_t m = 1; m < n - 1; m++) {
    double x = 0;
    int32_t pivot = m;
    for (int32_t j = m; j < n; j++) {
      if (std::fabs(a(j, m - 1)) > std::fabs(x)) {
        x = a(j, m - 1);
        pivot = j;
      }
    }
    index[m] = uint32_t(pivot);
    if (pivot != m) {
      for (int32_t j = m - 1; j < n; j++) std::swap(a(pivot, j), a(m, j));
      for (int32_t j = 0; j < n; j++) std::swap(a(j, pivot), a(j, m));
    }
    if (x == 0) continue;
    for (int32_t i = m + 1; i < n; i++) {
      double y = a(i, m - 1);
      if (y == 0) continue;
      y /= x;
      a(i, m - 1) = y;
      for (int32_t j = m; j < n; j++) a(i, j) -= y * a(m, j);
      for (int32_t j = 0; j < n; j++) a(j, m) += y * a(j, i);
    }
  }
}

bool IterateHessenbergQR(double* data, int32_t n, double tol, double* wr, double* wi) {
  Rows a{data, n};
  double anorm = 0;
  for (int32_t i = 0; i < n; i++) {
    for (int32_t j = std::max(i - 1, 0); j < n; j++) anorm += std::fabs(a(i, j));
  }
  if (!std::isfinite(anorm)) {
    // No iteration converges on non-finite entries.
    std::fill(wr, wr + n, NAN);
    std::fill(wi, wi + n, 0.0);
    return false;
  }
  if (anorm == 0) {
    std::fill(wr, wr + n, 0.0);
    std::fill(wi, wi + n, 0.0);
    return true;
  }
  int32_t nn = n - 1, its = 0;
  int64_t budget = int64_t(kBudgetPerEigenvalue) * n;
  double t = 0;
  while (nn >= 0) {
    int32_t l = SmallSubdiagonal(a, nn, anorm, tol);
    double x = a(nn, nn);
    if (l == nn) {
      wr[nn] = x + t;
      wi[nn] = 0;
      nn--;
      its = 0;
      continue;
    }
    double y = a(nn - 1, nn - 1), w = a(nn, nn - 1) * a(nn - 1, nn);
    if (l == nn - 1) {
      double p = 0.5 * (y - x), q = p * p + w, z = std::sqrt(std::fabs(q));
      x += t;
      if (q <= 0) {
        wr[nn - 1] = wr[nn] = x + p;
        wi[nn - 1] = z;
        wi[nn] = -z;
      } else {
        z = p < 0 ? p - z : p + z;
        wr[nn - 1] = x + z;
        wr[nn] = x - w / z;
        wi[nn - 1] = wi[nn] = 0;
      }
      nn -= 2;
      its = 0;
      continue;
    }
    if (budget == 0) return false;
    budget--;
    if (its == kFirstExceptionalShift || its == kSecondExceptionalShift) {
      t += x;
      for (int32_t i = 0; i <= nn; i++) a(i, i) -= x;
      double s = std::fabs(a(nn, nn - 1)) + std::fabs(a(nn - 1, nn - 2));
      x = y = kExceptionalShift * s;
      w = kExceptionalProduct * s * s;
    }
    its++;
    // Where the double step starts: the first row from the bottom where the
    // bulge's first column makes a negligible subdiagonal entry.
    int32_t m = nn - 2;
    double p = 0, q = 0, r = 0;
    for (;; m--) {
      double z = a(m, m), rr = x - z, s = y - z;
      p = (rr * s - w) / a(m + 1, m) + a(m, m + 1);
      q = a(m + 1, m + 1) - z - rr - s;
      r = a(m + 2, m + 1);
      s = std::fabs(p) + std::fabs(q) + std::fabs(r);
      p /= s;
      q /= s;
      r /= s;
      if (m == l) break;
      double u = std::fabs(a(m, m - 1)) * (std::fabs(q) + std::fabs(r));
      double v =
          std::fabs(p) * (std::fabs(a(m - 1, m - 1)) + std::fabs(z) + std::fabs(a(m + 1, m + 1)));
      if (v * tol >= u) break;
    }
    for (int32_t i = m + 2; i <= nn; i++) {
      a(i, i - 2) = 0;
      if (i != m + 2) a(i, i - 3) = 0;
    }
    for (int32_t k = m; k <= nn - 1; k++) {
      bool inner = k != nn - 1;
      if (k != m) {
        p = a(k, k - 1);
        q = a(k + 1, k - 1);
        r = inner ? a(k + 2, k - 1) : 0;
        x = std::fabs(p) + std::fabs(q) + std::fabs(r);
        if (x == 0) continue;
        p /= x;
        q /= x;
        r /= x;
      }
      double s = std::sqrt(p * p + q * q + r * r);
      if (p < 0) s = -s;
      if (k != m) {
        a(k, k - 1) = -s * x;
      } else if (l != m) {
        a(k, k - 1) = -a(k, k - 1);
      }
      p += s;
      x = p / s;
      y = q / s;
      double z = r / s;
      q /= p;
      r /= p;
      for (int32_t j = k; j <= nn; j++) {
        p = a(k, j) + q * a(k + 1, j);
        if (inner) {
          p += r * a(k + 2, j);
          a(k + 2, j) -= p * z;
        }
        a(k + 1, j) -= p * y;
        a(k, j) -= p * x;
      }
      for (int32_t i = l; i <= std::min(nn, k + 3); i++) {
        p = x * a(i, k) + y * a(i, k + 1);
        if (inner) {
          p += z * a(i, k + 2);
          a(i, k + 2) -= p * r;
        }
        a(i, k + 1) -= p * q;
        a(i, k) -= p;
      }
    }
  }
  return true;
}

bool ComputeRealEigenvalues(double* a, int32_t n, uint32_t* index, double* re, double* im) {
  // At unit size the iteration's squares neither overflow nor underflow; a
  // triangular matrix, whose diagonal is already the answer, keeps its
  // smallest entries unscaled.
  const int e = IsUpperTriangular(a, nullptr, n) ? 0 : ScaleToUnitRange(a, nullptr, int64_t(n) * n);
  ReduceToHessenbergByElimination(a, n, index);
  if (!IterateHessenbergQR(a, n, kKernelEps, re, im)) return false;
  ScaleByPowerOfTwo(re, im, n, e);
  return true;
}

}  // namespace vke
