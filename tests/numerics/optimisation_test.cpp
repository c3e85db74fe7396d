// fminbnd, fminsearch, fzero and quad on source text: their results, extra
// arguments passed to fun, and the exact points they ask for, read from the
// call log; the budgets and give-up rules; the widening of fzero ending on
// a bounded function.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/values/values.hpp"
#include "tests/host/call_log.hpp"
#include "tests/numerics/linalg_fixture.hpp"

namespace vke {
namespace {

using test::ArrayValue;
using test::CallLog;

class Optimisation : public test::LinalgFixture {
 protected:
  // The log's answer f(x) of the first argument, a real scalar.
  void AnswerWith(double (*f)(double)) {
    log.SetAnswer([f](EngineContext* c, const std::vector<ArrayValue>& args) {
      return PushRealScalar(c, f(args.at(0).re.at(0)));
    });
  }
  double Point(size_t call) const { return log.calls().at(call).at(0).re.at(0); }

  CallLog log{ctx};
};

TEST_F(Optimisation, ResultsWithinTheirTolerances) {
  EXPECT_EQ(Show("abs(fminbnd(@(x) (x - 2)^2, [0 5]) - 2) <= 1e-6"), "true");
  Run("[x, f, e] = fminbnd(@cos, [3 4]);");
  EXPECT_EQ(Show("abs(x - pi) <= 1e-5 && abs(f + 1) <= 1e-10 && e"), "true");
  // A start point, and a range of two equal elements, which is one.
  EXPECT_EQ(Show("abs(fminbnd(@(x) (x - 2)^2, 1) - 2) <= 1e-6"), "true");
  EXPECT_EQ(Show("fminbnd(@(x) (x - 2)^2, [1 1]) == fminbnd(@(x) (x - 2)^2, 1)"), "true");
  // Monotone on the interval: the end, found in the bracket search.
  Run("[x, f, e] = fminbnd(@(x) x, [1 4]);");
  EXPECT_EQ(Show("x == 1 && f == 1 && e"), "true");

  EXPECT_EQ(Show("abs(fzero(@cos, 1) - 1.570796326794897) <= 1e-12"), "true");
  EXPECT_EQ(Show("abs(fzero(@cos, [1 2]) - pi / 2) <= 1e-12"), "true");
  EXPECT_EQ(Show("fzero(@(x) x - 3, [3 4])"), "3");

  Run("[x, f, e] = fminsearch(@(x) (x(1) - 1)^2 + (x(2) - 2)^2, [0 0]);");
  EXPECT_EQ(Show("max(abs(x - [1 2])) <= 1e-3 && f <= 1e-6 && e"), "true");
  Run("[x, f, e] = fminsearch(@(x) 1, zeros(0, 3));");
  EXPECT_EQ(Show("same(size(x), [0 3]) && f == 0 && e"), "true");

  EXPECT_EQ(Show("abs(quad(@(x) x.^2, 0, 1) - 1/3) <= 1e-15"), "true");
  EXPECT_EQ(Show("abs(quad(@(x) x, 1, 0) + 0.5) <= 1e-12"), "true");
  EXPECT_EQ(Show("quad(@(x) x, 2, 2)"), "0");
  EXPECT_EQ(Show("abs(quad(@exp, 0, 1) - (exp(1) - 1)) <= 1e-9"), "true");
  // A tolerance below sqrt(eps) is taken as sqrt(eps).
  EXPECT_EQ(Show("quad(@exp, 0, 1, 1e-12) == quad(@exp, 0, 1)"), "true");
}

TEST_F(Optimisation, ExtraArgumentsReachFun) {
  EXPECT_EQ(Show("abs(fzero(@(x, c) x^3 - c, 1, [], 8) - 2) <= 1e-12"), "true");
  EXPECT_EQ(Show("abs(fminbnd(@(x, a, b) (x - a)^2 + b, [0 5], [], 3, 1) - 3) <= 1e-6"), "true");
  EXPECT_EQ(Show("max(abs(fminsearch(@(x, c) sum((x - c).^2), [0 0], [], [3 4]) - [3 4])) <= 1e-3"),
            "true");
  EXPECT_EQ(Show("abs(quad(@(x, c, d) c * x + d, 0, 1, [], [], 3, 1) - 2.5) <= 1e-12"), "true");

  Run("q = quad(@calllog, 0, 1, [], [], 7);");
  ASSERT_FALSE(log.calls().empty());
  for (const auto& call : log.calls()) {
    ASSERT_EQ(call.size(), 2u);
    EXPECT_EQ(call[1].re, std::vector<double>{7});
  }
}

TEST_F(Optimisation, QuadHalvesTheStepUntilTwoSimpsonValuesAgree) {
  AnswerWith([](double x) { return x * x; });
  Run("q = quad(@calllog, 0, 1);");
  // Simpson's rule is exact for x^2: the first test, at phase 4, succeeds.
  const double expected[] = {0, 1, 0.5, 0.25, 0.75, 0.125, 0.375, 0.625, 0.875};
  ASSERT_EQ(log.calls().size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); i++) EXPECT_EQ(Point(i), expected[i]) << i;
  EXPECT_EQ(Show("q == 1/3"), "true");

