// The scanning engine: a template walked over a text again and again,
// matching literal characters and blanks and reading numbers, characters
// and words into doubles.
#include "engine/text/scanf.hpp"

#include <algorithm>

#include "engine/errors/errors.hpp"
#include "engine/text/number_text.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// Characters of one floating-point number handed to the number parser.
constexpr int32_t kMaxNumberChars = 512;
constexpr int32_t kMaxWidth = 1 << 30;

bool IsBlank(uint16_t c) {
  return c == ' ' || c == '\t';
}

bool IsDecimalDigit(uint16_t c) {
  return c >= '0' && c <= '9';
}

// The value of a digit in bases up to 16; 99 for anything else.
int32_t DigitValue(uint16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

enum class Step { kGoOn, kEnd };

class Scanner {
 public:
  Scanner(const uint16_t* text, int32_t length, const uint16_t* tmpl, int32_t tmplLength,
          double* values, int32_t capacity)
      : text_(text),
        length_(length),
        tmpl_(tmpl),
        tmplLength_(tmplLength),
        values_(values),
        capacity_(capacity) {}

  // Walks the template again and again while text remains; a pass that
  // consumed no character ends scanning (a template of blanks only would
  // match nothing forever).
  ErrCode Run() {
    Step step = Step::kGoOn;
    while (step == Step::kGoOn && position_ < length_) {
      const int32_t before = position_;
      ErrCode e = Pass(&step);
      if (e) return e;
      if (position_ == before) break;
    }
    return kOk;
  }

  int32_t stored() const { return stored_; }
  int32_t conversions() const { return conversions_; }
  int32_t position() const { return position_; }
  bool allCharacters() const { return allCharacters_; }

 private:
  ErrCode Pass(Step* step) {
    for (int32_t t = 0; t < tmplLength_;) {
      if (position_ >= length_) return End(step);
      const uint16_t c = tmpl_[t++];
      if (IsBlank(c)) {
        SkipBlanks();
      } else if (c != '%') {
        if (text_[position_] != c) return End(step);
        position_++;
      } else {
        bool counted = true;
        ErrCode e = Directive(&t, step, &counted);
        if (e || *step == Step::kEnd) return e;
        conversions_ += counted;
      }
    }
    return kOk;
  }

  ErrCode End(Step* step) {
    *step = Step::kEnd;
    return kOk;
  }

  // One directive after its "%" (the template position t is advanced).
  ErrCode Directive(int32_t* t, Step* step, bool* counted) {
    suppress_ = *t < tmplLength_ && tmpl_[*t] == '*';
    if (suppress_) (*t)++;
    int32_t width = 0;
    for (; *t < tmplLength_ && IsDecimalDigit(tmpl_[*t]); (*t)++)
      width = width >= kMaxWidth / 10 ? kMaxWidth : width * 10 + (tmpl_[*t] - '0');
    if (*t >= tmplLength_) return End(step);
    const uint16_t letter = tmpl_[(*t)++];
    switch (letter) {
      case '%':
        *counted = false;
        if (text_[position_] != '%') return End(step);
        position_++;
        return kOk;
      case 'c':
        return Store(text_[position_++], true);
      case 'd':
        return ScanInteger(10, true, width, step);
      case 'i':
        return ScanInteger(0, true, width, step);
      case 'o':
        return ScanInteger(8, false, width, step);
      case 'x':
        return ScanInteger(16, false, width, step);
      case 'e':
      case 'f':
      case 'g':
        return ScanReal(width, step);
      case 's':
        return ScanWord(width, step);
      default:
        // Reads nothing; the template character after it is skipped too.
        *counted = false;
        if (position_ == lastUnknown_) return End(step);
        lastUnknown_ = position_;
        if (*t < tmplLength_) (*t)++;
        return kOk;
    }
  }

  ErrCode Store(double value, bool isCharacter) {
    if (suppress_) return kOk;
    if (stored_ >= capacity_) return kErrDataOverflow;
    values_[stored_++] = value;
    allCharacters_ = allCharacters_ && isCharacter;
    return kOk;
  }

  void SkipBlanks() {
    while (position_ < length_ && IsBlank(text_[position_])) position_++;
  }

  // Where a field of the width starting at the current position ends.
  int32_t FieldEnd(int32_t width) const {
    return width > 0 ? static_cast<int32_t>(std::min<int64_t>(length_, int64_t{position_} + width))
                     : length_;
  }

  // An optional sign (when signed), then digits of the base; base 0 reads
  // "0x"/"0X" as hexadecimal, "0b"/"0B" as binary and a leading "0" as
  // octal, else decimal.
  ErrCode ScanInteger(int32_t base, bool isSigned, int32_t width, Step* step) {
    SkipBlanks();
    const int32_t end = FieldEnd(width);
    int32_t p = position_;
    const bool negative = isSigned && p < end && text_[p] == '-';
    if (isSigned && p < end && (text_[p] == '-' || text_[p] == '+')) p++;
    if (base == 0) {
      base = 10;
      if (p < end && text_[p] == '0') {
        base = 8;
        const uint16_t x = p + 1 < end ? text_[p + 1] : 0;
        const uint16_t first = p + 2 < end ? text_[p + 2] : 0;
        if ((x == 'x' || x == 'X') && DigitValue(first) < 16) {
          base = 16;
          p += 2;
        } else if ((x == 'b' || x == 'B') && DigitValue(first) < 2) {
          base = 2;
          p += 2;
        }
      }
    }
    const int32_t digits = p;
    long double value = 0;
    for (; p < end && DigitValue(text_[p]) < base; p++) value = value * base + DigitValue(text_[p]);
    if (p == digits) return End(step);
    position_ = p;
    return Store(static_cast<double>(negative ? -value : value), false);
  }

  // Optional sign, digits and/or "." with fraction digits, then an optional
  // exponent ("e" or "E", optional sign, digits).
  ErrCode ScanReal(int32_t width, Step* step) {
    SkipBlanks();
    const int32_t end = FieldEnd(width);
    int32_t p = position_;
    if (p < end && (text_[p] == '-' || text_[p] == '+')) p++;
    int32_t digits = 0;
    for (; p < end && IsDecimalDigit(text_[p]); p++) digits++;
    if (p < end && text_[p] == '.')
      for (p++; p < end && IsDecimalDigit(text_[p]); p++) digits++;
    if (digits == 0) return End(step);
    if (p < end && (text_[p] == 'e' || text_[p] == 'E')) {
      int32_t q = p + 1;
      if (q < end && (text_[q] == '-' || text_[q] == '+')) q++;
      if (q < end && IsDecimalDigit(text_[q])) {
        while (q < end && IsDecimalDigit(text_[q])) q++;
        p = q;
      }
    }
    char number[kMaxNumberChars];
    const int32_t n = std::min(p - position_, kMaxNumberChars);
    for (int32_t i = 0; i < n; i++) number[i] = static_cast<char>(text_[position_ + i]);
    double value = 0;
    ParseNumberText(number, n, nullptr, &value);
    position_ = p;
    return Store(value, false);
  }

  // Characters up to the next blank or tab (or the width), one value each.
  ErrCode ScanWord(int32_t width, Step* step) {
    SkipBlanks();
    const int32_t end = FieldEnd(width);
    if (position_ >= end || IsBlank(text_[position_])) return End(step);
    while (position_ < end && !IsBlank(text_[position_]))
      if (ErrCode e = Store(text_[position_++], true)) return e;
    return kOk;
  }

  const uint16_t* text_;
  int32_t length_;
  const uint16_t* tmpl_;
  int32_t tmplLength_;
  double* values_;
  int32_t capacity_;
  int32_t position_ = 0;
  int32_t stored_ = 0;
  int32_t conversions_ = 0;
  int32_t lastUnknown_ = 0;  // text position of the last unknown conversion
  bool suppress_ = false;
  bool allCharacters_ = true;
};

// Pushes the stored values as a row: a char row when they are all
// characters, 0 x 0 when there are none.
ErrCode PushValues(EngineContext* ctx, const Scanner& s, const double* values) {
  const int32_t n = s.stored();
  if (n == 0) return PushEmptyMatrix(ctx);
  if (s.allCharacters()) {
    uint16_t* chars;
    ErrCode e = PushNewCharRow(ctx, n, &chars);
    if (e) return e;
    for (int32_t i = 0; i < n; i++) chars[i] = static_cast<uint16_t>(values[i]);
    return kOk;
  }
  double* re;
  ErrCode e = PushNewMatrix(ctx, 1, n, &re, nullptr);
  if (e) return e;
  std::copy(values, values + n, re);
  return kOk;
}

}  // namespace

