// ElementwiseArith: the builtins plus, minus, times, rdivide, ldivide, rem,
// mod, power and realpow. Two real double scalars are combined where the
// first lies; everything else is brought to the operands' common class,
// paired with scalar expansion and computed into a new value by the kernel
// of that class.
#include "builtins/arith.hpp"

#include <utility>

#include "builtins/builtin.hpp"
#include "builtins/elementwise.hpp"
#include "engine/errors/errors.hpp"
#include "engine/loop/scalar_operators.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode ElementwiseArith(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  if (ScalarArith(ctx, option)) return kOk;
  if (!IsFamilyOption(option, "+-*/\\%o^r")) return kErrIllegal;
  Shape shape;
  ElementwiseOperand ops[2];
  ErrCode e = PairInCommonClass(ctx, &shape, ops);
  if (e) return e;
  if (option == '\\') {
    std::swap(ops[0], ops[1]);
    option = '/';
  }
  if (option == 'r') {
    for (ElementwiseOperand& op : ops) op.im = nullptr, op.sim = nullptr;
  }
  switch (ops[0].cls) {
    case OperandClass::kDouble:
      e = FloatArith<double>(ctx, option, shape, ops);
      break;
    case OperandClass::kSingle:
      e = FloatArith<float>(ctx, option, shape, ops);
      break;
    default:
      e = IntegerArith(ctx, option, shape, ops);
      break;
  }
  if (e) return e;
  return DropStackEntries(ctx, 1, 2);
}

}  // namespace vke
