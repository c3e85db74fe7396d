// The dilogarithm and the elliptic functions: the Jacobi amplitude and sn,
// cn, dn by the arithmetic-geometric mean, the incomplete integrals F and E
// by the descending Landen transformation, and the complete integrals K and
// E by the AGM; with their natives over double arrays.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/registry/natives_decl.hpp"
#include "numerics/special/elementwise_special.hpp"
#include "numerics/special/special_constants.hpp"

namespace vke {

namespace {

using namespace special;

constexpr double kTwoPi = 2 * kPi;
constexpr double kPiSquaredOverSix = 1.6449340668482264;

// The levels of the AGM behind the Jacobi functions; a parameter that needs
// more fails.
constexpr int kJacobiLevels = 64;
// The steps of the Landen transformation before it is taken as failed.
constexpr int kLandenSteps = 100;
// Relative change of a at which the Landen steps stop.
constexpr double kLandenTolerance = 1.1102230246251565e-15;
// Nudges phi off an odd multiple of pi/2, where tan is unbounded.
constexpr double kOffPole = 1.000000000000222;
// Half-turn offsets of the second-kind integral (0.6 pi and 0.4 pi).
constexpr double kHalfTurnBelow = 1.8849555921538759;
constexpr double kHalfTurnAbove = 1.2566370614359172;

// The options of the native rows.
constexpr uintptr_t kAmplitude = 'a';
constexpr uintptr_t kSecondKind = 'e';

// The dilogarithm as -Li2(1 - x), mapped onto [0.5, 1] by the reflections
// x -> 1/x and x -> 1 - x; its limit -pi^2/6 at 0.
double Dilogarithm(double x) {
  if (x == 0) return -kPiSquaredOverSix;
  double s = 0, sigma = 1, tau = 1;
  if (x > 1) {
    const double l = std::log(x);
    s = -0.5 * l * l;
    x = 1 / x;
    sigma = tau = -1;
  }
  if (x < 0.5) {
    s += tau * (kPiSquaredOverSix - std::log(x) * std::log(1 - x));
    x = 1 - x;
    tau = -sigma;
  }
  if (!(x >= 0.5 && x <= 1)) return kNaN;
  const int n = static_cast<int>(std::floor(4 / (x * x)) + 2);
  double sum = 0;
  for (int j = n; j >= 1; j--) sum = (sum + 1.0 / (double(j) * j)) * (1 - x);
  return 0 - s - tau * sum;  // 0 - keeps diln(1) at +0
}

// The Jacobi amplitude of u for 0 <= m <= 1 (the caller checks m); false
// when the AGM does not reach tol within its levels.
bool JacobiAmplitude(double u, double m, double tol, double* am) {
  if (m == 1) {
    *am = 2 * std::atan(std::exp(u)) - kPi / 2;
    return true;
  }
  double a[kJacobiLevels + 1], c[kJacobiLevels + 1];
  a[0] = 1;
  double b = std::sqrt(1 - m);
  c[0] = std::sqrt(m);
  int n = 0;
  while (std::fabs(c[n]) > tol) {
    if (n == kJacobiLevels) return false;
    a[n + 1] = (a[n] + b) / 2;
    c[n + 1] = (a[n] - b) / 2;
    b = std::sqrt(a[n] * b);
    n++;
  }
  double phi = std::ldexp(a[n] * u, n);
  for (; n >= 1; n--) phi = (std::asin(c[n] * std::sin(std::fmod(phi, kTwoPi)) / a[n]) + phi) / 2;
  *am = std::fmod(phi, kTwoPi);
  return true;
}

// K(m) and E(m) for 0 <= m < 1 by the AGM with its weighted sum.
void CompleteIntegrals(double m, double tol, double* k, double* e) {
  const double r = std::sqrt(1 - m);
  double a = (1 + r) / 2, b = std::sqrt(r), c = (1 - r) / 2;
  double sum = m + 2 * c * c, w = 2, term = 2 * c * c;
  while (term > tol) {
    const double an = (a + b) / 2;
    c = (a - b) / 2;
    b = std::sqrt(a * b);
    a = an;
    w *= 2;
    term = w * c * c;
    sum += term;
  }
  *k = kPi / (2 * a);
  *e = (1 - sum / 2) * *k;
}

// F(phi|m) and E(phi|m) for 0 <= m < 1 by the descending Landen steps;
// false after too many steps.
bool LandenIntegrals(double phi, double m, bool second, double* f, double* e) {
  const double sign = phi > 0 ? 1 : -1;
  phi = std::fabs(phi);
  double a = 1, b = std::sqrt(1 - m), c = (1 - b) / 2, scale = 1;
  double t = 0, g = 1 - m / 2, w = 1;
  for (int step = 0; c != 0; step++) {
    if (step == kLandenSteps) return false;
    double q;
    if (second) {
      q = std::floor((phi + (std::tan(phi) <= 0 ? kHalfTurnBelow : kHalfTurnAbove)) / kPi);
    } else {
      if (std::floor((phi + kPi / 2) / kPi) == (phi + kPi / 2) / kPi) phi *= kOffPole;
      q = std::floor((phi + kPi / 2) / kPi);
    }
    phi = q * kPi + std::atan((b / a) * std::tan(phi)) + phi;
    scale *= 2;
    t += c * std::sin(phi);
    g -= w * c * c;
    w *= 2;
    const double next = a - c;
    if (std::fabs(next - a) < (std::fabs(a) + std::fabs(next)) * kLandenTolerance) {
      a = next;
      break;
    }
    b = std::sqrt(b * a);
    a = next;
    c = (a - b) / 2;
  }
  *f = sign * phi / (scale * a);
  *e = g * *f + sign * t;
  return true;
}

// F(phi|m) or E(phi|m) for every real m: m > 1 and m < 0 are brought into
// [0, 1] by the reciprocal and the imaginary-modulus transformations.
ErrCode EllipticIntegral(double phi, double m, bool second, double* result) {
  double f, e;
  if (std::isnan(phi) || std::isnan(m)) {
    *result = kNaN;
    return kOk;
  }
  if (m > 1) {
    const double r = std::sqrt(m);
    const double theta = std::asin(r * std::sin(phi));
    if (std::isnan(theta)) {
      *result = kNaN;
      return kOk;
    }
    if (!LandenIntegrals(theta, 1 / m, second, &f, &e)) return kErrNoConvergence;
    *result = second ? r * e - (m - 1) / r * f : f / r;
    return kOk;
  }
  if (m < 0) {
    const double mt = m / (m - 1), r = std::sqrt(1 - m);
    double k, ek;
    CompleteIntegrals(mt, kEps, &k, &ek);
    if (!LandenIntegrals(kPi / 2 - phi, mt, second, &f, &e)) return kErrNoConvergence;
    *result = second ? r * (ek - e) : (k - f) / r;
    return kOk;
  }
  if (m == 1) {
    const double s = std::sin(phi);
    if (!second) {
      *result = 0.5 * std::log((1 + s) / (1 - s));
    } else {
      const double turns = std::floor((phi + kPi / 2) / kPi);
      *result = 2 * turns + (std::fmod(turns, 2) == 0 ? s : -s);
    }
    return kOk;
  }
  if (!LandenIntegrals(phi, m, second, &f, &e)) return kErrNoConvergence;
  *result = second ? e : f;
  return kOk;
}

ErrCode EllipticIntegralKernel(const double* v, uintptr_t option, double* result) {
  return EllipticIntegral(v[0], v[1], option == kSecondKind, result);
}

// The tolerance argument of ellipam, ellipj and ellipke, taken off the top
// when present (eps otherwise); nargin counts the arguments left.
ErrCode PopToleranceArg(EngineContext* ctx, int32_t* nargin, int32_t withTolerance, double* tol) {
  *tol = kEps;
  if (*nargin < withTolerance) return kOk;
  ErrCode e = GetScalarArg(ctx, 0, tol);
  if (e) return e == kErrWrongType ? kErrWrongTypeOverload : e;
  --*nargin;
  return Drop(ctx, 1);
}

}  // namespace

ErrCode DilnNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  return ApplyUnarySpecial(
      ctx, [](double x, uintptr_t) { return Dilogarithm(x); }, 0);
}

