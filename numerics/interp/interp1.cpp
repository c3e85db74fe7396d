// interp1: series given at increasing coordinates, interpolated at points,
// one series or one per column (and page) of y.
#include <cstdint>

#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/interp/interp_support.hpp"
#include "numerics/native_results.hpp"

namespace vke {

namespace {

struct DoubleArg {
  Shape shape;
  double* re = nullptr;
  double* im = nullptr;
};

bool IsVectorShape(const Shape& s) {
  return s.ndims == 2 && (s.dims[0] == 1 || s.dims[1] == 1);
}

// How the series lie in y and the points in xi and in the result: series s
// is column s % cols of page s / cols; node (or point) r of it lies at
// page * rows * cols + r * cols + column.
struct SeriesLayout {
  int32_t nodes = 0;   // per series
  int32_t series = 1;  // count
  int32_t cols = 1;    // series per page
  bool shared = true;  // every series takes all of xi
  int32_t points = 0;  // per series
  Shape result;

  int64_t At(int32_t s, int32_t r, int32_t rows) const {
    return (int64_t{s / cols} * rows + r) * cols + s % cols;
  }
};

// The layout for y and xi (x given or not, its count); 34 when they do
// not fit together.
ErrCode LayOut(const Shape& y, const Shape& xi, bool hasX, int32_t xCount, SeriesLayout* l) {
  if ((!hasX || xCount == y.count) && IsVectorShape(y)) {
    if (!IsVectorShape(xi)) return kErrBadDim;
    l->nodes = y.count;
    l->points = xi.count;
    l->result = xi;
    return kOk;
  }
  l->nodes = y.dims[0];
  if (hasX && xCount != l->nodes) return kErrBadDim;
  l->cols = y.dims[1];
  l->series = 1;
  for (int32_t k = 1; k < y.ndims; k++) l->series *= y.dims[k];
  l->result = y;
  if (IsVectorShape(xi)) {
    l->points = xi.count;
  } else {
    if (xi.ndims != y.ndims) return kErrBadDim;
    for (int32_t k = 1; k < y.ndims; k++)
      if (xi.dims[k] != y.dims[k]) return kErrBadDim;
    l->shared = false;
    l->points = xi.dims[0];
  }
  // Every series at all of xi may ask for more elements than an array holds.
  const int64_t count = int64_t{l->points} * l->series;
  if (count > INT32_MAX) return kErrObjTooLarge;
  l->result.dims[0] = l->points;
  l->result.count = static_cast<int32_t>(count);
  return kOk;
}

}  // namespace

// yi = interp1([x,] y, xi [, method [, extrap]]).
ErrCode Interp1Native(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  InterpOptions options;
  if (ErrCode e = ReadInterpOptions(ctx, nargin, &options)) return e;
  const int32_t rest = nargin - options.count;
  if (rest < 2) return kErrTooFewArgin;
  if (rest > 3) return kErrTooManyArgin;
  const int32_t top = options.count;
  const bool hasX = rest == 3;
  DoubleArg x, y, xi;
  if (ErrCode e = GetDoubleArrayArg(ctx, top, &xi.shape, &xi.re, &xi.im)) return e;
  if (ErrCode e = GetDoubleArrayArg(ctx, top + 1, &y.shape, &y.re, &y.im)) return e;
  if (hasX) {
    if (ErrCode e = GetDoubleArrayArg(ctx, top + 2, &x.shape, &x.re, &x.im)) return e;
  }
  SeriesLayout layout;
  if (ErrCode e = LayOut(y.shape, xi.shape, hasX, x.shape.count, &layout)) return e;
  const int32_t n = layout.nodes;
  if (hasX && !IsMonotonic(x.re, n, false)) return RaiseUnsorted(ctx);
  // Without x the coordinates 1..n stand in a row of their own.
  const uint32_t level = ctx->descTop;
  if (!hasX) {
    if (ErrCode e = PushDoubleArrayOfShape(ctx, MatrixShape(1, n), &x.re)) return e;
    for (int32_t k = 0; k < n; k++) x.re[k] = k + 1;
  }
  const bool complex = y.im || options.ComplexExtrap();
  double *re, *im = nullptr;
  if (ErrCode e = PushDoubleArrayOfShape(ctx, layout.result, &re, complex ? &im : nullptr)) {
    DropStackEntries(ctx, 0, (ctx->descTop - level) / 3);
    return e;
  }
  // One series has a single column: its elements follow one another.
  const int32_t yRows = y.shape.dims[0];
  for (int32_t s = 0; s < layout.series; s++) {
    for (int32_t r = 0; r < layout.points; r++) {
      const int64_t out = layout.At(s, r, layout.points);
      const double v = layout.shared ? xi.re[r] : xi.re[out];
      const int32_t i = FindInterval(x.re, n, v);
      if (i < 0) {
        re[out] = options.extrapRe;
        if (im) im[out] = options.extrapIm;
        continue;
      }
      const int64_t lower = layout.At(s, i, yRows), upper = layout.At(s, i + 1, yRows);
      if (options.method == InterpMethod::kLinear) {
        const double t = UpperWeight(x.re, i, v);
        re[out] = t * y.re[upper] + (1 - t) * y.re[lower];
        if (y.im) im[out] = t * y.im[upper] + (1 - t) * y.im[lower];
      } else {
        const int64_t at = PickNode(options.method, x.re, i, v) == i ? lower : upper;
        re[out] = y.re[at];
        if (y.im) im[out] = y.im[at];
      }
    }
  }
  // The result takes the place of the inputs (and of the coordinates made
  // for a missing x).
  return DropStackEntries(ctx, 1, nargin + (hasX ? 0 : 1));
}

}  // namespace vke
