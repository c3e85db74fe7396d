// Drawing primitives of the decorations: segments, text and numbers through
// the port, and data lines and circles of a 2-D subplot.
#include <cmath>

#include "graphics/axes2d.hpp"
#include "graphics/axis_ticks.hpp"
#include "graphics/decoration_draw.hpp"

namespace vke {

void DrawSegment(const GraphicsPort& port, void* target, const PlotStyle* style, double x0,
                 double y0, double x1, double y1) {
  const double x[2] = {x0, x1};
  const double y[2] = {y0, y1};
  port.drawPolyline(x, y, 2, style, target);
}

void DrawTextAt(const GraphicsPort& port, void* target, double x, double y, const char* text,
                int32_t length, int32_t align) {
  if (port.drawText != nullptr) port.drawText(x, y, text, length, align, nullptr, target);
}

void DrawNumberAt(const GraphicsPort& port, void* target, double x, double y, double value,
                  int32_t precision, int32_t align) {
  char text[24];
  const int32_t length = FormatTickLabel(value, precision, text);
  DrawTextAt(port, target, x, y, text, length, align);
}

void DrawDataCircle(const SubplotRecord& subplot, double cx, double cy, double r,
                    const PlotStyle* style, const GraphicsPort& port, void* target) {
  if (port.drawCircle == nullptr) return;
  double x = 0;
  double y = 0;
  double rx = 0;
  double ry = 0;
  DataToDevice(subplot, &cx, &cy, nullptr, 1, &x, &y, nullptr);
  DataDeltaToDevice(subplot, &r, &r, nullptr, 1, &rx, &ry, nullptr);
  port.drawCircle(x, y, std::fabs(rx), std::fabs(ry), style, target);
}

void DrawDataLine(const SubplotRecord& subplot, double a, double b, double c,
                  const PlotStyle* style, const GraphicsPort& port, void* target) {
  if (port.drawPolyline == nullptr) return;
  if (subplot.scaleKind & (kScaleXLogMask | kScaleYLogMask)) return;
  if (a == 0 && b == 0) return;
  double x[2];
  double y[2];
  if (std::fabs(b) <= std::fabs(a)) {
    GetViewportYRange(subplot, &y[0], &y[1]);
    for (int i = 0; i < 2; ++i) x[i] = (c - b * y[i]) / a;
  } else {
    GetViewportXRange(subplot, &x[0], &x[1]);
    for (int i = 0; i < 2; ++i) y[i] = (c - a * x[i]) / b;
  }
  DataToDevice(subplot, x, y, nullptr, 2, x, y, nullptr);
  port.drawPolyline(x, y, 2, style, target);
}

void DrawHorizontalLine(const SubplotRecord& subplot, double y, const PlotStyle* style,
                        const GraphicsPort& port, void* target) {
  const double Y = DataYToDevice(subplot, y);
  DrawSegment(port, target, style, subplot.viewport[kLeft], Y, subplot.viewport[kRight], Y);
}

void DrawVerticalLine(const SubplotRecord& subplot, double x, const PlotStyle* style,
                      const GraphicsPort& port, void* target) {
  const double X = DataXToDevice(subplot, x);
  DrawSegment(port, target, style, X, subplot.viewport[kBottom], X, subplot.viewport[kTop]);
}

}  // namespace vke
