// Calls and returns that go on without passing the loop top: each still
// counts towards the abort poll, so a run made of little but calls hears a
// break, and a run without one ends as before.
#include <gtest/gtest.h>

#include <string>

#include "compiler/compile.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

struct Asked {
  int32_t count = 0;
  bool answer = false;
};

bool AnswersBreak(uintptr_t argument) {
  auto* asked = reinterpret_cast<Asked*>(argument);
  asked->count++;
  return asked->answer;
}

// fib(16) makes 3,193 calls, each a call and a return at least, with no
// loop end where a sliced run would ask.
constexpr const char* kRecursion =
    "function r = fib(n)\n  if n < 2\n    r = n;\n  else\n"
    "    r = fib(n - 1) + fib(n - 2);\n  end\nendfunction\n"
    "disp(fib(16))\n";

ErrCode RunRecursion(TestHost& host, Asked* asked) {
  EngineContext* ctx = host.ctx();
  SetHostCallbackPair(ctx, &AnswersBreak, reinterpret_cast<uintptr_t>(asked));
  const std::string text = kRecursion;
  EXPECT_EQ(CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size())), kOk);
  return ExecuteBytecode(ctx, 0);
}

TEST(CallPolls, CallsAndReturnsAreCountedForTheAbortPoll) {
  TestHost host;
  Asked asked;
  ASSERT_EQ(RunRecursion(host, &asked), kOk) << host.Output(2);
  EXPECT_EQ(host.Output(1), "       987\n");
  // One question per 503 instructions: the calls and returns alone make
  // more than 6,000.
  EXPECT_GE(asked.count, 12);
}

TEST(CallPolls, ABreakEndsARunOfRecursiveCalls) {
  TestHost host;
  Asked asked;
  asked.answer = true;
  EXPECT_EQ(RunRecursion(host, &asked), kStatusHalted);
  EXPECT_EQ(asked.count, 1);
  EXPECT_EQ(host.Output(1), "");
}

}  // namespace
}  // namespace vke
