// The Parlett recurrence that fills the upper triangle of f(T) for an upper
// triangular T from f on T's diagonal, on matrices in any layout, shared by
// the engine's matrix functions and those over LAPACK.
//
// Entry (i, j) above the diagonal, superdiagonal by superdiagonal and by
// increasing i within one, is
//   [T(i,j) (F(j,j) - F(i,i)) + sum_{k=i+1}^{j-1} (T(i,k) F(k,j) - F(i,k) T(k,j))]
//   / (T(j,j) - T(i,i)),
// so that F T = T F. An entry whose block T(i..j, i..j) is diagonal is
// exactly 0 (also where f is infinite); the divisor is never an exact zero:
// an equal adjacent pair takes
// F(i, i+1) = T(i, i+1) f'(T(i, i)) when f' is given; any other entry
// between equal diagonal values keeps the value it has (F cleared: 0) and
// the recurrence reports itself unresolved. T's strictly lower part serves
// as scratch (it marks the diagonal blocks) and is left changed.
#pragma once

#include <algorithm>
#include <cstdint>

#include "builtins/complex_num.hpp"

namespace vke {

// An n x n complex matrix whose element (i, j) has its parts at
// re[i * rowStep + j * colStep] and im[...]: the engine's split row-by-row
// blocks (rowStep n, colStep 1) or LAPACK's interleaved columns (im = re + 1,
// rowStep 2, colStep 2n).
struct ComplexMatrixView {
  double* re;
  double* im;
  int64_t rowStep;
  int64_t colStep;

  int64_t At(int32_t i, int32_t j) const { return i * rowStep + j * colStep; }
  Num Get(int32_t i, int32_t j) const { return {re[At(i, j)], im[At(i, j)]}; }
  void Set(int32_t i, int32_t j, Num x) const {
    re[At(i, j)] = x.re;
    im[At(i, j)] = x.im;
  }
};

// n complex values at re[i * step] and im[i * step].
struct ComplexVectorView {
  const double* re;
  const double* im;  // null: all zero
  int64_t step;

  Num Get(int32_t i) const { return {re[i * step], im ? im[i * step] : 0.0}; }
};

struct ParlettOutcome {
  // The smallest |T(j,j) - T(i,i)|^2 divided by, starting from |T(0,0)|^2.
  double smallestGap = 0;
  // Whether an entry between equal diagonal values kept its value.
  bool unresolved = false;
};

// Runs the recurrence on the upper triangle of f, whose diagonal holds f on
// T's diagonal; df (or null) holds f' there. divide(x, y) divides by a
// non-zero y.
template <typename Divide>
ParlettOutcome RunParlettRecurrence(const ComplexMatrixView& t, const ComplexMatrixView& f,
                                    int32_t n, const ComplexVectorView* df, Divide divide) {
  ParlettOutcome out;
  if (n <= 0) return out;
  const Num t00 = t.Get(0, 0);
  out.smallestGap = t00.re * t00.re + t00.im * t00.im;
  // Entry (j, i) of T's lower part marks whether T(i..j, i..j) is diagonal.
  auto diagonalBlock = [&](int32_t i, int32_t j) { return j == i || t.re[t.At(j, i)] != 0; };
  for (int32_t distance = 1; distance < n; distance++) {
    for (int32_t i = 0; i + distance < n; i++) {
      const int32_t j = i + distance;
      const Num tij = t.Get(i, j);
      const bool diagonal = IsZero<true>(tij) && diagonalBlock(i, j - 1) && diagonalBlock(i + 1, j);
      Num num = Times<true>(tij, Minus<true>(f.Get(j, j), f.Get(i, i)));
      for (int32_t k = i + 1; k < j; k++) {
        num = Plus<true>(num, Minus<true>(Times<true>(t.Get(i, k), f.Get(k, j)),
                                          Times<true>(f.Get(i, k), t.Get(k, j))));
      }
      const Num den = Minus<true>(t.Get(j, j), t.Get(i, i));
      if (diagonal) {
        // Exactly 0, also beside an infinite f (where the quotient is NaN).
        f.Set(i, j, Num{});
      } else if (!IsZero<true>(den)) {
        f.Set(i, j, divide(num, den));
        out.smallestGap = std::min(out.smallestGap, den.re * den.re + den.im * den.im);
      } else if (distance == 1 && df) {
        // An equal adjacent pair: f of [t x; 0 t] has x f'(t) above.
        f.Set(i, j, Times<true>(tij, df->Get(i)));
      } else {
        out.unresolved = true;
      }
      t.re[t.At(j, i)] = diagonal ? 1 : 0;
    }
  }
  return out;
}

// What ParlettMatrixFunction does after its recurrence, for an F whose upper
// triangle is complete: the error estimate from the outcome (or null), F :=
// U F U^H (T is scratch), and whether F is real (or null); all split
// row-by-row blocks.
void CompleteMatrixFunction(double* tRe, double* tIm, const double* uRe, const double* uIm,
                            int32_t n, double* fRe, double* fIm, const ParlettOutcome& outcome,
                            uint8_t* isComplex, double* estimate);

// F := U F U^H for n x n complex matrices in any layout, through T := U F
// (T is scratch). When F holds an infinite or NaN part (the logarithm of
// 0), a zero part of either factor contributes nothing, also beside an
// infinite one: exact zeros of U keep f's infinities where they belong
// instead of spreading NaN.
void TransformBack(const ComplexMatrixView& t, const ComplexMatrixView& f, int32_t n,
                   const ComplexMatrixView& u);
// Whether every part of the n x n matrix is finite.
bool IsFiniteMatrix(const ComplexMatrixView& x, int32_t n);

}  // namespace vke
