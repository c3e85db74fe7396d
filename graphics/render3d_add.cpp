// The commands of a 3-D subplot on their way into the depth pool: polylines
// as segments or points, 3-D text as points, polygon sets as triangles (fans
// or ear clipping) and their vertices as points, and the material that the
// primitives after it are shaded with.
#include <cmath>

#include "graphics/face_triangles.hpp"
#include "graphics/polygon_payload.hpp"
#include "graphics/render_call.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

bool Finite(double x, double y) {
  return std::isfinite(x) && std::isfinite(y);
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
    if (DepthSortAddTriangle(f->call->pool, user, x, y, z, true, true, hidden) == kDepthPoolFull) {
      f->full = true;
    }
  }
};

}  // namespace

void Render3DAddPolyline(RenderCall& call, uint32_t at, const double* X, const double* Y,
                         const double* Z, int32_t n, const PlotStyle& style) {
  uint32_t user[3];
  if ((style.flags & kStyleKindMask) < kKindNone) {
    for (int32_t i = 1; i < n; ++i) {
      if (!Finite(X[i - 1], Y[i - 1]) || !Finite(X[i], Y[i])) continue;
      UserWords(call, at, static_cast<uint32_t>(i - 1), user);
      const int32_t rc = DepthSortAddLine(call.pool, user, static_cast<float>(X[i - 1]),
                                          static_cast<float>(Y[i - 1]),
                                          static_cast<float>(Z[i - 1]), static_cast<float>(X[i]),
                                          static_cast<float>(Y[i]), static_cast<float>(Z[i]));
      if (rc != kDepthAdded) return;
    }
    return;
  }
  for (int32_t i = 0; i < n; ++i) {
    if (!Finite(X[i], Y[i])) continue;
    UserWords(call, at, static_cast<uint32_t>(i), user);
    const int32_t rc = DepthSortAddPoint(call.pool, user, static_cast<float>(X[i]),
                                         static_cast<float>(Y[i]), static_cast<float>(Z[i]));
    if (rc != kDepthAdded) return;
  }
}

namespace {

void AddPolylineToPool(RenderCall& call, const RenderCommand& c) {
  if (!c.Holds(1)) return;
  const int32_t n = PayloadCount(c.Get(0));
  const bool withZ = c.header.code == kCmdPolyline3;
  if (n <= 0 || !c.Holds(1 + (withZ ? 3 : 2) * int64_t{n}) || 3 * int64_t{n} > call.capacity) {
    return;
  }
  double* X = call.scratch;
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
  DepthSortAddPoint(call.pool, user, static_cast<float>(X), static_cast<float>(Y),
                    static_cast<float>(Z));
}

void AddPolygonsToPool(RenderCall& call, const RenderCommand& c) {
  PolygonPayload p;
  if (!ReadPolygonPayload(c.data, c.header.length, &p)) return;
  const int64_t nv = p.vertices;
  if (3 * nv > call.capacity) return;
  double* X = call.scratch;
  double* Y = X + nv;
  double* Z = Y + nv;
  DataToDevice(*call.subplot, p.x, p.y, p.z, static_cast<int32_t>(nv), X, Y, Z);
  if (p.flags & kPolyVertices) {
    uint32_t user[3];
    for (int64_t k = 0; k < nv; ++k) {
      if (!Finite(X[k], Y[k])) continue;
      UserWords(call, c.at, static_cast<uint32_t>(k), user);
      if (DepthSortAddPoint(call.pool, user, static_cast<float>(X[k]), static_cast<float>(Y[k]),
                            static_cast<float>(Z[k])) != kDepthAdded) {
        return;
      }
    }
  }
  if (!(p.flags & (kPolyFaces | kPolyEdges)) || p.perFace < 3) return;
  const int32_t v = p.perFace;
  const bool earClip = v >= 4 && (p.flags & kPolyEarClip);
  // Ear clipping works on the face's own points behind the vertices.
  double* fx = Z + nv;
  double* fy = fx + v;
  if (earClip && 3 * nv + 2 * int64_t{v} + EarClipScratch(v) > call.capacity) return;
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
