// The x and y grid lines of a 2-D subplot, or the grid of a polar subplot,
// drawn under the data at every minor tick position of each axis.
#pragma once

#include "graphics/port.hpp"
#include "graphics/subplot.hpp"

namespace vke {

// Draws the grids whose option bits are set (x grid 0x4, y grid 0x40), each
// line a 2-point polyline in `style` across the viewport. A polar subplot
// gets 12 lines through the origin (x grid) and circles at the radial minor
// steps (y grid). Nothing without a polyline slot.
void DrawGrid2D(const SubplotRecord& subplot, const PlotStyle* style, const GraphicsPort& port,
                void* target);

}  // namespace vke
