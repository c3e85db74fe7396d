// The frame and the radial labels of a polar subplot.
#include <algorithm>
#include <cmath>

#include "graphics/axes2d.hpp"
#include "graphics/axis_ticks.hpp"
#include "graphics/decoration_draw.hpp"

namespace vke {

void DrawPolarLabels(const SubplotRecord& r, const GraphicsPort& port, void* target) {
  if (port.drawText == nullptr || !(r.optionWord & kOptMargin) || !PlaneHasRange(r)) return;
  const AxisView x = ViewOfAxis(r, kAxisX);
  const AxisView y = ViewOfAxis(r, kAxisY);
  AxisTicks t;
  // The x axis when the origin lies inside its range, else the y axis.
  if ((r.optionWord & kOptXLabels) && x.low * x.high < 0 &&
      (y.high < x.high || y.low * y.high > 0)) {
    const double labelY = r.viewport[kBottom] + 0.15 * r.marginUnit[1];
    if (ChooseRadialTicks(x, x.high, x.scale, true, &t)) {
      ForEachLabel(r, t, [&](double at, double v) {
        DrawNumberAt(port, target, at, labelY, v, 3, kTextBelow);
      });
    }
  } else if ((r.optionWord & kOptYLabels) && y.low * y.high < 0) {
    const double labelX = r.viewport[kLeft] - 0.5 * r.marginUnit[0];
    if (ChooseRadialTicks(y, y.high, y.scale, true, &t)) {
      ForEachLabel(r, t, [&](double at, double v) {
        DrawNumberAt(port, target, labelX, at, v, 1, kTextLeft);
      });
    }
  }
}

void DrawPolarFrame(const SubplotRecord& r, const PlotStyle* style, const GraphicsPort& port,
                    void* target) {
  if (!r.plotFlag || !PlaneHasRange(r)) return;
  if ((r.optionWord & kOptXTicks) && port.drawPolyline != nullptr) {
    DrawHorizontalLine(r, 0, style, port, target);
    DrawVerticalLine(r, 0, style, port, target);
  }
  if (!(r.optionWord & kOptYTicks) || (r.optionWord & kOptYGrid) || port.drawCircle == nullptr) {
    return;
  }
  // The circle of the last radial label value not beyond the larger of the
  // two axes' high ends.
  const AxisView x = ViewOfAxis(r, kAxisX);
  const AxisView y = ViewOfAxis(r, kAxisY);
  const double radius = std::max(std::fabs(x.high), std::fabs(y.high));
  const double scale = y.scale;
  AxisTicks t;
  double circle = radius;
  if (ChooseRadialTicks(x.high <= y.high ? y : x, radius, scale, true, &t)) {
    circle = std::floor(radius * scale / t.linear.labelStep) * t.linear.labelStep / scale;
  }
  DrawDataCircle(r, 0, 0, circle, style, port, target);
}

}  // namespace vke
