// The native lu: the factored matrix, or L and U (rows of L in the order of
// the argument), or L, U and the permutation matrix P with P A = L U.
#include <algorithm>

#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/linalg/linalg_support.hpp"
#include "numerics/linalg/lu_kernels.hpp"

namespace vke {

namespace {

// Moves the multipliers below the diagonal of the factored A (m x n) into L
// (m x k): row i of A goes to row target(i) of L, with `diagonal` (1 for the
// real block, 0 for the imaginary one) in column i.
template <typename Target>
void MoveMultipliers(double* a, double* l, int32_t m, int32_t n, int32_t k, double diagonal,
                     const Target& target) {
  for (int32_t i = 0; i < m; i++) {
    double* from = a + int64_t(i) * n;
    double* to = l + int64_t(target(i)) * k;
    int32_t below = std::min(i, n);
    for (int32_t j = 0; j < below; j++) {
      to[j] = from[j];
      from[j] = 0;
    }
    std::fill(to + below, to + k, 0.0);
    if (i < k) to[i] = diagonal;
  }
}

}  // namespace

ErrCode LuNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  MatrixOperand a;
  if (!GetMatrixArg(ctx, 0, &a)) return kErrWrongTypeOverload;
  const int32_t outputs = std::max(nargout, 1);
  const int32_t m = a.rows, n = a.cols, k = std::min(m, n);
  const bool complex = a.im != nullptr;
  const bool tall = outputs >= 2 && n < m;

  StackPlan plan;
  if (outputs >= 2) plan.Push(m, k, complex);
  if (outputs == 3) plan.Push(m, m, false);
  plan.Scratch(m);
  if (tall) plan.Push(n, n, complex);
  if (ErrCode e = plan.Check(ctx)) return e;

  double *lRe = nullptr, *lIm = nullptr, *p = nullptr;
  if (outputs >= 2) PushResultMatrix(ctx, m, k, complex, &lRe, &lIm);
  if (outputs == 3) PushResultMatrix(ctx, m, m, false, &p, nullptr);
  auto* perm = reinterpret_cast<int32_t*>(TakeScratch(ctx, m));
  a = ReadMatrixOperand(ctx, outputs - 1);
  if (complex) {
    FactorLUComplex(a.re, a.im, m, n, perm);
  } else {
    FactorLUReal(a.re, m, n, perm);
  }
  if (outputs == 1) return kOk;

  auto target = [&](int32_t i) { return outputs == 2 ? perm[i] : i; };
  if (k > 0) {
    MoveMultipliers(a.re, lRe, m, n, k, 1.0, target);
    if (complex) MoveMultipliers(a.im, lIm, m, n, k, 0.0, target);
  }
  if (outputs == 3) {
    for (int32_t i = 0; i < m; i++) p[int64_t(i) * m + perm[i]] = 1;
    RollStackEntries(ctx, 3, 2);  // L on top, then U, then P
  }
  if (!tall) return kOk;
  // U is the first n rows of the factored A; L stays on top.
  double *uRe, *uIm;
  PushResultMatrix(ctx, n, n, complex, &uRe, &uIm);
  a = ReadMatrixOperand(ctx, 2);
  if (n > 0) {
    std::copy(a.re, a.re + int64_t(n) * n, uRe);
    if (complex) std::copy(a.im, a.im + int64_t(n) * n, uIm);
  }
  DropStackEntries(ctx, 2, 1);
  return RollStackEntries(ctx, 2, 1);
}

}  // namespace vke
