// The loop's side of cooperative threads and timing: thread switches with
// thread 0's slice accumulator kept fresh, the thread-slice check after an
// instruction, yielding, and the profiler's per-line bookkeeping.
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/loop/loop_internal.hpp"

namespace vke {

namespace {

void* HostArea(EngineContext* ctx, uint32_t offset) {
  return reinterpret_cast<void*>(ctx->threadTimerArg + offset);
}

}  // namespace

// Thread 0's live accumulator is the slice field of its record in the
// context: SwitchThread clears it whenever thread 0 becomes current, as it
// does every other thread's. The loop only switches to thread 0 or lets the
// chooser pick, which cannot fail.
void SwitchThreadFromLoop(EngineContext* ctx, int32_t target) {
  SwitchThread(ctx, target);
}

bool YieldToThreads(EngineContext* ctx, const int16_t** ipCell) {
  SetCodePointer(ctx, *ipCell);
  SwitchThreadFromLoop(ctx, -1);
  if (ctx->cpKind != kCodeNone) {
    *ipCell = GetCodePointer(ctx);
    YieldRequested(ctx) = 0;
    return false;
  }
  if (ctx->currentThread != 0) SwitchThreadFromLoop(ctx, 0);
  return true;
}

bool SliceCheck(LoopRun& run) {
  EngineContext* ctx = run.ctx;
  bool yield;
  if (ctx->threadTimer) {
    const double dt = ctx->threadTimer(HostArea(ctx, 0), 0, 1);
    double slice;
    if (ctx->currentThread == 0) {
      slice = ctx->mainThread.sliceTime += dt;
    } else {
      uint8_t* record = BlockData(ctx, static_cast<int32_t>(ctx->currentThread));
      slice = Load<double>(record + offsetof(InterpThreadRecord, sliceTime)) + dt;
      Store<double>(record + offsetof(InterpThreadRecord, sliceTime), slice);
      const double total = Load<double>(record + offsetof(InterpThreadRecord, totalTime));
      Store<double>(record + offsetof(InterpThreadRecord, totalTime), total + dt);
    }
    yield = slice > ctx->sliceLength;
  } else {
    yield = YieldRequested(ctx) != 0;
  }
  if (!yield || !YieldToThreads(ctx, &run.ip)) return false;
  LeaveRun(ctx);
  return true;
}

void ProfileLine(EngineContext* ctx, int32_t function, int32_t line) {
  uint32_t* w = ctx->profileWords;
  if (ctx->profileTable <= 0 || !ctx->threadTimer ||
      static_cast<int32_t>(w[kProfileFunction]) != function)
    return;
  // The profiler's timer area lies behind the thread timer's own.
  const double dt = ctx->threadTimer(HostArea(ctx, ctx->threadHostAreaSize), 1, 1);
  const auto previous = static_cast<int32_t>(w[kProfileLine]);
  const uint32_t room = BlockUnits(ctx, ctx->profileTable);
  if (w[kProfilePerLine] && previous >= 0 && static_cast<uint32_t>(previous) < w[kProfileLength] &&
      static_cast<uint32_t>(previous) < room) {
    uint8_t* cell = BlockData(ctx, ctx->profileTable) + 8ull * static_cast<uint32_t>(previous);
    Store<double>(cell, Load<double>(cell) + dt);
  }
  w[kProfileLine] =
      static_cast<uint32_t>(line < 0 ? -1 : line - static_cast<int32_t>(w[kProfileFirstLine]));
}

}  // namespace vke
