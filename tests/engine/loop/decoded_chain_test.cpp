// Runs of scalar instructions kept decoded beside the code: other code put
// where a decoded run was (another command line, a function defined again, an
// image loaded back, the area moved) runs as itself; a variable that stops
// holding a real double scalar inside a loop takes the general path; and
// runs in slices give what one run gives. Rounds of for-range loops whose
// body is one scalar statement, done whole, give what their instructions
// one by one give, and a stop asked for between rounds stops at the line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "compiler/compile.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/fast_forms.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/element_operations.hpp"
#include "tests/host/assembler.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/engine_state.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::RunCommandLine;
using test::TestHost;

// A loop whose statement is one decoded run, with the operators given.
std::string LoopWith(const char* first, const char* second) {
  return std::string("s = 1; for k = 1:6, s = s ") + first + " k .* 0.5 " + second +
         " 1; end; disp(s)\n";
}

TEST(DecodedRuns, OtherCodeAtTheSamePlaceRunsAsItself) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // Command lines of one length run from the same place on the stack.
  const struct {
    const char* first;
    const char* second;
    const char* shown;
  } lines[] = {
      {"+", "-", "       5.5\n"},
      {"-", "+", "      -3.5\n"},
      {"*", "/", "     11.25\n"},
      {"+", "-", "       5.5\n"},
  };
  for (const auto& line : lines) {
    host.ClearOutput();
    ASSERT_EQ(RunCommandLine(ctx, LoopWith(line.first, line.second)), kOk) << host.Output(2);
    EXPECT_EQ(host.Output(1), line.shown) << line.first << line.second;
  }
  // A function defined again, with another operator in its loop.
  host.ClearOutput();
  ASSERT_EQ(RunCommandLine(ctx,
                           "function s = f(n)\n  s = 0;\n  for k = 1:n, s = s + k * 2; end\n"
                           "endfunction\ndisp(f(4))\n"),
            kOk)
      << host.Output(2);
  // The functions' code removed, another compiled where it was.
  ASSERT_EQ(RunCommandLine(ctx, "clear -f\n"), kOk) << host.Output(2);
  ASSERT_EQ(RunCommandLine(ctx,
                           "function s = h(n)\n  s = 0;\n  for k = 1:n, s = s - k * 2; end\n"
                           "endfunction\ndisp(h(4))\n"),
            kOk)
      << host.Output(2);
  EXPECT_EQ(host.Output(1), "        20\n       -20\n");
}

TEST(DecodedRuns, AnImageLoadedBackOrAnAreaMovedRunsItsOwnCode) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const char* define = "function s = g(n)\n  s = 0;\n  for k = 1:n, s = s %s k; end\nendfunction\n";
  char text[160];
  std::snprintf(text, sizeof text, define, "+");
  ASSERT_EQ(RunCommandLine(ctx, std::string(text) + "disp(g(4))\n"), kOk) << host.Output(2);
  test::MemoryImage adding = test::SaveToMemory(ctx);
  // Removed, another compiled where it was and run: the decoded run is the
  // subtracting one.
  ASSERT_EQ(RunCommandLine(ctx, "clear -f\n"), kOk) << host.Output(2);
  std::snprintf(text, sizeof text, define, "-");
  text[std::string(text).find("g(n)")] = 'h';
  ASSERT_EQ(RunCommandLine(ctx, std::string(text) + "disp(h(4))\n"), kOk) << host.Output(2);
  // The image brings the adding code back.
  ASSERT_EQ(test::LoadFromMemory(ctx, adding), kOk);
  ASSERT_EQ(RunCommandLine(ctx, "disp(g(4))\n"), kOk) << host.Output(2);
  EXPECT_EQ(host.Output(1), "        10\n       -10\n        10\n");

  // Moved into a larger area, the code runs from its new place; the check
  // is made by the code itself.
  test::MovableArea area(ctx, 1u << 20);
  const char* check = "if g(5) ~= 15, error('wrong sum'); end\n";
  ASSERT_EQ(RunCommandLine(area.ctx(), check), kOk);
  area.Grow((1u << 20) + (1u << 19), 6);
  ASSERT_EQ(RunCommandLine(area.ctx(), check), kOk);
}

