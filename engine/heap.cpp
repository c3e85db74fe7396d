// The block heap: first-fit allocation of 8-byte units inside the engine
// area, with free neighbours merged while the allocator walks.
#include "engine/errors.hpp"
#include "engine/frames.hpp"

namespace vke {

namespace {

inline uint32_t HeaderAt(uint8_t* heap, uint32_t unit) {
  return Load<uint32_t>(heap + 8ull * unit);
}
inline void SetHeader(uint8_t* heap, uint32_t unit, uint32_t h) {
  Store<uint32_t>(heap + 8ull * unit, h);
}

}  // namespace

ErrCode AllocEngineBlock(EngineContext* ctx, uint32_t units, int32_t* index) {
  if (units == 0) {
    *index = 0;
    return kOk;
  }
  uint8_t* heap = ctx->HeapBytes();
  uint32_t end = ctx->heapSize;
  uint32_t u = 0;
  while (u < end) {
    uint32_t h = HeaderAt(heap, u);
    uint32_t size = h & kBlockSizeMask;
    if (!(h & kBlockInUse)) {
      uint32_t next = u + size + 1;
      if (next < end) {
        uint32_t nh = HeaderAt(heap, next);
        if (!(nh & kBlockInUse)) {
          // Merge and look at the merged block again.
          SetHeader(heap, u, (size + (nh & kBlockSizeMask) + 1) | (h & kBlockKept));
          continue;
        }
      }
      if (size >= units) {
        if (size == units || size - units < 1) {
          SetHeader(heap, u, size | kBlockInUse);
        } else {
          SetHeader(heap, u, units | kBlockInUse);
          SetHeader(heap, u + units + 1, size - units - 1);
        }
        *index = static_cast<int32_t>(u + 1);
        return kOk;
      }
    }
    u += size + 1;
  }
  return kErrVarOverflow;
}

void FreeEngineBlock(EngineContext* ctx, int32_t index) {
  if (index <= 0 || static_cast<uint32_t>(index) > ctx->heapSize) return;
  uint8_t* heap = ctx->HeapBytes();
  uint32_t h = HeaderAt(heap, index - 1);
  SetHeader(heap, index - 1, h & ~kBlockInUse);
}

uint8_t* BlockData(EngineContext* ctx, int32_t index) {
  return ctx->HeapBytes() + 8ull * static_cast<uint32_t>(index);
}

uint32_t BlockUnits(EngineContext* ctx, int32_t index) {
  return HeaderAt(ctx->HeapBytes(), index - 1) & kBlockSizeMask;
}

void MoveBlockHeap(uint8_t* oldBase, uint32_t oldSize, uint8_t* newBase, uint32_t newSize) {
  uint32_t n = oldSize < newSize ? oldSize : newSize;
  for (uint32_t i = n; i-- > 0;) std::memmove(newBase + 8ull * i, oldBase + 8ull * i, 8);
  if (newSize > oldSize) Store<uint32_t>(newBase + 8ull * oldSize, newSize - oldSize - 1);
}

}  // namespace vke
