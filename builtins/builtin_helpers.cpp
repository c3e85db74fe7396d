// Small pieces shared by the builtins of the class, string, list and
// structure families.
#include "builtins/builtin_helpers.hpp"

#include "engine/values/value_build.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode ReplaceInputsWithLogical(EngineContext* ctx, int32_t n, bool value) {
  ErrCode e = Drop(ctx, n);
  return e ? e : PushLogicalScalar(ctx, value ? 1 : 0);
}

ErrCode ReplaceInputsWithNothing(EngineContext* ctx, int32_t n, int32_t nargout) {
  ErrCode e = Drop(ctx, n);
  return e || nargout >= 0 ? e : PushNoValue(ctx);
}

ErrCode DropInputsUnderResult(EngineContext* ctx, int32_t n) {
  return DropStackEntries(ctx, 1, n);
}

ErrCode ConvertToClass(EngineContext* ctx, int32_t depth, ArrayClass cls) {
  if (cls.kind == kKindLogical) return ConvertToLogical(ctx, depth);
  if (cls.code == kCodeDouble || cls.code == kCodeSingle)
    return ConvertToFloat(ctx, depth, cls.code == kCodeSingle);
  ErrCode e = ConvertToInteger(ctx, depth, ElementBytesOfCode(cls.code),
                               (cls.code & kCodeUnsigned) != 0, false);
  if (!e) DescAt(ctx, depth)->word = cls.kind;
  return e;
}

bool ViewChars(EngineContext* ctx, int32_t depth, const uint16_t** chars, int32_t* length) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kChar) return false;
  *chars = reinterpret_cast<const uint16_t*>(v.elements);
  *length = v.shape.count;
  return true;
}

ErrCode ShrinkTopCharRow(EngineContext* ctx, int32_t first, int32_t n) {
  ValueDescriptor* d = DescAt(ctx, 0);
  if (!IsTypedKind(*d, kKindChar) || IsStructured(*d)) return kErrWrongType;
  uint8_t* data = DataAt(ctx, 0);
  const uint8_t* from = HeaderElements(data) + 2ull * first;
  const int32_t dims[2] = {n > 0 ? 1 : 0, n};
  uint8_t* to = data + 8 * HeaderUnits(2);
  std::memmove(to, from, 2ull * n);
  const auto units = static_cast<uint32_t>(TypedArrayUnits(2, 2ull * n));
  std::memset(to + 2ull * n, 0, 8ull * units - 8 * HeaderUnits(2) - 2ull * n);
  WriteTypedHeader(data, kCodeUInt16, 2, dims);
  ctx->dataTop -= d->size - units;
  d->size = units;
  return kOk;
}

}  // namespace vke
