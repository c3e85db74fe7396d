// Comma lists among an instruction's operands: their expansion into their
// items where the operands lie, and the lists made again from the items, so
// that an instruction that runs out of room after the expansion leaves its
// operands as it found them and runs again once the area has grown.
#include "engine/frames/entry_items.hpp"
#include "engine/loop/loop_internal.hpp"
#include "engine/memory_retry.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

namespace {

// Whether the list's items, written back as WriteEntryAsItem writes them,
// give its data again byte for byte: they fill it from its start and carry
// no field name.
bool RemadeExactly(const ValueDescriptor& d, const uint8_t* data, const StructuredLayout& l) {
  if (l.first != 0) return false;
  uint64_t at = 0;
  for (int32_t k = 0; k < l.elements; k++) {
    if (at + kItemHeaderBytes > 8ull * d.size || Load<int32_t>(data + at + 12) != 0) return false;
    at += ItemBytes(data + at);
  }
  return at == 8ull * d.size;
}

}  // namespace

ErrCode CommaListExpansion::Expand(EngineContext* ctx, int32_t n, int32_t* count) {
  lists_.clear();
  exact_ = true;
  if (n < 0 || n > GetFrameEntryCount(ctx)) return kErrIllegal;
  int32_t above = 0;  // entries already expanded above the next operand
  for (int32_t i = 0; i < n; i++) {
    const ValueDescriptor d = *DescAt(ctx, above);
    StructuredLayout l;
    if (!IsStructured(d) || d.word != kKindCommaList ||
        !ReadStructuredLayout(d, DataAt(ctx, above), &l)) {
      above++;
      continue;
    }
    const bool exact = RemadeExactly(d, DataAt(ctx, above), l);
    uint32_t at = 0;
    for (int32_t k = 0; k < l.elements; k++) {
      const uint8_t* item = DataAt(ctx, above + k) + at;
      at += ItemBytes(item);
      if (const ErrCode e = PushItem(ctx, item)) {
        // The items pushed go, and the lists expanded above come back: the
        // operands stand as they came.
        Drop(ctx, k);
        if (!Undo(ctx)) MarkOperandsChanged(ctx);
        return e;
      }
    }
    // The items go below the entries expanded before; the list goes.
    ErrCode e = RollStackEntries(ctx, above + l.elements, above);
    if (!e) e = DropStackEntries(ctx, above + l.elements, 1);
    if (e) return e;
    lists_.push_back({d, above, l.elements});
    exact_ = exact_ && exact;
    above += l.elements;
  }
  *count = above;
  return kOk;
}

bool CommaListExpansion::Undo(EngineContext* ctx) {
  if (!exact_) return false;
  // The deepest list first: each is made in the room its expansion took at
  // most, which was there, so that no request for room is made.
  const RoomRequestsPaused inTheRoomItLeft;
  for (size_t r = lists_.size(); r-- > 0;) {
    const List& list = lists_[r];
    uint8_t* data;
    if (PushEntry(ctx, list.desc.flags, list.desc.size, list.desc.word, false, &data)) return false;
    for (int32_t k = list.items; k > 0; k--) data += WriteEntryAsItem(ctx, list.above + k, data);
    if (RollStackEntries(ctx, list.above + 1, list.above) ||
        DropStackEntries(ctx, list.above + 1, list.items))
      return false;
  }
  lists_.clear();
  return true;
}

}  // namespace vke
