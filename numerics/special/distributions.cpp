// The per-element density, distribution and inverse distribution functions
// of the named distributions, and their table. Below a distribution's
// support the density and the distribution function are 0, and the
// densities vanish at +Inf, where their formulas would give Inf times 0.
#include "numerics/special/distributions.hpp"

#include <cmath>
#include <limits>

#include "numerics/special/special_constants.hpp"
#include "numerics/special/special_core.hpp"

namespace vke {

namespace {

using namespace special;

constexpr double kInvPi = 0.3183098861837907;
constexpr double kTwoOverPi = 0.6366197723675814;
constexpr double kInvSqrtPi = 0.5641895835477563;

double Erf(double t) {
  return ComputeErfOrErfc(t, false);
}

bool Done(double value, double* result) {
  *result = value;
  return true;
}

// ---- Normal and lognormal (mu, sigma) ----
bool NormPdf(double x, double mu, double s, double* r) {
  return Done(std::exp(-(x - mu) * (x - mu) / (2 * s * s)) / (s * kSqrtTwoPi), r);
}
// erfc(-t)/2 rather than (1 + erf(t))/2, which cancels to 0 in the lower
// tail; both agree for t >= 0.
bool NormCdf(double x, double mu, double s, double* r) {
  return Done(ComputeErfOrErfc(-(x - mu) / (s * kSqrtTwo), true) / 2, r);
}
bool NormIcdf(double p, double mu, double s, double* r) {
  return Done(mu + s * kSqrtTwo * InvertErf(2 * p - 1), r);
}
bool LognPdf(double x, double mu, double s, double* r) {
  if (x <= 0) return Done(0, r);
  const double l = std::log(x) - mu;
  return Done(std::exp(-l * l / (2 * s * s)) / (x * s * kSqrtTwoPi), r);
}
bool LognCdf(double x, double mu, double s, double* r) {
  if (x <= 0) return Done(0, r);
  return NormCdf(std::log(x), mu, s, r);
}
bool LognIcdf(double p, double mu, double s, double* r) {
  if (p < 0 || p > 1) return Done(kNaN, r);
  if (p == 1) return Done(kInf, r);
  return Done(std::exp(mu + s * kSqrtTwo * InvertErf(2 * p - 1)), r);
}

// ---- Uniform (a, b); b < a fails after writing the value ----
bool UnifPdf(double x, double a, double b, double* r) {
  *r = x >= a && x < b ? 1 / (b - a) : 0;
  return !(b < a);
}
bool UnifCdf(double x, double a, double b, double* r) {
  *r = x < a ? 0 : x < b ? (x - a) / (b - a) : 1;
  return !(b < a);
}
bool UnifIcdf(double p, double a, double b, double* r) {
  *r = p < 0 || p > 1 ? kNaN : p == 0 ? a : p == 1 ? b : (b - a) * p + a;
  return !(b < a);
}

// ---- Chi-square (n) and chi (n) ----
bool Chi2Pdf(double x, double n, double, double* r) {
  if (x <= 0 || x == kInf) return Done(0, r);
  return Done(std::exp((n * std::log(x / 2) - x) / 2 - ComputeLogGamma(n / 2)) / x, r);
}
bool Chi2Cdf(double x, double n, double, double* r) {
  if (x <= 0) return Done(0, r);
  return ComputeIncompleteGamma(n / 2, x / 2, r);
}
bool Chi2Icdf(double p, double n, double, double* r) {
  if (!InverseGammaDistribution(p, n / 2, 1, r)) return false;
  *r *= 2;
  return true;
}
bool ChiPdf(double x, double n, double, double* r) {
  if (x < 0 || x == kInf) return Done(0, r);
  return Done(std::pow(x, n - 1) * std::exp(-x * x / 2) /
                  (std::pow(2, n / 2 - 1) * ComputeGamma(n / 2, false)),
              r);
}
bool ChiCdf(double x, double n, double, double* r) {
  if (x <= 0) return Done(0, r);
  return ComputeIncompleteGamma(n / 2, x * x / 2, r);
}

// ---- Student t (n): density and distribution for positive integers n ----
bool IsPositiveInteger(double n) {
  return n > 0 && std::isfinite(n) && std::floor(n) == n;
}
bool TPdf(double x, double n, double, double* r) {
  if (!IsPositiveInteger(n)) return Done(kNaN, r);
  const double ratio = std::exp(ComputeLogGamma((n + 1) / 2) - ComputeLogGamma(n / 2));
  return Done(ratio / (std::pow(1 + x * x / n, (n + 1) / 2) * std::sqrt(n * kPi)), r);
}
bool TCdf(double x, double n, double, double* r) {
  if (!IsPositiveInteger(n)) return Done(kNaN, r);
  if (n == 1) return Done(std::atan(x) * kInvPi + 0.5, r);
  if (x == 0) return Done(0.5, r);
  double in;
  if (!ComputeIncompleteBeta(n / (n + x * x), n / 2, 0.5, &in)) return false;
  return Done(x > 0 ? 1 - in / 2 : in / 2, r);
}
// From the tail probability q = min(p, 1 - p) = I_z(n/2, 1/2)/2 with
// z = n/(n + t^2), as the distribution function is computed, and with z and
// 1 - z each to its own relative accuracy, so that the quantile keeps its
// accuracy far out in the tails as well as near 0.
bool TIcdf(double p, double n, double, double* r) {
  if (!(p >= 0 && p <= 1)) return Done(kNaN, r);
  const double q = p < 0.5 ? p : 1 - p;
  double z, cz;
  if (!InverseBetaWithComplement(2 * q, n / 2, 0.5, &z, &cz)) return false;
  const double t = std::sqrt(n * cz / z);
  return Done(p < 0.5 ? -t : t, r);
}

// ---- F (d1, d2) ----
bool FPdf(double x, double d1, double d2, double* r) {
  if (x < 0 || x == kInf) return Done(0, r);
  // At 0 the formula is 0/0; the density's limit there follows x^(d1/2 - 1).
  if (x == 0 && !std::isnan(d1 + d2)) return Done(d1 < 2 ? kInf : d1 == 2 ? 1 : 0, r);
  const double s = d1 * x + d2;
  const double beta = std::exp(ComputeLogGamma(d1 / 2) + ComputeLogGamma(d2 / 2) -
                               ComputeLogGamma(d1 / 2 + d2 / 2));
  return Done(std::pow(d1 * x / s, d1 / 2) * std::pow(d2 / s, d2 / 2) / (x * beta), r);
}
bool FCdf(double x, double d1, double d2, double* r) {
  if (x <= 0) return Done(0, r);
  double in;
  if (!ComputeIncompleteBeta(d2 / (d2 + d1 * x), d2 / 2, d1 / 2, &in)) return false;
  return Done(1 - in, r);
}
bool FIcdf(double p, double d1, double d2, double* r) {
  double b, cb;
  if (!InverseBetaWithComplement(p, d1 / 2, d2 / 2, &b, &cb)) return false;
  return Done(d2 * b / (cb * d1), r);
}

// ---- Exponential (mu) and Rayleigh (s) ----
bool ExpPdf(double x, double mu, double, double* r) {
  return Done(x < 0 ? 0 : std::exp(-x / mu) / mu, r);
}
bool ExpCdf(double x, double mu, double, double* r) {
  return Done(x <= 0 ? 0 : 1 - std::exp(-x / mu), r);
}
bool RaylPdf(double x, double s, double, double* r) {
  return Done(x <= 0 || x == kInf ? 0 : x / (s * s) * std::exp(-x * x / (2 * s * s)), r);
}
bool RaylCdf(double x, double s, double, double* r) {
  return Done(x <= 0 ? 0 : 1 - std::exp(-x * x / (2 * s * s)), r);
}

// ---- Beta (a, b) and gamma (shape a, scale b) ----
bool BetaPdf(double x, double a, double b, double* r) {
  if (x <= 0 || x >= 1) return Done(0, r);
  return Done(std::pow(x, a - 1) * std::pow(1 - x, b - 1) / ComputeBeta(a, b), r);
}
bool BetaCdf(double x, double a, double b, double* r) {
  if (x <= 0) return Done(0, r);
  if (x >= 1) return Done(1, r);
  return ComputeIncompleteBeta(x, a, b, r);
}
bool GammaPdf(double x, double a, double b, double* r) {
  if (x < 0 || x == kInf) return Done(0, r);
  return Done(std::pow(x, a - 1) * std::exp(-x / b) / (ComputeGamma(a, false) * std::pow(b, a)), r);
}
bool GammaCdf(double x, double a, double b, double* r) {
  if (x <= 0) return Done(0, r);
  return ComputeIncompleteGamma(a, x / b, r);
}

// ---- Cauchy (m, s), Laplace (mu, b), half-normal (theta), Weibull (a, b) ----
bool CauchyPdf(double x, double m, double s, double* r) {
  const double t = (x - m) / s;
  return Done(1 / ((1 + t * t) * s * kPi), r);
}
bool CauchyCdf(double x, double m, double s, double* r) {
  return Done(std::atan((x - m) / s) * kInvPi + 0.5, r);
}
bool LaplacePdf(double x, double mu, double b, double* r) {
  return Done(std::exp(-std::fabs(x - mu) / b) / (2 * b), r);
}
bool LaplaceCdf(double x, double mu, double b, double* r) {
  const double s = x > mu ? 1 : -1;
  return Done((1 + s * (1 - std::exp(-std::fabs(x - mu) / b))) / 2, r);
}
bool HalfNormalPdf(double x, double theta, double, double* r) {
  if (x < 0) return Done(0, r);
  return Done(kTwoOverPi * theta * std::exp(-x * x * theta * theta * kInvPi), r);
}
bool HalfNormalCdf(double x, double theta, double, double* r) {
  return Done(x <= 0 ? 0 : Erf(x * theta * kInvSqrtPi), r);
}
bool WeibPdf(double x, double a, double b, double* r) {
  if (x < 0 || x == kInf) return Done(0, r);
  return Done(a * std::pow(x, a - 1) * std::exp(-std::pow(x / b, a)) / std::pow(b, a), r);
}
bool WeibCdf(double x, double a, double b, double* r) {
  return Done(x <= 0 ? 0 : 1 - std::exp(-std::pow(x / b, a)), r);
}

bool BetaIcdf(double p, double a, double b, double* r) {
  return InverseBetaDistribution(p, a, b, r);
}
bool GammaIcdf(double p, double a, double b, double* r) {
  return InverseGammaDistribution(p, a, b, r);
}

}  // namespace

const DistributionRow kDistributions[] = {
    {"norm", 2, true, &NormPdf, &NormCdf, &NormIcdf},
    {"normal", 2, true, &NormPdf, &NormCdf, &NormIcdf},
    {"unif", 2, true, &UnifPdf, &UnifCdf, &UnifIcdf},
    {"uniform", 2, true, &UnifPdf, &UnifCdf, &UnifIcdf},
    {"chi2", 1, false, &Chi2Pdf, &Chi2Cdf, &Chi2Icdf},
    {"chisquare", 1, false, &Chi2Pdf, &Chi2Cdf, &Chi2Icdf},
    {"student", 1, false, &TPdf, &TCdf, &TIcdf},
    {"t", 1, false, &TPdf, &TCdf, &TIcdf},
    {"f", 2, false, &FPdf, &FCdf, &FIcdf},
    {"exp", 1, false, &ExpPdf, &ExpCdf, nullptr},
    {"exponential", 1, false, &ExpPdf, &ExpCdf, nullptr},
    {"beta", 2, false, &BetaPdf, &BetaCdf, &BetaIcdf},
    {"rayl", 1, false, &RaylPdf, &RaylCdf, nullptr},
    {"rayleigh", 1, false, &RaylPdf, &RaylCdf, nullptr},
    {"cauchy", 2, false, &CauchyPdf, &CauchyCdf, nullptr},
    {"chi", 1, false, &ChiPdf, &ChiCdf, nullptr},
    {"gamma", 2, false, &GammaPdf, &GammaCdf, &GammaIcdf},
    {"half-normal", 1, false, &HalfNormalPdf, &HalfNormalCdf, nullptr},
    {"laplace", 2, false, &LaplacePdf, &LaplaceCdf, nullptr},
    {"logn", 2, true, &LognPdf, &LognCdf, &LognIcdf},
    {"lognormal", 2, true, &LognPdf, &LognCdf, &LognIcdf},
    {"weib", 2, false, &WeibPdf, &WeibCdf, nullptr},
    {"weibull", 2, false, &WeibPdf, &WeibCdf, nullptr},
    {nullptr, 0, false, nullptr, nullptr, nullptr},
};

}  // namespace vke
