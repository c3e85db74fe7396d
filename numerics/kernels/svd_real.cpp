// The singular value decomposition of a real matrix by Householder
// bidiagonalisation and implicit-shift QR sweeps on the bidiagonal (the
// Golub-Reinsch method), and the singular values of a complex matrix
// through its real embedding.
#include <algorithm>
#include <cmath>

#include "builtins/shell_sort.hpp"
#include "numerics/kernels/bidiagonal_qr.hpp"
#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

// Sweeps on one singular value before it is taken as it stands.
constexpr int32_t kMaxSweeps = 30;

// Magnitudes within 2^+-kSafeExponent square without overflow or underflow,
// with room for the sums and products of the decompositions.
constexpr int kSafeExponent = 450;

struct View {
  double* a;
  int32_t cols;
  double& operator()(int32_t i, int32_t j) const { return a[int64_t(i) * cols + j]; }
};

// The reflection of count entries of x at a stride, scaled by their
// absolute sum first (scale 0: none). The leading entry becomes f - g, so
// that the reflection is I - u u^T / -h with h = f g - s.
struct Reflector {
  double scale = 0;
  double g = 0;
  double h = 0;
};

Reflector MakeScaledReflector(double* x, int32_t count, int64_t stride) {
  Reflector r;
  for (int32_t k = 0; k < count; k++) r.scale += std::fabs(x[k * stride]);
  if (r.scale == 0) return r;
  double s = 0;
  for (int32_t k = 0; k < count; k++) {
    x[k * stride] /= r.scale;
    s += x[k * stride] * x[k * stride];
  }
  double f = x[0];
  r.g = -WithSignOf(std::sqrt(s), f);
  r.h = f * r.g - s;
  x[0] = f - r.g;
  return r;
}

// Householder bidiagonalisation: the diagonal to w, the superdiagonal to
// rv; returns the largest |w[i]| + |rv[i]|.
double Bidiagonalise(View a, int32_t m, int32_t n, double* w, double* rv) {
  double g = 0, scale = 0, anorm = 0;
  for (int32_t i = 0; i < n; i++) {
    int32_t l = i + 1;
    rv[i] = scale * g;
    g = scale = 0;
    if (i < m) {
      Reflector r = MakeScaledReflector(&a(i, i), m - i, n);
      if (r.scale != 0) {
        // Column j gains f_j times column i, f_j = (column i . column j) / h;
        // the products are gathered row by row in rv's free tail.
        double* f = rv;
        std::fill(f + l, f + n, 0.0);
        for (int32_t k = i; k < m; k++) {
          for (int32_t j = l; j < n; j++) f[j] += a(k, i) * a(k, j);
        }
        for (int32_t j = l; j < n; j++) f[j] /= r.h;
        for (int32_t k = i; k < m; k++) {
          for (int32_t j = l; j < n; j++) a(k, j) += f[j] * a(k, i);
        }
        for (int32_t k = i; k < m; k++) a(k, i) *= r.scale;
      }
      scale = r.scale;
      g = r.g;
    }
    w[i] = scale * g;
    g = scale = 0;
    if (i < m && i != n - 1) {
      Reflector r = MakeScaledReflector(&a(i, l), n - l, 1);
      if (r.scale != 0) {
        for (int32_t k = l; k < n; k++) rv[k] = a(i, k) / r.h;
        for (int32_t j = l; j < m; j++) {
          double s = 0;
          for (int32_t k = l; k < n; k++) s += a(j, k) * a(i, k);
          for (int32_t k = l; k < n; k++) a(j, k) += s * rv[k];
        }
        for (int32_t k = l; k < n; k++) a(i, k) *= r.scale;
      }
      scale = r.scale;
      g = r.g;
    }
    anorm = std::max(anorm, std::fabs(w[i]) + std::fabs(rv[i]));
  }
  return anorm;
}

// V from the right reflections kept in A's rows.
void AccumulateRight(View a, int32_t n, View v, const double* rv) {
  double g = 0;
  int32_t l = n;
  for (int32_t i = n - 1; i >= 0; i--) {
    if (i < n - 1) {
      if (g != 0) {
        // Two divisions keep a small a(i, l) from underflowing.
        for (int32_t j = l; j < n; j++) v(j, i) = (a(i, j) / a(i, l)) / g;
        for (int32_t j = l; j < n; j++) {
          double s = 0;
          for (int32_t k = l; k < n; k++) s += a(i, k) * v(k, j);
          for (int32_t k = l; k < n; k++) v(k, j) += s * v(k, i);
        }
      }
      for (int32_t j = l; j < n; j++) v(i, j) = v(j, i) = 0;
    }
    v(i, i) = 1;
    g = rv[i];
    l = i;
  }
}

