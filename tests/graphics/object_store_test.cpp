// The figure store: records, scanning, closing, reopening, resizing and
// moving, subplot groups, the writer protocol, and a long random sequence
// checked against a model of the objects.
#include "graphics/object_store.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "graphics/drawing_command.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {
namespace {

struct Record {
  uint32_t pos;
  int64_t length;
  int32_t id;
};

// Walks a store on its own terms: lengths must be nonzero whole numbers
// that add up to the count exactly.
std::vector<Record> Walk(ObjectList list) {
  std::vector<Record> out;
  uint32_t pos = 0;
  while (pos < list.Count()) {
    double l = list.Get(pos);
    EXPECT_EQ(l, static_cast<double>(static_cast<int64_t>(l))) << "at " << pos;
    EXPECT_TRUE(l <= -1 || l >= 2) << "at " << pos;
    if (!(l <= -1 || l >= 2)) break;
    int32_t id = l > 0 ? static_cast<int32_t>(list.Get(pos + 1)) : -1;
    out.push_back({pos, static_cast<int64_t>(l), id});
    pos += static_cast<uint32_t>(l < 0 ? -l : l);
  }
  EXPECT_EQ(pos, list.Count());
  return out;
}

std::vector<double> Payload(ObjectList list, int32_t id) {
  ObjectSpan span;
  if (!ObjectListFind(list, id, &span)) return {};
  std::vector<double> out;
  for (uint32_t i = 0; i < span.length; ++i) out.push_back(list.Get(span.position + i));
  return out;
}

std::vector<double> Ramp(int n, double base) {
  std::vector<double> v;
  for (int i = 0; i < n; ++i) v.push_back(base + i);
  return v;
}

// A store in an 8-aligned buffer with room around it for moves.
struct Store {
  std::vector<double> memory;
  ObjectWriterState writer = kNoObjectWriter;

  explicit Store(uint32_t total, uint32_t room = 0) : memory(total + room, 0.0) {
    EXPECT_EQ(ObjectListInit(memory.data(), total), kOk);
  }
  ObjectList list(uint32_t at = 0) { return ObjectList(memory.data() + at); }

  // Writes an object of the given doubles through the writer protocol.
  void Write(int32_t id, const std::vector<double>& data, bool erase = true, uint32_t at = 0) {
    BeginObjectListCapture(list(at), &writer, id, erase);
    Append(data, at);
    EXPECT_EQ(EndObjectListCapture(list(at), &writer), kOk);
  }
  // Objects 1, 2 and 3 of these lengths (payload 100 * id, 100 * id + 1 ...)
  // with object 2 deleted again: a hole between live records.
  void WriteAroundHole(int first, int middle, int last) {
    Write(1, Ramp(first, 100));
    Write(2, Ramp(middle, 200));
    Write(3, Ramp(last, 300));
    ObjectListDelete(list(), 2);
  }
  bool Append(const std::vector<double>& data, uint32_t at = 0) {
    if (writer.used + data.size() > writer.capacity) return false;
    for (double v : data) list(at).Set(writer.start + writer.used++, v);
    return true;
  }
};

TEST(ObjectStore, FreshStoreIsOneFreeRecord) {
  Store s(100);
  FreeScan scan = ObjectListScan(s.list(), true);
  EXPECT_EQ(scan.position, 2u);
  EXPECT_EQ(scan.capacity, 94);
  EXPECT_EQ(scan.totalFree, 96u);
  EXPECT_EQ(s.list().Compacted(), 1u);
  EXPECT_TRUE(ObjectListIsValid(s.memory.data(), 100));
  std::vector<double> tiny(4);
  EXPECT_EQ(ObjectListInit(tiny.data(), 4), kErrExhaustedRsrc);
}

TEST(ObjectStore, DeletingNeighboursLeavesOneFreeRecord) {
  Store s(200);
  s.Write(1, Ramp(10, 100));
  s.Write(2, Ramp(20, 200));
  s.Write(3, Ramp(5, 300));
  ASSERT_EQ(Walk(s.list()).size(), 4u);
  EXPECT_TRUE(ObjectListDelete(s.list(), 1));
  EXPECT_TRUE(ObjectListDelete(s.list(), 2));
  EXPECT_FALSE(ObjectListDelete(s.list(), 2));
  EXPECT_EQ(s.list().Compacted(), 0u);
  ObjectListScan(s.list(), false);
  std::vector<Record> records = Walk(s.list());
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].length, -(12 + 22));
  EXPECT_EQ(Payload(s.list(), 3), Ramp(5, 300));
}

