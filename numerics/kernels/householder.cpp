// Householder reflections, their application from either side, and the two
// factorisations made of them: reduction to Hessenberg form and QR with and
// without column pivoting. Real and complex matrices run through one
// template; the complex one conjugates where the real one multiplies.
#include <algorithm>
#include <cmath>

#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/kernels/householder_ranges.hpp"

namespace vke {

namespace {

// Columns whose sums one pass of the left application gathers, so that the
// rows are read along their storage.
constexpr int32_t kColumnBlock = 64;

template <bool kCx>
void MakeVector(const double* xRe, const double* xIm, int32_t len, int64_t stride, double* vRe,
                double* vIm, double* beta) {
  // The largest modulus (squared for complex values), the first of equals.
  double amax = 0;
  for (int32_t i = 0; i < len; i++) {
    double re = xRe[i * stride];
    double size = kCx ? re * re + xIm[i * stride] * xIm[i * stride] : std::fabs(re);
    if (size > amax) amax = size;
  }
  if (!(amax > 0)) {
    std::fill(vRe, vRe + len, 0.0);
    if (kCx) std::fill(vIm, vIm + len, 0.0);
    *beta = 1;
    return;
  }
  double scale = 1 / (kCx ? std::sqrt(amax) : amax);
  double sum = 0;
  for (int32_t i = 0; i < len; i++) {
    vRe[i] = xRe[i * stride] * scale;
    sum += vRe[i] * vRe[i];
    if (kCx) {
      vIm[i] = xIm[i * stride] * scale;
      sum += vIm[i] * vIm[i];
    }
  }
  double sigma = std::sqrt(sum);
  if (!kCx) {
    *beta = 1 / ((std::fabs(vRe[0]) + sigma) * sigma);
    vRe[0] += vRe[0] >= 0 ? sigma : -sigma;
    return;
  }
  double lead = std::hypot(vRe[0], vIm[0]);
  *beta = 1 / ((lead + sigma) * sigma);
  if (lead == 0) {
    vRe[0] = sigma;
  } else {
    double grow = 1 + sigma / lead;
    vRe[0] *= grow;
    vIm[0] *= grow;
  }
}

}  // namespace

template <bool kCx>
void ApplyReflectionLeft(double* aRe, double* aIm, int32_t m, int32_t n, const double* vRe,
                         const double* vIm, double beta, int32_t k, int32_t lim,
                         int32_t firstColumn) {
  int32_t end = std::min(m, lim);
  if (k < 0 || k >= end) return;
  double sRe[kColumnBlock], sIm[kColumnBlock];
  for (int32_t j0 = std::max(firstColumn, 0); j0 < n; j0 += kColumnBlock) {
    int32_t width = std::min(kColumnBlock, n - j0);
    std::fill(sRe, sRe + width, 0.0);
    if (kCx) std::fill(sIm, sIm + width, 0.0);
    for (int32_t i = k; i < end; i++) {
      const double* rowRe = aRe + int64_t(i) * n + j0;
      double vr = vRe[i - k];
      if (!kCx) {
        for (int32_t j = 0; j < width; j++) sRe[j] += vr * rowRe[j];
        continue;
      }
      const double* rowIm = aIm + int64_t(i) * n + j0;
      double vi = vIm[i - k];
      for (int32_t j = 0; j < width; j++) {
        sRe[j] += vr * rowRe[j] + vi * rowIm[j];
        sIm[j] += vr * rowIm[j] - vi * rowRe[j];
      }
    }
    for (int32_t j = 0; j < width; j++) {
      sRe[j] *= beta;
      if (kCx) sIm[j] *= beta;
    }
    for (int32_t i = k; i < end; i++) {
      double* rowRe = aRe + int64_t(i) * n + j0;
      double vr = vRe[i - k];
      if (!kCx) {
        for (int32_t j = 0; j < width; j++) rowRe[j] -= sRe[j] * vr;
        continue;
      }
      double* rowIm = aIm + int64_t(i) * n + j0;
      double vi = vIm[i - k];
      for (int32_t j = 0; j < width; j++) {
        rowRe[j] -= sRe[j] * vr - sIm[j] * vi;
        rowIm[j] -= sRe[j] * vi + sIm[j] * vr;
      }
    }
  }
}

template <bool kCx>
void ApplyReflectionRight(double* aRe, double* aIm, int32_t m, int32_t n, const double* vRe,
                          const double* vIm, double beta, int32_t k, int32_t lim, int32_t rowEnd) {
  int32_t end = std::min(n, lim);
  if (k < 0 || k >= end) return;
  int32_t len = end - k;
  for (int32_t r = 0; r < std::min(m, rowEnd); r++) {
    double* rowRe = aRe + int64_t(r) * n + k;
    if (!kCx) {
      double s = 0;
      for (int32_t i = 0; i < len; i++) s += rowRe[i] * vRe[i];
      s *= beta;
      for (int32_t i = 0; i < len; i++) rowRe[i] -= s * vRe[i];
      continue;
    }
    double* rowIm = aIm + int64_t(r) * n + k;
    double sr = 0, si = 0;
    for (int32_t i = 0; i < len; i++) {
      sr += rowRe[i] * vRe[i] - rowIm[i] * vIm[i];
      si += rowRe[i] * vIm[i] + rowIm[i] * vRe[i];
    }
    sr *= beta;
    si *= beta;
    for (int32_t i = 0; i < len; i++) {
      rowRe[i] -= sr * vRe[i] + si * vIm[i];
      rowIm[i] -= si * vRe[i] - sr * vIm[i];
    }
  }
}

template void ApplyReflectionLeft<false>(double*, double*, int32_t, int32_t, const double*,
                                         const double*, double, int32_t, int32_t, int32_t);
template void ApplyReflectionLeft<true>(double*, double*, int32_t, int32_t, const double*,
                                        const double*, double, int32_t, int32_t, int32_t);
template void ApplyReflectionRight<false>(double*, double*, int32_t, int32_t, const double*,
                                          const double*, double, int32_t, int32_t, int32_t);
template void ApplyReflectionRight<true>(double*, double*, int32_t, int32_t, const double*,
                                         const double*, double, int32_t, int32_t, int32_t);

namespace {

void SetIdentity(double* re, double* im, int32_t n) {
  int64_t nn = int64_t(n) * n;
  std::fill(re, re + nn, 0.0);
  if (im) std::fill(im, im + nn, 0.0);
  for (int32_t i = 0; i < n; i++) re[int64_t(i) * n + i] = 1;
}

template <bool kCx>
void ReduceToHessenberg(double* aRe, double* aIm, int32_t n, double* qRe, double* qIm,
                        double* work) {
  if (qRe) SetIdentity(qRe, kCx ? qIm : nullptr, n);
  double* vRe = work;
  double* vIm = kCx ? work + n : nullptr;
  for (int32_t k = 1; k < n - 1; k++) {
    double beta;
    int64_t first = int64_t(k) * n + k - 1;
    MakeVector<kCx>(aRe + first, kCx ? aIm + first : nullptr, n - k, n, vRe, vIm, &beta);
    // Columns left of k - 1 are zero below row k already.
    ApplyReflectionLeft<kCx>(aRe, aIm, n, n, vRe, vIm, beta, k, n, k - 1);
    for (int32_t i = k + 1; i < n; i++) {
      aRe[int64_t(i) * n + k - 1] = 0;
      if (kCx) aIm[int64_t(i) * n + k - 1] = 0;
    }
    ApplyReflectionRight<kCx>(aRe, aIm, n, n, vRe, vIm, beta, k, n, n);
    if (qRe) ApplyReflectionRight<kCx>(qRe, qIm, n, n, vRe, vIm, beta, k, n, n);
  }
}

template <bool kCx>
double SquaredModulus(const double* re, const double* im, int64_t at) {
  return kCx ? re[at] * re[at] + im[at] * im[at] : re[at] * re[at];
}

template <bool kCx>
void FactorQR(double* aRe, double* aIm, int32_t m, int32_t n, double* qRe, double* qIm,
              uint32_t* permutation, double* work) {
  double* vRe = work;
  double* vIm = kCx ? work + m : nullptr;
  double* norm = work + (kCx ? 2 : 1) * int64_t(m);
  if (permutation) {
    for (int32_t j = 0; j < n; j++) {
      permutation[j] = uint32_t(j);
      norm[j] = 0;
      for (int32_t i = 0; i < m; i++) norm[j] += SquaredModulus<kCx>(aRe, aIm, int64_t(i) * n + j);
    }
  }
  if (qRe) SetIdentity(qRe, kCx ? qIm : nullptr, m);
  int32_t steps = std::min(m, n);
  for (int32_t k = 0; k < steps; k++) {
    if (permutation) {
      int32_t best = k;
      for (int32_t j = k + 1; j < n; j++) {
        if (norm[j] > norm[best]) best = j;
      }
      double largest = norm[best];
      // Zero (or NaN) remaining columns: R is complete. Downdating may leave
      // rounding-level negative norms, which count as zero.
      if (!(largest > 0)) break;
      if (best != k) {
        std::swap(permutation[k], permutation[best]);
        norm[best] = norm[k];
        norm[k] = largest;
        for (int32_t i = 0; i < m; i++) {
          std::swap(aRe[int64_t(i) * n + k], aRe[int64_t(i) * n + best]);
          if (kCx) std::swap(aIm[int64_t(i) * n + k], aIm[int64_t(i) * n + best]);
        }
      }
    }
    double beta;
    int64_t first = int64_t(k) * n + k;
    MakeVector<kCx>(aRe + first, kCx ? aIm + first : nullptr, m - k, n, vRe, vIm, &beta);
    ApplyReflectionLeft<kCx>(aRe, aIm, m, n, vRe, vIm, beta, k, m, k);
    if (permutation) {
      for (int32_t j = k + 1; j < n; j++) norm[j] -= SquaredModulus<kCx>(aRe, aIm, first + j - k);
    }
    if (qRe) ApplyReflectionRight<kCx>(qRe, qIm, m, m, vRe, vIm, beta, k, m, m);
  }
  for (int32_t i = 1; i < m; i++) {
    int32_t below = std::min(i, n);
    std::fill(aRe + int64_t(i) * n, aRe + int64_t(i) * n + below, 0.0);
    if (kCx) std::fill(aIm + int64_t(i) * n, aIm + int64_t(i) * n + below, 0.0);
  }
}

}  // namespace

void MakeHouseholderVector(const double* x, int32_t len, int64_t stride, double* v, double* beta) {
  MakeVector<false>(x, nullptr, len, stride, v, nullptr, beta);
}

void MakeHouseholderVectorComplex(const double* xRe, const double* xIm, int32_t len, int64_t stride,
                                  double* vRe, double* vIm, double* beta) {
  MakeVector<true>(xRe, xIm, len, stride, vRe, vIm, beta);
}

void ApplyHouseholderLeft(double* a, int32_t m, int32_t n, const double* v, double beta, int32_t k,
                          int32_t lim) {
  ApplyReflectionLeft<false>(a, nullptr, m, n, v, nullptr, beta, k, lim, 0);
}

void ApplyHouseholderRight(double* a, int32_t m, int32_t n, const double* v, double beta, int32_t k,
                           int32_t lim) {
  ApplyReflectionRight<false>(a, nullptr, m, n, v, nullptr, beta, k, lim, m);
}

void ApplyHouseholderLeftComplex(double* aRe, double* aIm, int32_t m, int32_t n, const double* vRe,
                                 const double* vIm, double beta, int32_t k, int32_t lim) {
  ApplyReflectionLeft<true>(aRe, aIm, m, n, vRe, vIm, beta, k, lim, 0);
}

void ApplyHouseholderRightComplex(double* aRe, double* aIm, int32_t m, int32_t n, const double* vRe,
                                  const double* vIm, double beta, int32_t k, int32_t lim) {
  ApplyReflectionRight<true>(aRe, aIm, m, n, vRe, vIm, beta, k, lim, m);
}

void ReduceToHessenbergHouseholder(double* a, int32_t n, double* q, double* work) {
  ReduceToHessenberg<false>(a, nullptr, n, q, nullptr, work);
}

void ReduceToHessenbergHouseholderComplex(double* aRe, double* aIm, int32_t n, double* qRe,
                                          double* qIm, double* work) {
  ReduceToHessenberg<true>(aRe, aIm, n, qRe, qIm, work);
}

void FactorQRHouseholder(double* a, int32_t m, int32_t n, double* q, uint32_t* permutation,
                         double* work) {
  FactorQR<false>(a, nullptr, m, n, q, nullptr, permutation, work);
}

void FactorQRHouseholderComplex(double* aRe, double* aIm, int32_t m, int32_t n, double* qRe,
                                double* qIm, uint32_t* permutation, double* work) {
  FactorQR<true>(aRe, aIm, m, n, qRe, qIm, permutation, work);
}

}  // namespace vke
