// Singular value decompositions and the Cholesky factor.
#include <gtest/gtest.h>

#include "numerics/kernels/dense_kernels.hpp"
#include "tests/numerics/dense_support.hpp"

namespace vke {
namespace {

using namespace test;

Matrix LapackSingularValues(const Matrix& a, int m, int n, bool complex) {
  std::vector<Cx> col = ToColumnOrder(a, m, n, complex);
  Matrix s(std::min(m, n)), rwork(5 * std::min(m, n));
  int lwork = 256, info = 0, one = 1;
  if (complex) {
    std::vector<Cx> work(lwork);
    zgesvd_("N", "N", &m, &n, reinterpret_cast<double*>(col.data()), &m, s.data(), nullptr, &one,
            nullptr, &one, reinterpret_cast<double*>(work.data()), &lwork, rwork.data(), &info, 1,
            1);
  } else {
    Matrix data(m * n), work(lwork);
    for (size_t i = 0; i < data.size(); i++) data[i] = col[i].real();
    dgesvd_("N", "N", &m, &n, data.data(), &m, s.data(), nullptr, &one, nullptr, &one, work.data(),
            &lwork, &info, 1, 1);
  }
  EXPECT_EQ(info, 0);
  return s;
}

void ExpectValues(const Matrix& ours, const Matrix& theirs, double tol) {
  for (size_t k = 0; k < ours.size(); k++) {
    double expected = k < theirs.size() ? theirs[k] : 0.0;
    EXPECT_NEAR(ours[k], expected, tol * theirs[0]) << k;
  }
}

// U diag(s) V^H for U m x r, V n x r.
Matrix Reconstruct(const Matrix& u, const Matrix& s, const Matrix& v, int32_t m, int32_t n,
                   int32_t r, bool complex) {
  Matrix us = u;
  size_t block = size_t(m) * r;
  for (size_t part = 0; part < (complex ? 2u : 1u); part++) {
    for (int32_t i = 0; i < m; i++) {
      for (int32_t k = 0; k < r; k++) us[part * block + i * r + k] *= s[k];
    }
  }
  return Product(us, Adjoint(v, n, r, complex), m, r, n, complex);
}

TEST(SvdTest, RealMatricesMatchLapack) {
  Matrix a{3, 0, 4, 5}, w(2), v(4), work(4);
  ComputeSvdReal(a.data(), 2, 2, w.data(), v.data(), work.data());
  EXPECT_NEAR(w[0], std::sqrt(45.0), 1e-14 * std::sqrt(45.0));
  EXPECT_NEAR(w[1], std::sqrt(5.0), 1e-14 * std::sqrt(5.0));

  for (auto [m, n] : {std::pair{7, 4}, std::pair{4, 7}}) {
    SCOPED_TRACE(testing::Message() << m << "x" << n);
    const Matrix a0 = RandomMatrix(m, n, uint32_t(m * 10 + n));
    Matrix u = a0, s(n), vm(n * n), scratch(2 * n);
    ComputeSvdReal(u.data(), m, n, s.data(), vm.data(), scratch.data());
    ExpectValues(s, LapackSingularValues(a0, m, n, false), 1e-13);
    EXPECT_LE(DistanceBetween(Reconstruct(u, s, vm, m, n, n, false), a0),
              1e-13 * FrobeniusNorm(a0));
    // Without V only the values, sorted all the same.
    Matrix u2 = a0, s2(n);
    ComputeSvdReal(u2.data(), m, n, s2.data(), nullptr, scratch.data());
    ExpectValues(s2, LapackSingularValues(a0, m, n, false), 1e-13);
  }
  Matrix identity{1, 0, 0, 1}, s(2);
  ComputeSvdReal(identity.data(), 2, 2, s.data(), v.data(), work.data());
  EXPECT_EQ(s, (Matrix{1, 1}));
}

TEST(SvdTest, ComplexSingularValues) {
  for (auto [m, n] : {std::pair{5, 3}, std::pair{3, 5}}) {
    SCOPED_TRACE(testing::Message() << m << "x" << n);
    const Matrix a = RandomMatrix(m, n, uint32_t(m * 7 + n), true);
    Matrix s(n), work(4 * m * n + 5 * n + 1);
    ComputeComplexSingularValues(a.data(), a.data() + m * n, m, n, s.data(), work.data());
    ExpectValues(s, LapackSingularValues(a, m, n, true), 1e-13);

    Matrix copy = a, s2(n), u(2 * m * m), v(2 * n * n), scratch(SvdWithVectorsWork(m, n));
    ASSERT_TRUE(ComputeSvdWithVectors(copy.data(), copy.data() + m * n, m, n, s2.data(), u.data(),
                                      u.data() + m * m, m, v.data(), v.data() + n * n, n,
                                      scratch.data()));
    ExpectValues(s2, LapackSingularValues(a, m, n, true), 1e-13);
    // Keep the leading min(m, n) columns of U and V.
    int32_t r = std::min(m, n);
    Matrix ur(2 * m * r), vr(2 * n * r);
    for (size_t part = 0; part < 2; part++) {
      for (int32_t i = 0; i < m; i++) {
        for (int32_t k = 0; k < r; k++) ur[part * m * r + i * r + k] = u[part * m * m + i * m + k];
      }
      for (int32_t i = 0; i < n; i++) {
        for (int32_t k = 0; k < r; k++) vr[part * n * r + i * r + k] = v[part * n * n + i * n + k];
      }
    }
    EXPECT_LE(DistanceBetween(Reconstruct(ur, s2, vr, m, n, r, true), a), 1e-13 * FrobeniusNorm(a));
    Matrix identity(2 * m * m, 0.0);
    for (int32_t i = 0; i < m; i++) identity[i * m + i] = 1;
    EXPECT_LE(DistanceBetween(Product(u, Adjoint(u, m, m, true), m, m, m, true), identity), 1e-13);
  }
  // A real matrix embedded gives each value once.
  Matrix real{3, 0, 4, 5, 0, 0, 0, 0}, s(2), work(4 * 4 + 11);
  ComputeComplexSingularValues(real.data(), real.data() + 4, 2, 2, s.data(), work.data());
  EXPECT_NEAR(s[0], std::sqrt(45.0), 1e-14);
  EXPECT_NEAR(s[1], std::sqrt(5.0), 1e-14);
}

TEST(SvdTest, NonFiniteInputEnds) {
  Matrix a = RandomMatrix(4, 3, 1, true);
  a[4] = std::numeric_limits<double>::quiet_NaN();
  Matrix u = a, s(3), v(9), work(6);
  ComputeSvdReal(u.data(), 4, 3, s.data(), v.data(), work.data());
  Matrix scratch(SvdWithVectorsWork(4, 3)), uc(32), vc(18);
  EXPECT_FALSE(ComputeSvdWithVectors(a.data(), a.data() + 12, 4, 3, s.data(), uc.data(),
                                     uc.data() + 16, 4, vc.data(), vc.data() + 9, 3,
                                     scratch.data()));
}

TEST(SvdTest, Cholesky) {
  Matrix a{4, 2, 2, 3};
  ASSERT_TRUE(FactorCholesky(a.data(), nullptr, 2));
  EXPECT_EQ(a[0], 2);
  EXPECT_EQ(a[1], 1);
  EXPECT_EQ(a[2], 0);
  EXPECT_NEAR(a[3], std::sqrt(2.0), 1e-15);
  Matrix indefinite{1, 2, 2, 1};
  EXPECT_FALSE(FactorCholesky(indefinite.data(), nullptr, 2));

  // A Hermitian B^H B + I: R^H R gives it back.
  constexpr int32_t n = 4;
  Matrix b = RandomMatrix(n, n, 4, true);
  Matrix h = Product(Adjoint(b, n, n, true), b, n, n, n, true);
  for (int32_t i = 0; i < n; i++) h[i * n + i] += 1;
  Matrix r = h;
  ASSERT_TRUE(FactorCholesky(r.data(), r.data() + n * n, n));
  EXPECT_LE(DistanceBetween(Product(Adjoint(r, n, n, true), r, n, n, n, true), h),
            1e-14 * FrobeniusNorm(h));
}

}  // namespace
}  // namespace vke
