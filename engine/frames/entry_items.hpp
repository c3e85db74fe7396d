// Value entries kept as items: the header a variable block and a list item
// start with, and copying an entry into such an item and back onto the stack.
#pragma once

#include "engine/values/values.hpp"

namespace vke {

// A variable block and a list item both start with a 16-byte header: the
// three descriptor words and one more word (0, or an item's field name).
inline constexpr uint32_t kItemHeaderUnits = 2;
inline constexpr uint32_t kItemHeaderBytes = 16;

// Writes the entry at the depth as {descriptor, 0, data}; gives the bytes.
VKE_HOT_INLINE uint32_t WriteEntryAsItem(EngineContext* ctx, int32_t depth, uint8_t* dst) {
  const ValueDescriptor d = *DescAt(ctx, depth);
  Store(dst, d);
  Store<int32_t>(dst + 12, 0);
  CopyUnits(dst + kItemHeaderBytes, DataAt(ctx, depth), d.size);
  return kItemHeaderBytes + 8 * d.size;
}
// Pushes a copy of the value behind such a header.
VKE_HOT_INLINE ErrCode PushItem(EngineContext* ctx, const uint8_t* item) {
  const ValueDescriptor d = Load<ValueDescriptor>(item);
  uint8_t* data;
  ErrCode e = PushEntry(ctx, d.flags, d.size, d.word, false, &data);
  if (e) return e;
  CopyUnits(data, item + kItemHeaderBytes, d.size);
  return kOk;
}

}  // namespace vke
