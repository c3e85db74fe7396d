// Element-wise arithmetic of the integer classes: results wrap around at the
// width of the class, division truncates toward zero and never traps.
#include "builtins/arith.hpp"
#include "builtins/elementwise.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

namespace {

// Truncated quotient; a zero divisor gives 0 and the signed minimum divided
// by -1 wraps to itself.
template <typename T>
T Quotient(T p, T q) {
  if (q == 0) return 0;
  if constexpr (std::is_signed_v<T>) {
    if (q == -1) return static_cast<T>(WrapType<T>(0) - WrapType<T>(p));
  }
  return static_cast<T>(p / q);
}

// Remainder of the truncated division (the sign of the dividend); a zero
// divisor gives 0.
template <typename T>
T Remainder(T p, T q) {
  if (q == 0) return 0;
  if constexpr (std::is_signed_v<T>) {
    if (q == -1) return 0;
  }
  return static_cast<T>(p % q);
}

// Modulus (the sign of the divisor); a zero divisor gives the dividend.
template <typename T>
T Modulus(T p, T q) {
  if (q == 0) return p;
  T r = Remainder(p, q);
  if constexpr (std::is_signed_v<T>) {
    // r and q differ in sign here, so r + q cannot overflow.
    if (r != 0 && (r < 0) != (q < 0)) r = static_cast<T>(r + q);
  }
  return r;
}

template <typename T>
void IntegerKernel(int32_t op, int64_t n, const ElementwiseOperand& a, const ElementwiseOperand& b,
                   T* out) {
  using W = WrapType<T>;
  auto map = [&](auto f) {
    MapPairs(n, RealPartOf<T>(a), a.full, RealPartOf<T>(b), b.full, out, f);
  };
  switch (op) {
    case '+':
      map([](T p, T q) { return static_cast<T>(W(p) + W(q)); });
      break;
    case '-':
      map([](T p, T q) { return static_cast<T>(W(p) - W(q)); });
      break;
    case '*':
      map([](T p, T q) { return static_cast<T>(W(p) * W(q)); });
      break;
    case '/':
      map(Quotient<T>);
      break;
    case '%':
      map(Remainder<T>);
      break;
    default:  // 'o'
      map(Modulus<T>);
      break;
  }
}

}  // namespace

ErrCode IntegerArith(EngineContext* ctx, int32_t op, const Shape& shape,
                     const ElementwiseOperand* ops) {
  if (op == '^' || op == 'r') return kErrBadArg;
  const ElementwiseOperand &a = ops[0], &b = ops[1];
  void* out;
  const uint32_t code = static_cast<uint32_t>(a.elementBytes) | (a.isUnsigned ? kCodeUnsigned : 0);
  ErrCode e = PushElementwiseResult(ctx, {kKindArray, code}, false, shape, &out);
  if (e) return e;
  VisitIntegerClass(a.elementBytes, a.isUnsigned, [&](auto type) {
    using T = decltype(type);
    IntegerKernel<T>(op, shape.count, a, b, static_cast<T*>(out));
  });
  return kOk;
}

}  // namespace vke
