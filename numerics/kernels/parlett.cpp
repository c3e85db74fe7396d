// A function of a matrix from its complex Schur form: the Parlett recurrence
// fills the upper triangle of f(T) superdiagonal by superdiagonal from the
// values of f on T's diagonal, then U f(T) U^H gives f of the matrix.
#include <algorithm>
#include <cmath>

#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/kernels/kernel_math.hpp"

namespace vke {

namespace {

// Realness: F is real when its imaginary parts stay within this many eps of
// its size.
constexpr double kRealnessTolerance = 10 * kKernelEps;

struct Complex {
  double* re;
  double* im;
  int32_t n;

  Num Get(int32_t i, int32_t j) const {
    int64_t at = int64_t(i) * n + j;
    return {re[at], im[at]};
  }
  void Set(int32_t i, int32_t j, Num x) {
    int64_t at = int64_t(i) * n + j;
    re[at] = x.re;
    im[at] = x.im;
  }
};

// The largest column sum of |x(i, j)| over rows 0 .. j (upper) or all rows,
// of the moduli or of the imaginary parts alone.
double LargestColumnSum(Complex x, bool upperOnly, bool imaginaryOnly) {
  double largest = 0;
  for (int32_t j = 0; j < x.n; j++) {
    double sum = 0;
    int32_t rows = upperOnly ? j + 1 : x.n;
    for (int32_t i = 0; i < rows; i++) {
      Num v = x.Get(i, j);
      sum += imaginaryOnly ? std::fabs(v.im) : std::hypot(v.re, v.im);
    }
    largest = std::max(largest, sum);
  }
  return largest;
}

// T's strictly lower part is free while the recurrence runs: entry (j, i)
// marks whether T(i..j, i..j) is diagonal, the blocks in which f(T) is
// diagonal too.
bool DiagonalBlock(Complex t, int32_t i, int32_t j) {
  return j == i || t.re[int64_t(j) * t.n + i] != 0;
}

// x y where a zero part of either factor contributes nothing, also beside
// an infinite part.
Num TimesAbsorbingZeros(Num x, Num y) {
  auto part = [](double a, double b) { return a == 0 || b == 0 ? 0.0 : a * b; };
  return {part(x.re, y.re) - part(x.im, y.im), part(x.re, y.im) + part(x.im, y.re)};
}

// F := U F U^H through T := U F, with the given complex product.
template <typename Product>
void BackTransform(Complex t, Complex f, const double* uRe, const double* uIm, Product times) {
  const int32_t n = t.n;
  const int64_t nn = int64_t(n) * n;
  std::fill(t.re, t.re + nn, 0.0);
  std::fill(t.im, t.im + nn, 0.0);
  for (int32_t i = 0; i < n; i++) {
    for (int32_t k = 0; k < n; k++) {
      Num uik{uRe[int64_t(i) * n + k], uIm[int64_t(i) * n + k]};
      for (int32_t j = 0; j < n; j++) {
        t.Set(i, j, Plus<true>(t.Get(i, j), times(uik, f.Get(k, j))));
      }
    }
  }
  for (int32_t i = 0; i < n; i++) {
    for (int32_t j = 0; j < n; j++) {
      Num sum{};
      for (int32_t k = 0; k < n; k++) {
        Num conjUjk{uRe[int64_t(j) * n + k], -uIm[int64_t(j) * n + k]};
        sum = Plus<true>(sum, times(t.Get(i, k), conjUjk));
      }
      f.Set(i, j, sum);
    }
  }
}

}  // namespace

bool ParlettMatrixFunction(double* tRe, double* tIm, const double* uRe, const double* uIm,
                           int32_t n, double* fRe, double* fIm, const double* dfRe,
                           const double* dfIm, uint8_t* isComplex, double* estimate) {
  if (n <= 0) {
    if (isComplex) *isComplex = 0;
    if (estimate) *estimate = 0;
    return true;
  }
  Complex t{tRe, tIm, n}, f{fRe, fIm, n};
  Num t00 = t.Get(0, 0);
  double smallestGap = t00.re * t00.re + t00.im * t00.im;
  bool unresolved = false;
  for (int32_t distance = 1; distance < n; distance++) {
    for (int32_t i = 0; i + distance < n; i++) {
      int32_t j = i + distance;
      Num tij = t.Get(i, j);
      bool diagonal = IsZero<true>(tij) && DiagonalBlock(t, i, j - 1) && DiagonalBlock(t, i + 1, j);
      Num num = Times<true>(tij, Minus<true>(f.Get(j, j), f.Get(i, i)));
      for (int32_t k = i + 1; k < j; k++) {
        num = Plus<true>(num, Minus<true>(Times<true>(t.Get(i, k), f.Get(k, j)),
                                          Times<true>(f.Get(i, k), t.Get(k, j))));
      }
      Num den = Minus<true>(t.Get(j, j), t.Get(i, i));
      if (!IsZero<true>(den))
        smallestGap = std::min(smallestGap, den.re * den.re + den.im * den.im);
      if (diagonal) {
        // Exactly 0, also beside an infinite f (where the quotient is NaN).
        f.Set(i, j, Num{});
      } else if (!IsZero<true>(den)) {
        f.Set(i, j, ScaledQuotient(num, den));
      } else if (distance == 1 && dfRe) {
        // An equal adjacent pair: f of [t x; 0 t] has x f'(t) above.
        f.Set(i, j, Times<true>(tij, Num{dfRe[i], dfIm ? dfIm[i] : 0.0}));
      } else {
        unresolved = true;
      }
      tRe[int64_t(j) * n + i] = diagonal ? 1 : 0;
    }
  }

  if (estimate) {
    double gap = std::sqrt(smallestGap);
    double bound = LargestColumnSum(t, true, false) * (gap > kKernelEps ? kKernelEps / gap : 1.0);
    *estimate = unresolved ? 1.0 : std::clamp(bound, kKernelEps, 1.0);
  }

  // An infinite f (the logarithm of 0) is kept apart from the exact zeros
  // of U, which would turn it into NaN.
  const bool finite =
      std::all_of(fRe, fRe + int64_t(n) * n, [](double x) { return std::isfinite(x); }) &&
      std::all_of(fIm, fIm + int64_t(n) * n, [](double x) { return std::isfinite(x); });
  if (finite) {
    BackTransform(t, f, uRe, uIm, [](Num x, Num y) { return Times<true>(x, y); });
  } else {
    BackTransform(t, f, uRe, uIm, &TimesAbsorbingZeros);
  }
  if (isComplex) {
    double size = LargestColumnSum(f, false, false);
    double imaginary = LargestColumnSum(f, false, true);
    *isComplex = kRealnessTolerance * size >= imaginary ? 0 : 1;
  }
  return true;
}

}  // namespace vke
