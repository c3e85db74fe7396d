// Values written as source text: numbers and their runs, classes, strings,
// containers, function values, library values, the two output modes, the
// dumpvar native and the listing of variables.
#include "engine/text/dump.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "builtins/builtin.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "engine/text/number_text.hpp"
#include "engine/values/values.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using namespace test;

class Dump : public ::testing::Test {
 protected:
  // The text of the value pushed by push; the value is dropped again.
  template <typename Push>
  std::string Of(Push push) {
    push();
    std::string text = DumpTop(ctx);
    EXPECT_EQ(Drop(ctx), kOk);
    return text;
  }
  std::string Scalar(double v) {
    return Of([&] { PushRealScalar(ctx, v); });
  }
  std::string Complex(double re, double im) {
    return Of([&] {
      double *r, *i;
      PushNewMatrix(ctx, 1, 1, &r, &i);
      *r = re;
      *i = im;
    });
  }
  std::string Single(std::vector<float> values, bool complex = false) {
    return Of([&] {
      const int32_t dims[2] = {1, static_cast<int32_t>(values.size())};
      float *re, *im = nullptr;
      ASSERT_EQ(PushNewSingleArray(ctx, 2, dims, &re, complex ? &im : nullptr), kOk);
      for (size_t i = 0; i < values.size(); i++) re[i] = values[i];
      if (im) im[0] = 2;
    });
  }

  TestHost host;
  EngineContext* ctx = host.ctx();
};

TEST_F(Dump, RowsCompressRunsOfZerosEqualValuesAndRanges) {
  EXPECT_EQ(Of([&] { PushRow(ctx, "double", {0, 0, 0, 0, 0, 0, 7}); }), "[zeros(1,6),7]");
  EXPECT_EQ(Of([&] { PushRow(ctx, "double", {1, 1, 1, 1, 1, 2}); }), "[ones(1,5),2]");
  EXPECT_EQ(Of([&] { PushRow(ctx, "double", {2, 2, 2, 2}); }), "[2*ones(1,4)]");
  EXPECT_EQ(Of([&] { PushRow(ctx, "double", {2, 2, 2}); }), "[2,2,2]");
  EXPECT_EQ(Of([&] { PushRow(ctx, "double", {1, 1, 1}); }), "[1,1,1]");
  EXPECT_EQ(Of([&] { PushRow(ctx, "double", {3, 4, 5, 6}); }), "[3:6]");
  EXPECT_EQ(Of([&] { PushRow(ctx, "double", {0.5, 1.5, 2.5}); }), "[0.5:2.5]");
  EXPECT_EQ(Of([&] {
              PushRow(ctx, "double", {9, -3, -2, -1, 0, 0, 0, 0, 0});
            }),
            "[9,-3:0,zeros(1,4)]");
  // Five zeros at the very end of a row are not a run; -0 is no zero.
  EXPECT_EQ(Of([&] { PushRow(ctx, "double", {1, 0, 0, 0, 0, 0}); }), "[1,zeros(1,5)]");
  EXPECT_EQ(Of([&] {
              PushRow(ctx, "double", {-0.0, -0.0, -0.0, -0.0, -0.0, -0.0});
            }),
            "[-0*ones(1,6)]");
  EXPECT_EQ(Of([&] { PushRow(ctx, "double", {NAN, NAN, NAN, NAN}); }), "[NaN,NaN,NaN,NaN]");
  EXPECT_EQ(Of([&] { PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4}); }), "[1,2\n3,4]");
}

