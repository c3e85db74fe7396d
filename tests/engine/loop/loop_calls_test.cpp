// The execution loop's calls and errors on assembled code: natives by
// global index and the sandbox, compiled functions and the host's entry,
// natives called back with results, try/catch, the uncaught error's trace,
// yields, retries and stops for the debugger.
#include <gtest/gtest.h>

#include <string>

#include "engine/code/opcodes.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables.hpp"
#include "tests/host/assembler.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::Assembler;
using test::EntryCount;
using test::FunctionSpec;
using test::InstallFunction;
using test::RunBaseCode;
using test::SetBaseVariables;
using test::TestHost;
using test::TopScalar;

int g_calls = 0;
int32_t g_function = 0;  // the function the call-back native calls
int32_t g_lastInputs = 0;

ErrCode Twice(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  double x;
  ErrCode e = GetScalarArg(ctx, 0, &x);
  if (e) return e;
  Drop(ctx);
  return PushRealScalar(ctx, 2 * x);
}

// Runs g_function on its input, then gives its result plus 100.
ErrCode CallsBack(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  g_calls++;
  g_lastInputs = nargin;
  if (nargin >= 0) {
    CallInfo info;
    info.returnTo = {ctx->cpKind, ctx->cpOffset};
    info.callBack = true;
    return CallCompiledFunction(ctx, info, g_function, 1, 1);
  }
  double x;
  ErrCode e = GetScalarArg(ctx, 0, &x);
  if (e) return e;
  Drop(ctx);
  return PushRealScalar(ctx, x + 100);
}

// 504 or 502 on the first call, then 0.
ErrCode WaitsOnce(EngineContext*, int32_t, int32_t, uintptr_t option) {
  return g_calls++ == 0 ? static_cast<ErrCode>(option) : kOk;
}

// A run inside a run.
ErrCode RunsNested(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  g_calls++;
  return ExecuteBytecode(ctx, 0) == kOk && ctx->running ? kOk : kErrIllegal;
}

// At its third call: a stop request on the current frame (option 0) or a
// breakpoint at line 3 of g_function (option 1).
ErrCode StopsSoon(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  if (++g_calls != 3) return kOk;
  if (option == 0) {
    FrameWords(ctx, ctx->curFrame)[kFwStopRequest] = kStopAtNextLine;
    return kOk;
  }
  ErrCode e = AllocEngineBlock(ctx, 1, &ctx->bpTable);
  if (e) return e;
  const int32_t pair[2] = {g_function, 3};
  std::memcpy(BlockData(ctx, ctx->bpTable), pair, 8);
  ctx->bpCount = 1;
  return kOk;
}

// Counts its calls and gives its input count.
ErrCode CountsInputs(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  g_calls++;
  if (ErrCode e = Drop(ctx, nargin)) return e;
  return PushRealScalar(ctx, nargin);
}

struct Library {
  NativeFunctionRecord records[14] = {
      MakeRecord("@looplib"),
      MakeRecord("twice", &Twice, 1, 1, 1, 1),
      MakeRecord("callsback", &CallsBack, 1, 1, 1, 1),
      MakeRecord("yield", &WaitsOnce, 0, 0, 0, 0, kStatusYield),
      MakeRecord("retry", &WaitsOnce, 0, 0, 0, 0, kStatusRetry),
      MakeRecord("nested", &RunsNested),
      MakeRecord("stopsoon", &StopsSoon, 0, 0, 0, 0, 0),
      MakeRecord("breaksoon", &StopsSoon, 0, 0, 0, 0, 1),
      MakeRecord("typed", &Twice, 1, 1, 1, 1, 0, 3),
      MakeRecord("pair", &CountsInputs, 2, 3, 1, 1),
      MakeRecord("many", &CountsInputs, 1, NativeFunctionRecord::kCountUnbounded, 1, 1),
      MakeRecord("!safelib"),
      MakeRecord("safe", &Twice, 1, 1, 1, 1),
      MakeRecord(""),
  };
};

class LoopCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls = 0;
    ASSERT_EQ(RegisterLibrary(ctx(), lib_.records, true), kOk);
  }
  EngineContext* ctx() { return host_.ctx(); }
  int32_t Index(const char* name) {
    int32_t index = -1;
    EXPECT_NE(FindLibraryRecord(ctx(), name, nullptr, 0, &index), nullptr);
    return index;
  }

  // Runs "spins": line 2 calls the native, which sets a stop request or a
  // breakpoint on its third call, then (with `fused`) the statement r = 2
  // that runs as a fused scalar run, then line 3, in a loop, in one go or
  // in slices. The run must stop at line 3 of the third round.
  void ExpectStopAtTheNextLine(bool fused) {
    for (const char* native : {"stopsoon", "breaksoon"}) {
      for (uint8_t sliced : {0, 1}) {
        SCOPED_TRACE(std::string(native) + (sliced ? " sliced" : ""));
        TestHost host;
        ASSERT_EQ(RegisterLibrary(host.ctx(), lib_.records, true), kOk);
        EngineContext* c = host.ctx();
        g_calls = 0;
        g_function = static_cast<int32_t>(c->funcCount);
        int32_t index = -1;
        ASSERT_NE(FindLibraryRecord(c, native, nullptr, 0, &index), nullptr);
        Assembler f;
        f.Label("top").Op(kOpLine, {g_function, 2}).Native(index, 0, 0);
        if (fused) f.Op(kOpPushSmallInt, {2}).Op(kOpStoreVar, {0});
        f.Op(kOpLine, {g_function, 3}).Op(kOpPushOne).Op(kOpStoreVar, {0}).Jump(kOpJump, "top");
        ASSERT_EQ(InstallFunction(c, FunctionSpec{"spins", 0, 1, {"r"}}, f), g_function);
        ErrCode e = RunCompiledFunction(c, "spins", 0, 0, 1, 0, sliced);
        while (e == kStatusSuspended) e = ExecuteBytecode(c, 1);
        EXPECT_EQ(e, kStatusDebug);
        EXPECT_EQ(g_calls, 3);
        EXPECT_EQ(host.Output(2), "<spins:3> \n");
        EXPECT_EQ(FrameWords(c, c->curFrame)[kFwPosition], 3u);
      }
    }
  }

  TestHost host_;
  Library lib_;
};

TEST_F(LoopCalls, NativesByGlobalIndex) {
  Assembler a;
  a.Op(kOpPushSmallInt, {21}).Native(Index("twice"), 1, 1).Op(kOpHalt);
  ASSERT_EQ(RunBaseCode(ctx(), a), kOk);
  EXPECT_EQ(TopScalar(ctx()), 42);
  Drop(ctx());
  // Beyond the registry, and records that only an object's method reaches.
  Assembler beyond;
  beyond.Native(30000, 0, 0).Op(kOpHalt);
  EXPECT_EQ(RunBaseCode(ctx(), beyond), kErrNotSupported);
  Assembler header;
  header.Native(Index("twice") - 1, 0, 0).Op(kOpHalt);
  EXPECT_EQ(RunBaseCode(ctx(), header), kErrNotSupported);
  // A value type's record called without a value of its type: no function
  // of that name takes the call.
  Assembler typed;
  typed.Op(kOpPushOne).Native(Index("typed"), 1, 1).Op(kOpHalt);
  EXPECT_EQ(RunBaseCode(ctx(), typed), kErrUndefFun);
  // The failing native's name is in the message location.
  EXPECT_NE(host_.Output(2).find("'typed'"), std::string::npos);
  // Code that claims more inputs than there are entries (or fewer than none)
  // is refused before the native reads below them.
  for (int16_t inputs : {400, 17409, -3}) {
    Assembler claims;
    claims.Op(kOpPushSmallInt, {21}).Native(Index("twice"), inputs, 1).Op(kOpHalt);
    EXPECT_EQ(RunBaseCode(ctx(), claims), kErrIllegal) << inputs;
  }
}

