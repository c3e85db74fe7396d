// Engine creation, layout of the area, reset and the host setters.
#include <gtest/gtest.h>

#include "engine/interface.hpp"
#include "engine/text/text.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

struct Area {
  explicit Area(uint32_t n) : bytes(n), mem(std::aligned_alloc(16, (n + 15) & ~15u), &std::free) {}
  uint32_t bytes;
  std::unique_ptr<void, decltype(&std::free)> mem;
};

TEST(CreateEngine, RefusesAreasBelowTheMinimum) {
  Area a(7335);
  EngineContext* ctx = nullptr;
  EXPECT_EQ(CreateEngine(a.mem.get(), a.bytes, &ctx), kErrInit);
}

TEST(CreateEngine, LaysOutTheSmallestArea) {
  Area a(7336);
  EngineContext* ctx = nullptr;
  ASSERT_EQ(CreateEngine(a.mem.get(), a.bytes, &ctx), kOk);
  EXPECT_EQ(static_cast<void*>(ctx), a.mem.get());
  EXPECT_EQ(ctx->dataBase, 1192u);
  EXPECT_EQ(ctx->dataCap, 96u);
  EXPECT_EQ(ctx->heapBase, 1960u);
  EXPECT_EQ(ctx->heapSize, 288u);
  EXPECT_EQ(Load<uint32_t>(ctx->HeapBytes()), 287u);  // one free block
  EXPECT_EQ(ctx->descBase, 4264u);
  EXPECT_EQ(ctx->descCap, 192u);
  EXPECT_EQ(ctx->codeBase, 5032u);
  EXPECT_EQ(ctx->codeSize, 1152u);
  EXPECT_EQ(ctx->funcCap, 9u);
  EXPECT_EQ(ctx->funcCount, 1u);
  EXPECT_EQ(ctx->codeEnd, 72u);
  // The smallest engine still holds the base frame.
  EXPECT_EQ(ResetEngine(ctx), kOk);
}

TEST(CreateEngine, LargeAreasKeepEveryRegionInside) {
  Area a(64u << 20);
  EngineContext* ctx = nullptr;
  ASSERT_EQ(CreateEngine(a.mem.get(), a.bytes, &ctx), kOk);
  EXPECT_LE(uint64_t{ctx->codeBase} + 2ull * ctx->codeSize, a.bytes);
  EXPECT_EQ(ctx->funcCap, (a.bytes - ctx->codeBase) / 512);
  EXPECT_EQ(ctx->codeEnd, ctx->funcCap * 8);
}

TEST(CreateEngine, FreshEngineDefaults) {
  test::TestHost host;
  EngineContext* ctx = host.ctx();
  EXPECT_STREQ(GetEngineVersion(), "VKE 5.1");
  EXPECT_STREQ(ctx->api->GetEngineVersion(), "VKE 5.1");
  char letter, imag;
  int32_t digits, word;
  uint8_t flag, on;
  GetDisplayOptions(ctx, &letter, &digits, &imag, &flag, &word, &on);
  EXPECT_EQ(letter, 'g');
  EXPECT_EQ(digits, 4);
  EXPECT_EQ(imag, 'j');
  EXPECT_EQ(word, 24);
  EXPECT_EQ(on, 0);
  EXPECT_EQ(ctx->nextFd, 1024);
  EXPECT_EQ(ctx->optLevel, 1);
  EXPECT_EQ(ctx->sliceLength, 0.05);
  SetDisplayOptions(ctx, 'e', 6, 'i', 1, 10, 1);
  GetDisplayOptions(ctx, &letter, &digits, &imag, &flag, &word, &on);
  EXPECT_EQ(letter, 'e');
  EXPECT_EQ(digits, 6);
  EXPECT_EQ(imag, 'i');
  EXPECT_EQ(on, 1);
  EXPECT_EQ(ctx->displayOnOff, 0);
}

TEST(ResetEngine, BuildsOnlyTheBaseFrame) {
  test::TestHost host;
  EngineContext* ctx = host.ctx();
  EXPECT_EQ(ctx->curFrame, 0);
  EXPECT_EQ(ctx->descTop, 166u);  // 22 header words + 16 slots + 16 names of 8 words
  EXPECT_EQ(GetFrameEntryCount(ctx), 0);
  const uint32_t* f = ctx->DescWords();
  EXPECT_EQ(f[0], 6u);
  EXPECT_EQ(static_cast<int32_t>(f[2]), -1);
  EXPECT_EQ(f[11], 1u);
  EXPECT_EQ(f[15], 16u);
  EXPECT_EQ(static_cast<int32_t>(f[18]), -1);
  EXPECT_EQ(static_cast<int32_t>(f[19]), -1);
  EXPECT_EQ(static_cast<int32_t>(f[22]), -1);
  EXPECT_EQ(static_cast<int32_t>(f[37]), -1);
  EXPECT_STREQ(reinterpret_cast<const char*>(f + 38), "ans");
  EXPECT_EQ(reinterpret_cast<const char*>(f + 46)[0], 0);
  PushRealScalar(ctx, 1);
  EXPECT_EQ(GetFrameEntryCount(ctx), 1);
}

