// The class names of numeric arrays by type code.
#pragma once

#include <cstdint>

namespace vke {

// The class name of numeric arrays with the type code ("int8", "uint64",
// "double", "single"...); null for other codes.
const char* ClassNameOfCode(uint32_t code);

}  // namespace vke
