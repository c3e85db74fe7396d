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

namespace {

// The frame whose catch handler takes an error (true), or the frame where
// the search stops without one (false; -1 when there is no frame).
bool CatchingFrame(EngineContext* ctx, bool respectEntry, int32_t* frame) {
  int32_t f = ctx->curFrame;
  while (f >= 0) {
    const uint32_t* w = FrameWords(ctx, f);
    const bool sandbox = respectEntry && w[kFwEntry] != 0;
    *frame = f;
    if (w[kFwCatchKind] != 0 && !sandbox) return true;
    if (sandbox || w[kFwReturnKind] == kBaseFrameKind || w[kFwReturnKind] == kCodeNone)
      return false;
    f = PreviousFrame(ctx, f);
  }
  *frame = -1;
  return false;
}

}  // namespace

uint32_t UnwoundEntriesStart(EngineContext* ctx, bool catchable, bool respectEntry) {
  int32_t f;
  const bool caught = CatchingFrame(ctx, respectEntry, &f);
  if (!catchable || f < 0) return 0;
  const uint32_t start = FrameEntriesStart(ctx, f);
  if (!caught) return start;
  const uint32_t* w = FrameWords(ctx, f);
  const int64_t keep =
      int64_t{static_cast<int32_t>(w[kFwCatchKeep])} + static_cast<int32_t>(w[kFwCatchKeepExtra]);
  const int64_t kept = start + 3 * (keep < 0 ? 0 : keep);
  return kept < ctx->descTop ? static_cast<uint32_t>(kept) : ctx->descTop;
}

bool FindCatchFrame(EngineContext* ctx, bool respectEntry, SavedCodePointer* handler,
                    SavedCodePointer* left) {
  int32_t f;
  if (!CatchingFrame(ctx, respectEntry, &f)) return false;
  if (!handler) return true;
  while (ctx->curFrame != f) {
    const uint32_t* above = FrameWords(ctx, ctx->curFrame);
    if (left) *left = {above[kFwReturnKind], above[kFwReturnOffset]};
    LeaveFrame(ctx, 0);
  }
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
