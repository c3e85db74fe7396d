// Discretisation and form conversions against closed forms and against each
// other (transfer-function and state-space routes to the same system).
#include "control/conversion_kernels.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "control/frequency_response.hpp"

namespace vke {
namespace {

using Poly = std::vector<double>;

void ExpectPoly(const Poly& got, const Poly& want, double tol) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t k = 0; k < want.size(); k++) EXPECT_NEAR(got[k], want[k], tol) << "coefficient " << k;
}

std::vector<double> Work() {
  return std::vector<double>(4096);
}

TEST(Discretize, ZeroOrderHoldFirstOrder) {
  auto work = Work();
  const double num[] = {1}, den[] = {1, 1};
  Poly numd(1), dend(2);
  ASSERT_TRUE(DiscretizeTfByExpm(num, 0, den, 1, 0.1, numd.data(), dend.data(), work.data()));
  ExpectPoly(numd, {0.0951625819640405}, 1e-14);
  ExpectPoly(dend, {1, -0.90483741803596}, 1e-14);
  // A scaled denominator leaves the system as it is.
  const double num2[] = {3}, den2[] = {3, 3};
  ASSERT_TRUE(DiscretizeTfByExpm(num2, 0, den2, 1, 0.1, numd.data(), dend.data(), work.data()));
  ExpectPoly(numd, {0.0951625819640405}, 1e-14);
  // State space: Ad = e^-ts, Bd = 1 - e^-ts.
  const double a = -1, b = 1;
  double ad, bd;
  ZohStateSpace(&a, &b, 1, 1, 0.1, &ad, &bd, work.data());
  EXPECT_NEAR(ad, std::exp(-0.1), 1e-15);
  EXPECT_NEAR(bd, 1 - std::exp(-0.1), 1e-15);
}

// The companion-matrix route and the state-space route agree on
// second-order systems, strictly proper and proper.
TEST(Discretize, ZeroOrderHoldRoutesAgree) {
  auto work = Work();
  const double den[] = {2, 3, 5};
  const Poly nums[] = {{1}, {1, 2}, {2, 1, 1}};
  for (const Poly& num : nums) {
    const int32_t nd = int32_t(num.size()) - 1;
    Poly numd(nd == 2 ? 3 : 2), dend(3);
    ASSERT_TRUE(
        DiscretizeTfByExpm(num.data(), nd, den, 2, 0.3, numd.data(), dend.data(), work.data()));
    double a[4], b[2], c[2], d, ad[4], bd[2];
    TfToStateSpace(num.data(), nd, den, 2, a, b, c, &d);
    ZohStateSpace(a, b, 2, 1, 0.3, ad, bd, work.data());
    Poly numSs(3), denSs(3);
    ASSERT_TRUE(StateSpaceToTf(ad, bd, c, &d, 0, 2, 1, 1, work.data(), numSs.data(), denSs.data()));
    ExpectPoly(dend, denSs, 1e-13);
    if (nd < 2) numSs.erase(numSs.begin());
    ExpectPoly(numd, numSs, 1e-13);
  }
}

TEST(Discretize, FirstOrderHoldKeepsPolesAndDcGain) {
  auto work = Work();
  const double num[] = {1, 2}, den[] = {1, 3, 2};
  Poly numd(3), dend(3);
  ASSERT_LE(DiscretizeTfViaSsWork(2), int64_t(work.size()));
  ASSERT_TRUE(DiscretizeTfViaSs(num, 1, den, 2, 0.1, numd.data(), dend.data(), work.data()));
  const double p1 = std::exp(-0.1), p2 = std::exp(-0.2);
  ExpectPoly(dend, {1, -(p1 + p2), p1 * p2}, 1e-14);
  EXPECT_NEAR((numd[0] + numd[1] + numd[2]) / (dend[0] + dend[1] + dend[2]), 1.0, 1e-12);
}

