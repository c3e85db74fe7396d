// The host context: the halving allocation and its floor, creation failures,
// growth by half up to the maximum, the busy text, and an engine set up like
// the packing tool's, so that a packed application loads into it.
#include "shell/host_context.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/status_bar.hpp"
#include "tests/shell/packed_app.hpp"

namespace vke {
namespace {

constexpr uint32_t kMemMin = 8290304;
constexpr uint32_t kMemMax = 134217728;
constexpr ErrCode kStackOverflow = 1;  // an engine memory code

// The heap, but only for requests up to a limit, and reallocation only while
// allowed; records the sizes asked for and keeps count of live blocks.
class LimitedMemory : public BlockMemory {
 public:
  explicit LimitedMemory(size_t limit) : limit_(limit) {}
  void* Allocate(size_t size) override {
    requests.push_back(size);
    if (size > limit_) return nullptr;
    ++live;
    return std::malloc(size);
  }
  void* Reallocate(void* block, size_t size) override {
    return growable ? std::realloc(block, size) : nullptr;
  }
  void Free(void* block) override {
    --live;
    std::free(block);
  }
  std::vector<size_t> requests;
  int live = 0;
  bool growable = true;

 private:
  size_t limit_;
};

TEST(HostContext, FailedAllocationsHalveTheRequestDownToTheSmallestBlock) {
  LimitedMemory three(3u << 20);
  {
    KVContext context(kMemMin, kMemMax, three);
    EXPECT_THAT(three.requests, ::testing::ElementsAre(kMemMin, kMemMin / 2, kMemMin / 4));
    ASSERT_TRUE(context.Created());
    EXPECT_EQ(context.Size(), kMemMin / 4);
    EXPECT_EQ(context.CreationError(), kOk);
    EXPECT_NE(context.Block()->Engine(), nullptr);
  }
  EXPECT_EQ(three.live, 0);

  // An allocator that never succeeds is not asked below 8,192 bytes.
  LimitedMemory none(0);
  KVContext never(kMemMin, kMemMax, none);
  EXPECT_FALSE(never.Created());
  EXPECT_EQ(never.CreationError(), kKvNotEnoughMemForKV);
  EXPECT_EQ(never.Block(), nullptr);
  ASSERT_EQ(none.requests.size(), 10u);
  EXPECT_EQ(none.requests.back(), kMemMin >> 9);
  EXPECT_GE(none.requests.back(), kKVMinBytes);

  // A block that is obtained but too small for the layout is given back.
  LimitedMemory heap(SIZE_MAX);
  KVContext tiny(kKVMinBytes - 8, kMemMax, heap);
  EXPECT_FALSE(tiny.Created());
  EXPECT_EQ(tiny.CreationError(), kKvNotEnoughMemForKV);
  EXPECT_EQ(tiny.Block(), nullptr);
  EXPECT_EQ(heap.live, 0);
}

TEST(HostContext, GrowsByHalfUpToTheMaximumAndNoFurther) {
  KVContext context(kMemMin, kMemMax);
  ASSERT_TRUE(context.Created());
  std::vector<uint32_t> sizes;
  while (ExpandMemory(context.Slot(), kStackOverflow)) sizes.push_back(context.Size());
  EXPECT_THAT(sizes, ::testing::ElementsAre(12435456u, 18653184u, 27979776u, 41969664u, 62954496u,
                                            94431744u, kMemMax));
  EXPECT_LE(context.Block()->AreaBytes() + kKVHeaderBytes, kMemMax);

  KVContext fixed(kMemMin, kMemMin);
  ASSERT_TRUE(fixed.Created());
  EXPECT_FALSE(ExpandMemory(fixed.Slot(), kStackOverflow));
  EXPECT_EQ(fixed.Size(), kMemMin);
}

TEST(HostContext, FailedReallocationLeavesTheBlockAsItWas) {
  LimitedMemory memory(SIZE_MAX);
  KVContext context(kMemMin, kMemMax, memory);
  ASSERT_TRUE(context.Created());
  KVContextBlock* before = context.Block();
  const uint32_t engineBytes = before->engineBytes;
  memory.growable = false;
  EXPECT_FALSE(ExpandMemory(context.Slot(), kStackOverflow));
  EXPECT_EQ(context.Block(), before);
  EXPECT_EQ(context.Size(), kMemMin);
  EXPECT_EQ(before->engineBytes, engineBytes);
  memory.growable = true;
  EXPECT_TRUE(ExpandMemory(context.Slot(), kStackOverflow));
  EXPECT_GT(context.Block()->engineBytes, engineBytes);
}

class PaneRecorder : public StatusBar {
 public:
  MOCK_METHOD(void, SetPaneText, (int pane, std::string_view text), (override));
};

TEST(HostContext, BusyTextGoesToPaneOneOnceAStatusBarIsKnown) {
  KVAppContext context(kMemMin, kMemMax);
  ASSERT_TRUE(context.Created());
  KVContextBlock* block = context.Block();
  PaneRecorder bar;
  EXPECT_CALL(bar, SetPaneText).Times(0);
  block->showBusy(1, 0.5, block->showBusyArg);
  ::testing::Mock::VerifyAndClearExpectations(&bar);

  context.SetStatusBar(&bar);
  ::testing::InSequence order;
  EXPECT_CALL(bar, SetPaneText(1, "Running"));
  EXPECT_CALL(bar, SetPaneText(1, ""));
  block->showBusy(1, 0.5, block->showBusyArg);
  block->showBusy(0, 0.7, block->showBusyArg);

  // No prompt dialog yet: the engine's prompt is declined.
  char answer[8] = "x";
  int32_t length = 1;
  EXPECT_FALSE(block->askInput("t", 1, "p", 1, answer, 8, &length, 0, block->askInputArg));
}

TEST(HostContext, EngineIsSetUpLikeThePackingToolsAndLoadsItsImages) {
  KVContext context(kMemMin, kMemMax);
  ASSERT_TRUE(context.Created());
  kvpack::ToolHost tool;
  ASSERT_EQ(tool.Create(), kOk);
  tool.Collect(true);
  EngineContext* ours = context.Block()->Engine();
  EngineContext* theirs = tool.ctx();

  // The same tables: the tool takes its output through the standard
  // descriptors' sink.
  ASSERT_EQ(ours->registryCount, theirs->registryCount);
  for (uint32_t i = 0; i < ours->registryCount; ++i) {
    EXPECT_EQ(ours->Registry()[i].table, theirs->Registry()[i].table) << i;
    EXPECT_EQ(ours->Registry()[i].count, theirs->Registry()[i].count) << i;
    EXPECT_EQ(ours->Registry()[i].flag, theirs->Registry()[i].flag) << i;
  }
  ASSERT_EQ(ours->reservedNameCount, theirs->reservedNameCount);
  for (uint32_t i = 0; i < ours->reservedNameCount; ++i) {
    EXPECT_STREQ(ours->ReservedNames()[i].name, theirs->ReservedNames()[i].name);
    EXPECT_EQ(ours->ReservedNames()[i].value, theirs->ReservedNames()[i].value);
  }
  EXPECT_EQ(ours->decodeChar, theirs->decodeChar);
  EXPECT_EQ(ours->encodeChar, theirs->encodeChar);
  EXPECT_EQ(ours->bomSkip, theirs->bomSkip);

  ASSERT_NO_FATAL_FAILURE(test::PackApp(&tool, "examples/demo/demo.kvd"));
  std::vector<uint8_t> image;
  ASSERT_EQ(SaveImageBytes(tool.block(), "Point demo", &image), kOk);
  std::string title;
  EXPECT_EQ(
      LoadImageBytes(context.Slot(), image.data(), image.size(), "/nonexistent/runtime", &title),
      kOk);
  EXPECT_EQ(title, "Point demo");
}

}  // namespace
}  // namespace vke
