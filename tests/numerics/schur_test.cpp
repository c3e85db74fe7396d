// Real and complex Schur forms, the real-to-complex conversion and the
// Parlett recurrence, against the reference LAPACK and the exponential.
#include <gtest/gtest.h>

#include <limits>

#include "numerics/kernels/dense_kernels.hpp"
#include "tests/numerics/dense_support.hpp"

namespace vke {
namespace {

using namespace test;

// The eigenvalues on the diagonal of a real Schur form, 2 x 2 blocks solved.
std::vector<Cx> RealSchurEigenvalues(const Matrix& t, int32_t n) {
  std::vector<Cx> out;
  for (int32_t i = 0; i < n; i++) {
    if (i + 1 == n || t[(i + 1) * n + i] == 0) {
      out.push_back(t[i * n + i]);
      continue;
    }
    double a = t[i * n + i], b = t[i * n + i + 1], c = t[(i + 1) * n + i],
           d = t[(i + 1) * n + i + 1];
    Cx mid = (a + d) / 2, root = std::sqrt(Cx((a - d) * (a - d) / 4 + b * c));
    out.push_back(mid + root);
    out.push_back(mid - root);
    i++;
  }
  return out;
}

std::vector<Cx> LapackRealEigenvalues(const Matrix& a, int32_t n) {
  std::vector<Cx> col = ToColumnOrder(a, n, n, false);
  Matrix work(64 * n), wr(n), wi(n), data(size_t(n) * n);
  for (size_t i = 0; i < data.size(); i++) data[i] = col[i].real();
  int sdim = 0, lwork = 64 * n, info = 0;
  dgees_("N", "N", nullptr, &n, data.data(), &n, &sdim, wr.data(), wi.data(), nullptr, &n,
         work.data(), &lwork, nullptr, &info, 1, 1);
  EXPECT_EQ(info, 0);
  std::vector<Cx> out;
  for (int32_t i = 0; i < n; i++) out.push_back({wr[i], wi[i]});
  return out;
}

std::vector<Cx> LapackComplexEigenvalues(const Matrix& a, int32_t n) {
  std::vector<Cx> data = ToColumnOrder(a, n, n, true), w(n), work(64 * n);
  Matrix rwork(n);
  int sdim = 0, lwork = 64 * n, info = 0;
  zgees_("N", "N", nullptr, &n, reinterpret_cast<double*>(data.data()), &n, &sdim,
         reinterpret_cast<double*>(w.data()), nullptr, &n, reinterpret_cast<double*>(work.data()),
         &lwork, rwork.data(), nullptr, &info, 1, 1);
  EXPECT_EQ(info, 0);
  return w;
}

// Quasi-triangular with exact zeros (2 x 2 blocks only for complex pairs,
// never two in a row) or, for complex forms, triangular.
void ExpectSchurShape(const Matrix& t, int32_t n, bool complex) {
  size_t nn = size_t(n) * n;
  for (int32_t i = 1; i < n; i++) {
    for (int32_t j = 0; j < i; j++) {
      bool sub = j == i - 1;
      if (complex || !sub) {
        EXPECT_EQ(t[i * n + j], 0) << i << "," << j;
        if (complex) {
          EXPECT_EQ(t[nn + i * n + j], 0) << i << "," << j;
        }
      } else if (t[i * n + j] != 0 && i + 1 < n) {
        EXPECT_EQ(t[(i + 1) * n + i], 0) << i;
      }
    }
  }
}

TEST(SchurTest, RealSmallCases) {
  uint8_t pair = 9;
  double work[4];
  double rotation[] = {0, -1, 1, 0}, q[4];
  EXPECT_TRUE(ComputeRealSchurForm(rotation, 2, q, &pair, work));
  EXPECT_EQ(pair, 1);
  EXPECT_NE(rotation[2], 0);
  EXPECT_NEAR(rotation[0], 0, 1e-15);

  double one[] = {5}, q1[] = {7};
  EXPECT_TRUE(ComputeRealSchurForm(one, 1, q1, &pair, work));
  EXPECT_EQ(one[0], 5);
  EXPECT_EQ(q1[0], 1);
  EXPECT_EQ(pair, 0);
  EXPECT_FALSE(ComputeRealSchurForm(one, 0, q1, &pair, work));

  // Real eigenvalues 1, 2, 3 (and a repeated one): triangular, flag 0.
  const Matrix a{2, 1, 0, 1, 3, 1, 0, 1, 4}, b{1, 1, 0, 1};
  for (const Matrix& m : {a, b}) {
    int32_t n = m.size() == 9 ? 3 : 2;
    Matrix t = m, qm(m.size()), w(n);
    ASSERT_TRUE(ComputeRealSchurForm(t.data(), n, qm.data(), &pair, w.data()));
    EXPECT_EQ(pair, 0);
    for (int32_t i = 1; i < n; i++) EXPECT_EQ(t[i * n + i - 1], 0);
    EXPECT_LE(SimilarityResidual(qm, t, m, n, false), 1e-14);
  }
}

TEST(SchurTest, RandomRealMatricesMatchLapack) {
  for (uint32_t seed = 1; seed <= 50; seed++) {
    SCOPED_TRACE(seed);
    constexpr int32_t n = 8;
    const Matrix a = RandomMatrix(n, n, seed);
    Matrix t = a, q(a.size()), work(n);
    uint8_t pair = 0;
    ASSERT_TRUE(ComputeRealSchurForm(t.data(), n, q.data(), &pair, work.data()));
    EXPECT_LE(SimilarityResidual(q, t, a, n, false), 1e-13);
    ExpectSchurShape(t, n, false);
    std::vector<Cx> ours = RealSchurEigenvalues(t, n);
    bool anyComplex = std::any_of(ours.begin(), ours.end(), [](Cx x) { return x.imag() != 0; });
    EXPECT_EQ(pair, anyComplex ? 1 : 0);
    EXPECT_LE(EigenvalueMismatch(ours, LapackRealEigenvalues(a, n)), 1e-12);

    // The complex form of it: triangular, positive imaginary part first.
    Matrix tc(2 * a.size()), qc(2 * a.size());
    std::copy(t.begin(), t.end(), tc.begin());
    std::copy(q.begin(), q.end(), qc.begin());
    RealToComplexSchur(tc.data(), tc.data() + n * n, qc.data(), qc.data() + n * n, n);
    Matrix ac(2 * a.size());
    std::copy(a.begin(), a.end(), ac.begin());
    EXPECT_LE(SimilarityResidual(qc, tc, ac, n, true), 1e-13);
    ExpectSchurShape(tc, n, true);
    for (int32_t i = 0; i + 1 < n; i++) {
      if (t[(i + 1) * n + i] == 0) continue;
      EXPECT_GT(tc[n * n + i * n + i], 0);
      EXPECT_LT(tc[n * n + (i + 1) * n + i + 1], 0);
      i++;
    }
  }
}

TEST(SchurTest, RandomComplexMatricesMatchLapack) {
  for (uint32_t seed = 1; seed <= 50; seed++) {
    SCOPED_TRACE(seed);
    constexpr int32_t n = 6;
    const Matrix a = RandomMatrix(n, n, seed + 100, true);
    Matrix t = a, q(a.size()), work(2 * n);
    ASSERT_TRUE(ComputeComplexSchurForm(t.data(), t.data() + n * n, n, q.data(), q.data() + n * n,
                                        work.data()));
    EXPECT_LE(SimilarityResidual(q, t, a, n, true), 1e-13);
    ExpectSchurShape(t, n, true);
    std::vector<Cx> ours;
    for (int32_t i = 0; i < n; i++) ours.push_back({t[i * n + i], t[n * n + i * n + i]});
    EXPECT_LE(EigenvalueMismatch(ours, LapackComplexEigenvalues(a, n)), 1e-12);
  }
}

TEST(SchurTest, ComplexPairsConverge) {
  // Three rotation-scaling blocks, hidden by an orthogonal similarity.
  constexpr int32_t n = 6;
  Matrix d(n * n, 0.0);
  const double pairs[3][2] = {{1, 2}, {-0.5, 1}, {3, 0.25}};
  for (int32_t k = 0; k < 3; k++) {
    int32_t i = 2 * k;
    d[i * n + i] = d[(i + 1) * n + i + 1] = pairs[k][0];
    d[i * n + i + 1] = pairs[k][1];
    d[(i + 1) * n + i] = -pairs[k][1];
  }
  Matrix q(n * n), r = RandomMatrix(n, n, 3), work(n);
  FactorQRHouseholder(r.data(), n, n, q.data(), nullptr, work.data());
  const Matrix a = Product(Product(q, d, n, n, n, false), Adjoint(q, n, n, false), n, n, n, false);
  Matrix t = a, z(n * n);
  uint8_t pair = 0;
  ASSERT_TRUE(ComputeRealSchurForm(t.data(), n, z.data(), &pair, work.data()));
  EXPECT_EQ(pair, 1);
  EXPECT_LE(SimilarityResidual(z, t, a, n, false), 1e-13);
  EXPECT_LE(EigenvalueMismatch(RealSchurEigenvalues(t, n), LapackRealEigenvalues(a, n)), 1e-12);
}

// A Jordan block with a small superdiagonal e, far from 0 and hidden by an
// orthogonal similarity: its eigenvalues lie within about e of each other,
// and both kernels still split it off within their budget.
TEST(SchurTest, NearlyDefectiveMatricesConverge) {
  constexpr int32_t n = 4;
  Matrix q(n * n), r = RandomMatrix(n, n, 5), work(2 * n);
  FactorQRHouseholder(r.data(), n, n, q.data(), nullptr, work.data());
  for (double e : {1e-4, 1e-6, 1e-8, 1e-10}) {
    for (bool complex : {false, true}) {
      SCOPED_TRACE(std::to_string(e) + (complex ? " complex" : " real"));
      // lambda I + e N, N the ones above the diagonal; lambda = 3 or 0.2 + 0.9i.
      Matrix j(complex ? 2 * n * n : n * n, 0.0), qc = q;
      if (complex) qc.resize(2 * n * n, 0.0);
      for (int32_t i = 0; i < n; i++) {
        j[i * n + i] = complex ? 0.2 : 3;
        if (complex) j[n * n + i * n + i] = 0.9;
        if (i + 1 < n) j[i * n + i + 1] = e;
      }
      const Matrix a =
          Product(Product(qc, j, n, n, n, complex), Adjoint(qc, n, n, complex), n, n, n, complex);
      Matrix t = a, z(a.size());
      if (complex) {
        ASSERT_TRUE(ComputeComplexSchurForm(t.data(), t.data() + n * n, n, z.data(),
                                            z.data() + n * n, work.data()));
      } else {
        ASSERT_TRUE(ComputeRealSchurForm(t.data(), n, z.data(), nullptr, work.data()));
      }
      EXPECT_LE(SimilarityResidual(z, t, a, n, complex), 1e-14);
      ExpectSchurShape(t, n, complex);
    }
  }
}

TEST(SchurTest, NonFiniteInputEndsWithinTheBudget) {
  constexpr int32_t n = 5;
  for (double bad :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    Matrix a = RandomMatrix(n, n, 9, true);
    a[7] = bad;
    Matrix t = a, q(a.size()), work(2 * n);
    uint8_t pair;
    EXPECT_FALSE(ComputeRealSchurForm(t.data(), n, q.data(), &pair, work.data()));
    t = a;
    EXPECT_FALSE(ComputeComplexSchurForm(t.data(), t.data() + n * n, n, q.data(), q.data() + n * n,
                                         work.data()));
  }
}

TEST(SchurTest, ParlettExponential) {
  constexpr int32_t n = 5;
  for (bool realInput : {false, true}) {
    SCOPED_TRACE(realInput ? "real" : "complex");
    Matrix a = RandomMatrix(n, n, 21, true);
    if (realInput) std::fill(a.begin() + n * n, a.end(), 0.0);
    Matrix t = a, u(a.size()), work(2 * n);
    ASSERT_TRUE(ComputeComplexSchurForm(t.data(), t.data() + n * n, n, u.data(), u.data() + n * n,
                                        work.data()));
    Matrix f(a.size(), 0.0);
    for (int32_t i = 0; i < n; i++) {
      Cx e = std::exp(Cx(t[i * n + i], t[n * n + i * n + i]));
      f[i * n + i] = e.real();
      f[n * n + i * n + i] = e.imag();
    }
    uint8_t isComplex = 9;
    double estimate = -1;
    EXPECT_TRUE(ParlettMatrixFunction(t.data(), t.data() + n * n, u.data(), u.data() + n * n, n,
                                      f.data(), f.data() + n * n, nullptr, nullptr, &isComplex,
                                      &estimate));
    Matrix copy = a, expected(a.size()), expWork(2 * n + 4 * n * n);
    ExpmComplex(copy.data(), n, expected.data(), expWork.data());
    EXPECT_LE(DistanceBetween(f, expected), 1e-12 * FrobeniusNorm(expected));
    EXPECT_EQ(isComplex, realInput ? 0 : 1);
    EXPECT_GE(estimate, kKernelEps);
    EXPECT_LT(estimate, 1e-10);
  }
}

// f of [t 1; 0 t] behind a rotation: the derivative fills the confluent
// entry, and without it the entry stays and the estimate says so.
TEST(SchurTest, ParlettConfluentPairs) {
  struct Case {
    double f, df;
    Matrix expected;
  };
  for (const Case& c : {Case{1, 0.5, {1, 0.5, 0, 1}}, Case{0, 1, {0, 1, 0, 0}}}) {
    Matrix t{1, 1, 0, 1, 0, 0, 0, 0}, u{1, 0, 0, 1, 0, 0, 0, 0};
    Matrix f{c.f, 0, 0, c.f, 0, 0, 0, 0};
    double dfRe[] = {c.df, c.df}, dfIm[] = {0, 0}, estimate;
    uint8_t isComplex;
    ParlettMatrixFunction(t.data(), t.data() + 4, u.data(), u.data() + 4, 2, f.data(), f.data() + 4,
                          dfRe, dfIm, &isComplex, &estimate);
    EXPECT_EQ(Matrix(f.begin(), f.begin() + 4), c.expected);
    EXPECT_EQ(isComplex, 0);
    EXPECT_LT(estimate, 1e-12);
  }
  Matrix t{1, 1, 0, 1, 0, 0, 0, 0}, u{1, 0, 0, 1, 0, 0, 0, 0}, f{2, 0, 0, 2, 0, 0, 0, 0};
  double estimate;
  ParlettMatrixFunction(t.data(), t.data() + 4, u.data(), u.data() + 4, 2, f.data(), f.data() + 4,
                        nullptr, nullptr, nullptr, &estimate);
  EXPECT_EQ(f[1], 0);
  EXPECT_EQ(estimate, 1);
  // A diagonal block with equal entries gives zeros, not an estimate of 1.
  Matrix t3(18, 0.0), u3(18, 0.0), f3(18, 0.0);
  for (int32_t i = 0; i < 3; i++) t3[i * 4] = u3[i * 4] = f3[i * 4] = 1;
  t3[8] = 2;  // T = diag(1, 1, 2)
  ParlettMatrixFunction(t3.data(), t3.data() + 9, u3.data(), u3.data() + 9, 3, f3.data(),
                        f3.data() + 9, nullptr, nullptr, nullptr, &estimate);
  EXPECT_EQ(f3[1], 0);
  EXPECT_LT(estimate, 1e-12);
}

TEST(SchurTest, ParlettKeepsAnInfiniteValueInItsPlace) {
  // The logarithm of diag(0, 1, 2): -Inf stays on the diagonal, with exact
  // zeros beside it, not NaN.
  const double inf = std::numeric_limits<double>::infinity();
  Matrix t(18, 0.0), u(18, 0.0), f(18, 0.0);
  for (int32_t i = 0; i < 3; i++) {
    t[i * 4] = i;
    u[i * 4] = 1;
  }
  f[0] = -inf;
  f[8] = std::log(2.0);
  uint8_t isComplex;
  ParlettMatrixFunction(t.data(), t.data() + 9, u.data(), u.data() + 9, 3, f.data(), f.data() + 9,
                        nullptr, nullptr, &isComplex, nullptr);
  EXPECT_EQ(Matrix(f.begin(), f.begin() + 9), (Matrix{-inf, 0, 0, 0, 0, 0, 0, 0, std::log(2.0)}));
  EXPECT_EQ(Matrix(f.begin() + 9, f.end()), Matrix(9, 0.0));
  EXPECT_EQ(isComplex, 0);
}

// Exchanging neighbouring eigenvalues of a triangular form keeps the
// similarity and the triangle, with or without a coupling between them.
TEST(SchurSwap, ExchangesNeighbouringEigenvalues) {
  for (bool complex : {false, true}) {
    for (double coupling : {0.0, 0.75}) {
      SCOPED_TRACE(std::string(complex ? "complex" : "real") + (coupling ? "" : ", uncoupled"));
      const int32_t n = 4;
      Matrix t = RandomMatrix(n, n, 11, complex);
      const size_t nn = size_t(n) * n;
      for (int32_t i = 0; i < n; i++) {
        for (int32_t j = 0; j < i; j++) {
          t[i * n + j] = 0;
          if (complex) t[nn + i * n + j] = 0;
        }
      }
      t[1 * n + 2] = coupling;
      if (complex) t[nn + 1 * n + 2] = coupling / 3;
      const Matrix original = t;
      Matrix q(nn * (complex ? 2 : 1), 0.0);
      for (int32_t i = 0; i < n; i++) q[i * n + i] = 1;
      SwapSchurDiagonalPair(t.data(), complex ? t.data() + nn : nullptr, q.data(),
                            complex ? q.data() + nn : nullptr, n, 1);
      EXPECT_LE(SimilarityResidual(q, t, original, n, complex), 1e-15);
      EXPECT_NEAR(t[1 * n + 1], original[2 * n + 2], 1e-15);
      EXPECT_NEAR(t[2 * n + 2], original[1 * n + 1], 1e-15);
      EXPECT_EQ(t[2 * n + 1], 0.0);
      if (complex) {
        EXPECT_NEAR(t[nn + 1 * n + 1], original[nn + 2 * n + 2], 1e-15);
      }
    }
  }
}

}  // namespace
}  // namespace vke
