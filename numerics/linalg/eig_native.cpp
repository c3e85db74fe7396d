// The native eig: the eigenvalues of a square matrix (Jacobi rotations for
// a real symmetric one, elimination to Hessenberg form and double-shift QR
// for another real one, the complex Schur form for a complex one) and its
// eigenvectors, found for each group of equal eigenvalues as the right
// singular vectors of A - lambda I that belong to its smallest values.
#include <algorithm>
#include <cmath>

#include "builtins/shell_sort.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/linalg/linalg_support.hpp"
#include "numerics/linalg/svd.hpp"

namespace vke {

namespace {

// The largest modulus of A's elements.
double LargestModulus(const MatrixOperand& a) {
  double largest = 0;
  for (int64_t k = 0; k < int64_t(a.rows) * a.cols; k++) {
    largest = std::max(largest, a.im ? std::hypot(a.re[k], a.im[k]) : std::fabs(a.re[k]));
  }
  return largest;
}

bool IsSymmetric(const MatrixOperand& a) {
  for (int32_t i = 0; i < a.rows; i++) {
    for (int32_t j = i + 1; j < a.cols; j++) {
      if (a.re[int64_t(i) * a.cols + j] != a.re[int64_t(j) * a.cols + i]) return false;
    }
  }
  return true;
}

// The values (n of them, first in the matrix's blocks) on the diagonal of
// the n x n matrix, zeros elsewhere.
void SpreadDiagonal(double* block, int32_t n, double* spare) {
  std::copy(block, block + n, spare);
  std::fill(block, block + int64_t(n) * n, 0.0);
  for (int32_t i = 0; i < n; i++) block[int64_t(i) * n + i] = spare[i];
}

// The room of the eigenvector stage on top of the eigenvalues: V, then for
// one group at a time a shifted copy of A and its decomposition.
void PlanEigenvectors(StackPlan* plan, int32_t n, bool complex) {
  plan->Push(n, n, complex);
  plan->Push(n, n, complex);
  PlanDecomposition(n, n, complex, false, 0, plan);
}

// With A below the n x n matrix D whose first n entries of each block hold
// the eigenvalues: sorts them, pushes V with an eigenvector per column, and
// leaves V on top of D (the eigenvalues on its diagonal), A removed.
ErrCode FindEigenvectors(EngineContext* ctx, int32_t n) {
  MatrixOperand d = ReadMatrixOperand(ctx, 0);
  const bool complexA = ReadMatrixOperand(ctx, 1).im != nullptr;
  const bool complexValues = d.im != nullptr;
  if (complexValues) {
    ShellSortComplex(d.re, d.im, n, 1, false);
  } else {
    ShellSortReal(d.re, n, 1, false);
  }
  double *vRe, *vIm;
  PushResultMatrix(ctx, n, n, complexA || complexValues, &vRe, &vIm);
  // The grouping tolerance scales with A, so that eigenvalues apart by
  // more than rounding stay apart at every size of the matrix; the
  // eigenvalues of a zero matrix are one group.
  const double sizeOfA = LargestModulus(ReadMatrixOperand(ctx, 2));
  for (int32_t i = 0; i < n;) {
    d = ReadMatrixOperand(ctx, 1);
    const double re = d.re[i], im = d.im ? d.im[i] : 0.0;
    const double tol = (std::fabs(re) + std::fabs(im) + 10 * sizeOfA) * n * kKernelEps;
    int32_t count = 1;
    while (i + count < n &&
           std::fabs(d.re[i + count] - re) + std::fabs((d.im ? d.im[i + count] : 0.0) - im) <=
               tol) {
      count++;
    }
    // A - lambda I, complex when either is.
    const MatrixOperand a = ReadMatrixOperand(ctx, 2);
    const bool complexShift = a.im || im != 0;
    double *sRe, *sIm;
    PushResultMatrix(ctx, n, n, complexShift, &sRe, &sIm);
    const int64_t nn = int64_t(n) * n;
    std::copy(a.re, a.re + nn, sRe);
    if (a.im) std::copy(a.im, a.im + nn, sIm);
    for (int32_t k = 0; k < n; k++) {
      sRe[int64_t(k) * n + k] -= re;
      if (complexShift) sIm[int64_t(k) * n + k] -= im;
    }
    if (ErrCode e = DecomposeTop(ctx, false)) return e;
    // The last count right singular vectors. A vector is an eigenvector only
    // when its singular value, the residual |(A - lambda I) v|, is within
    // the tolerance that made the group: a group larger than the null space
    // of A - lambda I (a defective or nearly defective eigenvalue) takes the
    // vector of the smallest singular value again for each of its other
    // members, repeated columns, each of them an eigenvector to rounding.
    const MatrixOperand sv = ReadMatrixOperand(ctx, 1);
    const MatrixOperand w = ReadMatrixOperand(ctx, 2);
    const MatrixOperand v = ReadMatrixOperand(ctx, 3);
    for (int32_t c = 0; c < count; c++) {
      int32_t from = n - count + c;
      if (sv.re[int64_t(from) * n + from] > tol) from = n - 1;
      for (int32_t r = 0; r < n; r++) {
        const int64_t to = int64_t(r) * n + i + c, at = int64_t(r) * n + from;
        v.re[to] = w.re[at];
        if (v.im) v.im[to] = w.im ? w.im[at] : 0.0;
      }
    }
    Drop(ctx, 3);  // U, S and V of A - lambda I
    i += count;
  }
  // D's diagonal; the spare words are the free ones above the stack.
  d = ReadMatrixOperand(ctx, 1);
  double* spare = FirstFreeWord(ctx);
  SpreadDiagonal(d.re, n, spare);
  if (d.im) SpreadDiagonal(d.im, n, spare);
  return DropStackEntries(ctx, 2, 1);
}

// [V, D] = eig(A) or d = eig(A) of a real symmetric A by Jacobi rotations,
// in the order the rotations leave the values.
ErrCode SymmetricEig(EngineContext* ctx, int32_t n, bool withVectors) {
  StackPlan plan;
  if (withVectors) {
    plan.Push(n, n, false);
    plan.Push(n, n, false);
  } else {
    plan.Push(n, 1, false);
  }
  plan.Scratch(2 * int64_t(n));
  if (ErrCode e = plan.Check(ctx)) return e;
  double *d, *v = nullptr;
  PushResultMatrix(ctx, n, withVectors ? n : 1, false, &d, nullptr);
  if (withVectors) PushResultMatrix(ctx, n, n, false, &v, nullptr);
  double* w = TakeScratch(ctx, 2 * int64_t(n));
  const MatrixOperand a = ReadMatrixOperand(ctx, withVectors ? 2 : 1);
  EigSymmetricJacobi(a.re, n, d, v, w);
  if (withVectors) SpreadDiagonal(d, n, w);
  return DropStackEntries(ctx, withVectors ? 2 : 1, 1);
}

// The eigenvalues of a real A that is not symmetric, into an n x 1 column
// (or, with vectors, the first n entries of an n x n matrix), complex only
// when one has a non-zero imaginary part.
ErrCode GeneralEig(EngineContext* ctx, int32_t n, bool withVectors) {
  StackPlan plan;
  if (withVectors) plan.Push(n, n, false);
  plan.Push(n, withVectors ? n : 1, true);
  plan.Scratch(n);
  if (withVectors) {
    plan.Drop(n, n, false);
    PlanEigenvectors(&plan, n, true);
  }
  if (ErrCode e = plan.Check(ctx)) return e;
  if (withVectors) DuplicateStackEntries(ctx, 0, 1);
  double *eRe, *eIm;
  PushResultMatrix(ctx, n, withVectors ? n : 1, true, &eRe, &eIm);
  auto* index = reinterpret_cast<uint32_t*>(TakeScratch(ctx, n));
  if (!ComputeRealEigenvalues(ReadMatrixOperand(ctx, 1).re, n, index, eRe, eIm))
    return kErrNoConvergence;
  DropStackEntries(ctx, 1, 1);
  // Real unless an imaginary part is not exactly 0 (a NaN is not).
  eIm = ReadMatrixOperand(ctx, 0).im;
  if (std::all_of(eIm, eIm + n, [](double x) { return x == 0; })) MakeTopReal(ctx);
  return withVectors ? FindEigenvectors(ctx, n) : kOk;
}

// The eigenvalues of a complex A: the diagonal of its complex Schur form.
ErrCode ComplexEig(EngineContext* ctx, int32_t n, bool withVectors) {
  StackPlan plan;
  if (withVectors) plan.Push(n, n, true);
  plan.Scratch(2 * int64_t(n));
  if (withVectors) {
    PlanEigenvectors(&plan, n, true);
  } else {
    plan.Push(n, 1, true);
  }
  if (ErrCode e = plan.Check(ctx)) return e;
  if (withVectors) DuplicateStackEntries(ctx, 0, 1);
  const MatrixOperand t = ReadMatrixOperand(ctx, 0);
  if (!ComputeComplexSchurForm(t.re, t.im, n, nullptr, nullptr, TakeScratch(ctx, 2 * int64_t(n))))
    return kErrNoConvergence;
  if (withVectors) {
    for (int32_t i = 0; i < n; i++) {
      t.re[i] = t.re[int64_t(i) * n + i];
      t.im[i] = t.im[int64_t(i) * n + i];
    }
    return FindEigenvectors(ctx, n);
  }
  double *eRe, *eIm;
  PushResultMatrix(ctx, n, 1, true, &eRe, &eIm);
  for (int32_t i = 0; i < n; i++) {
    eRe[i] = t.re[int64_t(i) * n + i];
    eIm[i] = t.im[int64_t(i) * n + i];
  }
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace

// d = eig(A), [V, D] = eig(A).
ErrCode EigNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  MatrixOperand a;
  if (!GetMatrixArg(ctx, 0, &a)) return kErrWrongTypeOverload;
  if (!a.IsSquare()) return kErrNonSquareSize;
  const int32_t n = a.rows;
  const bool withVectors = nargout >= 2;
  if (n == 0) {
    // No eigenvalues: an empty column, or empty V and D.
    StackPlan plan;
    plan.Push(0, withVectors ? 0 : 1, false);
    if (withVectors) plan.Push(0, 0, false);
    if (ErrCode e = plan.Check(ctx)) return e;
    PushResultMatrix(ctx, 0, withVectors ? 0 : 1, false, nullptr, nullptr);
    if (withVectors) PushResultMatrix(ctx, 0, 0, false, nullptr, nullptr);
    return DropStackEntries(ctx, withVectors ? 2 : 1, 1);
  }
  if (a.im) return ComplexEig(ctx, n, withVectors);
  if (IsSymmetric(a)) return SymmetricEig(ctx, n, withVectors);
  return GeneralEig(ctx, n, withVectors);
}

}  // namespace vke
