// Complex arithmetic in extended precision shared by the elementwise
// mathematics and the statistics: the principal square root, reciprocals by
// Smith's method, the logarithm and the hyperbolic tangent, each written so
// that it keeps its accuracy where the textbook formula would cancel or
// overflow.
#pragma once

#include <cmath>
#include <complex>
#include <limits>

namespace vke {

using Real = long double;
using Cx = std::complex<Real>;

// The principal square root: 0 for 0; with r = |z|, for re <= 0
// t = sqrt((r - re) / 2) (negated when im < 0) and (im / 2) / t + t i, for
// re > 0 s = sqrt((re + r) / 2) and s + ((im / 2) / s) i.
inline Cx PrincipalSqrt(Cx z) {
  const Real re = z.real(), im = z.imag();
  if (re == 0 && im == 0) return Cx(0, 0);
  const Real r = std::hypot(re, im);
  if (re <= 0) {
    Real t = std::sqrt((r - re) / 2);
    if (im < 0) t = -t;
    return Cx((im / 2) / t, t);
  }
  const Real s = std::sqrt((re + r) / 2);
  return Cx(s, (im / 2) / s);
}

// 1 / z by Smith's method; the reciprocal of 0 is +Inf + 0i.
inline Cx Reciprocal(Cx z) {
  const Real re = z.real(), im = z.imag();
  if (std::fabs(re) <= std::fabs(im)) {
    if (im == 0) return Cx(INFINITY, 0);
    const Real q = re / im, d = 1 / (re * q + im);
    return Cx(q * d, -d);
  }
  const Real q = im / re, d = 1 / (im * q + re);
  return Cx(d, -q * d);
}

// ln|z| + i atan2(im, re); near |z| = 1 the modulus is taken through log1p.
inline Cx Log(Cx z) {
  // A NaN part makes both parts NaN, an infinite other part included (fmax
  // and hypot would pass over it).
  if (std::isnan(z.real()) || std::isnan(z.imag())) {
    const Real nan = std::numeric_limits<Real>::quiet_NaN();
    return Cx(nan, nan);
  }
  const Real a = std::fmax(std::fabs(z.real()), std::fabs(z.imag()));
  const Real b = std::fmin(std::fabs(z.real()), std::fabs(z.imag()));
  const Real m2 = a * a + b * b;
  const Real lnr =
      m2 > 0.5L && m2 < 2 ? std::log1p((a - 1) * (a + 1) + b * b) / 2 : std::log(std::hypot(a, b));
  return Cx(lnr, std::atan2(z.imag(), z.real()));
}

// tanh(z) = (sinh re cosh re + i sin im cos im) / (sinh^2 re + cos^2 im).
// The double-angle form, (sinh 2re + i sin 2im) / (cosh 2re + cos 2im),
// cancels to 0 in its denominator where re is 0 and im the double nearest
// an odd multiple of pi/2, where tanh is at its largest; this one keeps
// cos im whole there. For large |re| the value is +-1 with an imaginary
// part of 2 sin(2 im) e^(-2 |re|).
inline Cx Tanh(Cx z) {
  const Real a = z.real(), b = z.imag();
  if (std::fabs(a) > 40)
    return Cx(std::copysign(Real(1), a), 2 * std::sin(2 * b) * std::exp(-2 * std::fabs(a)));
  const Real sa = std::sinh(a), cb = std::cos(b);
  const Real den = sa * sa + cb * cb;
  return Cx(sa * std::cosh(a) / den, std::sin(b) * cb / den);
}

}  // namespace vke
