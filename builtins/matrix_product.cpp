// Matrix products: the real and complex product kernels and the mtimes
// builtin (the * operator).
//
// The real kernel is cache blocked: a pass takes kDepthBlock terms of the
// inner dimension, kRowBlock rows of A stay warm while every strip of
// 2 x kLanes columns of B, copied once per pass into a local buffer, meets
// them, and each tile of C accumulates in vector registers. Every element of
// C still sums its terms one after the other in increasing order from 0, so
// the result equals the plain triple loop bit for bit; the kernel only
// changes the order in which elements are visited. The same code is built
// for 4-lane (AVX2) and 2-lane vectors and chosen once by the processor;
// neither uses fused multiply-add, which would change the rounding.
#include <algorithm>
#include <cstring>

#include "builtins/builtin.hpp"
#include "builtins/matrix_kernels.hpp"
#include "builtins/matrix_ops.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kTileRows = 4;      // rows of C in one tile
constexpr int32_t kDepthBlock = 256;  // terms of the inner dimension in one pass
constexpr int32_t kRowBlock = 64;     // rows of A reused across the strips of B

// C += A B over one block of the inner dimension, for every row and column.
template <int kLanes>
[[gnu::always_inline]] inline void MultiplyBlocked(int32_t m, int32_t k, int32_t n, const double* a,
                                                   const double* b, double* c) {
  typedef double Lane __attribute__((vector_size(8 * kLanes)));
  constexpr int32_t kTileCols = 2 * kLanes;
  alignas(64) double strip[kDepthBlock * kTileCols];
  alignas(64) double zeros[kDepthBlock] = {};
  alignas(64) double edge[kTileRows * kTileCols];
  for (int32_t l0 = 0; l0 < k; l0 += kDepthBlock) {
    int32_t depth = std::min(kDepthBlock, k - l0);
    for (int32_t i0 = 0; i0 < m; i0 += kRowBlock) {
      int32_t iEnd = std::min(m, i0 + kRowBlock);
      for (int32_t j0 = 0; j0 < n; j0 += kTileCols) {
        int32_t cols = std::min(kTileCols, n - j0);
        // The strip of B, its missing columns zero.
        for (int32_t l = 0; l < depth; l++) {
          const double* src = b + int64_t(l0 + l) * n + j0;
          double* dst = strip + l * kTileCols;
          for (int32_t j = 0; j < kTileCols; j++) dst[j] = j < cols ? src[j] : 0.0;
        }
        for (int32_t i = i0; i < iEnd; i += kTileRows) {
          int32_t rows = std::min(kTileRows, iEnd - i);
          const double* aRow[kTileRows];
          for (int32_t r = 0; r < kTileRows; r++)
            aRow[r] = r < rows ? a + int64_t(i + r) * k + l0 : zeros;
          // A tile at the bottom or right edge works on a padded copy.
          bool full = rows == kTileRows && cols == kTileCols;
          double* tile = full ? c + int64_t(i) * n + j0 : edge;
          int64_t ld = full ? n : kTileCols;
          if (!full)
            for (int32_t r = 0; r < kTileRows; r++)
              for (int32_t j = 0; j < kTileCols; j++)
                edge[r * kTileCols + j] = r < rows && j < cols ? c[int64_t(i + r) * n + j0 + j] : 0;
          Lane acc[kTileRows][2];
          for (int32_t r = 0; r < kTileRows; r++)
            for (int32_t h = 0; h < 2; h++)
              std::memcpy(&acc[r][h], tile + r * ld + h * kLanes, sizeof(Lane));
          for (int32_t l = 0; l < depth; l++) {
            Lane b0, b1;
            std::memcpy(&b0, strip + l * kTileCols, sizeof(Lane));
            std::memcpy(&b1, strip + l * kTileCols + kLanes, sizeof(Lane));
            for (int32_t r = 0; r < kTileRows; r++) {
              double x = aRow[r][l];
              acc[r][0] += x * b0;
              acc[r][1] += x * b1;
            }
          }
          for (int32_t r = 0; r < kTileRows; r++)
            for (int32_t h = 0; h < 2; h++)
              std::memcpy(tile + r * ld + h * kLanes, &acc[r][h], sizeof(Lane));
          if (!full)
            for (int32_t r = 0; r < rows; r++)
              for (int32_t j = 0; j < cols; j++)
                c[int64_t(i + r) * n + j0 + j] = edge[r * kTileCols + j];
        }
      }
    }
  }
}