TEST(ResetEngine, DropsVariablesButKeepsSharedValues) {
  test::TestHost host;
  EngineContext* ctx = host.ctx();
  uint8_t* heap = ctx->HeapBytes();
  // Two in-use blocks: one referenced by a shared-value entry, one not.
  Store<uint32_t>(heap, 4u | (1u << 30));
  Store<uint32_t>(heap + 40, 4u | (1u << 30));
  Store<uint32_t>(heap + 80, ctx->heapSize - 11);
  uint8_t* entry = ctx->CodeBytes() + 16;
  Store<int32_t>(entry, 1);
  Store<int32_t>(entry + 8, 6);  // block whose header is unit 5
  Store<int32_t>(entry + 16, 1);
  Store<int32_t>(entry + 24, -1);  // a shared entry without a value
  ctx->funcCount = 3;
  ctx->semTable = 3;
  ctx->semCap = 8;
  ctx->firstThread = 17;
  ResetEngineState(ctx);
  EXPECT_EQ(Load<uint32_t>(heap) & (1u << 30), 0u);
  EXPECT_NE(Load<uint32_t>(heap + 40) & (1u << 30), 0u);
  EXPECT_EQ(ctx->semTable, -1);
  EXPECT_EQ(ctx->semCap, 0u);
  EXPECT_EQ(ctx->firstThread, 0u);
  EXPECT_EQ(ctx->currentThread, 0u);
  EXPECT_EQ(ctx->profileTable, -1);
}

TEST(TextEncoding, CodecsDecodeAndSkipTheByteOrderMark) {
  test::TestHost host;
  EngineContext* ctx = host.ctx();
  SetTextEncoding(ctx, 'u');
  const uint8_t bom[] = {0xEF, 0xBB, 0xBF, 'a'};
  EXPECT_EQ(ctx->bomSkip(bom, 4), 3);
  EXPECT_EQ(ctx->bomSkip(bom + 1, 3), 0);
  ASSERT_EQ(PushEncodedString(ctx, 5,
                              "\xC3\xA9"
                              "ab\xE2"),
            kOk);
  NumericView v = ViewNumeric(ctx, 0);
  ASSERT_EQ(v.shape.count, 3);
  EXPECT_EQ(Load<uint16_t>(v.elements), 0xE9);

  SetTextEncoding(ctx, 's');
  ASSERT_EQ(PushEncodedString(ctx, 3,
                              "\x82"
                              "AB"),
            kOk);
  v = ViewNumeric(ctx, 0);
  ASSERT_EQ(v.shape.count, 2);
  EXPECT_EQ(Load<uint16_t>(v.elements), 0x8241);
  EXPECT_EQ(Load<uint16_t>(v.elements + 2), 'B');

  SetTextEncoding(ctx, 'x');
  EXPECT_EQ(ctx->decodeChar, nullptr);
  EXPECT_EQ(ctx->encodeChar, nullptr);
}

TEST(ErrorLocation, NamesFunctionsAndInlineCode) {
  test::TestHost host;
  EngineContext* ctx = host.ctx();
  const char* name;
  int32_t len;
  GetFunctionNameOfIndex(ctx, -1, &name, &len);
  EXPECT_EQ(std::string(name, len), "(none)");
  GetFunctionNameOfIndex(ctx, 0, &name, &len);
  EXPECT_EQ(std::string(name, len), "(base)");
  ctx->errLocFunc = -2;
  ctx->errLocPos = 7;
  char text[66], nameBuf[33];
  EXPECT_EQ(GetErrorLocationText(ctx, text, sizeof text, nameBuf, sizeof nameBuf), 7);
  EXPECT_STREQ(text, "(inline)");
  EXPECT_STREQ(nameBuf, "");
  // A text buffer too small is cut, never overrun.
  char tiny[4];
  GetErrorLocationText(ctx, tiny, sizeof tiny, nullptr, 0);
  EXPECT_STREQ(tiny, "(in");
  ClearErrorLocation(ctx);
  EXPECT_EQ(ctx->errLocFunc, -1);
  EXPECT_EQ(ctx->errLocPos, 0);
}

TEST(Breakpoints, ClearAllWithoutNameEmptiesTheTable) {
  test::TestHost host;
  EngineContext* ctx = host.ctx();
  ctx->bpTable = -1;
  EXPECT_EQ(ClearBreakpoint(ctx, nullptr, 0, -1), kOk);
  EXPECT_EQ(ctx->bpTable, -1);
  EXPECT_EQ(ctx->bpCount, 0u);
  EXPECT_EQ(ClearBreakpoint(ctx, nullptr, 0, 0), kErrOutOfRangeArg);
  SetInterruptDebug(ctx, 1);
  EXPECT_EQ(GetInterruptDebug(ctx), 1);
}

TEST(EngineInterface, SlotsFollowTheFixedOrder) {
  const EngineInterface* api = GetEngineInterface();
  auto slot = [&](int i) { return reinterpret_cast<void* const*>(api)[i]; };
  EXPECT_EQ(slot(11), reinterpret_cast<void*>(&ExecuteBytecode));
  EXPECT_EQ(slot(20), reinterpret_cast<void*>(&PushRealScalar));
  EXPECT_EQ(slot(101), reinterpret_cast<void*>(&WriteToFd));
  EXPECT_EQ(slot(114), reinterpret_cast<void*>(&PrepareFunctionCall));
}

}  // namespace
}  // namespace vke