  // A value that is not finite at a sample ends the call.
  EXPECT_EQ(Show("quad(@(x) 1 / x, 0, 1)"), "error 9");
  EXPECT_EQ(Show("quad(@(x) NaN, 0, 1)"), "error 9");
  // A square root's kink never settles at the strictest tolerance.
  EXPECT_EQ(Show("quad(@(x) sqrt(abs(x - 1/3)), 0, 1, 1e-300)"), "error 9");
}

TEST_F(Optimisation, FminbndBudgetsAndGivingUp) {
  // MaxFunEvals 0 allows exactly one evaluation.
  EXPECT_EQ(Show("fminbnd(@calllog, [0 1], optimset('MaxFunEvals', 0))"), "error 9");
  EXPECT_EQ(log.calls().size(), 1u);
  Run("[x, f, e] = fminbnd(@calllog, [0 1], optimset('MaxFunEvals', 0));");
  EXPECT_EQ(Show("x == 0 && f == 1 && ~e"), "true");
  // Two evaluations: the better end.
  Run("[x, f, e] = fminbnd(@(x) -x, [0 1], optimset('MaxFunEvals', 1));");
  EXPECT_EQ(Show("x == 1 && f == -1 && ~e"), "true");
  // A negative budget refuses the first evaluation whatever is asked.
  EXPECT_EQ(Show("fminbnd(@cos, [3 4], optimset('MaxFunEvals', -1))"), "error 9");
  // The Brent iterations.
  EXPECT_EQ(Show("fminbnd(@cos, [3 4], optimset('MaxIter', 2))"), "error 9");
  Run("[x, f, e] = fminbnd(@cos, [3 4], optimset('MaxIter', 2));");
  EXPECT_EQ(Show("abs(x - pi) < 0.2 && f == cos(x) && ~e"), "true");

  EXPECT_EQ(Show("fminbnd(@(x) NaN, [0 1])"), "error 9");
  Run("[x, f, e] = fminbnd(@(x) -exp(exp(x)), 0);");
  EXPECT_EQ(Show("isinf(f) && f < 0 && ~e && f == -exp(exp(x))"), "true");
  // Moving the lower end outward, the point given up with is the one whose
  // value is held, not the end just moved.
  Run("[x, f, e] = fminbnd(@(x) x, 0, optimset('MaxFunEvals', 4));");
  EXPECT_EQ(Show("f == x && ~e"), "true");
}

TEST_F(Optimisation, FminsearchShapeLimitsAndTies) {
  // Every call of fun receives a 2 x 3 matrix; x has that shape.
  log.SetAnswer([](EngineContext* c, const std::vector<ArrayValue>& args) {
    double sum = 0;
    for (size_t i = 0; i < args[0].re.size(); i++) sum += std::pow(args[0].re[i] - (i + 1.0), 2);
    return PushRealScalar(c, sum);
  });
  Run("[x, f] = fminsearch(@calllog, zeros(2, 3), optimset('MaxIter', 1e5, 'MaxFunEvals', 1e5));");
  for (const auto& call : log.calls()) EXPECT_EQ(call[0].dims, (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(Show("same(size(x), [2 3]) && max(max(abs(x - [1 2 3; 4 5 6]))) <= 1e-6"), "true");

  // The first simplex: x0 less delta / (n + 1) as vertex 0, then each
  // coordinate stepped by 5% of it, at least 0.001.
  AnswerWith([](double) { return std::numeric_limits<double>::quiet_NaN(); });
  const size_t before = log.calls().size();
  EXPECT_EQ(Show("fminsearch(@calllog, [100 0])"), "error 9");
  ASSERT_EQ(log.calls().size(), before + 1);
  const std::vector<ArrayValue>& first = log.calls().back();
  EXPECT_EQ(first[0].re, (std::vector<double>{100 - 5.0 / 3, -0.001 / 3}));

  // Limits: 9 with fewer than three results, else exitflag false.
  EXPECT_EQ(Show("fminsearch(@(x) sum(x.^2), [1 1], optimset('MaxIter', 5))"), "error 9");
  Run("[x, f, e] = fminsearch(@(x) sum(x.^2), [1 1], optimset('MaxFunEvals', 5));");
  EXPECT_EQ(Show("f == sum(x.^2) && ~e"), "true");
  // A constant function: ties pick vertex 0 as the worst and as the one
  // kept in each shrink, so it is returned as it was made.
  Run("[x, f, e] = fminsearch(@(x) 7, [1 2]);");
  EXPECT_EQ(Show("same(x, [1 - 0.05/3, 2 - 0.1/3]) && f == 7 && e"), "true");
  // Infinite values are accepted.
  Run("[x, f, e] = fminsearch(@(x) x^2 + 1 / (x >= 0) - 1, 1);");
  EXPECT_EQ(Show("e && x >= 0 && x <= 1e-6"), "true");
}

TEST_F(Optimisation, FzeroWidensThenNarrows) {
  AnswerWith([](double x) { return x - 5.3; });
  Run("x = fzero(@calllog, 5);");
  ASSERT_GE(log.calls().size(), 3u);
  EXPECT_EQ(Point(0), 4.9);
  EXPECT_EQ(Point(1), 5.1 + 0.4142 * (5.1 - 4.9));
  EXPECT_EQ(Point(2), 4.9 - 0.4142 * (Point(1) - 4.9));
  EXPECT_EQ(Show("abs(x - 5.3) <= 2 * eps * 6.3"), "true");
  // Near 0 the interval starts as [-0.02, 0.02].
  const size_t before = log.calls().size();
  Run("x = fzero(@calllog, 0);");
  EXPECT_EQ(Point(before), -0.02);
  EXPECT_EQ(Point(before + 1), 0.02 + 0.4142 * 0.04);

  // A zero at a bound is that bound; a given interval without a sign change
  // gives 9.
  EXPECT_EQ(Show("fzero(@(x) x - 2, [2 5])"), "2");
  EXPECT_EQ(Show("fzero(@(x) x - 5, [2 5])"), "5");
  EXPECT_EQ(Show("fzero(@(x) x - 1, [2 3])"), "error 9");
  EXPECT_EQ(Show("fzero(@(x) NaN, 1)"), "error 9");
  // TolX 0 is raised to eps.
  EXPECT_EQ(Show("abs(fzero(@(x) x^2 - 2, [0 2], optimset('TolX', 0)) - sqrt(2)) <= 4 * eps"),
            "true");
  // Tiny values of opposite signs are a sign change.
  EXPECT_EQ(Show("abs(fzero(@(x) 1e-200 * (x - 1), [0 3]) - 1) <= 1e-12"), "true");
}

TEST_F(Optimisation, FzeroStopsWideningOnABoundedFunction) {
  EXPECT_EQ(Show("fzero(@(x) 2 + atan(x), 0)"), "error 9");
  EXPECT_EQ(Show("fzero(@(x) 1 + exp(-x^2), 3)"), "error 9");
  // The ends overflow after a few thousand steps of 41%.
  AnswerWith([](double) { return 1.0; });
  EXPECT_EQ(Show("fzero(@calllog, 0)"), "error 9");
  EXPECT_LT(log.calls().size(), 5000u);
  for (size_t i = 0; i < log.calls().size(); i++) ASSERT_TRUE(std::isfinite(Point(i))) << i;
  // MaxFunEvals bounds the widening: at most one evaluation more.
  const size_t before = log.calls().size();
  EXPECT_EQ(Show("fzero(@calllog, 0, optimset('MaxFunEvals', 10))"), "error 9");
  EXPECT_EQ(log.calls().size() - before, 11u);
}

}  // namespace
}  // namespace vke
