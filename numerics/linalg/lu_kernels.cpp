// The LU kernels: partial pivoting with physical row swaps, real and complex.
// The columns right of a block of steps receive that block's updates
// together, row by row, each element still in step order, so that the
// result is the one of eliminating one column at a time.
#include "numerics/linalg/lu_kernels.hpp"

#include <algorithm>
#include <cmath>

namespace vke {

namespace {

// Steps whose updates of the columns right of them are applied together.
constexpr int32_t kBlock = 16;

// One element of either kind of matrix: the real and (kCx) imaginary part
// at an index.
template <bool kCx>
struct Entries {
  double* re;
  double* im;
  int32_t n;

  double* Row(double* block, int32_t i) const { return block + int64_t(i) * n; }
  double Size(int32_t i, int32_t k) const {
    const int64_t at = int64_t(i) * n + k;
    return kCx ? re[at] * re[at] + im[at] * im[at] : std::abs(re[at]);
  }
  void SwapRows(int32_t i, int32_t j) const {
    std::swap_ranges(Row(re, i), Row(re, i) + n, Row(re, j));
    if (kCx) std::swap_ranges(Row(im, i), Row(im, i) + n, Row(im, j));
  }
  // Row i loses l times row k over columns [from, to), l being the
  // multiplier stored at (i, k).
  void Eliminate(int32_t i, int32_t k, int32_t from, int32_t to) const {
    double* row = Row(re, i);
    const double* pivotRow = Row(re, k);
    const double lRe = row[k];
    if (!kCx) {
      for (int32_t j = from; j < to; j++) row[j] -= lRe * pivotRow[j];
      return;
    }
    double* rowIm = Row(im, i);
    const double* pivotIm = Row(im, k);
    const double lIm = rowIm[k];
    for (int32_t j = from; j < to; j++) {
      row[j] -= lRe * pivotRow[j] - lIm * pivotIm[j];
      rowIm[j] -= lRe * pivotIm[j] + lIm * pivotRow[j];
    }
  }
  // Replaces (i, k) by its multiplier for pivot row k: a[i][k] / a[k][k],
  // for complex values a[i][k] conj(a[k][k]) / |a[k][k]|^2.
  void MakeMultiplier(int32_t i, int32_t k) const {
    const int64_t at = int64_t(i) * n + k, pivot = int64_t(k) * n + k;
    if (!kCx) {
      re[at] /= re[pivot];
      return;
    }
    const double size = re[pivot] * re[pivot] + im[pivot] * im[pivot];
    const double lRe = (re[at] * re[pivot] + im[at] * im[pivot]) / size;
    const double lIm = (im[at] * re[pivot] - re[at] * im[pivot]) / size;
    re[at] = lRe;
    im[at] = lIm;
  }
};

template <bool kCx>
void FactorLU(double* re, double* im, int32_t m, int32_t n, int32_t* perm) {
  const Entries<kCx> a{re, im, n};
  for (int32_t i = 0; i < m; i++) perm[i] = i;
  const int32_t steps = std::min(m - 1, n);
  bool eliminated[kBlock];
  for (int32_t k0 = 0; k0 < steps; k0 += kBlock) {
    const int32_t k1 = std::min(k0 + kBlock, steps);
    // The block's own columns, one step at a time. The pivot is the first
    // row of strictly the largest size; a zero pivot eliminates nothing.
    for (int32_t k = k0; k < k1; k++) {
      int32_t p = k;
      double largest = a.Size(k, k);
      for (int32_t i = k + 1; i < m; i++) {
        const double s = a.Size(i, k);
        if (s > largest) {
          largest = s;
          p = i;
        }
      }
      std::swap(perm[k], perm[p]);
      if (p != k) a.SwapRows(k, p);
      eliminated[k - k0] = a.Size(k, k) != 0;
      if (!eliminated[k - k0]) continue;
      for (int32_t i = k + 1; i < m; i++) {
        a.MakeMultiplier(i, k);
        a.Eliminate(i, k, k + 1, k1);
      }
    }
    // The columns right of the block: row r takes the steps above it.
    for (int32_t r = k0 + 1; r < m; r++) {
      for (int32_t k = k0; k < std::min(r, k1); k++) {
        if (eliminated[k - k0]) a.Eliminate(r, k, k1, n);
      }
    }
  }
}

}  // namespace

void FactorLUReal(double* a, int32_t m, int32_t n, int32_t* perm) {
  FactorLU<false>(a, nullptr, m, n, perm);
}

void FactorLUComplex(double* re, double* im, int32_t m, int32_t n, int32_t* perm) {
  FactorLU<true>(re, im, m, n, perm);
}

}  // namespace vke
