// Numbers, truth values and characters as source text: doubles that read
// back exactly, and the blocks of DumpNumericArray with their class
// wrappers, compressed runs, row breaks and character escapes.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/errors/errors.hpp"
#include "engine/text/dump_detail.hpp"
#include "engine/text/number_text.hpp"
#include "engine/text/text.hpp"
#include "engine/values/class_names.hpp"

namespace vke::dump {

namespace {

constexpr int32_t kMaxDoubleDigits = 17;
constexpr int32_t kMaxSingleDigits = 9;
constexpr int32_t kSingleDigits = 7;
// A row breaks with "..." once its line is longer than this.
constexpr int32_t kLineWidth = 59;
// Room for the text of one element or run.
constexpr int32_t kItemBytes = 160;

// floor(log10(a)) for a positive a, corrected where log10 rounds across a
// power of ten.
int32_t DecimalExponent(double a) {
  auto e = static_cast<int32_t>(std::floor(std::log10(a)));
  if (std::pow(10.0L, e) > a) e--;
  if (std::pow(10.0L, e + 1) <= a) e++;
  return e;
}

// Removes the zeros (and a point left bare) at the end of the fraction of
// the number text from start to end; returns the new end.
int32_t StripFraction(char* buffer, int32_t start, int32_t end) {
  int32_t mantissaEnd = start;
  while (mantissaEnd < end && buffer[mantissaEnd] != 'e') mantissaEnd++;
  int32_t point = start;
  while (point < mantissaEnd && buffer[point] != '.') point++;
  if (point == mantissaEnd) return end;
  int32_t keep = mantissaEnd;
  while (keep > point + 1 && buffer[keep - 1] == '0') keep--;
  if (keep == point + 1) keep = point;
  std::memmove(buffer + keep, buffer + mantissaEnd, end - mantissaEnd);
  return keep + (end - mantissaEnd);
}

// A finite double with the given significant digits: the exponent form
// below 0.1 and from 2e9 on, as the shortest number style writes them, and
// when `bounded` also where the integer part has more digits than that.
void AppendSignificant(char* buffer, int32_t* position, int32_t size, double value, int32_t digits,
                       bool bounded = false) {
  const int32_t start = *position;
  if (value == 0) {
    AppendCString(buffer, position, std::signbit(value) ? "-0" : "0", size);
    return;
  }
  const double a = std::fabs(value);
  const bool exponent = a < 0.1 || a >= 2e9 || (bounded && DecimalExponent(a) >= digits);
  const int32_t fraction = exponent ? digits - 1 : std::max(0, digits - 1 - DecimalExponent(a));
  FormatDouble(buffer, position, value, fraction, exponent ? 'e' : 'f', 0, false, false, false,
               false, false, false, size);
  *position = StripFraction(buffer, start, *position);
}

bool ReadsBack(const char* text, int32_t length, double value, bool single) {
  int32_t at = 0;
  double x;
  if (!ParseNumberText(text, length, &at, &x) || at != length) return false;
  if (single)
    return std::bit_cast<uint32_t>(static_cast<float>(x)) ==
           std::bit_cast<uint32_t>(static_cast<float>(value));
  return std::bit_cast<uint64_t>(x) == std::bit_cast<uint64_t>(value);
}

// How one element reads.
struct Element {
  double re = 0, im = 0;
  uint64_t bits = 0;  // integers: the value, sign-extended; floats: re's bits
};

class BlockWriter {
 public:
  BlockWriter(DumpWriter& out, const NumericBlock& block, int32_t precision)
      : out_(out), b_(block), precision_(precision) {
    code_ = static_cast<uint32_t>(b_.integerBytes) | (b_.isUnsigned ? kCodeUnsigned : 0);
    count_ = int64_t{b_.rows} * b_.cols;
  }

  ErrCode Write();
  // An array without elements of the block's class with the shape's dimensions.
  ErrCode WriteEmpty(const Shape& shape);

 private:
  bool IsFloat() const { return b_.cls == ValueClass::kDouble || b_.cls == ValueClass::kSingle; }
  bool IsSingle() const { return b_.cls == ValueClass::kSingle; }
  bool IsComplex() const { return b_.im != nullptr && IsFloat(); }
  bool IsWide() const { return b_.cls == ValueClass::kInteger && b_.integerBytes == 8; }
  const char* ClassWord() const;
  Element At(int64_t i) const;
  bool IsPlusZero(int64_t i) const;

