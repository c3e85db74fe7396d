// Stand-ins for the engine operations of handler_runner_pending.hpp whose own
// headers are missing; each answers "Not supported".
#include "app/handler_runner_pending.hpp"

#include "engine/errors.hpp"

namespace vke {

#ifdef VKE_RUNNER_LOOP_PENDING
ErrCode RunCompiledFunction(EngineContext*, const char*, int32_t, int32_t, int32_t, uint8_t,
                            uint8_t) {
  return kErrNotSupported;
}
#endif

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
