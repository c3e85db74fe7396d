// The natives rank, cond and pinv over the singular values: the count of
// values above a tolerance, the ratio of the largest to the smallest, and
// the pseudo-inverse V S+ U' built from the values above a tolerance.
#include <algorithm>
#include <limits>

#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/values.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/linalg/linalg_support.hpp"

namespace vke {

namespace {

// The relative tolerances of rank (and orth and null) and of pinv.
constexpr double kRankTolerance = 1e-12;
constexpr double kPinvTolerance = 1.1102230246251565e-12;  // 5000 * 2^-52

// The optional tolerance on top (nargin 2): a real scalar, dropped; -1 (the
// default) without it.
ErrCode TakeTolerance(EngineContext* ctx, int32_t nargin, double* tol) {
  *tol = -1;
  if (nargin < 2) return kOk;
  ErrCode e = GetScalarArg(ctx, 0, tol);
  return e ? e : Drop(ctx);
}

int64_t PinvScratch(int32_t m, int32_t n, bool complex) {
  const int64_t nn = int64_t(n) * n;
  if (!complex) return nn + 2 * int64_t(n) + n / 2 + 1;
  const int64_t k = std::min(m, n);
  const int64_t copies = m == 0 ? 2 * nn : m < n ? 6 * nn : 0;
  return 5 * int64_t(n) + 2 * (int64_t(m) + n) * k + copies;
}

}  // namespace

ErrCode RankNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (nargin == 2 && CheckArgumentTypes(ctx, 1, "r")) return kErrWrongTypeOverload;
  MatrixOperand a;
  if (!GetMatrixArg(ctx, nargin - 1, &a)) return kErrWrongTypeOverload;
  const int64_t scratch = SingularValueScratch(a.rows, a.cols, a.im != nullptr);
  StackPlan plan;
  if (nargin == 2) plan.DropEntry(ctx, 0);
  plan.Scratch(scratch);
  if (ErrCode e = plan.Check(ctx)) return e;
  double tol;
  if (ErrCode e = TakeTolerance(ctx, nargin, &tol)) return e;
  a = ReadMatrixOperand(ctx, 0);
  double* s = TakeScratch(ctx, scratch);
  ComputeSingularValues(a, s);
  if (tol < 0) tol = std::max(a.rows, a.cols) * (a.cols > 0 ? s[0] : 0.0) * kRankTolerance;
  // Over all n values: those of the rows a wide matrix lacks are zeros.
  const auto count = std::count_if(s, s + a.cols, [tol](double x) { return x > tol; });
  // The matrix is used up: the count takes its room.
  return ReplaceInputsWithScalar(ctx, 1, static_cast<double>(count));
}

// cond(A): the largest singular value over the smallest of the min(m, n)
// that exist (a wide matrix has no zero values for its missing rows); +Inf
// for a singular matrix, whose smallest value is 0 to working precision
// (at most max(m, n) s1 eps: rounding leaves it near 1e-16 s1, seldom
// exactly 0), and 0 for a matrix without values.
ErrCode CondNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  MatrixOperand a;
  if (!GetMatrixArg(ctx, 0, &a)) return kErrWrongTypeOverload;
  const int32_t k = std::min(a.rows, a.cols);
  SingularValueRange range;
  if (const NativeFunctionRecord* frontSvd = k > 0 ? FrontSvdRecord(ctx) : nullptr) {
    // LAPACK's decomposition, when its library stands in front.
    if (ErrCode e = FrontSingularValueRange(ctx, frontSvd, 0, &range)) return e;
  } else {
    const int64_t scratch = SingularValueScratch(a.rows, a.cols, a.im != nullptr);
    StackPlan plan;
    plan.Scratch(scratch);
    if (ErrCode e = plan.Check(ctx)) return e;
    double* s = TakeScratch(ctx, scratch);
    ComputeSingularValues(a, s);
    if (k > 0) range = {s[0], s[k - 1]};
  }
  double result = 0;
  if (k > 0) {
    const double zero = std::max(a.rows, a.cols) * range.largest * kKernelEps;
    result = range.smallest <= zero ? std::numeric_limits<double>::infinity()
                                    : range.largest / range.smallest;
  }
  // The engine's values leave the matrix used up: the result takes its room.
  return ReplaceInputsWithScalar(ctx, 1, result);
}

// pinv(A), pinv(A, tol). Also called directly on the matrix on top by the
// division operators for a matrix that is not square.
ErrCode PinvNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr)) return e;
  if (nargin == 2) {
    double unused;
    if (ErrCode e = GetScalarArg(ctx, 0, &unused)) return e;
  }
  MatrixOperand a;
  if (!GetMatrixArg(ctx, nargin - 1, &a)) return kErrWrongType;
  const int32_t m = a.rows, n = a.cols, k = std::min(m, n);
  const bool complex = a.im != nullptr;
  const int64_t scratch = PinvScratch(m, n, complex);
  StackPlan plan;
  if (nargin == 2) plan.DropEntry(ctx, 0);
  plan.Push(n, m, complex);
  if (k > 0) plan.Scratch(scratch);
  if (ErrCode e = plan.Check(ctx)) return e;
  double tol;
  TakeTolerance(ctx, nargin, &tol);

  double *xRe, *xIm;
  PushResultMatrix(ctx, n, m, complex, &xRe, &xIm);
  if (k == 0) return DropStackEntries(ctx, 1, 1);
  a = ReadMatrixOperand(ctx, 1);
  // A NaN or an infinity leaves every singular value undefined: so is
  // every element.
  if (HoldsNonFinite(a)) {
    FillWithNaN(ReadMatrixOperand(ctx, 0));
    return DropStackEntries(ctx, 1, 1);
  }
  double* w = TakeScratch(ctx, scratch);
  // The singular values s, U (m x uc) and V (n x vc), complex or real.
  double *s = w, *uRe, *uIm = nullptr, *vRe, *vIm = nullptr;
  int32_t considered, uc, vc;
  if (complex) {
    considered = uc = vc = k;
    uRe = w + n;
    uIm = uRe + int64_t(m) * k;
    vRe = uIm + int64_t(m) * k;
    vIm = vRe + int64_t(n) * k;
    if (!ComputeSvdWithVectors(a.re, a.im, m, n, s, uRe, uIm, k, vRe, vIm, k, vIm + int64_t(n) * k))
      return kErrNoConvergence;
  } else {
    considered = uc = vc = n;
    vRe = w;
    s = w + int64_t(n) * n;
    ComputeSvdReal(a.re, m, n, s, vRe, s + n);
    uRe = a.re;
  }
  if (tol < 0) tol = std::max(m, n) * s[0] * kPinvTolerance;
  int32_t kept = 0;
  while (kept < considered && s[kept] > tol) {
    s[kept] = 1 / s[kept];
    kept++;
  }
  // X(i, j) = sum over l of V(i, l) / s_l conj(U(j, l)).
  for (int32_t i = 0; i < n; i++) {
    for (int32_t j = 0; j < m; j++) {
      double re = 0, im = 0;
      for (int32_t l = 0; l < kept; l++) {
        const double vr = vRe[int64_t(i) * vc + l] * s[l], ur = uRe[int64_t(j) * uc + l];
        if (!complex) {
          re += vr * ur;
          continue;
        }
        const double vi = vIm[int64_t(i) * vc + l] * s[l], ui = -uIm[int64_t(j) * uc + l];
        re += vr * ur - vi * ui;
        im += vr * ui + vi * ur;
      }
      xRe[int64_t(i) * m + j] = re;
      if (complex) xIm[int64_t(i) * m + j] = im;
    }
  }
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
