// Structured values on the stacks: lists, structures, cell arrays and
// structure arrays built from entries, decoded, and taken apart.
#include "engine/builtin_hooks.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

uint32_t DimsItemUnits(int32_t len) {
  return 2 + 2 + (static_cast<uint32_t>(len) + 1) / 2;
}

uint32_t WriteDimsItem(uint8_t* p, const int32_t* words, int32_t len) {
  uint32_t units = DimsItemUnits(len);
  std::memset(p, 0, 8ull * units);
  Store<uint32_t>(p, kFlagTyped);
  Store<uint32_t>(p + 4, units - 2);
  Store<int32_t>(p + 8, kKindArray);
  Store<uint32_t>(p + 16, kCodeInt32);
  Store<uint32_t>(p + 20, 2);
  Store<uint32_t>(p + 24, 1);
  Store<uint32_t>(p + 28, static_cast<uint32_t>(len));
  for (int32_t i = 0; i < len; i++) Store<int32_t>(p + 32 + 4 * i, words[i]);
  return 8 * units;
}

namespace {

// Reads the int32 words of a dimension item.
int32_t ReadDimsItem(const uint8_t* item, int32_t* words, int32_t max) {
  const uint8_t* hdr = item + 16;
  int32_t len = static_cast<int32_t>(HeaderDim(hdr, 0) * HeaderDim(hdr, 1));
  if (len > max) len = max;
  const uint8_t* el = hdr + 8 * HeaderUnits(HeaderNdims(hdr));
  for (int32_t i = 0; i < len; i++) words[i] = Load<int32_t>(el + 4 * i);
  return len;
}

}  // namespace

// Pushes a copy of the value held by an item.
ErrCode PushItemValue(EngineContext* ctx, const uint8_t* item) {
  ValueDescriptor d = Load<ValueDescriptor>(item);
  uint8_t* data;
  ErrCode e = PushEntry(ctx, d.flags, d.size, d.word, false, &data);
  if (e) return e;
  std::memcpy(data, item + 16, 8ull * d.size);
  return kOk;
}

ErrCode PushListFromEntries(EngineContext* ctx, int32_t n, bool append, const char* name,
                            int32_t nameLength) {
  int32_t nameId = 0;
  if (name) {
    if (nameLength < 0) nameLength = static_cast<int32_t>(std::strlen(name));
    ErrCode e = InternName(ctx, name, nameLength, kMaxIdentifierLength, &nameId);
    if (e) return e;
  }
  int32_t kind = name ? kKindStruct : kKindList;
  if (append) {
    if (3u * uint32_t(n + 1) > ctx->descTop || !IsStructured(*DescAt(ctx, n))) return kErrBadArg;
    if (n == 0) return kOk;
  } else if (n == 0) {
    return PushEntry(ctx, kFlagStructured, 0, kind, false, nullptr);
  }
  if (3u * uint32_t(n) > ctx->descTop) return kErrIllegal;
  if (uint64_t{ctx->dataTop} + 2ull * n > ctx->dataCap || RoomRefused(StackRoom(ctx)))
    return kErrDataOverflow;
  uint32_t start = DataIndexAt(ctx, n - 1);
  uint32_t total = ctx->dataTop - start;
  uint8_t* base = ctx->DataBytes();
  // From the top entry down, each entry's data moves up behind a new header.
  uint32_t end = ctx->dataTop + 2 * n;  // new end of the items
  uint32_t oldEnd = ctx->dataTop;
  for (int32_t d = 0; d < n; d++) {
    const ValueDescriptor desc = *DescAt(ctx, d);
    uint32_t oldStart = oldEnd - desc.size;
    uint32_t newStart = end - desc.size;
    std::memmove(base + 8ull * newStart, base + 8ull * oldStart, 8ull * desc.size);
    uint8_t* hdr = base + 8ull * (newStart - 2);
    Store<ValueDescriptor>(hdr, desc);
    Store<int32_t>(hdr + 12, nameId);
    end = newStart - 2;
    oldEnd = oldStart;
  }
  ctx->descTop -= 3 * n;
  ctx->dataTop += 2 * n;
  uint32_t added = total + 2 * n;
  if (append) {
    DescAt(ctx, 0)->size += added;
    return kOk;
  }
  uint32_t* w = ctx->DescWords() + ctx->descTop;
  w[0] = kFlagStructured;
  w[1] = added;
  w[2] = static_cast<uint32_t>(kind);
  ctx->descTop += 3;
  return kOk;
}

