// Values and frames as the frame operations see them: entries above a frame,
// variable blocks and links, the header of a frame's function, and popping a
// frame with the entries it keeps.
#include "engine/errors/errors.hpp"
#include "engine/frames/entry_items.hpp"
#include "engine/frames/frame_internal.hpp"
#include "engine/values/value.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kSharedEntryKind = 1;

}  // namespace

int32_t EntriesAboveFrame(EngineContext* ctx) {
  return ctx->curFrame < 0 ? static_cast<int32_t>(ctx->descTop / 3) : GetFrameEntryCount(ctx);
}

uint32_t EntryUnitsAbove(EngineContext* ctx, uint32_t from) {
  const uint32_t* w = ctx->DescWords();
  uint32_t units = 0;
  for (uint32_t at = from; at + 3 <= ctx->descTop; at += 3) units += w[at + 1];
  return units;
}

int32_t VariableValueBlock(EngineContext* ctx, int32_t slotBlock) {
  if (slotBlock <= 0 || static_cast<uint32_t>(slotBlock) > ctx->heapSize) return 0;
  const uint8_t* p = BlockData(ctx, slotBlock);
  if (!(Load<uint32_t>(p) & kFlagReference)) return slotBlock;
  uint32_t entry = Load<uint32_t>(p + kItemHeaderBytes);
  if (entry >= ctx->funcCount) return 0;
  const uint8_t* e = ctx->CodeBytes() + 16ull * entry;
  if (Load<int32_t>(e) != kSharedEntryKind) return 0;
  int32_t value = Load<int32_t>(e + 8);
  return value > 0 && static_cast<uint32_t>(value) <= ctx->heapSize ? value : 0;
}

bool FindFrameFunction(EngineContext* ctx, int32_t f, FrameFunction* out) {
  const int32_t at = static_cast<int32_t>(FrameWords(ctx, f)[kFwHeader]);
  uint8_t* base;
  uint64_t offset, limit;
  if (at > 0) {
    base = ctx->CodeBytes();
    offset = 2ull * static_cast<uint32_t>(at);
    limit = 2ull * ctx->codeEnd;
  } else if (at < kInlineHeaderBase + 1) {
    base = ctx->DataBytes();
    offset = 2ull * static_cast<uint64_t>(int64_t{kInlineHeaderBase} - at);
    limit = 8ull * ctx->dataTop;
  } else {
    return false;
  }
  if (offset + 2 * kFnHeaderUnits > limit) return false;
  out->block = base + offset;
  out->end = base + limit;
  out->header = ReadFunctionHeader(out->block);
  return true;
}

void LeaveFrame(EngineContext* ctx, int32_t keep) {
  const int32_t f = ctx->curFrame;
  const int32_t previous = PreviousFrame(ctx, f);
  uint32_t* w = FrameWords(ctx, f);
  uint32_t* slots = w + kFrameHeaderWords;
  for (uint32_t i = 0; i < w[kFwVarCount]; i++) {
    FreeEngineBlock(ctx, static_cast<int32_t>(slots[i]));
    slots[i] = static_cast<uint32_t>(-1);
  }
  const uint32_t start = FrameEntriesStart(ctx, f);
  const int32_t entries =
      ctx->descTop > start ? static_cast<int32_t>((ctx->descTop - start) / 3) : 0;
  if (keep > entries) keep = entries;
  if (keep < 0) keep = 0;
  const uint32_t keptFrom = ctx->descTop - 3 * static_cast<uint32_t>(keep);
  const uint32_t keptUnits = EntryUnitsAbove(ctx, keptFrom);
  const uint32_t dataStart = ctx->dataTop - EntryUnitsAbove(ctx, start);
  std::memmove(w, ctx->DescWords() + keptFrom, 12ull * keep);
  uint8_t* data = ctx->DataBytes();
  std::memmove(data + 8ull * dataStart, data + 8ull * (ctx->dataTop - keptUnits), 8ull * keptUnits);
  ctx->curFrame = previous;
  ctx->descTop = static_cast<uint32_t>(f) + 3 * static_cast<uint32_t>(keep);
  ctx->dataTop = dataStart + keptUnits;
}

}  // namespace vke
