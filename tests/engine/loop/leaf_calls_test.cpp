// Calls of small scalar leaf functions done without a frame: every outcome
// (values to the last bit, the no-value marker of a statement call, errors
// and their locations, the values of other kinds that the general call takes)
// is the one the general call gives, which a breakpoint elsewhere forces; a
// function defined again or brought back by an image runs as it is now; the
// debugger stops in such a function; and the calls count towards the abort
// poll as their instructions do.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "compiler/compile.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/decoded_leaf.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/engine_state.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::RunCommandLine;
using test::TestHost;

// Leaves of several shapes, and two that are none (a power, a branch).
const char kFunctions[] =
    "function y = sq(x)\n  y = x * x;\nendfunction\n"
    "function z = mix(a, b)\n  z = a - 0.5 * b;\nendfunction\n"
    "function y = lit(x)\n  t = 0;\n  y = 1 + x;\n  y = y / 3 - t;\n  y = (y - 2) ./ "
    "x;\nendfunction\n"
    "function y = ops(a, b)\n  y = abs(a - b) .\\ b;\n  y = y + round(a) .* 2;\n"
    "  y = y - mod(a, b) + rem(b, a);\nendfunction\n"
    "function z = first(a, b)\n  z = a * 2;\nendfunction\n"
    "function y = unset(x)\n  t = x + 1;\nendfunction\n"
    "function none(x)\n  t = x + 1;\nendfunction\n"
    "function y = root(x)\n  y = x .^ 0.5;\nendfunction\n"
    "function y = branch(x)\n  if x > 0, y = x; else, y = -x; end\nendfunction\n";

// A breakpoint in no function: lines are watched, so every call takes the
// general path.
void BreakNowhere(EngineContext* ctx) {
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &ctx->bpTable), kOk);
  const int32_t pair[2] = {kMaxFunctionEntries - 1, 1};
  std::memcpy(BlockData(ctx, ctx->bpTable), pair, 8);
  ctx->bpCount = 1;
}

// What the text prints after the functions, or its error output, with
// line markers as the runner compiles; `watched`: through the general path.
std::string Outcome(const std::string& text, bool watched) {
  TestHost host;
  SetContextFlag(host.ctx(), 1);
  if (watched) BreakNowhere(host.ctx());
  const ErrCode e = RunCommandLine(host.ctx(), kFunctions + text);
  return e == kOk ? host.Output(1) : "error " + std::to_string(e) + ": " + host.Output(2);
}

// Whether the calls of the function took the decoded leaf.
bool DecodedAsLeaf(EngineContext* ctx, const std::string& name) {
  for (int32_t f = 1; f < static_cast<int32_t>(ctx->funcCount); f++) {
    const FunctionTableEntry* entry = GetFunctionEntry(ctx, f);
    const char* text = nullptr;
    int32_t length = 0;
    GetFunctionNameOfIndex(ctx, f, &text, &length);
    if (!IsFunctionEntry(*entry) || entry->code <= 0 || !text || std::string(text, length) != name)
      continue;
    const int16_t* block = reinterpret_cast<const int16_t*>(ctx->CodeBytes()) + entry->code;
    const DecodedLeaf& d = DecodedLeafAt(block);
    return d.leaf && d.block == block && d.generation == CodeGeneration();
  }
  return false;
}

TEST(LeafCalls, ValuesAreTheGeneralCallsToTheLastBit) {
  // Each value's two words as whole numbers: NaN, infinities and signed
  // zeros included.
  const std::string text =
      "r = [];\n"
      "for x = [0.1, -0, 3, -2.5, 1e308, -Inf, NaN, 7]\n"
      "  r = [r, sq(x), mix(x, 1/3), mix(sq(x), x), lit(x), ops(x, 0.7), ops(3, x), first(x)];\n"
      "end\n"
      "fprintf('%d ', typecast(r, 'uint32')); disp(' ')\n"
      "sq(4)\nnone(1)\n";
  const std::string quick = Outcome(text, false);
  EXPECT_EQ(quick, Outcome(text, true));
  EXPECT_NE(quick.find("ans =\n        16\n"), std::string::npos) << quick;

  TestHost host;
  SetContextFlag(host.ctx(), 1);
  ASSERT_EQ(RunCommandLine(host.ctx(), kFunctions + std::string("a = lit(2) + ops(1, 2);\n")), kOk)
      << host.Output(2);
  EXPECT_TRUE(DecodedAsLeaf(host.ctx(), "lit"));
  EXPECT_TRUE(DecodedAsLeaf(host.ctx(), "ops"));
  EXPECT_FALSE(DecodedAsLeaf(host.ctx(), "branch"));
}

TEST(LeafCalls, OtherValuesAndCountsTakeTheGeneralCall) {
  // Each statement alone, its outcome (a value, an error and where it was
  // raised) against the general call's.
  const char* statements[] = {
      "disp(sq([1 2; 3 4]))",       // a matrix
      "disp(sq(2i))",               // a complex input
      "disp(class(sq(int32(3))))",  // an integer
      "disp(sq(single(0.1)) == single(0.1)^2)",
      "disp(sq('a'))",        // a character
      "disp(sq(true))",       // a logical
      "disp(mix(1, [1 2]))",  // a matrix second
      "disp(root(-4))",       // no real result: a power is no leaf
      "disp(branch(-3))",     // no leaf
      "disp(first(3))",       // an input not given and not read
      "disp(mix(1))",         // an input not given but read
      "disp(sq())",           // none given
      "disp(sq(1, 2))",       // too many
      "[a, b] = sq(1)",       // too many outputs
      "x = unset(1)",         // an output never set
      "none(4); disp(1)",     // no output: a statement call
      "v = none(4)",          // no output asked for one
      "sq({1})",              // an operator's error in the function
      "s = sq(2) + nothere",  // an error in the caller after the call
      "for k = 1:3, s(k) = sq(k); end, disp(s)",
  };
  for (const char* statement : statements)
    EXPECT_EQ(Outcome(std::string(statement) + "\n", false),
              Outcome(std::string(statement) + "\n", true))
        << statement;
  // The error raised by the operator inside the function names its line.
  EXPECT_NE(Outcome("sq({1})\n", false).find("sq"), std::string::npos);
}

