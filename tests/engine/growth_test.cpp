// Moving the engine into a larger area: every growth mode keeps the contents
// of every part, listed threads and code positions, the grown part serves the
// operation that failed, and a size that would shrink a part moves nothing;
// and the area spread anew at its ceiling, where the room one part took on
// the way serves another.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "compiler/compile.hpp"
#include "engine/code/function_table.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/image/engine_image.hpp"
#include "engine/threads/threads.hpp"
#include "engine/values/values.hpp"
#include "tests/host/engine_state.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::MovableArea;
using test::TestHost;

constexpr uint32_t kMiB = 1u << 20;

struct Parts {
  uint32_t data, heap, desc, code, table;
};
Parts PartsOf(EngineContext* ctx) {
  return {ctx->dataCap, ctx->heapSize, ctx->descCap, ctx->codeSize, ctx->funcCap};
}

TEST(AreaGrowth, EveryModeKeepsEveryPart) {
  for (int32_t mode : {1, 2, 3, 4, 5, 6, 0, 198}) {
    SCOPED_TRACE(mode);
    TestHost host;
    test::FillSampleState(host.ctx());
    uint32_t thread = test::AddSampleThread(host.ctx());
    MovableArea area(host.ctx(), kMiB);
    const Parts old = PartsOf(area.ctx());
    area.Grow(kMiB + kMiB / 2, mode);
    EngineContext* ctx = area.ctx();
    test::ExpectSampleState(ctx);
    test::ExpectSampleThread(ctx, thread);

    const Parts now = PartsOf(ctx);
    const bool all = mode == 0 || mode == 198;
    EXPECT_EQ(now.desc > old.desc, all || mode == 1 || mode == 2);
    EXPECT_EQ(now.data > old.data, all || mode == 3 || mode == 4);
    EXPECT_EQ(now.heap > old.heap, all || mode == 5);
    EXPECT_EQ(now.code > old.code, all || mode == 6);
    EXPECT_GE(now.desc, old.desc);
    EXPECT_GE(now.data, old.data);
    EXPECT_GE(now.heap, old.heap);
    EXPECT_GE(now.code, old.code);
    EXPECT_LE(ctx->codeBase + 2ull * ctx->codeSize, area.bytes());
    EXPECT_EQ(ctx->mainThread.descCap, ctx->descCap);
    EXPECT_EQ(ctx->mainThread.dataCap, ctx->dataCap);
    // Registered tables and reserved names stay where they were.
    EXPECT_EQ(ctx->Registry()[1].table, host->Registry()[1].table);
  }
}

// The snapshot of a whole area, to show that nothing moved.
std::vector<uint8_t> Snapshot(const MovableArea& area) {
  const auto* b = reinterpret_cast<const uint8_t*>(area.ctx());
  return {b, b + area.bytes()};
}

TEST(AreaGrowth, ASizeThatWouldShrinkAPartMovesNothing) {
  TestHost host;
  test::FillSampleState(host.ctx());
  MovableArea area(host.ctx(), kMiB);
  const std::vector<uint8_t> before = Snapshot(area);
  for (int32_t mode : {1, 3, 5, 6, 0}) {
    MakeContextAbsolute(area.ctx(), kMiB / 2, mode);
    EXPECT_EQ(Snapshot(area), before) << mode;
  }
  MakeContextRelative(area.ctx());
  MakeContextAbsolute(area.ctx(), 0, 0);
  EXPECT_EQ(Snapshot(area), before);

  // After the heap took all of a growth, a proportional spread of a little
  // more would shrink it.
  area.Grow(2 * kMiB, kErrVarOverflow);
  const std::vector<uint8_t> grown = Snapshot(area);
  MakeContextAbsolute(area.ctx(), 2 * kMiB, 0);
  EXPECT_EQ(Snapshot(area), grown);
  test::ExpectSampleState(area.ctx());
}

// Repeats an operation, growing the area by half with the failing code as
// the mode until it succeeds.
template <typename Op>
void WithGrowth(MovableArea& area, Op op) {
  for (int tries = 0; tries < 40; tries++) {
    ErrCode code = op(area.ctx());
    if (code == kOk) return;
    ASSERT_TRUE(code == kErrStackOverflow || code == kErrDataOverflow || code == kErrVarOverflow ||
                code == kErrCodeOverflow)
        << code;
    area.Grow(area.bytes() + area.bytes() / 2, code);
  }
  FAIL() << "no growth helped";
}