TEST(Discretize, BilinearMapAndInverse) {
  auto work = Work();
  const double num[] = {1}, den[] = {1, 1};
  Poly numd(2), dend(2);
  ApplyBilinearMap(num, 0, den, 1, 20, -20, 1, 1, 1, numd.data(), dend.data(), work.data());
  ExpectPoly(numd, {1.0 / 21, 1.0 / 21}, 1e-15);
  ExpectPoly(dend, {1, -19.0 / 21}, 1e-15);
  // The inverse substitution brings a second-order system back.
  const double num2[] = {1, 2, 3}, den2[] = {1, 3, 2};
  Poly n2(3), d2(3), back(3), backDen(3);
  ApplyBilinearMap(num2, 2, den2, 2, 20, -20, 1, 1, 1, n2.data(), d2.data(), work.data());
  ApplyBilinearMap(n2.data(), 2, d2.data(), 2, 0.1, 2, -0.1, 2, 1, back.data(), backDen.data(),
                   work.data());
  ExpectPoly(back, {1, 2, 3}, 1e-12);
  ExpectPoly(backDen, {1, 3, 2}, 1e-12);
}

TEST(Convert, CompanionFormAndBack) {
  auto work = Work();
  const double num[] = {1, 2}, den[] = {1, 3, 2};
  double a[4], b[2], c[2], d;
  TfToStateSpace(num, 1, den, 2, a, b, c, &d);
  ExpectPoly({a, a + 4}, {-3, -2, 1, 0}, 0);
  ExpectPoly({b, b + 2}, {1, 0}, 0);
  ExpectPoly({c, c + 2}, {1, 2}, 0);
  EXPECT_EQ(d, 0);
  Poly n(3), dd(3);
  ASSERT_TRUE(StateSpaceToTf(a, b, c, &d, 0, 2, 1, 1, work.data(), n.data(), dd.data()));
  ExpectPoly(n, {0, 1, 2}, 1e-14);
  ExpectPoly(dd, {1, 3, 2}, 1e-14);
  // A proper system over a scaled denominator keeps its direct term.
  const double numP[] = {4, 2, 2}, denP[] = {2, 6, 4};
  TfToStateSpace(numP, 2, denP, 2, a, b, c, &d);
  EXPECT_EQ(d, 2);
  ASSERT_TRUE(StateSpaceToTf(a, b, c, &d, 0, 2, 1, 1, work.data(), n.data(), dd.data()));
  ExpectPoly(n, {2, 1, 1}, 1e-14);
}

TEST(Discretize, MatchedPolesAndZeros) {
  auto work = Work();
  const double ts = 0.1, e = std::exp(-ts);
  const double num[] = {1}, den[] = {1, 1};
  Poly numd(1), dend(2);
  ASSERT_TRUE(MatchPolesZeros(num, 0, den, 1, ts, numd.data(), dend.data(), work.data()));
  ExpectPoly(dend, {1, -e}, 1e-15);
  ExpectPoly(numd, {1 - e}, 1e-15);
  // Two poles, no zero: one zero at z = -1, gain matched at DC.
  const double den2[] = {1, 3, 2};
  Poly numd2(2), dend2(3);
  ASSERT_TRUE(MatchPolesZeros(num, 0, den2, 2, ts, numd2.data(), dend2.data(), work.data()));
  EXPECT_NEAR(numd2[0], numd2[1], 1e-15);
  EXPECT_NEAR((numd2[0] + numd2[1]) / (dend2[0] + dend2[1] + dend2[2]), 0.5, 1e-14);
  // A zero at the origin: DC gain 0 on both sides, matched at s = i / ts.
  const double zeroNum[] = {1, 0};
  Poly numd3(2);
  ASSERT_TRUE(MatchPolesZeros(zeroNum, 1, den, 1, ts, numd3.data(), dend.data(), work.data()));
  ASSERT_TRUE(std::isfinite(numd3[0]));
  EXPECT_NEAR(numd3[0], -numd3[1], 1e-15);
  double cRe, cIm, dRe, dIm;
  EvalRationalAtComplex(zeroNum, 1, den, 1, 0, 1 / ts, &cRe, &cIm);
  EvalRationalAtComplex(numd3.data(), 1, dend.data(), 1, std::cos(1.0), std::sin(1.0), &dRe, &dIm);
  EXPECT_NEAR(std::hypot(dRe, dIm), std::hypot(cRe, cIm), 1e-14);
  // An integrator: a pole at z = 1, the gain matched at the same point.
  const double integrator[] = {1, 0};
  ASSERT_TRUE(MatchPolesZeros(num, 0, integrator, 1, ts, numd.data(), dend.data(), work.data()));
  ExpectPoly(dend, {1, -1}, 1e-15);
  EXPECT_TRUE(std::isfinite(numd[0]) && numd[0] > 0);
}

}  // namespace
}  // namespace vke
