// The characters of names: what may start a name, what may continue it, and
// the length of the name at a position. Shared by the function table and
// the scanners of source text.
#pragma once

#include "engine/base.hpp"

namespace vke {

inline bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
inline bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9');
}

// The number of name characters (letters, digits, "_") from text[pos] on.
inline int32_t NameSpan(const char* text, int32_t length, int32_t pos) {
  int32_t n = 0;
  while (pos + n < length && IsNameChar(text[pos + n])) n++;
  return n;
}

}  // namespace vke
