// Number literals: decimal, hexadecimal ("0x"), binary ("0b") and octal
// (a leading "0" and a digit) bodies, the imaginary and single suffixes, and
// integer literals of a class ("31int8", "0x1Fuint16").
#include <cstdlib>

#include "compiler/compile_lexer.hpp"
#include "compiler/lexer_helpers.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

char At(const char* text, int32_t length, int32_t pos) {
  return pos < length ? text[pos] : '\0';
}

int32_t DigitValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// True when the suffix word stands at pos and no name character follows.
bool SuffixAt(const char* text, int32_t length, int32_t pos, const char* word) {
  int32_t p = pos;
  return MatchKeywordAt(text, length, &p, word);
}

// The base of an integer body at pos and the position of its first digit.
int32_t BodyBase(const char* text, int32_t length, int32_t pos, int32_t* first) {
  char c0 = At(text, length, pos), c1 = At(text, length, pos + 1);
  if (c0 == '0' && (c1 == 'x' || c1 == 'X') && DigitValue(At(text, length, pos + 2)) < 16) {
    *first = pos + 2;
    return 16;
  }
  if (c0 == '0' && (c1 == 'b' || c1 == 'B') && DigitValue(At(text, length, pos + 2)) < 2) {
    *first = pos + 2;
    return 2;
  }
  *first = pos;
  return c0 == '0' && IsDigit(c1) ? 8 : 10;
}

// Reads the digits of a body in the base; false when a digit does not fit it.
bool ReadDigits(const char* text, int32_t length, int32_t* pos, int32_t base, uint64_t* bits,
                double* value) {
  *bits = 0;
  *value = 0;
  bool valid = true;
  while (*pos < length) {
    int32_t d = DigitValue(text[*pos]);
    if (base == 16 ? d >= 16 : !IsDigit(text[*pos])) break;
    if (d >= base) valid = false;
    *bits = *bits * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    *value = *value * base + d;
    ++*pos;
  }
  return valid;
}

// The run of letters, digits and "_" at pos holds "int" (an integer literal).
bool RunHoldsInt(const char* text, int32_t length, int32_t pos) {
  int32_t n = NameSpan(text, length, pos);
  for (int32_t i = 0; i + 3 <= n; i++)
    if (text[pos + i] == 'i' && text[pos + i + 1] == 'n' && text[pos + i + 2] == 't') return true;
  return false;
}

ErrCode ScanInteger(const char* text, int32_t length, int32_t* pos, NumberLiteral* out) {
  int32_t p;
  int32_t base = BodyBase(text, length, *pos, &p);
  double ignored;
  if (!ReadDigits(text, length, &p, base, &out->bits, &ignored)) return kErrUnrecognizedToken;
  out->kind = NumberKind::kInteger;
  out->isUnsigned = At(text, length, p) == 'u';
  if (out->isUnsigned) p++;
  if (!(At(text, length, p) == 'i' && At(text, length, p + 1) == 'n' &&
        At(text, length, p + 2) == 't'))
    return kErrUnrecognizedToken;
  p += 3;
  int32_t sizeStart = p;
  int32_t size = 0;
  while (IsDigit(At(text, length, p)) && p - sizeStart < 4) size = size * 10 + (text[p++] - '0');
  if (p == sizeStart || IsNameChar(At(text, length, p))) return kErrUnrecognizedToken;
  if (size != 8 && size != 16 && size != 32 && size != 64) return kErrUnsupportedIntSize;
  out->bytes = size / 8;
  *pos = p;
  return kOk;
}

}  // namespace

bool IsNumberStart(const char* text, int32_t length, int32_t pos) {
  char c = At(text, length, pos);
  return IsDigit(c) || (c == '.' && IsDigit(At(text, length, pos + 1)));
}

ErrCode ScanNumberLiteral(const char* text, int32_t length, int32_t* pos, NumberLiteral* out) {
  *out = NumberLiteral{};
  if (RunHoldsInt(text, length, *pos)) return ScanInteger(text, length, pos, out);
  int32_t p;
  int32_t base = BodyBase(text, length, *pos, &p);
  if (base != 10) {
    uint64_t bits;
    if (!ReadDigits(text, length, &p, base, &bits, &out->value)) return kErrUnrecognizedToken;
    out->plainInteger = true;
  } else {
    // Decimal: digits, a point that does not begin an elementwise operator
    // or a transpose, fraction digits, an exponent.
    char buffer[400];
    int32_t n = 0;
    bool point = false, negativeExponent = false;
    auto take = [&](char c) {
      if (n < static_cast<int32_t>(sizeof buffer) - 1) buffer[n++] = c;
    };
    while (IsDigit(At(text, length, p))) take(text[p++]);
    char after = At(text, length, p + 1);
    if (At(text, length, p) == '.' && after != '*' && after != '/' && after != '\\' &&
        after != '^' && after != '\'') {
      point = true;
      take(text[p++]);
      while (IsDigit(At(text, length, p))) take(text[p++]);
    }
    char e = At(text, length, p);
    if (e == 'e' || e == 'E') {
      int32_t q = p + 1;
      char sign = At(text, length, q);
      if (sign == '+' || sign == '-') q++;
      if (IsDigit(At(text, length, q))) {
        take('e');
        if (sign == '-') {
          take('-');
          negativeExponent = true;
        }
        p = sign == '+' || sign == '-' ? p + 2 : p + 1;
        while (IsDigit(At(text, length, p))) take(text[p++]);
      }
    }
    buffer[n] = 0;
    out->value = std::strtod(buffer, nullptr);
    out->plainInteger = !point && !negativeExponent;
  }
  if ((At(text, length, p) == 'i' || At(text, length, p) == 'j') &&
      !IsNameChar(At(text, length, p + 1))) {
    out->imaginary = true;
    p++;
  }
  if (SuffixAt(text, length, p, "single")) {
    out->single = true;
    p += 6;
  }
  if (IsNameChar(At(text, length, p))) return kErrUnrecognizedToken;
  *pos = p;
  return kOk;
}

}  // namespace vke
