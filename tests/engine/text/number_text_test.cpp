// Numbers as text: the double, complex and integer appenders, the number
// parser, and the round trip between them.
#include "engine/text/number_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "engine/engine.hpp"
#include "engine/files/fd.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

struct Flags {
  int32_t width = 0;
  bool left = false, upper = false, plus = false, blank = false, zero = false, point = false;
};

std::string Fmt(double v, int32_t precision, char letter, Flags f = {}) {
  char buf[512];
  int32_t pos = 0;
  FormatDouble(buf, &pos, v, precision, letter, f.width, f.left, f.upper, f.plus, f.blank, f.zero,
               f.point, sizeof buf);
  return std::string(buf, pos);
}

std::string Complex(double re, double im, char letter, int32_t width, bool left,
                    bool upper = false) {
  char buf[128];
  int32_t pos = 0;
  AppendComplexNumber(buf, &pos, re, im, 4, letter, width, left, upper, 'i', false, false, false,
                      sizeof buf);
  return std::string(buf, pos);
}

std::string Int64(int64_t v, bool isUnsigned, int32_t width, bool left, bool plus, bool blank,
                  int32_t minDigits) {
  char buf[64];
  int32_t pos = 0;
  AppendFormattedInt64(buf, &pos, v, isUnsigned, width, left, plus, blank, minDigits, sizeof buf);
  return std::string(buf, pos);
}

bool Parse(const std::string& text, double* v, int32_t* pos) {
  *pos = 0;
  return ParseNumberText(text.data(), static_cast<int32_t>(text.size()), pos, v);
}

// Fixed or exponent form by letter and magnitude; 'k' and 'K' pick the shortest of
// fixed, exponent and integer-mantissa forms.
TEST(FormatDouble, LettersChooseFixedOrExponentForm) {
  struct Case {
    double value;
    int32_t precision;
    char letter;
    const char* text;
  };
  const Case cases[] = {
      {0.05, 4, 'g', "5e-2"},
      {0.05, 4, 'f', "0.0500"},
      {123456, 4, 'g', "123456"},
      {3e9, 4, 'g', "3e9"},
      {3e9, 0, 'f', "3000000000"},
      {2e19, 4, 'f', "2.0000e19"},
      {15000, 1, 'n', "15.0e3"},
      {15000, 1, 'e', "1.5e4"},
      {2.5, 4, 'g', "2.5"},
      {2.5, 4, 'f', "2.5000"},
      {0, 4, 'e', "0.0000e0"},
      {-0.0, 2, 'f', "0.00"},
      {0.0999, 4, 'g', "9.99e-2"},
      {1.99e9, 4, 'g', "1990000000"},
      {1e-5, 2, 'n', "10.00e-6"},
      {1.0 / 3, 15, 'f', "0.333333333333333"},
      {5e-324, 3, 'e', "4.941e-324"},
      {std::numeric_limits<double>::max(), 16, 'e', "1.7976931348623157e308"},
      {1.5e-7, 4, 'k', "15e-8"},
      {123.4, 4, 'k', "123.4"},
      {1000, 4, 'k', "1e3"},
      {0.05, 4, 'k', "0.05"},
      {3.14159, 4, 'K', "3.1416"},
      {1.234567e-5, 6, 'k', "1.234567e-5"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Fmt(c.value, c.precision, c.letter), c.text) << c.value << " " << c.letter;
}

// Each switch between the forms, just below, at and just above its point:
// 2e9 and 1e18 for fixed text, 0.1 for small values, and the exponents
// where 'k' and 'K' count one more character for the exponent.
TEST(FormatDouble, SwitchPointsOfTheForms) {
  struct Case {
    double value;
    int32_t precision;
    char letter;
    const char* text;
  };
  const double below1e18 = std::nextafter(1e18, 0.0), above1e18 = std::nextafter(1e18, 2e18);
  const Case cases[] = {
      {1999999999, 4, 'g', "1999999999"},
      {2e9, 4, 'g', "2e9"},
      {2000000001, 4, 'g', "2e9"},
      {2e9, 0, 'f', "2000000000"},
      {below1e18, 0, 'f', "999999999999999872"},
      {1e18, 0, 'f', "1000000000000000000"},
      {above1e18, 0, 'f', "1e18"},
      {1e18, 4, 'g', "1e18"},
      {std::nextafter(0.1, 0.0), 4, 'g', "1e-1"},
      {0.1, 4, 'g', "0.1"},
      {std::nextafter(0.1, 1.0), 4, 'g', "0.1"},
      {std::nextafter(0.1, 0.0), 2, 'f', "0.10"},
      {1.5e-10, 4, 'k', "15e-11"},
      {1.5e-9, 4, 'k', "1.5e-9"},
      {1.5e9, 4, 'k', "15e8"},
      {1.5e10, 4, 'k', "15e9"},
      {1.5e-10, 4, 'K', "15e-11"},
      {1.5e-9, 4, 'K', "1.5e-9"},
      {1.5e9, 4, 'K', "15e8"},
      {1.5e10, 4, 'K', "15e9"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Fmt(c.value, c.precision, c.letter), c.text) << c.value << " " << c.letter;
}

TEST(FormatDouble, RoundingUpToTheNextPowerRenormalises) {
  EXPECT_EQ(Fmt(9.9999, 2, 'e'), "1.00e1");
  EXPECT_EQ(Fmt(9.99999996e-5, 4, 'g'), "1e-4");
  EXPECT_EQ(Fmt(999.99, 1, 'n'), "1.0e3");
  EXPECT_EQ(Fmt(9.5, 0, 'e'), "1e1");
}

TEST(FormatDouble, WordsSignsAndPadding) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Fmt(std::nan(""), 4, 'f', {.upper = true}), "NaN");
  EXPECT_EQ(Fmt(-inf, 4, 'e'), "-inf");
  EXPECT_EQ(Fmt(inf, 4, 'g', {.upper = true, .blank = true}), " Inf");
  EXPECT_EQ(Fmt(inf, 4, 'g', {.upper = true, .plus = true}), "+Inf");
  EXPECT_EQ(Fmt(inf, 4, 'g', {.plus = true}), "+inf");
  EXPECT_EQ(Fmt(-inf, 4, 'f', {.width = 6, .zero = true}), "  -inf");  // words pad with blanks
  EXPECT_EQ(Fmt(-3.5, 2, 'f', {.width = 10, .zero = true}), "-000003.50");
  EXPECT_EQ(Fmt(3.5, 2, 'f', {.width = 8, .plus = true, .zero = true}), "+0003.50");
  EXPECT_EQ(Fmt(3.5, 2, 'f', {.width = 8, .left = true}), "3.50    ");
  EXPECT_EQ(Fmt(3.5, 2, 'f', {.plus = true, .blank = true}), "+3.50");
  EXPECT_EQ(Fmt(3, 0, 'f', {.point = true}), "3.");
  EXPECT_EQ(Fmt(2e-7, 0, 'e', {.upper = true}), "2E-7");
}

