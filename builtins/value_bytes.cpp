// Byte strings read from char, logical and integer arrays.
#include "builtins/value_bytes.hpp"

#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode GetValueBytes(EngineContext* ctx, int32_t depth, DataScratch* scratch,
                      const uint8_t** bytes, int32_t* count) {
  const NumericView v = ViewNumeric(ctx, depth);
  if (v.cls == ValueClass::kChar) {
    const int32_t n = v.shape.count;
    uint32_t at;
    if (ErrCode e = scratch->Reserve(n, &at)) return e;
    uint8_t* out = ctx->Bytes() + at;
    for (int32_t i = 0; i < n; i++) out[i] = v.elements[2 * i];
    *bytes = out;
    *count = n;
    return kOk;
  }
  if (v.cls != ValueClass::kLogical && v.cls != ValueClass::kInteger) return kErrWrongTypeOverload;
  *bytes = v.elements;
  *count = v.shape.count;
  return kOk;
}

}  // namespace vke
