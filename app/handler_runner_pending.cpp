// Stand-ins for the engine operations declared in handler_runner_pending.hpp
// until their own implementations are merged; each answers "Not supported".
#include "app/handler_runner_pending.hpp"

#include "engine/errors.hpp"

namespace vke {

ErrCode RunCompiledFunction(EngineContext*, const char*, int32_t, int32_t, int32_t, uint8_t,
                            uint8_t) {
  return kErrNotSupported;
}

ErrCode DumpValue(EngineContext*, uint16_t*, int32_t, int32_t*, int32_t, const char*, int32_t,
                  int32_t) {
  return kErrNotSupported;
}

ErrCode ListVariablesForDebugger(EngineContext*, int32_t, bool) {
  return kErrNotSupported;
}

}  // namespace vke
