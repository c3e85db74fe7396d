// Saving and restoring engine states: round trips between engines of other
// sizes, the checks against the loading engine, and failed or corrupted
// images that must leave an engine ResetEngine makes whole.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/image/engine_image.hpp"
#include "engine/threads/threads.hpp"
#include "engine/values/values.hpp"
#include "tests/host/engine_state.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::MemoryImage;
using test::TestHost;

MemoryImage SampleImage(uint32_t bytes = 1u << 20) {
  TestHost saver({.areaBytes = bytes});
  test::FillSampleState(saver.ctx());
  return test::SaveToMemory(saver.ctx());
}

// An engine that works after the test: values, blocks and names can be made.
void ExpectUsable(EngineContext* ctx) {
  ASSERT_EQ(ctx->curFrame, 0);
  EXPECT_EQ(GetFrameEntryCount(ctx), 0);
  ASSERT_EQ(PushRealScalar(ctx, 5), kOk);
  EXPECT_EQ(test::TopScalar(ctx), 5);
  int32_t block = 0;
  EXPECT_EQ(AllocEngineBlock(ctx, 100, &block), kOk);
  EXPECT_GT(block, 0);
  EXPECT_EQ(ctx->funcCount, 1u);
}

TEST(EngineImage, RoundTripIntoEnginesOfOtherSizes) {
  MemoryImage image = SampleImage();
  ASSERT_EQ(image.records.size(), 7u);
  EXPECT_EQ(image.records[0].size(), 240u);
  for (uint32_t bytes : {1u << 20, 3u << 20, 200u << 10}) {
    SCOPED_TRACE(bytes);
    TestHost loader({.areaBytes = bytes});
    uint32_t dataBase = loader->dataBase, descBase = loader->descBase;
    ASSERT_EQ(test::LoadFromMemory(loader.ctx(), image), kOk);
    test::ExpectSampleState(loader.ctx());
    // Bases stay the loading engine's own, thread 0's record included.
    EXPECT_EQ(loader->dataBase, dataBase);
    EXPECT_EQ(loader->mainThread.descBase, descBase);
    EXPECT_EQ(loader->mainThread.descCap, loader->descCap);
    // The loaded engine saves the same parts again.
    MemoryImage again = test::SaveToMemory(loader.ctx());
    ASSERT_EQ(again.records.size(), 7u);
    for (size_t i = 1; i < 7; i++) EXPECT_EQ(again.records[i], image.records[i]) << "part " << i;
    // The heap behind the stored blocks is free for new ones.
    int32_t block = 0;
    EXPECT_EQ(AllocEngineBlock(loader.ctx(), loader->heapSize / 2, &block), kOk);
  }
}

TEST(EngineImage, SavesEveryPartAsOneRecordEvenWhenEmpty) {
  TestHost saver;
  MemoryImage image = test::SaveToMemory(saver.ctx());
  ASSERT_EQ(image.records.size(), 7u);
  EXPECT_EQ(image.records[1].size(), 4u * saver->descTop);
  EXPECT_EQ(image.records[2].size(), 0u);  // empty data stack
  EXPECT_EQ(image.records[3].size(), 0u);  // no block in use
  EXPECT_EQ(image.records[4].size(), 16u);
  EXPECT_EQ(image.records[5].size(), 0u);
  EXPECT_EQ(image.records[6].size(), 0u);
  EXPECT_EQ(image.header().displayOn, 0);  // off in a fresh engine

  TestHost loader;
  ASSERT_EQ(test::LoadFromMemory(loader.ctx(), image), kOk);
  EXPECT_EQ(loader->displayOnOff, -1);
  ExpectUsable(loader.ctx());
}

