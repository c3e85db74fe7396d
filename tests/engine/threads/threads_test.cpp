// Cooperative threads on assembled code with the fake clock: creation and
// ending, the choice by credit and priority, sleeping, slices, semaphores and
// the loop's retry and yield paths, growth of the area under listed threads,
// and the tic/toc timer.
#include "engine/threads/threads.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "compiler/compile.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"
#include "tests/host/assembler.hpp"
#include "tests/host/engine_state.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::Assembler;
using test::TestHost;

struct Note {
  uint32_t thread;
  double value;
  double time;
};
std::vector<Note> g_notes;
double g_work = 0;  // fake seconds that each note takes

// note(x): records the running thread, x and the time, then works g_work;
// gives x when asked.
ErrCode NoteNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  double x = 0;
  if (ErrCode e = GetScalarArg(ctx, 0, &x)) return e;
  g_notes.push_back({ctx->currentThread, x, TestHost::Now()});
  TestHost::AdvanceClock(g_work);
  return nargout == 1 ? kOk : Drop(ctx);
}

// Threads of these tests call an assembled function given by its index.
ErrCode CallAssembled(EngineContext* ctx, int32_t scope, int32_t args) {
  double index = 0;
  if (ErrCode e = GetScalarArg(ctx, args, &index)) return e;
  if (ErrCode e = DropStackEntries(ctx, args, 1)) return e;
  CallInfo info;
  info.scope = scope;
  return CallCompiledFunction(ctx, info, static_cast<int32_t>(index), args, 0);
}

uint32_t HeapUnitsInUse(EngineContext* ctx) {
  uint32_t used = 0;
  for (uint32_t u = 0; u < ctx->heapSize;) {
    const uint32_t h = Load<uint32_t>(ctx->HeapBytes() + 8ull * u);
    if (h & kBlockInUse) used += (h & kBlockSizeMask) + 1;
    u += (h & kBlockSizeMask) + 1;
  }
  return used;
}

class Threads : public ::testing::Test {
 protected:
  void SetUp() override {
    g_notes.clear();
    g_work = 0;
    ASSERT_EQ(RegisterLibrary(ctx(), records_, true), kOk);
    // worker(n, x): note(x) n times.
    Assembler w;
    w.Op(kOpPushOne).Op(kOpLoadVar, {0}).Op(kOpForRangeInit, {2}).Label("top");
    w.Jump(kOpForRangeNext, "end").Op(kOpPop).Op(kOpLoadVar, {1}).Native(Index("note"), 1, 0);
    w.Jump(kOpJump, "top").Label("end").Op(kOpPop).Op(kOpReturn);
    worker_ = test::InstallFunction(ctx(), {"worker", 2, 0, {"n", "x"}}, w);
    // sleeper(t, periodic, n): n times note(k), threadsleep(t, periodic).
    Assembler s;
    s.Op(kOpPushOne).Op(kOpLoadVar, {2}).Op(kOpForRangeInit, {2}).Label("top");
    s.Jump(kOpForRangeNext, "end").Native(Index("note"), 1, 0).Op(kOpLoadVar, {0});
    s.Op(kOpLoadVar, {1}).Native(Index("threadsleep"), 2, 0).Jump(kOpJump, "top");
    s.Label("end").Op(kOpPop).Op(kOpReturn);
    sleeper_ = test::InstallFunction(ctx(), {"sleeper", 3, 0, {"t", "periodic", "n"}}, s);
  }
  EngineContext* ctx() { return host_.ctx(); }
  int32_t Index(const char* name) {
    int32_t index = -1;
    EXPECT_NE(FindLibraryRecord(ctx(), name, nullptr, 0, &index), nullptr);
    return index;
  }
  // Starts a thread on the function with its arguments; gives its block.
  uint32_t Start(int32_t function, std::vector<double> args, double priority = 0) {
    EXPECT_EQ(PushRealScalar(ctx(), function), kOk);
    for (double a : args) EXPECT_EQ(PushRealScalar(ctx(), a), kOk);
    ThreadSpec spec;
    spec.args = static_cast<int32_t>(args.size());
    spec.step = PriorityStep(priority);
    uint32_t id = 0, block = 0;
    EXPECT_EQ(CreateInterpThread(ctx(), spec, &id, &CallAssembled), kOk);
    EXPECT_TRUE(FindThread(ctx(), id, &block));
    return block;
  }
  // Runs until no listed thread is left (at most `most` runs), advancing
  // the clock by dt between runs.
  void RunAll(double dt = 0, int most = 1000) {
    for (int runs = 0; ctx()->firstThread && runs < most; runs++) {
      EXPECT_EQ(ExecuteBytecode(ctx(), 0), kOk);
      TestHost::AdvanceClock(dt);
    }
  }
  std::vector<uint32_t> NotedThreads() {
    std::vector<uint32_t> v;
    for (const Note& n : g_notes) v.push_back(n.thread);
    return v;
  }

