// Whole-array kernels of the commonest real elementwise functions, for
// arrays whose every element stays real: each call rewrites n doubles in
// place with values within one unit in the last place of the exact ones.
// They run four elements at a time where the processor has AVX2 and FMA;
// elsewhere VectorMathAvailable is false and the callers keep their
// element-by-element path.
#pragma once

#include <cstdint>

namespace vke {

enum class VectorFunction : uint8_t {
  kExp,
  kExpm1,
  kLog,  // x >= 0
  kLog10,
  kLog2,
  kLog1p,  // x >= -1
  kSin,
  kCos,
  kTan,
  kAtan,
  kAsin,  // -1 <= x <= 1
  kAcos,
  kTanh,
  kCount
};

using VectorKernel = void (*)(double* x, int64_t n);

// The AVX2 kernels, indexed by VectorFunction.
extern const VectorKernel kVectorKernelsAvx2[];

bool VectorMathAvailable();

// f over x[0..n); VectorMathAvailable must be true.
inline void ApplyVectorFunction(VectorFunction f, double* x, int64_t n) {
  kVectorKernelsAvx2[static_cast<int>(f)](x, n);
}

}  // namespace vke
