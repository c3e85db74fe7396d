// Writing the packed block as an application image, with the check that it
// loads back through the runtime's own loader into an equal block, and
// loading an image for "kvpack check".
#pragma once

#include <string>

#include "tools/kvpack/tool_host.hpp"

namespace vke::kvpack {

// Writes the image of the host's block to `out`, behind a copy of the
// runtime file (none: the image alone). The title is the given one, else
// the application's. Before writing, the image is loaded into a fresh block:
// its records must hold what the packed block's hold (the record and word
// that differ are named when they do not). The old file at `out` is
// replaced whole, also while a program runs from it. False with a message:
// a runtime that cannot be read, an output that cannot be written (each
// named, with the system's reason) or the problem of the image.
bool WriteImage(ToolHost* host, const std::string& title, const char* runtime,
                const std::string& out, std::string* message);

// Loads the image at the end of the file into the host's block.
bool LoadImage(ToolHost* host, const std::string& path, std::string* message);

}  // namespace vke::kvpack