TEST_F(Dump, DoublesReadBackExactly) {
  EXPECT_EQ(Scalar(0.1), "0.1");
  EXPECT_EQ(Scalar(1.0000001), "1.0000001");
  EXPECT_EQ(Scalar(3.0000005), "3.0000005");
  EXPECT_EQ(Scalar(1.0 / 3), "0.33333333333333331");
  EXPECT_EQ(Scalar(123456789), "123456789");
  EXPECT_EQ(Scalar(-2.5e-7), "-2.5e-7");
  EXPECT_EQ(Scalar(3e9), "3e9");
  EXPECT_EQ(Scalar(1e300), "1e300");
  EXPECT_EQ(Scalar(-0.0), "-0");
  EXPECT_EQ(Scalar(INFINITY), "Inf");
  EXPECT_EQ(Scalar(-INFINITY), "-Inf");
  EXPECT_EQ(Scalar(NAN), "NaN");
  // Whatever the digits, each text parses back to the same bits.
  for (double v : {std::nextafter(1.0, 2.0), 5e-324, 1.7976931348623157e308, 0.30000000000000004,
                   2.0 / 3, 1e-5, 123.456, 99999999999999.99}) {
    const std::string text = Scalar(v);
    int32_t at = 0;
    double back = 0;
    ASSERT_TRUE(ParseNumberText(text.data(), static_cast<int32_t>(text.size()), &at, &back))
        << text;
    EXPECT_EQ(std::bit_cast<uint64_t>(back), std::bit_cast<uint64_t>(v)) << text;
  }
  // A lower precision is raised where it would not read back.
  PushRealScalar(ctx, 0.1);
  EXPECT_EQ(DumpTop(ctx, 3), "0.1");
  Drop(ctx);
  PushRealScalar(ctx, 1.0 / 3);
  EXPECT_EQ(DumpTop(ctx, 3), "0.33333333333333331");
  Drop(ctx);
}

TEST_F(Dump, ComplexNumbersKeepBothParts) {
  EXPECT_EQ(Complex(1, -2), "1-2i");
  EXPECT_EQ(Complex(1e20, 1), "1e20+1i");
  EXPECT_EQ(Complex(1, NAN), "complex(1,NaN)");
  EXPECT_EQ(Complex(1, INFINITY), "complex(1,Inf)");
  EXPECT_EQ(Complex(2, 0), "complex(2,0)");
  EXPECT_EQ(Complex(-0.0, 3), "complex(-0,3)");
  EXPECT_EQ(Of([&] {
              double *re, *im;
              PushNewMatrix(ctx, 1, 7, &re, &im);
              for (int i = 0; i < 7; i++) re[i] = im[i] = 0;
              im[6] = 1;
            }),
            "[zeros(1,6),0+1i]");
  // All zero: no zero runs, which would make the value real.
  EXPECT_EQ(Of([&] {
              double *re, *im;
              PushNewMatrix(ctx, 1, 6, &re, &im);
              for (int i = 0; i < 6; i++) re[i] = im[i] = 0;
            }),
            "[complex(0,0),complex(0,0),complex(0,0),complex(0,0),complex(0,0),...\n"
            "complex(0,0)]");
}

