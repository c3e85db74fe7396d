// Polynomial builtins over coefficient vectors (highest power first): deconv
// (long division, quotient and remainder) and addpol (sum aligned at the
// constant term).
#include <algorithm>

#include "builtins/builtin.hpp"
#include "builtins/complex_num.hpp"
#include "builtins/matrix_ops.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

bool IsVector(const MatrixOperand& m) {
  return m.rows <= 1 || m.cols <= 1;
}

Num At(const MatrixOperand& m, int32_t i) {
  return {m.re[i], m.im ? m.im[i] : 0.0};
}

void Set(const MatrixOperand& m, int32_t i, Num x) {
  m.re[i] = x.re;
  if (m.im) m.im[i] = x.im;
}

// Pushes a vector of n elements (0 x 0 when n <= 0), a column or a row.
ErrCode PushVector(EngineContext* ctx, int32_t n, bool column, bool complex, MatrixOperand* out) {
  double *re, *im = nullptr;
  ErrCode e = PushNewMatrix(ctx, column ? n : 1, column ? 1 : n, &re, complex ? &im : nullptr);
  if (e) return e;
  *out = ReadMatrixOperand(ctx, 0);
  return kOk;
}

// Divides w (the dividend, overwritten) by a into q: q(i) = w(i) / a(0),
// then w(i + j) -= q(i) a(j).
template <bool kCx>
void LongDivision(const MatrixOperand& w, int32_t nw, const MatrixOperand& a, int32_t na,
                  const MatrixOperand& q) {
  for (int32_t i = 0; i + na <= nw; i++) {
    Num qi = Quotient<kCx>(At(w, i), At(a, 0));
    Set(q, i, qi);
    for (int32_t j = 1; j < na; j++)
      Set(w, i + j, Minus<kCx>(At(w, i + j), Times<kCx>(qi, At(a, j))));
  }
}

// dst += src, aligned at the bottom right of dst.
void AddAligned(const MatrixOperand& dst, const MatrixOperand& src) {
  int32_t dr = dst.rows - src.rows, dc = dst.cols - src.cols;
  for (int32_t i = 0; i < src.rows; i++)
    for (int32_t j = 0; j < src.cols; j++) {
      int64_t to = int64_t(i + dr) * dst.cols + j + dc, from = int64_t(i) * src.cols + j;
      dst.re[to] += src.re[from];
      if (src.im) dst.im[to] += src.im[from];
    }
}

}  // namespace

// [q, r] = deconv(y, a): y = conv(a, q) + r, with r the last numel(a) - 1
// elements of what remains of y.
ErrCode DeconvBuiltin(EngineContext* ctx, int32_t, int32_t nargout, int32_t) {
  if (!AreDoubleMatrices(ctx, 2)) return kErrWrongTypeOverload;
  MatrixOperand y = ReadMatrixOperand(ctx, 1), a = ReadMatrixOperand(ctx, 0);
  if (!IsVector(y) || !IsVector(a) || a.IsEmpty()) return kErrIncompSize;
  int32_t ny = y.rows * y.cols, na = a.rows * a.cols;
  bool complex = y.im || a.im, column = y.rows > 1;
  // The division works y down in place: both outputs take their room first,
  // so that a failure for lack of room leaves the operands as they came.
  const uint32_t level = ctx->descTop;
  const int32_t outputs = nargout < 2 ? 1 : 2;
  ErrCode e = a.im && !y.im ? MakeBelowTopComplex(ctx) : kOk;
  MatrixOperand q, r;
  if (!e) e = PushVector(ctx, ny - na + 1, column, complex, &q);
  if (!e && outputs == 2) e = PushVector(ctx, na - 1, column, complex, &r);
  if (e) {
    DropAboveLevel(ctx, level);
    return e;
  }
  y = ReadMatrixOperand(ctx, outputs + 1);
  a = ReadMatrixOperand(ctx, outputs);
  q = ReadMatrixOperand(ctx, outputs - 1);
  if (complex) {
    LongDivision<true>(y, ny, a, na, q);
  } else {
    LongDivision<false>(y, ny, a, na, q);
  }
  if (outputs == 1) return DropStackEntries(ctx, 1, 2);
  for (int32_t k = 0; k < na - 1; k++) {
    int32_t from = ny - (na - 1) + k;  // before the start of y: zero
    Set(r, k, from < 0 ? Num{} : At(y, from));
  }
  e = RollStackEntries(ctx, 2, 1);
  return e ? e : DropStackEntries(ctx, 2, 2);
}

// addpol(a, b): the sum with the last rows and columns aligned.
ErrCode AddpolBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  if (!AreDoubleMatrices(ctx, 2)) return kErrWrongTypeOverload;
  MatrixOperand a = ReadMatrixOperand(ctx, 1), b = ReadMatrixOperand(ctx, 0);
  if (b.IsEmpty()) return Drop(ctx);
  if (a.IsEmpty()) return DropStackEntries(ctx, 1, 1);
  int32_t rows = std::max(a.rows, b.rows), cols = std::max(a.cols, b.cols);
  bool sameKind = !a.im == !b.im;
  auto fits = [&](const MatrixOperand& m) { return m.rows == rows && m.cols == cols; };
  if (sameKind && fits(a)) {
    AddAligned(a, b);
    return Drop(ctx);
  }
  if (sameKind && fits(b)) {
    AddAligned(b, a);
    return DropStackEntries(ctx, 1, 1);
  }
  ErrCode e = PushZeroMatrix(ctx, rows, cols, a.im || b.im);
  if (e) return e;
  MatrixOperand sum = ReadMatrixOperand(ctx, 0);
  AddAligned(sum, ReadMatrixOperand(ctx, 2));
  AddAligned(sum, ReadMatrixOperand(ctx, 1));
  return DropStackEntries(ctx, 1, 2);
}

}  // namespace vke
