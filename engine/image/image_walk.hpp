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

// Calls visit(block) for the slot of every variable of the frames on one
// thread's descriptor stack (words below top), from `frame` down along the
// back links; a frame that does not lie below the one above it ends the walk.
template <typename Visit>
void ForEachFrameSlot(const uint32_t* words, uint32_t top, int32_t frame, Visit visit) {
  for (int32_t f = frame; f >= 0;) {
    const uint32_t* w = words + f;
    if (uint64_t(f) + kFrameHeaderWords > top ||
        uint64_t(f) + kFrameHeaderWords + w[kFwVarCount] > top)
      return;
    for (uint32_t v = 0; v < w[kFwVarCount]; v++)
      visit(static_cast<int32_t>(w[kFrameHeaderWords + v]));
    const int32_t link = static_cast<int32_t>(w[kFwBackLink]);
    top = static_cast<uint32_t>(f);
    f = link > 0 && link <= f ? f - link : -1;
  }
}

}  // namespace vke
