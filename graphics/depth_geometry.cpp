// The geometry of the depth pool's items: planes of triangles, the tests
// that tell whether two overlapping items must trade places, and the
// splitting of an item by a plane.
#include <algorithm>
#include <cmath>

#include "graphics/depth_sort_internal.hpp"

namespace vke {
namespace {

// Parameters of a crossing strictly inside both segments.
constexpr double kInsideLow = 0.0001;
constexpr double kInsideHigh = 0.9999;
// Relative tolerances of the point-in-triangle test and of an overlap's area.
constexpr double kPointTolerance = 1e-4;
constexpr double kAreaTolerance = 0.001;

struct Point2 {
  double x, y;
};

Point2 Vertex(const DepthSortItem& item, int i) {
  return {item.x[i], item.y[i]};
}

double Cross2(Point2 o, Point2 a, Point2 b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Twice the signed area of a triangle item.
double SignedArea2(const DepthSortItem& t) {
  return Cross2(Vertex(t, 0), Vertex(t, 1), Vertex(t, 2));
}

// The edge functions of a triangle, positive inside whatever its winding.
struct EdgeFunctions {
  Point2 v[3];
  double sign;
  double At(int edge, Point2 p) const { return sign * Cross2(v[edge], v[(edge + 1) % 3], p); }
};

EdgeFunctions EdgesOf(const DepthSortItem& t) {
  EdgeFunctions e{{Vertex(t, 0), Vertex(t, 1), Vertex(t, 2)}, SignedArea2(t) < 0 ? -1.0 : 1.0};
  return e;
}

bool PointInTriangle(Point2 p, const DepthSortItem& t) {
  const EdgeFunctions e = EdgesOf(t);
  const double f[3] = {e.At(0, p), e.At(1, p), e.At(2, p)};
  const double tolerance = kPointTolerance * (std::fabs(f[0]) + std::fabs(f[1]) + std::fabs(f[2]));
  return f[0] > tolerance && f[1] > tolerance && f[2] > tolerance;
}

// Where segments a and b cross strictly inside both: their parameters.
bool SegmentsCross(const DepthSortItem& a, const DepthSortItem& b, double* ta, double* tb) {
  const Point2 p = Vertex(a, 0);
  const Point2 q = Vertex(b, 0);
  const Point2 r{a.x[1] - p.x, a.y[1] - p.y};
  const Point2 s{b.x[1] - q.x, b.y[1] - q.y};
  const double denominator = r.x * s.y - r.y * s.x;
  if (denominator == 0) return false;
  const Point2 w{q.x - p.x, q.y - p.y};
  *ta = (w.x * s.y - w.y * s.x) / denominator;
  *tb = (w.x * r.y - w.y * r.x) / denominator;
  const auto inside = [](double t) { return t > kInsideLow && t < kInsideHigh; };
  return inside(*ta) && inside(*tb);
}

// The segment passes through the triangle's inside.
bool SegmentOverTriangle(const DepthSortItem& s, const DepthSortItem& t) {
  const EdgeFunctions e = EdgesOf(t);
  double lo = 0;
  double hi = 1;
  for (int edge = 0; edge < 3; ++edge) {
    const double f0 = e.At(edge, Vertex(s, 0));
    const double f1 = e.At(edge, Vertex(s, 1));
    const double tolerance = kPointTolerance * (std::fabs(f0) + std::fabs(f1));
    const double g0 = f0 - tolerance;
    const double g1 = f1 - tolerance;
    if (g0 <= 0 && g1 <= 0) return false;
    if (g0 < 0) lo = std::max(lo, g0 / (g0 - g1));
    if (g1 < 0) hi = std::min(hi, g0 / (g0 - g1));
  }
  return hi - lo > kInsideLow;
}

// The part of triangle a's projection inside triangle b's: its area and a
// point inside it.
bool TrianglesOverlap(const DepthSortItem& a, const DepthSortItem& b, Point2* inside) {
  Point2 poly[9];
  int n = 3;
  for (int i = 0; i < 3; ++i) poly[i] = Vertex(a, i);
  const EdgeFunctions e = EdgesOf(b);
  for (int edge = 0; edge < 3 && n > 0; ++edge) {
    Point2 out[9];
    int m = 0;
    for (int i = 0; i < n; ++i) {
      const Point2 p = poly[i];
      const Point2 q = poly[(i + 1) % n];
      const double fp = e.At(edge, p);
      const double fq = e.At(edge, q);
      if (fp >= 0 && m < 9) out[m++] = p;
      if ((fp < 0) != (fq < 0) && m < 9) {
        const double t = fp / (fp - fq);
        out[m++] = {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
      }
    }
    std::copy_n(out, m, poly);
    n = m;
  }
  if (n < 3) return false;
  double area2 = 0;
  double cx = 0;
  double cy = 0;
  for (int i = 1; i + 1 < n; ++i) {
    const double part = Cross2(poly[0], poly[i], poly[i + 1]);
    area2 += part;
    cx += part * (poly[0].x + poly[i].x + poly[i + 1].x) / 3;
    cy += part * (poly[0].y + poly[i].y + poly[i + 1].y) / 3;
  }
  const double smaller = std::min(std::fabs(SignedArea2(a)), std::fabs(SignedArea2(b)));
  if (!(std::fabs(area2) > kAreaTolerance * smaller)) return false;
  *inside = {cx / area2, cy / area2};
  return true;
}

// Depth of a plane at (x, y); NaN for a plane seen edge on.
double DepthAt(const DepthPlane& plane, Point2 p) {
  return plane.c > 0 ? -(plane.a * p.x + plane.b * p.y + plane.d) / plane.c : NAN;
}

// Every vertex of the item is on the positive side of the plane, within
// its tolerance (times sign).
bool AllOnSide(const DepthPlane& plane, const DepthSortItem& item, double sign) {
  for (uint32_t i = 0; i < item.vertexCount; ++i) {
    if (!(sign * plane.At(item, static_cast<int>(i)) >= -plane.tolerance)) return false;
  }
  return true;
}

int Side(const DepthPlane& plane, const DepthSortItem& item, int i) {
  const double v = plane.At(item, i);
  return v > plane.tolerance ? 1 : v < -plane.tolerance ? -1 : 0;
}

// A vertex of a piece.
struct Corner {
  float x, y, z;
};

Corner CornerOf(const DepthSortItem& item, int i) {
  return {item.x[i], item.y[i], item.z[i]};
}

// The point where the plane cuts the edge from a to b.
Corner Cut(const DepthPlane& plane, const DepthSortItem& item, int a, int b) {
  const double fa = plane.At(item, a);
  const double fb = plane.At(item, b);
  const double t = fa / (fa - fb);
  const auto along = [t](float u, float v) { return static_cast<float>(u + t * (double{v} - u)); };
  return {along(item.x[a], item.x[b]), along(item.y[a], item.y[b]), along(item.z[a], item.z[b])};
}

// The state of the triangle's edge between vertices a and b.
uint32_t EdgeBetween(const DepthSortItem& t, int a, int b) {
  return (a + 1) % 3 == b ? t.edges[a] : t.edges[b];
}

uint32_t AppendPiece(DepthSortPool* pool, const DepthSortItem& parent, const Corner* corners,
                     const uint32_t* edges) {
  const auto index = static_cast<uint32_t>(pool->count++);
  DepthSortItem& piece = DepthSortItems(pool)[index];
  piece = parent;
  piece.moved = 0;
  for (uint32_t i = 0; i < parent.vertexCount; ++i) {
    piece.x[i] = corners[i].x;
    piece.y[i] = corners[i].y;
    piece.z[i] = corners[i].z;
    piece.edges[i] = edges[i];
  }
  FinishItem(&piece);
  return index;
}

// The span along the line where the planes meet (measured on its largest
// axis) of the triangle's part on the other plane: from the edges that cross
// it and the vertices that lie on it.
void SpanOnLine(const DepthSortItem& t, const DepthPlane& other, int axis, double* lo, double* hi) {
  const auto coordinate = [&](int i) {
    return axis == 0 ? double{t.x[i]} : axis == 1 ? double{t.y[i]} : double{t.z[i]};
  };
  double d[3];
  for (int i = 0; i < 3; ++i) d[i] = other.At(t, i);
  *lo = INFINITY;
  *hi = -INFINITY;
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    if (std::fabs(d[i]) <= other.tolerance) {
      *lo = std::min(*lo, coordinate(i));
      *hi = std::max(*hi, coordinate(i));
    }
    if ((d[i] > other.tolerance && d[j] < -other.tolerance) ||
        (d[i] < -other.tolerance && d[j] > other.tolerance)) {
      const double c = coordinate(i) + (coordinate(j) - coordinate(i)) * d[i] / (d[i] - d[j]);
      *lo = std::min(*lo, c);
      *hi = std::max(*hi, c);
    }
  }
}

// Two triangles that straddle each other's planes pierce each other when
// their parts on the line where the planes meet overlap.
bool Pierce(const DepthSortItem& p, const DepthPlane& pp, const DepthSortItem& q,
            const DepthPlane& qp) {
  const double line[3] = {pp.b * qp.c - pp.c * qp.b, pp.c * qp.a - pp.a * qp.c,
                          pp.a * qp.b - pp.b * qp.a};
  int axis = 0;
  for (int a = 1; a < 3; ++a) {
    if (std::fabs(line[a]) > std::fabs(line[axis])) axis = a;
  }
  if (line[axis] == 0) return false;  // parallel planes
  double plo = 0, phi = 0, qlo = 0, qhi = 0;
  SpanOnLine(p, qp, axis, &plo, &phi);
  SpanOnLine(q, pp, axis, &qlo, &qhi);
  const double overlap = std::min(phi, qhi) - std::max(plo, qlo);
  return overlap > 1e-6 * std::max(phi - plo, qhi - qlo);
}

}  // namespace

DepthPlane PlaneOf(const DepthSortItem& t) {
  const double e1[3] = {double{t.x[1]} - t.x[0], double{t.y[1]} - t.y[0], double{t.z[1]} - t.z[0]};
  const double e2[3] = {double{t.x[2]} - t.x[0], double{t.y[2]} - t.y[0], double{t.z[2]} - t.z[0]};
  DepthPlane p{e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
               e1[0] * e2[1] - e1[1] * e2[0], 0, 0};
  if (p.c < 0) {
    p.a = -p.a;
    p.b = -p.b;
    p.c = -p.c;
  }
  p.d = -(p.a * t.x[0] + p.b * t.y[0] + p.c * t.z[0]);
  p.tolerance = 1e-4 * (std::fabs(p.a) + std::fabs(p.b) + std::fabs(p.c) + std::fabs(p.d));
  return p;
}

bool Straddles(const DepthPlane& plane, const DepthSortItem& item) {
  bool above = false;
  bool below = false;
  for (uint32_t i = 0; i < item.vertexCount; ++i) {
    const int side = Side(plane, item, static_cast<int>(i));
    above |= side > 0;
    below |= side < 0;
  }
  return above && below;
}

bool Conflicts(const DepthSortItem& p, const DepthPlane& pPlane, const DepthSortItem& q,
               bool* cross) {
  *cross = false;
  const bool pTriangle = IsTriangle(p);
  const bool qTriangle = IsTriangle(q);
  DepthPlane qPlane{};
  if (pTriangle && AllOnSide(pPlane, q, 1)) return false;
  if (qTriangle) {
    qPlane = PlaneOf(q);
    if (AllOnSide(qPlane, p, -1)) return false;
  }
  if (p.kind == kDepthSegment && q.kind == kDepthSegment) {
    double tp = 0;
    double tq = 0;
    if (!SegmentsCross(p, q, &tp, &tq)) return false;
    const double zp = p.z[0] + tp * (double{p.z[1]} - p.z[0]);
    const double zq = q.z[0] + tq * (double{q.z[1]} - q.z[0]);
    return zq < zp;
  }
  if (p.kind == kDepthPoint || q.kind == kDepthPoint) {
    if (pTriangle) return PointInTriangle(Vertex(q, 0), p);
    if (qTriangle) return PointInTriangle(Vertex(p, 0), q);
    return false;
  }
  if (!pTriangle || !qTriangle) {
    const DepthSortItem& segment = pTriangle ? q : p;
    const DepthSortItem& triangle = pTriangle ? p : q;
    if (!SegmentOverTriangle(segment, triangle)) return false;
    *cross = Straddles(pTriangle ? pPlane : qPlane, segment);
    return true;
  }
  Point2 inside{};
  if (!TrianglesOverlap(p, q, &inside)) return false;
  // Triangles that do not pierce each other keep one depth order over the
  // whole overlap, so one point inside it decides; those that do need a
  // split.
  if (Straddles(pPlane, q) && Straddles(qPlane, p) && Pierce(p, pPlane, q, qPlane)) {
    *cross = true;
    return true;
  }
  const double zp = DepthAt(pPlane, inside);
  const double zq = DepthAt(qPlane, inside);
  return !(zp <= zq);
}

int32_t SplitByPlane(DepthSortPool* pool, uint32_t victim, const DepthPlane& plane,
                     uint32_t pieces[3]) {
  DepthSortItem* items = DepthSortItems(pool);
  const DepthSortItem t = items[victim];
  if (t.kind == kDepthPoint || t.kind == kDepthRemoved || !Straddles(plane, t)) return 0;
  if (t.kind == kDepthSegment) {
    if (pool->count + 1 >= pool->capacity) return 0;
    const Corner cut = Cut(plane, t, 0, 1);
    const Corner first[2] = {CornerOf(t, 0), cut};
    const Corner second[2] = {cut, CornerOf(t, 1)};
    pieces[0] = AppendPiece(pool, t, first, t.edges);
    pieces[1] = AppendPiece(pool, t, second, t.edges);
    items[victim].kind = kDepthRemoved;
    return 2;
  }
  if (pool->count + 2 >= pool->capacity) return 0;
  int side[3];
  for (int i = 0; i < 3; ++i) side[i] = Side(plane, t, i);
  int32_t made = 0;
  for (int lone = 0; lone < 3; ++lone) {
    const int a = (lone + 1) % 3;
    const int b = (lone + 2) % 3;
    if (side[lone] != 0 && side[a] == -side[lone] && side[b] == -side[lone]) {
      // The lone vertex's corner and the quadrilateral left behind.
      const Corner ca = Cut(plane, t, lone, a);
      const Corner cb = Cut(plane, t, lone, b);
      const Corner l = CornerOf(t, lone);
      const Corner va = CornerOf(t, a);
      const Corner vb = CornerOf(t, b);
      const uint32_t la = EdgeBetween(t, lone, a);
      const uint32_t lb = EdgeBetween(t, lone, b);
      const Corner c1[3] = {l, ca, cb};
      const uint32_t e1[3] = {la, kEdgeHidden, lb};
      const Corner c2[3] = {va, vb, cb};
      const uint32_t e2[3] = {EdgeBetween(t, a, b), lb, kEdgeHidden};
      const Corner c3[3] = {va, cb, ca};
      const uint32_t e3[3] = {kEdgeHidden, kEdgeHidden, la};
      pieces[0] = AppendPiece(pool, t, c1, e1);
      pieces[1] = AppendPiece(pool, t, c2, e2);
      pieces[2] = AppendPiece(pool, t, c3, e3);
      made = 3;
      break;
    }
    if (side[lone] == 0 && side[a] == -side[b]) {
      // Through a vertex: two triangles.
      const Corner cut = Cut(plane, t, a, b);
      const Corner on = CornerOf(t, lone);
      const uint32_t ab = EdgeBetween(t, a, b);
      const Corner c1[3] = {on, CornerOf(t, a), cut};
      const uint32_t e1[3] = {EdgeBetween(t, lone, a), ab, kEdgeHidden};
      const Corner c2[3] = {on, cut, CornerOf(t, b)};
      const uint32_t e2[3] = {kEdgeHidden, ab, EdgeBetween(t, b, lone)};
      pieces[0] = AppendPiece(pool, t, c1, e1);
      pieces[1] = AppendPiece(pool, t, c2, e2);
      made = 2;
      break;
    }
  }
  if (made > 0) items[victim].kind = kDepthRemoved;
  return made;
}

}  // namespace vke
