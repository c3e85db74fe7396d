// Walks over the parts of the engine area that the image and the area moves
// must understand: the block chain of the heap and the list of interpreter
// threads whose records lie in heap blocks.
#pragma once

#include "engine/frames/frames.hpp"

namespace vke {

struct HeapChainEnd {
  uint32_t inUseEnd;  // unit behind the last block in use, 0 = none in use
  bool exact;         // the chain ends exactly at the limit
};

// Follows the block headers over the first limit units of the heap.
HeapChainEnd WalkHeapChain(const uint8_t* heap, uint32_t limit);

// A heap block's data, as byte offsets from the context.
struct HeapBlock {
  uint32_t index;  // block index
  uint32_t begin;  // start of the data
  uint32_t end;    // behind the data
};

inline constexpr uint32_t kThreadRecordUnits = sizeof(InterpThreadRecord) / 8;

// True when the index names a block in use of at least minUnits data units
// that lies inside the first limit units of the heap.
bool InUseBlock(EngineContext* ctx, uint32_t index, uint32_t limit, uint32_t minUnits,
                HeapBlock* block);

// Calls visit(record, block) for every listed thread, newest first, and writes
// the record (at the start of the block) back. False when the list leaves the first limit units of
// the heap, names a block that cannot hold a record, or runs in a circle.
template <typename Visit>
bool ForEachListedThread(EngineContext* ctx, uint32_t limit, Visit visit) {
  uint32_t index = ctx->firstThread;
  for (uint32_t n = 0; index != 0; n++) {
    HeapBlock block;
    if (n > limit / (kThreadRecordUnits + 1) ||
        !InUseBlock(ctx, index, limit, kThreadRecordUnits, &block))
      return false;
    InterpThreadRecord record;
    std::memcpy(&record, ctx->Bytes() + block.begin, sizeof record);
    visit(record, block);
    std::memcpy(ctx->Bytes() + block.begin, &record, sizeof record);
    index = record.nextThread;
  }
  return true;
}

}  // namespace vke