TEST_F(Dump, ClassesIntegersSinglesAndLogicals) {
  EXPECT_EQ(Of([&] { PushIntegers(ctx, kCodeInt8, {1, 1}, {5}); }), "5int8");
  EXPECT_EQ(Of([&] { PushIntegers(ctx, kCodeInt8, {1, 1}, {-128}); }), "int8(-128)");
  EXPECT_EQ(Of([&] { PushIntegers(ctx, kCodeUInt16, {1, 3}, {1, 2, 3}); }), "uint16([1,2,3])");
  EXPECT_EQ(Of([&] {
              PushIntegers(ctx, kCodeInt32, {1, 6}, {0, 0, 0, 0, 0, 4});
            }),
            "int32([zeros(1,5),4])");
  EXPECT_EQ(Of([&] {
              PushIntegers(ctx, kCodeInt16, {1, 5}, {-7, -7, -7, -7, -7});
            }),
            "int16([-7*ones(1,5)])");
  // 64-bit arrays: each element with its class, no runs (they would go
  // through doubles).
  EXPECT_EQ(Of([&] {
              PushIntegers(ctx, kCodeInt64, {1, 5}, {7, 7, 7, 7, 7});
            }),
            "[7int64,7int64,7int64,7int64,7int64]");
  EXPECT_EQ(Of([&] {
              PushIntegers(ctx, kCodeUInt64, {1, 1}, {-1});
            }),
            "18446744073709551615uint64");
  EXPECT_EQ(Of([&] {
              PushIntegers(ctx, kCodeInt64, {1, 2},
                           {std::numeric_limits<int64_t>::min(), 9007199254740993});
            }),
            "[int64(-9223372036854775808),9007199254740993int64]");
  EXPECT_EQ(Of([&] { PushIntegers(ctx, kCodeInt64, {0, 0}, {}); }), "int64([])");
  EXPECT_EQ(Of([&] { PushRow(ctx, "logical", {1, 1, 0}); }), "[true(1,2),false]");
  EXPECT_EQ(Of([&] { PushRow(ctx, "logical", {0}); }), "false");
  EXPECT_EQ(Of([&] { PushRow(ctx, "logical", {}); }), "logical([])");
  EXPECT_EQ(Single({2.5f}), "2.5single");
  EXPECT_EQ(Single({0.1f, 3}), "single([0.1,3])");
  EXPECT_EQ(Single({16777215.0f}), "16777215single");
  EXPECT_EQ(Single({NAN}), "single(NaN)");
  EXPECT_EQ(Single({-INFINITY}), "single(-Inf)");
  EXPECT_EQ(Single({1}, true), "single(1+2i)");
  // Empty arrays keep their size.
  EXPECT_EQ(Of([&] { PushEmptyMatrix(ctx); }), "[]");
  EXPECT_EQ(Of([&] { PushEntry(ctx, 0, 0, 3, false, nullptr); }), "zeros(0,3)");
  EXPECT_EQ(Of([&] { test::PushEmptyArray(ctx, "double", {2, 0}); }), "zeros(2,0)");
  EXPECT_EQ(Of([&] { test::PushEmptyArray(ctx, "char", {0, 3}); }), "char(zeros(0,3))");
  EXPECT_EQ(Of([&] { test::PushEmptyArray(ctx, "uint8", {2, 0, 4}); }), "zeros(2,0,4,'uint8')");
  EXPECT_EQ(Of([&] { test::PushEmptyArray(ctx, "logical", {1, 0}); }), "false(1,0)");
  NumericBlock block;
  block.cls = ValueClass::kInteger;
  block.integerBytes = 1;
  block.rows = 0;
  block.cols = 3;
  uint16_t text[64];
  int32_t position = 0;
  ASSERT_EQ(DumpNumericArray(ctx, text, 64, &position, -1, "e", -1, block, 15), kOk);
  EXPECT_EQ(std::string(text, text + position), "e = zeros(0,3,'int8');\n");
}

TEST_F(Dump, StringsEscapeWhatTheyCannotHold) {
  EXPECT_EQ(Of([&] { PushText(ctx, "a\tb'c\\d\n"); }), "'a\\tb\\'c\\\\d\\n'");
  EXPECT_EQ(Of([&] { PushText(ctx, std::string("\x01\x7f\x07\x08\x0b\x0c\r", 7)); }),
            "'\\x01\\x7f\\a\\b\\v\\f\\r'");
  EXPECT_EQ(Of([&] { PushText(ctx, ""); }), "''");
  EXPECT_EQ(Of([&] {
              const int32_t dims[2] = {2, 2};
              uint16_t* c;
              PushNewCharArray(ctx, 2, dims, &c);
              c[0] = 'a';
              c[1] = 'b';
              c[2] = 0x263A;  // kept as it is
              c[3] = 'd';
            }),
            std::string("['ab'\n'") + static_cast<char>(0x3A) + "d']");
}

