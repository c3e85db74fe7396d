// Large values stored by exchanging pages: right wherever the value stands
// on the stack, with the host's exchange, one that refuses, or none, and
// no room lost to the placement; a store without room changes nothing.
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

constexpr int32_t kRows = kPageMovedUnits + 1000;
int g_swaps = 0;

// The exchange done by copying (the test area is not the host's mapping).
bool CopySwap(void* a, void* b, size_t bytes) {
  EXPECT_EQ(
      (reinterpret_cast<uintptr_t>(a) | reinterpret_cast<uintptr_t>(b) | bytes) % kSwapGranuleBytes,
      0u);
  std::vector<uint8_t> aside(static_cast<uint8_t*>(a), static_cast<uint8_t*>(a) + bytes);
  std::memcpy(a, b, bytes);
  std::memcpy(b, aside.data(), bytes);
  return ++g_swaps;
}
bool RefusingSwap(void*, void*, size_t) {
  return false;
}

// The heap's free units; its headers must walk exactly to its end.
uint64_t FreeUnits(EngineContext* ctx) {
  uint64_t u = 0, free = 0;
  while (u < ctx->heapSize) {
    const uint32_t h = HeapHeaderAt(ctx->HeapBytes(), static_cast<uint32_t>(u));
    free += (h & kBlockInUse) ? 0 : (h & kBlockSizeMask) + 1;
    u += (h & kBlockSizeMask) + 1;
  }
  EXPECT_EQ(u, ctx->heapSize);
  return free;
}

void PushColumn(EngineContext* ctx, int32_t rows, double seed) {
  double* re;
  ASSERT_EQ(PushNewMatrix(ctx, rows, 1, &re, nullptr), kOk);
  for (int32_t i = 0; i < rows; i++) re[i] = i * 3.0 + seed;
}
bool HoldsColumn(EngineContext* ctx, int32_t rows, double seed) {
  const NumericView v = ViewNumeric(ctx, 0);
  bool holds = v.shape.count == rows;
  for (int32_t i = 0; holds && i < rows; i++)
    holds = Load<double>(v.elements + 8 * i) == i * 3.0 + seed;
  return holds;
}
bool VariableHolds(EngineContext* ctx, int32_t n, int32_t rows, double seed) {
  const bool holds = LoadVariable(ctx, n) == kOk && HoldsColumn(ctx, rows, seed);
  Drop(ctx, 1);
  return holds;
}

class PageMoveStores : public ::testing::Test {
 protected:
  void SetUp() override { test::SetBaseVariables(ctx(), {"x", "y"}); }
  EngineContext* ctx() { return host_.ctx(); }
  test::TestHost host_{test::TestHostOptions{.areaBytes = 96u << 20}};
};

TEST_F(PageMoveStores, ValuesArriveRightWhereverTheyStand) {
  const uint64_t free = FreeUnits(ctx());
  for (PageSwapFn swap : {&CopySwap, &RefusingSwap, static_cast<PageSwapFn>(nullptr)}) {
    SetPageSwap(ctx(), swap);
    g_swaps = 0;
    // Shifted by scalars under it: a first store, one into the block of the
    // same size, one into a new block.
    for (int32_t shift : {0, 1, 5, 255, 512}) {
      for (int32_t k = 0; k < shift; k++) ASSERT_EQ(PushRealScalar(ctx(), k), kOk);
      PushColumn(ctx(), kRows, shift);
      ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
      PushColumn(ctx(), kRows, -shift);
      ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
      PushColumn(ctx(), kRows + shift, 0.5);
      ASSERT_EQ(StoreVariable(ctx(), 2), kOk);
      EXPECT_TRUE(VariableHolds(ctx(), 1, kRows, -shift)) << shift;
      EXPECT_TRUE(VariableHolds(ctx(), 2, kRows + shift, 0.5)) << shift;
      ASSERT_EQ(Drop(ctx(), shift), kOk);
    }
    EXPECT_EQ(g_swaps > 0, swap == &CopySwap);
    ASSERT_EQ(ClearVariables(ctx(), 0), kOk);
    EXPECT_EQ(FreeUnits(ctx()), free);
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
  for (int32_t n : {1, 2}) {  // a variable with a value, an unset one
    PushColumn(ctx(), kRows + 1, 2);
    const uint32_t desc = ctx()->descTop, data = ctx()->dataTop;
    EXPECT_EQ(StoreVariable(ctx(), n), kErrVarOverflow);
    EXPECT_TRUE(ctx()->descTop == desc && ctx()->dataTop == data &&
                HoldsColumn(ctx(), kRows + 1, 2));
    ASSERT_EQ(Drop(ctx(), 1), kOk);
  }
  EXPECT_EQ(g_swaps, 0);
  for (int32_t b : fillers) FreeEngineBlock(ctx(), b);
  EXPECT_TRUE(VariableHolds(ctx(), 1, kRows, 1));
  EXPECT_EQ(LoadVariable(ctx(), 2), kErrUndefVar);
}

}  // namespace
}  // namespace vke