// A claim of exactly one input more than the frame holds is refused as
// well: the native's last input would be the entry below the frame.
TEST_F(LoopCalls, ANativeTakesNoInputFromBelowItsFrame) {
  for (const int16_t extra : {0, 1}) {
    SCOPED_TRACE(extra);
    const int32_t entries = EntryCount(ctx());
    Assembler claims;
    claims.Op(kOpPushSmallInt, {21})
        .Native(Index("twice"), static_cast<int16_t>(entries + 1 + extra), 1)
        .Op(kOpHalt);
    if (extra) {
      EXPECT_EQ(RunBaseCode(ctx(), claims), kErrIllegal);
    } else {
      ASSERT_EQ(RunBaseCode(ctx(), claims), kOk);
      EXPECT_EQ(TopScalar(ctx()), 42);
    }
  }
}

// Nor does code that takes more entries than it pushed take its frame's own
// words for values: an indexed assignment with nothing to assign, a store
// and a field read of nothing. The caller's entries stay, and its try
// takes the error.
TEST_F(LoopCalls, CodeTakesNoEntryFromBelowItsFrame) {
  Assembler assign, store, field;
  assign.Op(kOpLoadIndexedFirst, {0}).Op(kOpPushOne).Op(kOpParenAfterBrace, {1, 0});
  store.Op(kOpStoreVar, {0});
  field.Op(kOpLoadField, {-1}).Op(kOpStoreVar, {0});
  for (Assembler* f : {&assign, &store, &field}) {
    f->Op(kOpReturn);
    const int32_t index = InstallFunction(ctx(), FunctionSpec{"f", 0, 0, {"x"}}, *f);
    Assembler a;
    a.Op(kOpPushSmallInt, {7}).Op(kOpPushSmallInt, {8}).Op(kOpPushSmallInt, {9});
    a.Try("catch", 3).Op(kOpCallFn, {index, 0, -1}).Op(kOpHalt);
    a.Label("catch").Op(kOpHalt);
    ASSERT_EQ(RunBaseCode(ctx(), a), kOk);
    ASSERT_EQ(EntryCount(ctx()), 3);
    for (int32_t depth = 0; depth < 3; depth++) EXPECT_EQ(TopScalar(ctx(), depth), 9 - depth);
    ErrCode code = kOk;
    ASSERT_TRUE(ReadErrorBlock(ctx(), ctx()->lastError, &code, nullptr, nullptr));
    EXPECT_EQ(code, kErrIllegal);
    Drop(ctx(), 3);
  }
}

// Code read from an image may give a native fewer or more inputs than its
// record admits (a maximum with the unbounded bit admits any number): the
// native is not called, and the instruction fails as a call of the wrong
// count does.
TEST_F(LoopCalls, ANativeIsCalledOnlyWithACountItsRecordAdmits) {
  const struct {
    const char* name;
    int16_t inputs;
    bool admitted;
  } calls[] = {{"pair", 1, false}, {"pair", 2, true}, {"pair", 3, true}, {"pair", 4, false},
               {"many", 0, false}, {"many", 1, true}, {"many", 70, true}};
  for (const auto& call : calls) {
    SCOPED_TRACE(std::string(call.name) + " " + std::to_string(call.inputs));
    g_calls = 0;
    const int32_t entries = EntryCount(ctx());
    Assembler a;
    for (int16_t i = 0; i < std::max<int16_t>(call.inputs, 4); i++) a.Op(kOpPushOne);
    a.Native(Index(call.name), call.inputs, 1).Op(kOpHalt);
    const ErrCode e = RunBaseCode(ctx(), a);
    if (call.admitted) {
      ASSERT_EQ(e, kOk);
      EXPECT_EQ(g_calls, 1);
      EXPECT_EQ(TopScalar(ctx()), call.inputs);
    } else {
      EXPECT_EQ(e, kErrIncorrectNargin);
      EXPECT_EQ(g_calls, 0);
    }
    ASSERT_EQ(DropStackEntries(ctx(), 0, EntryCount(ctx()) - entries), kOk);
  }
}

