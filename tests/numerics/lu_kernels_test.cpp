// The LU kernels against the plain column-by-column elimination they
// reorganise: the same pivots and, element for element, the same bits, for
// real and complex matrices of every shape, with ties and zero columns.
#include "numerics/linalg/lu_kernels.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "tests/numerics/dense_support.hpp"

namespace vke {
namespace {

using test::Matrix;
using test::RandomMatrix;

// One column at a time: pivot, swap, then every row below loses its
// multiple of the pivot row.
void ReferenceLU(Matrix& a, int32_t m, int32_t n, bool complex, std::vector<int32_t>& perm) {
  const int64_t block = int64_t(m) * n;
  auto at = [&](int32_t i, int32_t j) { return int64_t(i) * n + j; };
  auto get = [&](int32_t i, int32_t j) {
    return std::complex<double>(a[at(i, j)], complex ? a[block + at(i, j)] : 0.0);
  };
  auto size = [&](int32_t i, int32_t j) {
    return complex ? std::norm(get(i, j)) : std::abs(a[at(i, j)]);
  };
  for (int32_t i = 0; i < m; i++) perm[i] = i;
  for (int32_t k = 0; k < m - 1 && k < n; k++) {
    int32_t p = k;
    for (int32_t i = k + 1; i < m; i++) {
      if (size(i, k) > size(p, k)) p = i;
    }
    std::swap(perm[k], perm[p]);
    for (int32_t j = 0; j < n && p != k; j++) {
      std::swap(a[at(k, j)], a[at(p, j)]);
      if (complex) std::swap(a[block + at(k, j)], a[block + at(p, j)]);
    }
    if (size(k, k) == 0) continue;
    const double pr = a[at(k, k)], pi = complex ? a[block + at(k, k)] : 0.0;
    for (int32_t i = k + 1; i < m; i++) {
      double& xr = a[at(i, k)];
      if (!complex) {
        xr /= pr;
        for (int32_t j = k + 1; j < n; j++) a[at(i, j)] -= xr * a[at(k, j)];
        continue;
      }
      double& xi = a[block + at(i, k)];
      const double s = pr * pr + pi * pi;
      const double lr = (xr * pr + xi * pi) / s, li = (xi * pr - xr * pi) / s;
      xr = lr;
      xi = li;
      for (int32_t j = k + 1; j < n; j++) {
        a[at(i, j)] -= lr * a[at(k, j)] - li * a[block + at(k, j)];
        a[block + at(i, j)] -= lr * a[block + at(k, j)] + li * a[at(k, j)];
      }
    }
  }
}

TEST(LuKernels, MatchColumnByColumnEliminationBitForBit) {
  struct Shape {
    int32_t m, n;
  };
  for (const Shape s : {Shape{40, 40}, Shape{50, 23}, Shape{23, 50}, Shape{1, 5}, Shape{5, 1}}) {
    for (bool complex : {false, true}) {
      SCOPED_TRACE(testing::Message() << s.m << "x" << s.n << (complex ? " complex" : ""));
      Matrix a = RandomMatrix(s.m, s.n, uint32_t(s.m * 100 + s.n), complex);
      const int64_t block = int64_t(s.m) * s.n;
      // A zero column, and two rows equal in size in the next column.
      if (s.n > 3 && s.m > 6) {
        for (int32_t i = 0; i < s.m; i++) {
          a[int64_t(i) * s.n + 2] = 0;
          if (complex) a[block + int64_t(i) * s.n + 2] = 0;
        }
        a[int64_t(5) * s.n + 3] = 7;
        a[int64_t(6) * s.n + 3] = -7;
      }
      Matrix expected = a;
      std::vector<int32_t> perm(s.m), expectedPerm(s.m);
      ReferenceLU(expected, s.m, s.n, complex, expectedPerm);
      if (complex) {
        FactorLUComplex(a.data(), a.data() + block, s.m, s.n, perm.data());
      } else {
        FactorLUReal(a.data(), s.m, s.n, perm.data());
      }
      EXPECT_EQ(perm, expectedPerm);
      EXPECT_EQ(a, expected);
    }
  }
}

}  // namespace
}  // namespace vke
