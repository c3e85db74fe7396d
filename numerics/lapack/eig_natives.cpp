// The "!lapack" native eig: eigenvalues and right eigenvectors of one
// matrix (dgeev_/zgeev_) or of the generalised problem A v = lambda B v
// (dgegv_/zgegv_), in LAPACK's order. [V, D] = eig(...) gives A V = V D. A
// real problem gives real results unless an eigenvalue is complex; its
// eigenvectors then come in conjugate pairs.
#include <algorithm>
#include <limits>

#include "engine/errors/errors.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"
#include "numerics/lapack/lapack_deprecated.hpp"
#include "numerics/lapack/lapack_support.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "numerics/lapack/layout_conversions.hpp"

namespace vke {

namespace {

// The eigenvalues re + i im (im null: all real) and the eigenvectors of a
// real problem, with VR as the real routines leave it and pairs marked by
// pairMarks (the imaginary parts before any scaling).
struct RealEigenResults {
  const double* re;
  const double* im;
  const double* vr;
  const double* pairMarks;
};

// Pushes the results of a real problem: the eigenvalues as a column, or D
// and then V (so that V is output 1). The arguments are gone by then; the
// results fit where they and the reservation lay.
ErrCode PushRealResults(EngineContext* ctx, int32_t n, bool vectors, const RealEigenResults& r) {
  const bool complex = r.im != nullptr;
  MatrixOperand x;
  if (!vectors) {
    if (ErrCode e = PushResultMatrix(ctx, n, 1, complex, &x)) return e;
    std::copy(r.re, r.re + n, x.re);
    if (complex) std::copy(r.im, r.im + n, x.im);
    return kOk;
  }
  if (ErrCode e = PushResultMatrix(ctx, n, n, complex, &x)) return e;
  MakeDiagonalMatrix(r.re, x.re, n, n);
  if (complex) MakeDiagonalMatrix(r.im, x.im, n, n);
  if (ErrCode e = PushResultMatrix(ctx, n, n, complex, &x)) return e;
  if (complex) {
    UnpackRealEigenvectors(r.vr, r.pairMarks, x.re, x.im, n);
  } else {
    CopyRealFromColumnMajor(r.vr, x.re, n, n);
  }
  return kOk;
}

// Pushes complex results: lambda (interleaved) as a column, or D then V.
ErrCode PushComplexResults(EngineContext* ctx, int32_t n, bool vectors, const double* lambda,
                           const double* vr) {
  MatrixOperand x;
  if (!vectors) {
    if (ErrCode e = PushResultMatrix(ctx, n, 1, true, &x)) return e;
    CopyComplexFromColumnMajor(lambda, x.re, x.im, n, 1);
    return kOk;
  }
  if (ErrCode e = PushResultMatrix(ctx, n, n, true, &x)) return e;
  MakeComplexDiagonalMatrix(lambda, x.re, x.im, n, n);
  if (ErrCode e = PushResultMatrix(ctx, n, n, true, &x)) return e;
  CopyComplexFromColumnMajor(vr, x.re, x.im, n, n);
  return kOk;
}

bool AnyNonzero(const double* x, int32_t n) {
  return std::any_of(x, x + n, [](double v) { return v != 0; });
}

// One complex matrix: D takes the argument's storage, V the reservation.
ErrCode EigComplex(EngineContext* ctx, int32_t n, bool vectors) {
  Reservations reserved(ctx);
  if (ErrCode e = reserved.PushIf(vectors, n, n, true)) return reserved.Abandon(e);
  const int64_t nn = int64_t{n} * n;
  Workspace ws(ctx);
  double* a = ws.Complexes(nn);
  double* w = ws.Complexes(n);
  double* vr = vectors ? ws.Complexes(nn) : w;
  double* rwork = ws.RealsAtEnd(2 * int64_t{n});
  if (ErrCode e = ws.Fits(std::max(2 * n, 1), 16)) return reserved.Abandon(e);
  const MatrixOperand arg = ReadMatrixOperand(ctx, reserved.count());
  CopyMatrixIn(arg, true, a);
  const LapackInt ln = n, lwork = ws.WorkLength(16);
  LapackInt info = 0;
  zgeev_("N", vectors ? "V" : "N", &ln, a, &ln, w, vr, &ln, vr, &ln, ws.Work(), &lwork, rwork,
         &info, 1, 1);
  if (ErrCode e = MapInfo(info, kErrNoConvergence)) return reserved.Abandon(e);
  if (!vectors) {
    // The values take the complex argument's room.
    const RoomRequestsPaused replaced;
    ErrCode e = Drop(ctx);
    return e ? e : PushComplexResults(ctx, n, false, w, nullptr);
  }
  MakeComplexDiagonalMatrix(w, arg.re, arg.im, n, n);
  const MatrixOperand v = ReadMatrixOperand(ctx, 0);
  CopyComplexFromColumnMajor(vr, v.re, v.im, n, n);
  return kOk;
}

// One real matrix: it first gets a zero imaginary block, which with the
// reservation makes room for complex results below the workspace.
ErrCode EigReal(EngineContext* ctx, int32_t n, bool vectors) {
  if (ErrCode e = MakeTopComplex(ctx, nullptr)) return e;
  Reservations reserved(ctx);
  auto fail = [&](ErrCode e) {
    reserved.Abandon(e);
    MakeTopReal(ctx);
    return e;
  };
  if (ErrCode e = reserved.PushIf(vectors, n, n, true)) return fail(e);
  const int64_t nn = int64_t{n} * n;
  Workspace ws(ctx);
  double* a = ws.Reals(nn);
  double* wr = ws.Reals(n);
  double* wi = ws.Reals(n);
  double* vr = vectors ? ws.Reals(nn) : wr;
  if (ErrCode e = ws.Fits(std::max(vectors ? 4 * n : 3 * n, 1), 8)) return fail(e);
  CopyRealToColumnMajor(ReadMatrixOperand(ctx, reserved.count()).re, a, n, n);
  const LapackInt ln = n, lwork = ws.WorkLength(8);
  LapackInt info = 0;
  dgeev_("N", vectors ? "V" : "N", &ln, a, &ln, wr, wi, vr, &ln, vr, &ln, ws.Work(), &lwork, &info,
         1, 1);
  if (ErrCode e = MapInfo(info, kErrNoConvergence)) return fail(e);
  // The results take the room of the argument, made complex, and of the
  // reservation.
  const RoomRequestsPaused replaced;
  if (ErrCode e = Drop(ctx, 1 + reserved.count())) return e;
  const bool complex = AnyNonzero(wi, n);
  return PushRealResults(ctx, n, vectors, {wr, complex ? wi : nullptr, vr, wi});
}

// The generalised problem: the results replace A, B and the reservation.
ErrCode EigGeneralized(EngineContext* ctx, const MatrixOperand& a, const MatrixOperand& b,
                       bool vectors) {
  const int32_t n = a.rows;
  const bool complex = a.im || b.im;
  Reservations reserved(ctx);
  if (ErrCode e = reserved.PushIf(vectors, n, n, true)) return reserved.Abandon(e);
  const int64_t nn = int64_t{n} * n;
  Workspace ws(ctx);
  double* la = complex ? ws.Complexes(nn) : ws.Reals(nn);
  double* lb = complex ? ws.Complexes(nn) : ws.Reals(nn);
  // Complex: ALPHA and BETA. Real: ALPHAR, ALPHAI and BETA.
  double* alpha = complex ? ws.Complexes(n) : ws.Reals(2 * int64_t{n});
  double* beta = complex ? ws.Complexes(n) : ws.Reals(n);
  double* vr = nullptr;
  if (vectors) vr = complex ? ws.Complexes(nn) : ws.Reals(nn);
  double* rwork = complex ? ws.RealsAtEnd(8 * int64_t{n}) : nullptr;
  if (ErrCode e = complex ? ws.Fits(std::max(2 * n, 1), 16) : ws.Fits(std::max(8 * n, 1), 8))
    return reserved.Abandon(e);
  CopyMatrixIn(ReadMatrixOperand(ctx, reserved.count() + 1), complex, la);
  CopyMatrixIn(ReadMatrixOperand(ctx, reserved.count()), complex, lb);
  const LapackInt lwork = ws.WorkLength(complex ? 16 : 8);
  const LapackInt info = complex ? GeneralizedEigenComplex(vectors, n, la, lb, alpha, beta,
                                                           vr ? vr : alpha, ws.Work(), lwork, rwork)
                                 : GeneralizedEigenReal(vectors, n, la, lb, alpha, alpha + n, beta,
                                                        vr ? vr : alpha, ws.Work(), lwork);
  if (ErrCode e = MapInfo(info, kErrNoConvergence)) return reserved.Abandon(e);
  // The results take the room of A, B and the reservation: with the
  // operands gone, no push of theirs is a request that could be refused.
  const RoomRequestsPaused replaced;
  if (ErrCode e = Drop(ctx, 2 + reserved.count())) return e;
  if (complex) {
    // lambda = alpha / beta, formed in place of alpha.
    for (int32_t i = 0; i < n; i++) {
      double* x = alpha + 2 * i;
      const double br = beta[2 * i], bi = beta[2 * i + 1], scale = 1 / (br * br + bi * bi);
      const double re = (x[0] * br + x[1] * bi) * scale, im = (x[1] * br - x[0] * bi) * scale;
      x[0] = re;
      x[1] = im;
    }
    return PushComplexResults(ctx, n, vectors, alpha, vr);
  }
  // Real: the pairs are read from ALPHAI as LAPACK leaves it; the
  // eigenvalues are ALPHAR / BETA (and ALPHAI / BETA), formed in la.
  double* alphai = alpha + n;
  const bool pairs = AnyNonzero(alphai, n);
  for (int32_t i = 0; i < n; i++) {
    la[i] = alpha[i] / beta[i];
    la[n + i] = alphai[i] / beta[i];
  }
  return PushRealResults(ctx, n, vectors, {la, pairs ? la + n : nullptr, vr, alphai});
}

// An infinite or NaN entry leaves every eigenvalue undefined: a column of
// NaN, or D with NaN on its diagonal and V all NaN, real, in place of the
// argument.
ErrCode EigNonFinite(EngineContext* ctx, int32_t n, bool vectors) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const int64_t nn = int64_t{n} * n;
  Reservations results(ctx);
  if (ErrCode e = results.Push(n, vectors ? n : 1, false)) return results.Abandon(e);
  MatrixOperand x = ReadMatrixOperand(ctx, 0);
  if (!vectors) {
    std::fill(x.re, x.re + n, nan);
    return RemoveArguments(ctx, 1, 1);
  }
  std::fill(x.re, x.re + nn, 0.0);
  for (int32_t i = 0; i < n; i++) x.re[int64_t{i} * n + i] = nan;
  if (ErrCode e = results.Push(n, n, false)) return results.Abandon(e);
  x = ReadMatrixOperand(ctx, 0);
  std::fill(x.re, x.re + nn, nan);
  return RemoveArguments(ctx, 2, 1);
}

}  // namespace

ErrCode LapackEig(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (ErrCode e = CheckLapackArguments(ctx, nargin, "C[C")) return e;
  const bool vectors = nargout >= 2;
  const MatrixOperand a = ReadMatrixOperand(ctx, nargin - 1);
  if (!a.IsSquare()) return kErrBadSize;
  if (nargin == 2) {
    const MatrixOperand b = ReadMatrixOperand(ctx, 0);
    if (!b.IsSquare()) return kErrBadSize;
    if (b.rows != a.rows) return kErrIncompSize;
    // Empty: A is the result, B too with two outputs.
    if (a.rows == 0) return vectors ? kOk : Drop(ctx);
    return EigGeneralized(ctx, a, b, vectors);
  }
  // Empty: the argument is the one result; two outputs get [] above it.
  if (a.rows == 0) return vectors ? PushEmptyMatrix(ctx) : kOk;
  if (HasNonFinite(a)) return EigNonFinite(ctx, a.rows, vectors);
  return a.im ? EigComplex(ctx, a.rows, vectors) : EigReal(ctx, a.rows, vectors);
}

}  // namespace vke
