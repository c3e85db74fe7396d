// interpn: values on a grid of up to 16 dimensions, given by one monotonic
// coordinate vector per dimension, interpolated at points given by one
// array of coordinates per dimension.
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/interp/interp_support.hpp"
#include "numerics/native_results.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxGridDims = 16;

struct Grid {
  int32_t n = 0;
  const double* coords[kMaxGridDims] = {};
  int32_t lengths[kMaxGridDims] = {};
  int64_t strides[kMaxGridDims] = {};  // of V, stored row by row
  const double* points[kMaxGridDims] = {};
  Shape v;
  const double* vRe = nullptr;
  const double* vIm = nullptr;
};

// The grid's checks: V's dimensions against the coordinates' lengths.
ErrCode CheckValues(const Grid& g) {
  if (g.v.ndims > 2 && g.v.ndims > g.n) return kErrBadDim;
  if (g.n == 1) return g.v.count == g.lengths[0] ? kOk : kErrBadSize;
  for (int32_t k = 0; k < g.n; k++) {
    const int32_t size = k < g.v.ndims ? g.v.dims[k] : 1;
    if (size != g.lengths[k]) return kErrBadSize;
  }
  return kOk;
}

// V's strides: the second dimension's elements follow one another, the
// first steps by the columns, each further one by the product of those
// before it.
void SetStrides(Grid* g) {
  if (g->n == 1) {
    g->strides[0] = 1;
    return;
  }
  g->strides[1] = 1;
  g->strides[0] = g->lengths[1];
  int64_t product = int64_t{g->lengths[0]} * g->lengths[1];
  for (int32_t k = 2; k < g->n; k++) {
    g->strides[k] = product;
    product *= g->lengths[k];
  }
}

// The value at point p, or false when it lies outside the grid.
bool Interpolate(const Grid& g, InterpMethod method, int64_t p, double* re, double* im) {
  int32_t interval[kMaxGridDims];
  double weight[kMaxGridDims];
  int64_t at = 0;
  for (int32_t k = 0; k < g.n; k++) {
    const double v = g.points[k][p];
    interval[k] = FindInterval(g.coords[k], g.lengths[k], v);
    if (interval[k] < 0) return false;
    if (method == InterpMethod::kLinear) {
      weight[k] = UpperWeight(g.coords[k], interval[k], v);
      at += interval[k] * g.strides[k];
    } else {
      at += PickNode(method, g.coords[k], interval[k], v) * g.strides[k];
    }
  }
  if (method != InterpMethod::kLinear) {
    *re = g.vRe[at];
    *im = g.vIm ? g.vIm[at] : 0.0;
    return true;
  }
  // Every corner of the cell: bit k set takes the upper node along k.
  double sumRe = 0, sumIm = 0;
  for (uint32_t corner = 0; corner < (1u << g.n); corner++) {
    double factor = 1;
    int64_t index = at;
    for (int32_t k = 0; k < g.n; k++) {
      if (corner & (1u << k)) {
        factor *= weight[k];
        index += g.strides[k];
      } else {
        factor *= 1 - weight[k];
      }
    }
    sumRe += factor * g.vRe[index];
    if (g.vIm) sumIm += factor * g.vIm[index];
  }
  *re = sumRe;
  *im = sumIm;
  return true;
}

}  // namespace

// vi = interpn(x1, ..., xn, V, y1, ..., yn [, method [, extrap]]).
ErrCode InterpnNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  InterpOptions options;
  if (ErrCode e = ReadInterpOptions(ctx, nargin, &options)) return e;
  const int32_t rest = nargin - options.count;
  Grid g;
  g.n = rest / 2;
  if (g.n > kMaxGridDims) return kErrBadDim;
  if (rest < 3 || rest % 2 == 0) return kErrTooFewArgin;
  // Argument a lies at depth nargin - 1 - a.
  const auto depth = [&](int32_t a) { return nargin - 1 - a; };
  double *re, *im;
  Shape shape;
  for (int32_t k = 0; k < g.n; k++) {
    if (ErrCode e = GetDoubleArrayArg(ctx, depth(k), &shape, &re, &im)) return e;
    g.coords[k] = re;
    g.lengths[k] = shape.count;
  }
  if (ErrCode e = GetDoubleArrayArg(ctx, depth(g.n), &g.v, &re, &im)) return e;
  g.vRe = re;
  g.vIm = im;
  Shape first;
  for (int32_t k = 0; k < g.n; k++) {
    if (ErrCode e = GetDoubleArrayArg(ctx, depth(g.n + 1 + k), &shape, &re, &im)) return e;
    if (k == 0) first = shape;
    if (shape.ndims != first.ndims) return kErrBadSize;
    for (int32_t d = 0; d < shape.ndims; d++)
      if (shape.dims[d] != first.dims[d]) return kErrBadSize;
    g.points[k] = re;
  }
  if (ErrCode e = CheckValues(g)) return e;
  for (int32_t k = 0; k < g.n; k++)
    if (!IsMonotonic(g.coords[k], g.lengths[k], true)) return RaiseUnsorted(ctx);
  SetStrides(&g);
  const bool complex = g.vIm || options.ComplexExtrap();
  double* outIm = nullptr;
  if (ErrCode e = PushDoubleArrayOfShape(ctx, first, &re, complex ? &outIm : nullptr)) return e;
  for (int64_t p = 0; p < first.count; p++) {
    double vr, vi;
    if (!Interpolate(g, options.method, p, &vr, &vi)) {
      vr = options.extrapRe;
      vi = options.extrapIm;
    }
    re[p] = vr;
    if (outIm) outIm[p] = vi;
  }
  return DropStackEntries(ctx, 1, nargin);
}

}  // namespace vke
