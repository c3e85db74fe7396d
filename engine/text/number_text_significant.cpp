// A double with a given count of significant digits: the digits of the
// correctly rounded decimal value, written in the fixed form or in the
// exponent form by the size of its decimal exponent.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/text/number_text.hpp"
#include "engine/text/number_text_detail.hpp"

namespace vke {

using numtext::PadField;
using numtext::PutDigits;
using numtext::PutSign;
using numtext::TextOut;

namespace {

// Digits a double has at most: its exact decimal value ends before them,
// so further requested digits are all zeros.
constexpr int32_t kMaxExactDigits = 800;
// Below 10^-4 and at or above 10^digits the exponent form is written.
constexpr int32_t kLowestFixedExponent = -4;

// The rounded significand's digits and the decimal exponent of a positive
// or zero magnitude.
struct Significand {
  char digits[kMaxExactDigits + 1];
  int32_t count = 0;
  int32_t exponent = 0;
};

// The C library's exponent conversion rounds the exact binary value
// correctly, ties included: "d.ddd...e[+-]xx".
void RoundSignificand(double magnitude, int32_t digits, Significand* s) {
  char text[kMaxExactDigits + 16];
  std::snprintf(text, sizeof text, "%.*e", digits - 1, magnitude);
  const char* p = text;
  for (; *p && *p != 'e'; p++)
    if (*p >= '0' && *p <= '9') s->digits[s->count++] = *p;
  s->exponent = *p == 'e' ? static_cast<int32_t>(std::strtol(p + 1, nullptr, 10)) : 0;
}

}  // namespace

void FormatSignificant(char* buffer, int32_t* position, double value, int32_t digits, int32_t width,
                       bool leftAlign, bool upperCase, bool plusSign, bool blankSign, bool zeroPad,
                       bool alwaysPoint, int32_t size) {
  if (!std::isfinite(value)) {
    FormatDouble(buffer, position, value, 0, 'g', width, leftAlign, upperCase, plusSign, blankSign,
                 false, false, size);
    return;
  }
  if (*position < 0 || *position >= size) return;
  const int32_t start = *position;
  TextOut out{buffer, start, size};
  const int32_t signLength = PutSign(out, value < 0, plusSign, blankSign);

  const int32_t wanted = std::max(digits, 1);
  Significand s;
  RoundSignificand(std::fabs(value), std::min(wanted, kMaxExactDigits), &s);
  // Zeros the exact value does not reach, kept only with the point.
  const int32_t extraZeros = alwaysPoint ? wanted - s.count : 0;
  int32_t kept = s.count;
  if (!alwaysPoint)
    while (kept > 1 && s.digits[kept - 1] == '0') kept--;
  const bool fixed = s.exponent >= kLowestFixedExponent && s.exponent < wanted;
  // Digits before the point: the exponent's count in the fixed form (at
  // least the "0" of a value below 1), one in the exponent form.
  const int32_t whole = fixed ? s.exponent + 1 : 1;
  const int32_t digitLimit = size - 2;
  auto digitAt = [&](int32_t i) { return i < kept ? s.digits[i] : '0'; };
  if (whole <= 0) {
    out.Put('0', digitLimit);
  } else {
    for (int32_t i = 0; i < whole; i++) out.Put(digitAt(i), digitLimit);
  }
  const int32_t fraction = std::max(kept - std::max(whole, 0), 0);
  if (fraction > 0 || alwaysPoint) {
    out.Put('.', digitLimit);
    for (int32_t i = whole; i < 0; i++) out.Put('0', digitLimit);
    for (int32_t i = std::max(whole, 0); i < kept; i++) out.Put(s.digits[i], digitLimit);
    for (int32_t i = 0; i < extraZeros && out.pos < digitLimit; i++) out.Put('0', digitLimit);
  }
  if (!fixed && out.pos + 5 < size) {
    out.Put(upperCase ? 'E' : 'e');
    if (s.exponent < 0) out.Put('-');
    PutDigits(out, static_cast<uint64_t>(std::abs(s.exponent)), 10, 1, false, size);
  }
  PadField(out, start, width, leftAlign, zeroPad, signLength);
  *position = out.pos;
}

}  // namespace vke