  ErrCode WriteScalar();
  ErrCode WriteChars();
  ErrCode WriteRow(int32_t r);
  // The next item of a row (an element or a run) from column j; returns the
  // columns it covers.
  int32_t RowItem(int64_t first, int32_t left, char* text, int32_t* length);
  int32_t FloatRun(int64_t first, int32_t left, char* text, int32_t* length);
  int32_t IntegerRun(int64_t first, int32_t left, char* text, int32_t* length);

  void Number(char* text, int32_t* length, double v) const;
  void FloatElement(char* text, int32_t* length, const Element& e) const;
  void IntegerElement(char* text, int32_t* length, const Element& e, bool suffix) const;
  ErrCode PutText(const char* text, int32_t length) { return out_.Put(text, length); }

  DumpWriter& out_;
  const NumericBlock& b_;
  int32_t precision_;
  uint32_t code_;
  int64_t count_;
  bool zeroRuns_ = true;
};

const char* BlockWriter::ClassWord() const {
  switch (b_.cls) {
    case ValueClass::kSingle:
      return "single";
    case ValueClass::kLogical:
      return "logical";
    case ValueClass::kChar:
      return "char";
    case ValueClass::kInteger:
      return ClassNameOfCode(code_);
    default:
      return nullptr;
  }
}

Element BlockWriter::At(int64_t i) const {
  Element e;
  const auto* re = static_cast<const uint8_t*>(b_.re);
  const auto* im = static_cast<const uint8_t*>(b_.im);
  switch (b_.cls) {
    case ValueClass::kDouble:
      e.re = Load<double>(re + 8 * i);
      if (im) e.im = Load<double>(im + 8 * i);
      e.bits = std::bit_cast<uint64_t>(e.re);
      break;
    case ValueClass::kSingle:
      e.re = Load<float>(re + 4 * i);
      if (im) e.im = Load<float>(im + 4 * i);
      e.bits = std::bit_cast<uint32_t>(Load<float>(re + 4 * i));
      break;
    case ValueClass::kLogical:
      e.bits = re[i] != 0;
      break;
    default:
      e.bits = ReadIntegerBits(re, code_, i);
      e.re = static_cast<double>(static_cast<int64_t>(e.bits));
      break;
  }
  return e;
}

bool BlockWriter::IsPlusZero(int64_t i) const {
  const Element e = At(i);
  return e.bits == 0 && (!IsComplex() || std::bit_cast<uint64_t>(e.im) == 0);
}

void BlockWriter::Number(char* text, int32_t* length, double v) const {
  if (!out_.NumbersRounded()) {
    AppendExactNumber(text, length, kItemBytes, v, IsSingle() ? kSingleDigits : precision_,
                      IsSingle());
    return;
  }
  if (!std::isfinite(v)) {
    AppendExactNumber(text, length, kItemBytes, v, precision_, IsSingle());
    return;
  }
  const int32_t most = IsSingle() ? kSingleDigits : kMaxDoubleDigits;
  AppendSignificant(text, length, kItemBytes, v, std::clamp(precision_, 1, most), true);
}

// Real parts alone; complex ones as re+imi, or complex(re,im) where that
// would not read back (an imaginary part that is zero, NaN or infinite, a
// real part of -0).
void BlockWriter::FloatElement(char* text, int32_t* length, const Element& e) const {
  if (!IsComplex()) return Number(text, length, e.re);
  const bool plain = std::isfinite(e.im) && e.im != 0 && !(e.re == 0 && std::signbit(e.re));
  if (!plain) {
    AppendCString(text, length, "complex(", kItemBytes);
    Number(text, length, e.re);
    AppendCString(text, length, ",", kItemBytes);
    Number(text, length, e.im);
    AppendCString(text, length, ")", kItemBytes);
    return;
  }
  Number(text, length, e.re);
  AppendCString(text, length, e.im < 0 ? "-" : "+", kItemBytes);
  Number(text, length, std::fabs(e.im));
  AppendCString(text, length, "i", kItemBytes);
}

// Integers: the number, with the class name behind it where no wrapper
// gives the class; the smallest signed value, whose magnitude the class
// cannot hold, through its wrapper.
void BlockWriter::IntegerElement(char* text, int32_t* length, const Element& e, bool suffix) const {
  const bool isUnsigned = b_.isUnsigned;
  const int bits = 8 * b_.integerBytes;
  const bool smallest = !isUnsigned && static_cast<int64_t>(e.bits) ==
                                           (bits == 64 ? std::numeric_limits<int64_t>::min()
                                                       : -(int64_t{1} << (bits - 1)));
  if (suffix && smallest) {
    AppendCString(text, length, ClassWord(), kItemBytes);
    AppendCString(text, length, "(", kItemBytes);
  }
  AppendFormattedInt64(text, length, static_cast<int64_t>(e.bits), isUnsigned, 0, false, false,
                       false, 1, kItemBytes);
  if (suffix) AppendCString(text, length, smallest ? ")" : ClassWord(), kItemBytes);
}

// Runs of doubles and singles: zeros, equal values, values rising by one.
int32_t BlockWriter::FloatRun(int64_t first, int32_t left, char* text, int32_t* length) {
  auto count = [&](auto same) {
    int32_t k = 1;
    while (k < left && same(first + k)) k++;
    return k;
  };
  auto run = [&](const char* word, int32_t k) {
    AppendCString(text, length, word, kItemBytes);
    AppendCString(text, length, "(1,", kItemBytes);
    AppendFormattedInt(text, length, k, false, 0, false, false, false, 1, kItemBytes);
    AppendCString(text, length, ")", kItemBytes);
  };
  if (zeroRuns_ && left >= 6 && IsPlusZero(first)) {
    const int32_t k = count([&](int64_t i) { return IsPlusZero(i); });
    if (k >= 5) {
      run("zeros", k);
      return k;
    }
  }
  const Element v = At(first);
  if (IsComplex() || std::isnan(v.re)) return 0;
  if (left >= 4) {
    const int32_t k = count([&](int64_t i) { return At(i).bits == v.bits; });
    if (k >= 5 || (k >= 3 && v.re != 1)) {
      if (v.bits == 0) {
        run("zeros", k);
      } else if (v.re == 1) {
        run("ones", k);
      } else {
        Number(text, length, v.re);
        run("*ones", k);
      }
      return k;
    }
  }
  // A range start:last regenerates the run exactly when each value is the
  // previous one plus 1 and last - start is the count less one.
  if (left >= 3 && std::fabs(v.re) * std::numeric_limits<double>::epsilon() < 0.1 &&
      (!IsSingle() || v.re == std::floor(v.re))) {
    auto next = [&](double x) { return IsSingle() ? double{static_cast<float>(x + 1)} : x + 1; };
    int32_t k = 1;
    while (k < left && At(first + k).re == next(At(first + k - 1).re)) k++;
    if (k >= 3 && At(first + k - 1).re - v.re == k - 1) {
      const int32_t start = *length;
      Number(text, length, v.re);
      const int32_t colon = *length;
      AppendCString(text, length, ":", kItemBytes);
      Number(text, length, At(first + k - 1).re);
      // Rounded ends would not give the run again: its elements go one by one.
      if (ReadsBack(text + start, colon - start, v.re, IsSingle()) &&
          ReadsBack(text + colon + 1, *length - colon - 1, At(first + k - 1).re, IsSingle()))
        return k;
      *length = start;
    }
  }
  return 0;
}

// Runs of integers (not 64-bit ones): five or more zeros or equal values.
int32_t BlockWriter::IntegerRun(int64_t first, int32_t left, char* text, int32_t* length) {
  const Element v = At(first);
  int32_t k = 1;
  while (k < left && At(first + k).bits == v.bits) k++;
  if (k < 5) return 0;
  if (v.bits == 1) {
    AppendCString(text, length, "ones(1,", kItemBytes);
  } else if (v.bits == 0) {
    AppendCString(text, length, "zeros(1,", kItemBytes);
  } else {
    IntegerElement(text, length, v, false);
    AppendCString(text, length, "*ones(1,", kItemBytes);
  }
  AppendFormattedInt(text, length, k, false, 0, false, false, false, 1, kItemBytes);
  AppendCString(text, length, ")", kItemBytes);
  return k;
}

int32_t BlockWriter::RowItem(int64_t first, int32_t left, char* text, int32_t* length) {
  const Element v = At(first);
  switch (b_.cls) {
    case ValueClass::kLogical: {
      int32_t k = 1;
      while (k < left && At(first + k).bits == v.bits) k++;
      AppendCString(text, length, v.bits ? "true" : "false", kItemBytes);
      if (k >= 2) {
        AppendCString(text, length, "(1,", kItemBytes);
        AppendFormattedInt(text, length, k, false, 0, false, false, false, 1, kItemBytes);
        AppendCString(text, length, ")", kItemBytes);
        return k;
      }
      return 1;
    }
    case ValueClass::kInteger: {
      if (IsWide()) {
        IntegerElement(text, length, v, true);
        return 1;
      }
      const int32_t k = IntegerRun(first, left, text, length);
      if (k) return k;
      IntegerElement(text, length, v, false);
      return 1;
    }
    default: {
      const int32_t k = FloatRun(first, left, text, length);
      if (k) return k;
      FloatElement(text, length, v);
      return 1;
    }
  }
}

ErrCode BlockWriter::WriteRow(int32_t r) {
  int32_t j = 0;
  while (j < b_.cols) {
    char text[kItemBytes];
    int32_t length = 0;
    j += RowItem(int64_t{r} * b_.cols + j, b_.cols - j, text, &length);
    ErrCode e = PutText(text, length);
    if (!e && j < b_.cols) {
      e = out_.Put(",");
      if (!e && out_.LineLength() > kLineWidth) e = out_.ContinueLine();
    }
    if (e) return e;
  }
  return kOk;
}

// Empty values keep their class and size: [] and int8([]) for 0 x 0,
// zeros(0,3), zeros(2,0,'int8') and false(0,3) for other shapes (char
// arrays through char(zeros(...)), the only way text can be empty).
ErrCode BlockWriter::WriteEmpty(const Shape& shape) {
  const bool none = shape.ndims == 2 && shape.dims[0] == 0 && shape.dims[1] == 0;
  const char* word = ClassWord();
  char text[kItemBytes];
  int32_t length = 0;
  auto put = [&](const char* t) { AppendCString(text, &length, t, kItemBytes); };
  if (none) {
    if (b_.cls == ValueClass::kChar) return out_.Put("''");
    if (!word) return out_.Put("[]");
    put(word);
    put("([])");
    return PutText(text, length);
  }
  const bool wrapped = b_.cls == ValueClass::kChar;
  if (wrapped) put("char(");
  put(b_.cls == ValueClass::kLogical ? "false(" : "zeros(");
  for (int32_t i = 0; i < shape.ndims; i++) {
    if (i > 0) put(",");
    AppendFormattedInt(text, &length, shape.dims[i], false, 0, false, false, false, 1, kItemBytes);
  }
  if (word && !wrapped && b_.cls != ValueClass::kLogical) {
    put(",'");
    put(word);
    put("'");
  }
  put(wrapped ? "))" : ")");
  return PutText(text, length);
}

// 1 x 1 values need no brackets; singles and integers carry their class as
// a suffix (singles that are not finite real numbers through single()).
ErrCode BlockWriter::WriteScalar() {
  const Element v = At(0);
  char text[kItemBytes];
  int32_t length = 0;
  switch (b_.cls) {
    case ValueClass::kLogical:
      return out_.Put(v.bits ? "true" : "false");
    case ValueClass::kInteger:
      IntegerElement(text, &length, v, true);
      break;
    case ValueClass::kSingle:
      if (!IsComplex() && std::isfinite(v.re)) {
        Number(text, &length, v.re);
        AppendCString(text, &length, "single", kItemBytes);
      } else {
        AppendCString(text, &length, "single(", kItemBytes);
        FloatElement(text, &length, v);
        AppendCString(text, &length, ")", kItemBytes);
      }
      break;
    default:
      FloatElement(text, &length, v);
      break;
  }
  return PutText(text, length);
}

ErrCode BlockWriter::WriteChars() {
  const auto* chars = static_cast<const uint16_t*>(b_.re);
  ErrCode e = b_.rows > 1 ? out_.Put("[") : kOk;
  for (int32_t r = 0; !e && r < b_.rows; r++) {
    if (r > 0) e = out_.LineEnd();
    if (!e) e = WriteQuoted(out_, chars + int64_t{r} * b_.cols, b_.cols);
  }
  if (!e && b_.rows > 1) e = out_.Put("]");
  return e;
}

ErrCode BlockWriter::Write() {
  if (count_ == 0) {
    Shape shape;
    shape.dims[0] = b_.rows;
    shape.dims[1] = b_.cols;
    return WriteEmpty(shape);
  }
  if (b_.cls == ValueClass::kChar) return WriteChars();
  if (count_ == 1) return WriteScalar();
  if (IsComplex()) {
    // Zero runs would make an all-zero complex array real.
    zeroRuns_ = false;
    for (int64_t i = 0; i < count_ && !zeroRuns_; i++) zeroRuns_ = !IsPlusZero(i);
  }
  const char* wrapper = IsWide() || b_.cls == ValueClass::kLogical ? nullptr : ClassWord();
  ErrCode e = kOk;
  if (wrapper) {
    e = out_.Put(wrapper);
    if (!e) e = out_.Put("(");
  }
  if (!e) e = out_.Put("[");
  for (int32_t r = 0; !e && r < b_.rows; r++) {
    if (r > 0) e = out_.LineEnd();
    if (!e) e = WriteRow(r);
  }
  if (!e) e = out_.Put("]");
  if (!e && wrapper) e = out_.Put(")");
  return e;
}

// Escapes of the characters that a quoted string cannot hold as they are.
struct Escape {
  uint16_t ch;
  char letter;
};
constexpr Escape kEscapes[] = {
    {7, 'a'},  {8, 'b'},  {9, 't'},     {10, 'n'},    {11, 'v'},
    {12, 'f'}, {13, 'r'}, {'\'', '\''}, {'\\', '\\'},
};

}  // namespace

void AppendExactNumber(char* buffer, int32_t* position, int32_t size, double value,
                       int32_t precision, bool single) {
  if (std::isnan(value)) {
    AppendCString(buffer, position, "NaN", size);
    return;
  }
  if (std::isinf(value)) {
    AppendCString(buffer, position, value < 0 ? "-Inf" : "Inf", size);
    return;
  }
  const int32_t most = single ? kMaxSingleDigits : kMaxDoubleDigits;
  const int32_t start = *position;
  AppendSignificant(buffer, position, size, value, std::clamp(precision, 1, most));
  if (ReadsBack(buffer + start, *position - start, value, single)) return;
  *position = start;
  AppendSignificant(buffer, position, size, value, most);
}

ErrCode WriteNumericBlock(DumpWriter& out, const NumericBlock& block, int32_t precision) {
  return BlockWriter(out, block, precision).Write();
}

ErrCode WriteEmptyArray(DumpWriter& out, const NumericBlock& block, const Shape& shape) {
  return BlockWriter(out, block, 0).WriteEmpty(shape);
}

ErrCode WriteQuoted(DumpWriter& out, const uint16_t* chars, int32_t length) {
  ErrCode e = out.Put("'");
  int32_t plain = 0;  // characters at the start of chars that need no escape
  for (int32_t i = 0; !e && i <= length; i++) {
    const uint16_t c = i < length ? chars[i] : 0;
    char escape[5] = {'\\', 0, 0, 0, 0};
    int32_t escapeLength = 0;
    if (i < length) {
      for (const Escape& x : kEscapes)
        if (x.ch == c) {
          escape[1] = x.letter;
          escapeLength = 2;
        }
      if (!escapeLength && (c < 32 || c == 127)) {
        static constexpr char kHex[] = "0123456789abcdef";
        escape[1] = 'x';
        escape[2] = kHex[c >> 4];
        escape[3] = kHex[c & 15];
        escapeLength = 4;
      }
      if (!escapeLength) {
        plain++;
        continue;
      }
    }
    e = out.PutChars(chars + i - plain, plain);
    plain = 0;
    if (!e && escapeLength) e = out.Put(escape, escapeLength);
  }
  return e ? e : out.Put("'");
}

}  // namespace vke::dump

namespace vke {

ErrCode DumpNumericArray(EngineContext* ctx, uint16_t* buffer, int32_t capacity, int32_t* position,
                         int32_t fd, const char* name, int32_t nameLength,
                         const NumericBlock& block, int32_t precision) {
  return dump::WriteDump(
      ctx, buffer, capacity, position, fd, name, nameLength,
      [&](dump::DumpWriter& out) { return dump::WriteNumericBlock(out, block, precision); });
}

}  // namespace vke
