// Value display: every class as the console shows it, the format command,
// the automatic "name =" display, and a break during output.
#include "engine/text/display.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "builtins/builtin.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/engine.hpp"
#include "engine/files/fd.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::EntryCount;
using test::TestHost;

class Display : public ::testing::Test {
 protected:
  TestHost host;
  EngineContext* ctx = host.ctx();

  // Displays the top value on descriptor 1, drops it and returns the text.
  std::string Show() {
    host.ClearOutput();
    EXPECT_EQ(DisplayValue(ctx, kFdOut, true), kOk);
    return host.Output(kFdOut);
  }
  void SetFormat(char letter, int32_t digits, uint8_t loose = 0) {
    SetDisplayOptions(ctx, letter, digits, 'i', loose, 0, 1);
  }
  void PushMatrix(int32_t rows, int32_t cols, std::initializer_list<double> values) {
    double* re;
    ASSERT_EQ(PushNewMatrix(ctx, rows, cols, &re, nullptr), kOk);
    for (double v : values) *re++ = v;
  }
  void PushRow(std::initializer_list<double> values) {
    PushMatrix(1, static_cast<int32_t>(values.size()), values);
  }
  // An integer array made by converting a double matrix.
  void PushInts(int32_t rows, int32_t cols, int32_t bytes, bool isUnsigned,
                std::initializer_list<double> values) {
    PushMatrix(rows, cols, values);
    ASSERT_EQ(ConvertToInteger(ctx, 0, bytes, isUnsigned, false), kOk);
  }
  void PushStruct(std::initializer_list<const char*> fields) {
    ASSERT_EQ(PushListFromEntries(ctx, 0, false, "unused", -1), kOk);
    double n = 1;
    for (const char* f : fields) {
      PushRealScalar(ctx, n++);
      ASSERT_EQ(PushListFromEntries(ctx, 1, true, f, -1), kOk);
    }
  }
  // Pushes an entry that leaves the given number of data-stack bytes free.
  void PushFiller(uint32_t leaveBytes) {
    uint32_t freeBytes;
    GetDataStackFree(ctx, &freeBytes, nullptr);
    void* data;
    ASSERT_EQ(PushTypedEntry(ctx, 200, freeBytes - leaveBytes, &data), kOk);
  }
  int32_t Intern(const char* name) {
    int32_t id = 0;
    EXPECT_EQ(
        InternName(ctx, name, static_cast<int32_t>(std::strlen(name)), kMaxIdentifierLength, &id),
        kOk);
    return id;
  }
};

TEST_F(Display, FormatCommandTable) {
  struct Case {
    const char* a;
    const char* b;
    char letter;
    int32_t digits;
  };
  const Case cases[] = {
      {"short", nullptr, 'f', 4}, {"short", "e", 'e', 4}, {"short", "eng", 'n', 4},
      {"long", nullptr, 'f', 15}, {"long", "g", 'g', 15}, {"int", nullptr, 'd', 0},
      {"int", "x", 'x', 0},       {"int", "b", 'b', 0},   {"bank", nullptr, 'F', 2},
      {"bank", "e", 'e', 2},      {"+", nullptr, '+', 4},
  };
  for (const Case& c : cases) {
    SetFormat('g', 9);
    PushCString(ctx, -1, c.a);
    if (c.b) PushCString(ctx, -1, c.b);
    ASSERT_EQ(FormatBuiltin(ctx, c.b ? 2 : 1, 0, 0), kOk) << c.a;
    EXPECT_EQ(ctx->formatLetter, c.letter) << c.a << " " << (c.b ? c.b : "");
    EXPECT_EQ(ctx->displayDigits, c.digits) << c.a;
    EXPECT_EQ(EntryCount(ctx), 0);
  }
  ASSERT_EQ(FormatBuiltin(ctx, 0, 0, 0), kOk);
  EXPECT_EQ(ctx->formatLetter, 'f');
  EXPECT_EQ(ctx->displayDigits, 4);
  for (const char* a : {"loose", "j", "compact"}) {
    PushCString(ctx, -1, a);
    ASSERT_EQ(FormatBuiltin(ctx, 1, 0, 0), kOk);
  }
  EXPECT_EQ(ctx->looseSpacing, 0);
  EXPECT_EQ(ctx->imagLetter, 'j');
  EXPECT_EQ(ctx->formatLetter, 'f');
}

