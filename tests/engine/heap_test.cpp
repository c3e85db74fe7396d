// The block heap: first fit, lazy merging, exhaustion, moving the heap, and
// the start hint of the first-fit walk.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/heap_fast.hpp"
#include "engine/variables/variables.hpp"
#include "tests/host/engine_state.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

uint32_t Header(EngineContext* ctx, int32_t index) {
  return Load<uint32_t>(BlockData(ctx, index) - 8);
}

TEST(BlockHeap, FirstFitSplitsAndMergesLazily) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t a, b, c, d, z = -1;
  ASSERT_EQ(AllocEngineBlock(ctx, 0, &z), kOk);
  EXPECT_EQ(z, 0);
  ASSERT_EQ(AllocEngineBlock(ctx, 3, &a), kOk);
  ASSERT_EQ(AllocEngineBlock(ctx, 5, &b), kOk);
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &c), kOk);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 5);
  EXPECT_EQ(c, 11);
  EXPECT_EQ(Header(ctx, c + 2), ctx->heapSize - 13);  // the rest, free
  // The same size takes a freed block whole; one unit less leaves an empty
  // free block behind it.
  FreeEngineBlock(ctx, b);
  ASSERT_EQ(AllocEngineBlock(ctx, 5, &d), kOk);
  EXPECT_EQ(d, b);
  EXPECT_EQ(Header(ctx, c), 1u | kBlockInUse);
  FreeEngineBlock(ctx, d);
  ASSERT_EQ(AllocEngineBlock(ctx, 4, &d), kOk);
  EXPECT_EQ(Header(ctx, d + 5), 0u);
  // Adjacent free blocks stay apart until a walk finds them as one block.
  FreeEngineBlock(ctx, a);
  FreeEngineBlock(ctx, d);
  EXPECT_EQ(Header(ctx, a), 3u);
  ASSERT_EQ(AllocEngineBlock(ctx, 3 + 5 + 1, &d), kOk);
  EXPECT_EQ(d, a);
  EXPECT_EQ(Header(ctx, d), 9u | kBlockInUse);
}

TEST(BlockHeap, ExhaustionAndDamagedHeadersGiveVarOverflow) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const uint32_t size = ctx->heapSize;
  int32_t a, b;
  EXPECT_EQ(AllocEngineBlock(ctx, size, &a), kErrVarOverflow);
  EXPECT_EQ(AllocEngineBlock(ctx, 0xFFFFFFFFu, &a), kErrVarOverflow);
  ASSERT_EQ(AllocEngineBlock(ctx, size - 1, &a), kOk);  // the whole heap
  EXPECT_EQ(AllocEngineBlock(ctx, 1, &b), kErrVarOverflow);
  FreeEngineBlock(ctx, a);
  FreeEngineBlock(ctx, -1);  // ignored, like any index outside the heap
  FreeEngineBlock(ctx, static_cast<int32_t>(size + 1));
  // A header claiming more than the heap holds is never handed out.
  Store<uint32_t>(ctx->HeapBytes(), size + 100);
  EXPECT_EQ(AllocEngineBlock(ctx, 1, &b), kErrVarOverflow);
  Store<uint32_t>(ctx->HeapBytes(), size - 1);
  ctx->heapSize = 0;
  EXPECT_EQ(AllocEngineBlock(ctx, 1, &b), kErrVarOverflow);
  ctx->heapSize = size;
  EXPECT_EQ(AllocEngineBlock(ctx, size - 1, &b), kOk);
}

TEST(BlockHeap, MoveKeepsBlocksAndAddsOneFreeBlock) {
  // A heap of 16 units moved 4 units up into 24 units: the places overlap.
  std::vector<uint8_t> mem(8 * 32, 0xEE);
  uint8_t* oldBase = mem.data();
  Store<uint32_t>(oldBase, 3u | kBlockInUse);
  Store<uint64_t>(oldBase + 8, 0x1122334455667788ull);
  Store<uint32_t>(oldBase + 32, 11u);
  uint8_t* newBase = oldBase + 32;
  ASSERT_EQ(MoveBlockHeap(oldBase, 16, newBase, 24), kOk);
  EXPECT_EQ(Load<uint32_t>(newBase), 3u | kBlockInUse);
  EXPECT_EQ(Load<uint64_t>(newBase + 8), 0x1122334455667788ull);
  EXPECT_EQ(Load<uint32_t>(newBase + 32), 11u);
  EXPECT_EQ(Load<uint32_t>(newBase + 8 * 16), 7u);
  EXPECT_EQ(MoveBlockHeap(newBase, 24, oldBase, 8), kErrIllegal);
  EXPECT_EQ(Load<uint32_t>(newBase), 3u | kBlockInUse);
}