TEST(LeafCalls, AFunctionDefinedAgainRunsAsItIsNow) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  SetContextFlag(ctx, 1);
  const auto define = [&](const char* body) {
    EXPECT_EQ(RunCommandLine(ctx, "clear -f\n"), kOk);
    return RunCommandLine(ctx, std::string("function y = f(x)\n  ") + body + "\nendfunction\n");
  };
  const char* loop = "s = 0; for k = 1:4, s = s + f(k); end, disp(s)\n";
  ASSERT_EQ(define("y = x + 1;"), kOk);
  ASSERT_EQ(RunCommandLine(ctx, loop), kOk) << host.Output(2);
  EXPECT_TRUE(DecodedAsLeaf(ctx, "f"));
  // Another operator, then no leaf, then a leaf again.
  ASSERT_EQ(define("y = x - 1;"), kOk);
  ASSERT_EQ(RunCommandLine(ctx, loop), kOk) << host.Output(2);
  ASSERT_EQ(define("if x > 2, y = x * 10; else, y = x; end"), kOk);
  ASSERT_EQ(RunCommandLine(ctx, loop), kOk) << host.Output(2);
  EXPECT_FALSE(DecodedAsLeaf(ctx, "f"));
  ASSERT_EQ(define("y = x * 3;"), kOk);
  ASSERT_EQ(RunCommandLine(ctx, loop), kOk) << host.Output(2);
  EXPECT_EQ(host.Output(1), "        14\n         6\n        73\n        30\n");

  // Brought back by an image over other code at the same place.
  host.ClearOutput();
  test::MemoryImage tripling = test::SaveToMemory(ctx);
  ASSERT_EQ(define("y = x / 2;"), kOk);
  ASSERT_EQ(RunCommandLine(ctx, loop), kOk) << host.Output(2);
  ASSERT_EQ(test::LoadFromMemory(ctx, tripling), kOk);
  ASSERT_EQ(RunCommandLine(ctx, loop), kOk) << host.Output(2);
  EXPECT_EQ(host.Output(1), "         5\n        30\n");
}

TEST(LeafCalls, TheDebuggerStopsInALeaf) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  SetContextFlag(ctx, 1);
  ASSERT_EQ(RunCommandLine(ctx, std::string(kFunctions) + "a = sq(3);\n"), kOk) << host.Output(2);
  EXPECT_TRUE(DecodedAsLeaf(ctx, "sq"));
  // Before its first line, and at its line.
  const struct {
    const char* stop;
    const char* shown;
  } stops[] = {{"dbstop sq\n", "<sq:0> \n"}, {"dbclear\ndbstop sq 2\n", "<sq:2> \n"}};
  for (const auto& [stop, shown] : stops) {
    ASSERT_EQ(RunCommandLine(ctx, stop), kOk) << host.Output(2);
    host.ClearOutput();
    EXPECT_EQ(RunCommandLine(ctx, "s = 0; for k = 1:3, s = s + sq(k); end\n"), kStatusDebug);
    EXPECT_EQ(host.Output(2), shown);
    UnwindCallFrames(ctx, 0);
    ctx->errLocCode = 0;
  }
}

struct Asked {
  int32_t count = 0;
  int32_t breakAt = -1;
};

bool AnswersBreak(uintptr_t argument) {
  auto* asked = reinterpret_cast<Asked*>(argument);
  return ++asked->count == asked->breakAt;
}

// A loop of little but leaf calls run in one go: the abort callback's
// questions and the outcome.
ErrCode RunCalls(bool watched, Asked* asked, std::string* output) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  SetContextFlag(ctx, 1);
  if (watched) BreakNowhere(ctx);
  SetHostCallbackPair(ctx, &AnswersBreak, reinterpret_cast<uintptr_t>(asked));
  const std::string text = std::string(kFunctions) +
                           "s = 0;\nfor k = 1:3000\n  s = mix(s, sq(0.01)) + lit(k);\n"
                           "  none(k);\nend\ndisp(s)\n";
  EXPECT_EQ(CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size())), kOk);
  const ErrCode e = ExecuteBytecode(ctx, 0);
  *output = host.Output(1);
  return e;
}

TEST(LeafCalls, CallsCountForTheAbortPollAsTheirInstructions) {
  Asked quick, general;
  std::string quickOut, generalOut;
  ASSERT_EQ(RunCalls(false, &quick, &quickOut), kOk);
  ASSERT_EQ(RunCalls(true, &general, &generalOut), kOk);
  EXPECT_EQ(quickOut, generalOut);
  EXPECT_GT(quick.count, 100);
  EXPECT_EQ(quick.count, general.count);
  // A break asked for in the middle ends the run.
  Asked stopped;
  stopped.breakAt = 50;
  std::string none;
  EXPECT_EQ(RunCalls(false, &stopped, &none), kStatusHalted);
  EXPECT_EQ(stopped.count, 50);
  EXPECT_EQ(none, "");
}

}  // namespace
}  // namespace vke
