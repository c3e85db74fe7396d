// Evaluation of polynomials and their quotients at a complex point.
#include "numerics/rational.hpp"

#include <cmath>
#include <limits>

namespace vke {

ComplexValue EvalPolynomialAtComplex(const double* c, int32_t n, ComplexValue s) {
  if (n < 1) return {0, 0};
  ComplexValue v{c[0], 0};
  for (int32_t i = 1; i < n; ++i) {
    v = {v.re * s.re - v.im * s.im + c[i], v.im * s.re + v.re * s.im};
  }
  return v;
}

ComplexValue EvalRationalAtComplex(const double* num, int32_t nNum, const double* den, int32_t nDen,
                                   ComplexValue s) {
  const ComplexValue n = EvalPolynomialAtComplex(num, nNum, s);
  const ComplexValue d = EvalPolynomialAtComplex(den, nDen, s);
  if (std::fabs(d.im) < std::fabs(d.re)) {
    const double r = d.im / d.re, t = 1 / (d.re + r * d.im);
    return {(n.re + r * n.im) * t, (n.im - r * n.re) * t};
  }
  if (d.im != 0) {
    const double r = d.re / d.im, t = 1 / (r * d.re + d.im);
    return {(r * n.re + n.im) * t, (r * n.im - n.re) * t};
  }
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  if (n.im != 0) return {kNaN, kNaN};
  if (n.re == 0) return {kNaN, 0};
  return {
      n.re > 0 ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity(),
      0};
}

}  // namespace vke
