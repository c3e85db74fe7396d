// Calls of small scalar leaf functions done without a frame: every outcome
// (values to the last bit, errors and where they were raised, values of
// other kinds) is the general call's, which a breakpoint elsewhere forces; a
// function defined again or brought back by an image runs as it is now; the
// debugger stops in a leaf; the calls count for the abort poll as before.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "compiler/compile.hpp"
#include "engine/code/function_table.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/decoded_leaf.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/engine_state.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::RunCommandLine;
using test::TestHost;

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
    "function y = clip(x)\n  if x > 2\n    y = x * 10;\n  elseif -1 >= x\n    y = -x;\n  else\n"
    "    y = x;\n  end\n  y = y + 1;\nendfunction\n"
    "function r = fib(n)\n  if n < 2\n    r = n;\n  else\n    r = fib(n - 1) + fib(n - 2);\n"
    "  end\nendfunction\n"
    "function y = half(x)\n  if x > 0\n    y = x / 2;\n  end\nendfunction\n"
    "function y = early(x)\n  y = 1;\n  if x ~= 0, return; end\n  y = later(x);\nendfunction\n"
    "function y = twice(x)\n  y = 1 - sq(x) + mix(x, sq(x + 1)) * 2;\nendfunction\n"
    "function y = wrap(x)\n  y = half(x) * 2 + early(x);\nendfunction\n"
    "function y = steps(x)\n  if x < 1, y = 1; elseif x < 2, y = 2; elseif x < 3, y = 3; "
    "elseif x < 4, y = 4; elseif x < 5, y = 5; elseif x < 6, y = 6; else, y = 7; end\n"
    "endfunction\n"
    "function y = many(x)\n  y = sq(x) + sq(x + 1) * (sq(x + 2) - sq(x + 3) / (sq(x + 4) + 1));"
    "\nendfunction\n";

// A breakpoint in no function: lines are watched, every call is general.
void BreakNowhere(EngineContext* ctx) {
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &ctx->bpTable), kOk);
  const int32_t pair[2] = {kMaxFunctionEntries - 1, 1};
  std::memcpy(BlockData(ctx, ctx->bpTable), pair, 8);
  ctx->bpCount = 1;
}

// What the text prints after the functions, or its error output.
std::string Outcome(const std::string& text, bool watched) {
  TestHost host;
  SetContextFlag(host.ctx(), 1);
  if (watched) BreakNowhere(host.ctx());
  const ErrCode e = RunCommandLine(host.ctx(), kFunctions + text);
  return e == kOk ? host.Output(1) : "error " + std::to_string(e) + ": " + host.Output(2);
}

// The decoded leaf that the calls of the function took; null: none.
const DecodedLeaf* LeafOf(EngineContext* ctx, const std::string& name) {
  for (int32_t f = 1; f < static_cast<int32_t>(ctx->funcCount); f++) {
    const FunctionTableEntry* entry = GetFunctionEntry(ctx, f);
    const char* text = nullptr;
    int32_t length = 0;
    GetFunctionNameOfIndex(ctx, f, &text, &length);
    if (!IsFunctionEntry(*entry) || entry->code <= 0 || !text || std::string(text, length) != name)
      continue;
    const int16_t* block = reinterpret_cast<const int16_t*>(ctx->CodeBytes()) + entry->code;
    const DecodedLeaf& d = DecodedLeafAt(block);
    return d.leaf && d.block == block && d.generation == CodeGeneration() ? &d : nullptr;
  }
  return nullptr;
}

bool DecodedAsLeaf(EngineContext* ctx, const std::string& name) {
  return LeafOf(ctx, name) != nullptr;
}

