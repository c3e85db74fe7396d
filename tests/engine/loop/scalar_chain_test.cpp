// Straight runs of scalar instructions done as one: the same results as the
// operators on arrays, and runs that stop at operands that are no scalars,
// at deep expressions, globals and errors, leaving what the instructions
// one by one leave.
#include <gtest/gtest.h>

#include <string>

#include "engine/engine.hpp"
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
      // mod and the functions of one element, inside runs and alone.
      {"a = mod(x, y) - 1;", "mod(X, Y) - 1"},
      {"a = abs(x - y);", "abs(X - Y)"},
      {"a = floor(x / y) + ceil(y);", "floor(X ./ Y) + ceil(Y)"},
      {"a = fix(x) - round(y);", "fix(X) - round(Y)"},
      {"a = round(x / 2) * 4;", "round(X ./ 2) .* 4"},
      {"a = 1 ./ abs(x');", "1 ./ abs(X)"},
      {"if abs(x) < floor(y), a = 1; else a = 0; end", "abs(X) < floor(Y)"},
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

// What the code shows when it runs in one go.
std::string OutputOfOneRun(const char* code) {
  TestHost whole;
  EXPECT_EQ(RunCommandLine(whole.ctx(), code), kOk) << whole.Output(2);
  return whole.Output(1);
}

// A sliced run ends a slice at every loop end that the fused forms take
// (the for-range step with its store, a run that ends in a tested
// comparison, a comparison on the stack before its jump) as at a plain loop
// end, and the next slice goes on exactly where the last one stopped: after
// k slices the loop has shown k rounds, and the rest ends it as one run
// would have.
TEST(ScalarRuns, ASlicedRunEndsASliceAtEveryLoopEndAndGoesOnWhereItStopped) {
  const char* loops[] = {
      "s = 0;\nfor n = 1:10, s = s + n; disp(n); end\ndisp(s)\n",
      "s = 0; n = 0;\nwhile n < 10, n = n + 1; s = s + n; disp(n); end\ndisp(s)\n",
      "s = 0; n = 0; m = [10];\nwhile n < m(1), n = n + 1; s = s + n; disp(n); end\ndisp(s)\n",
      "s = 0; n = 0;\nrepeat n = n + 1; s = s + n; disp(n); until n >= 10\ndisp(s)\n",
      "s = 0; n = 0; m = [10];\nrepeat n = n + 1; s = s + n; disp(n); until n >= m(1)\ndisp(s)\n",
      "s = 0; n = 0; t = 'x';\n"
      "while numel(t) < 11, t = [t 'x']; n = n + 1; s = s + n; disp(n); end\ndisp(s)\n",
  };
  for (const char* loop : loops) {
    SCOPED_TRACE(loop);
    const std::string all = OutputOfOneRun(loop);
    ASSERT_NE(all.find("55"), std::string::npos) << all;
    for (int32_t slices : {1, 4, 9}) {
      TestHost host;
      // The assignments before the loop end no slice of their own.
      ASSERT_EQ(RunCommandLine(host.ctx(), loop, slices), kStatusSuspended) << host.Output(2);
      size_t shown = 0;
      for (int32_t k = 0; k < slices; k++) shown = all.find('\n', shown) + 1;
      EXPECT_EQ(host.Output(1), all.substr(0, shown)) << slices << " slices";
      EXPECT_EQ(test::ResumeRun(host.ctx()), kOk) << host.Output(2);
      EXPECT_EQ(host.Output(1), all);
    }
  }
}

// A round whose last statement is a scalar run goes straight on to the jump
// after it: a backward one (the loop's end) still ends the slice, one per
// round, asking the abort callback as often as the same loop whose round
// ends in a display; a forward one (out of an if's branch) goes on in the
// same slice.
TEST(ScalarRuns, ARoundEndingInAScalarRunEndsOneSlicePerRound) {
  const struct {
    const char* scalarLast;
    const char* displayLast;
  } loops[] = {
      {"s = 0;\nfor n = 1:10, disp(n); s = s + n * 2 - 1; end\ndisp(s)\n",
       "s = 0;\nfor n = 1:10, s = s + n * 2 - 1; disp(n); end\ndisp(s)\n"},
      {"s = 0; n = 0;\nwhile n < 10, n = n + 1; disp(n); s = s + n; end\ndisp(s)\n",
       "s = 0; n = 0;\nwhile n < 10, n = n + 1; s = s + n; disp(n); end\ndisp(s)\n"},
      {"s = 0;\nfor n = 1:10, disp(n); if n > 4, s = s + n; else s = s - n; end; end\ndisp(s)\n",
       "s = 0;\nfor n = 1:10, if n > 4, s = s + n; else s = s - n; end; disp(n); end\ndisp(s)\n"},
  };
  const AbortFn counted = [](uintptr_t asked) {
    ++*reinterpret_cast<int32_t*>(asked);
    return false;
  };
  // The output and the callback's questions after `slices` slices.
  const auto sliced = [&](const char* loop, int32_t slices, int32_t* asked) {
    TestHost host;
    SetHostCallbackPair(host.ctx(), counted, reinterpret_cast<uintptr_t>(asked));
    EXPECT_EQ(RunCommandLine(host.ctx(), loop, slices), kStatusSuspended) << host.Output(2);
    return host.Output(1);
  };
  for (const auto& loop : loops) {
    SCOPED_TRACE(loop.scalarLast);
    const std::string all = OutputOfOneRun(loop.scalarLast);
    ASSERT_EQ(all, OutputOfOneRun(loop.displayLast));
    for (int32_t slices : {1, 4, 9}) {
      int32_t asked = 0, twinAsked = 0;
      const std::string shown = sliced(loop.scalarLast, slices, &asked);
      EXPECT_EQ(shown, sliced(loop.displayLast, slices, &twinAsked)) << slices << " slices";
      EXPECT_EQ(asked, twinAsked) << slices << " slices";
      size_t end = 0;
      for (int32_t k = 0; k < slices; k++) end = all.find('\n', end) + 1;
      EXPECT_EQ(shown, all.substr(0, end)) << slices << " slices";
    }
  }
}

// Without an abort callback nobody can ask for a break, and the slice end
// takes its short way: the slices still end at every loop end, after each
// round, and the run still goes on where it stopped.
TEST(ScalarRuns, ASlicedRunWithoutABreakCallbackEndsItsSlicesAlike) {
  const char* loops[] = {
      "s = 0;\nfor n = 1:5, s = s + n; disp(n); end\ndisp(s)\n",
      "s = 0; n = 0;\nwhile n < 5, n = n + 1; s = s + n; disp(n); end\ndisp(s)\n",
  };
  for (const char* loop : loops) {
    SCOPED_TRACE(loop);
    const std::string all = OutputOfOneRun(loop);
    TestHost host;
    SetHostCallbackPair(host.ctx(), nullptr, 0);
    ASSERT_EQ(RunCommandLine(host.ctx(), loop, 1), kStatusSuspended) << host.Output(2);
    size_t shown = all.find('\n') + 1;
    for (int32_t slice = 2; slice <= 4; slice++) {
      ASSERT_EQ(ExecuteBytecode(host.ctx(), 1), kStatusSuspended) << host.Output(2);
      shown = all.find('\n', shown) + 1;
      EXPECT_EQ(host.Output(1), all.substr(0, shown)) << slice << " slices";
    }
    EXPECT_EQ(test::ResumeRun(host.ctx()), kOk) << host.Output(2);
    EXPECT_EQ(host.Output(1), all);
  }
}

}  // namespace
}  // namespace vke
