// Restoring a stored engine state: the header's checks against this engine,
// the context fields it sets, and the parts read into their places.
#include <algorithm>
#include <vector>

#include "engine/area_parts.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/entry_items.hpp"
#include "engine/frames/frames.hpp"
#include "engine/frames/function_block.hpp"
#include "engine/image/engine_image.hpp"
#include "engine/image/image_walk.hpp"
#include "engine/values/value_shape.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

namespace {

uint32_t SavedTableCap(const EngineImageHeader& h) {
  return h.savedTableCap[0] | (h.savedTableCap[1] << 8) | (h.savedTableCap[2] << 16);
}

// Entries the loaded table occupies: the saving engine's capacity when the
// image records it (its code positions count from behind it), else this
// engine's, and never fewer than the functions stored.
uint32_t LoadedTableCap(EngineContext* ctx, const EngineImageHeader& h) {
  uint32_t saved = SavedTableCap(h);
  uint32_t cap = saved ? saved : ctx->funcCap;
  return cap > h.funcCount ? cap : h.funcCount;
}

ErrCode CheckFits(EngineContext* ctx, const EngineImageHeader& h) {
  if (h.descWords > ctx->descCap) return kErrStackOverflow;
  if (h.dataUnits > ctx->dataCap) return kErrDataOverflow;
  if (h.heapUnits > ctx->heapSize) return kErrVarOverflow;
  uint64_t code = 16ull * LoadedTableCap(ctx, h) + 2ull * h.codeUnits + h.nameBytes;
  if (code > 2ull * ctx->codeSize) return kErrCodeOverflow;
  return kOk;
}

// The largest function table an engine makes: creation makes the largest
// in the largest area, and growth stops where function indices end.
constexpr uint32_t LargestFunctionTable() {
  constexpr int64_t bytes = int64_t{UINT32_MAX} - kEngineHeaderBytes;
  constexpr AreaParts parts = ProportionalParts(bytes);
  constexpr int64_t code = bytes - 8ll * parts.data - 8ll * parts.heap - 4ll * parts.desc;
  constexpr uint32_t created = CreationTableCapacity(static_cast<uint32_t>(code), parts.code);
  return std::max(created, kMaxFunctionEntries);
}

// The bytes of the records behind the header (the table as the function
// count asks), and the room of the largest table the image occupies.
uint64_t StoredBytes(const EngineImageHeader& h) {
  return 4ull * h.descWords + 8ull * h.dataUnits + 8ull * h.heapUnits + 16ull * h.funcCount +
         2ull * h.codeUnits + h.nameBytes;
}

// False for a header that cannot describe a state of this engine: another
// thread than the main thread current (its stacks would be read into the main thread's), no
// base workspace entry, a frame outside the descriptor words, a name area
// beyond the name table's limit, a table larger than any engine makes,
// parts that no area of 32-bit offsets holds, or records of more bytes than
// `stateBytes`.
bool HeaderIsSound(const EngineImageHeader& h, uint64_t stateBytes) {
  if (h.currentThread != 0 || h.funcCount == 0) return false;
  if (h.curFrame < -1 || (h.curFrame >= 0 && static_cast<uint32_t>(h.curFrame) >= h.descWords))
    return false;
  if (h.nameBytes > static_cast<uint32_t>(kMaxNameTableBytes)) return false;
  const uint32_t table = std::max(SavedTableCap(h), h.funcCount);
  if (table > LargestFunctionTable()) return false;
  const uint64_t stored = StoredBytes(h);
  return stored + 16ull * (table - h.funcCount) <= UINT32_MAX - kEngineHeaderBytes &&
         stored <= stateBytes;
}

// The fields restored straight into the context field of the same name.
#define VKE_LOAD_Context(name) ctx->name = static_cast<decltype(ctx->name)>(h.name);
#define VKE_LOAD_Display(name)
#define VKE_LOAD_Beside(name)
#define VKE_LOAD_Zero(name)

void SetContextFields(EngineContext* ctx, const EngineImageHeader& h) {
#define VKE_ENGINE_IMAGE_FIELD(type, name, offset, copy, meaning) VKE_LOAD_##copy(name)
#include "engine/image/engine_image_header.def"
#undef VKE_ENGINE_IMAGE_FIELD
  ctx->descTop = h.descWords;
  // Thread 0's stacks and host area stay this engine's own.
  InterpThreadRecord& t = ctx->mainThread;
  const InterpThreadRecord own = t;
  t = h.mainThread;
  t.descBase = own.descBase;
  t.descCap = own.descCap;
  t.dataBase = own.dataBase;
  t.dataCap = own.dataCap;
  t.hostAreaOffset = own.hostAreaOffset;
  SetDisplayOptions(ctx, static_cast<char>(h.formatLetter), h.displayDigits,
                    static_cast<char>(h.imagLetter), h.looseSpacing, h.displayWord, h.displayOn);
}

#undef VKE_LOAD_Context
#undef VKE_LOAD_Display
#undef VKE_LOAD_Beside
#undef VKE_LOAD_Zero

// A function block at 16-bit unit `at` of an area of `limit` units: its
// header describes a consistent function whose variable table and names
// end inside the area.
bool FunctionBlockFits(const uint8_t* area, uint64_t at, uint64_t limit) {
  if (at + kFnHeaderUnits > limit) return false;
  const FunctionHeader h = ReadFunctionHeader(area + 2 * at);
  return h.Consistent() && at + h.CodeAt() <= limit;
}

// A thread's stacks as loaded: descriptor words and data units in use.
struct ThreadStacks {
  const uint32_t* words;
  uint32_t top;
  const uint8_t* data;
  uint32_t dataUnits;
};

// The function block a frame names (frame word kFwHeader) lies in the code
// behind the table or on the thread's data stack below its top; 0 and -1
// name none.
bool FrameFunctionIsSound(EngineContext* ctx, const ThreadStacks& s, int32_t at) {
  if (at > 0)
    return static_cast<uint32_t>(at) >= 8ull * ctx->funcCap &&
           FunctionBlockFits(ctx->CodeBytes(), static_cast<uint32_t>(at), ctx->codeEnd);
  if (at < -1)
    return FunctionBlockFits(s.data, static_cast<uint64_t>(-2 - int64_t{at}), 4ull * s.dataUnits);
  return true;
}

// The heap's blocks in use, in the order of its chain (found whole before).
class BlocksInUse {
 public:
  BlocksInUse(EngineContext* ctx, uint32_t units) {
    const uint8_t* heap = ctx->HeapBytes();
    for (uint64_t u = 0; u < units;) {
      const uint32_t h = Load<uint32_t>(heap + 8 * u);
      if (h & kBlockInUse) indices_.push_back(static_cast<uint32_t>(u + 1));
      u += (h & kBlockSizeMask) + 1;
    }
  }
  bool Holds(int32_t index) const {
    return index > 0 &&
           std::binary_search(indices_.begin(), indices_.end(), static_cast<uint32_t>(index));
  }