// The appender never writes at or beyond the size it is given and stops
// digits two bytes before it.
TEST(FormatDouble, StaysInsideTheBuffer) {
  char buf[32];
  for (int32_t size = 0; size <= 24; size++) {
    std::memset(buf, '#', sizeof buf);
    int32_t pos = 1;
    FormatDouble(buf, &pos, -123456.789, 6, 'f', 20, false, false, false, false, true, false, size);
    EXPECT_LE(pos, std::max(size, 1));
    for (int32_t i = std::max(size, 1); i < 32; i++) ASSERT_EQ(buf[i], '#') << size;
  }
  char small[8];
  int32_t pos = 0;
  FormatDouble(small, &pos, 123.25, 2, 'f', 0, false, false, false, false, false, false, 5);
  EXPECT_EQ(std::string(small, pos), "123");
  pos = 0;  // no room for an exponent: position + 5 must stay below the size
  FormatDouble(small, &pos, 1.5e-7, 1, 'e', 0, false, false, false, false, false, false, 8);
  EXPECT_EQ(std::string(small, pos), "1.5");
  pos = 8;  // a position at the size writes nothing
  FormatDouble(small, &pos, 1, 1, 'e', 0, false, false, false, false, false, false, 8);
  EXPECT_EQ(pos, 8);
  std::string wide = Fmt(1, 1000, 'f');
  EXPECT_EQ(wide.size(), 510u);  // digits stop two bytes before the end of 512
}

