// The arrays of the transform natives: shapes after padding or truncation
// along one dimension, the room such arrays take, and the resize itself on
// the array on top of the stack.
#pragma once

#include <cstdint>

#include "engine/errors/errors.hpp"
#include "engine/values/value.hpp"

namespace vke {

// The dimension a resize works along when none is given: the first whose
// size is not 1 (a size of 0 counts), or 0.
int32_t FirstNonUnitDim(const Shape& s);

// The length along d (1 beyond the array's dimensions).
int32_t LengthAlong(const Shape& s, int32_t d);

// The shape with dimension d made n (the dimensions between the last one
// and d set to 1; trailing ones dropped); 0 x 0 for n <= 0. False when it
// cannot be held (d beyond the dimensions an array has, or too many
// elements).
bool ResizedShape(const Shape& s, int32_t d, int32_t n, Shape* out);

// The data words of a double array of the shape, and of its imaginary
// block alone.
int64_t DoubleArrayWords(const Shape& s, bool complex);
int64_t ElementCount(const Shape& s);

// Pads the double array on top with zeros, or truncates it, along *dim to n
// elements (n <= 0: the empty array); a negative *dim is resolved by
// FirstNonUnitDim and written back. 43 for another value, 109 for a shape
// that cannot be held.
ErrCode ResizeAlongDimension(EngineContext* ctx, int32_t* dim, int32_t n);

// Pushes an uninitialised double array of the shape (one without elements
// keeps its dimensions and gives null data pointers).
ErrCode PushShapedArray(EngineContext* ctx, const Shape& s, bool complex, double** re, double** im);

}  // namespace vke
