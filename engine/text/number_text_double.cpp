// Doubles and complex numbers as text: the fixed, exponent, shortest and
// engineering forms with their rounding, and the display-format number
// writer of the descriptor layer.
#include <algorithm>
#include <cmath>

#include "engine/context.hpp"
#include "engine/files/fd.hpp"
#include "engine/text/number_text.hpp"
#include "engine/text/number_text_detail.hpp"

namespace vke {

using numtext::PadField;
using numtext::PutDigits;
using numtext::PutSign;
using numtext::TextOut;

namespace numtext {

long double ScaleByPowerOfTen(long double value, int32_t k) {
  // The powers of ten that extended precision holds exactly.
  static constexpr long double kExact[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                           1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                           1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L,
                                           1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};
  constexpr int32_t kMaxExact = 27;
  if (k >= 0 && k <= kMaxExact) return value * kExact[k];
  if (k < 0 && k >= -kMaxExact) return value / kExact[-k];
  long double scaled = value * std::pow(10.0L, static_cast<long double>(k));
  if (std::isfinite(scaled) && (scaled != 0 || value == 0)) return scaled;
  int32_t half = k / 2;
  return value * std::pow(10.0L, static_cast<long double>(half)) *
         std::pow(10.0L, static_cast<long double>(k - half));
}

}  // namespace numtext

using numtext::ScaleByPowerOfTen;

namespace {

using Real = long double;

// The exponent value that stands for the fixed form.
constexpr int32_t kNoExponent = 30000;
// Fraction digits that carry information, counted from the first nonzero
// one; further ones are written as 0.
constexpr int32_t kHeldFractionDigits = 17;

// A non-negative number rounded for writing: whole.fraction x 10^exponent,
// the fraction being leadingZeros zeros, fractionDigits digits of fraction
// and zeros more zeros.
struct DecimalForm {
  uint64_t whole = 0;
  uint64_t fraction = 0;
  int32_t leadingZeros = 0;
  int32_t fractionDigits = 0;
  int32_t zeros = 0;
  int32_t exponent = kNoExponent;