  TestHost host_;
  NativeFunctionRecord records_[3] = {MakeRecord("@threadtest"),
                                      MakeRecord("note", &NoteNative, 1, 1, 0, 1), MakeRecord("")};
  int32_t worker_ = 0, sleeper_ = 0;
};

TEST_F(Threads, AThreadRunsOnItsOwnStacksAndItsBlockGoesWhenItEnds) {
  const uint32_t heap = HeapUnitsInUse(ctx());
  ASSERT_EQ(PushRealScalar(ctx(), 7), kOk);
  ctx()->rng[0] = 99;
  const uint32_t a = Start(worker_, {2, 5});
  // The function value and its arguments left thread 0's stacks; its own
  // random state is untouched.
  EXPECT_EQ(test::EntryCount(ctx()), 1);
  EXPECT_EQ(ctx()->rng[0], 99u);
  EXPECT_EQ(ctx()->cpKind, kCodeNone);
  RunAll();
  ASSERT_EQ(g_notes.size(), 2u);
  EXPECT_EQ(g_notes[0].thread, a);
  EXPECT_EQ(g_notes[1].value, 5);
  EXPECT_EQ(ctx()->currentThread, 0u);
  EXPECT_EQ(test::TopScalar(ctx()), 7);
  EXPECT_EQ(HeapUnitsInUse(ctx()), heap);
}

TEST_F(Threads, TheChooserAlternatesSkipsThreadsWithoutCodeAndFavoursHighPriorities) {
  const uint32_t a = Start(worker_, {1, 0});
  std::vector<uint32_t> turns;
  for (int i = 0; i < 4; i++) {
    ASSERT_EQ(SwitchThread(ctx(), -1), kOk);
    turns.push_back(ctx()->currentThread);
  }
  EXPECT_EQ(turns, (std::vector<uint32_t>{0, a, 0, a}));
  EXPECT_EQ(SwitchThread(ctx(), 12345), kErrInvalidID);
  EXPECT_EQ(ctx()->currentThread, a);
  KillThread(ctx(), a);
  EXPECT_EQ(ctx()->currentThread, 0u);
  // Steps 1, 1 and 41: the high one runs about as often as both others.
  const uint32_t low1 = Start(worker_, {1, 0}, -20), low2 = Start(worker_, {1, 0}, -20);
  const uint32_t high = Start(worker_, {1, 0}, 20);
  const uint32_t idle = Start(worker_, {1, 0}, 20);
  reinterpret_cast<InterpThreadRecord*>(BlockData(ctx(), static_cast<int32_t>(idle)))->cpKind =
      kCodeNone;
  int count[4] = {};
  for (int i = 0; i < 90; i++) {
    ASSERT_EQ(SwitchThread(ctx(), -1), kOk);
    const uint32_t c = ctx()->currentThread;
    count[c == low1 ? 1 : c == low2 ? 2 : c == high ? 3 : 0] += c != idle;
  }
  EXPECT_EQ(count[0], 1);
  EXPECT_GE(count[3], 2 * count[1]);
  EXPECT_GE(count[3], 2 * count[2]);
  EXPECT_EQ(count[0] + count[1] + count[2] + count[3], 90);
}

