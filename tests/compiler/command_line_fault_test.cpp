// A command line typed in part, as the console asks about it: an error no
// later line can mend is found before the end (a token, a closing bracket or
// a block keyword out of place, in the text or in a definition); a text that
// lacks only its end, or whose error the lines to come may mend, has none;
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

TEST(CommandLineFault, ATextThatLacksOnlyItsEndOrMayBeMendedHasNone) {
  TestHost host;
  for (const char* text :
       {"x = [1 2\n", "x = [1 2\n3 4\n", "c = {'a', ...\n", "x = 1 + ...\n", "disp(max(1,\n",
        "if 1\n", "if 1\n  x = (1 +\n", "switch 1\n  case 1\n", "function r = f(n)\n",
        "function r = f(n)\n  r = [n\n", "/* a\n", "f = @(x,\n",
        // Names assigned or defined by the lines to come.
        "for k = 1:2\n  if k > 1, disp(prev), end\n", "y = notyet(1, [2\n"})
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
