// Stand-ins for the operations of figure_pending.hpp whose own code is not
// built yet; each answers "Not supported".
#include "app/figure_pending.hpp"

namespace vke {

ErrCode HandleTextFieldKey(KVContextBlock**, int32_t, uint32_t) {
  return kErrNotSupported;
}

}  // namespace vke