TEST_F(Dump, ContainersNestWithTheirSeparators) {
  // {1, 'a', {}, struct('x', [1 2], 'y', {}) }
  PushRealScalar(ctx, 1);
  PushText(ctx, "a");
  MakeList(ctx, 0);
  PushRow(ctx, "double", {1, 2});
  MakeList(ctx, 0);
  MakeStruct(ctx, {"x", "y"});
  MakeList(ctx, 4);
  EXPECT_EQ(DumpTop(ctx), "{1, ...\n'a', ...\n{}, ...\nstruct('x',[1,2], ...\n'y',{})}");
  Drop(ctx);
  // A 2 x 1 cell array of empty cells, then one holding a string.
  const int32_t dims[2] = {2, 1};
  PushNewCellArray(ctx, 2, dims);
  EXPECT_EQ(DumpTop(ctx), "reshape({[], ...\n[]},[2,1])");
  Drop(ctx);
  MakeStruct(ctx, {});
  EXPECT_EQ(DumpTop(ctx), "struct()");
  // An object whose parent lies in a field named after its class.
  int32_t point, shape;
  InternName(ctx, "point", 5, 32, &point);
  InternName(ctx, "shape", 5, 32, &shape);
  PushRealScalar(ctx, 0);
  MakeStruct(ctx, {"id"});
  DescAt(ctx, 0)->word = -shape;
  PushRealScalar(ctx, 1);
  MakeStruct(ctx, {"shape", "x"});
  DescAt(ctx, 0)->word = -point;
  EXPECT_EQ(DumpTop(ctx),
            "class(struct('shape',class(struct('id',0), 'shape'), ...\n'x',1), 'point')");
  Drop(ctx);
}

TEST_F(Dump, StructureArraysGoThroughTheirCellArray) {
  // A 1 x 2 structure array with fields a and b.
  PushRealScalar(ctx, 1);
  PushText(ctx, "p");
  MakeStruct(ctx, {"a", "b"});
  PushRealScalar(ctx, 2);
  PushText(ctx, "q");
  MakeStruct(ctx, {"a", "b"});
  MakeList(ctx, 2);
  ASSERT_EQ(StructListToArray(ctx), kOk);
  EXPECT_EQ(DumpTop(ctx),
            "cell2struct(reshape({1, ...\n'p', ...\n2, ...\n'q'},[2,1,2]),{'a','b'})");
}

TEST_F(Dump, NdArraysAndFunctionValues) {
  const int32_t dims[3] = {1, 2, 2};
  double* re;
  ASSERT_EQ(PushNewArray(ctx, 3, dims, &re, nullptr), kOk);
  for (int i = 0; i < 4; i++) re[i] = 7 - i;
  EXPECT_EQ(DumpTop(ctx), "reshape([7,6,5,4],[1,2,2])");
  Drop(ctx);
  PushIntegers(ctx, kCodeUInt8, {2, 1, 2}, {1, 2, 3, 4});
  EXPECT_EQ(DumpTop(ctx), "reshape(uint8([1,2,3,4]),[2,1,2])");
  Drop(ctx);
  void* data;
  ASSERT_EQ(PushTypedEntry(ctx, kKindFuncRef, 8, &data), kOk);
  std::memcpy(data, "\x03\x00\x00\x00sin", 7);
  EXPECT_EQ(DumpTop(ctx), "@sin");
  Drop(ctx);
  const char16_t source[] = u"x^2'";
  ASSERT_EQ(PushTypedEntry(ctx, kKindInline, 16, &data), kOk);
  Store<uint16_t>(data, 4);
  std::memcpy(static_cast<uint8_t*>(data) + 2, source, 8);
  Store<uint16_t>(static_cast<uint8_t*>(data) + 10, 0);
  EXPECT_EQ(DumpTop(ctx), "inline('x^2\\'')");
  Drop(ctx);
  // x - y with the parameters x and y and the captured list {'a', 3}.
  PushText(ctx, "a");
  PushRealScalar(ctx, 3);
  MakeList(ctx, 2);
  const ValueDescriptor list = *DescAt(ctx, 0);
  const uint32_t bytes = 2 + 10 + 2 + 4 + 16 + 8 * list.size;
  ASSERT_EQ(PushTypedEntry(ctx, kKindInline, bytes, &data), kOk);
  auto* p = static_cast<uint8_t*>(data);
  Store<uint16_t>(p, 5);
  std::memcpy(p + 2, u"x - y", 10);
  Store<uint16_t>(p + 12, static_cast<uint16_t>(4 + 16 + 8 * list.size));
  std::memcpy(p + 14, "x,y", 4);
  Store(p + 18, list);
  std::memcpy(p + 34, DataAt(ctx, 1), 8ull * list.size);
  EXPECT_EQ(DumpTop(ctx), "inline('x - y','x','y',{'a', ...\n3})");
  Drop(ctx);
}

