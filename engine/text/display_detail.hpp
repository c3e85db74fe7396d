// Pieces shared by the display routines: the line buffer in the free top of
// the data stack, the number style of the display options, and the writers
// of one matrix page per class.
#pragma once

#include "engine/values/value.hpp"

namespace vke::display {

// Text of a display, written out to a descriptor a piece at a time. The
// buffer is the free top of the data stack, so nothing may be pushed while a
// line is in use.
class DisplayLine {
 public:
  DisplayLine(EngineContext* ctx, int32_t fd);
  DisplayLine(const DisplayLine&) = delete;
  DisplayLine& operator=(const DisplayLine&) = delete;

  EngineContext* ctx() const { return ctx_; }
  int32_t size() const { return size_; }

  // Appends text, writing the buffer out whenever its fill comes within 30
  // bytes of its end.
  ErrCode Append(const char* text, int32_t length);
  ErrCode Append(const char* text);
  // Writes the fill out (kStatusHalted on a break requested meanwhile).
  ErrCode Flush();
  // Writes the fill out and ends the line (kStatusHalted on a break).
  ErrCode EndLine();

 private:
  ErrCode WriteOut(bool lineEnd);

  static constexpr int32_t kSpare = 30;
  static constexpr int32_t kMinSize = 64;

  EngineContext* ctx_;
  int32_t fd_;
  char* text_;
  int32_t size_;
  int32_t fill_ = 0;
  char own_[kMinSize];  // used when the data stack has less room than this
};

// Digits limits of the display: singles show at most 7.
inline constexpr int32_t kSingleDigits = 7;
inline constexpr int32_t kAnyDigits = INT32_MAX;
// Room for the text of one element.
inline constexpr int32_t kElementBytes = 640;

// How numbers look under the context's display options.
struct NumberStyle {
  char letter;     // 'F' already turned into 'f'
  int32_t digits;  // the digits option, capped for single
  char imagLetter;
};
NumberStyle CurrentStyle(EngineContext* ctx, int32_t maxDigits);

// One element of a double or single block as text: real elements in a field
// of realWidth, complex ones in complexWidth; 'd', 'u', 'x', 'o' and 'b'
// write the real part as an integer.
void FormatElement(char* buffer, int32_t* position, int32_t size, double re, double im,
                   bool complex, const NumberStyle& style, int32_t precision, int32_t realWidth,
                   int32_t complexWidth);
struct FloatBlock;
// Fraction digits of a block's elements: none in fixed format when every
// element is whole, else the digits option.
int32_t ElementPrecision(const NumberStyle& style, const FloatBlock& block, int64_t count);

// Field widths of the matrix writers.
inline int32_t RealFieldWidth(const NumberStyle& s) {
  return s.digits + 5;
}
inline int32_t ComplexFieldWidth(const NumberStyle& s) {
  return 2 * s.digits + 8;
}

// Elements of a double or single page, real block and optional imaginary
// block.
struct FloatBlock {
  const uint8_t* re;
  const uint8_t* im;     // null for real values
  int32_t elementBytes;  // 8 or 4

  double Re(int64_t i) const;
  double Im(int64_t i) const;
};

ErrCode DisplayDoubleMatrix(DisplayLine& line, int32_t rows, int32_t cols, const FloatBlock& block);
// A 2-D 1x1 single is followed by " (single)" when suffix is set.
ErrCode DisplaySingleMatrix(DisplayLine& line, int32_t rows, int32_t cols, const FloatBlock& block,
                            bool suffix);
// Without column alignment the elements stay on the current line (the
// short form of a list item).
ErrCode DisplayIntegerMatrix(DisplayLine& line, int32_t elementBytes, bool isUnsigned, int32_t rows,
                             int32_t cols, const uint8_t* data, bool classSuffix, bool align,
                             bool plusMode);
ErrCode DisplayCharMatrix(DisplayLine& line, int32_t rows, int32_t cols, const uint8_t* chars);
ErrCode DisplayLogicalMatrix(DisplayLine& line, bool plusMode, int32_t rows, int32_t cols,
                             const uint8_t* data);

// Appends one character of engine text: through the context's encoder when
// one is set and the character is not ASCII, else its low byte.
ErrCode AppendEngineChar(DisplayLine& line, uint16_t ch);

}  // namespace vke::display
