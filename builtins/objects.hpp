// Class names of values, used by the builtins that name or test a class.
#pragma once

#include "engine/context.hpp"
#include "engine/values/class_names.hpp"

namespace vke {

// The class name of the top value: *length is -1 for a name that ends at its
// NUL (the fixed names), the name's length for a class read from the name
// table. kErrWrongType for a value that has no class name.
ErrCode GetClassName(EngineContext* ctx, const char** name, int32_t* length);

}  // namespace vke
