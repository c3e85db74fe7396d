// Reading a decimal number from text.
#include "engine/text/number_text.hpp"
#include "engine/text/number_text_detail.hpp"

namespace vke {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Significant digits kept; later ones only move the decimal exponent.
constexpr int32_t kHeldDigits = 19;
// Exponents beyond this give 0 or infinity anyway.
constexpr int64_t kExponentLimit = 100000;

}  // namespace

bool ParseNumberText(const char* text, int32_t length, int32_t* position, double* result) {
  int32_t p = position ? *position : 0;
  if (p < 0) p = 0;
  auto at = [&](int32_t i) { return i < length ? text[i] : '\0'; };
  while (at(p) == ' ' || at(p) == '\t') p++;
  bool negative = at(p) == '-';
  if (negative || at(p) == '+') p++;
  if (!IsDigit(at(p)) && at(p) != '.') {
    if (position) *position = p;
    return false;
  }

  uint64_t mantissa = 0;
  int32_t held = 0;
  int64_t exponent = 0;
  auto take = [&](char c, bool fraction) {
    int digit = c - '0';
    if (held < kHeldDigits && (held > 0 || digit != 0)) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(digit);
      held++;
      if (fraction) exponent--;
    } else if (held == 0) {
      if (fraction) exponent--;  // a leading zero of the fraction
    } else if (!fraction) {
      exponent++;  // an integer digit past the held ones
    }
  };
  for (; IsDigit(at(p)); p++) take(at(p), false);
  if (at(p) == '.')
    for (p++; IsDigit(at(p)); p++) take(at(p), true);

  // The exponent counts only with a digit after the letter and its sign.
  if (at(p) == 'e' || at(p) == 'E') {
    int32_t q = p + 1;
    bool negativeExponent = at(q) == '-';
    if (negativeExponent || at(q) == '+') q++;
    if (IsDigit(at(q))) {
      int64_t value = 0;
      for (; IsDigit(at(q)); q++)
        if (value < kExponentLimit) value = value * 10 + (at(q) - '0');
      exponent += negativeExponent ? -value : value;
      p = q;
    }
  }
  if (exponent > kExponentLimit) exponent = kExponentLimit;
  if (exponent < -kExponentLimit) exponent = -kExponentLimit;

  auto v = static_cast<double>(numtext::ScaleByPowerOfTen(static_cast<long double>(mantissa),
                                                          static_cast<int32_t>(exponent)));
  *result = negative ? -v : v;
  if (position) *position = p;
  return true;
}

}  // namespace vke