TEST(EngineImage, HeapTailAndTableCapacity) {
  // A heap stored up to its last unit leaves no free block behind it.
  TestHost full({.areaBytes = 64u << 10});
  int32_t block = 0;
  ASSERT_EQ(AllocEngineBlock(full.ctx(), full->heapSize - 1, &block), kOk);
  MemoryImage image = test::SaveToMemory(full.ctx());
  EXPECT_EQ(image.header().heapUnits, full->heapSize);
  TestHost same({.areaBytes = 64u << 10});
  ASSERT_EQ(test::LoadFromMemory(same.ctx(), image), kOk);
  EXPECT_EQ(AllocEngineBlock(same.ctx(), 1, &block), kErrVarOverflow);

  // More functions than the loading engine's table holds raise its capacity
  // (an image that does not record the saving engine's capacity).
  TestHost small({.areaBytes = 16u << 10});
  ASSERT_EQ(small->funcCap, 22u);
  image = test::SaveToMemory(small.ctx());
  image.header().funcCount = 30;
  std::fill(std::begin(image.header().savedTableCap), std::end(image.header().savedTableCap), 0);
  image.records[4].assign(30 * 16, 0);
  TestHost loader({.areaBytes = 16u << 10});
  ASSERT_EQ(test::LoadFromMemory(loader.ctx(), image), kOk);
  EXPECT_EQ(loader->funcCap, 30u);
  EXPECT_EQ(loader->funcCount, 30u);
  EXPECT_EQ(loader->codeEnd, 30u * 8);
}

TEST(EngineImage, PartsThatDoNotFitChangeNothing) {
  MemoryImage image = SampleImage();
  struct Case {
    uint32_t EngineImageHeader::*field;
    ErrCode code;
  };
  for (Case c : {Case{&EngineImageHeader::descWords, kErrStackOverflow},
                 Case{&EngineImageHeader::dataUnits, kErrDataOverflow},
                 Case{&EngineImageHeader::heapUnits, kErrVarOverflow},
                 Case{&EngineImageHeader::codeUnits, kErrCodeOverflow}}) {
    TestHost loader;
    MemoryImage bad = image;
    bad.header().*c.field = 1u << 28;
    ASSERT_EQ(PushRealScalar(loader.ctx(), 8), kOk);
    EXPECT_EQ(test::LoadFromMemory(loader.ctx(), bad), c.code);
    EXPECT_EQ(test::TopScalar(loader.ctx()), 8);
    EXPECT_EQ(loader->funcCount, 1u);
  }
  // A header that describes no state of a single-threaded engine at rest,
  // or a name area no name table holds.
  for (int k = 0; k < 4; k++) {
    TestHost loader;
    MemoryImage bad = image;
    if (k == 0) bad.header().currentThread = 5;
    if (k == 1) bad.header().curFrame = static_cast<int32_t>(bad.header().descWords);
    if (k == 2) bad.header().funcCount = 0;
    if (k == 3) bad.header().nameBytes = 1u << 28;
    EXPECT_EQ(test::LoadFromMemory(loader.ctx(), bad), kErrInit) << k;
    EXPECT_EQ(loader->curFrame, 0);
  }
}

