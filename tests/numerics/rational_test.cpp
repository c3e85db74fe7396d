// Rational functions at a complex point: both branches of the division and
// the rules for a zero denominator.
#include "numerics/rational.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace vke {
namespace {

TEST(Rational, QuotientsAtComplexPoints) {
  // (s + 1) / (s^2 + 2) at s = 1 + 2i: (2 + 2i) / (-1 + 4i) = (6 - 10i) / 17.
  const double num[] = {1, 1}, den[] = {1, 0, 2};
  ComplexValue v = EvalRationalAtComplex(num, 2, den, 3, {1, 2});
  EXPECT_NEAR(v.re, 6.0 / 17, 1e-15);
  EXPECT_NEAR(v.im, -10.0 / 17, 1e-15);
  // A denominator with the larger real part: at s = 3, 4 / 11.
  v = EvalRationalAtComplex(num, 2, den, 3, {3, 0});
  EXPECT_DOUBLE_EQ(v.re, 4.0 / 11);
  EXPECT_EQ(v.im, 0);
  // Huge parts do not overflow in between.
  const double big[] = {1e200}, huge[] = {1e300, 1e300};
  v = EvalRationalAtComplex(big, 1, huge, 2, {0, 1});
  EXPECT_NEAR(v.re, 0.5e-100, 1e-110);
  EXPECT_NEAR(v.im, -0.5e-100, 1e-110);
}

TEST(Rational, ZeroDenominators) {
  const double one[] = {1}, minus[] = {-1}, zero[] = {0}, s[] = {1, 0}, d[] = {0};
  ComplexValue v = EvalRationalAtComplex(one, 1, d, 1, {2, 0});
  EXPECT_EQ(v.re, HUGE_VAL);
  EXPECT_EQ(v.im, 0);
  EXPECT_EQ(EvalRationalAtComplex(minus, 1, d, 1, {2, 0}).re, -HUGE_VAL);
  EXPECT_TRUE(std::isnan(EvalRationalAtComplex(zero, 1, d, 1, {2, 0}).re));
  // A numerator with an imaginary part: both parts NaN.
  v = EvalRationalAtComplex(s, 2, d, 1, {0, 1});
  EXPECT_TRUE(std::isnan(v.re) && std::isnan(v.im));
}

}  // namespace
}  // namespace vke
