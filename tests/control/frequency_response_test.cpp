// Rational functions at complex points, ranges and horizons from the poles,
// and state-space responses, against closed forms.
#include "control/frequency_response.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vke {
namespace {

struct Cx2 {
  double re, im;
};

Cx2 Eval(const std::vector<double>& num, const std::vector<double>& den, double x, double y) {
  Cx2 r{};
  EvalRationalAtComplex(num.data(), int32_t(num.size()) - 1, den.data(), int32_t(den.size()) - 1, x,
                        y, &r.re, &r.im);
  return r;
}

TEST(EvalRational, SmithDivisionBranches) {
  Cx2 r = Eval({1}, {1, 1}, 0, 1);  // |Im D| = |Re D|: second branch
  EXPECT_DOUBLE_EQ(r.re, 0.5);
  EXPECT_DOUBLE_EQ(r.im, -0.5);
  r = Eval({1, 0}, {1, 4}, 0, 1);  // i / (i + 4), |Im D| < |Re D|
  EXPECT_DOUBLE_EQ(r.re, 1.0 / 17);
  EXPECT_DOUBLE_EQ(r.im, 4.0 / 17);
  r = Eval({1}, {1, 0}, 0, 2);  // 1 / 2i, Re D = 0
  EXPECT_DOUBLE_EQ(r.re, 0);
  EXPECT_DOUBLE_EQ(r.im, -0.5);
  // D = 0: the sign of Re N, NaN for 0, and NaN in both parts for complex N.
  r = Eval({3}, {1, 0}, 0, 0);
  EXPECT_EQ(r.re, INFINITY);
  EXPECT_EQ(r.im, 0);
  r = Eval({-3}, {1, 1}, -1, 0);
  EXPECT_EQ(r.re, -INFINITY);
  r = Eval({1, 0}, {1, 0}, 0, 0);
  EXPECT_TRUE(std::isnan(r.re));
  EXPECT_EQ(r.im, 0);
  r = Eval({1, 0}, {1, 0, 1}, 0, 1);  // N = i, D = 0
  EXPECT_TRUE(std::isnan(r.re) && std::isnan(r.im));
  // Large arguments do not overflow in the division.
  r = Eval({1e300}, {1e300, 1e300}, 0, 1);
  EXPECT_DOUBLE_EQ(r.re, 0.5);
  EXPECT_DOUBLE_EQ(r.im, -0.5);
}

TEST(FrequencyRange, FromRoots) {
  std::vector<double> work(64);
  double lo, hi;
  const double den[] = {1, 101, 100};  // roots -1, -100
  FrequencyRangeTf(den, 2, 1, work.data(), &lo, &hi);
  EXPECT_NEAR(lo, 0.1, 1e-12);
  EXPECT_NEAR(hi, 1000, 1e-9);
  FrequencyRangeTf(den, 2, 0, work.data(), &lo, &hi);
  EXPECT_EQ(lo, 0);
  EXPECT_NEAR(hi, 1000, 1e-9);
  const double wide[] = {1, 1000.001, 1};  // roots -0.001, -1000
  FrequencyRangeTf(wide, 2, 1, work.data(), &lo, &hi);
  EXPECT_NEAR(lo, 1, 1e-9);
  EXPECT_NEAR(hi, 1e4, 1e-6);
  const double one = 1;
  FrequencyRangeTf(&one, 0, 1, work.data(), &lo, &hi);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 10);
  // Every root at the origin ranges like a system without poles.
  const double integrator[] = {1, 0}, doubleIntegrator[] = {1, 0, 0};
  FrequencyRangeTf(integrator, 1, 1, work.data(), &lo, &hi);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 10);
  FrequencyRangeTf(doubleIntegrator, 2, 0, work.data(), &lo, &hi);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 10);
  // Degree 7 with a root of magnitude 2e6: capped at 1e6.
  const double high[] = {1, 2e6, 0, 0, 0, 0, 0, 0};
  FrequencyRangeTf(high, 7, 0, work.data(), &lo, &hi);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 1e6);
  FrequencyRangeTf(high, 7, 1, work.data(), &lo, &hi);
  EXPECT_EQ(lo, 100);
  const double a[] = {-1, 0, 0, -100};
  FrequencyRangeSs(a, 2, 1, work.data(), &lo, &hi);
  EXPECT_NEAR(lo, 0.1, 1e-12);
  EXPECT_NEAR(hi, 1000, 1e-9);
}

TEST(TimeHorizon, FromRoots) {
  std::vector<double> work(64);
  double h;
  const double den[] = {1, 3, 2};
  TimeHorizonTf(den, 2, work.data(), &h);
  EXPECT_NEAR(h, 15, 1e-12);
  const double withOrigin[] = {1, 1, 0};  // -1 and 0: the origin adds nothing
  TimeHorizonTf(withOrigin, 2, work.data(), &h);
  EXPECT_NEAR(h, 10, 1e-12);
  const double z[] = {1, -0.5};
  TimeHorizonTfDiscrete(z, 1, 1, work.data(), &h);
  EXPECT_NEAR(h, 14.4269504088896, 1e-12);
  // 120 slow poles at -0.0011 sum to more than the cap.
  std::vector<double> slow(120 * 120), big(3 * 120 + 120 * 120);
  for (int k = 0; k < 120; k++) slow[k * 121] = -0.0011;
  TimeHorizonSs(slow.data(), 120, big.data(), &h);
  EXPECT_EQ(h, kMaxTimeHorizon);
  const double integrator[] = {1, 0};
  TimeHorizonTf(integrator, 1, work.data(), &h);
  EXPECT_EQ(h, 10);
  const double a[] = {-1, 0, 0, -2}, ad[] = {0.5};
  TimeHorizonSs(a, 2, work.data(), &h);
  EXPECT_NEAR(h, 15, 1e-12);
  TimeHorizonSsDiscrete(ad, 1, 1, work.data(), &h);
  EXPECT_NEAR(h, 14.4269504088896, 1e-12);
}

TEST(StateSpaceResponse, SingleInputAndSingularValues) {
  std::vector<double> work(256);
  const double a = -1, b = 1, c = 1;
  double re, im;
  SsResponseSingleInput(&a, &b, &c, nullptr, 1, 1, 0, 1, &re, &im, work.data());
  EXPECT_NEAR(re, 0.5, 1e-15);
  EXPECT_NEAR(im, -0.5, 1e-15);
  const double d = 2;
  SsResponseSingleInput(&a, &b, &c, &d, 1, 1, 0, 1, &re, &im, work.data());
  EXPECT_NEAR(re, 2.5, 1e-15);
  // diag(1/(s+1), 2/(s+2)) at w = 1.
  const double a2[] = {-1, 0, 0, -2}, b2[] = {1, 0, 0, 2}, c2[] = {1, 0, 0, 1};
  ASSERT_LE(SsSingularValuesWork(2, 2, 2), int64_t(work.size()));
  double sv[2];
  SsSingularValues(a2, c2, b2, nullptr, 2, 2, 2, 0, 1, sv, work.data());
  EXPECT_NEAR(sv[0], 0.894427190999916, 1e-12);
  EXPECT_NEAR(sv[1], 0.707106781186547, 1e-12);
}

}  // namespace
}  // namespace vke
