// Byte strings read from char, logical and integer arrays.
#include "builtins/value_bytes.hpp"

#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode GetValueBytes(EngineContext* ctx, int32_t depth, const uint8_t** bytes, int32_t* count) {
  const NumericView v = ViewNumeric(ctx, depth);
  if (v.cls == ValueClass::kChar) {
    const char* text;
    GetStringArg(ctx, depth, &text, count);
    *bytes = reinterpret_cast<const uint8_t*>(text);
    return kOk;
  }
  if (v.cls != ValueClass::kLogical && v.cls != ValueClass::kInteger) return kErrWrongTypeOverload;
  *bytes = v.elements;
  *count = v.shape.count;
  return kOk;
}

}  // namespace vke
