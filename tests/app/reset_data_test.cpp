// Reset Data and closing with their init and terminate handlers, the
// start-up script of older KV files, and instance-wide code with the break
// test, all with handlers compiled from VKE source.
#include "app/reset_data.hpp"

#include <gtest/gtest.h>

#include "app/instances.hpp"
#include "app/startup_script.hpp"
#include "engine/engine.hpp"
#include "engine/frames/calls.hpp"
#include "tests/app/family_host.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::ElementListBuilder;
using test::FamilyHost;

constexpr char kSource[] = R"(
function a = seta()
  a = 1;
function b = setb(a)
  b = a + 1;
function fail()
  error('init failed');
function bye()
  fprintf('bye\n');
function b = twice(a)
  b = 2 * a;
)";

class ResetData : public ::testing::Test {
 protected:
  ResetData() : h({"a", "b", "c"}) {}
  void SetUp() override { ASSERT_EQ(h.Compile(kSource), kOk); }

  ElementListBuilder& Start() { return b.Instance(0, "app.kv", h.library()); }
  ErrCode Load() { return h.Load(b); }
  ErrCode Reset() { return ResetInstanceData(h.slot(), 0); }

  FamilyHost h;
  ElementListBuilder b;
  int32_t a = 106, b_ = 107, c = 108;
};

TEST_F(ResetData, InitHandlersRunInOrderOnEmptiedVariables) {
  Start().Word(kElemUiOptions, 0x21);
  b.Handler(kElemInit, {h.Fn("seta"), {a}}).Handler(kElemInit, {h.Fn("setb"), {b_}, {a}});
  b.Handler(kElemIdle, {-1});
  ASSERT_EQ(Load(), kOk);
  ASSERT_EQ(h.SetScalar(c, 5), kOk);
  h.Record()->figure.selection = 1;
  ASSERT_EQ(Reset(), kOk);
  EXPECT_EQ(h.Scalar(a), 1);
  EXPECT_EQ(h.Scalar(b_), 2);
  EXPECT_FALSE(h.HasValue(c));
  EXPECT_EQ(h.VersionCount(), 1u);
  const InstanceRecord* r = h.Record();
  EXPECT_EQ(r->initialised, 1);
  EXPECT_EQ(r->idleState, kIdleOn);
  EXPECT_EQ(r->idleMode, kIdleModeNone);
  EXPECT_EQ(r->idleValue, -1);
  EXPECT_EQ(r->figure.flags, 0x21u);
  EXPECT_EQ(r->figure.selection, 0u);
}

TEST_F(ResetData, TerminateHandlersRunOnlyForAnInitialisedInstance) {
  Start().Handler(kElemInit, {h.Fn("seta"), {a}}).Handler(kElemTerminate, {h.Fn("bye")});
  ASSERT_EQ(Load(), kOk);
  ASSERT_EQ(Reset(), kOk);
  EXPECT_EQ(h.Output(1), "");
  EXPECT_EQ(h.Record()->idleState, kIdleOff);
  ASSERT_EQ(Reset(), kOk);
  EXPECT_EQ(h.Output(1), "bye\n");
  // Closing runs them once: the instance is no longer initialised.
  EXPECT_EQ(RunInstanceCloseHandlers(h.slot(), 0), kOk);
  EXPECT_EQ(RunInstanceCloseHandlers(h.slot(), 0), kOk);
  EXPECT_EQ(h.Output(1), "bye\nbye\n");
  EXPECT_EQ(h.Record()->initialised, 0);
  EXPECT_EQ(CloseInstance(h.slot(), 0), kOk);
  EXPECT_EQ(h.block()->elementWords, 0u);
  EXPECT_EQ(CloseInstance(h.slot(), 7), kKvNonexistentInstance);
  EXPECT_EQ(ResetInstanceData(h.slot(), 7), kKvNonexistentInstance);
}

