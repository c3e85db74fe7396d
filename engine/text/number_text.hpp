// Numbers as text: the appenders that write one number at a moving position
// of a caller's byte buffer, and the parser that reads a decimal number back.
// These are the engine's only number formatting; none of them allocates, and
// none writes at or beyond the buffer size it is given.
#pragma once

#include <cstdint>

namespace vke {

// Magnitudes above this are written in the exponent form whatever the
// letter.
inline constexpr double kMaxFixedMagnitude = 1e18;

// One double. Letters: 'f' fixed, 'e' exponent, 'g' shortest, 'n' exponent
// lowered to a multiple of 3, 'k'/'K' the shorter of fixed and exponent.
// Non-finite values are the words "nan", "inf", "-inf" (capitalised with
// upperCase). The exponent is written without "+" and leading zeros: 1.5e-7.
void FormatDouble(char* buffer, int32_t* position, double value, int32_t precision, char letter,
                  int32_t width, bool leftAlign, bool upperCase, bool plusSign, bool blankSign,
                  bool zeroPad, bool alwaysPoint, int32_t size);

// One double with the given number of significant digits (at least one),
// correctly rounded: the fixed form for a decimal exponent from -4 up to
// below the digit count, else the exponent form as FormatDouble writes it;
// trailing zeros of the fraction are removed unless alwaysPoint is set.
// Non-finite values are written as FormatDouble writes them.
void FormatSignificant(char* buffer, int32_t* position, double value, int32_t digits, int32_t width,
                       bool leftAlign, bool upperCase, bool plusSign, bool blankSign, bool zeroPad,
                       bool alwaysPoint, int32_t size);

// real, then " +", the imaginary magnitude and the letter ('i' or 'j'); the
// imaginary part is left out when adding it does not change the real part.
void AppendComplexNumber(char* buffer, int32_t* position, double re, double im, int32_t precision,
                         char letter, int32_t width, bool leftAlign, bool upperCase,
                         char imagLetter, bool plusSign, bool blankSign, bool zeroPad,
                         int32_t size);

// Decimal integers; leading zeros only through minDigits (0 and minDigits 0
// write no digit at all), blank padding to the width.
void AppendFormattedInt(char* buffer, int32_t* position, int32_t value, bool isUnsigned,
                        int32_t width, bool leftAlign, bool plusSign, bool blankSign,
                        int32_t minDigits, int32_t size);
void AppendFormattedInt64(char* buffer, int32_t* position, int64_t value, bool isUnsigned,
                          int32_t width, bool leftAlign, bool plusSign, bool blankSign,
                          int32_t minDigits, int32_t size);

// Unsigned hexadecimal, octal and binary; the alternate form puts "0x", "0"
// or "0b" before a nonzero value.
void AppendHex32(char* buffer, int32_t* position, uint32_t value, int32_t width, bool leftAlign,
                 bool upperCase, bool alternate, int32_t minDigits, int32_t size);
void AppendOctal32(char* buffer, int32_t* position, uint32_t value, int32_t width, bool leftAlign,
                   bool alternate, int32_t minDigits, int32_t size);
void AppendHex64(char* buffer, int32_t* position, uint64_t value, int32_t width, bool leftAlign,
                 bool upperCase, bool alternate, int32_t minDigits, int32_t size);
void AppendOctal64(char* buffer, int32_t* position, uint64_t value, int32_t width, bool leftAlign,
                   bool alternate, int32_t minDigits, int32_t size);
void AppendBinary64(char* buffer, int32_t* position, uint64_t value, int32_t width, bool leftAlign,
                    bool alternate, int32_t minDigits, int32_t size);

// Reads a decimal number (blanks and tabs, an optional sign, digits with an
// optional fraction and exponent) from text[*position] on (from 0 without a
// position) and advances the position past it. False when no digit or "."
// follows the sign; the position is then left after the sign.
bool ParseNumberText(const char* text, int32_t length, int32_t* position, double* result);

}  // namespace vke
