// The natives polyval, polyder and polyint: evaluation by Horner's rule,
// derivatives of a polynomial, of a product and of a quotient, and the
// integral with its constant.
#include "builtins/matrix_ops.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/poly/polynomials.hpp"

namespace vke {

namespace {

// The coefficients of a polynomial argument and its degree (-1 for none).
struct Coefficients {
  double* re = nullptr;
  double* im = nullptr;
  int32_t degree = -1;
};

// The polynomial at the depth; 22 when it is a matrix.
ErrCode ReadCoefficients(EngineContext* ctx, int32_t depth, Coefficients* c) {
  MatrixOperand p;
  GetMatrixArg(ctx, depth, &p);
  int32_t n;
  if (!CoefficientCount(p, &n)) return kErrNonVector;
  *c = {p.re, p.im, n - 1};
  return kOk;
}

// Pushes the derivative row of q (degree d): (d - k) q[k] for k < d.
ErrCode PushDerivative(EngineContext* ctx, const Coefficients& q) {
  double *re, *im;
  if (ErrCode e = PushZeroRow(ctx, q.degree, q.im != nullptr, &re, &im)) return e;
  for (int32_t k = 0; k < q.degree; k++) {
    re[k] = (q.degree - k) * q.re[k];
    if (q.im) im[k] = (q.degree - k) * q.im[k];
  }
  return kOk;
}

// [num, den] = polyder(a, b): the derivative of a / b as num / den, num =
// a' b - a b' and den = b^2.
ErrCode QuotientDerivative(EngineContext* ctx, const Coefficients& a, const Coefficients& b) {
  const bool complex = a.im || b.im;
  StackPlan plan;
  PlanRow(&plan, 2 * b.degree + 1, b.im != nullptr);
  PlanRow(&plan, a.degree, a.im != nullptr);
  PlanRow(&plan, a.degree + b.degree, complex);
  if (ErrCode e = plan.Check(ctx)) return e;
  // The plan's room holds, but a push that still fails leaves its error.
  double *re, *im;
  if (ErrCode e = PushZeroRow(ctx, 2 * b.degree + 1, b.im != nullptr, &re, &im)) return e;
  ConvolvePolynomials(b.re, b.im, b.degree, b.re, b.im, b.degree, re, im);
  if (ErrCode e = PushDerivative(ctx, a)) return e;
  const MatrixOperand da = ReadMatrixOperand(ctx, 0);
  if (ErrCode e = PushZeroRow(ctx, a.degree + b.degree, complex, &re, &im)) return e;
  ConvolvePolynomials(da.re, da.im, a.degree - 1, b.re, b.im, b.degree, re, im);
  // b becomes -b' in its own storage.
  for (int32_t k = 0; k < b.degree; k++) {
    b.re[k] *= k - b.degree;
    if (b.im) b.im[k] *= k - b.degree;
  }
  ConvolvePolynomials(a.re, a.im, a.degree, b.re, b.im, b.degree - 1, re, im);
  DropStackEntries(ctx, 1, 1);
  return DropStackEntries(ctx, 2, 2);
}

}  // namespace

// y = polyval(p, x).
ErrCode PolyvalNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  Shape shape;
  double *xRe, *xIm;
  if (!AreDoubleMatrices(ctx, 1, 1) || GetDoubleArrayArg(ctx, 0, &shape, &xRe, &xIm))
    return kErrWrongTypeOverload;
  Coefficients p;
  if (ErrCode e = ReadCoefficients(ctx, 1, &p)) return e;
  const int64_t count = shape.count;
  if (count > 0 && p.im && !xIm) {
    StackPlan plan;
    plan.Grow(count);
    if (ErrCode e = plan.Check(ctx)) return e;
    void* im;
    MakeTopComplex(ctx, &im);
    xIm = static_cast<double*>(im);
  }
  for (int64_t i = 0; i < count; i++) {
    const double xr = xRe[i], xi = xIm ? xIm[i] : 0.0;
    double yr = 0, yi = 0;
    for (int32_t k = 0; k <= p.degree; k++) {
      const double t = yr * xr - yi * xi + p.re[k];
      yi = yr * xi + yi * xr + (p.im ? p.im[k] : 0.0);
      yr = t;
    }
    xRe[i] = yr;
    if (xIm) xIm[i] = yi;
  }
  return DropStackEntries(ctx, 1, 1);
}

