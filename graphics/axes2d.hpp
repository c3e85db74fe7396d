// The decorations of a 2-D subplot that sit on its frame: frame lines, minor
// and major ticks on all four edges, numeric tick labels below and left of
// the viewport, the axis labels and the "[dB]" unit line, and for polar
// subplots the axes through the origin, the outer circle and the radial
// labels; also the primitives the grids draw with. Everything goes through
// the graphics port in device units; whatever needs an empty slot is
// skipped. The renderer draws the polar frame after the grid and before the
// data, and the axes, ticks and labels last, clipped to the subplot's
// position.
#pragma once

#include "graphics/port.hpp"
#include "graphics/subplot.hpp"

namespace vke {

// Frame lines, ticks, tick labels and axis labels (polar subplots: the
// radial labels only) in `style`; labels are text in the target's colour.
// Nothing without a polyline slot.
void DrawAxesTicksAndLabels(const SubplotRecord& subplot, const PlotStyle* style,
                            const GraphicsPort& port, void* target);

// The room a label keeps from the left and right sides of its subplot's
// position, in device units: a glyph's ink may stand out of the box its
// text measures.
inline constexpr double kLabelEdgeClearance = 2;

// Moves the viewport's left and right sides in from the margins as far as
// the tick labels and axis labels need, so that each is drawn whole within
// the position, kLabelEdgeClearance from its sides, and off the frame where
// they stand; the viewport keeps a
// third of the position's width at least. Nothing without the margin
// option or a port that draws and measures text.
void FitViewportToLabels(SubplotRecord* subplot, const GraphicsPort& port, void* target);

// Polar subplots: the x and y axes through the origin and the circle of the
// last radial label value. Nothing for other subplots.
void DrawPolarFrame(const SubplotRecord& subplot, const PlotStyle* style, const GraphicsPort& port,
                    void* target);

// The data circle around (cx, cy) of data radius r, as an ellipse when the
// axes' units differ (both axes should be linear).
void DrawDataCircle(const SubplotRecord& subplot, double cx, double cy, double r,
                    const PlotStyle* style, const GraphicsPort& port, void* target);

// The line a x + b y = c across the viewport; nothing on logarithmic or dB
// axes, or for a = b = 0.
void DrawDataLine(const SubplotRecord& subplot, double a, double b, double c,
                  const PlotStyle* style, const GraphicsPort& port, void* target);

// A line across the viewport at data y (x). The caller makes sure the port
// has a polyline slot.
void DrawHorizontalLine(const SubplotRecord& subplot, double y, const PlotStyle* style,
                        const GraphicsPort& port, void* target);
void DrawVerticalLine(const SubplotRecord& subplot, double x, const PlotStyle* style,
                      const GraphicsPort& port, void* target);

}  // namespace vke
