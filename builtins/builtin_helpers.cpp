// Small pieces shared by the builtins of the class, string, list and
// structure families.
#include "builtins/builtin_helpers.hpp"

#include "engine/values/value_build.hpp"
#include "engine/values/values.hpp"

namespace vke {

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

}  // namespace vke
