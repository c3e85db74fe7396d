// The calls' table of located functions answers to the switch of the fast
// forms: switched off, every call locates its function again and the table
// keeps nothing, so that a comparison of the fast and the general paths
// compares two paths; switched on again, it serves at once.
#include <gtest/gtest.h>

#include "engine/fast_forms.hpp"
#include "engine/frames/frames.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

// Calls of functions that take frames (no leaves), by index, again and again.
const char kProgram[] =
    "function r = pair(x)\n  r = [x, floor(log10(x)) + 1];\nendfunction\n"
    "function r = sum_pairs(n)\n  r = 0;\n  for k = 1:n\n    r = r + sum(pair(k));\n  end\n"
    "endfunction\n"
    "disp(sum_pairs(12))\n";

TEST(LocatedFunctions, KeptOnlyWithTheFastFormsOn) {
  for (const bool fast : {true, false, true}) {
    SCOPED_TRACE(fast);
    SetFastForms(fast);
    test::TestHost host;
    EXPECT_EQ(test::RunForOutput(host, kProgram), "        93\n");
    if (fast) {
      EXPECT_GT(LocatedFunctionCount(host.ctx()), 0);
    } else {
      EXPECT_EQ(LocatedFunctionCount(host.ctx()), 0);
    }
  }
  SetFastForms(true);
}

}  // namespace
}  // namespace vke