TEST(AreaGrowth, TheGrownPartServesTheFailedOperation) {
  // Each part is filled until it refuses; one growth with that code lets the
  // same operation through.
  TestHost host({.areaBytes = 256u << 10});
  MovableArea area(host.ctx(), 256u << 10);
  auto fillUntil = [&](auto op) {
    ErrCode code;
    while ((code = op(area.ctx())) == kOk) {
    }
    return code;
  };
  auto pushScalar = [](EngineContext* ctx) { return PushRealScalar(ctx, 1); };
  auto pushMatrix = [](EngineContext* ctx) { return PushNewMatrix(ctx, 40, 40, nullptr, nullptr); };
  auto allocBlock = [](EngineContext* ctx) {
    int32_t block;
    return AllocEngineBlock(ctx, 1000, &block);
  };
  EXPECT_EQ(fillUntil(pushScalar), kErrStackOverflow);
  area.Grow(area.bytes() * 2, kErrStackOverflow);
  EXPECT_EQ(pushScalar(area.ctx()), kOk);

  EXPECT_EQ(fillUntil(pushMatrix), kErrDataOverflow);
  area.Grow(area.bytes() * 2, kErrDataOverflow);
  EXPECT_EQ(pushMatrix(area.ctx()), kOk);

  EXPECT_EQ(fillUntil(allocBlock), kErrVarOverflow);
  const Parts old = PartsOf(area.ctx());
  area.Grow(area.bytes() * 2, kErrVarOverflow);
  // The stacks keep their sizes and the whole growth is one free block.
  const Parts now = PartsOf(area.ctx());
  EXPECT_EQ(now.data, old.data);
  EXPECT_EQ(now.desc, old.desc);
  EXPECT_EQ(Load<uint32_t>(area.ctx()->HeapBytes() + 8ull * old.heap), now.heap - old.heap - 1);
  EXPECT_EQ(allocBlock(area.ctx()), kOk);
}

// After one part took the whole of growths, a growth for a failure of no
// part of its own (and for a compilation's want of working room, which
// lies in the data stack) still grows: each part keeps its size and takes
// its share of the bytes added.
TEST(AreaGrowth, AGrowthAfterLopsidedOnesGrowsEveryPart) {
  TestHost host;
  test::FillSampleState(host.ctx());
  MovableArea area(host.ctx(), kMiB);
  area.Grow(4 * kMiB, kErrDataOverflow);
  const Parts old = PartsOf(area.ctx());
  area.Grow(6 * kMiB, kErrTooManyUserFun);
  const Parts now = PartsOf(area.ctx());
  EXPECT_GT(now.data, old.data);
  EXPECT_GT(now.heap, old.heap);
  EXPECT_GT(now.desc, old.desc);
  EXPECT_GT(now.code, old.code);
  test::ExpectSampleState(area.ctx());
  area.Grow(8 * kMiB, kErrCompOutOfMemory);
  const Parts compiled = PartsOf(area.ctx());
  EXPECT_GT(compiled.data, now.data);
  EXPECT_EQ(compiled.heap, now.heap);
  test::ExpectSampleState(area.ctx());
}

TEST(AreaGrowth, RepeatedGrowthServesTenTimesTheArea) {
  const uint32_t start = 128u << 10;
  TestHost host({.areaBytes = start});
  test::FillSampleState(host.ctx());
  uint32_t thread = test::AddSampleThread(host.ctx());
  MovableArea area(host.ctx(), start);
  std::vector<int32_t> blocks;
  for (int i = 0; i < 30; i++) {
    WithGrowth(area, [i](EngineContext* ctx) {
      double* re = nullptr;
      ErrCode code = PushNewMatrix(ctx, 60, 60, &re, nullptr);
      if (code == kOk) std::fill(re, re + 3600, i);
      return code;
    });
    WithGrowth(area, [i, &blocks](EngineContext* ctx) {
      int32_t block = 0;
      ErrCode code = AllocEngineBlock(ctx, 3600, &block);
      if (code != kOk) return code;
      std::fill_n(reinterpret_cast<double*>(BlockData(ctx, block)), 3600, -i);
      blocks.push_back(block);
      return code;
    });
  }
  EngineContext* ctx = area.ctx();
  EXPECT_GE(area.bytes(), 10 * start);
  for (int i = 0; i < 30; i++) {
    EXPECT_EQ(Load<double>(DataAt(ctx, 29 - i) + 8 * 3599), i);
    EXPECT_EQ(Load<double>(BlockData(ctx, blocks[i]) + 8 * 3599), -i);
  }
  ASSERT_EQ(Drop(ctx, 30), kOk);
  test::ExpectSampleState(ctx);
  test::ExpectSampleThread(ctx, thread);
}