ErrCode EllipticIntegralNative(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  return ApplySpecialKernel(ctx, 2, &EllipticIntegralKernel, option);
}

// ellipam(u, m [, tol]) with option 'a'; [sn, cn, dn] = ellipj(u, m [, tol])
// with option 'j': only the results asked for are made.
ErrCode JacobiEllipticNative(EngineContext* ctx, int32_t nargin, int32_t nargout,
                             uintptr_t option) {
  double tol;
  ErrCode e = PopToleranceArg(ctx, &nargin, 3, &tol);
  if (e) return e;
  Shape s;
  ElementwiseOperand ops[2];
  if ((e = GetDoubleOperands(ctx, 2, &s, ops))) return e;
  const int32_t outputs = option == kAmplitude ? 1 : std::max(nargout, 1);
  double* out[3];
  for (int32_t k = outputs - 1; k >= 0; k--) {
    if ((e = PushNewArray(ctx, s.ndims, s.dims, &out[k], nullptr))) {
      Drop(ctx, outputs - 1 - k);
      return e;
    }
  }
  for (int64_t i = 0; i < s.count; i++) {
    const double u = RealElement(ops[0], i), m = RealElement(ops[1], i);
    double am;
    if (!(m >= 0 && m <= 1) || !JacobiAmplitude(u, m, tol, &am)) {
      Drop(ctx, outputs);
      return kErrNoConvergence;
    }
    if (option == kAmplitude) {
      out[0][i] = am;
      continue;
    }
    const double sn = m == 1 ? std::tanh(u) : std::sin(am);
    out[0][i] = sn;
    if (outputs > 1) out[1][i] = m == 1 ? 1 / std::cosh(u) : std::cos(am);
    if (outputs > 2) out[2][i] = m == 1 ? 1 / std::cosh(u) : std::sqrt(1 - m * sn * sn);
  }
  return DropStackEntries(ctx, outputs, nargin);
}

// [K, E] = ellipke(m [, tol]).
ErrCode EllipkeNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  double tol;
  ErrCode e = PopToleranceArg(ctx, &nargin, 2, &tol);
  if (e) return e;
  Shape s;
  double* m;
  if ((e = GetDoubleArrayArg(ctx, 0, &s, &m, nullptr)))
    return e == kErrWrongType ? kErrWrongTypeOverload : e;
  const int32_t outputs = std::max(nargout, 1) > 1 ? 2 : 1;
  double* out[2];
  for (int32_t k = outputs - 1; k >= 0; k--) {
    if ((e = PushNewArray(ctx, s.ndims, s.dims, &out[k], nullptr))) {
      Drop(ctx, outputs - 1 - k);
      return e;
    }
  }
  for (int64_t i = 0; i < s.count; i++) {
    double k = kInf, en = 1;
    if (m[i] != 1) {
      if (!(m[i] >= 0 && m[i] < 1)) {
        Drop(ctx, outputs);
        return kErrNoConvergence;
      }
      CompleteIntegrals(m[i], tol, &k, &en);
    }
    out[0][i] = k;
    if (outputs > 1) out[1][i] = en;
  }
  return DropStackEntries(ctx, outputs, nargin);
}

}  // namespace vke
