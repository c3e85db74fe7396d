// The "!lapack" native qr: A = Q R by Householder reflections (dgeqrf_/
// zgeqrf_), with column pivoting A E = Q R for three outputs (dgeqpf_/
// zgeqpf_); Q formed by dorgqr_/zung2r_. qr(A, 0) gives the economy shapes
// (Q m x k, R k x n, E a row of column indices).
#include <algorithm>

#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "numerics/lapack/lapack_deprecated.hpp"
#include "numerics/lapack/lapack_support.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "numerics/lapack/layout_conversions.hpp"

namespace vke {

namespace {

// The column permutation: a row of the 1-based column indices (economy), or
// the n x n matrix with E(pivots[j], j) = 1, so that A E = Q R.
void FillPermutation(const LapackInt* pivots, bool economy, const MatrixOperand& e) {
  const int32_t n = economy ? e.cols : e.rows;
  if (economy) {
    for (int32_t j = 0; j < n; j++) e.re[j] = pivots ? pivots[j] : j + 1;
    return;
  }
  std::fill(e.re, e.re + int64_t{n} * n, 0.0);
  for (int32_t j = 0; j < n; j++) e.re[int64_t{pivots ? pivots[j] - 1 : j} * n + j] = 1;
}

// An argument with no rows: one result per output, Q = [], R the argument,
// E the identity permutation. Q and E are pushed above the arguments before
// any of them goes, so that a push without room leaves them as given.
ErrCode QrWithoutRows(EngineContext* ctx, int32_t nargin, int32_t outputs, bool economy,
                      int32_t n) {
  if (outputs == 1) return RemoveArguments(ctx, 0, nargin - 1);
  if (ErrCode e = PushEmptyMatrix(ctx)) return e;
  if (outputs == 3) {
    MatrixOperand perm;
    if (ErrCode e = PushResultMatrix(ctx, economy ? 1 : n, n, false, &perm)) {
      Drop(ctx);
      return e;
    }
    FillPermutation(nullptr, economy, perm);
  }
  if (ErrCode e = RemoveArguments(ctx, outputs - 1, nargin - 1)) return e;
  // A, Q, E from the bottom become E, A, Q: Q is output 1.
  return outputs == 3 ? RollStackEntries(ctx, 3, 2) : kOk;
}

}  // namespace

ErrCode LapackQr(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (ErrCode e = CheckLapackArguments(ctx, nargin, "C[i")) return e;
  const MatrixOperand a = ReadMatrixOperand(ctx, nargin - 1);
  const bool economy = EconomyRequested(ctx, nargin), complex = a.im != nullptr;
  const int32_t outputs = std::max(nargout, 1);
  const bool pivoted = outputs == 3;
  const LapackInt m = a.rows, n = a.cols, k = std::min(m, n), c = economy ? k : m;
  if (m == 0) return QrWithoutRows(ctx, nargin, outputs, economy, n);

  // Economy: E, R and Q reserved in that order. Full: R takes the
  // argument's storage; Q, then E, are reserved and rotated in place below.
  Reservations reserved(ctx);
  ErrCode e = kOk;
  if (economy && pivoted) e = reserved.Push(1, n, false);
  if (!e && economy && outputs >= 2) e = reserved.Push(k, n, complex);
  if (!e && outputs >= 2) e = reserved.Push(m, c, complex);
  if (!e && !economy && pivoted) e = reserved.Push(n, n, false);
  if (e) return reserved.Abandon(e);

  // A with room for Q's columns, formed in place.
  const int64_t columns = std::max(n, c);
  Workspace ws(ctx);
  double* qa = complex ? ws.Complexes(int64_t{m} * columns) : ws.Reals(int64_t{m} * columns);
  double* tau = complex ? ws.Complexes(k) : ws.Reals(k);
  LapackInt* pivots = pivoted ? ws.Integers(n) : nullptr;
  double* rwork = complex ? ws.Reals(2 * int64_t{n}) : nullptr;
  const int64_t least = std::max<int64_t>({1, n, c, pivoted && !complex ? 3 * int64_t{n} : 0});
  if ((e = ws.Fits(least, complex ? 16 : 8))) return reserved.Abandon(e);
  const MatrixOperand arg = ReadMatrixOperand(ctx, reserved.count() + nargin - 1);
  CopyMatrixIn(arg, complex, qa);
  const LapackInt lwork = ws.WorkLength(complex ? 16 : 8);
  LapackInt info = 0;
  if (pivoted) {
    std::fill(pivots, pivots + n, 0);
    info = complex ? FactorQrPivotedComplex(m, n, qa, pivots, tau, ws.Work(), rwork)
                   : FactorQrPivotedReal(m, n, qa, pivots, tau, ws.Work());
  } else if (complex) {
    zgeqrf_(&m, &n, qa, &m, tau, ws.Work(), &lwork, &info);
  } else {
    dgeqrf_(&m, &n, qa, &m, tau, ws.Work(), &lwork, &info);
  }
  if ((e = MapInfo(info, kOk))) return reserved.Abandon(e);
  if (outputs == 1) {
    // The factor array: R and, below it, the reflectors.
    CopyMatrixOut(qa, complex, arg);
    return RemoveArguments(ctx, 0, nargin - 1);
  }

  const int32_t depthQ = !economy && pivoted ? 1 : 0;
  const MatrixOperand r = economy ? ReadMatrixOperand(ctx, 1) : arg;
  if (complex) {
    ExtractComplexUpperTriangleLd(qa, m, r.re, r.im, r.rows, n);
  } else {
    ExtractUpperTriangleLd(qa, m, r.re, r.rows, n);
  }
  if (complex) {
    zung2r_(&m, &c, &k, qa, &m, tau, ws.Work(), &info);
  } else {
    dorgqr_(&m, &c, &k, qa, &m, tau, ws.Work(), &lwork, &info);
  }
  if ((e = MapInfo(info, kOk))) return e;
  CopyColumnsOut(qa, m, complex, ReadMatrixOperand(ctx, depthQ));
  if (pivoted) FillPermutation(pivots, economy, ReadMatrixOperand(ctx, economy ? 2 : 0));
  if (economy) return RemoveArguments(ctx, outputs, nargin);
  if ((e = RemoveArguments(ctx, reserved.count(), nargin - 1))) return e;
  // R, Q, E from the bottom become E, R, Q: Q is output 1.
  return pivoted ? RollStackEntries(ctx, 3, 2) : kOk;
}

}  // namespace vke
