// Large values moved into heap blocks by whole pages: blocks placed to share
// their source's place in a granule without losing room, stores whose values
// arrive right wherever the value stands on the stack, with the host's
// exchange, with one that refuses and with none, and stores without room
// that change nothing.
#include "engine/heap_pages.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/frames/frames.hpp"
#include "engine/heap_fast.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables.hpp"
#include "tests/host/assembler.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;
using test::TestHostOptions;

// The values' length: past the size that moves by pages; and an area with
// room for a few of them.
constexpr int32_t kRows = kPageMovedUnits + 1000;
constexpr uint32_t kArea = 96u << 20;

int g_swaps = 0;

// The host's exchange done by copying, in an area that is not mapped page
// by page; it checks what the engine hands it.
bool CopySwap(void* a, void* b, size_t bytes) {
  const auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
  EXPECT_EQ((x | y | bytes) % kSwapGranuleBytes, 0u);
  EXPECT_TRUE(x + bytes <= y || y + bytes <= x);
  std::vector<uint8_t> aside(static_cast<uint8_t*>(a), static_cast<uint8_t*>(a) + bytes);
  std::memcpy(a, b, bytes);
  std::memcpy(b, aside.data(), bytes);
  g_swaps++;
  return true;
}

bool RefusingSwap(void*, void*, size_t) {
  return false;
}

// The free units of the heap, headers counted; walking its headers must
// end exactly at its end.
uint64_t FreeUnits(EngineContext* ctx) {
  const uint8_t* heap = ctx->HeapBytes();
  uint64_t u = 0, free = 0;
  while (u < ctx->heapSize) {
    const uint32_t h = HeapHeaderAt(heap, static_cast<uint32_t>(u));
    if (!(h & kBlockInUse)) free += (h & kBlockSizeMask) + 1;
    u += (h & kBlockSizeMask) + 1;
  }
  EXPECT_EQ(u, ctx->heapSize);
  return free;
}

TEST(PageMoves, AlignedBlocksShareTheSourcesPlaceAndLoseNoRoom) {
  TestHost host(TestHostOptions{.areaBytes = kArea});
  EngineContext* ctx = host.ctx();
  const uint64_t granule = kSwapGranuleBytes;
  const uint64_t free = FreeUnits(ctx);
  std::vector<int32_t> blocks;
  // Sources at every kind of place in a granule, a block's data unit 2 to
  // meet them; then one a few bytes off any unit, which is placed as usual.
  for (uint64_t offset :
       {uint64_t{0}, uint64_t{8}, uint64_t{16}, granule / 2 + 24, granule - 16, granule - 8}) {
    const uint8_t* source = ctx->DataBytes() + offset;
    int32_t block;
    ASSERT_EQ(AllocBlockAlignedWith(ctx, 700, 2, source, &block), kOk);
    EXPECT_EQ((reinterpret_cast<uintptr_t>(BlockData(ctx, block) + 16) -
               reinterpret_cast<uintptr_t>(source)) %
                  granule,
              0u);
    EXPECT_EQ(BlockUnits(ctx, block), 700u);
    blocks.push_back(block);
  }
  int32_t odd;
  ASSERT_EQ(AllocBlockAlignedWith(ctx, 700, 2, ctx->DataBytes() + 3, &odd), kOk);
  blocks.push_back(odd);
  // Plain allocations take the room the placements skipped.
  for (int k = 0; k < 20; k++) {
    int32_t small;
    ASSERT_EQ(AllocEngineBlock(ctx, 30, &small), kOk);
    blocks.push_back(small);
  }
  for (int32_t b : blocks) FreeEngineBlock(ctx, b);
  EXPECT_EQ(FreeUnits(ctx), free);
}

TEST(PageMoves, AlignedBlocksFallBackToPlainRoomAndFailAsItFails) {
  TestHost host(TestHostOptions{.areaBytes = kArea});
  EngineContext* ctx = host.ctx();
  // Room for 1000 units and a few, not for the granule the placement needs.
  int32_t filler;
  const uint32_t left = 1000 + 10;
  ASSERT_EQ(AllocEngineBlock(ctx, static_cast<uint32_t>(FreeUnits(ctx)) - left - 2, &filler), kOk);
  const uint64_t free = FreeUnits(ctx);
  int32_t block;
  ASSERT_EQ(AllocBlockAlignedWith(ctx, 1000, 2, ctx->DataBytes() + 40, &block), kOk);
  EXPECT_EQ(BlockUnits(ctx, block), 1000u);
  FreeEngineBlock(ctx, block);
  EXPECT_EQ(AllocBlockAlignedWith(ctx, left + 1, 2, ctx->DataBytes() + 40, &block),
            kErrVarOverflow);
  EXPECT_EQ(FreeUnits(ctx), free);
}

