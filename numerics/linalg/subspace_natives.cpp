// The natives orth and null: orthonormal bases of the range and of the null
// space of a matrix, from the columns of U and V of its full decomposition
// split at the number of singular values above max(m, n) s1 1e-12.
#include <algorithm>

#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/linalg/svd.hpp"

namespace vke {

namespace {

constexpr double kRankTolerance = 1e-12;

// The number of diagonal values of S (at the depth) above the tolerance.
int32_t CountRank(EngineContext* ctx, int32_t depth) {
  const MatrixOperand s = ReadMatrixOperand(ctx, depth);
  if (s.IsEmpty()) return 0;
  const double t = std::max(s.rows, s.cols) * s.re[0] * kRankTolerance;
  int32_t k = 0;
  while (k < s.rows && k < s.cols && s.re[int64_t(k) * s.cols + k] > t) k++;
  return k;
}

// Pushes columns first .. first + count - 1 of the matrix at the depth.
void PushColumns(EngineContext* ctx, int32_t depth, int32_t first, int32_t count) {
  const MatrixOperand from = ReadMatrixOperand(ctx, depth);
  double *re, *im;
  PushResultMatrix(ctx, from.rows, count, from.im != nullptr, &re, &im);
  if (from.rows == 0 || count == 0) return;
  for (int32_t i = 0; i < from.rows; i++) {
    const int64_t at = int64_t(i) * from.cols + first;
    std::copy(from.re + at, from.re + at + count, re + int64_t(i) * count);
    if (from.im) std::copy(from.im + at, from.im + at + count, im + int64_t(i) * count);
  }
}

// Replaces the argument on top by its full decomposition, once the room of
// the decomposition and of the basis pushed after it (at its largest) is
// known to be there.
ErrCode Decompose(EngineContext* ctx, bool forNull) {
  MatrixOperand a;
  if (!GetMatrixArg(ctx, 0, &a)) return kErrWrongTypeOverload;
  const int32_t m = a.rows, n = a.cols;
  const bool complex = a.im != nullptr;
  StackPlan plan;
  PlanDecomposition(m, n, complex, false, EntryDataWords(ctx, 0), &plan);
  plan.DropEntry(ctx, 0);
  if (forNull) {
    plan.Drop(m, m, complex);
    plan.Drop(m, n, false);
    plan.Push(n, n, complex);
  } else {
    plan.Push(m, std::min(m, n), complex);
  }
  if (ErrCode e = plan.Check(ctx)) return e;
  return DecomposeTop(ctx, false);
}

}  // namespace

ErrCode OrthNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  if (ErrCode e = Decompose(ctx, false)) return e;
  // U on top, then S, then V.
  PushColumns(ctx, 0, 0, CountRank(ctx, 1));
  return DropStackEntries(ctx, 1, 3);
}

ErrCode NullNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  if (ErrCode e = Decompose(ctx, true)) return e;
  const int32_t k = CountRank(ctx, 1);
  Drop(ctx, 2);
  const int32_t n = ReadMatrixOperand(ctx, 0).rows;
  PushColumns(ctx, 0, k, n - k);
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
