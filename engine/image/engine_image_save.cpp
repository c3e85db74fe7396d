// Storing the engine's state in the form the loader reads: the header filled
// from the context, then each part written as one record.
#include "engine/errors/errors.hpp"
#include "engine/image/engine_image.hpp"
#include "engine/image/image_walk.hpp"

namespace vke {

namespace {

void FillHeader(EngineContext* ctx, uint32_t heapUnits, EngineImageHeader* h) {
  std::memset(h, 0, sizeof *h);
  h->descWords = ctx->descTop;
  h->dataUnits = ctx->dataTop;
  h->heapUnits = heapUnits;
  h->funcCount = ctx->funcCount;
  h->codeUnits = ctx->codeEnd - 8 * ctx->funcCap;
  h->nameBytes = static_cast<uint32_t>(-ctx->nameStart);
  h->curFrame = ctx->curFrame;
  h->cpKind = ctx->cpKind;
  h->cpFlag = ctx->cpFlag;
  h->cpOffset = ctx->cpOffset;
  h->mainThread = ctx->mainThread;
  h->currentThread = ctx->currentThread;
  h->firstThread = ctx->firstThread;
  h->nextThreadId = ctx->nextThreadId;
  h->semTable = ctx->semTable;
  h->semCap = ctx->semCap;
  h->lastSemaphoreId = ctx->lastSemaphoreId;
  h->displayDigits = ctx->displayDigits;
  h->formatLetter = ctx->formatLetter;
  h->imagLetter = ctx->imagLetter;
  h->looseSpacing = ctx->looseSpacing;
  h->displayWord = ctx->displayWord;
  h->displayOn = ctx->displayOnOff >= 0 ? 1 : 0;
  // Without the capacity a loader of another layout would misplace the code.
  if (ctx->funcCap < (1u << 24)) {
    h->savedTableCap[0] = static_cast<uint8_t>(ctx->funcCap);
    h->savedTableCap[1] = static_cast<uint8_t>(ctx->funcCap >> 8);
    h->savedTableCap[2] = static_cast<uint8_t>(ctx->funcCap >> 16);
  }
}

}  // namespace

ErrCode SaveEngineImage(EngineContext* ctx, ImageWriteFn writer, uintptr_t argument) {
  // The context holds another thread's stacks: thread 0's would be missed.
  if (ctx->currentThread != 0) return kErrBadContext;
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
