// The runtime's own natives, registered behind every other table so that
// the natives of an image keep their indices: the engine's output on
// descriptors 1 and 2 ("+write"; discarded, or written to standard error
// when VKE_RUNTIME_OUTPUT is set), "drawnow", which repaints the window
// before it returns, and "quit", which closes the window once the handler
// has ended.
#pragma once

#include <vector>

#include "engine/errors/errors.hpp"
#include "engine/registry/native_record.hpp"

namespace vke {

// The window the natives act on.
class RuntimeWindow {
 public:
  virtual ~RuntimeWindow() = default;
  virtual void DrawNow() = 0;
  virtual void Quit() = 0;
};

// The table, ended by an empty record; it must outlive the engine.
std::vector<NativeFunctionRecord> RuntimeTable(RuntimeWindow* window);

}  // namespace vke
