// Finding and relocating live code-area pointers of every interpreter
// thread.
#include "engine/code/code_pointers.hpp"

#include "engine/frames/frames.hpp"
#include "engine/image/image_walk.hpp"

namespace vke {

namespace {

// One thread's code pointer and call frames, live in the context or saved
// in its record.
struct ThreadCode {
  uint32_t* cpKind;
  uint32_t* cpOffset;
  uint32_t* words;  // its descriptor stack
  uint32_t top;
  int32_t frame;
};

// Calls visit(bytes) -> new bytes for the code pointer of area kind 1 and
// those in the frames.
template <typename Visit>
void VisitThreadCode(const ThreadCode& t, Visit visit) {
  if (*t.cpKind == kCodeArea) *t.cpOffset = visit(*t.cpOffset);
  // Bounded walk: a damaged back link ends it instead of looping.
  int32_t f = t.frame;
  for (uint32_t steps = 0; f >= 0 && static_cast<uint32_t>(f) < t.top; steps++) {
    if (steps > t.top) break;
    uint32_t* w = t.words + f;
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

ThreadCode SavedThreadCode(EngineContext* ctx, InterpThreadRecord& t) {
  return {&t.cpKind, &t.cpOffset, reinterpret_cast<uint32_t*>(ctx->Bytes() + t.descBase), t.descTop,
          t.curFrame};
}

// The running thread's pointers, then those saved by the other threads.
template <typename Visit>
void ForEachCodePointer(EngineContext* ctx, Visit visit) {
  VisitThreadCode({&ctx->cpKind, &ctx->cpOffset, ctx->DescWords(), ctx->descTop, ctx->curFrame},
                  visit);
  if (ctx->currentThread != 0) VisitThreadCode(SavedThreadCode(ctx, ctx->mainThread), visit);
  ForEachListedThread(ctx, ctx->heapSize, [&](InterpThreadRecord& t, const HeapBlock& b) {
    if (b.index != ctx->currentThread) VisitThreadCode(SavedThreadCode(ctx, t), visit);
  });
}

}  // namespace

bool CodePointersReachable(EngineContext* ctx) {
  return ForEachListedThread(ctx, ctx->heapSize, [](InterpThreadRecord&, const HeapBlock&) {});
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
