// Ordering values on the stack, shared by sort, unique and the set
// operations: numeric arrays sorted in place along a dimension, and the
// strings of a list put in order through a permutation.
#pragma once

#include "builtins/shell_sort.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

// Sorts each line of a numeric array in place as a layout splits it (only
// the first length elements of each line): real doubles by value, complex
// ones by squared modulus, other classes through their comparators. When
// index is given (the array's size) its elements move with the array's.
// kErrIllegal for an element class no comparator knows.
ErrCode SortLines(EngineContext* ctx, const NumericView& v, const DimLayout& layout,
                  bool descending, double* index);

// Sorts every line along dim (zero-based; negative: the first dimension
// above 1) of the double, single, integer, char or logical array at the
// depth. With index (x's size, not on the stack above the array, or the
// array's own position shifts) the 1-based position each element came from
// along the line is written there. kErrWrongType for any other value.
ErrCode SortArrayInPlace(EngineContext* ctx, int32_t depth, int32_t dim, bool descending,
                         double* index);

// The strings of the list or cell array at the depth put in order (stable;
// descending reverses it): *perm (in the scratch) receives the zero-based
// position of each string in order, *count their number, and compare what
// SortCompareStrings needs to compare two of them. kErrWrongType when an element is
// not a char array.
ErrCode OrderStringList(EngineContext* ctx, int32_t depth, bool descending, DataScratch* scratch,
                        SortCompareContext* compare, int32_t** perm, int32_t* count);

// Pushes the elements of the value at the depth at the 1-based positions
// given, in that order: of a list or cell array a list, of an array
// x(positions) (a row index: a column stays a column). A failure leaves the
// stack as it was.
ErrCode PushSelectedElements(EngineContext* ctx, int32_t depth, const int32_t* positions,
                             int32_t count);
// The same for the value on top, which the selection replaces.
ErrCode SelectElements(EngineContext* ctx, const int32_t* positions, int32_t count);

// Pushes a 1 x n double row (0 x 0 when n is 0) whose element k is value(k).
template <typename Value>
ErrCode PushDoubleRow(EngineContext* ctx, int32_t n, Value value) {
  double* re;
  ErrCode e = PushNewMatrix(ctx, n > 0 ? 1 : 0, n, &re, nullptr);
  if (e) return e;
  for (int32_t k = 0; k < n; k++) re[k] = value(k);
  return kOk;
}

}  // namespace vke