TEST(ObjectStore, CloseRecordSplitsTheFreeRecord) {
  // Exact fit: no remainder.
  Store exact(20);
  ASSERT_TRUE(ObjectListCloseRecord(exact.list(), 7, 2, 14));
  ASSERT_EQ(Walk(exact.list()).size(), 1u);
  EXPECT_EQ(exact.list().Get(0), 16.0);
  // One double short: a remainder of length -1.
  Store shortBy1(20);
  ASSERT_TRUE(ObjectListCloseRecord(shortBy1.list(), 7, 2, 13));
  std::vector<Record> records = Walk(shortBy1.list());
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].length, -1);
  // A range that leaves the free record is refused untouched.
  Store tooLong(20);
  EXPECT_FALSE(ObjectListCloseRecord(tooLong.list(), 7, 2, 15));
  EXPECT_EQ(tooLong.list().Get(0), -16.0);
}

TEST(ObjectStore, ReopenGrowsInPlaceIntoTheFreeSpaceBehind) {
  Store s(200);
  s.Write(4, Ramp(10, 1));
  ObjectSpan before;
  ASSERT_TRUE(ObjectListFind(s.list(), 4, &before));
  BeginObjectListCapture(s.list(), &s.writer, 4, false);
  EXPECT_EQ(s.writer.start, before.position);
  EXPECT_EQ(s.writer.used, 10u);
  EXPECT_EQ(s.writer.capacity, 196u - 2);
  EXPECT_TRUE(s.Append({77}));
  EXPECT_EQ(EndObjectListCapture(s.list(), &s.writer), kOk);
  std::vector<double> expected = Ramp(10, 1);
  expected.push_back(77);
  EXPECT_EQ(Payload(s.list(), 4), expected);
}

TEST(ObjectStore, ReopenMovesThePayloadOrKeepsItWhenNothingCanTakeIt) {
  Store s(64);
  s.Write(1, Ramp(10, 1));
  s.Write(2, Ramp(10, 50));
  BeginObjectListCapture(s.list(), &s.writer, 1, false);  // moves behind object 2
  EXPECT_EQ(s.writer.start, 26u);
  EXPECT_TRUE(s.Append({99}));
  EndObjectListCapture(s.list(), &s.writer);
  std::vector<double> expected = Ramp(10, 1);
  expected.push_back(99);
  EXPECT_EQ(Payload(s.list(), 1), expected);
  // Free space (4 doubles) too small for object 1 (20): it cannot move, the
  // next append fails, and closing restores it unchanged.
  Store full(64);
  full.Write(1, Ramp(20, 1));
  full.Write(2, Ramp(30, 100));
  BeginObjectListCapture(full.list(), &full.writer, 1, false);
  EXPECT_EQ(full.writer.used, 20u);
  EXPECT_EQ(full.writer.capacity, 20u);
  EXPECT_FALSE(full.Append({5}));
  EndObjectListCapture(full.list(), &full.writer);
  EXPECT_EQ(Payload(full.list(), 1), Ramp(20, 1));
  EXPECT_EQ(Payload(full.list(), 2), Ramp(30, 100));
}

TEST(ObjectStore, EmptyCaptureLeavesNoRecord) {
  Store s(100);
  s.Write(5, Ramp(8, 1));
  BeginObjectListCapture(s.list(), &s.writer, 5, true);
  EXPECT_EQ(s.writer.used, 0u);
  EXPECT_EQ(s.writer.currentObject, -1);
  EXPECT_EQ(EndObjectListCapture(s.list(), &s.writer), kOk);
  EXPECT_EQ(s.writer.id, -1);
  ObjectSpan span;
  EXPECT_FALSE(ObjectListFind(s.list(), 5, &span));
  EXPECT_EQ(Walk(s.list()).size(), 1u);
}

