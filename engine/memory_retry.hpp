// What code outside the loop knows of the host's growth of the area: whether
// a failure for lack of room is answered by growth and a run of the failing
// instruction again, and the progress a builtin keeps across it.
//
// A builtin that has done part of its work outside the engine (bytes
// written to a descriptor) and then fails for lack of room with its operands
// in place, so that the loop runs it again once the area has grown (see
// SetMemoryRetry), keeps how far it got; its next run takes that back at its
// start and skips what was done. The progress is kept only where the host
// grows the area, tied to the stack levels the call leaves, and forgotten by
// the loop when the failure takes the error path instead, so that no other
// call finds it.
#pragma once

#include "engine/context.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

// Whether a failure for lack of room, with the operands in place, has the
// area grown and the instruction run again (retry on, thread 0): a fast form
// that needs room may then ask for it rather than take a slower way.
inline bool HostGrowsForRoom(const EngineContext* ctx) {
  return ctx->memoryRetry == 1 && ctx->currentThread == 0;
}

// Called as the builtin returns a memory code with its operands in place.
void KeepRerunProgress(EngineContext* ctx, int64_t progress);
// Called at the builtin's start, its operands on the stack: the progress
// its failed run kept, 0 when there is none (it is forgotten either way).
int64_t TakeRerunProgress(EngineContext* ctx);
// An instruction that has changed its operands in place (a text narrowed
// where it lies) would not find them again: a later failure for lack of
// room takes the error path rather than running it again.
inline void MarkOperandsChanged(EngineContext* ctx) {
  ctx->instructionLevel = UINT32_MAX;
}
// A limit of nesting or recursion reached is reported as a stack overflow,
// which growth of the area would not mend: the instruction does not run
// again.
inline ErrCode NestingLimitReached(EngineContext* ctx) {
  MarkOperandsChanged(ctx);
  return kErrStackOverflow;
}
// The loop's error path: nothing runs again.
inline void ForgetRerunProgress(EngineContext* ctx) {
  ctx->rerunProgress = 0;
}

}  // namespace vke