// q = polyder(a), q = polyder(a, b) (of the product), [num, den] =
// polyder(a, b) (of the quotient).
ErrCode PolyderNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (!AreDoubleMatrices(ctx, nargin)) return kErrWrongTypeOverload;
  Coefficients a, b;
  if (ErrCode e = ReadCoefficients(ctx, nargin - 1, &a)) return e;
  if (nargin == 2) {
    if (ErrCode e = ReadCoefficients(ctx, 0, &b)) return e;
  }
  if (nargout >= 2) {
    // The quotient form needs b.
    if (nargin < 2) return kErrTooFewArgout;
    return QuotientDerivative(ctx, a, b);
  }
  const int32_t degree = nargin == 2 ? a.degree + b.degree : a.degree;
  const bool complex = a.im || (nargin == 2 && b.im);
  StackPlan plan;
  if (nargin == 2) PlanRow(&plan, degree + 1, complex);
  PlanRow(&plan, degree, complex);
  if (ErrCode e = plan.Check(ctx)) return e;
  Coefficients q = a;
  if (nargin == 2) {
    if (ErrCode e = PushZeroRow(ctx, degree + 1, complex, &q.re, &q.im)) return e;
    ConvolvePolynomials(a.re, a.im, a.degree, b.re, b.im, b.degree, q.re, q.im);
    q.degree = degree;
  }
  if (ErrCode e = PushDerivative(ctx, q)) return e;
  return DropStackEntries(ctx, 1, nargin + (nargin == 2 ? 1 : 0));
}

// q = polyint(p), q = polyint(p, k).
ErrCode PolyintNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (!AreDoubleMatrices(ctx, 1, nargin - 1) || (nargin == 2 && CheckArgumentTypes(ctx, 1, "c")))
    return kErrWrongTypeOverload;
  MatrixOperand p;
  GetMatrixArg(ctx, nargin - 1, &p);
  if (p.rows > 1 && p.cols > 1) return kErrNonVector;
  double kRe = 0, kIm = 0;
  if (nargin == 2) {
    const MatrixOperand k = ReadMatrixOperand(ctx, 0);
    kRe = k.re[0];
    kIm = k.im ? k.im[0] : 0.0;
  }
  const int32_t n = p.IsEmpty() ? 0 : p.rows * p.cols;
  const bool complex = p.im != nullptr;
  StackPlan plan;
  for (int32_t d = 0; d < nargin; d++) plan.DropEntry(ctx, d);
  PlanRow(&plan, n == 0 ? 0 : n + 1, complex);
  if (n > 0 && !complex && kIm != 0) plan.Grow(n + 1);
  if (ErrCode e = plan.Check(ctx)) return e;
  Drop(ctx, nargin);
  if (n == 0) return PushZeroRow(ctx, 0, false, nullptr, nullptr);

  // The row takes p's place: its values are read where they lie, the
  // imaginary block (one further on) first, each from the top index down.
  double *re, *im = nullptr;
  PushNewMatrix(ctx, 1, n + 1, &re, complex ? &im : nullptr);
  if (complex) {
    for (int32_t j = n - 1; j >= 0; j--) im[j] = re[n + j] / (n - j);
    im[n] = kIm;
  }
  for (int32_t j = n - 1; j >= 0; j--) re[j] /= n - j;
  re[n] = kRe;
  if (!complex && kIm != 0) {
    void* imaginary;
    MakeTopComplex(ctx, &imaginary);
    static_cast<double*>(imaginary)[n] = kIm;
  }
  return kOk;
}

}  // namespace vke