TEST(DecodedRuns, AVariableThatChangesKindInsideTheLoopTakesTheGeneralPath) {
  // s is a real double scalar for two rounds, then another kind for one
  // (an integer or single one gives a double at once): each round adds
  // k/2 - 1, so s ends as the value plus 3.
  const struct {
    const char* value;
    const char* expected;
  } kinds[] = {
      {"[1 2]", "[4 5]"}, {"'ab'", "[100 101]"}, {"1i", "3 + 1i"},
      {"int32(4)", "7"},  {"single(2)", "5"},
  };
  for (const auto& kind : kinds) {
    TestHost host;
    const std::string text = std::string("s = 0;\nfor k = 1:5\n  if k == 3, s = ") + kind.value +
                             "; end\n  s = s + k .* 0.5 - 1;\nend\ndisp(s)\ndisp(" + kind.expected +
                             ")\n";
    ASSERT_EQ(RunCommandLine(host.ctx(), text), kOk) << kind.value << host.Output(2);
    const std::string shown = host.Output(1);
    EXPECT_EQ(shown.substr(0, shown.size() / 2), shown.substr(shown.size() / 2)) << kind.value;
  }
}

// The loop run in one go (ExecuteBytecode without slices).
std::string OutputUnsliced(const std::string& text) {
  TestHost host;
  EXPECT_EQ(CompileCommandLine(host.ctx(), text.data(), static_cast<int32_t>(text.size())), kOk);
  EXPECT_EQ(ExecuteBytecode(host.ctx(), 0), kOk) << host.Output(2);
  return host.Output(1);
}

// A damaged run's code (an image's) may name a variable by a negative
// number, which a decoded run's loads would take for one of its element
// reads: such a run is left to the instructions, whose error it gives, as
// with the fast forms off.
TEST(DecodedRuns, NegativeVariableNumbersFailAsTheInstructionsFail) {
  using test::Assembler;
  // x = [5 6], then s = x(1) + v or s = x(v) + 1 with the variable number v.
  auto run = [](bool element, int16_t variable, bool fast) {
    SetFastForms(fast);
    TestHost host;
    EngineContext* ctx = host.ctx();
    test::SetBaseVariables(ctx, {"x", "s"});
    Assembler a;
    a.Op(kOpPushSmallInt, {5}).Op(kOpPushSmallInt, {6}).Op(kOpHorzcat, {2}).Op(kOpStoreVar, {1});
    if (element) {
      a.Op(kOpLoadIndexed, {1}).Op(kOpLoadVar, {variable}).Op(kOpParenAfterIndex, {1, 0, 1});
      a.Op(kOpPushOne);
    } else {
      a.Op(kOpLoadIndexed, {1}).Op(kOpPushOne).Op(kOpParenAfterIndex, {1, 0, 1});
      a.Op(kOpLoadVar, {variable});
    }
    a.Op(kOpPlus).Op(kOpStoreVar, {2}).Op(kOpHalt);
    const ErrCode e = test::RunBaseCode(ctx, a);
    SetFastForms(true);
    return e;
  };
  for (const bool element : {false, true}) {
    for (const int16_t variable : {-1, -2, -4449, -32768}) {
      SCOPED_TRACE(std::to_string(variable) + (element ? " as a subscript" : ""));
      const ErrCode general = run(element, variable, false);
      EXPECT_NE(general, kOk);
      EXPECT_EQ(run(element, variable, true), general);
    }
  }
}

