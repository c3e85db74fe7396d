// The two code-to-code optimisation passes over compiled code: jump threading
// (never changes the length of the code) and constant folding of an
// expression's code (shrinks it in place).
#pragma once

#include "engine/context.hpp"

namespace vke {

// Threads the jumps of code[0, length) through the jumps, nops, skips and
// line markers they land on, turns a jump to return into return, and with
// aggressive set rewrites an empty range loop into an assignment of its last
// value. Repeats passes until one changes nothing; gives the number of
// passes made.
int32_t OptimizeJumps(int16_t* code, int32_t length, bool aggressive);

// Folds constant operations of the expression code in code[start, *end) and
// moves *end down to the new end. Before the first jump the code shrinks
// (nop padding is dropped and doubles are realigned to 8-byte addresses);
// from it on every instruction keeps its length and position. Operations on
// a double constant that need a builtin's own arithmetic (abs, exp, sin,
// cos, tan, atan) are evaluated through that builtin on ctx's stack, and
// stay as they are when it fails or ctx is null. kErrBadArg, with the
// code unchanged, when the range does not hold whole instructions, holds a
// misaligned double or a jump that leaves it.
ErrCode ConstantFoldCode(EngineContext* ctx, int16_t* code, int32_t start, int32_t* end);

}  // namespace vke
