// A command line typed in part, as the console asks about it: an error no
// later line can mend is found on the line that holds it (a token, a
// closing bracket or a block keyword out of place, a statement wrong, in
// the text or in a definition); a text that lacks only its end has none; a
// line of a block looked at alone knows the names of the lines before it;
// and nothing of the look is kept.
#include <gtest/gtest.h>

#include <string>

#include "compiler/compile.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "tests/host/engine_state.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::MovableArea;
using test::TestHost;

ErrCode Fault(EngineContext* ctx, const std::string& text) {
  return CommandLineFault(ctx, text.data(), static_cast<int32_t>(text.size()));
}

// Compiles and runs a whole command line.
ErrCode RunLine(EngineContext* ctx, const std::string& text) {
  ErrCode e = CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size()));
  if (e) return e;
  while ((e = ExecuteBytecode(ctx, 1)) == kStatusSuspended) {
  }
  return e;
}

TEST(CommandLineFault, WrongTokensAndMisplacedClosersAreFoundBeforeTheEnd) {
  TestHost host;
  // Typos that leave a bracket open: an unknown character, double quotes,
  // the bytes of an arrow key.
  EXPECT_EQ(Fault(host.ctx(), "a = 1 @ [\n"), kErrUnrecognizedToken);
  EXPECT_EQ(Fault(host.ctx(), "disp(\"[\")\n"), kErrUnrecognizedToken);
  EXPECT_EQ(Fault(host.ctx(), "\x1b[A\n"), kErrUnrecognizedToken);
  // Inside an open block, on a line before the last, or in a definition.
  EXPECT_EQ(Fault(host.ctx(), "if 1\n  y = 2)\n"), kErrUnexpectedRightPar);
  EXPECT_EQ(Fault(host.ctx(), "while 1\n  s = 'abc\n  t = 1;\n"), kErrUnterminatedString);
  EXPECT_EQ(Fault(host.ctx(), "try\ncatch\ncatch\n"), kErrUnexpectedCatch);
  EXPECT_EQ(Fault(host.ctx(), "function r = f(n)\n  r = [n $ 1\n"), kErrUnrecognizedToken);
  // A name the lines to come may define does not hide a fault behind it.
  EXPECT_EQ(Fault(host.ctx(), "if 1\n  z = later(2) @ 3;\n"), kErrUnrecognizedToken);
  EXPECT_EQ(host.Output(2), "");
}

// What more lines cannot mend is found on the line that holds it, the first
// or a later one: a closer of the wrong kind or with nothing open, a token
// no line can finish, a bad target, a statement a line end has finished.
TEST(CommandLineFault, AnErrorOnALaterLineIsFoundThere) {
  TestHost host;
  EXPECT_EQ(Fault(host.ctx(), "a = ([1\n2)\n"), kErrUnexpectedRightPar);
  EXPECT_EQ(Fault(host.ctx(), "x = [1 2\n3 $4\n"), kErrUnrecognizedToken);
  EXPECT_EQ(Fault(host.ctx(), "0 = (1\n"), kErrBadAsgnVar);
  EXPECT_EQ(Fault(host.ctx(), "if 1\n  x = 2 +\n"), kErrIncompleteExpr);
  EXPECT_EQ(Fault(host.ctx(), "x = [1 2 +\n"), kErrMissingExpr);
  EXPECT_EQ(Fault(host.ctx(), "for k = 1:2\n  if k\n  catch\n"), kErrUnexpectedCatch);
  EXPECT_EQ(Fault(host.ctx(), "f = (@\n"), kErrBadFunRef);
  EXPECT_EQ(Fault(host.ctx(), "function r = f(n)\n  r = (n +\n  1]\n"), kErrUnexpectedRightBracket);
  EXPECT_EQ(host.Output(2), "");
}

// Stray closers are reported at once, of every kind.
TEST(CommandLineFault, StrayClosersAreFoundAtOnce) {
  TestHost host;
  EXPECT_EQ(Fault(host.ctx(), "x = (1 + }\n"), kErrIncompleteExpr);
  EXPECT_EQ(Fault(host.ctx(), "x = ([1 }\n"), kErrUnexpectedRightBrace);
  EXPECT_EQ(Fault(host.ctx(), "x = {(1 ]\n"), kErrUnexpectedRightBracket);
  EXPECT_EQ(Fault(host.ctx(), "x = {[1 )\n"), kErrUnexpectedRightPar);
  EXPECT_EQ(Fault(host.ctx(), "if 1\n  x = {1}}\n"), kErrUnexpectedRightBrace);
  EXPECT_EQ(host.Output(2), "");
}

TEST(CommandLineFault, ATextThatLacksOnlyItsEndOrMayBeMendedHasNone) {
  TestHost host;
  for (const char* text :
       {"x = [1 2\n", "x = [1 2\n3 4\n", "c = {'a', ...\n", "x = 1 + ...\n", "disp(max(1,\n",
        "if 1\n", "if 1\n  x = (1 +\n", "switch 1\n  case 1\n", "function r = f(n)\n",
        "function r = f(n)\n  r = [n\n", "/* a\n", "f = @(x,\n",
        // Names assigned or defined by the lines to come.
        "for k = 1:2\n  if k > 1, disp(prev), end\n", "y = notyet(1, [2\n",
        // A continuation that may still go on; a string inside brackets
        // goes on over the line end; keywords waiting for their
        // expression.
        "x = 1 + 2 ...\n", "...\n", "s = ('abc\n", "f = @(x\n", "if (a > ...\n", "for k ...\n",
        "while ...\n", "x = /* a\n"})
    EXPECT_EQ(Fault(host.ctx(), text), kOk) << text;
  EXPECT_EQ(host.Output(2), "");
}

