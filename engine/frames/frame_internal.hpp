// Helpers shared by the frame operations: the value entries above a frame,
// values moved into and out of variable blocks, the header of a frame's
// function, and popping a frame.
#pragma once

#include "engine/frames/frames.hpp"
#include "engine/frames/function_block.hpp"
#include "engine/values/values.hpp"

namespace vke {

// A variable block and a list item both start with a 16-byte header: the
// three descriptor words and one more word (0, or an item's field name).
inline constexpr uint32_t kItemHeaderUnits = 2;
inline constexpr uint32_t kItemHeaderBytes = 16;
// Frame word 21 of an inline function whose header lies at data-stack byte
// offset b is kInlineHeaderBase - b / 2.
inline constexpr int32_t kInlineHeaderBase = -2;

// Word index of the first value entry above frame f's fixed part.
inline uint32_t FrameEntriesStart(EngineContext* ctx, int32_t f) {
  return static_cast<uint32_t>(f) + FrameFixedWords(FrameWords(ctx, f));
}
// Value entries above the current frame; all entries without a frame.
int32_t EntriesAboveFrame(EngineContext* ctx);
// Data units of the entries whose descriptors lie at or above word `from`.
uint32_t EntryUnitsAbove(EngineContext* ctx, uint32_t from);
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
// The function block of a frame: its header, where it lies and the end of
// the area that holds it.
struct FrameFunction {
  FunctionHeader header;
  const uint8_t* block = nullptr;
  const uint8_t* end = nullptr;
};
// False when frame f has no function block.
bool FindFrameFunction(EngineContext* ctx, int32_t f, FrameFunction* out);
// Pops the current frame: frees its variable blocks, drops its entries but
// the top `keep` (as many as there are), which move down to where the frame
// began, and makes the previous frame current.
void LeaveFrame(EngineContext* ctx, int32_t keep);

}  // namespace vke
