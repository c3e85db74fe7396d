// The tokens of expressions that carry a value: number literals (doubles,
// imaginary and single-precision numbers, integer literals of a class) and
// single-quoted string literals with their escapes.
#pragma once

#include "engine/context.hpp"

namespace vke {

enum class NumberKind : uint8_t {
  kDouble,
  kInteger,  // an integer literal of a class: digits then "int"/"uint" and a size
};

struct NumberLiteral {
  NumberKind kind = NumberKind::kDouble;
  double value = 0;
  bool imaginary = false;     // "i" or "j" behind the number
  bool single = false;        // "single" behind the number
  bool plainInteger = false;  // written without a point and without a negative exponent
  uint64_t bits = 0;          // integer literal: the value, wrapped to 64 bits
  int32_t bytes = 0;          // integer literal: 1, 2, 4 or 8
  bool isUnsigned = false;
};

// True when a number starts at text[pos]: a digit, or "." and a digit.
bool IsNumberStart(const char* text, int32_t length, int32_t pos);

// Reads the number at *pos and moves *pos behind it. kErrUnsupportedIntSize for an integer
// literal of another size than 8, 16, 32 or 64, kErrUnrecognizedToken for a malformed one.
ErrCode ScanNumberLiteral(const char* text, int32_t length, int32_t* pos, NumberLiteral* out);

// Reads the string literal whose opening quote stands at *pos into chars
// (capacity characters) and moves *pos behind its closing quote. Two quotes
// stand for one; backslash escapes are decoded; bytes above 127 go through
// the context's text decoder when one is installed. kErrUnterminatedString without a closing
// quote on the line, kErrUnknownEscape for an unknown escape, kErrExprTooLarge when chars is too
// small.
ErrCode ScanStringLiteral(EngineContext* ctx, const char* text, int32_t length, int32_t* pos,
                          uint16_t* chars, int32_t capacity, int32_t* count);

}  // namespace vke
