// Pairing the two operands of a binary element-wise builtin.
#include "builtins/elementwise.hpp"

#include "builtins/builtin.hpp"

namespace vke {

ErrCode PairInCommonClass(EngineContext* ctx, Shape* shape, ElementwiseOperand* ops) {
  ErrCode e = ConvertArgsToCommonType(ctx, 2);
  if (e) return AllowOverload(e);
  return AllowOverload(GetElementwiseOperands(ctx, 2, shape, ops));
}

ErrCode PushElementwiseResult(EngineContext* ctx, ArrayClass cls, bool complex, const Shape& shape,
                              void** out) {
  uint32_t at;
  int32_t count;
  // Every element is written by the caller (an integer array comes zeroed).
  if (ErrCode e = PushArrayOfClass(ctx, cls, complex, shape, &at, &count, false)) return e;
  *out = ctx->Bytes() + at;
  return kOk;
}

}  // namespace vke
