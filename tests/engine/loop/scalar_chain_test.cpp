// Straight runs of scalar instructions done as one: the same results as the
// operators on arrays, and runs that stop at operands that are no scalars,
// at deep expressions, globals and errors, leaving what the instructions
// one by one leave.
#include <gtest/gtest.h>

#include <string>

#include "engine/errors/errors.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::RunCommandLine;
using test::TestHost;

// Every pair of the operands below, combined by the statement (with x and
// y) and by the reference on rows (with the rows X and Y); the count of
// results that differ is checked.
std::string PairsText(const std::string& statement, const std::string& reference) {
  return "xs = [3, -2.5, 0, Inf, -Inf, NaN, 1e308, 7];\n"
         "bad = 0;\n"
         "for i = 1:8\n"
         "  for j = 1:8\n"
         "    x = xs(i); y = xs(j); X = [x x]; Y = [y y];\n"
         "    " +
         statement + "\n    r = " + reference +
         ";\n"
         "    if ~(a == r(1) || (isnan(a) && isnan(r(1)))), bad = bad + 1; end\n"
         "  end\n"
         "end\n"
         "disp(bad == 0)\n";
}

TEST(ScalarRuns, OperatorsAndComparisonsGiveTheArrayResults) {
  const struct {
    const char* statement;
    const char* reference;
  } cases[] = {
      {"a = x + y;", "X + Y"},
      {"a = x - y;", "X - Y"},
      {"a = x .* y;", "X .* Y"},
      {"a = x ./ y;", "X ./ Y"},
      {"a = x .\\ y;", "X .\\ Y"},
      {"a = x * y;", "X .* Y"},
      {"a = x / y;", "X ./ Y"},
      {"a = x \\ y;", "X .\\ Y"},
      {"a = x - y * 2 / x + 1;", "X - Y .* 2 ./ X + 1"},
      {"a = 0.5 - (x - (y - 3));", "0.5 - (X - (Y - 3))"},
      {"if x < y, a = 1; else a = 0; end", "X < Y"},
      {"if x <= y, a = 1; else a = 0; end", "X <= Y"},
      {"if x > y, a = 1; else a = 0; end", "X > Y"},
      {"if x >= y, a = 1; else a = 0; end", "X >= Y"},
      {"if x == y, a = 1; else a = 0; end", "X == Y"},
      {"if x ~= y, a = 1; else a = 0; end", "X ~= Y"},
      {"a = 0; while x + a < y && a < 2, a = a + 1; end", "min(max(ceil(Y - X), 0), 2)"},
  };
  for (const auto& c : cases) {
    TestHost host;
    ASSERT_EQ(RunCommandLine(host.ctx(), PairsText(c.statement, c.reference)), kOk)
        << c.statement << host.Output(2);
    EXPECT_EQ(host.Output(1), "true\n") << c.statement;
  }
}

TEST(ScalarRuns, RunsStopWhereTheInstructionsNeedTheirOwnPaths) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // Indexing, arrays and strings inside scalar arithmetic; an expression
  // deeper than a run holds; a global; a loop variable that held a row.
  ASSERT_EQ(RunCommandLine(ctx,
                           "m = [1 2 3]; s = 'ab'; x = 0.5;\n"
                           "r = 2 * m(2) + 1; disp(r)\n"
                           "q = 1 + m * x; disp(q)\n"
                           "t = x + s; disp(t)\n"
                           "d = 1+(2*(3+(4*(5+(6*(7+(8*(9+(10*x))))))))); disp(d)\n"
                           "global g\ng = 1; g = x * 4; disp(readg())\n"
                           "k = [1 2 3 4]; n = 0;\n"
                           "for k = 1:3, n = n + k; end\ndisp(k), disp(n)\n"
                           "function r = readg()\n  global g\n  r = g;\nendfunction\n"),
            kOk)
      << host.Output(2);
  EXPECT_EQ(host.Output(1),
            "         5\n       1.5         2       2.5\n      97.5      98.5\n      5759\n"
            "         2\n         3\n         6\n");
  // An unknown name stops the run with the error of the name.
  host.ClearOutput();
  EXPECT_NE(RunCommandLine(ctx, "u = x * 2 + nosuch - 1;\n"), kOk);
  EXPECT_NE(host.Output(2).find("nosuch"), std::string::npos) << host.Output(2);
}

}  // namespace
}  // namespace vke
