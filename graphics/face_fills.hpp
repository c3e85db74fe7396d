// The fills of 3-D faces on their way to the port, far to near: a smooth
// triangle of a four-cornered face waits for the next one, and when that is
// the other half of the same face both are filled as one convex
// quadrilateral: one fill instead of two, with no diagonal seam to cover.
#pragma once

#include <cstdint>

#include "graphics/port.hpp"

namespace vke {

// One triangle of a face: its fill and the edges drawn after it.
struct FaceTriangle {
  uint32_t face[3];  // what tells faces apart (command, material, index)
  bool front;
  bool joinable;  // the half of a four-cornered face
  double x[3];
  double y[3];
  PlotStyle fill;
  int32_t edgePoints;  // points of the drawn edges' polyline, 0 without
  double edgeX[4];
  double edgeY[4];
  PlotStyle line;
};

class FaceFills {
 public:
  FaceFills(const GraphicsPort& port, void* target) : port_(port), target_(target) {}
  FaceFills(const FaceFills&) = delete;
  FaceFills& operator=(const FaceFills&) = delete;

  // Fills the triangle and draws its edges, or holds it back.
  void Draw(const FaceTriangle& t);
  // Draws the triangle held back; before anything else is drawn.
  void Release();

 private:
  void Edges(const FaceTriangle& t) const;

  const GraphicsPort& port_;
  void* target_;
  bool holding_ = false;
  FaceTriangle held_{};
};

}  // namespace vke
