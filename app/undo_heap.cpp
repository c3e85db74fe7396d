// The undo buffer as a whole and its heap: laying out an empty buffer,
// growing it in place, checking a buffer read from outside, and allocating,
// releasing and compacting the heap blocks that hold the values.
#include <cstring>
#include <vector>

#include "app/errors.hpp"
#include "app/undo_layout.hpp"

namespace vke {

namespace undo {

namespace {

void WriteLayout(Buffer b, uint32_t size, const Layout& l) {
  b.SetHeader(kSize, size);
  b.SetHeader(kSetAreaWords, l.setAreaWords);
  b.SetHeader(kHeapUnits, l.heapUnits);
  b.SetHeader(kHeapStart, l.heapStart);
}

// Calls f(set) for every set, stopping at one that does not lie inside the
// set area; returns the word position behind the last set visited.
template <typename F>
uint32_t ForEachSet(Buffer b, F f) {
  uint32_t pos = 0;
  const uint32_t area = b.SetAreaWords();
  for (uint32_t n = 0; n < b.SetCount(); n++) {
    if (pos + uint64_t{kSetHeadWords} > area) break;
    const uint32_t length = static_cast<uint32_t>(b.Word(pos));
    if (length < kSetHeadWords || pos + uint64_t{length} > area) break;
    if (!f(Set(b, pos))) break;
    pos += length;
  }
  return pos;
}

// Calls f(word) for the word of every reference of every version of every
// set that has its references.
template <typename F>
void ForEachReference(Buffer b, F f) {
  const uint32_t depth = b.Depth();
  ForEachSet(b, [&](Set s) {
    if (!s.IsReady()) return true;
    for (uint32_t v = 0; v < depth; v++)
      for (uint32_t i = 0; i < s.VarCount(); i++) f(s.RefWord(v, i));
    return true;
  });
}

// Takes the first free block larger than the request, merging the free
// blocks behind each free block first.
bool TakeFreeBlock(Buffer b, uint32_t units, int32_t* reference) {
  const uint64_t heap = b.HeapUnits();
  for (uint64_t u = 0; u < heap;) {
    uint64_t size = b.Units(static_cast<uint32_t>(u));
    if (u + 1 + size > heap) return false;
    if (b.RefCount(static_cast<uint32_t>(u)) <= 0) {
      for (uint64_t next = u + 1 + size; next < heap; next = u + 1 + size) {
        const uint64_t more = b.Units(static_cast<uint32_t>(next));
        if (b.RefCount(static_cast<uint32_t>(next)) > 0 || next + 1 + more > heap) break;
        size += more + 1;
      }
      b.SetBlock(static_cast<uint32_t>(u), 0, static_cast<uint32_t>(size));
      if (size >= uint64_t{units} + 1) {
        b.SetBlock(static_cast<uint32_t>(u), 1, units);
        b.SetBlock(static_cast<uint32_t>(u + 1 + units), 0,
                   static_cast<uint32_t>(size - units - 1));
        *reference = static_cast<int32_t>(u);
        return true;
      }
    }
    u += 1 + size;
  }
  return false;
}

bool SetsAreSound(Buffer b) {
  const uint32_t depth = b.Depth();
  uint32_t visited = 0;
  bool sound = true;
  ForEachSet(b, [&](Set s) {
    visited++;
    const uint64_t n = s.VarCount();
    const uint64_t length = s.Length();
    if (s.IsReady()) {
      sound = length == (uint64_t{depth} + 1) * 2 * n + kSetHeadWords && s.Versions() <= depth &&
              s.Current() < s.Versions();
    } else {
      sound = length == kSetHeadWords + 2 * n && s.Current() == 0;
    }
    return sound;
  });
  return sound && visited == b.SetCount();
}

}  // namespace

int64_t FreeRoom(Buffer b) {
  uint64_t live = 0;
  ForEachBlock(b, [&](uint32_t, int32_t refCount, uint32_t units) {
    if (refCount > 0) live += uint64_t{units} + 1;
  });
  return int64_t{b.HeapUnits()} - static_cast<int64_t>(live) - 1;
}

int64_t LargestFreeRun(Buffer b) {
  int64_t largest = -1, run = -1;
  ForEachBlock(b, [&](uint32_t, int32_t refCount, uint32_t units) {
    if (refCount > 0) {
      run = -1;
      return;
    }
    // Free blocks side by side merge: the later ones' headers become room.
    run += int64_t{units} + 1;
    if (run > largest) largest = run;
  });
  return largest;
}

int64_t Buffer::FindSet(int32_t id) const {
  int64_t found = -1;
  ForEachSet(*this, [&](Set s) {
    if (s.Id() == id) found = s.Pos();
    return found < 0;
  });
  return found;
}

uint32_t Buffer::SetAreaUsed() const {
  return ForEachSet(*this, [](Set) { return true; });
}

}  // namespace undo

using undo::Buffer;

ErrCode InitUndoBuffer(void* area, uint32_t size) {
  if (!area || size < kUndoMinBytes) return kKvTooSmallUndoBuf;
  Buffer b(area);
  const undo::Layout l = undo::LayoutFor(size);
  undo::WriteLayout(b, size, l);
  b.SetHeader(undo::kDepth, kUndoDepth);
  b.SetHeader(undo::kSetCount, 0);
  b.SetHeader(undo::kCompacted, 1);
  b.SetBlock(0, 0, l.heapUnits - 1);
  return kOk;
}

ErrCode RelocateUndoBuffer(void* buffer, uint32_t newSize) {
  Buffer b(buffer);
  const uint32_t size = b.Header(undo::kSize);
  if (newSize < size) return kKvTooSmallUndoBuf;
  if (newSize == size) return kOk;
  const undo::Layout l = undo::LayoutFor(newSize);
  const uint32_t oldUnits = b.HeapUnits();
  if (l.heapUnits < oldUnits || b.SetAreaUsed() > l.setAreaWords) return kKvTooSmallUndoBuf;
  auto* base = static_cast<uint8_t*>(buffer);
  std::memmove(base + 8ull * l.heapStart, base + 8ull * b.Header(undo::kHeapStart),
               8ull * oldUnits);
  undo::WriteLayout(b, newSize, l);
  if (l.heapUnits > oldUnits) b.SetBlock(oldUnits, 0, l.heapUnits - oldUnits - 1);
  return kOk;
}

bool UndoBufferIsValid(const void* buffer, uint32_t size) {
  if (!buffer || size < kUndoMinBytes) return false;
  Buffer b(buffer);
  const uint64_t stored = b.Header(undo::kSize);
  const uint64_t setArea = b.SetAreaWords();
  const uint64_t heapStart = b.Header(undo::kHeapStart);
  const uint64_t heapUnits = b.HeapUnits();
  if (stored < kUndoMinBytes || stored > size || b.Depth() < 2 || b.Depth() > 64) return false;
  if (kUndoHeaderBytes + 4 * setArea > 8 * heapStart || heapUnits < 1 ||
      8 * (heapStart + heapUnits) > stored)
    return false;
  if (!undo::SetsAreSound(b)) return false;

  // Every reference names a live block that counts it.
  std::vector<int64_t> counted(heapUnits, -1);  // -1: no block starts here
  if (!undo::ForEachBlock(b, [&](uint32_t u, int32_t refCount, uint32_t) {
        counted[u] = refCount > 0 ? 0 : -2;  // -2: a free block
      }))
    return false;
  bool sound = true;
  undo::ForEachReference(b, [&](uint32_t word) {
    const int32_t r = b.Word(word);
    if (r < 0) return;
    if (static_cast<uint64_t>(r) >= heapUnits || counted[r] < 0) {
      sound = false;
      return;
    }
    counted[r]++;
  });
  if (!sound) return false;
  return undo::ForEachBlock(b,
                            [&](uint32_t u, int32_t refCount, uint32_t) {
                              if (refCount > 0 && counted[u] > refCount) sound = false;
                            }) &&
         sound;
}

ErrCode AllocUndoBlock(void* buffer, uint32_t units, int32_t* reference) {
  if (units == 0) {
    *reference = kUndoNoValue;
    return kOk;
  }
  Buffer b(buffer);
  if (undo::TakeFreeBlock(b, units, reference)) return kOk;
  if (b.Header(undo::kCompacted)) return kKvVarTooLargeForUndo;
  CompactUndoHeap(buffer);
  if (undo::TakeFreeBlock(b, units, reference)) return kOk;
  return kKvVarTooLargeForUndo;
}

void ReleaseUndoBlock(void* buffer, int32_t reference) {
  Buffer b(buffer);
  if (reference < 0 || static_cast<uint32_t>(reference) >= b.HeapUnits()) return;
  const uint32_t u = static_cast<uint32_t>(reference);
  b.SetBlock(u, b.RefCount(u) - 1, b.Units(u));
  b.SetHeader(undo::kCompacted, 0);
}

void CompactUndoHeap(void* buffer) {
  Buffer b(buffer);
  uint32_t dest = 0;
  undo::ForEachBlock(b, [&](uint32_t u, int32_t refCount, uint32_t units) {
    if (refCount <= 0) return;
    if (u != dest) {
      std::memmove(b.Unit(dest), b.Unit(u), 8ull * (units + 1));
      const auto from = static_cast<int32_t>(u), to = static_cast<int32_t>(dest);
      undo::ForEachReference(b, [&](uint32_t word) {
        if (b.Word(word) == from) b.SetWord(word, to);
      });
    }
    dest += units + 1;
  });
  if (dest < b.HeapUnits()) b.SetBlock(dest, 0, b.HeapUnits() - dest - 1);
  b.SetHeader(undo::kCompacted, 1);
}

}  // namespace vke