TEST(BlockHeap, MoveCarriesOnlyTheHeadersOfLargeFreeBlocks) {
  // In use 2 units, free 1000, in use 3, free 600 at the end: moved up by
  // just past the first block's place and down by as much, every block and
  // header arrives; the large free blocks' data is not written.
  constexpr uint32_t kOld = 1609, kNew = 1700, kShift = 1003;
  for (bool up : {true, false}) {
    SCOPED_TRACE(up);
    std::vector<uint8_t> mem(8 * (kNew + kShift), 0xEE);
    uint8_t* oldBase = mem.data() + (up ? 0 : 8 * kShift);
    uint8_t* newBase = mem.data() + (up ? 8 * kShift : 0);
    Store<uint32_t>(oldBase, 2u | kBlockInUse);
    Store<uint64_t>(oldBase + 8, 0x1111);
    Store<uint64_t>(oldBase + 16, 0x2222);
    Store<uint32_t>(oldBase + 8 * 3, 1000u);
    Store<uint32_t>(oldBase + 8 * 1004, 3u | kBlockInUse);
    for (uint64_t k = 0; k < 3; k++) Store<uint64_t>(oldBase + 8 * (1005 + k), 0x3333 + k);
    Store<uint32_t>(oldBase + 8 * 1008, 600u);
    // What the free blocks hold at their new places beforehand.
    Store<uint64_t>(newBase + 8 * 500, 0x5A5A);
    Store<uint64_t>(newBase + 8 * 1300, 0x6B6B);
    ASSERT_EQ(MoveBlockHeap(oldBase, kOld, newBase, kNew), kOk);
    EXPECT_EQ(Load<uint32_t>(newBase), 2u | kBlockInUse);
    EXPECT_EQ(Load<uint64_t>(newBase + 8), 0x1111u);
    EXPECT_EQ(Load<uint64_t>(newBase + 16), 0x2222u);
    EXPECT_EQ(Load<uint32_t>(newBase + 8 * 3), 1000u);
    EXPECT_EQ(Load<uint32_t>(newBase + 8 * 1004), 3u | kBlockInUse);
    for (uint64_t k = 0; k < 3; k++)
      EXPECT_EQ(Load<uint64_t>(newBase + 8 * (1005 + k)), 0x3333 + k);
    EXPECT_EQ(Load<uint32_t>(newBase + 8 * 1008), 600u);
    EXPECT_EQ(Load<uint32_t>(newBase + 8 * kOld), kNew - kOld - 1);
    EXPECT_EQ(Load<uint64_t>(newBase + 8 * 500), 0x5A5Au);
    EXPECT_EQ(Load<uint64_t>(newBase + 8 * 1300), 0x6B6Bu);
  }
}

// Allocates blocks until not one unit is left: the walk's start hint ends
// near the heap's end.
void FillHeap(EngineContext* ctx) {
  int32_t block;
  for (uint32_t units : {50u, 1u})
    while (AllocEngineBlock(ctx, units, &block) == kOk) {
    }
}

TEST(BlockHeap, HintedWalkChoosesAsAWalkFromTheStart) {
  // Two engines run the same random allocations, frees and splits; the
  // second walks from the start every time. Blocks and headers must agree.
  TestHost hinted, plain;
  std::mt19937 rng(7);
  std::vector<int32_t> live;
  for (int step = 0; step < 4000; step++) {
    const uint32_t r = rng() % 10;
    if (r < 5 || live.empty()) {
      const uint32_t units = 1 + rng() % (rng() % 4 ? 8 : 300);
      int32_t a = -1, b = -1;
      ForgetHeapHints(plain.ctx());
      const ErrCode ea = AllocEngineBlock(hinted.ctx(), units, &a);
      ASSERT_EQ(ea, AllocEngineBlock(plain.ctx(), units, &b)) << step;
      if (ea) continue;
      ASSERT_EQ(a, b) << step;
      live.push_back(a);
    } else {
      const size_t i = rng() % live.size();
      const int32_t block = live[i];
      if (r < 8) {
        FreeEngineBlock(hinted.ctx(), block);
        FreeEngineBlock(plain.ctx(), block);
        live[i] = live.back();
        live.pop_back();
      } else if (r == 8 && step % 2) {
        const uint32_t units = BlockUnits(hinted.ctx(), block) + 1 + rng() % 20;
        ASSERT_EQ(ExtendEngineBlock(hinted.ctx(), block, units),
                  ExtendEngineBlock(plain.ctx(), block, units))
            << step;
      } else {
        const uint32_t units = BlockUnits(hinted.ctx(), block) / 2;
        SplitBlock(hinted.ctx(), block, units);
        SplitBlock(plain.ctx(), block, units);
      }
    }
  }
  EXPECT_EQ(std::memcmp(hinted->HeapBytes(), plain->HeapBytes(), 8ull * hinted->heapSize), 0);
}

