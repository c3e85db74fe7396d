// Complex scalar steps the dense kernels share: the division that scales by
// the larger part of the divisor and the square root that computes its
// larger part first.
#pragma once

#include <cmath>

#include "builtins/complex_num.hpp"

namespace vke {

// x / y dividing by the larger part of y first, so that neither |y|^2 nor
// the products overflow or underflow early. A zero y gives non-finite parts.
inline Num ScaledQuotient(Num x, Num y) {
  if (std::fabs(y.re) >= std::fabs(y.im)) {
    double ratio = y.im / y.re, den = y.re + y.im * ratio;
    return {(x.re + x.im * ratio) / den, (x.im - x.re * ratio) / den};
  }
  double ratio = y.re / y.im, den = y.re * ratio + y.im;
  return {(x.re * ratio + x.im) / den, (x.im * ratio - x.re) / den};
}

// The principal square root: for Re z >= 0 its real part first, otherwise
// its imaginary part (with the sign of Im z); the other part as Im z / 2
// divided by it. 0 for z = 0.
inline Num StableSqrt(Num z) {
  double modulus = std::hypot(z.re, z.im);
  if (z.re >= 0) {
    double re = std::sqrt((z.re + modulus) / 2);
    if (re == 0) return {0, 0};
    return {re, z.im / 2 / re};
  }
  double im = std::sqrt((modulus - z.re) / 2);
  if (z.im < 0) im = -im;
  return {z.im / 2 / im, im};
}

}  // namespace vke
