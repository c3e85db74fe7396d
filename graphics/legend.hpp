// The legend box of a subplot: one row per entry, each a small sample of the
// entry's line, marker or fill and its text, in the corner of the viewport
// that the option word's corner bits choose. The layout serves the drawing
// and the hit test alike.
#pragma once

#include <cstdint>

#include "graphics/port.hpp"
#include "graphics/subplot.hpp"

namespace vke {

// The legend's entries: n entries of two doubles each {style word, colour
// 0xRRGGBB} and their texts, one line per entry separated by line feeds, k
// bytes in all. A missing line is empty; extra lines are not shown.
struct LegendEntries {
  int32_t n;
  const double* entries;  // 2n doubles (not read by the layout)
  const char* text;
  int32_t k;
};

struct LegendLayout {
  double cx;  // box centre
  double cy;
  double halfWidth;
  double halfHeight;
  double sampleX;       // centre of the samples
  double firstRowY;     // centre of the first row
  double rowStep;       // signed: rows run down the page
  double sampleLength;  // length of a line sample
  double legendUnitX;   // the port's legend units m1 and m2
  double legendUnitY;
};

// Where the box and its rows go. `framed`: the subplot is decorated with a
// frame; the box then stands a legend unit inside the viewport's edges, else
// one device unit.
void LayoutLegend(const SubplotRecord& subplot, const LegendEntries& legend, bool framed,
                  const GraphicsPort& port, void* target, LegendLayout* out);

// Whether the device point lies strictly inside the box.
bool HitTestLegend(const SubplotRecord& subplot, const LegendEntries& legend, bool framed,
                   const GraphicsPort& port, void* target, double x, double y);

// The box (filled in the background style, outlined in the outline style),
// then each entry's sample in its own style and its text in the target's
// colour. Nothing without a polyline slot.
void DrawLegend(const SubplotRecord& subplot, const LegendEntries& legend, bool framed,
                const PlotStyle* outline, const PlotStyle* background, const GraphicsPort& port,
                void* target);

}  // namespace vke
