// The drivers the special-function natives share: a function of one double
// applied in place over a double array, and functions of several doubles
// over scalar-expanded double operands into a new array.
#pragma once

#include "engine/values/values.hpp"

namespace vke {

// Replaces every element of the double array on top by f(element, option);
// a complex argument is taken as its real part and the result is real.
ErrCode ApplyUnarySpecial(EngineContext* ctx, double (*f)(double, uintptr_t), uintptr_t option);

// The double operands of the top n entries (scalar expansion); 44 for any
// other class, so that the engine may retry them as doubles.
ErrCode GetDoubleOperands(EngineContext* ctx, int32_t n, Shape* shape, ElementwiseOperand* ops);

// Element i of an operand's real part, with a scalar repeated.
inline double RealElement(const ElementwiseOperand& op, int64_t i) {
  return op.full ? op.re[i] : op.re[0];
}

// A function of n doubles writing one result; a code other than 0 stops the
// native with that code.
using SpecialKernel = ErrCode (*)(const double* args, uintptr_t option, double* result);

// Applies the kernel element by element over the top n double operands,
// replacing them by a new real array of their common size.
ErrCode ApplySpecialKernel(EngineContext* ctx, int32_t n, SpecialKernel kernel, uintptr_t option);

}  // namespace vke
