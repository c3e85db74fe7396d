// Drawing that the renderer calls at fixed points of its order and whose own
// code is not built yet; their stubs in not_built.cpp draw nothing. The
// parts still to come join the replay by their command codes (control-design
// grids and the error locus): the renderer's command table skips them until
// then.
#pragma once

#include "graphics/port.hpp"
#include "graphics/subplot.hpp"

namespace vke {}  // namespace vke
