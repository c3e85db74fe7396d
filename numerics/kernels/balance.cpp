// Balancing of a real or complex square matrix by powers of two: each row
// and its column are scaled until their absolute sums are within a factor
// of two, which leaves the eigenvalues exact and improves their accuracy.
#include <algorithm>
#include <cmath>

#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

// Scales stop below this size and at or above kLargestScale.
constexpr double kSmallestScale = 8 * kKernelEps;
constexpr double kLargestScale = 562949953421312.0;  // 2^49

struct LineSums {
  double sum = 0;
  double largest = 0;
};

// The sum of |re| (+ |im|) over n entries at a stride, and the largest part.
LineSums SumLine(const double* re, const double* im, int32_t n, int64_t stride) {
  LineSums out;
  for (int32_t k = 0; k < n; k++) {
    double x = std::fabs(re[k * stride]), y = im ? std::fabs(im[k * stride]) : 0.0;
    out.sum += x + y;
    out.largest = std::max({out.largest, x, y});
  }
  return out;
}

}  // namespace

void BalanceMatrix(double* re, double* im, int32_t n, double* scale) {
  std::fill(scale, scale + n, 1.0);
  bool changed = true;
  while (changed) {
    changed = false;
    for (int32_t i = 0; i < n; i++) {
      int64_t row = int64_t(i) * n;
      LineSums col = SumLine(re + i, im ? im + i : nullptr, n, n);
      LineSums rw = SumLine(re + row, im ? im + row : nullptr, n, 1);
      double c = col.sum, cmax = col.largest, r = rw.sum, rmax = rw.largest;
      if (c == 0 || r == 0) continue;
      double f = 1;
      if (c >= r) {
        while (2 * r < c) {
          if (f <= kSmallestScale || cmax <= kSmallestScale || r >= kLargestScale) break;
          f /= 2;
          c /= 2;
          cmax /= 2;
          r *= 2;
        }
      } else {
        while (2 * c < r) {
          if (f >= kLargestScale || c >= kLargestScale || rmax <= kSmallestScale) break;
          f *= 2;
          c *= 2;
          r /= 2;
          rmax /= 2;
        }
      }
      if (f == 1 || !(f * scale[i] > kSmallestScale) || f * scale[i] >= kLargestScale) continue;
      scale[i] *= f;
      for (int32_t k = 0; k < n; k++) {
        re[int64_t(k) * n + i] *= f;
        re[row + k] /= f;
        if (im) {
          im[int64_t(k) * n + i] *= f;
          im[row + k] /= f;
        }
      }
      changed = true;
    }
  }
}

}  // namespace vke
