// Drawing that the renderer calls at fixed points of its order and whose own
// code is not built yet: the two passes of the 3-D box. Their stubs in
// not_built.cpp draw nothing. The other parts still to come join the replay
// by their command codes (images, pcolor cells, 3-D primitives through the
// depth pool, control-panel rows, control-design grids and the error locus):
// the renderer's command table skips them until then.
#pragma once

#include "graphics/port.hpp"
#include "graphics/subplot.hpp"

namespace vke {

// The 3-D box behind the data: faces, grid and axes.
void Draw3DBox(const SubplotRecord& subplot, const PlotStyle* label, const PlotStyle* axes,
               const PlotStyle* box, const GraphicsPort& port, void* target);

// The box's outline and tick labels: before the data in perspective, after
// it in orthographic projection.
void Draw3DOutlineAndLabels(const SubplotRecord& subplot, const PlotStyle* label,
                            const GraphicsPort& port, void* target);

}  // namespace vke
