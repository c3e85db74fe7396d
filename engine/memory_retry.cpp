// The progress a builtin keeps across a growth of the area, and a native's
// entry kept to be made again after it.
#include "engine/memory_retry.hpp"

#include <cstring>

#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"

namespace vke {

void KeepRerunProgress(EngineContext* ctx, int64_t progress) {
  ctx->rerunProgress = HostGrowsForRoom(ctx) ? progress : 0;
  ctx->rerunDescTop = ctx->descTop;
  ctx->rerunDataTop = ctx->dataTop;
}

int64_t TakeRerunProgress(EngineContext* ctx) {
  const int64_t progress = ctx->rerunProgress;
  ctx->rerunProgress = 0;
  const bool same = ctx->currentThread == 0 && ctx->rerunDescTop == ctx->descTop &&
                    ctx->rerunDataTop == ctx->dataTop;
  return same ? progress : 0;
}

void KeepFailedReentry(EngineContext* ctx, int32_t opcode, int32_t results, int32_t outputs,
                       uint32_t continuation, int64_t base, uint32_t descTop, uint32_t dataTop,
                       int32_t frame, ErrCode e) {
  const bool unchanged = ctx->instructionLevel == descTop;
  ctx->instructionLevel = UINT32_MAX;
  if (!opcode || !unchanged || !IsEngineMemoryCode(e) || !HostGrowsForRoom(ctx) ||
      ctx->descTop != descTop || ctx->dataTop != dataTop || ctx->curFrame != frame)
    return;
  if (IsInstructionContinuation(continuation)) {
    if (base < 0) return;
    const int64_t returned = int64_t{descTop} - 3ll * results;
    continuation = InstructionContinuation(static_cast<uint32_t>(returned - base));
  }
  ctx->keptReentry = {opcode, -(results + 1), outputs, continuation, descTop, dataTop, frame};
}

KeptReentry TakeKeptReentry(EngineContext* ctx) {
  KeptReentry r = ctx->keptReentry;
  ctx->keptReentry.opcode = 0;
  if (ctx->currentThread != 0 || ctx->descTop != r.descTop || ctx->dataTop != r.dataTop ||
      ctx->curFrame != r.frame)
    r.opcode = 0;
  return r;
}

ErrCode EntryCopies::Take(int32_t depth, int32_t count) {
  uint64_t bytes = 0;
  for (int32_t d = depth; d < depth + count; d++) bytes += 8ull * GetEntryWordCount(ctx_, d);
  if (ErrCode e = scratch_.Reserve(bytes, &at_)) return e;
  uint64_t offset = at_;
  for (int32_t d = depth + count - 1; d >= depth; d--) {
    CopyEntryToBytes(ctx_, d, ctx_->Bytes() + offset);
    offset += 8ull * GetEntryWordCount(ctx_, d);
  }
  count_ = count;
  return kOk;
}

bool EntryCopies::PushBack() {
  // The copies take the room of what they stood for: no request.
  const RoomRequestsPaused restoring;
  uint64_t offset = at_;
  for (int32_t k = 0; k < count_; k++) {
    const uint8_t* copy = ctx_->Bytes() + offset;
    if (PushEntryFromBytes(ctx_, copy)) return false;
    offset += 8ull * GetEntryWordCount(ctx_, 0);
  }
  return true;
}

bool EntryCopies::WriteBack(int32_t depth) {
  uint64_t offset = at_;
  for (int32_t d = depth + count_ - 1; d >= depth; d--) {
    const uint8_t* copy = ctx_->Bytes() + offset;
    const ValueDescriptor* now = DescAt(ctx_, d);
    if (Load<double>(copy) != now->flags || Load<double>(copy + 8) != now->size ||
        Load<double>(copy + 16) != now->word)
      return false;
    std::memcpy(DataAt(ctx_, d), copy + 24, 8ull * now->size);
    offset += 24 + 8ull * now->size;
  }
  return true;
}

}  // namespace vke
