// Eigenvalue kernels, balancing, characteristic polynomials and polynomial
// roots.
#include <gtest/gtest.h>

#include <limits>

#include "numerics/kernels/dense_kernels.hpp"
#include "tests/numerics/dense_support.hpp"

extern "C" {
void dsyev_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w,
            double* work, const int* lwork, int* info, size_t, size_t);
}

namespace vke {
namespace {

using namespace test;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<Cx> Eigenvalues(Matrix a, int32_t n, bool* ok) {
  std::vector<uint32_t> index(n);
  Matrix re(n), im(n);
  *ok = ComputeRealEigenvalues(a.data(), n, index.data(), re.data(), im.data());
  std::vector<Cx> out;
  for (int32_t i = 0; i < n; i++) out.push_back({re[i], im[i]});
  return out;
}

TEST(EigenvalueTest, RealMatricesMatchLapack) {
  bool ok = false;
  std::vector<Cx> companion = Eigenvalues({6, -11, 6, 1, 0, 0, 0, 1, 0}, 3, &ok);
  ASSERT_TRUE(ok);
  EXPECT_LE(EigenvalueMismatch(companion, {3, 2, 1}), 1e-12);

  for (uint32_t seed = 1; seed <= 20; seed++) {
    SCOPED_TRACE(seed);
    int n = 10;
    const Matrix a = RandomMatrix(n, n, seed + 300);
    std::vector<Cx> ours = Eigenvalues(a, n, &ok);
    ASSERT_TRUE(ok);
    Matrix col(n * n), wr(n), wi(n), work(64 * n);
    for (int i = 0; i < n; i++) {
      for (int j = 0; j < n; j++) col[j * n + i] = a[i * n + j];
    }
    int lwork = 64 * n, info = 0, one = 1;
    dgeev_("N", "N", &n, col.data(), &n, wr.data(), wi.data(), nullptr, &one, nullptr, &one,
           work.data(), &lwork, &info, 1, 1);
    ASSERT_EQ(info, 0);
    std::vector<Cx> theirs;
    double largest = 0;
    for (int i = 0; i < n; i++) {
      theirs.push_back({wr[i], wi[i]});
      largest = std::max(largest, std::abs(theirs.back()));
    }
    EXPECT_LE(EigenvalueMismatch(ours, theirs), 1e-10 * largest);
  }

  // A zero matrix needs no iteration; a 2 x 2 block with equal eigenvalues
  // gives imaginary parts +0 and -0.
  EXPECT_EQ(Eigenvalues(Matrix(9, 0.0), 3, &ok), (std::vector<Cx>{0, 0, 0}));
  EXPECT_TRUE(ok);
  std::vector<Cx> repeated = Eigenvalues({1, 1, 0, 1}, 2, &ok);
  EXPECT_EQ(repeated, (std::vector<Cx>{1, 1}));
  for (double bad : {kNaN, std::numeric_limits<double>::infinity()}) {
    Matrix a = RandomMatrix(6, 6, 2);
    a[8] = bad;
    Eigenvalues(a, 6, &ok);
    EXPECT_FALSE(ok);
  }
}

TEST(EigenvalueTest, SymmetricJacobi) {
  Matrix a{2, 1, 1, 2}, d(2), v(4), work(4);
  EigSymmetricJacobi(a.data(), 2, d.data(), v.data(), work.data());
  std::sort(d.begin(), d.end());
  EXPECT_NEAR(d[0], 1, 1e-15);
  EXPECT_NEAR(d[1], 3, 1e-15);
  EXPECT_LE(DistanceBetween(Product(v, Adjoint(v, 2, 2, false), 2, 2, 2, false), {1, 0, 0, 1}),
            1e-15);

  for (uint32_t seed = 1; seed <= 10; seed++) {
    SCOPED_TRACE(seed);
    int n = 20;
    Matrix s = RandomMatrix(n, n, seed + 500);
    for (int i = 0; i < n; i++) {
      for (int j = 0; j < i; j++) s[i * n + j] = s[j * n + i];
    }
    Matrix copy = s, values(n), vectors(n * n), scratch(2 * n);
    EigSymmetricJacobi(copy.data(), n, values.data(), vectors.data(), scratch.data());
    Matrix identity(n * n, 0.0);
    for (int i = 0; i < n; i++) identity[i * n + i] = 1;
    EXPECT_LE(
        DistanceBetween(Product(vectors, Adjoint(vectors, n, n, false), n, n, n, false), identity),
        1e-13);
    Matrix ref = s, w(n), lw(64 * n);
    int lwork = 64 * n, info = 0;
    dsyev_("N", "U", &n, ref.data(), &n, w.data(), lw.data(), &lwork, &info, 1, 1);
    ASSERT_EQ(info, 0);
    std::sort(values.begin(), values.end());
    double largest = std::max(std::fabs(w[0]), std::fabs(w[n - 1]));
    for (int i = 0; i < n; i++) EXPECT_NEAR(values[i], w[i], 1e-12 * largest);
  }
}

TEST(EigenvalueTest, BalancingByPowersOfTwo) {
  constexpr int32_t n = 4;
  Matrix a{1, 1e6, 0, 3, 1e-6, 2, 1e4, 0, 0, 1e-4, 3, 7, 5e-3, 0, 1, 4};
  for (bool complex : {false, true}) {
    Matrix b = a;
    if (complex) b.insert(b.end(), a.rbegin(), a.rend());
    Matrix balanced = b, scale(n);
    BalanceMatrix(balanced.data(), complex ? balanced.data() + n * n : nullptr, n, scale.data());
    bool moved = false;
    for (int32_t i = 0; i < n; i++) {
      int exponent;
      EXPECT_EQ(std::frexp(scale[i], &exponent), 0.5) << scale[i];
      moved = moved || scale[i] != 1;
    }
    EXPECT_TRUE(moved);
    for (size_t part = 0; part < (complex ? 2u : 1u); part++) {
      for (int32_t i = 0; i < n; i++) {
        for (int32_t j = 0; j < n; j++) {
          size_t at = part * n * n + i * n + j;
          EXPECT_EQ(balanced[at], b[at] / scale[i] * scale[j]);
        }
      }
    }
  }
  // Non-finite entries end the passes.
  Matrix bad{kNaN, 1, 1e9, std::numeric_limits<double>::infinity()}, badScale(2);
  BalanceMatrix(bad.data(), nullptr, 2, badScale.data());
  Matrix nanSym{1, kNaN, kNaN, 1}, d(2), work(4);
  EigSymmetricJacobi(nanSym.data(), 2, d.data(), nullptr, work.data());
  EXPECT_EQ(d, (Matrix{1, 1}));

  // A zero row keeps its index at scale 1.
  Matrix z{0, 0, 5, 1}, scale(2);
  BalanceMatrix(z.data(), nullptr, 2, scale.data());
  EXPECT_EQ(scale[0], 1);
}

TEST(EigenvalueTest, CharacteristicPolynomials) {
  Matrix c(4), ci(4);
  const double roots[] = {1, 2, 3};
  PolyFromRealRoots(roots, 3, c.data());
  EXPECT_EQ(c, (Matrix{1, -6, 11, -6}));
  PolyFromRealRoots(roots, 0, c.data());
  EXPECT_EQ(c[0], 1);

  // Only the imaginary parts are paired: 1+2i and 3-2i count as a pair.
  const double re[] = {1, 3}, im[] = {2, -2};
  EXPECT_TRUE(MatchConjugatePairs(re, im, 2, c.data(), ci.data()));
  EXPECT_FALSE(MatchConjugatePairs(re, re, 2, c.data(), ci.data()));
  const double nanIm[] = {kNaN, 0};
  EXPECT_FALSE(MatchConjugatePairs(re, nanIm, 2, c.data(), ci.data()));
  EXPECT_TRUE(MatchConjugatePairs(re, im, 0, c.data(), ci.data()));
  EXPECT_EQ(c[0], 1);

  // A zero pivot takes the route through the eigenvalues.
  Matrix diagonal{0, 0, 0, 2, 1, 0, 0, 0};
  std::vector<uint32_t> index(2);
  Matrix work(4);
  ASSERT_TRUE(ComputeComplexCharPoly(diagonal.data(), diagonal.data() + 4, 2, c.data(), ci.data(),
                                     index.data(), work.data()));
  EXPECT_EQ(Matrix(c.begin(), c.begin() + 3), (Matrix{1, -2, 0}));
  EXPECT_EQ(Matrix(ci.begin(), ci.begin() + 3), (Matrix{0, -1, 2}));
  Matrix full = RandomMatrix(3, 3, 8, true), copy = full, cr(4), cim(4), w3(6);
  std::vector<uint32_t> index3(3);
  ASSERT_TRUE(ComputeComplexCharPoly(copy.data(), copy.data() + 9, 3, cr.data(), cim.data(),
                                     index3.data(), w3.data()));
  // The trace is the negated second coefficient.
  EXPECT_NEAR(cr[1], -(full[0] + full[4] + full[8]), 1e-14);
  EXPECT_NEAR(cim[1], -(full[9] + full[13] + full[17]), 1e-14);

  Matrix rotation{0, -1, 1, 0}, scratch(9);
  EXPECT_EQ(ComputeRealCharPoly(rotation.data(), 2, c.data(), scratch.data()), 1);
  EXPECT_NEAR(c[0], 1, 0);
  EXPECT_NEAR(c[1], 0, 1e-15);
  EXPECT_NEAR(c[2], 1, 1e-15);
  Matrix broken{kNaN, 1, 1, 0};
  EXPECT_EQ(ComputeRealCharPoly(broken.data(), 2, c.data(), scratch.data()), kKernelFailed);
  broken = {kNaN, 1, 1, 0};
  EXPECT_FALSE(ComputeRealEigenvaluesPaired(broken.data(), 2, c.data(), scratch.data()));
}

class RootsTest : public ::testing::Test {
 protected:
  void TearDown() override { gRootKernelFaults = RootKernelFaults{}; }

