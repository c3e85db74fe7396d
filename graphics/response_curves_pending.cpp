// Curve routines of the control-design plots whose own code is not built
// yet: they draw and compute nothing and refuse with "Not supported", so
// that a native never reports a curve it did not make.
#include "graphics/lti_system.hpp"

namespace vke {

ErrCode RootLocusCurve(EngineContext*, const ResponseCurveCall&) {
  return kErrNotSupported;
}

}  // namespace vke