TEST(LeafCalls, ValuesAreTheGeneralCallsToTheLastBit) {
  const std::string text =
      "r = [];\n"
      "for x = [0.1, -0, 3, -2.5, 1e308, -Inf, NaN, 7]\n"
      "  r = [r, sq(x), mix(x, 1/3), mix(sq(x), x), lit(x), ops(x, 0.7), ops(3, x), first(x)];\n"
      "  r = [r, clip(x), early(x + 0.5), fib(min(abs(x), 9)), twice(x), wrap(3), "
      "steps(x), steps(abs(x) + 5), many(x)];\n"
      "end\n"
      "fprintf('%d ', typecast(r, 'uint32')); disp(' ')\nsq(4)\nnone(1)\n";
  const std::string quick = Outcome(text, false);
  EXPECT_EQ(quick, Outcome(text, true));
  EXPECT_NE(quick.find("ans =\n        16\n"), std::string::npos) << quick;

  TestHost host;
  ASSERT_EQ(RunCommandLine(host.ctx(), kFunctions + std::string("a = lit(2) + ops(1, 2);\n")), kOk);
  EXPECT_TRUE(DecodedAsLeaf(host.ctx(), "lit"));
  EXPECT_TRUE(DecodedAsLeaf(host.ctx(), "ops"));
  // A recursion's ends take the quick way; a body whose every path calls
  // takes none.
  ASSERT_EQ(RunCommandLine(host.ctx(), "a = fib(6) + clip(3) + early(1) + half(1) + twice(2);\n"),
            kOk);
  EXPECT_TRUE(DecodedAsLeaf(host.ctx(), "twice"));
  EXPECT_TRUE(DecodedAsLeaf(host.ctx(), "fib"));
  EXPECT_TRUE(DecodedAsLeaf(host.ctx(), "clip"));
  EXPECT_TRUE(DecodedAsLeaf(host.ctx(), "early"));
  EXPECT_TRUE(DecodedAsLeaf(host.ctx(), "half"));
  // A body of more paths than a leaf holds: the paths beyond are general
  // ones, and every way points into the table.
  ASSERT_EQ(RunCommandLine(host.ctx(), "a = steps(1);\n"), kOk);
  const DecodedLeaf* steps = LeafOf(host.ctx(), "steps");
  ASSERT_NE(steps, nullptr);
  for (const LeafSegment& s : steps->segments) {
    if (s.kind == LeafSegment::kTest) {
      EXPECT_LT(s.onTrue, DecodedLeaf::kMaxSegments);
      EXPECT_LT(s.onFalse, DecodedLeaf::kMaxSegments);
    }
  }
}

// A chain of calls deeper than the leaves nest, whose blocks may share
// places in the table of decoded leaves: no call goes on with the leaf of
// another.
TEST(LeafCalls, ACallNeverGoesOnWithAnotherFunctionsLeaf) {
  const std::string chain =
      "function r = c5(x)\n  r = c4(x) - c4(x + 1) * 0.5;\nendfunction\n"
      "function r = c0(x)\n  r = x * 2 + 1;\nendfunction\n"
      "function r = c1(x)\n  r = c0(x) - c0(x + 1) * 0.5;\nendfunction\n"
      "function r = c2(x)\n  r = c1(x) - c1(x + 1) * 0.5;\nendfunction\n"
      "function r = c3(x)\n  r = c2(x + 3);\nendfunction\n"
      "function r = c4(x)\n  r = c3(x + 4);\nendfunction\n"
      "fprintf('%.17g\\n', c5(0.25), c5(0.25), c5(0.25), c4(1), c2(-3));\n";
  EXPECT_EQ(Outcome(chain, false), "1.1875\n1.1875\n1.1875\n3.25\n-2.25\n");

  // Many functions, their blocks all over the table, in six levels: the
  // first are leaves, a few with branches; each of the others calls one or
  // two of the level below.
  std::string many;
  constexpr int kLevel = 40, kFunctions = 6 * kLevel;
  for (int f = 0; f < kFunctions; f++) {
    many += "function r = m" + std::to_string(f) + "(x)\n";
    const int below = f / kLevel * kLevel - kLevel;
    const std::string first = "m" + std::to_string(below + f * 7 % kLevel);
    const std::string second = "m" + std::to_string(below + (f * 13 + 5) % kLevel);
    if (below < 0 && f % 3 == 0)
      many += "  if x > " + std::to_string(f % 5) + "\n    r = x * " + std::to_string(f + 2) +
              ";\n  else\n    r = 1 - x;\n  end\n";
    else if (below < 0)
      many += "  r = x * " + std::to_string(f + 2) + " + 1;\n";
    else if (f % 4 == 0)
      many += "  r = " + first + "(x + 3);\n";
    else
      many += "  r = " + first + "(x) - " + second + "(x + 1) * 0.5;\n";
    many += "endfunction\n";
  }
  many += "s = 0;\nfor k = 0:3\n";
  for (int f = kLevel; f < kFunctions; f++)
    many += "  s = s * 0.25 + m" + std::to_string(f) + "(k / 4);\n";
  many += "end\nfprintf('%.17g\\n', s);\n";
  EXPECT_EQ(Outcome(many, false), Outcome(many, true));
}

