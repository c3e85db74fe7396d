// The core routines of the special functions on single doubles: series,
// continued fractions and rational approximations, with the iteration
// budgets and guards they share.
#include "numerics/special/special_core.hpp"

#include <array>
#include <cmath>
#include <limits>

#include "numerics/special/special_constants.hpp"

namespace vke {

namespace {

using namespace special;

constexpr double kFpMin = 2.2251e-308;  // guard for vanishing denominators
constexpr double kInvFpMin = 4.494180036852276e+307;
constexpr double kTwoOverSqrtPi = 1.1283791670955126;
constexpr double kSqrtTwoOverPi = 0.7978845608028654;
constexpr double kLogSqrtTwoPi = 0.9189385332046728;

// The budgets of the incomplete-gamma iterations: the stated 100 terms and
// 99 levels, widened for large a, where both need about sqrt(a) steps more.
constexpr int kGammaSeriesTerms = 100;
constexpr int kGammaFractionLevels = 99;
int WidenedBudget(int base, double a) {
  if (!(a > 100)) return base;
  return base + static_cast<int>(12 * std::sqrt(std::fmin(a, 1e12)));
}

// The iteration budget of the incomplete-beta continued fraction.
constexpr int kBetaFractionLevels = 99;

// n! for n = 0..22, each exact in a double (22! < 2^70 carries 19 factors
// of 2), so the running product is exact; the gamma function beyond.
constexpr int kLastExactFactorial = 22;
constexpr auto kFactorials = [] {
  std::array<double, kLastExactFactorial + 1> table{};
  table[0] = 1;
  for (int n = 1; n <= kLastExactFactorial; n++) table[n] = table[n - 1] * n;
  return table;
}();

// Cody's rational approximation of Gamma on [1, 2], and Stirling's series.
constexpr double kGammaP[8] = {-1.716185138865495,  24.76565080557592, -379.80425647094563,
                               629.3311553128184,   866.9662027904133, -31451.272968848367,
                               -36144.413418691176, 66456.14382024054};
constexpr double kGammaQ[8] = {-30.840230011973897, 315.35062697960416, -1015.1563674902192,
                               -3107.771671572311,  22538.11842098015,  4755.846277527881,
                               -134659.9598649693,  -115132.25967555349};
constexpr double kStirling[7] = {
    -0.001910444077728,     0.00084171387781295, -0.0005952379913043012, 0.0007936507935003503,
    -0.0027777777777776816, 0.08333333333333333, 0.0057083835261};

// Whether a continued fraction has settled: its last factor is within one
// unit of 2^-52 of 1. Just above 1 the doubles are 2^-52 apart, so a factor
// that keeps rounding to the next one up must count as settled.
bool Settled(double factor) {
  return std::fabs(factor - 1) <= kEps;
}

double GuardTiny(double v) {
  return std::fabs(v) < kFpMin ? kFpMin : v;
}

// Gamma(y) for y > 0.
double PositiveGamma(double y) {
  if (y >= 12) {
    const double ysq = y * y;
    double sum = kStirling[6];
    for (int i = 0; i < 6; i++) sum = sum / ysq + kStirling[i];
    const double l = sum / y - y + kLogSqrtTwoPi + (y - 0.5) * std::log(y);
    return std::exp(l);
  }
  double x = y;
  int n = 0;
  if (y < 1) {
    x = y + 1;
  } else {
    n = static_cast<int>(std::floor(y) - 1);
    x = y - n;
  }
  const double z = x - 1;
  double num = 0, den = 1;
  for (int i = 0; i < 8; i++) {
    num = (num + kGammaP[i]) * z;
    den = den * z + kGammaQ[i];
  }
  double g = num / den + 1;
  if (y < 1) return g / y;
  for (int i = 0; i < n; i++) {
    g *= x;
    x += 1;
  }
  return g;
}

// The continued fraction of the incomplete beta for (a, b, x) by the
// modified Lentz method; false when it does not settle.
bool BetaFraction(double a, double b, double x, double* cf) {
  const double qab = a + b, qap = a + 1, qam = a - 1;
  double c = 1;
  double d = 1 / GuardTiny(1 - qab * x / qap);
  double h = d;
  for (int m = 1; m <= kBetaFractionLevels; m++) {
    const int m2 = 2 * m;
    double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
    d = 1 / GuardTiny(1 + aa * d);
    c = GuardTiny(1 + aa / c);
    h *= d * c;
    aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
    d = 1 / GuardTiny(1 + aa * d);
    c = GuardTiny(1 + aa / c);
    const double del = d * c;
    h *= del;
    if (Settled(del)) {
      *cf = h;
      return true;
    }
  }
  return false;
}

}  // namespace

double ComputeErfOrErfc(double x, bool complement) {
  if (std::isnan(x)) return x;
  const double a = std::fabs(x);
  if (a <= 1.5) {
    const int n = 3 + static_cast<int>(9 * a);
    const double x2 = x * x;
    double s = 1;
    for (int k = n; k >= 1; k--) s = 1 + s * (0.5 - k) * x2 / (k * (k + 0.5));
    const double erf = kTwoOverSqrtPi * x * s;
    return complement ? 1 - erf : erf;
  }
  const int n = 3 + static_cast<int>(32 / a);
  const double t = a * kSqrtTwo;
  double f = 0;
  for (int k = n; k >= 1; k--) f = 1 / (t + k * f);
  const double c = kSqrtTwoOverPi * std::exp(-x * x) * f;  // erfc(|x|)
  if (complement) return x > 0 ? c : 2 - c;
  return x > 0 ? 1 - c : c - 1;
}

double InvertErf(double y) {
  if (std::isnan(y)) return y;
  if (y == 1) return std::numeric_limits<double>::infinity();
  if (y == -1) return -std::numeric_limits<double>::infinity();
  if (y > 1 || y < -1) return std::numeric_limits<double>::quiet_NaN();
  double x;
  if (std::fabs(y) < 0.7) {
    const double z = y * y;
    x = y * (((-0.140543331 * z + 0.914624893) * z - 1.645349621) * z + 0.886226899) /
        ((((0.012229801 * z - 0.329097515) * z + 1.442710462) * z - 2.118377725) * z + 1);
  } else {
    const double w = std::sqrt(-std::log((1 - std::fabs(y)) / 2));
    x = (((1.641345311 * w + 3.429567803) * w - 1.624906493) * w - 1.970840454) /
        ((1.6370678 * w + 3.5438892) * w + 1);
    if (y < 0) x = -x;
  }
  for (int i = 0; i < 2; i++)
    x -= (ComputeErfOrErfc(x, false) - y) / (kTwoOverSqrtPi * std::exp(-x * x));
  return x;
}

double ComputeGamma(double x, bool factorial) {
  if (!std::isfinite(x)) {
    if (factorial && x < 0) return std::numeric_limits<double>::quiet_NaN();
    return x;
  }
  if (factorial) {
    if (x < 0 || std::floor(x + 0.5) != x) return std::numeric_limits<double>::quiet_NaN();
    if (x <= kLastExactFactorial) return kFactorials[static_cast<int>(x)];
    x += 1;
  }
  if (x <= 0) {
    const double y = -x, y1 = std::floor(y), r = y - y1;
    double fact = kPi / std::sin(kPi * r);
    if (std::fmod(y1, 2) == 0) fact = -fact;
    return fact / PositiveGamma(y + 1);
  }
  const double g = PositiveGamma(x);
  return factorial ? std::floor(g + 0.5) : g;
}

// The logarithm of the quotient is taken as a difference of logarithms: the
// quotient itself overflows for x below about 1e-306, and at +Inf it is 0.
double ComputeLogGamma(double x) {
  if (x == kInf) return kInf;
  const double ser = 1.000000000190015 + 76.18009172947146 / (x + 1) - 86.5053203291677 / (x + 2) +
                     24.01409824083091 / (x + 3) - 1.231739572450155 / (x + 4) +
                     0.0012086509738661 / (x + 5) - 5.395239384953e-6 / (x + 6);
  return std::log(kSqrtTwoPi * ser) - std::log(x) + (x + 0.5) * std::log(x + 5.5) - x - 5.5;
}

bool ComputeIncompleteGamma(double a, double x, double* result) {
  // The limits the iterations cannot reach: P(a, +Inf) = 1 and P(+Inf, x) = 0
  // for finite x; NaN stays NaN.
  if (std::isnan(a) || std::isnan(x) || (a == kInf && x == kInf)) {
    *result = kNaN;
    return true;
  }
  if (x == kInf || a == kInf) {
    *result = x == kInf ? 1 : 0;
    return true;
  }
  const double logPrefactor = a * std::log(x) - x - ComputeLogGamma(a);
  if (x < a + 1) {
    double ap = a, sum = 1 / a, del = sum;
    const int budget = WidenedBudget(kGammaSeriesTerms, a);
    for (int n = 1;; n++) {
      if (n > budget) return false;
      ap += 1;
      del = del * x / ap;
      sum += del;
      if (std::fabs(del) < std::fabs(sum) * kEps) break;
    }
    *result = sum * std::exp(logPrefactor);
    return true;
  }
  double b = x + 1 - a, c = kInvFpMin, d = 1 / b, h = d;
  const int budget = WidenedBudget(kGammaFractionLevels, a);
  for (int i = 1;; i++) {
    if (i > budget) return false;
    const double an = -i * (i - a);
    b += 2;
    d = GuardTiny(an * d + b);
    c = GuardTiny(b + an / c);
    d = 1 / d;
    const double del = d * c;
    h *= del;
    if (Settled(del)) break;
  }
  *result = 1 - std::exp(logPrefactor) * h;
  return true;
}

double ComputeBeta(double a, double b) {
  if (a < 0 || b < 0) return std::numeric_limits<double>::quiet_NaN();
  return std::exp(ComputeLogGamma(a) + ComputeLogGamma(b) - ComputeLogGamma(a + b));
}

bool ComputeIncompleteBeta(double x, double a, double b, double* result) {
  if (!(x >= 0 && x <= 1)) {
    *result = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  double bt = 0;
  if (x != 0 && x != 1)
    bt = std::exp(ComputeLogGamma(a + b) - ComputeLogGamma(a) - ComputeLogGamma(b) +
                  a * std::log(x) + b * std::log(1 - x));
  double cf;
  if (x < (a + 1) / (a + b + 2)) {
    if (!BetaFraction(a, b, x, &cf)) return false;
    *result = bt * cf / a;
  } else {
    if (!BetaFraction(b, a, 1 - x, &cf)) return false;
    *result = 1 - bt * cf / b;
  }
  return true;
}

}  // namespace vke