// Library values are written by their library's hooks.
ErrCode WideDump(EngineContext*, uint16_t* out, int32_t room, int32_t* written) {
  const char text[] = "lib(1)";
  *written = room < 6 ? 0 : 6;
  for (int32_t i = 0; i < *written; i++) out[i] = static_cast<uint8_t>(text[i]);
  return kOk;
}
ErrCode FailingDump(EngineContext*, char*, int32_t, int32_t*) {
  return kErrIoErr;
}

TEST_F(Dump, LibraryValuesThroughTheirHooks) {
  static const NativeFunctionRecord table[] = {
      MakeRecord("@mylib"), MakeRecord("+wdump", &WideDump, 0, 0, 0, 0, 0, 1),
      MakeRecord("+dump", &FailingDump, 0, 0, 0, 0, 0, 2), MakeRecord("")};
  ASSERT_EQ(RegisterLibrary(ctx, table, false), kOk);
  const int32_t index = static_cast<int32_t>(ctx->registryCount) - 1;
  void* data;
  ASSERT_EQ(PushTypedEntry(ctx, index * 128 + 1 + 6, 8, &data), kOk);
  EXPECT_EQ(DumpTop(ctx), "lib(1)");
  ASSERT_EQ(PushTypedEntry(ctx, index * 128 + 2 + 6, 8, &data), kOk);
  EXPECT_EQ(DumpTop(ctx), "<error 302>");
  ASSERT_EQ(PushTypedEntry(ctx, index * 128 + 3 + 6, 8, &data), kOk);
  EXPECT_EQ(DumpTop(ctx), "");  // no hook: nothing
}

TEST_F(Dump, LongRowsBreakWithContinuations) {
  double* re;
  ASSERT_EQ(PushNewMatrix(ctx, 1, 40, &re, nullptr), kOk);
  for (int i = 0; i < 40; i++) re[i] = 1000.5 + 3 * i;
  const std::string text = DumpTop(ctx);
  size_t start = 0, lines = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1, lines++) {
    const std::string line = text.substr(start, end - start);
    EXPECT_EQ(line.substr(line.size() - 3), "...");
    EXPECT_LE(line.size(), 59u + 8 + 1 + 3);
  }
  EXPECT_GE(lines, 4u);
  EXPECT_EQ(text.substr(text.size() - 8), ",1117.5]");
}

TEST_F(Dump, BufferAndDescriptorModesWriteTheSameText) {
  PushRow(ctx, "double", {1, 2});
  PushText(ctx, "hi");
  MakeStruct(ctx, {"a", "b"});
  uint16_t text[100];
  int32_t position = 3;
  ASSERT_EQ(DumpValue(ctx, text, 100, &position, -1, "s", -1, kDumpPrecision), kOk);
  const std::string expected = "s = struct('a',[1,2], ...\n'b','hi');\n";
  EXPECT_EQ(std::string(text + 3, text + position), expected);
  ASSERT_EQ(DumpValue(ctx, nullptr, 0, nullptr, kFdOut, "s", 1, kDumpPrecision), kOk);
  EXPECT_EQ(host.Output(kFdOut), expected);
  EXPECT_EQ(EntryCount(ctx), 1);  // the value stays
  // Room for 50 characters at least, and for the whole text.
  position = 0;
  EXPECT_EQ(DumpValue(ctx, text, 49, &position, -1, nullptr, 0, 15), kErrDataOverflow);
  position = 20;
  EXPECT_EQ(DumpValue(ctx, text, 50, &position, -1, "s", -1, 15), kErrDataOverflow);
  EXPECT_EQ(DumpValue(ctx, nullptr, 100, &position, -1, nullptr, 0, 15), kErrDataOverflow);
}

