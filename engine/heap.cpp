// The block heap: first-fit allocation of 8-byte units inside the engine
// area, with free neighbours merged while the allocator walks.
#include <vector>

#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"

namespace vke {

namespace {

inline uint32_t HeaderAt(const uint8_t* heap, uint32_t unit) {
  return Load<uint32_t>(heap + 8ull * unit);
}
inline void SetHeader(uint8_t* heap, uint32_t unit, uint32_t h) {
  Store<uint32_t>(heap + 8ull * unit, h);
}

// The commonest allocation: the block at the hint is free and, with the free
// blocks that follow it merged in, large enough. The headers end up exactly
// as the general walk below leaves them; false, with nothing changed, when
// the walk has to decide.
inline bool TakeAtHint(EngineContext* ctx, uint8_t* heap, uint64_t end, uint32_t units,
                       int32_t* index) {
  const uint64_t u = ctx->heapFreeFrom;
  if (u >= end) return false;
  const uint32_t h = HeaderAt(heap, static_cast<uint32_t>(u));
  if (h & kBlockInUse) return false;
  uint64_t size = h & kBlockSizeMask;
  uint64_t next = u + size + 1;
  if (next > end) return false;
  // Free followers join as the walk would join them one by one: each only
  // while it lies inside the heap and the sum still fits a header.
  while (next < end) {
    const uint32_t nh = HeaderAt(heap, static_cast<uint32_t>(next));
    if (nh & kBlockInUse) break;
    const uint64_t merged = size + (nh & kBlockSizeMask) + 1;
    if (merged > kBlockSizeMask) break;
    size = merged;
    next = u + size + 1;
  }
  if (next > end || size < units) return false;  // a follower ran past the heap, or too small
  if (size == units) {
    SetHeader(heap, static_cast<uint32_t>(u), static_cast<uint32_t>(size) | kBlockInUse);
  } else {
    SetHeader(heap, static_cast<uint32_t>(u), units | kBlockInUse);
    SetHeader(heap, static_cast<uint32_t>(u + units + 1), static_cast<uint32_t>(size - units - 1));
  }
  *index = static_cast<int32_t>(u + 1);
  ctx->heapFreeFrom = static_cast<uint32_t>(u + units + 1);
  return true;
}

// The first-fit walk from the hint, for whatever TakeAtHint leaves.
[[gnu::noinline]] ErrCode WalkForBlock(EngineContext* ctx, uint32_t units, int32_t* index) {
  uint8_t* heap = ctx->HeapBytes();
  const uint64_t end = ctx->heapSize;
  // Every block below the hint is in use: a walk from there chooses as a
  // walk from the start does. Afterwards the hint moves to the first free
  // block the walk met, or past the block it handed out.
  uint64_t u = ctx->heapFreeFrom <= end ? ctx->heapFreeFrom : 0;
  uint64_t firstFree = end;
  while (u < end) {
    uint32_t h = HeaderAt(heap, static_cast<uint32_t>(u));
    uint32_t size = h & kBlockSizeMask;
    uint64_t next = u + size + 1;
    if (next > end) break;  // a block that runs past the heap ends the walk
    if (!(h & kBlockInUse)) {
      if (firstFree == end) firstFree = u;
      if (next < end) {
        uint32_t nh = HeaderAt(heap, static_cast<uint32_t>(next));
        uint64_t merged = uint64_t{size} + (nh & kBlockSizeMask) + 1;
        if (!(nh & kBlockInUse) && merged <= kBlockSizeMask) {
          // Merge and look at the merged block again.
          SetHeader(heap, static_cast<uint32_t>(u), static_cast<uint32_t>(merged));
          continue;
        }
      }
      if (size >= units) {
        if (size == units) {
          SetHeader(heap, static_cast<uint32_t>(u), size | kBlockInUse);
        } else {
          SetHeader(heap, static_cast<uint32_t>(u), units | kBlockInUse);
          SetHeader(heap, static_cast<uint32_t>(u + units + 1), size - units - 1);
        }
        *index = static_cast<int32_t>(u + 1);
        ctx->heapFreeFrom = static_cast<uint32_t>(firstFree < u ? firstFree : u + units + 1);
        return kOk;
      }
    }
    u = next;
  }
  ctx->heapFreeFrom = static_cast<uint32_t>(firstFree < u ? firstFree : u);
  return kErrVarOverflow;
}

}  // namespace

ErrCode AllocEngineBlock(EngineContext* ctx, uint32_t units, int32_t* index) {
  if (units == 0) {
    *index = 0;
    return kOk;
  }
  if (TakeAtHint(ctx, ctx->HeapBytes(), ctx->heapSize, units, index)) return kOk;
  return WalkForBlock(ctx, units, index);
}

void FreeEngineBlock(EngineContext* ctx, int32_t index) {
  if (index <= 0 || static_cast<uint32_t>(index) > ctx->heapSize) return;
  uint8_t* heap = ctx->HeapBytes();
  SetHeader(heap, index - 1, HeaderAt(heap, index - 1) & ~kBlockInUse);
  if (static_cast<uint32_t>(index - 1) < ctx->heapFreeFrom) ctx->heapFreeFrom = index - 1;
}

bool ExtendEngineBlock(EngineContext* ctx, int32_t index, uint32_t units) {
  if (index <= 0 || static_cast<uint32_t>(index) > ctx->heapSize) return false;
  uint8_t* heap = ctx->HeapBytes();
  const uint32_t at = static_cast<uint32_t>(index - 1);
  const uint32_t h = HeaderAt(heap, at);
  uint64_t size = h & kBlockSizeMask;
  if (size >= units) return true;
  const uint64_t end = ctx->heapSize;
  // Free followers join the block one by one; the headers are only
  // rewritten once enough is found.
  uint64_t next = at + size + 1;
  while (size < units && next < end) {
    const uint32_t nh = HeaderAt(heap, static_cast<uint32_t>(next));
    const uint64_t nsize = nh & kBlockSizeMask;
    if ((nh & kBlockInUse) || next + nsize + 1 > end) break;
    size += nsize + 1;
    next += nsize + 1;
  }
  if (size < units || size > kBlockSizeMask) return false;
  SetHeader(heap, at, (h & ~kBlockSizeMask) | units);
  const uint64_t rest = uint64_t{at} + units + 1;
  if (size > units)
    SetHeader(heap, static_cast<uint32_t>(rest), static_cast<uint32_t>(size - units - 1));
  // The hint may have named one of the blocks taken in.
  if (ctx->heapFreeFrom > at && ctx->heapFreeFrom < rest)
    ctx->heapFreeFrom = static_cast<uint32_t>(rest);
  return true;
}

ErrCode MoveBlockHeap(uint8_t* oldBase, uint32_t oldSize, uint8_t* newBase, uint32_t newSize,
                      AreaMoveFn move) {
  if (newSize < oldSize) return kErrIllegal;
  // Free blocks of at least this many units keep only their header: their
  // data means nothing, and copying it would back pages nothing uses.
  constexpr uint32_t kSkippedFreeUnits = 512;
  struct Gap {
    uint32_t header;  // the free block's header unit
    uint32_t end;     // the unit behind its data
  };
  std::vector<Gap> gaps;
  for (uint64_t u = 0; u < oldSize;) {
    const uint32_t h = HeaderAt(oldBase, static_cast<uint32_t>(u));
    const uint64_t next = u + (h & kBlockSizeMask) + 1;
    if (next > oldSize) break;  // the rest is copied whole
    if (!(h & kBlockInUse) && (h & kBlockSizeMask) >= kSkippedFreeUnits)
      gaps.push_back({static_cast<uint32_t>(u), static_cast<uint32_t>(next)});
    u = next;
  }
  // The stretches between the gaps, each with the header of the gap before
  // it; moving up, the highest goes first so that no source is overwritten
  // before it is read.
  auto moveStretch = [&](uint32_t from, uint32_t to) {
    if (to <= from) return;
    if (!move) move = [](void* t, const void* f, size_t n) { std::memmove(t, f, n); };
    move(newBase + 8ull * from, oldBase + 8ull * from, 8ull * (to - from));
  };
  if (newBase > oldBase) {
    uint32_t end = oldSize;
    for (size_t k = gaps.size(); k-- > 0;) {
      moveStretch(gaps[k].end, end);
      end = gaps[k].header + 1;
    }
    moveStretch(0, end);
  } else if (newBase < oldBase) {
    uint32_t from = 0;
    for (const Gap& g : gaps) {
      moveStretch(from, g.header + 1);
      from = g.end;
    }
    moveStretch(from, oldSize);
  }
  if (newSize > oldSize) SetHeader(newBase, oldSize, newSize - oldSize - 1);
  return kOk;
}

}  // namespace vke
