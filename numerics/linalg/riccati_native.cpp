// The natives care and dare: the stabilising solution X of the continuous
// or discrete algebraic Riccati equation, the closed-loop eigenvalues L and
// the gain K, through the Schur form of the Hamiltonian or symplectic
// matrix. One routine serves both; the record's option tells them apart.
#include <algorithm>

#include "builtins/matrix_kernels.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/linalg/block_products.hpp"
#include "numerics/linalg/linalg_support.hpp"
#include "numerics/linalg/riccati.hpp"

namespace vke {

namespace {

constexpr uintptr_t kDiscrete = 'd';

// The pivot words of the dense solves: max(n, m) 32-bit entries.
int64_t PivotWords(int32_t n, int32_t m) {
  return std::max(n, m) / 2 + 1;
}

// Reads the count arguments, the last at the depth `last`, and checks their
// sizes: 20 when one does not fit.
ErrCode ReadArguments(EngineContext* ctx, int32_t count, int32_t last, bool givenG,
                      RiccatiArgs* p) {
  MatrixOperand arg[5];
  for (int32_t k = 0; k < count; k++) GetMatrixArg(ctx, last + count - 1 - k, &arg[k]);
  const MatrixOperand &a = arg[0], &b = arg[1], &q = arg[2];
  const int32_t n = a.rows, m = givenG ? n : b.cols;
  if (a.cols != n || b.rows != n || q.rows != n || q.cols != n) return kErrIncompSize;
  if (count > 3 && (arg[3].rows != m || arg[3].cols != m)) return kErrIncompSize;
  if (count > 4 && (arg[4].rows != n || arg[4].cols != m)) return kErrIncompSize;
  p->n = n;
  p->m = givenG ? 0 : m;
  p->a = a.re;
  (givenG ? p->g : p->b) = b.re;
  p->q = q.re;
  p->r = count > 3 ? arg[3].re : nullptr;
  p->s = count > 4 ? arg[4].re : nullptr;
  return kOk;
}

// K = R^-1 (B' X + S') for care; T1 and the R argument serve as scratch.
void ContinuousGain(const RiccatiArgs& p, const RiccatiWork& w, double* k) {
  const int32_t n = p.n, m = p.m;
  if (p.s) {
    CopyBlock(n, m, 1, p.s, m, false, w.t1, m);
  } else {
    std::fill(w.t1, w.t1 + int64_t(n) * m, 0.0);
  }
  AddBlockProduct(n, n, m, 1, {w.x, n}, {p.b, m}, w.t1, m);
  if (p.r) SolveRightReal(const_cast<double*>(p.r), w.t1, m, n, w.perm);
  CopyBlock(n, m, 1, w.t1, m, true, k, n);
}

// K = (R + B' X B)^-1 B' X A for dare, with W2 = R + B' X B pushed for it
// (K is pushed above W2; the caller removes W2).
void DiscreteGain(const RiccatiArgs& p, const RiccatiWork& w, double* w2, double* k) {
  const int32_t n = p.n, m = p.m;
  std::fill(w.t1, w.t1 + int64_t(n) * m, 0.0);
  AddBlockProduct(n, n, m, 1, {w.x, n}, {p.b, m}, w.t1, m);
  if (p.r) {
    std::copy(p.r, p.r + int64_t(m) * m, w2);
  } else {
    for (int32_t i = 0; i < m; i++) w2[int64_t(i) * m + i] = 1;
  }
  AddBlockProduct(m, n, m, 1, {p.b, m, true}, {w.t1, m}, w2, m);
  // K' = A' T1 (n x m) in K's storage, then K' W2^-1, which is (W2^-1 K)'
  // as W2 is symmetric; turned into K through T1's storage.
  std::fill(k, k + int64_t(n) * m, 0.0);
  AddBlockProduct(n, n, m, 1, {p.a, n, true}, {w.t1, m}, k, m);
  SolveRightReal(w2, k, m, n, w.perm);
  std::copy(k, k + int64_t(n) * m, w.t1);
  CopyBlock(n, m, 1, w.t1, m, true, k, n);
}

// care and dare of an empty system: X 0 x 0, L 0 x 1, K m x 0.
ErrCode EmptySystem(EngineContext* ctx, int32_t count, int32_t outputs, int32_t m, bool withFlag) {
  StackPlan plan;
  if (withFlag) plan.DropEntry(ctx, 0);
  plan.Push(0, 0, false);
  if (outputs >= 2) plan.Push(0, 1, false);
  if (outputs >= 3) plan.Push(m, 0, false);
  if (ErrCode e = plan.Check(ctx)) return e;
  if (withFlag) Drop(ctx);
  PushResultMatrix(ctx, 0, 0, false, nullptr, nullptr);
  if (outputs >= 2) PushResultMatrix(ctx, 0, 1, false, nullptr, nullptr);
  if (outputs >= 3) PushResultMatrix(ctx, m, 0, false, nullptr, nullptr);
  DropStackEntries(ctx, outputs, count);
  return ReverseStackEntries(ctx, outputs);
}

}  // namespace

// [X, L, K] = care(A, B, Q, R, S), care(A, G, Q, true); [X, L, K] =
// dare(A, B, Q, R).
ErrCode SolveRiccati(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  const bool discrete = option == kDiscrete;
  const int32_t outputs = std::max(nargout, 1);
  // Every argument a real matrix, or (care) three and a logical flag.
  bool withFlag = false;
  if (!AreRealMatrixArgs(ctx, nargin)) {
    withFlag = !discrete && nargin == 4 && AreRealMatrixArgs(ctx, 3, 1) &&
               !CheckArgumentTypes(ctx, 1, "L");
    if (!withFlag) return kErrWrongTypeOverload;
  }
  uint8_t givenG = 0;
  if (withFlag) {
    if (ErrCode e = GetBooleanArg(ctx, 0, &givenG)) return e;
    MatrixOperand g;
    GetMatrixArg(ctx, 2, &g);
    if (givenG && outputs > 2) return kErrTooManyArgout;
    if (givenG && !g.IsSquare()) return kErrNonSquareSize;
  }
  const int32_t count = withFlag ? 3 : nargin;
  RiccatiArgs p;
  if (ErrCode e = ReadArguments(ctx, count, withFlag ? 1 : 0, givenG, &p)) return e;
  const int32_t n = p.n, m = p.m;
  if (n == 0) return EmptySystem(ctx, count, outputs, m, withFlag);

  // X, H, T1, W and U above the arguments; the pivot entries and the Schur
  // kernel's 2n words are each the last free words, used one at a time. Then
  // L, and for the gain (dare: W2 below it) K, with the pivots above them.
  const int64_t pivots = PivotWords(n, m);
  StackPlan plan;
  if (withFlag) plan.DropEntry(ctx, 0);
  plan.Push(n, n, true);
  plan.Push(2 * n, 2 * n, true);
  plan.Push(n, m, false);
  plan.Push(m, m, false);
  plan.Push(2 * n, 2 * n, true);
  plan.Scratch(pivots);
  plan.Scratch(2 * int64_t(n));
  if (outputs >= 2) plan.Push(n, 1, true);
  if (outputs >= 3) {
    if (discrete) plan.Push(m, m, false);
    plan.Push(m, n, false);
    plan.Scratch(pivots);
  }
  if (ErrCode e = plan.Check(ctx)) return e;
  if (withFlag) Drop(ctx);

  RiccatiWork w;
  PushResultMatrix(ctx, n, n, true, &w.x, nullptr);
  PushResultMatrix(ctx, 2 * n, 2 * n, true, &w.h, nullptr);
  PushResultMatrix(ctx, n, m, false, &w.t1, nullptr);
  PushResultMatrix(ctx, m, m, false, &w.w, nullptr);
  PushResultMatrix(ctx, 2 * n, 2 * n, true, &w.u, nullptr);
  w.perm = reinterpret_cast<int32_t*>(TakeScratch(ctx, pivots));
  w.schur = TakeScratch(ctx, 2 * int64_t(n));
  // The arguments lie under the five pushed matrices, where they were read.
  if (discrete) {
    BuildSymplectic(p, w);
  } else {
    BuildHamiltonian(p, w);
  }
  bool complexForm = false;
  switch (SolveFromSchurForm(n, discrete, w, &complexForm)) {
    case RiccatiOutcome::kSolved:
      break;
    case RiccatiOutcome::kNoSchurForm:
    case RiccatiOutcome::kTooFewStable:
      return kErrNoConvergence;
  }

  if (outputs >= 2) {
    double *lRe, *lIm;
    PushResultMatrix(ctx, n, 1, complexForm, &lRe, &lIm);
    const int64_t area = 4 * int64_t(n) * n, step = 2 * int64_t(n) + 1;
    for (int32_t i = 0; i < n; i++) {
      lRe[i] = w.h[i * step];
      if (complexForm) lIm[i] = w.h[area + i * step];
    }
  }
  if (outputs >= 3) {
    double *k, *w2 = nullptr;
    if (discrete) PushResultMatrix(ctx, m, m, false, &w2, nullptr);
    PushResultMatrix(ctx, m, n, false, &k, nullptr);
    if (discrete) {
      DiscreteGain(p, w, w2, k);
      DropStackEntries(ctx, 1, 1);
    } else {
      ContinuousGain(p, w, k);
    }
  }
  // Leave X, L, K with X on top and real.
  DropStackEntries(ctx, outputs - 1, 4);
  DropStackEntries(ctx, outputs, count);
  ReverseStackEntries(ctx, outputs);
  return MakeTopReal(ctx);
}

}  // namespace vke
