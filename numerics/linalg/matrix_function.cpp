// The natives sqrtm, logm and funm: a scalar function of a square matrix
// through its complex Schur form A = U T U'. The function of each diagonal
// element of T goes on the diagonal of F; the Parlett recurrence fills F's
// upper triangle for funm, the square-root recurrence and inverse scaling
// and squaring (triangular_functions.hpp) for sqrtm and logm; U F U' is the
// result, real when its imaginary part is negligible. funm calls its function value once per
// diagonal element through the call-and-resume cycle, its state on the stack: T, f, U, F, then the
// next 1-based diagonal index and the argument.
#include <cmath>
#include <limits>

#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/kernels/kernel_math.hpp"
#include "numerics/kernels/triangular_functions.hpp"
#include "numerics/linalg/linalg_support.hpp"

namespace vke {

namespace {

// The options of the native rows.
enum MatrixFunction : uintptr_t { kSqrtm = 's', kLogm = 'l', kFunm = 'f' };

// Depth of f when funm's index and argument lie on top of F.
constexpr int32_t kFunctionDepth = 4;

struct Complex {
  double re, im;
};

Complex Reciprocal(Complex z) {
  const double size = z.re * z.re + z.im * z.im;
  return {z.re / size, -z.im / size};
}

// The principal square root, without overflow in |t|.
Complex SquareRoot(Complex t) {
  const double a = t.re, b = t.im;
  if (a == 0 && b == 0) return {0, 0};
  const double r = std::hypot(a, b);
  if (a > 0) {
    const double re = std::sqrt((a + r) / 2);
    return {re, (b / 2) / re};
  }
  double s = std::sqrt((r - a) / 2);
  if (b < 0) s = -s;
  return {(b / 2) / s, s};
}

// The principal logarithm; log 0 is -Inf.
Complex Logarithm(Complex t) {
  if (t.re == 0 && t.im == 0) return {-std::numeric_limits<double>::infinity(), 0};
  return {std::log(std::hypot(t.re, t.im)), std::atan2(t.im, t.re)};
}

// The stack's matrices by depth while the routine works.
struct Stack {
  MatrixOperand t, u, f;
};

Stack ReadStack(EngineContext* ctx, int32_t fDepth, bool withFunction) {
  Stack s;
  s.f = ReadMatrixOperand(ctx, fDepth);
  s.u = ReadMatrixOperand(ctx, fDepth + 1);
  s.t = ReadMatrixOperand(ctx, fDepth + (withFunction ? 3 : 2));
  return s;
}

Complex Diagonal(const MatrixOperand& m, int32_t i) {
  const int64_t at = int64_t(i) * m.cols + i;
  return {m.re[at], m.im[at]};
}

// Pushes the index k + 1 (1-based) and T(k, k) and calls f on it.
ErrCode CallForDiagonal(EngineContext* ctx, int32_t k) {
  const Complex t = Diagonal(ReadMatrixOperand(ctx, 3), k);
  if (ErrCode e = PushRealScalar(ctx, k + 1.0)) return e;
  if (ErrCode e = PushComplexScalar(ctx, t.re, t.im)) return e;
  return CallFunctionValue(ctx, kFunctionDepth, 1, 1, 1);
}

// With F on top: the Parlett recurrence (or, with done, an upper triangle
// already complete), back-transformation, realness, and the outputs F and,
// when asked, the error estimate.
ErrCode Finish(EngineContext* ctx, int32_t n, int32_t nargout, bool withFunction,
               const ParlettOutcome* done) {
  Stack s = ReadStack(ctx, 0, withFunction);
  uint8_t isComplex = 1;
  double estimate = 0;
  if (done) {
    CompleteMatrixFunction(s.t.re, s.t.im, s.u.re, s.u.im, n, s.f.re, s.f.im, *done, &isComplex,
                           &estimate);
  } else {
    ParlettMatrixFunction(s.t.re, s.t.im, s.u.re, s.u.im, n, s.f.re, s.f.im, nullptr, nullptr,
                          &isComplex, &estimate);
  }
  if (!isComplex) MakeTopReal(ctx);
  DropStackEntries(ctx, 1, withFunction ? 3 : 2);
  if (nargout < 2) return kOk;
  if (ErrCode e = PushRealScalar(ctx, estimate)) return e;
  return RollStackEntries(ctx, 2, 1);
}

// The upper triangle of the square root or logarithm of the triangular T,
// F's diagonal holding f on T's; the logarithm of a singular or non-finite
// T takes the Parlett recurrence with the derivatives df (n each).
ParlettOutcome TriangularFunction(const MatrixOperand& t, const MatrixOperand& f, int32_t n,
                                  uintptr_t option, const double* df, double* work) {
  const ComplexMatrixView tv{t.re, t.im, n, 1}, fv{f.re, f.im, n, 1};
  ParlettOutcome outcome;
  if (option == kSqrtm) {
    outcome.unresolved = !TriangularSquareRoot(tv, fv, n);
  } else if (!TriangularLogarithm(tv, fv, n, work)) {
    const ComplexVectorView derivatives{df, df + n, 1};
    return RunParlettRecurrence(tv, fv, n, &derivatives, &ScaledQuotient);
  }
  outcome.smallestGap = SmallestDiagonalGap(tv, n);
  return outcome;
}

// The first entry: checks, the Schur form, F, and the diagonal.
ErrCode StartMatrixFunction(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr)) return e;
  const bool withFunction = option == kFunm;
  const int32_t aDepth = withFunction ? 1 : 0;
  MatrixOperand a;
  if (!GetMatrixArg(ctx, aDepth, &a)) return kErrWrongType;
  if (!a.IsSquare()) return kErrNonSquareSize;
  const int32_t n = a.rows;
  if (n == 0) {
    // The estimate 0 under the empty result; the function (on top) goes
    // once it stands.
    if (nargout < 2) return withFunction ? Drop(ctx) : kOk;
    if (ErrCode e = PushRealScalar(ctx, 0)) return e;
    if (withFunction) DropStackEntries(ctx, 1, 1);
    return RollStackEntries(ctx, 2, 1);
  }
  // logm keeps the derivatives on T's diagonal for equal neighbours on it,
  // should it need the Parlett recurrence.
  const bool derivatives = option == kLogm;
  StackPlan plan;
  if (!a.im) plan.Grow(int64_t(n) * n);
  plan.Push(n, n, true);
  plan.Scratch(2 * int64_t(n));
  plan.Push(n, n, true);
  if (derivatives) plan.Scratch(2 * int64_t(n) + TriangularLogarithmWork(n));
  if (withFunction) {
    plan.PushScalar();
    plan.Push(1, 1, true);
  }
  if (nargout >= 2) plan.PushScalar();
  if (ErrCode e = plan.Check(ctx)) return e;

