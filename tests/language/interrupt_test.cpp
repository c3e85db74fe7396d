// A user's break stops VKE text that runs for ever: between slices of a
// sliced run and through the abort poll of a whole run; the engine runs the
// next text as usual.
#include <gtest/gtest.h>

#include <string>

#include "compiler/compile.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

constexpr char kEndless[] = "n = 0;\nwhile true\n  n = n + 1;\nend\n";

TEST(Interrupt, ABreakStopsAnEndlessLoop) {
  for (const uint8_t sliced : {1, 0}) {
    test::TestHost host;
    EngineContext* ctx = host.ctx();
    host.ScriptBreaks({false, false, false, true});
    ASSERT_EQ(CompileCommandLine(ctx, kEndless, sizeof kEndless - 1), kOk);
    ErrCode e;
    do {
      e = ExecuteBytecode(ctx, sliced);
    } while (e == kStatusSuspended);
    EXPECT_EQ(e, kStatusHalted) << int{sliced};
    EXPECT_EQ(host.Output(2), "Execution halted\n") << int{sliced};
    host.ClearOutput();
    ASSERT_EQ(test::RunCommandLine(ctx, "disp(n > 2)\n"), kOk);
    EXPECT_EQ(host.Output(1), "true\n");
  }
}

}  // namespace
}  // namespace vke
