// Word-level access to an undo buffer, shared by the files of the undo
// buffer: the header, the sets in the set area and the heap blocks. Every
// position is an index (words of the set area, units of the heap), never an
// address that outlives a call.
#pragma once

#include "app/undo_buffer.hpp"

namespace vke::undo {

// Header byte offsets.
enum : uint32_t {
  kSize = 0,
  kDepth = 4,
  kSetAreaWords = 8,
  kSetCount = 12,
  kHeapUnits = 16,
  kHeapStart = 20,
  kCompacted = 24,
};

// Where the set area ends and the heap lies in a buffer of a given size.
struct Layout {
  uint32_t setAreaWords;
  uint32_t heapUnits;
  uint32_t heapStart;
};

inline Layout LayoutFor(uint32_t size) {
  Layout l;
  l.setAreaWords = (size - 36) / 32;
  l.heapUnits = (size - 4 * l.setAreaWords - 36) / 8;
  l.heapStart = size / 8 - l.heapUnits;
  return l;
}

// Words of a set before its variable pairs.
inline constexpr uint32_t kSetHeadWords = 5;

class Buffer {
 public:
  explicit Buffer(const void* base) : base_(static_cast<uint8_t*>(const_cast<void*>(base))) {}

  void* Base() const { return base_; }
  uint32_t Header(uint32_t offset) const { return Load<uint32_t>(base_ + offset); }
  void SetHeader(uint32_t offset, uint32_t v) const { Store<uint32_t>(base_ + offset, v); }
  uint32_t Depth() const { return Header(kDepth); }
  uint32_t SetAreaWords() const { return Header(kSetAreaWords); }
  uint32_t SetCount() const { return Header(kSetCount); }
  uint32_t HeapUnits() const { return Header(kHeapUnits); }

  // Word w of the set area.
  uint8_t* WordAt(uint32_t w) const { return base_ + kUndoHeaderBytes + 4ull * w; }
  int32_t Word(uint32_t w) const { return Load<int32_t>(WordAt(w)); }
  void SetWord(uint32_t w, int32_t v) const { Store<int32_t>(WordAt(w), v); }

  // Heap block at unit u (from HeapStart): {RefCount, Units}, then data.
  uint8_t* Unit(uint32_t u) const { return base_ + 8ull * (Header(kHeapStart) + uint64_t{u}); }
  int32_t RefCount(uint32_t u) const { return Load<int32_t>(Unit(u)); }
  uint32_t Units(uint32_t u) const { return Load<uint32_t>(Unit(u) + 4); }
  void SetBlock(uint32_t u, int32_t refCount, uint32_t units) const {
    Store<int32_t>(Unit(u), refCount);
    Store<uint32_t>(Unit(u) + 4, units);
  }

  // Word position of the set with this id, or -1.
  int64_t FindSet(int32_t id) const;
  // Word position behind the last set.
  uint32_t SetAreaUsed() const;

 private:
  uint8_t* base_;
};

// One set at a word position of the set area.
class Set {
 public:
  Set(Buffer b, uint32_t pos) : b_(b), pos_(pos) {}

  uint32_t Pos() const { return pos_; }
  uint32_t Length() const { return static_cast<uint32_t>(b_.Word(pos_)); }
  int32_t Id() const { return b_.Word(pos_ + 1); }
  uint32_t VarCount() const { return static_cast<uint32_t>(b_.Word(pos_ + 2)); }
  uint32_t Versions() const { return static_cast<uint32_t>(b_.Word(pos_ + 3)); }
  uint32_t Current() const { return static_cast<uint32_t>(b_.Word(pos_ + 4)); }
  void SetLength(uint32_t v) const { b_.SetWord(pos_, static_cast<int32_t>(v)); }
  void SetVarCount(uint32_t v) const { b_.SetWord(pos_ + 2, static_cast<int32_t>(v)); }
  void SetVersions(uint32_t v) const { b_.SetWord(pos_ + 3, static_cast<int32_t>(v)); }
  void SetCurrent(uint32_t v) const { b_.SetWord(pos_ + 4, static_cast<int32_t>(v)); }

  int32_t VarId(uint32_t i) const { return b_.Word(pos_ + kSetHeadWords + 2 * i); }
  int32_t VarFlags(uint32_t i) const { return b_.Word(pos_ + kSetHeadWords + 2 * i + 1); }
  // Index of a variable, or -1.
  int32_t FindVar(int32_t variable) const;

  // Reference of variable i in version v.
  uint32_t RefWord(uint32_t v, uint32_t i) const {
    const uint32_t n = VarCount();
    return pos_ + kSetHeadWords + 2 * n + v * n + i;
  }
  int32_t Ref(uint32_t v, uint32_t i) const { return b_.Word(RefWord(v, i)); }
  void SetRef(uint32_t v, uint32_t i, int32_t r) const { b_.SetWord(RefWord(v, i), r); }

  // Words of a set of n variables once it has its references.
  static uint32_t ReadyLength(uint32_t depth, uint32_t n) {
    return (depth + 1) * 2 * n + kSetHeadWords;
  }
  // A set gets versions and references when it is reset.
  bool IsReady() const { return Versions() > 0; }

  // The version `back` versions back, or -1 when the set has no such version.
  int64_t VersionOf(int32_t back) const;

  // Releases every value of version v and sets its references to -2.
  void ReleaseVersion(uint32_t v) const;
  // Releases version 0 and moves the later ones down one place.
  void DropOldest() const;
  // Releases the newest version; Current follows when it pointed past it.
  void DropNewest() const;

 private:
  Buffer b_;
  uint32_t pos_;
};

// Calls f(unit, refCount, units) for every heap block; false when the blocks
// do not tile the heap.
template <typename F>
bool ForEachBlock(Buffer b, F f) {
  const uint64_t heap = b.HeapUnits();
  for (uint64_t u = 0; u < heap;) {
    const uint64_t units = b.Units(static_cast<uint32_t>(u));
    if (u + 1 + units > heap) return false;
    f(static_cast<uint32_t>(u), b.RefCount(static_cast<uint32_t>(u)), static_cast<uint32_t>(units));
    u += 1 + units;
  }
  return true;
}

// The room of the heap for new blocks, each block's header counted with it:
// all its free units once compacted (the free block's own header apart),
// and the largest run of free units it has as it stands. Negative when no
// free block would be left.
int64_t FreeRoom(Buffer b);
int64_t LargestFreeRun(Buffer b);

}  // namespace vke::undo