TEST_F(Dump, ABreakEndsDescriptorOutputAtAContinuation) {
  double* re;
  ASSERT_EQ(PushNewMatrix(ctx, 1, 40, &re, nullptr), kOk);
  for (int i = 0; i < 40; i++) re[i] = 1000.5 + 3 * i;
  host.ScriptBreaks({false, true});
  EXPECT_EQ(DumpValue(ctx, nullptr, 0, nullptr, kFdOut, nullptr, 0, 15), kStatusHalted);
  const std::string out = host.Output(kFdOut);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
}

TEST_F(Dump, NestingDeeperThanTheWalkHoldsFails) {
  PushRealScalar(ctx, 1);
  for (int i = 0; i < 256; i++) MakeList(ctx, 1);
  EXPECT_NE(DumpTop(ctx).find("{{{1}}}"), std::string::npos);
  MakeList(ctx, 1);
  EXPECT_EQ(DumpTop(ctx), "<error 109>");
}

TEST_F(Dump, DumpvarWritesOrReturnsTheText) {
  PushRealScalar(ctx, 3);
  ASSERT_EQ(DumpvarNative(ctx, 1, -1, 0), kOk);
  EXPECT_EQ(host.Output(kFdOut), "3");
  EXPECT_EQ(DescAt(ctx, 0)->flags, kFlagNoValue);  // a statement's call gives nothing
  Drop(ctx);
  host.ClearOutput();
  PushText(ctx, "x");
  PushRealScalar(ctx, 3);
  ASSERT_EQ(DumpvarNative(ctx, 2, 0, 0), kOk);
  EXPECT_EQ(host.Output(kFdOut), "x = 3;\n");
  PushText(ctx, "x");
  PushRow(ctx, "logical", {1, 0});
  ASSERT_EQ(DumpvarNative(ctx, 2, 1, 0), kOk);
  EXPECT_EQ(TopString(ctx), "x = [true,false];\n");
  EXPECT_EQ(EntryCount(ctx), 1);
  Drop(ctx);
  host.ClaimFd(7);
  PushRealScalar(ctx, 7);
  PushText(ctx, "y");
  PushText(ctx, "v");
  ASSERT_EQ(DumpvarNative(ctx, 3, 0, 0), kOk);
  EXPECT_EQ(host.Output(7), "y = 'v';\n");
  // Refusals leave the inputs.
  PushRealScalar(ctx, 7);
  PushText(ctx, "y");
  PushText(ctx, "v");
  EXPECT_EQ(DumpvarNative(ctx, 3, 1, 0), kErrTooManyArgout);
  Drop(ctx, 3);
  PushRealScalar(ctx, -1);
  PushText(ctx, "y");
  PushText(ctx, "v");
  EXPECT_EQ(DumpvarNative(ctx, 3, 0, 0), kErrBadFileID);
  Drop(ctx, 3);
  PushText(ctx, "1");
  PushText(ctx, "y");
  PushText(ctx, "v");
  EXPECT_EQ(DumpvarNative(ctx, 3, 0, 0), kErrWrongTypeOverload);
  EXPECT_EQ(EntryCount(ctx), 3);
}

