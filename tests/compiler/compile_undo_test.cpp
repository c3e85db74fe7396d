// A command line that runs out of room while it defines and compiles its
// functions is taken back whole: with memory retry on it fails quietly and
// compiles cleanly once the area has grown; other failures report as ever.
#include <gtest/gtest.h>

#include <string>

#include "compiler/compile.hpp"
#include "engine/code/function_table.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "tests/host/engine_state.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::MovableArea;
using test::TestHost;

// Functions that call one another, defined behind the line that uses them.
const std::string kText =
    "x = f(2) + g(3)\n"
    "function r = f(n)\n  r = h(n) + 1;\nendfunction\n"
    "function r = g(n)\n  r = h(n) * [1 2 3](2);\nendfunction\n"
    "function r = h(n)\n  r = n * 10;\nendfunction\n";

ErrCode Compile(EngineContext* ctx, const std::string& text) {
  return CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size()));
}

// The code area's fill position behind the function table.
uint32_t FillBehindTable(const EngineContext* ctx) {
  return ctx->codeEnd - ctx->funcCap * kEntryWords;
}

// The area grows in small steps, so that the attempts run out of room at
// every stage: defining, compiling each function, compiling the line.
TEST(CompileUndo, ARetryAfterGrowthCompilesCleanlyAndQuietly) {
  constexpr uint32_t kStart = 224u << 10, kStep = 2u << 10;
  TestHost host({.areaBytes = kStart});
  MovableArea area(host.ctx(), kStart);
  SetMemoryRetry(area.ctx(), true);
  ErrCode e;
  // The command lines' library first: it stays once made. The area grows
  // in the proportions of creation, so that the text below still finds too
  // little room for its compilation at first.
  while (IsEngineMemoryCode(e = Compile(area.ctx(), "z = 0;"))) area.Grow(area.bytes() + kStep, 0);
  ASSERT_EQ(e, kOk);
  int32_t failures = 0;
  for (;;) {
    const uint32_t entries = area.ctx()->funcCount, fill = FillBehindTable(area.ctx());
    e = Compile(area.ctx(), kText);
    if (!IsEngineMemoryCode(e)) break;
    // Nothing of the attempt is left: no entry, no code.
    ASSERT_EQ(area.ctx()->funcCount, entries);
    ASSERT_EQ(FillBehindTable(area.ctx()), fill);
    ASSERT_LT(++failures, 1000);
    area.Grow(area.bytes() + kStep, e);
  }
  ASSERT_EQ(e, kOk) << host.Output(2);
  EXPECT_GT(failures, 0);
  SetMemoryRetry(area.ctx(), false);
  while ((e = ExecuteBytecode(area.ctx(), 1)) == kStatusSuspended) {
  }
  EXPECT_EQ(e, kOk);
  EXPECT_EQ(host.Output(1), "x =\n        81\n");
  EXPECT_EQ(host.Output(2), "");
}

TEST(CompileUndo, OtherFailuresAndFailuresWithoutRetryReport) {
  // A syntax error is reported with retry on, and what was defined stays.
  TestHost host;
  SetMemoryRetry(host.ctx(), true);
  EXPECT_EQ(Compile(host.ctx(), "y = k(1)\nfunction r = k(n)\n  r = n +;\nendfunction\n"),
            kErrIncompleteExpr);
  EXPECT_NE(host.Output(2).find("Incomplete expression (_cli/k;3)"), std::string::npos)
      << host.Output(2);

  // Without retry a compile out of room is reported, and still taken back.
  constexpr uint32_t kSmall = 448u << 10;
  TestHost small({.areaBytes = kSmall});
  ASSERT_EQ(Compile(small.ctx(), "z = 0;"), kOk);  // the command lines' library
  const uint32_t entries = small->funcCount, fill = FillBehindTable(small.ctx());
  std::string text = "x = 1";
  for (int32_t i = 0; i < 4000; i++) text += " + f(" + std::to_string(i) + ")";
  text += "\nfunction r = f(n)\n  r = n;\nendfunction\n";
  const ErrCode e = Compile(small.ctx(), text);
  ASSERT_TRUE(IsEngineMemoryCode(e)) << e;
  EXPECT_NE(small.Output(2).find("Not enough memory"), std::string::npos) << small.Output(2);
  EXPECT_EQ(small->funcCount, entries);
  EXPECT_EQ(FillBehindTable(small.ctx()), fill);
}

}  // namespace
}  // namespace vke
