// The natives roots and poly: the roots of one polynomial or of the rows or
// columns of a matrix (eigenvalues of the companion matrix), and the
// polynomial of given roots or the characteristic polynomial of a square
// matrix.
#include <algorithm>
#include <cmath>
#include <limits>

#include "builtins/matrix_ops.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/poly/polynomials.hpp"

namespace vke {

namespace {

// The kernel's workspace for a polynomial of degree n.
int64_t RootWork(int32_t n, bool complex) {
  return complex ? 2 * int64_t(n) * n + 2 * int64_t(n) : int64_t(n) * n + n;
}

// The leading coefficients of a row that are exactly zero.
int32_t LeadingZeros(const double* re, const double* im, int32_t n) {
  int32_t z = 0;
  while (z < n && re[z] == 0 && (!im || im[z] == 0)) z++;
  return z;
}

// Whether every value off the real axis has a partner with the same real
// part and the opposite imaginary part, counted with multiplicity.
bool HasExactConjugates(const double* re, const double* im, int32_t n) {
  for (int32_t i = 0; i < n; i++) {
    if (im[i] == 0) continue;
    if (std::isnan(im[i]) || std::isnan(re[i])) return false;
    int32_t same = 0, mirrored = 0;
    for (int32_t j = 0; j < n; j++) {
      if (re[j] != re[i]) continue;
      same += im[j] == im[i];
      mirrored += im[j] == -im[i];
    }
    if (same != mirrored) return false;
  }
  return true;
}

// The characteristic polynomial of the square matrix on top (n > 1).
ErrCode CharacteristicPolynomial(EngineContext* ctx, const MatrixOperand& a) {
  const int32_t n = a.rows;
  const bool complex = a.im != nullptr;
  // Real: 4n + 1 words. Complex: n indices, then 2n for the Schur form that
  // replaces the reduction when it meets a zero pivot.
  const int64_t work = complex ? (n + 1) / 2 + 2 * int64_t(n) : 4 * int64_t(n) + 1;
  StackPlan plan;
  plan.Push(1, n + 1, complex);
  plan.Scratch(work);
  if (ErrCode e = plan.Check(ctx)) return e;
  double *re, *im;
  PushResultMatrix(ctx, 1, n + 1, complex, &re, &im);
  double* w = TakeScratch(ctx, work);
  if (complex) {
    auto* index = reinterpret_cast<uint32_t*>(w);
    if (!ComputeComplexCharPoly(a.re, a.im, n, re, im, index, w + (n + 1) / 2))
      return kErrNoConvergence;
  } else if (ComputeRealCharPoly(a.re, n, re, w) == kKernelFailed) {
    return kErrNoConvergence;
  }
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace

// r = roots(p), r = roots(p, dim).
ErrCode RootsNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (!AreDoubleMatrices(ctx, 1, nargin - 1) || (nargin == 2 && CheckArgumentTypes(ctx, 1, "r")))
    return kErrWrongTypeOverload;
  int32_t dim = 1;
  if (nargin == 2) {
    if (ErrCode e = GetIntegerArg(ctx, 0, &dim)) return e;
    if (dim != 1 && dim != 2) return kErrBadArg;
  }
  MatrixOperand p;
  GetMatrixArg(ctx, nargin - 1, &p);
  const bool complex = p.im != nullptr;
  // The polynomials as rows of N coefficients: the columns of p turned into
  // rows, unless dim is 2; with one argument a vector is one polynomial.
  const bool vector = nargin == 1 && (p.rows == 1 || p.cols == 1);
  const bool transpose = !vector && dim != 2 && p.rows > 1 && p.cols > 1;
  int32_t polys = dim == 2 ? p.rows : p.cols, n = dim == 2 ? p.cols : p.rows;
  if (vector) {
    polys = 1;
    n = p.rows * p.cols;
  }
  // One polynomial loses its leading zeros; in a matrix each row is solved
  // without them and its missing roots are NaN.
  const int32_t skip = polys == 1 && n > 0 ? LeadingZeros(p.re, p.im, n) : 0;
  const int32_t degree = n - skip - 1;

  StackPlan plan;
  if (nargin == 2) plan.DropEntry(ctx, 0);
  if (degree < 1 || polys == 0) {
    plan.DropEntry(ctx, nargin - 1);
    plan.Push(0, 0, false);
    if (ErrCode e = plan.Check(ctx)) return e;
    Drop(ctx, nargin);
    return PushResultMatrix(ctx, 0, 0, false, nullptr, nullptr);
  }
  if (transpose) {
    plan.Push(p.cols, p.rows, complex);
    plan.DropEntry(ctx, nargin - 1);
  }
  plan.Push(degree, polys, true);
  const int64_t work = 2 * int64_t(n) + RootWork(n - 1, complex);
  plan.Scratch(work);
  if (ErrCode e = plan.Check(ctx)) return e;
  if (nargin == 2) Drop(ctx);
  if (transpose) TransposeTopValue(ctx);

  double *outRe, *outIm;
  PushResultMatrix(ctx, degree, polys, true, &outRe, &outIm);
  double* rootsRe = TakeScratch(ctx, work);
  double* rootsIm = rootsRe + n;
  double* w = rootsIm + n;
  const MatrixOperand rows = ReadMatrixOperand(ctx, 1);
  bool complexRoots = false;
  for (int32_t i = 0; i < polys; i++) {
    double* cRe = rows.re + int64_t(i) * n;
    double* cIm = complex ? rows.im + int64_t(i) * n : nullptr;
    const int32_t zeros = polys == 1 ? skip : LeadingZeros(cRe, cIm, n);
    const int32_t found = std::max(n - zeros - 1, 0);
    if (found > 0) {
      if (complex) {
        if (!ComputeComplexPolynomialRoots(cRe + zeros, cIm + zeros, found, rootsRe, rootsIm, w))
          return kErrNoConvergence;
      } else {
        const int32_t kind = ComputeRealPolynomialRoots(cRe + zeros, found, rootsRe, rootsIm, w);
        if (kind == kKernelFailed) return kErrNoConvergence;
        complexRoots = complexRoots || kind == 1;
      }
    }
    for (int32_t k = 0; k < degree; k++) {
      const bool known = k < found;
      outRe[int64_t(k) * polys + i] = known ? rootsRe[k] : std::numeric_limits<double>::quiet_NaN();
      outIm[int64_t(k) * polys + i] = known ? rootsIm[k] : 0.0;
    }
  }
  if (!complex && !complexRoots) MakeTopReal(ctx);
  return DropStackEntries(ctx, 1, 1);
}

// c = poly(r), c = poly(A).
ErrCode PolyNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  MatrixOperand a;
  if (!GetMatrixArg(ctx, 0, &a)) return kErrWrongTypeOverload;
  if (a.IsEmpty()) {
    StackPlan plan;
    plan.DropEntry(ctx, 0);
    plan.PushScalar();
    if (ErrCode e = plan.Check(ctx)) return e;
    Drop(ctx);
    return PushRealScalar(ctx, 1);
  }
  if (a.IsSquare() && a.rows > 1) return CharacteristicPolynomial(ctx, a);
  int32_t n;
  if (!CoefficientCount(a, &n)) return kErrNonVector;
  const bool complex = a.im != nullptr;
  StackPlan plan;
  plan.Push(1, n + 1, complex);
  if (ErrCode e = plan.Check(ctx)) return e;
  double *re, *im;
  PushResultMatrix(ctx, 1, n + 1, complex, &re, &im);
  if (!complex) {
    PolyFromRealRoots(a.re, n, re);
    return DropStackEntries(ctx, 1, 1);
  }
  // The product is real when the roots pair up exactly (then its imaginary
  // parts are rounding) or when its imaginary parts came out exactly zero.
  const bool paired = MatchConjugatePairs(a.re, a.im, n, re, im);
  if ((paired && HasExactConjugates(a.re, a.im, n)) ||
      std::all_of(im, im + n + 1, [](double x) { return x == 0; }))
    MakeTopReal(ctx);
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
