// Operations of the engine interface that the running system does not serve
// yet: they answer "Not supported" and change nothing.
#include "engine/interface.hpp"
#include "engine/loop.hpp"
#include "engine/natives_decl.hpp"
#include "engine/text.hpp"

namespace vke {

bool IsAtHaltInstruction(EngineContext*) {
  return false;
}

// Cooperative threads: until they are served, no thread is ever listed, so
// thread 0 is always current and there is nothing to switch to or end.
ErrCode SwitchThread(EngineContext*, int32_t) {
  return kOk;
}
void KillThread(EngineContext*, uint32_t) {}

}  // namespace vke
