// Complex scalar steps the dense kernels share: the division that scales by
// the larger part of the divisor and the square root that computes its
// larger part first.
#pragma once

#include <cmath>
#include <cstdint>

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

// Whether the n x n matrix (real parts, and imaginary parts or null) is
// zero below its diagonal.
inline bool IsUpperTriangular(const double* re, const double* im, int32_t n) {
  for (int32_t i = 1; i < n; i++) {
    for (int32_t j = 0; j < i; j++) {
      const int64_t at = int64_t(i) * n + j;
      if (re[at] != 0 || (im && im[at] != 0)) return false;
    }
  }
  return true;
}

// Multiplies count values (and as many imaginary parts, or none) by 2^e,
// exactly while nothing over- or underflows.
inline void ScaleByPowerOfTwo(double* re, double* im, int64_t count, int e) {
  if (e == 0) return;
  for (int64_t i = 0; i < count; i++) {
    re[i] = std::ldexp(re[i], e);
    if (im) im[i] = std::ldexp(im[i], e);
  }
}

// Brings the largest magnitude among count values (and imaginary parts, or
// none) into [0.5, 1) by a power of two and returns the exponent e with
// which 2^e restores them; 0, nothing changed, when all are zero or one is
// not finite. The iterations that square and multiply entries then neither
// overflow nor underflow, and matrices that differ by a power of two give
// results that differ by exactly that power.
inline int ScaleToUnitRange(double* re, double* im, int64_t count) {
  double largest = 0;
  for (int64_t i = 0; i < count; i++) {
    largest = std::fmax(largest, std::fabs(re[i]));
    if (im) largest = std::fmax(largest, std::fabs(im[i]));
  }
  if (largest == 0 || !std::isfinite(largest)) return 0;
  for (int64_t i = 0; i < count; i++) {
    if (std::isnan(re[i]) || (im && std::isnan(im[i]))) return 0;
  }
  int e = 0;
  std::frexp(largest, &e);
  ScaleByPowerOfTwo(re, im, count, -e);
  return e;
}

}  // namespace vke
