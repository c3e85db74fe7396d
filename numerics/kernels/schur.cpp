// Real and complex Schur forms: Hessenberg reduction, then deflation sweeps
// and implicit double-shift steps under a budget of 100 n iterations, and a
// final pass that splits or triangularises the 2 x 2 blocks left on the
// diagonal by plane rotations. Also the step that turns a real Schur form
// into a complex one, and the exchange of two neighbouring eigenvalues of a
// triangular Schur form.
#include <cmath>

#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/kernels/householder_ranges.hpp"
#include "numerics/kernels/kernel_math.hpp"

namespace vke {

namespace {

constexpr int32_t kBudgetPerRow = 100;
// Every so many iterations (real, complex) the shift is perturbed by
// kShiftPerturbation times the iteration count, to break cycles.
constexpr int32_t kRealPerturbPeriod = 10;
constexpr int32_t kComplexPerturbPeriod = 20;
constexpr double kShiftPerturbation = 0.02;
// The final passes neglect a subdiagonal entry this many eps relative to its
// two diagonal neighbours; a larger one is rotated away, which keeps the
// similarity exact.
constexpr double kFinalTolerance = 2 * kKernelEps;

// A square matrix of either kind with element access by (row, column).
template <bool kCx>
struct Square {
  double* re;
  double* im;
  int32_t n;