[[gnu::target("avx2")]] void MultiplyWide(int32_t m, int32_t k, int32_t n, const double* a,
                                          const double* b, double* c) {
  MultiplyBlocked<4>(m, k, n, a, b, c);
}

void MultiplyNarrow(int32_t m, int32_t k, int32_t n, const double* a, const double* b, double* c) {
  MultiplyBlocked<2>(m, k, n, a, b, c);
}

}  // namespace

void MultiplyRealMatrices(int32_t m, int32_t k, int32_t n, const double* a, const double* b,
                          double* c) {
  static const bool wide = __builtin_cpu_supports("avx2");
  std::fill(c, c + int64_t(m) * n, 0.0);
  (wide ? MultiplyWide : MultiplyNarrow)(m, k, n, a, b, c);
}

void MultiplyComplexMatrices(int32_t m, int32_t k, int32_t n, const double* a, const double* b,
                             double* c) {
  const double *ar = a, *ai = a + int64_t(m) * k;
  const double *br = b, *bi = b + int64_t(k) * n;
  double *cr = c, *ci = c + int64_t(m) * n;
  std::fill(c, c + 2 * int64_t(m) * n, 0.0);
  for (int32_t i = 0; i < m; i++) {
    double* rowRe = cr + int64_t(i) * n;
    double* rowIm = ci + int64_t(i) * n;
    for (int32_t l = 0; l < k; l++) {
      double xr = ar[int64_t(i) * k + l], xi = ai[int64_t(i) * k + l];
      const double* yr = br + int64_t(l) * n;
      const double* yi = bi + int64_t(l) * n;
      for (int32_t j = 0; j < n; j++) {
        rowRe[j] += xr * yr[j] - xi * yi[j];
        rowIm[j] += xr * yi[j] + xi * yr[j];
      }
    }
  }
}

ErrCode MtimesBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  if (!AreDoubleMatrices(ctx, 2)) return TypedOperandsElementwise(ctx, ScalarRule::kEither, '*');
  MatrixOperand a = ReadMatrixOperand(ctx, 1), b = ReadMatrixOperand(ctx, 0);
  if (a.IsScalar() || b.IsScalar()) return ElementwiseArith(ctx, 2, 1, '*');
  int32_t m = a.rows, k = a.cols, n = b.cols;
  if (k != b.rows) return kErrIncompSize;
  if (m == 0 || n == 0) {
    ErrCode e = Drop(ctx, 2);
    return e ? e : PushEmptyMatrix(ctx);
  }
  bool complex = a.im || b.im;
  double *cr, *ci = nullptr;
  ErrCode e = PushNewMatrix(ctx, m, n, &cr, complex ? &ci : nullptr);
  if (e) return e;
  a = ReadMatrixOperand(ctx, 2);
  b = ReadMatrixOperand(ctx, 1);
  if (a.im && b.im) {
    MultiplyComplexMatrices(m, k, n, a.re, b.re, cr);
  } else {
    MultiplyRealMatrices(m, k, n, a.re, b.re, cr);
    if (a.im) MultiplyRealMatrices(m, k, n, a.im, b.re, ci);
    if (b.im) MultiplyRealMatrices(m, k, n, a.re, b.im, ci);
  }
  return DropStackEntries(ctx, 1, 2);
}

}  // namespace vke
