// The figure store: one buffer of T doubles in the KV data buffer that holds
// one object (a record of drawing commands) per instance that has drawn
// anything. The first double holds {u32 count = T - 4, u32 compacted}; the
// record area follows; the last three doubles are spare. A record is
// {length, id, payload}: a live record has length = payload + 2 >= 2, a free
// record a negative length covering -length doubles. Every position is a
// double index counted from the first double of the record area, so the
// store can be moved by copying.
//
// This file owns the records and their walk; the writer protocol (opening and
// closing an object for drawing, its room after the store grew, lending
// scratch memory) is in object_capture.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/base.hpp"

namespace vke {

// A view of a store at its current address. Not stored anywhere: made again
// after anything that can move the memory block.
class ObjectList {
 public:
  explicit ObjectList(void* buffer) : base_(static_cast<std::byte*>(buffer)) {}

  uint32_t Count() const { return Load<uint32_t>(base_); }
  uint32_t Compacted() const { return Load<uint32_t>(base_ + 4); }
  void SetCount(uint32_t count) const { Store<uint32_t>(base_, count); }
  void SetCompacted(uint32_t flag) const { Store<uint32_t>(base_ + 4, flag); }

  // Address and value of double `pos` of the record area.
  std::byte* At(uint32_t pos) const { return base_ + 8 + size_t{pos} * 8; }
  double Get(uint32_t pos) const { return Load<double>(At(pos)); }
  void Set(uint32_t pos, double v) const { Store<double>(At(pos), v); }

  std::byte* Buffer() const { return base_; }