 private:
  std::vector<uint32_t> indices_;
};

// A block a variable's slot or a shared entry names (none when 0 or less):
// one of the heap's blocks in use, whose item (descriptor, a word, the data)
// lies in it with the shape it tells; a link's data word is there.
bool ItemBlockIsSound(EngineContext* ctx, const BlocksInUse& blocks, int32_t block) {
  if (block <= 0) return true;
  if (!blocks.Holds(block) || BlockUnits(ctx, block) < kItemHeaderUnits) return false;
  const uint8_t* item = BlockData(ctx, block);
  const ValueDescriptor d = Load<ValueDescriptor>(item);
  if (uint64_t{d.size} + kItemHeaderUnits > BlockUnits(ctx, block)) return false;
  if ((d.flags & kFlagReference) && d.size == 0) return false;
  return ValueShapeIsSound(d, item + kItemHeaderBytes);
}

// The value entries whose descriptors lie in words [from, top) of a thread's
// stacks, walked down from the top below the `*units` data units of the
// entries above them: each one's data lies on the data stack and has the
// shape its descriptor tells.
bool EntriesAreSound(const ThreadStacks& s, uint32_t from, uint32_t top, uint64_t* units) {
  for (uint64_t at = top; at >= uint64_t{from} + 3; at -= 3) {
    const ValueDescriptor d = Load<ValueDescriptor>(s.words + at - 3);
    *units += d.size;
    if (*units > s.dataUnits || !ValueShapeIsSound(d, s.data + 8 * (s.dataUnits - *units)))
      return false;
  }
  return true;
}

// The frames of one thread's descriptor stack, from its current frame down:
// each frame's fixed part lies below the frame above it (the top, for the
// current one), its variables fit the slots it holds and name blocks of
// sound items, and its function block lies where the block can be read.
// The main thread's chain ends in the base frame at word 0. The value
// entries between the frames (and below the lowest) are sound stored
// values whose data lie on the thread's data stack.
bool FramesAreSound(EngineContext* ctx, const ThreadStacks& s, const BlocksInUse& blocks,
                    int32_t frame, bool mainThread) {
  const uint32_t* words = s.words;
  uint32_t top = s.top;
  uint64_t units = 0;
  int32_t bottom = -1;
  for (int32_t f = frame; f >= 0;) {
    if (static_cast<uint64_t>(f) + kFrameHeaderWords > top) return false;
    const uint32_t* w = words + f;
    const uint32_t capacity = w[kFwNameCapacity];
    if (capacity > top || (capacity && w[kFwVarCount] > capacity) || w[kFwVarCount] > top)
      return false;
    const uint64_t fixedEnd = static_cast<uint64_t>(f) + FrameFixedWords(w);
    if (fixedEnd > top) return false;
    if (!FrameFunctionIsSound(ctx, s, static_cast<int32_t>(w[kFwHeader]))) return false;
    for (uint32_t v = 0; v < w[kFwVarCount]; v++)
      if (!ItemBlockIsSound(ctx, blocks, static_cast<int32_t>(w[kFrameHeaderWords + v])))
        return false;
    if (!EntriesAreSound(s, static_cast<uint32_t>(fixedEnd), top, &units)) return false;
    const int32_t link = static_cast<int32_t>(w[kFwBackLink]);
    const int32_t previous = link > 0 && link <= f ? f - link : -1;
    top = static_cast<uint32_t>(f);
    bottom = f;
    f = previous;
  }
  if (!EntriesAreSound(s, 0, top, &units)) return false;
  return frame == -1 || !mainThread || (bottom == 0 && words[kFwReturnKind] == kBaseFrameKind);
}

// A listed thread's stacks and host timer area lie behind its record, inside
// its block.
bool ThreadFitsItsBlock(const InterpThreadRecord& t, const HeapBlock& b) {
  auto inside = [&](uint32_t offset, uint64_t bytes) {
    return offset >= b.begin + sizeof(InterpThreadRecord) && offset + bytes <= b.end;
  };
  return t.descTop <= t.descCap && t.dataTop <= t.dataCap &&
         (t.curFrame == -1 || (t.curFrame >= 0 && static_cast<uint32_t>(t.curFrame) < t.descTop)) &&
         inside(t.descBase, 4ull * t.descCap) && inside(t.dataBase, 8ull * t.dataCap) &&
         inside(t.hostAreaOffset, 0);
}

// The frames of the main thread and of every listed thread (whose stacks
// were found inside their blocks), and the values the function table shares.
bool AllFramesAreSound(EngineContext* ctx, uint32_t heapUnits) {
  const BlocksInUse blocks(ctx, heapUnits);
  const ThreadStacks main{ctx->DescWords(), ctx->descTop, ctx->DataBytes(), ctx->dataTop};
  if (!FramesAreSound(ctx, main, blocks, ctx->curFrame, true)) return false;
  bool sound = true;
  ForEachListedThread(ctx, heapUnits, [&](InterpThreadRecord& t, const HeapBlock&) {
    const ThreadStacks own{reinterpret_cast<const uint32_t*>(ctx->Bytes() + t.descBase), t.descTop,
                           ctx->Bytes() + t.dataBase, t.dataTop};
    sound = sound && FramesAreSound(ctx, own, blocks, t.curFrame, false);
  });
  for (uint32_t i = 0; sound && i < ctx->funcCount; i++)
    sound = ItemBlockIsSound(ctx, blocks, SharedValueBlock(ctx, i));
  return sound;
}

// Every code position of the table lies in the code behind it: a library
// entry's block starts there (its block is checked where it is opened), a
// function entry's header, variable table and names end before the code's
// end and describe a consistent function.
bool CodePositionsAreSound(EngineContext* ctx) {
  const FunctionTableEntry* entries = FunctionEntries(ctx);
  const uint64_t tableWords = 8ull * ctx->funcCap;
  for (uint32_t i = 0; i < ctx->funcCount; i++) {
    const FunctionTableEntry& e = entries[i];
    if (!HoldsCodePosition(e)) continue;
    const auto at = static_cast<uint32_t>(e.code);
    if (at < tableWords || at >= ctx->codeEnd) return false;
    if (IsFunctionEntry(e) && !FunctionBlockFits(ctx->CodeBytes(), at, ctx->codeEnd)) return false;
  }
  return true;
}

// The heap as read must be a whole chain of blocks, and the thread list and
// the semaphore table must name blocks of it; anything else would let later
// operations reach outside the heap.
bool HeapIsSound(EngineContext* ctx, uint32_t units) {
  if (!WalkHeapChain(ctx->HeapBytes(), units).exact) return false;
  HeapBlock sem;
  if (ctx->semTable != -1 &&
      !InUseBlock(ctx, static_cast<uint32_t>(ctx->semTable), units, ctx->semCap, &sem))
    return false;
  bool fits = true;
  bool listed = ForEachListedThread(ctx, units, [&](InterpThreadRecord& t, const HeapBlock& b) {
    fits = fits && ThreadFitsItsBlock(t, b);
  });
  return listed && fits;
}

// After a failed read the parts hold a mix of old and new bytes.
ErrCode AbandonLoad(EngineContext* ctx) {
  ClearEngineState(ctx);
  return kErrInit;
}

}  // namespace

