// Variables of the current scope: finding their slots, loading and storing
// values, unsetting, the increment instructions, global and persistent links
// to shared values, and clear.
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/frames/entry_items.hpp"
#include "engine/frames/frames.hpp"
#include "engine/heap_fast.hpp"
#include "engine/heap_pages.hpp"
#include "engine/loop/scalar_variables.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables_internal.hpp"

namespace vke {

namespace {

constexpr int32_t kSharedKind = 1;
constexpr int32_t kGlobalOwner = -1;
constexpr uint32_t kLinkUnits = 2 + 4;  // header, then the entry index and padding

// A shared value's function-table entry: {1, name id, value block, owner}.
struct SharedEntry {
  int32_t kind;
  int32_t nameId;
  int32_t value;
  int32_t owner;
};
static_assert(sizeof(SharedEntry) == 16);

SharedEntry* SharedEntryAt(EngineContext* ctx, uint32_t index) {
  if (index == 0 || index >= ctx->funcCount) return nullptr;
  auto* e = reinterpret_cast<SharedEntry*>(ctx->CodeBytes() + 16ull * index);
  return e->kind == kSharedKind ? e : nullptr;
}

bool IsLinkBlock(EngineContext* ctx, int32_t block) {
  return block > 0 && static_cast<uint32_t>(block) <= ctx->heapSize &&
         (Load<uint32_t>(BlockData(ctx, block)) & kFlagReference) != 0;
}

// The shared entry a link block names; null for other blocks.
SharedEntry* LinkedEntry(EngineContext* ctx, int32_t block) {
  if (!IsLinkBlock(ctx, block)) return nullptr;
  return SharedEntryAt(ctx, Load<uint32_t>(BlockData(ctx, block) + 16));
}

// The entry of the shared value with that name and owner, added when there
// is none (the table grows when full).
ErrCode FindOrAddSharedEntry(EngineContext* ctx, int32_t nameId, int32_t owner, uint32_t* index) {
  for (uint32_t i = 1; i < ctx->funcCount; i++) {
    SharedEntry* e = SharedEntryAt(ctx, i);
    if (e && e->nameId == nameId && e->owner == owner) {
      *index = i;
      return kOk;
    }
  }
  if (ctx->funcCount >= ctx->funcCap) {
    ErrCode e = GrowFunctionTable(ctx);
    if (e) return e;
    if (ctx->funcCount >= ctx->funcCap) return kErrTooManyUserFun;
  }
  *index = ctx->funcCount++;
  Store(ctx->CodeBytes() + 16ull * *index, SharedEntry{kSharedKind, nameId, 0, owner});
  return kOk;
}

// Whether a variable name (32 bytes, zero-padded) equals a text.
bool NameMatches(const char* name, const char* text, int32_t length) {
  if (!name || length > kMaxIdentifierLength) return false;
  return std::memcmp(name, text, length) == 0 &&
         (length == kMaxIdentifierLength || name[length] == 0);
}

// Drops the top entry, whose descriptor is d.
void PopTop(EngineContext* ctx, const ValueDescriptor& d) {
  ctx->descTop -= 3;
  ctx->dataTop -= d.size;
}

void WriteEmptyMatrixBlock(EngineContext* ctx, int32_t block) {
  std::memset(BlockData(ctx, block), 0, 16);
}

// The slot of variable n in the scope frame f (ScopeFrame's).
ErrCode SlotOfScopeFrame(EngineContext* ctx, int32_t f, int32_t n, uint32_t* position) {
  if (f < 0 || n < 0 || static_cast<uint32_t>(n) >= FrameWords(ctx, f)[kFwVarCount])
    return kErrIllegal;
  *position = static_cast<uint32_t>(f) + kFrameHeaderWords + static_cast<uint32_t>(n);
  return kOk;
}

// The top entry's data: the top of the data stack.
uint8_t* TopData(EngineContext* ctx, const ValueDescriptor& d) {
  return ctx->DataBytes() + 8ull * (ctx->dataTop - d.size);
}

// Writes the top entry, whose descriptor is d, into an item of its size,
// its data taken rather than copied where it moves by pages: the entry is
// dropped afterwards.
void TakeTopAsItem(EngineContext* ctx, const ValueDescriptor& d, uint8_t* item) {
  Store(item, d);
  Store<int32_t>(item + 12, 0);
  TakeUnits(ctx, item + kItemHeaderBytes, TopData(ctx, d), d.size);
}

// NewBlockForTop for a value that moves by pages: its block placed to
// share the value's place in a granule.
[[gnu::noinline]] ErrCode NewBlockTakingTop(EngineContext* ctx, const ValueDescriptor& d,
                                            int32_t* block) {
  ErrCode e = AllocBlockAlignedWith(ctx, d.size + kItemHeaderUnits, kItemHeaderUnits,
                                    TopData(ctx, d), block);
  if (e) return e;
  TakeTopAsItem(ctx, d, BlockData(ctx, *block));
  return kOk;
}

// A new block holding the top entry, whose descriptor is d. Inline: a
// function's first store to its output takes it on every call.
VKE_HOT_INLINE ErrCode NewBlockForTop(EngineContext* ctx, const ValueDescriptor& d,
                                      int32_t* block) {
  if (uint64_t{d.size} + 2 > kBlockSizeMask) return kErrVarOverflow;
  if (MovesByPages(ctx, d.size)) [[unlikely]]
    return NewBlockTakingTop(ctx, d, block);
  ErrCode e = AllocBlockAtWalkStart(ctx, d.size + 2, block);
  if (e) return e;
  uint8_t* item = BlockData(ctx, *block);
  Store(item, d);
  Store<int32_t>(item + 12, 0);
  CopyUnits(item + kItemHeaderBytes, TopData(ctx, d), d.size);
  return kOk;
}

// StoreVariable for every value. Out of line, so that the real scalars of
// StoreVariable's own path are stored without its set-up.
[[gnu::noinline]] ErrCode StoreAnyValue(EngineContext* ctx, int32_t n) {
  uint32_t position = 0;
  const ErrCode found = FindVariableSlot(ctx, n, &position);
  const bool unset = found == kOk && position < ctx->descTop &&
                     static_cast<int32_t>(ctx->DescWords()[position]) <= 0;
  // Code read from an image may store where it pushed nothing: the top
  // words would be its frame's.
  if (!HasEntriesAboveFrame(ctx, 1)) return kErrIllegal;
  const ValueDescriptor d = *DescAt(ctx, 0);
  if (d.flags & kFlagNoValue) return Drop(ctx);
  if (IsStructured(d) && d.word == kKindCommaList) return kErrFreeListAssignment;
  if (d.flags & kFlagReference) return kErrIllegal;
  if (found) return found;
  ErrCode e;
  if (unset) {
    // The first value of a variable: no block to reuse, free or follow.
    int32_t block;
    e = NewBlockForTop(ctx, d, &block);
    if (e) return e;
    ctx->DescWords()[position] = static_cast<uint32_t>(block);
    PopTop(ctx, d);
    return kOk;
  }
  const int32_t old = SlotValueBlock(ctx, position);
  if (old > 0 && BlockUnits(ctx, old) == d.size + 2) {
    if (MovesByPages(ctx, d.size))
      TakeTopAsItem(ctx, d, BlockData(ctx, old));
    else
      WriteEntryAsItem(ctx, 0, BlockData(ctx, old));
    PopTop(ctx, d);
    return kOk;
  }
  // A new block first, so that a full heap leaves the variable as it was.
  int32_t block;
  e = NewBlockForTop(ctx, d, &block);
  if (e) return e;
  SetSlotValueBlock(ctx, position, block);
  FreeEngineBlock(ctx, old);
  PopTop(ctx, d);
  return kOk;
}

}  // namespace

ErrCode FindVariableSlot(EngineContext* ctx, int32_t n, uint32_t* position) {
  return SlotOfScopeFrame(ctx, ScopeFrame(ctx), n, position);
}

int32_t SlotValueBlock(EngineContext* ctx, uint32_t position) {
  if (position >= ctx->descTop) return 0;
  return VariableValueBlock(ctx, static_cast<int32_t>(ctx->DescWords()[position]));
}

void SetSlotValueBlock(EngineContext* ctx, uint32_t position, int32_t block) {
  uint32_t& slot = ctx->DescWords()[position];
  if (SharedEntry* e = LinkedEntry(ctx, static_cast<int32_t>(slot))) {
    e->value = block;
    return;
  }
  slot = static_cast<uint32_t>(block);
}

ErrCode NewValueBlock(EngineContext* ctx, int32_t depth, int32_t* block) {
  const ValueDescriptor d = *DescAt(ctx, depth);
  if (uint64_t{d.size} + 2 > kBlockSizeMask) return kErrVarOverflow;
  ErrCode e = AllocEngineBlock(ctx, d.size + 2, block);
  if (e) return e;
  WriteEntryAsItem(ctx, depth, BlockData(ctx, *block));
  return kOk;
}

ErrCode LoadVariable(EngineContext* ctx, int32_t n) {
  if (LoadScalarVariable(ctx, ScopeFrame(ctx), n)) return kOk;
  uint32_t position;
  ErrCode e = FindVariableSlot(ctx, n, &position);
  if (e) return e;
  const int32_t block = SlotValueBlock(ctx, position);
  if (block <= 0) return RaiseError(ctx, kErrUndefVar, n, 0, -1, nullptr);
  const uint8_t* item = BlockData(ctx, block);
  const ValueDescriptor d = Load<ValueDescriptor>(item);
  if (uint64_t{d.size} + 2 > BlockUnits(ctx, block)) return kErrIllegal;
  uint8_t* data;
  e = PushEntry(ctx, d.flags, d.size, d.word, false, &data);
  if (e) {
    const ErrCode code = e == kErrStackOverflow ? kErrStackOverflowVar : kErrDataOverflowVar;
    return RaiseError(ctx, code, n, 0, -1, nullptr);
  }
  CopyUnits(data, item + 16, d.size);
  return kOk;
}

ErrCode StoreVariable(EngineContext* ctx, int32_t n) {
  // A real scalar into a variable that holds one, or into an unset one, the
  // commonest first value (a function's output for one): a block of a
  // scalar's size written whole where the heap's walk starts. Everything
  // else, a full heap included, takes the general path, which decides as
  // it would without these.
  const int32_t f = ScopeFrame(ctx);
  uint32_t position;
  if (SlotOfScopeFrame(ctx, f, n, &position) == kOk && position < ctx->descTop) {
    if (static_cast<int32_t>(ctx->DescWords()[position]) > 0) {
      if (StoreScalarVariable(ctx, f, n)) return kOk;
    } else if (ctx->descTop >= 3 && IsRealDoubleScalar(*DescAt(ctx, 0))) {
      int32_t block;
      if (TakeBlockAtWalkStart(ctx, 3, &block)) {
        ScopeSlots::WriteScalar(BlockData(ctx, block),
                                Load<double>(ctx->DataUnits() + ctx->dataTop - 1));
        ctx->DescWords()[position] = static_cast<uint32_t>(block);
        ctx->descTop -= 3;
        ctx->dataTop -= 1;
        return kOk;
      }
    }
  }
  return StoreAnyValue(ctx, n);
}

ErrCode UnsetVariable(EngineContext* ctx, int32_t n) {
  uint32_t position;
  ErrCode e = FindVariableSlot(ctx, n, &position);
  if (e) return e;
  uint32_t& slot = ctx->DescWords()[position];
  const int32_t block = static_cast<int32_t>(slot);
  if (SharedEntry* shared = LinkedEntry(ctx, block); shared && shared->owner != kGlobalOwner) {
    // A persistent value goes with its variable, block and all.
    FreeEngineBlock(ctx, shared->value);
    shared->value = -1;
  }
  FreeEngineBlock(ctx, block);
  slot = static_cast<uint32_t>(-1);
  return kOk;
}

ErrCode AddToVariable(EngineContext* ctx, int32_t n, double amount) {
  uint32_t position;
  ErrCode e = FindVariableSlot(ctx, n, &position);
  if (e) return e;
  const int32_t block = SlotValueBlock(ctx, position);
  if (block <= 0) return RaiseError(ctx, kErrUndefVar, n, 0, -1, nullptr);
  uint8_t* p = BlockData(ctx, block);
  const ValueDescriptor d = Load<ValueDescriptor>(p);
  if (!IsPlain(d)) return RaiseError(ctx, kErrWrongVarType, n, 0, -1, nullptr);
  const uint32_t real = (d.flags & kFlagComplex) ? d.size / 2 : d.size;
  for (uint32_t i = 0; i < real; i++) {
    uint8_t* el = p + 16 + 8ull * i;
    Store<double>(el, Load<double>(el) + amount);
  }
  return kOk;
}

bool GetSharedVariable(EngineContext* ctx, uint32_t index, int32_t* nameId, int32_t* owner) {
  const SharedEntry* e = SharedEntryAt(ctx, index);
  if (!e) return false;
  *nameId = e->nameId;
  *owner = e->owner;
  return true;
}

int32_t SharedValueBlock(EngineContext* ctx, uint32_t index) {
  const SharedEntry* e = SharedEntryAt(ctx, index);
  return e ? e->value : 0;
}

bool GetLinkOwner(EngineContext* ctx, int32_t slotBlock, int32_t* owner) {
  const SharedEntry* e = LinkedEntry(ctx, slotBlock);
  if (!e) return false;
  *owner = e->owner;
  return true;
}

ErrCode DeclareGlobal(EngineContext* ctx, int32_t n, int32_t owner) {
  // Everything that can fail comes before the slot changes.
  uint32_t position;
  ErrCode e = FindVariableSlot(ctx, n, &position);
  if (e) return e;
  const char* name = GetVariableName(ctx, n);
  if (!name || !name[0]) return kErrIllegal;
  int32_t length = 0;
  while (length < kMaxIdentifierLength && name[length]) length++;
  int32_t nameId;
  e = InternName(ctx, name, length, kMaxIdentifierLength, &nameId);
  if (e) return e;
  uint32_t index;
  e = FindOrAddSharedEntry(ctx, nameId, owner, &index);
  if (e) return e;
  SharedEntry* shared = SharedEntryAt(ctx, index);
  if (shared->value <= 0) {
    int32_t value;
    if (AllocEngineBlock(ctx, 2, &value)) return kErrVarOverflow;
    WriteEmptyMatrixBlock(ctx, value);
    shared->value = value;
  }
  int32_t link;
  if (AllocEngineBlock(ctx, kLinkUnits, &link)) return kErrVarOverflow;
  uint8_t* p = BlockData(ctx, link);
  std::memset(p, 0, 8 * kLinkUnits);
  Store(p, ValueDescriptor{kFlagReference, kLinkUnits - 2, 0});
  Store<uint32_t>(p + 16, index);
  uint32_t& slot = ctx->DescWords()[position];
  FreeEngineBlock(ctx, static_cast<int32_t>(slot));
  slot = static_cast<uint32_t>(link);
  return kOk;
}

namespace {

// Whether a function, compiled or inline, runs between the current frame
// and the base frame, whether it has variables or not.
bool RunsInFunction(EngineContext* ctx) {
  for (int32_t f = ctx->curFrame; f >= 0; f = PreviousFrame(ctx, f)) {
    const uint32_t* w = FrameWords(ctx, f);
    if (w[kFwReturnKind] == kBaseFrameKind) return false;
    if (static_cast<int32_t>(w[kFwFunction]) != kCallText) return true;
  }
  return false;
}

}  // namespace

ErrCode ClearVariables(EngineContext* ctx, int32_t n) {
  if (n < 0 || n > GetFrameEntryCount(ctx)) return kErrIllegal;
  char text[kMaxIdentifierLength + 2];
  int32_t length = 0;
  if (n == 1 && GetStringArgToBuffer(ctx, 0, text, sizeof text, &length) == kOk && length == 2 &&
      text[0] == '-' && text[1] == 'f') {
    // Functions are cleared from the base workspace only: a function that
    // runs would lose its own code.
    if (IsInFunctionContext(ctx) || RunsInFunction(ctx)) return kErrBadContext;
    for (uint32_t i = 1; i < ctx->funcCount; i++)
      if (HoldsCodePosition(FunctionEntries(ctx)[i]) && IsFunctionEntry(FunctionEntries(ctx)[i]))
        RemoveFunctionsOfEntry(ctx, static_cast<int32_t>(i));
    return Drop(ctx, n);
  }
  const int32_t f = ScopeFrame(ctx);
  if (f < 0) return kErrIllegal;
  const int32_t count = static_cast<int32_t>(FrameWords(ctx, f)[kFwVarCount]);
  ErrCode e;
  if (n == 0) {
    for (int32_t i = 0; i < count; i++) UnsetVariable(ctx, i);
    return kOk;
  }
  for (int32_t d = n - 1; d >= 0; d--) {
    e = GetStringArgToBuffer(ctx, d, text, sizeof text, &length);
    if (e == kErrObjTooLarge) continue;  // longer than any variable name
    if (e) return e;
    for (int32_t i = 0; i < count; i++)
      if (NameMatches(GetVariableName(ctx, i), text, length)) UnsetVariable(ctx, i);
  }
  return Drop(ctx, n);
}

}  // namespace vke
