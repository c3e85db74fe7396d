// The exponential of a square matrix, by scaling and squaring around the
// diagonal Pade approximant of degree 6, and the power s^M of a scalar
// raised to a square matrix as expm(ln(s) M). Real and complex matrices go
// through one template; a complex matrix is its real block then its
// imaginary block.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "builtins/matrix_kernels.hpp"

namespace vke {

namespace {

// The scale factor stops growing here, so at most 30 squarings follow.
constexpr double kMaxScale = 1073741824.0;  // 2^30

// X = A X for n x n matrices, one column of X at a time through column.
template <bool kCx>
void MultiplyInPlace(const double* a, double* x, int32_t n, double* column) {
  int64_t nn = int64_t(n) * n;
  for (int32_t j = 0; j < n; j++) {
    for (int32_t i = 0; i < n; i++) {
      double re = 0, im = 0;
      for (int32_t l = 0; l < n; l++) {
        double ar = a[int64_t(i) * n + l], xr = x[int64_t(l) * n + j];
        if (!kCx) {
          re += ar * xr;
          continue;
        }
        double ai = a[nn + int64_t(i) * n + l], xi = x[nn + int64_t(l) * n + j];
        re += ar * xr - ai * xi;
        im += ar * xi + ai * xr;
      }
      column[i] = re;
      if (kCx) column[n + i] = im;
    }
    for (int32_t i = 0; i < n; i++) {
      x[int64_t(i) * n + j] = column[i];
      if (kCx) x[nn + int64_t(i) * n + j] = column[n + i];
    }
  }
}

// C = F F once F holds an overflowed entry: a zero part of either factor
// contributes nothing, also beside an infinite one, so that the overflow
// stays infinite without turning the exact zeros beside it into NaN (0
// times Inf), and entries that underflow stay 0. Sums run over l in
// increasing order, as in the plain products.
template <bool kCx>
void SquareOverflowed(const double* f, int32_t n, double* c) {
  const int64_t nn = int64_t(n) * n;
  auto times = [](double a, double b) { return a == 0 || b == 0 ? 0.0 : a * b; };
  std::fill(c, c + (kCx ? 2 : 1) * nn, 0.0);
  for (int32_t i = 0; i < n; i++) {
    double* rowRe = c + int64_t(i) * n;
    double* rowIm = rowRe + nn;
    for (int32_t l = 0; l < n; l++) {
      const double xr = f[int64_t(i) * n + l], xi = kCx ? f[nn + int64_t(i) * n + l] : 0.0;
      const double* yr = f + int64_t(l) * n;
      const double* yi = yr + nn;
      for (int32_t j = 0; j < n; j++) {
        if (!kCx) {
          rowRe[j] += times(xr, yr[j]);
          continue;
        }
        rowRe[j] += times(xr, yr[j]) - times(xi, yi[j]);
        rowIm[j] += times(xr, yi[j]) + times(xi, yr[j]);
      }
    }
  }
}

bool AllFinite(const double* x, int64_t count) {
  for (int64_t i = 0; i < count; i++) {
    if (!std::isfinite(x[i])) return false;
  }
  return true;
}

template <bool kCx>
void Expm(double* a, int32_t n, double* result, double* work) {
  constexpr int32_t kParts = kCx ? 2 : 1;
  int64_t nn = int64_t(n) * n, block = kParts * nn;
  double* column = work;  // later the permutation vector
  double* x = work + kParts * n;
  double* d = x + block;

  double norm = kCx ? MatrixNormComplex(a, a + nn, n) : MatrixNormReal(a, n);
  double scale = 1;
  int32_t squarings = 0;
  while (scale < kMaxScale && scale / 2 <= norm) {
    scale *= 2;
    squarings++;
  }
  for (int64_t i = 0; i < block; i++) a[i] /= scale;

  // N (in result) = I + c X and D = I - c X, then the higher terms.
  std::memcpy(x, a, 8 * block);
  double c = 0.5;
  for (int64_t i = 0; i < block; i++) {
    double identity = i < nn && i % (n + 1) == 0 ? 1.0 : 0.0;
    result[i] = identity + c * x[i];
    d[i] = identity - c * x[i];
  }
  for (int32_t k = 2; k <= 6; k++) {
    c = c * (7 - k) / (k * (13 - k));
    MultiplyInPlace<kCx>(a, x, n, column);
    for (int64_t i = 0; i < block; i++) {
      result[i] += c * x[i];
      if (k % 2 == 0) {
        d[i] += c * x[i];
      } else {
        d[i] -= c * x[i];
      }
    }
  }
  auto* perm = reinterpret_cast<int32_t*>(column);
  if (kCx) {
    SolveLinearSystemComplex(d, result, n, n, perm);
  } else {
    SolveLinearSystemReal(d, result, n, n, perm, false);
  }

  // Undo the scaling: F = F^2, squarings times, between result and X.
  double* from = result;
  double* to = x;
  for (int32_t t = 0; t < squarings; t++) {
    if (!AllFinite(from, block)) {
      SquareOverflowed<kCx>(from, n, to);
    } else if (kCx) {
      MultiplyComplexMatrices(n, n, n, from, from, to);
    } else {
      MultiplyRealMatrices(n, n, n, from, from, to);
    }
    std::swap(from, to);
  }
  if (from != result) std::memcpy(result, from, 8 * block);
}

}  // namespace

double MatrixNormReal(const double* a, int32_t n) {
  double best = 0;
  for (int32_t i = 0; i < n; i++) {
    double sum = 0;
    for (int32_t j = 0; j < n; j++) sum += std::fabs(a[int64_t(i) * n + j]);
    if (sum > best) best = sum;
  }
  return best;
}

double MatrixNormComplex(const double* re, const double* im, int32_t n) {
  double best = 0;
  for (int32_t i = 0; i < n; i++) {
    double sum = 0;
    for (int32_t j = 0; j < n; j++) {
      int64_t at = int64_t(i) * n + j;
      sum += std::sqrt(re[at] * re[at] + im[at] * im[at]);
    }
    if (sum > best) best = sum;
  }
  return best;
}

void ExpmReal(double* a, int32_t n, double* result, double* work) {
  Expm<false>(a, n, result, work);
}

void ExpmComplex(double* a, int32_t n, double* result, double* work) {
  Expm<true>(a, n, result, work);
}

void ScalarPowMatrixReal(double s, double* m, int32_t n, double* result, double* work) {
  double lnS = std::log(s);
  for (int64_t i = 0; i < int64_t(n) * n; i++) m[i] *= lnS;
  ExpmReal(m, n, result, work);
}

void ScalarPowMatrixComplex(double sRe, double sIm, double* m, int32_t n, double* result,
                            double* work) {
  double lnAbs = 0.5 * std::log(sRe * sRe + sIm * sIm);
  double angle = std::atan2(sIm, sRe);
  int64_t nn = int64_t(n) * n;
  for (int64_t i = 0; i < nn; i++) {
    double re = m[i], im = m[nn + i];
    m[i] = lnAbs * re - angle * im;
    m[nn + i] = lnAbs * im + angle * re;
  }
  ExpmComplex(m, n, result, work);
}

}  // namespace vke
