// The callback slots on structured values: references to inputs, items and
// fields without copies, their description, and building lists, structures,
// structure arrays and option structures as outputs.
#include <cstring>

#include "compiler/extensions/extension_table.hpp"
#include "engine/code/names.hpp"

namespace vke {

namespace {

const ValueDescriptor& RefDescriptor(const VkeExtValueRef* ref) {
  return *reinterpret_cast<const ValueDescriptor*>(ref->header);
}

// The reference of a list item or field: arrays (plain doubles, numeric,
// char and logical typed items), lists and structures; anything else is
// kind none.
VkeExtValueRef ItemRef(uint8_t* item) {
  const auto& d = *reinterpret_cast<const ValueDescriptor*>(item);
  uint32_t kind = VKE_EXT_NONE;
  if (IsPlain(d) || (d.flags == kFlagTyped && d.word >= kKindArray && d.word <= kKindLogical))
    kind = VKE_EXT_ARRAY;
  else if (d.flags == kFlagStructured && d.word == kKindList)
    kind = VKE_EXT_LIST;
  else if (d.flags == kFlagStructured && d.word == kKindStruct)
    kind = VKE_EXT_STRUCT;
  return {kind, reinterpret_cast<const uint32_t*>(item), item + sizeof(ListItemHeader)};
}

// The parts of a referenced value of the kind asked for; false (43 stored)
// for another kind.
bool PartsOfKind(VkeExtCallbacks* t, const VkeExtValueRef* ref, uint32_t kind,
                 StructuredParts* parts) {
  if (!ref || ref->kind != kind) return FailWith(t, kErrWrongType);
  DecodeStructuredData(RefDescriptor(ref), static_cast<uint8_t*>(ref->data), parts);
  return true;
}

// Item i (1-based, 1 or less the first) of `count` items from `first`;
// null (29 stored) beyond them.
uint8_t* ItemAt(VkeExtCallbacks* t, uint8_t* first, int32_t count, int32_t i) {
  if (i < 1) i = 1;
  if (i > count) {
    FailWith(t, kErrIndexOutOfRange);
    return nullptr;
  }
  uint8_t* item = first;
  for (int32_t k = 1; k < i; k++) item += ItemBytes(item);
  return item;
}

// The first of `count` named items whose name is `name`; null when none.
uint8_t* NamedItem(EngineContext* ctx, uint8_t* first, int32_t count, const char* name) {
  const int32_t id = FindName(ctx, name, static_cast<int32_t>(std::strlen(name)));
  uint8_t* item = first;
  for (int32_t k = 0; id && k < count; k++, item += ItemBytes(item))
    if (reinterpret_cast<const ListItemHeader*>(item)->nameId == id) return item;
  return nullptr;
}

// Element types by header code: its size and number class.
int32_t ElementSizeOfCode(uint32_t code) {
  return code >= kCodeDouble && code < kCodeUnsigned ? (code <= kCodeDoubleComplex ? 8 : 4)
                                                     : static_cast<int32_t>(code & 127);
}
int32_t NumberClassOfCode(uint32_t code) {
  if (code == kCodeDouble || code == kCodeSingle) return VKE_EXT_REAL;
  if (code == kCodeDoubleComplex || code == kCodeSingleComplex) return VKE_EXT_COMPLEX;
  return (code & kCodeUnsigned) ? VKE_EXT_UNSIGNED : VKE_EXT_SIGNED;
}

// Puts the value at valueDepth into the structure on top as the field of
// that name id: in place of the field's value when it has one (the items
// behind it move), else behind its last item. 3 when the data stack has no
// room.
ErrCode SetTopStructField(EngineContext* ctx, int32_t valueDepth, int32_t nameId) {
  ValueDescriptor* top = DescAt(ctx, 0);
  uint8_t* data = DataAt(ctx, 0);
  const ValueDescriptor value = *DescAt(ctx, valueDepth);
  const uint8_t* valueData = DataAt(ctx, valueDepth);
  const uint32_t bytes = 8 * top->size;
  uint32_t at = 0;
  while (at < bytes && reinterpret_cast<const ListItemHeader*>(data + at)->nameId != nameId)
    at += ItemBytes(data + at);
  const uint32_t oldUnits = at < bytes ? ItemBytes(data + at) / 8 : 0;
  const uint32_t newUnits = 2 + value.size;
  if (newUnits > oldUnits && uint64_t{ctx->dataTop} + newUnits - oldUnits >= ctx->dataCap)
    return kErrDataOverflow;
  const uint32_t tail = at + 8 * oldUnits;
  std::memmove(data + at + 8 * newUnits, data + tail, bytes - tail);
  ListItemHeader header{value, nameId};
  std::memcpy(data + at, &header, sizeof header);
  std::memcpy(data + at + sizeof header, valueData, 8ull * value.size);
  top->size = top->size + newUnits - oldUnits;
  ctx->dataTop = ctx->dataTop + newUnits - oldUnits;
  return kOk;
}

}  // namespace

int32_t ExtGetArgRef(VkeExtCallbacks* t, int32_t i, VkeExtValueRef* ref) {
  const int32_t depth = InputDepth(t, i);
  if (depth < 0) return FailWith(t, kErrTooFewArgin);
  EngineContext* ctx = TableContext(t);
  const ValueDescriptor* d = DescAt(ctx, depth);
  uint32_t kind = VKE_EXT_NONE;
  if (IsPlain(*d) || (d->flags == kFlagTyped && d->word == kKindArray))
    kind = VKE_EXT_ARRAY;
  else if (d->flags == kFlagStructured && d->word == kKindList)
    kind = VKE_EXT_LIST;
  else if (d->flags == kFlagStructured && d->word == kKindStruct)
    kind = VKE_EXT_STRUCT;
  else if (d->flags == kFlagStructured && d->word == kKindStructArray)
    kind = VKE_EXT_STRUCT_ARRAY;
  *ref = {kind, reinterpret_cast<const uint32_t*>(d), DataAt(ctx, depth)};
  return 1;
}

int32_t ExtDescribeValue(VkeExtCallbacks* t, const VkeExtValueRef* ref, int32_t* ndims,
                         int32_t* dims, int32_t* elementSize, int32_t* numberClass, void** data) {
  if (!ref || ref->kind != VKE_EXT_ARRAY) return FailWith(t, kErrWrongType);
  const ValueDescriptor& d = RefDescriptor(ref);
  auto* bytes = static_cast<uint8_t*>(ref->data);
  if (IsTyped(d)) {
    const uint32_t code = HeaderCode(bytes), n = HeaderNdims(bytes);
    if (ndims) *ndims = static_cast<int32_t>(n);
    for (uint32_t k = 0; dims && k < n && k < VKE_EXT_MAX_DIMS; k++)
      dims[k] = static_cast<int32_t>(HeaderDim(bytes, static_cast<int>(k)));
    if (elementSize) *elementSize = ElementSizeOfCode(code);
    if (numberClass)
      *numberClass = d.word == kKindChar      ? VKE_EXT_CHAR
                     : d.word == kKindLogical ? VKE_EXT_LOGICAL
                                              : NumberClassOfCode(code);
    if (data) *data = HeaderElements(bytes);
    return 1;
  }
  if (ndims) *ndims = 2;
  if (dims) dims[0] = PlainRows(d), dims[1] = d.word;
  if (elementSize) *elementSize = 8;
  if (numberClass) *numberClass = IsComplexPlain(d) ? VKE_EXT_COMPLEX : VKE_EXT_REAL;
  if (data) *data = bytes;
  return 1;
}

int32_t ExtGetItemCount(VkeExtCallbacks* t, const VkeExtValueRef* ref, int32_t* count) {
  if (!ref || ref->kind < VKE_EXT_LIST) return FailWith(t, kErrWrongType);
  StructuredParts parts;
  DecodeStructuredData(RefDescriptor(ref), static_cast<uint8_t*>(ref->data), &parts);
  if (count)
    *count = ref->kind == VKE_EXT_LIST ? parts.items : parts.fields ? parts.fields : parts.items;
  return 1;
}

int32_t ExtGetListItem(VkeExtCallbacks* t, const VkeExtValueRef* ref, int32_t i,
                       VkeExtValueRef* item) {
  StructuredParts parts;
  if (!PartsOfKind(t, ref, VKE_EXT_LIST, &parts)) return 0;
  uint8_t* at = ItemAt(t, parts.first, parts.items, i);
  if (!at) return 0;
  if (item) *item = ItemRef(at);
  return 1;
}

int32_t ExtGetFieldName(VkeExtCallbacks* t, const VkeExtValueRef* ref, int32_t i, char* name) {
  StructuredParts parts;
  if (!PartsOfKind(t, ref, VKE_EXT_STRUCT, &parts)) return 0;
  uint8_t* at = ItemAt(t, parts.first, parts.items, i);
  if (!at) return 0;
  int32_t length = 0;
  const char* text =
      NameText(TableContext(t), reinterpret_cast<const ListItemHeader*>(at)->nameId, &length);
  if (!text || length < 0) length = 0;
  if (length > 31) length = 31;
  std::memcpy(name, text ? text : "", static_cast<size_t>(length));
  name[length] = 0;
  return 1;
}

int32_t ExtGetField(VkeExtCallbacks* t, const VkeExtValueRef* ref, const char* name,
                    VkeExtValueRef* field) {
  StructuredParts parts;
  if (!PartsOfKind(t, ref, VKE_EXT_STRUCT, &parts)) return 0;
  uint8_t* at = NamedItem(TableContext(t), parts.first, parts.items, name);
  if (!at) return FailWith(t, kErrUndefField);
  *field = ItemRef(at);
  return 1;
}

// A structure array holds its elements' fields one element after the
// other, behind its dimension item.
int32_t ExtGetStructArrayField(VkeExtCallbacks* t, const VkeExtValueRef* ref, int32_t i,
                               const char* name, VkeExtValueRef* field) {
  StructuredParts parts;
  if (!PartsOfKind(t, ref, VKE_EXT_STRUCT_ARRAY, &parts)) return 0;
  uint8_t* element =
      ItemAt(t, parts.first, parts.elements * parts.fields, (i < 1 ? 0 : i - 1) * parts.fields + 1);
  if (!element || i > parts.elements) return FailWith(t, kErrIndexOutOfRange);
  uint8_t* at = NamedItem(TableContext(t), element, parts.fields, name);
  if (!at) return FailWith(t, kErrUndefField);
  if (field) *field = ItemRef(at);
  return 1;
}

int32_t ExtNewList(VkeExtCallbacks* t) {
  return CountOutput(t, PushListFromEntries(TableContext(t), 0, false, nullptr, 0));
}

int32_t ExtAppendToList(VkeExtCallbacks* t) {
  if (t->outputsPushed < 2) return FailWith(t, kErrIllegal);
  if (ErrCode e = PushListFromEntries(TableContext(t), 1, true, nullptr, 0)) return FailWith(t, e);
  t->outputsPushed--;
  return 1;
}

int32_t ExtNewStruct(VkeExtCallbacks* t) {
  return CountOutput(t,
                     PushEntry(TableContext(t), kFlagStructured, 0, kKindStruct, false, nullptr));
}

int32_t ExtAddStructField(VkeExtCallbacks* t, const char* name) {
  if (t->outputsPushed < 2) return FailWith(t, kErrIllegal);
  if (ErrCode e = PushListFromEntries(TableContext(t), 1, true, name, -1)) return FailWith(t, e);
  t->outputsPushed--;
  return 1;
}

int32_t ExtMakeStructArray(VkeExtCallbacks* t, int32_t ndims, const int32_t* dims) {
  EngineContext* ctx = TableContext(t);
  if (ndims > 16) return FailWith(t, kErrOutOfRangeArg);
  if (ErrCode e = StructListToArray(ctx)) return FailWith(t, e);
  if (ndims >= 1 && dims) return Succeed(t, ReshapeTopCellArray(ctx, ndims, dims));
  return 1;
}

// The template on top, beneath it the pairs, with odd n below an existing
// structure to update; the result takes the template's place.
int32_t ExtBuildStruct(VkeExtCallbacks* t, int32_t n) {
  EngineContext* ctx = TableContext(t);
  if (n < 2) return Succeed(t, Drop(ctx));
  const ErrCode start = n % 2 ? RollStackEntries(ctx, n + 1, 1) : DuplicateStackEntries(ctx, 0, 1);
  if (start) return FailWith(t, start);
  // Now: result at 0, template at 1, pairs from depth 2 (or 1 + (n odd)).
  const int32_t pairs = n / 2;
  const int32_t deepest = n % 2 ? n : n + 1;
  if (!IsStructValue(ctx, 0) || !IsStructValue(ctx, 1)) {
    Drop(ctx, 1);
    return FailWith(t, kErrWrongType);
  }
  for (int32_t p = 0; p < pairs; p++) {
    const int32_t nameDepth = deepest - 2 * p;
    char name[256];
    int32_t length;
    ErrCode e = GetStringArgToBuffer(ctx, nameDepth, name, sizeof name, &length);
    int32_t id = 0;
    if (!e) e = InternName(ctx, name, length, kMaxIdentifierLength, &id);
    StructuredParts model;
    if (!e) {
      DecodeStructuredData(*DescAt(ctx, 1), DataAt(ctx, 1), &model);
      uint8_t* item = model.first;
      bool known = false;
      for (int32_t k = 0; k < model.items && !known; k++, item += ItemBytes(item))
        known = reinterpret_cast<const ListItemHeader*>(item)->nameId == id;
      if (!known) e = kErrUnknownOpt;
    }
    if (!e) e = SetTopStructField(ctx, nameDepth - 1, id);
    if (e) {
      Drop(ctx);
      return FailWith(t, e);
    }
  }
  return Succeed(t, DropStackEntries(ctx, 1, 1));
}

}  // namespace vke
