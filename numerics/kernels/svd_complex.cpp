// The singular value decomposition of a complex matrix with its singular
// vectors: complex Householder bidiagonalisation whose phases leave a real
// non-negative bidiagonal, real QR sweeps on it, then the reflections
// applied back to the vectors.
#include <algorithm>
#include <cmath>

#include "builtins/complex_num.hpp"
#include "numerics/kernels/bidiagonal_qr.hpp"
#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

// A column or row whose squared norm is at most this makes no reflection.
constexpr double kTinySquaredNorm = 1.0020959530862092e-292;
// Sweeps on one singular value before the kernel gives up.
constexpr int32_t kMaxSweeps = 71;

struct Block {
  double* re;
  double* im;
  int32_t rows;
  int32_t cols;

  int64_t At(int32_t i, int32_t j) const { return int64_t(i) * cols + j; }
  Num Get(int32_t i, int32_t j) const { return {re[At(i, j)], im[At(i, j)]}; }
  void Set(int32_t i, int32_t j, Num x) {
    re[At(i, j)] = x.re;
    im[At(i, j)] = x.im;
  }
  void Scale(int32_t i, int32_t j, Num f) { Set(i, j, Times<true>(f, Get(i, j))); }
  void SetIdentity() {
    std::fill(re, re + int64_t(rows) * cols, 0.0);
    std::fill(im, im + int64_t(rows) * cols, 0.0);
    for (int32_t i = 0; i < std::min(rows, cols); i++) re[At(i, i)] = 1;
  }
  void SwapColumns(int32_t i, int32_t j) {
    for (int32_t r = 0; r < rows; r++) {
      std::swap(re[At(r, i)], re[At(r, j)]);
      std::swap(im[At(r, i)], im[At(r, j)]);
    }
  }
  // The first rows x cols of this block into (or from) other.
  void CopyTo(Block other, int32_t r, int32_t c) const {
    for (int32_t i = 0; i < r; i++) {
      for (int32_t j = 0; j < c; j++) other.Set(i, j, Get(i, j));
    }
  }
};

Num Conj(Num x) {
  return {x.re, -x.im};
}

double Modulus(Num x) {
  return std::hypot(x.re, x.im);
}

// The reflection of the vector x (count entries from (i0, j0), stepping by
// (di, dj)) that maps it onto a real multiple of its first axis: x's first
// entry becomes p (w + q) (the reflection's vector stays in x); returns q =
// ||x||, 0 for a negligible x.
double MakeReflector(Block a, int32_t i0, int32_t j0, int32_t di, int32_t dj, int32_t count) {
  double z = 0;
  for (int32_t k = 0; k < count; k++) {
    Num x = a.Get(i0 + k * di, j0 + k * dj);
    z += x.re * x.re + x.im * x.im;
  }
  if (z <= kTinySquaredNorm) return 0;
  double q = std::sqrt(z);
  Num lead = a.Get(i0, j0);
  double w = Modulus(lead);
  Num p = w == 0 ? Num{1, 0} : Num{lead.re / w, lead.im / w};
  a.Set(i0, j0, Num{p.re * (w + q), p.im * (w + q)});
  return q;
}

// The unit phase of x (1 for 0).
Num Phase(Num x) {
  double w = Modulus(x);
  return w == 0 ? Num{1, 0} : Num{x.re / w, x.im / w};
}

// Columns j of target (all of them) minus the reflection of the vector u
// held in a (count entries from (i0, j0) by (di, dj)), applied to target's
// rows from first: target(:, j) -= u (u^H target(:, j)) / (|u0| q), with u
// conjugated first when conjugate is set.
void Reflect(Block a, int32_t i0, int32_t j0, int32_t di, int32_t dj, int32_t count, double q,
             bool conjugate, Block target, int32_t first) {
  double scale = Modulus(a.Get(i0, j0)) * q;
  for (int32_t j = 0; j < target.cols; j++) {
    Num t{};
    for (int32_t k = 0; k < count; k++) {
      Num u = a.Get(i0 + k * di, j0 + k * dj);
      if (conjugate) u = Conj(u);
      t = Plus<true>(t, Times<true>(Conj(u), target.Get(first + k, j)));
    }
    t = {t.re / scale, t.im / scale};
    for (int32_t k = 0; k < count; k++) {
      Num u = a.Get(i0 + k * di, j0 + k * dj);
      if (conjugate) u = Conj(u);
      target.Set(first + k, j, Minus<true>(target.Get(first + k, j), Times<true>(t, u)));
    }
  }
}

}  // namespace

