// Element-wise arithmetic of double and single operands, real and complex:
// the IEEE operations, rem and mod, the real and complex powers and complex
// division by the scaled (Smith) method.
#include <cmath>
#include <limits>
#include <numbers>

#include "builtins/arith.hpp"
#include "builtins/elementwise.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

namespace {

bool IsIntegerValued(double x) {
  return std::floor(x) == x;
}

// An integer-valued x that is odd (infinities are neither odd nor even).
bool IsOdd(double x) {
  return std::fabs(std::fmod(x, 2)) == 1;
}

// a^b where it is real: a negative base needs an integer-valued exponent.
double RealPower(double a, double b) {
  if (!(a < 0)) return std::pow(a, b);
  double r = std::pow(-a, b);
  return IsOdd(b) ? -r : r;
}

bool PowerIsComplex(double a, double b) {
  return a < 0 && !IsIntegerValued(b);
}

// (ar + i*ai) / (br + i*bi), scaled by the larger part of the divisor so that
// no intermediate overflows or underflows needlessly.
template <typename T>
void DivideComplex(T ar, T ai, T br, T bi, T* re, T* im) {
  if (std::fabs(br) <= std::fabs(bi) && bi != 0) {
    T r = br / bi, d = 1 / (r * br + bi);
    *re = (r * ar + ai) * d;
    *im = (r * ai - ar) * d;
  } else if (br == 0 && bi == 0) {
    *re = ai == 0 ? ar / br : std::numeric_limits<T>::quiet_NaN();
    *im = ai == 0 ? 0 : std::numeric_limits<T>::quiet_NaN();
  } else {
    // Also a NaN part of the divisor, which makes the result NaN.
    T r = bi / br, d = 1 / (r * bi + br);
    *re = (r * ai + ar) * d;
    *im = (ai - r * ar) * d;
  }
}

// Power of real operands; im, when given, receives the imaginary parts of
// the bases that are negative under a non-integer exponent (zero elsewhere).
template <typename T>
void PowerOfReals(int64_t n, const ElementwiseOperand& a, const ElementwiseOperand& b, T* re,
                  T* im) {
  const T* x = RealPartOf<T>(a);
  const T* y = RealPartOf<T>(b);
  if (!im && !b.full && *y == 2) {
    MapPairs(n, x, a.full, y, false, re, [](T p, T) { return p * p; });
    return;
  }
  if (!im && !b.full) {
    // One exponent: its parity is found once.
    const double q = *y;
    const bool odd = IsOdd(q);
    MapPairs(n, x, a.full, y, false, re, [q, odd](T p, T) {
      if (!(p < 0)) return static_cast<T>(std::pow(double{p}, q));
      const double r = std::pow(-double{p}, q);
      return static_cast<T>(odd ? -r : r);
    });
    return;
  }
  const int64_t sa = a.full ? 1 : 0, sb = b.full ? 1 : 0;
  for (int64_t i = 0; i < n; i++) {
    double p = x[i * sa], q = y[i * sb];
    if (!im) {
      re[i] = static_cast<T>(RealPower(p, q));
      continue;
    }
    double r = 0, s = 0;
    if (PowerIsComplex(p, q)) {
      ComplexPowerScalar(p, 0, q, 0, &r, &s);
    } else {
      r = RealPower(p, q);
    }
    re[i] = static_cast<T>(r);
    im[i] = static_cast<T>(s);
  }
}

template <typename T>
bool PowerNeedsComplex(int64_t n, const ElementwiseOperand& a, const ElementwiseOperand& b) {
  const T* x = RealPartOf<T>(a);
  const T* y = RealPartOf<T>(b);
  const int64_t sa = a.full ? 1 : 0, sb = b.full ? 1 : 0;
  for (int64_t i = 0; i < n; i++)
    if (PowerIsComplex(x[i * sa], y[i * sb])) return true;
  return false;
}

// + - * / and power with at least one complex operand.
template <typename T>
void ComplexArith(int32_t op, int64_t n, const ElementwiseOperand& a, const ElementwiseOperand& b,
                  T* re, T* im) {
  ComplexOperand<T> x(a), y(b);
  switch (op) {
    case '+':
      ForEachComplexPair(n, x, y, [&](int64_t i, T ar, T ai, T br, T bi) {
        re[i] = ar + br;
        im[i] = ai + bi;
      });
      break;
    case '-':
      ForEachComplexPair(n, x, y, [&](int64_t i, T ar, T ai, T br, T bi) {
        re[i] = ar - br;
        im[i] = ai - bi;
      });
      break;
    case '*':
      ForEachComplexPair(n, x, y, [&](int64_t i, T ar, T ai, T br, T bi) {
        re[i] = ar * br - ai * bi;
        im[i] = ar * bi + ai * br;
      });
      break;
    case '/':
      if (!y.hasImag) {
        ForEachComplexPair(n, x, y, [&](int64_t i, T ar, T ai, T br, T) {
          re[i] = ar / br;
          im[i] = ai / br;
        });
      } else {
        ForEachComplexPair(n, x, y, [&](int64_t i, T ar, T ai, T br, T bi) {
          DivideComplex(ar, ai, br, bi, re + i, im + i);
        });
      }
      break;
    default:  // '^'
      ForEachComplexPair(n, x, y, [&](int64_t i, T ar, T ai, T br, T bi) {
        double r, s;
        ComplexPowerScalar(ar, ai, br, bi, &r, &s);
        re[i] = static_cast<T>(r);
        im[i] = static_cast<T>(s);
      });
      break;
  }
}

// The result array of T, complex when asked (its imaginary part in *im).
template <typename T>
ErrCode PushFloatArray(EngineContext* ctx, const Shape& s, bool complex, T** re, T** im) {
  const ArrayClass cls{kKindArray, std::is_same_v<T, float> ? kCodeSingle : kCodeDouble};
  void* out;
  if (ErrCode e = PushElementwiseResult(ctx, cls, complex, s, &out)) return e;
  *re = static_cast<T*>(out);
  *im = complex ? *re + s.count : nullptr;
  return kOk;
}

}  // namespace

