// Small pieces shared by the builtins of the class, string, list and
// structure families: conversions to a class and char arrays read as text
// (with the engine's results that replace the inputs).
#pragma once

#include "builtins/builtin.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/value_read.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

// Converts the value at the depth to the class (its complexity is kept):
// to double or single, to logical (a single value gives kErrWrongType), to an integer
// class or to char with the unchecked integer conversion.
ErrCode ConvertToClass(EngineContext* ctx, int32_t depth, ArrayClass cls);

// Reads a char array at the depth as its 16-bit elements in storage order.
// False for other values.
bool ViewChars(EngineContext* ctx, int32_t depth, const uint16_t** chars, int32_t* length);

}  // namespace vke
