// Small pieces shared by the builtins of the class, string, list and
// structure families: results that replace the inputs, conversions to a
// class, and char arrays read and cut as text.
#pragma once

#include "builtins/builtin.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

// Drops the top n inputs and pushes a logical scalar in their place.
ErrCode ReplaceInputsWithLogical(EngineContext* ctx, int32_t n, bool value);
// Drops the n inputs of a call that gives no output; a call as a statement
// (nargout < 0) leaves the no-value marker in their place.
ErrCode ReplaceInputsWithNothing(EngineContext* ctx, int32_t n, int32_t nargout);
// Drops the n inputs lying under the result on top.
ErrCode DropInputsUnderResult(EngineContext* ctx, int32_t n);

// Converts the value at the depth to the class (its complexity is kept):
// to double or single, to logical (a single value gives 43), to an integer
// class or to char with the unchecked integer conversion.
ErrCode ConvertToClass(EngineContext* ctx, int32_t depth, ArrayClass cls);

// Reads a char array at the depth as its 16-bit elements in storage order.
// False for other values.
bool ViewChars(EngineContext* ctx, int32_t depth, const uint16_t** chars, int32_t* length);

// Makes the char array on top a 1 x n row of its characters first to
// first + n - 1 (0 x 0 when n is 0), moved to the front of its own data.
ErrCode ShrinkTopCharRow(EngineContext* ctx, int32_t first, int32_t n);

}  // namespace vke
