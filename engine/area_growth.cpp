// Moving the engine into a larger area: the new spread of the area among the
// data stack, heap, descriptor stack and code area, and the moves of their
// contents, top part first, so that every part only moves up; and the area
// spread anew at its ceiling, where the parts give back the room they hold
// beyond their use to the part that runs short.
//
// The registry and the reserved-name list keep their room at the bottom of
// the area, so the data stack keeps its base.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "engine/area_parts.hpp"
#include "engine/code/function_table.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/heap_fast.hpp"
#include "engine/image/engine_image.hpp"
#include "engine/image/image_walk.hpp"

namespace vke {

namespace {

using PartSizes = AreaParts;

// The parts a failure's code (a mode) gives room to, in the order of
// kPartFields; kEvery shares it among them all.
enum class GrowingPart : uint8_t { kData, kHeap, kDesc, kCode, kEvery };

// Each part's size field and the bytes of one of its units.
struct PartField {
  uint32_t PartSizes::*size;
  int64_t unitBytes;
};
constexpr PartField kPartFields[] = {
    {&PartSizes::data, 8}, {&PartSizes::heap, 8}, {&PartSizes::desc, 4}, {&PartSizes::code, 2}};

bool NoPartShrinks(const PartSizes& old, const PartSizes& n) {
  for (const PartField& f : kPartFields)
    if (n.*f.size < old.*f.size) return false;
  return true;
}

GrowingPart PartOfMode(int32_t mode) {
  switch (mode) {
    case 1:
    case 2:
      return GrowingPart::kDesc;
    case 3:
    case 4:
    // A compilation's working room lies in the free data stack.
    case kErrCompOutOfMemory:
      return GrowingPart::kData;
    case 5:
      return GrowingPart::kHeap;
    case 6:
      return GrowingPart::kCode;
    default:
      return GrowingPart::kEvery;
  }
}

// Gives `bytes` to the part (its size then a multiple of 8; fewer bytes
// than none shrink it), or, for every part, shares them as creation shares
// an area.
void AddRoom(PartSizes* n, GrowingPart part, int64_t bytes) {
  if (part != GrowingPart::kEvery) {
    const PartField& f = kPartFields[static_cast<int>(part)];
    n->*f.size = RoundDownToEight((f.unitBytes * (n->*f.size) + bytes) / f.unitBytes);
    return;
  }
  const PartSizes share = ProportionalParts(bytes);
  for (const PartField& f : kPartFields) n->*f.size += share.*f.size;
}

int64_t BytesOf(const PartSizes& p) {
  int64_t bytes = 0;
  for (const PartField& f : kPartFields) bytes += f.unitBytes * (p.*f.size);
  return bytes;
}

// The bit of a part among EngineContext::spreadParts.
constexpr uint8_t PartBit(size_t part) {
  return static_cast<uint8_t>(1u << part);
}

// The bits of the parts that are larger in n.
uint8_t GrownParts(const PartSizes& old, const PartSizes& n) {
  uint8_t bits = 0;
  for (size_t i = 0; i < std::size(kPartFields); i++)
    if (n.*kPartFields[i].size > old.*kPartFields[i].size) bits |= PartBit(i);
  return bits;
}

// The sizes for an area of the given bytes above the data stack's base.
PartSizes Spread(const PartSizes& old, int64_t bytes, int32_t mode) {
  const GrowingPart part = PartOfMode(mode);
  if (part != GrowingPart::kEvery) {
    PartSizes n = old;
    AddRoom(&n, part, bytes - BytesOf(old));
    return n;
  }
  PartSizes n = ProportionalParts(bytes);
  // A part that took the whole of earlier growths would shrink: each
  // part keeps its size and takes its share of the bytes added instead.
  const int64_t added = bytes - BytesOf(old);
  if (added > 0 && !NoPartShrinks(old, n)) {
    n = old;
    AddRoom(&n, part, added);
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

// Thread 0's stacks: live in the context while thread 0 runs, else in its
// record; and the sizes of the parts.
struct MainStacks {
  bool live;
  uint32_t descBase, descTop, dataBase, dataTop;
  PartSizes parts;
};

MainStacks MainStacksOf(const EngineContext* ctx) {
  const InterpThreadRecord& t0 = ctx->mainThread;
  const bool live = ctx->currentThread == 0;
  return {live,
          live ? ctx->descBase : t0.descBase,
          live ? ctx->descTop : t0.descTop,
          live ? ctx->dataBase : t0.dataBase,
          live ? ctx->dataTop : t0.dataTop,
          {live ? ctx->dataCap : t0.dataCap, ctx->heapSize, live ? ctx->descCap : t0.descCap,
           ctx->codeSize}};
}

// Records the parts' new sizes and places (the heap's blocks already moved
// there, its room whole): listed threads follow the heap, and the function
// table grows towards a 256th of the code area, unless a compilation runs.
void SetParts(EngineContext* ctx, const MainStacks& s, const PartSizes& n, uint32_t heapBase,
              uint32_t descBase) {
  const uint32_t heapDelta = heapBase - ctx->heapBase;
  ctx->heapBase = heapBase;
  ctx->heapSize = n.heap;
  FollowHeapMove(ctx, heapDelta);
  InterpThreadRecord& t0 = ctx->mainThread;
  t0.descBase = descBase;
  t0.descCap = n.desc;
  t0.dataCap = n.data;
  if (s.live) {
    ctx->descBase = descBase;
    ctx->descCap = n.desc;
    ctx->dataCap = n.data;
  }
  if (ctx->codeSize / 256 > ctx->funcCap)
    ExtendFunctionTable(ctx, ctx->codeSize / 256 - ctx->funcCap);
}

// The heap's units up to the end of its last block in use; all of them
// when its chain runs past its end.
uint32_t HeapUnitsInUse(EngineContext* ctx) {
  const uint8_t* heap = ctx->HeapBytes();
  uint32_t used = 0;
  for (uint64_t u = 0; u < ctx->heapSize;) {
    const uint32_t h = HeapHeaderAt(heap, static_cast<uint32_t>(u));
    const uint64_t next = u + (h & kBlockSizeMask) + 1;
    if (next > ctx->heapSize) return ctx->heapSize;
    if (h & kBlockInUse) used = static_cast<uint32_t>(next);
    u = next;
  }
  return used;
}

// What a part keeps when the area is spread anew: what it holds, and
// otherwise as much as creation gave it, but never more than it has.
uint32_t KeptSize(uint64_t held, int64_t created, uint32_t size) {
  const uint64_t floor = created > 0 ? static_cast<uint64_t>(created) : 0;
  const uint64_t kept = std::max((held + 7) & ~uint64_t{7}, floor);
  return static_cast<uint32_t>(std::min<uint64_t>(kept, size));
}

PartSizes KeptParts(EngineContext* ctx, const MainStacks& s, uint32_t heapUsed) {
  const PartSizes created = ProportionalParts(int64_t{ctx->createdBytes} - kEngineHeaderBytes);
  // The data stack's room at creation ended where it ends here; the
  // registry has taken its start since.
  const int64_t createdData =
      (int64_t{kEngineHeaderBytes} + 8ll * created.data - int64_t{s.dataBase}) / 8;
  const uint64_t names = static_cast<uint32_t>(-ctx->nameStart);
  PartSizes k;
  k.data = KeptSize(s.dataTop, createdData, s.parts.data);
  k.heap = KeptSize(heapUsed, created.heap, s.parts.heap);
  k.desc = KeptSize(s.descTop, created.desc, s.parts.desc);
  // Code being compiled lies beyond the code's end.
  k.code = IsCompiling(ctx) ? s.parts.code
                            : KeptSize(ctx->codeEnd + (names + 1) / 2, created.code, s.parts.code);
  return k;
}

// Whether the new sizes give the part (any part) more room.
bool GivesRoom(const PartSizes& old, const PartSizes& n, GrowingPart part) {
  const uint8_t grown = GrownParts(old, n);
  return part == GrowingPart::kEvery ? grown != 0 : (grown & PartBit(static_cast<size_t>(part)));
}

// Where the engine stands: the thread, its code pointer and frame, and its
// stacks' tops. A work that runs short of room again and again before it
// gets further (an instruction, a compilation, run again after growth)
// stands at one point, whatever part it asks for.
uint64_t StandingPoint(const EngineContext* ctx, const MainStacks& s) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint64_t w : {uint64_t{ctx->currentThread}, uint64_t{ctx->cpKind}, uint64_t{ctx->cpOffset},
                     uint64_t{static_cast<uint32_t>(ctx->curFrame)}, uint64_t{ctx->descTop},
                     uint64_t{ctx->dataTop}, uint64_t{s.descTop}, uint64_t{s.dataTop}})
    h = (h ^ w) * 0x100000001b3ull;
  return h;
}

// The parts given room from where the engine stands keep it: taken back
// for another part that the same work then needs, it would send the work
// round without end.
void KeepRoomGivenHere(const EngineContext* ctx, const PartSizes& now, PartSizes* kept) {
  for (size_t i = 0; i < std::size(kPartFields); i++)
    if (ctx->spreadParts & PartBit(i)) kept->*kPartFields[i].size = now.*kPartFields[i].size;
}

// A run of bytes that moves from one offset of the area to another.
struct Piece {
  uint32_t from, to;
  uint64_t bytes;
};

// Moves the pieces, in address order at both their places, so that none is
// written over before it moved: those that go down from the lowest, then
// those that go up from the highest. `heapPiece` is the index of the heap's
// blocks, which move by MoveBlockHeap.
void MovePieces(EngineContext* ctx, const Piece* pieces, int count, int heapPiece,
                AreaMoveFn move) {
  uint8_t* b = ctx->Bytes();
  auto moveOne = [&](int i) {
    const Piece& p = pieces[i];
    if (i == heapPiece) {
      const auto units = static_cast<uint32_t>(p.bytes / 8);
      MoveBlockHeap(b + p.from, units, b + p.to, units, move);
    } else {
      std::memmove(b + p.to, b + p.from, p.bytes);
    }
  };
  for (int i = 0; i < count; i++)
    if (pieces[i].to < pieces[i].from) moveOne(i);
  for (int i = count; i-- > 0;)
    if (pieces[i].to > pieces[i].from) moveOne(i);
}

}  // namespace

void MakeContextRelative(EngineContext*) {}

void MakeContextAbsolute(EngineContext* ctx, uint32_t newSize, int32_t mode, AreaMoveFn move) {
  NoteCodeChanged();
  if (newSize == 0) return;
  const MainStacks s = MainStacksOf(ctx);
  const PartSizes n = Spread(s.parts, int64_t{newSize} - s.dataBase, mode);
  if (!NoPartShrinks(s.parts, n)) return;

  const uint32_t heapBase = s.dataBase + 8 * n.data;
  const uint32_t newDescBase = heapBase + 8 * n.heap;
  MoveCodeArea(ctx, newDescBase + 4 * n.desc, n.code);
  std::memmove(ctx->Bytes() + newDescBase, ctx->Bytes() + s.descBase, 4ull * s.descTop);
  MoveBlockHeap(ctx->HeapBytes(), ctx->heapSize, ctx->Bytes() + heapBase, n.heap, move);
  SetParts(ctx, s, n, heapBase, newDescBase);
}

bool SpreadAreaAnew(EngineContext* ctx, uint32_t size, int32_t mode, AreaMoveFn move) {
  const MainStacks s = MainStacksOf(ctx);
  const uint64_t point = StandingPoint(ctx, s);
  if (point != ctx->spreadPoint) ctx->spreadParts = 0;
  const uint32_t heapUsed = HeapUnitsInUse(ctx);
  PartSizes kept = KeptParts(ctx, s, heapUsed);
  KeepRoomGivenHere(ctx, s.parts, &kept);
  const int64_t spare = int64_t{size} - s.dataBase - BytesOf(kept);
  const GrowingPart part = PartOfMode(mode);
  PartSizes n = kept;
  if (spare > 0) AddRoom(&n, part, spare);
  if (spare < 0 || !GivesRoom(s.parts, n, part)) return false;
  ctx->spreadPoint = point;
  ctx->spreadParts |= GrownParts(s.parts, n);
  NoteCodeChanged();

  const uint32_t heapBase = s.dataBase + 8 * n.data;
  const uint32_t descBase = heapBase + 8 * n.heap;
  const uint32_t codeBase = descBase + 4 * n.desc;
  const uint32_t names = static_cast<uint32_t>(-ctx->nameStart);
  const Piece pieces[] = {
      {ctx->heapBase, heapBase, 8ull * heapUsed},
      {s.descBase, descBase, 4ull * s.descTop},
      {ctx->codeBase, codeBase, 2ull * ctx->codeEnd},
      {ctx->codeBase + 2 * ctx->codeSize - names, codeBase + 2 * n.code - names, names},
  };
  MovePieces(ctx, pieces, 4, 0, move);
  ctx->codeBase = codeBase;
  ctx->codeSize = n.code;
  // The heap's room behind its last block in use becomes one free block;
  // the walk's hints may name blocks that are gone.
  if (n.heap > heapUsed) SetHeapHeader(ctx->Bytes() + heapBase, heapUsed, n.heap - heapUsed - 1);
  ForgetHeapHints(ctx);
  SetParts(ctx, s, n, heapBase, descBase);
  return true;
}

void ForgetAreaSpreads(EngineContext* ctx) {
  ctx->spreadParts = 0;
}

}  // namespace vke
