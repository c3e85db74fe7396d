// Magic squares: the numbers 1 ... n^2 in an n x n matrix (row by row) whose
// rows, columns and both diagonals have one sum.
#pragma once

#include <cstdint>

namespace vke {

// Fills an n x n matrix: odd orders by the staircase rule, orders divisible
// by 4 by complementing a fixed pattern, the other even orders from four odd
// squares with columns exchanged. Nothing is written for n < 1.
void MakeMagicSquare(double* matrix, int32_t n);

// Fills an m x m square (m odd) whose rows lie stride elements apart: 1 in
// row 0, column (m - 1) / 2; each next number one row up and one column to
// the right, wrapping around; after every m numbers one row down instead.
void MagicSquareOdd(double* matrix, int32_t m, int32_t stride);

}  // namespace vke
