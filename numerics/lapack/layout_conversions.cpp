// The layout conversions of the "!lapack" natives: one tiled mover serves
// every copy in both directions; the triangles share one extractor.
#include "numerics/lapack/layout_conversions.hpp"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace vke {

namespace {

// Where engine element (i, j) sits in the LAPACK array: at element
// i * rowStep + j * colStep.
struct Walk {
  int64_t rowStep;
  int64_t colStep;
};
Walk Transposing(int64_t ld) {
  return {1, ld};
}
Walk Straight(int64_t ld) {
  return {ld, 1};
}

// Rows and columns of one tile: small enough that a transposing walk keeps
// both sides in the cache.
constexpr int32_t kTile = 32;

// Moves the elements of row i, columns j0 .. j1 - 1, between the engine
// blocks and the LAPACK array (kParts 1 real, 2 interleaved complex), the
// LAPACK side starting at l and colStep elements apart. The imaginary parts
// are multiplied by imSign; a missing engine imaginary block reads as zeros
// and is not written.
template <bool kToLapack, int kParts, bool kContiguous>
void MoveRow(double* re, double* im, double imSign, double* l, int64_t colStep, int32_t j0,
             int32_t j1) {
  const int64_t step = kContiguous ? kParts : kParts * colStep;
  for (int32_t j = j0; j < j1; j++, l += step) {
    if constexpr (kToLapack) {
      l[0] = re[j];
      if constexpr (kParts == 2) l[1] = im ? imSign * im[j] : 0.0;
    } else {
      re[j] = l[0];
      if constexpr (kParts == 2) {
        if (im) im[j] = imSign * l[1];
      }
    }
  }
}

// Moves rows x cols elements: a straight walk row by row, where both sides
// run in memory order, a transposing one tile by tile.
template <bool kToLapack, int kParts>
void Move(double* re, double* im, double imSign, double* lapack, Walk w, int32_t rows,
          int32_t cols) {
  auto row = [&](int32_t i, int32_t j0, int32_t j1, auto contiguous) {
    const int64_t e = int64_t{i} * cols;
    double* l = lapack + kParts * (i * w.rowStep + j0 * w.colStep);
    MoveRow<kToLapack, kParts, decltype(contiguous)::value>(re + e, im ? im + e : nullptr, imSign,
                                                            l, w.colStep, j0, j1);
  };
  if (w.colStep == 1) {
    for (int32_t i = 0; i < rows; i++) row(i, 0, cols, std::true_type{});
    return;
  }
  for (int32_t i0 = 0; i0 < rows; i0 += kTile) {
    const int32_t i1 = std::min(rows, i0 + kTile);
    for (int32_t j0 = 0; j0 < cols; j0 += kTile) {
      const int32_t j1 = std::min(cols, j0 + kTile);
      for (int32_t i = i0; i < i1; i++) row(i, j0, j1, std::false_type{});
    }
  }
}

template <int kParts>
void ToLapack(const double* re, const double* im, double imSign, double* dst, Walk w, int32_t rows,
              int32_t cols) {
  Move<true, kParts>(const_cast<double*>(re), const_cast<double*>(im), imSign, dst, w, rows, cols);
}

template <int kParts>
void FromLapack(const double* src, double* re, double* im, double imSign, Walk w, int32_t rows,
                int32_t cols) {
  Move<false, kParts>(re, im, imSign, const_cast<double*>(src), w, rows, cols);
}

// Rows of a triangle taken from a LAPACK factor: row i of the result (row
// perm[i] with a permutation) holds the factor's entries on the kept side of
// the diagonal (j >= i upper, j <= i lower) and zeros elsewhere; tile by
// tile, as the copies.
template <int kParts>
void Triangle(const double* f, int64_t ld, double* re, double* im, int32_t rows, int32_t cols,
              bool upper, const int32_t* perm) {
  for (int32_t i0 = 0; i0 < rows; i0 += kTile) {
    const int32_t i1 = std::min(rows, i0 + kTile);
    for (int32_t j0 = 0; j0 < cols; j0 += kTile) {
      const int32_t j1 = std::min(cols, j0 + kTile);
      for (int32_t i = i0; i < i1; i++) {
        double* r = re + int64_t{perm ? perm[i] : i} * cols;
        double* m = kParts == 2 ? im + (r - re) : nullptr;
        const double* x = f + kParts * (i + j0 * ld);
        for (int32_t j = j0; j < j1; j++, x += kParts * ld) {
          const bool kept = upper ? j >= i : j <= i;
          r[j] = kept ? x[0] : 0.0;
          if constexpr (kParts == 2) m[j] = kept ? x[1] : 0.0;
        }
      }
    }
  }
}

}  // namespace

