// Pieces shared by the number appenders: a writer bounded by the buffer
// size, digit strings in any base, and padding of a written field.
#pragma once

#include <cstdint>

namespace vke::numtext {

// Writes bytes at pos of a buffer, never at or beyond size.
struct TextOut {
  char* buffer;
  int32_t pos;
  int32_t size;

  void Put(char c, int32_t limit) {
    if (pos < limit && pos < size) buffer[pos++] = c;
  }
  void Put(char c) { Put(c, size); }
};

// The digits of v in base 10, 2, 8 or 16 from the most significant, zero-
// padded to minDigits; nothing for 0 with minDigits 0. Stops at limit.
void PutDigits(TextOut& out, uint64_t v, uint32_t base, int32_t minDigits, bool upperCase,
               int32_t limit);

// value x 10^k in extended precision, with exact powers where they exist
// and in two steps where 10^k alone would leave the range.
long double ScaleByPowerOfTen(long double value, int32_t k);

// The sign of a number: "-" when negative, else "+" with the plus flag or
// a blank with the blank flag; gives the bytes written (0 or 1).
int32_t PutSign(TextOut& out, bool negative, bool plusSign, bool blankSign);

// Pads the text written since start to width: blanks after it when left-
// aligned, else the text moves right and blanks, or zeros after the first
// signLength bytes when zeroPad is set, fill the gap.
void PadField(TextOut& out, int32_t start, int32_t width, bool leftAlign, bool zeroPad,
              int32_t signLength);

}  // namespace vke::numtext
