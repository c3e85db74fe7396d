// The natives balance and expm: the diagonal scaling by powers of two that
// evens out a matrix's row and column sums, and the matrix exponential.
#include "builtins/matrix_kernels.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/linalg/linalg_support.hpp"

namespace vke {

// B = balance(A), [T, B] = balance(A) with B = T \ A * T.
ErrCode BalanceNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  MatrixOperand a;
  if (!GetMatrixArg(ctx, 0, &a)) return kErrWrongTypeOverload;
  if (!a.IsSquare()) return kErrNonSquareSize;
  const int32_t n = a.rows;
  const bool withT = nargout >= 2;
  StackPlan plan;
  if (withT) plan.Push(n, n, false);
  plan.Scratch(n);
  if (ErrCode e = plan.Check(ctx)) return e;
  double* t = nullptr;
  if (withT) PushResultMatrix(ctx, n, n, false, &t, nullptr);
  double* scale = TakeScratch(ctx, n);
  a = ReadMatrixOperand(ctx, withT ? 1 : 0);
  BalanceMatrix(a.re, a.im, n, scale);
  if (withT) {
    for (int32_t i = 0; i < n; i++) t[int64_t(i) * n + i] = scale[i];
  }
  return kOk;
}

// expm(A); an empty A is its own result.
ErrCode ExpmNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  MatrixOperand a;
  if (!GetMatrixArg(ctx, 0, &a)) return kErrWrongTypeOverload;
  if (a.IsEmpty()) return kOk;
  if (!a.IsSquare()) return kErrNonSquareSize;
  const int32_t n = a.rows;
  const bool complex = a.im != nullptr;
  const int64_t scratch = complex ? (4 * int64_t(n) + 2) * n : (2 * int64_t(n) + 1) * n;
  StackPlan plan;
  plan.Push(n, n, complex);
  plan.Scratch(scratch);
  if (ErrCode e = plan.Check(ctx)) return e;
  double *e, *eIm;
  PushResultMatrix(ctx, n, n, complex, &e, &eIm);
  double* w = TakeScratch(ctx, scratch);
  a = ReadMatrixOperand(ctx, 1);
  if (complex) {
    ExpmComplex(a.re, n, e, w);
  } else {
    ExpmReal(a.re, n, e, w);
  }
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