TEST_F(Display, FormatCommandRefusesWhatItDoesNotKnow) {
  const char* bad[][2] = {{"Short", nullptr}, {"int", "e"}, {"short", "d"},          {"loose", "e"},
                          {"+", "e"},         {"i", "g"},   {"long", "engineering"}, {"", nullptr}};
  for (const auto& b : bad) {
    PushCString(ctx, -1, b[0]);
    if (b[1]) PushCString(ctx, -1, b[1]);
    EXPECT_EQ(FormatBuiltin(ctx, b[1] ? 2 : 1, 0, 0), kErrUnknownOpt) << b[0];
    Drop(ctx, EntryCount(ctx));
  }
  PushRealScalar(ctx, 1);
  EXPECT_EQ(FormatBuiltin(ctx, 1, 0, 0), kErrWrongType);
  EXPECT_EQ(ctx->formatLetter, 'g');  // nothing changed
}

TEST_F(Display, DoublesInFixedFormat) {
  SetFormat('f', 4);
  PushRow({1, 2, 3});
  EXPECT_EQ(Show(), "         1         2         3\n");
  PushRow({1, 2.5});
  EXPECT_EQ(Show(), "    1.0000    2.5000\n");
  // 2.5 + 0.5 rounds down to a whole 3, yet 2.5 is not whole.
  PushRow({2.5});
  EXPECT_EQ(Show(), "    2.5000\n");
  const double inf = std::numeric_limits<double>::infinity();
  PushRow({1, inf, -inf});
  EXPECT_EQ(Show(), "         1       inf      -inf\n");
  PushRow({1, std::nan("")});
  EXPECT_EQ(Show(), "    1.0000       nan\n");
  PushEmptyMatrix(ctx);
  EXPECT_EQ(Show(), " []\n");
  PushRealScalar(ctx, 1.0 / 3);
  PushCString(ctx, -1, "long");
  ASSERT_EQ(FormatBuiltin(ctx, 1, 0, 0), kOk);
  EXPECT_EQ(Show(), "    0.333333333333333\n");
  double *re, *im;
  ASSERT_EQ(PushNewMatrix(ctx, 2, 1, &re, &im), kOk);
  re[0] = 1, im[0] = -2, re[1] = 3, im[1] = 0;
  SetFormat('f', 2);
  EXPECT_EQ(Show(), "     1 -    2i\n     3       \n");
}

// Whole numbers beyond 1e18, which take the exponent form, keep the
// format's digits; up to 1e18 they show without decimals.
TEST_F(Display, WholeNumbersWithAnExponentKeepTheirDigits) {
  SetFormat('f', 15);
  PushRow({4611686018427387904.0});
  EXPECT_EQ(Show(), " 4.611686018427388e18\n");
  PushRow({1.25e18, -1.5e19});
  EXPECT_EQ(Show(), " 1.250000000000000e18 -1.500000000000000e19\n");
  PushRow({1e18, 2});
  EXPECT_EQ(Show(), "  1000000000000000000                    2\n");
  SetFormat('f', 4);
  PushRow({3.141592653589793e300});
  EXPECT_EQ(Show(), " 3.1416e300\n");
  float* single;
  const int32_t one[2] = {1, 1};
  ASSERT_EQ(PushNewSingleArray(ctx, 2, one, &single, nullptr), kOk);
  *single = 4611686018427387904.0f;
  EXPECT_EQ(Show(), " 4.6117e18 (single)\n");
}

TEST_F(Display, IntegerLettersAndSigns) {
  const double inf = std::numeric_limits<double>::infinity();
  SetFormat('d', 0);
  PushRow({-2.7, 1e300, std::nan(""), -inf});
  EXPECT_EQ(Show(), "    -2 9223372036854775807   nan  -inf\n");
  SetFormat('u', 0);
  PushRow({-3, 7.9});
  EXPECT_EQ(Show(), "     0     7\n");
  SetFormat('x', 1);
  PushRow({255, 0});
  EXPECT_EQ(Show(), "     ff      0\n");
  SetFormat('b', 0);
  PushRow({5});
  EXPECT_EQ(Show(), "   101\n");
  SetFormat('+', 4);
  double *re, *im;
  ASSERT_EQ(PushNewMatrix(ctx, 1, 4, &re, &im), kOk);
  const double parts[4][2] = {{2, 0}, {-1, 0}, {0, 3}, {0, 0}};
  for (int i = 0; i < 4; i++) re[i] = parts[i][0], im[i] = parts[i][1];
  EXPECT_EQ(Show(), "+-I \n");
}

