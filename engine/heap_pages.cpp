// Heap blocks placed to share a granule position with a value on the data
// stack, and values moved into them by exchanging whole granules of pages.
#include "engine/heap_pages.hpp"

#include <cstring>

#include "engine/frames/frames.hpp"
#include "engine/heap_fast.hpp"

namespace vke {

void SetPageSwap(EngineContext* ctx, PageSwapFn swap) {
  ctx->pageSwap = swap;
}

ErrCode AllocBlockAlignedWith(EngineContext* ctx, uint32_t units, uint32_t at, const void* source,
                              int32_t* index) {
  const uint64_t granule = kSwapGranuleBytes;
  const uint64_t granuleUnits = granule / 8;
  // Where the data would start in a block at the heap's first unit; the
  // block's place moves by whole units, so only a source as far from it as
  // a whole number of units can be met.
  const uint64_t apart =
      (reinterpret_cast<uintptr_t>(source) - reinterpret_cast<uintptr_t>(BlockData(ctx, 1 + at))) %
      granule;
  int32_t wide;
  if (units == 0 || apart % 8 != 0 || uint64_t{units} + granuleUnits > kBlockSizeMask ||
      AllocEngineBlock(ctx, units + static_cast<uint32_t>(granuleUnits), &wide) != kOk)
    return AllocEngineBlock(ctx, units, index);
  // The block taken is a granule wider than asked for: the units before the
  // place that meets the source become a free block when there are any,
  // and those behind the block always do (at least one unit: its header).
  uint8_t* heap = ctx->HeapBytes();
  const uint32_t header = static_cast<uint32_t>(wide - 1);
  const uint32_t skip =
      static_cast<uint32_t>((apart / 8 + granuleUnits - (header % granuleUnits)) % granuleUnits);
  const uint32_t placed = header + skip;
  const uint32_t behind = placed + units + 1;
  SetHeapHeader(heap, placed, units | kBlockInUse);
  SetHeapHeader(heap, behind, static_cast<uint32_t>(granuleUnits) - skip - 1);
  if (skip > 0) SetHeapHeader(heap, header, skip - 1);
  NoteFreeBlock(ctx, behind);
  if (skip > 0) NoteFreeBlock(ctx, header);
  *index = static_cast<int32_t>(placed + 1);
  return kOk;
}

void TakeUnits(EngineContext* ctx, uint8_t* to, uint8_t* from, uint32_t count) {
  const uint64_t granule = kSwapGranuleBytes;
  const uint64_t bytes = 8ull * count;
  const auto t = reinterpret_cast<uintptr_t>(to), f = reinterpret_cast<uintptr_t>(from);
  const uintptr_t first = (f + granule - 1) & ~(granule - 1), last = (f + bytes) & ~(granule - 1);
  if (MovesByPages(ctx, count) && (t - f) % granule == 0 && last > first &&
      ctx->pageSwap(to + (first - f), reinterpret_cast<void*>(first), last - first)) {
    std::memcpy(to, from, first - f);
    std::memcpy(to + (last - f), reinterpret_cast<const void*>(last), f + bytes - last);
    return;
  }
  CopyUnits(to, from, count);
}

}  // namespace vke
