// The drivers the special-function natives share over double arrays.
#include "numerics/special/elementwise_special.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxSpecialOperands = 4;

ErrCode OverloadableType(ErrCode e) {
  return e == kErrWrongType ? kErrWrongTypeOverload : e;
}

}  // namespace

ErrCode ApplyUnarySpecial(EngineContext* ctx, double (*f)(double, uintptr_t), uintptr_t option) {
  Shape s;
  double* re;
  ErrCode e = GetDoubleArrayArg(ctx, 0, &s, &re, nullptr);
  if (e) return OverloadableType(e);
  for (int64_t i = 0; i < s.count; i++) re[i] = f(re[i], option);
  return MakeTopReal(ctx);
}

ErrCode GetDoubleOperands(EngineContext* ctx, int32_t n, Shape* shape, ElementwiseOperand* ops) {
  ErrCode e = GetElementwiseOperands(ctx, n, shape, ops);
  if (e) return OverloadableType(e);
  for (int32_t k = 0; k < n; k++)
    if (ops[k].cls != OperandClass::kDouble) return kErrWrongTypeOverload;
  return kOk;
}

ErrCode ApplySpecialKernel(EngineContext* ctx, int32_t n, SpecialKernel kernel, uintptr_t option) {
  Shape s;
  ElementwiseOperand ops[kMaxSpecialOperands];
  ErrCode e = GetDoubleOperands(ctx, n, &s, ops);
  if (e) return e;
  double* out;
  if ((e = PushNewArray(ctx, s.ndims, s.dims, &out, nullptr))) return e;
  // A push leaves the entries below it in place, so the operands stay valid.
  for (int64_t i = 0; i < s.count; i++) {
    double args[kMaxSpecialOperands];
    for (int32_t k = 0; k < n; k++) args[k] = RealElement(ops[k], i);
    if ((e = kernel(args, option, &out[i]))) {
      DropStackEntries(ctx, 0, 1);
      return e;
    }
  }
  return DropStackEntries(ctx, 1, n);
}

}  // namespace vke