TEST_F(Display, TypedArraysAndTheirSummaries) {
  SetFormat('f', 4);
  PushInts(1, 1, 1, false, {5});
  EXPECT_EQ(Show(), "    5int8\n");
  PushInts(2, 3, 1, false, {1, -2, 3, 4, 5, -128});
  EXPECT_EQ(Show(), "2x3 int8 array\n    1   -2    3\n    4    5 -128\n");
  PushInts(1, 2, 4, true, {7, 0});
  EXPECT_EQ(Show(), "1x2 uint32 array\n          7          0\n");
  SetFormat('+', 4);
  PushInts(1, 3, 2, false, {-1, 0, 9});
  EXPECT_EQ(Show(), "1x3 int16 array\n- +\n");
  SetFormat('f', 15);
  float* s;
  const int32_t one[2] = {1, 1};
  ASSERT_EQ(PushNewSingleArray(ctx, 2, one, &s, nullptr), kOk);
  s[0] = 1.0f / 3;
  EXPECT_EQ(Show(), "    0.3333333 (single)\n");  // at most 7 digits
  uint8_t* truth;
  ASSERT_EQ(PushLogicalArray(ctx, 2, one, &truth), kOk);
  truth[0] = 1;
  EXPECT_EQ(Show(), "true\n");
  const int32_t pair[2] = {1, 2};
  ASSERT_EQ(PushLogicalArray(ctx, 2, pair, &truth), kOk);
  truth[0] = 0, truth[1] = 1;
  EXPECT_EQ(Show(), " F T\n");
  const int32_t none[2] = {0, 0};
  ASSERT_EQ(PushLogicalArray(ctx, 2, none, &truth), kOk);
  EXPECT_EQ(Show(), "0x0 logical array\n []\n");
}

TEST_F(Display, CharRowsAndLineFeeds) {
  PushCString(ctx, -1, "ab\ncd");
  EXPECT_EQ(Show(), "ab\ncd\n");
  const int32_t dims[2] = {2, 2};
  uint16_t* chars;
  ASSERT_EQ(PushNewCharArray(ctx, 2, dims, &chars), kOk);
  chars[0] = 'x', chars[1] = 0xE9, chars[2] = 'y', chars[3] = 0x20AC;
  EXPECT_EQ(Show(), "x\xE9\ny\xAC\n");  // narrowed without an encoder
  SetTextEncoding(ctx, 'u');
  ASSERT_EQ(PushNewCharArray(ctx, 2, dims, &chars), kOk);
  chars[0] = 'x', chars[1] = 0xE9, chars[2] = 'y', chars[3] = 0x20AC;
  EXPECT_EQ(Show(), "x\xC3\xA9\ny\xE2\x82\xAC\n");
}

TEST_F(Display, PagesOfNdArrays) {
  SetFormat('f', 4, 1);
  const int32_t dims3[3] = {2, 3, 2};
  double* re;
  ASSERT_EQ(PushNewArray(ctx, 3, dims3, &re, nullptr), kOk);
  for (int i = 0; i < 12; i++) re[i] = i;
  EXPECT_EQ(
      Show(),
      "\n2x3x2 array\n(:,:,1) =\n         0         1         2\n         3         4         5\n"
      "\n(:,:,2) =\n         6         7         8\n         9        10        11\n\n");
  const int32_t dims4[4] = {1, 2, 1, 2};
  ASSERT_EQ(PushNewArray(ctx, 4, dims4, &re, nullptr), kOk);
  SetFormat('f', 4);
  EXPECT_EQ(Show(), "1x2x1x2 array\n");
}

