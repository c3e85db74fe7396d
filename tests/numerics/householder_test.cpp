// Householder reflections, Hessenberg reduction and QR factorisation.
#include <gtest/gtest.h>

#include "numerics/kernels/dense_kernels.hpp"
#include "tests/numerics/dense_support.hpp"

namespace vke {
namespace {

using namespace test;

TEST(HouseholderTest, VectorsMapOntoFirstAxis) {
  const double x[] = {3, 4};
  double v[2], beta;
  MakeHouseholderVector(x, 2, 1, v, &beta);
  EXPECT_DOUBLE_EQ(v[0], 2);
  EXPECT_DOUBLE_EQ(v[1], 1);
  EXPECT_DOUBLE_EQ(beta, 0.4);
  double hx[] = {3, 4};
  ApplyHouseholderLeft(hx, 2, 1, v, beta, 0, 2);
  EXPECT_NEAR(hx[0], -5, 1e-15);
  EXPECT_NEAR(hx[1], 0, 1e-15);

  // A zero source at a stride is the identity reflection.
  const double zero[] = {0, 9, 0, 9};
  MakeHouseholderVector(zero, 2, 2, v, &beta);
  EXPECT_EQ(v[0], 0);
  EXPECT_EQ(v[1], 0);
  EXPECT_EQ(beta, 1);

  // Complex: a leading 0 takes sigma as its real part; otherwise the leading
  // element keeps its phase and x maps onto -(x0/|x0|) ||x||.
  const double re0[] = {0, 3}, im0[] = {0, 4};
  double vr[2], vi[2];
  MakeHouseholderVectorComplex(re0, im0, 2, 1, vr, vi, &beta);
  EXPECT_DOUBLE_EQ(vr[0], 1);
  EXPECT_EQ(vi[0], 0);
  const double re[] = {0, 2}, im[] = {1, 2};  // (i, 2 + 2i), norm 3
  MakeHouseholderVectorComplex(re, im, 2, 1, vr, vi, &beta);
  double ar[] = {0, 2}, ai[] = {1, 2};
  ApplyHouseholderLeftComplex(ar, ai, 2, 1, vr, vi, beta, 0, 2);
  EXPECT_NEAR(ar[0], 0, 1e-15);
  EXPECT_NEAR(ai[0], -3, 1e-15);
  EXPECT_NEAR(std::hypot(ar[1], ai[1]), 0, 1e-15);
  // Applied from the right, the complex reflection clamps its columns to n.
  double row[] = {0, 1, 2, 1};
  ApplyHouseholderRightComplex(row, row + 2, 1, 2, vr, vi, beta, 0, 5);
  EXPECT_TRUE(std::isfinite(row[0]) && std::isfinite(row[3]));
}

TEST(HouseholderTest, HessenbergReduction) {
  for (bool complex : {false, true}) {
    SCOPED_TRACE(complex ? "complex" : "real");
    constexpr int32_t n = 7;
    const Matrix a = RandomMatrix(n, n, 11, complex);
    Matrix h = a, q(a.size()), work(2 * n);
    size_t nn = size_t(n) * n;
    if (complex) {
      ReduceToHessenbergHouseholderComplex(h.data(), h.data() + nn, n, q.data(), q.data() + nn,
                                           work.data());
    } else {
      ReduceToHessenbergHouseholder(h.data(), n, q.data(), work.data());
    }
    EXPECT_LE(SimilarityResidual(q, h, a, n, complex), 1e-14);
    for (size_t part = 0; part < (complex ? 2u : 1u); part++) {
      for (int32_t i = 2; i < n; i++) {
        for (int32_t j = 0; j < i - 1; j++) EXPECT_EQ(h[part * nn + i * n + j], 0);
      }
    }
  }
  // Up to 2 x 2 nothing changes and Q is the identity.
  double a2[] = {1, 2, 3, 4}, q2[4], w[2];
  ReduceToHessenbergHouseholder(a2, 2, q2, w);
  EXPECT_EQ(Matrix(a2, a2 + 4), (Matrix{1, 2, 3, 4}));
  EXPECT_EQ(Matrix(q2, q2 + 4), (Matrix{1, 0, 0, 1}));
}

// A P = Q R with R upper trapezoidal and exactly zero below the diagonal.
void ExpectFactored(const Matrix& a, const Matrix& r, const Matrix& q,
                    const std::vector<uint32_t>& permutation, int32_t m, int32_t n, bool complex) {
  size_t block = size_t(m) * n;
  Matrix ap(a.size());
  for (size_t part = 0; part < (complex ? 2u : 1u); part++) {
    for (int32_t i = 0; i < m; i++) {
      for (int32_t j = 0; j < n; j++) {
        ap[part * block + i * n + j] = a[part * block + i * n + permutation[j]];
        if (j < i) {
          EXPECT_EQ(r[part * block + i * n + j], 0);
        }
      }
    }
  }
  EXPECT_LE(DistanceBetween(Product(q, r, m, m, n, complex), ap), 1e-14 * FrobeniusNorm(a));
}

TEST(HouseholderTest, PivotedQRStopsAtTheRank) {
  for (bool complex : {false, true}) {
    SCOPED_TRACE(complex ? "complex" : "real");
    constexpr int32_t m = 5, n = 4;
    // Columns 1 and 3 are zero; column 2 is the larger of the other two.
    Matrix a = RandomMatrix(m, n, 5, complex);
    for (size_t part = 0; part < (complex ? 2u : 1u); part++) {
      for (int32_t i = 0; i < m; i++) {
        double* row = a.data() + part * m * n + i * n;
        row[1] = row[3] = 0;
        row[2] *= 4;
      }
    }
    Matrix r = a, q(size_t(m) * m * (complex ? 2 : 1)), work(2 * m + n);
    std::vector<uint32_t> permutation(n);
    if (complex) {
      FactorQRHouseholderComplex(r.data(), r.data() + m * n, m, n, q.data(), q.data() + m * m,
                                 permutation.data(), work.data());
    } else {
      FactorQRHouseholder(r.data(), m, n, q.data(), permutation.data(), work.data());
    }
    EXPECT_EQ(permutation, (std::vector<uint32_t>{2, 0, 1, 3}));
    ExpectFactored(a, r, q, permutation, m, n, complex);
    for (int32_t i = 2; i < m; i++) {
      for (int32_t j = 0; j < n; j++) EXPECT_EQ(r[i * n + j], 0);
    }
  }
}

TEST(HouseholderTest, QRMatchesLapack) {
  for (auto [m, n] : {std::pair{6, 4}, std::pair{4, 6}, std::pair{5, 5}}) {
    SCOPED_TRACE(testing::Message() << m << "x" << n);
    const Matrix a = RandomMatrix(m, n, uint32_t(m * 10 + n));
    std::vector<Cx> columns = ToColumnOrder(a, m, n, false);
    Matrix ref(size_t(m) * n), tau(n), lwork(256);
    for (size_t i = 0; i < ref.size(); i++) ref[i] = columns[i].real();
    int lw = 256, info = 0;
    dgeqrf_(&m, &n, ref.data(), &m, tau.data(), lwork.data(), &lw, &info);
    ASSERT_EQ(info, 0);

    Matrix r = a, q(size_t(m) * m), work(m);
    FactorQRHouseholder(r.data(), m, n, q.data(), nullptr, work.data());
    ExpectFactored(a, r, q, {0, 1, 2, 3, 4, 5}, m, n, false);
    for (int32_t i = 0; i < std::min(m, n); i++) {
      double sign = (r[i * n + i] < 0) == (ref[i * m + i] < 0) ? 1 : -1;
      for (int32_t j = i; j < n; j++) EXPECT_NEAR(r[i * n + j], sign * ref[j * m + i], 1e-14);
    }

    // Pivoted: the same column order and the same R up to row signs.
    std::vector<int> jpvt(n, 0);
    for (size_t i = 0; i < ref.size(); i++) ref[i] = columns[i].real();
    dgeqp3_(&m, &n, ref.data(), &m, jpvt.data(), tau.data(), lwork.data(), &lw, &info);
    ASSERT_EQ(info, 0);
    std::vector<uint32_t> permutation(n);
    r = a;
    work.resize(m + n);
    FactorQRHouseholder(r.data(), m, n, q.data(), permutation.data(), work.data());
    ExpectFactored(a, r, q, permutation, m, n, false);
    for (int32_t j = 0; j < n; j++) EXPECT_EQ(permutation[j] + 1, uint32_t(jpvt[j]));
    for (int32_t i = 0; i < std::min(m, n); i++) {
      EXPECT_NEAR(std::fabs(r[i * n + i]), std::fabs(ref[i * m + i]), 1e-14);
    }
  }
}

}  // namespace
}  // namespace vke
