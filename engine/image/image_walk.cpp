// The heap's block chain and the thread list, as the image and the area moves
// walk them.
#include "engine/image/image_walk.hpp"

namespace vke {

HeapChainEnd WalkHeapChain(const uint8_t* heap, uint32_t limit) {
  HeapChainEnd r{0, false};
  uint64_t u = 0;
  while (u < limit) {
    uint32_t h = Load<uint32_t>(heap + 8 * u);
    uint64_t next = u + (h & kBlockSizeMask) + 1;
    if (next > limit) return r;
    if (h & kBlockInUse) r.inUseEnd = static_cast<uint32_t>(next);
    u = next;
  }
  r.exact = true;
  return r;
}

bool InUseBlock(EngineContext* ctx, uint32_t index, uint32_t limit, uint32_t minUnits,
                HeapBlock* block) {
  if (index == 0 || index > limit) return false;
  uint32_t h = Load<uint32_t>(ctx->HeapBytes() + 8ull * (index - 1));
  uint32_t units = h & kBlockSizeMask;
  if (!(h & kBlockInUse) || units < minUnits || uint64_t{index} + units > limit) return false;
  block->index = index;
  block->begin = ctx->heapBase + 8 * index;
  block->end = block->begin + 8 * units;
  return true;
}

}  // namespace vke