TEST_F(Display, StructuresListsAndCells) {
  SetFormat('f', 4);
  PushStruct({});
  EXPECT_EQ(Show(), " (empty struct)\n");
  PushListFromEntries(ctx, 0, false, nullptr, 0);
  EXPECT_EQ(Show(), " {}\n");
  PushStruct({"alpha", "b"});
  EXPECT_EQ(Show(), "alpha: 1\nb: 2\n");
  // List items in short form: long texts by their summary.
  PushRealScalar(ctx, 2.5);
  PushCString(ctx, -1, "abcdefghijklmnopqrst");
  PushCString(ctx, -1, "abcdefghijklmnopqrstuvwxy");
  PushLogicalScalar(ctx, 0);
  PushInts(1, 1, 2, true, {9});
  PushRow({1, 2});
  PushListFromEntries(ctx, 0, false, nullptr, 0);
  ASSERT_EQ(PushListFromEntries(ctx, 7, false, nullptr, 0), kOk);
  EXPECT_EQ(Show(), " {2.5000,'abcdefghijklmnopqrst',1x25 char array,false,9uint16,real 1x2,{}}\n");
  const int32_t dims[2] = {2, 2};
  ASSERT_EQ(PushNewCellArray(ctx, 2, dims), kOk);
  EXPECT_EQ(Show(), "2x2 cell array\n");
  PushStruct({"a"});
  PushStruct({"a"});
  PushListFromEntries(ctx, 2, false, nullptr, 0);
  ASSERT_EQ(StructListToArray(ctx), kOk);
  EXPECT_EQ(Show(), "1x2 struct array (1 field)\n");
  PushStruct({});
  PushListFromEntries(ctx, 1, false, nullptr, 0);
  ASSERT_EQ(StructListToArray(ctx), kOk);
  EXPECT_EQ(Show(), "1x1 struct array (0 field)\n");
}

TEST_F(Display, ObjectsFunctionsAndUnknownKinds) {
  const int32_t cls = Intern("polynom");
  PushStruct({"coef"});
  DescAt(ctx, 0)->word = -cls;
  EXPECT_EQ(Show(), " polynom object\ncoef: 1\n");
  void* data;
  ASSERT_EQ(PushTypedEntry(ctx, kKindInline, 8, &data), kOk);
  EXPECT_EQ(Show(), "<inline function>\n");
  ASSERT_EQ(PushTypedEntry(ctx, kKindFuncRef, 8, &data), kOk);
  std::memcpy(data, "\x03\x00\x00\x00sin", 7);
  EXPECT_EQ(Show(), "@sin\n");
  PushTypedEntry(ctx, kKindInline, 8, &data);
  ASSERT_EQ(PushTypedEntry(ctx, kKindFuncRef, 8, &data), kOk);
  std::memcpy(data,
              "\x03\x00\x00\x00"
              "cos",
              7);
  PushListFromEntries(ctx, 2, false, nullptr, 0);
  EXPECT_EQ(Show(), " {inline,@cos}\n");
  PushTypedEntry(ctx, 140, 8, &data);
  EXPECT_EQ(DisplayValue(ctx, kFdOut, true), kErrWrongTypeOverload);
  Drop(ctx);
  PushMarker(ctx, 7);
  EXPECT_EQ(DisplayValue(ctx, kFdOut, true), kErrWrongTypeOverload);
  EXPECT_EQ(EntryCount(ctx), 1);
}

// With less than 100 bytes free, a structured value fails for lack of room
// before writing anything, its name included, and keeps its operand; with
// more it shows whole.
TEST_F(Display, SmallLineBufferFailsForRoom) {
  PushFiller(80 + 24);
  PushStruct({"a"});  // 24 bytes
  host.ClearOutput();
  EXPECT_EQ(DisplayValue(ctx, kFdOut, true), kErrDataOverflow);
  EXPECT_EQ(DisplayNamedValue(ctx, Intern("s"), false, true), kErrDataOverflow);
  EXPECT_EQ(DispBuiltin(ctx, 1, 0, 0), kErrDataOverflow);
  EXPECT_EQ(host.Output(kFdOut), "");
  EXPECT_EQ(EntryCount(ctx), 2);
  Drop(ctx, 2);
  PushFiller(200 + 24);
  PushStruct({"a"});
  EXPECT_EQ(Show(), "a: 1\n");
}

