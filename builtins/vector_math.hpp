// Whole-array kernels of the commonest real elementwise functions, for
// arrays whose every element stays real: each call rewrites n doubles in
// place with values within one unit in the last place of the exact ones.
// They run four elements at a time through the vector library's routines
// where the processor has AVX2 and FMA; the library is opened at the first
// use, so a process that never needs it does not load it. Without either,
// VectorMathAvailable is false and the callers keep their element-by-element
// path.
#pragma once

#include <cstdint>

namespace vke {

enum class VectorFunction : uint8_t {
#define VKE_VECTOR_FUNCTION(name, routine) name,
#include "builtins/vector_functions.def"
#undef VKE_VECTOR_FUNCTION
  kCount
};

// Whether the kernels may run here: the processor's check and, the first
// time it passes, the library's load. Thread-safe.
bool VectorMathAvailable();

// The routine of f, loaded; VectorMathAvailable must have been true.
const void* VectorRoutine(VectorFunction f);

// The routine (of four doubles) applied to x[0..n); the tail past the last
// group of four goes through it on a padded block, so every element gets the
// one routine's rounding. Built for AVX2: only after VectorMathAvailable.
void ApplyVectorRoutineAvx2(const void* routine, double* x, int64_t n);

// f over x[0..n); VectorMathAvailable must be true.
inline void ApplyVectorFunction(VectorFunction f, double* x, int64_t n) {
  ApplyVectorRoutineAvx2(VectorRoutine(f), x, n);
}

// For tests: the library to open instead of the configured one (null: the
// configured one), forgetting what was loaded before. Not to be called while
// another thread runs a kernel.
void PointVectorMathAt(const char* library);

}  // namespace vke