TEST(DecodedRuns, SlicedAndUnslicedRunsAgree) {
  const char* loops[] = {
      "s = 0; for k = 1:200, s = s + k .* 0.5 - 1; end; disp(s)\n",
      "s = 0; n = 0; while n < 50, n = n + 1; s = s - n / 3; end; disp([s n])\n",
      "s = 2; for k = 1:30, if s * 2 > k + 1, s = s - 1; else s = s + 3; end; end; disp(s)\n",
      "a = 1; b = 2; for k = 1:40, a = b - a * 0.5; b = a + b .\\ 4; end; disp([a b])\n",
  };
  for (const char* loop : loops) {
    SCOPED_TRACE(loop);
    TestHost host;
    ASSERT_EQ(RunCommandLine(host.ctx(), loop), kOk) << host.Output(2);
    EXPECT_EQ(host.Output(1), OutputUnsliced(loop));
  }
}

// More runs in one loop than the table of decoded runs holds: they take one
// another's entries round after round and each still gives its own result.
TEST(DecodedRuns, RunsThatShareTheirEntriesKeepTheirOwnResults) {
  std::string text = "t = 0;\nfor k = 1:3\n";
  for (int32_t i = 1; i <= 150; i++) {
    const std::string v = "v" + std::to_string(i);
    text += "  " + v + " = k * " + std::to_string(i) + " - 1;\n  t = t + " + v + ";\n";
  }
  text += "end\ndisp(t)\n";
  // Each round adds k times 1 + ... + 150 less 150: 6 * 11325 - 450.
  TestHost host;
  ASSERT_EQ(RunCommandLine(host.ctx(), text), kOk) << host.Output(2);
  EXPECT_EQ(host.Output(1), "     67500\n");
}

