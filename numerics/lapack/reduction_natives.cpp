// The "!lapack" natives that reduce one square matrix: chol (dpotrf_/
// zpotrf_, R^H R = A), hess ([P, H] with A = P H P^H, dgehrd_ and dorghr_ or
// their complex twins) and balance ([T, B] with B = T^-1 A T, diagonal
// scaling only by dgebal_/zgebal_).
#include <algorithm>
#include <cmath>

#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "numerics/lapack/lapack_support.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "numerics/lapack/layout_conversions.hpp"

namespace vke {

namespace {

// Zeros below the first subdiagonal of the n x n matrix.
void ClearBelowSubdiagonal(const MatrixOperand& h) {
  const int32_t n = h.rows;
  for (int32_t i = 2; i < n; i++) {
    std::fill(h.re + int64_t{i} * n, h.re + int64_t{i} * n + i - 1, 0.0);
    if (h.im) std::fill(h.im + int64_t{i} * n, h.im + int64_t{i} * n + i - 1, 0.0);
  }
}

// Whether the factor's diagonal is finite: a NaN or an infinity anywhere in
// the upper triangle reaches the diagonal of the factor, which the
// factorisation itself lets through.
bool FiniteDiagonal(const double* r, LapackInt n, bool complex) {
  const int64_t step = (int64_t{n} + 1) * (complex ? 2 : 1);
  for (LapackInt k = 0; k < n; k++)
    if (!std::isfinite(r[k * step])) return false;
  return true;
}

}  // namespace

// chol(A): the upper triangular R with R^H R = A; 107 when A is not
// positive definite, or holds a NaN or an infinity.
ErrCode LapackChol(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  MatrixOperand a;
  if (ErrCode e = ReadSquareArgument(ctx, nargin, &a)) return e;
  const LapackInt n = a.rows;
  if (n == 0) return kOk;
  const bool complex = a.im != nullptr;
  Workspace ws(ctx);
  double* r = complex ? ws.Complexes(int64_t{n} * n) : ws.Reals(int64_t{n} * n);
  if (ErrCode e = ws.Fits(0, 8)) return e;
  CopyMatrixIn(a, complex, r);
  LapackInt info = 0;
  (complex ? zpotrf_ : dpotrf_)("U", &n, r, &n, &info, 1);
  if (ErrCode e = MapInfo(info, kErrBadArg)) return e;
  if (!FiniteDiagonal(r, n, complex)) return kErrBadArg;
  if (complex) {
    ExtractComplexUpperTriangle(r, a.re, a.im, n, n);
  } else {
    ExtractUpperTriangle(r, a.re, n, n);
  }
  return kOk;
}

// hess(A): H; [P, H] = hess(A) with the unitary P.
ErrCode LapackHess(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  MatrixOperand a;
  if (ErrCode e = ReadSquareArgument(ctx, nargin, &a)) return e;
  const bool vectors = nargout >= 2, complex = a.im != nullptr;
  const LapackInt n = a.rows;
  if (n == 0) return vectors ? PushEmptyMatrix(ctx) : kOk;
  Reservations reserved(ctx);
  if (ErrCode e = reserved.PushIf(vectors, n, n, complex)) return reserved.Abandon(e);
  Workspace ws(ctx);
  double* h = complex ? ws.Complexes(int64_t{n} * n) : ws.Reals(int64_t{n} * n);
  double* tau = complex ? ws.Complexes(n - 1) : ws.Reals(n - 1);
  if (ErrCode e = ws.Fits(std::max<int64_t>(n, 1), complex ? 16 : 8)) return reserved.Abandon(e);
  a = ReadMatrixOperand(ctx, reserved.count());
  CopyMatrixIn(a, complex, h);
  const LapackInt one = 1, lwork = ws.WorkLength(complex ? 16 : 8);
  LapackInt info = 0;
  (complex ? zgehrd_ : dgehrd_)(&n, &one, &n, h, &n, tau, ws.Work(), &lwork, &info);
  if (ErrCode e = MapInfo(info, kOk)) return reserved.Abandon(e);
  CopyMatrixOut(h, complex, a);
  ClearBelowSubdiagonal(a);
  if (!vectors) return kOk;
  (complex ? zunghr_ : dorghr_)(&n, &one, &n, h, &n, tau, ws.Work(), &lwork, &info);
  if (ErrCode e = MapInfo(info, kOk)) return e;
  CopyMatrixOut(h, complex, ReadMatrixOperand(ctx, 0));
  return kOk;
}

// balance(A): B; [T, B] = balance(A) with T = diag(scale).
ErrCode LapackBalance(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  MatrixOperand a;
  if (ErrCode e = ReadSquareArgument(ctx, nargin, &a)) return e;
  const bool scaling = nargout >= 2, complex = a.im != nullptr;
  const LapackInt n = a.rows;
  if (n == 0) return scaling ? PushEmptyMatrix(ctx) : kOk;
  Reservations reserved(ctx);
  if (ErrCode e = reserved.PushIf(scaling, n, n, false)) return reserved.Abandon(e);
  if (HasNonFinite(a)) {
    // Nothing to even out against an infinite or NaN entry: B = A, T = I.
    if (scaling) SetRealIdentity(ReadMatrixOperand(ctx, 0).re, n);
    return kOk;
  }
  Workspace ws(ctx);
  double* b = complex ? ws.Complexes(int64_t{n} * n) : ws.Reals(int64_t{n} * n);
  double* scale = ws.Reals(n);
  if (ErrCode e = ws.Fits(0, 8)) return reserved.Abandon(e);
  a = ReadMatrixOperand(ctx, reserved.count());
  CopyMatrixIn(a, complex, b);
  LapackInt ilo = 0, ihi = 0, info = 0;
  (complex ? zgebal_ : dgebal_)("S", &n, b, &n, &ilo, &ihi, scale, &info, 1);
  if (ErrCode e = MapInfo(info, kOk)) return reserved.Abandon(e);
  CopyMatrixOut(b, complex, a);
  if (scaling) {
    const MatrixOperand t = ReadMatrixOperand(ctx, 0);
    MakeDiagonalMatrix(scale, t.re, n, n);
  }
  return kOk;
}

}  // namespace vke
