// launchurl: a text handed to the desktop's opener (xdg-open), which shows a
// web page, a document or a folder with the user's program for it.
#pragma once

#include <string>

#include "engine/context.hpp"

namespace vke {

// Starts the program with the one argument, never through a shell; true
// when it started.
using UrlSpawner = bool (*)(const std::string& program, const std::string& argument);

// The spawner of the process (null: the real one); tests give their own.
void SetUrlSpawner(UrlSpawner spawner);

// launchurl(text): a logical, true when the opener started; the no-value
// marker as a statement, nothing with zero outputs. kErrWrongTypeOverload for a non-text.
ErrCode LaunchUrlNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user);

}  // namespace vke
