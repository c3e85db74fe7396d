// Products of matrix blocks that lie inside larger row-by-row matrices,
// each block with its own row step and either factor read transposed: the
// Riccati and Lyapunov solvers assemble their matrices from them.
#pragma once

#include <cstdint>

namespace vke {

// A block read in place: element (i, j) of the block, or of its transpose,
// at p[i * step + j] (transposed: p[j * step + i]).
struct BlockRef {
  const double* p;
  int64_t step;
  bool transposed = false;
};

// C (m x n, row step cStep) += sign * A * B for A m x k and B k x n as the
// references read them. C must not overlap A or B.
void AddBlockProduct(int32_t m, int32_t k, int32_t n, double sign, BlockRef a, BlockRef b,
                     double* c, int64_t cStep);

// Copies the rows x cols block at `from` (row step fromStep) to `to` (row
// step toStep), times sign, transposed when asked (to then holds cols x
// rows). The blocks must not overlap.
void CopyBlock(int32_t rows, int32_t cols, double sign, const double* from, int64_t fromStep,
               bool transposed, double* to, int64_t toStep);

}  // namespace vke
