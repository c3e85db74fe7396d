// The debugger's state in the context: breakpoints, the interrupt byte, the
// echo mode, and stepping up to the frame where execution stopped.
#include "engine/code/names.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/frames/frames.hpp"

namespace vke {

namespace {

constexpr int32_t kBreakpointGrowth = 8;

int32_t* BreakpointPairs(EngineContext* ctx) {
  return reinterpret_cast<int32_t*>(BlockData(ctx, ctx->bpTable));
}

void FreeBreakpointTable(EngineContext* ctx) {
  ForgetCachedBreakpoint(ctx);
  if (ctx->bpTable > 0) FreeEngineBlock(ctx, ctx->bpTable);
  ctx->bpTable = -1;
  ctx->bpCount = 0;
}

void RemoveBreakpointAt(EngineContext* ctx, uint32_t i) {
  ForgetCachedBreakpoint(ctx);
  int32_t* p = BreakpointPairs(ctx);
  std::memmove(p + 2 * i, p + 2 * (i + 1), 8ull * (ctx->bpCount - i - 1));
  ctx->bpCount--;
}

}  // namespace

ErrCode FindDebugFunction(EngineContext* ctx, const char* name, int32_t length, int32_t* index) {
  if (length < 0) length = static_cast<int32_t>(std::strlen(name));
  ErrCode e = kOk;
  *index = FindNamedFunction(ctx, name, length, CurrentScope(ctx), &e);
  if (*index >= 0) return kOk;
  if (e) return e;
  char text[64];
  int32_t n = length < 63 ? length : 63;
  std::memcpy(text, name, n);
  text[n] = 0;
  return RaiseError(ctx, kErrUndefFun, -1, 0, -1, text);
}

bool GetBreakpoint(EngineContext* ctx, uint32_t i, int32_t* function, int32_t* line) {
  if (ctx->bpTable <= 0 || i >= ctx->bpCount || i >= BlockUnits(ctx, ctx->bpTable)) return false;
  const int32_t* p = BreakpointPairs(ctx);
  *function = p[2 * i];
  *line = p[2 * i + 1];
  return true;
}

bool IsDebugging(EngineContext* ctx) {
  return ctx->curFrame >= 0 && FrameWords(ctx, ctx->curFrame)[kFwDebugKind] != 0;
}

ErrCode DebugUp(EngineContext* ctx) {
  ErrCode e = UnwindCallFrames(ctx, -1);
  if (e) return e;
  if (ctx->curFrame < 0) return kErrBadContext;
  uint32_t* f = FrameWords(ctx, ctx->curFrame);
  if (f[kFwDebugKind] == 0) return kErrBadContext;
  ctx->cpKind = f[kFwDebugKind];
  ctx->cpOffset = f[kFwDebugOffset];
  ctx->cpFlag = 0;
  f[kFwDebugKind] = 0;
  return kOk;
}

ErrCode SetBreakpoint(EngineContext* ctx, const char* name, int32_t length, int32_t line) {
  int32_t fn;
  ErrCode e = FindDebugFunction(ctx, name, length, &fn);
  if (e) return e;
  uint32_t capacity = ctx->bpTable > 0 ? BlockUnits(ctx, ctx->bpTable) : 0;
  if (ctx->bpCount >= capacity) {
    int32_t block;
    if (AllocEngineBlock(ctx, capacity + kBreakpointGrowth, &block)) return kErrVarOverflow;
    if (ctx->bpTable > 0) {
      std::memcpy(BlockData(ctx, block), BlockData(ctx, ctx->bpTable), 8ull * ctx->bpCount);
      FreeEngineBlock(ctx, ctx->bpTable);
    }
    ctx->bpTable = block;
  }
  int32_t* p = BreakpointPairs(ctx);
  p[2 * ctx->bpCount] = fn;
  p[2 * ctx->bpCount + 1] = line;
  ctx->bpCount++;
  ForgetCachedBreakpoint(ctx);
  return kOk;
}

ErrCode ClearBreakpoint(EngineContext* ctx, const char* name, int32_t length, int32_t line) {
  if (!name) {
    if (line < 0) {
      FreeBreakpointTable(ctx);
      return kOk;
    }
    if (static_cast<uint32_t>(line) >= ctx->bpCount) return kErrOutOfRangeArg;
    RemoveBreakpointAt(ctx, static_cast<uint32_t>(line));
  } else {
    int32_t fn;
    ErrCode e = FindDebugFunction(ctx, name, length, &fn);
    if (e) return e;
    for (uint32_t i = ctx->bpCount; i-- > 0;) {
      int32_t* p = BreakpointPairs(ctx);
      if (p[2 * i] == fn && (line < 0 || p[2 * i + 1] == line)) RemoveBreakpointAt(ctx, i);
    }
  }
  if (ctx->bpCount == 0) FreeBreakpointTable(ctx);
  return kOk;
}

void SetInterruptDebug(EngineContext* ctx, uint8_t on) {
  ctx->interruptDebug = on;
  ctx->abortToggle = 0;
}

uint8_t GetInterruptDebug(EngineContext* ctx) {
  return ctx->interruptDebug;
}

ErrCode SetEchoMode(EngineContext* ctx, bool on, const char* name, int32_t length, int32_t level) {
  if (!on) {
    ctx->echoMode = -1;
    return kOk;
  }
  if (!name) {
    ctx->echoMode = -2;
    ctx->echoLevel = level;
    return kOk;
  }
  int32_t fn;
  ErrCode e = FindDebugFunction(ctx, name, length, &fn);
  if (e) return e;
  ctx->echoMode = fn;
  ctx->echoLevel = level;
  return kOk;
}

}  // namespace vke
