// The undo buffer: layout, heap allocation and compaction, sets and their
// versions, values under memory pressure, relocation and the check of a
// buffer read from outside.
#include "app/undo_buffer.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/errors.hpp"
#include "app/image.hpp"
#include "app/image_undo.hpp"
#include "app/undo_layout.hpp"

namespace vke {
namespace {

// An undo buffer in 8-byte aligned memory, with helpers that store values
// filled with a byte and check them.
class Undo {
 public:
  explicit Undo(uint32_t size = kUndoMinBytes, uint32_t room = 0)
      : words_((std::max(size, room) + 7) / 8) {
    init_ = InitUndoBuffer(data(), size);
  }
  void* data() { return words_.data(); }
  ErrCode init() const { return init_; }
  uint32_t Word(uint32_t offset) { return Load<uint32_t>(static_cast<uint8_t*>(data()) + offset); }

  // A set with variables 100, 101, ..., reset.
  void AddSet(int32_t id, int32_t vars) {
    ASSERT_EQ(AddUndoSet(data(), id), kOk);
    for (int32_t v = 0; v < vars; v++)
      ASSERT_EQ(AddUndoSetVariable(data(), id, 100 + v, false), kOk);
    ASSERT_EQ(ResetUndoSet(data(), id), kOk);
  }
  // Set 1 with variable 100 in five versions of 150 units each (151 with
  // the header, 755 of the 892 of the smallest buffer), filled with 0 to 4.
  void FiveVersions() {
    AddSet(1, 1);
    for (int k = 0; k < 5; k++) {
      if (k) {
        ASSERT_EQ(PushUndoVersion(data(), 1), kOk);
      }
      ASSERT_EQ(Put(1, 0, 100, 150, static_cast<uint8_t>(k)), kOk);
    }
  }
  ErrCode Put(int32_t id, int32_t back, int32_t var, uint32_t units, uint8_t fill) {
    void* p;
    ErrCode e = SetUndoValue(data(), id, back, var, units, &p);
    if (!e && p) std::memset(p, fill, 8ull * units);
    return e;
  }
  // The fill byte of a stored value (every byte checked), -1 for no data.
  int Fill(int32_t id, int32_t back, int32_t var, uint32_t units) {
    uint32_t n;
    void* p;
    if (GetUndoValue(data(), id, back, var, &n, &p) != kOk) return -2;
    if (!p) return -1;
    EXPECT_EQ(n, units);
    const auto* b = static_cast<const uint8_t*>(p);
    for (uint32_t k = 1; k < 8 * n; k++)
      if (b[k] != b[0]) return -3;
    return b[0];
  }

