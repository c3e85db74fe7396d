// The "!lapack" natives that solve linear systems: inv, pinv, mldivide
// (A \ B) and mrdivide (B / A).
//
// Right division X A = B is solved as A^T X^T = B^T: a row-by-row array read
// column-major is the transpose, so A and B are copied straight and X^T is
// read back straight. Its complex least-squares case uses the conjugate
// transposes instead. A square system with an exactly zero pivot gives an
// all-+Inf real result, not an error. Empty operands and operands that are
// not double matrices are left to the core builtins, so that the results do
// not depend on whether this library is registered.
#include <algorithm>

#include "builtins/builtin.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "numerics/lapack/lapack_loader.hpp"
#include "numerics/lapack/lapack_support.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "numerics/lapack/layout_conversions.hpp"
#include "numerics/lapack/least_squares.hpp"
#include "numerics/linalg/linalg_support.hpp"

namespace vke {

namespace {

// dgesv_/zgesv_ on the n x n A and the n x nrhs B, which receives the
// solution; *singular when a pivot is exactly zero.
ErrCode SolveSquare(bool complex, LapackInt n, LapackInt nrhs, double* a, LapackInt* pivots,
                    double* b, bool* singular) {
  LapackInt info = 0;
  (complex ? zgesv_ : dgesv_)(&n, &nrhs, a, &n, pivots, b, &n, &info);
  *singular = info > 0;
  return info < 0 ? kErrIllegal : kOk;
}

// How the arrays of a division are copied: a real system (a complex B's
// imaginary part as further right-hand sides), a complex one, or, for right
// division by a complex matrix that is not square, the conjugate transposes.
enum class SystemKind : uint8_t { kReal, kComplex, kConjugated };

// The operands of A \ B (left) or B / A (right) as one system with m rows and
// n columns and `sides` right-hand sides of length m.
struct Division {
  bool right = false;
  MatrixOperand a;
  MatrixOperand b;
  SystemKind kind = SystemKind::kReal;
  LapackInt m = 0;
  LapackInt n = 0;
  LapackInt sides = 0;