// Counts that no engine saves, whose parts no area of 32-bit offsets holds
// or whose records hold more than the input can give, are refused as
// unsound before they are weighed against this engine's parts: a host
// never grows for them.
TEST(EngineImage, CountsNoEngineSavesAreRefusedBeforeTheirRoom) {
  const MemoryImage image = SampleImage();
  struct Case {
    const char* what;
    std::function<void(EngineImageHeader&)> change;
  };
  const auto setCap = [](EngineImageHeader& h, uint32_t cap) {
    for (int i = 0; i < 3; i++) h.savedTableCap[i] = static_cast<uint8_t>(cap >> (8 * i));
  };
  const Case largest[] = {
      {"descriptor words", [](EngineImageHeader& h) { h.descWords = UINT32_MAX; }},
      {"data units", [](EngineImageHeader& h) { h.dataUnits = UINT32_MAX; }},
      {"heap units", [](EngineImageHeader& h) { h.heapUnits = UINT32_MAX; }},
      {"function count", [](EngineImageHeader& h) { h.funcCount = UINT32_MAX; }},
      {"code units", [](EngineImageHeader& h) { h.codeUnits = UINT32_MAX; }},
      {"code units that fill 4 GB", [](EngineImageHeader& h) { h.codeUnits = 0x7FFFFFFF; }},
      {"name bytes", [](EngineImageHeader& h) { h.nameBytes = UINT32_MAX; }},
      {"table capacity", [&](EngineImageHeader& h) { setCap(h, 0xFFFFFF); }},
      {"table capacity of 0x7FFFFF", [&](EngineImageHeader& h) { setCap(h, 0x7FFFFF); }},
  };
  for (const Case& c : largest) {
    SCOPED_TRACE(c.what);
    TestHost loader;
    MemoryImage bad = image;
    c.change(bad.header());
    ASSERT_EQ(PushRealScalar(loader.ctx(), 8), kOk);
    EXPECT_EQ(test::LoadFromMemory(loader.ctx(), bad), kErrInit);
    EXPECT_EQ(test::TopScalar(loader.ctx()), 8);
    EXPECT_EQ(loader->funcCount, 1u);
  }
  // Told what the records hold at most, counts beyond it are refused alike,
  // and the image that holds what it counts loads.
  uint64_t stored = 0;
  for (size_t i = 1; i < image.records.size(); i++) stored += image.records[i].size();
  for (uint32_t EngineImageHeader::*count :
       {&EngineImageHeader::descWords, &EngineImageHeader::dataUnits, &EngineImageHeader::heapUnits,
        &EngineImageHeader::codeUnits}) {
    TestHost loader;
    MemoryImage bad = image;
    bad.header().*count += 1000;
    EXPECT_EQ(LoadEngineImage(loader.ctx(), &MemoryImage::Read, bad.arg(), stored + 1000),
              kErrInit);
    EXPECT_EQ(loader->funcCount, 1u);
  }
  TestHost loader;
  MemoryImage good = image;
  EXPECT_EQ(LoadEngineImage(loader.ctx(), &MemoryImage::Read, good.arg(), stored), kOk);
  test::ExpectSampleState(loader.ctx());
}

TEST(EngineImage, FailedReadsLeaveAnEngineThatResets) {
  MemoryImage image = SampleImage();
  {
    TestHost loader;
    MemoryImage none;
    EXPECT_EQ(test::LoadFromMemory(loader.ctx(), none), kErrEof);
  }
  // Each later part missing, or one byte short.
  for (size_t part = 1; part < 7; part++) {
    for (bool shortRecord : {false, true}) {
      SCOPED_TRACE(part);
      TestHost loader;
      MemoryImage bad = image;
      if (shortRecord && bad.records[part].empty()) continue;
      if (shortRecord)
        bad.records[part].pop_back();
      else
        bad.records.resize(part);
      EXPECT_EQ(test::LoadFromMemory(loader.ctx(), bad), kErrInit);
      EXPECT_EQ(loader->funcCount, 1u);
      EXPECT_EQ(loader->firstThread, 0u);
      ASSERT_EQ(ResetEngine(loader.ctx()), kOk);
      ExpectUsable(loader.ctx());
    }
  }
  // A heap whose blocks run past the stored units; a semaphore table that
  // names no block of it.
  for (int k = 0; k < 2; k++) {
    TestHost loader;
    MemoryImage bad = image;
    if (k == 0) Store<uint32_t>(bad.records[3].data(), kBlockInUse | bad.header().heapUnits);
    if (k == 1) bad.header().semTable = static_cast<int32_t>(bad.header().heapUnits) + 2;
    EXPECT_EQ(test::LoadFromMemory(loader.ctx(), bad), kErrInit);
    ASSERT_EQ(ResetEngine(loader.ctx()), kOk);
    ExpectUsable(loader.ctx());
  }
}

