// Cooperative threads on assembled code with the fake clock: creation and
// ending, the choice by credit and priority, sleeping, slices, semaphores and
// the loop's retry and yield paths, growth of the area under listed threads,
// and the tic/toc timer.
#include "engine/threads.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "compiler/opcodes.hpp"
#include "engine/calls.hpp"
#include "engine/errors.hpp"
#include "engine/frames.hpp"
#include "engine/loop.hpp"
#include "engine/natives_decl.hpp"
#include "engine/registry.hpp"
#include "engine/values.hpp"
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

// note(x): records the running thread, x and the time, then works g_work.
ErrCode NoteNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  double x = 0;
  if (ErrCode e = PopRealScalar(ctx, &x)) return e;
  g_notes.push_back({ctx->currentThread, x, TestHost::Now()});
  TestHost::AdvanceClock(g_work);
  return kOk;
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
  // Runs until no listed thread is left, advancing the clock by dt between
  // runs; gives the number of runs.
  int RunAll(double dt = 0, int most = 1000) {
    int runs = 0;
    while (ctx()->firstThread && runs++ < most) {
      EXPECT_EQ(ExecuteBytecode(ctx(), 0), kOk);
      TestHost::AdvanceClock(dt);
    }
    return runs;
  }
  std::vector<uint32_t> NotedThreads() {
    std::vector<uint32_t> v;
    for (const Note& n : g_notes) v.push_back(n.thread);
    return v;
  }

  TestHost host_;
  NativeFunctionRecord records_[3] = {MakeRecord("@threadtest"),
                                      MakeRecord("note", &NoteNative, 1, 1, 0, 0), MakeRecord("")};
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

}  // namespace
}  // namespace vke