TEST(CommandLineFault, NothingOfTheLookIsKept) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(RunLine(ctx, "a = 5;"), kOk);
  const uint32_t entries = ctx->funcCount, codeEnd = ctx->codeEnd;
  const int32_t lastError = ctx->lastError;
  // Each compiles a function or names one not defined yet.
  EXPECT_EQ(Fault(ctx, "function r = g(n)\n  r = h(n) + [n $\n"), kErrUnrecognizedToken);
  EXPECT_EQ(Fault(ctx, "function r = g(n)\n  r = h(n) + [n\n"), kOk);
  EXPECT_EQ(Fault(ctx, "if 1\n  w = q(1) + [a\n"), kOk);
  EXPECT_EQ(ctx->funcCount, entries);
  EXPECT_EQ(ctx->codeEnd, codeEnd);
  EXPECT_EQ(ctx->pendingError, -1);
  EXPECT_EQ(ctx->lastError, lastError);
  EXPECT_EQ(ctx->errLocCode, 0);
  // The definition typed whole is the command line's own, in its library.
  ASSERT_EQ(RunLine(ctx, "function r = g(n)\n  r = n + 1;\nendfunction\nfprintf('%d\\n', g(a));"),
            kOk);
  ASSERT_EQ(RunLine(ctx, "which g"), kOk);
  EXPECT_EQ(host.Output(1), "6\nans =\n_cli/g\n");
  EXPECT_EQ(host.Output(2), "");
}

// A line of whole statements of a block is looked at alone, with the
// variables the look before it found: a name the earlier lines assign is a
// variable there, and the line's own join them. A name that no line has
// assigned yet may be a variable still ("prev(end)" before "prev = x").
TEST(CommandLineFault, ALineAloneKnowsTheNamesOfTheLinesBefore) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  std::string names;
  const std::string head = "for q = 1:2\n  w = {q};\n";
  ASSERT_EQ(CommandLineFault(ctx, head.data(), static_cast<int32_t>(head.size()), &names), kOk);
  auto alone = [&](const std::string& line, std::string* known) {
    return CommandLineStatementsFault(ctx, line.data(), static_cast<int32_t>(line.size()), known);
  };
  // "w -1 +" is an expression when w is a variable, a command else.
  std::string others = names;
  EXPECT_EQ(alone("  v = w{1} + q(end);\n", &names), kOk);
  EXPECT_EQ(alone("  u = v(end);\n", &names), kOk);
  EXPECT_EQ(alone("  v -1 +\n", &names), kErrIncompleteExpr);
  EXPECT_EQ(alone("  z = later(end) + soon(:, 1);\n", &names), kOk);
  std::string none;
  EXPECT_EQ(alone("  w -1 +\n", &none), kOk);
  // The line's fault itself.
  EXPECT_EQ(alone("  t = (v ]\n", &others), kErrUnexpectedRightBracket);
  EXPECT_EQ(host.Output(2), "");
}

// The lines a definition's body adds, looked at behind its header with the
// variables the look before found in its body: a name assigned there is a
// variable, and the look gives the body's names with its own; a
// definition's fault is found among such lines too.
TEST(CommandLineFault, ADefinitionsLinesKnowTheNamesOfItsBody) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto look = [&](const std::string& text, std::string* definition) {
    std::string names;
    return CommandLineStatementsFault(ctx, text.data(), static_cast<int32_t>(text.size()), &names,
                                      definition);
  };
  std::string body;
  ASSERT_EQ(look("function r = f(n)\n  w = {n};\n", &body), kOk);
  ASSERT_EQ(body.size(), 3u * 32);
  EXPECT_STREQ(body.data() + 64, "w");
  // "w -1 +" is an expression when w is a variable, a command else.
  std::string known = body;
  EXPECT_EQ(look("function r = f(n)\n  w -1 +\n", &known), kErrIncompleteExpr);
  std::string none;
  EXPECT_EQ(look("function r = f(n)\n  w -1 +\n", &none), kOk);
  known = body;
  EXPECT_EQ(look("function r = f(n)\n  v = w(end);\n", &known), kOk);
  EXPECT_EQ(known.size(), 4u * 32);
  EXPECT_EQ(look("define d = 2 @\n", &none), kErrUnrecognizedToken);
  EXPECT_EQ(host.Output(2), "");
}

// A look that runs short of room says so and leaves nothing behind; once
// the area has grown it finds the fault.
TEST(CommandLineFault, ALookShortOfRoomAsksForMore) {
  constexpr uint32_t kStart = 224u << 10, kStep = 32u << 10;
  TestHost host({.areaBytes = kStart});
  MovableArea area(host.ctx(), kStart);
  std::string text = "function r = big(n)\n";
  for (int k = 0; k < 2000; k++) text += "  r = n + " + std::to_string(k) + ";\n";
  text += "  r = [n $ 1\n";
  ErrCode e;
  int32_t growths = 0;
  for (;;) {
    const uint32_t entries = area.ctx()->funcCount;
    if (!IsEngineMemoryCode(e = Fault(area.ctx(), text))) break;
    ASSERT_EQ(area.ctx()->funcCount, entries);
    ASSERT_EQ(area.ctx()->pendingError, -1);
    ASSERT_LT(++growths, 1000);
    area.Grow(area.bytes() + kStep, e);
  }
  EXPECT_GT(growths, 0);
  EXPECT_EQ(e, kErrUnrecognizedToken);
  EXPECT_EQ(host.Output(2), "");
}

}  // namespace
}  // namespace vke
