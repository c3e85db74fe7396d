// Moving the engine into a larger area: the new spread of the area among the
// data stack, heap, descriptor stack and code area, and the moves of their
// contents, top part first, so that every part only moves up.
//
// The registry and the reserved-name list keep their room at the bottom of
// the area, so the data stack keeps its base.
#include <algorithm>

#include "engine/frames.hpp"
#include "engine/image.hpp"
#include "engine/image_walk.hpp"

namespace vke {

namespace {

constexpr uint32_t RoundDown8(int64_t v) {
  return static_cast<uint32_t>(v < 0 ? 0 : v & ~int64_t{7});
}

struct PartSizes {
  uint32_t data;  // thread 0's data stack, units
  uint32_t heap;  // units
  uint32_t desc;  // thread 0's descriptor stack, words
  uint32_t code;  // 16-bit units
};

// The sizes for an area of the given bytes above the data stack's base.
PartSizes Spread(const PartSizes& old, int64_t bytes, int32_t mode) {
  PartSizes n = old;
  int64_t data = 8ll * old.data, heap = 8ll * old.heap, desc = 4ll * old.desc,
          code = 2ll * old.code;
  switch (mode) {
    case 1:
    case 2:
      n.desc = RoundDown8((bytes - data - heap - code) / 4);
      break;
    case 3:
    case 4:
      n.data = RoundDown8((bytes - heap - desc - code) / 8);
      break;
    case 5:
      n.heap = RoundDown8((bytes - data - desc - code) / 8);
      break;
    case 6:
      n.code = RoundDown8((bytes - data - heap - desc) / 2);
      break;
    default: {
      int64_t q = bytes / 8;
      n.data = RoundDown8(q / 8);
      n.heap = RoundDown8(3 * q / 8);
      n.desc = RoundDown8(q / 4);
      n.code = RoundDown8((bytes - 8ll * n.data - 8ll * n.heap - 4ll * n.desc) / 2);
    }
  }
  return n;
}

bool NoPartShrinks(const PartSizes& old, const PartSizes& n) {
  return n.data >= old.data && n.heap >= old.heap && n.desc >= old.desc && n.code >= old.code;
}

// True when no code position outside the function table can be live: no code
// running or suspended in the code area, no listed thread, no frame but the
// base frame, and no handler or debugger stop of the base frame in the code
// area. Only then may the table grow, because growing it moves the code.
bool CodePositionsOnlyInTable(EngineContext* ctx) {
  if (ctx->cpKind == kCodeArea || ctx->currentThread != 0 || ctx->firstThread != 0 ||
      ctx->curFrame > 0)
    return false;
  if (ctx->curFrame < 0 || ctx->descTop < kFrameHeaderWords) return true;
  const uint32_t* f = ctx->DescWords();
  return f[kFwCatchKind] != kCodeArea && f[kFwDebugKind] != kCodeArea;
}

// The table capacity behind which the moved code starts: grown towards a
// 256th of the new code size while nothing but the table holds code
// positions, and as far as the code and names leave room.
uint32_t NewTableCap(EngineContext* ctx, uint32_t newCodeUnits) {
  uint32_t cap = ctx->funcCap;
  if (!CodePositionsOnlyInTable(ctx) || newCodeUnits / 256 <= cap) return cap;
  uint64_t used = 2ull * (ctx->codeEnd - 8ull * cap) + static_cast<uint64_t>(-ctx->nameStart);
  uint64_t fit = (2ull * newCodeUnits - used) / 16;
  uint64_t want = std::min<uint64_t>(newCodeUnits / 256, fit);
  return std::max(cap, static_cast<uint32_t>(want));
}

// Function and library entries hold code positions in word 2 (positive when
// compiled); shared-value entries (word 0 = 1) hold a block index there.
void ShiftCodePositions(EngineContext* ctx, uint32_t units) {
  uint8_t* table = ctx->CodeBytes();
  for (uint32_t i = 0; i < ctx->funcCount; i++) {
    uint8_t* e = table + 16ull * i;
    int32_t position = Load<int32_t>(e + 8);
    if (Load<int32_t>(e) <= 0 && position > 0)
      Store<uint32_t>(e + 8, static_cast<uint32_t>(position) + units);
  }
  ctx->codeEnd += units;
}

// Names to the new end, code behind the new table capacity, then the table.
void MoveCodeArea(EngineContext* ctx, uint32_t newBase, uint32_t newUnits, uint32_t newCap) {
  uint8_t* from = ctx->CodeBytes();
  uint8_t* to = ctx->Bytes() + newBase;
  uint32_t names = static_cast<uint32_t>(-ctx->nameStart);
  std::memmove(to + 2ull * newUnits - names, ctx->CodeEndBytes() - names, names);
  std::memmove(to + 16ull * newCap, from + 16ull * ctx->funcCap,
               2ull * (ctx->codeEnd - 8ull * ctx->funcCap));
  std::memmove(to, from, 16ull * ctx->funcCount);
  ctx->codeBase = newBase;
  ctx->codeSize = newUnits;
  ShiftCodePositions(ctx, 8 * (newCap - ctx->funcCap));
  ctx->funcCap = newCap;
}

// Listed threads keep their stacks and host timer areas in heap blocks, at
// offsets from the context; they follow the heap.
void FollowHeapMove(EngineContext* ctx, uint32_t delta) {
  if (delta == 0) return;
  if (ctx->currentThread != 0) {
    ctx->descBase += delta;
    ctx->dataBase += delta;
  }
  ForEachListedThread(ctx, ctx->heapSize, [delta](InterpThreadRecord& t, const HeapBlock&) {
    t.descBase += delta;
    t.dataBase += delta;
    t.hostAreaOffset += delta;
  });
}

}  // namespace

void MakeContextRelative(EngineContext*) {}

void MakeContextAbsolute(EngineContext* ctx, uint32_t newSize, int32_t mode) {
  if (newSize == 0) return;
  // Thread 0's stacks: live in the context while thread 0 runs, else in its
  // record.
  InterpThreadRecord& t0 = ctx->thread0;
  const bool live = ctx->currentThread == 0;
  const uint32_t descBase = live ? ctx->descBase : t0.descBase;
  const uint32_t descTop = live ? ctx->descTop : t0.descTop;
  const uint32_t dataBase = live ? ctx->dataBase : t0.dataBase;
  const PartSizes old{live ? ctx->dataCap : t0.dataCap, ctx->heapSize,
                      live ? ctx->descCap : t0.descCap, ctx->codeSize};
  const PartSizes n = Spread(old, int64_t{newSize} - dataBase, mode);
  if (!NoPartShrinks(old, n)) return;

  const uint32_t heapBase = dataBase + 8 * n.data;
  const uint32_t newDescBase = heapBase + 8 * n.heap;
  MoveCodeArea(ctx, newDescBase + 4 * n.desc, n.code, NewTableCap(ctx, n.code));
  std::memmove(ctx->Bytes() + newDescBase, ctx->Bytes() + descBase, 4ull * descTop);
  MoveBlockHeap(ctx->HeapBytes(), ctx->heapSize, ctx->Bytes() + heapBase, n.heap);
  const uint32_t heapDelta = heapBase - ctx->heapBase;
  ctx->heapBase = heapBase;
  ctx->heapSize = n.heap;
  FollowHeapMove(ctx, heapDelta);

  t0.descBase = newDescBase;
  t0.descCap = n.desc;
  t0.dataCap = n.data;
  if (live) {
    ctx->descBase = newDescBase;
    ctx->descCap = n.desc;
    ctx->dataCap = n.data;
  }
}

}  // namespace vke
