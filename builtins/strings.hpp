// Character sets and spans shared by the string builtins.
#pragma once

#include <cstdint>

namespace vke {

// isspace: space, tab, carriage return, line feed.
inline constexpr uint16_t kSpaceChars[] = {32, 9, 13, 10};
inline constexpr int32_t kSpaceCharCount = 4;
// strtok's default delimiters, in this order.
inline constexpr const uint16_t* kTokenDelimiters = kSpaceChars;
inline constexpr int32_t kTokenDelimiterCount = kSpaceCharCount;
// The blanks deblank and strtrim remove: NUL, space, tab, line feed,
// carriage return.
inline constexpr uint16_t kBlankChars[] = {0, 32, 9, 10, 13};
inline constexpr int32_t kBlankCharCount = 5;

// Mode 0: the number of leading characters of the text that belong to the
// set; mode 1: of those that do not. Characters compare by their full 16-bit
// value; the length when the span reaches the end.
int32_t SpanCharacters(const uint16_t* text, int32_t length, const uint16_t* set, int32_t setLength,
                       int32_t mode);

}  // namespace vke