void ComplexPowerScalar(double zr, double zi, double wr, double wi, double* outRe, double* outIm) {
  *outRe = 0;
  *outIm = 0;
  if (wr == 0 && wi == 0) {
    *outRe = 1;
    return;
  }
  if (zr == 0 && zi == 0) return;
  double logAbs, angle;
  if (zi == 0) {
    logAbs = std::log(std::fabs(zr));
    angle = zr < 0 ? std::numbers::pi : 0;
  } else {
    logAbs = std::log(std::hypot(zr, zi));
    angle = std::atan2(zi, zr);
  }
  double modulus = std::exp(logAbs * wr - angle * wi);
  double phase = angle * wr + logAbs * wi;
  *outRe = modulus * std::cos(phase);
  *outIm = modulus * std::sin(phase);
}

bool RealPowerInto(int64_t n, const ElementwiseOperand& a, const ElementwiseOperand& b,
                   double* out) {
  if (PowerNeedsComplex<double>(n, a, b)) return false;
  PowerOfReals<double>(n, a, b, out, nullptr);
  return true;
}

template <typename T>
ErrCode FloatArith(EngineContext* ctx, int32_t op, const Shape& shape,
                   const ElementwiseOperand* ops) {
  const ElementwiseOperand &a = ops[0], &b = ops[1];
  const int64_t n = shape.count;
  bool complexOperand = ImagPartOf<T>(a) || ImagPartOf<T>(b);
  if (complexOperand && (op == '%' || op == 'o')) return kErrWrongType;
  bool complex = complexOperand || (op == '^' && PowerNeedsComplex<T>(n, a, b));
  T *re, *im;
  ErrCode e = PushFloatArray(ctx, shape, complex, &re, &im);
  if (e) return e;
  if (complexOperand) {
    ComplexArith<T>(op, n, a, b, re, im);
  } else if (op == '^') {
    PowerOfReals<T>(n, a, b, re, im);
  } else {
    RealArith<T>(op, n, RealPartOf<T>(a), a.full, RealPartOf<T>(b), b.full, re);
  }
  return kOk;
}

template ErrCode FloatArith<double>(EngineContext*, int32_t, const Shape&,
                                    const ElementwiseOperand*);
template ErrCode FloatArith<float>(EngineContext*, int32_t, const Shape&,
                                   const ElementwiseOperand*);

}  // namespace vke
