// The "!lapack" natives over the singular value decomposition (dgesvd_ and
// zgesvd_): svd, rank, orth and null.
#include <algorithm>
#include <cstring>

#include "engine/errors/errors.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/values.hpp"
#include "numerics/lapack/lapack_support.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "numerics/lapack/layout_conversions.hpp"
#include "numerics/native_results.hpp"

namespace vke {

namespace {

// One decomposition A = U S V^H with the jobs of dgesvd_: U's columns all
// ('A'), the first min(m, n) ('S') or none ('N'); V^H all ('A') or none.
struct SvdProblem {
  bool complex = false;
  LapackInt m = 0;
  LapackInt n = 0;
  char jobu = 'N';
  char jobvt = 'N';
  double* a = nullptr;   // m x n
  double* s = nullptr;   // min(m, n) singular values, largest first
  double* u = nullptr;   // m x UCols(), ld m
  double* vt = nullptr;  // n x n, ld n
  double* rwork = nullptr;

  LapackInt K() const { return std::min(m, n); }
  LapackInt UCols() const { return jobu == 'A' ? m : jobu == 'S' ? K() : 0; }

  void LayOut(Workspace* ws) {
    const int64_t k = K();
    a = complex ? ws->Complexes(int64_t{m} * n) : ws->Reals(int64_t{m} * n);
    s = ws->Reals(k);
    if (jobu != 'N')
      u = complex ? ws->Complexes(int64_t{m} * UCols()) : ws->Reals(int64_t{m} * UCols());
    if (jobvt != 'N') vt = complex ? ws->Complexes(int64_t{n} * n) : ws->Reals(int64_t{n} * n);
    if (complex) rwork = ws->Reals(5 * k);
  }

  // The least work the routines document.
  ErrCode Fits(Workspace* ws) const {
    const int64_t k = K(), larger = std::max(m, n);
    if (complex) return ws->Fits(std::max<int64_t>(1, 2 * k + larger), 16);
    return ws->Fits(std::max<int64_t>({1, 3 * k + larger, 5 * k}), 8);
  }

