// Tick choice of linear and logarithmic axes and the multiplier tables of
// logarithmic axes.
#include "graphics/ticks.hpp"

#include <array>
#include <cmath>
#include <utility>

namespace vke {
namespace {

// Multiplier tables; both lists share the tables they have in common.
constexpr double kEvery6Decades[] = {1, -1e6};
constexpr double kEvery5Decades[] = {1, -1e5};
constexpr double kEvery4Decades[] = {1, -1e4};
constexpr double kEvery3Decades[] = {1, -1e3};
constexpr double kEvery2Decades[] = {1, -100};
constexpr double kEveryDecade[] = {1, -10};
constexpr double kOneTwoFive[] = {1, 2, 5, -10};
constexpr double kEvenDigits[] = {1, 2, 4, 6, 8, -10};
constexpr double kDigits[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, -10};
constexpr double kDigitsNo7[] = {1, 2, 3, 4, 5, 6, 8, -10};
constexpr double kHalvesTo5[] = {1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5, 6, 7, 8, 9, -10};
constexpr double kFifthsTo3[] = {1,   1.2, 1.4, 1.6, 1.8, 2, 2.2, 2.4, 2.6, 2.8, 3,
                                 3.5, 4,   4.5, 5,   5.5, 6, 6.5, 7,   8,   9,   -10};
constexpr double kFifthsTo4[] = {1,   1.2, 1.4, 1.6, 1.8, 2, 2.2, 2.4, 2.6, 2.8,
                                 3,   3.2, 3.4, 3.6, 3.8, 4, 4.5, 5,   5.5, 6,
                                 6.5, 7,   7.5, 8,   8.5, 9, 9.5, -10};
constexpr double kTenthsTo2[] = {1,   1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.8, 1.9, 2,   2.2, 2.4,
                                 2.6, 2.8, 3,   3.2, 3.4, 3.6, 3.8, 4,   4.2, 4.4, 4.6, 4.8, 5,
                                 5.2, 5.4, 5.6, 5.8, 6,   6.2, 6.4, 6.6, 6.8, 7,   7.2, 7.4, 7.6,
                                 7.8, 8,   8.2, 8.4, 8.6, 8.8, 9,   9.2, 9.4, 9.6, 9.8, -10};

// Minor and major ticks, from sparse to dense.
constexpr std::array<const double*, 12> kTickTables{
    kEvery6Decades, kEvery5Decades, kEvery4Decades, kEvery3Decades, kEvery2Decades, kEveryDecade,
    kOneTwoFive,    kEvenDigits,    kDigits,        kHalvesTo5,     kFifthsTo4,     kTenthsTo2,
};
// Labels, from sparse to dense.
constexpr std::array<const double*, 14> kLabelTables{
    kEvery6Decades, kEvery5Decades, kEvery4Decades, kEvery3Decades, kEvery2Decades,
    kEveryDecade,   kOneTwoFive,    kEvenDigits,    kDigitsNo7,     kDigits,
    kHalvesTo5,     kFifthsTo3,     kFifthsTo4,     kTenthsTo2,
};
constexpr int32_t kTableEveryDecade = 5;
constexpr int32_t kTableDigits = 8;

template <size_t N>
const double* TableAt(const std::array<const double*, N>& list, int32_t i) {
  return i >= 0 && static_cast<size_t>(i) < N ? list[i] : nullptr;
}

// Whether neighbouring multipliers of the table, the step to the next group
// included, keep at least `ratio` apart.
bool TablePasses(const double* table, double ratio) {
  for (int32_t i = 1;; ++i) {
    if (std::fabs(table[i] / table[i - 1]) < ratio) return false;
    if (table[i] < 0) return true;
  }
}

bool HasFraction(const double* table) {
  for (; *table > 0; ++table) {
    if (*table != std::floor(*table)) return true;
  }
  return false;
}

// Index of the densest table passed by a walk from table 1 that stops at the
// first table failing; 0 when none passes. *fraction tells whether a passed
// table held a fractional multiplier.
template <size_t N>
int32_t DensestPassing(const std::array<const double*, N>& list, double ratio, bool* fraction) {
  int32_t chosen = 0;
  for (size_t t = 1; t < N && TablePasses(list[t], ratio); ++t) {
    chosen = static_cast<int32_t>(t);
    if (HasFraction(list[t])) *fraction = true;
  }
  return chosen;
}

double CeilMultiple(double v, double step) {
  return std::ceil(v / step) * step;
}

// The minor step that keeps at least minStep between minor ticks.
double MinorStep(double majorStep, double minStep) {
  constexpr std::pair<double, double> kDivisions[] = {
      {50, 0.02}, {20, 0.05}, {10, 0.1}, {5, 0.2}, {2, 0.5}};
  for (const auto& [times, share] : kDivisions) {
    if (majorStep > times * minStep) return majorStep * share;
  }
  return majorStep;
}

// Labels from the ticks already chosen: the first candidate that is allowed
// and leaves room for a second label below the limit.
bool LabelsFromTicks(double lo, double limit, double minLabelStep, LinearTicks* t) {
  const auto fits = [&](double first, double step) { return first >= lo && first + step < limit; };
  const auto take = [&](double first, double step) {
    if (!fits(first, step)) return false;
    t->firstLabel = first;
    t->labelStep = step;
    return true;
  };
  if (t->minorStep >= minLabelStep && take(t->firstMinor, t->minorStep)) return true;
  const double major = t->majorStep;
  if (t->minorStep <= major / 10) {
    constexpr std::pair<double, double> kParts[] = {{10, 0.1}, {5, 0.2}, {2, 0.5}};
    for (const auto& [k, f] : kParts) {
      const double step = major * f;
      if (step >= minLabelStep && take(std::ceil(lo * k / major) * major * f, step)) return true;
    }
  }
  if (major >= minLabelStep && take(t->firstMajor, major)) return true;
  return 2 * major >= minLabelStep && take(CeilMultiple(lo, 2 * major), 2 * major);
}

// Labels on their own scale when no tick step fits: from ten times the power
// p downward to a twentieth of it.
void LabelsFromPower(double lo, double limit, double p, double minLabelStep, LinearTicks* t) {
  const double q = 10 * p;
  constexpr double kDivisors[] = {1, 2, 5, 10, 20};
  double first = 0;
  double step = 0;
  for (size_t i = 0; i < std::size(kDivisors); ++i) {
    const double k = kDivisors[i];
    // Every finer step needs the minimum, except the last, which is taken
    // as it is.
    if (i > 0 && i + 1 < std::size(kDivisors) && !(q / k >= minLabelStep)) break;
    first = std::ceil(lo * k / q) * q / k;
    step = q / k;
    if (first >= lo && first + step < limit) break;
  }
  if (step < minLabelStep) {
    t->labelStep = 10 * q;
    t->firstLabel = first <= limit && limit <= first + step ? first : first + step;
    return;
  }
  t->firstLabel = first;
  t->labelStep = step;
}

}  // namespace

const double* LogTickTable(int32_t i) {
  return TableAt(kTickTables, i);
}

const double* LogLabelTable(int32_t i) {
  return TableAt(kLabelTables, i);
}

bool ChooseLinearTicks(double lo, double hi, double limit, double minStep, double minLabelStep,
                       bool withLabels, LinearTicks* out) {
  const double d = std::fabs(hi - lo);
  if (std::isnan(d) || d < 1e-8 || d > 1e18) {
    const double first = std::isnan(d) ? 1.0 : (lo + hi) / 2;
    out->firstMinor = out->firstMajor = first;
    out->minorStep = out->majorStep = 1.0;
    if (withLabels) {
      out->firstLabel = first;
      out->labelStep = 1.0;
    }
    return false;
  }
  if (lo > hi) std::swap(lo, hi);
  double p = 1.0;
  while (p < d) p *= 10;
  while (p > d) p *= 0.1;
  out->firstMajor = CeilMultiple(lo, p);
  if (out->firstMajor < lo || out->firstMajor >= hi) {
    out->majorStep = p * 0.1;
    out->firstMajor = CeilMultiple(lo, out->majorStep);
  } else {
    out->majorStep = p < minStep ? 10 * p : p;
  }
  out->minorStep = MinorStep(out->majorStep, minStep);
  out->firstMinor = CeilMultiple(lo, out->minorStep);
  if (withLabels && !LabelsFromTicks(lo, limit, minLabelStep, out)) {
    LabelsFromPower(lo, limit, p, minLabelStep, out);
  }
  return true;
}

bool ChooseLogTicks(double lo, double hi, double /*limit*/, double minRatio, double minLabelRatio,
                    LogTicks* out) {
  const double* every = LogTickTable(kTableEveryDecade);
  *out = {1.0, every, every, every};
  if (std::isnan(lo) || std::isnan(hi)) return false;
  if (std::fabs(hi - lo) < 1e-8) {
    out->decade = lo;
    return false;
  }
  if (lo > hi) std::swap(lo, hi);
  // Bounds outside this range would run the decade search off the doubles.
  if (!(lo >= 1e-300) || !(hi <= 1e300)) return false;
  double decade = 1.0;
  while (decade < lo) decade *= 10;
  while (decade > lo) decade *= 0.1;
  bool fraction = false;
  const int32_t minor = DensestPassing(kTickTables, minRatio, &fraction);
  bool labelFraction = false;
  const int32_t label = DensestPassing(kLabelTables, minLabelRatio, &labelFraction);
  const int32_t major = minor == 0 ? 0 : (fraction ? kTableDigits : kTableEveryDecade);
  *out = {decade, kTickTables[minor], kTickTables[major], kLabelTables[label]};
  return true;
}

}  // namespace vke
