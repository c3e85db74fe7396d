// The beta and gamma inversions against GNU Octave's values, and the
// distribution functions whose values the formulas fix.
#include "numerics/special/distributions.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>

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

// Values far out in the tails, within a relative tolerance (references from
// mpmath: the normal distribution, and the roots of the regularised
// incomplete functions).
struct TailPoint {
  const char* expression;
  double reference;
  double tolerance;
};

class Distributions : public EvalFixture {
 protected:
  void ExpectTailPoints(std::initializer_list<TailPoint> points) {
    for (const TailPoint& p : points) {
      char check[200];
      std::snprintf(check, sizeof check, "abs((%s) / %.17g - 1) <= %g", p.expression, p.reference,
                    p.tolerance);
      EXPECT_EQ(Eval(check), "true") << check;
    }
  }
};

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

// The density and distribution function inside the support (values from
// mpmath; the distribution functions carry the error function's 2e-9).
struct InteriorPoint {
  const char* name;
  const char* x;
  const char* parameters;
  double pdf;
  double cdf;
};

TEST_F(Distributions, EachDensityAndDistributionInsideItsSupport) {
  const InteriorPoint points[] = {
      {"norm", "1.5", "1, 2", 0.1933340584014246, 0.59870632568292372},
      {"unif", "1.5", "1, 3", 0.5, 0.25},
      {"chi2", "1.5", "3", 0.23079948420818289, 0.31772966966378743},
      {"t", "1.5", "3", 0.12001717451358738, 0.88470806737758847},
      {"t", "1.5", "1", 0.09794150344116636, 0.81283295818900118},
      {"f", "1.5", "3, 5", 0.22244784932731127, 0.67783462869380977},
      {"exp", "1.5", "2", 0.23618327637050735, 0.52763344725898529},
      {"beta", "0.3", "2, 3", 1.764, 0.3483},
      {"rayl", "1.5", "2", 0.28306485074587775, 0.24516039801099266},
      {"cauchy", "1.5", "1, 2", 0.14979288761590149, 0.57797913037736933},
      {"chi", "1.5", "3", 0.58282918049651277, 0.47783281046460869},
      {"gamma", "1.5", "2, 3", 0.1010884432854389, 0.090204010431049865},
      {"half-normal", "1.5", "2", 0.072568488042186011, 0.98331850874993887},
      {"laplace", "1.5", "1, 2", 0.19470019576785122, 0.61059960846429757},
      {"logn", "1.5", "0.5, 0.75", 0.35180950396935727, 0.44984754928501464},
      {"weib", "1.5", "1.5, 2", 0.3392417966105149, 0.47770308641745852},
  };
  for (const InteriorPoint& p : points) {
    const std::string args = std::string("'") + p.name + "', " + p.x + ", " + p.parameters;
    char check[200];
    std::snprintf(check, sizeof check, "abs(pdf(%s) - %.17g) <= 1e-10 * %.17g", args.c_str(), p.pdf,
                  p.pdf);
    EXPECT_EQ(Eval(check), "true") << check;
    std::snprintf(check, sizeof check, "abs(cdf(%s) - %.17g) <= 2e-9", args.c_str(), p.cdf);
    EXPECT_EQ(Eval(check), "true") << check;
  }
}

