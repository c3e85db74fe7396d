// The reflections of the kernel API restricted to where they can change
// anything: the kernels that know a matrix's zero pattern skip the columns
// (left) or rows (right) that are zero where the reflection acts, with the
// same results. Defined for kCx false (im pointers unused) and true.
#pragma once

#include <cstdint>

namespace vke {

// Rows k .. min(m, lim) - 1 of columns firstColumn .. n-1.
template <bool kCx>
void ApplyReflectionLeft(double* aRe, double* aIm, int32_t m, int32_t n, const double* vRe,
                         const double* vIm, double beta, int32_t k, int32_t lim,
                         int32_t firstColumn);
// Columns k .. min(n, lim) - 1 of rows 0 .. min(m, rowEnd) - 1.
template <bool kCx>
void ApplyReflectionRight(double* aRe, double* aIm, int32_t m, int32_t n, const double* vRe,
                          const double* vIm, double beta, int32_t k, int32_t lim, int32_t rowEnd);

}  // namespace vke