TEST_F(LoopCalls, ASandboxedFrameCallsOnlySwitchableLibrariesAndItsTryDoesNotCatchThat) {
  auto install = [&](const char* name, const char* native) {
    Assembler a;
    a.Try("catch").Op(kOpPushSmallInt, {5}).Native(Index(native), 1, 1).Op(kOpStoreVar, {0});
    a.Op(kOpReturn).Label("catch").Op(kOpPushSmallInt, {-1}).Op(kOpStoreVar, {0}).Op(kOpReturn);
    return InstallFunction(ctx(), FunctionSpec{name, 0, 1, {"r"}}, a);
  };
  install("usessafe", "safe");
  install("usestwice", "twice");
  ASSERT_EQ(RunCompiledFunction(ctx(), "usessafe", 0, 0, 1, 1, 0), kOk);
  EXPECT_EQ(TopScalar(ctx()), 10);
  Drop(ctx());
  // Not sandboxed: both natives may be called.
  ASSERT_EQ(RunCompiledFunction(ctx(), "usestwice", 0, 0, 1, 0, 0), kOk);
  EXPECT_EQ(TopScalar(ctx()), 10);
  Drop(ctx());
  EXPECT_EQ(RunCompiledFunction(ctx(), "usestwice", 0, 0, 1, 1, 0), kErrSecViolation);
  EXPECT_NE(host_.Output(2).find("Security violation"), std::string::npos);
  UnwindCallFrames(ctx(), 0);

  // Ordinary errors are caught there; a global declaration is not.
  Assembler caught;
  caught.Try("catch").Op(kOpLoadVar, {1}).Op(kOpStoreVar, {0}).Op(kOpReturn);
  caught.Label("catch").Op(kOpPushSmallInt, {-1}).Op(kOpStoreVar, {0}).Op(kOpReturn);
  InstallFunction(ctx(), FunctionSpec{"catches", 0, 1, {"r", "u"}}, caught);
  ASSERT_EQ(RunCompiledFunction(ctx(), "catches", 0, 0, 1, 1, 0), kOk);
  EXPECT_EQ(TopScalar(ctx()), -1);
  Drop(ctx());
  Assembler global;
  global.Try("catch").Op(kOpDeclareGlobal, {1, 0}).Op(kOpReturn);
  global.Label("catch").Op(kOpPushSmallInt, {-1}).Op(kOpStoreVar, {0}).Op(kOpReturn);
  InstallFunction(ctx(), FunctionSpec{"global", 0, 1, {"r", "g"}}, global);
  EXPECT_EQ(RunCompiledFunction(ctx(), "global", 0, 0, 1, 1, 0), kErrSecViolationGlobal);
}

TEST_F(LoopCalls, TryKeepsTheEnclosingValuesAndMakesTheErrorTheLastOne) {
  SetBaseVariables(ctx(), {"u", "r"});
  Assembler a;
  // A loop value on the stack survives the catch; the values above it go.
  a.Op(kOpPushSmallInt, {7}).Try("catch", 1).Op(kOpPushOne).Op(kOpPushOne).Op(kOpLoadVar, {1});
  a.Op(kOpHalt).Label("catch").Op(kOpPushSmallInt, {8}).Op(kOpHalt);
  ASSERT_EQ(RunBaseCode(ctx(), a), kOk);
  ASSERT_EQ(EntryCount(ctx()), 2);
  EXPECT_EQ(TopScalar(ctx(), 1), 7);
  Drop(ctx(), 2);
  const char* text;
  int32_t length;
  ASSERT_TRUE(ReadErrorBlock(ctx(), ctx()->lastError, nullptr, &text, &length));
  EXPECT_EQ(std::string(text, length), "Undefined variable 'u'");
  EXPECT_EQ(ctx()->pendingError, -1);
  EXPECT_EQ(host_.Output(2), "");
}