// Listed threads keep their stacks in heap blocks: when the heap moves, their
// records, and the live stacks of a running thread, follow it.
TEST(AreaGrowth, ThreadStacksFollowTheHeap) {
  TestHost host;
  test::FillSampleState(host.ctx());
  uint32_t thread = test::AddSampleThread(host.ctx());
  ExchangeLiveThreadFields(host.ctx(), thread);
  MovableArea area(host.ctx(), kMiB);
  const InterpThreadRecord old = area.ctx()->mainThread;
  const uint32_t heapBase = area.ctx()->heapBase;
  area.Grow(2 * kMiB, kErrDataOverflow);
  EngineContext* ctx = area.ctx();
  ASSERT_GT(ctx->heapBase, heapBase);
  // Thread 0's data stack grew, not the running thread's.
  EXPECT_GT(ctx->mainThread.dataCap, old.dataCap);
  EXPECT_EQ(ctx->mainThread.descCap, old.descCap);
  EXPECT_EQ(ctx->dataCap, (1024 / 2 - 8) / 8u);
  EXPECT_EQ(test::TopString(ctx, 0), "thread");
  ExchangeLiveThreadFields(ctx, 0);
  EXPECT_EQ(ctx->dataCap, ctx->mainThread.dataCap);
  test::ExpectSampleState(ctx);
  test::ExpectSampleThread(ctx, thread);
}

// The function table grows with the code area; the code behind it moves, and
// every code position follows, those saved by listed threads included.
TEST(AreaGrowth, TheFunctionTableGrowsWithTheCodeArea) {
  TestHost host;
  test::FillSampleState(host.ctx());
  // Code of the code area runs.
  host->cpKind = kCodeArea;
  host->cpOffset = 2 * Load<uint32_t>(host->CodeBytes() + 16 + 8) + 2;
  const uint16_t unit = Load<uint16_t>(host->CodeBytes() + host->cpOffset);
  for (int32_t mode : {6, 0}) {
    MovableArea area(host.ctx(), kMiB);
    EngineContext* ctx = area.ctx();
    const uint32_t cap = ctx->funcCap;
    area.Grow(4 * kMiB, mode);
    ctx = area.ctx();
    EXPECT_EQ(ctx->funcCap, ctx->codeSize / 256);
    EXPECT_GT(ctx->funcCap, cap);
    EXPECT_EQ(Load<uint16_t>(ctx->CodeBytes() + ctx->cpOffset), unit);
    test::ExpectSampleState(ctx);  // code found through the shifted entries
  }
  const auto thread = static_cast<int32_t>(test::AddSampleThread(host.ctx()));
  auto* saved = reinterpret_cast<InterpThreadRecord*>(BlockData(host.ctx(), thread));
  saved->cpKind = kCodeArea;
  saved->cpOffset = host->cpOffset;
  MovableArea area(host.ctx(), kMiB);
  const uint32_t cap = area.ctx()->funcCap;
  area.Grow(4 * kMiB, kErrCodeOverflow);
  EngineContext* ctx = area.ctx();
  EXPECT_GT(ctx->funcCap, cap);
  EXPECT_EQ(Load<uint16_t>(ctx->CodeBytes() + ctx->cpOffset), unit);
  saved = reinterpret_cast<InterpThreadRecord*>(BlockData(ctx, thread));
  EXPECT_EQ(Load<uint16_t>(ctx->CodeBytes() + saved->cpOffset), unit);
  test::ExpectSampleState(ctx);
}