// Element-wise options in a run: one whose result is no real scalar in some
// rounds (a root of a negative number) gives what the general path gives,
// an infinite power of zero stays a real one, and later rounds go on.
TEST(DecodedRuns, AnOptionWithoutARealResultTakesTheGeneralPath) {
  const struct {
    const char* loop;
    const char* expected;
  } cases[] = {
      {"s = 0; for k = 1:4, s = s + (k - 3) .^ 0.5; end", "1 + (sqrt(2) + 1) * 1i"},
      {"s = 1; for k = 1:4, s = s - (k - 2) .^ -1; end", "-Inf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.loop);
    TestHost host;
    const std::string text = std::string(c.loop) + "\ndisp(s)\ndisp(" + c.expected + ")\n";
    ASSERT_EQ(RunCommandLine(host.ctx(), text), kOk) << host.Output(2);
    const std::string shown = host.Output(1);
    EXPECT_EQ(shown.substr(0, shown.size() / 2), shown.substr(shown.size() / 2));
  }
}

// A statement that appends to a variable may give it another block; the
// scalar statements after it in the same round read and write the variables
// where they are now.
TEST(DecodedRuns, ScalarsAfterAnAppendInTheSameRoundSeeTheBlocksAsTheyAreNow) {
  TestHost host;
  ASSERT_EQ(RunCommandLine(host.ctx(),
                           "s = []; a = 0; b = 1; for k = 1:300, s = [s k]; a = a + k * 2; "
                           "b = [b k]; a = a - 1; end; disp([a sum(s) sum(b) numel(b)])\n"),
            kOk)
      << host.Output(2);
  // a: 2 * 45150 - 300; s: 45150; b: 1 + 45150 in 301 elements.
  TestHost expected;
  ASSERT_EQ(RunCommandLine(expected.ctx(), "disp([90000 45150 45151 301])\n"), kOk);
  EXPECT_EQ(host.Output(1), expected.Output(1));
}

// The output of a text run in slices, with line markers or without.
std::string OutputWithMarkers(const std::string& text, uint8_t markers, int32_t slices) {
  TestHost host;
  SetContextFlag(host.ctx(), markers);
  EXPECT_EQ(RunCommandLine(host.ctx(), text, slices), kOk) << text << host.Output(2);
  return host.Output(1) + host.Output(2);
}

// Each loop's body is scalar statements, done as a decoded round; its twin
// has a statement that is not scalar, so that its rounds go instruction by
// instruction. Both give the same, sliced or not, with line markers or not.
// A round reads elements of matrices among its operands.
TEST(DecodedRounds, RoundsGiveWhatTheirInstructionsGive) {
  const char* loops[] = {
      "s = 0; for k = 1:200, s = s + k .* 0.5 - 1%s; end; disp(s)\n",
      // A loop variable read twice, a falling range of fractions.
      "s = 1; for k = 10:-0.5:1, s = k * k / (s + k)%s; end; disp(s)\n",
      // The stored variable read twice, another variable read.
      "s = 1; for k = 1:6, s = s * 0.5 + s / k%s; end; disp(s)\n",
      "a = 2; s = 0; for k = 1:5, s = s + a * k - a%s; end; disp([s a])\n",
      // The loop variable itself stored.
      "for k = 1:5, k = k * 2 - 1%s; end; disp(k)\n",
      // The first round makes the variable; the others store into it.
      "for k = 1:5, t = 3 - k%s; end; disp(t)\n",
      // Variables of other kinds, and a division by zero.
      "s = int8(1); for k = 1:20, s = s + k%s; end; disp(s)\n",
      "s = 'a'; for k = 1:3, s = s + k%s; end; disp(s)\n",
      "s = 0; for k = -2:2, s = s + 1 / k%s; end; disp(s)\n",
      "s = 0; for k = 1:4, s = s + (k - 3) .^ 0.5%s; end; disp(s)\n",
      // Several statements: one reads what another stored in the same
      // round, or stores the same variable again; the loop variable stored
      // and read after; a variable first stored, then read.
      "a = 0; b = 1; for k = 1:30, a = a + b * k%s; b = b * 0.5 + a / k; end; disp([a b])\n",
      "s = 0; for k = 1:10, s = s + k; s = s * 0.5%s; end; disp(s)\n",
      "for k = 1:5, k = k + 1; t = k * 2%s; end; disp([k t])\n",
      "x = 1; for k = 1:8, y = x + k;\n  x = y / 2%s;\nend; disp([x y])\n",
      // An empty range and one round.
      "s = 7; for k = 1:0, s = s + k%s; end; for k = 2:2, s = s * k%s; end; disp(s)\n",
      // Elements read: subscripts stored in the same round, literals, the
      // loop variable, a scalar's only element.
      "v = (1:10) * 0.5; s = 0; for i = 1:40, k = mod(i, 10) + 1; s = s + v(k) * 2%s; end; "
      "disp(s)\n",
      "A = magic(4); s = 0; for i = 1:16, r = mod(i, 4) + 1; c = mod(i * 3, 4) + 1;\n"
      "  s = s - A(r, c) / 2 + A(c, 2)%s; end; disp(s)\n",
      "v = [3 1 4 1 5]; x = 2; j = 1; s = 0; for i = 1:5, s = s + v(i) * v(2) - x(j)%s; end; "
      "disp(s)\n",
      // Matrices of other kinds, a matrix the round stores, the loop
      // variable's element.
      "v = int8([1 2 3]); s = 0; for i = 1:3, s = s + v(i)%s; end; disp(s)\n",
      "v = [1i 2]; s = 0; for i = 1:2, s = s + v(i)%s; end; disp(s)\n",
      "v = 'abc'; s = 0; for i = 1:3, s = s + v(i)%s; end; disp(s)\n",
      "v = [5 6]; for i = 1:3, v = v(1) + i%s; end; disp(v)\n",
      "v = 5; j = 1; s = 0; for i = 1:3, v = v + i; s = v(j) * 2%s; end; disp([v s])\n",
      "s = 0; for i = 1:3, s = s + i(1)%s; end; disp(s)\n",
  };
  for (const char* loop : loops) {
    char round[256], twin[256];
    std::snprintf(round, sizeof round, loop, "", "");
    std::snprintf(twin, sizeof twin, loop, "; t0 = []", "; t0 = []");
    SCOPED_TRACE(round);
    const std::string expected = OutputWithMarkers(twin, 0, 1000000);
    EXPECT_FALSE(expected.empty());
    for (uint8_t markers : {0, 1}) {
      EXPECT_EQ(OutputWithMarkers(round, markers, 1000000), expected) << int{markers};
      EXPECT_EQ(OutputWithMarkers(twin, markers, 1000000), expected) << int{markers};
    }
    EXPECT_EQ(OutputUnsliced(round), OutputUnsliced(twin));
  }
}

// An element outside its matrix (past its end, not whole) in some round:
// the rounds before it are done, and the failure is the instructions'.
TEST(DecodedRounds, ElementsOutsideTheirMatrixFailAsTheInstructionsFail) {
  const char* loops[] = {
      "v = [1 2 3]; s = 0;\ntry\n  for i = 1:5, s = s + v(i)%s; end\ncatch\n  disp(lasterr)\n"
      "end\ndisp(s)\n",
      "v = [1 2 3]; s = 0;\ntry\n  for i = 1:3, k = i / 2; s = s + v(k)%s; end\ncatch\n"
      "  disp(lasterr)\nend\ndisp(s)\n",
      "A = eye(2); s = 0;\ntry\n  for i = 1:3, s = s + A(i, 1) + A(1, i)%s; end\ncatch\n"
      "  disp(lasterr)\nend\ndisp(s)\n",
  };
  for (const char* loop : loops) {
    char round[256], twin[256];
    std::snprintf(round, sizeof round, loop, "");
    std::snprintf(twin, sizeof twin, loop, "; t0 = []");
    SCOPED_TRACE(round);
    for (uint8_t markers : {0, 1}) {
      const std::string expected = OutputWithMarkers(twin, markers, 1000000);
      EXPECT_NE(expected.find("for variable"), std::string::npos) << expected;
      EXPECT_EQ(OutputWithMarkers(round, markers, 1000000), expected) << int{markers};
    }
  }
}

// A round loop inside a loop whose other statements take every entry of
// the table in each outer round: the round is found again, each time with
// its own result.
TEST(DecodedRounds, ARoundWhoseEntryOthersTookIsFoundAgain) {
  std::string text = "s = 0;\nfor i = 1:3\n  for k = 1:5\n    s = s + k * i;\n  end\n";
  for (int32_t v = 1; v <= 300; v++)
    text += "  v" + std::to_string(v) + " = i * " + std::to_string(v) + " - 1;\n";
  text += "end\ndisp([s v300])\n";
  TestHost host;
  SetContextFlag(host.ctx(), 1);
  ASSERT_EQ(RunCommandLine(host.ctx(), text), kOk) << host.Output(2);
  // s: 15 * (1 + 2 + 3); v300: 3 * 300 - 1.
  TestHost expected;
  ASSERT_EQ(RunCommandLine(expected.ctx(), "disp([90 899])\n"), kOk);
  EXPECT_EQ(host.Output(1), expected.Output(1));
}

// A stop asked for between slices (as a break with the debugger's
// interrupt on asks for it): the next slice stops at the body's line, as the
// instructions one by one stop there.
TEST(DecodedRounds, AStopAskedForBetweenRoundsStopsAtTheLine) {
  const std::string round = "s = 0;\nfor k = 1:9\n  s = s + k;\nend\ndisp(s)\n";
  const std::string twin = "s = 0;\nfor k = 1:9\n  s = s + k; t0 = [];\nend\ndisp(s)\n";
  // The codes of the slices, the frame's line after each, and s.
  const auto stops = [](const std::string& text) {
    TestHost host;
    EngineContext* ctx = host.ctx();
    SetContextFlag(ctx, 1);
    std::string seen;
    ErrCode e = CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size()));
    for (int32_t slice = 0; slice < 6 && (e == kOk || e == kStatusSuspended); slice++) {
      if (slice == 4) FrameWords(ctx, ctx->curFrame)[kFwStopRequest] = kStopAtNextLine;
      e = ExecuteBytecode(ctx, 1);
      seen += std::to_string(e) + "@" +
              std::to_string(FrameWords(ctx, ctx->curFrame)[kFwPosition]) + " ";
    }
    return seen;
  };
  const std::string shown = stops(round);
  EXPECT_NE(shown.find(std::to_string(kStatusDebug) + "@"), std::string::npos) << shown;
  EXPECT_EQ(shown, stops(twin));
}