ErrCode ScanWithTemplate(EngineContext* ctx, const uint16_t* text, int32_t length, int32_t nargout,
                         int32_t* pushed) {
  const NumericView tmpl = ViewNumeric(ctx, 0);
  if (tmpl.cls != ValueClass::kChar) return kErrBadArg;
  // The values go to scratch in the upper half of the free data stack, so
  // that the results pushed below never reach them.
  uint32_t freeBytes;
  GetDataStackFree(ctx, &freeBytes, nullptr);
  const uint32_t units = freeBytes > 64 ? (freeBytes - 64) / 16 : 0;
  double* values = nullptr;
  ErrCode e = ReserveDataStack(ctx, units, reinterpret_cast<void**>(&values));
  if (e) return e;
  Scanner scanner(text, length, reinterpret_cast<const uint16_t*>(tmpl.elements), tmpl.shape.count,
                  values, static_cast<int32_t>(std::min<uint32_t>(units, INT32_MAX)));
  e = scanner.Run();
  if (e) return e;
  const int32_t outputs = std::clamp(nargout, 1, 3);
  *pushed = 0;
  int32_t done = 0;
  if (outputs >= 3 && !(e = PushRealScalar(ctx, scanner.position()))) done++;
  if (!e && outputs >= 2 && !(e = PushRealScalar(ctx, scanner.conversions()))) done++;
  if (!e) e = PushValues(ctx, scanner, values);
  if (e) {
    Drop(ctx, done);
    return e;
  }
  *pushed = outputs;
  return kOk;
}

}  // namespace vke