 private:
  std::vector<uint64_t> words_;
  ErrCode init_;
};

TEST(UndoBuffer, EmptyLayout) {
  Undo u;
  ASSERT_EQ(u.init(), kOk);
  EXPECT_EQ(u.Word(0), 8192u);
  EXPECT_EQ(u.Word(4), 16u);
  EXPECT_EQ(u.Word(8), 254u);   // set-area words
  EXPECT_EQ(u.Word(12), 0u);    // sets
  EXPECT_EQ(u.Word(16), 892u);  // heap units
  EXPECT_EQ(u.Word(20), 132u);  // heap start
  EXPECT_EQ(u.Word(24), 1u);    // compacted
  EXPECT_EQ(u.Word(132 * 8), 0u);
  EXPECT_EQ(u.Word(132 * 8 + 4), 891u);  // one free block
  EXPECT_TRUE(UndoBufferIsValid(u.data(), 8192));

  Undo small(8191, 8192);
  EXPECT_EQ(small.init(), kKvTooSmallUndoBuf);
}

TEST(UndoBuffer, AllocationNeverTakesAnExactFit) {
  Undo u;
  int32_t r;
  EXPECT_EQ(AllocUndoBlock(u.data(), 0, &r), kOk);
  EXPECT_EQ(r, kUndoNoValue);
  EXPECT_EQ(AllocUndoBlock(u.data(), 891, &r), kKvVarTooLargeForUndo);
  ASSERT_EQ(AllocUndoBlock(u.data(), 890, &r), kOk);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(u.Word(132 * 8 + 891 * 8 + 4), 0u);  // a free block header stays behind it
  EXPECT_EQ(AllocUndoBlock(u.data(), 1, &r), kKvVarTooLargeForUndo);
}

TEST(UndoBuffer, CompactionRewritesReferencesOfEveryVersion) {
  Undo u;
  u.AddSet(7, 3);
  ASSERT_EQ(u.Put(7, 0, 100, 100, 0xA1), kOk);
  ASSERT_EQ(u.Put(7, 0, 101, 100, 0xB1), kOk);
  ASSERT_EQ(PushUndoVersion(u.data(), 7), kOk);
  ASSERT_EQ(u.Put(7, 0, 102, 100, 0xC2), kOk);
  ASSERT_EQ(PushUndoVersion(u.data(), 7), kOk);
  ASSERT_EQ(u.Put(7, 0, 100, 100, 0xA3), kOk);
  // Version 0's own value of 100 goes: a hole at the start of the heap.
  ASSERT_EQ(ClearUndoValue(u.data(), 7, 2, 100, false), kOk);
  ASSERT_EQ(ClearUndoValue(u.data(), 7, 1, 100, false), kOk);
  // 892 units: four blocks of 101 live, 101 free in front, 488 behind.
  int32_t r;
  ASSERT_EQ(AllocUndoBlock(u.data(), 550, &r), kOk);
  EXPECT_EQ(u.Word(24), 1u);
  ReleaseUndoBlock(u.data(), r);
  EXPECT_EQ(u.Fill(7, 2, 100, 0), -1);
  EXPECT_EQ(u.Fill(7, 2, 101, 100), 0xB1);
  EXPECT_EQ(u.Fill(7, 1, 101, 100), 0xB1);
  EXPECT_EQ(u.Fill(7, 1, 102, 100), 0xC2);
  EXPECT_EQ(u.Fill(7, 0, 100, 100), 0xA3);
  EXPECT_EQ(u.Fill(7, 0, 101, 100), 0xB1);
  EXPECT_EQ(u.Fill(7, 0, 102, 100), 0xC2);
  EXPECT_TRUE(UndoBufferIsValid(u.data(), 8192));
}

TEST(UndoBuffer, FullHeapGivesUpOldVersionsThenRedoVersionsThenFails) {
  Undo u;
  ASSERT_NO_FATAL_FAILURE(u.FiveVersions());
  ASSERT_EQ(UndoSetStepBack(u.data(), 1), kOk);  // current 3, version 4 to redo
  // 300 units fit once version 0 is given up; the redo version stays.
  ASSERT_EQ(u.Put(1, 0, 100, 300, 0x33), kOk);
  EXPECT_EQ(u.Fill(1, 0, 100, 300), 0x33);
  EXPECT_EQ(u.Fill(1, 1, 100, 150), 2);
  EXPECT_EQ(u.Fill(1, 2, 100, 150), 1);
  EXPECT_EQ(u.Fill(1, 3, 100, 150), -2);
  EXPECT_TRUE(UndoSetCanStepForward(u.data(), 1));
  // 650 units: every older version but one, then the redo version, go.
  ASSERT_EQ(u.Put(1, 0, 100, 650, 0x65), kOk);
  EXPECT_EQ(u.Fill(1, 0, 100, 650), 0x65);
  EXPECT_EQ(u.Fill(1, 1, 100, 150), 2);
  EXPECT_EQ(u.Fill(1, 2, 100, 150), -2);
  EXPECT_FALSE(UndoSetCanStepForward(u.data(), 1));
  // More than the heap holds: 10009, and both values stay.
  EXPECT_EQ(u.Put(1, 0, 100, 900, 0x90), kKvVarTooLargeForUndo);
  EXPECT_EQ(u.Fill(1, 0, 100, 650), 0x65);
  EXPECT_EQ(u.Fill(1, 1, 100, 150), 2);
  EXPECT_TRUE(UndoBufferIsValid(u.data(), 8192));
}

// A change when the heap is nearly full gives up the oldest versions but
// not the one before it, and then the redo versions: one undo brings back
// the value from before the change, whether its room was reserved first
// (as a handler's outputs are stored) or not.
TEST(UndoBuffer, OneUndoAfterAChangeInANearlyFullHeapGivesTheValueBeforeIt) {
  for (const bool reserved : {false, true}) {
    Undo u;
    ASSERT_NO_FATAL_FAILURE(u.FiveVersions());
    // Two undos: version 2 is the current one, 3 and 4 are to redo. A
    // value of 400 units finds room once version 0 and the newest redo
    // version are given up.
    ASSERT_EQ(UndoSetStepBack(u.data(), 1), kOk);
    ASSERT_EQ(UndoSetStepBack(u.data(), 1), kOk);
    if (reserved) {
      ASSERT_EQ(ReserveUndoRoom(u.data(), 1, 0, 401), kOk);
    }
    ASSERT_EQ(u.Put(1, 0, 100, 400, 0x40), kOk) << reserved;
    EXPECT_TRUE(UndoSetCanStepForward(u.data(), 1)) << reserved;
    ASSERT_EQ(UndoSetStepBack(u.data(), 1), kOk) << reserved;
    EXPECT_EQ(u.Fill(1, 0, 100, 150), 1) << reserved;
    EXPECT_TRUE(UndoBufferIsValid(u.data(), 8192));
  }
}

// A value that even every version given up would not make room for changes
// nothing: the store after the buffer has grown finds the old value, the
// older versions and the redo version as they were, and keeps them all.
TEST(UndoBuffer, AStoreTheHeapCannotTakeGivesUpNothing) {
  Undo u(kUndoMinBytes, 2 * kUndoMinBytes);
  ASSERT_NO_FATAL_FAILURE(u.FiveVersions());
  ASSERT_EQ(UndoSetStepBack(u.data(), 1), kOk);
  // 136 free and 604 that could be given up: 801 do not fit.
  EXPECT_EQ(u.Put(1, 0, 100, 800, 0x80), kKvVarTooLargeForUndo);
  auto expectAll = [&](int current) {
    EXPECT_EQ(u.Fill(1, 0, 100, current == 3 ? 150 : 800), current);
    for (int back = 1; back <= 3; back++) EXPECT_EQ(u.Fill(1, back, 100, 150), 3 - back) << back;
    EXPECT_TRUE(UndoSetCanStepForward(u.data(), 1));
  };
  expectAll(3);
  ASSERT_EQ(RelocateUndoBuffer(u.data(), 2 * kUndoMinBytes), kOk);
  ASSERT_EQ(u.Put(1, 0, 100, 800, 0x80), kOk);
  expectAll(0x80);
  EXPECT_TRUE(UndoBufferIsValid(u.data(), 2 * kUndoMinBytes));
}

// Room for several values at once is made before any is stored: the older
// versions are given up as for one value, but only when that makes room
// enough; a split free room is compacted, and every value stored after it
// fits. Room the heap cannot give is refused with the values as they were,
// until the buffer grows.
TEST(UndoBuffer, RoomForSeveralValuesIsMadeBeforeAnyIsStored) {
  Undo u(kUndoMinBytes, 2 * kUndoMinBytes);
  u.AddSet(1, 3);
  ASSERT_EQ(u.Put(1, 0, 100, 200, 0xA0), kOk);
  ASSERT_EQ(PushUndoVersion(u.data(), 1), kOk);
  ASSERT_EQ(u.Put(1, 0, 100, 200, 0xA1), kOk);
  ASSERT_EQ(u.Put(1, 0, 101, 50, 0xB1), kOk);
  ASSERT_EQ(u.Put(1, 0, 102, 100, 0xC1), kOk);
  ASSERT_EQ(ClearUndoValue(u.data(), 1, 0, 101, false), kOk);
  ASSERT_EQ(PushUndoVersion(u.data(), 1), kOk);
  // 892 units: 201, 201 and 101 live, a free 51 between them, 338 behind:
  // 388 free, 589 once version 0 is given up.
  EXPECT_EQ(ReserveUndoRoom(u.data(), 1, 0, 590), kKvVarTooLargeForUndo);
  EXPECT_EQ(u.Fill(1, 2, 100, 200), 0xA0);
  ASSERT_EQ(ReserveUndoRoom(u.data(), 1, 0, 550), kOk);
  EXPECT_EQ(u.Word(24), 1u);              // compacted into one run
  EXPECT_EQ(u.Fill(1, 2, 100, 200), -2);  // given up
  ASSERT_EQ(u.Put(1, 0, 101, 299, 0xB2), kOk);
  ASSERT_EQ(u.Put(1, 0, 102, 249, 0xC2), kOk);
  EXPECT_EQ(u.Fill(1, 0, 100, 200), 0xA1);
  EXPECT_EQ(u.Fill(1, 1, 102, 100), 0xC1);
  // 39 units are left and the version below stays.
  EXPECT_EQ(ReserveUndoRoom(u.data(), 1, 0, 40), kKvVarTooLargeForUndo);
  EXPECT_EQ(u.Fill(1, 1, 102, 100), 0xC1);
  EXPECT_EQ(ReserveUndoRoom(u.data(), 1, 0, 39), kOk);
  EXPECT_EQ(ReserveUndoRoom(u.data(), 2, 0, 1), kKvNonexistentUndoSet);
  // 1,788 units once grown.
  ASSERT_EQ(RelocateUndoBuffer(u.data(), 2 * kUndoMinBytes), kOk);
  ASSERT_EQ(ReserveUndoRoom(u.data(), 1, 0, 900), kOk);
  ASSERT_EQ(u.Put(1, 0, 100, 899, 0xA2), kOk);
  EXPECT_EQ(u.Fill(1, 1, 100, 200), 0xA1);
  EXPECT_TRUE(UndoBufferIsValid(u.data(), 2 * kUndoMinBytes));
}

TEST(UndoBuffer, FlaggedVariableMakesItsVersionTheOldest) {
  Undo u;
  ASSERT_EQ(AddUndoSet(u.data(), 3), kOk);
  ASSERT_EQ(AddUndoSetVariable(u.data(), 3, 100, false), kOk);
  ASSERT_EQ(AddUndoSetVariable(u.data(), 3, 200, true), kOk);
  ASSERT_EQ(ResetUndoSet(u.data(), 3), kOk);
  for (int k = 0; k < 3; k++) ASSERT_EQ(PushUndoVersion(u.data(), 3), kOk);
  ASSERT_EQ(u.Put(3, 0, 200, 4, 0x44), kOk);
  EXPECT_FALSE(UndoSetCanStepBack(u.data(), 3));
  EXPECT_EQ(u.Fill(3, 0, 200, 4), 0x44);

  int32_t id;
  EXPECT_EQ(GetUndoSetVariableId(u.data(), 3, 1, false, &id), kOk);
  EXPECT_EQ(id, 200);
  EXPECT_EQ(GetUndoSetVariableId(u.data(), 3, 0, true, &id), kOk);
  EXPECT_EQ(id, 100);
  EXPECT_EQ(GetUndoSetVariableId(u.data(), 3, 1, true, &id), kKvVarNotFound);
}

TEST(UndoBuffer, VersionsUndoAndRedo) {
  Undo u;
  u.AddSet(5, 1);
  ASSERT_EQ(u.Put(5, 0, 100, 1, 0), kOk);
  for (int k = 1; k < 20; k++) {
    ASSERT_EQ(PushUndoVersion(u.data(), 5), kOk);
    EXPECT_EQ(u.Fill(5, 0, 100, 1), k - 1);  // a new version shares the value
    ASSERT_EQ(u.Put(5, 0, 100, 1, static_cast<uint8_t>(k)), kOk);
  }
  // Sixteen versions kept: undo reaches back 15 steps.
  for (int k = 0; k < 15; k++) ASSERT_EQ(UndoSetStepBack(u.data(), 5), kOk);
  EXPECT_EQ(UndoSetStepBack(u.data(), 5), kKvCannotUndo);
  EXPECT_EQ(u.Fill(5, 0, 100, 1), 4);
  // A new version after two undos discards the two redo versions.
  for (int k = 0; k < 13; k++) ASSERT_EQ(UndoSetStepForward(u.data(), 5), kOk);
  ASSERT_EQ(PushUndoVersion(u.data(), 5), kOk);
  EXPECT_EQ(UndoSetStepForward(u.data(), 5), kKvCannotRedo);
  EXPECT_EQ(u.Fill(5, 0, 100, 1), 17);
  EXPECT_EQ(u.Fill(5, 14, 100, 1), 4);
  EXPECT_EQ(u.Fill(5, 15, 100, 1), -2);

  ASSERT_EQ(DropNewestUndoVersion(u.data(), 5), kOk);
  EXPECT_EQ(u.Fill(5, 0, 100, 1), 17);  // the new version was a copy
  u.AddSet(6, 1);
  EXPECT_EQ(DropNewestUndoVersion(u.data(), 6), kKvNonexistentUndoSet);
  EXPECT_TRUE(UndoBufferIsValid(u.data(), 8192));
}

TEST(UndoBuffer, ValuesWithoutDataStaleValuesAndUnknownNames) {
  Undo u;
  u.AddSet(2, 2);
  ASSERT_EQ(u.Put(2, 0, 100, 0, 0), kOk);
  EXPECT_TRUE(HasUndoValue(u.data(), 2, 0, 100));
  EXPECT_EQ(u.Fill(2, 0, 100, 0), -1);
  EXPECT_FALSE(HasUndoValue(u.data(), 2, 0, 101));

  ASSERT_EQ(u.Put(2, 0, 101, 2, 9), kOk);
  ASSERT_EQ(ClearUndoValue(u.data(), 2, 0, 101, true), kOk);
  EXPECT_TRUE(IsUndoValueStale(u.data(), 2, 0, 101));
  EXPECT_FALSE(HasUndoValue(u.data(), 2, 0, 101));
  ASSERT_EQ(ClearStaleUndoValues(u.data(), 2, 0), kOk);
  EXPECT_FALSE(IsUndoValueStale(u.data(), 2, 0, 101));

  EXPECT_EQ(u.Put(9, 0, 100, 1, 0), kKvNonexistentUndoSet);
  EXPECT_EQ(u.Put(2, 0, 555, 1, 0), kKvVarNotFound);
  EXPECT_EQ(u.Put(2, 1, 100, 1, 0), kKvNonexistentUndoSet);  // no older version
  EXPECT_EQ(u.Fill(2, 1, 100, 0), -2);
  EXPECT_EQ(PushUndoVersion(u.data(), 9), kKvNonexistentUndoSet);
  EXPECT_EQ(UndoSetStepBack(u.data(), 2), kKvCannotUndo);
  EXPECT_EQ(AddUndoSetVariable(u.data(), 2, 300, false), kErrIllegal);  // already reset
}

TEST(UndoBuffer, SetsKeepTheirNeighboursIntact) {
  Undo u(20000);
  // A set reset after the set behind it was added moves that set up.
  ASSERT_EQ(AddUndoSet(u.data(), 1), kOk);
  ASSERT_EQ(AddUndoSetVariable(u.data(), 1, 100, false), kOk);
  u.AddSet(2, 2);
  ASSERT_EQ(u.Put(2, 0, 101, 3, 0x22), kOk);
  ASSERT_EQ(AddUndoSetVariable(u.data(), 1, 101, false), kOk);
  ASSERT_EQ(ResetUndoSet(u.data(), 1), kOk);
  ASSERT_EQ(u.Put(1, 0, 101, 3, 0x11), kOk);
  EXPECT_EQ(u.Fill(2, 0, 101, 3), 0x22);
  u.AddSet(3, 1);
  ASSERT_EQ(u.Put(3, 0, 100, 3, 0x33), kOk);

  // Removing the middle set leaves the others with their values.
  ASSERT_EQ(RemoveUndoSet(u.data(), 2), kOk);
  EXPECT_EQ(u.Fill(1, 0, 101, 3), 0x11);
  EXPECT_EQ(u.Fill(3, 0, 100, 3), 0x33);
  EXPECT_EQ(u.Fill(2, 0, 101, 3), -2);
  EXPECT_EQ(RemoveUndoSet(u.data(), 2), kKvNonexistentUndoSet);
  EXPECT_TRUE(UndoBufferIsValid(u.data(), 20000));
}

TEST(UndoBuffer, SetAreaLimits) {
  Undo u;  // 254 set-area words
  ASSERT_EQ(AddUndoSet(u.data(), 1), kOk);
  int32_t added = 0;
  while (AddUndoSetVariable(u.data(), 1, 100 + added, false) == kOk) added++;
  EXPECT_EQ(added, 7);  // 16 x 6 + 17 + 128 fits 254, 16 x 7 + 19 + 128 does not
  EXPECT_EQ(AddUndoSetVariable(u.data(), 1, 300, false), kKvTooManyVarInUndoBuf);
  EXPECT_EQ(AddUndoSetVariable(u.data(), 2, 300, false), kKvNonexistentUndoSet);
  ASSERT_EQ(ResetUndoSet(u.data(), 1), kOk);  // 5 + 34 x 7 = 243 words
  EXPECT_EQ(AddUndoSet(u.data(), 2), kKvTooManyVarInUndoBuf);

  // In a larger buffer the variables admitted need more room once reset than
  // the set area has: the reset is refused and nothing is overwritten.
  Undo big(40000);  // 1,248 set-area words
  ASSERT_EQ(AddUndoSet(big.data(), 1), kOk);
  added = 0;
  while (AddUndoSetVariable(big.data(), 1, 100 + added, false) == kOk) added++;
  EXPECT_EQ(added, 62);
  EXPECT_EQ(ResetUndoSet(big.data(), 1), kKvTooManyVarInUndoBuf);
  EXPECT_TRUE(UndoBufferIsValid(big.data(), 40000));
}

TEST(UndoBuffer, RelocationKeepsTheValues) {
  Undo u(8192, 20000);
  u.AddSet(4, 2);
  ASSERT_EQ(u.Put(4, 0, 100, 400, 0x40), kOk);
  ASSERT_EQ(PushUndoVersion(u.data(), 4), kOk);
  ASSERT_EQ(u.Put(4, 0, 101, 400, 0x41), kOk);
  EXPECT_EQ(u.Put(4, 0, 100, 400, 0x42), kKvVarTooLargeForUndo);

  EXPECT_EQ(RelocateUndoBuffer(u.data(), 8192), kOk);
  EXPECT_EQ(RelocateUndoBuffer(u.data(), 8000), kKvTooSmallUndoBuf);
  ASSERT_EQ(RelocateUndoBuffer(u.data(), 20000), kOk);
  EXPECT_EQ(u.Word(0), 20000u);
  EXPECT_EQ(u.Word(8), (20000u - 36) / 32);
  EXPECT_TRUE(UndoBufferIsValid(u.data(), 20000));
  EXPECT_EQ(u.Fill(4, 1, 100, 400), 0x40);
  EXPECT_EQ(u.Fill(4, 0, 101, 400), 0x41);
  EXPECT_EQ(u.Put(4, 0, 100, 400, 0x42), kOk);
  EXPECT_EQ(u.Fill(4, 1, 100, 400), 0x40);
}

// The two records of an image read into an area whose memory holds other
// bytes (as a host's fresh allocation does): the buffer grows to the area,
// and the set words the records did not give are cleared, never left as
// the memory had them.
TEST(UndoBuffer, RecordsLoadedIntoAnAreaLeaveNoSetWordUnwritten) {
  Undo saved;
  saved.AddSet(1, 3);
  // A stored value as the loader checks it: a descriptor (flags, size,
  // columns) and its unit, the 1 x 1 value 7.
  void* value;
  ASSERT_EQ(SetUndoValue(saved.data(), 1, 0, 101, 4, &value), kOk);
  const double entry[4] = {0, 1, 1, 7};
  std::memcpy(value, entry, sizeof entry);
  UndoImage image;
  MakeUndoImage(saved.data(), &image);
  constexpr uint32_t kArea = 4 * kUndoMinBytes;
  Undo loaded(kArea);
  std::memset(loaded.data(), 0xA5, kArea);
  ASSERT_EQ(InitUndoBuffer(loaded.data(), kArea), kOk);
  struct Records {
    const std::vector<uint8_t>* parts[2];
    int next = 0;
  } records{{&image.head, &image.heap}};
  auto read = [](void* to, uint32_t bytes, uintptr_t argument) {
    auto* r = reinterpret_cast<Records*>(argument);
    if (r->next == 2 || r->parts[r->next]->size() != bytes) return false;
    std::memcpy(to, r->parts[r->next++]->data(), bytes);
    return true;
  };
  ASSERT_EQ(LoadUndoBuffer(loaded.data(), static_cast<uint32_t>(image.head.size()),
                           static_cast<uint32_t>(image.heap.size() / 8), read,
                           reinterpret_cast<uintptr_t>(&records)),
            kOk);
  EXPECT_EQ(loaded.Word(0), kArea);
  uint32_t units;
  ASSERT_EQ(GetUndoValue(loaded.data(), 1, 0, 101, &units, &value), kOk);
  ASSERT_EQ(units, 4u);
  EXPECT_EQ(std::memcmp(value, entry, sizeof entry), 0);
  const undo::Buffer b(loaded.data());
  uint32_t unwritten = 0;
  for (uint32_t w = b.SetAreaUsed(); w < b.SetAreaWords(); w++)
    if (b.Word(w) != 0) unwritten++;
  EXPECT_EQ(unwritten, 0u);
}

TEST(UndoBuffer, CheckRejectsDamagedBuffers) {
  Undo u;
  u.AddSet(1, 2);
  ASSERT_EQ(u.Put(1, 0, 100, 5, 1), kOk);
  ASSERT_TRUE(UndoBufferIsValid(u.data(), 8192));
  EXPECT_FALSE(UndoBufferIsValid(u.data(), 8000));  // larger than its memory

  auto damaged = [&](uint32_t offset, uint32_t value) {
    Undo copy = u;
    Store<uint32_t>(static_cast<uint8_t*>(copy.data()) + offset, value);
    return !UndoBufferIsValid(copy.data(), 8192);
  };
  const uint32_t set = 28, refs = set + 4 * (5 + 4);
  EXPECT_TRUE(damaged(set, 0));             // set length 0
  EXPECT_TRUE(damaged(set, 4000));          // set past the set area
  EXPECT_TRUE(damaged(set + 16, 7));        // current beyond the versions
  EXPECT_TRUE(damaged(refs + 4, 0));        // reference to a block's inside
  EXPECT_TRUE(damaged(refs + 4, 6));        // reference to the free block
  EXPECT_TRUE(damaged(132 * 8, 0));         // referenced block marked free
  EXPECT_TRUE(damaged(132 * 8 + 4, 5000));  // block past the heap
  EXPECT_TRUE(damaged(16, 5000));           // heap past the buffer
  EXPECT_TRUE(damaged(12, 2));              // a second set that is not there
  EXPECT_FALSE(damaged(132 * 8, 3));        // more counts than references is safe
}

}  // namespace
}  // namespace vke