 private:
  std::byte* base_;
};

// Length of the record at `pos` as a walk reads it: > 0 live, < 0 free, 0
// when the stored value cannot be a record there.
int64_t ObjectRecordLength(ObjectList list, uint32_t pos);

// Calls visit(position, length) for every record in order; stops early when
// visit answers false or a record cannot be read. Returns the position where
// the walk ended (the count when it went through).
template <typename Visit>
uint32_t ForEachObjectRecord(ObjectList list, Visit visit) {
  uint32_t count = list.Count();
  uint32_t pos = 0;
  while (pos < count) {
    int64_t l = ObjectRecordLength(list, pos);
    if (l == 0 || !visit(pos, l)) break;
    pos += static_cast<uint32_t>(l < 0 ? -l : l);
  }
  return pos;
}

// Doubles of a store's buffer that are never part of the record area: the
// header double and the three spare doubles.
inline constexpr uint32_t kObjectListOverhead = 4;

// Payload of a live record.
struct ObjectSpan {
  uint32_t position;  // first payload double
  uint32_t length;    // payload doubles
};

// Result of a scan: the largest free record's payload (its capacity is its
// length - 2, below 0 when there is no free record; the position is then
// meaningless) and the total of all free doubles.
struct FreeScan {
  uint32_t position;
  int64_t capacity;
  uint64_t totalFree;
};

// Where an object reopened for more commands continues.
struct ReopenedObject {
  uint32_t position;  // payload start
  uint32_t length;    // payload doubles already there
  int64_t capacity;   // payload doubles available from the start
};

// Formats a buffer of `totalDoubles` as an empty store. kErrExhaustedRsrc when the buffer
// has no room for a record area.
ErrCode ObjectListInit(void* buffer, uint32_t totalDoubles);

// True when the store in a buffer of `totalDoubles` is well formed: its area
// fits the buffer, its records add up to the count exactly and no id has two
// live records. Stores read from outside are checked before use.
bool ObjectListIsValid(const void* buffer, uint32_t totalDoubles);

// Gives the store `totalDoubles` in place. Shrinking compacts first and
// answers kErrExhaustedRsrc when the live records would not leave one free double; the
// count then stays, but the records have been compacted.
ErrCode ObjectListResize(ObjectList list, uint32_t totalDoubles);

// Moves the store to `destination` (the buffers may overlap) and gives it
// `totalDoubles` there. Shrinking compacts at the source first, so nothing is
// written past the destination's size; kErrExhaustedRsrc as for a resize, with nothing
// copied.
ErrCode ObjectListCopy(void* source, void* destination, uint32_t totalDoubles);

// Slides the live records down in order and writes one free record behind
// them; returns the payload position of that free record.
uint32_t ObjectListCompact(ObjectList list);

// Merges neighbouring free records and reports the largest one. With
// compaction allowed it compacts when the free space is fragmented and the
// store was not compacted since the last delete.
FreeScan ObjectListScan(ObjectList list, bool allowCompaction);

// The free record that holds doubles [from, to) of the record area: its
// start and end. False when no single free record does.
bool FindHoldingFreeRecord(ObjectList list, uint64_t from, uint64_t to, uint32_t* start,
                           uint64_t* end);

// Turns free space into a live record of `length` payload doubles at payload
// position `position`, writing free records for what is left on either side.
// False, with nothing written, when that range does not lie inside one free
// record.
bool ObjectListCloseRecord(ObjectList list, int32_t id, uint32_t position, uint32_t length);

// The live record of an id.
bool ObjectListFind(ObjectList list, int32_t id, ObjectSpan* out);

// Frees the live record of an id and clears the compacted flag; false when
// there is none.
bool ObjectListDelete(ObjectList list, int32_t id);

// Prepares an object for more commands: grows it in place into the free
// record behind it, or moves its payload to the largest free record. The
// object's record is free afterwards; closing it again restores it. When no
// free record can take the payload it stays where it is with a capacity equal
// to its length, so the next append fails with kErrPlotOverflow and nothing is lost.
ReopenedObject ObjectListReopen(ObjectList list, int32_t id);

// The offset (in doubles from the payload start) of the command that opens
// subplot group `subplot` of an object. Groups are counted in order: the
// commands before the first command 70 form group 0, each command 70 opens
// the next. For a negative subplot, the offset behind the last command 70 (0
// without one), true whenever the object exists.
bool FindSubplotCommands(ObjectList list, int32_t id, int32_t subplot, uint32_t* offset);

// The state of the one object being written, kept in the application's
// context block.
struct ObjectWriterState {
  int32_t id;             // object being written, -1 none
  uint32_t start;         // payload start
  uint32_t capacity;      // payload doubles available
  uint32_t used;          // payload doubles written
  int32_t currentObject;  // subplot the plot natives draw into, -1 none
};
static_assert(sizeof(ObjectWriterState) == 20);

inline constexpr ObjectWriterState kNoObjectWriter{-1, 0, 0, 0, -1};

// Opens object `id` for writing. With erase the old object is deleted and the
// largest free record (compacting when fragmented) becomes the payload;
// without, the object is reopened. An object still open is closed first.
void BeginObjectListCapture(ObjectList list, ObjectWriterState* writer, int32_t id, bool erase);

// Closes the open object: its record is written when commands were added.
// kErrPlotOverflow when the commands no longer lie in free space of the store (they are
// then dropped); the writer is closed in every case.
ErrCode EndObjectListCapture(ObjectList list, ObjectWriterState* writer);

// After the store grew (ObjectListResize appends the new room as a free
// record behind the last one), gives the open object the whole free run that
// follows its start: the free records there are merged into one and its
// capacity reaches the run's end. Nothing moves. Without an open object, or
// when its commands no longer lie in free space, the writer stays as it is.
void RefreshObjectListCapture(ObjectList list, ObjectWriterState* writer);

// Scratch memory lent from the store.
struct ScratchArea {
  uint32_t position;  // first double
  size_t bytes;
};

// Lends the largest free space of the store. With no object open the store
// may be compacted first. While an object is open nothing moves: its record
// header and written commands are never part of the loan.
ScratchArea ObjectListFreeArea(ObjectList list, const ObjectWriterState& writer);

}  // namespace vke