// A break asked for at the end of a round's slice halts the run, or stops
// it for the debugger, where the instructions one by one would.
TEST(DecodedRounds, ABreakAtARoundsEndHaltsAsTheInstructionsHalt) {
  const std::string round = "s = 0;\nfor k = 1:9\n  s = s + k;\nend\ndisp(s)\n";
  const std::string twin = "s = 0;\nfor k = 1:9\n  s = s + k; t0 = [];\nend\ndisp(s)\n";
  for (uint8_t debug : {0, 1}) {
    const auto halted = [&](const std::string& text) {
      TestHost host;
      EngineContext* ctx = host.ctx();
      SetContextFlag(ctx, 1);
      SetInterruptDebug(ctx, debug);
      host.ScriptBreaks({false, false, false, true, true});
      const ErrCode e = RunCommandLine(ctx, text + "disp(k)\n");
      std::string seen = std::to_string(e) + " " + host.Output(1) + host.Output(2);
      if (e == kStatusDebug)
        seen += " @" + std::to_string(FrameWords(ctx, ctx->curFrame)[kFwPosition]);
      return seen;
    };
    const std::string shown = halted(round);
    EXPECT_EQ(shown.substr(0, 3), std::to_string(debug ? kStatusDebug : kStatusHalted)) << shown;
    EXPECT_EQ(shown, halted(twin)) << int{debug};
  }
}

