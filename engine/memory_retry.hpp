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

// Instead of growing, the host declines the builtin that waits for room
// (MemoryRetryPending): run again, it fails as with retry off (its failure
// takes the error path, a catch sees it), and retry is on for the failures
// after that one.
inline constexpr uint8_t kMemoryRetryDeclined = 3;
inline void DeclineMemoryRetry(EngineContext* ctx) {
  ctx->memoryRetry = kMemoryRetryDeclined;
}

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
// What a run did that it cannot take back: each text written to a
// descriptor and each operand changed in place (MarkOperandsChanged) counts
// one. A run nested in a native (a text read as values) that fails for
// lack of room is made again as a whole only when it counted none.
void CountIrrevocableAct();
uint64_t IrrevocableActs();
// An instruction that has changed its operands in place (a text narrowed
// where it lies) would not find them again: a later failure for lack of
// room takes the error path rather than running it again.
inline void MarkOperandsChanged(EngineContext* ctx) {
  ctx->instructionLevel = UINT32_MAX;
  CountIrrevocableAct();
}
// A call that marked its operands changed (it asked the user) and has put
// them back as it found them, what it did kept for its run again
// (KeepRerunProgress), may run again once the area has grown.
inline void MarkOperandsInPlace(EngineContext* ctx) {
  ctx->instructionLevel = ctx->descTop;
}
// A limit of nesting or recursion reached is reported as a stack overflow,
// which growth of the area would not mend: the instruction does not run
// again.
inline ErrCode NestingLimitReached(EngineContext* ctx) {
  MarkOperandsChanged(ctx);
  return kErrStackOverflow;
}
// A compilation that reaches a limit of the code's form (a jump farther
// than its offset reaches) reports a code overflow, which growth of the
// area would not mend: the instruction that compiled does not run again,
// and a host that compiles a text itself learns it from TakeCodeFormLimit.
inline ErrCode CodeFormLimitReached(EngineContext* ctx) {
  MarkOperandsChanged(ctx);
  ctx->codeFormLimit = 1;
  return kErrCodeOverflow;
}
// Whether a compilation since the last call stopped at such a limit.
inline bool TakeCodeFormLimit(EngineContext* ctx) {
  const bool reached = ctx->codeFormLimit != 0;
  ctx->codeFormLimit = 0;
  return reached;
}
// The loop's error path: nothing runs again.
inline void ForgetRerunProgress(EngineContext* ctx) {
  ctx->rerunProgress = 0;
}

// ---- A native's entry after a call it made ----
// A native that calls a function is entered again with that call's results
// (nargin < 0). Such an entry that fails for lack of room before it has
// changed anything, the results on top of what it keeps as it found them,
// says so by returning through ReentryUnchanged; the native called by its
// instruction, or after the function it called has returned, is then
// entered again the same way once the area has grown, and the run goes on
// from there as though the first attempt had not been made.
// The loop's call of a function value (feval, builtin, a value called by
// its instruction) sets reentryOpcode to kReentryThroughValue: a native the
// call reaches at once, for outputs or as a statement, is that instruction's
// own native and its entries are made again as the loop's natives' are,
// named by its continuation; CallFunctionNamed hands the mark on to the
// native alone.
inline constexpr int32_t kReentryThroughValue = -1;
inline ErrCode ReentryUnchanged(EngineContext* ctx, ErrCode e) {
  ctx->instructionLevel = ctx->descTop;
  return e;
}
// An entry that puts back what it changed when it fails for lack of room
// watches for what it cannot put back: from WatchOperandChanges on,
// OperandsChanged tells whether anything marked its operands changed (a
// text written, MarkOperandsChanged).
inline void WatchOperandChanges(EngineContext* ctx) {
  ctx->instructionLevel = 0;
}
inline bool OperandsChanged(const EngineContext* ctx) {
  return ctx->instructionLevel == UINT32_MAX;
}
// InvokeNative, after an entry with `results` results has failed: keeps it
// when it is one the loop can make again (reentryOpcode was set for this
// native, the entry said it changed nothing and the stacks stand where
// the entry found them, the host grows for room). `base`, where the
// native's entries begin (-1 unknown), turns a continuation at the
// instruction into one that tells it. The failed entry never runs the
// instruction again as a whole.
void KeepFailedReentry(EngineContext* ctx, int32_t opcode, int32_t results, int32_t outputs,
                       uint32_t continuation, int64_t base, uint32_t descTop, uint32_t dataTop,
                       int32_t frame, ErrCode e);
// Whether a failed entry was kept: the stacks stand as that entry left
// them for the run after growth, and the calls it failed in on the way out
// leave them so (no operand is put back as though nothing had run).
inline bool ReentryKept(const EngineContext* ctx) {
  return ctx->keptReentry.opcode != 0;
}
// The kept entry, taken: opcode 0 when none, or when the stacks and frames
// no longer stand as it left them (the host did not run it again at once).
KeptReentry TakeKeptReentry(EngineContext* ctx);

}  // namespace vke
