// Growing a frame's variable table for the names a text run in it adds:
// the slots stay where the frame's running code expects them, the names
// move into the frame, and the entries and frames above it move up.
#include <cstring>

#include "engine/errors/errors.hpp"
#include "engine/frames/frame_internal.hpp"
#include "engine/frames/frames.hpp"
#include "engine/frames/function_block.hpp"

namespace vke {

namespace {

// Room kept free on the descriptor stack when a frame's table grows.
constexpr uint32_t kKeptDescWords = 1024;
constexpr uint32_t kExtraNames = 16;

}  // namespace

const char* FrameVariableName(EngineContext* ctx, int32_t f, int32_t i) {
  const uint32_t* w = FrameWords(ctx, f);
  const int32_t at = static_cast<int32_t>(w[kFwHeader]);
  if (at == 0) {
    const uint32_t capacity = w[kFwNameCapacity];
    if (static_cast<uint32_t>(i) >= capacity) return nullptr;
    return reinterpret_cast<const char*>(w + kFrameHeaderWords + capacity +
                                         static_cast<uint32_t>(i) * (kFrameNameBytes / 4));
  }
  uint8_t* block;
  if (at > 0) {
    block = ctx->CodeBytes() + 2ull * static_cast<uint32_t>(at);
  } else if (at < -1) {
    block = ctx->DataBytes() + 2ull * static_cast<uint32_t>(-2 - at);
  } else {
    return nullptr;
  }
  const FunctionHeader h = ReadFunctionHeader(block);
  if (!h.HasNames() || i >= h.vars) return nullptr;
  return reinterpret_cast<const char*>(block + 2ull * (h.NamesAt() + kFnNameUnits * i));
}

uint64_t FrameGrowthRoom(EngineContext* ctx, int32_t f, int32_t count) {
  if (count <= 0) return 0;
  const uint32_t* w = FrameWords(ctx, f);
  const uint32_t vars = w[kFwVarCount];
  const uint32_t capacity = w[kFwNameCapacity];
  const bool held = static_cast<int32_t>(w[kFwHeader]) == 0 && capacity > 0;
  if (held && vars + count <= capacity) return 0;
  const uint64_t newCapacity = uint64_t{vars} + static_cast<uint32_t>(count) + kExtraNames;
  return kFrameHeaderWords + newCapacity * (1 + kFrameNameBytes / 4) - FrameFixedWords(w) +
         kKeptDescWords;
}

ErrCode GrowFrameVariables(EngineContext* ctx, int32_t f, const char* names, int32_t count) {
  if (count <= 0) return kOk;
  if (uint64_t{ctx->descTop} + FrameGrowthRoom(ctx, f, count) > ctx->descCap)
    return kErrStackOverflow;
  uint32_t* w = FrameWords(ctx, f);
  const uint32_t vars = w[kFwVarCount];
  const uint32_t capacity = w[kFwNameCapacity];
  const bool held = static_cast<int32_t>(w[kFwHeader]) == 0 && capacity > 0;
  if (held && vars + count <= capacity) {
    for (int32_t i = 0; i < count; i++) {
      w[kFrameHeaderWords + vars + i] = static_cast<uint32_t>(-1);
      std::memcpy(w + kFrameHeaderWords + capacity + (vars + i) * (kFrameNameBytes / 4),
                  names + 32ull * i, kFrameNameBytes);
    }
    w[kFwVarCount] = vars + count;
    return kOk;
  }
  const uint32_t newCapacity = vars + count + kExtraNames;
  const uint32_t oldFixed = FrameFixedWords(w);
  const uint32_t newFixed = kFrameHeaderWords + newCapacity * (1 + kFrameNameBytes / 4);
  const uint32_t delta = newFixed - oldFixed;
  // The names as they are now (they may lie in the frame itself).
  char saved[kFrameNameBytes];
  uint32_t* base = ctx->DescWords();
  const uint32_t above = static_cast<uint32_t>(f) + oldFixed;
  std::memmove(base + above + delta, base + above, 4ull * (ctx->descTop - above));
  w = FrameWords(ctx, f);
  uint32_t* newNames = w + kFrameHeaderWords + newCapacity;
  // Old names first, from the last so that moving within the frame is safe.
  for (int32_t i = static_cast<int32_t>(vars) - 1; i >= 0; i--) {
    const char* name = held ? reinterpret_cast<const char*>(w + kFrameHeaderWords + capacity +
                                                            i * (kFrameNameBytes / 4))
                            : FrameVariableName(ctx, f, i);
    if (name)
      std::memcpy(saved, name, kFrameNameBytes);
    else
      std::memset(saved, 0, kFrameNameBytes);
    std::memcpy(newNames + i * (kFrameNameBytes / 4), saved, kFrameNameBytes);
  }
  for (uint32_t i = vars; i < newCapacity; i++) {
    w[kFrameHeaderWords + i] = static_cast<uint32_t>(-1);
    std::memset(newNames + i * (kFrameNameBytes / 4), 0, kFrameNameBytes);
  }
  for (int32_t i = 0; i < count; i++)
    std::memcpy(newNames + (vars + i) * (kFrameNameBytes / 4), names + 32ull * i, kFrameNameBytes);
  w[kFwVarCount] = vars + count;
  w[kFwNameCapacity] = newCapacity;
  w[kFwHeader] = 0;
  // The frames above follow.
  ctx->descTop += delta;
  if (ctx->curFrame > f) {
    int32_t g = ctx->curFrame + static_cast<int32_t>(delta);
    ctx->curFrame = g;
    for (;;) {
      uint32_t* gw = FrameWords(ctx, g);
      int32_t previous = g - static_cast<int32_t>(gw[kFwBackLink]);
      if (previous - static_cast<int32_t>(delta) <= f) {
        gw[kFwBackLink] += delta;
        break;
      }
      g = previous;
    }
  }
  return kOk;
}

}  // namespace vke
