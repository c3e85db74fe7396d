// The call-and-resume cycle of the optimisation and quadrature natives:
// nested cycles, the calls through feval and handles, bad input and errors
// of fun leaving the stacks as they were, long runs whose C++ stack stays
// flat, and two engine threads each in a run of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/registry/natives_decl.hpp"
#include "engine/threads/threads.hpp"
#include "engine/values/values.hpp"
#include "tests/host/call_log.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/numerics/linalg_fixture.hpp"

namespace vke {
namespace {

using test::ArrayValue;
using test::CallLog;

class CallCycle : public test::LinalgFixture {
 protected:
  CallLog log{ctx};
};

TEST_F(CallCycle, FunMayRunTheNativesItself) {
  Run("function y = cuberoot(c)\n  y = fzero(@(x) x^3 - c, [0 10]);\nendfunction");
  EXPECT_EQ(Show("abs(fzero(@(c) cuberoot(c) - 2, [1 20]) - 8) <= 1e-9"), "true");
  EXPECT_EQ(Show("abs(quad(@(a) fminbnd(@(x) (x - a)^2, [-1 2]), 0, 1) - 0.5) <= 1e-6"), "true");
  Run("x = fminsearch(@(p) (quad(@(t) p(1) * t, 0, 1) - 1)^2 + (p(2) - 3)^2, [1 1]);");
  EXPECT_EQ(Show("max(abs(x - [2 3])) <= 1e-3"), "true");
}

// A function that starts its own solver again, without end, fails with the
// stack-overflow error at a modest depth, which try catches; the next
// statement runs and nesting within bounds still works.
TEST_F(CallCycle, ASolverStartedAgainWithoutEndOverflows) {
  // Each function counts how deeply it runs.
  Run("function y = q(t)\n  global depth\n  depth = depth + 1;\n  y = quad(@q, 0, "
      "1);\nendfunction\n"
      "function y = m(p)\n  global depth\n  depth = depth + 1;\n  y = fminsearch(@m, p);\n"
      "endfunction\n"
      "function y = z(x)\n  global depth\n  depth = depth + 1;\n  y = fzero(@z, x);\nendfunction\n"
      "function d = o(t, y)\n  global depth\n  depth = depth + 1;\n  [s, w] = ode45(@o, [0 1], "
      "y);\n"
      "  d = -y;\nendfunction\nglobal depth");
  for (const char* call :
       {"quad(@q, 0, 1)", "fminsearch(@m, 1)", "fzero(@z, 1)", "ode45(@o, [0 1], 1)"}) {
    Run(std::string("depth = 0; try, ") + call + "; e = ''; catch, e = lasterr; end, k = 1;");
    EXPECT_EQ(Show("same(e(1:min(14, end)), 'Stack overflow')"), "true")
        << call << ": " << Show("e");
    EXPECT_EQ(Show("depth"), "40") << call;
  }
  Run("function y = nest(a, n)\n  if n == 0\n    y = a;\n  else\n"
      "    y = quad(@(t) nest(t, n - 1), 0, 1);\n  end\nendfunction");
  EXPECT_EQ(Show("abs(nest(0, 5) - 1 / 2) < 1e-9"), "true");
}

TEST_F(CallCycle, FevalAndHandlesGiveTheDirectResults) {
  Run("a = fzero(@cos, 1); b = feval('fzero', @cos, 1);"
      "h = @quad; c = h(@exp, 0, 1); d = quad(@exp, 0, 1);"
      "g = @fminbnd; [x1, f1, e1] = g(@cos, [3 4]); [x2, f2, e2] = fminbnd(@cos, [3 4]);"
      "s1 = feval(@fminsearch, @(x) sum((x - 1).^2), [0 0]);"
      "s2 = fminsearch(@(x) sum((x - 1).^2), [0 0]);");
  EXPECT_EQ(Show("a == b && c == d && x1 == x2 && f1 == f2 && e1 == e2 && same(s1, s2)"), "true");
  // A native as fun gives its result at once.
  EXPECT_EQ(Show("fminbnd('cos', [3 4]) == fminbnd(@cos, [3 4])"), "true");
}

TEST_F(CallCycle, BadInputAnswersItsCodeAndLeavesTheArguments) {
  EXPECT_EQ(Show("fzero(5, 1)"), "error 44");
  EXPECT_EQ(Show("fzero('', 1)"), "error 204");
  EXPECT_EQ(Show("fzero('nosuchfunction', 1)"), "error 121");
  EXPECT_EQ(Show("fzero(@cos, [])"), "error 21");
  EXPECT_EQ(Show("fzero(@cos, [2 1])"), "error 107");
  EXPECT_EQ(Show("fminbnd(@cos, 'ab')"), "error 43");
  EXPECT_EQ(Show("fminbnd(@cos, [1 2 3])"), "error 21");
  EXPECT_EQ(Show("fminbnd(@cos, [3 4], optimset('TolX', [1 2]))"), "error 21");
  EXPECT_EQ(Show("fminbnd(@cos, [3 4], 5)"), "error 43");
  EXPECT_EQ(Show("fminsearch(@cos, {1})"), "error 44");
  EXPECT_EQ(Show("fminsearch(@cos, [1i 2])"), "error 44");
  EXPECT_EQ(Show("quad(@cos, [0 1], 1)"), "error 104");
  EXPECT_EQ(Show("quad(@cos, 0, 1, [1 2])"), "error 21");
  EXPECT_EQ(Show("quad(@cos, 0, 1, [], 'on')"), "error 43");
  // fun's result must be a real scalar.
  EXPECT_EQ(Show("fzero(@(x) [x x], 1)"), "error 104");
  EXPECT_EQ(Show("quad(@(x) 'a', 0, 1)"), "error 43");

  // Called directly, a failing first entry leaves exactly its arguments.
  struct Case {
    NativeFn native;
    const char* args;  // pushed in order by evaluating each text
    int32_t nargin;
    ErrCode code;
  };
  const Case cases[] = {
      {&FminbndNative, "5;[0 1]", 2, kErrWrongTypeOverload},
      {&FminbndNative, "@cos;'ab'", 2, kErrWrongType},
      {&FzeroNative, "@cos;[1 2 3];[]", 3, kErrBadSize},
      {&FminsearchNative, "@cos;{1}", 2, kErrWrongTypeOverload},
      {&FminsearchNative, "@cos;[1 2];optimset('MaxIter', [1 2])", 3, kErrBadSize},
      {&QuadNative, "@cos;'x';1", 3, kErrWrongType},
  };
  for (const Case& c : cases) {
    const uint32_t level = ctx->descTop, data = ctx->dataTop;
    std::string args = c.args;
    for (size_t at = 0; at <= args.size();) {
      const size_t end = std::min(args.find(';', at), args.size());
      ASSERT_EQ(test::EvaluateText(ctx, args.substr(at, end - at)), kOk) << c.args;
      at = end + 1;
    }
    const uint32_t withArgs = ctx->descTop;
    EXPECT_EQ(c.native(ctx, c.nargin, 1, 0), c.code) << c.args;
    EXPECT_EQ(ctx->descTop, withArgs) << c.args;
    Drop(ctx, c.nargin);
    EXPECT_EQ(ctx->descTop, level);
    EXPECT_EQ(ctx->dataTop, data);
  }
}

TEST_F(CallCycle, ErrorsOfFunPassThroughAndLeaveNothingBehind) {
  log.SetAnswer([](EngineContext*, const std::vector<ArrayValue>&) { return kErrBadArg; });
  EXPECT_EQ(Show("fminsearch(@calllog, [1 2])"), "error 107");
  EXPECT_EQ(Show("quad(@calllog, 0, 1)"), "error 107");
  Run("function y = failing(x)\n  error('test:boom', 'boom at %g', x);\nendfunction");
  host.ClearOutput();
  EXPECT_NE(test::RunCommandLine(ctx, "fzero(@failing, 1)\n"), kOk);
  EXPECT_NE(host.Output(2).find("boom at 0.98"), std::string::npos) << host.Output(2);

  Run("n = 0; k = 0;");
  const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  Run("for k = 1:20\n"
      "  try, fzero(@failing, 1); catch, n = n + 1; end\n"
      "  try, fminbnd(@(x) NaN, [0 1]); catch, n = n + 1; end\n"
      "  try, quad(@(x) [x x], 0, 1, [], [], 2); catch, n = n + 1; end\n"
      "  try, fminsearch(@(x) 1, [1 2], optimset('MaxIter', 1)); catch, n = n + 1; end\n"
      "end");
  EXPECT_EQ(Show("n"), "80");
  EXPECT_EQ(ctx->descTop, descTop);
  EXPECT_EQ(ctx->dataTop, dataTop);
}

// A fun that is a native returns its result at once; the native is called
// back by InvokeNative in a loop, never from inside its own call. The log's
// answer notes where its frame lies: the spread stays that of one call.
TEST_F(CallCycle, LongRunsKeepTheCxxStackFlat) {
  uintptr_t low = UINTPTR_MAX, high = 0;
  double count = 0;
  // Each value lower than all before: every reflection expands, and the
  // simplex never converges.
  log.SetAnswer([&](EngineContext* c, const std::vector<ArrayValue>&) {
    const auto here = reinterpret_cast<uintptr_t>(&count);
    low = std::min(low, here);
    high = std::max(high, here);
    count += 1;
    return PushRealScalar(c, -count);
  });
  Run("[x, f, e] = fminsearch(@calllog, 0, optimset('MaxIter', 50000, 'MaxFunEvals', 1e6));");
  EXPECT_EQ(Show("e"), "false");
  EXPECT_GE(count, 100000);
  EXPECT_LT(high - low, 4096u);

  // Thousands of evaluations of a builtin.
  Run("try, [x, f, e] = fminsearch(@norm, ones(1, 50)); ok = ~e; catch, ok = true; end");
  EXPECT_EQ(Show("ok"), "true");
}

// Two threads each run fminsearch with the log as fun. Every answer takes 20
// ms on the host's fake clock, so the threads take turns every few calls;
// each thread's calls are still exactly those of its run alone.
TEST(CallCycleThreads, TwoThreadsRunFminsearchSideBySide) {
  test::TestHost host(test::TestHostOptions{.areaBytes = 16u << 20});
  EngineContext* ctx = host.ctx();
  std::vector<uint32_t> threads;
  CallLog log(ctx, [&](EngineContext* c, const std::vector<ArrayValue>& args) {
    threads.push_back(c->currentThread);
    test::TestHost::AdvanceClock(0.02);
    const double k = args.at(1).re.at(0);
    const std::vector<double>& x = args.at(0).re;
    return PushRealScalar(c, (x.at(0) - k) * (x.at(0) - k) + (x.at(1) + k) * (x.at(1) + k));
  });
  ASSERT_EQ(test::RunCommandLine(ctx,
                                 "global res\nres = zeros(2, 2);\n"
                                 "function work(k)\n  global res\n"
                                 "  res(k, :) = fminsearch(@(x) calllog(x, k), [0 0]);\n"
                                 "endfunction\n"
                                 "alone1 = fminsearch(@calllog, [0 0], [], 1);\n"
                                 "alone2 = fminsearch(@calllog, [0 0], [], 2);\n"),
            kOk)
      << host.Output(2);
  const auto alone = log.calls();
  const size_t first = static_cast<size_t>(
      std::count_if(alone.begin(), alone.end(), [](const auto& c) { return c[1].re[0] == 1; }));
  threads.clear();
  ASSERT_EQ(test::RunCommandLine(ctx,
                                 "threadnew(@work, threadset('StackSize', 1e6), 1);\n"
                                 "threadnew(@work, threadset('StackSize', 1e6), 2);\n"),
            kOk)
      << host.Output(2);
  for (int runs = 0; ctx->firstThread && runs < 100000; runs++)
    ASSERT_EQ(ExecuteBytecode(ctx, 0), kOk) << host.Output(2);
  ASSERT_EQ(ctx->firstThread, 0u);
  ASSERT_EQ(test::EvaluateText(ctx, "double(same(res, [alone1; alone2]))"), kOk);
  EXPECT_EQ(test::TopScalar(ctx), 1);

  // The threads took turns, and each made the calls of its run alone.
  const auto& all = log.calls();
  ASSERT_EQ(all.size(), 2 * alone.size());
  size_t turns = 0;
  for (size_t i = 1; i < threads.size(); i++) turns += threads[i] != threads[i - 1];
  EXPECT_GE(turns, 10u);
  std::vector<std::vector<ArrayValue>> byThread[2];
  for (size_t i = alone.size(); i < all.size(); i++)
    byThread[all[i][1].re[0] == 1 ? 0 : 1].push_back(all[i]);
  ASSERT_EQ(byThread[0].size(), first);
  for (size_t i = 0; i < first; i++) EXPECT_EQ(byThread[0][i][0].re, alone[i][0].re) << i;
  for (size_t i = 0; i < byThread[1].size(); i++)
    EXPECT_EQ(byThread[1][i][0].re, alone[first + i][0].re) << i;
}

}  // namespace
}  // namespace vke