  int32_t FractionLength() const { return leadingZeros + fractionDigits + zeros; }
};

bool IsShortestLetter(char letter) {
  return letter == 'g' || letter == 'k' || letter == 'K';
}

// floor(log10(x)) for a positive x, corrected where log10 lands on the wrong
// side of a power of ten.
int32_t DecimalExponent(Real x) {
  auto e = static_cast<int32_t>(std::floor(std::log10(x)));
  Real m = ScaleByPowerOfTen(x, -e);
  if (m >= 10) return e + 1;
  if (m < 1) return e - 1;
  return e;
}

// Fraction digits of the shortest forms: counted while the remaining
// fraction is neither almost 0 nor almost 1.
int32_t ShortestFractionDigits(Real m, int32_t precision) {
  Real f = m - std::floor(m);
  int32_t d = 0;
  while (d < precision && f > 1e-6L && f < 0.999999L) {
    f *= 10;
    f -= std::floor(f);
    d++;
  }
  return d;
}

// Below this, a non-negative extended value's whole part is its
// conversion to 64 bits, which truncates without the rounding mode's
// switches that floor costs.
constexpr Real kTwoTo64 = 18446744073709551616.0L;

Real Floor(Real x) {
  return x >= 0 && x < kTwoTo64 ? static_cast<Real>(static_cast<uint64_t>(x)) : std::floor(x);
}

// Splits a rounded value r (0 <= r < 2^64) into its whole part and the
// given number of fraction digits.
DecimalForm Split(Real r, int32_t digits, int32_t exponent) {
  DecimalForm form;
  form.exponent = exponent;
  Real whole = Floor(r);
  form.whole = whole < 18446744073709551615.0L ? static_cast<uint64_t>(whole) : UINT64_MAX;
  Real f = r - whole;
  if (digits <= 0 || f <= 0) {
    form.zeros = std::max(digits, 0);
    return form;
  }
  if (form.whole == 0) form.leadingZeros = std::min(digits, -DecimalExponent(f) - 1);
  form.fractionDigits = std::min(digits - form.leadingZeros, kHeldFractionDigits);
  form.zeros = digits - form.leadingZeros - form.fractionDigits;
  Real scaled = Floor(ScaleByPowerOfTen(f, form.leadingZeros + form.fractionDigits));
  Real limit = ScaleByPowerOfTen(1, form.fractionDigits) - 1;
  form.fraction = static_cast<uint64_t>(std::min(std::max(scaled, Real{0}), limit));
  return form;
}

// Powers of ten up to this one are exact in extended precision.
constexpr int32_t kMaxExactPower = 27;

// x * 10^k (x >= 0) rounded to a whole number, half a unit rounding up, as
// the exact binary value of x decides: the product's rounding error (an
// exact residual through fma) settles the ties. False when k or the result
// is out of reach; the caller then adds half a unit in extended precision.
bool RoundScaled(Real x, int32_t k, Real* whole) {
  if (k > kMaxExactPower || k < -kMaxExactPower) return false;
  const Real s = ScaleByPowerOfTen(1, k < 0 ? -k : k);
  const Real p = k >= 0 ? x * s : x / s;
  if (!(p < 9.2e18L)) return false;
  const Real w = Floor(p), f = p - w;
  // The residual (an fma of extended precision, slow) matters at a tie only.
  bool up = f > 0.5L;
  if (f == 0.5L) {
    const Real residual = k >= 0 ? std::fmal(x, s, -p)   // x * s - p
                                 : std::fmal(-p, s, x);  // (x / s - p) * s
    up = residual >= 0;
  }
  *whole = w + (up ? 1 : 0);
  return true;
}

// The rounded value r of x at the given fraction digits, placed midway in
// the last digit's unit so that Split reads the digits back unchanged.
Real RoundedAt(Real x, int32_t digits) {
  Real whole;
  if (!RoundScaled(x, digits, &whole)) return x + ScaleByPowerOfTen(0.5L, -digits);
  return ScaleByPowerOfTen(whole + 0.5L, -digits);
}

// Below this, a rounded whole number reads back through Split unchanged,
// so that its digits may be taken from it directly.
constexpr Real kDirectDigitsLimit = 4611686018427387904.0L;  // 2^62

// Rounds x to the given fraction digits: half a unit of the last one
// rounds up. Where the digits fit, they come from the rounded whole number
// x * 10^digits by integer division, as Split would read them back.
DecimalForm RoundFixed(Real x, int32_t digits) {
  Real rounded;
  if (digits >= 0 && digits <= kHeldFractionDigits && RoundScaled(x, digits, &rounded) &&
      rounded < kDirectDigitsLimit) {
    uint64_t unit = 1;
    for (int32_t i = 0; i < digits; i++) unit *= 10;
    const auto all = static_cast<uint64_t>(rounded);
    DecimalForm form;
    form.whole = all / unit;
    form.fraction = all % unit;
    form.fractionDigits = form.fraction != 0 ? digits : 0;
    form.zeros = digits - form.fractionDigits;
    return form;
  }
  return Split(RoundedAt(x, digits), digits, kNoExponent);
}

void StripTrailingZeros(DecimalForm& form) {
  form.zeros = 0;
  while (form.fractionDigits > 0 && form.fraction % 10 == 0) {
    form.fraction /= 10;
    form.fractionDigits--;
  }
  if (form.fractionDigits == 0) form.leadingZeros = 0;
}

// Estimated length of an exponent: its sign and one or two digits.
int32_t ExponentLength(int32_t e) {
  return (e < 0 ? 1 : 0) + (std::abs(e) > 9 ? 2 : 1);
}

// 'k' and 'K': the shortest of the fixed form, the normalised exponent form
// and the integer-mantissa form, by estimated length. The mantissa of the
// exponent forms is at least 1, so its fraction has no leading zeros.
void ChooseShorterForm(DecimalForm& form, Real magnitude, bool oneLess) {
  int32_t e = form.exponent;
  int32_t d = form.fractionDigits;
  int32_t fixedLength = e >= d ? e : (e < 0 ? d - e : d) + 1;
  if (oneLess) fixedLength--;
  int32_t normalLength = d + 2 + ExponentLength(e);
  int32_t integerLength = d + 1 + ExponentLength(e - d);
  if (normalLength < fixedLength || integerLength < fixedLength) {
    if (integerLength < normalLength) {
      for (int32_t i = 0; i < d; i++) form.whole *= 10;
      form.whole += form.fraction;
      form.fraction = 0;
      form.fractionDigits = 0;
      form.exponent = e - d;
    }
    return;
  }
  // Whole numbers past 1e18 keep an exponent whatever the letter.
  if (magnitude <= kMaxFixedMagnitude) form = RoundFixed(magnitude, std::max(0, d - e));
}

// Rounds a non-negative magnitude into the form the letter asks for.
DecimalForm Decompose(Real magnitude, int32_t precision, char letter) {
  bool exponentForm = letter == 'e' || letter == 'n' || letter == 'k' || letter == 'K' ||
                      (magnitude >= 2e9L && letter != 'f') || magnitude > kMaxFixedMagnitude ||
                      (magnitude != 0 && magnitude < 0.1L && letter != 'f');
  if (!exponentForm) {
    int32_t d = IsShortestLetter(letter) ? ShortestFractionDigits(magnitude, precision) : precision;
    DecimalForm form = RoundFixed(magnitude, d);
    if (IsShortestLetter(letter)) StripTrailingZeros(form);
    return form;
  }
  // Engineering form: mantissa in [1, 1000) with the exponent a multiple of 3.
  const bool engineering = letter == 'n';
  const int32_t step = engineering ? 3 : 1;
  const Real top = engineering ? 1000 : 10;
  int32_t e = magnitude == 0 ? 0 : DecimalExponent(magnitude);
  if (engineering) e -= (e + 9999) % 3;
  Real m = ScaleByPowerOfTen(magnitude, -e);
  if (!std::isfinite(m)) m = 0;
  int32_t d = IsShortestLetter(letter) ? ShortestFractionDigits(m, precision) : precision;
  Real r = m + ScaleByPowerOfTen(0.5L, -d);
  Real whole;
  if (m != 0 && RoundScaled(magnitude, d - e, &whole)) r = ScaleByPowerOfTen(whole + 0.5L, -d);
  if (r >= top) {  // rounding carried into a new leading digit: 9.99 -> 1.00e1
    r /= top;
    e += step;
  }
  DecimalForm form = Split(r, d, e);
  if (IsShortestLetter(letter)) StripTrailingZeros(form);
  if (letter == 'k' || letter == 'K') ChooseShorterForm(form, magnitude, letter == 'K');
  return form;
}

const char* NonFiniteWord(double value, bool upperCase, bool plusSign, bool blankSign) {
  if (std::isnan(value)) return upperCase ? "NaN" : "nan";
  if (value < 0) return upperCase ? "-Inf" : "-inf";
  if (plusSign) return upperCase ? "+Inf" : "+inf";
  if (blankSign) return upperCase ? " Inf" : " inf";
  return upperCase ? "Inf" : "inf";
}

}  // namespace

void FormatDouble(char* buffer, int32_t* position, double value, int32_t precision, char letter,
                  int32_t width, bool leftAlign, bool upperCase, bool plusSign, bool blankSign,
                  bool zeroPad, bool alwaysPoint, int32_t size) {
  if (*position < 0 || *position >= size) return;
  const int32_t start = *position;
  TextOut out{buffer, start, size};
  if (!std::isfinite(value)) {
    for (const char* p = NonFiniteWord(value, upperCase, plusSign, blankSign); *p; p++) out.Put(*p);
    PadField(out, start, width, leftAlign, false, 0);
    *position = out.pos;
    return;
  }
  const int32_t signLength = PutSign(out, value < 0, plusSign, blankSign);

  DecimalForm form = Decompose(std::fabs(Real{value}), std::max(precision, 0), letter);
  const int32_t digitLimit = size - 2;
  PutDigits(out, form.whole, 10, 1, false, digitLimit);
  if (form.FractionLength() > 0 || alwaysPoint) {
    out.Put('.', digitLimit);
    PutDigits(out, 0, 10, form.leadingZeros, false, digitLimit);
    PutDigits(out, form.fraction, 10, form.fractionDigits, false, digitLimit);
    PutDigits(out, 0, 10, form.zeros, false, digitLimit);
  }
  if (form.exponent != kNoExponent && out.pos + 5 < size) {
    out.Put(upperCase ? 'E' : 'e');
    if (form.exponent < 0) out.Put('-');
    PutDigits(out, static_cast<uint64_t>(std::abs(form.exponent)), 10, 1, false, size);
  }
  PadField(out, start, width, leftAlign, zeroPad, signLength);
  *position = out.pos;
}

void AppendComplexNumber(char* buffer, int32_t* position, double re, double im, int32_t precision,
                         char letter, int32_t width, bool leftAlign, bool upperCase,
                         char imagLetter, bool plusSign, bool blankSign, bool zeroPad,
                         int32_t size) {
  if (*position < 0 || *position >= size) return;
  const int32_t start = *position;
  const int32_t partWidth = leftAlign ? 0 : std::max(0, (width - 2) / 2);
  FormatDouble(buffer, position, re, precision, letter, partWidth, leftAlign, upperCase, plusSign,
               blankSign, zeroPad, false, size);
  TextOut out{buffer, *position, size};
  // An imaginary part too small to change the real part is not written.
  const bool showImaginary = !std::isnan(re) && !std::isnan(im) && re + im != re;
  if (!showImaginary) {
    PadField(out, start, width, true, false, 0);
  } else if (size - out.pos >= 3) {
    if (!leftAlign) out.Put(' ');
    out.Put(im < 0 ? '-' : '+');
    if (!leftAlign && width > 0 && width % 2 == 1) out.Put(' ');
    FormatDouble(buffer, &out.pos, std::fabs(im), precision, letter, partWidth, leftAlign,
                 upperCase, false, false, zeroPad, false, size);
    bool lower = imagLetter >= 'a' && imagLetter <= 'z';
    out.Put(upperCase && lower ? static_cast<char>(imagLetter - 'a' + 'A') : imagLetter);
  }
  *position = out.pos;
}

ErrCode WriteNumberToFd(EngineContext* ctx, int32_t fd, double value) {
  char text[128];
  int32_t n = 0;
  FormatDouble(text, &n, value, ctx->displayDigits, 'g', 0, false, false, false, false, false,
               false, sizeof text);
  return WriteToFd(ctx, fd, text, n);
}

}  // namespace vke