  // 9 when the decomposition does not converge.
  ErrCode Run(const Workspace& ws) {
    const char ju[2] = {jobu, 0}, jv[2] = {jobvt, 0};
    const LapackInt ldu = jobu == 'N' ? 1 : m, ldvt = jobvt == 'N' ? 1 : n;
    const LapackInt lwork = ws.WorkLength(complex ? 16 : 8);
    // Arrays the jobs leave alone still need valid addresses.
    double* uArg = u ? u : s;
    double* vtArg = vt ? vt : s;
    LapackInt info = 0;
    if (complex) {
      zgesvd_(ju, jv, &m, &n, a, &m, s, uArg, &ldu, vtArg, &ldvt, ws.Work(), &lwork, rwork, &info,
              1, 1);
    } else {
      dgesvd_(ju, jv, &m, &n, a, &m, s, uArg, &ldu, vtArg, &ldvt, ws.Work(), &lwork, &info, 1, 1);
    }
    return MapInfo(info, kErrNoConvergence);
  }
};

// Lays the problem out for the matrix at the depth and runs it; on failure
// the reservations are dropped.
ErrCode Decompose(EngineContext* ctx, int32_t depth, Reservations* reserved, SvdProblem* p) {
  const MatrixOperand a = ReadMatrixOperand(ctx, depth);
  p->complex = a.im != nullptr;
  p->m = a.rows;
  p->n = a.cols;
  Workspace ws(ctx);
  p->LayOut(&ws);
  if (ErrCode e = p->Fits(&ws)) return reserved->Abandon(e);
  CopyMatrixIn(a, p->complex, p->a);
  if (ErrCode e = p->Run(ws)) return reserved->Abandon(e);
  return kOk;
}

// Pushes a real rows x cols matrix with `diagonal` on its diagonal and
// zeros elsewhere.
ErrCode PushDiagonal(EngineContext* ctx, int32_t rows, int32_t cols, double diagonal = 1) {
  MatrixOperand x;
  if (ErrCode e = PushResultMatrix(ctx, rows, cols, false, &x)) return e;
  std::fill(x.re, x.re + int64_t{rows} * cols, 0.0);
  for (int32_t i = 0; i < std::min(rows, cols); i++) x.re[int64_t{i} * cols + i] = diagonal;
  return kOk;
}

// How many leading singular values exceed tol (counting stops at the first
// that does not).
int32_t CountAbove(const SvdProblem& p, double tol) {
  int32_t r = 0;
  while (r < p.K() && p.s[r] > tol) r++;
  return r;
}

// max(m, n) s1 eps, the default tolerance.
double DefaultTolerance(const SvdProblem& p) {
  return std::max(p.m, p.n) * p.s[0] * kLapackEps;
}

}  // namespace

// svd(A): the singular values as a column; [U, S, V] = svd(A) with A = U S
// V^H; svd(A, 0) the economy shapes.
ErrCode LapackSvd(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (ErrCode e = CheckLapackArguments(ctx, nargin, "C[i")) return e;
  const MatrixOperand a = ReadMatrixOperand(ctx, nargin - 1);
  const bool economy = EconomyRequested(ctx, nargin), complex = a.im != nullptr;
  const int32_t outputs = std::max(nargout, 1), m = a.rows, n = a.cols, k = std::min(m, n);
  if (a.IsEmpty()) {
    // No singular values: a 0 x 1 column, or U and V the identities of
    // their shapes beside an S of zeros, pushed above the arguments.
    const uint32_t level = ctx->descTop;
    ErrCode e = kOk;
    if (outputs == 1) e = PushResultMatrix(ctx, 0, 1, false);
    if (!e && outputs == 3) e = PushDiagonal(ctx, n, economy ? k : n);
    if (!e && outputs >= 2) e = PushDiagonal(ctx, economy ? k : m, economy ? k : n, 0.0);
    if (!e && outputs >= 2) e = PushDiagonal(ctx, m, economy ? k : m);
    return e ? DropAboveLevel(ctx, level, e) : RemoveArguments(ctx, outputs, nargin);
  }
  Reservations reserved(ctx);
  ErrCode e = kOk;
  if (outputs == 3) e = reserved.Push(n, economy ? k : n, complex);                    // V
  if (!e && outputs >= 2) e = reserved.Push(economy ? k : m, economy ? k : n, false);  // S
  if (!e && outputs >= 2) e = reserved.Push(m, economy ? k : m, complex);              // U
  if (e) return reserved.Abandon(e);
  SvdProblem p;
  p.jobu = outputs == 1 ? 'N' : economy ? 'S' : 'A';
  p.jobvt = outputs == 3 ? 'A' : 'N';
  if ((e = Decompose(ctx, reserved.count() + nargin - 1, &reserved, &p))) return e;
  if (outputs == 1) {
    // The values take the argument's room.
    const RoomRequestsPaused replaced;
    MatrixOperand s;
    if ((e = Drop(ctx, nargin)) || (e = PushResultMatrix(ctx, k, 1, false, &s))) return e;
    std::memcpy(s.re, p.s, sizeof(double) * k);
    return kOk;
  }
  CopyColumnsOut(p.u, m, complex, ReadMatrixOperand(ctx, 0));
  const MatrixOperand s = ReadMatrixOperand(ctx, 1);
  MakeDiagonalMatrix(p.s, s.re, s.rows, s.cols);
  if (outputs == 3) {
    // V = (V^H)^H: its rows are the columns of V^H, conjugated.
    const MatrixOperand v = ReadMatrixOperand(ctx, 2);
    if (complex) {
      CopyConjugateStraightBackLd(p.vt, n, v.re, v.im, v.cols, n);
    } else {
      CopyRealStraightBackLd(p.vt, n, v.re, v.cols, n);
    }
  }
  return RemoveArguments(ctx, outputs, nargin);
}

// rank(A, tol): the number of singular values above tol (default max(m, n)
// s1 eps; a negative tol means the default).
ErrCode LapackRank(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (ErrCode e = CheckLapackArguments(ctx, nargin, "C[r")) return e;
  const MatrixOperand a = ReadMatrixOperand(ctx, nargin - 1);
  double tol = -1;
  if (nargin == 2) GetScalarArg(ctx, 0, &tol);
  int32_t r = 0;
  if (!a.IsEmpty()) {
    Reservations none(ctx);
    SvdProblem p;
    if (ErrCode e = Decompose(ctx, nargin - 1, &none, &p)) return e;
    r = CountAbove(p, tol < 0 ? DefaultTolerance(p) : tol);
  }
  return ReplaceInputsWithScalar(ctx, nargin, r);
}

// orth(A): an orthonormal basis of the range, the leading columns of U.
ErrCode LapackOrth(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (ErrCode e = CheckLapackArguments(ctx, nargin, "C")) return e;
  const MatrixOperand a = ReadMatrixOperand(ctx, 0);
  if (a.IsEmpty()) {
    // No columns in the range: m x 0.
    const int32_t m = a.rows;
    return PushInPlaceOfTop(ctx, 1, [&] { return PushResultMatrix(ctx, m, 0, false); });
  }
  Reservations none(ctx);
  SvdProblem p;
  p.jobu = 'S';
  if (ErrCode e = Decompose(ctx, 0, &none, &p)) return e;
  const int32_t r = CountAbove(p, DefaultTolerance(p));
  // m x r fits into the argument's place, below the workspace.
  const RoomRequestsPaused replaced;
  MatrixOperand x;
  ErrCode e = Drop(ctx);
  if (!e) e = PushResultMatrix(ctx, p.m, r, p.complex, &x);
  if (!e) CopyColumnsOut(p.u, p.m, p.complex, x);
  return e;
}

// null(A): an orthonormal basis of the null space, the trailing columns of V.
ErrCode LapackNull(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (ErrCode e = CheckLapackArguments(ctx, nargin, "C")) return e;
  const MatrixOperand a = ReadMatrixOperand(ctx, 0);
  const int32_t n = a.cols;
  if (a.IsEmpty()) {
    // Without rows every vector is in the null space: the n x n identity
    // (0 x 0 without columns).
    return PushInPlaceOfTop(ctx, 1, [&] { return PushDiagonal(ctx, n, a.rows == 0 ? n : 0); });
  }
  // Room for the largest result, n x n, below the workspace.
  Reservations reserved(ctx);
  if (ErrCode e = reserved.Push(n, n, a.im != nullptr)) return reserved.Abandon(e);
  SvdProblem p;
  p.jobvt = 'A';
  if (ErrCode e = Decompose(ctx, 1, &reserved, &p)) return e;
  const int32_t r = CountAbove(p, DefaultTolerance(p));
  // n x (n - r) fits into the reservation's place.
  const RoomRequestsPaused replaced;
  MatrixOperand x;
  ErrCode e = Drop(ctx, 2);
  if (!e) e = PushResultMatrix(ctx, n, n - r, p.complex, &x);
  if (e) return e;
  // Rows r.. of V^H, (conjugate-)transposed.
  if (p.complex) {
    CopyConjugateStraightBackLd(p.vt + 2 * int64_t{r}, n, x.re, x.im, n - r, n);
  } else {
    CopyRealStraightBackLd(p.vt + r, n, x.re, n - r, n);
  }
  return kOk;
}

}  // namespace vke