// Pushes a column of kRows doubles, element i being i * 3 + seed.
void PushColumn(EngineContext* ctx, int32_t rows, double seed) {
  double* re;
  ASSERT_EQ(PushNewMatrix(ctx, rows, 1, &re, nullptr), kOk);
  for (int32_t i = 0; i < rows; i++) re[i] = i * 3.0 + seed;
}

// Whether the value at the depth is that column.
bool HoldsColumn(EngineContext* ctx, int32_t depth, int32_t rows, double seed) {
  const NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kDouble || v.shape.count != rows) return false;
  for (int32_t i = 0; i < rows; i++)
    if (Load<double>(v.elements + 8 * i) != i * 3.0 + seed) return false;
  return true;
}

// Whether variable n holds that column.
bool VariableHolds(EngineContext* ctx, int32_t n, int32_t rows, double seed) {
  if (LoadVariable(ctx, n) != kOk) return false;
  const bool holds = HoldsColumn(ctx, 0, rows, seed);
  Drop(ctx, 1);
  return holds;
}

class PageMoveStores : public ::testing::Test {
 protected:
  void SetUp() override { test::SetBaseVariables(ctx(), {"x", "y"}); }
  EngineContext* ctx() { return host_.ctx(); }

  TestHost host_{TestHostOptions{.areaBytes = kArea}};
};

TEST_F(PageMoveStores, ValuesArriveRightWhereverTheyStand) {
  struct Case {
    PageSwapFn swap;
    bool swaps;
  };
  for (Case c : {Case{&CopySwap, true}, Case{&RefusingSwap, false}, Case{nullptr, false}}) {
    SetPageSwap(ctx(), c.swap);
    g_swaps = 0;
    // The value shifted by up to a page's units by scalars under it: first
    // stores, stores into a block of the same size and into a new one.
    for (int32_t shift : {0, 1, 2, 5, 63, 255, 511, 512}) {
      SCOPED_TRACE(shift);
      for (int32_t k = 0; k < shift; k++) ASSERT_EQ(PushRealScalar(ctx(), k), kOk);
      const uint32_t level = ctx()->descTop;
      PushColumn(ctx(), kRows, shift);
      ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
      PushColumn(ctx(), kRows, -shift);
      ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
      PushColumn(ctx(), kRows + shift, 0.5);
      ASSERT_EQ(StoreVariable(ctx(), 2), kOk);
      EXPECT_EQ(ctx()->descTop, level);
      EXPECT_TRUE(VariableHolds(ctx(), 1, kRows, -shift));
      EXPECT_TRUE(VariableHolds(ctx(), 2, kRows + shift, 0.5));
      ASSERT_EQ(Drop(ctx(), shift), kOk);
    }
    EXPECT_EQ(g_swaps > 0, c.swaps);
  }
}

TEST_F(PageMoveStores, AStoreWithoutRoomChangesNothing) {
  SetPageSwap(ctx(), &CopySwap);
  PushColumn(ctx(), kRows, 1);
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  std::vector<int32_t> fillers;
  int32_t filler;
  for (uint32_t units = ctx()->heapSize; units > 0; units /= 2)
    while (AllocEngineBlock(ctx(), units, &filler) == kOk) fillers.push_back(filler);
  g_swaps = 0;
  // Into the variable that holds a value, and into an unset one.
  for (int32_t n : {1, 2}) {
    PushColumn(ctx(), kRows + 1, 2);
    const uint32_t desc = ctx()->descTop, data = ctx()->dataTop;
    EXPECT_EQ(StoreVariable(ctx(), n), kErrVarOverflow);
    EXPECT_EQ(ctx()->descTop, desc);
    EXPECT_EQ(ctx()->dataTop, data);
    EXPECT_TRUE(HoldsColumn(ctx(), 0, kRows + 1, 2));
    ASSERT_EQ(Drop(ctx(), 1), kOk);
  }
  EXPECT_EQ(g_swaps, 0);
  for (int32_t b : fillers) FreeEngineBlock(ctx(), b);
  EXPECT_TRUE(VariableHolds(ctx(), 1, kRows, 1));
  EXPECT_EQ(LoadVariable(ctx(), 2), kErrUndefVar);
  PushColumn(ctx(), kRows + 1, 2);
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  EXPECT_TRUE(VariableHolds(ctx(), 1, kRows + 1, 2));
  EXPECT_GT(g_swaps, 0);
}

}  // namespace
}  // namespace vke