ErrCode GetStructuredValue(EngineContext* ctx, int32_t depth, int32_t* count, uint8_t** data) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (!IsStructured(*d)) return kErrWrongType;
  uint8_t* p = DataAt(ctx, depth);
  int32_t items = 0;
  for (uint32_t off = 0; off < 8ull * d->size; off += ItemBytes(p + off)) items++;
  if (count) *count = items;
  if (data) *data = p;
  return kOk;
}

void DecodeStructuredData(const ValueDescriptor& d, uint8_t* data, StructuredParts* parts) {
  const int32_t kind = d.word;
  int32_t items = 0;
  for (uint32_t off = 0; off < 8ull * d.size; off += ItemBytes(data + off)) items++;
  *parts = StructuredParts{};
  parts->kind = kind;
  parts->items = items;
  parts->first = data;
  Shape& s = parts->shape;
  s.ndims = 2;
  if (kind == kKindCell || kind == kKindStructArray) {
    int32_t words[kMaxDims + 1];
    int32_t len = items > 0 ? ReadDimsItem(data, words, kMaxDims + 1) : 0;
    parts->first = data + (items > 0 ? ItemBytes(data) : 0);
    int32_t nd = kind == kKindStructArray ? len - 1 : len;
    if (nd < 2) {
      s.dims[0] = nd == 1 ? words[0] : 0;
      s.dims[1] = nd == 1 ? 1 : 0;
    } else {
      s.ndims = nd;
      for (int32_t i = 0; i < nd; i++) s.dims[i] = words[i];
    }
    int64_t count = 1;
    for (int32_t i = 0; i < s.ndims; i++) count *= s.dims[i];
    s.count = static_cast<int32_t>(count);
    parts->elements = s.count;
    if (kind == kKindStructArray) parts->fields = len > 0 ? words[len - 1] : 0;
  } else if (kind == kKindList) {
    s.dims[0] = items ? 1 : 0;
    s.dims[1] = items;
    s.count = items;
    parts->elements = items;
  } else {
    // Structures and objects: one element whose items are its fields.
    s.dims[0] = s.dims[1] = 1;
    s.count = 1;
    parts->elements = 1;
    parts->fields = items;
  }
}

ErrCode GetStructuredValueOfKind(EngineContext* ctx, int32_t depth, char letter,
                                 StructuredParts* parts) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (!IsStructured(*d)) return kErrWrongType;
  int32_t kind = d->word;
  if (letter == 'c' && kind != kKindList && kind != kKindCell) return kErrWrongType;
  if (letter == 's' && kind != kKindStruct && kind != kKindStructArray) return kErrWrongType;
  DecodeStructuredData(*d, DataAt(ctx, depth), parts);
  return kOk;
}

ErrCode GetListPartsRaw(EngineContext* ctx, int32_t depth, char letter, StructuredParts* parts) {
  return GetStructuredValueOfKind(ctx, depth, letter, parts);
}

ErrCode GetListParts(EngineContext* ctx, int32_t depth, StructuredParts* parts) {
  return GetStructuredValueOfKind(ctx, depth, 'c', parts);
}

ErrCode PushListItems(EngineContext* ctx, int32_t* count) {
  StructuredParts parts;
  if (ErrCode e = GetListParts(ctx, 0, &parts)) return e;
  // The list's data stays where it lies while its items are pushed.
  const uint8_t* item = parts.first;
  for (int32_t i = 0; i < parts.elements; i++, item += ItemBytes(item)) {
    if (ErrCode e = PushItemValue(ctx, item)) {
      Drop(ctx, i);
      return e;
    }
  }
  *count = parts.elements;
  return DropStackEntries(ctx, parts.elements, 1);
}

ErrCode PushNewCellArray(EngineContext* ctx, int32_t ndims, const int32_t* dims) {
  Shape s;
  if (ndims == 1) {
    int32_t sq[2] = {dims[0], dims[0]};
    if (!NormaliseShape(2, sq, &s)) return kErrObjTooLarge;
  } else if (!NormaliseShape(ndims, dims, &s)) {
    return kErrObjTooLarge;
  }
  int64_t count;
  if (!ShapeCount(s, &count)) return kErrObjTooLarge;
  uint64_t units = DimsItemUnits(s.ndims) + 2ull * count;
  if (units > UINT32_MAX) return kErrObjTooLarge;
  uint8_t* data;
  ErrCode e = PushEntry(ctx, kFlagStructured, static_cast<uint32_t>(units), kKindCell, true, &data);
  if (e) return e;
  uint32_t off = WriteDimsItem(data, s.dims, s.ndims);
  std::memset(data + off, 0, 16ull * count);
  return kOk;
}

bool IsListValue(EngineContext* ctx, int32_t depth) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  return IsStructured(*d) && (d->word == kKindList || d->word == kKindCell);
}

