// Polynomials from their roots and characteristic polynomials: real roots,
// roots matched into conjugate pairs, the eigenvalues of a real matrix, and
// the reduction of a complex matrix to companion form.
#include <cmath>
#include <cstring>

#include "builtins/complex_num.hpp"
#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

// c = the monic product of (z - root(i)) for i < n, in complex arithmetic.
void PolyFromComplexRoots(const double* re, const double* im, int32_t n, double* cRe, double* cIm) {
  cRe[0] = 1;
  cIm[0] = 0;
  for (int32_t i = 1; i <= n; i++) {
    cRe[i] = cIm[i] = 0;
    Num z{re[i - 1], im[i - 1]};
    for (int32_t j = i; j >= 1; j--) {
      Num step = Times<true>(Num{cRe[j - 1], cIm[j - 1]}, z);
      cRe[j] -= step.re;
      cIm[j] -= step.im;
    }
  }
}

// Elimination on a complex matrix addressed through a row and column
// permutation.
struct Permuted {
  double* re;
  double* im;
  int32_t n;
  const uint32_t* p;

  int64_t At(int32_t i, int32_t j) const { return int64_t(p[i]) * n + p[j]; }
  Num Get(int32_t i, int32_t j) const { return {re[At(i, j)], im[At(i, j)]}; }
  // Row (or column) i += factor times row (column) j, over all columns
  // (rows) in storage order.
  void AddRow(int32_t i, int32_t j, Num factor) {
    double *ri = re + int64_t(p[i]) * n, *ii = im + int64_t(p[i]) * n;
    double *rj = re + int64_t(p[j]) * n, *ij = im + int64_t(p[j]) * n;
    for (int32_t c = 0; c < n; c++) {
      Num x = Times<true>(factor, Num{rj[c], ij[c]});
      ri[c] += x.re;
      ii[c] += x.im;
    }
  }
  void AddColumn(int32_t i, int32_t j, Num factor) {
    for (int32_t r = 0; r < n; r++) {
      int64_t to = int64_t(r) * n + p[i], from = int64_t(r) * n + p[j];
      Num x = Times<true>(factor, Num{re[from], im[from]});
      re[to] += x.re;
      im[to] += x.im;
    }
  }
  void ScaleRow(int32_t i, Num factor) {
    for (int32_t c = 0; c < n; c++) Scale(int64_t(p[i]) * n + c, factor);
  }
  void ScaleColumn(int32_t j, Num factor) {
    for (int32_t r = 0; r < n; r++) Scale(int64_t(r) * n + p[j], factor);
  }
  void Scale(int64_t at, Num factor) {
    Num x = Times<true>(factor, Num{re[at], im[at]});
    re[at] = x.re;
    im[at] = x.im;
  }
};

}  // namespace

void PolyFromRealRoots(const double* roots, int32_t n, double* c) {
  c[0] = 1;
  for (int32_t i = 1; i <= n; i++) {
    c[i] = 0;
    for (int32_t j = i; j >= 1; j--) c[j] -= c[j - 1] * roots[i - 1];
  }
}

bool MatchConjugatePairs(const double* re, const double* im, int32_t n, double* cRe, double* cIm) {
  uint8_t* flags = reinterpret_cast<uint8_t*>(cRe);
  std::memset(flags, 0, size_t(n > 0 ? n : 0));
  bool paired = true;
  for (int32_t i = 0; i < n && paired; i++) {
    if (flags[i] || im[i] == 0) continue;
    paired = false;
    for (int32_t j = i + 1; j < n && !std::isnan(im[i]); j++) {
      if (!flags[j] && -im[j] == im[i]) {
        flags[j] = 1;
        paired = true;
        break;
      }
    }
  }
  PolyFromComplexRoots(re, im, n, cRe, cIm);
  return paired;
}

bool ComputeComplexCharPoly(double* aRe, double* aIm, int32_t n, double* cRe, double* cIm,
                            uint32_t* index, double* work) {
  for (int32_t i = 0; i < n; i++) index[i] = uint32_t(i);
  Permuted a{aRe, aIm, n, index};
  for (int32_t k = 1; k < n; k++) {
    int32_t best = k;
    double largest = -1;
    for (int32_t i = k; i < n; i++) {
      Num x = a.Get(i, k - 1);
      double size = std::fabs(x.re) + std::fabs(x.im);
      if (size > largest) {
        largest = size;
        best = i;
      }
    }
    std::swap(index[k], index[best]);
    Num pivot = a.Get(k, k - 1);
    if (IsZero<true>(pivot)) {
      // The matrix is still similar to the input: take the polynomial from
      // its eigenvalues, the diagonal of its Schur form.
      if (!ComputeComplexSchurForm(aRe, aIm, n, nullptr, nullptr, work)) return false;
      for (int32_t i = 0; i < n; i++) {
        work[i] = aRe[int64_t(i) * n + i];
        work[n + i] = aIm[int64_t(i) * n + i];
      }
      PolyFromComplexRoots(work, work + n, n, cRe, cIm);
      return true;
    }
    double size = pivot.re * pivot.re + pivot.im * pivot.im;
    a.ScaleColumn(k, pivot);
    a.ScaleRow(k, Num{pivot.re / size, -pivot.im / size});
    for (int32_t j = k + 1; j < n; j++) {
      Num t = a.Get(j, k - 1);
      a.AddRow(j, k, Num{-t.re, -t.im});
      a.AddColumn(k, j, t);
    }
  }
  for (int32_t k = n - 1; k >= 1; k--) {
    for (int32_t j = k; j < n; j++) {
      Num t = a.Get(k, j);
      a.AddColumn(j, k - 1, Num{-t.re, -t.im});
      a.AddRow(k - 1, j, t);
    }
  }
  cRe[0] = 1;
  cIm[0] = 0;
  for (int32_t k = 0; k < n; k++) {
    cRe[k + 1] = -aRe[index[k]];
    cIm[k + 1] = -aIm[index[k]];
  }
  return true;
}

int32_t ComputeRealCharPoly(double* a, int32_t n, double* c, double* work) {
  uint32_t* index = reinterpret_cast<uint32_t*>(work);
  double *re = work + n, *im = work + 2 * int64_t(n), *cIm = work + 3 * int64_t(n);
  if (!ComputeRealEigenvalues(a, n, index, re, im)) return kKernelFailed;
  return MatchConjugatePairs(re, im, n, c, cIm) ? 1 : 0;
}

bool ComputeRealEigenvaluesPaired(double* a, int32_t n, double* c, double* work) {
  return ComputeRealCharPoly(a, n, c, work) == 1;
}

}  // namespace vke
