// The progress a builtin keeps across a growth of the area.
#include "engine/memory_retry.hpp"

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

}  // namespace vke
