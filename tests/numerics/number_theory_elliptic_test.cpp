// The number-theoretic and elliptic natives on source text, against GNU
// Octave's values, closed forms and their codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/host/eval_fixture.hpp"
#include "tests/numerics/special_reference.hpp"

namespace vke {
namespace {

using namespace test;

class NumberTheoryElliptic : public EvalFixture {
 protected:
  // Whether the text's value lies within tol of the reference.
  // A setup statement may come first.
  std::string Near(const std::string& text, double reference, double tol,
                   const std::string& setup = "") {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, " - (%.17g)) <= %.17g", reference, tol);
    return Eval(setup + "abs(" + text + buffer);
  }
};

TEST_F(NumberTheoryElliptic, BinomialCoefficientsAreExactBelowTwoTo53) {
  for (const auto& r : ReadSpecialReferences("nchoosek")) {
    char text[64];
    std::snprintf(text, sizeof text, "nchoosek(%g, %g)", r.v[0], r.v[1]);
    EXPECT_EQ(Near(text, r.v[2], r.v[2] < 9007199254740992.0 ? 0 : 1e-9 * r.v[2]), "true") << text;
  }
  EXPECT_EQ(Eval("nchoosek([10 33 40], 3)"), "[120,5456,9880]");
  EXPECT_EQ(Eval("nchoosek(5, 6)"), "error 107");
  EXPECT_EQ(Eval("nchoosek(5.5, 2)"), "error 107");
  EXPECT_EQ(Eval("nchoosek(-1, 0)"), "error 107");
  EXPECT_EQ(Eval("nchoosek(NaN, 1)"), "error 107");
}

TEST_F(NumberTheoryElliptic, BinomialCoefficientsBeyondTwoTo53AndAtTheEnds) {
  EXPECT_EQ(Eval("nchoosek(56, 28) == 7648690600760440"), "true");  // just below 2^53
  EXPECT_EQ(Eval("nchoosek(2^53, 1) == 2^53"), "true");
  EXPECT_EQ(Eval("nchoosek(1e9, 2) == 499999999500000000"), "true");
  // Exact integer values, rounded once to a double.
  EXPECT_EQ(Eval("nchoosek(1e15, 2) == 499999999999999500000000000000"), "true");
  EXPECT_EQ(Eval("nchoosek(1e9, 1e9 - 2) == 499999999500000000"), "true");
  EXPECT_EQ(Near("nchoosek(1e9, 5)", 8.3333332500000002917e+42, 1e-15 * 8.33e42), "true");
  EXPECT_EQ(Near("nchoosek(1000, 500)", 2.7028824094543656952e+299, 1e-13 * 2.7e299), "true");
  EXPECT_EQ(Eval("nchoosek(1030, 515)"), "Inf");  // 2.86e308
  EXPECT_EQ(Eval("nchoosek(1e6, 5e5)"), "Inf");
  EXPECT_EQ(Eval("n = [0 1 33 34 1e6 2^53 1e20]; [nchoosek(n, 0); nchoosek(n, n)]"),
            Eval("ones(2, 7)"));
  EXPECT_EQ(Eval("nchoosek([0 1 34 1e6], [0 1 1 1])"), "[1,1,34,1000000]");
}

TEST_F(NumberTheoryElliptic, FactorsGcdAndLcm) {
  EXPECT_EQ(Eval("factor(360)"), Eval("[2 2 2 3 3 5]"));
  EXPECT_EQ(Eval("factor(25)"), "[5,5]");
  EXPECT_EQ(Eval("size(factor(1))"), "[0,0]");
  EXPECT_EQ(Eval("factor(2^31 + 1)"), "[3,715827883]");
  EXPECT_EQ(Eval("factor(2^50 * 3)"), Eval("[2 * ones(1, 50), 3]"));
  EXPECT_EQ(Eval("factor(0)"), "error 107");
  EXPECT_EQ(Eval("factor(2.5)"), "error 107");
  EXPECT_EQ(Eval("factor(2^54)"), "error 107");
  EXPECT_EQ(Eval("factor({2})"), "error 44");
  EXPECT_EQ(Eval("gcd(12, 18)"), "6");
  EXPECT_EQ(Eval("gcd([12 -18 0], 18)"), "[6,18,18]");
  EXPECT_EQ(Eval("gcd([0 0 0], [5 -5 0])"), "[5,5,0]");
  EXPECT_EQ(Eval("gcd(2^40 * 3, 2^41)"), Eval("2^40"));
  EXPECT_EQ(Eval("lcm(4, 6)"), "12");
  EXPECT_EQ(Eval("lcm(-4, 6)"), "-12");
  EXPECT_EQ(Eval("lcm([0 5], [5 0])"), "[0,0]");
  EXPECT_EQ(Eval("gcd(1.5, 2)"), "error 107");
  EXPECT_EQ(Eval("lcm(2^63, 2)"), "error 107");
}

TEST_F(NumberTheoryElliptic, Dilogarithm) {
  EXPECT_EQ(Near("diln(0.5)", -0.5822405264650125, 2e-8), "true");
  EXPECT_EQ(Near("diln(0)", -1.6449340668482264, 1e-15), "true");
  EXPECT_EQ(Eval("diln(1)"), "0");
  EXPECT_EQ(Near("diln(2)", 0.8224670334241132, 2e-8), "true");     // pi^2/12
  EXPECT_EQ(Near("diln(0.2)", -1.0747946000082482, 2e-8), "true");  // -Li2(0.8)
}

TEST_F(NumberTheoryElliptic, CompleteAndJacobiAgainstReference) {
  for (const auto& r : ReadSpecialReferences("ellipk"))
    EXPECT_EQ(Near("ellipke(" + std::to_string(r.v[0]) + ")", r.v[1], 1e-13), "true") << r.v[0];
  for (const auto& r : ReadSpecialReferences("ellipe")) {
    char text[80];
    std::snprintf(text, sizeof text, "[k, e] = ellipke(%.17g);", r.v[0]);
    EXPECT_EQ(Near("e", r.v[1], 1e-13, text), "true") << r.v[0];
  }
  for (const auto& r : ReadSpecialReferences("ellipj")) {
    char text[80];
    std::snprintf(text, sizeof text, "[s, c, d] = ellipj(%.17g, %.17g);", r.v[0], r.v[1]);
    EXPECT_EQ(Near("s", r.v[2], 1e-12, text), "true") << text;
    EXPECT_EQ(Near("c", r.v[3], 1e-12, text), "true") << text;
    EXPECT_EQ(Near("d", r.v[4], 1e-12, text), "true") << text;
  }
  EXPECT_EQ(Eval("[k, e] = ellipke(1); [k e]"), "[Inf,1]");
  EXPECT_EQ(Eval("[k, e] = ellipke(0); all([k e] == pi/2)"), "true");
  EXPECT_EQ(Eval("[s, c, d] = ellipj([1 2], 0); all([s c d] == [sin([1 2]) cos([1 2]) 1 1])"),
            "true");
  EXPECT_EQ(Near("ellipam(7, 0)", 7 - 2 * 3.141592653589793, 1e-15), "true");
  EXPECT_EQ(Eval("ellipke(2)"), "error 9");
  EXPECT_EQ(Eval("ellipj(1, -0.5)"), "error 9");
  EXPECT_EQ(Eval("ellipj([1 2], [0.1 0.2 0.3])"), "error 20");
}

TEST_F(NumberTheoryElliptic, IncompleteIntegralsForEveryParameter) {
  // Complete at pi/2; values against numerical quadrature of the integrands.
  EXPECT_EQ(Near("ellipf(pi/2, 0.5)", 1.854074677301372, 1e-12), "true");
  EXPECT_EQ(Near("ellipe(pi/2, 0.5)", 1.350643881047675, 1e-13), "true");
  EXPECT_EQ(Eval("ellipf(0.7, 0)"), "0.7");
  EXPECT_EQ(Near("ellipf(4, 0.7)", 5.088975077596994, 1e-12), "true");
  EXPECT_EQ(Near("ellipe(-2.5, 0.7)", -1.871329430383859, 1e-12), "true");
  EXPECT_EQ(Near("ellipe(7, 0.3)", 6.481303624023012, 1e-12), "true");
  EXPECT_EQ(Near("ellipf(1, -2)", 0.829560885788341, 1e-12), "true");
  EXPECT_EQ(Near("ellipe(1, -2)", 1.230394816698886, 1e-12), "true");
  EXPECT_EQ(Near("ellipe(0.5, 3)", 0.431851964039486, 1e-12), "true");
  EXPECT_EQ(Near("ellipe(-pi, 1)", -2, 1e-15), "true");
  EXPECT_EQ(Near("ellipe(3*pi, 1)", 6, 1e-15), "true");
}

}  // namespace
}  // namespace vke
