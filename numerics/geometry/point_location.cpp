// Point location in a triangulation by barycentric coordinates, and the
// interpolation of scattered data over the Delaunay triangulation: the
// natives tsearchn, griddatan, and tsearch and griddata in the plane.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <utility>

#include "builtins/matrix_kernels.hpp"
#include "builtins/shell_sort.hpp"
#include "engine/context.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/geometry/geometry.hpp"
#include "numerics/interp/interp_support.hpp"
#include "numerics/native_results.hpp"

namespace vke {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Of the routine of griddata and tsearch.
constexpr uintptr_t kGriddata = 'g';
constexpr uintptr_t kTsearch = 't';

// The scratch of one simplex's inverse: the matrix, the identity that
// becomes the inverse, the pivots.
int64_t InverseScratch(int32_t n) {
  return 2 * int64_t{n + 1} * (n + 1) + (n + 2) / 2;
}

// The method argument of griddata and griddatan at the depth: linear or
// nearest.
ErrCode ReadScatterMethod(EngineContext* ctx, int32_t depth, InterpMethod* method) {
  if (!IsCharArray(ctx, depth)) return kErrWrongTypeOverload;
  if (ErrCode e = ReadInterpMethod(ctx, depth, method)) return e;
  return *method == InterpMethod::kLinear || *method == InterpMethod::kNearest ? kOk
                                                                               : kErrUnknownOpt;
}

// The real matrices at the depths, for the arguments of the natives.
ErrCode GetRealMatrixArgs(EngineContext* ctx,
                          std::initializer_list<std::pair<int32_t, RealArray*>> args) {
  for (auto [depth, array] : args) {
    if (ErrCode e = GetRealArrayArg(ctx, depth, array)) return e;
    if (!array->IsMatrix()) return kErrWrongTypeOverload;
  }
  return kOk;
}

// Values of the scattered data z at the located points: the barycentric
// blend, or the vertex of the largest coordinate.
void BlendValues(const RealArray& t, const double* z, InterpMethod method, int32_t q,
                 const int32_t* simplex, const double* barycentric, double* out) {
  const int32_t columns = t.Cols();
  for (int32_t p = 0; p < q; p++) {
    if (simplex[p] == 0) {
      out[p] = kNaN;
      continue;
    }
    const double* vertices = t.re + int64_t{simplex[p] - 1} * columns;
    const double* weights = barycentric + int64_t{p} * columns;
    if (method == InterpMethod::kNearest) {
      int32_t best = 0;
      for (int32_t j = 1; j < columns; j++)
        if (weights[j] > weights[best]) best = j;
      out[p] = z[static_cast<int32_t>(vertices[best]) - 1];
      continue;
    }
    double sum = 0;
    for (int32_t j = 0; j < columns; j++)
      sum += z[static_cast<int32_t>(vertices[j]) - 1] * weights[j];
    out[p] = sum;
  }
}

// Pushes the values of z (m of them) at the q x n points XI, interpolated
// over the Delaunay triangulation of the m x n points X (at xDepth), as an
// array of the shape (q elements).
ErrCode PushScatteredValues(EngineContext* ctx, int32_t xDepth, const double* z,
                            const RealArray& xi, InterpMethod method, const Shape& shape) {
  const uint32_t level = ctx->descTop;
  if (ErrCode e = DuplicateStackEntries(ctx, xDepth, 1)) return e;
  if (ErrCode e = TriangulateTop(ctx, false)) return DropAboveLevel(ctx, level, e);
  RealArray x, t;
  GetRealArrayArg(ctx, xDepth + 1, &x);
  GetRealArrayArg(ctx, 0, &t);
  const int32_t n = x.Cols(), q = xi.Rows();
  double* out;
  if (ErrCode e = PushDoubleArrayOfShape(ctx, shape, &out)) return DropAboveLevel(ctx, level, e);
  // The simplex of each point (32-bit words), then its coordinates.
  const int64_t simplexWords = (int64_t{q} + 1) / 2;
  double* located;
  if (ErrCode e = PushDoubleArrayOfShape(
          ctx, MatrixShape(1, static_cast<int32_t>(simplexWords + int64_t{q} * (n + 1))), &located))
    return DropAboveLevel(ctx, level, e);
  int32_t* simplex = reinterpret_cast<int32_t*>(located);
  double* barycentric = located + simplexWords;
  double* scratch = FreeScratchWords(ctx, LocateScratch(n, q));
  if (!scratch) return DropAboveLevel(ctx, level, kErrDataOverflow);
  if (ErrCode e = LocatePoints(x, t, xi, simplex, barycentric, scratch))
    return DropAboveLevel(ctx, level, e);
  BlendValues(t, z, method, q, simplex, barycentric, out);
  Drop(ctx);
  return DropStackEntries(ctx, 1, 1);
}

// Pushes the simplex of each of the q query points (NaN for none) as an
// array of the shape (q elements).
ErrCode PushLocations(EngineContext* ctx, const RealArray& x, const RealArray& t,
                      const RealArray& xi, const Shape& shape) {
  const uint32_t level = ctx->descTop;
  const int32_t q = xi.Rows();
  double* out;
  if (ErrCode e = PushDoubleArrayOfShape(ctx, shape, &out)) return e;
  // The simplices as 32-bit words behind the result until they are read.
  double* words;
  if (ErrCode e = PushDoubleArrayOfShape(ctx, MatrixShape(1, (q + 1) / 2), &words))
    return DropAboveLevel(ctx, level, e);
  int32_t* simplex = reinterpret_cast<int32_t*>(words);
  double* scratch = FreeScratchWords(ctx, LocateScratch(x.Cols(), q));
  if (!scratch) return DropAboveLevel(ctx, level, kErrDataOverflow);
  if (ErrCode e = LocatePoints(x, t, xi, simplex, nullptr, scratch))
    return DropAboveLevel(ctx, level, e);
  for (int32_t p = 0; p < q; p++) out[p] = simplex[p] == 0 ? kNaN : simplex[p];
  return Drop(ctx);
}

}  // namespace

