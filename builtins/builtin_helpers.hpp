// Small pieces shared by the builtins of the class, string, list and
// structure families: results that replace the inputs,
// new arrays of a given numeric class and conversions to a class.
#pragma once

#include "builtins/builtin.hpp"
#include "engine/errors.hpp"
#include "engine/value_read.hpp"

namespace vke {

// Drops the top n inputs and pushes a logical scalar in their place.
ErrCode ReplaceInputsWithLogical(EngineContext* ctx, int32_t n, bool value);
// Drops the n inputs lying under the result on top.
ErrCode DropInputsUnderResult(EngineContext* ctx, int32_t n);

// The class of a new array: a numeric class and, for integers, the type
// code; complex adds an imaginary block to double and single arrays.
struct ArrayKind {
  ValueClass cls = ValueClass::kDouble;
  uint32_t code = 0;  // integer classes: the type code
  bool complex = false;
};
inline ArrayKind KindOfView(const NumericView& v) {
  return ArrayKind{v.cls, v.code, v.complex};
}
// Bytes of one element (of one part for complex values).
int ElementBytesOf(const ArrayKind& kind);

// Pushes a new array of the kind; *re receives its elements and *im the
// imaginary block of a complex one (null otherwise). The elements are not
// cleared.
ErrCode PushArrayOfKind(EngineContext* ctx, const ArrayKind& kind, int32_t ndims,
                        const int32_t* dims, uint8_t** re, uint8_t** im);

// Converts the value at the depth to the class of the kind (its complexity
// is kept): to double or single, to logical (a single value gives 43), to an
// integer class or to char with the unchecked integer conversion.
ErrCode ConvertToClass(EngineContext* ctx, int32_t depth, const ArrayKind& kind);

// Reads a char array at the depth as its 16-bit elements in storage order.
// False for other values.
bool ViewChars(EngineContext* ctx, int32_t depth, const uint16_t** chars, int32_t* length);

// Makes the char array on top a 1 x n row of its characters first to
// first + n - 1 (0 x 0 when n is 0), moved to the front of its own data.
ErrCode ShrinkTopCharRow(EngineContext* ctx, int32_t first, int32_t n);

}  // namespace vke