// A large area starts with a table of more entries than function indices
// reach; growing it again leaves the table as it is.
TEST(AreaGrowth, ATableBeyondTheIndexLimitStaysAsItIs) {
  constexpr uint32_t kStart = 64 * kMiB;
  TestHost host({.areaBytes = kStart});
  test::FillSampleState(host.ctx());
  ASSERT_GT(host->funcCap, kMaxFunctionEntries);
  MovableArea area(host.ctx(), kStart);
  const uint32_t cap = area.ctx()->funcCap;
  area.Grow(kStart + kStart / 2, 0);
  EXPECT_EQ(area.ctx()->funcCap, cap);
  test::ExpectSampleState(area.ctx());
}

// An area grown to its ceiling by half at a time for failures with `mode`,
// as the hosts grow it, from a copy of the host's engine.
MovableArea GrownToCeiling(EngineContext* from, uint32_t start, uint32_t ceiling, int32_t mode) {
  MovableArea area(from, start);
  while (area.bytes() < ceiling)
    area.Grow(std::min(area.bytes() + area.bytes() / 2, ceiling) & ~7u, mode);
  return area;
}

bool operator==(const Parts& a, const Parts& b) {
  return a.data == b.data && a.heap == b.heap && a.desc == b.desc && a.code == b.code;
}

// Whatever part took the room on the way to the ceiling, spread anew for
// another part's failure the area has the parts of a fresh area grown to
// the same ceiling for that part's failures alone, and keeps every value,
// variable, thread, code position and name.
TEST(AreaGrowth, AtTheCeilingTheRoomAPartTookServesAnotherPart) {
  constexpr uint32_t kCeiling = 4 * kMiB;
  struct Case {
    int32_t took, needs;
  };
  for (Case c :
       {Case{kErrDataOverflow, kErrVarOverflow}, Case{kErrStackOverflow, kErrVarOverflow},
        Case{kErrCodeOverflow, kErrVarOverflow}, Case{kErrVarOverflow, kErrDataOverflow},
        Case{kErrDataOverflow, kErrCodeOverflow}, Case{kErrDataOverflow, kErrStackOverflow}}) {
    SCOPED_TRACE(testing::Message() << c.took << " -> " << c.needs);
    TestHost host;
    test::FillSampleState(host.ctx());
    const uint32_t thread = test::AddSampleThread(host.ctx());
    const MovableArea fresh = GrownToCeiling(host.ctx(), kMiB, kCeiling, c.needs);
    MovableArea area = GrownToCeiling(host.ctx(), kMiB, kCeiling, c.took);
    ASSERT_FALSE(PartsOf(area.ctx()) == PartsOf(fresh.ctx()));
    ASSERT_TRUE(SpreadAreaAnew(area.ctx(), area.bytes(), c.needs));
    EXPECT_TRUE(PartsOf(area.ctx()) == PartsOf(fresh.ctx()));
    test::ExpectSampleState(area.ctx());
    test::ExpectSampleThread(area.ctx(), thread);
    // Nothing more to give.
    EXPECT_FALSE(SpreadAreaAnew(area.ctx(), area.bytes(), c.needs));
  }
}

// What a part holds stays its own: the heap up to its last block in use,
// the stacks up to their tops; what a spread gives the heap serves a block
// as large as the rest.
TEST(AreaGrowth, AtTheCeilingAPartKeepsWhatItHolds) {
  constexpr uint32_t kCeiling = 4 * kMiB;
  TestHost host;
  test::FillSampleState(host.ctx());
  MovableArea area = GrownToCeiling(host.ctx(), kMiB, kCeiling, kErrDataOverflow);
  EngineContext* ctx = area.ctx();
  double* re = nullptr;
  ASSERT_EQ(PushNewMatrix(ctx, 1, 200000, &re, nullptr), kOk);
  std::fill(re, re + 200000, 2.5);
  const uint32_t top = ctx->dataTop;
  ASSERT_TRUE(SpreadAreaAnew(ctx, area.bytes(), kErrVarOverflow));
  EXPECT_GE(ctx->dataCap, top);
  EXPECT_LT(ctx->dataCap, top + 8);
  int32_t block = 0;
  ASSERT_EQ(AllocEngineBlock(ctx, ctx->heapSize / 2, &block), kOk);
  std::fill_n(reinterpret_cast<double*>(BlockData(ctx, block)), ctx->heapSize / 2, -1.0);
  // The data stack's values stay; the block in use keeps its room.
  EXPECT_EQ(Load<double>(DataAt(ctx, 0) + 8 * 199999), 2.5);
  ASSERT_EQ(Drop(ctx, 1), kOk);
  const uint32_t heapSize = ctx->heapSize;
  ASSERT_TRUE(SpreadAreaAnew(ctx, area.bytes(), kErrDataOverflow));
  EXPECT_GE(ctx->heapSize, static_cast<uint32_t>(block) + heapSize / 2);
  EXPECT_LT(ctx->heapSize, heapSize);
  EXPECT_EQ(Load<double>(BlockData(ctx, block) + 8 * (heapSize / 2 - 1)), -1.0);
  FreeEngineBlock(ctx, block);
  test::ExpectSampleState(ctx);
}

