// Calls of a function whose code was located by an earlier call: code
// compiled since, or another engine with a function at the same index, is
// called as it now stands.
#include <gtest/gtest.h>

#include <string>

#include "compiler/compile.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

ErrCode Compile(TestHost& host, const std::string& text) {
  return CompileCommandLine(host.ctx(), text.data(), static_cast<int32_t>(text.size()));
}

ErrCode CompileAndRun(TestHost& host, const std::string& text) {
  const ErrCode e = Compile(host, text);
  return e ? e : ExecuteBytecode(host.ctx(), 0);
}

TEST(CallTargets, FunctionsCompiledLaterAreCalledWithTheirOwnHeaders) {
  TestHost host;
  ASSERT_EQ(CompileAndRun(host,
                          "function r = f(n)\n  r = n * 2;\nendfunction\n"
                          "for k = 1:3, x = f(k); end\ndisp(x)\n"),
            kOk)
      << host.Output(2);
  // The table grows and the code changes: f keeps its header, h has its own.
  ASSERT_EQ(CompileAndRun(host,
                          "function [a, b] = h(x, y, z)\n  t = f(x) + y;\n  a = t * z;\n"
                          "  b = -a;\nendfunction\n[p, q] = h(1, 2, 3);\ndisp(p + f(q))\n"),
            kOk)
      << host.Output(2);
  EXPECT_EQ(host.Output(1), "         6\n       -12\n");
}

TEST(CallTargets, AFunctionDefinedAgainAfterAClearIsCalledAsItNowStands) {
  TestHost host;
  ASSERT_EQ(CompileAndRun(host, "function r = f(n)\n  r = n * 2;\nendfunction\ndisp(f(4))\n"), kOk)
      << host.Output(2);
  ASSERT_EQ(CompileAndRun(host, "clear -f\n"), kOk) << host.Output(2);
  // The same name in the emptied table, so the same place, another header.
  ASSERT_EQ(CompileAndRun(host,
                          "function [r, s] = f(a, b, c)\n  t = a + b;\n  r = t * c;\n"
                          "  s = -r;\nendfunction\n[u, v] = f(1, 2, 3);\ndisp(u + 2 * v)\n"),
            kOk)
      << host.Output(2);
  EXPECT_EQ(host.Output(1), "         8\n        -9\n");
}

TEST(CallTargets, EnginesWithAFunctionAtTheSameIndexKeepTheirOwn) {
  TestHost one;
  TestHost two;
  // Both compiled before either runs: the code does not change between the
  // runs, only the engine does.
  ASSERT_EQ(Compile(one, "function r = g(n)\n  r = n + 1;\nendfunction\ndisp(g(g(1)))\n"), kOk);
  ASSERT_EQ(Compile(two,
                    "function r = g(a, b, c)\n  s = a * b;\n  r = s * c;\nendfunction\n"
                    "disp(g(2, 3, 4))\n"),
            kOk);
  ASSERT_EQ(ExecuteBytecode(one.ctx(), 0), kOk) << one.Output(2);
  ASSERT_EQ(ExecuteBytecode(two.ctx(), 0), kOk) << two.Output(2);
  EXPECT_EQ(one.Output(1), "         3\n");
  EXPECT_EQ(two.Output(1), "        24\n");
}

}  // namespace
}  // namespace vke
