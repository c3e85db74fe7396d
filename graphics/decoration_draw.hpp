// Drawing helpers shared by the decorations (axes, grids, legend): segments,
// text and numbers through the port, and the polar labels.
#pragma once

#include <cstdint>

#include "graphics/port.hpp"
#include "graphics/subplot.hpp"

namespace vke {

// A 2-point polyline; the caller makes sure the port has a polyline slot.
void DrawSegment(const GraphicsPort& port, void* target, const PlotStyle* style, double x0,
                 double y0, double x1, double y1);

// Text in the target's colour; nothing without a text slot.
void DrawTextAt(const GraphicsPort& port, void* target, double x, double y, const char* text,
                int32_t length, int32_t align);

// The text of a tick label value (at most `precision` fraction digits).
void DrawNumberAt(const GraphicsPort& port, void* target, double x, double y, double value,
                  int32_t precision, int32_t align);

// The radial labels of a polar subplot.
void DrawPolarLabels(const SubplotRecord& subplot, const GraphicsPort& port, void* target);

}  // namespace vke
