// Restoring a stored engine state: the header's checks against this engine,
// the context fields it sets, and the parts read into their places.
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/image/engine_image.hpp"
#include "engine/image/image_walk.hpp"

namespace vke {

namespace {

uint32_t SavedTableCap(const EngineImageHeader& h) {
  return h.savedTableCap[0] | (h.savedTableCap[1] << 8) | (h.savedTableCap[2] << 16);
}

// Entries the loaded table occupies: the saving engine's capacity when the
// image records it (its code positions count from behind it), else this
// engine's, and never fewer than the functions stored.
uint32_t LoadedTableCap(EngineContext* ctx, const EngineImageHeader& h) {
  uint32_t saved = SavedTableCap(h);
  uint32_t cap = saved ? saved : ctx->funcCap;
  return cap > h.funcCount ? cap : h.funcCount;
}

ErrCode CheckFits(EngineContext* ctx, const EngineImageHeader& h) {
  if (h.descWords > ctx->descCap) return kErrStackOverflow;
  if (h.dataUnits > ctx->dataCap) return kErrDataOverflow;
  if (h.heapUnits > ctx->heapSize) return kErrVarOverflow;
  uint64_t code = 16ull * LoadedTableCap(ctx, h) + 2ull * h.codeUnits + h.nameBytes;
  if (code > 2ull * ctx->codeSize) return kErrCodeOverflow;
  return kOk;
}

// False for a header that cannot describe a state of this engine: another
// thread than the main thread current (its stacks would be read into the main thread's), no
// base workspace entry, a frame outside the descriptor words, a name area
// beyond the name table's limit.
bool HeaderIsSound(const EngineImageHeader& h) {
  if (h.currentThread != 0 || h.funcCount == 0) return false;
  if (h.curFrame < -1 || (h.curFrame >= 0 && static_cast<uint32_t>(h.curFrame) >= h.descWords))
    return false;
  return h.nameBytes <= static_cast<uint32_t>(kMaxNameTableBytes);
}

// The fields restored straight into the context field of the same name.
#define VKE_LOAD_Context(name) ctx->name = static_cast<decltype(ctx->name)>(h.name);
#define VKE_LOAD_Display(name)
#define VKE_LOAD_Beside(name)
#define VKE_LOAD_Zero(name)

void SetContextFields(EngineContext* ctx, const EngineImageHeader& h) {
#define VKE_ENGINE_IMAGE_FIELD(type, name, offset, copy, meaning) VKE_LOAD_##copy(name)
#include "engine/image/engine_image_header.def"
#undef VKE_ENGINE_IMAGE_FIELD
  ctx->descTop = h.descWords;
  // Thread 0's stacks and host area stay this engine's own.
  InterpThreadRecord& t = ctx->mainThread;
  const InterpThreadRecord own = t;
  t = h.mainThread;
  t.descBase = own.descBase;
  t.descCap = own.descCap;
  t.dataBase = own.dataBase;
  t.dataCap = own.dataCap;
  t.hostAreaOffset = own.hostAreaOffset;
  SetDisplayOptions(ctx, static_cast<char>(h.formatLetter), h.displayDigits,
                    static_cast<char>(h.imagLetter), h.looseSpacing, h.displayWord, h.displayOn);
}

#undef VKE_LOAD_Context
#undef VKE_LOAD_Display
#undef VKE_LOAD_Beside
#undef VKE_LOAD_Zero

// A listed thread's stacks and host timer area lie behind its record, inside
// its block.
bool ThreadFitsItsBlock(const InterpThreadRecord& t, const HeapBlock& b) {
  auto inside = [&](uint32_t offset, uint64_t bytes) {
    return offset >= b.begin + sizeof(InterpThreadRecord) && offset + bytes <= b.end;
  };
  return t.descTop <= t.descCap && t.dataTop <= t.dataCap &&
         (t.curFrame == -1 || (t.curFrame >= 0 && static_cast<uint32_t>(t.curFrame) < t.descTop)) &&
         inside(t.descBase, 4ull * t.descCap) && inside(t.dataBase, 8ull * t.dataCap) &&
         inside(t.hostAreaOffset, 0);
}

// The heap as read must be a whole chain of blocks, and the thread list and
// the semaphore table must name blocks of it; anything else would let later
// operations reach outside the heap.
bool HeapIsSound(EngineContext* ctx, uint32_t units) {
  if (!WalkHeapChain(ctx->HeapBytes(), units).exact) return false;
  HeapBlock sem;
  if (ctx->semTable != -1 &&
      !InUseBlock(ctx, static_cast<uint32_t>(ctx->semTable), units, ctx->semCap, &sem))
    return false;
  bool fits = true;
  bool listed = ForEachListedThread(ctx, units, [&](InterpThreadRecord& t, const HeapBlock& b) {
    fits = fits && ThreadFitsItsBlock(t, b);
  });
  return listed && fits;
}

// After a failed read the parts hold a mix of old and new bytes.
ErrCode AbandonLoad(EngineContext* ctx) {
  ClearEngineState(ctx);
  return kErrInit;
}

}  // namespace

void ClearEngineState(EngineContext* ctx) {
  ResetFunctionTable(ctx);
  ctx->nameStart = 0;
  ResetEngineState(ctx);
  if (ctx->heapSize) Store<uint32_t>(ctx->HeapBytes(), ctx->heapSize - 1);
  ctx->cpKind = kCodeNone;
  ctx->cpOffset = 0;
}

ErrCode LoadEngineImage(EngineContext* ctx, ImageReadFn reader, uintptr_t argument) {
  NoteCodeChanged();
  if (ctx->currentThread != 0) return kErrBadContext;
  EngineImageHeader h;
  if (!reader(&h, sizeof h, argument)) return kErrEof;
  if (ErrCode err = CheckFits(ctx, h)) return err;
  if (!HeaderIsSound(h)) return kErrInit;

  SetContextFields(ctx, h);
  if (!reader(ctx->DescWords(), 4 * h.descWords, argument)) return AbandonLoad(ctx);
  if (!reader(ctx->DataBytes(), 8 * h.dataUnits, argument)) return AbandonLoad(ctx);
  ctx->dataTop = h.dataUnits;
  ForgetHeapHints(ctx);  // the heap's blocks are the image's now
  if (!reader(ctx->HeapBytes(), 8 * h.heapUnits, argument)) return AbandonLoad(ctx);
  if (h.heapUnits < ctx->heapSize)
    Store<uint32_t>(ctx->HeapBytes() + 8ull * h.heapUnits, ctx->heapSize - h.heapUnits - 1);
  if (!HeapIsSound(ctx, h.heapUnits)) return AbandonLoad(ctx);

  uint32_t tableCap = LoadedTableCap(ctx, h);
  ctx->funcCap = tableCap;
  ctx->funcCount = h.funcCount;
  if (!reader(ctx->CodeBytes(), 16 * h.funcCount, argument)) return AbandonLoad(ctx);
  if (!reader(ctx->CodeBytes() + 16ull * tableCap, 2 * h.codeUnits, argument))
    return AbandonLoad(ctx);
  ctx->codeEnd = h.codeUnits + 8 * tableCap;
  if (!reader(ctx->CodeEndBytes() - h.nameBytes, h.nameBytes, argument)) return AbandonLoad(ctx);
  ctx->nameStart = -static_cast<int32_t>(h.nameBytes);
  return kOk;
}

}  // namespace vke