TEST_F(Display, NamedValueAndDisp) {
  SetFormat('f', 4);
  PushRealScalar(ctx, 3);
  ASSERT_EQ(DisplayNamedValue(ctx, Intern("x"), false, true), kOk);
  EXPECT_EQ(host.Output(kFdOut), "x =\n         3\n");
  EXPECT_EQ(EntryCount(ctx), 0);
  host.ClearOutput();
  SetFormat('f', 4, 1);
  PushRealScalar(ctx, 3);
  ASSERT_EQ(DisplayNamedValue(ctx, 0, false, false), kOk);
  EXPECT_EQ(host.Output(kFdOut), "\n??? =\n\n         3\n\n");
  EXPECT_EQ(EntryCount(ctx), 1);
  Drop(ctx);
  host.ClearOutput();
  SetFormat('f', 4);
  PushStruct({});
  DescAt(ctx, 0)->word = 9;  // an object
  EXPECT_EQ(DisplayNamedValue(ctx, Intern("obj"), false, true), kErrWrongTypeOverload);
  EXPECT_EQ(DispBuiltin(ctx, 1, 1, 0), kErrWrongTypeOverload);
  EXPECT_EQ(host.Output(kFdOut), "obj =\n");
  EXPECT_EQ(EntryCount(ctx), 1);
  Drop(ctx);
  PushNoValue(ctx);
  EXPECT_EQ(DispBuiltin(ctx, 1, 1, 0), kOk);
  EXPECT_EQ(EntryCount(ctx), 0);
  EXPECT_EQ(host.Output(kFdOut), "obj =\n");
}

TEST_F(Display, ReachedThroughTheDispatch) {
  PushCString(ctx, -1, "long");
  const int16_t format[] = {kOpFormat, 1}, disp[] = {kOpDisp};
  ASSERT_EQ(CallBuiltin(ctx, format), kOk);
  PushRealScalar(ctx, 0.5);
  ASSERT_EQ(CallBuiltin(ctx, disp), kOk);
  EXPECT_EQ(host.Output(kFdOut), "    0.500000000000000\n");
  EXPECT_EQ(EntryCount(ctx), 0);
}

TEST_F(Display, BreakDuringOutputLeavesTheValue) {
  SetFormat('f', 4);
  double* re;
  ASSERT_EQ(PushNewMatrix(ctx, 3, 1, &re, nullptr), kOk);
  re[0] = 1, re[1] = 2, re[2] = 3;
  host.ScriptBreaks({false, true});
  EXPECT_EQ(DisplayValue(ctx, kFdOut, true), kStatusHalted);
  EXPECT_EQ(host.Output(kFdOut), "         1\n         2\n");
  EXPECT_EQ(EntryCount(ctx), 1);
  // Long rows are written out a piece at a time, each write asking for a break.
  Drop(ctx);
  PushFiller(160 + 1600);
  ASSERT_EQ(PushNewMatrix(ctx, 1, 200, &re, nullptr), kOk);  // 1600 bytes
  for (int i = 0; i < 200; i++) re[i] = i;
  host.ClearOutput();
  host.ScriptBreaks({false, false, true});
  EXPECT_EQ(DisplayValue(ctx, kFdOut, true), kStatusHalted);
  std::string written;  // three writes of 13 elements of 10 bytes
  for (int i = 0; i < 39; i++)
    written += std::string(9 - std::to_string(i).size(), ' ') + " " + std::to_string(i);
  EXPECT_EQ(host.Output(kFdOut), written);
  EXPECT_EQ(EntryCount(ctx), 2);
}

TEST(DescribeValueShape, WordsAndLimits) {
  char buf[64];
  int32_t pos = 0;
  const int32_t scalar[2] = {1, 1}, big[3] = {123456, 123456, 123456};
  DescribeValueShape(buf, 64, &pos, ShapeClass::kInteger, 8, true, 2, scalar, -1);
  DescribeValueShape(buf, 64, &pos, ShapeClass::kLogical, 1, true, 2, scalar, -1);
  DescribeValueShape(buf, 64, &pos, ShapeClass::kInteger, 3, false, 2, big, -1);
  EXPECT_EQ(std::string(buf, pos), "uint64 numberlogical value123456x123456 ??? array");
  pos = 0;
  DescribeValueShape(buf, 19, &pos, ShapeClass::kDouble, 8, false, 2, big, -1);
  EXPECT_EQ(pos, 0);  // fewer than 20 bytes free
  DescribeValueShape(buf, 22, &pos, ShapeClass::kDouble, 8, false, 3, big, -1);
  EXPECT_EQ(std::string(buf, pos), "123456x123456x...");
}

}  // namespace
}  // namespace vke
