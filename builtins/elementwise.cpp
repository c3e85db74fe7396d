// Pairing the two operands of a binary element-wise builtin.
#include "builtins/elementwise.hpp"

#include "builtins/builtin.hpp"

namespace vke {

ErrCode PairInCommonClass(EngineContext* ctx, Shape* shape, ElementwiseOperand* ops) {
  ErrCode e = ConvertArgsToCommonType(ctx, 2);
  if (e) return AllowOverload(e);
  return AllowOverload(GetElementwiseOperands(ctx, 2, shape, ops));
}

}  // namespace vke
