// The values behind a format template read as one stream of elements:
// argument after argument (the deepest first), each argument's elements in
// storage order. Plain double arrays give their real elements; typed arrays
// (integers, char, logical, double, single) the product of their dimensions.
#pragma once

#include "engine/values/value_read.hpp"

namespace vke {

// One element: as a double, and 64-bit integers also exactly.
struct TemplateElement {
  double value = 0;
  bool is64 = false;  // an int64 or uint64 element; bits holds it exactly
  bool isUnsigned = false;
  uint64_t bits = 0;
};

// The element as a character code (truncated to an integer).
uint16_t ElementCharCode(const TemplateElement& element);

class TemplateArguments {
 public:
  // count arguments at the depths deepest, deepest - 1, ... (the first one
  // deepest). The stacks must not change below them while the cursor is used.
  TemplateArguments(EngineContext* ctx, int32_t deepest, int32_t count)
      : ctx_(ctx), deepest_(deepest), count_(count) {}

  // The next element; kErrIndexOutOfRange when no argument has one left.
  ErrCode FetchNextElement(TemplateElement* out);
  // Makes the current argument one with elements left, skipping arguments
  // without any: kErrIndexOutOfRange when none is left, kErrWrongType for an argument that
  // is neither a double array nor a typed array.
  ErrCode AdvanceToNextArgument();
  // Elements left in the current argument.
  int32_t RemainingArgumentElements() const { return view_.shape.count - index_; }
  // Elements fetched so far.
  int64_t consumed() const { return consumed_; }

 private:
  EngineContext* ctx_;
  int32_t deepest_;
  int32_t count_;
  int32_t argument_ = -1;  // the current argument, 0 = the deepest
  int32_t index_ = 0;      // its next element
  int64_t consumed_ = 0;
  NumericView view_;
};

}  // namespace vke
