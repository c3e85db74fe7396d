// Real double scalars in variables, the commonest case of all, found and
// moved without the general paths: the fast paths of LoadVariable and
// StoreVariable, which the execution loop also takes directly. Anything
// unusual (a link, a value of another kind or size, a full stack) is left to
// the general operations, which decide as before.
#pragma once

#include "engine/frame_internal.hpp"

namespace vke {

// The frame whose slots hold the scope's variables: the innermost with
// variables, or the base frame; -1 when there is none.
VKE_HOT_INLINE int32_t ScopeFrame(EngineContext* ctx) {
  for (int32_t f = ctx->curFrame; f >= 0; f = PreviousFrame(ctx, f)) {
    const uint32_t* w = FrameWords(ctx, f);
    if (static_cast<int32_t>(w[kFwVarCount]) > 0 || w[kFwReturnKind] == kBaseFrameKind) return f;
  }
  return -1;
}

// The block of variable n of the scope frame f (ScopeFrame's) when its slot
// holds one of its own (no link) of at least the three units of a real
// double scalar; 0 otherwise.
VKE_HOT_INLINE int32_t ScalarSizedBlock(EngineContext* ctx, int32_t f, int32_t n) {
  if (f < 0 || static_cast<uint32_t>(n) >= FrameWords(ctx, f)[kFwVarCount]) return 0;
  const uint32_t position = static_cast<uint32_t>(f) + kFrameHeaderWords + static_cast<uint32_t>(n);
  if (position >= ctx->descTop) return 0;
  const auto block = static_cast<int32_t>(ctx->DescWords()[position]);
  if (static_cast<uint32_t>(block) - 1 >= ctx->heapSize ||
      (Load<uint32_t>(BlockData(ctx, block)) & kFlagReference) || BlockUnits(ctx, block) < 3)
    return 0;
  return block;
}

// Pushes variable n of the scope frame f when it holds a real double
// scalar; false, with nothing pushed, for anything else.
VKE_HOT_INLINE bool LoadScalarVariable(EngineContext* ctx, int32_t f, int32_t n) {
  const int32_t block = ScalarSizedBlock(ctx, f, n);
  if (!block) return false;
  const uint8_t* item = BlockData(ctx, block);
  return IsRealDoubleScalar(Load<ValueDescriptor>(item)) &&
         PushRealScalar(ctx, Load<double>(item + kItemHeaderBytes)) == kOk;
}

// Stores a real double scalar into variable n of the scope frame f when the
// variable's block has a scalar's size; false, with nothing changed, for
// anything else.
VKE_HOT_INLINE bool StoreScalarValue(EngineContext* ctx, int32_t f, int32_t n, double value) {
  const int32_t block = ScalarSizedBlock(ctx, f, n);
  if (!block || BlockUnits(ctx, block) != 3) return false;
  uint8_t* item = BlockData(ctx, block);
  Store(item, kRealDoubleScalar);
  Store<int32_t>(item + 12, 0);
  Store<double>(item + kItemHeaderBytes, value);
  return true;
}

// Pops the real double scalar on top into variable n of the scope frame f
// when the variable's block has a scalar's size; false, with nothing
// changed, for anything else.
VKE_HOT_INLINE bool StoreScalarVariable(EngineContext* ctx, int32_t f, int32_t n) {
  if (ctx->descTop < 3 || !IsRealDoubleScalar(*DescAt(ctx, 0)) ||
      !StoreScalarValue(ctx, f, n, Load<double>(ctx->DataUnits() + ctx->dataTop - 1)))
    return false;
  ctx->descTop -= 3;
  ctx->dataTop -= 1;
  return true;
}

}  // namespace vke
