// Delaunay triangulation in any number of dimensions by incremental
// insertion (Bowyer-Watson): the points are added one by one to a
// triangulation of a huge enclosing simplex; every simplex whose
// circumsphere holds the new point strictly inside is removed, and the
// faces on the boundary of the hole are joined to the point. The simplices
// touching the enclosing simplex's vertices are dropped at the end. All
// the work lies in the free data stack; the natives delaunayn and
// delaunay.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/context.hpp"
#include "engine/frames/frames.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/geometry/geometry.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/native_results.hpp"

namespace vke {

namespace {

// How far the enclosing simplex reaches beyond the points: below each
// coordinate's minimum by this multiple of its range, above its maximum by
// kReachAbove times the distance from the lower end.
constexpr double kReachBelow = 100000;
constexpr double kReachAbove = 3;

// Bytes of the headers of the results, which are pushed over the store.
constexpr int64_t kResultHeaders = 128;

// Marks a simplex removed during an insertion.
constexpr double kRemoved = -1;

// The simplices in the free data stack, from its start: the circumsphere's
// scratch, then per simplex its centre and squared radius, one boundary
// face, and its n + 1 vertex indices (at the end, so that the results can
// be pushed while the vertices are read).
class SimplexStore {
 public:
  // Lays the store out over the free data stack; false when fewer than
  // m + n simplices fit.
  bool LayOut(EngineContext* ctx, int32_t m, int32_t n) {
    uint32_t bytes;
    void* free;
    GetDataStackFree(ctx, &bytes, &free);
    n_ = n;
    sphere_ = static_cast<double*>(free);
    // Besides the scratch, room for the hull marks' header and the results'
    // descriptors below the vertices.
    const int64_t room = int64_t{bytes} - 8 * CircumsphereScratch(n) - 8 - kResultHeaders;
    capacity_ = room < 0 ? 0 : room / (16 * int64_t{n} + 12);
    if (capacity_ < int64_t{m} + n) return false;
    centres_ = sphere_ + CircumsphereScratch(n);
    radii_ = centres_ + capacity_ * n;
    faces_ = reinterpret_cast<int32_t*>(radii_ + capacity_);
    vertices_ = faces_ + capacity_ * n;
    return true;
  }

  int64_t capacity() const { return capacity_; }
  int64_t count = 0;    // simplices, the removed ones among them
  int64_t removed = 0;  // marked kRemoved, not yet squeezed out
  double* Centre(int64_t s) const { return centres_ + s * n_; }
  double& Radius2(int64_t s) const { return radii_[s]; }
  int32_t* Vertices(int64_t s) const { return vertices_ + s * (n_ + 1); }
  int32_t* Face(int64_t f) const { return faces_ + f * n_; }
  double* SphereScratch() const { return sphere_; }

  // Moves simplex `from` to place `to` (to <= from).
  void Move(int64_t from, int64_t to, bool withSphere) {
    if (from == to) return;
    // Element by element: the records are short and never overlap.
    const int32_t* source = Vertices(from);
    int32_t* target = Vertices(to);
    for (int32_t v = 0; v <= n_; v++) target[v] = source[v];
    if (!withSphere) return;
    const double* centre = Centre(from);
    double* moved = Centre(to);
    for (int32_t k = 0; k < n_; k++) moved[k] = centre[k];
    radii_[to] = radii_[from];
  }

  // Drops the removed simplices, keeping the others in order.
  void Squeeze() {
    int64_t kept = 0;
    for (int64_t s = 0; s < count; s++)
      if (radii_[s] != kRemoved) Move(s, kept++, true);
    count = kept;
    removed = 0;
  }

 private:
  int32_t n_ = 0;
  int64_t capacity_ = 0;
  double* sphere_ = nullptr;
  double* centres_ = nullptr;
  double* radii_ = nullptr;
  int32_t* faces_ = nullptr;
  int32_t* vertices_ = nullptr;
};

// Writes the n + 1 vertices of the enclosing simplex behind the m points
// of the work matrix and makes it the first simplex.
void Enclose(double* work, int32_t m, int32_t n, SimplexStore* store) {
  double* centre = store->Centre(0);
  for (int32_t j = 0; j < n; j++) {
    double lo = work[j], hi = work[j];
    for (int32_t i = 1; i < m; i++) {
      lo = std::min(lo, work[int64_t{i} * n + j]);
      hi = std::max(hi, work[int64_t{i} * n + j]);
    }
    // Points that all share a coordinate still need a simplex of some
    // extent along it.
    double span = hi - lo;
    if (span == 0) span = std::max(std::fabs(hi), 1.0);
    const double low = lo - span * kReachBelow;
    const double high = hi + (hi - low) * kReachAbove;
    for (int32_t v = 0; v <= n; v++) {
      double& c = work[int64_t{m + v} * n + j];
      c = low;
      if (v == j) c += (high - low) * n;
    }
    centre[j] = (low + high) / 2;
  }
  store->Radius2(0) = std::numeric_limits<double>::infinity();
  for (int32_t v = 0; v <= n; v++) store->Vertices(0)[v] = m + v;
  store->count = 1;
}

// The boundary faces of the hole a point makes: a face met twice is inside
// the hole and leaves the list.
class Boundary {
 public:
  Boundary(const SimplexStore& store, int32_t n) : store_(store), n_(n) {}
  int64_t count = 0;