// A catch at or before the instruction that fails (code read from a damaged
// image) makes the failure a loop: a sliced run ends its slice at every
// such catch, as at a loop's end, so that a break stops it, whether the
// failure is the frame's own or comes from a call it made.
TEST_F(LoopCalls, ACatchThatJumpsBackEndsASliceAndABreakStopsIt) {
  // A try whose catch is the failing instruction itself.
  Assembler own;
  own.Try("top").Op(kOpNop).Label("top").Op(kOpLoadVar, {0}).Op(kOpReturn);
  InstallFunction(ctx(), FunctionSpec{"own", 0, 0, {"u"}}, own);
  Assembler fails;
  fails.Op(kOpLoadVar, {0}).Op(kOpReturn);
  const int32_t failing = InstallFunction(ctx(), FunctionSpec{"fails", 0, 0, {"u"}}, fails);
  Assembler outer;
  outer.Try("top").Op(kOpNop).Label("top").Op(kOpCallFn, {failing, 0, -1}).Op(kOpReturn);
  InstallFunction(ctx(), FunctionSpec{"outer", 0, 0, {}}, outer);
  for (const char* name : {"own", "outer"}) {
    for (const bool inPlace : {false, true}) {
      SCOPED_TRACE(std::string(name) + (inPlace ? " in place" : " sliced"));
      host_.ScriptBreaks({false, false, false, true});
      int32_t suspensions = 0;
      ErrCode e = RunCompiledFunction(ctx(), name, 0, 0, 0, 0, 1);
      while (e == kStatusSuspended && suspensions++ < 100)
        e = inPlace ? ExecuteBreakChecked(ctx()) : ExecuteBytecode(ctx(), 1);
      EXPECT_EQ(e, kStatusHalted);
      // The first slice ends at the first catch; in place the run then goes
      // on until the break, sliced it is called again after each.
      EXPECT_EQ(suspensions, inPlace ? 1 : 3);
      EXPECT_NE(host_.Output(2).find("Execution halted"), std::string::npos);
      UnwindCallFrames(ctx(), 0);
    }
  }
}

TEST_F(LoopCalls, AnUncaughtErrorPrintsItsTraceWithRecursiveCallsCounted) {
  // f(n): if n, f(n - 1) at line 2, else fails at line 5.
  Assembler f;
  f.Op(kOpLine, {1, 2}).Op(kOpLoadVar, {0}).Jump(kOpJumpFalse, "fail");
  f.Op(kOpDecVar, {0}).Op(kOpLoadVar, {0}).Op(kOpCallFn, {1, 1, 0}).Op(kOpReturn);
  f.Label("fail").Op(kOpLine, {1, 5}).Op(kOpLoadVar, {1}).Op(kOpReturn);
  ASSERT_EQ(ctx()->funcCount, 1u);
  InstallFunction(ctx(), FunctionSpec{"f", 1, 0, {"n", "missing"}}, f);
  Assembler g;
  g.Op(kOpLine, {2, 9}).Op(kOpPushSmallInt, {3}).Op(kOpCallFn, {1, 1, 0}).Op(kOpReturn);
  InstallFunction(ctx(), FunctionSpec{"g", 0, 0, {}}, g);
  EXPECT_EQ(RunCompiledFunction(ctx(), "g", 0, 0, 0, 0, 0), kErrUndefVar);
  EXPECT_EQ(host_.Output(2),
            "Undefined variable 'missing' (f;5)\n"
            "-> f;5\n"
            "-> f;2\n"
            "3 recursive calls\n"
            "-> g;9\n");
  EXPECT_EQ(ctx()->cpKind, kCodeNone);
  EXPECT_EQ(ctx()->running, 0);
  const char* text;
  int32_t length;
  ASSERT_TRUE(ReadErrorBlock(ctx(), ctx()->lastError, nullptr, &text, &length));
  EXPECT_EQ(std::string(text, length), "Undefined variable 'missing' (f;5)");
}

