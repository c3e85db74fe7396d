// Gauss-Jordan elimination with partial pivoting over row-stored matrices:
// the solvers of A X = B and X A = B and the determinant, real and complex.
//
// One elimination serves all of them. It works on views: X A = B is A' X' =
// B' read through transposed views, and a complex matrix is a view whose
// imaginary part lies a block further. Rows are never moved: perm[i] is the
// storage row that plays row i, and the solution is put in natural order at
// the end.
#include <cmath>
#include <utility>

#include "builtins/complex_num.hpp"
#include "builtins/matrix_kernels.hpp"

namespace vke {

namespace {

// Element (r, c) of a view lies at r * rowStep + c * colStep from base; the
// imaginary part of a complex element (or the second plane of a real
// right-hand side with an imaginary block) lies plane doubles further.
struct View {
  double* base;
  int64_t rowStep;
  int64_t colStep;
  int64_t plane;

  double* At(int32_t r, int32_t c) const { return base + r * rowStep + c * colStep; }
};

View RowView(double* base, int32_t cols, int64_t plane) {
  return {base, cols, 1, plane};
}
View ColumnView(double* base, int32_t cols, int64_t plane) {
  return {base, 1, cols, plane};
}

template <bool kCx>
Num Get(const View& v, int32_t r, int32_t c) {
  const double* p = v.At(r, c);
  return {p[0], kCx ? p[v.plane] : 0.0};
}

// |x| for real pivots, the squared modulus for complex ones.
template <bool kCx>
double PivotSize(Num x) {
  return kCx ? x.re * x.re + x.im * x.im : std::fabs(x.re);
}

// Elements c = from .. to-1 of row r of a view: x = op(x).
template <bool kCx, typename Op>
void ForRow(const View& v, int32_t r, int32_t from, int32_t to, Op op) {
  double* x = v.At(r, 0);
  for (int32_t c = from; c < to; c++) {
    double* p = x + c * v.colStep;
    Num y = op(Num{p[0], kCx ? p[v.plane] : 0.0}, c);
    p[0] = y.re;
    if (kCx) p[v.plane] = y.im;
  }
}

// Row r -= f x row p over columns from .. to-1. The real case is written
// out so that a row view with unit steps becomes a vector loop.
template <bool kCx>
void SubtractRow(const View& v, int32_t r, int32_t p, int32_t from, int32_t to, Num f) {
  if (!kCx) {
    double* x = v.At(r, 0);
    const double* y = v.At(p, 0);
    int64_t step = v.colStep;
    if (step == 1) {
      for (int32_t c = from; c < to; c++) x[c] -= f.re * y[c];
    } else {
      for (int32_t c = from; c < to; c++) x[c * step] -= f.re * y[c * step];
    }
    return;
  }
  ForRow<kCx>(v, r, from, to,
              [&](Num x, int32_t c) { return Minus<kCx>(x, Times<kCx>(f, Get<kCx>(v, p, c))); });
}

// The right-hand sides: one view, or for a real A with a complex B two real
// planes that undergo the same operations.
struct RightSides {
  View view;
  int32_t planes;  // 0 (determinant), 1 or 2
  int32_t cols;

