// Helpers shared by the array builtins: dimension arguments, arrays pushed with exactly the
// dimensions asked for, elements read as doubles, walking an array in storage order, and the
// rearrangement of the elements of any array (numeric, char, logical, lists, cell arrays and
// structure arrays) into a new shape.
#pragma once

#include "builtins/builtin.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

// Reads a dimension argument given from 1 at the depth (GetIntegerArg):
// below 1 gives 34 (badDim). *dim receives it zero-based.
ErrCode GetDimensionArg(EngineContext* ctx, int32_t depth, int32_t* dim);
// The same for the entry on top, which is then dropped.
ErrCode PopDimensionArg(EngineContext* ctx, int32_t* dim);

// Whether the entry at the depth is a char array holding exactly the text
// (16-bit characters compared with the bytes, case-sensitive).
bool IsTextArg(EngineContext* ctx, int32_t depth, const char* text);

// The shape with dimension d (zero-based) set to size, trailing dimensions of
// 1 dropped; unchanged when d lies beyond the shape's dimensions.
Shape ShapeWithDim(const Shape& s, int32_t d, int32_t size);

// The class of a typed element code: 1, 2, 4, 8 (+128 unsigned) integers,
// 64 double, 66 single.
inline ArrayClass ArrayClassOfCode(uint32_t code) {
  return ArrayClass{kKindArray, code};
}

// Element i of an element-wise operand (GetElementwiseOperands) as a double;
// a scalar operand gives its one element for every i.
double OperandElement(const ElementwiseOperand& op, int64_t i, bool imag);

// Writes a double into element i of an array of the class (integers: the
// value converted as ConvertToInteger does without checking).
void StoreElement(uint8_t* elements, ArrayClass cls, int64_t i, double value);

// Steps through the subscripts of an array's elements in storage order: the
// column subscript fastest, then the row, then the further dimensions.
class StorageWalker {
 public:
  explicit StorageWalker(const Shape& s) : shape_(s) {}
  const int32_t* Subscripts() const { return subs_; }
  void Advance();

 private:
  Shape shape_;
  int32_t subs_[kMaxDims] = {};
};

// Turns the top cell array into a list of its elements, in place, by
// removing its dimension item; a list is left alone.
ErrCode DropFirstListElement(EngineContext* ctx);

// Turns the top structure into a 1 x 1 structure array, in place of it;
// other values are left alone.
ErrCode MakeTopStructArray(EngineContext* ctx);

// Replaces the top value by a value of its class holding the elements moved
// to the shape: element k of the result (its subscripts given in storage
// order) is the element at the source position of the argument. Numeric,
// char and logical arrays, lists, cell arrays and structure arrays (a
// structure counting as a 1 x 1 structure array); a list stays a list when
// the result is a row. Other values give 44.
using SourceFn = int64_t (*)(const void* arg, const int32_t* subscripts);
ErrCode RearrangeTopElements(EngineContext* ctx, const Shape& result, SourceFn source,
                             const void* arg);

template <typename Fn>
ErrCode RearrangeTop(EngineContext* ctx, const Shape& result, const Fn& source) {
  return RearrangeTopElements(
      ctx, result,
      [](const void* arg, const int32_t* subs) -> int64_t {
        return (*static_cast<const Fn*>(arg))(subs);
      },
      &source);
}

// Gives the top value the shape, its elements keeping their storage order
// (kErrBadSize when the element counts differ); numeric values are relabelled in
// place, structured ones rebuilt.
ErrCode SetTopShape(EngineContext* ctx, const Shape& shape);

// Moves the dimensions of the top value (any value RearrangeTop takes): the
// result's dimension k is the value's dimension order[k] (zero-based, n of
// them, n at least the value's dimension count).
ErrCode PermuteTop(EngineContext* ctx, int32_t n, const int32_t* order);

}  // namespace vke
