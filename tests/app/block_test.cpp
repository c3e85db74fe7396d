// The memory block: layout, creation of its engine, the name buffer, growth
// for each kind of memory code (and the engine's parts spread anew at the
// block's largest), the growth report and the host callbacks.
#include "app/block.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/host_clock.hpp"
#include "app/name_buffer.hpp"
#include "app/runtime_native_table.hpp"
#include "app/runtime_tables.hpp"
#include "app/undo_buffer.hpp"
#include "engine/errors/raise.hpp"
#include "engine/values/values.hpp"
#include "graphics/object_store.hpp"
#include "tests/app/block_host.hpp"

namespace vke {
namespace {

using test::BlockHost;

TEST(Block, LayoutAndCreationLimits) {
  const AreaSizes a = ProportionalAreas(UsableBlockBytes(8192));
  EXPECT_EQ(a.engine, 2304u);
  EXPECT_EQ(a.data, 2304u);
  EXPECT_EQ(a.element, 192u);
  EXPECT_EQ(a.name, 192u);
  EXPECT_EQ(a.undo, 1152u);

  // 8,192 bytes are laid out, but the engine cannot live in 2,304 of them.
  std::vector<uint64_t> memory(8192 / 8);
  KVContextBlock* block = reinterpret_cast<KVContextBlock*>(1);
  EXPECT_EQ(InitKVContextBlock(&block, memory.data(), 8192, 0, 2), kErrInit);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(reinterpret_cast<KVContextBlock*>(memory.data())->undoBytes, 1152u);
  EXPECT_EQ(InitKVContextBlock(&block, memory.data(), 8191, 0, 2), kKvNotEnoughMemForKV);
  EXPECT_EQ(InitKVContextBlock(&block, reinterpret_cast<uint8_t*>(memory.data()) + 4, 8000, 0, 2),
            kKvNotEnoughMemForKV);
  // 48 KiB hold an engine but not the standard names nor an instance record.
  std::vector<uint64_t> small(48 * 1024 / 8);
  EXPECT_EQ(InitKVContextBlock(&block, small.data(), 48 * 1024, 0, 2), kKvNoMoreNameSlot);
  EXPECT_EQ(block, nullptr);
  std::vector<uint64_t> big(1 << 17);
  EXPECT_EQ(InitKVContextBlock(&block, reinterpret_cast<uint8_t*>(big.data()) + 4, 1 << 19, 0, 2),
            kErrInit);
  EXPECT_EQ(block, nullptr);
}

TEST(Block, NewBlockHasItsEngineLibrariesAndStandardNames) {
  BlockHost h;
  ASSERT_EQ(h.init(), kOk);
  KVContextBlock* b = h.block();
  EngineContext* ctx = h.ctx();
  EXPECT_EQ(GetEngineContext(reinterpret_cast<uintptr_t>(h.slot())), ctx);
  EXPECT_EQ(b->nativeCall.Block(), b);
  EXPECT_EQ(ctx->defaultUserData, reinterpret_cast<uintptr_t>(&b->nativeCall));
  // The host's table in front, the run-time table, then the engine's static
  // table, then the application's part behind it.
  ASSERT_EQ(ctx->registryCount, 4u);
  EXPECT_EQ(ctx->Registry()[1].table, RuntimeNativeTable());
  EXPECT_EQ(ctx->Registry()[2].table, EngineStaticTable());
  EXPECT_EQ(ctx->Registry()[3].table, AppStaticTable());
  EXPECT_STREQ(FindErrorMessage(ctx, kKvCannotUndo, false)->message, "Cannot undo");
  EXPECT_EQ(FindErrorIdInTables(ctx, "VKE:nonexistentUndoSet", -1), kKvNonexistentUndoSet);

  EXPECT_EQ(b->instanceCount, 1);
  EXPECT_EQ(b->capture.id, -1);
  EXPECT_EQ(b->capture.currentObject, -1);
  EXPECT_TRUE(UndoBufferIsValid(b->UndoArea(), b->undoBytes));

  // The standard variables in table order: "_ix" is followed by "_m".
  EXPECT_EQ(Load<uint32_t>(b->NameArea() + 4), 46u);
  EXPECT_EQ(Load<int32_t>(b->NameArea() + 8 + 32 * 26), kVarIx);
  EXPECT_EQ(Load<int32_t>(b->NameArea() + 8 + 32 * 27), kVarM);
  const char* name;
  int32_t length;
  ASSERT_EQ(FindVariableSlot(b->NameArea(), kVarIdleAmount, &name, &length), kOk);
  EXPECT_EQ(std::string(name, length), "_idleamount");
  EXPECT_EQ(FindVariableSlot(b->NameArea(), 42, &name, &length), kKvVarNotFound);
}

TEST(NameBuffer, CapacityDuplicatesAndLongNames) {
  std::vector<uint64_t> area(64);
  EXPECT_EQ(InitNameBuffer(area.data(), 255), kKvTooSmallNameBuf);
  ASSERT_EQ(InitNameBuffer(area.data(), 256), kOk);
  EXPECT_EQ(Load<uint32_t>(area.data()), 7u);  // (256 - 40) / 32 + 1

  const std::string longName(30, 'n');
  ASSERT_EQ(AddNameSlot(area.data(), 1, longName.c_str(), 0), kOk);
  const char* name;
  int32_t length;
  ASSERT_EQ(FindVariableSlot(area.data(), 1, &name, &length), kOk);
  EXPECT_EQ(length, 28);  // cut, stored without NUL
  EXPECT_EQ(std::string(name, length), longName.substr(0, 28));
  // Equal in the first 28 characters: a duplicate.
  EXPECT_EQ(AddNameSlot(area.data(), 2, (longName.substr(0, 28) + "xy").c_str(), 0),
            kKvVarDuplicate);
  EXPECT_EQ(AddNameSlot(area.data(), 1, "other", 0), kKvVarDuplicate);
  EXPECT_EQ(AddNameSlot(area.data(), 1 << 30, "big", 0), kKvVarDuplicate);
  EXPECT_EQ(AddNameSlot(area.data(), -(1 << 30) - 1, "small", 0), kKvVarDuplicate);
  EXPECT_EQ(AddNameSlot(area.data(), -(1 << 30), "smallest", 0), kOk);
  EXPECT_EQ(AddNameSlot(area.data(), 3, "abcdef", 3), kOk);  // "abc"
  EXPECT_EQ(AddNameSlot(area.data(), 4, "abc", 0), kKvVarDuplicate);
  for (int32_t id = 5; id < 9; id++)
    EXPECT_EQ(AddNameSlot(area.data(), id, std::to_string(id).c_str(), 0), kOk);
  EXPECT_EQ(AddNameSlot(area.data(), 9, "nine", 0), kKvNoMoreNameSlot);

  EXPECT_EQ(CheckNameBuffer(area.data(), 200), kKvTooSmallNameBuf);  // 6 slots < 7 used
  EXPECT_EQ(CheckNameBuffer(area.data(), 20), kKvTooSmallNameBuf);
  EXPECT_EQ(CheckNameBuffer(area.data(), 512), kOk);
  EXPECT_EQ(Load<uint32_t>(area.data()), 15u);
}

// Contents of every area, to compare before and after growth.
struct Contents {
  explicit Contents(KVContextBlock* b) {
    elements.assign(b->ElementArea(), b->ElementArea() + 4 * b->elementWords);
    const uint32_t records = b->instanceCount * kInstanceRecordBytes;
    topRecords.assign(b->ElementArea() - records, b->ElementArea());
    names.assign(b->NameArea() + 4, b->NameArea() + 8 + 32 * Load<uint32_t>(b->NameArea() + 4));
    ObjectList store(b->DataArea());
    ObjectSpan span;
    if (ObjectListFind(store, kStoredObject, &span)) {
      const auto* first = reinterpret_cast<const uint8_t*>(store.At(span.position));
      object.assign(first, first + 8 * span.length);
    }
  }
  bool operator==(const Contents&) const = default;
  static constexpr int32_t kStoredObject = 5;
  std::vector<uint8_t> elements, topRecords, names, object;
};

// Fills the areas with something to keep: element words, a figure object, a
// record pattern, a name, an undo value and a value on the engine's stack.
void FillAreas(KVContextBlock* b) {
  ObjectList store(b->DataArea());
  const FreeScan free = ObjectListScan(store, false);
  for (uint32_t k = 0; k < 10; k++) store.Set(free.position + k, k * 1.5);
  ASSERT_TRUE(ObjectListCloseRecord(store, Contents::kStoredObject, free.position, 10));
  b->elementWords = 300;
  for (uint32_t k = 0; k < 4 * b->elementWords; k++) b->ElementArea()[k] = static_cast<uint8_t>(k);
  uint8_t* record = b->ElementArea() - kInstanceRecordBytes;
  for (uint32_t k = 0; k < kInstanceRecordBytes; k++) record[k] = static_cast<uint8_t>(k * 7);
  ASSERT_EQ(AddNameSlot(b->NameArea(), 500, "kept", 0), kOk);
  ASSERT_EQ(AddUndoSet(b->UndoArea(), 9), kOk);
  ASSERT_EQ(AddUndoSetVariable(b->UndoArea(), 9, 100, false), kOk);
  ASSERT_EQ(ResetUndoSet(b->UndoArea(), 9), kOk);
  void* p;
  ASSERT_EQ(SetUndoValue(b->UndoArea(), 9, 0, 100, 20, &p), kOk);
  std::memset(p, 0x5A, 160);
  ASSERT_EQ(PushRealScalar(b->Engine(), 42.5), kOk);
}

void ExpectKeptValues(KVContextBlock* b) {
  uint32_t units;
  void* p;
  ASSERT_EQ(GetUndoValue(b->UndoArea(), 9, 0, 100, &units, &p), kOk);
  ASSERT_EQ(units, 20u);
  EXPECT_EQ(static_cast<uint8_t*>(p)[159], 0x5A);
  EXPECT_TRUE(UndoBufferIsValid(b->UndoArea(), b->undoBytes));
  double top;
  ASSERT_EQ(GetScalarArg(b->Engine(), 0, &top), kOk);
  EXPECT_EQ(top, 42.5);
  EXPECT_EQ(b->Engine()->defaultUserData, reinterpret_cast<uintptr_t>(&b->nativeCall));
  // The figure store fills the data buffer up to the instance records.
  const uint32_t storeDoubles = (b->dataBytes - b->instanceCount * kInstanceRecordBytes) / 8;
  EXPECT_EQ(ObjectList(b->DataArea()).Count(), storeDoubles - kObjectListOverhead);
  EXPECT_TRUE(ObjectListIsValid(b->DataArea(), storeDoubles));
}

struct GrowthCase {
  ErrCode code;
  uint32_t AreaSizes::*area;
};

class BlockGrowth : public testing::TestWithParam<GrowthCase> {};

TEST_P(BlockGrowth, OnlyTheAreaOfTheCodeGrows) {
  BlockHost h;
  ASSERT_EQ(h.init(), kOk);
  FillAreas(h.block());
  const AreaSizes before{h.block()->engineBytes, h.block()->dataBytes, h.block()->elementBytes,
                         h.block()->nameBytes, h.block()->undoBytes};
  const Contents kept(h.block());
  const uint32_t engineDataCap = h.ctx()->dataCap;

  ASSERT_TRUE(ExpandMemory(h.slot(), GetParam().code));
  KVContextBlock* b = h.block();
  const AreaSizes after{b->engineBytes, b->dataBytes, b->elementBytes, b->nameBytes, b->undoBytes};
  for (uint32_t AreaSizes::*area : {&AreaSizes::engine, &AreaSizes::data, &AreaSizes::element,
                                    &AreaSizes::name, &AreaSizes::undo}) {
    if (area == GetParam().area) {
      EXPECT_EQ(after.*area, UsableBlockBytes(h.size()) - (b->AreaBytes() - after.*area));
      EXPECT_GT(after.*area, before.*area);
    } else {
      EXPECT_EQ(after.*area, before.*area);
    }
  }
  EXPECT_TRUE(Contents(b) == kept);
  EXPECT_EQ(kept.object.size(), 80u);
  ExpectKeptValues(b);
  if (GetParam().area == &AreaSizes::engine) {
    EXPECT_GT(h.ctx()->dataCap, engineDataCap);
  }
}

INSTANTIATE_TEST_SUITE_P(Codes, BlockGrowth,
                         testing::Values(GrowthCase{kKvVarTooLargeForUndo, &AreaSizes::undo},
                                         GrowthCase{kKvNotEnoughMemForKVFile, &AreaSizes::element},
                                         GrowthCase{kKvPlotOverflow, &AreaSizes::data},
                                         GrowthCase{kErrDataOverflow, &AreaSizes::engine}));

TEST(Block, OtherCodesShareAnewUnlessAnAreaWouldShrink) {
  BlockHost h;
  ASSERT_EQ(h.init(), kOk);
  FillAreas(h.block());
  ASSERT_TRUE(ExpandMemory(h.slot(), kKvExhaustedRsrc));
  const AreaSizes shared = ProportionalAreas(UsableBlockBytes(h.size()));
  EXPECT_EQ(h.block()->engineBytes, shared.engine);
  EXPECT_EQ(h.block()->undoBytes, shared.undo);
  ExpectKeptValues(h.block());

  // After the undo buffer took a large gain, sharing anew would shrink it.
  h.SetNextGrowth(8u << 20);
  ASSERT_TRUE(ExpandMemory(h.slot(), kKvVarTooLargeForUndo));
  const uint32_t undo = h.block()->undoBytes;
  const Contents kept(h.block());
  h.ClearOutput();
  EXPECT_FALSE(ExpandMemory(h.slot(), kKvExhaustedRsrc));
  EXPECT_EQ(h.block()->undoBytes, undo);
  EXPECT_TRUE(Contents(h.block()) == kept);
  ExpectKeptValues(h.block());
  EXPECT_EQ(h.Output(2), "");
}

TEST(Block, GrowthReportsTheNewSize) {
  BlockHost kb(512u << 10);
  kb.SetNextGrowth(1048575);
  ASSERT_TRUE(ExpandMemory(kb.slot(), kKvVarTooLargeForUndo));
  EXPECT_EQ(kb.Output(2), "KV memory expanded to 1024 KB\n");

  BlockHost mb(512u << 10);
  mb.SetNextGrowth(1048576);
  ASSERT_TRUE(ExpandMemory(mb.slot(), kKvVarTooLargeForUndo));
  EXPECT_EQ(mb.Output(2), "KV memory expanded to 1.0 MB\n");
}

TEST(Block, RetriesGrowUntilTheOperationFitsOrTheHostRefuses) {
  BlockHost h(1u << 20, 4u << 20);
  ASSERT_EQ(h.init(), kOk);
  int runs = 0;
  ErrCode e = RunWithGrowth(h.slot(), [&](KVContextBlock* b) -> ErrCode {
    runs++;
    if (b->undoBytes < (1u << 20)) return kKvVarTooLargeForUndo;
    return kOk;
  });
  EXPECT_EQ(e, kOk);
  EXPECT_EQ(runs, h.growths() + 1);
  EXPECT_GE(h.block()->undoBytes, 1u << 20);

  runs = 0;
  e = RunWithGrowth(h.slot(), [&](KVContextBlock*) -> ErrCode {
    runs++;
    return kErrVarOverflow;
  });
  EXPECT_EQ(e, kErrVarOverflow);
  EXPECT_EQ(h.size(), 4u << 20);
  EXPECT_EQ(RunWithGrowth(h.slot(), [](KVContextBlock*) -> ErrCode { return kKvVarNotFound; }),
            kKvVarNotFound);

  // Without a growth callback nothing grows.
  SetMemoryGrowCallback(h.block(), nullptr, 0);
  EXPECT_FALSE(ExpandMemory(h.slot(), kKvVarTooLargeForUndo));
}

// At its largest the block gives the engine's part that runs short the room
// the engine's other parts took on the way, quietly, as a block grown for
// that part alone would have it; then nothing more.
TEST(Block, AtItsLargestTheEnginesPartsGiveBackTheirRoom) {
  constexpr uint32_t kMax = 4u << 20;
  auto engineParts = [](const BlockHost& h) {
    const EngineContext* ctx = h.ctx();
    return std::vector<uint32_t>{ctx->dataCap, ctx->heapSize, ctx->descCap, ctx->codeSize};
  };
  BlockHost fresh(1u << 20, kMax);
  while (ExpandMemory(fresh.slot(), kErrVarOverflow)) {
  }
  BlockHost h(1u << 20, kMax);
  ASSERT_EQ(h.init(), kOk);
  FillAreas(h.block());
  const Contents kept(h.block());
  while (h.size() < kMax) ASSERT_TRUE(ExpandMemory(h.slot(), kErrDataOverflow));
  ASSERT_NE(engineParts(h), engineParts(fresh));
  h.ClearOutput();
  ASSERT_TRUE(ExpandMemory(h.slot(), kErrVarOverflow));
  EXPECT_EQ(engineParts(h), engineParts(fresh));
  EXPECT_EQ(h.size(), kMax);
  EXPECT_EQ(h.Output(2), "");
  EXPECT_TRUE(Contents(h.block()) == kept);
  ExpectKeptValues(h.block());
  EXPECT_FALSE(ExpandMemory(h.slot(), kErrVarOverflow));
  // The block's own areas take nothing from the engine.
  EXPECT_FALSE(ExpandMemory(h.slot(), kKvVarTooLargeForUndo));
}

double CountingClock(void* area, int32_t, int32_t restart) {
  if (restart) Store<uint32_t>(area, Load<uint32_t>(area) + 1);
  return 0;
}

TEST(Block, TimeRecordsLieBehindTheEnginesThree) {
  BlockHost h;
  ASSERT_EQ(h.init(), kOk);
  std::vector<uint32_t> records(8 * 4, 0);  // eight records of 16 bytes
  auto* base = reinterpret_cast<uint8_t*>(records.data());
  SetEngineTimeCallbacks(h.block(), &CountingClock, base, 16);
  EXPECT_EQ(h.block()->timeRecords, base + 48);
  for (int k = 0; k < 8; k++) EXPECT_EQ(records[4 * k], k >= 3 && k < 6 ? 1u : 0u) << k;
}

TEST(HostClock, ClockAndBreakKey) {
  alignas(8) uint8_t area[8] = {};
  GetTimeValue(area, 0, 1);
  const double a = GetTimeValue(area, 0, 0);
  const double b = GetTimeValue(area, 0, 0);
  EXPECT_GE(a, 0);
  EXPECT_GE(b, a);
  EXPECT_LT(b, 60);
  GetTimeValue(area, 1, 1);
  EXPECT_GE(GetTimeValue(area, 1, 0), 0);

  EXPECT_FALSE(IsBreakKeyDown(0));
  NoteBreakKeyPressed();
  EXPECT_TRUE(IsBreakKeyDown(0));
  EXPECT_FALSE(IsBreakKeyDown(0));
}

}  // namespace
}  // namespace vke
