// Eigenvalues and eigenvectors of a real symmetric matrix by cyclic Jacobi
// rotations with a threshold in the first sweeps.
#include <cmath>

#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxSweeps = 50;
// Sweeps with a threshold, and the sweep from which negligible off-diagonal
// entries are dropped without a rotation.
constexpr int32_t kThresholdSweeps = 4;
constexpr int32_t kDropFromSweep = 5;
constexpr double kThresholdFactor = 0.2;
constexpr double kNegligibleFactor = 100;

// x' = x - s (y + x tau), y' = y + s (x - y tau).
inline void Rotate(double& x, double& y, double s, double tau) {
  double g = x, h = y;
  x = g - s * (h + g * tau);
  y = h + s * (g - h * tau);
}

}  // namespace

void EigSymmetricJacobi(double* data, int32_t n, double* d, double* v, double* work) {
  auto a = [&](int32_t i, int32_t j) -> double& { return data[int64_t(i) * n + j]; };
  double *b = work, *z = work + n;
  if (v) {
    for (int64_t i = 0; i < int64_t(n) * n; i++) v[i] = 0;
    for (int32_t i = 0; i < n; i++) v[int64_t(i) * n + i] = 1;
  }
  for (int32_t i = 0; i < n; i++) {
    d[i] = b[i] = a(i, i);
    z[i] = 0;
  }
  for (int32_t sweep = 0; sweep < kMaxSweeps; sweep++) {
    if (n <= 1) return;
    double sm = 0;
    for (int32_t p = 0; p < n - 1; p++) {
      for (int32_t q = p + 1; q < n; q++) sm += std::fabs(a(p, q));
    }
    if (sm == 0 || std::isnan(sm)) return;
    double threshold = sweep < kThresholdSweeps ? kThresholdFactor * sm / (double(n) * n) : 0.0;
    for (int32_t p = 0; p < n - 1; p++) {
      for (int32_t q = p + 1; q < n; q++) {
        double apq = a(p, q), g = kNegligibleFactor * std::fabs(apq);
        if (sweep >= kDropFromSweep && std::fabs(d[p]) + g == std::fabs(d[p]) &&
            std::fabs(d[q]) + g == std::fabs(d[q])) {
          a(p, q) = 0;
          continue;
        }
        if (!(std::fabs(apq) > threshold)) continue;
        double h = d[q] - d[p], t;
        if (std::fabs(h) + g == std::fabs(h)) {
          t = apq / h;
        } else {
          double theta = 0.5 * h / apq;
          t = 1 / (std::fabs(theta) + std::sqrt(theta * theta + 1));
          if (theta < 0) t = -t;
        }
        double c = 1 / std::sqrt(t * t + 1), s = t * c, tau = s / (1 + c);
        h = t * apq;
        z[p] -= h;
        z[q] += h;
        d[p] -= h;
        d[q] += h;
        a(p, q) = 0;
        for (int32_t j = 0; j < p; j++) Rotate(a(j, p), a(j, q), s, tau);
        for (int32_t j = p + 1; j < q; j++) Rotate(a(p, j), a(j, q), s, tau);
        for (int32_t j = q + 1; j < n; j++) Rotate(a(p, j), a(q, j), s, tau);
        if (v) {
          for (int32_t j = 0; j < n; j++)
            Rotate(v[int64_t(j) * n + p], v[int64_t(j) * n + q], s, tau);
        }
      }
    }
    for (int32_t i = 0; i < n; i++) {
      b[i] += z[i];
      d[i] = b[i];
      z[i] = 0;
    }
  }
}

}  // namespace vke
