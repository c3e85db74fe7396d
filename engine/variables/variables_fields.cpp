// Field access and structured indexing: x.f and x.(name), x{...} and
// x(...).f on values and through references (creating missing fields,
// items and elements for assignment targets), and the "end"-like values
// inside subscripts.
#include "engine/code/names.hpp"
#include "engine/entry_copies.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/frames/entry_items.hpp"
#include "engine/memory_retry.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables_internal.hpp"

namespace vke {

namespace {

int32_t UnitOffset(EngineContext* ctx, const Designated& t, const uint8_t* item) {
  return static_cast<int32_t>((item - BlockData(ctx, t.ref.block)) / 8);
}

// Replaces the designated value by a transformed copy and reads the
// reference again.
template <typename Transform>
ErrCode RebuildDesignated(EngineContext* ctx, int32_t refDepth, Designated* t,
                          Transform transform) {
  ErrCode e = KeepValueBeforeChange(ctx, refDepth, t);
  if (e) return e;
  const uint32_t level = ctx->descTop;
  e = PushDesignated(ctx, *t);
  if (!e) e = transform();
  if (!e) e = ReplaceDesignated(ctx, refDepth + 1, 0);
  if (ctx->descTop > level) Drop(ctx, static_cast<int32_t>((ctx->descTop - level) / 3));
  return e ? e : ReadReference(ctx, refDepth, t);
}

// Turns an empty placeholder designated by an assignment's reference into
// an empty value of the kind (the reference lies at refDepth).
ErrCode FillPlaceholder(EngineContext* ctx, int32_t refDepth, Designated* t, int32_t kind) {
  if (!t->ref.create || !IsEmptyPlaceholder(t->desc)) return kOk;
  ErrCode e = KeepValueBeforeChange(ctx, refDepth, t);
  if (e) return e;
  t->desc = ValueDescriptor{kFlagStructured, 0, kind};
  Store(t->Header(ctx), t->desc);
  return kOk;
}

// Moves the reference to the field's item of the designated structure,
// adding the field when the reference may create it.
ErrCode FieldOfDesignated(EngineContext* ctx, int32_t refDepth, Designated* t, int32_t nameId) {
  uint8_t* item = FindItemByName(t->Data(ctx), 8 * t->desc.size, nameId);
  if (!item) {
    if (!t->ref.create) return RaiseForReference(ctx, *t, kErrUndefField, nameId);
    MaskReadError(ctx, refDepth, nameId);
    ErrCode e = RebuildDesignated(ctx, refDepth, t, [&] { return AppendItems(ctx, 1, nameId); });
    if (e) return e;
    item = FindItemByName(t->Data(ctx), 8 * t->desc.size, nameId);
    if (!item) return kErrIllegal;
  }
  MoveReference(ctx, refDepth, UnitOffset(ctx, *t, item));
  return kOk;
}

// x.f of a structure array value on top: a comma list of the elements'
// fields, or the field itself when there is one element.
ErrCode CollectFieldValues(EngineContext* ctx, int32_t nameId) {
  StructuredLayout l;
  if (!ReadStructuredLayout(*DescAt(ctx, 0), DataAt(ctx, 0), &l)) return kErrIllegal;
  const uint8_t* data = DataAt(ctx, 0);
  int32_t field = -1;
  uint32_t at = l.first;
  for (int32_t f = 0; l.elements > 0 && f < l.span; f++, at += ItemBytes(data + at))
    if (Load<int32_t>(data + at + 12) == nameId) field = f;
  if (l.elements > 0 && field < 0) return RaiseError(ctx, kErrUndefField, -1, nameId, -1, nullptr);
  auto fieldItem = [&](const uint8_t* base, int32_t el) {
    const uint8_t* item = base + ElementOffset(base, l, el);
    for (int32_t f = 0; f < field; f++) item += ItemBytes(item);
    return item;
  };
  if (l.elements == 1) {
    ErrCode e = PushItem(ctx, fieldItem(data, 0));
    return e ? e : DropStackEntries(ctx, 1, 1);
  }
  uint64_t bytes = 0;
  for (int32_t el = 0; el < l.elements; el++) bytes += ItemBytes(fieldItem(data, el));
  if (bytes / 8 > UINT32_MAX) return kErrObjTooLarge;
  uint8_t* out;
  ErrCode e = PushEntry(ctx, kFlagStructured, static_cast<uint32_t>(bytes / 8), kKindCommaList,
                        false, &out);
  if (e) return e;
  data = DataAt(ctx, 1);
  for (int32_t el = 0; el < l.elements; el++) {
    const uint8_t* item = fieldItem(data, el);
    const uint32_t size = ItemBytes(item);
    std::memcpy(out, item, size);
    Store<int32_t>(out + 12, 0);
    out += size;
  }
  return DropStackEntries(ctx, 1, 1);
}

// The name on top (text, at most 32 characters) as a name id; it is dropped.
ErrCode PopFieldName(EngineContext* ctx, int32_t* nameId) {
  char name[kMaxIdentifierLength + 1];
  int32_t length;
  ErrCode e = GetStringArgToBuffer(ctx, 0, name, sizeof name, &length);
  if (e == kErrWrongType) return kErrWrongTypeOverload;
  if (e) return e == kErrObjTooLarge ? kErrNameTooLong : e;
  e = InternName(ctx, name, length, kMaxIdentifierLength, nameId);
  return e ? e : Drop(ctx);
}

// Where element values (1-based, n of them) lies in a value of the shape:
// *linear its storage position, *beyond whether it lies outside, and then
// *grown the shape that holds it (false when no shape can: a matrix indexed
// linearly beyond its end).
bool ElementPosition(const StructuredLayout& l, const int32_t* values, int32_t n, int64_t* linear,
                     bool* beyond, Shape* grown) {
  int32_t subs[kMaxSubscripts];
  for (int32_t j = 0; j < n; j++) subs[j] = values[j] - 1;
  const Shape& s = l.shape;
  *grown = s;
  *beyond = false;
  if (n == 1) {
    *linear = subs[0];
    if (subs[0] < s.count) return true;
    *beyond = true;
    const bool column = s.ndims == 2 && s.dims[1] == 1 && s.dims[0] > 1;
    const bool row = s.count == 0 || (s.ndims == 2 && s.dims[0] == 1);
    if (!row && !column) return false;
    grown->ndims = 2;
    grown->dims[0] = column ? values[0] : 1;
    grown->dims[1] = column ? 1 : values[0];
  } else {
    if (n < s.ndims) {
      *linear = SubscriptsToIndex(s.ndims, s.dims, n, subs);
      *beyond = *linear >= s.count;
      return !*beyond;
    }
    while (grown->ndims < n) grown->dims[grown->ndims++] = 1;
    for (int32_t j = 0; j < n; j++) {
      if (subs[j] >= grown->dims[j]) {
        grown->dims[j] = values[j];
        *beyond = true;
      }
    }
    if (l.kind == kKindList && grown->dims[0] > 1) return false;
  }
  int64_t count = 1;
  for (int32_t j = 0; j < grown->ndims; j++) count *= grown->dims[j];
  if (count > kMaxTypedElements) return false;
  grown->count = static_cast<int32_t>(count);
  if (n > 1) *linear = SubscriptsToIndex(grown->ndims, grown->dims, n, subs);
  return true;
}

// ReachElement once the subscripts are read, through the element layout.
ErrCode ReachElementWalking(EngineContext* ctx, const SubscriptList& subs, const int32_t* values,
                            int32_t refDepth, Designated* t, StructuredLayout* l, int64_t* linear) {
  if (!ReadStructuredLayout(t->desc, t->Data(ctx), l)) return kErrIllegal;
  bool beyond;
  Shape grown;
  const bool room = ElementPosition(*l, values, subs.n, linear, &beyond, &grown);
  if (!beyond) return kOk;
  const int32_t index = *linear < INT32_MAX ? static_cast<int32_t>(*linear + 1) : INT32_MAX;
  if (!room || !t->ref.create) return RaiseForReference(ctx, *t, kErrIndexOutOfRange, 0, index);
  MaskReadError(ctx, refDepth, index);
  ErrCode e = RebuildDesignated(ctx, refDepth, t, [&] {
    if (l->kind == kKindList) return AppendItems(ctx, grown.count - l->elements, 0);
    ErrCode r = l->kind == kKindStruct ? StructToStructArray(ctx) : kOk;
    return r ? r : ResizeElements(ctx, grown);
  });
  if (e) return e;
  return ReadStructuredLayout(t->desc, t->Data(ctx), l) ? kOk : kErrIllegal;
}

// Reads the element subscripts above the reference at refDepth and makes
// room for the element when the reference may create it; *offset receives
// the byte offset from the data of the element's first item. An element one
// past the end of a variable's list or row is appended where it lies: *l is
// then left as it was, and *offset is that of its field of the name id
// (*atField set) when it names one.
ErrCode ReachElement(EngineContext* ctx, const SubscriptList& subs, int32_t refDepth, Designated* t,
                     StructuredLayout* l, int64_t* linear, int32_t fieldId, uint32_t* offset,
                     bool* atField) {
  *atField = false;
  int32_t values[kMaxSubscripts], bad;
  ErrCode e = ReadListIndices(ctx, subs, values, &bad);
  if (e) return RaiseForReference(ctx, *t, e, 0, bad);
  if (subs.n < 1) return RaiseForReference(ctx, *t, kErrWrongNumInd, 0, subs.n);
  if (t->ref.create && (subs.n == 1 || (subs.n == 2 && values[0] == 1))) {
    bool full;
    *linear = values[subs.n - 1] - 1;
    if (AppendElement(ctx, refDepth, t, *linear, fieldId, nullptr, offset, &full)) {
      MaskReadError(ctx, refDepth, values[subs.n - 1]);
      *atField = fieldId != 0;
      return kOk;
    }
    if (full && HostGrowsForRoom(ctx)) return kErrVarOverflow;
  }
  e = ReachElementWalking(ctx, subs, values, refDepth, t, l, linear);
  if (!e) *offset = ElementOffset(t->Data(ctx), *l, *linear);
  return e;
}

ErrCode BraceThroughReference(EngineContext* ctx, const SubscriptList& subs, int32_t entries) {
  Designated t;
  ErrCode e = ReadReference(ctx, entries, &t);
  if (e) return e;
  e = FillPlaceholder(ctx, entries, &t, kKindList);
  if (e) return e;
  if (!IsStructured(t.desc) || (t.desc.word != kKindList && t.desc.word != kKindCell))
    return RaiseForReference(ctx, t, kErrWrongVarTypeElem);
  StructuredLayout l;
  int64_t linear;
  uint32_t offset;
  bool atField;
  e = ReachElement(ctx, subs, entries, &t, &l, &linear, 0, &offset, &atField);
  if (e) return e;
  MoveReference(ctx, entries, UnitOffset(ctx, t, t.Data(ctx) + offset));
  return DropStackEntries(ctx, 0, entries);
}

ErrCode FieldThroughReference(EngineContext* ctx, const SubscriptList& subs, int32_t entries,
                              int32_t fieldId) {
  Designated t;
  ErrCode e = ReadReference(ctx, entries, &t);
  if (e) return e;
  e = FillPlaceholder(ctx, entries, &t, kKindStruct);
  if (e) return e;
  if (!IsStructured(t.desc) || (t.desc.word != kKindStruct && t.desc.word != kKindStructArray))
    return kErrWrongTypeOverload;
  StructuredLayout l;
  int64_t linear;
  uint32_t offset;
  bool atField;
  e = ReachElement(ctx, subs, entries, &t, &l, &linear, fieldId, &offset, &atField);
  if (!e && atField) {
    MoveReference(ctx, entries, UnitOffset(ctx, t, t.Data(ctx) + offset));
  } else if (!e && l.kind == kKindStruct) {
    e = FieldOfDesignated(ctx, entries, &t, fieldId);
  } else if (!e && l.kind == kKindStructArray) {
    const uint8_t* first = t.Data(ctx) + ElementOffset(t.Data(ctx), l, 0);
    int32_t field = -1;
    for (int32_t f = 0; f < l.span; f++, first += ItemBytes(first))
      if (Load<int32_t>(first + 12) == fieldId) field = f;
    if (field < 0) {
      if (!t.ref.create) return RaiseForReference(ctx, t, kErrUndefField, fieldId);
      MaskReadError(ctx, entries, fieldId);
      e = RebuildDesignated(ctx, entries, &t, [&] { return AddFieldToElements(ctx, fieldId); });
      if (e || !ReadStructuredLayout(t.desc, t.Data(ctx), &l)) return e ? e : kErrIllegal;
      field = l.span - 1;
      offset = ElementOffset(t.Data(ctx), l, linear);
    }
    const uint8_t* item = t.Data(ctx) + offset;
    for (int32_t f = 0; f < field; f++) item += ItemBytes(item);
    MoveReference(ctx, entries, UnitOffset(ctx, t, item));
  }
  return e ? e : DropStackEntries(ctx, 0, entries);
}

// The shape of the value at the depth, through a reference.
ErrCode ShapeAt(EngineContext* ctx, int32_t depth, Shape* shape) {
  if (3u * uint32_t(depth + 1) > ctx->descTop) return kErrIllegal;
  ValueDescriptor d = *DescAt(ctx, depth);
  uint8_t* data = DataAt(ctx, depth);
  Designated t;
  const bool through = (d.flags & kFlagReference) != 0;
  if (through) {
    ErrCode e = ReadReference(ctx, depth, &t);
    if (e) return e;
    d = t.desc;
    data = t.Data(ctx);
  }
  const NumericView v = ViewNumericData(d, data);
  StructuredLayout l;
  if (v.cls != ValueClass::kOther) {
    *shape = v.shape;
  } else if (through && t.ref.offset == 0 && d.flags == kFlagStructured && d.word == kKindList) {
    // A variable's list: the count its appends kept spares a walk.
    const int64_t items = VariableListItems(ctx, t.ref.block);
    *shape = Shape{};
    shape->dims[0] = items ? 1 : 0;
    shape->dims[1] = shape->count = static_cast<int32_t>(items);
  } else if (ReadStructuredLayout(d, data, &l, false) && l.kind >= kKindList &&
             l.kind <= kKindStructArray) {
    *shape = l.shape;
  } else {
    return through ? RaiseForReference(ctx, t, kErrWrongVarType) : kErrWrongVarType;
  }
  return kOk;
}

int32_t DimOf(const Shape& s, int32_t k) {
  return k < s.ndims ? s.dims[k] : 1;
}

// Several items selected by x{...} (or none) become a comma list, which
// expands where arguments and elements are gathered.
void ToCommaList(EngineContext* ctx) {
  if (DescAt(ctx, 0)->word == kKindCell)
    StripDimsItem(ctx, kKindCommaList);
  else
    DescAt(ctx, 0)->word = kKindCommaList;
}

}  // namespace

ErrCode GetField(EngineContext* ctx, int32_t nameId, int32_t method) {
  if (!HasEntriesAboveFrame(ctx, 1)) return kErrIllegal;
  const ValueDescriptor d = *DescAt(ctx, 0);
  if (d.flags & kFlagReference) {
    Designated t;
    ErrCode e = ReadReference(ctx, 0, &t);
    if (e) return e;
    if (t.ref.create && IsEmptyPlaceholder(t.desc)) MaskReadError(ctx, 0, nameId);
    e = FillPlaceholder(ctx, 0, &t, kKindStruct);
    if (e) return e;
    const int32_t kind = IsStructured(t.desc) ? t.desc.word : kKindCommaList;
    if (kind == kKindStruct || (IsObjectKind(kind) && method))
      return FieldOfDesignated(ctx, 0, &t, nameId);
    if (IsObjectKind(kind)) return kErrInvalidFieldAccess;
    if (kind == kKindList || kind == kKindCell) return kErrWrongTypeOverload;
    // Read from a structure array, the field of every element: the value
    // is copied and the reference ends here.
    if (kind == kKindStructArray && !t.ref.create) {
      e = ResolveReference(ctx);
      return e ? e : CollectFieldValues(ctx, nameId);
    }
    return RaiseForReference(ctx, t, kErrWrongVarTypeField, nameId);
  }
  if (!IsStructured(d)) return kErrWrongTypeOverload;
  if (d.word == kKindStruct || (IsObjectKind(d.word) && method)) {
    const uint8_t* item = FindItemByName(DataAt(ctx, 0), 8 * d.size, nameId);
    if (!item) return RaiseError(ctx, kErrUndefField, -1, nameId, -1, nullptr);
    ErrCode e = PushItem(ctx, item);
    return e ? e : DropStackEntries(ctx, 1, 1);
  }
  if (IsObjectKind(d.word)) return kErrInvalidFieldAccess;
  if (d.word == kKindStructArray) return CollectFieldValues(ctx, nameId);
  return kErrWrongTypeOverload;
}

ErrCode GetFieldByNameValue(EngineContext* ctx, int32_t method) {
  // The name is kept aside until the field stands: a field without room
  // gets its name back on top, for the instruction to run again once the
  // area has grown.
  if (!HasEntriesAboveFrame(ctx, 1)) return kErrIllegal;
  EntryCopies name(ctx);
  if (ErrCode e = name.Take(0, 1)) return e;
  int32_t nameId;
  ErrCode e = PopFieldName(ctx, &nameId);
  if (e) return e;
  const uint32_t level = ctx->descTop;
  e = GetField(ctx, nameId, method);
  if (IsEngineMemoryCode(e) && ctx->descTop == level && !name.PushBack()) MarkOperandsChanged(ctx);
  return e;
}

ErrCode IndexStructured(EngineContext* ctx, IndexForm form, int32_t count, uint32_t mask,
                        int32_t fieldId) {
  SubscriptList subs;
  ErrCode e = ReadIndexGroup(ctx, count, mask, 1, &subs);
  if (e) return e;
  const int32_t entries = subs.Entries();
  const bool brace = form == IndexForm::kBrace;
  const ValueDescriptor d = *DescAt(ctx, entries);
  if (d.flags & kFlagReference)
    return brace ? BraceThroughReference(ctx, subs, entries)
                 : FieldThroughReference(ctx, subs, entries, fieldId);
  const bool fits =
      IsStructured(d) && (brace ? d.word == kKindList || d.word == kKindCell
                                : d.word == kKindStruct || d.word == kKindStructArray);
  if (!fits) return kErrWrongTypeOverload;
  e = ConvertIndexArgs(ctx, subs, nullptr, false);
  const uint32_t level = ctx->descTop;
  int32_t selected = 0;
  if (!e) e = SelectStructuredElements(ctx, subs, &selected);
  if (e) return e;
  if (brace && selected == 1) e = ReplaceByFirstElement(ctx);
  if (brace && selected != 1) ToCommaList(ctx);
  if (!brace) e = GetField(ctx, fieldId, 0);
  if (e) {
    // The selection goes: the operands stand as they came, for the
    // instruction to run again once the area has grown.
    DropAboveLevel(ctx, level);
    return e;
  }
  return DropStackEntries(ctx, 1, entries + 1);
}

ErrCode IndexStructuredGroup(EngineContext* ctx, int32_t count, uint32_t mask) {
  int32_t nameId;
  ErrCode e = PopFieldName(ctx, &nameId);
  return e ? e : IndexStructured(ctx, IndexForm::kParen, count, mask, nameId);
}

ErrCode EndValue(EngineContext* ctx, int32_t depth, int32_t position, int32_t count,
                 bool beginning) {
  if (beginning) return PushRealScalar(ctx, 1);
  Shape s;
  ErrCode e = ShapeAt(ctx, depth, &s);
  if (e) return e;
  double value = DimOf(s, position - 1);
  if (position >= count) {
    value = 1;
    for (int32_t k = position - 1; k < s.ndims; k++) value *= DimOf(s, k);
  }
  return PushRealScalar(ctx, value);
}

ErrCode IndexArrayValue(EngineContext* ctx, int32_t depth, int32_t position, int32_t count,
                        bool rows) {
  Shape s;
  ErrCode e = ShapeAt(ctx, depth, &s);
  if (e) return e;
  double* re;
  if (count >= 2) {
    const int32_t n = DimOf(s, position - 1);
    e = PushNewMatrix(ctx, 1, n, &re, nullptr);
    if (e) return e;
    for (int32_t i = 0; i < n; i++) re[i] = i + 1;
    return kOk;
  }
  e = PushNewArray(ctx, s.ndims, s.dims, &re, nullptr);
  if (e) return e;
  int32_t subs[kMaxDims];
  for (int32_t k = 0; k < s.count; k++) {
    IndexToSubscripts(s.ndims, s.dims, k, subs);
    re[k] = (rows ? subs[0] : subs[1]) + 1;
  }
  return kOk;
}

}  // namespace vke
