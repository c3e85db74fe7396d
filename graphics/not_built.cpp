// Camera operations that the scale code calls and whose own code is not
// built yet: they change nothing.
#include "graphics/camera.hpp"

namespace vke {

void ComputeProjection(SubplotRecord*) {}

void CameraZoom(SubplotRecord*, double) {}

}  // namespace vke
