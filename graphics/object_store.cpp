// Records of the figure store: formatting, walking, scanning, compaction,
// resizing and the lookups of objects and their subplot groups.
#include "graphics/object_store.hpp"

#include <cstring>

#include "graphics/drawing_command.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {

namespace {

uint32_t Extent(int64_t length) {
  return static_cast<uint32_t>(length < 0 ? -length : length);
}

void SetFree(ObjectList list, uint32_t pos, uint64_t doubles) {
  list.Set(pos, -static_cast<double>(doubles));
}

// Finds the first live record of an id: its record start and length.
bool FindRecord(ObjectList list, int32_t id, uint32_t* start, int64_t* length) {
  bool found = false;
  ForEachObjectRecord(list, [&](uint32_t pos, int64_t l) {
    if (l > 0 && TruncToInt32(list.Get(pos + 1)) == id) {
      *start = pos;
      *length = l;
      found = true;
    }
    return !found;
  });
  return found;
}

// Slides the live records down; returns the doubles they take.
uint32_t CompactRecords(ObjectList list) {
  uint32_t count = list.Count();
  uint32_t live = 0;
  ForEachObjectRecord(list, [&](uint32_t pos, int64_t l) {
    if (l > 0) {
      if (pos != live) std::memmove(list.At(live), list.At(pos), static_cast<size_t>(l) * 8);
      live += static_cast<uint32_t>(l);
    }
    return true;
  });
  if (live < count) SetFree(list, live, count - live);
  list.SetCompacted(1);
  return live;
}

}  // namespace

int64_t ObjectRecordLength(ObjectList list, uint32_t pos) {
  double stored = list.Get(pos);
  int64_t l = TruncToInt64(stored);
  if (static_cast<double>(l) != stored) return 0;
  int64_t room = int64_t{list.Count()} - pos;
  if (l == 0 || l == 1 || l > room || l < -room) return 0;
  return l;
}

ErrCode ObjectListInit(void* buffer, uint32_t totalDoubles) {
  if (totalDoubles <= kObjectListOverhead) return kErrExhaustedRsrc;
  ObjectList list(buffer);
  uint32_t count = totalDoubles - kObjectListOverhead;
  list.SetCount(count);
  list.SetCompacted(1);
  SetFree(list, 0, count);
  return kOk;
}

bool ObjectListIsValid(const void* buffer, uint32_t totalDoubles) {
  ObjectList list(const_cast<void*>(buffer));
  if (totalDoubles <= kObjectListOverhead) return false;
  uint32_t count = list.Count();
  if (count == 0 || count > totalDoubles - kObjectListOverhead) return false;
  bool unique = true;
  uint32_t end = ForEachObjectRecord(list, [&](uint32_t pos, int64_t l) {
    if (l > 0) {
      int32_t id = TruncToInt32(list.Get(pos + 1));
      uint32_t at = 0;
      int64_t len = 0;
      unique = FindRecord(list, id, &at, &len) && at == pos;
    }
    return unique;
  });
  return unique && end == count;
}

uint32_t ObjectListCompact(ObjectList list) {
  return CompactRecords(list) + 2;
}

ErrCode ObjectListResize(ObjectList list, uint32_t totalDoubles) {
  int64_t newCount = int64_t{totalDoubles} - kObjectListOverhead;
  uint32_t count = list.Count();
  if (newCount == count) return kOk;
  if (newCount > count) {
    SetFree(list, count, static_cast<uint64_t>(newCount - count));
    list.SetCount(static_cast<uint32_t>(newCount));
    return kOk;
  }
  uint32_t live = CompactRecords(list);
  if (live >= newCount) return kErrExhaustedRsrc;
  SetFree(list, live, static_cast<uint64_t>(newCount - live));
  list.SetCount(static_cast<uint32_t>(newCount));
  return kOk;
}

ErrCode ObjectListCopy(void* source, void* destination, uint32_t totalDoubles) {
  ObjectList from(source);
  if (int64_t{totalDoubles} - kObjectListOverhead < from.Count()) {
    if (ErrCode rc = ObjectListResize(from, totalDoubles)) return rc;
  }
  std::memmove(destination, source, (size_t{from.Count()} + 1) * 8);
  return ObjectListResize(ObjectList(destination), totalDoubles);
}

FreeScan ObjectListScan(ObjectList list, bool allowCompaction) {
  for (;;) {
    uint64_t total = 0;
    uint64_t best = 0;
    uint32_t bestStart = 0;
    uint32_t runStart = 0;
    uint64_t run = 0;
    auto endRun = [&] {
      total += run;
      if (run > best) {
        best = run;
        bestStart = runStart;
      }
      run = 0;
    };
    ForEachObjectRecord(list, [&](uint32_t pos, int64_t l) {
      if (l > 0) {
        endRun();
      } else if (run > 0) {
        run += Extent(l);
        SetFree(list, runStart, run);
      } else {
        runStart = pos;
        run = Extent(l);
      }
      return true;
    });
    endRun();
    if (allowCompaction && total > 2 * best && total > list.Count() / 8 && list.Compacted() == 0) {
      CompactRecords(list);
      continue;
    }
    return {bestStart + 2, static_cast<int64_t>(best) - 2, total};
  }
}