TEST_F(Distributions, EndsOfTheSupport) {
  // Uniform: the lower bound is inside, the upper one outside.
  EXPECT_EQ(Eval("[pdf('unif', [1 3], 1, 3); cdf('unif', [1 3], 1, 3)]"), "[0.5,0\n0,1]");
  EXPECT_EQ(Eval("[pdf('beta', [0 1], 2, 3); cdf('beta', [0 1], 2, 3)]"), "[0,0\n0,1]");
  // The F density at 0 follows x^(d1/2 - 1); its distribution is 0 below 0.
  EXPECT_EQ(Eval("pdf('f', 0, [1 2 3], 3)"), "[Inf,1,0]");
  EXPECT_EQ(Eval("all(cdf('f', [-Inf -4 -1 0], 2, 3) == 0)"), "true");
  EXPECT_EQ(Eval("[pdf('exp', 0, 2), pdf('half-normal', 0, 2) * pi/4, pdf('gamma', 0, 1, 4)]"),
            "[0.5,1,0.25]");
  EXPECT_EQ(Eval("[abs(pdf('chi', 0, 1) - sqrt(2/pi)) < 1e-15, pdf('weib', 0, 1, 4), "
                 "pdf('gamma', 0, 0.5, 1)]"),
            "[1,0.25,Inf]");
  const char* lowerBoundedAtZero[] = {
      "'chi2', x, 3",        "'f', x, 3, 5",         "'exp', x, 2",
      "'rayl', x, 2",        "'chi', x, 3",          "'gamma', x, 2, 3",
      "'half-normal', x, 2", "'logn', x, 0.5, 0.75", "'weib', x, 1.5, 2"};
  for (const char* args : lowerBoundedAtZero) {
    const std::string a = args;
    EXPECT_EQ(Eval("x = 0; cdf(" + a + ")"), "0") << a;
    EXPECT_EQ(Eval("x = -1; [pdf(" + a + "), cdf(" + a + ")]"), "[0,0]") << a;
  }
  // Every density vanishes at both infinities, where the distribution is 0
  // and 1.
  const char* all[] = {"'norm', x, 1, 2",    "'unif', x, 1, 3",      "'chi2', x, 3",
                       "'t', x, 3",          "'f', x, 3, 5",         "'exp', x, 2",
                       "'beta', x, 2, 3",    "'rayl', x, 2",         "'cauchy', x, 1, 2",
                       "'chi', x, 3",        "'gamma', x, 2, 3",     "'half-normal', x, 2",
                       "'laplace', x, 1, 2", "'logn', x, 0.5, 0.75", "'weib', x, 1.5, 2"};
  for (const char* args : all) {
    const std::string a = args;
    EXPECT_EQ(Eval("x = [-Inf Inf]; [pdf(" + a + "); cdf(" + a + ")]"), "[0,0\n0,1]") << a;
  }
}

TEST_F(Distributions, LowerTailsKeepTheirRelativeAccuracy) {
  ExpectTailPoints({
      {"cdf('norm', -10)", 7.6198530241605261e-24, 1e-9},
      {"cdf('norm', -30)", 4.9067139271481871e-198, 1e-9},
      {"cdf('norm', -19, 1, 2)", 7.6198530241605261e-24, 1e-9},
      {"cdf('logn', exp(-10))", 7.6198530241605261e-24, 1e-9},
  });
}

TEST_F(Distributions, InversesFarOutInTheTails) {
  ExpectTailPoints({
      {"icdf('t', 1 - 1e-8, 1)", 31830988.458436002, 1e-10},
      {"icdf('t', 1e-12, 3)", -10331.108244292486, 1e-10},
      {"icdf('t', 1e-100, 2)", -7.0710678118654752e49, 1e-10},
      {"icdf('t', 0.5 + 1e-10, 3)", 2.720699271462975e-10, 1e-10},
      {"icdf('chi2', 1e-10, 1)", 1.5707963267948967e-20, 1e-10},
      {"icdf('chi2', 1e-100, 3)", 5.2093970786780451e-67, 1e-10},
      {"icdf('chi2', 0.99, 1000)", 1106.9689943522173, 1e-10},
      {"icdf('gamma', 1e-5, 0.1, 2)", 1.2146096724815853e-50, 1e-9},
      {"icdf('beta', 1e-6, 0.5, 3)", 2.844444444445523e-13, 1e-10},
      {"icdf('beta', 1e-100, 0.5, 3)", 2.8444444444444445e-201, 1e-10},
      // 1 - x to the spacing of the doubles next to 1.
      {"1 - icdf('beta', 0.999999, 3, 0.5)", 2.844444444609111e-13, 4e-4},
      // A tiny shape puts the root next to its end of [0, 1] whichever half
      // p lies in.
      {"icdf('beta', 0.7, 0.01, 200)", 9.1774669299705694e-19, 1e-9},
      {"icdf('beta', 0.3, 200, 0.01)", 1, 0},
      {"icdf('f', 1 - 1e-8, 2, 3)", 323163.70242223099, 1e-10},
      {"icdf('f', 1e-100, 3, 4)", 1.559476127046862e-67, 1e-10},
      // A small shape amplifies the rounding of the
      // incomplete gamma by 1/a; the iteration must
      // still settle.
      {"icdf('chi2', 0.3, 0.01)", 2.994890789311312e-105, 1e-8},
  });
}

}  // namespace
}  // namespace vke