// A stop asked for between slices of a loop whose body begins with a
// branch (two markers at once in its else part) stops at the body's first
// line, before anything of the round ran, and goes on from there.
TEST(DecodedRuns, AStopBeforeSeveralMarkersStopsAtTheFirst) {
  const std::string text =
      "s = 0;\nfor k = 1:9\n  if k > 100, s = 0; else, s = s + k; end\n  s = s * 1;\nend\n";
  TestHost host;
  EngineContext* ctx = host.ctx();
  SetContextFlag(ctx, 1);
  ErrCode e = CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size()));
  std::string seen;
  for (int32_t slice = 0; slice < 5 && (e == kOk || e == kStatusSuspended); slice++) {
    if (slice == 3) FrameWords(ctx, ctx->curFrame)[kFwStopRequest] = kStopAtNextLine;
    e = ExecuteBytecode(ctx, 1);
    seen +=
        std::to_string(e) + "@" + std::to_string(FrameWords(ctx, ctx->curFrame)[kFwPosition]) + " ";
  }
  const std::string stop = std::to_string(kStatusDebug) + "@3 ";
  EXPECT_NE(seen.find(stop), std::string::npos) << seen;
  // Three slices of a round each before it.
  EXPECT_EQ(seen.substr(0, seen.find(stop)).size(),
            3 * (std::to_string(kStatusSuspended).size() + 3))
      << seen;
}

TEST(DecodedRuns, OnlyAFamilysOwnCharactersAreItsOptions) {
  for (const char c : std::string("=~<>LG")) EXPECT_TRUE(IsFamilyOption(c, "=~<>LG")) << c;
  // Values whose low byte is a member's, zero and negatives are not options.
  for (const int32_t option : {0, -1, '<' + 128, '<' + 256, '=' - 256, int32_t{'+'}, int32_t{'l'}})
    EXPECT_FALSE(IsFamilyOption(option, "=~<>LG")) << option;
  EXPECT_FALSE(IsFamilyOption('<', ""));
}

}  // namespace
}  // namespace vke