TEST_F(Threads, SleepsEndOnTheHostClockAndThread0NeverSleeps) {
  Assembler main;
  main.Op(kOpPushOne).Native(Index("threadsleep"), 1, 0).Op(kOpPushSmallInt, {3}).Op(kOpHalt);
  ASSERT_EQ(test::RunBaseCode(ctx(), main), kOk);
  EXPECT_EQ(test::TopScalar(ctx()), 3);
  // Two sleepers: when one sleeps the other runs on in the same run.
  const uint32_t a = Start(sleeper_, {0.5, 0, 2}), b = Start(sleeper_, {0.5, 0, 2});
  ASSERT_EQ(ExecuteBytecode(ctx(), 0), kOk);  // new threads have no credit yet
  ASSERT_EQ(ExecuteBytecode(ctx(), 0), kOk);
  EXPECT_EQ(NotedThreads(), (std::vector<uint32_t>{b, a}));
  TestHost::AdvanceClock(0.25);
  ASSERT_EQ(ExecuteBytecode(ctx(), 0), kOk);
  EXPECT_EQ(g_notes.size(), 2u);
  TestHost::AdvanceClock(0.25);
  ASSERT_EQ(ExecuteBytecode(ctx(), 0), kOk);
  EXPECT_EQ(g_notes.size(), 4u);
  RunAll(0.5);
  // Without a host timer a thread never sleeps.
  SetEngineCallbacks(ctx(), nullptr, 0, 8);
  g_notes.clear();
  Start(sleeper_, {100, 0, 3});
  RunAll();
  EXPECT_EQ(g_notes.size(), 3u);
}

TEST_F(Threads, PeriodicSleepsKeepTheirRate) {
  g_work = 1.0 / 32;
  for (double periodic : {1, 0}) {
    g_notes.clear();
    Start(sleeper_, {0.25, periodic, 5});
    RunAll(1.0 / 64);
    ASSERT_EQ(g_notes.size(), 5u);
    for (size_t i = 2; i < g_notes.size(); i++)
      EXPECT_EQ(g_notes[i].time - g_notes[i - 1].time, periodic ? 0.25 : 0.25 + g_work);
  }
}

// Thread 0 gets a whole slice after each switch back to it, and also when
// nothing else could run at the end of its slice.
TEST_F(Threads, EveryThreadGetsWholeSlices) {
  g_work = 1.0 / 32;  // two notes fill a slice of 0.05 s
  const uint32_t a = Start(worker_, {4, 1});
  Assembler main;
  for (int i = 0; i < 6; i++) main.Op(kOpPushZero).Native(Index("note"), 1, 0);
  main.Op(kOpHalt);
  ASSERT_EQ(test::RunBaseCode(ctx(), main), kOk);
  RunAll();
  EXPECT_EQ(NotedThreads(), (std::vector<uint32_t>{0, 0, 0, 0, a, a, 0, 0, a, a}));
}

TEST_F(Threads, EndedThreadsGiveBackTheirBlocksAndVariables) {
  const uint32_t heap = HeapUnitsInUse(ctx());
  Start(sleeper_, {10, 0, 3});
  RunAll(0, 2);
  ASSERT_NE(ctx()->firstThread, 0u);
  const double id = ctx()->nextThreadId - 1;
  for (double bad : {0.0, 12345.0, id + 0.5}) {
    ASSERT_EQ(PushRealScalar(ctx(), bad), kOk);
    EXPECT_EQ(ThreadkillNative(ctx(), 1, 0, 0), kErrInvalidID);
  }
  ASSERT_EQ(PushRealScalar(ctx(), id), kOk);
  ASSERT_EQ(ThreadkillNative(ctx(), 1, 0, 0), kOk);
  EXPECT_EQ(ctx()->firstThread, 0u);
  EXPECT_EQ(HeapUnitsInUse(ctx()), heap);

  // A thread that kills itself: thread 0's code goes on.
  g_notes.clear();
  g_work = 1;
  Assembler k;
  k.Op(kOpPushOne).Native(Index("note"), 1, 0).Op(kOpLoadVar, {0});
  k.Native(Index("threadkill"), 1, 0).Op(kOpPushSmallInt, {2}).Native(Index("note"), 1, 0);
  k.Op(kOpReturn);
  const int32_t killer = test::InstallFunction(ctx(), {"killer", 1, 0, {"id"}}, k);
  const uint32_t a = Start(killer, {static_cast<double>(ctx()->nextThreadId)});
  Assembler main;
  for (int i : {10, 20, 30}) main.Op(kOpPushSmallInt, {i}).Native(Index("note"), 1, 0);
  main.Op(kOpPushSmallInt, {7}).Op(kOpHalt);
  ASSERT_EQ(test::RunBaseCode(ctx(), main), kOk);
  EXPECT_EQ(NotedThreads(), (std::vector<uint32_t>{0, 0, a, 0}));
  EXPECT_EQ(test::TopScalar(ctx()), 7);
  EXPECT_EQ(ctx()->firstThread, 0u);

  // endthread inside a function: its variables go with the thread.
  Assembler e;
  e.Op(kOpPushOne).Op(kOpStoreVar, {0}).Op(kOpEndThread);
  Start(test::InstallFunction(ctx(), {"ender", 0, 0, {"v"}}, e), {});
  RunAll();
  EXPECT_EQ(HeapUnitsInUse(ctx()), heap);

  // An error that no try catches ends the thread and the run.
  Assembler f;
  f.Str("text").Native(Index("note"), 1, 0).Op(kOpReturn);
  Start(test::InstallFunction(ctx(), {"fails", 1, 0, {"x"}}, f), {1});
  EXPECT_EQ(ExecuteBytecode(ctx(), 0), kOk);
  EXPECT_NE(ExecuteBytecode(ctx(), 0), kOk);
  EXPECT_EQ(ctx()->firstThread, 0u);
  EXPECT_EQ(ctx()->currentThread, 0u);
  EXPECT_EQ(test::TopScalar(ctx()), 7);
  ASSERT_GT(ctx()->lastError, 0);
  EXPECT_EQ(HeapUnitsInUse(ctx()), heap + 1 + BlockUnits(ctx(), ctx()->lastError));
}