bool IsStructValue(EngineContext* ctx, int32_t depth) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  return IsStructured(*d) && d->word == kKindStruct;
}

bool IsObjectValue(EngineContext* ctx, int32_t depth) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  return IsStructured(*d) && IsObjectKind(d->word);
}

ErrCode GetListElement(EngineContext* ctx, int32_t depth, int32_t index) {
  StructuredParts parts;
  ErrCode e = GetStructuredValueOfKind(ctx, depth, '?', &parts);
  if (e) return e;
  if (parts.kind != kKindList && parts.kind != kKindCell && parts.kind != kKindStructArray)
    return kErrWrongType;
  if (index < 1 || index > parts.elements) return kErrIndexOutOfRange;
  const uint8_t* item = parts.first;
  if (parts.kind != kKindStructArray) {
    for (int32_t i = 1; i < index; i++) item += ItemBytes(item);
    return PushItemValue(ctx, item);
  }
  for (int64_t i = 0; i < int64_t(index - 1) * parts.fields; i++) item += ItemBytes(item);
  const uint8_t* first = item;
  uint32_t bytes = 0;
  for (int32_t f = 0; f < parts.fields; f++) {
    bytes += ItemBytes(item);
    item += ItemBytes(item);
  }
  uint8_t* data;
  uint32_t offset = static_cast<uint32_t>(first - ctx->DataBytes());
  e = PushEntry(ctx, kFlagStructured, bytes / 8, kKindStruct, false, &data);
  if (e) return e;
  std::memcpy(data, ctx->DataBytes() + offset, bytes);
  return kOk;
}

ErrCode GetStructField(EngineContext* ctx, int32_t depth, const char* name, int32_t length) {
  if (!IsStructValue(ctx, depth)) return kErrWrongType;
  if (length < 0) length = static_cast<int32_t>(std::strlen(name));
  int32_t id = FindName(ctx, name, length);
  if (!id) return kErrUndefField;
  uint8_t* data;
  int32_t items;
  GetStructuredValue(ctx, depth, &items, &data);
  for (int32_t i = 0; i < items; i++, data += ItemBytes(data))
    if (Load<int32_t>(data + 12) == id) return PushItemValue(ctx, data);
  return kErrUndefField;
}

ErrCode GetStructFields(EngineContext* ctx, int32_t* count, int32_t depth) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (!IsStructured(*d) || (d->word != kKindList && d->word != kKindStruct && d->word != kKindCell))
    return kErrWrongType;
  StructuredParts parts;
  GetStructuredValueOfKind(ctx, depth, '?', &parts);
  int32_t n = d->word == kKindCell ? parts.elements : parts.items;
  if (uint64_t{ctx->descTop} + 3ull * n >= ctx->descCap) return kErrStackOverflow;
  uint32_t offset = static_cast<uint32_t>(parts.first - ctx->DataBytes());
  uint32_t saveDesc = ctx->descTop, saveData = ctx->dataTop;
  for (int32_t i = 0; i < n; i++) {
    const uint8_t* item = ctx->DataBytes() + offset;
    ErrCode e = PushItemValue(ctx, item);
    if (e) {
      ctx->descTop = saveDesc;
      ctx->dataTop = saveData;
      return e;
    }
    offset += ItemBytes(ctx->DataBytes() + offset);
  }
  if (count) *count = n;
  return kOk;
}

ErrCode GetStructFieldName(EngineContext* ctx, int32_t depth, int32_t index, const char** name,
                           int32_t* length) {
  StructuredParts parts;
  ErrCode e = GetStructuredValueOfKind(ctx, depth, '?', &parts);
  if (e) return e;
  if (parts.kind == kKindList || parts.kind == kKindCell) return kErrWrongType;
  if (index < 1 || index > parts.fields || (parts.kind == kKindStructArray && parts.elements == 0))
    return kErrIndexOutOfRange;
  const uint8_t* item = parts.first;
  for (int32_t i = 1; i < index; i++) item += ItemBytes(item);
  int32_t len;
  const char* text = NameText(ctx, Load<int32_t>(item + 12), &len);
  if (!text) return kErrIndexOutOfRange;
  *name = text;
  if (length) *length = len;
  return kOk;
}