TEST_F(LoopCalls, RunCompiledFunctionPassesInputsAndOutputs) {
  Assembler f;
  f.Op(kOpLoadVar, {2}).Native(Index("twice"), 1, 1).Op(kOpStoreVar, {0});
  f.Op(kOpLoadVar, {2}).Op(kOpStoreVar, {1}).Op(kOpReturn);
  InstallFunction(ctx(), FunctionSpec{"two", 1, 2, {"a", "b", "x"}}, f);
  ASSERT_EQ(PushRealScalar(ctx(), 4), kOk);
  ASSERT_EQ(RunCompiledFunction(ctx(), "two", 0, 1, 2, 0, 0), kOk);
  ASSERT_EQ(EntryCount(ctx()), 2);
  EXPECT_EQ(TopScalar(ctx(), 0), 8);
  EXPECT_EQ(TopScalar(ctx(), 1), 4);
  Drop(ctx(), 2);

  EXPECT_EQ(RunCompiledFunction(ctx(), "nosuch", 0, 0, 0, 0, 0), kErrUndefFun);
  EXPECT_EQ(host_.Output(2), "Undefined function 'nosuch'\n");
  EXPECT_EQ(ctx()->cpKind, kCodeNone);
  // Too many inputs for the function: nothing runs.
  host_.ClearOutput();
  PushRealScalar(ctx(), 1);
  PushRealScalar(ctx(), 2);
  EXPECT_EQ(RunCompiledFunction(ctx(), "two", 0, 2, 1, 0, 0), kErrTooManyArgin);
  EXPECT_NE(host_.Output(2).find("'two'"), std::string::npos);
}

TEST_F(LoopCalls, ANativeIsCalledBackWithTheResultsOfTheFunctionItStarted) {
  Assembler inc;
  inc.Op(kOpLoadVar, {1}).Native(Index("twice"), 1, 1).Op(kOpStoreVar, {0}).Op(kOpReturn);
  g_function = InstallFunction(ctx(), FunctionSpec{"inc", 1, 1, {"y", "x"}}, inc);
  Assembler a;
  a.Op(kOpPushSmallInt, {5}).Native(Index("callsback"), 1, 1).Op(kOpPushOne).Op(kOpHalt);
  ASSERT_EQ(RunBaseCode(ctx(), a), kOk);
  EXPECT_EQ(g_calls, 2);
  EXPECT_EQ(g_lastInputs, -2);  // one result
  ASSERT_EQ(EntryCount(ctx()), 2);
  EXPECT_EQ(TopScalar(ctx(), 1), 110);
}

TEST_F(LoopCalls, YieldsAndRetriesGoOnWithoutOtherThreads) {
  Assembler a;
  a.Native(Index("yield"), 0, 0).Op(kOpPushOne).Op(kOpHalt);
  ASSERT_EQ(RunBaseCode(ctx(), a), kOk);
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(TopScalar(ctx()), 1);
  Drop(ctx());
  // A sliced run ends its slice after the yield and goes on behind it.
  g_calls = 0;
  ASSERT_EQ(RunBaseCode(ctx(), a, 1), kStatusSuspended);
  EXPECT_EQ(ExecuteBytecode(ctx(), 1), kOk);
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(TopScalar(ctx()), 1);
  Drop(ctx());
  // A retry calls the native again.
  g_calls = 0;
  Assembler r;
  r.Native(Index("retry"), 0, 0).Op(kOpPushOne).Op(kOpHalt);
  ASSERT_EQ(RunBaseCode(ctx(), r), kOk);
  EXPECT_EQ(g_calls, 2);
}