TEST_F(Threads, AThreadIsNotCreatedWhenItsStacksOrCallFail) {
  const uint32_t heap = HeapUnitsInUse(ctx());
  double* re = nullptr;
  ASSERT_EQ(PushRealScalar(ctx(), 9999), kOk);  // no function
  ASSERT_EQ(PushNewMatrix(ctx(), 10, 100, &re, nullptr), kOk);
  ThreadSpec spec;
  spec.args = 1;
  uint32_t id = 0;
  // Stacks past what the heap holds now, and past what any area holds.
  spec.stackBytes = 1e9;
  EXPECT_EQ(CreateInterpThread(ctx(), spec, &id, &CallAssembled), kErrVarOverflow);
  spec.stackBytes = 1e12;
  EXPECT_EQ(CreateInterpThread(ctx(), spec, &id, &CallAssembled), kErrObjTooLarge);
  spec.stackBytes = 1024;
  EXPECT_EQ(CreateInterpThread(ctx(), spec, &id, &CallAssembled), kErrDataOverflow);
  spec.stackBytes = 20000;
  EXPECT_NE(CreateInterpThread(ctx(), spec, &id, &CallAssembled), kOk);
  EXPECT_EQ(test::EntryCount(ctx()), 2);
  EXPECT_EQ(HeapUnitsInUse(ctx()), heap);
  EXPECT_EQ(ctx()->firstThread, 0u);
}

TEST_F(Threads, SemaphoresLockUnlockAndRefuseUnknownIds) {
  auto call = [&](NativeFn fn, double id, int32_t nargout) {
    EXPECT_EQ(PushRealScalar(ctx(), id), kOk);
    return fn(ctx(), 1, nargout, 0);
  };
  std::vector<double> ids;
  for (int i = 0; i < 20; i++) {  // the table grows twice
    ASSERT_EQ(SemaphorenewNative(ctx(), 0, 1, 0), kOk);
    ids.push_back(test::TopScalar(ctx()));
    Drop(ctx());
    if (i > 0) {
      EXPECT_GT(ids[i], ids[i - 1]);
    }
  }
  for (double s : ids) EXPECT_EQ(call(SemaphorelockNative, s, 0), kOk);
  const double s = ids[0];
  // Taken: a try-lock gives false, a lock asks to be called again.
  uint8_t got = 1;
  ASSERT_EQ(call(SemaphorelockNative, s, 1), kOk);
  ASSERT_EQ(PopBooleanArg(ctx(), &got), kOk);
  EXPECT_EQ(got, 0);
  EXPECT_EQ(call(SemaphorelockNative, s, 0), kStatusRetry);
  EXPECT_EQ(test::TopScalar(ctx()), s);  // the id stays for the retry
  Drop(ctx());
  EXPECT_EQ(call(SemaphoreunlockNative, s, 0), kOk);
  EXPECT_EQ(call(SemaphoreunlockNative, s, 0), kErrSemAlrdyUnlocked);
  Drop(ctx());
  ASSERT_EQ(call(SemaphorelockNative, s, 1), kOk);
  ASSERT_EQ(PopBooleanArg(ctx(), &got), kOk);
  EXPECT_EQ(got, 1);
  EXPECT_EQ(call(SemaphoredeleteNative, s, -1), kOk);
  EXPECT_NE(DescAt(ctx(), 0)->flags & kFlagNoValue, 0u);
  Drop(ctx());
  for (double bad : {s, 0.0, 999.0}) {
    EXPECT_EQ(call(SemaphorelockNative, bad, 0), kErrInvalidID);
    EXPECT_EQ(call(SemaphoreunlockNative, bad, 0), kErrInvalidID);
    EXPECT_EQ(call(SemaphoredeleteNative, bad, 0), kErrInvalidID);
    Drop(ctx(), 3);
  }
}

