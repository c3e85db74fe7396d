// Runs whose slices go on in place (ExecuteBreakChecked): the same output as
// a sliced run called again after every slice, the abort callback asked as
// often (at least), and a break heard at a loop end even in a loop that does nothing.
#include <gtest/gtest.h>

#include <string>

#include "compiler/compile.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/loop/loop.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

bool CountedBreakTest(uintptr_t asked) {
  ++*reinterpret_cast<int32_t*>(asked);
  return false;
}

struct Outcome {
  ErrCode result;
  int32_t suspensions;  // 500s the run gave back
  int32_t asked;        // questions to the abort callback
  std::string output;
};

// The text run to its end, by slices called again one by one or in place.
Outcome RunToItsEnd(const char* text, bool inPlace) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  Outcome o{kOk, 0, 0, {}};
  SetHostCallbackPair(ctx, &CountedBreakTest, reinterpret_cast<uintptr_t>(&o.asked));
  EXPECT_EQ(CompileCommandLine(ctx, text, static_cast<int32_t>(std::string(text).size())), kOk);
  for (;;) {
    o.result = inPlace ? ExecuteBreakChecked(ctx) : ExecuteBytecode(ctx, 1);
    if (o.result != kStatusSuspended) break;
    o.suspensions++;
  }
  o.output = host.Output(1) + host.Output(2);
  return o;
}

TEST(BreakCheckedRuns, GoOnAtEveryLoopEndAskingForABreakAsSlicesWould) {
  const char* texts[] = {
      // A round of scalar statements, taken whole.
      "s = 0;\nfor k = 1:50, s = s + k * 0.5 - 1; end\ndisp(s)\n",
      // Scalar runs, a branch and elements in place.
      "v = zeros(1, 5); s = 0;\nfor i = 1:40\n  k = mod(i, 5) + 1;\n"
      "  if v(k) > 3, v(k) = 0; else, v(k) = v(k) + 1; end\n  s = s + v(k);\nend\n"
      "disp(s), disp(v)\n",
      // While and nested loops, output inside.
      "n = 0;\nwhile n < 6, n = n + 1; for j = 1:2, disp(n * j); end, end\n",
      "n = 0;\nrepeat n = n + 2; until n >= 9\ndisp(n)\n",
      // A call inside the loop.
      "function y = twice(x)\n  y = 2 * x;\nendfunction\n"
      "t = 0;\nfor k = 1:7, t = t + twice(k); end\ndisp(t)\n",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    const Outcome sliced = RunToItsEnd(text, false);
    const Outcome inPlace = RunToItsEnd(text, true);
    ASSERT_EQ(sliced.result, kOk) << sliced.output;
    EXPECT_GT(sliced.suspensions, 1);
    EXPECT_EQ(inPlace.result, kOk);
    EXPECT_EQ(inPlace.suspensions, 0);
    EXPECT_EQ(inPlace.output, sliced.output);
    // The abort poll of a long run may ask as well: the slices alone never
    // run long enough.
    EXPECT_GE(inPlace.asked, sliced.asked);
  }
}

// While interpreter threads are listed, the host's next call restarts
// their clock: thread 0's slices end at its loop ends as before.
TEST(BreakCheckedRuns, ListedThreadsEndTheSlicesAsBefore) {
  const char* text =
      "function spin()\n  t = 0;\n  for j = 1:20000, t = t + j; end\n  disp(t)\nendfunction\n"
      "threadnew(@spin, []);\ns = 0;\nfor k = 1:20000, s = s + k; end\ndisp(s)\n";
  const Outcome sliced = RunToItsEnd(text, false);
  const Outcome inPlace = RunToItsEnd(text, true);
  ASSERT_EQ(sliced.result, kOk) << sliced.output;
  EXPECT_EQ(inPlace.result, kOk) << inPlace.output;
  EXPECT_GT(inPlace.suspensions, 0);
  EXPECT_EQ(inPlace.suspensions, sliced.suspensions);
  EXPECT_EQ(inPlace.output, sliced.output);
  EXPECT_NE(inPlace.output.find("200010000"), std::string::npos) << inPlace.output;
}

TEST(BreakCheckedRuns, ABreakStopsEndlessLoopsEvenEmptyOnes) {
  const char* texts[] = {
      "while true, end\n",
      "n = 0;\nwhile true\n  n = n + 1;\nend\n",
      "s = 0;\nfor k = 1:1e9, s = s + k; end\n",
      "n = 0;\nwhile true, if n > 1e15, break; end, n = n + 1; end\n",
  };
  for (const char* text : texts) {
    // A break halts the run, or stops it for the debugger when it asks so.
    for (const uint8_t debugger : {0, 1}) {
      SCOPED_TRACE(std::string(text) + (debugger ? " (debugger)" : ""));
      TestHost host;
      EngineContext* ctx = host.ctx();
      ctx->interruptDebug = debugger;
      host.ScriptBreaks({false, false, false, false, true});
      ASSERT_EQ(CompileCommandLine(ctx, text, static_cast<int32_t>(std::string(text).size())), kOk);
      EXPECT_EQ(ExecuteBreakChecked(ctx), debugger ? kStatusDebug : kStatusHalted);
      if (!debugger) {
        EXPECT_EQ(host.Output(2), "Execution halted\n");
      }
    }
  }
}

}  // namespace
}  // namespace vke
