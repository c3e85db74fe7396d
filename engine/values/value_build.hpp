// Helpers shared by the routines that build values in place: typed-array
// headers and shape normalisation.
#pragma once

#include "engine/values/value.hpp"

namespace vke {

// Writes a TypedArrayHeader (zero-padded to the unit) and returns the first
// element.
uint8_t* WriteTypedHeader(uint8_t* data, uint32_t code, int32_t ndims, const int32_t* dims);

// Normalises a shape: negative dimensions count as 0, trailing 1s are dropped
// while more than two remain, fewer than two dimensions become d x 1 (none:
// 1 x 1). Returns false when there are more than kMaxDims dimensions.
bool NormaliseShape(int32_t ndims, const int32_t* dims, Shape* out);

// Element count of a normalised shape; false on 32-bit overflow.
bool ShapeCount(const Shape& s, int64_t* count);

// Sets a shape to 0 x 0.
inline void MakeEmptyShape(Shape* s) {
  s->ndims = 2;
  s->dims[0] = s->dims[1] = 0;
  s->count = 0;
}

// Units of a typed array with the given dimension count and payload bytes.
inline uint64_t TypedArrayUnits(int32_t ndims, uint64_t payloadBytes) {
  return HeaderUnits(static_cast<uint32_t>(ndims)) + (payloadBytes + 7) / 8;
}

// Units of the dimension item of a cell or structure array holding len int32
// words (the dimensions, and for a structure array the field count).
uint32_t DimsItemUnits(int32_t len);

// Writes such an item (header, typed-array header, the words padded to an
// even count); returns the byte size written.
uint32_t WriteDimsItem(uint8_t* p, const int32_t* words, int32_t len);

// Reads the shape stored in a typed-array header.
void ReadHeaderShape(const uint8_t* data, Shape* s);

}  // namespace vke