void ClearEngineState(EngineContext* ctx) {
  ResetFunctionTable(ctx);
  ctx->nameStart = 0;
  ResetEngineState(ctx);
  if (ctx->heapSize) Store<uint32_t>(ctx->HeapBytes(), ctx->heapSize - 1);
  ctx->cpKind = kCodeNone;
  ctx->cpOffset = 0;
}

ErrCode LoadEngineImage(EngineContext* ctx, ImageReadFn reader, uintptr_t argument,
                        uint64_t stateBytes) {
  NoteCodeChanged();
  if (ctx->currentThread != 0) return kErrBadContext;
  EngineImageHeader h;
  if (!reader(&h, sizeof h, argument)) return kErrEof;
  // A header no engine saves is refused before its parts ask for room.
  if (!HeaderIsSound(h, stateBytes)) return kErrInit;
  if (ErrCode err = CheckFits(ctx, h)) return err;

  SetContextFields(ctx, h);
  if (!reader(ctx->DescWords(), 4 * h.descWords, argument)) return AbandonLoad(ctx);
  if (!reader(ctx->DataBytes(), 8 * h.dataUnits, argument)) return AbandonLoad(ctx);
  ctx->dataTop = h.dataUnits;
  ForgetHeapHints(ctx);  // the heap's blocks are the image's now
  if (!reader(ctx->HeapBytes(), 8 * h.heapUnits, argument)) return AbandonLoad(ctx);
  if (h.heapUnits < ctx->heapSize)
    Store<uint32_t>(ctx->HeapBytes() + 8ull * h.heapUnits, ctx->heapSize - h.heapUnits - 1);
  if (!HeapIsSound(ctx, h.heapUnits)) return AbandonLoad(ctx);

  uint32_t tableCap = LoadedTableCap(ctx, h);
  ctx->funcCap = tableCap;
  ctx->funcCount = h.funcCount;
  if (!reader(ctx->CodeBytes(), 16 * h.funcCount, argument)) return AbandonLoad(ctx);
  if (!reader(ctx->CodeBytes() + 16ull * tableCap, 2 * h.codeUnits, argument))
    return AbandonLoad(ctx);
  ctx->codeEnd = h.codeUnits + 8 * tableCap;
  if (!reader(ctx->CodeEndBytes() - h.nameBytes, h.nameBytes, argument)) return AbandonLoad(ctx);
  ctx->nameStart = -static_cast<int32_t>(h.nameBytes);
  if (!CodePositionsAreSound(ctx) || !AllFramesAreSound(ctx, h.heapUnits)) return AbandonLoad(ctx);
  return kOk;
}

}  // namespace vke
