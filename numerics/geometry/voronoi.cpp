// Voronoi diagrams from the Delaunay triangulation: the vertices are the
// simplices' circumcentres behind a point at infinity, and the cell of a
// point lists the simplices it belongs to (the point at infinity first for
// a point on the hull). voronoi orders each planar cell around its point.
// The natives voronoin and voronoi.
#include <cmath>
#include <cstring>
#include <limits>

#include "builtins/shell_sort.hpp"
#include "engine/context.hpp"
#include "engine/frames/frames.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/geometry/geometry.hpp"
#include "numerics/native_results.hpp"

namespace vke {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;
// The angle that sorts the point at infinity after every vertex.
constexpr double kInfinityAngle = 10;
// The point at infinity's row among the vertices, 1-based.
constexpr double kInfinityVertex = 1;

// Pushes the (k + 1) x n vertices: infinity, then the circumcentre of each
// simplex.
ErrCode PushVertices(EngineContext* ctx, const RealArray& x, const RealArray& t) {
  const int32_t n = x.Cols(), k = t.Rows();
  double* v;
  if (ErrCode e = PushDoubleArrayOfShape(ctx, MatrixShape(k + 1, n), &v)) return e;
  // The scratch, then the vertex indices of one simplex.
  double* scratch = FreeScratchWords(ctx, CircumsphereScratch(n) + n + 1);
  if (!scratch) return kErrDataOverflow;
  int32_t* vertices = reinterpret_cast<int32_t*>(scratch + CircumsphereScratch(n));
  for (int32_t j = 0; j < n; j++) v[j] = std::numeric_limits<double>::infinity();
  for (int32_t s = 0; s < k; s++) {
    for (int32_t j = 0; j <= n; j++)
      vertices[j] = static_cast<int32_t>(t.re[int64_t{s} * (n + 1) + j]) - 1;
    Circumsphere(x.re, n, vertices, v + int64_t{s + 1} * n, nullptr, scratch);
  }
  return kOk;
}

// Orders a planar cell of point p counter-clockwise by the angles of its
// vertices around p; the point at infinity goes into the first gap of at
// least half a turn. 3 when the angles do not fit.
ErrCode OrderCell(EngineContext* ctx, double* cell, int32_t length, const double* p,
                  const double* vertices) {
  double* angles = FreeScratchWords(ctx, length);
  if (!angles) return kErrDataOverflow;
  for (int32_t j = 0; j < length; j++) {
    if (cell[j] == kInfinityVertex) {
      angles[j] = kInfinityAngle;
      continue;
    }
    const double* v = vertices + 2 * (static_cast<int64_t>(cell[j]) - 1);
    const double a = std::atan2(v[1] - p[1], v[0] - p[0]);
    angles[j] = a < 0 ? a + kTwoPi : a;
  }
  ShellSortRealWithIndex(angles, cell, length, 1, false);
  if (length < 2 || cell[length - 1] != kInfinityVertex) return kOk;
  for (int32_t j = 0; j + 2 < length; j++) {
    if (angles[j + 1] - angles[j] < kPi) continue;
    std::memmove(cell + j + 2, cell + j + 1, sizeof(double) * (length - 2 - j));
    cell[j + 1] = kInfinityVertex;
    break;
  }
  return kOk;
}

// The simplices of each point, in simplex order, as offsets into a list:
// first[i] .. first[i + 1] - 1 of `entries` (m + 1 and k (n + 1) words in
// one pushed value).
struct Incidence {
  int32_t* first = nullptr;
  int32_t* entries = nullptr;
};

ErrCode PushIncidence(EngineContext* ctx, int32_t m, const RealArray& t, Incidence* out) {
  const int32_t k = t.Rows(), columns = t.Cols();
  const int64_t words = (int64_t{m} + 1 + int64_t{k} * columns + 1) / 2;
  double* data;
  if (ErrCode e = PushDoubleArrayOfShape(ctx, MatrixShape(1, static_cast<int32_t>(words)), &data))
    return e;
  out->first = reinterpret_cast<int32_t*>(data);
  out->entries = out->first + m + 1;
  int32_t* first = out->first;
  const int64_t total = int64_t{k} * columns;
  // Counts, then starts, then ends after a pass in simplex order, which
  // keeps each point's list in that order; the ends shift into starts.
  for (int64_t e = 0; e < total; e++) first[static_cast<int32_t>(t.re[e])]++;
  for (int32_t i = 0; i < m; i++) first[i + 1] += first[i];
  for (int64_t e = 0; e < total; e++)
    out->entries[first[static_cast<int32_t>(t.re[e]) - 1]++] = static_cast<int32_t>(e / columns);
  for (int32_t i = m; i > 0; i--) first[i] = first[i - 1];
  first[0] = 0;
  return kOk;
}

// Pushes the list of the m cells (rows of vertex numbers), ordered when
// asked, with the points X, the hull marks, T and the vertices below.
ErrCode PushCells(EngineContext* ctx, const RealArray& x, const uint8_t* hull, const RealArray& t,
                  const double* vertices, bool ordered) {
  const int32_t m = x.Rows();
  Incidence incidence;
  if (ErrCode e = PushIncidence(ctx, m, t, &incidence)) return e;
  for (int32_t i = 0; i < m; i++) {
    const int32_t from = incidence.first[i], to = incidence.first[i + 1];
    const int32_t length = (hull[i] ? 1 : 0) + to - from;
    double* cell;
    if (ErrCode e = PushDoubleArrayOfShape(ctx, MatrixShape(1, length), &cell)) return e;
    int32_t at = 0;
    if (hull[i]) cell[at++] = kInfinityVertex;
    for (int32_t j = from; j < to; j++) cell[at++] = incidence.entries[j] + 2;
    if (ordered) {
      if (ErrCode e = OrderCell(ctx, cell, length, x.re + 2 * int64_t{i}, vertices)) return e;
    }
    if (PollAbortRequest(ctx)) return kErrHalted;
  }
  if (ErrCode e = PushListFromEntries(ctx, m, false, nullptr, 0)) return e;
  return DropStackEntries(ctx, 1, 1);
}

// Replaces the m x n points on top by the vertices and, with cells set,
// the cells below them (ordered in the plane when asked).
ErrCode VoronoiTop(EngineContext* ctx, bool cells, bool ordered) {
  const uint32_t level = ctx->descTop;
  const auto fail = [&](ErrCode e) { return DropAboveLevel(ctx, level, e); };
  if (ErrCode e = DuplicateStackEntries(ctx, 0, 1)) return e;
  if (ErrCode e = TriangulateTop(ctx, true)) return fail(e);
  // X, hull, T.
  RealArray x, t;
  GetRealArrayArg(ctx, 2, &x);
  GetRealArrayArg(ctx, 0, &t);
  if (ErrCode e = PushVertices(ctx, x, t)) return fail(e);
  if (!cells) return DropStackEntries(ctx, 1, 3);
  uint8_t* hull;
  GetTypedArrayArg(ctx, 2, nullptr, nullptr, nullptr, reinterpret_cast<void**>(&hull));
  double* vertices;
  Shape shape;
  GetDoubleArrayArg(ctx, 0, &shape, &vertices, nullptr);
  if (ErrCode e = PushCells(ctx, x, hull, t, vertices, ordered)) return fail(e);
  // X, hull, T, V, C: the vertices are the first output.
  ReverseStackEntries(ctx, 2);
  return DropStackEntries(ctx, 2, 3);
}

}  // namespace

// V = voronoin(X), [V, C] = voronoin(X).
ErrCode VoronoinNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  RealArray x;
  if (ErrCode e = GetRealArrayArg(ctx, 0, &x)) return e;
  if (!x.IsMatrix()) return kErrWrongTypeOverload;
  return VoronoiTop(ctx, nargout >= 2, false);
}

// V = voronoi(x, y), [V, C] = voronoi(x, y), each cell counter-clockwise.
ErrCode VoronoiNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  if (ErrCode e = PushPointPairs(ctx, 1, 0)) return e;
  const bool cells = nargout >= 2;
  if (ErrCode e = VoronoiTop(ctx, cells, true)) {
    Drop(ctx);
    return e;
  }
  return DropStackEntries(ctx, cells ? 2 : 1, 2);
}

}  // namespace vke