TEST(LeafCalls, OtherValuesAndCountsTakeTheGeneralCall) {
  const char* statements[] = {
      "disp(sq([1 2; 3 4]))",
      "disp(sq(2i))",
      "disp(class(sq(int32(3))))",
      "disp(class(sq(single(1))))",
      "disp(sq('a'))",
      "disp(sq(true))",
      "disp(mix(1, [1 2]))",
      "disp(root(-4))",
      "disp(first(3))",
      "disp(mix(1))",
      "disp(sq())",
      "disp(sq(1, 2))",
      "[a, b] = sq(1)",
      "x = unset(1)",
      "none(4); disp(1)",
      "v = none(4)",
      "sq({1})",
      "s = sq(2) + nothere",
      "disp(half(-1))",
      "x = half(0)",
      "disp(early(0))",
      "disp(clip(NaN))",
      "disp(clip([1 3]))",
      "disp(clip(int8(3)))",
      "disp(fib(3, 1))",
      "disp(wrap(-1))",
      "disp(wrap(0))",
      "disp(twice(NaN))",
  };
  for (const char* statement : statements)
    EXPECT_EQ(Outcome(std::string(statement) + "\n", false),
              Outcome(std::string(statement) + "\n", true))
        << statement;
  // The operator's error names the function's line.
  EXPECT_NE(Outcome("sq({1})\n", false).find("sq;2"), std::string::npos);
}

TEST(LeafCalls, AFunctionDefinedAgainRunsAsItIsNow) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const auto define = [&](const char* body) {
    EXPECT_EQ(RunCommandLine(ctx, "clear -f\n"), kOk);
    EXPECT_EQ(RunCommandLine(ctx, std::string("function y = f(x)\n") + body + "\nendfunction\n"),
              kOk);
    EXPECT_EQ(RunCommandLine(ctx, "s = 0; for k = 1:4, s = s + f(k); end, disp(s)\n"), kOk);
  };
  define("y = x + 1;");
  EXPECT_TRUE(DecodedAsLeaf(ctx, "f"));
  define("y = x - 1;");
  define("if x > 2, y = x * 10; else, y = x; end");
  EXPECT_TRUE(DecodedAsLeaf(ctx, "f"));
  define("y = 0; for j = 1:x, y = y + j; end");
  EXPECT_FALSE(DecodedAsLeaf(ctx, "f"));
  define("y = x * 3;");
  // Brought back by an image over other code at the same place.
  test::MemoryImage tripling = test::SaveToMemory(ctx);
  define("y = x / 2;");
  ASSERT_EQ(test::LoadFromMemory(ctx, tripling), kOk);
  ASSERT_EQ(RunCommandLine(ctx, "s = 0; for k = 1:4, s = s + f(k); end, disp(s)\n"), kOk);
  EXPECT_EQ(host.Output(1),
            "        14\n         6\n        73\n        20\n        30\n         5\n        30\n");
}

TEST(LeafCalls, ACalleeDefinedAgainRunsAsItIsNow) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const auto run = [&](const char* g) {
    EXPECT_EQ(RunCommandLine(ctx, "clear -f\n"), kOk);
    EXPECT_EQ(RunCommandLine(ctx, std::string("function y = f(x)\n  y = g(x) * 2;\n"
                                              "endfunction\nfunction y = g(x)\n") +
                                      g + "\nendfunction\n"),
              kOk);
    RunCommandLine(ctx, "s = 0; for k = 1:4, s = s + f(k); end, disp(s)\n");
  };
  run("y = x + 1;");
  EXPECT_TRUE(DecodedAsLeaf(ctx, "f"));
  run("y = x - 1;");
  run("y = later(x);");
  EXPECT_EQ(host.Output(1), "        28\n        12\n");
  EXPECT_NE(host.Output(2).find("later"), std::string::npos) << host.Output(2);
}

