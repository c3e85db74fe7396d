// Questions about the running call and small frame settings: the stack
// level, the code pointer record, the entry flag, whether a function runs,
// variable names, and the argument counts behind nargin and nargout.
#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frame_internal.hpp"
#include "engine/values/values.hpp"

namespace vke {

int32_t ScopeWord(EngineContext* ctx) {
  return ctx->curFrame < 0 ? 0 : static_cast<int32_t>(FrameWords(ctx, ctx->curFrame)[kFwScope]);
}

int32_t CurrentScope(EngineContext* ctx) {
  if (ctx->curFrame < 0) return 0;
  const int32_t scope = static_cast<int32_t>(FrameWords(ctx, ctx->curFrame)[kFwScope]);
  return scope > 0 ? scope : 0;
}

int32_t InnermostVariableFrame(EngineContext* ctx) {
  for (int32_t f = ctx->curFrame; f >= 0; f = PreviousFrame(ctx, f))
    if (static_cast<int32_t>(FrameWords(ctx, f)[kFwVarCount]) > 0) return f;
  return -1;
}

int32_t InnermostFrameVariables(EngineContext* ctx) {
  const int32_t f = InnermostVariableFrame(ctx);
  return f < 0 ? 0 : static_cast<int32_t>(FrameWords(ctx, f)[kFwVarCount]);
}

bool VariableIsSet(EngineContext* ctx, int32_t i) {
  const int32_t f = InnermostVariableFrame(ctx);
  if (f < 0 || i < 0 || static_cast<uint32_t>(i) >= FrameWords(ctx, f)[kFwVarCount]) return false;
  return VariableValueBlock(ctx, static_cast<int32_t>(FrameWords(ctx, f)[kFrameHeaderWords + i])) >
         0;
}

ErrCode GetStackLevel(EngineContext* ctx, int32_t* level) {
  *level = static_cast<int32_t>(ctx->descTop);
  return kOk;
}

void SaveCodePointer(EngineContext* ctx, SavedCodePointer* record) {
  record->kind = ctx->cpKind;
  record->offset = ctx->cpOffset;
}

void RestoreCodePointer(EngineContext* ctx, const SavedCodePointer* record) {
  ctx->cpKind = record->kind;
  ctx->cpOffset = record->offset;
  ctx->cpFlag = 0;
}

void MarkFrameAsEntry(EngineContext* ctx) {
  if (ctx->curFrame >= 0) FrameWords(ctx, ctx->curFrame)[kFwEntry] = 1;
}

bool IsInFunctionContext(EngineContext* ctx) {
  for (int32_t f = ctx->curFrame; f >= 0;) {
    const uint32_t* w = FrameWords(ctx, f);
    if (w[kFwReturnKind] == kBaseFrameKind) return false;
    if (static_cast<int32_t>(w[kFwVarCount]) > 0) return true;
    f = PreviousFrame(ctx, f);
    if (f < 0) return true;  // the bottom frame is not the base frame
  }
  return false;
}

const char* GetVariableName(EngineContext* ctx, int32_t i) {
  const int32_t f = InnermostVariableFrame(ctx);
  if (f < 0 || i < 0) return nullptr;
  const uint32_t* w = FrameWords(ctx, f);
  if (static_cast<uint32_t>(i) >= w[kFwVarCount]) return nullptr;
  if (static_cast<int32_t>(w[kFwHeader]) == 0) {
    const uint32_t capacity = w[kFwNameCapacity];
    if (static_cast<uint32_t>(i) >= capacity) return nullptr;
    const uint32_t* names = w + kFrameHeaderWords + capacity;
    return reinterpret_cast<const char*>(names + static_cast<uint32_t>(i) * (kFrameNameBytes / 4));
  }
  FrameFunction fn;
  if (!FindFrameFunction(ctx, f, &fn) || !fn.header.HasNames() || i >= fn.header.vars)
    return nullptr;
  const uint64_t at = 2ull * (fn.header.NamesAt() + kFnNameUnits * static_cast<uint32_t>(i));
  if (at + kFrameNameBytes > static_cast<uint64_t>(fn.end - fn.block)) return nullptr;
  return reinterpret_cast<const char*>(fn.block + at);
}

ErrCode PushCallerArgCount(EngineContext* ctx, bool results) {
  int32_t n = 0;
  if (ctx->curFrame >= 0)
    n = static_cast<int32_t>(
        FrameWords(ctx, ctx->curFrame)[results ? kFwResultsWanted : kFwInputsGiven]);
  return PushRealScalar(ctx, n < 0 ? 0 : n);
}

ErrCode PushFunctionArgCount(EngineContext* ctx, int32_t depth, int32_t which, int32_t scope) {
  int32_t counts[2] = {0, 0};
  ErrCode e = ResolveFunctionValue(ctx, depth, scope, &counts[0], &counts[1]);
  if (e) return e;
  // The count stands before the function value goes: without room for it,
  // the value stays for the run after growth.
  e = PushRealScalar(ctx, counts[which ? 1 : 0]);
  return e ? e : DropStackEntries(ctx, depth + 1, 1);
}

}  // namespace vke