// A work that needs two parts' room at once, more than the area holds, is
// refused rather than sent round: while the engine stands where a part was
// given room, that part keeps it; once the engine has moved on, or a new
// work begins, it gives it back.
TEST(AreaGrowth, AtTheCeilingRoomGivenIsKeptWhereItWasGiven) {
  constexpr uint32_t kCeiling = 4 * kMiB;
  TestHost host;
  MovableArea area = GrownToCeiling(host.ctx(), kMiB, kCeiling, kErrDataOverflow);
  EngineContext* ctx = area.ctx();
  ASSERT_TRUE(SpreadAreaAnew(ctx, area.bytes(), kErrVarOverflow));
  const Parts given = PartsOf(ctx);
  EXPECT_FALSE(SpreadAreaAnew(ctx, area.bytes(), kErrDataOverflow));
  EXPECT_FALSE(SpreadAreaAnew(ctx, area.bytes(), kErrCodeOverflow));
  EXPECT_TRUE(PartsOf(ctx) == given);
  ASSERT_EQ(PushRealScalar(ctx, 1), kOk);
  EXPECT_TRUE(SpreadAreaAnew(ctx, area.bytes(), kErrDataOverflow));
  ASSERT_EQ(Drop(ctx, 1), kOk);
  ASSERT_TRUE(SpreadAreaAnew(ctx, area.bytes(), kErrVarOverflow));
  EXPECT_FALSE(SpreadAreaAnew(ctx, area.bytes(), kErrCodeOverflow));
  ForgetAreaSpreads(ctx);
  EXPECT_TRUE(SpreadAreaAnew(ctx, area.bytes(), kErrCodeOverflow));
}

// With retry on, an instruction that runs out of room with its operands in
// place ends the run; once the area has grown it runs again, and nothing
// made before it is lost.
TEST(AreaGrowth, AnInstructionOutOfRoomRunsAgainInTheGrownArea) {
  constexpr uint32_t kStart = 512u << 10;
  TestHost host({.areaBytes = kStart});
  MovableArea area(host.ctx(), kStart);
  const std::string text =
      "k = 7; z = zeros(1, 20000); w = [z z]; r = 1:30000; w(end) = k;"
      "disp([numel(w), w(end), r(end), k])";
  ASSERT_EQ(CompileCommandLine(area.ctx(), text.data(), static_cast<int32_t>(text.size())), kOk);
  SetMemoryRetry(area.ctx(), true);
  int32_t growths = 0;
  ErrCode e = kStatusSuspended;
  while (e == kStatusSuspended || MemoryRetryPending(area.ctx())) {
    if (MemoryRetryPending(area.ctx())) {
      ASSERT_TRUE(IsEngineMemoryCode(e)) << e;
      ASSERT_LT(++growths, 20);
      area.Grow(area.bytes() + area.bytes() / 2, e);
      SetMemoryRetry(area.ctx(), true);
    }
    e = ExecuteBytecode(area.ctx(), 1);
  }
  EXPECT_EQ(e, kOk);
  EXPECT_GT(growths, 1);
  EXPECT_EQ(host.Output(1), "     40000         7     30000         7\n");
  EXPECT_EQ(host.Output(2), "");
}

}  // namespace
}  // namespace vke