TEST(ObjectStore, SubplotGroups) {
  Store s(200);
  BeginObjectListCapture(s.list(), &s.writer, 3, true);
  std::byte* payload = s.list().At(s.writer.start);
  // A command before the first object begin belongs to group 0.
  WriteCommandHeader(payload, {kCmdPolyline, -1, 1, 0, 0, 2});
  s.writer.used = 8;
  for (int32_t k = 0; k < 3; ++k) {
    ASSERT_TRUE(AppendObjectBeginCommand(payload, s.writer.capacity, &s.writer.used, k));
  }
  WriteCommandHeader(payload + s.writer.used * 8, {kCmdCircles, 4, 1, 0, 0xFF0000, 0});
  s.writer.used += 6;
  EndObjectListCapture(s.list(), &s.writer);

  uint32_t offset = 0;
  ASSERT_TRUE(FindSubplotCommands(s.list(), 3, 0, &offset));
  EXPECT_EQ(offset, 0u);
  ASSERT_TRUE(FindSubplotCommands(s.list(), 3, 2, &offset));
  EXPECT_EQ(offset, 15u);  // the second command 70 opens group 2
  ASSERT_TRUE(FindSubplotCommands(s.list(), 3, 3, &offset));
  EXPECT_EQ(offset, 22u);
  EXPECT_FALSE(FindSubplotCommands(s.list(), 3, 4, &offset));
  ASSERT_TRUE(FindSubplotCommands(s.list(), 3, -1, &offset));
  EXPECT_EQ(offset, 29u);
  EXPECT_FALSE(FindSubplotCommands(s.list(), 8, -1, &offset));

  CommandHeader h;
  ASSERT_TRUE(ReadCommandAt(s.list().At(s.writer.start), 35, 22, &h));
  EXPECT_EQ(h.code, kCmdObjectBegin);
  EXPECT_EQ(h.length, 1);
  EXPECT_EQ(PayloadDouble(s.list().At(s.writer.start), 28), 2.0);
  // A data length running past the payload is no command.
  EXPECT_FALSE(ReadCommandAt(s.list().At(s.writer.start), 34, 29, &h));

  uint32_t used = 3;
  EXPECT_FALSE(AppendObjectBeginCommand(payload, 9, &used, 0));
  EXPECT_EQ(used, 3u);
  EXPECT_TRUE(AppendObjectBeginCommand(payload, 10, &used, 0));
}

TEST(ObjectStore, ResizeGrowsAndShrinks) {
  Store s(100, 100);
  s.Write(1, Ramp(10, 1));
  s.Write(2, Ramp(10, 20));
  s.Write(3, Ramp(10, 40));
  ObjectListDelete(s.list(), 2);
  EXPECT_EQ(ObjectListResize(s.list(), 150), kOk);
  EXPECT_EQ(s.list().Count(), 146u);
  EXPECT_EQ(ObjectListResize(s.list(), 40), kOk);
  EXPECT_EQ(s.list().Count(), 36u);
  EXPECT_EQ(Walk(s.list()).size(), 3u);
  EXPECT_EQ(Payload(s.list(), 1), Ramp(10, 1));
  EXPECT_EQ(Payload(s.list(), 3), Ramp(10, 40));
  // The live records need 24 doubles: 28 leaves none free.
  EXPECT_EQ(ObjectListResize(s.list(), 28), kErrExhaustedRsrc);
  EXPECT_EQ(s.list().Count(), 36u);
  EXPECT_EQ(ObjectListResize(s.list(), 29), kOk);
  EXPECT_EQ(Payload(s.list(), 3), Ramp(10, 40));
}

TEST(ObjectStore, CopyMovesBothWaysAndNeverWritesPastTheDestination) {
  Store s(100, 200);
  s.Write(1, Ramp(10, 1));
  s.Write(2, Ramp(10, 20));
  ObjectListDelete(s.list(), 1);
  // Up by 30 doubles, overlapping, and larger.
  ASSERT_EQ(ObjectListCopy(s.memory.data(), s.memory.data() + 30, 150), kOk);
  EXPECT_EQ(Payload(s.list(30), 2), Ramp(10, 20));
  EXPECT_EQ(s.list(30).Count(), 146u);
  // Smaller than the source: nothing is written beyond the new size.
  std::fill(s.memory.begin() + 240, s.memory.end(), 123.0);
  ASSERT_EQ(ObjectListCopy(s.memory.data() + 30, s.memory.data() + 200, 40), kOk);
  EXPECT_EQ(Payload(s.list(200), 2), Ramp(10, 20));
  EXPECT_EQ(s.list(200).Count(), 36u);
  for (size_t i = 240; i < s.memory.size(); ++i) EXPECT_EQ(s.memory[i], 123.0);
  // Down by 20, overlapping.
  ASSERT_EQ(ObjectListCopy(s.memory.data() + 200, s.memory.data() + 180, 40), kOk);
  EXPECT_EQ(Payload(s.list(180), 2), Ramp(10, 20));
  EXPECT_EQ(ObjectListCopy(s.memory.data() + 180, s.memory.data(), 14), kErrExhaustedRsrc);
}

