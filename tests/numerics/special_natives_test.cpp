// The special-function natives on source text: shapes, scalar expansion,
// complex and integer arguments, and their codes.
#include <gtest/gtest.h>

#include "tests/host/eval_fixture.hpp"

namespace vke {
namespace {

using namespace test;

class SpecialNatives : public EvalFixture {};

TEST_F(SpecialNatives, OneArgumentFunctionsKeepShape) {
  EXPECT_EQ(Eval("gamma(5)"), "24");
  EXPECT_EQ(Eval("factorial([0 5 2.5 -1])"), "[1,120,NaN,NaN]");
  EXPECT_EQ(Eval("gamma([0 -1])"), "[-Inf,Inf]");
  EXPECT_EQ(Eval("erf([-Inf Inf])"), "[-1,1]");
  EXPECT_EQ(Eval("erfc(-Inf)"), "2");
  EXPECT_EQ(Eval("erfinv([1 -1 2])"), "[Inf,-Inf,NaN]");
  EXPECT_EQ(Eval("gammaln([-1 0])"), "[NaN,Inf]");
  EXPECT_EQ(Eval("size(erf(zeros(2, 0)))"), "[2,0]");
  EXPECT_EQ(Eval("size(gamma(ones(2, 3, 2)))"), "[2,3,2]");
  EXPECT_EQ(Eval("erf(0.5 + 2i) == erf(0.5)"), "true");
  EXPECT_EQ(Eval("erf([0.5 + 2i, 1])"), Eval("erf([0.5 1])"));
  EXPECT_EQ(Eval("gamma(int8(5))"), "24");
  EXPECT_EQ(Eval("class(gamma(int8(5)))"), "'double'");
  EXPECT_EQ(Eval("erf({1})"), "error 44");
}

TEST_F(SpecialNatives, ExactFactorialsAndTheEndsOfGamma) {
  // Every n! up to 22 is a double; the running product of doubles is exact.
  EXPECT_EQ(Eval("all(factorial(0:22) == cumprod([1 1:22]))"), "true");
  EXPECT_EQ(Eval("factorial(17) == 355687428096000"), "true");
  EXPECT_EQ(Eval("abs(factorial(23) / 25852016738884976640000 - 1) < 1e-13"), "true");
  EXPECT_EQ(Eval("factorial([171 Inf])"), "[Inf,Inf]");
  // ln Gamma near 0 is -ln x; the quotient inside must not overflow.
  EXPECT_EQ(Eval("abs(gammaln(1e-307) - 706.893623549172025) < 1e-10"), "true");
  EXPECT_EQ(Eval("abs(gammaln(1e-310) - 713.801378828154162) < 1e-10"), "true");
  EXPECT_EQ(Eval("gammaln(Inf)"), "Inf");
  EXPECT_EQ(Eval("gammainc([Inf NaN 1], [2 2 NaN])"), "[1,NaN,NaN]");
  EXPECT_EQ(Eval("gammainc([0 5 Inf], Inf)"), "[0,0,NaN]");
  // The continued fraction settles on a last factor one unit above 1.
  EXPECT_EQ(Eval("abs(gammainc(1.186, 0.05) - 0.99143750253116660) < 1e-12"), "true");
}

TEST_F(SpecialNatives, RootsOfPerfectPowersAreExact) {
  EXPECT_EQ(Eval("nthroot(64, 3)"), "4");
  EXPECT_EQ(Eval("k = 1:2000; all(nthroot(k.^3, 3) == k) && all(nthroot(-k.^3, 3) == -k)"), "true");
  EXPECT_EQ(Eval("k = 1:180; all(nthroot(k.^7, 7) == k)"), "true");
  EXPECT_EQ(Eval("nthroot([8 0.125], -3)"), "[0.5,2]");
  EXPECT_EQ(Eval("nthroot([0 Inf -Inf 2], [3 3 3 Inf])"), "[0,Inf,-Inf,1]");
  EXPECT_EQ(Eval("all(nthroot([1e-320 1e308], 2) == sqrt([1e-320 1e308]))"), "true");
}

TEST_F(SpecialNatives, CallsThroughFunctionValuesConvertAsDirectCallsDo) {
  EXPECT_EQ(Eval("feval('erf', int8(1)) == erf(int8(1))"), "true");
  EXPECT_EQ(Eval("f = @erf; f(int8(1)) == erf(1)"), "true");
  EXPECT_EQ(Eval("g = @(x) erf(x); g(uint16(1)) == erf(1)"), "true");
  EXPECT_EQ(Eval("[feval(@beta, int8(2), 3), feval('gamma', true), feval('erf', 'a')]"),
            Eval("[beta(2, 3), gamma(1), erf(97)]"));
  EXPECT_EQ(Eval("feval('nchoosek', uint8(5), 2)"), "10");
  EXPECT_EQ(Eval("feval('erf', {1})"), "error 43");
  // A refused call leaves the values beside it alone.
  EXPECT_EQ(Eval("try, a = [int8(2), feval('erf', {1})]; catch, a = 0; end; a"), "0");
}

TEST_F(SpecialNatives, TwoArgumentFunctions) {
  EXPECT_EQ(Eval("abs(gammainc(3, 2) - 0.8008517265285442) < 1e-9"), "true");
  EXPECT_EQ(Eval("gammainc(0, [1 2 3])"), "[0,0,0]");
  EXPECT_EQ(Eval("abs(beta(2, 3) - 1/12) < 1e-10"), "true");
  EXPECT_EQ(Eval("betaln(-1, 2)"), "NaN");
  EXPECT_EQ(Eval("nthroot([-27 27], 3)"), "[-3,3]");
  EXPECT_EQ(Eval("nthroot(-16, 4)"), "NaN");
  EXPECT_EQ(Eval("size(beta(ones(2, 1, 2), 3))"), "[2,1,2]");
  EXPECT_EQ(Eval("beta([1 2], [1 2 3])"), "error 20");
  EXPECT_EQ(Eval("beta({1}, 2)"), "error 44");
}

TEST_F(SpecialNatives, HypotEdgeCases) {
  EXPECT_EQ(Eval("hypot(3, 4)"), "5");
  EXPECT_EQ(Eval("hypot(3 + 4i, 0)"), "5");
  EXPECT_EQ(Eval("hypot([0 Inf NaN NaN], [0 NaN Inf 1])"), "[0,Inf,Inf,NaN]");
  EXPECT_EQ(Eval("hypot(3e300, 4e300)"), "5e300");
  EXPECT_EQ(Eval("hypot([1 2], [1 2 3])"), "error 20");
}

}  // namespace
}  // namespace vke
