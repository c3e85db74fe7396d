// The beta and gamma inversions against GNU Octave's values, and the
// distribution functions whose values the formulas fix.
#include "numerics/special/distributions.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/host/eval_fixture.hpp"
#include "tests/numerics/special_reference.hpp"

namespace vke {
namespace {

using namespace test;

TEST(DistributionInverses, BetaAndGammaAgainstReference) {
  double x = -1;
  for (const auto& r : ReadSpecialReferences("betaincinv")) {
    ASSERT_TRUE(InverseBetaDistribution(r.v[0], r.v[1], r.v[2], &x)) << r.v[0];
    EXPECT_NEAR(x, r.v[3], 1e-9 * r.v[3]) << r.v[0] << " " << r.v[1] << " " << r.v[2];
  }
  for (const auto& r : ReadSpecialReferences("gammaincinv")) {
    ASSERT_TRUE(InverseGammaDistribution(r.v[0], r.v[1], 1, &x)) << r.v[0];
    EXPECT_NEAR(x, r.v[2], 1e-9 * r.v[2]) << r.v[0] << " " << r.v[1];
  }
}

TEST(DistributionInverses, BetaRootsAtTheCoreBranchSwitch) {
  // The incomplete beta switches fractions at the median of symmetric
  // parameters; the iteration must settle there all the same.
  double x = -1;
  for (double a : {0.5, 1.0, 2.0, 3.0, 10.0}) {
    ASSERT_TRUE(InverseBetaDistribution(0.5, a, a, &x)) << a;
    EXPECT_NEAR(x, 0.5, 1e-10) << a;
  }
  ASSERT_TRUE(InverseBetaDistribution(0, 2, 3, &x));
  EXPECT_EQ(x, 0);
  ASSERT_TRUE(InverseBetaDistribution(1, 2, 3, &x));
  EXPECT_EQ(x, 1);
  ASSERT_TRUE(InverseBetaDistribution(1.5, 2, 3, &x));
  EXPECT_TRUE(std::isnan(x));
}

class Distributions : public EvalFixture {};

TEST_F(Distributions, StatedValues) {
  EXPECT_EQ(Eval("abs(cdf('norm', 1.96) - 0.9750021048517795) < 1e-9"), "true");
  EXPECT_EQ(Eval("abs(icdf('norm', 0.975) - 1.959963984540054) < 1e-8"), "true");
  EXPECT_EQ(Eval("abs(icdf('chi2', 0.95, 2) - 5.991464547107979) < 1e-8"), "true");
  EXPECT_EQ(Eval("abs(icdf('t', 0.5, 5)) < 1e-12"), "true");
  EXPECT_EQ(Eval("abs(icdf('t', 0.75, 1) - 1) < 1e-10"), "true");  // tan(pi/4)
  // t with 2 degrees of freedom: (2p - 1)/sqrt(2p(1 - p)).
  EXPECT_EQ(Eval("p = [0.1 0.7 0.99]; all(abs(icdf('t', p, 2) - (2*p - 1)./sqrt(2*p.*(1 - p))) "
                 "< 1e-9)"),
            "true");
  EXPECT_EQ(Eval("abs(pdf('t', 0, 400) - 0.398693019637928) < 1e-9"), "true");
  EXPECT_EQ(Eval("abs(pdf('chi2', 400, 400) - 0.01409886384296110) < 1e-10"), "true");
  EXPECT_EQ(Eval("abs(icdf('chi2', 0.3, 5) - 2 * icdf('gamma', 0.3, 2.5, 1)) < 1e-12"), "true");
  EXPECT_EQ(Eval("abs(cdf('gamma', 990, 1000, 1) - 0.37952137847024)< 1e-9"), "true");
}

}  // namespace
}  // namespace vke
