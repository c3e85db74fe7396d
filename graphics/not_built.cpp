// Operations that the figure code calls and whose own code is not built yet:
// they change and draw nothing.
#include "graphics/camera.hpp"
#include "graphics/render_pending.hpp"

namespace vke {

void ComputeProjection(SubplotRecord*) {}

void CameraZoom(SubplotRecord*, double) {}

void Draw3DBox(const SubplotRecord&, const PlotStyle*, const PlotStyle*, const PlotStyle*,
               const GraphicsPort&, void*) {}

void Draw3DOutlineAndLabels(const SubplotRecord&, const PlotStyle*, const GraphicsPort&, void*) {}

}  // namespace vke