bool FindHoldingFreeRecord(ObjectList list, uint64_t from, uint64_t to, uint32_t* start,
                           uint64_t* end) {
  *end = 0;
  ForEachObjectRecord(list, [&](uint32_t pos, int64_t l) {
    if (pos > from) return false;
    if (l < 0 && pos + uint64_t{Extent(l)} >= to) {
      *start = pos;
      *end = pos + uint64_t{Extent(l)};
    }
    return true;
  });
  return *end != 0;
}

bool ObjectListCloseRecord(ObjectList list, int32_t id, uint32_t position, uint32_t length) {
  if (position < 2) return false;
  uint64_t head = position - 2;
  uint64_t tail = uint64_t{position} + length;
  // A scan may have merged the record the writer started in with free
  // records on either side.
  uint32_t freeStart = 0;
  uint64_t freeEnd = 0;
  if (!FindHoldingFreeRecord(list, head, tail, &freeStart, &freeEnd)) return false;
  if (freeStart < head) SetFree(list, freeStart, head - freeStart);
  if (freeEnd > tail) SetFree(list, static_cast<uint32_t>(tail), freeEnd - tail);
  list.Set(position - 1, id);
  list.Set(position - 2, uint64_t{length} + 2);
  return true;
}

bool ObjectListFind(ObjectList list, int32_t id, ObjectSpan* out) {
  uint32_t start = 0;
  int64_t l = 0;
  if (!FindRecord(list, id, &start, &l)) return false;
  *out = {start + 2, static_cast<uint32_t>(l - 2)};
  return true;
}

bool ObjectListDelete(ObjectList list, int32_t id) {
  uint32_t start = 0;
  int64_t l = 0;
  if (!FindRecord(list, id, &start, &l)) return false;
  SetFree(list, start, static_cast<uint64_t>(l));
  list.SetCompacted(0);
  return true;
}

ReopenedObject ObjectListReopen(ObjectList list, int32_t id) {
  FreeScan scan = ObjectListScan(list, false);
  uint32_t start = 0;
  int64_t l = 0;
  if (!FindRecord(list, id, &start, &l)) return {scan.position, 0, scan.capacity};
  uint32_t n = static_cast<uint32_t>(l - 2);
  // Doubles of the free record behind the object, 0 when none.
  auto freeBehind = [&] {
    uint32_t count = list.Count();
    uint32_t behind = start + static_cast<uint32_t>(l);
    int64_t g = behind < count ? ObjectRecordLength(list, behind) : 0;
    return g < 0 ? uint64_t{Extent(g)} : uint64_t{0};
  };
  // Frees the object's record together with that free record; the commands
  // stay where they are.
  auto growInPlace = [&](uint64_t room) {
    SetFree(list, start, static_cast<uint64_t>(l) + room);
    return ReopenedObject{start + 2, n, static_cast<int64_t>(n + room)};
  };
  uint64_t room = freeBehind();
  if (room > 0 && n + room >= scan.totalFree / 2) return growInPlace(room);
  if (2 * scan.capacity < static_cast<int64_t>(scan.totalFree)) {
    scan = ObjectListScan(list, true);
    FindRecord(list, id, &start, &l);
  }
  if (scan.capacity < static_cast<int64_t>(n)) return growInPlace(freeBehind());
  std::memmove(list.At(scan.position), list.At(start + 2), size_t{n} * 8);
  SetFree(list, start, static_cast<uint64_t>(l));
  list.SetCompacted(0);
  return {scan.position, n, scan.capacity};
}

bool FindSubplotCommands(ObjectList list, int32_t id, int32_t subplot, uint32_t* offset) {
  ObjectSpan span;
  if (!ObjectListFind(list, id, &span)) return false;
  const std::byte* payload = list.At(span.position);
  int32_t group = -1;
  uint32_t behindLast = 0;
  CommandHeader cmd;
  for (uint32_t at = 0; ReadCommandAt(payload, span.length, at, &cmd);) {
    uint32_t next = at + kCommandHeaderDoubles + static_cast<uint32_t>(cmd.length);
    if (cmd.code == kCmdObjectBegin || at == 0) {
      ++group;
      if (subplot >= 0 && group == subplot) {
        *offset = at;
        return true;
      }
    }
    if (cmd.code == kCmdObjectBegin) behindLast = next;
    at = next;
  }
  if (subplot >= 0) return false;
  *offset = behindLast;
  return true;
}

}  // namespace vke