TEST(ObjectStore, MalformedStoresAreRejected) {
  Store s(60);
  s.Write(1, Ramp(5, 1));
  s.Write(2, Ramp(5, 1));
  EXPECT_TRUE(ObjectListIsValid(s.memory.data(), 60));
  EXPECT_FALSE(ObjectListIsValid(s.memory.data(), 50));  // count past the buffer
  Store twice = s;
  twice.list().Set(8, 1.0);  // two live records with id 1
  EXPECT_FALSE(ObjectListIsValid(twice.memory.data(), 60));
  for (double bad : {0.0, 1.0, 2.5, 1e9, -1e9, std::nan("")}) {
    Store broken = s;
    broken.list().Set(7, bad);
    EXPECT_FALSE(ObjectListIsValid(broken.memory.data(), 60)) << bad;
    // Walks stop at the bad record instead of running off.
    ObjectListScan(broken.list(), true);
    ObjectSpan span;
    EXPECT_TRUE(ObjectListFind(broken.list(), 1, &span));
  }
}

// While an object is open, lending scratch memory must not compact (which
// would slide live records over the open payload) and must not lend the
// commands already written.
TEST(ObjectStore, NoCompactionWhileAnObjectIsOpen) {
  // Ten objects, then an open object in the free tail; freeing every other
  // object leaves the free space fragmented enough that a scan allowed to
  // compact would compact.
  Store s(300);
  for (int32_t id = 1; id <= 10; ++id) s.Write(id, Ramp(20, id * 100));
  BeginObjectListCapture(s.list(), &s.writer, 20, true);
  ASSERT_TRUE(s.Append(Ramp(12, 900)));
  for (int32_t id : {1, 3, 5, 7}) ObjectListDelete(s.list(), id);
  std::vector<Record> before = Walk(s.list());

  ScratchArea area = ObjectListFreeArea(s.list(), s.writer);
  EXPECT_GT(area.bytes, 0u);
  uint32_t end = area.position + static_cast<uint32_t>(area.bytes / 8);
  EXPECT_FALSE(area.position < s.writer.start + s.writer.used && s.writer.start - 2 < end);
  for (uint32_t i = area.position; i < end; ++i) s.list().Set(i, -7.0);  // the scratch use
  std::vector<Record> after = Walk(s.list());
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].pos, before[i].pos);
  EXPECT_EQ(s.list().Compacted(), 0u);
  // The object right before the open one is freed and merged with its free
  // space: closing still finds where the commands lie.
  ObjectListDelete(s.list(), 10);
  ObjectListScan(s.list(), false);
  ASSERT_EQ(EndObjectListCapture(s.list(), &s.writer), kOk);
  EXPECT_EQ(Payload(s.list(), 20), Ramp(12, 900));
  Walk(s.list());

  // With nothing open the loan may compact.
  ObjectListFreeArea(s.list(), s.writer);
  EXPECT_EQ(s.list().Compacted(), 1u);
  EXPECT_EQ(Payload(s.list(), 20), Ramp(12, 900));
  EXPECT_EQ(Payload(s.list(), 4), Ramp(20, 400));
}

// A store that grows while an object is open: the object gets the new room
// when it is the free run behind its commands, whichever record that run
// begins with; nothing moves.
TEST(ObjectStore, RefreshGivesTheOpenObjectTheRoomBehindIt) {
  Store s(100, 200);
  s.WriteAroundHole(20, 10, 10);
  BeginObjectListCapture(s.list(), &s.writer, 20, true);  // the free tail
  ASSERT_TRUE(s.Append(Ramp(40, 900)));
  // The object before the open one goes: the free run now begins there.
  ObjectListDelete(s.list(), 3);
  ASSERT_EQ(ObjectListCopy(s.memory.data(), s.memory.data() + 50, 220), kOk);
  EXPECT_FALSE(s.Append(Ramp(30, 2000), 50));
  RefreshObjectListCapture(s.list(50), &s.writer);
  EXPECT_EQ(s.writer.capacity, 216 - s.writer.start);
  ASSERT_TRUE(s.Append(Ramp(30, 2000), 50));
  EXPECT_EQ(s.list(50).Compacted(), 0u);
  EXPECT_EQ(Payload(s.list(50), 1), Ramp(20, 100));
  ASSERT_EQ(EndObjectListCapture(s.list(50), &s.writer), kOk);
  std::vector<double> expected = Ramp(40, 900);
  for (double v : Ramp(30, 2000)) expected.push_back(v);
  EXPECT_EQ(Payload(s.list(50), 20), expected);
  EXPECT_TRUE(ObjectListIsValid(s.memory.data() + 50, 220));
  // With nothing open the refresh does nothing.
  RefreshObjectListCapture(s.list(50), &s.writer);
  EXPECT_EQ(s.writer.id, -1);

  // An object open in a hole between live records keeps its room: the new
  // room lies behind the live record.
  Store hole(100);
  hole.WriteAroundHole(20, 10, 56);
  BeginObjectListCapture(hole.list(), &hole.writer, 20, true);
  ASSERT_EQ(hole.writer.capacity, 10u);
  ASSERT_TRUE(hole.Append(Ramp(5, 900)));
  ASSERT_EQ(ObjectListResize(hole.list(), 204), kOk);
  RefreshObjectListCapture(hole.list(), &hole.writer);
  EXPECT_EQ(hole.writer.capacity, 10u);
  // A writer whose commands lie outside the store is left as it is.
  ObjectWriterState lost = hole.writer;
  lost.start = 5000;
  RefreshObjectListCapture(hole.list(), &lost);
  EXPECT_EQ(lost.capacity, 10u);
  ASSERT_EQ(EndObjectListCapture(hole.list(), &hole.writer), kOk);
  EXPECT_EQ(Payload(hole.list(), 20), Ramp(5, 900));
  EXPECT_EQ(Payload(hole.list(), 3), Ramp(56, 300));
  Walk(hole.list());
}

