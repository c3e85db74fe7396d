// The block heap: first-fit allocation of 8-byte units inside the engine
// area, with free neighbours merged while the allocator walks. The walk
// steps over the blocks in use below its start through a short list of the
// free blocks there, so that its cost does not grow with the blocks in use
// (beyond that list's length, the start comes down to the highest free
// block that did not fit in it).
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/heap_fast.hpp"

namespace vke {

namespace {

// The listed free blocks (EngineContext::heapListed): the blocks between
// them and below heapListedTo are in use, so the walk steps from one to the
// next and only then goes on block by block. heapFreeFrom is the first of
// them, or heapListedTo when none is listed; another value means that
// something else rewrote headers or the hint, and the list is forgotten.
uint32_t ListedFreeFrom(const EngineContext* ctx) {
  return ctx->heapListedCount ? ctx->heapListed[0] : ctx->heapListedTo;
}

bool ListIsCurrent(const EngineContext* ctx) {
  return ctx->heapListedCount <= kHeapListedBlocks && ctx->heapFreeFrom == ListedFreeFrom(ctx);
}

void RemoveListed(EngineContext* ctx, uint32_t i) {
  uint32_t* listed = ctx->heapListed;
  std::memmove(listed + i, listed + i + 1, 4ull * (ctx->heapListedCount - i - 1));
  ctx->heapListedCount--;
}

void RemoveListedUnit(EngineContext* ctx, uint32_t unit) {
  for (uint32_t i = 0; i < ctx->heapListedCount; i++)
    if (ctx->heapListed[i] == unit) return RemoveListed(ctx, i);
}

// Lists a free block below the walk's start. With the list full, its
// highest block stays unlisted and the walk's start comes down to it.
void ListFreeBlock(EngineContext* ctx, uint32_t unit) {
  if (unit >= ctx->heapListedTo) return;
  uint32_t* listed = ctx->heapListed;
  uint32_t n = ctx->heapListedCount;
  uint32_t i = n;
  while (i > 0 && listed[i - 1] > unit) i--;
  if (i > 0 && listed[i - 1] == unit) return;
  if (n == kHeapListedBlocks) {
    if (i == n) {
      ctx->heapListedTo = unit;
      return;
    }
    ctx->heapListedTo = listed[--n];
  }
  std::memmove(listed + i + 1, listed + i, 4ull * (n - i));
  listed[i] = unit;
  ctx->heapListedCount = n + 1;
}

// Whether the walk would pass every listed block without a change: each is
// too small for the request and has a block in use behind it, so that none
// is merged with its followers (a small free block left at the heap's start,
// for instance). False when the walk has to decide.
inline bool ListedBlocksPassed(EngineContext* ctx, const uint8_t* heap, uint64_t end,
                               uint32_t units) {
  for (uint32_t i = 0; i < ctx->heapListedCount; i++) {
    const uint32_t u = ctx->heapListed[i];
    const uint32_t h = HeapHeaderAt(heap, u);
    const uint64_t next = uint64_t{u} + (h & kBlockSizeMask) + 1;
    if ((h & kBlockInUse) || (h & kBlockSizeMask) >= units || next >= end ||
        !(HeapHeaderAt(heap, static_cast<uint32_t>(next)) & kBlockInUse))
      return false;
  }
  return true;
}

// Whether the free block at the unit ends where the walk starts, as the
// blocks of a call's frame do when they are freed in any order after the
// call: then the walk's start comes down to it rather than the list growing.
inline bool EndsAtWalkStart(EngineContext* ctx, uint32_t unit) {
  return uint64_t{unit} + (HeapHeaderAt(ctx->HeapBytes(), unit) & kBlockSizeMask) + 1 ==
         ctx->heapListedTo;
}

// The walk's start comes down to the free block at the unit, and on over
// the listed blocks that end where it then starts: the walk would pass
// them as it passes them listed, so that the allocation that follows finds
// the free blocks at the hint and takes them without the walk.
void LowerWalkStart(EngineContext* ctx, uint32_t unit) {
  ctx->heapListedTo = unit;
  while (ctx->heapListedCount > 0) {
    const uint32_t last = ctx->heapListed[ctx->heapListedCount - 1];
    if (!EndsAtWalkStart(ctx, last)) break;
    ctx->heapListedTo = last;
    ctx->heapListedCount--;
  }
}

// Merges the free blocks behind the free block at u into it as the walk
// does: one by one, while the sum fits a header. Its size then, or -1 when
// it runs past the heap, which ends the walk.
int64_t MergeFollowers(EngineContext* ctx, uint8_t* heap, uint64_t end, uint32_t u) {
  uint64_t size = HeapHeaderAt(heap, u) & kBlockSizeMask;
  for (;;) {
    const uint64_t next = u + size + 1;
    if (next > end) return -1;
    if (next == end) return static_cast<int64_t>(size);
    const uint32_t nh = HeapHeaderAt(heap, static_cast<uint32_t>(next));
    const uint64_t merged = size + (nh & kBlockSizeMask) + 1;
    if ((nh & kBlockInUse) || merged > kBlockSizeMask) return static_cast<int64_t>(size);
    SetHeapHeader(heap, u, static_cast<uint32_t>(merged));
    // The follower's header is gone: off the list, or, merged across the
    // walk's start, the start moves behind the merged block.
    if (next < ctx->heapListedTo)
      RemoveListedUnit(ctx, static_cast<uint32_t>(next));
    else if (u < ctx->heapListedTo)
      ctx->heapListedTo = static_cast<uint32_t>(std::min<uint64_t>(u + merged + 1, end));
    size = merged;
  }
}

// Takes `units` of the free block of `size` units at u; the unit behind
// what was taken.
uint32_t TakeBlock(uint8_t* heap, uint32_t u, uint64_t size, uint32_t units, int32_t* index) {
  if (size == units) {
    SetHeapHeader(heap, u, units | kBlockInUse);
  } else {
    SetHeapHeader(heap, u, units | kBlockInUse);
    SetHeapHeader(heap, u + units + 1, static_cast<uint32_t>(size - units - 1));
  }
  *index = static_cast<int32_t>(u + 1);
  return u + units + 1;
}

// The first-fit walk for whatever TakeAtWalkStart leaves: the listed blocks,
// then block by block from the walk's start, listing the free blocks it
// passes while there is room.
[[gnu::noinline]] ErrCode WalkForBlock(EngineContext* ctx, uint32_t units, int32_t* index) {
  uint8_t* heap = ctx->HeapBytes();
  const uint64_t end = ctx->heapSize;
  ErrCode result = kErrVarOverflow;
  bool ended = false;  // a block ran past the heap
  for (uint32_t i = 0; i < ctx->heapListedCount && !ended; i++) {
    const uint32_t u = ctx->heapListed[i];
    const int64_t size = MergeFollowers(ctx, heap, end, u);
    if (size < 0) {
      ended = true;
    } else if (size >= units) {
      const uint32_t behind = TakeBlock(heap, u, static_cast<uint64_t>(size), units, index);
      if (size == units)
        RemoveListed(ctx, i);
      else
        ctx->heapListed[i] = behind;
      ctx->heapFreeFrom = ListedFreeFrom(ctx);
      return kOk;
    }
  }
  uint64_t u = std::min<uint64_t>(ctx->heapListedTo, end);
  bool listing = true;  // every free block passed is listed
  while (!ended && u < end) {
    if (listing) ctx->heapListedTo = static_cast<uint32_t>(u);
    const uint32_t h = HeapHeaderAt(heap, static_cast<uint32_t>(u));
    if (h & kBlockInUse) {
      const uint64_t next = u + (h & kBlockSizeMask) + 1;
      if (next > end) break;
      u = next;
      continue;
    }
    const int64_t size = MergeFollowers(ctx, heap, end, static_cast<uint32_t>(u));
    if (size < 0) break;
    if (size >= units) {
      const uint32_t behind =
          TakeBlock(heap, static_cast<uint32_t>(u), static_cast<uint64_t>(size), units, index);
      if (listing) ctx->heapListedTo = behind;
      result = kOk;
      break;
    }
    if (listing && ctx->heapListedCount < kHeapListedBlocks)
      ctx->heapListed[ctx->heapListedCount++] = static_cast<uint32_t>(u);
    else
      listing = false;
    u += static_cast<uint64_t>(size) + 1;
  }
  if (result && listing) ctx->heapListedTo = static_cast<uint32_t>(u);
  ctx->heapFreeFrom = ListedFreeFrom(ctx);
  return result;
}

// With free blocks listed below the walk's start, the block there is still
// taken directly when the walk would pass every listed one unchanged; else
// the walk decides.
[[gnu::noinline]] ErrCode TakePastListedOrWalk(EngineContext* ctx, uint32_t units, int32_t* index) {
  uint8_t* heap = ctx->HeapBytes();
  if (ctx->heapListedCount > 0 && ListedBlocksPassed(ctx, heap, ctx->heapSize, units) &&
      TakeAtWalkStart(ctx, heap, ctx->heapSize, units, index)) {
    ctx->heapFreeFrom = ListedFreeFrom(ctx);
    return kOk;
  }
  return WalkForBlock(ctx, units, index);
}

}  // namespace

void ForgetHeapHints(EngineContext* ctx) {
  ctx->heapFreeFrom = 0;
  ctx->heapListedTo = 0;
  ctx->heapListedCount = 0;
}

ErrCode AllocEngineBlock(EngineContext* ctx, uint32_t units, int32_t* index) {
  if (units == 0) {
    *index = 0;
    return kOk;
  }
  if (RoomRefused(RoomKind::kHeap)) return kErrVarOverflow;
  if (!ListIsCurrent(ctx)) {
    // Walk from the hint as it stands.
    ctx->heapListedTo = ctx->heapFreeFrom;
    ctx->heapListedCount = 0;
  }
  if (ctx->heapListedCount == 0 &&
      TakeAtWalkStart(ctx, ctx->HeapBytes(), ctx->heapSize, units, index)) {
    ctx->heapFreeFrom = ctx->heapListedTo;
    return kOk;
  }
  return TakePastListedOrWalk(ctx, units, index);
}

void NoteFreeBlock(EngineContext* ctx, uint32_t unit) {
  if (ListIsCurrent(ctx)) {
    if (EndsAtWalkStart(ctx, unit))
      LowerWalkStart(ctx, unit);
    else
      ListFreeBlock(ctx, unit);
    ctx->heapFreeFrom = ListedFreeFrom(ctx);
  } else if (unit < ctx->heapFreeFrom) {
    ctx->heapFreeFrom = unit;
  }
}

void FreeEngineBlock(EngineContext* ctx, int32_t index) {
  FreeBlockBelowWalkStart(ctx, index);
}

bool ExtendEngineBlock(EngineContext* ctx, int32_t index, uint32_t units) {
  if (index <= 0 || static_cast<uint32_t>(index) > ctx->heapSize) return false;
  uint8_t* heap = ctx->HeapBytes();
  const uint32_t at = static_cast<uint32_t>(index - 1);
  const uint32_t h = HeapHeaderAt(heap, at);
  uint64_t size = h & kBlockSizeMask;
  if (size >= units) return true;
  const uint64_t end = ctx->heapSize;
  // Free followers join the block one by one; the headers are only
  // rewritten once enough is found.
  const uint64_t first = at + size + 1;
  uint64_t next = first;
  while (size < units && next < end) {
    const uint32_t nh = HeapHeaderAt(heap, static_cast<uint32_t>(next));
    const uint64_t nsize = nh & kBlockSizeMask;
    if ((nh & kBlockInUse) || next + nsize + 1 > end) break;
    size += nsize + 1;
    next += nsize + 1;
  }
  if (size < units || size > kBlockSizeMask) return false;
  const bool current = ListIsCurrent(ctx);
  SetHeapHeader(heap, at, (h & ~kBlockSizeMask) | units);
  const uint64_t rest = uint64_t{at} + units + 1;
  if (size > units)
    SetHeapHeader(heap, static_cast<uint32_t>(rest), static_cast<uint32_t>(size - units - 1));
  if (!current) {
    // The hint may have named one of the blocks taken in.
    if (ctx->heapFreeFrom > at && ctx->heapFreeFrom < rest)
      ctx->heapFreeFrom = static_cast<uint32_t>(rest);
    return true;
  }
  // The blocks taken in leave the list; a walk's start among them moves to
  // the rest, which is listed when it lies below the start.
  for (uint32_t i = ctx->heapListedCount; i-- > 0;)
    if (ctx->heapListed[i] >= first && ctx->heapListed[i] < next) RemoveListed(ctx, i);
  if (ctx->heapListedTo >= first && ctx->heapListedTo < next)
    ctx->heapListedTo = static_cast<uint32_t>(rest);
  if (rest < next) ListFreeBlock(ctx, static_cast<uint32_t>(rest));
  ctx->heapFreeFrom = ListedFreeFrom(ctx);
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
    const uint32_t h = HeapHeaderAt(oldBase, static_cast<uint32_t>(u));
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
  if (newSize > oldSize) SetHeapHeader(newBase, oldSize, newSize - oldSize - 1);
  return kOk;
}

}  // namespace vke
