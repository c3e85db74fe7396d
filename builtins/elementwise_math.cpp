// Elementwise mathematics on double arrays, in place: abs, angle, sign, the
// rounding family (fix, floor, ceil, round), the exponential and logarithm
// family (exp, expm1, log, log10, log1p, log2, sqrt), reallog and realsqrt,
// and atan2; with the driver that the trigonometric and hyperbolic families
// share.
#include "builtins/elementwise_math.hpp"

#include <numbers>

#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"
#include "engine/values/element_operations.hpp"

namespace vke {

namespace {

// Whether the kernel gives a complex value for any element of a real array.
bool AnyComplexValue(const ElementwiseKernels& kernels, const double* re, int64_t n, int32_t option,
                     ReciprocalStep reciprocal) {
  for (int64_t i = 0; i < n; i++) {
    Real x = re[i];
    if (reciprocal == ReciprocalStep::kBefore) x = 1 / x;
    if (kernels.real(x, option).complex) return true;
  }
  return false;
}

}  // namespace

ErrCode ApplyElementwise(EngineContext* ctx, const ElementwiseKernels& kernels, int32_t option,
                         ReciprocalStep reciprocal) {
  Shape s;
  double *re, *im;
  ErrCode e = GetDoubleArrayArg(ctx, 0, &s, &re, &im);
  if (e) return AllowOverload(e);
  const bool complexArg = im != nullptr;
  if (!complexArg && reciprocal == ReciprocalStep::kNone && kernels.wholeArray &&
      kernels.wholeArray(re, s.count, option))
    return kOk;
  // The values are written over the argument's, and the first complex one
  // gives it an imaginary part. Without room for that part, the elements
  // are tried first, so that the failure leaves the argument as given: the
  // builtin runs again on it once the area has grown.
  if (!complexArg && !HasRoomToMakeTopComplex(ctx) &&
      AnyComplexValue(kernels, re, s.count, option, reciprocal))
    return kErrDataOverflow;
  for (int64_t i = 0; i < s.count; i++) {
    if (complexArg && (im[i] != 0 || std::signbit(im[i]))) {
      Cx z(re[i], im[i]);
      if (reciprocal == ReciprocalStep::kBefore) z = Reciprocal(z);
      Cx r = kernels.complex(z, option);
      if (reciprocal == ReciprocalStep::kAfter) r = Reciprocal(r);
      re[i] = static_cast<double>(r.real());
      im[i] = static_cast<double>(r.imag());
      continue;
    }
    Real x = re[i];
    if (reciprocal == ReciprocalStep::kBefore) x = 1 / x;
    RealValue r = kernels.real(x, option);
    if (reciprocal == ReciprocalStep::kAfter) {
      if (r.complex) {
        const Cx c = Reciprocal(Cx(r.re, r.im));
        r.re = c.real();
        r.im = c.imag();
      } else {
        r.re = 1 / r.re;
      }
    }
    if (r.complex && !im) {
      void* block;
      e = MakeTopComplex(ctx, &block);
      if (e) return e;
      im = static_cast<double*>(block);
    }
    re[i] = static_cast<double>(r.re);
    if (im) im[i] = static_cast<double>(r.im);
  }
  return kOk;
}

namespace {

constexpr Real kPi = std::numbers::pi_v<Real>;

// Runs kernels whose values are real for every argument (abs, angle): the
// imaginary part of a complex argument is dropped afterwards.
ErrCode ApplyRealValued(EngineContext* ctx, const ElementwiseKernels& kernels) {
  ErrCode e = ApplyElementwise(ctx, kernels, 0, ReciprocalStep::kNone);
  if (e) return e;
  return MakeTopReal(ctx);
}

RealValue RoundReal(Real x, int32_t option) {
  return {RoundElement(x, option)};
}

RealValue ExpLogReal(Real x, int32_t option) {
  switch (option) {
    case 'e':
      return {std::exp(x)};
    case 'E':
      return {std::expm1(x)};
    case 'L':
      return {std::log1p(x)};
    case 'l':
      if (x < 0) return {std::log(-x), kPi, true};
      return {std::log(x)};
    case '1':
      if (x < 0) return {std::log10(-x), 1.3643763538418412L, true};
      return {std::log10(x)};
    case '2':
      if (x < 0) return {std::log2(-x), 4.532360141827194L, true};
      return {std::log2(x)};
    default:  // 's'
      if (x < 0) return {0, std::sqrt(-x), true};
      return {std::sqrt(x)};
  }
}

Cx ExpLogComplex(Cx z, int32_t option) {
  const Real a = z.real(), b = z.imag();
  constexpr Real kLog10e = 0.434294481903251827651128918916605082L;
  constexpr Real kLog2e = 1.442695040888963407359924681001892137L;
  switch (option) {
    case 'e':
      return std::exp(a) * Cx(std::cos(b), std::sin(b));
    case 'E': {
      // e^z - 1 without cancelling: cos b - 1 = -2 sin^2(b / 2).
      const Real h = std::sin(b / 2);
      return Cx(std::expm1(a) * std::cos(b) - 2 * h * h, std::exp(a) * std::sin(b));
    }
    case 'l':
      return Log(z);
    case '1':
      return Log(z) * kLog10e;
    case '2':
      return Log(z) * kLog2e;
    case 'L': {
      if (std::fabs(a) < 0.5L && std::fabs(b) < 0.5L)
        return Cx(std::log1p(a * (2 + a) + b * b) / 2, std::atan2(b, 1 + a));
      return Log(Cx(1 + a, b));
    }
    default:  // 's'
      return PrincipalSqrt(z);
  }
}

Cx RoundComplex(Cx z, int32_t option) {
  return Cx(RoundReal(z.real(), option).re, RoundReal(z.imag(), option).re);
}

}  // namespace

ErrCode AbsBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  static constexpr ElementwiseKernels kAbs{
      [](Real x, int32_t) -> RealValue { return {std::fabs(x)}; },
      [](Cx z, int32_t) { return Cx(std::hypot(z.real(), z.imag()), 0); }, &AbsWholeArray};
  return ApplyRealValued(ctx, kAbs);
}

