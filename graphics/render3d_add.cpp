// The commands of a 3-D subplot on their way into the depth pool: polylines
// as segments or points, 3-D text as points, polygon sets as triangles (fans
// or ear clipping) and their vertices as points, and the material that the
// primitives after it are shaded with. The pool starts in the scratch and
// moves into memory of its own, twice as large each time, when it is full,
// so that every primitive of the figure is kept; only when no memory is left
// does the call record the error and stop adding.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>

#include "graphics/face_triangles.hpp"
#include "graphics/polygon_payload.hpp"
#include "graphics/render_call.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

bool Finite(double x, double y) {
  return std::isfinite(x) && std::isfinite(y);
}

// Items of the pool when it first leaves the scratch, at least.
constexpr size_t kFirstGrownItems = 4096;

// The bound of SetRenderMemoryBound.
std::atomic<size_t> memoryBound{0};

// Doubles of memory of its own, or null.
std::unique_ptr<double[]> TryAllocate(size_t doubles) {
  const size_t bound = memoryBound.load(std::memory_order_relaxed);
  if (bound != 0 && doubles > bound / sizeof(double)) return nullptr;
  return std::unique_ptr<double[]>(new (std::nothrow) double[doubles]);
}

// Moves the pool into memory of its own twice its capacity; false, with
// the call's error set, when no more can be had (also when the pool reached
// the most items it can index).
bool GrowDepthPool(RenderCall& call) {
  const DepthSortPool* old = call.pool;
  const size_t items = std::max(2 * static_cast<size_t>(old->capacity), kFirstGrownItems);
  const size_t doubles = (DepthSortBytes(items) + 7) / 8;
  std::unique_ptr<double[]> store = TryAllocate(doubles);
  DepthSortPool* pool =
      store != nullptr ? DepthSortMove(old, store.get(), doubles * sizeof(double)) : nullptr;
  if (pool == nullptr || pool->capacity <= old->capacity) {
    call.error = kErrOutOfMem;
    return false;
  }
  call.pool = pool;
  call.poolStore = std::move(store);
  return true;
}

// Runs add(pool), one of the pool's adds, again in a larger pool while the
// pool is full. False when the primitive could not be kept (no pool, or no
// memory): the caller adds no more.
template <typename Add>
bool Keep(RenderCall& call, Add add) {
  int32_t rc = add(call.pool);
  while (rc == kDepthPoolFull) {
    if (!GrowDepthPool(call)) return false;
    rc = add(call.pool);
  }
  return rc == kDepthAdded;
}

bool KeepPoint(RenderCall& call, const uint32_t user[3], double x, double y, double z) {
  return Keep(call, [&](DepthSortPool* pool) {
    return DepthSortAddPoint(pool, user, static_cast<float>(x), static_cast<float>(y),
                             static_cast<float>(z));
  });
}

// The pool words of a primitive of the command at `at`.
void UserWords(const RenderCall& call, uint32_t at, uint32_t index, uint32_t user[3]) {
  user[kPoolCommand] = at;
  user[kPoolMaterial] =
      call.materialAt >= 0 ? static_cast<uint32_t>(call.materialAt) : kNoPoolMaterial;
  user[kPoolIndex] = index;
}

// What the triangles of one face need to reach the pool.
struct FaceAdd {
  RenderCall* call;
  const PolygonPayload* payload;
  uint32_t at;
  int64_t face;
  const double* X;  // device points of all vertices
  const double* Y;
  const double* Z;
  bool full = false;  // the pool took no more

  static void Emit(void* context, int32_t a, int32_t b, int32_t c, uint32_t boundary) {
    auto* f = static_cast<FaceAdd*>(context);
    if (f->full) return;
    const int32_t corner[3] = {a, b, c};
    float x[3];
    float y[3];
    float z[3];
    for (int i = 0; i < 3; ++i) {
      const uint32_t k = f->payload->Index(f->face, corner[i]);
      x[i] = static_cast<float>(f->X[k]);
      y[i] = static_cast<float>(f->Y[k]);
      z[i] = static_cast<float>(f->Z[k]);
    }
    uint32_t user[3];
    UserWords(*f->call, f->at, static_cast<uint32_t>(f->face), user);
    const uint32_t hidden = ~boundary & 7u;
    f->full = !Keep(*f->call, [&](DepthSortPool* pool) {
      return DepthSortAddTriangle(pool, user, x, y, z, true, true, hidden);
    });
  }
};

}  // namespace

void SetRenderMemoryBound(size_t bytes) {
  memoryBound.store(bytes, std::memory_order_relaxed);
}

double* CallMemory(RenderCall& call, size_t n) {
  if (n > call.ownDoubles) {
    call.own = TryAllocate(n);
    call.ownDoubles = call.own != nullptr ? n : 0;
  }
  return call.own.get();
}

double* DepthPointRoom(RenderCall& call, int64_t n) {
  if (n <= int64_t{call.capacity}) return call.scratch;
  double* room = CallMemory(call, static_cast<size_t>(n));
  if (room == nullptr) call.error = kErrOutOfMem;
  return room;
}

