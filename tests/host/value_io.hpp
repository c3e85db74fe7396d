// Test helpers that take a result off the stack: the elements of the value
// on top as doubles, or its characters as text, and the value dropped.
#pragma once

#include <string>
#include <vector>

#include "engine/context.hpp"

namespace vke::test {

std::vector<double> PopNumbers(EngineContext* ctx);
std::string PopText(EngineContext* ctx);

}  // namespace vke::test
