// What the dense-kernel tests share: the reference LAPACK routines they
// compare with (column order, interleaved complex, 32-bit INTEGERs and the
// hidden length of every CHARACTER argument), random matrices in the
// kernels' row-by-row layout, products and residual norms.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "builtins/matrix_kernels.hpp"
#include "numerics/lapack/lapack_binding.hpp"

// The routines the kernels themselves never call; the others come from the
// binding, so that one program never sees two prototypes of one routine.
extern "C" {
void dgeqp3_(const int* m, const int* n, double* a, const int* lda, int* jpvt, double* tau,
             double* work, const int* lwork, int* info);
}

namespace vke::test {

using Matrix = std::vector<double>;  // row by row; complex: real block, then imaginary block
using Cx = std::complex<double>;

inline Matrix RandomMatrix(int32_t rows, int32_t cols, uint32_t seed, bool complex = false) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1, 1);
  Matrix a(size_t(rows) * cols * (complex ? 2 : 1));
  for (double& x : a) x = dist(gen);
  return a;
}

inline double FrobeniusNorm(const Matrix& a) {
  double sum = 0;
  for (double x : a) sum += x * x;
  return std::sqrt(sum);
}

inline double DistanceBetween(const Matrix& a, const Matrix& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); i++) sum += (a[i] - b[i]) * (a[i] - b[i]);
  return std::sqrt(sum);
}

// The (conjugate) transpose of an m x n matrix.
inline Matrix Adjoint(const Matrix& a, int32_t m, int32_t n, bool complex) {
  Matrix t(a.size());
  size_t block = size_t(m) * n;
  for (int32_t i = 0; i < m; i++) {
    for (int32_t j = 0; j < n; j++) {
      t[size_t(j) * m + i] = a[size_t(i) * n + j];
      if (complex) t[block + size_t(j) * m + i] = -a[block + size_t(i) * n + j];
    }
  }
  return t;
}

inline Matrix Product(const Matrix& a, const Matrix& b, int32_t m, int32_t k, int32_t n,
                      bool complex) {
  Matrix c(size_t(m) * n * (complex ? 2 : 1));
  if (complex) {
    MultiplyComplexMatrices(m, k, n, a.data(), b.data(), c.data());
  } else {
    MultiplyRealMatrices(m, k, n, a.data(), b.data(), c.data());
  }
  return c;
}

// ||Q T Q^H - A|| / ||A|| for n x n matrices.
inline double SimilarityResidual(const Matrix& q, const Matrix& t, const Matrix& a, int32_t n,
                                 bool complex) {
  Matrix qt = Product(q, t, n, n, n, complex);
  return DistanceBetween(Product(qt, Adjoint(q, n, n, complex), n, n, n, complex), a) /
         FrobeniusNorm(a);
}

// Column order with interleaved complex values, as LAPACK takes them.
inline std::vector<Cx> ToColumnOrder(const Matrix& a, int32_t m, int32_t n, bool complex) {
  std::vector<Cx> out(size_t(m) * n);
  size_t block = size_t(m) * n;
  for (int32_t i = 0; i < m; i++) {
    for (int32_t j = 0; j < n; j++) {
      out[size_t(j) * m + i] = {a[size_t(i) * n + j], complex ? a[block + size_t(i) * n + j] : 0};
    }
  }
  return out;
}

// The largest distance from an eigenvalue in ours to its nearest unmatched
// partner in theirs (both lists the same length).
inline double EigenvalueMismatch(std::vector<Cx> ours, std::vector<Cx> theirs) {
  double worst = 0;
  for (Cx x : ours) {
    auto nearest = std::min_element(theirs.begin(), theirs.end(),
                                    [&](Cx a, Cx b) { return std::abs(a - x) < std::abs(b - x); });
    worst = std::max(worst, std::abs(*nearest - x));
    theirs.erase(nearest);
  }
  return worst;
}

}  // namespace vke::test
