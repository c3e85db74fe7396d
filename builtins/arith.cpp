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

namespace {

// + - * / and power of real doubles where an operand dies with the
// operation and holds as many elements as the result: its block takes the
// result, so that a .* b + c makes no temporary beyond the first and x .^ 2
// none. False when neither operand can, or when a power is complex.
bool ArithIntoDyingOperand(EngineContext* ctx, int32_t op, const Shape& shape,
                           const ElementwiseOperand* ops, ErrCode* e) {
  const ElementwiseOperand &a = ops[0], &b = ops[1];
  if (a.cls != OperandClass::kDouble || a.im || b.im || !IsFamilyOption(op, "+-*/^")) return false;
  auto into = [&](double* out) {
    if (op == '^') return RealPowerInto(shape.count, a, b, out);
    return RealArith<double>(op, shape.count, a.re, a.full, b.re, b.full, out);
  };
  if (a.full && IsOwnedRealMatrix(ctx, 1)) {
    if (!into(a.re)) return false;
    *e = Drop(ctx);
    return true;
  }
  if (b.full && IsOwnedRealMatrix(ctx, 0)) {
    if (!into(b.re)) return false;
    *e = DropStackEntries(ctx, 1, 1);
    return true;
  }
  return false;
}

}  // namespace

ErrCode ElementwiseArith(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  if (ScalarArith(ctx, option)) return kOk;
  if (!IsFamilyOption(option, "+-*/\\%o^r")) return kErrIllegal;
  Shape shape;
  ElementwiseOperand ops[2];
  ErrCode e = PairInCommonClass(ctx, &shape, ops);
  if (e) return e;
  if (ArithIntoDyingOperand(ctx, option, shape, ops, &e)) return e;
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
