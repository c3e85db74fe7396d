// The native svd and the decomposition behind it: the singular values, or
// U, S and V in the full or the economy form. Real matrices go through the
// Golub-Reinsch kernel on the argument (a tall one transposed first, so
// that the kernel's right vectors become U), complex ones through the
// complex kernel with its vectors.
#include <algorithm>

#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/linalg/svd.hpp"

namespace vke {

namespace {

struct SvdShape {
  int32_t m, n, k;
  int32_t r, c;  // columns of U and of V

  SvdShape(int32_t rows, int32_t cols, bool economy)
      : m(rows), n(cols), k(std::min(rows, cols)), r(economy ? k : rows), c(economy ? k : cols) {}
};

int64_t DecompositionScratch(const SvdShape& s, bool complex) {
  const int64_t n = s.n;
  if (complex) {
    // The kernel's own copies of A, U and V when A is wide.
    int64_t copies = 0;
    if (s.m < s.n)
      copies = (s.r >= 1 ? 2 * n * n : 0) + 2 * n * n + (s.c >= 1 && s.c < s.n ? 2 * n * n : 0);
    return 5 * n + copies;
  }
  const int64_t q = std::max(s.m, s.n);
  return q * q + q + q / 2 + 1;
}

// Column j < cols of a rows x stride array into column j of a rows x cols
// array.
void CopyColumns(const double* from, int64_t stride, double* to, int32_t rows, int32_t cols) {
  for (int32_t i = 0; i < rows; i++)
    std::copy(from + i * stride, from + i * stride + cols, to + int64_t(i) * cols);
}

void SetIdentity(double* a, int32_t rows, int32_t cols) {
  for (int32_t i = 0; i < std::min(rows, cols); i++) a[int64_t(i) * cols + i] = 1;
}

}  // namespace

void PlanDecomposition(int32_t m, int32_t n, bool complex, bool economy, int64_t argumentWords,
                       StackPlan* plan) {
  const SvdShape s(m, n, economy);
  // A tall real matrix is transposed through a copy (a vector is relabelled).
  if (s.k > 0 && !complex && m > n && n > 1) {
    plan->PushWords(argumentWords);
    plan->DropWords(argumentWords);
  }
  plan->Push(n, s.c, complex);
  plan->Push(s.r, s.c, false);
  plan->Push(m, s.r, complex);
  if (s.k > 0) plan->Scratch(DecompositionScratch(s, complex));
}

ErrCode DecomposeTop(EngineContext* ctx, bool economy) {
  MatrixOperand a = ReadMatrixOperand(ctx, 0);
  const SvdShape s(a.rows, a.cols, economy);
  const bool complex = a.im != nullptr;
  const bool tall = s.m > s.n;
  if (s.k > 0 && !complex && tall) TransposeTopValue(ctx);
  double *vRe, *vIm, *sv, *uRe, *uIm;
  PushResultMatrix(ctx, s.n, s.c, complex, &vRe, &vIm);
  PushResultMatrix(ctx, s.r, s.c, false, &sv, nullptr);
  PushResultMatrix(ctx, s.m, s.r, complex, &uRe, &uIm);
  if (s.k == 0) {
    // No values: U and V are the identity.
    if (uRe) SetIdentity(uRe, s.m, s.r);
    if (vRe) SetIdentity(vRe, s.n, s.c);
    return DropStackEntries(ctx, 3, 1);
  }
  const int64_t scratch = DecompositionScratch(s, complex);
  double* w = TakeScratch(ctx, scratch);
  a = ReadMatrixOperand(ctx, 3);
  const double* values;
  if (complex) {
    if (!ComputeSvdWithVectors(a.re, a.im, s.m, s.n, w, uRe, uIm, s.r, vRe, vIm, s.c, w + s.n))
      return kErrNoConvergence;
    values = w;
  } else if (tall) {
    // A' (n x m) = L diag(w) R', so A = R diag(w) L': U from R, V from L.
    // The m values wait in U, which is filled last.
    double* right = w;
    ComputeSvdReal(a.re, s.n, s.m, uRe, right, w + int64_t(s.m) * s.m);
    values = uRe;
    for (int32_t i = 0; i < std::min(s.r, s.c); i++) sv[int64_t(i) * s.c + i] = values[i];
    CopyColumns(a.re, s.m, vRe, s.n, s.c);
    CopyColumns(right, s.m, uRe, s.m, s.r);
    return DropStackEntries(ctx, 3, 1);
  } else {
    // The n values wait in V, which is filled last.
    double* right = w;
    ComputeSvdReal(a.re, s.m, s.n, vRe, right, w + int64_t(s.n) * s.n);
    for (int32_t i = 0; i < std::min(s.r, s.c); i++) sv[int64_t(i) * s.c + i] = vRe[i];
    CopyColumns(a.re, s.n, uRe, s.m, s.r);
    CopyColumns(right, s.n, vRe, s.n, s.c);
    return DropStackEntries(ctx, 3, 1);
  }
  for (int32_t i = 0; i < std::min(s.r, s.c); i++) sv[int64_t(i) * s.c + i] = values[i];
  return DropStackEntries(ctx, 3, 1);
}

// svd(A): the singular values; [U, S, V] = svd(A) or svd(A, flag), a false
// flag asking for the economy form.
ErrCode SvdNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  const int32_t outputs = std::max(nargout, 1);
  if (!(outputs == 3 || (nargin == 1 && outputs == 1))) return kErrTooFewArgout;
  MatrixOperand a;
  if (!GetMatrixArg(ctx, nargin - 1, &a)) return kErrWrongTypeOverload;
  bool economy = false;
  if (nargin == 2) {
    uint8_t full;
    if (ErrCode e = GetBooleanArg(ctx, 0, &full)) return e;
    economy = !full;
  }
  const bool complex = a.im != nullptr;
  StackPlan plan;
  if (nargin == 2) plan.DropEntry(ctx, 0);
  if (outputs == 3) {
    PlanDecomposition(a.rows, a.cols, complex, economy, EntryDataWords(ctx, nargin - 1), &plan);
    if (ErrCode e = plan.Check(ctx)) return e;
    if (nargin == 2) Drop(ctx);
    return DecomposeTop(ctx, economy);
  }
  const int32_t k = std::min(a.rows, a.cols);
  const int64_t scratch = SingularValueScratch(a.rows, a.cols, complex);
  plan.Push(k, 1, false);
  plan.Scratch(scratch);
  if (ErrCode e = plan.Check(ctx)) return e;
  double* s;
  PushResultMatrix(ctx, k, 1, false, &s, nullptr);
  double* w = TakeScratch(ctx, scratch);
  ComputeSingularValues(ReadMatrixOperand(ctx, 1), w);
  if (k > 0) std::copy(w, w + k, s);
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
