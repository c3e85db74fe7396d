// The circumsphere of a simplex as the least-squares point on the
// bisecting hyperplanes of every pair of its vertices, through the singular
// value decomposition, which also serves flat simplices.
//
// The n(n+1)/2 pair equations (Pi - Pj) . c = qi - qj, qk = |Pk|^2 / 2,
// need not be formed: for any c the sum of their squared residuals is n + 1
// times that of the n + 1 centred equations (Pi - m) . c = qi - q', with m
// and q' the means of the vertices and of the q (the pairwise form of a
// covariance). Both systems have the same least-squares points, the same
// minimum-norm one among them, and singular values in the ratio sqrt(n+1),
// which the relative cut below does not see; the centred one costs n^3
// instead of n^4.
#include <cmath>

#include "numerics/geometry/geometry.hpp"
#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

// Singular values below this multiple of n^2 times the largest are left out
// (5000 times the double epsilon).
constexpr double kRankTolerance = 1.1102230246251565e-12;

}  // namespace

int64_t CircumsphereScratch(int32_t n) {
  const int64_t rows = int64_t{n} + 1;
  // The system and its right-hand side, the values, V and the kernel's work.
  return rows * n + rows + n + int64_t{n} * n + 2 * n;
}

void Circumsphere(const double* points, int32_t n, const int32_t* vertices, double* centre,
                  double* radius2, double* scratch) {
  const int64_t rows = int64_t{n} + 1;
  double* a = scratch;
  double* b = a + rows * n;
  double* w = b + rows;
  double* v = w + n;
  double* work = v + int64_t{n} * n;
  // The means of the vertices (in centre for now) and of the q.
  double meanQ = 0;
  for (int32_t k = 0; k < n; k++) centre[k] = 0;
  for (int32_t i = 0; i <= n; i++) {
    const double* p = points + int64_t{vertices[i]} * n;
    double q = 0;
    for (int32_t k = 0; k < n; k++) {
      centre[k] += p[k];
      q += p[k] * p[k];
    }
    b[i] = 0.5 * q;
    meanQ += b[i];
  }
  meanQ /= double(rows);
  for (int32_t k = 0; k < n; k++) centre[k] /= double(rows);
  for (int32_t i = 0; i <= n; i++) {
    const double* p = points + int64_t{vertices[i]} * n;
    for (int32_t k = 0; k < n; k++) a[int64_t{i} * n + k] = p[k] - centre[k];
    b[i] -= meanQ;
  }
  ComputeSvdReal(a, static_cast<int32_t>(rows), n, w, v, work);
  // a now holds U: c = V_r diag(1/s) U_r^T b over the leading values.
  const double limit = double(n) * n * w[0] * kRankTolerance;
  for (int32_t k = 0; k < n; k++) centre[k] = 0;
  for (int32_t l = 0; l < n && w[l] > limit; l++) {
    double dot = 0;
    for (int64_t r = 0; r < rows; r++) dot += a[r * n + l] * b[r];
    dot /= w[l];
    for (int32_t k = 0; k < n; k++) centre[k] += v[int64_t{k} * n + l] * dot;
  }
  if (!radius2) return;
  const double* p0 = points + int64_t{vertices[0]} * n;
  double sum = 0;
  for (int32_t k = 0; k < n; k++) sum += (centre[k] - p0[k]) * (centre[k] - p0[k]);
  *radius2 = sum;
}

}  // namespace vke