// The significant-digit writer keeps to the same bounds, for precisions
// up to and past the digits a double holds.
TEST(FormatSignificant, StaysInsideTheBuffer) {
  char buf[48];
  for (int32_t digits : {1, 17, 40, 100000}) {
    for (int32_t size = 0; size <= 40; size++) {
      std::memset(buf, '#', sizeof buf);
      int32_t pos = 1;
      FormatSignificant(buf, &pos, -1.0 / 3, digits, 30, false, false, false, false, true, true,
                        size);
      EXPECT_LE(pos, std::max(size, 1));
      for (int32_t i = std::max(size, 1); i < 48; i++) ASSERT_EQ(buf[i], '#') << size;
    }
  }
  int32_t pos = 0;  // no room for the exponent
  FormatSignificant(buf, &pos, 1.5e-7, 2, 0, false, false, false, false, false, false, 8);
  EXPECT_EQ(std::string(buf, pos), "1.5");
}

TEST(AppendComplexNumber, ImaginaryPartLayout) {
  EXPECT_EQ(Complex(1e20, 1, 'g', 0, false), "1e20");
  EXPECT_EQ(Complex(1, -2, 'g', 0, false), "1 -2i");
  EXPECT_EQ(Complex(1, -2, 'g', 1, false), "1 - 2i");
  EXPECT_EQ(Complex(1, -2, 'g', 0, true), "1-2i");
  EXPECT_EQ(Complex(1, 2, 'g', 0, true, true), "1+2I");
  EXPECT_EQ(Complex(1.5, 2.25, 'f', 20, false), "   1.5000 +   2.2500i");
  // Without an imaginary part, blanks fill the whole field.
  EXPECT_EQ(Complex(1, 0, 'g', 12, false), "    1       ");
  EXPECT_EQ(Complex(std::nan(""), 1, 'g', 0, false), "nan");
  EXPECT_EQ(Complex(1, std::nan(""), 'g', 0, false), "1");
  EXPECT_EQ(Complex(0, -std::numeric_limits<double>::infinity(), 'g', 0, true), "0-infi");
  char buf[4];
  int32_t pos = 0;  // fewer than 3 bytes left: no imaginary part at all
  AppendComplexNumber(buf, &pos, 1, 2, 0, 'g', 0, true, false, 'j', false, false, false, 3);
  EXPECT_EQ(std::string(buf, pos), "1");
}

TEST(AppendIntegers, DecimalAndRadix) {
  EXPECT_EQ(Int64(0, false, 3, false, false, false, 0), "   ");
  EXPECT_EQ(Int64(0, false, 0, false, false, false, 1), "0");
  EXPECT_EQ(Int64(-42, false, 6, false, false, false, 4), " -0042");
  EXPECT_EQ(Int64(42, false, 5, true, true, false, 0), "+42  ");
  EXPECT_EQ(Int64(42, true, 0, false, false, true, 0), " 42");
  EXPECT_EQ(Int64(INT64_MIN, false, 0, false, false, false, 0), "-9223372036854775808");
  EXPECT_EQ(Int64(-1, true, 0, false, false, false, 0), "18446744073709551615");
  char buf[96];
  int32_t pos = 0;
  AppendFormattedInt(buf, &pos, -1, true, 0, false, false, false, 0, sizeof buf);
  AppendHex32(buf, &pos, 0xBEEF, 0, false, false, true, 0, sizeof buf);
  AppendHex32(buf, &pos, 0xBEEF, 8, false, true, false, 6, sizeof buf);
  AppendOctal32(buf, &pos, 8, 5, true, true, 0, sizeof buf);
  AppendBinary64(buf, &pos, 5, 0, false, true, 0, sizeof buf);
  AppendHex64(buf, &pos, 0, 2, false, false, true, 0, sizeof buf);  // no digits, no prefix
  EXPECT_EQ(std::string(buf, pos), "42949672950xbeef  00BEEF010  0b101  ");
  pos = 0;
  AppendOctal64(buf, &pos, UINT64_MAX, 0, false, false, 0, sizeof buf);
  AppendBinary64(buf, &pos, 1ull << 63, 0, false, false, 0, sizeof buf);
  EXPECT_EQ(std::string(buf, pos), "1777777777777777777777" + ("1" + std::string(63, '0')));
  pos = 0;  // a huge width stops at the buffer's end
  AppendFormattedInt(buf, &pos, 7, false, INT32_MAX, true, false, false, 0, 6);
  EXPECT_EQ(std::string(buf, pos), "7     ");
}

