// Tick choice of linear and logarithmic axes.
#include "graphics/ticks.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace vke {
namespace {

LinearTicks Linear(double lo, double hi, double limit, double minStep, double minLabelStep) {
  LinearTicks t{};
  EXPECT_TRUE(ChooseLinearTicks(lo, hi, limit, minStep, minLabelStep, true, &t));
  return t;
}

void ExpectTicks(const LinearTicks& t, std::vector<double> want) {
  const double got[6] = {t.firstMinor, t.minorStep,  t.firstMajor,
                         t.majorStep,  t.firstLabel, t.labelStep};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(got[i], want[i], 1e-12) << "field " << i;
}

TEST(LinearTicks, ChoosesTicksAndLabelsForTypicalRanges) {
  // Labels fall back from the minor step to a tenth, a fifth or a half of
  // the major step.
  ExpectTicks(Linear(0, 1, 1, 0.01, 0.06), {0, 0.02, 0, 1, 0, 0.1});
  ExpectTicks(Linear(0, 1, 1, 0.01, 0.3), {0, 0.02, 0, 1, 0, 0.5});
  ExpectTicks(Linear(0, 100, 100, 3, 20), {0, 5, 0, 100, 0, 20});
  ExpectTicks(Linear(-3.2, 7.9, 7.9, 0.1, 1.2), {-3.2, 0.2, 0, 10, -2, 2});
  // Reversed: the same ticks; the limit is not swapped, so no label fits
  // and the search ends at a twentieth of ten times the power.
  ExpectTicks(Linear(1, 0, 0, 0.01, 0.06), {0, 0.02, 0, 1, 0, 0.5});
  ExpectTicks(Linear(7.9, -3.2, 7.9, 0.1, 1.2), {-3.2, 0.2, 0, 10, -2, 2});
  ExpectTicks(Linear(-5, -7, -5, 0.1, 1.2), {-7, 0.2, -7, 1, -6, 2});
}

TEST(LinearTicks, RefusesDegenerateRanges) {
  LinearTicks t{};
  EXPECT_FALSE(ChooseLinearTicks(2, 2 + 1e-9, 3, 0.1, 0.1, true, &t));
  ExpectTicks(t, {2 + 5e-10, 1, 2 + 5e-10, 1, 2 + 5e-10, 1});
  EXPECT_FALSE(ChooseLinearTicks(NAN, 2, 3, 0.1, 0.1, true, &t));
  ExpectTicks(t, {1, 1, 1, 1, 1, 1});
  EXPECT_FALSE(ChooseLinearTicks(0, 1e19, 1e19, 0.1, 0.1, true, &t));
  EXPECT_FALSE(ChooseLinearTicks(0, INFINITY, 1, 0.1, 0.1, true, &t));
}

// Over ranges of every magnitude and either order: steps at least the
// minima, the minor step dividing the major step, and labels inside the
// range below the limit.
TEST(LinearTicks, KeepsItsPromisesOverRandomRanges) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int i = 0; i < 3000; ++i) {
    const double magnitude = std::pow(10, 12 * unit(gen) - 6);
    const double lo = (unit(gen) - 0.5) * magnitude * 4;
    const double width = magnitude * (0.05 + unit(gen));
    const double hi = lo + width;
    const double minStep = width * (0.001 + 0.5 * unit(gen));
    const double minLabelStep = width * (0.01 + 0.9 * unit(gen));
    const double limit = hi - width * 0.3 * unit(gen);
    LinearTicks t{};
    const bool reversed = i % 2 == 1;
    ASSERT_TRUE(ChooseLinearTicks(reversed ? hi : lo, reversed ? lo : hi, limit, minStep,
                                  minLabelStep, true, &t));
    const double eps = width * 1e-9;
    EXPECT_GE(t.minorStep, minStep * (1 - 1e-12));
    EXPECT_GE(t.majorStep, minStep * (1 - 1e-12));
    EXPECT_GE(t.labelStep, minLabelStep * (1 - 1e-12));
    const double ratio = t.majorStep / t.minorStep;
    EXPECT_NEAR(ratio, std::round(ratio), 1e-9);
    EXPECT_GE(t.firstMinor, lo - eps);
    EXPECT_LT(t.firstMinor, lo + t.minorStep + eps);
    EXPECT_GE(t.firstLabel, lo - eps) << lo << " " << hi;
    WalkLinearSteps(t.firstLabel, t.labelStep, limit, [&](double v) {
      EXPECT_GE(v, lo - eps);
      EXPECT_LT(v, hi);
    });
  }
}

