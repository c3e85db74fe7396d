// The trigonometric and hyperbolic families, their inverses and
// reciprocals, and sinc. Real arguments outside an inverse function's
// domain turn the value complex by the branch rules below; complex
// arguments use the principal values, except acosh, which takes
// ln(z + sqrt(z^2 - 1)) with the principal square root (so acosh(-2) is
// -1.3169578969248166 + pi i).
#include <numbers>

#include "builtins/builtin.hpp"
#include "builtins/elementwise_math.hpp"

namespace vke {

namespace {

constexpr Real kPi = std::numbers::pi_v<Real>;
constexpr Real kHalfPi = kPi / 2;
constexpr Real kDoublePi = 3.141592653589793;  // the double nearest pi, as sinc uses it

RealValue TrigReal(Real x, int32_t option) {
  switch (option) {
    case 's':
      return {std::sin(x)};
    case 'c':
      return {std::cos(x)};
    case 't':
      return {std::tan(x)};
    case 'n':
      return {x == 0 ? 1 : std::sin(kDoublePi * x) / (kDoublePi * x)};
    case 'T':
      return {std::atan(x)};
    case 'S':
      if (x > 1) return {kHalfPi, -std::acosh(x), true};
      if (x < -1) return {-kHalfPi, std::acosh(-x), true};
      return {std::asin(x)};
    default:  // 'C'
      if (x > 1) return {0, std::acosh(x), true};
      if (x < -1) return {kPi, -std::acosh(-x), true};
      return {std::acos(x)};
  }
}

Cx TrigComplex(Cx z, int32_t option) {
  const Real a = z.real(), b = z.imag();
  switch (option) {
    case 's':
      return Cx(std::sin(a) * std::cosh(b), std::cos(a) * std::sinh(b));
    case 'c':
      return Cx(std::cos(a) * std::cosh(b), -std::sin(a) * std::sinh(b));
    case 't': {
      // tan z = -i tanh(i z).
      const Cx t = Tanh(Cx(-b, a));
      return Cx(t.imag(), -t.real());
    }
    case 'n': {
      const Cx w = kDoublePi * z;
      if (std::norm(w) == 0) return Cx(1, 0);
      return std::sin(w) / w;
    }
    case 'T':
      return std::atan(z);
    case 'S':
      return std::asin(z);
    default:  // 'C'
      return std::acos(z);
  }
}

// The kernels' letter of acoth, which takes no reciprocal before it.
constexpr int32_t kAcoth = 'K';

// The real part shared by atanh and acoth, ln|(x + 1)/(x - 1)| / 2, with
// the sign of x. Outside [-1, 1] it is log1p(2/(|x| - 1)) / 2, whose
// quotient keeps every digit of |x| - 1 near 1 (ln of the quotient itself
// or atanh(1/x) would lose them).
Real AtanhRealPart(Real x) {
  const Real a = std::fabs(x);
  return std::copysign(a <= 1 ? std::atanh(a) : std::log1p(2 / (a - 1)) / 2, x);
}

RealValue HyperbolicReal(Real x, int32_t option) {
  switch (option) {
    case 's':
      return {std::sinh(x)};
    case 'c':
      return {std::cosh(x)};
    case 't':
      return {std::tanh(x)};
    case 'S':
      return {std::asinh(x)};
    case 'T':
      if (std::fabs(x) > 1) return {AtanhRealPart(x), kHalfPi, true};
      return {AtanhRealPart(x)};
    case kAcoth:  // atanh(1/x): complex inside (-1, 1)
      if (std::fabs(x) < 1) return {AtanhRealPart(x), kHalfPi, true};
      return {AtanhRealPart(x)};
    default:  // 'C'
      if (x >= 1 || x != x) return {std::acosh(x)};
      // ln|w| + i arg w with w = x + sqrt(x^2 - 1): on the unit circle for
      // |x| < 1, a negative real at and below -1.
      if (x > -1) return {0, std::acos(x), true};
      return {0 - std::acosh(-x), kPi, true};
  }
}

// ln(z + sqrt(z^2 - 1)); where the root points away from z the sum cancels,
// and its reciprocal z - sqrt(z^2 - 1) is used instead.
Cx AcoshOfComplex(Cx z) {
  const Cx s = PrincipalSqrt((z - Real(1)) * (z + Real(1)));
  const bool opposed = z.real() * s.real() + z.imag() * s.imag() < 0;
  return Log(opposed ? Reciprocal(z - s) : z + s);
}

Cx HyperbolicComplex(Cx z, int32_t option) {
  const Real a = z.real(), b = z.imag();
  switch (option) {
    case 's':
      return Cx(std::sinh(a) * std::cos(b), std::cosh(a) * std::sin(b));
    case 'c':
      return Cx(std::cosh(a) * std::cos(b), std::sinh(a) * std::sin(b));
    case 't':
      return Tanh(z);
    case 'S':
      return std::asinh(z);
    case 'T':
      return std::atanh(z);
    case kAcoth:
      return std::atanh(Reciprocal(z));
    default:  // 'C'
      return AcoshOfComplex(z);
  }
}

// The letter of a family member and where its reciprocal applies: before
// an inverse function (upper case), after a direct one.
ErrCode ApplyFamily(EngineContext* ctx, const ElementwiseKernels& kernels, int32_t option) {
  const int32_t letter = option & 0xFF;
  ReciprocalStep step = ReciprocalStep::kNone;
  if (option & kReciprocal)
    step = letter >= 'A' && letter <= 'Z' ? ReciprocalStep::kBefore : ReciprocalStep::kAfter;
  return ApplyElementwise(ctx, kernels, letter, step);
}

}  // namespace

ErrCode TrigBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  static constexpr ElementwiseKernels kTrig{&TrigReal, &TrigComplex, &TrigWholeArray};
  return ApplyFamily(ctx, kTrig, option);
}

ErrCode HyperbolicBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  static constexpr ElementwiseKernels kHyperbolic{&HyperbolicReal, &HyperbolicComplex,
                                                  &HyperbolicWholeArray};
  if (option == ('T' | kReciprocal))
    return ApplyElementwise(ctx, kHyperbolic, kAcoth, ReciprocalStep::kNone);
  return ApplyFamily(ctx, kHyperbolic, option);
}

}  // namespace vke
