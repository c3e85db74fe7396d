// ElementwiseArith: the builtins plus, minus, times, rdivide, ldivide, rem,
// mod, power and realpow. Two real double scalars are combined where the
// first lies; everything else is brought to the operands' common class,
// paired with scalar expansion and computed into a new value by the kernel
// of that class.
#include "builtins/arith.hpp"

#include <utility>

#include "builtins/builtin.hpp"
#include "builtins/elementwise.hpp"
#include "engine/errors.hpp"
#include "engine/values.hpp"

namespace vke {

namespace {

bool IsRealDoubleScalar(const ValueDescriptor& d) {
  return d.flags == 0 && d.size == 1 && d.word == 1;
}

}  // namespace

ErrCode ElementwiseArith(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  if (option != '^' && IsRealDoubleScalar(*DescAt(ctx, 0)) && IsRealDoubleScalar(*DescAt(ctx, 1))) {
    auto* first = reinterpret_cast<double*>(DataAt(ctx, 1));
    const double* second = first + 1;
    bool done = option == '\\' ? RealArith<double>('/', 1, second, false, first, false, first)
                               : RealArith<double>(option, 1, first, false, second, false, first);
    if (done) return Drop(ctx);
  }
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