TEST_F(ResetData, AFailingInitHandlerStopsTheOthersAndLeavesTheInstanceOff) {
  Start().Handler(kElemInit, {h.Fn("fail")}).Handler(kElemInit, {h.Fn("seta"), {a}});
  b.Handler(kElemIdle, {-1});
  ASSERT_EQ(Load(), kOk);
  h.Record()->idleMode = kIdleModeRate;
  EXPECT_NE(Reset(), kOk);
  EXPECT_FALSE(h.HasValue(a));
  const InstanceRecord* r = h.Record();
  EXPECT_EQ(r->initialised, 0);
  EXPECT_EQ(r->idleState, kIdleOff);
  EXPECT_EQ(r->idleMode, kIdleModeNone);
  EXPECT_EQ(h.block()->handlerBusy, 0);
}

TEST_F(ResetData, InitHandlersOfAnotherLanguageAreSkipped) {
  Start().Text(kElemLanguageSection, "fr;Francais");
  b.Handler(kElemInit, {h.Fn("seta"), {a}}).Empty(kElemLanguageEnd);
  ASSERT_EQ(Load(), kOk);
  ASSERT_EQ(Reset(), kOk);
  EXPECT_FALSE(h.HasValue(a));
  EXPECT_EQ(h.Record()->initialised, 1);
}

// ---- The start-up script ----

TEST_F(ResetData, StartupScriptSetsTheVariablesItAssigns) {
  // One "=" between the outputs and the name: the wrapper compiles.
  Start().Handler(kElemInit, {h.Fn("seta"), {c}}).Text(kElemStartupScript, "a = 3;");
  ASSERT_EQ(Load(), kOk);
  for (int round = 0; round < 2; round++) {  // the second reset runs the wrapper compiled before
    ASSERT_EQ(Reset(), kOk);
    EXPECT_EQ(h.Scalar(a), 3);
    EXPECT_FALSE(h.HasValue(b_));  // left alone: dropped, not stored as "_undef"
    EXPECT_EQ(h.Scalar(c), 1);     // the init handlers ran first
    EXPECT_EQ(h.Record()->initialised, 1);
  }
}

TEST_F(ResetData, StartupOutputElementGetsTheScriptsResults) {
  // Its inputs name the wrapper's outputs; its function's outputs are stored.
  Start().Handler(kElemStartOutputs, {h.Fn("twice"), {b_}, {a}});
  b.Text(kElemStartupScript, "a = 4;");
  ASSERT_EQ(Load(), kOk);
  ASSERT_EQ(Reset(), kOk);
  EXPECT_EQ(h.Scalar(b_), 8);
  EXPECT_FALSE(h.HasValue(a));
}

TEST_F(ResetData, StartupScriptFailuresLeaveTheInstanceUninitialised) {
  Start().Handler(kElemIdle, {-1}).Text(kElemStartupScript, "a = ;");
  ASSERT_EQ(Load(), kOk);
  EXPECT_NE(Reset(), kOk);
  EXPECT_EQ(h.Record()->initialised, 0);
  EXPECT_EQ(h.Record()->idleState, kIdleOff);
  // A script that the free part of the element area cannot hold: 10000
  // in a block that may not grow; a block that may grows for it.
  const std::string script(h.block()->elementBytes, ' ');
  const uint32_t size = h.size();
  h.SetMaxSize(size);
  EXPECT_EQ(CompileHandlerWrapper(h.slot(), 0, script.data(), static_cast<int32_t>(script.size())),
            kKvExhaustedRsrc);
  h.SetMaxSize(test::kHostMaxBytes);
  EXPECT_EQ(CompileHandlerWrapper(h.slot(), 0, script.data(), static_cast<int32_t>(script.size())),
            kOk);
  EXPECT_GT(h.size(), size);
}

// ---- Instance-wide code ----