// Every class, and the values whose text is hard to get right, read back
// as the identical value: same class, size and bits.
TEST_F(Dump, TextEvaluatesToTheIdenticalValue) {
  std::vector<std::function<void()>> corpus = {
      [&] { PushRealScalar(ctx, 0.1); },
      [&] { PushRealScalar(ctx, 1.0 / 3); },
      [&] { PushRealScalar(ctx, 1.0000001); },
      [&] { PushRealScalar(ctx, 3.0000005); },
      [&] { PushRealScalar(ctx, -0.0); },
      [&] { PushRealScalar(ctx, 5e-324); },
      [&] {
        PushRow(ctx, "double", {NAN, INFINITY, -INFINITY, 1e300});
      },
      [&] {
        PushRow(ctx, "double", {0, 0, 0, 0, 0, 0, 7, 2, 2, 2, 2, 1, 1, 1, 0.1, 1.1, 2.1, 3.1});
      },
      [&] {
        PushArray(ctx, "double", {2, 3}, {1, 2, 3, 4, 5, 6});
      },
      [&] {
        std::vector<double> row;
        for (int i = 0; i < 40; i++) row.push_back(1000.5 + 3 * i + 1.0 / (i + 1));
        PushArray(ctx, "double", {2, 20}, row);  // rows broken with "..."
      },
      [&] {
        PushArray(ctx, "double", {1, 6}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0});
      },
      [&] { PushEntry(ctx, 0, 0, 3, false, nullptr); },
      [&] { PushEmptyMatrix(ctx); },
      [&] {
        test::PushEmptyArray(ctx, "double", {2, 0});
      },
      [&] {
        test::PushEmptyArray(ctx, "uint8", {2, 0, 4});
      },
      [&] {
        test::PushEmptyArray(ctx, "logical", {0, 3});
      },
      [&] {
        double *re, *im;
        PushNewMatrix(ctx, 1, 4, &re, &im);
        const double r[] = {1e20, 1, 2, -0.0}, i[] = {1, NAN, 0, 3};
        for (int k = 0; k < 4; k++) re[k] = r[k], im[k] = i[k];
      },
      [&] {
        const int32_t dims[2] = {1, 4};
        float* re;
        PushNewSingleArray(ctx, 2, dims, &re, nullptr);
        const float v[] = {NAN, -INFINITY, 0.1f, 16777215.0f};
        for (int k = 0; k < 4; k++) re[k] = v[k];
      },
      [&] {
        PushIntegers(ctx, kCodeInt8, {1, 1}, {-128});
      },
      [&] {
        PushIntegers(ctx, kCodeUInt64, {1, 1}, {-1});
      },
      [&] {
        PushIntegers(ctx, kCodeInt64, {1, 6},
                     {9007199254740993, 9007199254740993, 9007199254740993, 9007199254740993,
                      9007199254740993, 0});
      },
      [&] {
        PushIntegers(ctx, kCodeUInt16, {2, 3}, {0, 0, 0, 65535, 1, 1});
      },
      [&] {
        PushIntegers(ctx, kCodeInt32, {2, 1, 2}, {1, -2, 3, -4});
      },
      [&] {
        PushRow(ctx, "logical", {1, 1, 0, 1});
      },
      [&] { PushRow(ctx, "logical", {}); },
      [&] { PushText(ctx, "tab\there 'quoted' \x01"); },
      [&] { PushText(ctx, ""); },
      [&] {
        PushRealScalar(ctx, 1);
        PushText(ctx, "two");
        MakeList(ctx, 0);
        MakeList(ctx, 3);
      },
      [&] {
        PushRow(ctx, "double", {1, 2});
        PushText(ctx, "x");
        MakeStruct(ctx, {"a", "b"});
      },
      [&] {
        const int32_t dims[2] = {2, 2};
        PushNewCellArray(ctx, 2, dims);
      },
      [&] {
        for (int k = 0; k < 3; k++) {
          PushRealScalar(ctx, k);
          PushText(ctx, "v");
          MakeStruct(ctx, {"a", "b"});
        }
        MakeList(ctx, 3);
        StructListToArray(ctx);
      },
      [&] {
        int32_t point;
        InternName(ctx, "point", 5, 32, &point);
        PushRealScalar(ctx, 1);
        MakeStruct(ctx, {"x"});
        DescAt(ctx, 0)->word = -point;
      },
      // Cell arrays that are rows or empty stay cell arrays, not lists,
      // also inside a structure.
      [&] { test::EvaluateText(ctx, "cell(0, 0)"); },
      [&] { test::EvaluateText(ctx, "cell(0, 3)"); },
      [&] { test::EvaluateText(ctx, "num2cell(5)"); },
      [&] { test::EvaluateText(ctx, "num2cell([1 2 3])"); },
      [&] { test::EvaluateText(ctx, "struct('a', num2cell([4 5]), 'b', cell(1, 0))"); },
      [&] { test::EvaluateText(ctx, "{num2cell(6), cell(0, 0)}"); },
      [&] { test::EvaluateText(ctx, "@(x, y) x - y"); },
      [&] { test::EvaluateText(ctx, "inline('x + a', 'x', {'a', 3})"); },
      [&] { test::EvaluateText(ctx, "@(v) size(v)"); },
      [&] {
        void* data;
        PushTypedEntry(ctx, kKindFuncRef, 8, &data);
        std::memcpy(data, "\x03\x00\x00\x00sin", 7);
      },
  };
  for (size_t k = 0; k < corpus.size(); k++) {
    corpus[k]();
    ASSERT_EQ(EntryCount(ctx), 1) << "value " << k;
    const std::string text = DumpTop(ctx);
    ASSERT_EQ(test::EvaluateText(ctx, text), kOk) << text;
    ASSERT_EQ(test::CallNamed(ctx, "same", 2), kOk);
    EXPECT_EQ(DumpTop(ctx), "true") << "value " << k << ": " << text;
    Drop(ctx);
  }
}

