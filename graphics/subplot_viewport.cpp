// Placing a subplot: its position and the viewport inside its margins. The
// scale code adds the transform and the rescaling of fixed axes.
#include <cmath>

#include "graphics/subplot.hpp"

namespace vke {

void SetSubplotViewport(SubplotRecord* r, double left, double right, double top, double bottom) {
  double unitY = std::fabs(r->marginUnit[1]);
  r->marginUnit[1] = top > bottom ? -unitY : unitY;
  SetRect(r->position, left, right, top, bottom);
  if (r->optionWord & kOptMargin) {
    left += r->margins[kLeft] * r->marginUnit[0];
    right -= r->margins[kRight] * r->marginUnit[0];
    top += r->margins[kTop] * r->marginUnit[1];
    bottom -= r->margins[kBottom] * r->marginUnit[1];
  }
  SetRect(r->viewport, left, right, top, bottom);
}

}  // namespace vke