// A lock that must wait: thread 0 lets other threads run and, in a sliced
// run, ends its slice; another thread suspends the run.
TEST_F(Threads, TheLoopRetriesALockUntilTheSemaphoreIsFree) {
  ASSERT_EQ(SemaphorenewNative(ctx(), 0, 1, 0), kOk);
  const auto s = static_cast<int32_t>(test::TopScalar(ctx()));
  Drop(ctx());
  Assembler h;  // holder(s): lock, sleep 1 s, unlock, note(1)
  h.Op(kOpLoadVar, {0}).Native(Index("semaphorelock"), 1, 0).Op(kOpPushOne);
  h.Native(Index("threadsleep"), 1, 0).Op(kOpLoadVar, {0}).Native(Index("semaphoreunlock"), 1, 0);
  h.Op(kOpPushOne).Native(Index("note"), 1, 0).Op(kOpReturn);
  const int32_t holder = test::InstallFunction(ctx(), {"holder", 1, 0, {"s"}}, h);
  const uint32_t a = Start(holder, {static_cast<double>(s)});
  RunAll(0, 2);
  Assembler main;
  main.Op(kOpPushSmallInt, {s}).Native(Index("semaphorelock"), 1, 0);
  main.Op(kOpPushZero).Native(Index("note"), 1, 0).Op(kOpHalt);
  EXPECT_EQ(test::RunBaseCode(ctx(), main, 1), kStatusSuspended);
  EXPECT_EQ(ExecuteBytecode(ctx(), 1), kStatusSuspended);
  EXPECT_TRUE(g_notes.empty());
  TestHost::AdvanceClock(1);
  EXPECT_EQ(ExecuteBytecode(ctx(), 1), kOk);
  EXPECT_EQ(NotedThreads(), (std::vector<uint32_t>{a, 0}));

  // The semaphore is thread 0's now: a thread that waits suspends the run.
  g_notes.clear();
  Assembler l;
  l.Op(kOpLoadVar, {0}).Native(Index("semaphorelock"), 1, 0).Op(kOpPushOne);
  l.Native(Index("note"), 1, 0).Op(kOpReturn);
  Start(test::InstallFunction(ctx(), {"locker", 1, 0, {"s"}}, l), {static_cast<double>(s)});
  EXPECT_EQ(ExecuteBytecode(ctx(), 0), kOk);
  EXPECT_EQ(ExecuteBytecode(ctx(), 0), kStatusSuspended);
  EXPECT_EQ(ctx()->currentThread, 0u);
  ASSERT_EQ(PushRealScalar(ctx(), s), kOk);
  ASSERT_EQ(SemaphoreunlockNative(ctx(), 1, 0, 0), kOk);
  RunAll();
  EXPECT_EQ(g_notes.size(), 1u);
}

// A sleep in a thread lets thread 0 go on; a sliced run then ends its slice.
TEST_F(Threads, ASleepInAThreadEndsTheSliceOfASlicedRun) {
  g_work = 1;
  const uint32_t a = Start(sleeper_, {10, 0, 1});
  Assembler main;
  for (int i = 0; i < 3; i++) main.Op(kOpPushZero).Native(Index("note"), 1, 0);
  main.Op(kOpHalt);
  EXPECT_EQ(test::RunBaseCode(ctx(), main, 1), kStatusSuspended);
  EXPECT_EQ(NotedThreads(), (std::vector<uint32_t>{0, 0, a, 0}));
  EXPECT_EQ(ctx()->currentThread, 0u);
  EXPECT_EQ(ExecuteBytecode(ctx(), 1), kOk);
  EXPECT_EQ(g_notes.size(), 4u);
}