void CopyRealToColumnMajor(const double* src, double* dst, int32_t rows, int32_t cols) {
  ToLapack<1>(src, nullptr, 1, dst, Transposing(rows), rows, cols);
}

void CopyRealToColumnMajorLd(const double* src, double* dst, int32_t ld, int32_t rows,
                             int32_t cols) {
  ToLapack<1>(src, nullptr, 1, dst, Transposing(ld), rows, cols);
}

void CopyComplexToColumnMajor(const double* re, const double* im, double* dst, int32_t rows,
                              int32_t cols) {
  ToLapack<2>(re, im, 1, dst, Transposing(rows), rows, cols);
}

void CopyComplexToColumnMajorLd(const double* re, const double* im, double* dst, int32_t ld,
                                int32_t rows, int32_t cols) {
  ToLapack<2>(re, im, 1, dst, Transposing(ld), rows, cols);
}

void CopyRealStraight(const double* src, double* dst, int32_t rows, int32_t cols) {
  ToLapack<1>(src, nullptr, 1, dst, Straight(cols), rows, cols);
}

void CopyRealStraightLd(const double* src, double* dst, int32_t ld, int32_t rows, int32_t cols) {
  ToLapack<1>(src, nullptr, 1, dst, Straight(ld), rows, cols);
}

void CopyComplexStraight(const double* re, const double* im, double* dst, int32_t rows,
                         int32_t cols) {
  ToLapack<2>(re, im, 1, dst, Straight(cols), rows, cols);
}

void CopyConjugateStraight(const double* re, const double* im, double* dst, int32_t rows,
                           int32_t cols) {
  ToLapack<2>(re, im, -1, dst, Straight(cols), rows, cols);
}

void CopyConjugateStraightLd(const double* re, const double* im, double* dst, int32_t ld,
                             int32_t rows, int32_t cols) {
  ToLapack<2>(re, im, -1, dst, Straight(ld), rows, cols);
}

void CopyRealFromColumnMajor(const double* src, double* dst, int32_t rows, int32_t cols) {
  FromLapack<1>(src, dst, nullptr, 1, Transposing(rows), rows, cols);
}

void CopyRealFromColumnMajorLd(const double* src, int32_t ld, double* dst, int32_t rows,
                               int32_t cols) {
  FromLapack<1>(src, dst, nullptr, 1, Transposing(ld), rows, cols);
}

void CopyComplexFromColumnMajor(const double* src, double* re, double* im, int32_t rows,
                                int32_t cols) {
  FromLapack<2>(src, re, im, 1, Transposing(rows), rows, cols);
}

void CopyComplexFromColumnMajorLd(const double* src, int32_t ld, double* re, double* im,
                                  int32_t rows, int32_t cols) {
  FromLapack<2>(src, re, im, 1, Transposing(ld), rows, cols);
}

void CopyRealStraightBack(const double* src, double* dst, int32_t rows, int32_t cols) {
  FromLapack<1>(src, dst, nullptr, 1, Straight(cols), rows, cols);
}

void CopyRealStraightBackLd(const double* src, int32_t ld, double* dst, int32_t c, int32_t r) {
  FromLapack<1>(src, dst, nullptr, 1, Straight(ld), r, c);
}

void CopyComplexStraightBack(const double* src, double* re, double* im, int32_t rows,
                             int32_t cols) {
  FromLapack<2>(src, re, im, 1, Straight(cols), rows, cols);
}

void CopyConjugateStraightBack(const double* src, double* re, double* im, int32_t rows,
                               int32_t cols) {
  FromLapack<2>(src, re, im, -1, Straight(cols), rows, cols);
}

