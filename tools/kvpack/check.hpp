// "kvpack check": drives a packed application without a window through a
// script of steps, one per line ("#" starts a comment), and writes what
// happens to standard output: each step as "> step", the text its handlers
// write, "=> code message" when it answers other than 0, and the values it
// prints.
//
// The steps, how each is written and what it does are the rows of
// tools/kvpack/check_steps.def.
#pragma once

#include <string>

#include "tools/kvpack/tool_host.hpp"

namespace vke::kvpack {

// Runs the script on instance 0 of the host's block; false, with a message
// in *error, for a script line that is no step or a png step into a file
// the check read (platform/read_files.hpp), its line number included.
// Steps that fail are reported and the script goes on.
bool RunCheckScript(ToolHost* host, const std::string& script, std::string* error);

}  // namespace vke::kvpack