ErrCode AngleBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  static constexpr ElementwiseKernels kAngle{
      [](Real x, int32_t) -> RealValue {
        return {x < 0 ? kPi : x >= 0 ? 0 : x};
      },
      [](Cx z, int32_t) { return Cx(std::atan2(z.imag(), z.real()), 0); }};
  return ApplyRealValued(ctx, kAngle);
}

ErrCode SignBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  static constexpr ElementwiseKernels kSign{
      [](Real x, int32_t) -> RealValue {
        return {x > 0 ? 1 : x < 0 ? -1 : x == 0 ? 0 : x};
      },
      [](Cx z, int32_t) {
        // The extended exponent range keeps re^2 + im^2 finite.
        const Real r = std::sqrt(z.real() * z.real() + z.imag() * z.imag());
        return Cx(z.real() / r, z.imag() / r);
      }};
  return ApplyElementwise(ctx, kSign, 0, ReciprocalStep::kNone);
}

// fix 't', floor 'f', ceil 'c', round 'r'; real and imaginary parts alike.
ErrCode RoundingBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  static constexpr ElementwiseKernels kRound{&RoundReal, &RoundComplex, &RoundingWholeArray};
  return ApplyElementwise(ctx, kRound, option, ReciprocalStep::kNone);
}

// exp 'e', expm1 'E', log 'l', log10 '1', log1p 'L', log2 '2', sqrt 's'.
ErrCode ExpLogBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  static constexpr ElementwiseKernels kExpLog{&ExpLogReal, &ExpLogComplex, &ExpLogWholeArray};
  return ApplyElementwise(ctx, kExpLog, option, ReciprocalStep::kNone);
}

// reallog 'l' and realsqrt 's': the imaginary part is dropped first and
// negative elements give NaN.
ErrCode RealLogSqrtBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  static constexpr ElementwiseKernels kRealOnly{
      [](Real x, int32_t opt) -> RealValue { return {opt == 'l' ? std::log(x) : std::sqrt(x)}; },
      [](Cx z, int32_t) { return z; }};
  ErrCode e = GetDoubleArrayArg(ctx, 0, nullptr, nullptr, nullptr);
  if (e) return AllowOverload(e);
  e = MakeTopReal(ctx);
  if (e) return e;
  return ApplyElementwise(ctx, kRealOnly, option, ReciprocalStep::kNone);
}

// atan2(y, x) of the real parts, paired with scalar expansion.
ErrCode Atan2Builtin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  Shape s;
  ElementwiseOperand ops[2];
  ErrCode e = GetElementwiseOperands(ctx, 2, &s, ops);
  if (e) return AllowOverload(e);
  if (ops[0].cls != OperandClass::kDouble || ops[1].cls != OperandClass::kDouble)
    return kErrWrongTypeOverload;
  double* out;
  e = PushNewArray(ctx, s.ndims, s.dims, &out, nullptr);
  if (e) return e;
  for (int64_t i = 0; i < s.count; i++)
    out[i] = std::atan2(OperandElement(ops[0], i, false), OperandElement(ops[1], i, false));
  return DropStackEntries(ctx, 1, 2);
}

}  // namespace vke
