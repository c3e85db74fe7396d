// Runs of scalar instructions that take their first operands off the stack,
// where a call left its result: the values, the order of the operands, the
// errors, growth and conversions of the instructions one by one, which the
// same statements give when the call's result is first kept in a variable.
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

// The functions the statements call: f gives what it is given, g a third
// of it, so that the order of two results shows.
const char kFunctions[] =
    "function y = f(x)\n  y = x;\nendfunction\n"
    "function y = g(x)\n  y = x / 3;\nendfunction\n";

// The text's output, or its error output after a failure; with line
// markers, as the runner compiles.
std::string Outcome(const std::string& text) {
  TestHost host;
  SetContextFlag(host.ctx(), 1);
  const ErrCode e = RunCommandLine(host.ctx(), kFunctions + text);
  return e == kOk ? host.Output(1) : "error: " + host.Output(2);
}

TEST(CallResultRuns, ResultsOnTheStackAreTheOperandsInTheirOrder) {
  // Each statement against the same with the results kept first.
  EXPECT_EQ(Outcome("v = zeros(1, 5); s = 1; n = 0;\n"
                    "for i = 1:40\n"
                    "  k = mod(i, 5) + 1;\n"
                    "  if v(k) > 6, v(k) = 0; else, v(k) = v(k) + f(0.5 * i); end\n"
                    "  s = f(i) - g(s) / 4 + 1;\n"
                    "  r = 2 - f(i) * 3;\n"
                    "  v(k) = 1 - f(v(k)) / 2;\n"
                    "  if f(i) >= g(s) * 4, n = n + 1; end\n"
                    "  if abs(f(-i)) < 20, n = n - 2; end\n"
                    "end\n"
                    "disp(v), disp([s r n])\n"),
            Outcome("v = zeros(1, 5); s = 1; n = 0;\n"
                    "for i = 1:40\n"
                    "  k = mod(i, 5) + 1;\n"
                    "  if v(k) > 6, v(k) = 0; else, a = f(0.5 * i); v(k) = v(k) + a; end\n"
                    "  a = f(i); b = g(s); s = a - b / 4 + 1;\n"
                    "  a = f(i); r = 2 - a * 3;\n"
                    "  a = f(v(k)); v(k) = 1 - a / 2;\n"
                    "  a = f(i); b = g(s); if a >= b * 4, n = n + 1; end\n"
                    "  a = f(-i); if abs(a) < 20, n = n - 2; end\n"
                    "end\n"
                    "disp(v), disp([s r n])\n"));
}

TEST(CallResultRuns, OtherResultsTakeTheInstructionsOwnPaths) {
  // Results that are not real double scalars, targets that grow or fail,
  // and a result that fails the operator: the same values, errors and lines.
  const char* results[] = {"int8(5)", "single(2.5)", "1i", "NaN", "[1 2]", "'ab'", "true", "[]"};
  for (const char* result : results) {
    SCOPED_TRACE(result);
    const std::string x = std::string("x = ") + result + ";\n";
    EXPECT_EQ(Outcome(x + "v = [1 2 3]; k = 2;\nv(k) = v(k) + f(x);\ndisp(v)\n"),
              Outcome(x + "v = [1 2 3]; k = 2;\na = f(x); v(k) = v(k) + a;\ndisp(v)\n"));
    EXPECT_EQ(Outcome(x + "s = 4;\ns = f(x) - g(s) / 2 + 1;\ndisp(s)\n"),
              Outcome(x + "s = 4;\na = f(x); b = g(s); s = a - b / 2 + 1;\ndisp(s)\n"));
    EXPECT_EQ(Outcome(x + "n = 0;\nif g(x) * 3 < f(x) + 1, n = 1; end\ndisp(n)\n"),
              Outcome(x + "n = 0;\na = g(x); b = f(x); if a * 3 < b + 1, n = 1; end\ndisp(n)\n"));
  }
  const struct {
    const char* taken;
    const char* kept;
  } targets[] = {
      // Growth, a subscript out of range or not whole, a target of another
      // kind, an unset variable.
      {"v = [1 2]; k = 5;\nv(k) = 1 + f(3);\ndisp(v)\n",
       "v = [1 2]; k = 5;\na = f(3); v(k) = 1 + a;\ndisp(v)\n"},
      {"v = [1 2]; k = 0;\nv(k) = 1 + f(3);\ndisp(v)\n",
       "v = [1 2]; k = 0;\na = f(3); v(k) = 1 + a;\ndisp(v)\n"},
      {"v = [1 2]; k = 1.5;\nv(k) = f(3) * 2 - 1;\ndisp(v)\n",
       "v = [1 2]; k = 1.5;\na = f(3); v(k) = a * 2 - 1;\ndisp(v)\n"},
      {"t = 'ab'; k = 2;\nt(k) = 1 + f(98);\ndisp(t)\n",
       "t = 'ab'; k = 2;\na = f(98); t(k) = 1 + a;\ndisp(t)\n"},
      {"clear w; k = 2;\nw(k) = 1 + f(3);\ndisp(w)\n",
       "clear w; k = 2;\na = f(3); w(k) = 1 + a;\ndisp(w)\n"},
      {"clear u;\nu = f(3) - g(3) * 2;\ndisp(u)\n",
       "clear u;\na = f(3); b = g(3); u = a - b * 2;\ndisp(u)\n"},
  };
  for (const auto& c : targets) EXPECT_EQ(Outcome(c.taken), Outcome(c.kept)) << c.taken;
  // The failing line is the statement's (the functions take six lines).
  const std::string failed = Outcome("v = [1 2]; k = 0;\n\nv(k) = 1 + f(3);\n");
  EXPECT_NE(failed.find("error: "), std::string::npos);
  EXPECT_NE(failed.find("'v' (9)"), std::string::npos) << failed;
}

}  // namespace
}  // namespace vke