// Value entries whose descriptors claim more data than the stored data
// stack holds are refused: dropping them would move data from below the
// stack's base.
TEST(EngineImage, EntriesBeyondTheDataStackAreRefused) {
  MemoryImage image = SampleImage();
  const uint32_t top = image.header().descWords, units = image.header().dataUnits;
  for (const uint32_t claim : {units, units + 1, 0xFFFFFFFFu}) {
    MemoryImage bad = image;
    Store<uint32_t>(bad.records[1].data() + 4 * (top - 2), claim);
    TestHost loader;
    EXPECT_EQ(test::LoadFromMemory(loader.ctx(), bad), kErrInit) << claim;
    ASSERT_EQ(ResetEngine(loader.ctx()), kOk);
    ExpectUsable(loader.ctx());
  }
  // The entries' own sizes load.
  TestHost loader;
  ASSERT_EQ(test::LoadFromMemory(loader.ctx(), image), kOk);
  test::ExpectSampleState(loader.ctx());
}

// The engine reads a stored value as it stands, so each must have the
// shape its descriptor tells and lie where it is said to: damaged, a value
// entry (a char row claiming more characters than its data, a matrix of
// negative columns), a variable's slot naming no block of the heap, a
// variable's block whose item claims more than the block, or a shared
// value's entry naming no block makes the load fail; the engine resets.
TEST(EngineImage, ValuesOfAnotherShapeThanTheirPlaceAreRefused) {
  TestHost saver;
  test::FillSampleState(saver.ctx());
  EngineContext* ctx = saver.ctx();
  const MemoryImage image = test::SaveToMemory(ctx);
  // Records: header, descriptor words, data units, heap, function table.
  const auto wordOf = [&](const void* p) {
    return static_cast<size_t>(static_cast<const uint32_t*>(p) - ctx->DescWords());
  };
  const size_t hello = static_cast<size_t>(DataAt(ctx, 2) - ctx->DataBytes());
  const size_t matrixWord = wordOf(DescAt(ctx, 1)) + 2;
  const uint32_t slot = ctx->DescWords()[kFrameHeaderWords];
  const int32_t global = Load<int32_t>(ctx->CodeBytes() + 16 * 2 + 8);
  const struct {
    const char* what;
    size_t record;
    size_t byte;
    uint32_t value;
  } damage[] = {
      {"characters", 2, hello + 12, 9},
      {"columns", 1, 4 * matrixWord, 0xFFFFFFFDu},
      {"slot", 1, 4 * kFrameHeaderWords, slot + 1},
      {"item", 3, 8 * slot + 4, 40},
      {"item shape", 3, 8 * slot + 8, 0xFFFFFFFFu},
      {"global", 4, 16 * 2 + 8, static_cast<uint32_t>(global) + 1},
  };
  for (const auto& d : damage) {
    SCOPED_TRACE(d.what);
    MemoryImage bad = image;
    Store<uint32_t>(bad.records[d.record].data() + d.byte, d.value);
    TestHost loader;
    EXPECT_EQ(test::LoadFromMemory(loader.ctx(), bad), kErrInit);
    ASSERT_EQ(ResetEngine(loader.ctx()), kOk);
    ExpectUsable(loader.ctx());
  }
  MemoryImage same = image;
  TestHost loader;
  ASSERT_EQ(test::LoadFromMemory(loader.ctx(), same), kOk);
  test::ExpectSampleState(loader.ctx());
}

TEST(EngineImage, ListedThreadsNeedTheSavingLayout) {
  TestHost saver;
  test::FillSampleState(saver.ctx());
  uint32_t thread = test::AddSampleThread(saver.ctx());
  MemoryImage image = test::SaveToMemory(saver.ctx());

  TestHost same;
  ASSERT_EQ(test::LoadFromMemory(same.ctx(), image), kOk);
  test::ExpectSampleThread(same.ctx(), thread);
  test::ExpectSampleState(same.ctx());

  // Elsewhere its stacks would lie outside its block.
  TestHost other({.areaBytes = 2u << 20});
  EXPECT_EQ(test::LoadFromMemory(other.ctx(), image), kErrInit);
  ASSERT_EQ(ResetEngine(other.ctx()), kOk);
  ExpectUsable(other.ctx());

  // A list that runs in a circle.
  Store<uint32_t>(image.records[3].data() + 8 * thread + offsetof(InterpThreadRecord, nextThread),
                  thread);
  TestHost circle;
  EXPECT_EQ(test::LoadFromMemory(circle.ctx(), image), kErrInit);
}

