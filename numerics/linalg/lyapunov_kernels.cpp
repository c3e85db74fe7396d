// The Hessenberg-Schur method for A X + X B + G = 0: A reduced to
// Hessenberg form H = U_A' A U_A, B to quasi lower triangular form S = U_B'
// B U_B, the transformed equation H Y + Y S = F solved column by column
// from the last, and X = U_A Y U_B'. The discrete Lyapunov equation goes
// through the bilinear transformation Z = (A + I)^-1 (A - I).
#include <algorithm>
#include <utility>

#include "builtins/matrix_kernels.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/linalg/block_products.hpp"
#include "numerics/linalg/lyapunov.hpp"

namespace vke {

namespace {

void TransposeSquare(double* a, int32_t n) {
  for (int32_t i = 0; i < n; i++) {
    for (int32_t j = i + 1; j < n; j++) std::swap(a[int64_t(i) * n + j], a[int64_t(j) * n + i]);
  }
}

// The m x m left matrix H and the n x n right matrix S of H Y + Y S = F
// (F m x n, row by row), with the scratch of the column steps: 2m pivot
// entries, a system of up to 2m x 2m and its right-hand side.
struct TransformedEquation {
  const double* h;
  const double* s;
  const double* f;
  int32_t m, n;
  int32_t* perm;
  double* system;
  double* rhs;
};

// Columns first .. first + width - 1 of Y (width 1, or 2 for a 2 x 2 block
// of S), the columns right of them being known. For a pair the unknowns of
// the two columns are interleaved, row by row: the matrix H (x) I + I (x) C,
// C = [S(j-1, j-1), S(j, j-1); S(j-1, j), S(j, j)], then keeps H's
// Hessenberg shape in 2 x 2 blocks, so the elimination meets few non-zeros
// below its diagonal.
void SolveColumns(const TransformedEquation& eq, double* y, int32_t first, int32_t width) {
  const int32_t m = eq.m, n = eq.n, size = m * width;
  const int32_t last = first + width - 1;
  for (int32_t i = 0; i < m; i++) {
    const double* yRow = y + int64_t(i) * n;
    for (int32_t c = 0; c < width; c++) {
      double v = eq.f[int64_t(i) * n + first + c];
      for (int32_t k = last + 1; k < n; k++) v -= yRow[k] * eq.s[int64_t(k) * n + first + c];
      eq.rhs[i * width + c] = v;
    }
  }
  std::fill(eq.system, eq.system + int64_t(size) * size, 0.0);
  for (int32_t i = 0; i < m; i++) {
    for (int32_t l = 0; l < m; l++) {
      const double x = eq.h[int64_t(i) * m + l];
      if (x == 0) continue;
      for (int32_t c = 0; c < width; c++)
        eq.system[int64_t(i * width + c) * size + l * width + c] = x;
    }
    for (int32_t a = 0; a < width; a++) {
      for (int32_t b = 0; b < width; b++)
        eq.system[int64_t(i * width + a) * size + i * width + b] +=
            eq.s[int64_t(first + b) * n + first + a];
    }
  }
  SolveLinearSystemReal(eq.system, eq.rhs, size, 1, eq.perm, false);
  for (int32_t i = 0; i < m; i++) {
    for (int32_t c = 0; c < width; c++) y[int64_t(i) * n + first + c] = eq.rhs[i * width + c];
  }
}

}  // namespace

int64_t GetLyapunovWorkspaceSize(int32_t m, int32_t n) {
  const int64_t rows = m, cols = n;
  return cols * cols + rows * rows +
         std::max({(cols + 4 * rows + 4) * rows, rows, cols, rows * cols});
}

bool SolveSylvesterSchur(double* a, int32_t m, double* b, int32_t n, double* g, double* work) {
  if (m == 0 || n == 0) return true;
  // U_A, U_B, then the scratch: the kernels' work, G U_B, later Y and the
  // column steps' systems.
  double* uA = work;
  double* uB = work + int64_t(m) * m;
  double* scratch = uB + int64_t(n) * n;
  const double *h, *s;
  if (b) {
    ReduceToHessenbergHouseholder(a, m, uA, scratch);
    // B' = U T U' gives B = U_B S U_B' with S = T' quasi lower triangular.
    TransposeSquare(b, n);
    if (!ComputeRealSchurForm(b, n, uB, nullptr, scratch)) return false;
    TransposeSquare(b, n);
    h = a;
    s = b;
  } else {
    // A = U T U': H = T in U_A's place, S = T' in A's storage, and U (in
    // U_B's place) on both sides.
    if (!ComputeRealSchurForm(a, m, uB, nullptr, scratch)) return false;
    std::copy(a, a + int64_t(m) * m, uA);
    TransposeSquare(a, m);
    h = uA;
    s = a;
    uA = uB;
  }

  // F = -U_A' G U_B over G.
  double* product = scratch;
  MultiplyRealMatrices(m, n, n, g, uB, product);
  std::fill(g, g + int64_t(m) * n, 0.0);
  AddBlockProduct(m, m, n, -1, {uA, m, true}, {product, n}, g, n);

  double* y = scratch;
  TransformedEquation eq{h, s, g, m, n, nullptr, nullptr, nullptr};
  eq.perm = reinterpret_cast<int32_t*>(y + int64_t(m) * n);
  eq.system = y + int64_t(m) * n + m;
  eq.rhs = eq.system + 4 * int64_t(m) * m;
  for (int32_t j = n - 1; j >= 0;) {
    const int32_t width = j > 0 && s[int64_t(j - 1) * n + j] != 0 ? 2 : 1;
    SolveColumns(eq, y, j - width + 1, width);
    j -= width;
  }

  // X = U_A Y U_B': U_A Y over G, then times U_B' into Y's place.
  MultiplyRealMatrices(m, m, n, uA, y, g);
  std::fill(y, y + int64_t(m) * n, 0.0);
  AddBlockProduct(m, n, n, 1, {g, n}, {uB, n, true}, y, n);
  std::copy(y, y + int64_t(m) * n, g);
  return true;
}

bool SolveDiscreteLyapunov(double* a, int32_t n, double* g, double* work) {
  if (n == 0) return true;
  const int64_t nn = int64_t(n) * n;
  // Z = (A + I)^-1 (A - I) over A, with W = A + I first in the workspace.
  double* w = work;
  std::copy(a, a + nn, w);
  for (int32_t i = 0; i < n; i++) {
    w[int64_t(i) * n + i] += 1;
    a[int64_t(i) * n + i] -= 1;
  }
  SolveLinearSystemReal(w, a, n, n, reinterpret_cast<int32_t*>(w + nn), false);
  // G := (Z - I) G (Z - I)' / 2, as W = Z G - G, G = (W Z' - W) / 2.
  MultiplyRealMatrices(n, n, n, a, g, w);
  for (int64_t k = 0; k < nn; k++) w[k] -= g[k];
  std::fill(g, g + nn, 0.0);
  AddBlockProduct(n, n, n, 0.5, {w, n}, {a, n, true}, g, n);
  for (int64_t k = 0; k < nn; k++) g[k] -= 0.5 * w[k];
  // Z X + X Z' + G = 0 has the solution of A X A' - X + G = 0.
  return SolveSylvesterSchur(a, n, nullptr, n, g, work);
}

}  // namespace vke