// U in place of A from the left reflections kept in its columns.
void AccumulateLeft(View a, int32_t m, int32_t n, const double* w) {
  for (int32_t i = std::min(m, n) - 1; i >= 0; i--) {
    int32_t l = i + 1;
    double g = w[i];
    for (int32_t j = l; j < n; j++) a(i, j) = 0;
    if (g != 0) {
      g = 1 / g;
      for (int32_t j = l; j < n; j++) {
        double s = 0;
        for (int32_t k = l; k < m; k++) s += a(k, i) * a(k, j);
        double f = (s / a(i, i)) * g;
        for (int32_t k = i; k < m; k++) a(k, j) += f * a(k, i);
      }
      for (int32_t j = i; j < m; j++) a(j, i) *= g;
    } else {
      for (int32_t j = i; j < m; j++) a(j, i) = 0;
    }
    a(i, i) += 1;
  }
}

// Columns of x (rows r x n) reordered: new column f is old column order[f],
// one row at a time through row.
void PermuteColumns(View x, int32_t rows, int32_t n, const int32_t* order, double* row) {
  for (int32_t r = 0; r < rows; r++) {
    for (int32_t f = 0; f < n; f++) row[f] = x(r, order[f]);
    std::copy(row, row + n, &x(r, 0));
  }
}

}  // namespace

int SafeRangeExponent(const double* values, const double* also, int64_t count) {
  double largest = 0;
  for (int64_t i = 0; i < count; i++) {
    largest = std::max(largest, std::fabs(values[i]));
    if (also) largest = std::max(largest, std::fabs(also[i]));
  }
  // NaN never passes the comparisons above; an infinity is left as it is.
  if (largest == 0 || !std::isfinite(largest)) return 0;
  int exponent;
  std::frexp(largest, &exponent);
  return exponent >= -kSafeExponent && exponent <= kSafeExponent ? 0 : -exponent;
}

void ScaleValues(double* x, int64_t count, int exponent) {
  for (int64_t i = 0; i < count; i++) x[i] = std::ldexp(x[i], exponent);
}

void ComputeSvdReal(double* data, int32_t m, int32_t n, double* w, double* vm, double* work) {
  if (m <= 0 || n <= 0) return;
  // Very small or large entries are scaled first (A becomes U anyway).
  const int shift = SafeRangeExponent(data, nullptr, int64_t(m) * n);
  if (shift != 0) ScaleValues(data, int64_t(m) * n, shift);
  View a{data, n};
  double* rv = work;
  double anorm = Bidiagonalise(a, m, n, w, rv);
  if (!vm) {
    // The values alone: no vectors are accumulated or rotated.
    DiagonaliseBidiagonal(w, rv, n, RotatedColumns{nullptr, m, n}, RotatedColumns{nullptr, n, n},
                          NegligibleTest{anorm, true}, kMaxSweeps, false);
    ShellSortReal(w, n, 1, true);
    if (shift != 0) ScaleValues(w, n, -shift);
    return;
  }
  AccumulateRight(a, n, View{vm, n}, rv);
  AccumulateLeft(a, m, n, w);
  DiagonaliseBidiagonal(w, rv, n, RotatedColumns{data, m, n}, RotatedColumns{vm, n, n},
                        NegligibleTest{anorm, true}, kMaxSweeps, false);
  // Decreasing order: an ascending sort of the values read backwards, with
  // the forward positions as companions, reversed afterwards.
  int32_t* order = reinterpret_cast<int32_t*>(work + n);
  for (int32_t k = 0; k < n; k++) order[k] = n - 1 - k;
  ShellSortRealWithInt32Index(w + n - 1, order, n, -1);
  std::reverse(order, order + n);
  PermuteColumns(a, m, n, order, work);
  PermuteColumns(View{vm, n}, n, n, order, work);
  if (shift != 0) ScaleValues(w, n, -shift);
}

void ComputeComplexSingularValues(const double* aRe, const double* aIm, int32_t m, int32_t n,
                                  double* s, double* work) {
  if (m <= 0 || n <= 0) return;
  double* embedded = work + 3 * int64_t(n) + 1;
  double* values = embedded + 4 * int64_t(m) * n;
  View e{embedded, 2 * n};
  for (int32_t i = 0; i < m; i++) {
    for (int32_t j = 0; j < n; j++) {
      double re = aRe[int64_t(i) * n + j], im = aIm[int64_t(i) * n + j];
      e(i, j) = e(m + i, n + j) = re;
      e(i, n + j) = -im;
      e(m + i, j) = im;
    }
  }
  ComputeSvdReal(embedded, 2 * m, 2 * n, values, nullptr, work);
  for (int32_t k = 0; k < n; k++) s[k] = values[2 * k];
}

}  // namespace vke