// The area grows while a thread sleeps inside its function: its stacks,
// variables and code position follow the heap and the code.
TEST_F(Threads, GrowthKeepsTheStacksAndCodeOfListedThreads) {
  ASSERT_EQ(PushRealScalar(ctx(), 42), kOk);
  const uint32_t a = Start(sleeper_, {1, 0, 3});
  RunAll(0, 2);
  ASSERT_EQ(g_notes.size(), 1u);
  for (int32_t mode : {3, 5, 6, 0}) {
    SCOPED_TRACE(mode);
    g_notes.clear();
    test::MovableArea area(ctx(), 1u << 20);
    const uint32_t cap = area.ctx()->funcCap;
    area.Grow(4u << 20, mode);
    EngineContext* moved = area.ctx();
    if (mode == 6) {
      EXPECT_GT(moved->funcCap, cap);
    }
    for (int i = 0; i < 6 && moved->firstThread; i++) {
      TestHost::AdvanceClock(1);
      ASSERT_EQ(ExecuteBytecode(moved, 0), kOk);
    }
    EXPECT_EQ(moved->firstThread, 0u);
    ASSERT_EQ(g_notes.size(), 2u);
    EXPECT_EQ(g_notes[0].thread, a);
    EXPECT_EQ(g_notes[1].value, 3);
    EXPECT_EQ(test::TopScalar(moved), 42);
  }
}

// threadnew from compiled code: function values of every kind, the options,
// and functions that need no thread; threadkill and threadset.
TEST_F(Threads, ThreadnewStartsFunctionValuesWithTheirOptions) {
  const std::string text =
      "a = threadnew(@worker, threadset('Priority', 20, 'StackSize', 4096), 1, 2);\n"
      "b = threadnew(@(v) note(v), [], 2);\n"
      "c = threadnew('note', [], 9);\n"
      "d = threadnew(@worker, threadset('Sandbox', true), 3, 1);\n"
      "e = threadnew('worker', [], 4, 5);\n"
      "threadkill(e);\n"
      "s = threadset();\n"
      "function worker(x, n)\n  for k = 1:n\n    note(x);\n  end\nendfunction\n";
  ASSERT_EQ(CompileCommandLine(ctx(), text.data(), static_cast<int32_t>(text.size())), kOk)
      << host_.Output(2);
  ASSERT_EQ(ExecuteBytecode(ctx(), 0), kOk) << host_.Output(2);
  uint32_t a = 0;
  ASSERT_TRUE(FindThread(ctx(), 1, &a));
  const auto* record = reinterpret_cast<InterpThreadRecord*>(BlockData(ctx(), int32_t(a)));
  EXPECT_EQ(record->priorityStep, 41);
  EXPECT_EQ(record->descCap, 4096 / 2 / 4u);
  uint32_t none = 0;
  EXPECT_FALSE(FindThread(ctx(), 3, &none));  // a native has run at once
  EXPECT_FALSE(FindThread(ctx(), 5, &none));  // killed
  // The sandboxed thread may not call a native of an "@" library.
  int violations = 0;
  for (int i = 0; i < 20 && ctx()->firstThread; i++) {
    const ErrCode e = ExecuteBytecode(ctx(), 0);
    ASSERT_TRUE(e == kOk || e == kErrSecViolation) << e;
    violations += e == kErrSecViolation;
  }
  EXPECT_EQ(violations, 1);
  std::vector<double> values;
  for (const Note& n : g_notes) values.push_back(n.value);
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<double>{1, 1, 2, 9}));
}

TEST(TicToc, TocGivesTheProcessClockWithoutTicAndTheTimeSinceTicAfterIt) {
  TestHost host;
  ResetTicTimerForTesting();
  const double before = ProcessClockSeconds();
  ASSERT_EQ(TocNative(host.ctx(), 0, 1, 0), kOk);
  const double toc = test::TopScalar(host.ctx());
  EXPECT_GE(toc, before);
  EXPECT_LE(toc, ProcessClockSeconds());
  ASSERT_EQ(TicNative(host.ctx(), 0, 0, 0), kOk);
  ASSERT_EQ(TocNative(host.ctx(), 0, 1, 0), kOk);
  EXPECT_GE(test::TopScalar(host.ctx()), 0);
  EXPECT_LE(test::TopScalar(host.ctx()), ProcessClockSeconds() - before);
}

}  // namespace
}  // namespace vke
