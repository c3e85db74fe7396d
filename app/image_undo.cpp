// The undo buffer in an image: its header and set area as one record of H
// bytes, its heap as a second record of U units placed at unit (4W + 28) / 8
// of the area, W = (H - 36) / 4. Loading moves the heap to the end of the
// area; saving compacts a copy of the heap and lays the records out so that
// the heap record never covers a set word.
#include "app/image_undo.hpp"

#include <cstring>

#include "app/errors.hpp"
#include "app/image.hpp"
#include "app/undo_layout.hpp"
#include "engine/values/value_shape.hpp"

namespace vke {

namespace {

// Bytes of the undo header record besides the set area: the header and two
// words behind the set area.
constexpr uint32_t kUndoHeadExtraBytes = 36;

// Unit where the heap record goes for a set area of w words.
uint32_t HeapRecordUnit(uint32_t w) {
  return static_cast<uint32_t>((4ull * w + kUndoHeaderBytes) / 8);
}

// A whole number from 0 to limit.
bool IsCount(double x, double limit) {
  return x >= 0 && x <= limit && x == static_cast<double>(static_cast<uint64_t>(x));
}

// A descriptor's third word pushed as it stands: a whole number in the
// range of its type (any other number is refused when the value is pushed).
bool IsDescriptorWord(double x) {
  return x >= INT32_MIN && x <= INT32_MAX && x == static_cast<double>(static_cast<int64_t>(x));
}

// Every value holds a whole stack entry: its descriptor's flags word and
// size as whole numbers, then the data units the size gives, in the shape
// the descriptor tells when its third word is one that can be pushed.
bool ValuesAreWhole(undo::Buffer b) {
  bool whole = true;
  undo::ForEachBlock(b, [&](uint32_t u, int32_t refCount, uint32_t units) {
    if (refCount <= 0 || !whole) return;
    const uint8_t* entry = b.Unit(u) + 8;
    const double flags = Load<double>(entry), size = Load<double>(entry + 8),
                 word = Load<double>(entry + 16);
    whole = units >= 3 && IsCount(flags, UINT32_MAX) && IsCount(size, units - 3);
    if (whole && IsDescriptorWord(word)) {
      const ValueDescriptor d{static_cast<uint32_t>(flags), static_cast<uint32_t>(size),
                              static_cast<int32_t>(word)};
      whole = ValueShapeIsSound(d, entry + 24);
    }
  });
  return whole;
}

}  // namespace

ErrCode LoadUndoBuffer(void* area, uint32_t headBytes, uint32_t heapUnits, ImageReadFn reader,
                       uintptr_t argument) {
  undo::Buffer b(area);
  const uint32_t size = b.Header(undo::kSize);
  if (headBytes < kUndoHeadExtraBytes || heapUnits == 0) return kErrInit;
  // Both records must fit, and so must the set area and the heap once the
  // heap moved to the end of the area.
  const uint32_t w = (headBytes - kUndoHeadExtraBytes) / 4;
  const undo::Layout moved = undo::LayoutFor(size);
  if (uint64_t{headBytes} / 8 + heapUnits + 1 > size / 8 || w > moved.setAreaWords ||
      heapUnits > moved.heapUnits)
    return kKvVarTooLargeForUndo;
  if (!reader) return kOk;

  if (!reader(area, headBytes, argument)) return kErrInit;
  const uint32_t heapStart = HeapRecordUnit(w);
  // The header must describe the heap record, which must leave the header
  // whole; the set area ends where the heap record begins.
  if (b.HeapUnits() != heapUnits || 8ull * heapStart < kUndoHeaderBytes) return kErrInit;
  const uint32_t setArea = (8 * heapStart - kUndoHeaderBytes) / 4;
  const uint32_t readWords = setArea < w ? setArea : w;
  b.SetHeader(undo::kSetAreaWords, readWords);
  b.SetHeader(undo::kHeapStart, heapStart);
  if (!reader(b.Unit(0), 8 * heapUnits, argument)) return kErrInit;
  b.SetHeader(undo::kCompacted, 1);
  // The heap's blocks must tile the heap record before it grows to the
  // area: a block the record claims beyond its units would take the grown
  // room, whose memory the image never wrote, for blocks.
  if (!undo::ForEachBlock(b, [](uint32_t, int32_t, uint32_t) {}) ||
      RelocateUndoBuffer(area, size) != kOk)
    return kErrInit;
  // The set words the records did not give (those the area grew by) start
  // cleared: a set the counts claim beyond the words read is then no set,
  // and the buffer is refused rather than read from memory never written.
  if (b.SetAreaWords() > readWords)
    std::memset(b.WordAt(readWords), 0, 4ull * (b.SetAreaWords() - readWords));
  if (!UndoBufferIsValid(area, size) || !ValuesAreWhole(b)) return kErrInit;
  return kOk;
}

void MakeUndoImage(const void* buffer, UndoImage* out) {
  const uint32_t size = undo::Buffer(buffer).Header(undo::kSize);
  std::vector<uint8_t> copy(static_cast<const uint8_t*>(buffer),
                            static_cast<const uint8_t*>(buffer) + size);
  CompactUndoHeap(copy.data());
  const undo::Buffer b(copy.data());

  // At least one set-area word more than the sets use: with an even count
  // the heap record covers the last word.
  const uint32_t used = b.SetAreaUsed();
  uint32_t w = used + kUndoSetReserveWords;
  if (w > b.SetAreaWords()) w = b.SetAreaWords();
  if (w <= used) w = used + 1;
  const uint32_t heapStart = HeapRecordUnit(w);

  // The live blocks, which compaction left first, then a free block of no
  // units.
  uint32_t live = 0;
  undo::ForEachBlock(b, [&](uint32_t, int32_t refCount, uint32_t units) {
    if (refCount > 0) live += 1 + units;
  });
  const uint32_t units = live + 1;

  out->head.assign(kUndoHeadExtraBytes + 4ull * w, 0);
  std::memcpy(out->head.data(), copy.data(), kUndoHeaderBytes + 4ull * used);
  undo::Buffer head(out->head.data());
  head.SetHeader(undo::kSize, 8 * (heapStart + units));
  head.SetHeader(undo::kSetAreaWords, w);
  head.SetHeader(undo::kHeapUnits, units);
  head.SetHeader(undo::kHeapStart, heapStart);
  head.SetHeader(undo::kCompacted, 1);
  out->heap.assign(8ull * units, 0);
  std::memcpy(out->heap.data(), b.Unit(0), 8ull * live);
  out->capacity = size;
}

}  // namespace vke
