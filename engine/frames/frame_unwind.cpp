// Leaving frames without returning: unwinding to a level or to the
// debugger's stop, and the search for the catch handler of an error.
#include "engine/errors/errors.hpp"
#include "engine/frames/frame_internal.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode UnwindCallFrames(EngineContext* ctx, int32_t level) {
  if (level < -1) return kErrBadArg;
  if (level == 0) ctx->cpKind = kCodeNone;
  while (ctx->curFrame >= 0) {
    const uint32_t* w = FrameWords(ctx, ctx->curFrame);
    if (w[kFwReturnKind] == kBaseFrameKind) break;
    if (level == -1 && w[kFwDebugKind] != 0) break;
    if (level > 0 && ctx->curFrame < level) break;
    LeaveFrame(ctx, 0);
  }
  return kOk;
}

bool FindCatchFrame(EngineContext* ctx, bool respectEntry, SavedCodePointer* handler) {
  int32_t f = ctx->curFrame;
  while (f >= 0) {
    const uint32_t* w = FrameWords(ctx, f);
    const bool sandbox = respectEntry && w[kFwEntry] != 0;
    if (w[kFwCatchKind] != 0 && !sandbox) break;
    if (sandbox || w[kFwReturnKind] == kBaseFrameKind || w[kFwReturnKind] == kCodeNone)
      return false;
    f = PreviousFrame(ctx, f);
  }
  if (f < 0) return false;
  if (!handler) return true;
  while (ctx->curFrame != f) LeaveFrame(ctx, 0);
  const uint32_t* w = FrameWords(ctx, f);
  const int64_t keep =
      int64_t{static_cast<int32_t>(w[kFwCatchKeep])} + static_cast<int32_t>(w[kFwCatchKeepExtra]);
  const int32_t entries = GetFrameEntryCount(ctx);
  if (entries > keep) DropStackEntries(ctx, 0, entries - static_cast<int32_t>(keep < 0 ? 0 : keep));
  handler->kind = w[kFwCatchKind];
  handler->offset = w[kFwCatchOffset];
  return true;
}

}  // namespace vke
