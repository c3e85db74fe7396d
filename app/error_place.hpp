// The text of a failed action for the user: the engine's whole message
// (with the names it gives, as the failing handler printed it) and the
// place of the error as the source file's name and line, "err.vke, line 7",
// instead of the engine's internal function id.
#pragma once

#include <string>

#include "app/block.hpp"

namespace vke {

// The error text of the code (GetErrorMessageText); for a code below 10000
// whose message the engine still holds, that whole message. When the engine
// knows the line of the error, its place follows as " (FILE, line N)",
// FILE being the source file that defines the failing function, or the
// function's name when no file is known. A null block gives the text
// without an engine.
std::string ActionErrorText(KVContextBlock* block, ErrCode code);

}  // namespace vke