void Render3DAddPolyline(RenderCall& call, uint32_t at, const double* X, const double* Y,
                         const double* Z, int32_t n, const PlotStyle& style) {
  uint32_t user[3];
  if ((style.flags & kStyleKindMask) < kKindNone) {
    for (int32_t i = 1; i < n; ++i) {
      if (!Finite(X[i - 1], Y[i - 1]) || !Finite(X[i], Y[i])) continue;
      UserWords(call, at, static_cast<uint32_t>(i - 1), user);
      const bool kept = Keep(call, [&](DepthSortPool* pool) {
        return DepthSortAddLine(pool, user, static_cast<float>(X[i - 1]),
                                static_cast<float>(Y[i - 1]), static_cast<float>(Z[i - 1]),
                                static_cast<float>(X[i]), static_cast<float>(Y[i]),
                                static_cast<float>(Z[i]));
      });
      if (!kept) return;
    }
    return;
  }
  for (int32_t i = 0; i < n; ++i) {
    if (!Finite(X[i], Y[i])) continue;
    UserWords(call, at, static_cast<uint32_t>(i), user);
    if (!KeepPoint(call, user, X[i], Y[i], Z[i])) return;
  }
}

namespace {

void AddPolylineToPool(RenderCall& call, const RenderCommand& c) {
  if (!c.Holds(1)) return;
  const int32_t n = PayloadCount(c.Get(0));
  const bool withZ = c.header.code == kCmdPolyline3;
  if (n <= 0 || !c.Holds(1 + (withZ ? 3 : 2) * int64_t{n})) return;
  double* X = DepthPointRoom(call, 3 * int64_t{n});
  if (X == nullptr) return;
  double* Y = X + n;
  double* Z = Y + n;
  DataToDevice(*call.subplot, c.Doubles(1), c.Doubles(1 + n),
               withZ ? c.Doubles(1 + 2 * n) : nullptr, n, X, Y, Z);
  Render3DAddPolyline(call, c.at, X, Y, Z, n, c.style);
}

void AddTextToPool(RenderCall& call, const RenderCommand& c) {
  if (!c.Holds(5)) return;
  const int32_t length = PayloadCount(c.Get(4));
  if (length < 0 || !c.Holds(5 + PackedDoubles(length))) return;
  double X = 0;
  double Y = 0;
  double Z = 0;
  DataToDevice(*call.subplot, c.Doubles(0), c.Doubles(1), c.Doubles(2), 1, &X, &Y, &Z);
  if (!Finite(X, Y)) return;
  uint32_t user[3];
  UserWords(call, c.at, 0, user);
  KeepPoint(call, user, X, Y, Z);
}

void AddPolygonsToPool(RenderCall& call, const RenderCommand& c) {
  PolygonPayload p;
  if (!ReadPolygonPayload(c.data, c.header.length, &p)) return;
  const int64_t nv = p.vertices;
  const bool faces = (p.flags & (kPolyFaces | kPolyEdges)) && p.perFace >= 3;
  const int32_t v = p.perFace;
  const bool earClip = faces && v >= 4 && (p.flags & kPolyEarClip);
  // Ear clipping works on the face's own points behind the vertices.
  double* X = DepthPointRoom(call, 3 * nv + (earClip ? 2 * int64_t{v} + EarClipScratch(v) : 0));
  if (X == nullptr) return;
  double* Y = X + nv;
  double* Z = Y + nv;
  DataToDevice(*call.subplot, p.x, p.y, p.z, static_cast<int32_t>(nv), X, Y, Z);
  if (p.flags & kPolyVertices) {
    uint32_t user[3];
    for (int64_t k = 0; k < nv; ++k) {
      if (!Finite(X[k], Y[k])) continue;
      UserWords(call, c.at, static_cast<uint32_t>(k), user);
      if (!KeepPoint(call, user, X[k], Y[k], Z[k])) return;
    }
  }
  if (!faces) return;
  double* fx = Z + nv;
  double* fy = fx + v;
  FaceAdd add{&call, &p, c.at, 0, X, Y, Z};
  for (int64_t f = 0; f < p.faces && !add.full; ++f) {
    if (!p.FaceIsValid(f)) continue;
    add.face = f;
    if (!earClip) {
      FanTriangulate(v, &FaceAdd::Emit, &add);
      continue;
    }
    for (int32_t k = 0; k < v; ++k) {
      fx[k] = X[p.Index(f, k)];
      fy[k] = Y[p.Index(f, k)];
    }
    EarClipTriangulate(fx, fy, v, fy + v, &FaceAdd::Emit, &add);
  }
}

}  // namespace

void AddToDepthPool(RenderCall& call, const RenderCommand& c) {
  switch (c.header.code) {
    case kCmdPolyline:
    case kCmdFrequencyPolyline:
    case kCmdPolyline3:
      AddPolylineToPool(call, c);
      break;
    case kCmdInfiniteLine3:
      DrawInfiniteLine3(call, c);
      break;
    case kCmdPolygons3:
      AddPolygonsToPool(call, c);
      break;
    case kCmdLastText:
      AddTextToPool(call, c);
      break;
    default:
      break;
  }
}

void RememberMaterial(RenderCall& call, const RenderCommand& c) {
  call.materialAt = c.at;
}

}  // namespace vke
