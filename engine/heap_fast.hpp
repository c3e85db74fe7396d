// The block heap's commonest allocation and free, inline for the paths that
// take them on every call of a function (a call's input blocks, the first
// value of its output, the frees of its return): a block taken where the
// allocator's walk starts, and a block given back that ends there. Each
// leaves the headers and the hints exactly as AllocEngineBlock and
// FreeEngineBlock leave them, and hands every other case to them.
#pragma once

#include "engine/frames/frames.hpp"
#include "engine/room_requests.hpp"

namespace vke {

inline uint32_t HeapHeaderAt(const uint8_t* heap, uint32_t unit) {
  return Load<uint32_t>(heap + 8ull * unit);
}
inline void SetHeapHeader(uint8_t* heap, uint32_t unit, uint32_t h) {
  Store<uint32_t>(heap + 8ull * unit, h);
}

// The commonest allocation: the block where the walk starts is free and,
// with the free blocks that follow it merged in, large enough. The headers
// end up exactly as the general walk below leaves them; false, with nothing
// changed, when the walk has to decide. The walk's start moves behind the
// block taken.
VKE_HOT_INLINE bool TakeAtWalkStart(EngineContext* ctx, uint8_t* heap, uint64_t end, uint32_t units,
                                    int32_t* index) {
  const uint64_t u = ctx->heapListedTo;
  if (u >= end) return false;
  const uint32_t h = HeapHeaderAt(heap, static_cast<uint32_t>(u));
  if (h & kBlockInUse) return false;
  uint64_t size = h & kBlockSizeMask;
  uint64_t next = u + size + 1;
  if (next > end) return false;
  // Free followers join as the walk would join them one by one: each only
  // while it lies inside the heap and the sum still fits a header.
  while (next < end) {
    const uint32_t nh = HeapHeaderAt(heap, static_cast<uint32_t>(next));
    if (nh & kBlockInUse) break;
    const uint64_t merged = size + (nh & kBlockSizeMask) + 1;
    if (merged > kBlockSizeMask) break;
    size = merged;
    next = u + size + 1;
  }
  if (next > end || size < units) return false;  // a follower ran past the heap, or too small
  if (size == units) {
    SetHeapHeader(heap, static_cast<uint32_t>(u), static_cast<uint32_t>(size) | kBlockInUse);
  } else {
    SetHeapHeader(heap, static_cast<uint32_t>(u), units | kBlockInUse);
    SetHeapHeader(heap, static_cast<uint32_t>(u + units + 1),
                  static_cast<uint32_t>(size - units - 1));
  }
  *index = static_cast<int32_t>(u + 1);
  ctx->heapListedTo = static_cast<uint32_t>(u + units + 1);
  return true;
}

// AllocEngineBlock's outcome for units > 0 when nothing is listed below the
// walk's start and the block there is taken (TakeAtWalkStart); false, with
// nothing changed, when the allocator has to decide (and always while the
// requests for room are watched, so that the allocator counts them).
VKE_HOT_INLINE bool TakeBlockAtWalkStart(EngineContext* ctx, uint32_t units, int32_t* index) {
  if (uint64_t{ctx->heapListedCount} + RoomRequestToll() == 0 &&
      ctx->heapFreeFrom == ctx->heapListedTo && units > 0 &&
      TakeAtWalkStart(ctx, ctx->HeapBytes(), ctx->heapSize, units, index)) [[likely]] {
    ctx->heapFreeFrom = ctx->heapListedTo;
    return true;
  }
  return false;
}

// AllocEngineBlock for units > 0, inline when TakeBlockAtWalkStart takes it.
VKE_HOT_INLINE ErrCode AllocBlockAtWalkStart(EngineContext* ctx, uint32_t units, int32_t* index) {
  if (TakeBlockAtWalkStart(ctx, units, index)) [[likely]]
    return kOk;
  return AllocEngineBlock(ctx, units, index);
}

// FreeEngineBlock, its commonest case inline: nothing listed and the block
// ends where the walk starts, which comes down to it.
VKE_HOT_INLINE void FreeBlockBelowWalkStart(EngineContext* ctx, int32_t index) {
  if (index <= 0 || static_cast<uint32_t>(index) > ctx->heapSize) return;
  uint8_t* heap = ctx->HeapBytes();
  const auto unit = static_cast<uint32_t>(index - 1);
  const uint32_t h = Load<uint32_t>(heap + 8ull * unit);
  Store<uint32_t>(heap + 8ull * unit, h & ~kBlockInUse);
  if (!(h & kBlockInUse)) return;
  if (ctx->heapListedCount == 0 && ctx->heapFreeFrom == ctx->heapListedTo &&
      uint64_t{unit} + (h & kBlockSizeMask) + 1 == ctx->heapListedTo) [[likely]] {
    ctx->heapListedTo = unit;
    ctx->heapFreeFrom = unit;
    return;
  }
  NoteFreeBlock(ctx, unit);
}

}  // namespace vke
