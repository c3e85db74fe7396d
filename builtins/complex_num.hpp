// Scalar arithmetic of the kernels that run one code for real and complex
// data: a number is a pair, and with kCx false only its real part is used,
// so that real results never meet the extra terms (0 x Inf) of the complex
// formulas.
#pragma once

namespace vke {

struct Num {
  double re = 0;
  double im = 0;
};

// x / y for complex numbers as x conj(y) / |y|^2, without scaling (a zero y
// gives NaN).
inline void DivideComplex(double xRe, double xIm, double yRe, double yIm, double* re, double* im) {
  double d = yRe * yRe + yIm * yIm;
  *re = (xRe * yRe + xIm * yIm) / d;
  *im = (xIm * yRe - xRe * yIm) / d;
}

template <bool kCx>
bool IsZero(Num x) {
  return x.re == 0 && (!kCx || x.im == 0);
}

template <bool kCx>
Num Plus(Num x, Num y) {
  return {x.re + y.re, kCx ? x.im + y.im : 0};
}

template <bool kCx>
Num Minus(Num x, Num y) {
  return {x.re - y.re, kCx ? x.im - y.im : 0};
}

template <bool kCx>
Num Times(Num x, Num y) {
  if (!kCx) return {x.re * y.re, 0};
  return {x.re * y.re - x.im * y.im, x.re * y.im + x.im * y.re};
}

// x / y, without a test for zero.
template <bool kCx>
Num Quotient(Num x, Num y) {
  if (!kCx) return {x.re / y.re, 0};
  Num q;
  DivideComplex(x.re, x.im, y.re, y.im, &q.re, &q.im);
  return q;
}

}  // namespace vke
