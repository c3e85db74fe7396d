// Stand-ins for the dumper's operations of handler_runner_pending.hpp while
// its header is missing; each answers "Not supported".
#include "app/handler_runner_pending.hpp"

#include "engine/errors.hpp"

namespace vke {

#ifdef VKE_RUNNER_DUMP_PENDING
ErrCode DumpValue(EngineContext*, uint16_t*, int32_t, int32_t*, int32_t, const char*, int32_t,
                  int32_t) {
  return kErrNotSupported;
}

ErrCode ListVariablesForDebugger(EngineContext*, int32_t, bool) {
  return kErrNotSupported;
}
#endif

}  // namespace vke
