// Implicit-shift QR sweeps on a real bidiagonal matrix (the second half of
// the Golub-Reinsch singular value decomposition).
#include "numerics/kernels/bidiagonal_qr.hpp"

#include <utility>

namespace vke {

namespace {

// Columns i and j: (y, z) := (y c + z s, z c - y s).
void Rotate(RotatedColumns x, int32_t i, int32_t j, double c, double s) {
  if (!x.data) return;
  for (int32_t r = 0; r < x.rows; r++) {
    double& y = x.data[int64_t(r) * x.cols + i];
    double& z = x.data[int64_t(r) * x.cols + j];
    double yv = y, zv = z;
    y = yv * c + zv * s;
    z = zv * c - yv * s;
  }
}

}  // namespace

double Hypotenuse(double a, double b) {
  double x = std::fabs(a), y = std::fabs(b);
  if (x < y) std::swap(x, y);
  if (x == 0) return 0;
  double ratio = y / x;
  return x * std::sqrt(1 + ratio * ratio);
}

bool DiagonaliseBidiagonal(double* w, double* rv, int32_t n, RotatedColumns u, RotatedColumns v,
                           NegligibleTest negligible, int32_t maxSweeps, bool failOnBudget) {
  for (int32_t k = n - 1; k >= 0; k--) {
    for (int32_t sweep = 0;; sweep++) {
      // l: the top of the unreduced part ending at k; cancel when w[l - 1]
      // is negligible while rv[l] is not.
      bool cancel = true;
      int32_t l = k;
      for (; l >= 0; l--) {
        if (l == 0 || negligible(rv[l])) {
          cancel = false;
          break;
        }
        if (negligible(w[l - 1])) break;
      }
      if (cancel) {
        double c = 0, s = 1;
        int32_t nm = l - 1;
        for (int32_t i = l; i <= k; i++) {
          double f = s * rv[i];
          rv[i] = c * rv[i];
          if (negligible(f)) break;
          double g = w[i], h = Hypotenuse(f, g);
          w[i] = h;
          h = 1 / h;
          c = g * h;
          s = -f * h;
          Rotate(u, nm, i, c, s);
        }
      }
      double z = w[k];
      if (l == k) {
        if (z < 0) {
          w[k] = -z;
          if (v.data) {
            for (int32_t j = 0; j < v.rows; j++) {
              v.data[int64_t(j) * v.cols + k] = -v.data[int64_t(j) * v.cols + k];
            }
          }
        }
        break;
      }
      if (sweep == maxSweeps) {
        if (failOnBudget) return false;
        break;
      }
      // The shift from the bottom 2 x 2 minor.
      double x = w[l], y = w[k - 1], g = rv[k - 1], h = rv[k];
      double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2 * h * y);
      g = Hypotenuse(f, 1);
      f = ((x - z) * (x + z) + h * ((y / (f + WithSignOf(g, f))) - h)) / x;
      double c = 1, s = 1;
      for (int32_t j = l; j < k; j++) {
        int32_t i = j + 1;
        g = rv[i];
        y = w[i];
        h = s * g;
        g = c * g;
        z = Hypotenuse(f, h);
        rv[j] = z;
        c = f / z;
        s = h / z;
        f = x * c + g * s;
        g = g * c - x * s;
        h = y * s;
        y *= c;
        Rotate(v, j, i, c, s);
        z = Hypotenuse(f, h);
        w[j] = z;
        if (z != 0) {
          z = 1 / z;
          c = f * z;
          s = h * z;
        }
        f = c * g + s * y;
        x = c * y - s * g;
        Rotate(u, j, i, c, s);
      }
      rv[l] = 0;
      rv[k] = f;
      w[k] = x;
    }
  }
  return true;
}

}  // namespace vke
