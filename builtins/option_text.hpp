// Option words given as char arrays (a sort mode, a search direction, a
// convolution shape): their characters read in place and compared with the
// ASCII words the builtins know, case-sensitively.
#pragma once

#include <cstring>

#include "engine/values/value_read.hpp"

namespace vke {

class OptionText {
 public:
  // The char array at the depth; IsText() is false for any other value.
  OptionText(EngineContext* ctx, int32_t depth) : view_(ViewNumeric(ctx, depth)) {}

  bool IsText() const { return view_.cls == ValueClass::kChar; }
  bool IsEmpty() const { return view_.shape.count == 0; }
  // The first character, 0 when there is none.
  uint16_t Initial() const { return IsEmpty() ? 0 : At(0); }
  // True when the text is exactly the word.
  bool Is(const char* word) const {
    int32_t n = static_cast<int32_t>(std::strlen(word));
    if (n != view_.shape.count) return false;
    for (int32_t i = 0; i < n; i++)
      if (At(i) != static_cast<unsigned char>(word[i])) return false;
    return true;
  }

 private:
  uint16_t At(int32_t i) const { return Load<uint16_t>(view_.elements + 2 * i); }

  NumericView view_;
};

}  // namespace vke
