// Structured values as the variable operations rearrange them: the layout of
// lists, cells, structures and structure arrays, growth by items or
// elements, new fields, element selection through element tables, and the
// subscripts of one element.
#include <cmath>

#include "engine/errors/errors.hpp"
#include "engine/frames/entry_items.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"
#include "engine/variables/variables_internal.hpp"

namespace vke {

const uint8_t* DimsWords(const uint8_t* item, int32_t* length) {
  const uint8_t* header = item + 16;
  *length = static_cast<int32_t>(HeaderDim(header, 0) * HeaderDim(header, 1));
  return header + 8ull * HeaderUnits(HeaderNdims(header));
}

namespace {

// Pushes an int32 array of the shape filled by fill(i).
template <typename Fill>
ErrCode PushIndexTable(EngineContext* ctx, const Shape& shape, Fill fill) {
  void* out;
  ErrCode e = PushNewTypedArray(ctx, shape.ndims, shape.dims, 4, false, &out);
  if (e) return e;
  auto* table = static_cast<int32_t*>(out);
  for (int32_t i = 0; i < shape.count; i++) table[i] = fill(i);
  return kOk;
}

// Unit offsets from the data of each element of the value at the depth.
ErrCode PushElementTable(EngineContext* ctx, int32_t depth, const StructuredLayout& l,
                         const Shape& shape) {
  const uint8_t* data = DataAt(ctx, depth);
  uint32_t at = l.first;
  return PushIndexTable(ctx, shape, [&](int32_t) {
    const int32_t offset = static_cast<int32_t>(at / 8);
    for (int32_t f = 0; f < l.span; f++) at += ItemBytes(data + at);
    return offset;
  });
}

}  // namespace

bool ReadStructuredLayout(const ValueDescriptor& d, const uint8_t* data, StructuredLayout* out,
                          bool walk) {
  if (!IsStructured(d)) return false;
  StructuredLayout& l = *out;
  l = StructuredLayout{};
  l.kind = d.word;
  const uint64_t bytes = 8ull * d.size;
  const bool dims = l.kind == kKindCell || l.kind == kKindStructArray;
  int64_t items = 0;
  if (walk || !dims)
    for (uint64_t at = 0; at + 16 <= bytes; at += ItemBytes(data + at)) items++;
  else if (bytes >= 16)
    items = INT64_MAX;  // the dimension item is trusted
  if (dims) {
    if (items == 0) {
      MakeEmptyShape(&l.shape);
      l.span = l.kind == kKindCell ? 1 : 0;
      return true;
    }
    int32_t length;
    const int32_t* words = reinterpret_cast<const int32_t*>(DimsWords(data, &length));
    if (length < 1 || length > kMaxDims + 1) return false;
    int32_t dims[kMaxDims + 1];
    std::memcpy(dims, words, 4ull * length);
    const int32_t nd = l.kind == kKindStructArray ? length - 1 : length;
    l.span = l.kind == kKindStructArray ? dims[length - 1] : 1;
    if (nd == 0) {
      MakeEmptyShape(&l.shape);
    } else if (!NormaliseShape(nd, dims, &l.shape)) {
      return false;
    }
    int64_t count;
    if (l.span < 0 || !ShapeCount(l.shape, &count) || count * l.span > items - 1) return false;
    l.shape.count = static_cast<int32_t>(count);
    l.elements = l.shape.count;
    l.first = ItemBytes(data);
    return true;
  }
  if (l.kind == kKindList || l.kind == kKindCommaList) {
    l.shape.dims[0] = items ? 1 : 0;
    l.shape.dims[1] = static_cast<int32_t>(items);
    l.shape.count = static_cast<int32_t>(items);
    l.elements = l.shape.count;
    return true;
  }
  // Structures and objects: one element whose items are its fields.
  l.shape.dims[0] = l.shape.dims[1] = l.shape.count = 1;
  l.elements = 1;
  l.span = static_cast<int32_t>(items);
  return true;
}

uint32_t ElementOffset(const uint8_t* data, const StructuredLayout& l, int64_t e) {
  uint32_t at = l.first;
  for (int64_t i = 0; i < e * l.span; i++) at += ItemBytes(data + at);
  return at;
}

ErrCode AppendItems(EngineContext* ctx, int32_t count, int32_t nameId) {
  const ValueDescriptor d = *DescAt(ctx, 0);
  const uint64_t units = d.size + 2ull * count;
  if (units > UINT32_MAX) return kErrObjTooLarge;
  uint8_t* out;
  ErrCode e = PushEntry(ctx, d.flags, static_cast<uint32_t>(units), d.word, false, &out);
  if (e) return e;
  std::memcpy(out, DataAt(ctx, 1), 8ull * d.size);
  for (int32_t i = 0; i < count; i++) {
    uint8_t* header = out + 8ull * (d.size + 2ull * i);
    std::memset(header, 0, 12);
    Store<int32_t>(header + 12, nameId);
  }
  return DropStackEntries(ctx, 1, 1);
}

ErrCode ResizeElements(EngineContext* ctx, const Shape& shape) {
  StructuredLayout l;
  if (!ReadStructuredLayout(*DescAt(ctx, 0), DataAt(ctx, 0), &l) ||
      (l.kind != kKindCell && l.kind != kKindStructArray))
    return kErrIllegal;
  // One empty element behind the others stands for every new element; its
  // fields are named as the first element's.
  const uint32_t oldUnits = DescAt(ctx, 0)->size;
  ErrCode e = AppendItems(ctx, l.span, 0);
  if (e) return e;
  uint8_t* data = DataAt(ctx, 0);
  for (int32_t f = 0; l.elements > 0 && f < l.span; f++) {
    const uint32_t from = ElementOffset(data, l, 0);
    const uint8_t* field = data + from;
    for (int32_t k = 0; k < f; k++) field += ItemBytes(field);
    Store<int32_t>(data + 8ull * (oldUnits + 2ull * f) + 12, Load<int32_t>(field + 12));
  }
  e = PushElementTable(ctx, 0, l, l.shape);
  if (e) return e;
  const auto* old = reinterpret_cast<const int32_t*>(ViewNumeric(ctx, 0).elements);
  e = PushIndexTable(ctx, shape, [&](int32_t p) {
    int32_t subs[kMaxDims];
    IndexToSubscripts(shape.ndims, shape.dims, p, subs);
    for (int32_t j = 0; j < shape.ndims; j++)
      if (subs[j] >= (j < l.shape.ndims ? l.shape.dims[j] : 1))
        return static_cast<int32_t>(oldUnits);
    return old[SubscriptsToIndex(l.shape.ndims, l.shape.dims, shape.ndims, subs)];
  });
  if (e) return e;
  const int32_t fields = l.kind == kKindCell ? -1 : l.span;
  e = BuildStructuredFromIndex(ctx, 2, shape.ndims, shape.dims, fields, false);
  return e ? e : DropStackEntries(ctx, 1, 3);
}

ErrCode StructToStructArray(EngineContext* ctx) {
  StructuredLayout l;
  const ValueDescriptor d = *DescAt(ctx, 0);
  if (!ReadStructuredLayout(d, DataAt(ctx, 0), &l)) return kErrIllegal;
  const int32_t words[3] = {1, 1, l.span};
  const uint32_t dimsUnits = DimsItemUnits(3);
  uint8_t* out;
  ErrCode e = PushEntry(ctx, kFlagStructured, d.size + dimsUnits, kKindStructArray, false, &out);
  if (e) return e;
  WriteDimsItem(out, words, 3);
  std::memcpy(out + 8ull * dimsUnits, DataAt(ctx, 1), 8ull * d.size);
  return DropStackEntries(ctx, 1, 1);
}

ErrCode AddFieldToElements(EngineContext* ctx, int32_t nameId) {
  StructuredLayout l;
  const ValueDescriptor d = *DescAt(ctx, 0);
  if (!ReadStructuredLayout(d, DataAt(ctx, 0), &l) || l.kind != kKindStructArray || d.size == 0)
    return kErrIllegal;
  uint8_t* out;
  ErrCode e =
      PushEntry(ctx, d.flags, d.size + 2u * static_cast<uint32_t>(l.elements), d.word, false, &out);
  if (e) return e;
  const uint8_t* in = DataAt(ctx, 1);
  std::memcpy(out, in, l.first);
  int32_t length;
  uint8_t* words = const_cast<uint8_t*>(DimsWords(out, &length));
  Store<int32_t>(words + 4ull * (length - 1), l.span + 1);
  uint32_t from = l.first, to = l.first;
  for (int32_t el = 0; el < l.elements; el++) {
    uint32_t bytes = 0;
    for (int32_t f = 0; f < l.span; f++) bytes += ItemBytes(in + from + bytes);
    std::memcpy(out + to, in + from, bytes);
    from += bytes;
    to += bytes;
    std::memset(out + to, 0, 12);
    Store<int32_t>(out + to + 12, nameId);
    to += 16;
  }
  return DropStackEntries(ctx, 1, 1);
}

void StripDimsItem(EngineContext* ctx, int32_t kind) {
  ValueDescriptor* d = DescAt(ctx, 0);
  uint8_t* data = DataAt(ctx, 0);
  if (d->size > 0) {
    const uint32_t bytes = ItemBytes(data);
    std::memmove(data, data + bytes, 8ull * d->size - bytes);
    d->size -= bytes / 8;
    ctx->dataTop -= bytes / 8;
  }
  d->word = kind;
}

ErrCode ReplaceByFirstElement(EngineContext* ctx) {
  StructuredLayout l;
  if (!ReadStructuredLayout(*DescAt(ctx, 0), DataAt(ctx, 0), &l) || l.elements < 1)
    return kErrIllegal;
  ErrCode e = PushItem(ctx, DataAt(ctx, 0) + l.first);
  return e ? e : DropStackEntries(ctx, 1, 1);
}

ErrCode SelectStructuredElements(EngineContext* ctx, const SubscriptList& subs, int32_t* selected) {
  const int32_t base = subs.top + subs.Entries();
  StructuredLayout l;
  if (!ReadStructuredLayout(*DescAt(ctx, base), DataAt(ctx, base), &l) ||
      l.kind == kKindCommaList || IsObjectKind(l.kind))
    return kErrWrongTypeOverload;
  ErrCode e = PushElementTable(ctx, base, l, l.shape);
  if (e) return e;
  SubscriptList s = subs;
  s.top++;
  e = IndexSelect(ctx, OperandOfEntry(ctx, 0), s);
  if (e) {
    Drop(ctx);
    return e;
  }
  const Shape r = ViewNumeric(ctx, 0).shape;
  *selected = r.count;
  const bool cells = l.kind == kKindList || l.kind == kKindCell;
  e = BuildStructuredFromIndex(ctx, base + 2, r.ndims, r.dims, cells ? -1 : l.span, false);
  if (e) {
    Drop(ctx, 2);
    return e;
  }
  e = DropStackEntries(ctx, 1, 2);
  if (e) return e;
  const ValueDescriptor* out = DescAt(ctx, 0);
  if (l.kind == kKindList && out->word == kKindCell) StripDimsItem(ctx, kKindList);
  if (!cells && r.count == 1 && out->word == kKindStructArray) StripDimsItem(ctx, kKindStruct);
  return kOk;
}

ErrCode ReadListIndices(EngineContext* ctx, const SubscriptList& subs, int32_t* values,
                        int32_t* bad) {
  *bad = -1;
  for (int32_t k = 0; k < subs.n; k++) {
    if (subs.IsColon(k)) return kErrBadListIndex;
    const int32_t depth = subs.DepthOf(k);
    const NumericView v = ViewNumeric(ctx, depth);
    double x;
    if (v.cls == ValueClass::kOther || v.complex || v.shape.count != 1 ||
        GetScalarArg(ctx, depth, &x) || x != std::floor(x))
      return kErrBadListIndex;
    if (x < 1 || x > INT32_MAX) {
      *bad = x > INT32_MAX ? INT32_MAX : x < INT32_MIN ? INT32_MIN : static_cast<int32_t>(x);
      return kErrIndexOutOfRange;
    }
    values[k] = static_cast<int32_t>(x);
  }
  return kOk;
}

ArrayClass AssignmentClass(const NumericView& x, const NumericView& y) {
  // Integers win, then single, an empty x among them too; another empty x
  // takes y's class; char and logical stay only among themselves; anything
  // else is double.
  const NumericView& from = x.cls == ValueClass::kInteger   ? x
                            : y.cls == ValueClass::kInteger ? y
                            : x.cls == ValueClass::kSingle  ? x
                            : y.cls == ValueClass::kSingle  ? y
                            : x.shape.count == 0            ? y
                            : x.cls == y.cls                ? x
                                                            : NumericView{};
  if (from.cls == ValueClass::kOther) return ArrayClass{};
  return ClassOfView(from);
}

}  // namespace vke