  // Adds the faces of simplex s; false when the list is full.
  bool AddFacesOf(int64_t s) {
    const int32_t* vertices = store_.Vertices(s);
    int32_t face[kMaxFaceVertices];
    for (int32_t skip = 0; skip <= n_; skip++) {
      for (int32_t v = 0, k = 0; v <= n_; v++)
        if (v != skip) face[k++] = vertices[v];
      if (!AddFace(face)) return false;
    }
    return true;
  }

  // Simplex vertices hold at most this many dimensions' faces on the
  // machine stack; larger ones go through the store's own face rows.
  static constexpr int32_t kMaxFaceVertices = 64;

 private:
  bool AddFace(const int32_t* face) {
    const size_t bytes = sizeof(int32_t) * n_;
    for (int64_t f = 0; f < count; f++) {
      if (std::memcmp(store_.Face(f), face, bytes) != 0) continue;
      // Met again: inside the hole.
      count--;
      if (f != count) std::memcpy(store_.Face(f), store_.Face(count), bytes);
      return true;
    }
    if (count >= store_.capacity()) return false;
    std::memcpy(store_.Face(count++), face, bytes);
    return true;
  }

  const SimplexStore& store_;
  int32_t n_;
};

// The first simplex from `from` on whose circumsphere holds the point
// strictly inside, or the count; kDims fixes the dimension for the plane
// and space (0: n as given).
template <int32_t kDims>
int64_t NextHolding(const SimplexStore& store, const double* point, int32_t n, int64_t from) {
  const int32_t dims = kDims ? kDims : n;
  for (int64_t s = from; s < store.count; s++) {
    const double* c = store.Centre(s);
    double d2 = 0;
    for (int32_t k = 0; k < dims; k++) d2 += (point[k] - c[k]) * (point[k] - c[k]);
    if (d2 < store.Radius2(s)) return s;
  }
  return store.count;
}

// The user-break poll between points, and within one point's insertion
// once its circumspheres have cost about kWorkBetweenPolls operations (n^3
// each): in many dimensions a single point takes long.
class InsertionPoll {
 public:
  InsertionPoll(EngineContext* ctx, int32_t n)
      : ctx_(ctx),
        spheresPerPoll_(std::max<int64_t>(1, kWorkBetweenPolls / (int64_t{n} * n * n))) {}
  // After each circumsphere: true on a break.
  bool AfterSphere() {
    if (++spheres_ < spheresPerPoll_) return false;
    spheres_ = 0;
    return PollAbortRequest(ctx_);
  }
  bool AfterPoint() { return PollAbortRequest(ctx_); }

