// Implementing functions of builtins that the running system does not serve
// yet: each answers "Not supported" and leaves the stacks as they are. Remove
// a line when its function is built.
#include "builtins/builtin.hpp"
#include "engine/errors.hpp"

namespace vke {

#define VKE_NOT_BUILT(function)                                 \
  ErrCode function(EngineContext*, int32_t, int32_t, int32_t) { \
    return kErrNotSupported;                                    \
  }

#undef VKE_NOT_BUILT

}  // namespace vke