int64_t LocateScratch(int32_t n, int32_t q) {
  return InverseScratch(n) + 2 * int64_t{q};
}

ErrCode LocatePoints(const RealArray& x, const RealArray& t, const RealArray& xi, int32_t* simplex,
                     double* barycentric, double* scratch) {
  const int32_t m = x.Rows(), n = x.Cols(), k = t.Rows(), q = xi.Rows(), size = n + 1;
  double* a = scratch;
  double* inverse = a + int64_t{size} * size;
  int32_t* pivots = reinterpret_cast<int32_t*>(inverse + int64_t{size} * size);
  // The points in the order of their first coordinate, so that each
  // simplex looks only at those within its extent along it.
  double* keys = scratch + InverseScratch(n);
  double* order = keys + q;
  for (int32_t p = 0; p < q; p++) {
    keys[p] = n > 0 ? xi.re[int64_t{p} * n] : 0.0;
    order[p] = p;
  }
  ShellSortRealWithIndex(keys, order, q, 1, false);
  int32_t vertices[64 + 1];
  for (int32_t s = 0; s < k; s++) {
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (int32_t j = 0; j < size; j++) {
      const double v = t.re[int64_t{s} * size + j];
      if (!(v >= 1 && v < double(m) + 1)) return kErrIndexOutOfRange;
      vertices[j] = static_cast<int32_t>(v) - 1;
      const double* point = x.re + int64_t{vertices[j]} * n;
      for (int32_t r = 0; r < n; r++) a[int64_t{r} * size + j] = point[r];
      a[int64_t{n} * size + j] = 1;
      if (n > 0) {
        lo = std::min(lo, point[0]);
        hi = std::max(hi, point[0]);
      }
    }
    for (int64_t e = 0; e < int64_t{size} * size; e++) inverse[e] = e % (size + 1) == 0 ? 1 : 0;
    SolveLinearSystemReal(a, inverse, size, size, pivots, false);
    // The first point at or beyond lo along the first coordinate.
    int32_t first = 0, last = q;
    while (first < last) {
      const int32_t mid = first + (last - first) / 2;
      if (keys[mid] < lo)
        first = mid + 1;
      else
        last = mid;
    }
    for (int32_t at = first; at < q && !(keys[at] > hi); at++) {
      const int32_t p = static_cast<int32_t>(order[at]);
      if (simplex[p] != 0) continue;
      const double* point = xi.re + int64_t{p} * n;
      double weights[64 + 1];
      bool inside = true;
      for (int32_t j = 0; j < size && inside; j++) {
        const double* row = inverse + int64_t{j} * size;
        double w = row[n];
        for (int32_t r = 0; r < n; r++) w += row[r] * point[r];
        weights[j] = w;
        inside = w >= 0 && w <= 1;
      }
      if (!inside) continue;
      simplex[p] = s + 1;
      if (barycentric)
        for (int32_t j = 0; j < size; j++) barycentric[int64_t{p} * size + j] = weights[j];
    }
  }
  return kOk;
}