  int32_t RealRoots(Matrix c, Matrix* re, Matrix* im) {
    int32_t n = int32_t(c.size()) - 1;
    re->assign(n, -7);
    im->assign(n, -7);
    Matrix work(n * n + n);
    return ComputeRealPolynomialRoots(c.data(), n, re->data(), im->data(), work.data());
  }
};

TEST_F(RootsTest, CompanionRoute) {
  Matrix re, im;
  EXPECT_EQ(RealRoots({1, -3, 2}, &re, &im), 0);
  EXPECT_NEAR(re[0], 2, 1e-15);
  EXPECT_NEAR(re[1], 1, 1e-15);
  EXPECT_EQ(RealRoots({1, 0, 1}, &re, &im), 1);
  EXPECT_NEAR(im[0], 1, 1e-15);
  EXPECT_NEAR(im[1], -1, 1e-15);
  EXPECT_EQ(RealRoots({2, 4, 0, 0}, &re, &im), 0);
  EXPECT_EQ(re, (Matrix{-2, 0, 0}));
  EXPECT_EQ(RealRoots({0, 1, 2}, &re, &im), kKernelFailed);

  // Complex coefficients: (z - i)(z - 2) and z (z + 1).
  Matrix cr{1, -2, 0}, ci{0, -1, 2}, work(2 * 4 + 4), r(2), i(2);
  ASSERT_TRUE(
      ComputeComplexPolynomialRoots(cr.data(), ci.data(), 2, r.data(), i.data(), work.data()));
  EXPECT_LE(EigenvalueMismatch({{r[0], i[0]}, {r[1], i[1]}}, {{0, 1}, {2, 0}}), 1e-14);
  Matrix zr{1, 1, 0}, zi{0, 0, 0};
  ASSERT_TRUE(
      ComputeComplexPolynomialRoots(zr.data(), zi.data(), 2, r.data(), i.data(), work.data()));
  EXPECT_EQ(r, (Matrix{-1, 0}));
  Matrix lead0{0, 1, 1}, lead0i{0, 0, 0};
  EXPECT_FALSE(ComputeComplexPolynomialRoots(lead0.data(), lead0i.data(), 2, r.data(), i.data(),
                                             work.data()));
}

TEST_F(RootsTest, LaguerreFallback) {
  gRootKernelFaults.companion = true;
  Matrix re, im;
  // (z - 1)(z - 2)(z - 3) and (z^2 + 1)(z - 2)(z + 4).
  EXPECT_EQ(RealRoots({1, -6, 11, -6}, &re, &im), 0);
  EXPECT_LE(EigenvalueMismatch({re[0], re[1], re[2]}, {1, 2, 3}), 1e-9);
  EXPECT_EQ(RealRoots({1, 2, -7, 2, -8}, &re, &im), 1);
  std::vector<Cx> found;
  for (int k = 0; k < 4; k++) found.push_back({re[k], im[k]});
  EXPECT_LE(EigenvalueMismatch(found, {{0, 1}, {0, -1}, 2, -4}), 1e-9);
  // Degree 2 is solved in closed form.
  EXPECT_EQ(RealRoots({1, -3, 2}, &re, &im), 0);
  EXPECT_EQ(re, (Matrix{2, 1}));

  // A complex polynomial: (z - i)(z - 1 - i)(z + 2).
  Matrix cr{1, 1, -3, -2}, ci{0, -2, -3, 2}, work(2 * 9 + 6), r(3), i(3);
  ASSERT_TRUE(
      ComputeComplexPolynomialRoots(cr.data(), ci.data(), 3, r.data(), i.data(), work.data()));
  EXPECT_LE(EigenvalueMismatch({{r[0], i[0]}, {r[1], i[1]}, {r[2], i[2]}}, {{0, 1}, {1, 1}, -2}),
            1e-9);

  // When every Laguerre run fails, the kernels give up after a bounded
  // number of starts.
  gRootKernelFaults.laguerre = true;
  EXPECT_EQ(RealRoots({1, -6, 11, -6}, &re, &im), kKernelFailed);
  cr = {1, 1, -3, -2};
  ci = {0, -2, -3, 2};
  EXPECT_FALSE(
      ComputeComplexPolynomialRoots(cr.data(), ci.data(), 3, r.data(), i.data(), work.data()));
  const Matrix c{1, -6, 11, -6};
  Matrix copy(4);
  EXPECT_FALSE(FindRealPolynomialRootsOnCopy(c.data(), 3, re.data(), im.data(), copy.data()));
  gRootKernelFaults.laguerre = false;
  EXPECT_TRUE(FindRealPolynomialRootsOnCopy(c.data(), 3, re.data(), im.data(), copy.data()));
  EXPECT_EQ(c, (Matrix{1, -6, 11, -6}));
}

// NaN coefficients end the iterations: the real kernel fails, the complex
// one shows them in the roots.
TEST_F(RootsTest, NonFiniteCoefficientsEnd) {
  auto anyNaN = [](const Matrix& re, const Matrix& im) {
    return std::any_of(re.begin(), re.end(), [](double x) { return std::isnan(x); }) ||
           std::any_of(im.begin(), im.end(), [](double x) { return std::isnan(x); });
  };
  Matrix re, im;
  EXPECT_EQ(RealRoots({1, kNaN, 2, 1}, &re, &im), kKernelFailed);
  Matrix cr{1, 2, kNaN, 1}, ci{0, 1, 0, 0}, work(24), r(3), i(3);
  ComputeComplexPolynomialRoots(cr.data(), ci.data(), 3, r.data(), i.data(), work.data());
  EXPECT_TRUE(anyNaN(r, i));
}

}  // namespace
}  // namespace vke
