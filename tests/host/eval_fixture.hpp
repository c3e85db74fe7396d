// A test fixture for functions reached from source text: a test host and
// the value of an evaluated text as DumpTop writes it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke::test {

class EvalFixture : public ::testing::Test {
 protected:
  explicit EvalFixture(TestHostOptions options = {}) : host(options) {}

  // Source text evaluated: its value as text, or "error N".
  std::string Eval(const std::string& text) { return EvaluateToText(ctx, text); }

  TestHost host;
  EngineContext* ctx = host.ctx();
};

}  // namespace vke::test
