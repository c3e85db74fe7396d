// Stand-ins for the operations of figure_pending.hpp whose own code is not
// built yet; each answers "Not supported".
#include "app/figure_pending.hpp"

namespace vke {

ErrCode ResetInstanceData(KVContextBlock**, int32_t) {
  return kErrNotSupported;
}

ErrCode RunInitHandler(KVContextBlock**, int32_t) {
  return kErrNotSupported;
}

ErrCode RunKind39Handlers(KVContextBlock**, int32_t) {
  return kErrNotSupported;
}

ErrCode HandleTextFieldKey(KVContextBlock**, int32_t, uint32_t) {
  return kErrNotSupported;
}

}  // namespace vke