// A listed thread's value entries are weighed against its own data stack,
// those below its lowest frame included (it has none: all of them).
TEST(EngineImage, AThreadsEntriesBeyondItsDataStackAreRefused) {
  TestHost saver;
  test::FillSampleState(saver.ctx());
  const uint32_t thread = test::AddSampleThread(saver.ctx());
  const auto& t =
      *reinterpret_cast<const InterpThreadRecord*>(BlockData(saver.ctx(), int32_t(thread)));
  ASSERT_EQ(t.curFrame, -1);
  MemoryImage image = test::SaveToMemory(saver.ctx());
  const uint32_t descAt = t.descBase - saver->heapBase;
  for (const uint32_t entry : {0u, 1u}) {
    for (const uint32_t claim : {t.dataTop, 0xFFFFFFFFu}) {
      SCOPED_TRACE(std::to_string(entry) + " claims " + std::to_string(claim));
      MemoryImage bad = image;
      Store<uint32_t>(bad.records[3].data() + descAt + 4 * (t.descTop - 2 - 3 * entry), claim);
      TestHost loader;
      EXPECT_EQ(test::LoadFromMemory(loader.ctx(), bad), kErrInit);
      ASSERT_EQ(ResetEngine(loader.ctx()), kOk);
      ExpectUsable(loader.ctx());
    }
  }
  TestHost loader;
  ASSERT_EQ(test::LoadFromMemory(loader.ctx(), image), kOk);
  test::ExpectSampleThread(loader.ctx(), thread);
}

TEST(EngineImage, SaveRefusals) {
  TestHost host;
  uint32_t thread = test::AddSampleThread(host.ctx());
  ExchangeLiveThreadFields(host.ctx(), thread);
  MemoryImage image;
  EXPECT_EQ(SaveEngineImage(host.ctx(), &MemoryImage::Write, image.arg()), kErrBadContext);
  EXPECT_EQ(LoadEngineImage(host.ctx(), &MemoryImage::Read, image.arg()), kErrBadContext);
  ExchangeLiveThreadFields(host.ctx(), 0);
  auto failing = [](const void*, uint32_t, uintptr_t) { return false; };
  EXPECT_EQ(SaveEngineImage(host.ctx(), failing, 0), kErrIoErr);
}

// Mutated images either load or fail with a code, and ResetEngine always
// gives a working engine.
TEST(EngineImage, MutatedImagesNeverBreakTheEngine) {
  const uint32_t bytes = 64u << 10;
  TestHost saver({.areaBytes = bytes});
  test::FillSampleState(saver.ctx());
  test::AddSampleThread(saver.ctx());
  const MemoryImage image = test::SaveToMemory(saver.ctx());
  std::mt19937 rng(7);
  for (int round = 0; round < 400; round++) {
    MemoryImage bad = image;
    int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; e++) {
      std::vector<uint8_t>& r = bad.records[rng() % (round % 2 ? 1 : bad.records.size())];
      if (r.empty()) continue;
      uint8_t& b = r[rng() % r.size()];
      b = rng() % 3 ? static_cast<uint8_t>(b ^ (1u << (rng() % 8))) : static_cast<uint8_t>(rng());
    }
    TestHost loader({.areaBytes = bytes});
    ErrCode code = test::LoadFromMemory(loader.ctx(), bad);
    EXPECT_TRUE(code == kOk || code == kErrInit || code == kErrStackOverflow ||
                code == kErrDataOverflow || code == kErrVarOverflow || code == kErrCodeOverflow)
        << code;
    ASSERT_EQ(ResetEngine(loader.ctx()), kOk);
    ASSERT_EQ(PushRealScalar(loader.ctx(), 1), kOk);
    int32_t block = 0;
    for (int i = 0; i < 4; i++) AllocEngineBlock(loader.ctx(), 40, &block);
  }
}

}  // namespace
}  // namespace vke
