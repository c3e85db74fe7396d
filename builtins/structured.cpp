// Helpers of the list, cell and structure builtins: field-name arguments,
// item tables and copies, new structured values, and the struct2cell order
// of a structure array's field values.
#include "builtins/structured.hpp"

#include "builtins/builtin_helpers.hpp"
#include "engine/values/value_build.hpp"

namespace vke {

ErrCode ReadNameArg(EngineContext* ctx, int32_t depth, char* buffer, int32_t* length) {
  const uint16_t* chars;
  int32_t n;
  if (!ViewChars(ctx, depth, &chars, &n)) return kErrWrongTypeOverload;
  if (n == 0) return kErrNullName;
  if (n > kMaxIdentifierLength) return kErrNameTooLong;
  for (int32_t i = 0; i < n; i++) buffer[i] = static_cast<char>(chars[i]);
  buffer[n] = 0;
  *length = n;
  return kOk;
}

ErrCode InternNameArg(EngineContext* ctx, int32_t depth, int32_t* id) {
  char name[kNameBufferSize];
  int32_t length;
  ErrCode e = ReadNameArg(ctx, depth, name, &length);
  return e ? e : InternName(ctx, name, length, kMaxIdentifierLength, id);
}

uint32_t CopyItem(uint8_t* to, const uint8_t* item, int32_t nameId) {
  const uint32_t bytes = ItemBytes(item);
  std::memmove(to, item, bytes);
  Store<int32_t>(to + 12, nameId);
  return bytes;
}

uint32_t WriteItem(uint8_t* to, const ValueDescriptor& d, const uint8_t* data, int32_t nameId) {
  Store<ValueDescriptor>(to, d);
  Store<int32_t>(to + 12, nameId);
  std::memmove(to + 16, data, 8ull * d.size);
  return 16 + 8 * d.size;
}

ErrCode PushStructuredShell(EngineContext* ctx, int32_t kind, const int32_t* dimsWords,
                            int32_t dimsLength, uint64_t payloadBytes, uint8_t** items) {
  const uint64_t dimsBytes = dimsLength > 0 ? 8ull * DimsItemUnits(dimsLength) : 0;
  const uint64_t units = (dimsBytes + payloadBytes) / 8;
  if (units > UINT32_MAX) return kErrObjTooLarge;
  uint8_t* data;
  ErrCode e = PushEntry(ctx, kFlagStructured, static_cast<uint32_t>(units), kind, false, &data);
  if (e) return e;
  if (dimsLength > 0) WriteDimsItem(data, dimsWords, dimsLength);
  *items = data + dimsBytes;
  return kOk;
}

int32_t StructArrayDimsWords(const Shape& shape, int32_t fields, int32_t* words) {
  for (int32_t i = 0; i < shape.ndims; i++) words[i] = shape.dims[i];
  words[shape.ndims] = fields;
  return shape.ndims + 1;
}

const uint8_t* FindFieldItem(const uint8_t* first, int32_t count, int32_t nameId) {
  for (int32_t i = 0; i < count; i++, first += ItemBytes(first))
    if (ItemName(first) == nameId) return first;
  return nullptr;
}

}  // namespace vke