  int32_t DepthOfA() const { return right ? 0 : 1; }
  int32_t DepthOfB() const { return right ? 1 : 0; }
  // The right-hand sides LAPACK solves for.
  LapackInt Nrhs() const { return kind == SystemKind::kReal && b.im ? 2 * sides : sides; }
  int32_t ResultRows() const { return right ? sides : n; }
  int32_t ResultCols() const { return right ? n : sides; }
  bool ComplexResult() const { return a.im || b.im; }
};

// Reads the operands, which lie below `above` entries.
void ReadDivision(EngineContext* ctx, bool right, Division* d, int32_t above = 0) {
  d->right = right;
  d->a = ReadMatrixOperand(ctx, above + d->DepthOfA());
  d->b = ReadMatrixOperand(ctx, above + d->DepthOfB());
}

// A (transposed for right division) into the LAPACK array.
void CopySystemMatrix(const Division& d, double* dst) {
  const MatrixOperand& a = d.a;
  if (!d.right) return CopyMatrixIn(a, d.kind != SystemKind::kReal, dst);
  switch (d.kind) {
    case SystemKind::kReal:
      return CopyRealStraight(a.re, dst, a.rows, a.cols);
    case SystemKind::kComplex:
      return CopyComplexStraight(a.re, a.im, dst, a.rows, a.cols);
    case SystemKind::kConjugated:
      return CopyConjugateStraight(a.re, a.im, dst, a.rows, a.cols);
  }
}

// B's sides (its columns, or its rows for right division) into the LAPACK
// columns of length ld.
void CopySides(const Division& d, double* dst, LapackInt ld) {
  const MatrixOperand& b = d.b;
  double* second = dst + int64_t{ld} * d.sides;
  switch (d.kind) {
    case SystemKind::kReal:
      if (d.right) {
        CopyRealStraightLd(b.re, dst, ld, b.rows, b.cols);
        if (b.im) CopyRealStraightLd(b.im, second, ld, b.rows, b.cols);
      } else {
        CopyRealToColumnMajorLd(b.re, dst, ld, b.rows, b.cols);
        if (b.im) CopyRealToColumnMajorLd(b.im, second, ld, b.rows, b.cols);
      }
      return;
    case SystemKind::kComplex:
      // Square right division: the sides are whole columns (ld = b.cols).
      if (d.right) return CopyComplexStraight(b.re, b.im, dst, b.rows, b.cols);
      return CopyComplexToColumnMajorLd(b.re, b.im, dst, ld, b.rows, b.cols);
    case SystemKind::kConjugated:
      return CopyConjugateStraightLd(b.re, b.im, dst, ld, b.rows, b.cols);
  }
}

// The first n entries of each solution column (ld apart) into x.
void CopySolution(const Division& d, const double* src, LapackInt ld, const MatrixOperand& x) {
  const double* second = src + int64_t{ld} * d.sides;
  switch (d.kind) {
    case SystemKind::kReal:
      if (d.right) {
        CopyRealStraightBackLd(src, ld, x.re, x.cols, x.rows);
        if (x.im) CopyRealStraightBackLd(second, ld, x.im, x.cols, x.rows);
      } else {
        CopyRealFromColumnMajorLd(src, ld, x.re, x.rows, x.cols);
        if (x.im) CopyRealFromColumnMajorLd(second, ld, x.im, x.rows, x.cols);
      }
      return;
    case SystemKind::kComplex:
      if (d.right) return CopyComplexStraightBack(src, x.re, x.im, x.rows, x.cols);
      return CopyComplexFromColumnMajorLd(src, ld, x.re, x.im, x.rows, x.cols);
    case SystemKind::kConjugated:
      return CopyConjugateStraightBackLd(src, ld, x.re, x.im, x.cols, x.rows);
  }
}

// A square system: the solution has B's shape and takes B's storage, unless
// B is real and A complex, when a complex result is reserved.
ErrCode DivideSquare(EngineContext* ctx, Division d) {
  const LapackInt n = d.n;
  const bool complex = d.a.im != nullptr;
  d.kind = complex ? SystemKind::kComplex : SystemKind::kReal;
  Reservations reserved(ctx);
  if (complex && !d.b.im) {
    if (ErrCode e = reserved.Push(d.b.rows, d.b.cols, true)) return reserved.Abandon(e);
  }
  Workspace ws(ctx);
  const int64_t nn = int64_t{n} * n, sides = int64_t{n} * d.Nrhs();
  double* a = complex ? ws.Complexes(nn) : ws.Reals(nn);
  double* b = complex ? ws.Complexes(sides) : ws.Reals(sides);
  LapackInt* pivots = ws.Integers(n);
  if (ErrCode e = ws.Fits(0, 8)) return reserved.Abandon(e);
  ReadDivision(ctx, d.right, &d, reserved.count());
  CopySystemMatrix(d, a);
  CopySides(d, b, n);
  bool singular = false;
  if (ErrCode e = SolveSquare(complex, n, d.Nrhs(), a, pivots, b, &singular))
    return reserved.Abandon(e);
  // The result is B itself, or the reservation on top.
  const bool inPlace = reserved.count() == 0;
  const MatrixOperand x = inPlace ? d.b : ReadMatrixOperand(ctx, 0);
  if (singular) {
    FillWithInfinity(x.re, x.rows, x.cols);
  } else {
    CopySolution(d, b, n, x);
  }
  ErrCode e = inPlace ? DropStackEntries(ctx, d.DepthOfA(), 1) : RemoveArguments(ctx, 1, 2);
  return !e && singular ? MakeTopReal(ctx) : e;
}

// A system that is not square: the minimum-norm least-squares solution with
// the singular values at or below max(m, n) eps times the largest dropped.
ErrCode DivideLeastSquares(EngineContext* ctx, Division d) {
  const bool complex = d.a.im != nullptr;
  d.kind = !complex ? SystemKind::kReal : d.right ? SystemKind::kConjugated : SystemKind::kComplex;
  Reservations reserved(ctx);
  if (ErrCode e = reserved.Push(d.ResultRows(), d.ResultCols(), d.ComplexResult()))
    return reserved.Abandon(e);
  Workspace ws(ctx);
  LeastSquaresProblem ls;
  ls.complex = complex;
  ls.m = d.m;
  ls.n = d.n;
  ls.nrhs = d.Nrhs();
  ls.LayOut(&ws);
  if (ErrCode e = ls.Fits(&ws)) return reserved.Abandon(e);
  ReadDivision(ctx, d.right, &d, reserved.count());
  CopySystemMatrix(d, ls.a);
  CopySides(d, ls.b, ls.Ld());
  if (ErrCode e = ls.Solve(ws, ls.Ld() * kLapackEps)) return reserved.Abandon(e);
  CopySolution(d, ls.b, ls.Ld(), ReadMatrixOperand(ctx, 0));
  return RemoveArguments(ctx, 1, 2);
}

// Every element of the double array at the depth times 1 / divisor (the
// reciprocal formed once).
void ScaleByReciprocal(EngineContext* ctx, int32_t depth, double divisor) {
  const NumericView v = ViewNumeric(ctx, depth);
  double* x = reinterpret_cast<double*>(v.elements);
  const double r = 1 / divisor;
  const int64_t count = int64_t{v.shape.count} * (v.complex ? 2 : 1);
  for (int64_t i = 0; i < count; i++) x[i] *= r;
}

// The common course of both divisions; fallback is the core builtin of the
// same division, elementwise the function a scalar divisor goes to.
ErrCode Divide(EngineContext* ctx, bool right, BuiltinFn fallback, const char* elementwise) {
  Division d;
  d.right = right;
  const char* scalarDivisor = right ? "Ac" : "cA";
  if (IsRealDoubleScalarAt(ctx, d.DepthOfA()) && ArgumentsMatch(ctx, 2, scalarDivisor)) {
    double divisor;
    GetScalarArg(ctx, d.DepthOfA(), &divisor);
    ScaleByReciprocal(ctx, d.DepthOfB(), divisor);
    return DropStackEntries(ctx, d.DepthOfA(), 1);
  }
  if (ArgumentsMatch(ctx, 2, scalarDivisor)) return HandOver(ctx, elementwise, 2);
  if (!ArgumentsMatch(ctx, 2, "CC")) {
    if (IsSingleScalarAt(ctx, d.DepthOfA())) return HandOver(ctx, elementwise, 2);
    return fallback(ctx, 2, 1, 0);
  }
  ReadDivision(ctx, right, &d);
  if (d.a.IsEmpty() || d.b.IsEmpty()) return fallback(ctx, 2, 1, 0);
  d.m = right ? d.a.cols : d.a.rows;
  d.n = right ? d.a.rows : d.a.cols;
  d.sides = right ? d.b.rows : d.b.cols;
  if ((right ? d.b.cols : d.b.rows) != d.m) return kErrIncompSize;
  if (ErrCode e = LoadLapack(ctx)) return e;
  return d.m == d.n ? DivideSquare(ctx, d) : DivideLeastSquares(ctx, d);
}

}  // namespace

ErrCode LapackMldivide(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  return Divide(ctx, false, MldivideBuiltin, "ldivide");
}

ErrCode LapackMrdivide(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  return Divide(ctx, true, MrdivideBuiltin, "rdivide");
}

// inv(A) as the solution of A X = I; [] stays as it is.
ErrCode LapackInv(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  MatrixOperand a;
  if (ErrCode e = ReadSquareArgument(ctx, nargin, &a)) return e;
  const LapackInt n = a.rows;
  if (n == 0) return kOk;
  const bool complex = a.im != nullptr;
  const int64_t nn = int64_t{n} * n;
  Workspace ws(ctx);
  double* factor = complex ? ws.Complexes(nn) : ws.Reals(nn);
  double* x = complex ? ws.Complexes(nn) : ws.Reals(nn);
  LapackInt* pivots = ws.Integers(n);
  if (ErrCode e = ws.Fits(0, 8)) return e;
  CopyMatrixIn(a, complex, factor);
  if (complex) {
    SetComplexIdentity(x, n);
  } else {
    SetRealIdentity(x, n);
  }
  bool singular = false;
  if (ErrCode e = SolveSquare(complex, n, n, factor, pivots, x, &singular)) return e;
  if (!singular) {
    CopyMatrixOut(x, complex, a);
    return kOk;
  }
  FillWithInfinity(a.re, n, n);
  return MakeTopReal(ctx);
}

// pinv(A, tol): the n x m pseudo-inverse, with the singular values at or
// below tol (default max(m, n) eps) times the largest taken as zero. A wide
// matrix goes through its (conjugate) transpose, so that LAPACK always sees
// at least as many rows as columns.
ErrCode LapackPinv(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (ErrCode e = CheckLapackArguments(ctx, nargin, "C[r")) return e;
  const MatrixOperand a = ReadMatrixOperand(ctx, nargin - 1);
  double tol = -1;
  if (nargin == 2) GetScalarArg(ctx, 0, &tol);
  const int32_t m = a.rows, n = a.cols;
  if (a.IsEmpty()) {
    ErrCode e = PushResultMatrix(ctx, n, m, false);
    return e ? e : RemoveArguments(ctx, 1, nargin);
  }
  const bool complex = a.im != nullptr, wide = m < n;
  if (HoldsNonFinite(a)) {
    // Undefined singular values (a NaN or an infinity): every element NaN,
    // as without LAPACK.
    MatrixOperand x;
    if (ErrCode e = PushResultMatrix(ctx, n, m, complex, &x)) return e;
    FillWithNaN(x);
    return RemoveArguments(ctx, 1, nargin);
  }
  LeastSquaresProblem ls;
  ls.complex = complex;
  ls.m = std::max(m, n);
  ls.n = std::min(m, n);
  ls.nrhs = ls.m;
  Workspace ws(ctx);
  ls.LayOut(&ws);
  if (ErrCode e = ls.Fits(&ws)) return e;
  if (!wide) {
    CopyMatrixIn(a, complex, ls.a);
  } else if (complex) {
    CopyConjugateStraight(a.re, a.im, ls.a, m, n);
  } else {
    CopyRealStraight(a.re, ls.a, m, n);
  }
  if (complex) {
    SetComplexIdentity(ls.b, ls.m);
  } else {
    SetRealIdentity(ls.b, ls.m);
  }
  if (ErrCode e = ls.Solve(ws, tol >= 0 ? tol : ls.m * kLapackEps)) return e;
  // The result takes the arguments' place, below the workspace; without
  // room for it they stay in place.
  MatrixOperand x;
  if (ErrCode e =
          PushInPlaceOfTop(ctx, nargin, [&] { return PushResultMatrix(ctx, n, m, complex, &x); }))
    return e;
  if (!wide) {
    if (complex) {
      CopyComplexFromColumnMajorLd(ls.b, ls.m, x.re, x.im, n, m);
    } else {
      CopyRealFromColumnMajorLd(ls.b, ls.m, x.re, n, m);
    }
  } else if (complex) {
    CopyConjugateStraightBackLd(ls.b, ls.m, x.re, x.im, m, n);
  } else {
    CopyRealStraightBackLd(ls.b, ls.m, x.re, m, n);
  }
  return kOk;
}

}  // namespace vke