  if (!a.im) {
    if (withFunction) RollStackEntries(ctx, 2, 1);
    MakeTopComplex(ctx, nullptr);
    if (withFunction) RollStackEntries(ctx, 2, 1);
  }
  double *uRe, *uIm;
  PushResultMatrix(ctx, n, n, true, &uRe, &uIm);
  a = ReadMatrixOperand(ctx, aDepth + 1);
  if (!ComputeComplexSchurForm(a.re, a.im, n, uRe, uIm, TakeScratch(ctx, 2 * int64_t(n))))
    return kErrNoConvergence;
  double *fRe, *fIm;
  PushResultMatrix(ctx, n, n, true, &fRe, &fIm);
  if (withFunction) return CallForDiagonal(ctx, 0);

  Stack s = ReadStack(ctx, 0, false);
  // The derivatives, then the logarithm's work, in one scratch area.
  double* df =
      derivatives ? TakeScratch(ctx, 2 * int64_t(n) + TriangularLogarithmWork(n)) : nullptr;
  for (int32_t i = 0; i < n; i++) {
    const Complex t = Diagonal(s.t, i);
    const Complex f = option == kSqrtm ? SquareRoot(t) : Logarithm(t);
    const int64_t at = int64_t(i) * n + i;
    s.f.re[at] = f.re;
    s.f.im[at] = f.im;
    if (df) {
      const Complex d = Reciprocal(t);
      df[i] = d.re;
      df[n + i] = d.im;
    }
  }
  double* work = derivatives ? df + 2 * int64_t(n) : nullptr;
  const ParlettOutcome outcome = TriangularFunction(s.t, s.f, n, option, df, work);
  return Finish(ctx, n, nargout, false, &outcome);
}

}  // namespace

// sqrtm(A), logm(A), funm(A, f), each with the error estimate as an
// optional second output. funm is entered again with a negative nargin
// once f has returned, its result on top.
ErrCode MatrixFunctionNative(EngineContext* ctx, int32_t nargin, int32_t nargout,
                             uintptr_t option) {
  if (nargin >= 0) return StartMatrixFunction(ctx, nargin, nargout, option);
  if (nargin != -2) return kErrTooFewArgout;  // f gave no result
  int32_t rows, cols;
  double *re, *im;
  if (ErrCode e = GetNumericArg(ctx, 0, &rows, &cols, &re, &im)) return e;
  if (rows != 1 || cols != 1) return kErrNonVector;
  const Complex value{re[0], im ? im[0] : 0.0};
  Drop(ctx);
  double index;
  if (ErrCode e = PopRealScalar(ctx, &index)) return e;
  const int32_t k = static_cast<int32_t>(index);
  const MatrixOperand f = ReadMatrixOperand(ctx, 0);
  const int32_t n = f.rows;
  if (k < 1 || k > n || !f.im) return kErrIllegal;
  const int64_t at = int64_t(k - 1) * n + (k - 1);
  f.re[at] = value.re;
  f.im[at] = value.im;
  if (k < n) return CallForDiagonal(ctx, k);
  return Finish(ctx, n, nargout, true, nullptr);
}

}  // namespace vke