  int64_t At(int32_t i, int32_t j) const { return int64_t(i) * n + j; }
  Num Get(int32_t i, int32_t j) const { return {re[At(i, j)], kCx ? im[At(i, j)] : 0.0}; }
  void Set(int32_t i, int32_t j, Num x) {
    re[At(i, j)] = x.re;
    if (kCx) im[At(i, j)] = x.im;
  }
  // |Re| + |Im|, the size of the deflation tests.
  double Size(int32_t i, int32_t j) const {
    return std::fabs(re[At(i, j)]) + (kCx ? std::fabs(im[At(i, j)]) : 0.0);
  }
  bool NonZero(int32_t i, int32_t j) const { return !IsZero<kCx>(Get(i, j)); }
};

template <bool kCx>
void MakeReflection(const double* re, const double* im, int32_t len, int64_t stride, double* vRe,
                    double* vIm, double* beta) {
  if constexpr (kCx) {
    MakeHouseholderVectorComplex(re, im, len, stride, vRe, vIm, beta);
  } else {
    MakeHouseholderVector(re, len, stride, vRe, beta);
  }
}

template <bool kCx>
void DoubleShiftStep(Square<kCx> t, int32_t p, int32_t q, double shift, Square<kCx> qm) {
  int32_t n = t.n, last = n - q - 1, size = n - p - q;
  if (p < 0 || q < 0 || size < 3) return;
  // First column of (T - s1)(T - s2) restricted to the block, where s1 and
  // s2 are the eigenvalues of the trailing 2 x 2 block [a b; c d], their sum
  // and product raised by the perturbation e. It is written with the
  // differences from a and d: the expanded products cancel to nothing when
  // the eigenvalues crowd together far from 0, as those of a nearly
  // defective matrix do.
  Num a = t.Get(last - 1, last - 1), d = t.Get(last, last);
  Num bc = Times<kCx>(t.Get(last, last - 1), t.Get(last - 1, last));
  Num tpp = t.Get(p, p), t10 = t.Get(p + 1, p);
  Num fromA = Minus<kCx>(tpp, a), fromD = Minus<kCx>(tpp, d);
  // x = (tpp - a)(tpp - d) - bc + t01 t10 + e (1 - tpp)
  Num x = Plus<kCx>(Minus<kCx>(Times<kCx>(fromA, fromD), bc), Times<kCx>(t.Get(p, p + 1), t10));
  x.re += shift * (1 - tpp.re);
  x.im -= shift * tpp.im;
  // y = t10 ((tpp - a) + (t11 - d) - e)
  Num sum = Plus<kCx>(fromA, Minus<kCx>(t.Get(p + 1, p + 1), d));
  sum.re -= shift;
  Num y = Times<kCx>(t10, sum);
  Num z = Times<kCx>(t10, t.Get(p + 2, p + 1));
  double startRe[3] = {x.re, y.re, z.re}, startIm[3] = {x.im, y.im, z.im};
  // The real step keeps the bulge's rounding when the shift is perturbed.
  bool zeroBelow = kCx || shift == 0;
  for (int32_t k = 0; k <= size - 2; k++) {
    int32_t row = p + k, len = k == size - 2 ? 2 : 3;
    double vRe[3], vIm[3], beta;
    if (k == 0) {
      MakeReflection<kCx>(startRe, startIm, len, 1, vRe, vIm, &beta);
    } else {
      int64_t at = t.At(row, row - 1);
      MakeReflection<kCx>(t.re + at, kCx ? t.im + at : nullptr, len, n, vRe, vIm, &beta);
    }
    // T is Hessenberg: the reflection changes no column left of the one it
    // was made from, and no row below the bulge.
    ApplyReflectionLeft<kCx>(t.re, t.im, n, n, vRe, vIm, beta, row, row + len,
                             k == 0 ? p : row - 1);
    if (k > 0 && zeroBelow) {
      for (int32_t i = row + 1; i < row + len; i++) t.Set(i, row - 1, Num{});
    }
    ApplyReflectionRight<kCx>(t.re, t.im, n, n, vRe, vIm, beta, row, row + len, row + len + 1);
    if (qm.re) ApplyReflectionRight<kCx>(qm.re, qm.im, n, n, vRe, vIm, beta, row, row + len, n);
  }
}

// Deflation sweeps and double-shift steps until T splits into blocks of at
// most 2 x 2; false when the budget is spent first.
template <bool kCx>
bool IterateToSmallBlocks(Square<kCx> t, Square<kCx> qm) {
  int32_t n = t.n;
  int64_t budget = int64_t(kBudgetPerRow) * n;
  int32_t period = kCx ? kComplexPerturbPeriod : kRealPerturbPeriod;
  for (int64_t it = 0; it < budget; it++) {
    for (int32_t i = 1; i < n; i++) {
      if (t.Size(i, i - 1) < kKernelEps * (t.Size(i, i) + t.Size(i - 1, i - 1))) {
        t.Set(i, i - 1, Num{});
      }
    }
    // Trailing rows in final form: up to the first place, from the bottom,
    // with two non-zero subdiagonal entries in a row. Once the part above
    // it is 2 x 2 at most, all of T is final.
    int32_t q = 0;
    while (q < n - 2 && !(t.NonZero(n - 1 - q, n - 2 - q) && t.NonZero(n - 2 - q, n - 3 - q))) {
      q++;
    }
    if (q >= n - 2) return true;
    int32_t p = n - q - 1;
    while (p > 0 && t.NonZero(p, p - 1)) p--;
    double shift = it % period == period - 1 ? kShiftPerturbation * double(it) : 0.0;
    DoubleShiftStep<kCx>(t, p, q, shift, qm);
  }
  return false;
}

// G = [c, -conj(s); s, conj(c)], unitary for |c|^2 + |s|^2 = 1.
// Columns i-1 and i of rows first .. last-1: (x, y) := (x, y) G.
template <bool kCx>
void RotateColumns(Square<kCx> m, int32_t i, int32_t first, int32_t last, Num c, Num s) {
  Num cc{c.re, -c.im}, sc{s.re, -s.im};
  for (int32_t r = first; r < last; r++) {
    Num x = m.Get(r, i - 1), y = m.Get(r, i);
    m.Set(r, i - 1, Plus<kCx>(Times<kCx>(c, x), Times<kCx>(s, y)));
    m.Set(r, i, Minus<kCx>(Times<kCx>(cc, y), Times<kCx>(sc, x)));
  }
}

// Rows i-1 and i of columns first .. n-1: (u; w) := G^H (u; w).
template <bool kCx>
void RotateRows(Square<kCx> m, int32_t i, int32_t first, Num c, Num s) {
  Num cc{c.re, -c.im}, sc{s.re, -s.im};
  for (int32_t j = first; j < m.n; j++) {
    Num u = m.Get(i - 1, j), w = m.Get(i, j);
    m.Set(i - 1, j, Plus<kCx>(Times<kCx>(cc, u), Times<kCx>(sc, w)));
    m.Set(i, j, Minus<kCx>(Times<kCx>(c, w), Times<kCx>(s, u)));
  }
}

// T := G^H T G on the 2 x 2 block at rows i-1, i of a triangular-to-be T
// and Q := Q G; the rotated subdiagonal entry becomes exactly 0.
template <bool kCx>
void RotateBlock(Square<kCx> t, Square<kCx> qm, int32_t i, Num c, Num s) {
  RotateColumns<kCx>(t, i, 0, i + 1, c, s);
  RotateRows<kCx>(t, i, i - 1, c, s);
  t.Set(i, i - 1, Num{});
  if (qm.re) RotateColumns<kCx>(qm, i, 0, qm.n, c, s);
}

void ZeroBelowSubdiagonal(double* re, double* im, int32_t n) {
  for (int32_t i = 2; i < n; i++) {
    for (int32_t j = 0; j < i - 1; j++) {
      re[int64_t(i) * n + j] = 0;
      if (im) im[int64_t(i) * n + j] = 0;
    }
  }
}

// Whether the subdiagonal entry at row i is negligible in a final pass; it
// is then set to 0.
template <bool kCx>
bool NeglectSubdiagonal(Square<kCx> t, int32_t i) {
  if (t.Size(i, i - 1) > kFinalTolerance * (t.Size(i, i) + t.Size(i - 1, i - 1))) {
    return false;
  }
  t.Set(i, i - 1, Num{});
  return true;
}

// The largest root mu of mu^2 - d mu - b c = 0 chosen away from
// cancellation, as half of sign(d) sqrt(disc) + d.
double LargerRoot(double d, double disc) {
  return ((d < 0 ? -std::sqrt(disc) : std::sqrt(disc)) + d) / 2;
}

// Exchanges rows and columns i and i+1 of T (columns of rows 0 .. i+1, rows
// of columns i .. n-1, which is all a triangular T has there) and columns i
// and i+1 of Q.
template <bool kCx>
void ExchangeNeighbours(Square<kCx> t, Square<kCx> qm, int32_t i) {
  for (int32_t r = 0; r <= i + 1; r++) {
    Num x = t.Get(r, i);
    t.Set(r, i, t.Get(r, i + 1));
    t.Set(r, i + 1, x);
  }
  for (int32_t j = i; j < t.n; j++) {
    Num x = t.Get(i, j);
    t.Set(i, j, t.Get(i + 1, j));
    t.Set(i + 1, j, x);
  }
  for (int32_t r = 0; qm.re && r < qm.n; r++) {
    Num x = qm.Get(r, i);
    qm.Set(r, i, qm.Get(r, i + 1));
    qm.Set(r, i + 1, x);
  }
}

// The rotation G = [c, -conj(s); s, c] whose first column is the unit
// eigenvector (b, d - a) / r of the block [a b; 0 d] for d, turned so that c
// = |b| / r is real; b != 0.
template <bool kCx>
void SwapRotation(Num a, Num b, Num d, Num* c, Num* s) {
  const Num diff = Minus<kCx>(d, a);
  const double bAbs = std::hypot(b.re, b.im);
  const double r = std::hypot(bAbs, std::hypot(diff.re, diff.im));
  *c = {bAbs / r, 0};
  // s = (d - a) conj(b) / (|b| r), real: sign(b) (d - a) / r.
  const Num phase{b.re / bAbs, -b.im / bAbs};
  *s = Times<kCx>(diff, phase);
  s->re /= r;
  s->im /= r;
}

template <bool kCx>
void SwapDiagonalPair(Square<kCx> t, Square<kCx> qm, int32_t i) {
  const Num b = t.Get(i, i + 1);
  if (IsZero<kCx>(b)) {
    ExchangeNeighbours<kCx>(t, qm, i);
    return;
  }
  Num c, s;
  SwapRotation<kCx>(t.Get(i, i), b, t.Get(i + 1, i + 1), &c, &s);
  RotateColumns<kCx>(t, i + 1, 0, i + 2, c, s);
  RotateRows<kCx>(t, i + 1, i, c, s);
  t.Set(i + 1, i, Num{});
  if (qm.re) RotateColumns<kCx>(qm, i + 1, 0, qm.n, c, s);
}

}  // namespace

void FrancisDoubleShiftStep(double* t, int32_t n, int32_t p, int32_t q, double shift, double* qm) {
  DoubleShiftStep<false>({t, nullptr, n}, p, q, shift, {qm, nullptr, n});
}

void FrancisDoubleShiftStepComplex(double* tRe, double* tIm, int32_t n, int32_t p, int32_t q,
                                   double shift, double* qRe, double* qIm) {
  DoubleShiftStep<true>({tRe, tIm, n}, p, q, shift, {qRe, qIm, n});
}

namespace {

// Brings T to unit size for the iteration (see ScaleToUnitRange); a
// triangular T stays as it is. Returns the exponent that restores it.
int ScaleForIteration(double* tRe, double* tIm, int32_t n) {
  return IsUpperTriangular(tRe, tIm, n) ? 0 : ScaleToUnitRange(tRe, tIm, int64_t(n) * n);
}

bool RealSchurForm(double* t, int32_t n, double* q, uint8_t* complexPair, double* work) {
  ReduceToHessenbergHouseholder(t, n, q, work);
  Square<false> tm{t, nullptr, n}, qm{q, nullptr, n};
  if (!IterateToSmallBlocks<false>(tm, qm)) return false;
  if (complexPair) *complexPair = 0;
  for (int32_t i = 1; i < n; i++) {
    if (NeglectSubdiagonal<false>(tm, i)) continue;
    double sub = tm.Get(i, i - 1).re;
    double d = tm.Get(i - 1, i - 1).re - tm.Get(i, i).re;
    double disc = d * d + 4 * tm.Get(i - 1, i).re * sub;
    if (disc < 0) {
      if (complexPair) *complexPair = 1;
    } else {
      double mu = LargerRoot(d, disc);
      double r = 1 / std::sqrt(mu * mu + sub * sub);
      RotateBlock<false>(tm, qm, i, Num{mu * r, 0}, Num{r * sub, 0});
    }
    if (i + 1 < n) tm.Set(i + 1, i, Num{});
    i++;
  }
  ZeroBelowSubdiagonal(t, nullptr, n);
  return true;
}

bool ComplexSchurForm(double* tRe, double* tIm, int32_t n, double* qRe, double* qIm, double* work) {
  ReduceToHessenbergHouseholderComplex(tRe, tIm, n, qRe, qIm, work);
  Square<true> tm{tRe, tIm, n}, qm{qRe, qIm, n};
  if (!IterateToSmallBlocks<true>(tm, qm)) return false;
  for (int32_t i = 1; i < n; i++) {
    if (NeglectSubdiagonal<true>(tm, i)) continue;
    Num c = tm.Get(i, i - 1);
    Num a = tm.Get(i - 1, i - 1), b = tm.Get(i - 1, i), d = tm.Get(i, i);
    Num cc{c.re, -c.im};
    Num g = Quotient<true>(cc, c);
    Num w = Times<true>(Minus<true>(a, d), g);
    Num four{4, 0};
    Num disc =
        Plus<true>(Times<true>(w, w),
                   Quotient<true>(Times<true>(Times<true>(four, Times<true>(cc, cc)), b), c));
    Num root = StableSqrt(disc);
    Num m = w.re >= 0 ? Plus<true>(w, root) : Minus<true>(w, root);
    m.re /= 2;
    m.im /= 2;
    double r = 1 / std::sqrt(m.re * m.re + m.im * m.im + c.re * c.re + c.im * c.im);
    // G has the columns (m', conj(c')) and (-c', conj(m')).
    RotateBlock<true>(tm, qm, i, Num{m.re * r, m.im * r}, Num{c.re * r, -c.im * r});
    if (i + 1 < n) tm.Set(i + 1, i, Num{});
    i++;
  }
  ZeroBelowSubdiagonal(tRe, tIm, n);
  return true;
}

}  // namespace

bool ComputeRealSchurForm(double* t, int32_t n, double* q, uint8_t* complexPair, double* work) {
  if (n <= 0) return false;
  const int e = ScaleForIteration(t, nullptr, n);
  const bool done = RealSchurForm(t, n, q, complexPair, work);
  ScaleByPowerOfTwo(t, nullptr, int64_t(n) * n, e);
  return done;
}

bool ComputeComplexSchurForm(double* tRe, double* tIm, int32_t n, double* qRe, double* qIm,
                             double* work) {
  if (n <= 0) return false;
  const int e = ScaleForIteration(tRe, tIm, n);
  const bool done = ComplexSchurForm(tRe, tIm, n, qRe, qIm, work);
  ScaleByPowerOfTwo(tRe, tIm, int64_t(n) * n, e);
  return done;
}

void SwapSchurDiagonalPair(double* tRe, double* tIm, double* qRe, double* qIm, int32_t n,
                           int32_t i) {
  if (tIm) {
    SwapDiagonalPair<true>({tRe, tIm, n}, {qRe, qIm, n}, i);
  } else {
    SwapDiagonalPair<false>({tRe, nullptr, n}, {qRe, nullptr, n}, i);
  }
}

void RealToComplexSchur(double* t, double* tIm, double* q, double* qIm, int32_t n) {
  int64_t nn = int64_t(n) * n;
  for (int64_t i = 0; i < nn; i++) tIm[i] = 0;
  if (q) {
    for (int64_t i = 0; i < nn; i++) qIm[i] = 0;
  }
  Square<false> real{t, nullptr, n};
  Square<true> tm{t, tIm, n}, qm{q, qIm, n};
  for (int32_t i = 1; i < n; i++) {
    if (NeglectSubdiagonal<false>(real, i)) continue;
    double sub = real.Get(i, i - 1).re;
    double d = real.Get(i - 1, i - 1).re - real.Get(i, i).re;
    double disc = d * d + 4 * real.Get(i - 1, i).re * sub;
    Num c;
    double r;
    if (disc < 0) {
      double a = d / 2, b = std::sqrt(-disc) / 2;
      r = 1 / std::sqrt(a * a + b * b + sub * sub);
      c = {a * r, b * r};
    } else {
      double a = LargerRoot(d, disc);
      r = 1 / std::sqrt(a * a + sub * sub);
      c = {a * r, 0};
    }
    RotateBlock<true>(tm, qm, i, c, Num{r * sub, 0});
    if (i + 1 < n) tm.Set(i + 1, i, Num{});
    i++;
  }
}

}  // namespace vke
