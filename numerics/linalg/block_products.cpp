// Products and copies of blocks inside row-by-row matrices. The loop orders
// keep the innermost loop on consecutive elements wherever the operands'
// orientation allows.
#include "numerics/linalg/block_products.hpp"

namespace vke {

void AddBlockProduct(int32_t m, int32_t k, int32_t n, double sign, BlockRef a, BlockRef b,
                     double* c, int64_t cStep) {
  auto aAt = [&](int32_t i, int32_t l) {
    return a.transposed ? a.p[l * a.step + i] : a.p[i * a.step + l];
  };
  for (int32_t i = 0; i < m; i++) {
    double* row = c + i * cStep;
    if (!b.transposed) {
      // Rows of B scaled into the row of C.
      for (int32_t l = 0; l < k; l++) {
        const double f = sign * aAt(i, l);
        const double* bRow = b.p + l * b.step;
        for (int32_t j = 0; j < n; j++) row[j] += f * bRow[j];
      }
      continue;
    }
    // B transposed: each element of C is a dot product with a row of B.
    for (int32_t j = 0; j < n; j++) {
      const double* bRow = b.p + j * b.step;
      double sum = 0;
      for (int32_t l = 0; l < k; l++) sum += aAt(i, l) * bRow[l];
      row[j] += sign * sum;
    }
  }
}

void CopyBlock(int32_t rows, int32_t cols, double sign, const double* from, int64_t fromStep,
               bool transposed, double* to, int64_t toStep) {
  for (int32_t i = 0; i < rows; i++) {
    const double* src = from + i * fromStep;
    for (int32_t j = 0; j < cols; j++) {
      if (transposed) {
        to[j * toStep + i] = sign * src[j];
      } else {
        to[i * toStep + j] = sign * src[j];
      }
    }
  }
}

}  // namespace vke
