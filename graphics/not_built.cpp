// Operations that the figure code calls and whose own code is not built yet:
// they change and draw nothing.
#include "graphics/render_pending.hpp"

namespace vke {}  // namespace vke
