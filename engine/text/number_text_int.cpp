// Integers as text: decimal with sign and padding, and unsigned hexadecimal,
// octal and binary; also the digit and padding pieces every number appender
// shares.
#include <algorithm>
#include <cstring>

#include "engine/text/number_text.hpp"
#include "engine/text/number_text_detail.hpp"

namespace vke {

namespace numtext {

void PutDigits(TextOut& out, uint64_t v, uint32_t base, int32_t minDigits, bool upperCase,
               int32_t limit) {
  const char* letters = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
  char digits[64];
  int32_t n = 0;
  for (; v != 0; v /= base) digits[n++] = letters[v % base];
  for (int32_t i = n; i < minDigits && out.pos < limit; i++) out.Put('0', limit);
  while (n > 0) out.Put(digits[--n], limit);
}

void PadField(TextOut& out, int32_t start, int32_t width, bool leftAlign, bool zeroPad,
              int32_t signLength) {
  int32_t length = out.pos - start;
  if (length >= width) return;
  int32_t gap = std::min(width - length, out.size - out.pos);
  if (gap <= 0) return;
  char* field = out.buffer + start;
  if (leftAlign) {
    std::memset(field + length, ' ', gap);
  } else {
    std::memmove(field + gap, field, length);
    if (zeroPad) {
      std::memmove(field, field + gap, signLength);
      std::memset(field + signLength, '0', gap);
    } else {
      std::memset(field, ' ', gap);
    }
  }
  out.pos += gap;
}

int32_t PutSign(TextOut& out, bool negative, bool plusSign, bool blankSign) {
  if (!negative && !plusSign && !blankSign) return 0;
  out.Put(negative ? '-' : plusSign ? '+' : ' ');
  return 1;
}

}  // namespace numtext

using numtext::PadField;
using numtext::PutDigits;
using numtext::TextOut;

namespace {

bool OutsideBuffer(const int32_t* position, int32_t size) {
  return *position < 0 || *position >= size;
}

void AppendDecimal(char* buffer, int32_t* position, uint64_t magnitude, bool negative,
                   int32_t width, bool leftAlign, bool plusSign, bool blankSign, int32_t minDigits,
                   int32_t size) {
  if (OutsideBuffer(position, size)) return;
  TextOut out{buffer, *position, size};
  if (negative)
    out.Put('-');
  else if (plusSign)
    out.Put('+');
  else if (blankSign)
    out.Put(' ');
  PutDigits(out, magnitude, 10, minDigits, false, size);
  PadField(out, *position, width, leftAlign, false, 0);
  *position = out.pos;
}

void AppendRadix(char* buffer, int32_t* position, uint64_t value, uint32_t base, const char* prefix,
                 int32_t width, bool leftAlign, bool upperCase, bool alternate, int32_t minDigits,
                 int32_t size) {
  if (OutsideBuffer(position, size)) return;
  TextOut out{buffer, *position, size};
  if (alternate && value != 0)
    for (const char* p = prefix; *p; p++) out.Put(*p);
  PutDigits(out, value, base, minDigits, upperCase, size);
  PadField(out, *position, width, leftAlign, false, 0);
  *position = out.pos;
}

}  // namespace

void AppendFormattedInt(char* buffer, int32_t* position, int32_t value, bool isUnsigned,
                        int32_t width, bool leftAlign, bool plusSign, bool blankSign,
                        int32_t minDigits, int32_t size) {
  int64_t wide = isUnsigned ? int64_t{static_cast<uint32_t>(value)} : int64_t{value};
  AppendFormattedInt64(buffer, position, wide, false, width, leftAlign, plusSign, blankSign,
                       minDigits, size);
}

void AppendFormattedInt64(char* buffer, int32_t* position, int64_t value, bool isUnsigned,
                          int32_t width, bool leftAlign, bool plusSign, bool blankSign,
                          int32_t minDigits, int32_t size) {
  bool negative = !isUnsigned && value < 0;
  uint64_t bits = static_cast<uint64_t>(value);
  AppendDecimal(buffer, position, negative ? 0 - bits : bits, negative, width, leftAlign, plusSign,
                blankSign, minDigits, size);
}

void AppendHex32(char* buffer, int32_t* position, uint32_t value, int32_t width, bool leftAlign,
                 bool upperCase, bool alternate, int32_t minDigits, int32_t size) {
  AppendHex64(buffer, position, value, width, leftAlign, upperCase, alternate, minDigits, size);
}

void AppendOctal32(char* buffer, int32_t* position, uint32_t value, int32_t width, bool leftAlign,
                   bool alternate, int32_t minDigits, int32_t size) {
  AppendOctal64(buffer, position, value, width, leftAlign, alternate, minDigits, size);
}

void AppendHex64(char* buffer, int32_t* position, uint64_t value, int32_t width, bool leftAlign,
                 bool upperCase, bool alternate, int32_t minDigits, int32_t size) {
  AppendRadix(buffer, position, value, 16, "0x", width, leftAlign, upperCase, alternate, minDigits,
              size);
}

void AppendOctal64(char* buffer, int32_t* position, uint64_t value, int32_t width, bool leftAlign,
                   bool alternate, int32_t minDigits, int32_t size) {
  AppendRadix(buffer, position, value, 8, "0", width, leftAlign, false, alternate, minDigits, size);
}

void AppendBinary64(char* buffer, int32_t* position, uint64_t value, int32_t width, bool leftAlign,
                    bool alternate, int32_t minDigits, int32_t size) {
  AppendRadix(buffer, position, value, 2, "0b", width, leftAlign, false, alternate, minDigits,
              size);
}

}  // namespace vke
