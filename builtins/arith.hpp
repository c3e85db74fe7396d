// Element-wise arithmetic: the power of one complex number, which the matrix
// power also uses, and the kernels of ElementwiseArith by element class.
#pragma once

#include <cmath>

#include "builtins/elementwise.hpp"
#include "engine/values/element_operations.hpp"
#include "engine/values/values.hpp"

namespace vke {

// z^w = exp(w * log z) for complex z = zr + i*zi and w = wr + i*wi, with
// w = 0 giving 1 and otherwise z = 0 giving 0.
void ComplexPowerScalar(double zr, double zi, double wr, double wi, double* outRe, double* outIm);

// The real operation over n paired elements of real double or single data,
// written to out (which may be the first operand). False, with nothing
// written, for an operation that is not real.
template <typename T>
inline bool RealArith(int32_t op, int64_t n, const T* a, bool aFull, const T* b, bool bFull,
                      T* out) {
  return WithRealOperation<T>(op, [&](auto f) { MapPairs(n, a, aFull, b, bFull, out, f); });
}

// The real power of two paired real double operands, written to out (which
// may be either operand's data): the same values FloatArith gives. False,
// nothing written, when a negative base meets a non-integer exponent.
bool RealPowerInto(int64_t n, const ElementwiseOperand& a, const ElementwiseOperand& b,
                   double* out);

// Pushes the result of the operation on two double (T = double) or single
// (T = float) operands of the given common shape and fills it: complex when
// an operand has an imaginary part or a real power needs one. kErrWrongType for rem and
// mod with a complex operand.
template <typename T>
ErrCode FloatArith(EngineContext* ctx, int32_t op, const Shape& shape,
                   const ElementwiseOperand* ops);

// The same for two operands of one integer class: wrapping + - *, division
// truncating toward zero, rem and mod; kErrBadArg for power and realpow.
ErrCode IntegerArith(EngineContext* ctx, int32_t op, const Shape& shape,
                     const ElementwiseOperand* ops);

}  // namespace vke
