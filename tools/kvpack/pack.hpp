// Packing an application into a block: the VKE sources compiled as the
// library "_KV_<base>", the generated "_menuFlags" when the application has
// menu, copy or paste items and defines none, the name buffer, the element
// list of instance 0 (instance start, instance-wide code, the sources and
// then the declarations in the order written) and the instance's undo set.
// The instance is left uninitialised: the runtime runs Reset Data at its
// first paint.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/disk_file.hpp"
#include "tools/kvpack/description.hpp"
#include "tools/kvpack/tool_host.hpp"

namespace vke::kvpack {

// Reads a file named by the description (a path relative to it); false when
// it cannot be read.
using FileReader = std::function<bool(const std::string& path, std::string* text)>;

// A problem found while packing: where (a file and line, the line 0 when
// none is known), its code and what it was found at.
struct PackError {
  std::string file;
  DescriptionError error;
};

// Name-buffer ids the packer gives: variables from 106, functions from 1000.
inline constexpr int32_t kFirstVariableId = 106;
inline constexpr int32_t kFirstFunctionId = 1000;
// Menu, paste and copy items whose state "_menuFlags" gives.
inline constexpr int32_t kMaxMenuItems = 64;

// Packs the parsed description (read from descriptionPath) into the host's
// block; false with the first problem.
bool PackApplication(ToolHost* host, const AppDescription& app, const std::string& descriptionPath,
                     const FileReader& read, PackError* error);

// The source of "_menuFlags" for the items of the description: every item
// enabled unless its enabled expression's value is 0; a menu item with a
// checked expression is checked when its value is above 0, one without
// carries no check mark (its check flag is -1). An empty value enables and
// checks nothing. lines gets, for each line of the source, the description
// line it comes from (0: none).
std::string MenuFlagsSource(const AppDescription& app, std::vector<int32_t>* lines);

// "file:line: message (code): detail".
std::string PackErrorText(const PackError& error);

}  // namespace vke::kvpack