void CopyConjugateStraightBackLd(const double* src, int32_t ld, double* re, double* im, int32_t c,
                                 int32_t r) {
  FromLapack<2>(src, re, im, -1, Straight(ld), r, c);
}

void SetRealIdentity(double* dst, int32_t n) {
  std::fill(dst, dst + int64_t{n} * n, 0.0);
  for (int32_t i = 0; i < n; i++) dst[int64_t{i} * n + i] = 1;
}

void SetComplexIdentity(double* dst, int32_t n) {
  std::fill(dst, dst + 2 * int64_t{n} * n, 0.0);
  for (int32_t i = 0; i < n; i++) dst[2 * (int64_t{i} * n + i)] = 1;
}

void MakeDiagonalMatrix(const double* v, double* dst, int32_t rows, int32_t cols) {
  std::fill(dst, dst + int64_t{rows} * cols, 0.0);
  for (int32_t i = 0; i < std::min(rows, cols); i++) dst[int64_t{i} * cols + i] = v[i];
}

void MakeComplexDiagonalMatrix(const double* v, double* re, double* im, int32_t rows,
                               int32_t cols) {
  std::fill(re, re + int64_t{rows} * cols, 0.0);
  std::fill(im, im + int64_t{rows} * cols, 0.0);
  for (int32_t i = 0; i < std::min(rows, cols); i++) {
    re[int64_t{i} * cols + i] = v[2 * i];
    im[int64_t{i} * cols + i] = v[2 * i + 1];
  }
}

void ExtractLowerTriangle(const double* factor, double* dst, int32_t n, int32_t cols) {
  Triangle<1>(factor, n, dst, nullptr, n, cols, false, nullptr);
}

void ExtractComplexLowerTriangle(const double* factor, double* re, double* im, int32_t n,
                                 int32_t cols) {
  Triangle<2>(factor, n, re, im, n, cols, false, nullptr);
}

void ExtractPermutedLowerTriangle(const double* factor, double* dst, int32_t n, int32_t cols,
                                  const int32_t* perm) {
  Triangle<1>(factor, n, dst, nullptr, n, cols, false, perm);
}

void ExtractComplexPermutedLowerTriangle(const double* factor, double* re, double* im, int32_t n,
                                         int32_t cols, const int32_t* perm) {
  Triangle<2>(factor, n, re, im, n, cols, false, perm);
}

void ExtractUpperTriangle(const double* factor, double* dst, int32_t rows, int32_t cols) {
  Triangle<1>(factor, rows, dst, nullptr, rows, cols, true, nullptr);
}

void ExtractUpperTriangleLd(const double* factor, int32_t ld, double* dst, int32_t rows,
                            int32_t cols) {
  Triangle<1>(factor, ld, dst, nullptr, rows, cols, true, nullptr);
}

void ExtractComplexUpperTriangle(const double* factor, double* re, double* im, int32_t rows,
                                 int32_t cols) {
  Triangle<2>(factor, rows, re, im, rows, cols, true, nullptr);
}

void ExtractComplexUpperTriangleLd(const double* factor, int32_t ld, double* re, double* im,
                                   int32_t rows, int32_t cols) {
  Triangle<2>(factor, ld, re, im, rows, cols, true, nullptr);
}

void FillWithInfinity(double* dst, int32_t rows, int32_t cols) {
  std::fill(dst, dst + int64_t{rows} * cols, std::numeric_limits<double>::infinity());
}

void UnpackRealEigenvectors(const double* vr, const double* wi, double* re, double* im, int32_t n) {
  for (int32_t j = 0; j < n;) {
    // A pair needs its second column; a lone last column stays real.
    const bool pair = wi[j] != 0 && j + 1 < n;
    for (int32_t r = 0; r < n; r++) {
      const double x = vr[r + int64_t{j} * n];
      const double y = pair ? vr[r + int64_t{j + 1} * n] : 0.0;
      re[int64_t{r} * n + j] = x;
      im[int64_t{r} * n + j] = y;
      if (pair) {
        re[int64_t{r} * n + j + 1] = x;
        im[int64_t{r} * n + j + 1] = -y;
      }
    }
    j += pair ? 2 : 1;
  }
}

}  // namespace vke