// Variables of the base frame: x = [1 2], an unset slot, g linked to a
// global holding 5.
class Variables : public Dump {
 protected:
  int32_t Block(std::initializer_list<double> row) {
    int32_t block = 0;
    const auto n = static_cast<uint32_t>(row.size());
    EXPECT_EQ(AllocEngineBlock(ctx, n + 2, &block), kOk);
    uint8_t* d = BlockData(ctx, block);
    Store<ValueDescriptor>(d, ValueDescriptor{0, n, static_cast<int32_t>(n)});
    Store<uint32_t>(d + 12, 0);
    int i = 0;
    for (double v : row) Store<double>(d + 16 + 8 * i++, v);
    return block;
  }
  void SetUp() override {
    uint32_t* f = FrameWords(ctx, ctx->curFrame);
    const char* names[] = {"ans", "x", "g"};
    for (int i = 0; i < 3; i++)
      std::memcpy(reinterpret_cast<char*>(f + kFrameHeaderWords + kBaseFrameNames) + 32 * i,
                  names[i], std::strlen(names[i]) + 1);
    f[kFrameHeaderWords + 0] = static_cast<uint32_t>(-1);
    f[kFrameHeaderWords + 1] = static_cast<uint32_t>(Block({1, 2}));
    // The global's shared entry and the slot's link to it.
    const uint32_t entry = ctx->funcCount++;
    int32_t nameId;
    InternName(ctx, "g", 1, 32, &nameId);
    const int32_t words[4] = {1, nameId, Block({5}), -1};
    std::memcpy(ctx->CodeBytes() + 16 * entry, words, 16);
    int32_t link;
    AllocEngineBlock(ctx, 3, &link);
    Store<ValueDescriptor>(BlockData(ctx, link), ValueDescriptor{kFlagReference, 1, 0});
    Store<uint32_t>(BlockData(ctx, link) + 16, entry);
    f[kFrameHeaderWords + 2] = static_cast<uint32_t>(link);
    f[kFwVarCount] = 3;
  }
};

TEST_F(Variables, ListedAsStatementsWithDeclarations) {
  ASSERT_EQ(ListVariables(ctx, kFdOut, false), kOk);
  EXPECT_EQ(host.Output(kFdOut), "x = [1,2];\ng = 5;\n");
  host.ClearOutput();
  ASSERT_EQ(ListVariablesForDebugger(ctx, kFdOut, true), kOk);
  EXPECT_EQ(host.Output(kFdOut), "x = [1,2];\nglobal g\ng = 5;\n");
  EXPECT_EQ(ListVariablesForDebugger(ctx, -1, true), kErrBadFileID);
  EXPECT_EQ(EntryCount(ctx), 0);
}

TEST_F(Variables, GatheredIntoAStructure) {
  ASSERT_EQ(VariablesBuiltin(ctx, 0, 1, 0), kOk);
  EXPECT_EQ(DumpTop(ctx), "struct('x',[1,2], ...\n'g',5)");
  EXPECT_EQ(EntryCount(ctx), 1);
}

}  // namespace
}  // namespace vke