TEST_F(LoopCalls, ARunWithinARunDoesNothing) {
  Assembler a;
  a.Native(Index("nested"), 0, 0).Op(kOpPushOne).Op(kOpHalt);
  ASSERT_EQ(RunBaseCode(ctx(), a), kOk);
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(EntryCount(ctx()), 1);
  EXPECT_EQ(ctx()->running, 0);
}

TEST_F(LoopCalls, ABreakpointStopsTheRunForTheDebugger) {
  Assembler f;
  f.Op(kOpLine, {1, 3}).Op(kOpPushOne).Op(kOpStoreVar, {0}).Op(kOpReturn);
  ASSERT_EQ(ctx()->funcCount, 1u);
  const int32_t stops = InstallFunction(ctx(), FunctionSpec{"stops", 0, 1, {"r"}}, f);
  ASSERT_EQ(AllocEngineBlock(ctx(), 1, &ctx()->bpTable), kOk);
  const int32_t pair[2] = {stops, 3};
  std::memcpy(BlockData(ctx(), ctx()->bpTable), pair, 8);
  ctx()->bpCount = 1;
  EXPECT_EQ(RunCompiledFunction(ctx(), "stops", 0, 0, 1, 0, 0), kStatusDebug);
  EXPECT_EQ(host_.Output(2), "<stops:3> \n");
  EXPECT_TRUE(IsDebugging(ctx()));
  // The run stays stopped until the debugger goes on.
  EXPECT_EQ(ExecuteBytecode(ctx(), 0), kStatusDebug);
  ASSERT_EQ(DebugUp(ctx()), kOk);
  FrameWords(ctx(), ctx()->curFrame)[kFwStopRequest] = 0;
  ctx()->errLocCode = 0;
  EXPECT_EQ(ExecuteBytecode(ctx(), 0), kOk);
  EXPECT_EQ(TopScalar(ctx()), 1);
}

// Lines with nothing observing them run light; a stop request or a
// breakpoint that a call sets in the middle of a loop still stops the run at
// the next line, whether it runs in one go or in slices.
TEST_F(LoopCalls, AStopOrBreakpointSetInsideALoopStopsAtTheNextLine) {
  ExpectStopAtTheNextLine(false);
}

// The same when the next line follows a statement that runs as one fused
// scalar run: the line after it still stops the run.
TEST_F(LoopCalls, AStopSetInsideALoopStopsAtTheLineAfterAFusedStatement) {
  ExpectStopAtTheNextLine(true);
}

TEST_F(LoopCalls, AFrameLeftWithoutRunningGoesBackToItsCaller) {
  Assembler f;
  f.Op(kOpPushOne).Op(kOpStoreVar, {0}).Op(kOpReturn);
  const int32_t index = InstallFunction(ctx(), FunctionSpec{"left", 0, 1, {"r"}}, f);
  CallInfo info;
  info.returnTo = {kCodeArea, 1234};
  const int32_t base = ctx()->curFrame;
  ASSERT_EQ(CallCompiledFunction(ctx(), info, index, 0, 1), kOk);
  FrameWords(ctx(), ctx()->curFrame)[kFwStopRequest] = kStopAtNextLine;
  ASSERT_EQ(ClearFrameFlagAndContinue(ctx()), kOk);
  EXPECT_EQ(ctx()->curFrame, base);
  EXPECT_EQ(ctx()->cpOffset, 1234u);
}

TEST_F(LoopCalls, TheReservedOpcodeAndNegativeOpcodesAreNotSupported) {
  Assembler a;
  a.Op(kOpReserved319, {0, 0, 0}).Op(kOpHalt);
  EXPECT_EQ(RunBaseCode(ctx(), a), kErrNotSupported);
  Assembler b;
  b.Op(-5).Op(kOpHalt);
  EXPECT_EQ(RunBaseCode(ctx(), b), kErrNotSupported);
}

}  // namespace
}  // namespace vke
