// Joining the two halves of a four-cornered face into one fill.
#include "graphics/face_fills.hpp"

#include <algorithm>
#include <cstring>

namespace vke {
namespace {

// The quadrilateral of h and t when they are two halves of one face that
// share an edge and together make a convex shape.
bool JoinHalves(const FaceTriangle& h, const FaceTriangle& t, double qx[4], double qy[4]) {
  if (!std::equal(h.face, h.face + 3, t.face) || h.front != t.front ||
      std::memcmp(&h.fill, &t.fill, sizeof(PlotStyle)) != 0) {
    return false;
  }
  const auto find = [&](double x, double y) {
    for (int k = 0; k < 3; ++k) {
      if (t.x[k] == x && t.y[k] == y) return k;
    }
    return -1;
  };
  for (int i = 0; i < 3; ++i) {
    const int a = find(h.x[i], h.y[i]);
    const int b = find(h.x[(i + 1) % 3], h.y[(i + 1) % 3]);
    if (a < 0 || b < 0 || a == b) continue;
    const int other = 3 - a - b;  // t's corner off the shared edge
    qx[0] = h.x[i];
    qy[0] = h.y[i];
    qx[1] = t.x[other];
    qy[1] = t.y[other];
    for (int k = 1; k < 3; ++k) {
      qx[k + 1] = h.x[(i + k) % 3];
      qy[k + 1] = h.y[(i + k) % 3];
    }
    return ConvexTurn(qx, qy, 4) != 0;
  }
  return false;
}

}  // namespace

void FaceFills::Edges(const FaceTriangle& t) const {
  if (t.edgePoints >= 2) port_.drawPolyline(t.edgeX, t.edgeY, t.edgePoints, &t.line, target_);
}

void FaceFills::Release() {
  if (!holding_) return;
  holding_ = false;
  port_.drawPolyline(held_.x, held_.y, 3, &held_.fill, target_);
  Edges(held_);
}

void FaceFills::Draw(const FaceTriangle& t) {
  double qx[4];
  double qy[4];
  if (holding_ && JoinHalves(held_, t, qx, qy)) {
    holding_ = false;
    port_.drawPolyline(qx, qy, 4, &t.fill, target_);
    Edges(held_);
    Edges(t);
    return;
  }
  Release();
  // Only smooth fills gain: they fill a convex shape in one outline.
  if (t.joinable && (t.fill.flags & kStyleSmooth)) {
    held_ = t;
    holding_ = true;
    return;
  }
  port_.drawPolyline(t.x, t.y, 3, &t.fill, target_);
  Edges(t);
}

}  // namespace vke