TEST(BlockHeap, AHoleAtTheStartLeavesTheBlocksInUseUnread) {
  // A small free block at the heap's start, then many in use: a request
  // too large for the hole goes past them without reading their headers,
  // so even a header spoilt on purpose in their midst is never met. Freed
  // blocks among them are still found first.
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t hole, block;
  std::vector<int32_t> used(200);
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &hole), kOk);
  for (int32_t& b : used) ASSERT_EQ(AllocEngineBlock(ctx, 3, &b), kOk);
  FreeEngineBlock(ctx, hole);
  const uint32_t spoilt = Header(ctx, used[100]);
  Store<uint32_t>(BlockData(ctx, used[100]) - 8, kBlockInUse | (ctx->heapSize + 5));
  for (int k = 0; k < 100; k++) ASSERT_EQ(AllocEngineBlock(ctx, 3, &block), kOk) << k;
  EXPECT_GT(block, used.back());
  FreeEngineBlock(ctx, used[150]);
  ASSERT_EQ(AllocEngineBlock(ctx, 3, &block), kOk);
  EXPECT_EQ(block, used[150]);
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &block), kOk);
  EXPECT_EQ(block, hole);
  Store<uint32_t>(BlockData(ctx, used[100]) - 8, spoilt);
}

TEST(BlockHeap, TakingTheBlockAtTheHintLeavesHeadersAsTheWalkDoes) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const uint32_t size = ctx->heapSize;
  int32_t a, b, c, d;
  // A call's pattern: two scalar blocks freed in turn are merged with the
  // free rest and split again, the rest's header rewritten behind the block.
  ASSERT_EQ(AllocEngineBlock(ctx, 3, &a), kOk);
  ASSERT_EQ(AllocEngineBlock(ctx, 3, &b), kOk);
  FreeEngineBlock(ctx, b);
  FreeEngineBlock(ctx, a);
  ASSERT_EQ(AllocEngineBlock(ctx, 3, &c), kOk);
  EXPECT_EQ(c, a);
  EXPECT_EQ(Header(ctx, c), 3u | kBlockInUse);
  EXPECT_EQ(Header(ctx, c + 4), size - 5);
  EXPECT_EQ(ctx->heapFreeFrom, 4u);
  // Merged free blocks at the hint too small for the request: the walk goes
  // on to the first that fits, and the merged header stays written.
  ASSERT_EQ(AllocEngineBlock(ctx, 2, &a), kOk);  // units 4..6
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &b), kOk);  // units 7..8
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &d), kOk);  // units 9..10, then the rest
  FreeEngineBlock(ctx, b);
  FreeEngineBlock(ctx, a);
  ASSERT_EQ(AllocEngineBlock(ctx, 10, &b), kOk);
  EXPECT_EQ(b, d + 2);
  EXPECT_EQ(Header(ctx, a), 4u);  // 2 + 1 + 1, free
  EXPECT_EQ(ctx->heapFreeFrom, 4u);
  // A free follower whose header runs past the heap is merged, but never
  // handed out: the allocation fails and the merge is the walk's.
  FreeEngineBlock(ctx, b);
  Store<uint32_t>(BlockData(ctx, d + 2) - 8, size);
  EXPECT_EQ(AllocEngineBlock(ctx, 1, &c), kOk);  // the merged block at the hint still fits
  EXPECT_EQ(c, a);
  FreeEngineBlock(ctx, d);
  ctx->heapFreeFrom = static_cast<uint32_t>(d - 1);
  EXPECT_EQ(AllocEngineBlock(ctx, 1, &c), kErrVarOverflow);
  EXPECT_EQ(Header(ctx, d), size + 2);  // the walk's merge of the two
}

