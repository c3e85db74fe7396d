// A function of a matrix from its complex Schur form: the Parlett recurrence
// fills the upper triangle of f(T) superdiagonal by superdiagonal from the
// values of f on T's diagonal, then U f(T) U^H gives f of the matrix.
#include <algorithm>
#include <cmath>

#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/kernels/kernel_math.hpp"
#include "numerics/kernels/parlett_recurrence.hpp"

namespace vke {

namespace {

// Realness: F is real when its imaginary parts stay within this many eps of
// its size.
constexpr double kRealnessTolerance = 10 * kKernelEps;

// The engine's split n x n blocks.
ComplexMatrixView RowByRow(double* re, double* im, int32_t n) {
  return {re, im, n, 1};
}

// The largest column sum of |x(i, j)| over rows 0 .. j (upper) or all rows,
// of the moduli or of the imaginary parts alone.
double LargestColumnSum(const ComplexMatrixView& x, int32_t n, bool upperOnly, bool imaginaryOnly) {
  double largest = 0;
  for (int32_t j = 0; j < n; j++) {
    double sum = 0;
    int32_t rows = upperOnly ? j + 1 : n;
    for (int32_t i = 0; i < rows; i++) {
      Num v = x.Get(i, j);
      sum += imaginaryOnly ? std::fabs(v.im) : std::hypot(v.re, v.im);
    }
    largest = std::max(largest, sum);
  }
  return largest;
}

// x y where a zero part of either factor contributes nothing, also beside
// an infinite part.
Num TimesAbsorbingZeros(Num x, Num y) {
  auto part = [](double a, double b) { return a == 0 || b == 0 ? 0.0 : a * b; };
  return {part(x.re, y.re) - part(x.im, y.im), part(x.re, y.im) + part(x.im, y.re)};
}

// F := U F U^H through T := U F, with the given complex product.
template <typename Product>
void BackTransform(const ComplexMatrixView& t, const ComplexMatrixView& f, int32_t n,
                   const ComplexMatrixView& u, Product times) {
  for (int32_t i = 0; i < n; i++) {
    for (int32_t j = 0; j < n; j++) t.Set(i, j, Num{});
  }
  for (int32_t i = 0; i < n; i++) {
    for (int32_t k = 0; k < n; k++) {
      const Num uik = u.Get(i, k);
      for (int32_t j = 0; j < n; j++) {
        t.Set(i, j, Plus<true>(t.Get(i, j), times(uik, f.Get(k, j))));
      }
    }
  }
  for (int32_t i = 0; i < n; i++) {
    for (int32_t j = 0; j < n; j++) {
      Num sum{};
      for (int32_t k = 0; k < n; k++) {
        const Num ujk = u.Get(j, k);
        sum = Plus<true>(sum, times(t.Get(i, k), Num{ujk.re, -ujk.im}));
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
  const ComplexMatrixView t = RowByRow(tRe, tIm, n), f = RowByRow(fRe, fIm, n);
  const ComplexVectorView df{dfRe, dfIm, 1};
  const ParlettOutcome outcome =
      RunParlettRecurrence(t, f, n, dfRe ? &df : nullptr, &ScaledQuotient);
  CompleteMatrixFunction(tRe, tIm, uRe, uIm, n, fRe, fIm, outcome, isComplex, estimate);
  return true;
}

void CompleteMatrixFunction(double* tRe, double* tIm, const double* uRe, const double* uIm,
                            int32_t n, double* fRe, double* fIm, const ParlettOutcome& outcome,
                            uint8_t* isComplex, double* estimate) {
  if (n <= 0) {
    if (isComplex) *isComplex = 0;
    if (estimate) *estimate = 0;
    return;
  }
  const ComplexMatrixView t = RowByRow(tRe, tIm, n), f = RowByRow(fRe, fIm, n);
  if (estimate) {
    double gap = std::sqrt(outcome.smallestGap);
    double bound =
        LargestColumnSum(t, n, true, false) * (gap > kKernelEps ? kKernelEps / gap : 1.0);
    *estimate = outcome.unresolved ? 1.0 : std::clamp(bound, kKernelEps, 1.0);
  }

  // U is only read.
  const ComplexMatrixView u{const_cast<double*>(uRe), const_cast<double*>(uIm), n, 1};
  TransformBack(t, f, n, u);
  if (isComplex) {
    // An infinite imaginary part is never rounding.
    double size = LargestColumnSum(f, n, false, false);
    double imaginary = LargestColumnSum(f, n, false, true);
    *isComplex = std::isfinite(imaginary) && kRealnessTolerance * size >= imaginary ? 0 : 1;
  }
}

bool IsFiniteMatrix(const ComplexMatrixView& x, int32_t n) {
  for (int32_t i = 0; i < n; i++) {
    for (int32_t j = 0; j < n; j++) {
      const Num v = x.Get(i, j);
      if (!std::isfinite(v.re) || !std::isfinite(v.im)) return false;
    }
  }
  return true;
}

void TransformBack(const ComplexMatrixView& t, const ComplexMatrixView& f, int32_t n,
                   const ComplexMatrixView& u) {
  if (IsFiniteMatrix(f, n)) {
    BackTransform(t, f, n, u, [](Num x, Num y) { return Times<true>(x, y); });
  } else {
    BackTransform(t, f, n, u, &TimesAbsorbingZeros);
  }
}

}  // namespace vke
