// Growing the memory block: the new area sizes for the code that ran out of
// room, moving the areas into the larger block, and the growth request to
// the host with its report.
#include <cstring>

#include "app/block.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "engine/engine.hpp"
#include "engine/files/fd.hpp"
#include "engine/image/engine_image.hpp"
#include "engine/text/number_text.hpp"
#include "engine/text/text.hpp"
#include "graphics/object_store.hpp"

namespace vke {

namespace {

constexpr uint32_t kMegabyte = 1u << 20;

AreaSizes SizesOf(const KVContextBlock* b) {
  return {b->engineBytes, b->dataBytes, b->elementBytes, b->nameBytes, b->undoBytes};
}

// The engine's own codes lie below the application's table; after them the
// engine's area takes the room.
bool IsEngineCode(ErrCode code) {
  return code < kKvExhaustedRsrc;
}

bool NoAreaShrinks(const AreaSizes& from, const AreaSizes& to) {
  return to.engine >= from.engine && to.data >= from.data && to.element >= from.element &&
         to.name >= from.name && to.undo >= from.undo;
}

// The area sizes for `usable` bytes when `code` ran out of room: the gain
// goes to the area of the code, or all areas are shared anew. False when the
// other areas leave no room.
bool GrownSizes(const AreaSizes& old, uint32_t usable, ErrCode code, AreaSizes* out) {
  *out = old;
  uint32_t* gainer;
  if (IsEngineCode(code)) {
    gainer = &out->engine;
  } else if (code == kKvNotEnoughMemForKVFile) {
    gainer = &out->element;
  } else if (code == kKvVarTooLargeForUndo) {
    gainer = &out->undo;
  } else if (code == kKvPlotOverflow) {
    gainer = &out->data;
  } else {
    *out = ProportionalAreas(usable);
    return true;
  }
  const uint64_t others =
      uint64_t{out->engine} + out->data + out->element + out->name + out->undo - *gainer;
  if (others > usable) return false;
  *gainer = static_cast<uint32_t>(usable - others);
  return true;
}

// Byte offsets of the areas from the block start.
struct AreaOffsets {
  uint64_t data, element, name, undo;
};

AreaOffsets OffsetsOf(const AreaSizes& a) {
  AreaOffsets o;
  o.data = uint64_t{kKVHeaderBytes} + a.engine;
  o.element = o.data + a.data;
  o.name = o.element + a.element;
  o.undo = o.name + a.name;
  return o;
}

// Moves every area from the old layout to the new one, from the top down so
// that nothing is overwritten before it moved.
void MoveAreas(KVContextBlock* block, const AreaSizes& old, const AreaSizes& next) {
  uint8_t* base = block->Bytes();
  const AreaOffsets from = OffsetsOf(old), to = OffsetsOf(next);
  std::memmove(base + to.undo, base + from.undo, old.undo);
  RelocateUndoBuffer(base + to.undo, next.undo);
  std::memmove(base + to.name, base + from.name, old.name);
  CheckNameBuffer(base + to.name, next.name);
  std::memmove(base + to.element, base + from.element, old.element);
  const uint64_t records =
      uint64_t{static_cast<uint32_t>(block->instanceCount)} * kInstanceRecordBytes;
  std::memmove(base + to.element - records, base + from.element - records, records);
  ObjectListCopy(base + from.data, base + to.data,
                 static_cast<uint32_t>((next.data - records) / 8));
  // An object open for drawing gets the room the store gained behind it, so
  // that the handler that ran out of room can write there when it runs again.
  RefreshObjectListCapture(ObjectList(base + to.data), &block->capture);
}

// Points the engine at its (possibly moved and grown) area; engineSize 0
// keeps its size.
void RebindEngine(KVContextBlock* block, uint32_t engineSize, ErrCode code) {
  EngineContext* ctx = block->Engine();
  MakeContextAbsolute(ctx, engineSize, code);
  SetHookUserData(ctx, reinterpret_cast<uintptr_t>(&block->nativeCall));
}

}  // namespace

bool ResizeEngineMemory(KVContextBlock* block, uint32_t newSize, ErrCode code) {
  const AreaSizes old = SizesOf(block);
  const uint32_t usable = UsableBlockBytes(newSize);
  const uint64_t records =
      uint64_t{static_cast<uint32_t>(block->instanceCount)} * kInstanceRecordBytes;
  AreaSizes next;
  const bool fits = block->AreaBytes() + block->elementWords < newSize && usable > 0 &&
                    GrownSizes(old, usable, code, &next) && NoAreaShrinks(old, next) &&
                    records <= old.data;
  if (!fits) {
    RebindEngine(block, 0, code);
    return false;
  }
  MoveAreas(block, old, next);
  block->engineBytes = next.engine;
  block->dataBytes = next.data;
  block->elementBytes = next.element;
  block->nameBytes = next.name;
  block->undoBytes = next.undo;
  RebindEngine(block, next.engine != old.engine ? next.engine : 0, code);
  return true;
}

bool ExpandMemory(KVContextBlock** slot, ErrCode code) {
  KVContextBlock* block = *slot;
  if (!block || !block->growMemory) return false;
  const uint64_t total = block->AreaBytes() + block->elementWords;
  uint32_t size = total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
  MakeEngineContextRelative(block);
  const bool grew = block->growMemory(&block, &size, block->growMemoryArg);
  *slot = block;
  if (!ResizeEngineMemory(block, grew ? size : 0, code)) {
    // A block that cannot grow gives the engine's part that ran short the
    // room the engine's other parts took on the way; the block's size
    // stays as it is.
    return !grew && IsEngineCode(code) && SpreadAreaAnew(block->Engine(), block->engineBytes, code);
  }
  char text[64];
  int32_t n = 0;
  AppendCString(text, &n, "KV memory expanded to ", sizeof text);
  const bool inKilobytes = size < kMegabyte;
  FormatDouble(text, &n, inKilobytes ? size / 1024.0 : size / double{kMegabyte},
               inKilobytes ? 0 : 1, 'f', 0, false, false, false, false, false, false,
               sizeof text - 1);
  AppendCString(text, &n, inKilobytes ? " KB" : " MB", sizeof text);
  EngineContext* ctx = block->Engine();
  WriteToFd(ctx, kFdErr, text, n);
  WriteNewlineToFd(ctx, kFdErr);
  return true;
}

}  // namespace vke
