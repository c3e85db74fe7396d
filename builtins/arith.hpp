// Element-wise arithmetic: the power of one complex number, which the matrix
// power also uses, and the kernels of ElementwiseArith by element class.
#pragma once

#include <cmath>

#include "builtins/elementwise.hpp"
#include "engine/values/values.hpp"

namespace vke {

// z^w = exp(w * log z) for complex z = zr + i*zi and w = wr + i*wi, with
// w = 0 giving 1 and otherwise z = 0 giving 0.
void ComplexPowerScalar(double zr, double zi, double wr, double wi, double* outRe, double* outIm);

// Calls apply with the function of a real operation + - * / % (rem),
// o (mod) or r (realpow) on two elements of T; false for any other.
template <typename T, typename Apply>
VKE_HOT_INLINE bool WithRealOperation(int32_t op, Apply apply) {
  switch (op) {
    case '+':
      apply([](T x, T y) { return x + y; });
      return true;
    case '-':
      apply([](T x, T y) { return x - y; });
      return true;
    case '*':
      apply([](T x, T y) { return x * y; });
      return true;
    case '/':
      apply([](T x, T y) { return x / y; });
      return true;
    case '%':
      apply([](T x, T y) { return std::fmod(x, y); });
      return true;
    case 'o':
      // The remainder, moved by one divisor only when its sign differs from
      // the divisor's: fmod is exact, and adding y to a remainder far
      // smaller than y would lose it.
      apply([](T x, T y) {
        if (y == 0) return x;
        const T r = std::fmod(x, y);
        return r != 0 && (r < 0) != (y < 0) ? r + y : r;
      });
      return true;
    case 'r':
      apply([](T x, T y) { return static_cast<T>(std::pow(double{x}, double{y})); });
      return true;
    default:
      return false;
  }
}

// The real operation over n paired elements of real double or single data,
// written to out (which may be the first operand). False, with nothing
// written, for an operation that is not real.
template <typename T>
inline bool RealArith(int32_t op, int64_t n, const T* a, bool aFull, const T* b, bool bFull,
                      T* out) {
  return WithRealOperation<T>(op, [&](auto f) { MapPairs(n, a, aFull, b, bFull, out, f); });
}

// Pushes the result of the operation on two double (T = double) or single
// (T = float) operands of the given common shape and fills it: complex when
// an operand has an imaginary part or a real power needs one. 43 for rem and
// mod with a complex operand.
template <typename T>
ErrCode FloatArith(EngineContext* ctx, int32_t op, const Shape& shape,
                   const ElementwiseOperand* ops);

// The same for two operands of one integer class: wrapping + - *, division
// truncating toward zero, rem and mod; 107 for power and realpow.
ErrCode IntegerArith(EngineContext* ctx, int32_t op, const Shape& shape,
                     const ElementwiseOperand* ops);

}  // namespace vke
