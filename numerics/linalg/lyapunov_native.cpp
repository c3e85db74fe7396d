// The natives lyap and dlyap: the continuous Lyapunov and Sylvester
// equations A X + X A' + G = 0 and A X + X B + G = 0, and the discrete
// Lyapunov equation A X A' - X + G = 0. X is computed in G's storage and the
// other arguments are removed beneath it.
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/linalg/linalg_support.hpp"
#include "numerics/linalg/lyapunov.hpp"

namespace vke {

namespace {

// Reserves the workspace of an m x n solution: 3 when it does not fit.
ErrCode TakeLyapunovWorkspace(EngineContext* ctx, int32_t m, int32_t n, double** work) {
  const int64_t words = GetLyapunovWorkspaceSize(m, n);
  StackPlan plan;
  plan.Scratch(words);
  if (ErrCode e = plan.Check(ctx)) return e;
  *work = TakeScratch(ctx, words);
  return kOk;
}

}  // namespace

// X = lyap(A, G), X = lyap(A, B, G).
ErrCode LyapNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (!AreRealMatrixArgs(ctx, nargin)) return kErrWrongTypeOverload;
  MatrixOperand a, b, g;
  GetMatrixArg(ctx, 0, &g);
  GetMatrixArg(ctx, nargin - 1, &a);
  const int32_t m = g.rows, n = g.cols;
  if (nargin == 3) {
    GetMatrixArg(ctx, 1, &b);
    if (b.rows != n || b.cols != n) return kErrIncompSize;
  } else if (n != m) {
    return kErrIncompSize;
  }
  if (a.rows != m || a.cols != m) return kErrIncompSize;
  double* work;
  if (ErrCode e = TakeLyapunovWorkspace(ctx, m, n, &work)) return e;
  if (!SolveSylvesterSchur(a.re, m, nargin == 3 ? b.re : nullptr, n, g.re, work))
    return kErrNoConvergence;
  return DropStackEntries(ctx, 1, nargin - 1);
}

// X = dlyap(A, G).
ErrCode DlyapNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  if (!AreRealMatrixArgs(ctx, 2)) return kErrWrongTypeOverload;
  MatrixOperand a, g;
  GetMatrixArg(ctx, 0, &g);
  GetMatrixArg(ctx, 1, &a);
  const int32_t n = g.rows;
  if (g.cols != n || a.rows != n || a.cols != n) return kErrBadSize;
  double* work;
  if (ErrCode e = TakeLyapunovWorkspace(ctx, n, n, &work)) return e;
  if (!SolveDiscreteLyapunov(a.re, n, g.re, work)) return kErrNoConvergence;
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
