// Writing the packed block as an application image, with the check that it
// loads back through the runtime's own loader into an equal block, and
// loading an image for "kvpack check".
#pragma once

#include <string>
#include <vector>

#include "tools/kvpack/tool_host.hpp"

namespace vke::kvpack {

// The tool's name, as its refusals to write over a file it read give it.
inline constexpr char kToolName[] = "kvpack";

// Writes the image of the host's block to `out`, behind a copy of the
// runtime file (none: the image alone). The title is the given one, else
// the application's. Before writing, the image is loaded into a fresh block:
// its records must hold what the packed block's hold (the record and word
// that differ are named when they do not). The old file at `out` is
// replaced whole, also while a program runs from it; a link there keeps
// its place and the file it leads to is replaced. False with a message,
// nothing written: a runtime that cannot be read, carries no runtime mark
// (app/runtime_mark.hpp) or is a packed application already, an output
// that is the runtime, one of the inputs or a file this process read while
// it kept the record of them (platform/read_files.hpp), under any of its
// names, an output that cannot be written or
// is no regular file (each named, with the system's reason) or the problem
// of the image.
bool WriteImage(ToolHost* host, const std::string& title, const char* runtime,
                const std::string& out, const std::vector<std::string>& inputs,
                std::string* message);

// Loads the image at the end of the file into the host's block.
bool LoadImage(ToolHost* host, const std::string& path, std::string* message);

}  // namespace vke::kvpack
