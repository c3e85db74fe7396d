// The natives of the special functions over double arrays: erf, erfc,
// erfinv, gamma, gammaln, factorial, gammainc, beta, betaln, hypot, nthroot
// and betainc, each a thin driver over the core routines.
#include <cmath>
#include <limits>

#include "engine/registry/natives_decl.hpp"
#include "numerics/special/elementwise_special.hpp"
#include "numerics/special/special_constants.hpp"
#include "numerics/special/special_core.hpp"

namespace vke {

namespace {

using namespace special;

// The options of the native rows.
enum ErrorFunction : uintptr_t { kErf = 1, kErfc = 2, kErfInv = 3 };
enum GammaFunction : uintptr_t { kGamma = 1, kGammaLn = 2, kFactorial = 3 };
enum BetaFunction : uintptr_t { kBeta = 1, kBetaLn = 2 };

double ErrorFunctionOf(double x, uintptr_t option) {
  return option == kErfInv ? InvertErf(x) : ComputeErfOrErfc(x, option == kErfc);
}

double GammaFunctionOf(double x, uintptr_t option) {
  if (option == kGammaLn) return x < 0 ? kNaN : ComputeLogGamma(x);
  return ComputeGamma(x, option == kFactorial);
}

ErrCode IncompleteGammaKernel(const double* v, uintptr_t, double* result) {
  return ComputeIncompleteGamma(v[1], v[0], result) ? kOk : kErrNoConvergence;
}

ErrCode BetaKernel(const double* v, uintptr_t option, double* result) {
  const double a = v[0], b = v[1];
  if (option == kBeta) {
    *result = ComputeBeta(a, b);
  } else {
    *result =
        a >= 0 && b >= 0 ? ComputeLogGamma(a) + ComputeLogGamma(b) - ComputeLogGamma(a + b) : kNaN;
  }
  return kOk;
}

// The power x^(1/n) is off by an ulp or so even for perfect powers; one
// Newton step on y^n = x corrects that, so that nthroot(64, 3) is 4.
double PositiveRoot(double x, double n) {
  const double y = std::pow(x, 1 / n);
  if (!(y > 0 && y < kInf)) return y;
  const double corrected = y - (std::pow(y, n) - x) / (n * std::pow(y, n - 1));
  return std::isfinite(corrected) ? corrected : y;
}

ErrCode NthRootKernel(const double* v, uintptr_t, double* result) {
  const double x = v[0], n = v[1];
  const bool oddInteger = std::trunc(n) == n && std::fmod(n, 2) != 0;
  *result = x < 0 && oddInteger ? -PositiveRoot(-x, n) : PositiveRoot(x, n);
  return kOk;
}

ErrCode IncompleteBetaKernel(const double* v, uintptr_t option, double* result) {
  const auto core = reinterpret_cast<bool (*)(double, double, double, double*)>(option);
  return core(v[0], v[1], v[2], result) ? kOk : kErrNoConvergence;
}

}  // namespace

// The square root of the sum of the squared magnitudes of the components,
// scaled by the largest so that nothing overflows or underflows. Any infinite
// component gives +Inf, even beside a NaN; all-zero components give 0.
double HypotOfComponents(const double* v, int32_t n) {
  double m = 0;
  bool nan = false;
  for (int32_t k = 0; k < n; k++) {
    const double a = std::fabs(v[k]);
    if (a == kInf) return kInf;
    if (std::isnan(a)) nan = true;
    if (a > m) m = a;
  }
  if (nan) return kNaN;
  if (m == 0) return 0;
  double sum = 0;
  for (int32_t k = 0; k < n; k++) sum += (v[k] / m) * (v[k] / m);
  return m * std::sqrt(sum);
}

ErrCode ErrorFunctionsNative(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  return ApplyUnarySpecial(ctx, &ErrorFunctionOf, option);
}

ErrCode GammaFunctionsNative(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  return ApplyUnarySpecial(ctx, &GammaFunctionOf, option);
}

ErrCode GammaincNative(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  return ApplySpecialKernel(ctx, 2, &IncompleteGammaKernel, option);
}

ErrCode BetaFunctionsNative(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  return ApplySpecialKernel(ctx, 2, &BetaKernel, option);
}

ErrCode NthrootNative(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  return ApplySpecialKernel(ctx, 2, &NthRootKernel, option);
}

ErrCode BetaincNative(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  return ApplySpecialKernel(ctx, 3, &IncompleteBetaKernel, option);
}

// hypot(a, b): a complex operand adds its imaginary part as a component.
ErrCode HypotNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  Shape s;
  ElementwiseOperand ops[2];
  ErrCode e = GetDoubleOperands(ctx, 2, &s, ops);
  if (e) return e;
  double* out;
  if ((e = PushNewArray(ctx, s.ndims, s.dims, &out, nullptr))) return e;
  for (int64_t i = 0; i < s.count; i++) {
    double v[4];
    int32_t n = 0;
    for (const ElementwiseOperand& op : ops) {
      v[n++] = RealElement(op, i);
      if (op.im) v[n++] = op.full ? op.im[i] : op.im[0];
    }
    out[i] = HypotOfComponents(v, n);
  }
  return DropStackEntries(ctx, 1, 2);
}

}  // namespace vke
