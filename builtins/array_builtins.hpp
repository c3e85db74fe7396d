// Operations of the array builtins that the execution loop and other
// subsystems call directly, outside the builtin calling convention.
#pragma once

#include "engine/values/value.hpp"

namespace vke {

// The integer-literal instructions: pushes a 1 x 1 integer array of width 1,
// 2, 4 or 8 bytes holding the value cut to the width; for 8 bytes the high
// word is the sign extension of the 32-bit value.
ErrCode PushIntegerScalar(EngineContext* ctx, int32_t width, bool isUnsigned, int32_t value);

// The list-building instruction: the top value (a list or cell array, else
// kErrWrongTypeOverload) and the n - 1 values below it become one list: the n - 1 values
// followed by the elements of the top value.
ErrCode ConcatenateValues(EngineContext* ctx, int32_t n);

// The range instruction and colon: a 1 x count row start, start + step, ...
// (a running sum), double or single. The count is
// floor(((stop - start) + step) / step x (1 + 1000 x 2^-52)); none gives [];
// a quotient above 2147483647 gives kErrObjTooLarge.
ErrCode MakeRange(EngineContext* ctx, double start, double stop, double step, bool single);

// The same for complex bounds: the elements start + k step whose advance
// along the direction from start to stop is at most 1 (one element when
// start equals stop or the step advances nothing; [] when it moves away).
ErrCode MakeComplexRange(EngineContext* ctx, double startRe, double startIm, double stopRe,
                         double stopIm, double stepRe, double stepIm, bool single);

// Rewrites the structure or structure array on top so that its fields are
// exactly the named ones in the given order: fields it lacks are added with
// [] values, fields not named are dropped. Nothing moves when the fields
// already match.
ErrCode ConformStructFields(EngineContext* ctx, const int32_t* nameIds, int32_t count);

// Concatenates the top n structures and structure arrays along the zero-based
// dimension into one structure array, after conforming every operand to the
// field names of all of them in order of first appearance; kErrWrongTypeOverload when an
// operand is not a structure or structure array.
ErrCode ConcatenateStructures(EngineContext* ctx, int32_t n, int32_t dim);

}  // namespace vke