TEST(LeafCalls, TheDebuggerStopsInALeaf) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  SetContextFlag(ctx, 1);
  ASSERT_EQ(RunCommandLine(ctx, std::string(kFunctions) + "a = sq(3);\n"), kOk);
  EXPECT_TRUE(DecodedAsLeaf(ctx, "sq"));
  // Before its first line, and at its line.
  for (const char* stop : {"dbstop sq\n", "dbclear\ndbstop sq 2\n"}) {
    ASSERT_EQ(RunCommandLine(ctx, stop), kOk);
    host.ClearOutput();
    EXPECT_EQ(RunCommandLine(ctx, "s = 0; for k = 1:3, s = s + sq(k); end\n"), kStatusDebug);
    EXPECT_EQ(host.Output(2), stop[2] == 's' ? "<sq:0> \n" : "<sq:2> \n");
    UnwindCallFrames(ctx, 0);
    ctx->errLocCode = 0;
  }
}

// Stepping into a leaf's call from a stop enters the leaf, also once the
// breakpoint that stopped the run is cleared and lines are quiet again, so
// that the call could go without a frame.
TEST(LeafCalls, StepInEntersALeafAfterTheBreakpointIsCleared) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  SetContextFlag(ctx, 1);
  ASSERT_EQ(RunCommandLine(ctx,
                           "function s = squares(n)\n  s = 0;\n  for k = 1:n\n"
                           "    s = s + sq(k);\n  end\nendfunction\n" +
                               std::string(kFunctions) + "a = sq(3);\n"),
            kOk);
  EXPECT_TRUE(DecodedAsLeaf(ctx, "sq"));
  ASSERT_EQ(RunCommandLine(ctx, "dbstop squares 4\n"), kOk);
  host.ClearOutput();
  ASSERT_EQ(RunCommandLine(ctx, "t = squares(3);\n"), kStatusDebug);
  EXPECT_EQ(host.Output(2).rfind("<squares:4>", 0), 0u) << host.Output(2);
  ASSERT_EQ(RunCommandLine(ctx, "dbclear\n"), kOk);
  host.ClearOutput();
  EXPECT_EQ(RunCommandLine(ctx, "dbstep in\n"), kStatusDebug);
  EXPECT_EQ(host.Output(2), "<sq:0> \n");
  ASSERT_EQ(RunCommandLine(ctx, "dbcont\n"), kOk);
  host.ClearOutput();
  ASSERT_EQ(RunCommandLine(ctx, "disp(t)\n"), kOk);
  EXPECT_EQ(host.Output(1), "        14\n");
}

struct Asked {
  int32_t count = 0;
  int32_t breakAt = -1;
};

bool AnswersBreak(uintptr_t argument) {
  auto* asked = reinterpret_cast<Asked*>(argument);
  return ++asked->count == asked->breakAt;
}

// A loop of little but calls, run in one go.
ErrCode RunCalls(bool watched, Asked* asked, std::string* output) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  SetContextFlag(ctx, 1);
  if (watched) BreakNowhere(ctx);
  SetHostCallbackPair(ctx, &AnswersBreak, reinterpret_cast<uintptr_t>(asked));
  const std::string text = std::string(kFunctions) +
                           "s = 0;\nfor k = 1:3000\n  s = mix(s, sq(0.01)) + lit(k);\n"
                           "  s = s + clip(k - 1500) + fib(mod(k, 12)) + early(k) + twice(k);\n"
                           "  none(k);\nend\ndisp(s)\n";
  EXPECT_EQ(CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size())), kOk);
  const ErrCode e = ExecuteBytecode(ctx, 0);
  *output = host.Output(1);
  return e;
}

TEST(LeafCalls, CallsCountForTheAbortPollAsTheirInstructions) {
  Asked quick, general, stopped;
  std::string quickOut, generalOut, none;
  ASSERT_EQ(RunCalls(false, &quick, &quickOut), kOk);
  ASSERT_EQ(RunCalls(true, &general, &generalOut), kOk);
  EXPECT_EQ(quickOut, generalOut);
  EXPECT_GT(quick.count, 100);
  EXPECT_EQ(quick.count, general.count);
  // A break asked for in the middle ends the run.
  stopped.breakAt = 50;
  EXPECT_EQ(RunCalls(false, &stopped, &none), kStatusHalted);
  EXPECT_EQ(stopped.count, 50);
  EXPECT_EQ(none, "");
}

}  // namespace
}  // namespace vke
