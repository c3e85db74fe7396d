// Internal to the depth pool: the geometry of its items (planes, projection
// overlap, splitting) shared by the adds and the flush.
#pragma once

#include "graphics/depth_sort.hpp"

namespace vke {

// Sorts an item's vertices nearest first (its edges travel with them) and
// computes its bounding box.
void FinishItem(DepthSortItem* item);

inline bool IsTriangle(const DepthSortItem& item) {
  return item.kind == kDepthFrontTriangle || item.kind == kDepthBackTriangle;
}

// The plane a x + b y + c z + d = 0 of a triangle, c >= 0 (the positive side
// faces the viewer), with its tolerance.
struct DepthPlane {
  double a, b, c, d, tolerance;
  double At(const DepthSortItem& item, int i) const {
    return a * item.x[i] + b * item.y[i] + c * item.z[i] + d;
  }
};
DepthPlane PlaneOf(const DepthSortItem& triangle);

// Vertices of the item lie beyond the tolerance on both sides of the plane.
bool Straddles(const DepthPlane& plane, const DepthSortItem& item);

// Whether near item q conflicts with far item p (pPlane: p's plane when p
// is a triangle): q overlaps p in x-y and lies behind it somewhere, so that
// q must be drawn first. *cross tells that they cross each other, so that
// only a split orders them.
bool Conflicts(const DepthSortItem& p, const DepthPlane& pPlane, const DepthSortItem& q,
               bool* cross);

// Cuts item `victim` (a triangle or a segment straddling the plane) into 2
// or 3 pieces appended to the items when they fit below the capacity;
// writes their indexes and returns their count, 0 when nothing was cut. The
// victim becomes removed.
int32_t SplitByPlane(DepthSortPool* pool, uint32_t victim, const DepthPlane& plane,
                     uint32_t pieces[3]);

}  // namespace vke
