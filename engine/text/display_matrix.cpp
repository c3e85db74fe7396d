// The matrix writers of the display: one page of a double, single, integer,
// char or logical array, row by row, in the context's number style.
#include <algorithm>
#include <cmath>

#include "engine/errors/errors.hpp"
#include "engine/text/display_detail.hpp"
#include "engine/text/number_text.hpp"
#include "engine/text/text.hpp"
#include "engine/values/value_read.hpp"

namespace vke::display {

namespace {

// Digits beyond this only pad the text with zeros.
constexpr int32_t kMaxDisplayDigits = 200;

// Whole numbers show without decimals in fixed format; infinities count as
// whole, NaN does not. Nor do numbers written with an exponent, which
// without decimals would keep one digit.
bool IsWhole(double x) {
  return std::isinf(x) || (x == std::floor(x) && std::fabs(x) <= kMaxFixedMagnitude);
}

bool AllWhole(const FloatBlock& block, int64_t count) {
  for (int64_t i = 0; i < count; i++) {
    if (!IsWhole(block.Re(i))) return false;
    if (block.im && !IsWhole(block.Im(i))) return false;
  }
  return true;
}

// Truncation toward zero that saturates instead of overflowing.
int64_t SaturateToInt64(double x) {
  if (x >= 9223372036854775808.0) return INT64_MAX;
  if (x < -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(x);
}

uint64_t SaturateToUInt64(double x) {
  if (!(x > 0)) return 0;
  if (x >= 18446744073709551616.0) return UINT64_MAX;
  return static_cast<uint64_t>(x);
}

// The real part of an element as an integer in the letter's base; non-
// finite values keep their words.
void FormatIntegerElement(char* buffer, int32_t* position, int32_t size, double x, char letter,
                          int32_t width) {
  if (!std::isfinite(x)) {
    FormatDouble(buffer, position, x, 0, 'f', width, false, false, false, false, false, false,
                 size);
    return;
  }
  const auto bits = static_cast<uint64_t>(SaturateToInt64(x));
  switch (letter) {
    case 'd':
      AppendFormattedInt64(buffer, position, SaturateToInt64(x), false, width, false, false, false,
                           1, size);
      break;
    case 'u':
      AppendFormattedInt64(buffer, position, static_cast<int64_t>(SaturateToUInt64(x)), true, width,
                           false, false, false, 1, size);
      break;
    case 'x':
      AppendHex64(buffer, position, bits, width, false, false, false, 1, size);
      break;
    case 'o':
      AppendOctal64(buffer, position, bits, width, false, false, 1, size);
      break;
    default:
      AppendBinary64(buffer, position, bits, width, false, false, 1, size);
  }
}

bool IsIntegerLetter(char letter) {
  return letter == 'd' || letter == 'u' || letter == 'x' || letter == 'o' || letter == 'b';
}

ErrCode EmptyMatrix(DisplayLine& line) {
  ErrCode e = line.Append(" []");
  return e ? e : line.EndLine();
}

// '+' mode: one character per element by the sign of its real part.
ErrCode PlusSigns(DisplayLine& line, int32_t rows, int32_t cols, const FloatBlock& block) {
  for (int32_t r = 0; r < rows; r++) {
    for (int32_t c = 0; c < cols; c++) {
      int64_t i = int64_t{r} * cols + c;
      double re = block.Re(i);
      double im = block.im ? block.Im(i) : 0;
      char sign = re > 0 ? '+' : re < 0 ? '-' : im != 0 ? 'I' : ' ';
      ErrCode e = line.Append(&sign, 1);
      if (e) return e;
    }
    ErrCode e = line.EndLine();
    if (e) return e;
  }
  return kOk;
}

ErrCode DisplayFloatMatrix(DisplayLine& line, int32_t rows, int32_t cols, const FloatBlock& block,
                           int32_t maxDigits, const char* suffix) {
  if (rows <= 0 || cols <= 0) return EmptyMatrix(line);
  NumberStyle style = CurrentStyle(line.ctx(), maxDigits);
  if (style.letter == '+') return PlusSigns(line, rows, cols, block);
  const int32_t precision = ElementPrecision(style, block, int64_t{rows} * cols);
  for (int32_t r = 0; r < rows; r++) {
    for (int32_t c = 0; c < cols; c++) {
      int64_t i = int64_t{r} * cols + c;
      char text[kElementBytes];
      int32_t n = 0;
      text[n++] = ' ';
      FormatElement(text, &n, sizeof text, block.Re(i), block.im ? block.Im(i) : 0,
                    block.im != nullptr, style, precision, RealFieldWidth(style),
                    ComplexFieldWidth(style));
      ErrCode e = line.Append(text, n);
      if (e) return e;
    }
    if (suffix) {
      ErrCode e = line.Append(suffix);
      if (e) return e;
    }
    ErrCode e = line.EndLine();
    if (e) return e;
  }
  return kOk;
}

// Field widths of column-aligned integers by element size, without sign.
int32_t IntegerFieldWidth(int32_t elementBytes) {
  switch (elementBytes) {
    case 1:
      return 4;
    case 2:
      return 6;
    case 4:
      return 11;
    default:
      return 21;
  }
}

}  // namespace

int32_t ElementPrecision(const NumberStyle& style, const FloatBlock& block, int64_t count) {
  return style.letter == 'f' && AllWhole(block, count) ? 0 : style.digits;
}

NumberStyle CurrentStyle(EngineContext* ctx, int32_t maxDigits) {
  NumberStyle style;
  style.letter = ctx->formatLetter == 'F' ? 'f' : static_cast<char>(ctx->formatLetter);
  style.digits = std::clamp(ctx->displayDigits, 0, std::min(maxDigits, kMaxDisplayDigits));
  style.imagLetter = static_cast<char>(ctx->imagLetter);
  return style;
}

void FormatElement(char* buffer, int32_t* position, int32_t size, double re, double im,
                   bool complex, const NumberStyle& style, int32_t precision, int32_t realWidth,
                   int32_t complexWidth) {
  if (IsIntegerLetter(style.letter)) {
    FormatIntegerElement(buffer, position, size, re, style.letter, realWidth);
  } else if (complex) {
    AppendComplexNumber(buffer, position, re, im, precision, style.letter, complexWidth, false,
                        false, style.imagLetter, false, false, false, size);
  } else {
    FormatDouble(buffer, position, re, precision, style.letter, realWidth, false, false, false,
                 false, false, false, size);
  }
}

double FloatBlock::Re(int64_t i) const {
  return elementBytes == 4 ? double{Load<float>(re + 4 * i)} : Load<double>(re + 8 * i);
}

double FloatBlock::Im(int64_t i) const {
  return elementBytes == 4 ? double{Load<float>(im + 4 * i)} : Load<double>(im + 8 * i);
}

ErrCode DisplayDoubleMatrix(DisplayLine& line, int32_t rows, int32_t cols,
                            const FloatBlock& block) {
  return DisplayFloatMatrix(line, rows, cols, block, kAnyDigits, nullptr);
}

ErrCode DisplaySingleMatrix(DisplayLine& line, int32_t rows, int32_t cols, const FloatBlock& block,
                            bool suffix) {
  return DisplayFloatMatrix(line, rows, cols, block, kSingleDigits, suffix ? " (single)" : nullptr);
}

ErrCode DisplayIntegerMatrix(DisplayLine& line, int32_t elementBytes, bool isUnsigned, int32_t rows,
                             int32_t cols, const uint8_t* data, bool classSuffix, bool align,
                             bool plusMode) {
  if (rows <= 0 || cols <= 0) return align ? EmptyMatrix(line) : line.Append("[]");
  const uint32_t code = static_cast<uint32_t>(elementBytes) | (isUnsigned ? kCodeUnsigned : 0);
  const int32_t width = align ? IntegerFieldWidth(elementBytes) + (isUnsigned ? 0 : 1) : 0;
  for (int32_t r = 0; r < rows; r++) {
    for (int32_t c = 0; c < cols; c++) {
      int64_t i = int64_t{r} * cols + c;
      uint64_t bits = ReadIntegerBits(data, code, i);
      char text[64];
      int32_t n = 0;
      if (plusMode) {
        bool negative = !isUnsigned && static_cast<int64_t>(bits) < 0;
        text[n++] = negative ? '-' : bits != 0 ? '+' : ' ';
      } else {
        if (!align && i > 0) text[n++] = ' ';
        AppendFormattedInt64(text, &n, static_cast<int64_t>(bits), isUnsigned, width, false, false,
                             false, 1, sizeof text);
        if (classSuffix) {
          AppendCString(text, &n, isUnsigned ? "uint" : "int", sizeof text);
          AppendFormattedInt(text, &n, 8 * elementBytes, false, 0, false, false, false, 1,
                             sizeof text);
        }
      }
      ErrCode e = line.Append(text, n);
      if (e) return e;
    }
    if (align) {
      ErrCode e = line.EndLine();
      if (e) return e;
    }
  }
  return kOk;
}

ErrCode DisplayCharMatrix(DisplayLine& line, int32_t rows, int32_t cols, const uint8_t* chars) {
  if (rows <= 0 || cols <= 0) return EmptyMatrix(line);
  for (int32_t r = 0; r < rows; r++) {
    for (int32_t c = 0; c < cols; c++) {
      uint16_t ch = Load<uint16_t>(chars + 2 * (int64_t{r} * cols + c));
      ErrCode e = ch == '\n' ? line.EndLine() : AppendEngineChar(line, ch);
      if (e) return e;
    }
    ErrCode e = line.EndLine();
    if (e) return e;
  }
  return kOk;
}

ErrCode DisplayLogicalMatrix(DisplayLine& line, bool plusMode, int32_t rows, int32_t cols,
                             const uint8_t* data) {
  if (rows <= 0 || cols <= 0) return EmptyMatrix(line);
  if (rows == 1 && cols == 1) {
    ErrCode e = line.Append(data[0] ? "true" : "false");
    return e ? e : line.EndLine();
  }
  for (int32_t r = 0; r < rows; r++) {
    for (int32_t c = 0; c < cols; c++) {
      bool set = data[int64_t{r} * cols + c] != 0;
      ErrCode e = line.Append(plusMode ? (set ? "+" : " ") : (set ? " T" : " F"));
      if (e) return e;
    }
    ErrCode e = line.EndLine();
    if (e) return e;
  }
  return kOk;
}

ErrCode AppendEngineChar(DisplayLine& line, uint16_t ch) {
  EngineContext* ctx = line.ctx();
  if (ch >= 0x80 && ctx->encodeChar) {
    uint8_t bytes[8];
    int32_t n = 0;
    ctx->encodeChar(ch, bytes, sizeof bytes, &n);
    return line.Append(reinterpret_cast<const char*>(bytes), n);
  }
  char c = static_cast<char>(ch);
  return line.Append(&c, 1);
}

}  // namespace vke::display
