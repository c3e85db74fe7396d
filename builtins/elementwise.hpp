// The loops of the element-wise operators: pairing two operands where one of
// them may be a scalar applied to every element of the other, typed access
// to the parts of an operand, and the choice of an integer element type.
#pragma once

#include <cstdint>
#include <string_view>
#include <type_traits>

#include "engine/values/element_operations.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

// Converts the two operands on top to their common class and pairs them;
// ops[0] is the first (deeper) operand. A type mismatch is reported as 44 so
// that an object's class method may serve; kErrIncompSize when the sizes differ.
ErrCode PairInCommonClass(EngineContext* ctx, Shape* shape, ElementwiseOperand* ops);

// Pushes the result of an element-wise builtin: an array of the class with
// the shape of its operands, where one without elements keeps it
// (zeros(3, 0) + 1 is 3 x 0).
// *out is its first element; a complex one's imaginary block follows
// shape.count elements later.
ErrCode PushElementwiseResult(EngineContext* ctx, ArrayClass cls, bool complex, const Shape& shape,
                              void** out);

// out[i] = f(a[i], b[i]) over n elements; an operand that is not full is a
// scalar read once before the loop, so each case is one tight loop over
// contiguous data. out may be the first operand itself.
template <typename A, typename B, typename R, typename F>
inline void MapPairs(int64_t n, const A* a, bool aFull, const B* b, bool bFull, R* out, F f) {
  if (aFull && bFull) {
    for (int64_t i = 0; i < n; i++) out[i] = f(a[i], b[i]);
  } else if (aFull) {
    const B y = *b;
    for (int64_t i = 0; i < n; i++) out[i] = f(a[i], y);
  } else if (bFull) {
    const A x = *a;
    for (int64_t i = 0; i < n; i++) out[i] = f(x, b[i]);
  } else if (n > 0) {
    out[0] = f(*a, *b);
  }
}

// The real part of an operand as elements of T (double, float or the
// integer type of its class).
template <typename T>
inline const T* RealPartOf(const ElementwiseOperand& op) {
  if constexpr (std::is_same_v<T, double>) {
    return op.re;
  } else if constexpr (std::is_same_v<T, float>) {
    return op.sre;
  } else {
    return static_cast<const T*>(op.data);
  }
}

// The imaginary part of a double or single operand; null when it has none.
template <typename T>
inline const T* ImagPartOf(const ElementwiseOperand& op) {
  if constexpr (std::is_same_v<T, double>) {
    return op.im;
  } else {
    return op.sim;
  }
}

// A double or single operand seen as complex: a missing imaginary part reads
// as a zero scalar. Steps are 1 along an array and 0 for a scalar.
template <typename T>
struct ComplexOperand {
  static constexpr T kZero = 0;
  const T* re;
  const T* im;
  int64_t reStep;
  int64_t imStep;
  bool hasImag;

  explicit ComplexOperand(const ElementwiseOperand& op)
      : re(RealPartOf<T>(op)),
        im(ImagPartOf<T>(op) ? ImagPartOf<T>(op) : &kZero),
        reStep(op.full ? 1 : 0),
        imStep(op.full && ImagPartOf<T>(op) ? 1 : 0),
        hasImag(ImagPartOf<T>(op) != nullptr) {}
};

// f(i, ar, ai, br, bi) for every element i of the paired operands.
template <typename T, typename F>
inline void ForEachComplexPair(int64_t n, const ComplexOperand<T>& a, const ComplexOperand<T>& b,
                               F f) {
  for (int64_t i = 0; i < n; i++)
    f(i, a.re[i * a.reStep], a.im[i * a.imStep], b.re[i * b.reStep], b.im[i * b.imStep]);
}

// Calls f with a value of the integer type of the class (element width 1,
// 2, 4 or 8 bytes and signedness) and gives its result.
template <typename F>
inline decltype(auto) VisitIntegerClass(int32_t elementBytes, bool isUnsigned, F&& f) {
  switch (elementBytes) {
    case 1:
      return isUnsigned ? f(uint8_t{}) : f(int8_t{});
    case 2:
      return isUnsigned ? f(uint16_t{}) : f(int16_t{});
    case 4:
      return isUnsigned ? f(uint32_t{}) : f(int32_t{});
    default:
      return isUnsigned ? f(uint64_t{}) : f(int64_t{});
  }
}

// Arithmetic in T's width without overflow: unsigned arithmetic at least as
// wide as int, whose result is cut to T's width.
template <typename T>
using WrapType =
    std::conditional_t<(sizeof(T) < sizeof(unsigned)), unsigned, std::make_unsigned_t<T>>;

}  // namespace vke
