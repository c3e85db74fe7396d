// Stable sorting of real doubles by radix, the fast form of sort for long
// lines of real values.
//
// The order is the Shell-sort kernels' (shell_sort.hpp): NaN above every
// number and equal to another NaN, -0 equal to +0, reversed when
// descending; equal keys keep the order they came in, so the values and
// positions are those of ShellSortRealWithIndex to the last bit.
#pragma once

#include <cstdint>

namespace vke {

// Sorts n contiguous doubles, moving the companion indices alongside when
// index is not null. scratch holds n doubles, indexScratch n more when
// index is given.
void RadixSortReal(double* data, double* index, int32_t n, bool descending, double* scratch,
                   double* indexScratch);

}  // namespace vke