int64_t SvdWithVectorsWork(int32_t m, int32_t n) {
  int64_t rows = std::max(m, n);
  return 2 * rows * n + 2 * rows * rows + 2 * int64_t(n) * n + 4 * int64_t(n);
}

bool ComputeSvdWithVectors(double* aRe, double* aIm, int32_t m, int32_t n, double* s, double* uRe,
                           double* uIm, int32_t ncu, double* vRe, double* vIm, int32_t ncv,
                           double* work) {
  if (m <= 0 || n <= 0) return true;
  // Very small or large entries are scaled first (A is destroyed anyway).
  const int64_t count = int64_t(m) * n;
  const int shift = SafeRangeExponent(aRe, aIm, count);
  if (shift != 0) {
    ScaleValues(aRe, count, shift);
    ScaleValues(aIm, count, shift);
  }
  int32_t rows = std::max(m, n);
  double* next = work;
  auto carve = [&](int32_t r, int32_t c) {
    Block b{next, next + int64_t(r) * c, r, c};
    next += 2 * int64_t(r) * c;
    return b;
  };
  Block a{aRe, aIm, m, n};
  if (m < n) {
    a = carve(rows, n);
    std::fill(a.re, a.re + 2 * int64_t(rows) * n, 0.0);
    Block{aRe, aIm, m, n}.CopyTo(a, m, n);
  }
  bool wantU = uRe && ncu > 0, wantV = vRe && ncv > 0;
  Block u{uRe, uIm, m, ncu}, v{vRe, vIm, n, ncv};
  if (wantU && (m < n || ncu < n)) u = carve(rows, rows);
  if (wantV && ncv < n) v = carve(n, n);
  double *d = next, *e = next + n, *d0 = next + 2 * int64_t(n), *e0 = next + 3 * int64_t(n);

  // Bidiagonalisation; the row and column phases make d and e real.
  e[0] = 0;
  for (int32_t k = 0; k < n; k++) {
    d[k] = MakeReflector(a, k, k, 1, 0, rows - k);
    if (d[k] != 0) {
      double scale = Modulus(a.Get(k, k)) * d[k];
      for (int32_t j = k + 1; j < n; j++) {
        Num t{};
        for (int32_t i = k; i < rows; i++) {
          t = Plus<true>(t, Times<true>(Conj(a.Get(i, k)), a.Get(i, j)));
        }
        t = {t.re / scale, t.im / scale};
        for (int32_t i = k; i < rows; i++) {
          a.Set(i, j, Minus<true>(a.Get(i, j), Times<true>(t, a.Get(i, k))));
        }
      }
      Num phase = Conj(Phase(a.Get(k, k)));
      for (int32_t j = k + 1; j < n; j++) a.Scale(k, j, Num{-phase.re, -phase.im});
    }
    if (k == n - 1) break;
    e[k + 1] = MakeReflector(a, k, k + 1, 0, 1, n - k - 1);
    if (e[k + 1] != 0) {
      for (int32_t i = k + 1; i < rows; i++) {
        Num t{};
        for (int32_t j = k + 1; j < n; j++)
          t = Plus<true>(t, Times<true>(a.Get(i, j), Conj(a.Get(k, j))));
        double scale = Modulus(a.Get(k, k + 1)) * e[k + 1];
        t = {t.re / scale, t.im / scale};
        for (int32_t j = k + 1; j < n; j++)
          a.Set(i, j, Minus<true>(a.Get(i, j), Times<true>(t, a.Get(k, j))));
      }
      Num phase = Conj(Phase(a.Get(k, k + 1)));
      for (int32_t i = k + 1; i < rows; i++) a.Scale(i, k + 1, Num{-phase.re, -phase.im});
    }
  }
  std::copy(d, d + n, d0);
  std::copy(e, e + n, e0);

  if (wantU) u.SetIdentity();
  if (wantV) v.SetIdentity();
  double largest = 0;
  for (int32_t i = 0; i < n; i++) largest = std::max(largest, d[i] + e[i]);
  RotatedColumns ru{wantU ? u.re : nullptr, wantU ? u.rows : 0, u.cols};
  RotatedColumns rv{wantV ? v.re : nullptr, wantV ? v.rows : 0, v.cols};
  if (!DiagonaliseBidiagonal(d, e, n, ru, rv, NegligibleTest{kKernelEps * largest, false},
                             kMaxSweeps, true)) {
    return false;
  }

  for (int32_t i = 0; i < n; i++) {
    int32_t best = i;
    for (int32_t j = i + 1; j < n; j++) {
      if (d[j] > d[best]) best = j;
    }
    if (best == i) continue;
    std::swap(d[i], d[best]);
    if (wantU) u.SwapColumns(i, best);
    if (wantV) v.SwapColumns(i, best);
  }

  for (int32_t k = n - 1; k >= 0; k--) {
    if (wantU && d0[k] != 0) {
      Num phase = Phase(a.Get(k, k));
      for (int32_t j = 0; j < u.cols; j++) u.Scale(k, j, Num{-phase.re, -phase.im});
      Reflect(a, k, k, 1, 0, rows - k, d0[k], false, u, k);
    }
    if (wantV && k < n - 1 && e0[k + 1] != 0) {
      Num phase = Conj(Phase(a.Get(k, k + 1)));
      for (int32_t j = 0; j < v.cols; j++) v.Scale(k + 1, j, Num{-phase.re, -phase.im});
      Reflect(a, k, k + 1, 0, 1, n - k - 1, e0[k + 1], true, v, k + 1);
    }
  }
  if (wantU && u.re != uRe) u.CopyTo(Block{uRe, uIm, m, ncu}, m, ncu);
  if (wantV && v.re != vRe) v.CopyTo(Block{vRe, vIm, n, ncv}, n, ncv);
  std::copy(d, d + n, s);
  if (shift != 0) ScaleValues(s, n, -shift);
  return true;
}

