// The progress a builtin keeps across a growth of the area, the count of
// what runs did that they cannot take back, and a native's entry kept to be
// made again after it.
#include "engine/memory_retry.hpp"

#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"

namespace vke {

namespace {

// An engine runs on the thread that drives it, its own threads taking turns.
thread_local uint64_t t_irrevocableActs = 0;

}  // namespace

void CountIrrevocableAct() {
  ++t_irrevocableActs;
}

uint64_t IrrevocableActs() {
  return t_irrevocableActs;
}

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

}  // namespace vke
