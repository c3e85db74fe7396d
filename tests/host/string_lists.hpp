// Test helpers: lists of strings pushed from and read back into C++ strings
// (characters below 256).
#pragma once

#include <string>
#include <vector>

#include "engine/context.hpp"

namespace vke::test {

// Pushes a list (kind 0) of char rows.
void PushStringList(EngineContext* ctx, const std::vector<std::string>& items);

// The char arrays of the list or cell array at the depth, as text.
std::vector<std::string> ReadStringList(EngineContext* ctx, int32_t depth = 0);

}  // namespace vke::test
