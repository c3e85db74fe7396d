// Appends in place: s = [s x] for char and real double rows,
// v(end + 1) = x for real double vectors and m(end + 1, :) = row for
// matrices, write the new elements into the variable's own block instead of
// copying its value out and back. The block
// grows over free neighbours, or moves to one with half as much again to
// spare, so that a run of appends copies each element a bounded number of
// times. Whatever does not fit these shapes takes the ordinary path.
#include <cstring>

#include "engine/fast_forms.hpp"
#include "engine/frames/entry_items.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/value_build.hpp"
#include "engine/variables/variables_internal.hpp"

namespace vke {

// The block grows over free neighbours, or moves to one with half as much
// again to spare.
bool EnsureBlockRoom(EngineContext* ctx, uint32_t position, int32_t* block, uint32_t used,
                     uint32_t units) {
  if (BlockUnits(ctx, *block) >= units || ExtendEngineBlock(ctx, *block, units)) return true;
  const uint64_t spare = uint64_t{units} + units / 2;
  int32_t grown;
  if ((spare > kBlockSizeMask || AllocEngineBlock(ctx, uint32_t(spare), &grown)) &&
      AllocEngineBlock(ctx, units, &grown))
    return false;
  std::memcpy(BlockData(ctx, grown), BlockData(ctx, *block), 8ull * used);
  SetSlotValueBlock(ctx, position, grown);
  FreeEngineBlock(ctx, *block);
  *block = grown;
  return true;
}

namespace {

// A char row (1 x n, or 0 x 0) at a value's data: its length, else -1.
int64_t CharRowLength(const ValueDescriptor& d, const uint8_t* data) {
  if (d.flags != kFlagTyped || d.word != kKindChar || d.size < 2) return -1;
  if (HeaderCode(data) != kCodeUInt16 || HeaderNdims(data) != 2) return -1;
  const uint32_t rows = HeaderDim(data, 0), cols = HeaderDim(data, 1);
  if (rows == 1) return cols;
  return rows == 0 && cols == 0 ? 0 : -1;
}

// A real double row (1 x n, or 0 x 0): its length, else -1.
int64_t DoubleRowLength(const ValueDescriptor& d) {
  if (d.flags != 0) return -1;
  if (d.size == 0) return d.word == 0 ? 0 : -1;
  return uint32_t(d.word) == d.size ? int64_t{d.size} : -1;
}

}  // namespace

bool AppendPieceOfVariable(EngineContext* ctx, int32_t n, AppendPiece* piece) {
  uint32_t position;
  if (FindVariableSlot(ctx, n, &position)) return false;
  const int32_t block = SlotValueBlock(ctx, position);
  if (block <= 0) return false;
  const uint8_t* item = BlockData(ctx, block);
  const ValueDescriptor d = Load<ValueDescriptor>(item);
  const uint8_t* data = item + kItemHeaderBytes;
  if (const int64_t chars = CharRowLength(d, data); chars > 0) {
    piece->chars = reinterpret_cast<const uint16_t*>(data + 16);
    piece->count = chars;
    return true;
  }
  if (const int64_t doubles = DoubleRowLength(d); doubles > 0) {
    piece->doubles = reinterpret_cast<const double*>(data);
    piece->count = doubles;
    return true;
  }
  return false;
}

bool AppendToVariable(EngineContext* ctx, int32_t n, const AppendPiece& piece) {
  if (piece.count <= 0) return false;
  uint32_t position;
  if (FindVariableSlot(ctx, n, &position)) return false;
  int32_t block = SlotValueBlock(ctx, position);
  if (block <= 0) return false;
  ValueDescriptor d = Load<ValueDescriptor>(BlockData(ctx, block));
  const bool chars = piece.bytes || piece.chars;
  const int64_t had =
      chars ? CharRowLength(d, BlockData(ctx, block) + kItemHeaderBytes) : DoubleRowLength(d);
  if (had < 0) return false;
  const int64_t count = had + piece.count;
  const uint64_t size = chars ? TypedArrayUnits(2, 2ull * count) : uint64_t(count);
  if (count > kMaxTypedElements || size + kItemHeaderUnits > kBlockSizeMask) return false;
  const uint32_t used = kItemHeaderUnits + d.size;
  if (!EnsureBlockRoom(ctx, position, &block, used, uint32_t(size) + kItemHeaderUnits))
    return false;
  uint8_t* item = BlockData(ctx, block);
  uint8_t* data = item + kItemHeaderBytes;
  if (chars) {
    Store<uint32_t>(data + 8, 1);
    Store<uint32_t>(data + 12, uint32_t(count));
    auto* out = reinterpret_cast<uint16_t*>(data + 16) + had;
    if (piece.bytes) {
      for (int64_t i = 0; i < piece.count; i++) out[i] = piece.bytes[i];
    } else {
      std::memcpy(out, piece.chars, 2ull * piece.count);
    }
    // The padding of the last unit stays zero, as a new row has it.
    const uint64_t filled = 16 + 2ull * count;
    std::memset(data + filled, 0, 8 * size - filled);
  } else {
    auto* out = reinterpret_cast<double*>(data) + had;
    if (piece.doubles) {
      std::memcpy(out, piece.doubles, 8ull * piece.count);
    } else {
      *out = piece.scalar;
    }
    d.word = int32_t(count);
  }
  d.size = uint32_t(size);
  Store(item, d);
  return true;
}

bool AppendElementInPlace(EngineContext* ctx, uint32_t slot, int32_t block, int64_t k, double value,
                          bool* full) {
  *full = false;
  uint8_t* item = BlockData(ctx, block);
  ValueDescriptor d = Load<ValueDescriptor>(item);
  // A row (or 0 x 0, or one element) grows along its row, a column along
  // its column.
  const bool column = d.flags == 0 && d.word == 1 && d.size > 1;
  if (d.flags != 0 || k != d.size || (!column && DoubleRowLength(d) < 0)) return false;
  if (d.size + 1 > uint32_t(kMaxTypedElements)) return false;
  int32_t grown = block;
  if (!EnsureBlockRoom(ctx, slot, &grown, kItemHeaderUnits + d.size,
                       kItemHeaderUnits + d.size + 1)) {
    *full = true;
    return false;
  }
  item = BlockData(ctx, grown);
  Store<double>(item + kItemHeaderBytes + 8ull * d.size, value);
  d.size += 1;
  if (!column) d.word = int32_t(d.size);
  Store(item, d);
  return true;
}

bool AppendRowInPlace(EngineContext* ctx, uint32_t slot, int32_t block, int64_t row,
                      const ValueDescriptor& y, const uint8_t* yData, bool* full) {
  *full = false;
  uint8_t* item = BlockData(ctx, block);
  ValueDescriptor d = Load<ValueDescriptor>(item);
  if (d.flags == 0) {
    // Real doubles: the row is word elements behind the others.
    if (d.word < 1 || d.size % uint32_t(d.word) != 0 || row != d.size / d.word) return false;
    if (y.flags != 0 || y.word != d.word || y.size != uint32_t(d.word)) return false;
    if (uint64_t{d.size} + y.size > uint64_t(kMaxTypedElements)) return false;
    if (!EnsureBlockRoom(ctx, slot, &block, kItemHeaderUnits + d.size,
                         kItemHeaderUnits + d.size + y.size)) {
      *full = true;
      return false;
    }
    item = BlockData(ctx, block);
    std::memcpy(item + kItemHeaderBytes + 8ull * d.size, yData, 8ull * y.size);
    d.size += y.size;
    Store(item, d);
    return true;
  }
  // Typed, char and logical matrices: a 1 x cols row of the same element
  // code.
  if (d.flags != kFlagTyped || d.word < kKindArray || d.word > kKindLogical) return false;
  if (y.flags != d.flags || y.word != d.word) return false;
  const uint8_t* data = item + kItemHeaderBytes;
  const uint32_t code = HeaderCode(data);
  if (code == kCodeDoubleComplex || code == kCodeSingleComplex || HeaderNdims(data) != 2 ||
      HeaderCode(yData) != code || HeaderNdims(yData) != 2 || HeaderDim(yData, 0) != 1)
    return false;
  const uint32_t rows = HeaderDim(data, 0), cols = HeaderDim(data, 1);
  if (cols < 1 || row != rows || HeaderDim(yData, 1) != cols) return false;
  const uint64_t bytes = uint64_t(ElementBytesOfCode(code)) * cols;
  const uint64_t count = (uint64_t{rows} + 1) * cols;
  const uint64_t size = TypedArrayUnits(2, bytes * (rows + 1));
  if (count > uint64_t(kMaxTypedElements) || size + kItemHeaderUnits > kBlockSizeMask) return false;
  if (!EnsureBlockRoom(ctx, slot, &block, kItemHeaderUnits + d.size,
                       kItemHeaderUnits + uint32_t(size))) {
    *full = true;
    return false;
  }
  item = BlockData(ctx, block);
  uint8_t* elements = item + kItemHeaderBytes + 8 * HeaderUnits(2);
  std::memcpy(elements + bytes * rows, yData + 8 * HeaderUnits(2), bytes);
  // The padding of the last unit stays zero, as a new matrix has it.
  const uint64_t filled = bytes * (rows + 1);
  std::memset(elements + filled, 0, 8 * (size - HeaderUnits(2)) - filled);
  Store<uint32_t>(item + kItemHeaderBytes + 8, rows + 1);
  d.size = uint32_t(size);
  Store(item, d);
  return true;
}

// A value appended to in place keeps its element count and where its last
// element starts in the last units of its block, behind the room to spare,
// which no other value's data reaches: a block with no more room than its
// value needs has none, a shortened value gives its room back (SplitBlock)
// and a moved one takes a new block. What is kept holds while the block's
// index and the value's size are those it was written with.
constexpr uint32_t kKeptCountTag = 0x4c495354;

namespace {

uint8_t* KeptCountAt(EngineContext* ctx, int32_t block, uint32_t units) {
  const uint32_t room = BlockUnits(ctx, block);
  if (uint64_t{room} < uint64_t{units} + kItemHeaderUnits + kKeptCountUnits) return nullptr;
  return BlockData(ctx, block) + 8ull * (room - kKeptCountUnits);
}

}  // namespace

bool ReadKeptCount(EngineContext* ctx, int32_t block, KeptCount* kept) {
  const uint32_t units = Load<ValueDescriptor>(BlockData(ctx, block)).size;
  const uint8_t* at = FastFormsOn() ? KeptCountAt(ctx, block, units) : nullptr;
  if (!at) return false;
  *kept = Load<KeptCount>(at);
  return kept->tag == kKeptCountTag && kept->block == block && kept->units == units;
}

void WriteKeptCount(EngineContext* ctx, int32_t block, KeptCount kept) {
  kept.tag = kKeptCountTag;
  kept.block = block;
  kept.units = Load<ValueDescriptor>(BlockData(ctx, block)).size;
  if (uint8_t* at = KeptCountAt(ctx, block, kept.units)) Store(at, kept);
}

int64_t VariableListItems(EngineContext* ctx, int32_t block) {
  KeptCount kept;
  if (ReadKeptCount(ctx, block, &kept)) return kept.items;
  const uint8_t* item = BlockData(ctx, block);
  const ValueDescriptor d = Load<ValueDescriptor>(item);
  const uint8_t* data = item + kItemHeaderBytes;
  const uint64_t bytes = 8ull * d.size;
  int64_t items = 0;
  for (uint64_t at = 0; at + 16 <= bytes; at += ItemBytes(data + at)) items++;
  return items;
}

namespace {

// The words of the dimension item of a 1 x n cell or structure array (n > 0)
// at a value's data; null for other shapes.
int32_t* RowDimsWords(const ValueDescriptor& d, uint8_t* data) {
  if (d.size < kItemHeaderUnits) return nullptr;
  int32_t length;
  auto* words = reinterpret_cast<int32_t*>(const_cast<uint8_t*>(DimsWords(data, &length)));
  const int32_t wanted = d.word == kKindStructArray ? 3 : 2;
  if (length != wanted || words[0] != 1 || words[1] < 1) return nullptr;
  return words;
}

}  // namespace

bool AppendElement(EngineContext* ctx, int32_t refDepth, Designated* t, int64_t linear,
                   int32_t fieldId, const uint8_t* given, uint32_t* offset, bool* full) {
  *full = false;
  const ValueDescriptor d = t->desc;
  if (t->ref.offset != 0 || t->ref.created < 0 || t->ref.created > 1 || !IsStructured(d) ||
      !FastFormsOn())
    return false;
  int32_t span = 1;
  const bool list = d.word == kKindList;
  if (list) {
    if (linear != VariableListItems(ctx, t->ref.block)) return false;
  } else if (d.word == kKindCell || d.word == kKindStructArray) {
    const int32_t* words = RowDimsWords(d, t->Data(ctx));
    if (!words || linear != words[1] || words[1] == INT32_MAX) return false;
    if (d.word == kKindStructArray) span = words[2];
    if (span < 1) return false;
    // A field the elements lack is added to all of them: not an append.
    bool named = fieldId == 0;
    const uint8_t* field = t->Data(ctx) + ItemBytes(t->Data(ctx));
    for (int32_t f = 0; f < span; f++, field += ItemBytes(field))
      named = named || Load<int32_t>(field + 12) == fieldId;
    if (!named) return false;
  } else {
    return false;
  }
  if (given && d.word == kKindStructArray) return false;
  const uint64_t units = uint64_t{d.size} + (given ? ItemBytes(given) / 8 : 2ull * span);
  if (units + kItemHeaderUnits > kBlockSizeMask || d.size > uint32_t(INT32_MAX - kAppendedFrom))
    return false;
  int32_t block = t->ref.block;
  const uint32_t room = uint32_t(units) + kItemHeaderUnits + kKeptCountUnits;
  if (!EnsureBlockRoom(ctx, uint32_t(t->ref.slot), &block, kItemHeaderUnits + d.size, room)) {
    *full = true;
    return false;
  }
  uint8_t* data = BlockData(ctx, block) + kItemHeaderBytes;
  uint8_t* added = data + 8ull * d.size;
  if (given) {
    std::memcpy(added, given, 8ull * (units - d.size));
    Store<int32_t>(added + 12, 0);
  } else {
    std::memset(added, 0, 16ull * span);
  }
  if (d.word != kKindList) {
    int32_t* words = RowDimsWords(d, data);
    words[1]++;
    // The fields of a structure array's new element are named as the
    // first element's.
    const uint8_t* field = data + ItemBytes(data);
    for (int32_t f = 0; d.word == kKindStructArray && f < span; f++, field += ItemBytes(field))
      Store<int32_t>(added + 16ull * f + 12, Load<int32_t>(field + 12));
  }
  Store(BlockData(ctx, block), ValueDescriptor{d.flags, uint32_t(units), d.word});
  KeptCount kept{};
  kept.items = int32_t(linear + 1);
  kept.last = kItemHeaderUnits + d.size;
  WriteKeptCount(ctx, block, kept);
  NoteAppendedInPlace(ctx, refDepth, t, block, d.size);
  *offset = 8 * d.size;
  if (fieldId != 0 && d.word == kKindStructArray)
    *offset = uint32_t(FindItemByName(added, 16u * span, fieldId) - data);
  return true;
}

bool AppendGivenElement(EngineContext* ctx, int32_t refDepth, Designated* t, int64_t linear,
                        const ValueDescriptor& y, const uint8_t* yData, bool* full) {
  *full = false;
  if (!IsStructured(y) || y.size < kItemHeaderUnits) return false;
  const uint8_t* given = yData;
  if (y.word == kKindCell) {
    const int32_t* words = RowDimsWords(y, const_cast<uint8_t*>(yData));
    if (!words || words[1] != 1) return false;
    given += ItemBytes(yData);
  } else if (y.word != kKindList) {
    return false;
  }
  if (given + kItemHeaderBytes > yData + 8ull * y.size ||
      given + ItemBytes(given) != yData + 8ull * y.size)
    return false;
  uint32_t offset;
  return AppendElement(ctx, refDepth, t, linear, 0, given, &offset, full);
}

void GiveBackSpareRoom(EngineContext* ctx, int32_t block) {
  const ValueDescriptor d = Load<ValueDescriptor>(BlockData(ctx, block));
  const uint32_t units = BlockUnits(ctx, block);
  if ((d.flags & kFlagReference) || uint64_t{d.size} + kItemHeaderUnits >= units) return;
  const uint32_t kept = d.size + kItemHeaderUnits;
  SplitBlock(ctx, block, kept);
  // No stale element or kept count stays behind in the free block.
  std::memset(BlockData(ctx, block) + 8ull * (kept + 1), 0, 8ull * (units - kept - 1));
}

void TakeBackAppend(EngineContext* ctx, int32_t block, uint32_t units) {
  uint8_t* item = BlockData(ctx, block);
  ValueDescriptor d = Load<ValueDescriptor>(item);
  if (d.word != kKindList) {
    int32_t* words = RowDimsWords(d, item + kItemHeaderBytes);
    if (words) words[1]--;
  }
  d.size = units;
  Store(item, d);
  SplitBlock(ctx, block, units + kItemHeaderUnits);
}

}  // namespace vke
