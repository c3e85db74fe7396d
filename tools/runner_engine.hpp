// The runner's engine: created in the front of the runner's area with the
// runtime's tables in the runtime's order (the run-time table in front of
// the engine's part of the static table, without its "!lapack" library when
// asked, so that the engine's own natives of its names answer; of the
// application's part only the natives that need no figure, instance or
// window, behind the engine's part as in the runtime), feature byte set, the
// optimisation level given, and a table of the runner's own in front:
// descriptors 1 and 4 (help links) go to standard output and 2 to standard
// error, and libraries ("use name") and help files are read from name.vkl
// and name.hlp in the folders given (help files found nowhere else are
// those the programs carry, app/carried_help.hpp). The extension libraries of
// the extension folders are loaded last, in front of everything else.
#pragma once

#include <string>
#include <vector>

#include "tools/runner_area.hpp"

namespace vke::runner {

struct EngineSetup {
  int32_t level = 4;
  bool lapack = true;
  std::vector<std::string> folders;           // where libraries are looked for, in order
  std::vector<std::string> extensionFolders;  // absolute paths
};

// Creates the engine in the area (reserved already) with the host services
// of runner_host.hpp installed; false when it cannot be created.
bool CreateRunnerEngine(RunnerArea* area, const EngineSetup& setup, EngineContext** ctx);

}  // namespace vke::runner
