// Finding and relocating live code-area pointers.
#include "compiler/code_pointers.hpp"

#include "engine/frames.hpp"

namespace vke {

namespace {

// Calls visit(bytes) -> new bytes for every live pointer of area kind 1.
template <typename Visit>
void ForEachCodePointer(EngineContext* ctx, Visit visit) {
  if (ctx->cpKind == kCodeArea) ctx->cpOffset = visit(ctx->cpOffset);
  // Bounded walk: a damaged back link ends it instead of looping.
  int32_t f = ctx->curFrame;
  for (uint32_t steps = 0; f >= 0 && static_cast<uint32_t>(f) < ctx->descTop; steps++) {
    if (steps > ctx->descTop) break;
    uint32_t* w = FrameWords(ctx, f);
    if (w[kFwReturnKind] == kCodeArea) w[kFwReturnOffset] = visit(w[kFwReturnOffset]);
    if (w[kFwCatchKind] == kCodeArea) w[kFwCatchOffset] = visit(w[kFwCatchOffset]);
    if (w[kFwDebugKind] == kCodeArea) w[kFwDebugOffset] = visit(w[kFwDebugOffset]);
    if (static_cast<int32_t>(w[kFwHeader]) > 0) w[kFwHeader] = visit(w[kFwHeader] * 2) / 2;
    if (w[kFwReturnKind] == kBaseFrameKind) break;
    int32_t back = static_cast<int32_t>(w[kFwBackLink]);
    if (back <= 0) break;
    f -= back;
  }
}

}  // namespace

bool CodePointersReachable(EngineContext* ctx) {
  return ctx->currentThread == 0 && ctx->firstThread == 0;
}

bool HasCodePointerIn(EngineContext* ctx, uint32_t begin, uint32_t end) {
  bool found = false;
  ForEachCodePointer(ctx, [&](uint32_t bytes) {
    if (bytes >= begin && bytes < end) found = true;
    return bytes;
  });
  return found;
}

void ShiftCodePointers(EngineContext* ctx, uint32_t from, int32_t delta) {
  ForEachCodePointer(ctx, [&](uint32_t bytes) {
    return bytes >= from ? static_cast<uint32_t>(static_cast<int64_t>(bytes) + delta) : bytes;
  });
}

}  // namespace vke