TEST(BlockHeap, FramesFreedInAnyOrderBringTheWalkStartDown) {
  // A frame's blocks freed in either order at the top of the heap leave
  // nothing listed: the walk starts at the lowest of them, and the next
  // allocation takes it at the hint, as a walk from the start would.
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t hole, a, b, c, again;
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &hole), kOk);
  ASSERT_EQ(AllocEngineBlock(ctx, 5, &a), kOk);
  FreeEngineBlock(ctx, hole);  // listed: below the walk's start
  for (int order = 0; order < 2; order++) {
    ASSERT_EQ(AllocEngineBlock(ctx, 3, &b), kOk);
    ASSERT_EQ(AllocEngineBlock(ctx, 3, &c), kOk);
    EXPECT_GT(b, a);
    FreeEngineBlock(ctx, order ? b : c);
    FreeEngineBlock(ctx, order ? c : b);
    EXPECT_EQ(ctx->heapListedCount, 1u);
    EXPECT_EQ(ctx->heapListedTo, uint32_t(b - 1));
    EXPECT_EQ(ctx->heapFreeFrom, uint32_t(hole - 1));
  }
  // The hole too: a block freed below the start carries the start down over
  // the listed blocks that end where it begins.
  FreeEngineBlock(ctx, a);
  EXPECT_EQ(ctx->heapListedCount, 0u);
  EXPECT_EQ(ctx->heapListedTo, uint32_t(hole - 1));
  ASSERT_EQ(AllocEngineBlock(ctx, 8, &again), kOk);
  EXPECT_EQ(again, hole);
  EXPECT_EQ(Header(ctx, again), 8u | kBlockInUse);
}

TEST(BlockHeap, TheCallPathsInlineAllocationKeepsFirstFit) {
  // A call's blocks freed at the top: the inline allocation takes the block
  // at the walk's start, its free followers merged as the walk merges them.
  TestHost host;
  EngineContext* ctx = host.ctx();
  const uint32_t size = ctx->heapSize;
  int32_t a, b, c, hole, d;
  ASSERT_EQ(AllocBlockAtWalkStart(ctx, 3, &a), kOk);
  ASSERT_EQ(AllocBlockAtWalkStart(ctx, 3, &b), kOk);
  EXPECT_EQ(b, a + 4);
  FreeEngineBlock(ctx, b);
  FreeEngineBlock(ctx, a);
  EXPECT_EQ(ctx->heapListedTo, uint32_t(a - 1));
  ASSERT_EQ(AllocBlockAtWalkStart(ctx, 5, &c), kOk);
  EXPECT_EQ(c, a);
  EXPECT_EQ(Header(ctx, c), 5u | kBlockInUse);
  EXPECT_EQ(Header(ctx, c + 6), size - 7);
  EXPECT_EQ(ctx->heapFreeFrom, ctx->heapListedTo);
  // A free block listed below the start comes first when it fits: the
  // request goes to the walk.
  ASSERT_EQ(AllocBlockAtWalkStart(ctx, 2, &hole), kOk);
  ASSERT_EQ(AllocBlockAtWalkStart(ctx, 3, &d), kOk);
  FreeEngineBlock(ctx, hole);
  EXPECT_EQ(ctx->heapListedCount, 1u);
  ASSERT_EQ(AllocBlockAtWalkStart(ctx, 2, &b), kOk);
  EXPECT_EQ(b, hole);
  EXPECT_EQ(ctx->heapListedCount, 0u);
  // No room anywhere: the allocator's answer, nothing changed.
  EXPECT_EQ(AllocBlockAtWalkStart(ctx, size, &b), kErrVarOverflow);
  EXPECT_EQ(Header(ctx, d), 3u | kBlockInUse);
}