  View Plane(int32_t k) const {
    View v = view;
    v.base += k * v.plane;
    return v;
  }
};

// Finds the largest pivot of column k among perm[k .. n-1] (the first of
// equal ones; a NaN never wins) and exchanges it into perm[k]. True when the
// pivot row changed.
template <bool kCx>
bool ChoosePivot(const View& a, int32_t k, int32_t n, int32_t* perm) {
  double best = -1;
  int32_t at = k;
  for (int32_t i = k; i < n; i++) {
    double size = PivotSize<kCx>(Get<kCx>(a, perm[i], k));
    if (size > best) {
      best = size;
      at = i;
    }
  }
  std::swap(perm[k], perm[at]);
  return at != k;
}

// Eliminates column k from the rows perm[k+1 .. n-1] (skipping rows whose
// entry is exactly zero), in A right of the column and in the right sides.
template <bool kCx>
void EliminateBelow(const View& a, const RightSides& b, int32_t k, int32_t n, const int32_t* perm) {
  int32_t pivot = perm[k];
  for (int32_t i = k + 1; i < n; i++) {
    int32_t r = perm[i];
    Num f = Get<kCx>(a, r, k);
    if (IsZero<kCx>(f)) continue;
    SubtractRow<kCx>(a, r, pivot, k + 1, n, f);
    for (int32_t s = 0; s < b.planes; s++) SubtractRow<kCx>(b.Plane(s), r, pivot, 0, b.cols, f);
  }
}

// Solves A X = B in the views' frame; X replaces B, A is destroyed.
template <bool kCx>
void GaussJordan(const View& a, const RightSides& b, int32_t n, int32_t* perm) {
  for (int32_t i = 0; i < n; i++) perm[i] = i;
  for (int32_t k = 0; k < n; k++) {
    ChoosePivot<kCx>(a, k, n, perm);
    int32_t pivot = perm[k];
    Num q = Quotient<kCx>(Num{1, 0}, Get<kCx>(a, pivot, k));
    auto scale = [&](Num x, int32_t) { return Times<kCx>(x, q); };
    ForRow<kCx>(a, pivot, k + 1, n, scale);
    for (int32_t s = 0; s < b.planes; s++) ForRow<kCx>(b.Plane(s), pivot, 0, b.cols, scale);
    EliminateBelow<kCx>(a, b, k, n, perm);
  }
  for (int32_t k = n - 1; k >= 1; k--) {
    for (int32_t i = 0; i < k; i++) {
      Num f = Get<kCx>(a, perm[i], k);
      if (IsZero<kCx>(f)) continue;
      for (int32_t s = 0; s < b.planes; s++)
        SubtractRow<kCx>(b.Plane(s), perm[i], perm[k], 0, b.cols, f);
    }
  }
  // Natural order, one column at a time through A's storage.
  double* column = a.base;
  int32_t parts = kCx ? 2 : 1;
  for (int32_t s = 0; s < b.planes; s++) {
    for (int32_t part = 0; part < parts; part++) {
      View v = b.Plane(s);
      v.base += part * v.plane;
      for (int32_t c = 0; c < b.cols; c++) {
        for (int32_t i = 0; i < n; i++) column[i] = *v.At(perm[i], c);
        for (int32_t i = 0; i < n; i++) *v.At(i, c) = column[i];
      }
    }
  }
}

// Whether a part of column k in the rows perm[k .. n-1] is NaN.
template <bool kCx>
bool ColumnHasNaN(const View& a, int32_t k, int32_t n, const int32_t* perm) {
  for (int32_t i = k; i < n; i++) {
    const Num x = Get<kCx>(a, perm[i], k);
    if (std::isnan(x.re) || std::isnan(x.im)) return true;
  }
  return false;
}

// The determinant: the product of the pivots, negated at each exchange;
// stops at the first pivot that is zero or NaN. A NaN never wins the pivot
// search, so a zero pivot beside a NaN in its column counts as NaN: the
// determinant of a matrix with a NaN is NaN, never 0.
template <bool kCx>
Num Determinant(const View& a, int32_t n, int32_t* perm) {
  Num det{1, 0};
  for (int32_t i = 0; i < n; i++) perm[i] = i;
  for (int32_t k = 0; k < n; k++) {
    if (ChoosePivot<kCx>(a, k, n, perm)) det = Num{-det.re, -det.im};
    Num p = Get<kCx>(a, perm[k], k);
    if (IsZero<kCx>(p) && ColumnHasNaN<kCx>(a, k, n, perm)) p = Num{NAN, kCx ? NAN : 0.0};
    det = Times<kCx>(det, p);
    if (IsZero<kCx>(p) || std::isnan(p.re) || std::isnan(p.im)) break;
    ForRow<kCx>(a, perm[k], k + 1, n, [&](Num x, int32_t) { return Quotient<kCx>(x, p); });
    EliminateBelow<kCx>(a, RightSides{a, 0, 0}, k, n, perm);
  }
  return det;
}

}  // namespace

void SolveLinearSystemReal(double* a, double* b, int32_t n, int32_t m, int32_t* perm,
                           bool bComplex) {
  RightSides rhs{RowView(b, m, int64_t(n) * m), bComplex ? 2 : 1, m};
  GaussJordan<false>(RowView(a, n, 0), rhs, n, perm);
}

void SolveLinearSystemComplex(double* a, double* b, int32_t n, int32_t m, int32_t* perm) {
  RightSides rhs{RowView(b, m, int64_t(n) * m), 1, m};
  GaussJordan<true>(RowView(a, n, int64_t(n) * n), rhs, n, perm);
}

void SolveRightReal(double* a, double* b, int32_t n, int32_t m, int32_t* perm) {
  RightSides rhs{ColumnView(b, n, 0), 1, m};
  GaussJordan<false>(ColumnView(a, n, 0), rhs, n, perm);
}

void SolveRightComplex(double* a, double* b, int32_t n, int32_t m, int32_t* perm) {
  RightSides rhs{ColumnView(b, n, int64_t(n) * m), 1, m};
  GaussJordan<true>(ColumnView(a, n, int64_t(n) * n), rhs, n, perm);
}

void DeterminantReal(double* a, double* det, int32_t n, int32_t* perm) {
  *det = Determinant<false>(RowView(a, n, 0), n, perm).re;
}

void DeterminantComplex(double* re, double* im, double* detRe, double* detIm, int32_t n,
                        int32_t* perm) {
  Num d = Determinant<true>(RowView(re, n, im - re), n, perm);
  *detRe = d.re;
  *detIm = d.im;
}

}  // namespace vke
