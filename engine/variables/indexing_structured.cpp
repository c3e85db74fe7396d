// Element tables of lists, cell arrays and structure arrays: the offsets of
// their elements, and new cell or structure arrays built from a rearranged
// table.
#include "engine/errors/errors.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

ErrCode IndexStructuredElements(EngineContext* ctx, int32_t depth, int32_t n, bool absolute) {
  StructuredParts parts;
  ErrCode e = GetStructuredValueOfKind(ctx, depth, '?', &parts);
  if (e) return e;
  if (parts.kind != kKindList && parts.kind != kKindCell && parts.kind != kKindStructArray)
    return kErrWrongType;
  if (n < 0 || n > parts.elements) return kErrBadSize;
  int32_t span = parts.kind == kKindStructArray ? parts.fields : 1;
  uint8_t* base = absolute ? ctx->DataBytes() : DataAt(ctx, depth);
  uint32_t baseAt = static_cast<uint32_t>(base - ctx->Bytes());
  uint32_t itemAt = static_cast<uint32_t>(parts.first - ctx->Bytes());
  const int32_t dims[2] = {1, n};
  void* out;
  e = PushNewTypedArray(ctx, 2, dims, 4, false, &out);
  if (e) return e;
  auto* table = static_cast<int32_t*>(out);
  for (int32_t i = 0; i < n; i++) {
    table[i] = static_cast<int32_t>((itemAt - baseAt) / 8);
    for (int32_t f = 0; f < span; f++) itemAt += ItemBytes(ctx->Bytes() + itemAt);
  }
  return kOk;
}

namespace {

// Bytes of the span items starting at the unit offset from the base, when
// they lie inside the value's data (from begin, size bytes); 0 otherwise.
uint64_t ElementBytes(const uint8_t* base, int32_t offset, int32_t span, const uint8_t* begin,
                      uint64_t size) {
  if (offset < 0) return 0;
  // Work with distances from begin: offsets may point anywhere.
  int64_t at = (base - begin) + 8ll * offset, first = at;
  for (int32_t f = 0; f < span; f++) {
    if (at < 0 || uint64_t(at) + 16 > size) return 0;
    uint64_t bytes = ItemBytes(begin + at);
    if (uint64_t(at) + bytes > size) return 0;
    at += static_cast<int64_t>(bytes);
  }
  return static_cast<uint64_t>(at - first);
}

}  // namespace

ErrCode BuildStructuredFromIndex(EngineContext* ctx, int32_t depth, int32_t ndims,
                                 const int32_t* dims, int32_t fields, bool absolute) {
  NumericView table = ViewNumeric(ctx, 0);
  if (table.cls != ValueClass::kInteger || table.code != kCodeInt32) return kErrWrongType;
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (depth < 1 || !IsStructured(*d)) return kErrWrongType;
  Shape s;
  int64_t count;
  if (ndims > kMaxSubscripts || !NormaliseShape(ndims, dims, &s)) return kErrOutOfRangeArg;
  if (!ShapeCount(s, &count) || count != table.shape.count) return kErrBadSize;
  bool cell = fields < 0;
  if (count == 0)
    return PushEntry(ctx, kFlagStructured, 0, cell ? kKindList : kKindStruct, false, nullptr);
  int32_t span = cell ? 1 : fields;
  uint8_t* begin = DataAt(ctx, depth);
  uint64_t size = 8ull * d->size;
  uint8_t* base = absolute ? ctx->DataBytes() : begin;
  uint64_t payload = 0;
  for (int64_t i = 0; i < count; i++) {
    int32_t offset = Load<int32_t>(table.elements + 4 * i);
    uint64_t bytes = ElementBytes(base, offset, span, begin, size);
    if (bytes == 0 && span > 0) return kErrIllegal;
    payload += bytes;
  }
  int32_t words[kMaxSubscripts + 1];
  for (int32_t k = 0; k < s.ndims; k++) words[k] = s.dims[k];
  int32_t len = s.ndims;
  if (!cell) words[len++] = fields;
  uint64_t units = DimsItemUnits(len) + payload / 8;
  if (units > UINT32_MAX) return kErrObjTooLarge;
  uint32_t baseAt = static_cast<uint32_t>(base - ctx->Bytes());
  uint32_t tableAt = static_cast<uint32_t>(table.elements - ctx->Bytes());
  uint8_t* out;
  ErrCode e = PushEntry(ctx, kFlagStructured, static_cast<uint32_t>(units),
                        cell ? kKindCell : kKindStructArray, false, &out);
  if (e) return e;
  out += WriteDimsItem(out, words, len);
  for (int64_t i = 0; i < count; i++) {
    int32_t offset = Load<int32_t>(ctx->Bytes() + tableAt + 4 * i);
    const uint8_t* src = ctx->Bytes() + baseAt + 8ull * static_cast<uint32_t>(offset);
    uint64_t bytes = 0;
    for (int32_t f = 0; f < span; f++) bytes += ItemBytes(src + bytes);
    std::memcpy(out, src, bytes);
    out += bytes;
  }
  return kOk;
}

}  // namespace vke
