// The Riccati solver's matrices and its Schur step: the Hamiltonian (care)
// or symplectic (dare) matrix assembled from products and dense solves, its
// real Schur form (made complex when 2 x 2 blocks remain), the reordering
// that brings the stable eigenvalues first, and X = U21 U11^-1.
#include <algorithm>

#include "builtins/matrix_kernels.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/linalg/block_products.hpp"
#include "numerics/linalg/riccati.hpp"

namespace vke {

namespace {

// The four n x n blocks of a 2n x 2n matrix stored row by row.
struct Blocks {
  double *b11, *b12, *b21, *b22;
  int64_t step;

  Blocks(double* h, int32_t n)
      : b11(h), b12(h + n), b21(h + 2 * int64_t(n) * n), b22(b21 + n), step(2 * int64_t(n)) {}
};

// T1 := T1 R^-1, solved on a copy of R in W; nothing without R.
void DivideByR(const RiccatiArgs& p, const RiccatiWork& w) {
  if (!p.r) return;
  std::copy(p.r, p.r + int64_t(p.m) * p.m, w.w);
  SolveRightReal(w.w, w.t1, p.m, p.n, w.perm);
}

// Whether the key of an eigenvalue marks it stable.
bool IsStableKey(double key) {
  return key <= 0;
}

}  // namespace

void BuildHamiltonian(const RiccatiArgs& p, const RiccatiWork& w) {
  const int32_t n = p.n, m = p.m;
  const Blocks h(w.h, n);
  CopyBlock(n, n, 1, p.a, n, false, h.b11, h.step);
  if (p.g) {
    CopyBlock(n, n, -1, p.g, n, false, h.b12, h.step);
  } else {
    // T1 = -B R^-1; H11 = A + T1 S'; H12 = T1 B'.
    CopyBlock(n, m, -1, p.b, m, false, w.t1, m);
    DivideByR(p, w);
    if (p.s) AddBlockProduct(n, m, n, 1, {w.t1, m}, {p.s, m, true}, h.b11, h.step);
    AddBlockProduct(n, m, n, 1, {w.t1, m}, {p.b, m, true}, h.b12, h.step);
  }
  // H21 = -Q + S R^-1 S'.
  CopyBlock(n, n, -1, p.q, n, false, h.b21, h.step);
  if (p.s) {
    CopyBlock(n, m, 1, p.s, m, false, w.t1, m);
    DivideByR(p, w);
    AddBlockProduct(n, m, n, 1, {w.t1, m}, {p.s, m, true}, h.b21, h.step);
  }
  CopyBlock(n, n, -1, h.b11, h.step, true, h.b22, h.step);
}

void BuildSymplectic(const RiccatiArgs& p, const RiccatiWork& w) {
  const int32_t n = p.n, m = p.m;
  const Blocks h(w.h, n);
  // The solves work on two n x n matrices in U's storage.
  double* lhs = w.u;
  double* rhs = w.u + int64_t(n) * n;
  // H12 = G = B R^-1 B'.
  CopyBlock(n, m, 1, p.b, m, false, w.t1, m);
  DivideByR(p, w);
  AddBlockProduct(n, m, n, 1, {w.t1, m}, {p.b, m, true}, h.b12, h.step);
  // H21 = -A^-T Q: (-A') Z = Q.
  CopyBlock(n, n, -1, p.a, n, true, lhs, n);
  CopyBlock(n, n, 1, p.q, n, false, rhs, n);
  SolveLinearSystemReal(lhs, rhs, n, n, w.perm, false);
  CopyBlock(n, n, 1, rhs, n, false, h.b21, h.step);
  // H11 = A - G H21.
  CopyBlock(n, n, 1, p.a, n, false, h.b11, h.step);
  AddBlockProduct(n, n, n, -1, {h.b12, h.step}, {h.b21, h.step}, h.b11, h.step);
  // H22 = A^-T: Z A' = I.
  CopyBlock(n, n, 1, p.a, n, true, lhs, n);
  std::fill(rhs, rhs + int64_t(n) * n, 0.0);
  for (int32_t i = 0; i < n; i++) rhs[int64_t(i) * n + i] = 1;
  SolveRightReal(lhs, rhs, n, n, w.perm);
  CopyBlock(n, n, 1, rhs, n, false, h.b22, h.step);
  // H12 = -G A^-T: Z A' = G.
  CopyBlock(n, n, 1, p.a, n, true, lhs, n);
  CopyBlock(n, n, 1, h.b12, h.step, false, rhs, n);
  SolveRightReal(lhs, rhs, n, n, w.perm);
  CopyBlock(n, n, -1, rhs, n, false, h.b12, h.step);
}

RiccatiOutcome SolveFromSchurForm(int32_t n, bool discrete, const RiccatiWork& w,
                                  bool* complexForm) {
  const int32_t size = 2 * n;
  const int64_t area = int64_t(size) * size, nn = int64_t(n) * n;
  uint8_t pairs = 0;
  if (!ComputeRealSchurForm(w.h, size, w.u, &pairs, w.schur)) return RiccatiOutcome::kNoSchurForm;
  double *tIm = nullptr, *uIm = nullptr;
  if (pairs) {
    tIm = w.h + area;
    uIm = w.u + area;
    RealToComplexSchur(w.h, tIm, w.u, uIm, size);
  }
  *complexForm = pairs != 0;

  double* keys = w.x;
  for (int32_t i = 0; i < size; i++) {
    const double re = w.h[int64_t(i) * size + i], im = tIm ? tIm[int64_t(i) * size + i] : 0.0;
    keys[i] = discrete ? re * re + im * im - 1 : re;
  }
  // Bubble the stable eigenvalues to the front: the first unstable one
  // followed by a stable one is exchanged with it. Nothing before i - 1
  // changes, so the search for the next such pair goes on from there.
  for (int32_t i = 0; i + 1 < size;) {
    if (!IsStableKey(keys[i]) && IsStableKey(keys[i + 1])) {
      SwapSchurDiagonalPair(w.h, tIm, w.u, uIm, size, i);
      std::swap(keys[i], keys[i + 1]);
      i = std::max(i - 1, 0);
    } else {
      i++;
    }
  }
  if (std::count_if(keys, keys + size, IsStableKey) < n) return RiccatiOutcome::kTooFewStable;

  // X = U21 U11^-1: U21 into X, U11 packed into U's storage (its real
  // block first, then its imaginary block), where the rows it overwrites
  // have been read.
  CopyBlock(n, n, 1, w.u + int64_t(n) * size, size, false, w.x, n);
  if (uIm) CopyBlock(n, n, 1, uIm + int64_t(n) * size, size, false, w.x + nn, n);
  for (int32_t i = 0; i < n; i++) {
    const double* row = w.u + int64_t(i) * size;
    std::copy(row, row + n, w.u + int64_t(i) * n);
  }
  if (uIm) {
    CopyBlock(n, n, 1, uIm, size, false, w.u + nn, n);
    SolveRightComplex(w.u, w.x, n, n, w.perm);
  } else {
    SolveRightReal(w.u, w.x, n, n, w.perm);
  }
  return RiccatiOutcome::kSolved;
}

}  // namespace vke
