// What the numerical natives share about their results: double arrays
// pushed with exactly the shape a native gives them, empty ones keeping
// their dimensions (0 x 3, 2 x 0 x 4 ...), scratch in the free data stack,
// and the clean-up after a failed call.
#pragma once

#include "engine/errors/errors.hpp"
#include "engine/values/value.hpp"

namespace vke {

// Pushes a zero-filled double array of the shape, complex when im is given;
// *re and *im receive its blocks. 1 or 3 when it does not fit.
ErrCode PushDoubleArrayOfShape(EngineContext* ctx, const Shape& shape, double** re,
                               double** im = nullptr);

// The shape of an m x n matrix.
Shape MatrixShape(int32_t m, int32_t n);

// The free data stack as `words` doubles of scratch, valid until the next
// push; null when they do not fit.
double* FreeScratchWords(EngineContext* ctx, int64_t words);

// Drops what a failed call pushed above the stack level it started from
// (descTop then) and gives its code back.
ErrCode DropAboveLevel(EngineContext* ctx, uint32_t level, ErrCode e);

}  // namespace vke
