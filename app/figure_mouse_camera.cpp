// The camera tools of a 3-D subplot while the button is held: orbit, pan
// and tilt, roll and the two dollies, each from the previous point of the
// drag, then the draw handlers.
#include "app/figure_mouse_internal.hpp"
#include "graphics/camera_drag.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/mouse_tools.hpp"

namespace vke {

void TurnCameraWithPan(SubplotRecord* s, double x0, double y0, double x, double y, bool shift) {
  if (shift) {
    RollCameraDrag(s, x0, y0, x, y);
  } else {
    OrbitCameraDrag(s, x0, y0, x, y);
  }
}

ErrCode CameraDrag(const FigureEvent& e, int32_t k, int32_t tool, double x, double y, bool shift) {
  InteractionState& st = *e.state();
  SubplotRecord* s = &e.subplot(k);
  const double x0 = st.press[0], y0 = st.press[1];
  switch (tool) {
    case kToolOrbit:
      OrbitCameraDrag(s, x0, y0, x, y);
      break;
    case kToolPanTilt:
      PanTiltCameraDrag(s, x0, y0, x, y);
      break;
    case kToolRoll:
      RollCameraDrag(s, x0, y0, x, y);
      break;
    case kToolDollyLateral:
      DollyCameraDrag(s, x0, y0, x, y);
      break;
    default:  // dolly forward: the press point holds the view distance and r0
      DollyForwardCameraDrag(s, x0, y0, x, y, shift);
      st.press[1] = DistanceFromViewportCentre(*s, x, y);
      break;
  }
  if (tool != kToolDollyForward) {
    st.press[0] = x;
    st.press[1] = y;
  }
  return e.RedrawStep();
}

}  // namespace vke
