// The natives householder and householderapply: the reflection
// H = I - beta v v' that maps a column onto a multiple of the first unit
// vector, and its application to a matrix from the left or the right.
#include <initializer_list>

#include "builtins/option_text.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/linalg/linalg_support.hpp"

namespace vke {

namespace {

// A vector argument: one column, or no rows at all.
bool IsColumnArg(const MatrixOperand& v) {
  return v.rows == 0 || v.cols <= 1;
}

}  // namespace

ErrCode HouseholderNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  MatrixOperand x;
  if (!GetMatrixArg(ctx, 0, &x)) return kErrWrongTypeOverload;
  if (!IsColumnArg(x)) return kErrNonColumnVector;
  const bool withBeta = nargout >= 2;
  const int32_t m = x.rows;
  const bool complex = x.im != nullptr;
  // An empty x is its own v, with beta 1.
  const bool empty = x.IsEmpty();
  StackPlan plan;
  if (!empty) plan.Push(m, 1, complex);
  if (withBeta) plan.PushScalar();
  if (ErrCode e = plan.Check(ctx)) return e;

  double beta = 1;
  if (!empty) {
    double *vRe, *vIm;
    PushResultMatrix(ctx, m, 1, complex, &vRe, &vIm);
    x = ReadMatrixOperand(ctx, 1);
    if (complex) {
      MakeHouseholderVectorComplex(x.re, x.im, m, 1, vRe, vIm, &beta);
    } else {
      MakeHouseholderVector(x.re, m, 1, vRe, &beta);
    }
  }
  if (!withBeta) return kOk;
  PushRealScalar(ctx, beta);
  return RollStackEntries(ctx, 2, 1);
}

// householderapply(A, v, beta), householderapply(A, v, beta, side): side
// 'l' (or empty) gives H A, 'r' gives A H.
ErrCode HouseholderapplyNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr)) return e;
  bool left = true;
  if (nargin == 4) {
    const OptionText side(ctx, 0);
    if (!side.IsText()) return kErrWrongType;
    const uint16_t initial = side.Initial();
    if (!side.IsEmpty() && initial != 'l' && initial != 'r') return kErrUnknownOpt;
    left = initial != 'r';
  }
  const int32_t top = nargin == 4 ? 1 : 0;  // depth of beta
  double beta;
  if (ErrCode e = GetScalarArg(ctx, top, &beta)) return e;
  MatrixOperand v, a;
  if (!GetMatrixArg(ctx, top + 1, &v)) return kErrWrongType;
  if (!IsColumnArg(v)) return kErrNonColumnVector;
  if (!GetMatrixArg(ctx, top + 2, &a)) return kErrWrongType;
  const int32_t length = v.rows * v.cols;
  if (length != (left ? a.rows : a.cols)) return kErrIncompSize;
  // A complex v makes A complex.
  const bool grow = v.im && !a.im;
  StackPlan plan;
  plan.DropEntry(ctx, 0);
  if (nargin == 4) plan.DropEntry(ctx, 1);
  if (grow) plan.Grow(int64_t(a.rows) * a.cols);
  if (ErrCode e = plan.Check(ctx)) return e;

  Drop(ctx, top + 1);  // beta and side; v stays until A is done
  if (grow) {
    RollStackEntries(ctx, 2, 1);
    MakeTopComplex(ctx, nullptr);
    RollStackEntries(ctx, 2, 1);
  }
  v = ReadMatrixOperand(ctx, 0);
  a = ReadMatrixOperand(ctx, 1);
  const int32_t m = a.rows, n = a.cols;
  if (v.im) {
    if (left) {
      ApplyHouseholderLeftComplex(a.re, a.im, m, n, v.re, v.im, beta, 0, m);
    } else {
      ApplyHouseholderRightComplex(a.re, a.im, m, n, v.re, v.im, beta, 0, n);
    }
  } else {
    for (double* block : {a.re, a.im}) {
      if (!block) continue;
      if (left) {
        ApplyHouseholderLeft(block, m, n, v.re, beta, 0, m);
      } else {
        ApplyHouseholderRight(block, m, n, v.re, beta, 0, n);
      }
    }
  }
  return Drop(ctx);
}

}  // namespace vke