 private:
  static constexpr int64_t kWorkBetweenPolls = int64_t{1} << 22;
  EngineContext* ctx_;
  int64_t spheresPerPoll_;
  int64_t spheres_ = 0;
};

enum class Insertion : uint8_t { kDone, kFull, kHalted };

// Inserts point p: removes the simplices whose circumsphere holds it and
// joins the hole's boundary to it.
Insertion Insert(const double* work, int32_t n, int32_t p, SimplexStore* store,
                 InsertionPoll* poll) {
  const double* point = work + int64_t{p} * n;
  const auto next = n == 2 ? NextHolding<2> : n == 3 ? NextHolding<3> : NextHolding<0>;
  Boundary boundary(*store, n);
  for (int64_t s = next(*store, point, n, 0); s < store->count; s = next(*store, point, n, s + 1)) {
    store->Radius2(s) = kRemoved;
    store->removed++;
    if (!boundary.AddFacesOf(s)) return Insertion::kFull;
  }
  // The removed simplices stay in place, passed over by the test, until
  // they are many or their room is needed: squeezing them out then keeps
  // the others in the same order as squeezing after every point would.
  if (store->count + boundary.count > store->capacity() || 2 * store->removed > store->count)
    store->Squeeze();
  if (store->count + boundary.count > store->capacity()) return Insertion::kFull;
  for (int64_t f = 0; f < boundary.count; f++) {
    const int64_t s = store->count++;
    int32_t* vertices = store->Vertices(s);
    std::memcpy(vertices, store->Face(f), sizeof(int32_t) * n);
    vertices[n] = p;
    Circumsphere(work, n, vertices, store->Centre(s), &store->Radius2(s), store->SphereScratch());
    if (poll->AfterSphere()) return Insertion::kHalted;
  }
  return Insertion::kDone;
}

// Drops the simplices with a vertex of the enclosing simplex, marking their
// points in hull (m bytes, or null).
void DropEnclosure(SimplexStore* store, int32_t m, int32_t n, uint8_t* hull) {
  int64_t kept = 0;
  for (int64_t s = 0; s < store->count; s++) {
    const int32_t* vertices = store->Vertices(s);
    bool outer = false;
    for (int32_t v = 0; v <= n; v++) outer = outer || vertices[v] >= m;
    if (!outer) {
      store->Move(s, kept++, false);
      continue;
    }
    if (hull)
      for (int32_t v = 0; v <= n; v++)
        if (vertices[v] < m) hull[vertices[v]] = 1;
  }
  store->count = kept;
}

}  // namespace

ErrCode TriangulateTop(EngineContext* ctx, bool hull) {
  RealArray x;
  if (ErrCode e = GetRealArrayArg(ctx, 0, &x)) return e;
  if (!x.IsMatrix()) return kErrWrongTypeOverload;
  const int32_t m = x.Rows(), n = x.Cols();
  if (n > Boundary::kMaxFaceVertices) return kErrBadSize;
  // A point at infinity or NaN has no place in a triangulation.
  const int64_t coordinates = int64_t{m} * n;
  for (int64_t i = 0; i < coordinates; i++)
    if (!std::isfinite(x.re[i])) return kErrOutOfRangeArg;
  const uint32_t level = ctx->descTop;
  const auto fail = [&](ErrCode e) { return DropAboveLevel(ctx, level, e); };
  // The work matrix: the points, then the enclosing simplex's vertices.
  double* work;
  if (ErrCode e = PushDoubleArrayOfShape(ctx, MatrixShape(m + n + 1, n), &work)) return e;
  SimplexStore store;
  const bool empty = m == 0 || n == 0;
  if (!empty) {
    std::memcpy(work, x.re, sizeof(double) * m * n);
    // Coordinates whose squares (over the reach of the enclosing simplex)
    // would overflow or underflow are scaled by a power of two, which
    // leaves the triangulation as it is.
    if (const int shift = SafeRangeExponent(work, nullptr, coordinates))
      ScaleValues(work, coordinates, shift);
    if (!store.LayOut(ctx, m, n)) return fail(kErrDataOverflow);
    Enclose(work, m, n, &store);
    InsertionPoll poll(ctx, n);
    for (int32_t p = 0; p < m; p++) {
      const Insertion done = Insert(work, n, p, &store, &poll);
      if (done == Insertion::kFull) return fail(kErrDataOverflow);
      if (done == Insertion::kHalted || poll.AfterPoint()) return fail(kErrHalted);
    }
  }
  // The results take the place of the spheres and faces, below the
  // vertices.
  uint8_t* marks = nullptr;
  if (hull) {
    Shape column = MatrixShape(m, 1);
    if (ErrCode e = PushLogicalArray(ctx, 2, column.dims, &marks)) return fail(e);
    std::memset(marks, 0, static_cast<size_t>(m));
  }
  if (!empty) {
    store.Squeeze();
    DropEnclosure(&store, m, n, marks);
  }
  double* out;
  if (ErrCode e =
          PushDoubleArrayOfShape(ctx, MatrixShape(static_cast<int32_t>(store.count), n + 1), &out))
    return fail(e);
  for (int64_t s = 0; s < store.count; s++)
    for (int32_t v = 0; v <= n; v++) out[s * (n + 1) + v] = store.Vertices(s)[v] + 1;
  return DropStackEntries(ctx, hull ? 2 : 1, 2);
}

ErrCode PushPointPairs(EngineContext* ctx, int32_t xDepth, int32_t yDepth) {
  RealArray x, y;
  if (ErrCode e = GetRealArrayArg(ctx, xDepth, &x)) return e;
  if (ErrCode e = GetRealArrayArg(ctx, yDepth, &y)) return e;
  if (x.shape.count != y.shape.count) return kErrIncompSize;
  double* out;
  if (ErrCode e = PushDoubleArrayOfShape(ctx, MatrixShape(x.shape.count, 2), &out)) return e;
  for (int32_t i = 0; i < x.shape.count; i++) {
    out[2 * i] = x.re[i];
    out[2 * i + 1] = y.re[i];
  }
  return kOk;
}

ErrCode GetRealArrayArg(EngineContext* ctx, int32_t depth, RealArray* out) {
  double* im;
  if (GetDoubleArrayArg(ctx, depth, &out->shape, &out->re, &im) || im) return kErrWrongTypeOverload;
  return kOk;
}

// T = delaunayn(X), [T, hull] = delaunayn(X).
ErrCode DelaunaynNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  return TriangulateTop(ctx, nargout >= 2);
}

// T = delaunay(x, y), [T, hull] = delaunay(x, y).
ErrCode DelaunayNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  if (ErrCode e = PushPointPairs(ctx, 1, 0)) return e;
  const bool hull = nargout >= 2;
  if (ErrCode e = TriangulateTop(ctx, hull)) {
    Drop(ctx);
    return e;
  }
  return DropStackEntries(ctx, hull ? 2 : 1, 2);
}

}  // namespace vke
