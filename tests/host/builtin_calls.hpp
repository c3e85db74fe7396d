// Test helpers for the array builtins: calls with the counts an instruction
// carries, empty arrays that keep their dimensions, and shortcuts for the
// dimensions and elements of a result. Arrays are pushed and read with the
// numeric-array helpers.
#pragma once

#include <string>
#include <vector>

#include "engine/values/value.hpp"
#include "tests/host/numeric_arrays.hpp"

namespace vke::test {

using Dims = std::vector<int32_t>;
using Values = std::vector<double>;

// Calls the builtin of the opcode as an instruction carrying the counts its
// layout asks for (nargin where the input count varies, nargout where the
// output count does).
ErrCode CallOp(EngineContext* ctx, int32_t opcode, int32_t nargin = 1, int32_t nargout = 1);

// An array of the class (as PushArray names it) without elements that keeps
// its dimensions: 0 x 3, 2 x 0 x 4 ...
void PushEmptyArray(EngineContext* ctx, const std::string& cls, const Dims& dims);

// A char row.
void PushText(EngineContext* ctx, const std::string& text);

// The dimensions and the real parts of the entry at the depth.
Dims DimsAt(EngineContext* ctx, int32_t depth = 0);
Values ValuesAt(EngineContext* ctx, int32_t depth = 0);

}  // namespace vke::test
