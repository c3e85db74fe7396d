// Double arrays pushed as results with exactly the shape a native gives
// them, empty ones keeping their dimensions (0 x 3, 2 x 0 x 4 ...).
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

}  // namespace vke