// A long random sequence of opening, appending, closing, deleting,
// compacting, lending, resizing and moving, checked after every step against
// a model of what each object holds.
TEST(ObjectStore, RandomSequenceKeepsItsInvariants) {
  constexpr uint32_t kRoom = 2048;
  std::mt19937 rng(20240611);
  auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  uint32_t total = 600;
  uint32_t at = 0;
  Store s(total, kRoom);
  std::map<int32_t, std::vector<double>> model;
  double next = 1;

  auto check = [&](int step) {
    std::vector<Record> records = Walk(s.list(at));
    std::map<int32_t, int> seen;
    for (const Record& r : records) {
      if (r.length > 0) ++seen[r.id];
    }
    for (auto& [id, n] : seen) EXPECT_EQ(n, 1) << "step " << step << " id " << id;
    for (auto& [id, data] : model) {
      EXPECT_EQ(Payload(s.list(at), id), data) << "step " << step << " id " << id;
    }
    EXPECT_EQ(seen.size(), model.size()) << "step " << step;
    ASSERT_TRUE(ObjectListIsValid(s.memory.data() + at, total)) << "step " << step;
  };

  for (int step = 0; step < 3000 && !testing::Test::HasFailure(); ++step) {
    int32_t id = static_cast<int32_t>(pick(6));
    switch (pick(7)) {
      case 0:
      case 1: {  // write or extend an object, lending scratch in between
        bool erase = pick(2) == 0;
        BeginObjectListCapture(s.list(at), &s.writer, id, erase);
        std::vector<double> data = erase ? std::vector<double>{} : model[id];
        for (int chunk = pick(4); chunk >= 0; --chunk) {
          std::vector<double> more = Ramp(static_cast<int>(pick(40)), next);
          next += 100;
          if (s.Append(more, at)) data.insert(data.end(), more.begin(), more.end());
          if (pick(3) == 0) {
            ScratchArea area = ObjectListFreeArea(s.list(at), s.writer);
            for (size_t i = 0; i < area.bytes / 8; ++i) s.list(at).Set(area.position + i, -3.5);
          }
        }
        ASSERT_EQ(EndObjectListCapture(s.list(at), &s.writer), kOk);
        if (data.empty()) {
          model.erase(id);
        } else {
          model[id] = data;
        }
        break;
      }
      case 2:
        EXPECT_EQ(ObjectListDelete(s.list(at), id), model.erase(id) == 1);
        break;
      case 3:
        ObjectListCompact(s.list(at));
        break;
      case 4: {
        ScratchArea area = ObjectListFreeArea(s.list(at), s.writer);
        for (size_t i = 0; i < area.bytes / 8; ++i) s.list(at).Set(area.position + i, -9.25);
        break;
      }
      case 5: {
        uint32_t size = 100 + pick(900);
        if (ObjectListResize(s.list(at), size) == kOk) total = size;
        break;
      }
      case 6: {
        uint32_t size = 100 + pick(900);
        uint32_t to = pick(kRoom - 1000);
        if (ObjectListCopy(s.memory.data() + at, s.memory.data() + to, size) == kOk) {
          total = size;
          at = to;
        }
        break;
      }
    }
    check(step);
  }
}

}  // namespace
}  // namespace vke
