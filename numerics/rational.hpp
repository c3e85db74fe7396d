// Rational functions of a complex variable: num(s) / den(s) with real
// coefficients, highest power first, as the frequency responses and the
// figure's hit test evaluate them.
#pragma once

#include <cstdint>

namespace vke {

struct ComplexValue {
  double re;
  double im;
};

// The polynomial c[0] s^(n-1) + ... + c[n-1] at s by Horner's scheme; 0 for
// n < 1.
ComplexValue EvalPolynomialAtComplex(const double* c, int32_t n, ComplexValue s);

// num(s) / den(s) with nNum and nDen coefficients, divided so that no
// intermediate overflows. A zero denominator gives NaN + NaN i for a
// numerator with an imaginary part, else an infinity of the numerator's sign
// (NaN for 0) and an imaginary part of 0.
ComplexValue EvalRationalAtComplex(const double* num, int32_t nNum, const double* den, int32_t nDen,
                                   ComplexValue s);

}  // namespace vke
