// The "!lapack" natives over the LU factorisation with partial pivoting:
// lu, det and rcond.
#include <algorithm>

#include "engine/errors/errors.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/values.hpp"
#include "numerics/lapack/lapack_support.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "numerics/lapack/layout_conversions.hpp"

namespace vke {

namespace {

// dgetrf_/zgetrf_ on the n x n array; an exactly zero pivot (INFO > 0) just
// leaves a zero on U's diagonal.
ErrCode FactorLu(bool complex, LapackInt n, double* a, LapackInt* pivots) {
  LapackInt info = 0;
  (complex ? zgetrf_ : dgetrf_)(&n, &n, a, &n, pivots, &info);
  return MapInfo(info, kOk);
}

// Row i of P A is row perm[i] of A: the pivots' row swaps in order.
void PermutationOfPivots(const LapackInt* pivots, int32_t n, int32_t* perm) {
  for (int32_t i = 0; i < n; i++) perm[i] = i;
  for (int32_t k = 0; k < n; k++) std::swap(perm[k], perm[pivots[k] - 1]);
}

// Sets the diagonal of the n x n factor to 1: the unit diagonal of L.
void SetUnitDiagonal(double* factor, bool complex, int32_t n) {
  const int32_t parts = complex ? 2 : 1;
  for (int32_t i = 0; i < n; i++) {
    double* x = factor + parts * (int64_t{i} * n + i);
    x[0] = 1;
    if (complex) x[1] = 0;
  }
}

void ExtractUpper(const double* factor, bool complex, const MatrixOperand& u) {
  if (complex) {
    ExtractComplexUpperTriangle(factor, u.re, u.im, u.rows, u.cols);
  } else {
    ExtractUpperTriangle(factor, u.re, u.rows, u.cols);
  }
}

// L with a unit diagonal (written to rows perm[i] with a permutation).
void ExtractLower(const double* factor, bool complex, const int32_t* perm, const MatrixOperand& l) {
  if (complex && perm) {
    ExtractComplexPermutedLowerTriangle(factor, l.re, l.im, l.rows, l.cols, perm);
  } else if (complex) {
    ExtractComplexLowerTriangle(factor, l.re, l.im, l.rows, l.cols);
  } else if (perm) {
    ExtractPermutedLowerTriangle(factor, l.re, l.rows, l.cols, perm);
  } else {
    ExtractLowerTriangle(factor, l.re, l.rows, l.cols);
  }
}

// n x n zeros with P(i, perm[i]) = 1, so that P A = L U.
void FillPermutationMatrix(const int32_t* perm, const MatrixOperand& p) {
  std::fill(p.re, p.re + int64_t{p.rows} * p.cols, 0.0);
  for (int32_t i = 0; i < p.rows; i++) p.re[int64_t{i} * p.cols + perm[i]] = 1;
}

}  // namespace

// lu(A): the factor array (U and the multipliers of L); [L, U]: the
// row-permuted L with L U = A; [L, U, P]: P A = L U. Results the argument's
// storage cannot hold are reserved before the scratch memory is taken.
ErrCode LapackLu(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  MatrixOperand a;
  if (ErrCode e = ReadSquareArgument(ctx, nargin, &a)) return e;
  const int32_t n = a.rows, outputs = std::max(nargout, 1);
  const bool complex = a.im != nullptr;
  if (n == 0) {
    for (int32_t k = 1; k < outputs; k++)
      if (ErrCode e = PushEmptyMatrix(ctx)) return e;
    return kOk;
  }
  // The argument's storage takes the factor array, U (two outputs) or P
  // (three, real); a complex argument cannot hold the real P, which is
  // reserved then.
  const bool reserveP = outputs == 3 && complex;
  Reservations reserved(ctx);
  ErrCode e = kOk;
  if (reserveP) e = reserved.Push(n, n, false);
  if (!e && outputs == 3) e = reserved.Push(n, n, complex);
  if (!e && outputs >= 2) e = reserved.Push(n, n, complex);
  if (e) return reserved.Abandon(e);

  Workspace ws(ctx);
  const int64_t nn = int64_t{n} * n;
  double* factor = complex ? ws.Complexes(nn) : ws.Reals(nn);
  LapackInt* pivots = ws.Integers(n);
  int32_t* perm = ws.Integers(n);
  if ((e = ws.Fits(0, 8))) return reserved.Abandon(e);
  a = ReadMatrixOperand(ctx, reserved.count());
  CopyMatrixIn(a, complex, factor);
  if ((e = FactorLu(complex, n, factor, pivots))) return reserved.Abandon(e);
  PermutationOfPivots(pivots, n, perm);

  if (outputs == 1) {
    CopyMatrixOut(factor, complex, a);
    return kOk;
  }
  const MatrixOperand l = ReadMatrixOperand(ctx, 0);
  if (outputs == 2) {
    ExtractUpper(factor, complex, a);
    SetUnitDiagonal(factor, complex, n);
    ExtractLower(factor, complex, perm, l);
    return kOk;
  }
  ExtractUpper(factor, complex, ReadMatrixOperand(ctx, 1));
  SetUnitDiagonal(factor, complex, n);
  ExtractLower(factor, complex, nullptr, l);
  FillPermutationMatrix(perm, reserveP ? ReadMatrixOperand(ctx, 2) : a);
  return reserveP ? RemoveArguments(ctx, 3, 1) : kOk;
}

// det(A): the product of U's diagonal, negated for an odd number of row
// swaps; 1 for []. A real matrix takes the real product, so that an
// overflow or a NaN stays real (Inf, NaN) and never meets a zero
// imaginary part in a complex product.
ErrCode LapackDet(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  MatrixOperand a;
  if (ErrCode e = ReadSquareArgument(ctx, nargin, &a)) return e;
  const int32_t n = a.rows;
  const bool complex = a.im != nullptr;
  double re = 1, im = 0;
  if (n > 0) {
    Workspace ws(ctx);
    double* factor = complex ? ws.Complexes(int64_t{n} * n) : ws.Reals(int64_t{n} * n);
    LapackInt* pivots = ws.Integers(n);
    if (ErrCode e = ws.Fits(0, 8)) return e;
    CopyMatrixIn(a, complex, factor);
    if (ErrCode e = FactorLu(complex, n, factor, pivots)) return e;
    bool odd = false;
    for (int32_t k = 0; k < n; k++) {
      const double* u = factor + (complex ? 2 : 1) * (int64_t{k} * n + k);
      if (complex) {
        const double next = re * u[0] - im * u[1];
        im = im * u[0] + re * u[1];
        re = next;
      } else {
        re *= u[0];
      }
      odd ^= pivots[k] != k + 1;
    }
    if (odd) {
      re = -re;
      im = -im;
    }
  }
  return ReplaceInputsWithScalar(ctx, 1, re, im);
}

// rcond(A): LAPACK's estimate of the reciprocal condition number in the
// 1-norm; 1 for [].
ErrCode LapackRcond(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  MatrixOperand a;
  if (ErrCode e = ReadSquareArgument(ctx, nargin, &a)) return e;
  const LapackInt n = a.rows;
  const bool complex = a.im != nullptr;
  double rcond = 1;
  if (n > 0) {
    Workspace ws(ctx);
    double* factor = complex ? ws.Complexes(int64_t{n} * n) : ws.Reals(int64_t{n} * n);
    // Real: 4n doubles of work. Complex: 2n complex and 2n real.
    double* work = complex ? ws.Complexes(2 * int64_t{n}) : ws.Reals(4 * int64_t{n});
    double* rwork = complex ? ws.Reals(2 * int64_t{n}) : nullptr;
    LapackInt* pivots = ws.Integers(n);  // also the integer work of dgecon_
    if (ErrCode e = ws.Fits(0, 8)) return e;
    CopyMatrixIn(a, complex, factor);
    const char* oneNorm = "1";
    LapackInt info = 0;
    double anorm;
    if (complex) {
      anorm = zlange_(oneNorm, &n, &n, factor, &n, rwork, 1);
      if (ErrCode e = FactorLu(true, n, factor, pivots)) return e;
      zgecon_(oneNorm, &n, factor, &n, &anorm, &rcond, work, rwork, &info, 1);
    } else {
      anorm = dlange_(oneNorm, &n, &n, factor, &n, work, 1);
      if (ErrCode e = FactorLu(false, n, factor, pivots)) return e;
      dgecon_(oneNorm, &n, factor, &n, &anorm, &rcond, work, pivots, &info, 1);
    }
    if (ErrCode e = MapInfo(info, kOk)) return e;
  }
  return ReplaceInputsWithScalar(ctx, 1, rcond);
}

}  // namespace vke
