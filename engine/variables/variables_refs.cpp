// Reference values: making them, checking what they designate, reading the
// designated value, and writing a new value in its place with the variable's
// block resized and the enclosing item headers fixed.
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/fast_forms.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables_internal.hpp"

namespace vke {

namespace {

uint32_t UsedUnits(const uint8_t* value) {
  return 2 + Load<uint32_t>(value + 4);
}

ReferenceWords* WordsAt(EngineContext* ctx, int32_t depth) {
  return reinterpret_cast<ReferenceWords*>(DataAt(ctx, depth));
}

}  // namespace

uint8_t* FindItemByName(uint8_t* items, uint32_t bytes, int32_t nameId) {
  for (uint32_t at = 0; at + 16 <= bytes; at += ItemBytes(items + at))
    if (Load<int32_t>(items + at + 12) == nameId) return items + at;
  return nullptr;
}

void SplitBlock(EngineContext* ctx, int32_t block, uint32_t units) {
  uint8_t* header = ctx->HeapBytes() + 8ull * static_cast<uint32_t>(block - 1);
  const uint32_t h = Load<uint32_t>(header);
  const uint32_t old = h & kBlockSizeMask;
  if (units >= old) return;
  Store<uint32_t>(header, (h & ~kBlockSizeMask) | units);
  Store<uint32_t>(header + 8ull * (units + 1), old - units - 1);
  const uint32_t rest = static_cast<uint32_t>(block) + units;  // the new free block
  NoteFreeBlock(ctx, rest);
}

void FixItemSizes(uint8_t* value, uint32_t target, int32_t growth, uint32_t from) {
  uint32_t at = 0;
  while (at < target) {
    uint8_t* header = value + 8ull * at;
    const uint32_t size = Load<uint32_t>(header + 4);
    Store<uint32_t>(header + 4, size + static_cast<uint32_t>(growth));
    // Down into the item that holds the target.
    uint32_t child = at == 0 && from > 2 ? from : at + 2;
    const uint32_t end = at + 2 + size;
    while (child < end && target >= child + 2 + Load<uint32_t>(value + 8ull * child + 4))
      child += 2 + Load<uint32_t>(value + 8ull * child + 4);
    if (child >= end) return;
    at = child;
  }
}

bool IsEmptyPlaceholder(const ValueDescriptor& d) {
  return d.size == 0 && ((d.flags == kFlagStructured && d.word == kKindList) || d.flags == 0);
}

ErrCode ReadReference(EngineContext* ctx, int32_t depth, Designated* out) {
  if (3u * uint32_t(depth + 1) > ctx->descTop || !IsReferenceEntry(*DescAt(ctx, depth)))
    return kErrIllegal;
  const ReferenceWords r = *WordsAt(ctx, depth);
  if (r.slot < 0 || r.block <= 0 || SlotValueBlock(ctx, static_cast<uint32_t>(r.slot)) != r.block)
    return kErrIllegal;
  const uint64_t units = BlockUnits(ctx, r.block);
  if (r.offset < 0 || uint64_t(r.offset) + 2 > units) return kErrIllegal;
  const uint8_t* item = BlockData(ctx, r.block) + 8ull * static_cast<uint32_t>(r.offset);
  out->ref = r;
  out->desc = Load<ValueDescriptor>(item);
  if (uint64_t(r.offset) + 2 + out->desc.size > units) return kErrIllegal;
  out->item = static_cast<uint32_t>(item - ctx->Bytes());
  return kOk;
}

void MoveReference(EngineContext* ctx, int32_t depth, int32_t offset) {
  WordsAt(ctx, depth)->offset = offset;
}

void MaskReadError(EngineContext* ctx, int32_t depth, int32_t masked) {
  ReferenceWords* r = WordsAt(ctx, depth);
  if (r->masked == 0) r->masked = masked;
}

ErrCode RaiseForReference(EngineContext* ctx, const Designated& d, ErrCode code, int32_t fieldId,
                          int32_t integer) {
  return RaiseError(ctx, code, d.ref.variable, fieldId, integer, nullptr);
}

ErrCode RaiseIndexingError(EngineContext* ctx, const Designated& d, ErrCode code) {
  switch (code) {
    case kErrBadIndexType:
    case kErrNonIntegerIndex:
    case kErrIndexOutOfRange:
    case kErrIncompSizeSel:
    case kErrIncompAsgnSize:
      return RaiseForReference(ctx, d, code);
    default:
      return code;
  }
}

ErrCode RefuseCreatedRead(EngineContext* ctx, const Designated& d) {
  if (d.ref.created == kCreatedVariable) {
    SetSlotValueBlock(ctx, static_cast<uint32_t>(d.ref.slot), -1);
    FreeEngineBlock(ctx, d.ref.block);
    return RaiseForReference(ctx, d, kErrUndefVar);
  }
  if (d.ref.masked < 0) return RaiseForReference(ctx, d, kErrUndefField, d.ref.masked);
  if (d.ref.masked > 0) return RaiseForReference(ctx, d, kErrIndexOutOfRange, 0, d.ref.masked);
  return kOk;
}

ErrCode KeepValueBeforeChange(EngineContext* ctx, int32_t refDepth, Designated* t) {
  if (t->ref.created != 0) return kOk;
  const uint32_t units = UsedUnits(BlockData(ctx, t->ref.block));
  int32_t kept;
  if (AllocEngineBlock(ctx, units, &kept)) return kErrVarOverflow;
  std::memcpy(BlockData(ctx, kept), BlockData(ctx, t->ref.block), 8ull * units);
  t->ref.created = -kept;
  WordsAt(ctx, refDepth)->created = -kept;
  return kOk;
}

void NoteAppendedInPlace(EngineContext* ctx, int32_t refDepth, Designated* t, int32_t block,
                         uint32_t oldUnits) {
  ReferenceWords* r = WordsAt(ctx, refDepth);
  r->block = block;
  // A variable the store created is unset again instead.
  if (r->created == 0) r->created = kAppendedFrom + static_cast<int32_t>(oldUnits);
  t->ref = *r;
  t->desc = Load<ValueDescriptor>(BlockData(ctx, block));
  t->item = static_cast<uint32_t>(BlockData(ctx, block) - ctx->Bytes());
}

void ReleaseKeptValue(EngineContext* ctx, const ReferenceWords& r) {
  if (r.created < 0) FreeEngineBlock(ctx, -r.created);
}

void AbandonStores(EngineContext* ctx, uint32_t from) {
  const uint32_t* words = ctx->DescWords();
  uint32_t top = ctx->descTop, data = ctx->dataTop;
  for (int32_t f = ctx->curFrame; top > from;
       top = static_cast<uint32_t>(f), f = PreviousFrame(ctx, f)) {
    uint32_t start = f >= 0 ? static_cast<uint32_t>(f) + FrameFixedWords(FrameWords(ctx, f)) : 0;
    if (start < from) start = from;
    for (; top >= start + 3; top -= 3) {
      const ValueDescriptor d = Load<ValueDescriptor>(words + top - 3);
      if (d.size > data) return;
      data -= d.size;
      if (!IsReferenceEntry(d)) continue;
      const ReferenceWords r = Load<ReferenceWords>(DataUnitPtr(ctx, data));
      if (r.tag != kReferenceTag || r.slot < 0 || r.created == 0 || r.block <= 0 ||
          SlotValueBlock(ctx, static_cast<uint32_t>(r.slot)) != r.block)
        continue;
      // The slot holds what the store made of the value: the value from
      // before takes its place (none for a variable the store created), or
      // loses the element appended in place.
      if (r.created >= kAppendedFrom) {
        TakeBackAppend(ctx, r.block, static_cast<uint32_t>(r.created - kAppendedFrom));
        continue;
      }
      SetSlotValueBlock(ctx, static_cast<uint32_t>(r.slot), r.created > 0 ? -1 : -r.created);
      FreeEngineBlock(ctx, r.block);
    }
    if (f < 0) break;
  }
}

ErrCode PushDesignated(EngineContext* ctx, const Designated& d) {
  uint8_t* data;
  ErrCode e = PushEntry(ctx, d.desc.flags, d.desc.size, d.desc.word, false, &data);
  if (e) return e;
  std::memcpy(data, d.Data(ctx), 8ull * d.desc.size);
  return kOk;
}

ErrCode ReplaceDesignated(EngineContext* ctx, int32_t refDepth, int32_t valueDepth) {
  Designated t;
  ErrCode e = ReadReference(ctx, refDepth, &t);
  if (e) return e;
  const ValueDescriptor nd = *DescAt(ctx, valueDepth);
  if (nd.flags & (kFlagReference | kFlagMarker)) return kErrIllegal;
  if ((nd.flags & kFlagNoValue) || (IsStructured(nd) && nd.word == kKindCommaList))
    return kErrFreeListAssignment;
  const int32_t block = t.ref.block;
  const uint32_t offset = static_cast<uint32_t>(t.ref.offset);
  const uint8_t* src = DataAt(ctx, valueDepth);
  uint8_t* value = BlockData(ctx, block);
  const uint32_t used = UsedUnits(value);
  const uint32_t tail = used - (offset + 2 + t.desc.size);  // units behind the item
  const int64_t growth = int64_t{nd.size} - t.desc.size;
  auto writeItem = [&](uint8_t* base) {
    uint8_t* header = base + 8ull * offset;
    Store(header, nd);  // the fourth word, the item's name, stays
    std::memcpy(header + 16, src, 8ull * nd.size);
    FixItemSizes(base, offset, static_cast<int32_t>(growth));
  };
  if (growth <= 0) {
    uint8_t* after = value + 8ull * (offset + 2);
    std::memmove(after + 8ull * nd.size, after + 8ull * t.desc.size, 8ull * tail);
    writeItem(value);
    SplitBlock(ctx, block, static_cast<uint32_t>(used + growth));
    return kOk;
  }
  if (used + growth > kBlockSizeMask) return kErrVarOverflow;
  if (FastFormsOn()) {
    // The item grows where it lies: the block grows, or moves with room to
    // spare, and what lies behind the item moves up.
    // An item inside a value that appends keep count of: the count stays,
    // and the walk to the items enclosing it starts at the last element
    // when the item lies there.
    KeptCount kept;
    const bool keep = offset != 0 && ReadKeptCount(ctx, block, &kept);
    int32_t grown = block;
    if (!EnsureBlockRoom(ctx, static_cast<uint32_t>(t.ref.slot), &grown, used,
                         static_cast<uint32_t>(used + growth + (keep ? kKeptCountUnits : 0))))
      return kErrVarOverflow;
    value = BlockData(ctx, grown);
    uint8_t* after = value + 8ull * (offset + 2);
    std::memmove(after + 8ull * nd.size, after + 8ull * t.desc.size, 8ull * tail);
    uint8_t* header = value + 8ull * offset;
    Store(header, nd);
    std::memcpy(header + 16, src, 8ull * nd.size);
    FixItemSizes(value, offset, static_cast<int32_t>(growth),
                 keep && offset >= kept.last ? kept.last : 0);
    if (keep) {
      if (offset < kept.last) kept.last += static_cast<uint32_t>(growth);
      WriteKeptCount(ctx, grown, kept);
    }
    WordsAt(ctx, refDepth)->block = grown;
    return kOk;
  }
  int32_t grown;
  if (AllocEngineBlock(ctx, static_cast<uint32_t>(used + growth), &grown)) return kErrVarOverflow;
  uint8_t* copy = BlockData(ctx, grown);
  value = BlockData(ctx, block);
  std::memcpy(copy, value, 8ull * (offset + 2));
  std::memcpy(copy + 8ull * (offset + 2 + nd.size), value + 8ull * (offset + 2 + t.desc.size),
              8ull * tail);
  writeItem(copy);
  SetSlotValueBlock(ctx, static_cast<uint32_t>(t.ref.slot), grown);
  FreeEngineBlock(ctx, block);
  WordsAt(ctx, refDepth)->block = grown;
  return kOk;
}

ErrCode MakeReference(EngineContext* ctx, int32_t n, bool create) {
  uint32_t position;
  ErrCode e = FindVariableSlot(ctx, n, &position);
  if (e) return e;
  int32_t block = SlotValueBlock(ctx, position);
  const bool created = block <= 0;
  if (created) {
    if (!create) return RaiseError(ctx, kErrUndefVar, n, 0, -1, nullptr);
    if (AllocEngineBlock(ctx, 2, &block)) return kErrVarOverflow;
    uint8_t* p = BlockData(ctx, block);
    Store(p, ValueDescriptor{kFlagStructured, 0, kKindList});
    Store<int32_t>(p + 12, 0);
    SetSlotValueBlock(ctx, position, block);
  }
  uint8_t* data;
  e = PushEntry(ctx, kFlagReference, kReferenceUnits, 0, false, &data);
  if (e) {
    if (created) {
      SetSlotValueBlock(ctx, position, -1);
      FreeEngineBlock(ctx, block);
    }
    const ErrCode code = e == kErrStackOverflow ? kErrStackOverflowVar : kErrDataOverflowVar;
    return RaiseError(ctx, code, n, 0, -1, nullptr);
  }
  Store(data, ReferenceWords{create ? 1 : 0, kReferenceTag, static_cast<int32_t>(position), block,
                             0, created ? 1 : 0, n, 0});
  return kOk;
}

ErrCode ResolveReference(EngineContext* ctx) {
  if (ctx->descTop < 3 || !(DescAt(ctx, 0)->flags & kFlagReference)) return kOk;
  Designated t;
  ErrCode e = ReadReference(ctx, 0, &t);
  if (!e) e = RefuseCreatedRead(ctx, t);
  if (!e) e = PushDesignated(ctx, t);
  return e ? e : DropStackEntries(ctx, 1, 1);
}

ErrCode AssignThroughReference(EngineContext* ctx) {
  if (ctx->descTop < 6) return kErrIllegal;
  ErrCode e = ReplaceDesignated(ctx, 0, 1);
  if (e) return e;
  ReleaseKeptValue(ctx, *WordsAt(ctx, 0));
  return Drop(ctx, 2);
}

}  // namespace vke