TEST(ParseNumberText, ReadsSignsFractionsAndExponents) {
  double v = 0;
  int32_t pos = 0;
  ASSERT_TRUE(Parse("  -.5e2x", &v, &pos));
  EXPECT_EQ(v, -50);
  EXPECT_EQ(pos, 7);
  EXPECT_FALSE(Parse("e5", &v, &pos));
  EXPECT_EQ(pos, 0);
  EXPECT_FALSE(Parse(" \t+x", &v, &pos));
  EXPECT_EQ(pos, 3);  // left after the sign
  ASSERT_TRUE(Parse("12E+3", &v, &pos));
  EXPECT_EQ(v, 12000);
  ASSERT_TRUE(Parse("0.000125", &v, &pos));
  EXPECT_EQ(v, 0.000125);
  // A letter e without exponent digits is not part of the number.
  ASSERT_TRUE(Parse("3else", &v, &pos));
  EXPECT_EQ(v, 3);
  EXPECT_EQ(pos, 1);
  ASSERT_TRUE(Parse("7e-", &v, &pos));
  EXPECT_EQ(pos, 1);
  ASSERT_TRUE(Parse("1e999999999999", &v, &pos));
  EXPECT_TRUE(std::isinf(v));
  ASSERT_TRUE(Parse("-1e-999999", &v, &pos));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(std::signbit(v));
  ASSERT_TRUE(Parse("123456789012345678901234567890", &v, &pos));
  EXPECT_EQ(v, 1.2345678901234568e29);
  ASSERT_TRUE(Parse("0." + std::string(400, '0') + "1e401", &v, &pos));
  EXPECT_EQ(v, 1);
  ASSERT_TRUE(ParseNumberText("42 rest", 2, nullptr, &v));  // no position: from 0
  EXPECT_EQ(v, 42);
  pos = 3;  // the length bounds the text
  ASSERT_TRUE(ParseNumberText("12 34", 4, &pos, &v));
  EXPECT_EQ(v, 3);
  EXPECT_EQ(pos, 4);
  EXPECT_FALSE(ParseNumberText("12 34", 4, &pos, &v));
}

// Every double written with 17 significant digits reads back exactly, and
// shorter texts read back to values that write the same text again.
TEST(NumberTextRoundTrip, ParserReadsWhatTheFormatterWrites) {
  std::mt19937_64 rng(20240601);
  std::uniform_real_distribution<double> unit(-1, 1);
  std::uniform_int_distribution<int> power(-30, 30);
  int exact = 0;
  for (int i = 0; i < 40000; i++) {
    uint64_t bits = rng();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    if (!std::isfinite(x)) continue;
    std::string t = Fmt(x, 16, 'e');
    double y;
    int32_t pos;
    ASSERT_TRUE(Parse(t, &y, &pos)) << t;
    ASSERT_EQ(pos, static_cast<int32_t>(t.size()));
    ASSERT_EQ(y, x) << t;
    exact++;
  }
  EXPECT_GT(exact, 39000);
  const char letters[] = {'f', 'e', 'g', 'n', 'k', 'K'};
  for (int i = 0; i < 20000; i++) {
    double x = unit(rng) * std::pow(10.0, power(rng));
    char letter = letters[i % 6];
    int32_t precision = i % 2 ? 4 : 12;
    std::string t = Fmt(x, precision, letter);
    double y;
    int32_t pos;
    ASSERT_TRUE(Parse(t, &y, &pos)) << t;
    ASSERT_EQ(pos, static_cast<int32_t>(t.size())) << t;
    if (y == 0) {  // a negative value rounded to zero keeps its "-"
      EXPECT_LT(std::fabs(x), std::pow(10.0, -precision)) << t;
      continue;
    }
    ASSERT_EQ(Fmt(y, precision, letter), t) << x;
  }
}

TEST(WriteNumberToFd, UsesTheDisplayDigits) {
  test::TestHost host;
  SetDisplayOptions(host.ctx(), 'f', 4, 'i', 0, 0, 1);
  EXPECT_EQ(WriteNumberToFd(host.ctx(), kFdOut, 1.0 / 3), kOk);
  EXPECT_EQ(WriteNumberToFd(host.ctx(), kFdOut, 12345), kOk);
  EXPECT_EQ(WriteNumberToFd(host.ctx(), kFdOut, -std::numeric_limits<double>::infinity()), kOk);
  EXPECT_EQ(host.Output(kFdOut), "0.333312345-inf");
  EXPECT_EQ(WriteNumberToFd(host.ctx(), 4000, 1), kErrBadFileID);
}

}  // namespace
}  // namespace vke
