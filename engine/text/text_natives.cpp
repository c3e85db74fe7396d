// The natives utf8encode and utf8decode: char arrays to UTF-8 bytes and back.
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/text/text.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

ErrCode Utf8EncodeNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls != ValueClass::kChar) return kErrWrongTypeOverload;
  int64_t bytes = 0;
  for (int32_t i = 0; i < v.shape.count; i++)
    bytes += Utf8Length(Load<uint16_t>(v.elements + 2 * i));
  if (bytes > kMaxTypedElements) return kErrObjTooLarge;
  // A 1 x n row, also for no bytes (1 x 0).
  Shape row;
  row.dims[0] = 1;
  row.dims[1] = static_cast<int32_t>(bytes);
  uint32_t at;
  ErrCode e = PushArrayWithShape(ctx, {kKindArray, kCodeUInt8}, false, row, &at);
  if (e) return e;
  v = ViewNumeric(ctx, 1);
  uint8_t* out = ctx->Bytes() + at;
  for (int32_t i = 0; i < v.shape.count; i++)
    out += EncodeUtf8Char(Load<uint16_t>(v.elements + 2 * i), out);
  return ReplaceEntryWithTop(ctx, 0);
}

ErrCode Utf8DecodeNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  NumericView v = ViewNumeric(ctx, 0);
  bool oneByte = v.cls == ValueClass::kLogical ||
                 (v.cls == ValueClass::kInteger && (v.code == kCodeInt8 || v.code == kCodeUInt8));
  if (!oneByte) return kErrWrongTypeOverload;
  ErrCode e = PushUtf8String(ctx, v.shape.count, reinterpret_cast<const char*>(v.elements));
  if (e) return e;
  return ReplaceEntryWithTop(ctx, 0);
}

}  // namespace vke