TEST(BlockHeap, ListedBlocksTooSmallLeaveTheWalkStartToTheRequest) {
  // Small free blocks listed below the walk's start, each before a block in
  // use: a larger request takes the block at the start and the list stays.
  // Two listed neighbours that fit together are still merged and taken
  // first, as first fit takes them.
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t small1, used1, small2, small3, used2, block;
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &small1), kOk);
  ASSERT_EQ(AllocEngineBlock(ctx, 3, &used1), kOk);
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &small2), kOk);
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &small3), kOk);
  ASSERT_EQ(AllocEngineBlock(ctx, 3, &used2), kOk);
  FreeEngineBlock(ctx, small1);
  FreeEngineBlock(ctx, small2);
  FreeEngineBlock(ctx, small3);
  ASSERT_EQ(ctx->heapListedCount, 3u);
  ASSERT_EQ(AllocEngineBlock(ctx, 2, &block), kOk);
  EXPECT_EQ(block, small2);  // merged with small3 (1 + 1 + 1 units), an empty block left
  EXPECT_EQ(Header(ctx, block), 2u | kBlockInUse);
  EXPECT_EQ(ctx->heapListedCount, 2u);
  ASSERT_EQ(AllocEngineBlock(ctx, 3, &block), kOk);
  EXPECT_GT(block, used2);
  EXPECT_EQ(ctx->heapListedCount, 2u);
  EXPECT_EQ(ctx->heapListed[0], uint32_t(small1 - 1));
  EXPECT_EQ(ctx->heapFreeFrom, uint32_t(small1 - 1));
  EXPECT_EQ(ctx->heapListedTo, uint32_t(block + 3));
  EXPECT_EQ(Header(ctx, small1), 1u);
}

TEST(BlockHeap, ExtendTakesFreeFollowersOnly) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t a, b, c, d;
  ASSERT_EQ(AllocEngineBlock(ctx, 4, &a), kOk);
  ASSERT_EQ(AllocEngineBlock(ctx, 2, &b), kOk);
  ASSERT_EQ(AllocEngineBlock(ctx, 3, &c), kOk);
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &d), kOk);
  // A used follower stops it; nothing changes.
  EXPECT_FALSE(ExtendEngineBlock(ctx, a, 5));
  EXPECT_EQ(Header(ctx, a), 4u | kBlockInUse);
  EXPECT_TRUE(ExtendEngineBlock(ctx, a, 3));  // already large enough
  // Two free followers taken in as far as needed; the rest stays free and
  // the walk's start, which named the first of them, moves behind the block.
  FreeEngineBlock(ctx, b);
  FreeEngineBlock(ctx, c);
  EXPECT_EQ(ctx->heapFreeFrom, uint32_t(b - 1));
  EXPECT_FALSE(ExtendEngineBlock(ctx, a, 4 + 2 + 3 + 3));
  ASSERT_TRUE(ExtendEngineBlock(ctx, a, 8));
  EXPECT_EQ(Header(ctx, a), 8u | kBlockInUse);
  EXPECT_EQ(Header(ctx, a + 9), 2u);
  EXPECT_EQ(ctx->heapFreeFrom, uint32_t(a + 8));
  int32_t e;
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &e), kOk);
  EXPECT_EQ(e, a + 9);
  // Exactly the room of a free follower.
  FreeEngineBlock(ctx, e);
  ASSERT_TRUE(ExtendEngineBlock(ctx, a, 10));
  EXPECT_EQ(Header(ctx, a), 10u | kBlockInUse);
  EXPECT_EQ(Header(ctx, d), 1u | kBlockInUse);
}

TEST(BlockHeap, ResetLoadAndGrowthReopenAFullHeap) {
  // A full heap leaves the walk's start at its end; whatever frees or adds
  // blocks below must let the next walk find them.
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t block;
  FillHeap(ctx);
  ASSERT_EQ(AllocEngineBlock(ctx, 1, &block), kErrVarOverflow);
  ASSERT_EQ(ResetEngine(ctx), kOk);
  EXPECT_EQ(AllocEngineBlock(ctx, 1000, &block), kOk);

  FillHeap(ctx);
  test::MemoryImage image = [] {
    TestHost saver;
    return test::SaveToMemory(saver.ctx());
  }();
  ASSERT_EQ(test::LoadFromMemory(ctx, image), kOk);
  EXPECT_EQ(AllocEngineBlock(ctx, 1000, &block), kOk);

  FillHeap(ctx);
  test::MovableArea area(ctx, 1u << 20);
  area.Grow((1u << 20) + (1u << 18), 5);  // the heap alone grows
  EXPECT_EQ(AllocEngineBlock(area.ctx(), 1000, &block), kOk);
}

}  // namespace
}  // namespace vke
