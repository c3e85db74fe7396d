// Helpers shared by the indexing kernels: new arrays of a given class and the
// copying of selected elements between arrays.
#pragma once

#include "engine/values/value_read.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

// Dimension k of a shape (1 beyond its dimensions).
inline int32_t ShapeDim(const Shape& s, int32_t k) {
  return k < s.ndims ? s.dims[k] : 1;
}

// A column vector: one column and more than one row.
inline bool IsColumnVector(const Shape& s) {
  return s.ndims == 2 && s.dims[1] == 1 && s.dims[0] > 1;
}

// The shape x(I) has for one numeric index of the given shape: the index's,
// but a vector indexing a vector of the other orientation takes x's.
void LinearResultShape(const Shape& x, const Shape& index, Shape* out);

// Whether two shapes agree, dimensions beyond either counting as 1.
bool SameDims(const Shape& a, const Shape& b);

// The class of a numeric view (complexity aside).
ArrayClass ClassOfView(const NumericView& v);

// Whether a view holds elements of the class's representation.
bool HasRepresentation(const NumericView& v, ArrayClass cls);

// Pushes a zero-filled array of the class with the shape (normalised as the
// push primitives do, but a shape without elements keeps its dimensions:
// 0 x 3, 2 x 0 x 4 ...); *elements receives the byte offset of the first
// element from the context and *count the element count. The imaginary
// block of a complex array follows count elements later. A caller that
// writes every element itself asks for no zeroing (padding is zero anyway).
ErrCode PushArrayOfClass(EngineContext* ctx, ArrayClass cls, bool complex, const Shape& shape,
                         uint32_t* elements, int32_t* count, bool zeroed = true);

// PushArrayOfClass, zero-filled, for a caller that needs no count.
inline ErrCode PushArrayWithShape(EngineContext* ctx, ArrayClass cls, bool complex,
                                  const Shape& shape, uint32_t* elements) {
  int32_t count;
  return PushArrayOfClass(ctx, cls, complex, shape, elements, &count);
}

// Pushes a copy of the operand.
ErrCode PushOperandCopy(EngineContext* ctx, const ArrayOperand& x);

// Pushes a new array of x's class and complexity with the given shape holding
// the elements the analysis selects from x (its target is x's shape), in
// selection order.
ErrCode PushSelection(EngineContext* ctx, const ArrayOperand& x, const IndexAnalysis& a,
                      const Shape& shape);

// An analysis selecting all of an array of the given shape, laid into an array
// of the target shape (at least as large in every dimension).
void WholeArrayAnalysis(const Shape& shape, const Shape& target, IndexAnalysis* a);

}  // namespace vke
