// Appends in place: s = [s x] for char and real double rows, and
// v(end + 1) = x for real double vectors, write the new elements into the
// variable's own block instead of copying its value out and back. The block
// grows over free neighbours, or moves to one with half as much again to
// spare, so that a run of appends copies each element a bounded number of
// times. Whatever does not fit these shapes takes the ordinary path.
#include <cstring>

#include "engine/frames/entry_items.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/value_build.hpp"
#include "engine/variables/variables_internal.hpp"

namespace vke {

namespace {

// Makes the variable's block (slot at position) hold at least `units`; the
// first `used` units are kept. False, nothing changed, when the heap has no
// room: the ordinary path then grows the area.
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
  return uint32_t(d.word) == d.size ? d.size : -1;
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

}  // namespace vke