int g_breaks = 0;
bool BreakOnThird(uintptr_t) {
  return ++g_breaks == 3;
}
// The engine's own break test ends a run that was wrongly resumed.
int g_engineBreaks = 0;
bool EngineBreak(uintptr_t) {
  return ++g_engineBreaks > 100000;
}

TEST_F(ResetData, InstanceWideCodeRunsWithTheInstanceCurrent) {
  Start().Text(kElemInstanceCode, "x = 1;");
  ASSERT_EQ(Load(), kOk);
  // Reset Data only resets the layout and marks the first run.
  ASSERT_EQ(Reset(), kOk);
  EXPECT_EQ(h.Record()->firstRun, 1);
  EXPECT_EQ(h.Record()->initialised, 0);
  b = ElementListBuilder();
  Start().Text(kElemInstanceCode, "fprintf('%d\\n', 6 * 7);");
  ASSERT_EQ(Load(), kOk);
  EXPECT_EQ(RunInitHandler(h.slot(), 0), kOk);
  EXPECT_EQ(h.Output(1), "42\n");
  EXPECT_EQ(h.block()->nativeCall.instanceId, 0u);
  EXPECT_EQ(h.block()->handlerBusy, 0);
  b = ElementListBuilder();
  Start().Handler(kElemInit, {h.Fn("seta"), {a}});
  ASSERT_EQ(Load(), kOk);
  EXPECT_EQ(RunInitHandler(h.slot(), 0), kKvUndefElement);
}

TEST_F(ResetData, ABreakStopsInstanceWideCodeForGood) {
  Start().Text(kElemInstanceCode, "k = 0; while true; k = k + 1; end");
  ASSERT_EQ(Load(), kOk);
  SetHostCallbackPair(h.ctx(), &EngineBreak, 0);
  h.block()->breakTest = &BreakOnThird;
  g_breaks = g_engineBreaks = 0;
  EXPECT_EQ(RunInitHandler(h.slot(), 0), kStatusSuspended);
  EXPECT_EQ(g_breaks, 3);
  EXPECT_NE(h.Output(2).find("Execution halted"), std::string::npos);
  // Nothing is left for the timer's run of pending work to resume.
  h.ClearOutput();
  EXPECT_EQ(ExecuteBytecode(h.ctx(), 0), kOk);
  EXPECT_EQ(h.Output(2), "");
  EXPECT_EQ(h.block()->handlerBusy, 0);
}

// Instance-wide code that defines functions, in blocks so small that its
// compile runs out of room: the attempt is taken back and the code compiles
// again, without a redefinition, in the grown block.
TEST(InstanceCodeGrowth, ACompileOutOfRoomRunsAgainInTheGrownBlock) {
  const std::string code =
      "fprintf('%d\\n', f(2) + g(3))\n"
      "function r = f(n)\n  r = h(n) + 1;\nendfunction\n"
      "function r = g(n)\n  r = h(n) * [1 2 3](2);\nendfunction\n"
      "function r = h(n)\n  r = n * 10;\nendfunction\n";
  int32_t growths = 0;
  for (uint32_t size = 256u << 10; size <= 768u << 10; size += 32u << 10) {
    SCOPED_TRACE(size);
    FamilyHost h({"a"}, size);
    // Blocks too small for the engine or the library are passed over.
    if (h.init() != kOk || h.Compile("function a = seta()\n  a = 1;\n") != kOk) continue;
    ElementListBuilder b;
    b.Instance(0, "app.kv", h.library()).Text(kElemInstanceCode, code);
    ASSERT_EQ(h.Load(b), kOk);
    EXPECT_EQ(RunInitHandler(h.slot(), 0), kOk) << h.Output(2);
    EXPECT_EQ(h.Output(1), "81\n");
    EXPECT_EQ(h.Output(2).find("redefine"), std::string::npos) << h.Output(2);
    growths += h.growths();
  }
  EXPECT_GT(growths, 0);
}

}  // namespace
}  // namespace vke
