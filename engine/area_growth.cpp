// Moving the engine into a larger area: the new spread of the area among the
// data stack, heap, descriptor stack and code area, and the moves of their
// contents, top part first, so that every part only moves up.
//
// The registry and the reserved-name list keep their room at the bottom of
// the area, so the data stack keeps its base.
#include "engine/code/function_table.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/image/engine_image.hpp"
#include "engine/image/image_walk.hpp"

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

bool NoPartShrinks(const PartSizes& old, const PartSizes& n) {
  return n.data >= old.data && n.heap >= old.heap && n.desc >= old.desc && n.code >= old.code;
}

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
    // A compilation's working room lies in the free data stack.
    case kErrCompOutOfMemory:
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
      // A part that took the whole of earlier growths would shrink: each
      // part keeps its size and takes its share of the bytes added instead.
      const int64_t added = bytes - data - heap - desc - code;
      if (added > 0 && !NoPartShrinks(old, n)) {
        const int64_t a = added / 8;
        n.data = old.data + RoundDown8(a / 8);
        n.heap = old.heap + RoundDown8(3 * a / 8);
        n.desc = old.desc + RoundDown8(a / 4);
        n.code = old.code + RoundDown8((added - 8ll * (n.data - old.data) -
                                        8ll * (n.heap - old.heap) - 4ll * (n.desc - old.desc)) /
                                       2);
      }
    }
  }
  return n;
}

// Names to the new end, then the table and the code to the new base.
void MoveCodeArea(EngineContext* ctx, uint32_t newBase, uint32_t newUnits) {
  uint8_t* to = ctx->Bytes() + newBase;
  uint32_t names = static_cast<uint32_t>(-ctx->nameStart);
  std::memmove(to + 2ull * newUnits - names, ctx->CodeEndBytes() - names, names);
  std::memmove(to, ctx->CodeBytes(), 2ull * ctx->codeEnd);
  ctx->codeBase = newBase;
  ctx->codeSize = newUnits;
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

void MakeContextAbsolute(EngineContext* ctx, uint32_t newSize, int32_t mode, AreaMoveFn move) {
  NoteCodeChanged();
  if (newSize == 0) return;
  // Thread 0's stacks: live in the context while thread 0 runs, else in its
  // record.
  InterpThreadRecord& t0 = ctx->mainThread;
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
  MoveCodeArea(ctx, newDescBase + 4 * n.desc, n.code);
  std::memmove(ctx->Bytes() + newDescBase, ctx->Bytes() + descBase, 4ull * descTop);
  MoveBlockHeap(ctx->HeapBytes(), ctx->heapSize, ctx->Bytes() + heapBase, n.heap, move);
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
  // The table grows towards a 256th of the code area; it stays as it is
  // while a compilation runs.
  if (ctx->codeSize / 256 > ctx->funcCap)
    ExtendFunctionTable(ctx, ctx->codeSize / 256 - ctx->funcCap);
}

}  // namespace vke
