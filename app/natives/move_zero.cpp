// movezero(p, zOld, zNew): the polynomial p (highest power first) with its
// zero zOld moved to zNew, complex zeros kept in conjugate pairs so that the
// coefficients stay real. The zero's factor is divided out (the remainder
// dropped, so zOld need not be an exact zero) and the new factor multiplied
// in, in p's own storage.
#include <cmath>
#include <cstdint>

#include "app/natives/app_natives.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

// An imaginary part counts as noise below both limits: relative to the real
// parts and per coefficient.
constexpr double kNegligibleRatio = 1e-6;
constexpr double kNegligiblePerCoefficient = 1e-3;
// Distances of the search for real roots: no root yet, and the bound below
// which a second root was found.
constexpr double kNoDistance = 1e19;
constexpr double kNoRoot = 1e18;

struct Complex {
  double re = 0, im = 0;
};

// A factor x^2 + b x + c (quadratic) or x + c (linear: b unused).
struct Factor {
  bool quadratic = false;
  double b = 0, c = 0;
  int32_t Degree() const { return quadratic ? 2 : 1; }
};

Factor Linear(double root) {
  return {false, 0, -root};
}
Factor Quadratic(double b, double c) {
  return {true, b, c};
}
// (x - z)(x - conj z).
Factor Pair(Complex z) {
  return Quadratic(-2 * z.re, z.re * z.re + z.im * z.im);
}

// The 1 x 1 double at the depth; 107 for another size, 43 for another type.
ErrCode ReadScalar(EngineContext* ctx, int32_t depth, Complex* z) {
  int32_t rows, cols;
  double *re, *im;
  if (ErrCode e = GetNumericArg(ctx, depth, &rows, &cols, &re, &im)) return e;
  if (rows != 1 || cols != 1) return kErrBadArg;
  z->re = re[0];
  z->im = im ? im[0] : 0;
  return kOk;
}

// Divides p (n coefficients) by the factor in place, the quotient first and
// zeros behind it.
void Divide(double* p, int32_t n, const Factor& f) {
  if (f.quadratic) {
    for (int32_t k = 2; k <= n - 2; k++) {
      p[k - 1] -= f.b * p[k - 2];
      p[k] -= f.c * p[k - 2];
    }
    p[n - 2] = p[n - 1] = 0;
  } else {
    for (int32_t k = 2; k <= n - 1; k++) p[k - 1] -= f.c * p[k - 2];
    p[n - 1] = 0;
  }
}

// Multiplies the quotient left by Divide by the factor, in place.
void Multiply(double* p, int32_t n, const Factor& f) {
  if (f.quadratic) {
    for (int32_t k = n - 3; k >= 0; k--) {
      p[k + 1] += f.b * p[k];
      p[k + 2] += f.c * p[k];
    }
  } else {
    for (int32_t k = n - 2; k >= 0; k--) p[k + 1] += f.c * p[k];
  }
}

// The real root of p nearest to the real zero a other than the nearest one
// itself, or false when p has fewer than two real roots (or they cannot be
// found). The roots are computed in the free data stack.
bool NeighbourRealRoot(EngineContext* ctx, const double* p, int32_t n, double a, double* r2,
                       ErrCode* error) {
  const int32_t degree = n - 1;
  if (degree < 2) return false;
  uint32_t free;
  void* area;
  GetDataStackFree(ctx, &free, &area);
  if (uint64_t{free} < 8 * (3 * uint64_t(n) - 2)) {
    *error = kErrDataOverflow;
    return false;
  }
  auto* re = static_cast<double*>(area);
  double* im = re + degree;
  double* work = im + degree;
  if (!FindRealPolynomialRootsOnCopy(p, degree, re, im, work)) return false;
  int32_t nearest = -1;
  double best = kNoDistance;
  for (int32_t i = 0; i < degree; i++)
    if (im[i] == 0 && std::fabs(re[i] - a) < best) best = std::fabs(re[i] - a), nearest = i;
  double second = kNoDistance, bestSecond = kNoDistance;
  for (int32_t i = 0; i < degree; i++)
    if (i != nearest && im[i] == 0 && std::fabs(re[i] - a) < bestSecond)
      bestSecond = std::fabs(re[i] - a), second = re[i];
  *r2 = second;
  return std::fabs(second) < kNoRoot;
}

}  // namespace

ErrCode MoveZeroNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  Complex to, from;
  if (ErrCode e = ReadScalar(ctx, 0, &to)) return e;
  if (ErrCode e = ReadScalar(ctx, 1, &from)) return e;
  int32_t rows, cols;
  double *p, *pim;
  if (ErrCode e = GetNumericArg(ctx, 2, &rows, &cols, &p, &pim)) return e;
  if (rows >= 2 && cols >= 2) return kErrNonVector;
  const int32_t n = rows * cols;
  if (pim && n > 0) {
    double r = 0, s = 0;
    for (int32_t i = 0; i < n; i++) r += std::fabs(pim[i]), s += std::fabs(p[i]);
    if (r / s > kNegligibleRatio && r > kNegligiblePerCoefficient * n) return kErrWrongType;
  }
  // The operands stay as given until the zero's place stands on the stack:
  // a call that finds no room for it runs again on them once the area has
  // grown. Only the real part of p is read before then.
  Factor removed, added;
  Complex placed = to;
  if (from.im != 0) {
    removed = Pair(from);
    if (from.im * to.im >= 0) {
      added = Pair(to);
    } else {
      // Dragged across the real axis: the pair becomes the real zeros a, c.
      added = Quadratic(-(from.re + to.re), from.re * to.re);
      placed = {to.re, 0};
    }
  } else {
    double r2 = 0;
    ErrCode error = kOk;
    if (to.im > 0 && n > 0 && NeighbourRealRoot(ctx, p, n, from.re, &r2, &error)) {
      // The real zero takes its nearest real neighbour with it into a pair.
      removed = Quadratic(-(from.re + r2), from.re * r2);
      added = Pair(to);
    } else {
      if (error) return error;
      removed = Linear(from.re);
      added = Linear(to.re);
      placed = {to.re, 0};
    }
  }
  // A polynomial of lower degree than the factor (an empty one too) has no
  // such zero to move: it stays as it is.
  const bool moved = n - 1 >= removed.Degree();
  if (!moved) placed = from;
  if (nargout >= 2) {
    if (ErrCode e = PushComplexScalar(ctx, placed.re, placed.im)) return e;
    if (ErrCode e = DropStackEntries(ctx, 1, 2)) return e;
    if (ErrCode e = ReverseStackEntries(ctx, 2)) return e;
  } else if (ErrCode e = Drop(ctx, 2)) {
    return e;
  }
  if (pim) MakeTopReal(ctx);
  GetNumericArg(ctx, 0, &rows, &cols, &p, nullptr);
  if (moved) {
    Divide(p, n, removed);
    Multiply(p, n, added);
  }
  return kOk;
}

}  // namespace vke
