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
