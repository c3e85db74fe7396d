// A fixture for the linear-algebra natives on source text: statements and
// expressions run as command lines in one scope, with two helper
// functions: maxabs(x), the largest modulus of x's elements, and
// stored_real(x), whether x is stored without an imaginary block.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/errors/errors.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/eval_fixture.hpp"

namespace vke::test {

class LinalgFixture : public EvalFixture {
 protected:
  explicit LinalgFixture(TestHostOptions options = {}) : EvalFixture(options) {}

  void SetUp() override {
    Run("function m = maxabs(x)\n  m = max(abs(x(:)));\nendfunction\n"
        "function r = stored_real(x)\n  r = same(x, real(x));\nendfunction");
  }
  // Runs statements; their failure fails the test with the error output.
  void Run(const std::string& text) {
    ASSERT_EQ(RunCommandLine(ctx, text + "\n"), kOk) << text << "\n" << host.Output(2);
  }
  // An expression's value as disp prints it (without the blanks before it
  // and the last line end), or "error N".
  std::string Show(const std::string& text) {
    host.ClearOutput();
    ErrCode e = RunCommandLine(ctx, "disp(" + text + ")\n");
    if (e) return "error " + std::to_string(e);
    std::string out = host.Output(1);
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out.substr(std::min(out.size(), out.find_first_not_of(' ')));
  }
};

}  // namespace vke::test