// idx = tsearchn(X, T, XI) (NaN where no simplex holds a point), [idx, p] =
// tsearchn(X, T, XI) (32-bit indices, 0 where none, and the barycentric
// coordinates, NaN where none).
ErrCode TsearchnNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  RealArray x, t, xi;
  if (ErrCode e = GetRealMatrixArgs(ctx, {{2, &x}, {1, &t}, {0, &xi}})) return e;
  const int32_t n = x.Cols(), q = xi.Rows();
  if (t.Cols() != n + 1 || xi.Cols() != n) return kErrIncompSize;
  if (n > 64) return kErrBadSize;
  if (nargout < 2) {
    if (ErrCode e = PushLocations(ctx, x, t, xi, MatrixShape(q, 1))) return e;
    return DropStackEntries(ctx, 1, 3);
  }
  const uint32_t level = ctx->descTop;
  double* barycentric;
  if (ErrCode e = PushDoubleArrayOfShape(ctx, MatrixShape(q, n + 1), &barycentric)) return e;
  for (int64_t e = 0; e < int64_t{q} * (n + 1); e++) barycentric[e] = kNaN;
  const int32_t dims[2] = {q, 1};
  void* data;
  if (ErrCode e = PushNewTypedArray(ctx, 2, dims, 4, false, &data))
    return DropAboveLevel(ctx, level, e);
  int32_t* simplex = static_cast<int32_t*>(data);
  std::fill(simplex, simplex + q, 0);
  double* scratch = FreeScratchWords(ctx, LocateScratch(n, q));
  if (!scratch) return DropAboveLevel(ctx, level, kErrDataOverflow);
  if (ErrCode e = LocatePoints(x, t, xi, simplex, barycentric, scratch))
    return DropAboveLevel(ctx, level, e);
  return DropStackEntries(ctx, 2, 3);
}

// zi = griddatan(X, z, XI [, method]).
ErrCode GriddatanNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  InterpMethod method = InterpMethod::kLinear;
  if (nargin == 4) {
    if (ErrCode e = ReadScatterMethod(ctx, 0, &method)) return e;
  }
  const int32_t top = nargin - 3;
  RealArray x, z, xi;
  if (ErrCode e = GetRealMatrixArgs(ctx, {{top + 2, &x}, {top + 1, &z}, {top, &xi}})) return e;
  if (z.Rows() != x.Rows() || z.Cols() != 1) return kErrBadSize;
  if (xi.Cols() != x.Cols()) return kErrIncompSize;
  if (x.Cols() > 64) return kErrBadSize;
  if (ErrCode e = PushScatteredValues(ctx, top + 2, z.re, xi, method, MatrixShape(xi.Rows(), 1)))
    return e;
  return DropStackEntries(ctx, 1, nargin);
}

// zi = griddata(x, y, z, xi, yi [, method]) (option 'g') and idx =
// tsearch(x, y, T, xi, yi) (option 't'): the points are the pairs of x and
// y, the query points those of xi and yi, and the result has xi's shape.
ErrCode GriddataNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option) {
  if (option != kGriddata && option != kTsearch) return kErrIllegal;
  InterpMethod method = InterpMethod::kLinear;
  if (nargin == 6) {
    if (ErrCode e = ReadScatterMethod(ctx, 0, &method)) return e;
  }
  const int32_t top = nargin - 5;
  RealArray x, y, third, xi, yi;
  const std::pair<int32_t, RealArray*> args[] = {
      {top + 4, &x}, {top + 3, &y}, {top + 2, &third}, {top + 1, &xi}, {top, &yi}};
  for (auto [depth, array] : args)
    if (ErrCode e = GetRealArrayArg(ctx, depth, array)) return e;
  if (xi.shape.ndims != yi.shape.ndims) return kErrIncompSize;
  for (int32_t d = 0; d < xi.shape.ndims; d++)
    if (xi.shape.dims[d] != yi.shape.dims[d]) return kErrIncompSize;
  const uint32_t level = ctx->descTop;
  // The points, then the query points, as rows of pairs.
  if (ErrCode e = PushPointPairs(ctx, top + 4, top + 3)) return e;
  if (ErrCode e = PushPointPairs(ctx, top + 2, top + 1)) return DropAboveLevel(ctx, level, e);
  RealArray points, queries;
  GetRealArrayArg(ctx, 1, &points);
  GetRealArrayArg(ctx, 0, &queries);
  ErrCode e;
  if (option == kGriddata) {
    if (third.shape.count != points.Rows()) return DropAboveLevel(ctx, level, kErrBadSize);
    e = PushScatteredValues(ctx, 1, third.re, queries, method, xi.shape);
  } else {
    e = third.IsMatrix() && third.Cols() == 3 ? PushLocations(ctx, points, third, queries, xi.shape)
                                              : kErrIncompSize;
  }
  if (e) return DropAboveLevel(ctx, level, e);
  // The pairs and the inputs go; the result stays.
  return DropStackEntries(ctx, 1, 2 + nargin);
}

}  // namespace vke
