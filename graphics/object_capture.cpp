// The writer protocol of the figure store: one object at a time is open for
// drawing; its payload lies in free space until it is closed. Nothing may
// compact the store while an object is open, because compaction slides live
// records over that free space.
#include <algorithm>

#include "graphics/figure_codes.hpp"
#include "graphics/object_store.hpp"

namespace vke {

namespace {

uint32_t ClampCapacity(int64_t capacity) {
  return capacity > 0 ? static_cast<uint32_t>(std::min<int64_t>(capacity, UINT32_MAX)) : 0;
}

}  // namespace

void BeginObjectListCapture(ObjectList list, ObjectWriterState* writer, int32_t id, bool erase) {
  if (writer->id != -1) EndObjectListCapture(list, writer);
  if (erase) {
    ObjectListDelete(list, id);
    FreeScan scan = ObjectListScan(list, true);
    writer->start = scan.position;
    writer->capacity = ClampCapacity(scan.capacity);
    writer->used = 0;
  } else {
    ReopenedObject object = ObjectListReopen(list, id);
    writer->start = object.position;
    writer->capacity = ClampCapacity(object.capacity);
    writer->used = object.length;
  }
  writer->id = id;
  writer->currentObject = -1;
}

ErrCode EndObjectListCapture(ObjectList list, ObjectWriterState* writer) {
  ErrCode rc = kOk;
  if (writer->id != -1 && writer->used > 0) {
    if (writer->used > writer->capacity ||
        !ObjectListCloseRecord(list, writer->id, writer->start, writer->used)) {
      rc = kErrPlotOverflow;
    }
  }
  writer->id = -1;
  return rc;
}

void RefreshObjectListCapture(ObjectList list, ObjectWriterState* writer) {
  if (writer->id == -1 || writer->start < 2) return;
  ObjectListScan(list, false);  // merges the free run; compacting is not allowed
  uint32_t freeStart = 0;
  uint64_t freeEnd = 0;
  if (FindHoldingFreeRecord(list, writer->start - 2, uint64_t{writer->start} + writer->used,
                            &freeStart, &freeEnd)) {
    writer->capacity = ClampCapacity(static_cast<int64_t>(freeEnd - writer->start));
  }
}

ScratchArea ObjectListFreeArea(ObjectList list, const ObjectWriterState& writer) {
  bool open = writer.id != -1;
  FreeScan scan = ObjectListScan(list, !open);
  if (!open) return {scan.position, scan.capacity > 0 ? static_cast<size_t>(scan.capacity) * 8 : 0};
  // The open object's header and commands stay out of the loan; the rest of
  // the free record that holds them may be lent.
  int64_t reservedFrom = int64_t{writer.start} - 2;
  int64_t reservedTo = int64_t{writer.start} + writer.used;
  ScratchArea best{0, 0};
  ForEachObjectRecord(list, [&](uint32_t pos, int64_t l) {
    if (l < 0) {
      int64_t end = int64_t{pos} - l;
      int64_t from = int64_t{pos} + 2;
      if (pos <= reservedFrom && reservedTo <= end) from = reservedTo;
      if (end > from && static_cast<size_t>(end - from) * 8 > best.bytes) {
        best = {static_cast<uint32_t>(from), static_cast<size_t>(end - from) * 8};
      }
    }
    return true;
  });
  return best;
}

}  // namespace vke
