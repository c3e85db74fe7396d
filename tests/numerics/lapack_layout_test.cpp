// The layout conversions between engine and LAPACK arrays: where each copy
// puts element (i, j), that every copy has its way back, that leading
// dimensions leave the padding alone, and the triangles of an LU factor.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "numerics/lapack/lapack_binding.hpp"
#include "numerics/lapack/layout_conversions.hpp"

namespace vke {
namespace {

constexpr double kPad = -99;  // what a copy must not touch
constexpr int32_t kRows = 2, kCols = 3;

const std::vector<double> kRe = {1, 2, 3, 4, 5, 6};  // [1 2 3; 4 5 6]
const std::vector<double> kIm = {10, 20, 30, 40, 50, 60};

struct Trip {
  const char* name;
  bool complex;
  int32_t ld;  // leading dimension of the LAPACK array
  std::function<void(double*)> to;
  std::function<void(const double*, double*, double*)> back;
  // LAPACK position (in elements) of engine element (i, j), and the sign
  // of its imaginary part there.
  std::function<int64_t(int32_t, int32_t)> at;
  double imSign = 1;
};

std::vector<Trip> Trips() {
  const int32_t ld = 5;  // larger than either dimension
  auto transposing = [](int32_t l) { return [l](int32_t i, int32_t j) { return i + j * l; }; };
  auto straight = [](int32_t l) { return [l](int32_t i, int32_t j) { return i * l + j; }; };
  const double* re = kRe.data();
  const double* im = kIm.data();
  return {
      {"real transposing", false, kRows,
       [=](double* d) { CopyRealToColumnMajor(re, d, kRows, kCols); },
       [](const double* s, double* r, double*) { CopyRealFromColumnMajor(s, r, kRows, kCols); },
       transposing(kRows)},
      {"real transposing ld", false, ld,
       [=](double* d) { CopyRealToColumnMajorLd(re, d, ld, kRows, kCols); },
       [=](const double* s, double* r, double*) {
         CopyRealFromColumnMajorLd(s, ld, r, kRows, kCols);
       },
       transposing(ld)},
      {"real straight", false, kCols, [=](double* d) { CopyRealStraight(re, d, kRows, kCols); },
       [](const double* s, double* r, double*) { CopyRealStraightBack(s, r, kRows, kCols); },
       straight(kCols)},
      {"real straight ld", false, ld,
       [=](double* d) { CopyRealStraightLd(re, d, ld, kRows, kCols); },
       [=](const double* s, double* r, double*) { CopyRealStraightBackLd(s, ld, r, kCols, kRows); },
       straight(ld)},
      {"complex transposing", true, kRows,
       [=](double* d) { CopyComplexToColumnMajor(re, im, d, kRows, kCols); },
       [](const double* s, double* r, double* i) {
         CopyComplexFromColumnMajor(s, r, i, kRows, kCols);
       },
       transposing(kRows)},
      {"complex transposing ld", true, ld,
       [=](double* d) { CopyComplexToColumnMajorLd(re, im, d, ld, kRows, kCols); },
       [=](const double* s, double* r, double* i) {
         CopyComplexFromColumnMajorLd(s, ld, r, i, kRows, kCols);
       },
       transposing(ld)},
      {"complex straight", true, kCols,
       [=](double* d) { CopyComplexStraight(re, im, d, kRows, kCols); },
       [](const double* s, double* r, double* i) {
         CopyComplexStraightBack(s, r, i, kRows, kCols);
       },
       straight(kCols)},
      {"conjugating", true, kCols,
       [=](double* d) { CopyConjugateStraight(re, im, d, kRows, kCols); },
       [](const double* s, double* r, double* i) {
         CopyConjugateStraightBack(s, r, i, kRows, kCols);
       },
       straight(kCols), -1},
      {"conjugating ld", true, ld,
       [=](double* d) { CopyConjugateStraightLd(re, im, d, ld, kRows, kCols); },
       [=](const double* s, double* r, double* i) {
         CopyConjugateStraightBackLd(s, ld, r, i, kCols, kRows);
       },
       straight(ld), -1},
  };
}

TEST(LapackLayout, EveryCopyPlacesElementsAndComesBack) {
  for (const Trip& t : Trips()) {
    SCOPED_TRACE(t.name);
    const int parts = t.complex ? 2 : 1;
    std::vector<double> lapack(parts * 5 * 5, kPad);
    t.to(lapack.data());
    int64_t written = 0;
    for (int32_t i = 0; i < kRows; i++) {
      for (int32_t j = 0; j < kCols; j++) {
        const double* x = &lapack[parts * t.at(i, j)];
        EXPECT_EQ(x[0], kRe[i * kCols + j]) << i << "," << j;
        if (t.complex) {
          EXPECT_EQ(x[1], t.imSign * kIm[i * kCols + j]) << i << "," << j;
        }
        written++;
      }
    }
    int64_t untouched = 0;
    for (double v : lapack) untouched += v == kPad;
    EXPECT_EQ(untouched, int64_t(lapack.size()) - parts * written) << "padding overwritten";

    std::vector<double> re(kRows * kCols, 0), im(kRows * kCols, 0);
    t.back(lapack.data(), re.data(), im.data());
    EXPECT_EQ(re, kRe);
    if (t.complex) {
      EXPECT_EQ(im, kIm);
    }
  }
}

TEST(LapackLayout, MissingImaginaryPartsAreZerosAndNotWritten) {
  std::vector<double> lapack(12, kPad);
  CopyComplexToColumnMajor(kRe.data(), nullptr, lapack.data(), kRows, kCols);
  for (int k = 0; k < 6; k++) EXPECT_EQ(lapack[2 * k + 1], 0);
  CopyConjugateStraight(kRe.data(), nullptr, lapack.data(), kRows, kCols);
  for (int k = 0; k < 6; k++) EXPECT_EQ(lapack[2 * k + 1], 0);  // -0 compares equal
  // Read back as the 3 x 2 transpose, real parts only.
  std::vector<double> re(6, 0);
  CopyComplexFromColumnMajor(lapack.data(), re.data(), nullptr, kCols, kRows);
  EXPECT_EQ(re, (std::vector<double>{1, 4, 2, 5, 3, 6}));
}

TEST(LapackLayout, StraightRowIsColumnAndEmptiesWriteNothing) {
  // A 1 x 3 row copied straight, read column-major with ld 3, is a 3 x 1
  // column: element (i, 0) at i.
  std::vector<double> col(3, kPad);
  CopyRealStraight(kRe.data(), col.data(), 1, 3);
  EXPECT_EQ(col, (std::vector<double>{1, 2, 3}));
  std::vector<double> dst(4, kPad);
  CopyRealToColumnMajor(kRe.data(), dst.data(), 0, 3);
  CopyComplexStraight(kRe.data(), kIm.data(), dst.data(), 2, 0);
  ExtractUpperTriangle(kRe.data(), dst.data(), 0, 2);
  EXPECT_EQ(dst, std::vector<double>(4, kPad));
}

TEST(LapackLayout, BuildersAndEigenvectorPairs) {
  std::vector<double> d(6, kPad);
  MakeDiagonalMatrix(kRe.data(), d.data(), 2, 3);
  EXPECT_EQ(d, (std::vector<double>{1, 0, 0, 0, 2, 0}));
  std::vector<double> re(6), im(6);
  const double v[] = {1, -1, 2, -2};
  MakeComplexDiagonalMatrix(v, re.data(), im.data(), 3, 2);
  EXPECT_EQ(re, (std::vector<double>{1, 0, 0, 2, 0, 0}));
  EXPECT_EQ(im, (std::vector<double>{-1, 0, 0, -2, 0, 0}));
  std::vector<double> eye(8, kPad);
  SetComplexIdentity(eye.data(), 2);
  EXPECT_EQ(eye, (std::vector<double>{1, 0, 0, 0, 0, 0, 1, 0}));

  // VR columns (1, 2, 3), (4, 5, 6), (7, 8, 9); eigenvalue imaginary parts
  // 0, 2, -2: column 0 stays real, columns 1 and 2 are conjugates.
  const double vr[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  const double wi[] = {0, 2, -2};
  std::vector<double> vre(9), vim(9);
  UnpackRealEigenvectors(vr, wi, vre.data(), vim.data(), 3);
  EXPECT_EQ(vre, (std::vector<double>{1, 4, 4, 2, 5, 5, 3, 6, 6}));
  EXPECT_EQ(vim, (std::vector<double>{0, 7, -7, 0, 8, -8, 0, 9, -9}));
}

// L U (n x n engine arrays).
std::vector<double> Product(const std::vector<double>& l, const std::vector<double>& u, int n) {
  std::vector<double> p(n * n, 0);
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++)
      for (int k = 0; k < n; k++) p[i * n + j] += l[i * n + k] * u[k * n + j];
  return p;
}

TEST(LapackLayout, TrianglesOfAnLuFactorRebuildTheMatrix) {
  const int n = 3;
  const std::vector<double> a = {1, 2, 0, 4, 1, 3, 2, 8, 1};  // pivoting moves rows
  std::vector<double> f(n * n);
  CopyRealToColumnMajor(a.data(), f.data(), n, n);
  LapackInt ln = n, info = -1, pivots[n];
  dgetrf_(&ln, &ln, f.data(), &ln, pivots, &info);
  ASSERT_EQ(info, 0);
  int32_t perm[n] = {0, 1, 2};
  for (int k = 0; k < n; k++) std::swap(perm[k], perm[pivots[k] - 1]);
  std::vector<double> u(n * n), l(n * n), pl(n * n);
  ExtractUpperTriangle(f.data(), u.data(), n, n);
  for (int i = 0; i < n; i++) f[i * n + i] = 1;
  ExtractLowerTriangle(f.data(), l.data(), n, n);
  ExtractPermutedLowerTriangle(f.data(), pl.data(), n, n, perm);

  const std::vector<double> lu = Product(l, u, n), plu = Product(pl, u, n);
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) {
      EXPECT_NEAR(lu[i * n + j], a[perm[i] * n + j], 1e-14) << "L U = P A at " << i << "," << j;
      EXPECT_NEAR(plu[i * n + j], a[i * n + j], 1e-14) << "L U = A at " << i << "," << j;
    }
  }
  // A 2 x 3 upper trapezoid from a factor with ld 4; a lower triangle wider
  // than the factor gets zeros to its right only.
  std::vector<double> factor(12);
  for (int k = 0; k < 12; k++) factor[k] = k + 1;
  std::vector<double> up(6);
  ExtractUpperTriangleLd(factor.data(), 4, up.data(), 2, 3);
  EXPECT_EQ(up, (std::vector<double>{1, 5, 9, 0, 6, 10}));
  std::vector<double> low(6, kPad);
  ExtractLowerTriangle(factor.data(), low.data(), 2, 3);
  EXPECT_EQ(low, (std::vector<double>{1, 0, 0, 2, 4, 0}));
}

}  // namespace
}  // namespace vke
