// The circumsphere of a simplex as the least-squares point on the
// bisecting hyperplanes of every pair of its vertices, through the singular
// value decomposition, which also serves flat simplices.
#include <cmath>

#include "numerics/geometry/geometry.hpp"
#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

// Singular values below this multiple of n^2 times the largest are left out
// (5000 times the double epsilon).
constexpr double kRankTolerance = 1.1102230246251565e-12;

int64_t PairCount(int32_t n) {
  return int64_t{n} * (n + 1) / 2;
}

}  // namespace

int64_t CircumsphereScratch(int32_t n) {
  const int64_t pairs = PairCount(n);
  // The system and its right-hand side, the values, V and the kernel's work.
  return pairs * n + pairs + n + int64_t{n} * n + 2 * n;
}

void Circumsphere(const double* points, int32_t n, const int32_t* vertices, double* centre,
                  double* radius2, double* scratch) {
  const int64_t pairs = PairCount(n);
  double* a = scratch;
  double* b = a + pairs * n;
  double* w = b + pairs;
  double* v = w + n;
  double* work = v + int64_t{n} * n;
  int64_t row = 0;
  for (int32_t i = 0; i <= n; i++) {
    const double* pi = points + int64_t{vertices[i]} * n;
    for (int32_t j = i + 1; j <= n; j++, row++) {
      const double* pj = points + int64_t{vertices[j]} * n;
      double rhs = 0;
      for (int32_t k = 0; k < n; k++) {
        a[row * n + k] = pi[k] - pj[k];
        rhs += (pj[k] + pi[k]) * (pi[k] - pj[k]);
      }
      b[row] = 0.5 * rhs;
    }
  }
  ComputeSvdReal(a, static_cast<int32_t>(pairs), n, w, v, work);
  // a now holds U: c = V_r diag(1/s) U_r^T b over the leading values.
  const double limit = double(n) * n * w[0] * kRankTolerance;
  for (int32_t k = 0; k < n; k++) centre[k] = 0;
  for (int32_t l = 0; l < n && w[l] > limit; l++) {
    double dot = 0;
    for (int64_t r = 0; r < pairs; r++) dot += a[r * n + l] * b[r];
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