bool FactorCholesky(double* re, double* im, int32_t n) {
  auto at = [n](int32_t i, int32_t j) { return int64_t(i) * n + j; };
  auto imag = [&](int32_t i, int32_t j) { return im ? im[at(i, j)] : 0.0; };
  // R(k, j) for k < j is kept at (j, k) until the end.
  for (int32_t j = 0; j < n; j++) {
    double diag = re[at(j, j)];
    for (int32_t k = 0; k < j; k++) diag -= re[at(j, k)] * re[at(j, k)] + imag(j, k) * imag(j, k);
    if (!(diag > 0)) return false;
    double r = std::sqrt(diag);
    re[at(j, j)] = r;
    for (int32_t i = j + 1; i < n; i++) {
      Num sum{re[at(j, i)], imag(j, i)};
      for (int32_t k = 0; k < j; k++) {
        sum = Minus<true>(
            sum, Times<true>(Num{re[at(j, k)], -imag(j, k)}, Num{re[at(i, k)], imag(i, k)}));
      }
      re[at(i, j)] = sum.re / r;
      if (im) im[at(i, j)] = sum.im / r;
    }
  }
  for (int32_t i = 1; i < n; i++) {
    for (int32_t j = 0; j < i; j++) {
      re[at(j, i)] = re[at(i, j)];
      re[at(i, j)] = 0;
      if (im) {
        im[at(j, i)] = im[at(i, j)];
        im[at(i, j)] = 0;
      }
    }
  }
  return true;
}

}  // namespace vke
