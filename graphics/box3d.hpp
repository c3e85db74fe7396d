// The box around the data of a decorated 3-D subplot: its background and
// outline, the three edges that meet at the corner farthest from the viewer,
// the grid lines on the back faces, the ticks and the tick and axis labels.
// Everything is placed in data coordinates and projected with the subplot's
// camera.
#pragma once

#include "graphics/port.hpp"
#include "graphics/subplot.hpp"

namespace vke {

// The limits box as seen from the camera: its limits (a range of one value
// widened as the axes show it, ShownLimits), the back corner B
// (farthest from the viewer) and the front corner F, and the outline
// through the six other corners, from (F.x, B.y, B.z) round to it again,
// projected to device x and y. A corner behind a perspective camera takes
// the device point before it (the first takes the last drawable one going
// round, or (0, 0) when none is drawable).
struct Box3D {
  double minimum[3], maximum[3];
  double back[3], front[3];
  double outlineX[7], outlineY[7];
};
void Compute3DBoxOutline(const SubplotRecord& subplot, Box3D* out);

// First pass, behind the data: the outline filled with the box style, the
// back edges and the grid lines with the axes style, the ticks with the
// tick style. Nothing without a polyline slot, or without data.
void Draw3DBox(const SubplotRecord& subplot, const PlotStyle* tick, const PlotStyle* axes,
               const PlotStyle* box, const GraphicsPort& port, void* target);

// Second pass: the outline with the label style, then the tick labels and
// axis labels along the front edges. The renderer calls it before the data
// in perspective and after them in orthographic projection. Nothing without
// data either.
void Draw3DOutlineAndLabels(const SubplotRecord& subplot, const PlotStyle* label,
                            const GraphicsPort& port, void* target);

}  // namespace vke
