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

}  // namespace vke