ErrCode StructListToArray(EngineContext* ctx) {
  StructuredParts parts;
  ErrCode e = GetStructuredValueOfKind(ctx, 0, 'c', &parts);
  if (e) return e;
  if (parts.elements == 0)
    return PushInPlaceOfTop(
        ctx, 1, [&] { return PushEntry(ctx, kFlagStructured, 0, kKindStruct, false, nullptr); });
  const uint8_t* item = parts.first;
  for (int32_t i = 0; i < parts.elements; i++, item += ItemBytes(item)) {
    ValueDescriptor d = Load<ValueDescriptor>(item);
    if (!IsStructured(d) || d.word != kKindStruct) return kErrWrongType;
  }
  // The elements side by side, then in the cell array's shape.
  if (!ctx->builtinHooks || !ctx->builtinHooks->concatenateStructures) return kErrNotSupported;
  int32_t count;
  e = GetStructFields(ctx, &count);
  if (!e) e = ctx->builtinHooks->concatenateStructures(ctx, count, 1);
  if (!e && parts.kind == kKindCell)
    e = ReshapeTopCellArray(ctx, parts.shape.ndims, parts.shape.dims);
  if (e) return e;
  return DropStackEntries(ctx, 1, 1);
}

ErrCode ReshapeTopCellArray(EngineContext* ctx, int32_t ndims, const int32_t* dims) {
  if (ndims > 16) return kErrOutOfRangeArg;
  StructuredParts parts;
  ErrCode e = GetStructuredValueOfKind(ctx, 0, '?', &parts);
  if (e) return e;
  if (parts.kind != kKindCell && parts.kind != kKindStructArray) return kErrWrongType;
  Shape s;
  if (!NormaliseShape(ndims, dims, &s)) return kErrOutOfRangeArg;
  int64_t count;
  if (!ShapeCount(s, &count) || count != parts.elements) return kErrBadSize;
  // A structure array's dimension item ends with its field count.
  const int32_t words = s.ndims + (parts.kind == kKindStructArray);
  s.dims[s.ndims] = parts.fields;
  uint8_t* data = DataAt(ctx, 0);
  uint32_t oldBytes = ItemBytes(data);
  uint32_t newBytes = 8 * DimsItemUnits(words);
  uint32_t rest = 8 * DescAt(ctx, 0)->size - oldBytes;
  if (newBytes > oldBytes && uint64_t{ctx->dataTop} + (newBytes - oldBytes) / 8 > ctx->dataCap)
    return kErrDataOverflow;
  std::memmove(data + newBytes, data + oldBytes, rest);
  WriteDimsItem(data, s.dims, words);
  ValueDescriptor* d = DescAt(ctx, 0);
  ctx->dataTop = ctx->dataTop - d->size + (newBytes + rest) / 8;
  d->size = (newBytes + rest) / 8;
  return kOk;
}

ErrCode ReshapeTopValue(EngineContext* ctx, int32_t ndims, const int32_t* dims) {
  const ValueDescriptor* d = DescAt(ctx, 0);
  if (IsStructured(*d)) {
    if (d->word != kKindCell) return kErrWrongType;
    if (!dims) return kOk;
    return ReshapeTopCellArray(ctx, ndims, dims);
  }
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls == ValueClass::kOther) return kErrWrongType;
  Shape s;
  if (!dims) {
    int32_t first = v.shape.dims[0];
    int32_t flat[2] = {first, first ? v.shape.count / first : 0};
    NormaliseShape(2, flat, &s);
  } else if (!NormaliseShape(ndims, dims, &s)) {
    return kErrBadSize;
  }
  int64_t count;
  if (!ShapeCount(s, &count) || count != v.shape.count) return kErrBadSize;
  if (count == 0) MakeEmptyShape(&s);
  if (IsPlain(*d) && s.ndims == 2) {
    DescAt(ctx, 0)->word = s.dims[1];
    return kOk;
  }
  // Rebuild with the new header; the elements keep their order.
  int es = ElementBytesOfCode(v.code);
  uint64_t payload = uint64_t(count) * es * (v.complex ? 2 : 1);
  uint32_t srcOffset = static_cast<uint32_t>(v.elements - ctx->DataBytes());
  if (v.cls == ValueClass::kDouble && s.ndims == 2) {
    double *re, *im = nullptr;
    ErrCode e = PushNewMatrix(ctx, s.dims[0], s.dims[1], &re, v.complex ? &im : nullptr);
    if (e) return e;
    std::memcpy(re, ctx->DataBytes() + srcOffset, payload);
    return DropStackEntries(ctx, 1, 1);
  }
  uint64_t units = TypedArrayUnits(s.ndims, payload);
  // A plain matrix's word is its column count, not a kind.
  const int32_t kind = IsPlain(*d) ? kKindArray : d->word;
  uint8_t* out;
  ErrCode e = PushEntry(ctx, kFlagTyped, static_cast<uint32_t>(units), kind, false, &out);
  if (e) return e;
  uint8_t* el = WriteTypedHeader(out, v.code, s.ndims, s.dims);
  std::memset(el, 0, 8 * (units - HeaderUnits(s.ndims)));
  std::memcpy(el, ctx->DataBytes() + srcOffset, payload);
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
