// The "!lapack" natives sqrtm and logm, one routine steered by its record's
// option ('s' the principal square root, 'l' the principal logarithm): the
// complex Schur form A = Z T Z^H (zgees_; a triangular A is its own), f on
// T's diagonal (the f2c run-time's z_sqrt and z_log), the rest of f(T) by
// the recurrences of triangular_functions.hpp (the Parlett recurrence for
// the logarithm of a singular T), and X = Z f(T) Z^H by two products
// (zgemm_). [X, e] = ... gives an
// error estimate e in [eps, 1]; X is real when its imaginary part is
// negligible.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/errors/errors.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"
#include "numerics/kernels/kernel_math.hpp"
#include "numerics/kernels/parlett_recurrence.hpp"
#include "numerics/kernels/triangular_functions.hpp"
#include "numerics/lapack/lapack_support.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "numerics/lapack/layout_conversions.hpp"

namespace vke {

namespace {

constexpr uintptr_t kSquareRoot = 's';

F2cDoubleComplex ToF2c(Num x) {
  return {x.re, x.im};
}

// x / y through the f2c run-time; y is never an exact zero here.
Num DivideNonzero(Num x, Num y) {
  F2cDoubleComplex a = ToF2c(x), b = ToF2c(y), q;
  z_div(&q, &a, &b);
  return {q.r, q.i};
}

// 1 / x, +Inf for an exact zero.
Num Reciprocal(Num x) {
  if (x.re == 0 && x.im == 0) return {std::numeric_limits<double>::infinity(), 0};
  return DivideNonzero({1, 0}, x);
}

// The largest column sum of |T(i, j)| over the entries above the diagonal.
double LargestStrictColumnSum(const ComplexMatrixView& t, int32_t n) {
  double largest = 0;
  for (int32_t j = 1; j < n; j++) {
    double sum = 0;
    for (int32_t i = 0; i < j; i++) sum += std::hypot(t.Get(i, j).re, t.Get(i, j).im);
    largest = std::max(largest, sum);
  }
  return largest;
}

// The 1-norm of the real or of the imaginary parts of an interleaved LAPACK
// matrix.
double PartOneNorm(const double* x, int32_t n, int part) {
  double largest = 0;
  for (int32_t j = 0; j < n; j++) {
    double sum = 0;
    for (int32_t i = 0; i < n; i++) sum += std::fabs(x[2 * (i + int64_t{j} * n) + part]);
    largest = std::max(largest, sum);
  }
  return largest;
}

}  // namespace

ErrCode LapackSqrtmLogm(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  MatrixOperand a;
  if (ErrCode e = ReadSquareArgument(ctx, nargin, &a)) return e;
  const LapackInt n = a.rows;
  const bool estimate = nargout >= 2, wasReal = a.im == nullptr;
  if (n == 0) {
    // [] is its own result; the estimate of nothing is 0, below it.
    if (!estimate) return kOk;
    if (ErrCode e = PushRealScalar(ctx, 0)) return e;
    return RollStackEntries(ctx, 2, 1);
  }
  // The zero imaginary block, with the estimate's placeholder, makes room
  // for the results below the workspace.
  if (ErrCode e = MakeTopComplex(ctx, nullptr)) return e;
  Reservations reserved(ctx);
  auto fail = [&](ErrCode e) {
    reserved.Abandon(e);
    if (wasReal) MakeTopReal(ctx);
    return e;
  };
  if (ErrCode e = reserved.PushIf(estimate, 1, 1, false)) return fail(e);
  const int64_t nn = int64_t{n} * n;
  Workspace ws(ctx);
  double* t = ws.Complexes(nn);
  double* w = ws.Complexes(n);
  double* z = ws.Complexes(nn);
  double* f = ws.Complexes(nn);
  double* logWork = option == kSquareRoot ? nullptr : ws.Reals(TriangularLogarithmWork(n));
  double* rwork = ws.RealsAtEnd(n);  // also the logical work, not referenced
  if (ErrCode e = ws.Fits(std::max(2 * n, 1), 16)) return fail(e);
  const MatrixOperand argument = ReadMatrixOperand(ctx, reserved.count());
  CopyMatrixIn(argument, true, t);
  if (IsUpperTriangular(argument.re, argument.im, n)) {
    // Its own Schur form: zgees_ would scale a matrix of entries far apart
    // and lose its smallest diagonal values.
    std::fill(z, z + 2 * nn, 0.0);
    for (int64_t i = 0; i < n; i++) z[2 * (i * n + i)] = 1;
  } else {
    const LapackInt lwork = ws.WorkLength(16);
    LapackInt sdim = 0, info = 0;
    zgees_("V", "N", nullptr, &n, t, &n, &sdim, w, z, &n, ws.Work(), &lwork, rwork,
           reinterpret_cast<LapackInt*>(rwork), &info, 1, 1);
    if (ErrCode e = MapInfo(info, kErrNoConvergence)) return fail(e);
  }

  // f on the diagonal, f' beside it in w for the equal adjacent pairs.
  const ComplexMatrixView tv{t, t + 1, 2, 2 * int64_t{n}}, fv{f, f + 1, 2, 2 * int64_t{n}};
  std::fill(f, f + 2 * nn, 0.0);
  for (int32_t i = 0; i < n; i++) {
    F2cDoubleComplex x = ToF2c(tv.Get(i, i)), fx;
    if (option == kSquareRoot) {
      z_sqrt(&fx, &x);
    } else if (x.r == 0 && x.i == 0) {
      // The run-time's logarithm of 0 is NaN; the limit is -Inf.
      fx = {-std::numeric_limits<double>::infinity(), 0};
    } else {
      z_log(&fx, &x);
    }
    fv.Set(i, i, {fx.r, fx.i});
    const Num derivative =
        option == kSquareRoot ? Reciprocal({2 * fx.r, 2 * fx.i}) : Reciprocal({x.r, x.i});
    w[2 * i] = derivative.re;
    w[2 * i + 1] = derivative.im;
  }
  ParlettOutcome outcome;
  if (option == kSquareRoot) {
    outcome.unresolved = !TriangularSquareRoot(tv, fv, n);
    outcome.smallestGap = SmallestDiagonalGap(tv, n);
  } else if (TriangularLogarithm(tv, fv, n, logWork)) {
    outcome.smallestGap = SmallestDiagonalGap(tv, n);
  } else {
    // A singular or non-finite T.
    const ComplexVectorView df{w, w + 1, 2};
    outcome = RunParlettRecurrence(tv, fv, n, &df, &DivideNonzero);
  }
  double e = kLapackEps * LargestStrictColumnSum(tv, n) / std::sqrt(outcome.smallestGap);
  if (std::isnan(e) || e < kLapackEps) e = kLapackEps;
  if (e > 1 || outcome.unresolved) e = 1;

  // X = Z F Z^H: T := Z F, then F := T Z^H. An infinite F (the logarithm
  // of 0) takes the products that keep it apart from Z's exact zeros.
  if (IsFiniteMatrix(fv, n)) {
    const double one[2] = {1, 0}, zero[2] = {0, 0};
    zgemm_("N", "N", &n, &n, &n, one, z, &n, f, &n, zero, t, &n, 1, 1);
    zgemm_("N", "C", &n, &n, &n, one, t, &n, z, &n, zero, f, &n, 1, 1);
  } else {
    TransformBack(tv, fv, n, ComplexMatrixView{z, z + 1, 2, 2 * int64_t{n}});
  }
  // Real when the imaginary part is negligible, an all-zero result included.
  const bool real = PartOneNorm(f, n, 1) <= 10 * n * PartOneNorm(f, n, 0) * kLapackEps;

  // The results take the room of the argument and the estimate's
  // placeholder they replace: no request the host could grow for.
  const RoomRequestsPaused replaced;
  ErrCode code = Drop(ctx, 1 + reserved.count());
  if (!code && estimate) code = PushRealScalar(ctx, e);
  MatrixOperand x;
  if (!code) code = PushResultMatrix(ctx, n, n, !real, &x);
  if (!code) CopyMatrixOut(f, true, x);
  return code;
}

}  // namespace vke
