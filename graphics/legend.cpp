// Layout, hit test and drawing of a subplot's legend box.
#include "graphics/legend.hpp"

#include <algorithm>
#include <cmath>

#include "engine/base.hpp"
#include "graphics/decoration_draw.hpp"

namespace vke {
namespace {

// Calls visit(i, start, length) for the first n lines of the text; lines
// past its end are empty.
template <typename Visit>
void ForEachLine(const LegendEntries& legend, Visit&& visit) {
  const int32_t k = std::max(legend.k, 0);
  int32_t start = 0;
  for (int32_t i = 0; i < legend.n; ++i) {
    int32_t end = start;
    while (end < k && legend.text[end] != '\n') ++end;
    visit(i, legend.text + std::min(start, k), std::max(end - start, 0));
    start = end + 1;
  }
}

// The style of entry i: its style word and colour, truncated.
PlotStyle EntryStyle(const LegendEntries& legend, int32_t i) {
  const auto colour = static_cast<uint32_t>(TruncToInt32(legend.entries[2 * i + 1]));
  return PlotStyle{static_cast<uint32_t>(TruncToInt32(legend.entries[2 * i])),
                   static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                   static_cast<uint8_t>(colour), 0};
}

void DrawSample(const GraphicsPort& port, void* target, const LegendLayout& l, double y,
                const PlotStyle& style) {
  const double h = l.sampleLength / 2;
  const double x = l.sampleX;
  if ((style.flags & kStyleWidthMask) == kStyleFilled) {
    const double xs[4] = {x - h, x - h, x + h, x + h};
    const double ys[4] = {y - h, y + h, y + h, y - h};
    port.drawPolyline(xs, ys, 4, &style, target);
  } else if ((style.flags & kStyleKindMask) < kKindNone) {
    DrawSegment(port, target, &style, x - h, y, x + h, y);
  } else {
    port.drawPolyline(&x, &y, 1, &style, target);
  }
}

}  // namespace

void LayoutLegend(const SubplotRecord& subplot, const LegendEntries& legend, bool framed,
                  const GraphicsPort& port, void* target, LegendLayout* out) {
  const double m1 = port.metrics[kMetricLegendUnit1];
  const double m2 = port.metrics[kMetricLegendUnit2];
  const double* v = subplot.viewport;
  double textWidth = 0;
  double rowHeight = 0;
  double sampleLength = m1;
  if (port.textExtent == nullptr) {
    int32_t longest = 0;
    ForEachLine(legend, [&](int32_t, const char*, int32_t n) { longest = std::max(longest, n); });
    textWidth = longest * m1;
    rowHeight = std::fabs(v[kTop] - subplot.position[kTop]);
  } else {
    ForEachLine(legend, [&](int32_t, const char* line, int32_t n) {
      double w = 0;
      double h = 0;
      port.textExtent(line, n, &w, &h, target);
      textWidth = std::max(textWidth, w);
      rowHeight = std::max(rowHeight, h);
    });
    double h = 0;
    port.textExtent("M", 1, nullptr, &h, target);
    sampleLength = h / 2;
  }
  const double width = 1.5 * m1 + sampleLength + textWidth;
  const double height = std::max(legend.n, 0) * rowHeight;
  out->halfWidth = width / 2;
  out->halfHeight = (height + m2) / 2;
  out->sampleLength = sampleLength;
  out->legendUnitX = m1;
  out->legendUnitY = m2;
  const double insetX = framed ? m1 : 1.0;
  const double insetY = framed ? m2 : 1.0;
  const uint32_t corner = subplot.optionWord;
  out->cx =
      corner & kOptLegendLeft ? v[kLeft] + insetX + width / 2 : v[kRight] - insetX - width / 2;
  out->sampleX = out->cx - width / 2 + (sampleLength + m1) / 2;
  // The box stands the inset from the chosen edge; m2 / 2 is left free above
  // the first row and below the last.
  const bool bottom = corner & kOptLegendBottom;
  if (v[kTop] < v[kBottom]) {
    const double edge = bottom ? v[kBottom] - m2 - insetY - height : v[kTop] + insetY;
    out->cy = edge + out->halfHeight;
    out->firstRowY = edge + (rowHeight + m2) / 2;
    out->rowStep = rowHeight;
  } else {
    const double edge = bottom ? v[kBottom] + m2 + insetY + height : v[kTop] - insetY;
    out->cy = edge - out->halfHeight;
    out->firstRowY = edge - (rowHeight + m2) / 2;
    out->rowStep = -rowHeight;
  }
}

bool HitTestLegend(const SubplotRecord& subplot, const LegendEntries& legend, bool framed,
                   const GraphicsPort& port, void* target, double x, double y) {
  LegendLayout l;
  LayoutLegend(subplot, legend, framed, port, target, &l);
  return std::fabs(x - l.cx) < l.halfWidth && std::fabs(y - l.cy) < l.halfHeight;
}

void DrawLegend(const SubplotRecord& subplot, const LegendEntries& legend, bool framed,
                const PlotStyle* outline, const PlotStyle* background, const GraphicsPort& port,
                void* target) {
  LegendLayout l;
  LayoutLegend(subplot, legend, framed, port, target, &l);
  const bool lines = port.drawPolyline != nullptr;
  if (lines) {
    const double left = l.cx - l.halfWidth;
    const double right = l.cx + l.halfWidth;
    const double xs[5] = {left, left, right, right, left};
    const double ys[5] = {l.cy - l.halfHeight, l.cy + l.halfHeight, l.cy + l.halfHeight,
                          l.cy - l.halfHeight, l.cy - l.halfHeight};
    port.drawPolyline(xs, ys, 5, background, target);
    port.drawPolyline(xs, ys, 5, outline, target);
  }
  const double textX = l.sampleX + (l.sampleLength + l.legendUnitX) / 2;
  ForEachLine(legend, [&](int32_t i, const char* line, int32_t n) {
    const double y = l.firstRowY + i * l.rowStep;
    if (lines) DrawSample(port, target, l, y, EntryStyle(legend, i));
    DrawTextAt(port, target, textX, y, line, n, kTextRight);
  });
}

}  // namespace vke
