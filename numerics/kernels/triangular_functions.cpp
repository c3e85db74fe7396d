// The principal square root and logarithm of an upper triangular complex
// matrix (see triangular_functions.hpp).
#include "numerics/kernels/triangular_functions.hpp"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "numerics/kernels/kernel_math.hpp"

namespace vke {

namespace {

using Complex = std::complex<double>;

// The Gauss-Legendre rule of 8 points on [0, 1]: nodes and weights. Applied
// to log(I + X) = integral over [0, 1] of X (I + s X)^-1 ds it is the [8/8]
// Pade approximant, accurate to rounding while ||X||_1 <= kPadeRadius.
constexpr int kPadePoints = 8;
constexpr double kPadeNodes[kPadePoints] = {
    0.019855071751231884, 0.10166676129318663, 0.23723379504183551, 0.40828267875217510,
    0.59171732124782490,  0.76276620495816449, 0.89833323870681337, 0.98014492824876812};
constexpr double kPadeWeights[kPadePoints] = {
    0.050614268145188130, 0.11119051722668724, 0.15685332293894364, 0.18134189168918099,
    0.18134189168918099,  0.15685332293894364, 0.11119051722668724, 0.050614268145188130};
constexpr double kPadeRadius = 0.25;
// Square roots taken at most before the logarithm gives up; a diagonal
// value needs about log2(|log t|) + 3 of them, an off-diagonal part about
// log2 of its size relative to the diagonal.
constexpr int kMostRoots = 100;

Complex AsComplex(Num x) {
  return {x.re, x.im};
}

Num AsNum(Complex x) {
  return {x.real(), x.imag()};
}

// z / 2^k, exactly.
Complex Halved(Complex z, int k) {
  return {std::ldexp(z.real(), -k), std::ldexp(z.imag(), -k)};
}

// e^z - 1 without the cancellation of e^z near 1.
Complex ExpMinusOne(Complex z) {
  const double s = std::sin(z.imag() / 2);
  return {std::expm1(z.real()) * std::cos(z.imag()) - 2 * s * s,
          std::exp(z.real()) * std::sin(z.imag())};
}

// The largest column sum of |R - I| over the upper triangle.
double DistanceFromIdentity(const ComplexMatrixView& r, int32_t n) {
  double largest = 0;
  for (int32_t j = 0; j < n; j++) {
    double sum = 0;
    for (int32_t i = 0; i <= j; i++) sum += std::abs(AsComplex(r.Get(i, j)) - (i == j ? 1.0 : 0.0));
    largest = std::max(largest, sum);
  }
  return largest;
}

// The square-root recurrence on S's strictly upper triangle from R, S's
// diagonal holding the roots of R's.
bool SquareRootRecurrence(const ComplexMatrixView& r, const ComplexMatrixView& s, int32_t n) {
  bool resolved = true;
  for (int32_t j = 1; j < n; j++) {
    for (int32_t i = j - 1; i >= 0; i--) {
      Num num = r.Get(i, j);
      for (int32_t k = i + 1; k < j; k++)
        num = Minus<true>(num, Times<true>(s.Get(i, k), s.Get(k, j)));
      const Num den = Plus<true>(s.Get(i, i), s.Get(j, j));
      if (!IsZero<true>(den)) {
        s.Set(i, j, ScaledQuotient(num, den));
      } else if (IsZero<true>(num)) {
        s.Set(i, j, Num{});
      } else {
        resolved = false;
        s.Set(i, j, Num{num.re / den.re, num.im / den.re});
      }
    }
  }
  return resolved;
}

// log of [l1 t; 0 l2] above the diagonal, from the logarithms g1 and g2 of
// l1 and l2: t (g2 - g1) / (l2 - l1); for values within half their size
// of each other through atanh of their relative difference (far from its
// branch cuts there), so that the difference of the logarithms does not
// cancel.
Complex LogarithmAboveDiagonal(Complex l1, Complex l2, Complex t, Complex g1, Complex g2) {
  if (l1 == l2) return t / l1;
  const Complex ratio = t / (l2 - l1);
  if (std::abs(l2 - l1) > std::min(std::abs(l1), std::abs(l2)) / 2) return ratio * (g2 - g1);
  // The unwinding number of g2 - g1 puts back the multiple of 2 pi i that
  // atanh leaves out.
  const double unwinding =
      std::ceil(((g2 - g1).imag() - std::numbers::pi) / (2 * std::numbers::pi));
  return ratio *
         (2.0 * std::atanh((l2 - l1) / (l2 + l1)) + Complex(0, 2 * std::numbers::pi * unwinding));
}

}  // namespace

bool TriangularSquareRoot(const ComplexMatrixView& t, const ComplexMatrixView& f, int32_t n) {
  return SquareRootRecurrence(t, f, n);
}

int64_t TriangularLogarithmWork(int32_t n) {
  return 4 * int64_t(n) * n + 2 * int64_t(n);
}

bool TriangularLogarithm(const ComplexMatrixView& t, const ComplexMatrixView& f, int32_t n,
                         double* work) {
  for (int32_t j = 0; j < n; j++) {
    const Num g = f.Get(j, j);
    if (!std::isfinite(g.re) || !std::isfinite(g.im)) return false;
    for (int32_t i = 0; i <= j; i++) {
      const Num x = t.Get(i, j);
      if (!std::isfinite(x.re) || !std::isfinite(x.im)) return false;
    }
  }
  const int64_t nn = int64_t(n) * n;
  ComplexMatrixView r{work, work + nn, n, 1}, s{work + 2 * nn, work + 3 * nn, n, 1};
  double* column = work + 4 * nn;
  std::fill(work, work + 4 * nn, 0.0);
  for (int32_t j = 0; j < n; j++) {
    for (int32_t i = 0; i <= j; i++) r.Set(i, j, t.Get(i, j));
  }
  // R := T^(1/2^k); its diagonal straight from the logarithms, so that it
  // follows their branch.
  int roots = 0;
  while (DistanceFromIdentity(r, n) > kPadeRadius) {
    if (++roots > kMostRoots) return false;
    for (int32_t i = 0; i < n; i++)
      s.Set(i, i, AsNum(std::exp(Halved(AsComplex(f.Get(i, i)), roots))));
    SquareRootRecurrence(r, s, n);
    std::swap(r, s);
  }
  // X = R - I in R; its diagonal without cancellation.
  for (int32_t i = 0; i < n; i++)
    r.Set(i, i, AsNum(ExpMinusOne(Halved(AsComplex(f.Get(i, i)), roots))));
  // log(I + X) as the sum of w (I + s X)^-1 X, column by column of the
  // triangular solves, into S.
  for (int32_t j = 0; j < n; j++) {
    for (int32_t i = 0; i <= j; i++) s.Set(i, j, Num{});
  }
  ComplexMatrixView y{column, column + n, 1, 0};
  for (int p = 0; p < kPadePoints; p++) {
    const Num node{kPadeNodes[p], 0}, weight{kPadeWeights[p], 0};
    for (int32_t j = 0; j < n; j++) {
      for (int32_t i = j; i >= 0; i--) {
        Num num = r.Get(i, j);
        for (int32_t k = i + 1; k <= j; k++)
          num = Minus<true>(num, Times<true>(node, Times<true>(r.Get(i, k), y.Get(k, 0))));
        const Num den = Plus<true>(Num{1, 0}, Times<true>(node, r.Get(i, i)));
        y.Set(i, 0, ScaledQuotient(num, den));
        s.Set(i, j, Plus<true>(s.Get(i, j), Times<true>(weight, y.Get(i, 0))));
      }
    }
  }
  for (int32_t j = 1; j < n; j++) {
    for (int32_t i = 0; i < j - 1; i++) {
      const Num x = s.Get(i, j);
      f.Set(i, j, Num{std::ldexp(x.re, roots), std::ldexp(x.im, roots)});
    }
    const int32_t i = j - 1;
    f.Set(i, j,
          AsNum(LogarithmAboveDiagonal(AsComplex(t.Get(i, i)), AsComplex(t.Get(j, j)),
                                       AsComplex(t.Get(i, j)), AsComplex(f.Get(i, i)),
                                       AsComplex(f.Get(j, j)))));
  }
  return true;
}

double SmallestDiagonalGap(const ComplexMatrixView& t, int32_t n) {
  if (n <= 0) return 0;
  double gap = std::norm(AsComplex(t.Get(0, 0)));
  for (int32_t i = 0; i < n; i++) {
    for (int32_t j = i + 1; j < n; j++) {
      const double d = std::norm(AsComplex(t.Get(j, j)) - AsComplex(t.Get(i, i)));
      if (d != 0) gap = std::min(gap, d);
    }
  }
  return gap;
}

}  // namespace vke
