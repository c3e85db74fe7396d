// Stand-ins for the "!lapack" decompositions whose own code is not built
// yet; each answers "Not supported", so that the table keeps its order.
#include "engine/errors/errors.hpp"
#include "numerics/lapack/lapack_table.hpp"

namespace vke {

#define VKE_NOT_BUILT(fn)                                   \
  ErrCode fn(EngineContext*, int32_t, int32_t, uintptr_t) { \
    return kErrNotSupported;                                \
  }
VKE_NOT_BUILT(LapackSqrtmLogm)
#undef VKE_NOT_BUILT

}  // namespace vke
