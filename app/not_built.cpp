// Stand-ins for the operations of figure_pending.hpp whose own code is not
// built yet; each answers "Not supported".
#include "app/figure_pending.hpp"

namespace vke {

ErrCode HandleTextFieldKey(KVContextBlock**, int32_t, uint32_t) {
  return kErrNotSupported;
}

ErrCode FigureMouseDown(KVContextBlock**, int32_t, double, double, bool) {
  return kErrNotSupported;
}

ErrCode FigureMouseDrag(KVContextBlock**, int32_t, double, double, bool, char*, int32_t,
                        int32_t* length) {
  *length = 0;
  return kErrNotSupported;
}

ErrCode FigureMouseUp(KVContextBlock**, int32_t, double, double, bool) {
  return kErrNotSupported;
}

ErrCode FigureMouseHover(KVContextBlock**, int32_t, double, double, bool, char*, int32_t,
                         int32_t* length) {
  *length = 0;
  return kErrNotSupported;
}

ErrCode FigureMouseScroll(KVContextBlock**, int32_t, double, double, double, double, bool, char*,
                          int32_t, int32_t* length) {
  *length = 0;
  return kErrNotSupported;
}

ErrCode FigureSelectClick(KVContextBlock**, int32_t, double, double) {
  return kErrNotSupported;
}

}  // namespace vke
