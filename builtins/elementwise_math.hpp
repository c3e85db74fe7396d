// The driver of the elementwise mathematical builtins: each element of the
// double array on top is replaced, in place, by a kernel's value; a real
// argument turns complex once, at the first element whose value needs an
// imaginary part.
#pragma once

#include "builtins/complex_math.hpp"
#include "engine/values/value.hpp"

namespace vke {

// The value of a kernel on a real element: complex only when it needs an
// imaginary part.
struct RealValue {
  Real re;
  Real im = 0;
  bool complex = false;
};

// Kernels of one builtin family member (the option character chooses the
// member). A complex element whose imaginary part is +0 goes to the real
// kernel, so that values on a branch cut follow the real rules. wholeArray,
// when given, may take a real array in one pass: it returns false, having
// written nothing, for a member it has no pass for, or when an element
// needs an imaginary part.
struct ElementwiseKernels {
  RealValue (*real)(Real x, int32_t option);
  Cx (*complex)(Cx z, int32_t option);
  bool (*wholeArray)(double* x, int64_t n, int32_t option) = nullptr;
};

// The whole-array passes of the families (elementwise_whole.cpp).
bool RoundingWholeArray(double* x, int64_t n, int32_t option);
bool ExpLogWholeArray(double* x, int64_t n, int32_t option);
bool TrigWholeArray(double* x, int64_t n, int32_t option);
bool HyperbolicWholeArray(double* x, int64_t n, int32_t option);
bool AbsWholeArray(double* x, int64_t n, int32_t option);

// How the reciprocal flag applies: to each argument before the kernel
// (inverse functions) or to each value after it (direct functions).
enum class ReciprocalStep : uint8_t { kNone, kBefore, kAfter };

// Runs the kernels over the top value (a double array, else kErrWrongTypeOverload).
ErrCode ApplyElementwise(EngineContext* ctx, const ElementwiseKernels& kernels, int32_t option,
                         ReciprocalStep reciprocal);

}  // namespace vke
