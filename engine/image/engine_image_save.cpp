// Storing the engine's state in the form the loader reads: the header filled
// from the context, then each part written as one record.
#include "engine/errors/errors.hpp"
#include "engine/frames/entry_items.hpp"
#include "engine/image/engine_image.hpp"
#include "engine/image/image_walk.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

namespace {

// The fields saved straight from the context field of the same name.
#define VKE_SAVE_Context(name) h->name = static_cast<decltype(h->name)>(ctx->name);
#define VKE_SAVE_Display(name) VKE_SAVE_Context(name)
#define VKE_SAVE_Beside(name)
#define VKE_SAVE_Zero(name)

void FillHeader(EngineContext* ctx, uint32_t heapUnits, EngineImageHeader* h) {
  std::memset(h, 0, sizeof *h);
#define VKE_ENGINE_IMAGE_FIELD(type, name, offset, copy, meaning) VKE_SAVE_##copy(name)
#include "engine/image/engine_image_header.def"
#undef VKE_ENGINE_IMAGE_FIELD
  h->descWords = ctx->descTop;
  h->dataUnits = ctx->dataTop;
  h->heapUnits = heapUnits;
  h->funcCount = ctx->funcCount;
  h->codeUnits = ctx->codeEnd - 8 * ctx->funcCap;
  h->nameBytes = static_cast<uint32_t>(-ctx->nameStart);
  h->mainThread = ctx->mainThread;
  h->displayOn = ctx->displayOnOff >= 0 ? 1 : 0;
  // Without the capacity a loader of another layout would misplace the code.
  if (ctx->funcCap < (1u << 24)) {
    h->savedTableCap[0] = static_cast<uint8_t>(ctx->funcCap);
    h->savedTableCap[1] = static_cast<uint8_t>(ctx->funcCap >> 8);
    h->savedTableCap[2] = static_cast<uint8_t>(ctx->funcCap >> 16);
  }
}

#undef VKE_SAVE_Context
#undef VKE_SAVE_Display
#undef VKE_SAVE_Beside
#undef VKE_SAVE_Zero

// The room to spare that appends left behind the variables' values (the
// main thread's, the listed threads' and the shared ones) is given back, so
// that a value grown in place is stored as one made at once.
void GiveBackSpareRooms(EngineContext* ctx) {
  auto giveBack = [ctx](int32_t index) {
    HeapBlock block;
    if (InUseBlock(ctx, static_cast<uint32_t>(index), ctx->heapSize, kItemHeaderUnits, &block))
      GiveBackSpareRoom(ctx, index);
  };
  ForEachFrameSlot(ctx->DescWords(), ctx->descTop, ctx->curFrame, giveBack);
  ForEachListedThread(ctx, ctx->heapSize, [&](InterpThreadRecord& t, const HeapBlock&) {
    ForEachFrameSlot(reinterpret_cast<const uint32_t*>(ctx->Bytes() + t.descBase), t.descTop,
                     t.curFrame, giveBack);
  });
  for (uint32_t i = 0; i < ctx->funcCount; i++) giveBack(SharedValueBlock(ctx, i));
}

}  // namespace

ErrCode SaveEngineImage(EngineContext* ctx, ImageWriteFn writer, uintptr_t argument) {
  // The context holds another thread's stacks: the main thread's would be missed.
  if (ctx->currentThread != 0) return kErrBadContext;
  GiveBackSpareRooms(ctx);
  // Free blocks behind the last block in use are not stored.
  uint32_t heapUnits = WalkHeapChain(ctx->HeapBytes(), ctx->heapSize).inUseEnd;
  EngineImageHeader h;
  FillHeader(ctx, heapUnits, &h);
  const uint8_t* code = ctx->CodeBytes();
  bool ok = writer(&h, sizeof h, argument) && writer(ctx->DescWords(), 4 * h.descWords, argument) &&
            writer(ctx->DataBytes(), 8 * h.dataUnits, argument) &&
            writer(ctx->HeapBytes(), 8 * heapUnits, argument) &&
            writer(code, 16 * h.funcCount, argument) &&
            writer(code + 16ull * ctx->funcCap, 2 * h.codeUnits, argument) &&
            writer(ctx->CodeEndBytes() - h.nameBytes, h.nameBytes, argument);
  return ok ? kOk : kErrIoErr;
}

}  // namespace vke
