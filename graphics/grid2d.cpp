// Grid lines of 2-D and polar subplots.
#include "graphics/grid2d.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/axes2d.hpp"
#include "graphics/axis_ticks.hpp"
#include "graphics/decoration_draw.hpp"

namespace vke {
namespace {

// 12 lines through the origin, every 15 degrees.
void DrawRadialLines(const SubplotRecord& r, const PlotStyle* style, const GraphicsPort& port,
                     void* target) {
  for (int32_t k = 0; k < 12; ++k) {
    const double angle = k * std::numbers::pi / 12;
    DrawDataLine(r, std::cos(angle), std::sin(angle), 0, style, port, target);
  }
}

// Circles around the origin at each minor step of the radius that reaches
// the farthest viewport corner; the radii are taken in the y axis' label
// units, like the radial labels and the frame circle.
void DrawGridCircles(const SubplotRecord& r, const PlotStyle* style, const GraphicsPort& port,
                     void* target) {
  const AxisView x = ViewOfAxis(r, kAxisX);
  const AxisView y = ViewOfAxis(r, kAxisY);
  const double radius = std::sqrt(std::max(x.low * x.low, x.high * x.high) +
                                  std::max(y.low * y.low, y.high * y.high));
  AxisTicks t;
  if (!ChooseRadialTicks(x, radius, y.scale, false, &t)) return;
  const double step = t.linear.minorStep;
  WalkLinearSteps(step, step, radius * y.scale,
                  [&](double v) { DrawDataCircle(r, 0, 0, v / y.scale, style, port, target); });
}

}  // namespace

void DrawGrid2D(const SubplotRecord& r, const PlotStyle* style, const GraphicsPort& port,
                void* target) {
  if (port.drawPolyline == nullptr) return;
  const bool xGrid = r.optionWord & kOptXGrid;
  const bool yGrid = r.optionWord & kOptYGrid;
  if (r.plotFlag) {
    if (!PlaneHasRange(r)) return;
    if (xGrid) DrawRadialLines(r, style, port, target);
    if (yGrid) DrawGridCircles(r, style, port, target);
    return;
  }
  const double* v = r.viewport;
  AxisTicks t;
  if (xGrid && ChooseAxisTicks(r, kAxisX, 0, false, &t)) {
    ForEachTick(r, t, false,
                [&](double x) { DrawSegment(port, target, style, x, v[kBottom], x, v[kTop]); });
  }
  if (yGrid && ChooseAxisTicks(r, kAxisY, 0, false, &t)) {
    ForEachTick(r, t, false,
                [&](double y) { DrawSegment(port, target, style, v[kLeft], y, v[kRight], y); });
  }
}

}  // namespace vke
