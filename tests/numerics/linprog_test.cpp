// linprog: optima with and without bounds, the two phases, infeasible and
// unbounded problems, the anti-cycling perturbation that leaves no trace
// in x, the clean-up of a redundant row after phase 1, the pivot budget,
// the codes, the result pushed over c's data and the room the workspace
// takes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builtins/matrix_ops.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/linprog/simplex.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/numerics/linalg_fixture.hpp"
#include "tests/numerics/room_support.hpp"

namespace vke {
namespace {

using test::LinalgFixture;

class Linprog : public LinalgFixture {};

TEST_F(Linprog, Optima) {
  EXPECT_EQ(Show("maxabs(linprog([-1 -1], [1 0; 0 1], [1; 1]) - [1; 1]) <= 1e-12"), "true");
  // Phase 1 from a negative right-hand side: x1 + x2 >= 1, cheapest on x1.
  EXPECT_EQ(Show("maxabs(linprog([1 2], [-1 -1], -1, [0; 0]) - [1; 0]) <= 1e-12"), "true");
  // A lower bound only on the first variable, an upper bound alone mirrors
  // the variable, both bounds add a row.
  EXPECT_EQ(Show("maxabs(linprog([1 -1], [1 1], 4, [0; -Inf], [Inf; 3]) - [0; 3]) <= 1e-12"),
            "true");
  EXPECT_EQ(Show("maxabs(linprog([-1 -2], [1 1], 4, [], [2; 2]) - [2; 2]) <= 1e-12"), "true");
  EXPECT_EQ(Show("maxabs(linprog([1 1], [1 1], 10, [1; 2], [3; 5]) - [1; 2]) <= 1e-12"), "true");
  EXPECT_EQ(Show("same(size(linprog([1 1], [1 1], 10, [1; 2], [3; 5])), [2 1])"), "true");
}

TEST_F(Linprog, InfeasibleAndUnboundedAreNotErrors) {
  EXPECT_EQ(Show("all(isnan(linprog([1 1], [1 0], -1, [0; 0])))"), "true");
  // A free variable with a cost and nothing to hold it.
  EXPECT_EQ(Show("all(linprog([1 1], [0 1], 1) == Inf)"), "true");
  // No rows: only bounds; without bounds zero costs leave x at 0.
  EXPECT_EQ(Show("same(linprog([0 0], zeros(0, 2), zeros(0, 1)), [0; 0])"), "true");
  EXPECT_EQ(Show("all(linprog([1 0], zeros(0, 2), zeros(0, 1)) == Inf)"), "true");
  EXPECT_EQ(Show("same(linprog([1 -1], zeros(0, 2), zeros(0, 1), [2; 0], [5; 7]), [2; 7])"),
            "true");
}

TEST_F(Linprog, CyclingProblemEndsAtTheExactVertex) {
  // Beale's example cycles without the perturbation; x must not carry it.
  Run("x = linprog([-0.75 20 -0.5 6], [0.25 -8 -1 9; 0.5 -12 -0.5 3; 0 0 1 0], "
      "[0; 0; 1], [0; 0; 0; 0]);");
  EXPECT_EQ(Show("maxabs(x - [1; 0; 1; 0]) <= 1e-12"), "true");
}

TEST_F(Linprog, RedundantRowAfterPhaseOne) {
  // x1 + x2 = 1 written as two inequalities: an artificial stays basic at
  // zero in a row where the first candidate's pivot is exactly 0.
  EXPECT_EQ(Show("maxabs(linprog([-1 0], [1 1; -1 -1; 1 0], [1; -1; 0.5], [0; 0]) - "
                 "[0.5; 0.5]) <= 1e-12"),
            "true");
  EXPECT_EQ(Show("maxabs(linprog([1 2], [-1 -1; -2 -2], [-1; -2], [0; 0]) - [1; 0]) <= 1e-12"),
            "true");
}

TEST_F(Linprog, PivotBudget) {
  // Klee and Minty's cube takes 2^n - 1 pivots by the largest reduced cost:
  // 511 fit the budget of 9 rows, 1023 exceed that of 10.
  Run("function [c, A, b] = cube(n)\n  A = zeros(n); b = zeros(n, 1); c = zeros(1, n);\n"
      "  for i = 1:n\n    for j = 1:i-1\n      A(i, j) = 2 ^ (i - j + 1);\n    end\n"
      "    A(i, i) = 1; b(i) = 5 ^ i; c(i) = -2 ^ (n - i);\n  end\nendfunction");
  Run("[c, A, b] = cube(9); x = linprog(c, A, b, zeros(9, 1));");
  EXPECT_EQ(Show("same(x', [0 0 0 0 0 0 0 0 5^9])"), "true");
  Run("[c, A, b] = cube(10);");
  EXPECT_EQ(Show("linprog(c, A, b, zeros(10, 1))"), "error 9");
}

TEST_F(Linprog, Codes) {
  const std::pair<const char*, const char*> cases[] = {
      {"linprog([1; 1], [1 1], 1)", "error 20"},
      {"linprog([1 1 1], [1 1], 1)", "error 20"},
      {"linprog([1 1], [1 1], [1; 1])", "error 20"},
      {"linprog([1 1], [1 1], [1 1])", "error 20"},
      {"linprog([1 1], [1 1], 1, [0; 0; 0])", "error 20"},
      {"linprog([1 1], [1 1], 1, [0 0])", "error 20"},
      {"linprog([1 1], [1 1], 1, [], [1 1])", "error 20"},
      {"linprog({1}, 1, 1)", "error 44"},
      {"linprog(1, {1}, 1)", "error 44"},
  };
  for (auto [text, code] : cases) EXPECT_EQ(Show(text), code) << text;
}

TEST_F(Linprog, NaNDataLeavesTheProblemUndefined) {
  for (const char* text :
       {"linprog([1 1], [NaN 1], 1)", "linprog([NaN 1], [1 1], 1)",
        "linprog([-1 -1], [1 0; 0 1], [1; NaN])", "linprog([1 1], [NaN 1], 1, [0; 0], [1; 1])"}) {
    EXPECT_EQ(Show(std::string("same(size(") + text + "), [2 1]) && all(isnan(" + text + "))"),
              "true")
        << text;
  }
  // A NaN bound is no bound, as before.
  EXPECT_EQ(Show("same(linprog([-1 -1], [1 0; 0 1], [1; 1], [NaN; 0]), [1; 1])"), "true");
}

// Pushes c, A and b of max x1 + x2, x <= 1 (two rows), leaving `free`
// words free above them.
void PushProblem(EngineContext* ctx, int64_t free) {
  ASSERT_NO_FATAL_FAILURE(test::PushFiller(ctx, 2 + 4 + 2, free));
  test::PushArray(ctx, "double", {1, 2}, {-1, -1});
  test::PushArray(ctx, "double", {2, 2}, {1, 0, 0, 1});
  test::PushArray(ctx, "double", {2, 1}, {1, 1});
}

// x is pushed over c's data: the arguments go and the result's data starts
// where c's did, holding x.
TEST(LinprogStack, XTakesThePlaceOfC) {
  test::TestHost host;
  EngineContext* ctx = host.ctx();
  PushProblem(ctx, 1000);
  const double* c = ReadMatrixOperand(ctx, 2).re;
  const uint32_t descTop = ctx->descTop;
  ASSERT_EQ(LinprogNative(ctx, 3, 1, 0), kOk);
  EXPECT_EQ(ctx->descTop, descTop - 6);
  const MatrixOperand x = ReadMatrixOperand(ctx, 0);
  EXPECT_EQ(x.re, c);
  EXPECT_EQ(x.rows, 2);
  EXPECT_EQ(x.cols, 1);
  EXPECT_EQ(test::ReadArray(ctx).re, (std::vector<double>{1, 1}));
}

// With one word less than the workspace linprog fails with 3 and leaves
// its arguments (c not negated); with exactly that much it succeeds.
TEST(LinprogStack, OneWordShortFailsAndLeavesTheArguments) {
  const int64_t need = LinearProgramWorkspace(2, 2);
  for (int64_t free : {need - 1, need}) {
    test::TestHost host;
    EngineContext* ctx = host.ctx();
    PushProblem(ctx, free);
    const uint32_t dataTop = ctx->dataTop;
    if (free < need) {
      EXPECT_EQ(LinprogNative(ctx, 3, 1, 0), kErrDataOverflow);
      EXPECT_EQ(ctx->dataTop, dataTop);
      EXPECT_EQ(test::ReadArray(ctx, 2).re, (std::vector<double>{-1, -1}));
    } else {
      EXPECT_EQ(LinprogNative(ctx, 3, 1, 0), kOk);
    }
  }
}

// A break between two pivots ends the run with 501 and leaves the
// arguments as they were.
TEST(LinprogStack, ABreakStopsThePivots) {
  test::TestHost host;
  EngineContext* ctx = host.ctx();
  PushProblem(ctx, 1000);
  const uint32_t descTop = ctx->descTop;
  host.ScriptBreaks({false, true});
  EXPECT_EQ(LinprogNative(ctx, 3, 1, 0), kErrHalted);
  EXPECT_EQ(ctx->descTop, descTop);
  EXPECT_EQ(test::ReadArray(ctx, 2).re, (std::vector<double>{-1, -1}));
}

}  // namespace
}  // namespace vke
