// The core routines of the special functions against GNU Octave's values
// and closed forms, within the accuracy each approximation is built for.
#include "numerics/special/special_core.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tests/numerics/special_reference.hpp"

namespace vke {
namespace {

using test::ReadSpecialReferences;

constexpr double kInf = INFINITY;

TEST(SpecialCore, ErrorFunctionsAgainstReference) {
  for (const auto& r : ReadSpecialReferences("erf"))
    EXPECT_NEAR(ComputeErfOrErfc(r.v[0], false), r.v[1], 2e-9) << r.v[0];
  for (const auto& r : ReadSpecialReferences("erfc"))
    EXPECT_NEAR(ComputeErfOrErfc(r.v[0], true), r.v[1], 2e-9) << r.v[0];
  for (const auto& r : ReadSpecialReferences("erfinv"))
    EXPECT_NEAR(InvertErf(r.v[0]), r.v[1], 1e-9 * std::fabs(r.v[1])) << r.v[0];
  EXPECT_NEAR(ComputeErfOrErfc(0.5, false), 0.5204998778130465, 1e-10);
  EXPECT_NEAR(ComputeErfOrErfc(1.5, false), 0.9661051464753108, 1e-9);
  EXPECT_EQ(ComputeErfOrErfc(-kInf, false), -1);
  EXPECT_EQ(ComputeErfOrErfc(kInf, true), 0);
  EXPECT_EQ(ComputeErfOrErfc(-kInf, true), 2);
  EXPECT_TRUE(std::isnan(ComputeErfOrErfc(NAN, false)));
  EXPECT_EQ(InvertErf(1), kInf);
  EXPECT_EQ(InvertErf(-1), -kInf);
  EXPECT_TRUE(std::isnan(InvertErf(2)));
}

TEST(SpecialCore, GammaFamily) {
  for (const auto& r : ReadSpecialReferences("gamma"))
    EXPECT_NEAR(ComputeGamma(r.v[0], false), r.v[1], 1e-13 * std::fabs(r.v[1])) << r.v[0];
  for (const auto& r : ReadSpecialReferences("gammaln"))
    EXPECT_NEAR(ComputeLogGamma(r.v[0]), r.v[1], 2e-10) << r.v[0];
  EXPECT_EQ(ComputeGamma(5, false), 24);
  EXPECT_NEAR(ComputeGamma(0.5, false), 1.772453850905516, 1e-14);
  EXPECT_EQ(ComputeGamma(0, false), -kInf);
  EXPECT_EQ(ComputeGamma(-1, false), kInf);
  EXPECT_EQ(ComputeGamma(-2, false), -kInf);
  EXPECT_EQ(ComputeGamma(kInf, false), kInf);
  EXPECT_EQ(ComputeGamma(5, true), 120);
  EXPECT_EQ(ComputeGamma(170, true), ComputeGamma(171, false));
  EXPECT_TRUE(std::isnan(ComputeGamma(2.5, true)));
  EXPECT_TRUE(std::isnan(ComputeGamma(-1, true)));
  EXPECT_TRUE(std::isnan(ComputeGamma(-kInf, true)));
  EXPECT_EQ(ComputeLogGamma(0), kInf);
  EXPECT_NEAR(ComputeLogGamma(10), 12.80182748008147, 1e-9);
  EXPECT_NEAR(ComputeBeta(2, 3), 1.0 / 12, 1e-10);
  EXPECT_TRUE(std::isnan(ComputeBeta(-1, 2)));
}

TEST(SpecialCore, IncompleteGammaAndBeta) {
  double p = -1;
  for (const auto& r : ReadSpecialReferences("gammainc")) {
    ASSERT_TRUE(ComputeIncompleteGamma(r.v[1], r.v[0], &p)) << r.v[0] << " " << r.v[1];
    EXPECT_NEAR(p, r.v[2], 1e-9) << r.v[0] << " " << r.v[1];
  }
  ASSERT_TRUE(ComputeIncompleteGamma(2, 0, &p));
  EXPECT_EQ(p, 0);
  ASSERT_TRUE(ComputeIncompleteGamma(2, 3, &p));
  EXPECT_NEAR(p, 0.8008517265285442, 1e-9);
  for (const auto& r : ReadSpecialReferences("betainc")) {
    ASSERT_TRUE(ComputeIncompleteBeta(r.v[0], r.v[1], r.v[2], &p)) << r.v[0];
    EXPECT_NEAR(p, r.v[3], 1e-10) << r.v[0] << " " << r.v[1] << " " << r.v[2];
  }
  ASSERT_TRUE(ComputeIncompleteBeta(1.5, 2, 2, &p));
  EXPECT_TRUE(std::isnan(p));
  ASSERT_TRUE(ComputeIncompleteBeta(0, 2, 2, &p));
  EXPECT_EQ(p, 0);
  ASSERT_TRUE(ComputeIncompleteBeta(1, 2, 2, &p));
  EXPECT_EQ(p, 1);
}

}  // namespace
}  // namespace vke
