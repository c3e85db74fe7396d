// The unary builtins uminus and conj, which change the value on top in
// place for every numeric class.
#include "builtins/builtin.hpp"
#include "builtins/elementwise.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// Integer elements wrap around: 0 - x at their width.
template <typename T>
void Negate(uint8_t* elements, int64_t n) {
  auto* p = reinterpret_cast<T*>(elements);
  for (int64_t i = 0; i < n; i++) {
    if constexpr (std::is_integral_v<T>) {
      p[i] = static_cast<T>(WrapType<T>(0) - WrapType<T>(p[i]));
    } else {
      p[i] = -p[i];
    }
  }
}

}  // namespace

// Every element negated, the imaginary parts too; integer, char and logical
// elements wrap around at their width (0 - x), and char and logical arrays
// become uint16 and uint8 arrays.
ErrCode UminusBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  NumericView v = ViewNumeric(ctx, 0);
  const int64_t n = int64_t{v.shape.count} * (v.complex ? 2 : 1);
  switch (v.cls) {
    case ValueClass::kDouble:
      Negate<double>(v.elements, n);
      return kOk;
    case ValueClass::kSingle:
      Negate<float>(v.elements, n);
      return kOk;
    case ValueClass::kInteger:
    case ValueClass::kChar:
    case ValueClass::kLogical:
      // The bits of 0 - x are the same for signed and unsigned elements.
      VisitIntegerClass(ElementBytesOfCode(v.code), true,
                        [&](auto type) { Negate<decltype(type)>(v.elements, n); });
      DescAt(ctx, 0)->word = kKindArray;
      return kOk;
    default:
      return kErrWrongTypeOverload;
  }
}

// The imaginary parts of a complex double or single value negated; real
// values of every numeric class are their own conjugate.
ErrCode ConjBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls == ValueClass::kOther) return kErrWrongTypeOverload;
  if (!v.complex) return kOk;
  const int64_t n = v.shape.count;
  if (v.cls == ValueClass::kDouble) {
    Negate<double>(v.elements + 8 * n, n);
  } else {
    Negate<float>(v.elements + 4 * n, n);
  }
  return kOk;
}

}  // namespace vke
