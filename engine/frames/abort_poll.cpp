// The user's break: polling the host's abort callback, the "+onabort" hooks
// that libraries register, and the check at the end of a run's slice.
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/registry/registry.hpp"

namespace vke {

void RunOnAbortHooks(EngineContext* ctx) {
  const NativeFunctionRecord* r = nullptr;
  while ((r = FindLibraryRecord(ctx, "+onabort", r, 0, nullptr))) {
    if (!r->function) continue;
    reinterpret_cast<SimpleHookFn>(r->function)(ctx, 0, RecordUserData(ctx, r));
  }
}

bool PollAbortRequest(EngineContext* ctx) {
  if (!AbortRequested(ctx)) return false;
  RunOnAbortHooks(ctx);
  if (!ctx->interruptDebug) return true;
  // With the debugger's interrupt on, only a second break in a row stops.
  const uint8_t old = ctx->abortToggle;
  ctx->abortToggle = old ? 0 : 1;
  return old != 0;
}

ErrCode BreakAtSliceEnd(EngineContext* ctx) {
  RunOnAbortHooks(ctx);
  if (!ctx->interruptDebug) return kStatusHalted;
  if (ctx->curFrame >= 0) FrameWords(ctx, ctx->curFrame)[kFwStopRequest] = kStopAtNextLine;
  return kStatusDebug;
}

}  // namespace vke