TEST(LinearTicks, WalkSurvivesStepsLostInRounding) {
  int n = 0;
  WalkLinearSteps(1e16, 0.1, 1e16 + 100, [&](double) { ++n; });
  EXPECT_GT(n, 900);
  EXPECT_LT(n, 1100);
  n = 0;
  WalkLinearSteps(0, 0, 1, [&](double) { ++n; });
  WalkLinearSteps(0, 1, INFINITY, [&](double) { ++n; });
  EXPECT_EQ(n, 0);
}

int TickIndex(const double* table) {
  for (int i = 0; LogTickTable(i) != nullptr; ++i) {
    if (LogTickTable(i) == table) return i;
  }
  return -1;
}

int LabelIndex(const double* table) {
  for (int i = 0; LogLabelTable(i) != nullptr; ++i) {
    if (LogLabelTable(i) == table) return i;
  }
  return -1;
}

TEST(LogTicks, DensityFollowsTheMinimumRatio) {
  struct Case {
    double ratio;
    int minor;
    int major;
  };
  for (const Case& c : {Case{2.0, 6, 5}, Case{1.5, 6, 5}, Case{1.15, 7, 5}, Case{1.05, 10, 8},
                        Case{1e7, 0, 0}, Case{1.01, 11, 8}}) {
    LogTicks t{};
    ASSERT_TRUE(ChooseLogTicks(1, 100, 100, c.ratio, c.ratio, &t));
    EXPECT_EQ(TickIndex(t.minor), c.minor) << c.ratio;
    EXPECT_EQ(TickIndex(t.major), c.major) << c.ratio;
  }
  LogTicks t{};
  ASSERT_TRUE(ChooseLogTicks(5, 0.02, 5, 1.5, 1.12, &t));
  EXPECT_NEAR(t.decade, 0.01, 1e-15);
  EXPECT_EQ(LabelIndex(t.label), 8);  // 1 ... 6, 8 passes 1.12; every digit does not
  ASSERT_TRUE(ChooseLogTicks(3e5, 2e7, 2e7, 1.5, 1.5, &t));
  EXPECT_NEAR(t.decade, 1e5, 1e-6);
}

TEST(LogTicks, RefusesRangesItCannotWalk) {
  LogTicks t{};
  EXPECT_FALSE(ChooseLogTicks(NAN, 10, 10, 2, 2, &t));
  EXPECT_EQ(t.decade, 1);
  EXPECT_EQ(TickIndex(t.minor), 5);
  EXPECT_EQ(LabelIndex(t.label), 5);
  EXPECT_FALSE(ChooseLogTicks(3, 3 + 1e-9, 10, 2, 2, &t));
  EXPECT_EQ(t.decade, 3);
  // Not a positive finite range: no decade search, no walk.
  EXPECT_FALSE(ChooseLogTicks(-1, 10, 10, 2, 2, &t));
  EXPECT_FALSE(ChooseLogTicks(0, 10, 10, 2, 2, &t));
  EXPECT_FALSE(ChooseLogTicks(1, INFINITY, 10, 2, 2, &t));
}

TEST(LogTicks, TablesAscendAndWalkByDecades) {
  for (auto table : {&LogTickTable, &LogLabelTable}) {
    for (int i = 0; table(i) != nullptr; ++i) {
      const double* e = table(i);
      EXPECT_EQ(e[0], 1);
      for (; e[1] > 0; ++e) EXPECT_LT(e[0], e[1]) << i;
      EXPECT_LT(e[1], -e[0]) << i;  // the step to the next group leaves the decade
    }
  }
  std::vector<double> seen;
  // The walk stops once the decade reaches the end.
  WalkLogTable(LogTickTable(6), 0.01, 5, [&](double v) { seen.push_back(v); });
  const std::vector<double> want = {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5};
  ASSERT_EQ(seen.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(seen[i], want[i], 1e-12);
}

}  // namespace
}  // namespace vke
