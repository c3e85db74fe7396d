// Range loops that hold more elements than a range value may, or run on
// without end: their steps are counted without the values' limit, keep a
// margin that never reaches past the stop, give the values a range gives
// (start + k * step), and end by break on every path the loop takes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/loop/loop_internal.hpp"
#include "engine/range_count.hpp"
#include "engine/values/values.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::RunForOutput;
using test::TestHost;

TEST(LongRanges, LoopCountsHaveNoLimit) {
  double n = -1;
  EXPECT_EQ(CountLoopRange(1, 1e10, 1, false, &n), kOk);
  EXPECT_EQ(n, 1e10);
  EXPECT_EQ(CountLoopRange(-3e9, -1, 1, false, &n), kOk);
  EXPECT_EQ(n, 3e9);
  EXPECT_EQ(CountLoopRange(0, 2e9, 0.5, false, &n), kOk);
  EXPECT_EQ(n, 4e9 + 1);
  EXPECT_EQ(CountLoopRange(1, INFINITY, 1, false, &n), kOk);
  EXPECT_EQ(n, INFINITY);
  EXPECT_EQ(CountLoopRange(0, -INFINITY, -2, false, &n), kOk);
  EXPECT_EQ(n, INFINITY);
  // The margin above the values' limit stays that at the limit: a stop just
  // short of a step adds no step past it.
  EXPECT_EQ(CountLoopRange(0, 4e9 + 0.9993, 1, false, &n), kOk);
  EXPECT_EQ(n, 4e9 + 1);
  // Below the limit the count is the range value's.
  int64_t c;
  EXPECT_EQ(CountLoopRange(0, 0.5, 0.1, false, &n), kOk);
  EXPECT_EQ(CountRange(0, 0.5, 0.1, false, &c), kOk);
  EXPECT_EQ(n, 6);
  EXPECT_EQ(c, 6);
  // A zero step toward the stop, or an infinite start (every step the same
  // infinity), is refused as the range is; away from it, or with NaN,
  // nothing.
  EXPECT_EQ(CountLoopRange(1, 5, 0, false, &n), kErrObjTooLarge);
  EXPECT_EQ(CountLoopRange(-INFINITY, 0.3, 1, false, &n), kErrObjTooLarge);
  EXPECT_EQ(CountLoopRange(5, 1, 0, false, &n), kOk);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(CountLoopRange(1, NAN, 1, false, &n), kOk);
  EXPECT_EQ(n, 0);
  // The values keep their limit.
  EXPECT_EQ(CountRange(1, 1e10, 1, false, &c), kErrObjTooLarge);
}

TEST(LongRanges, LoopsRunAndBreak) {
  TestHost host;
  // Endless and long ranges, with break in the body, in a script and in a
  // function (whose loops take the quick forms of scalar variables).
  const std::string loops =
      "for i = 1:Inf, if i > 3, break; end, end, disp(i)\n"
      "n = 0; for k = 1:1e10, n = n + k; if k == 4, break; end, end, disp([k n])\n"
      "v = []; for k = -3e9:-1, v(end + 1) = k; if numel(v) == 2, break; end, end\n"
      "fprintf('%.0f %.0f\\n', v)\n"
      "for x = 0:0.5:2e9, if x >= 1.5, break; end, end, disp(x)\n"
      "for x = 0:0.1:1e10, if x >= 0.95, break; end, end, disp(x == 1)\n"
      "for x = -1:-1:-Inf, if x < -2, break; end, end, disp(x)\n";
  const std::string shown =
      "         4\n         4        10\n-3000000000 -2999999999\n       1.5\ntrue\n        -3\n";
  EXPECT_EQ(RunForOutput(host, loops), shown);
  EXPECT_EQ(RunForOutput(host,
                         "function r = endless(s)\n"
                         "  r = 0;\n"
                         "  for i = 1:Inf\n    r = r + s;\n    if r > 10, break; end\n  end\n"
                         "endfunction\n"
                         "disp(endless(3))\n"),
            "        12\n");
}

TEST(LongRanges, AnEmptyBodyAssignsTheLastValue) {
  TestHost host;
  // The jump optimiser makes a loop with an empty body an assignment of its
  // last value; a long range's last value is exact, an endless one's Inf.
  host->optLevel = 4;
  EXPECT_EQ(RunForOutput(host, "for k = 1:3e9, end, fprintf('%.0f\\n', k)\n"), "3000000000\n");
  EXPECT_EQ(RunForOutput(host, "for k = 2:0.5:Inf, end, disp(k)\n"), "       inf\n");
}

// A range of more steps than 2^31 whose quotient lies just below a whole
// number keeps the margin that reaches its stop: 0:0.07:2.1e8 has
// 3000000001 elements, the last 3e9 * 0.07, which is 2.1e8 to rounding.
TEST(LongRanges, TheMarginReachesTheStopAboveTheLimit) {
  double n = -1;
  EXPECT_EQ(CountLoopRange(0, 2.1e8, 0.07, false, &n), kOk);
  EXPECT_EQ(n, 3000000001);
  EXPECT_EQ(CountLoopRange(2.1e8, 0, -0.07, false, &n), kOk);
  EXPECT_EQ(n, 3000000001);
  TestHost host;
  host->optLevel = 4;
  EXPECT_EQ(RunForOutput(host, "for k = 0:0.07:2.1e8, end, fprintf('%.6f\\n', k)\n"),
            "210000000.000000\n");
}

// The iterator's index is a whole count of steps, not one of 32 bits: the
// step after 2^31 (or 2^32) steps gives start + k * step and goes on.
TEST(LongRanges, TheIteratorStepsPastThirtyTwoBits) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  for (const double k : {0x1p31, 0x1p31 + 1, 0x1p32 + 5}) {
    SCOPED_TRACE(k);
    for (const double bound : {0.5, 0.25, 4e10}) ASSERT_EQ(PushRealScalar(ctx, bound), kOk);
    ASSERT_EQ(ForRangeInit(ctx, 3), kOk);
    Store<double>(DataAt(ctx, 0), k);
    ASSERT_EQ(ForRangeNext(ctx), kOk);
    EXPECT_EQ(test::TopScalar(ctx, 0), 0.5 + k * 0.25);
    ASSERT_EQ(DropStackEntries(ctx, 0, 1), kOk);
    EXPECT_EQ(Load<double>(DataAt(ctx, 0)), k + 1);
    ASSERT_EQ(DropStackEntries(ctx, 0, 1), kOk);
  }
}

}  // namespace
}  // namespace vke
