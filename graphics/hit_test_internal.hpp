// The state of one walk of the hit test and the tests of the drawn shapes,
// shared by the walk (hit_test.cpp) and the shapes (hit_test_shapes.cpp).
#pragma once

#include "graphics/hit_test.hpp"
#include "graphics/render_call.hpp"

namespace vke {

// Classes of hits, in the order of priority.
enum HitClass : int32_t { kHitPoint = 0, kHitLine = 1, kHitNone = 2 };

struct HitWalk {
  const SubplotRecord& subplot;
  double px, py;  // the pointer (pixels)
  double x, y;    // the pointer (data units), when the transform is valid
  double tolerance;
  double best;         // the distance to beat
  HitClass cls;        // the class of the best hit so far
  uint32_t baseFlags;  // the pointer's values
  double* scratch;
  uint32_t capacity;  // scratch doubles
  EventState* record;

  // A hit of `cmd`: its id, index (-1 none), point (-1 none) and flags.
  void Take(const RenderCommand& cmd, int32_t index, int32_t point, uint32_t flags) const {
    record->id = cmd.header.id;
    record->nb = index;
    record->ix = point;
    record->flags = baseFlags | flags;
  }
};

// The tests of the drawn shapes, by command code.
void HitPolyline(HitWalk& w, const RenderCommand& c);
void HitInfiniteLine(HitWalk& w, const RenderCommand& c);
void HitCircles(HitWalk& w, const RenderCommand& c);
void HitBars(HitWalk& w, const RenderCommand& c);
void HitImage(HitWalk& w, const RenderCommand& c);
void HitPseudoColour(HitWalk& w, const RenderCommand& c);
void HitActiveRegion(HitWalk& w, const RenderCommand& c);
void HitFrequencyResponse(HitWalk& w, const RenderCommand& c);

// Whether (px, py) lies inside the polygon of n device points by the
// even-odd rule (horizontal edges ignored, one end of each edge included).
bool PointInPolygon(const double* X, const double* Y, int32_t n, double px, double py);

}  // namespace vke
