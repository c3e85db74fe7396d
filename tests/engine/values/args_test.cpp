// The argument and result API: type checks, scalars, conversions,
// element-wise operands, strings and stack shuffles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/fast_forms.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;
using test::TopScalar;
using test::TopString;

void PushRow(EngineContext* ctx, std::initializer_list<double> values) {
  double* re;
  ASSERT_EQ(PushNewMatrix(ctx, 1, static_cast<int32_t>(values.size()), &re, nullptr), kOk);
  for (double v : values) *re++ = v;
}

void PushInts(EngineContext* ctx, int32_t bytes, bool isUnsigned,
              std::initializer_list<int64_t> values) {
  const int32_t dims[2] = {1, static_cast<int32_t>(values.size())};
  void* data;
  ASSERT_EQ(PushNewTypedArray(ctx, 2, dims, bytes, isUnsigned, &data), kOk);
  auto* p = static_cast<uint8_t*>(data);
  for (int64_t v : values) {
    std::memcpy(p, &v, bytes);
    p += bytes;
  }
}

TEST(CheckArgumentTypes, LettersOptionalsAndRepeats) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, {1, 2});
  EXPECT_EQ(CheckArgumentTypes(ctx, 1, "R[I"), kOk);
  PushRealScalar(ctx, 2.5);
  EXPECT_EQ(CheckArgumentTypes(ctx, 2, "R[I"), kErrWrongTypeOverload);
  Drop(ctx);
  PushRealScalar(ctx, 3);
  EXPECT_EQ(CheckArgumentTypes(ctx, 2, "R[I"), kOk);
  EXPECT_EQ(CheckArgumentTypes(ctx, 2, "RIR"), kErrWrongTypeOverload);  // inputs ran out
  EXPECT_EQ(CheckArgumentTypes(ctx, 2, "Ri*"), kOk);
  EXPECT_EQ(CheckArgumentTypes(ctx, 2, "R"), kOk);  // extra inputs are not checked
  EXPECT_EQ(CheckArgumentTypes(ctx, 2, "RZ"), kErrWrongTypeOverload);
  Drop(ctx, 2);
  PushCString(ctx, -1, "ab");
  PushCString(ctx, -1, "c");
  PushCString(ctx, -1, "d");
  EXPECT_EQ(CheckArgumentTypes(ctx, 3, "S+"), kOk);
  EXPECT_EQ(CheckArgumentTypes(ctx, 2, "ss"), kOk);
  EXPECT_EQ(CheckArgumentTypes(ctx, 3, "ss+"), kErrWrongTypeOverload);
  PushRealScalar(ctx, 1);
  EXPECT_EQ(CheckArgumentTypes(ctx, 4, "S+"), kErrWrongTypeOverload);
}

TEST(CheckArgumentTypes, NullSpecRefusesObjectsAndLibraryValues) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRealScalar(ctx, 1);
  EXPECT_EQ(CheckArgumentTypes(ctx, 1, nullptr), kOk);
  void* data;
  PushTypedEntry(ctx, 140, 8, &data);
  EXPECT_EQ(CheckArgumentTypes(ctx, 2, nullptr), kErrWrongTypeOverload);
  Drop(ctx);
  PushListFromEntries(ctx, 0, false, nullptr, 0);
  DescAt(ctx, 0)->word = -3;  // an object of a class
  EXPECT_EQ(CheckArgumentTypes(ctx, 1, nullptr), kErrWrongTypeOverload);
}

TEST(Scalars, PopAndGetRefuseWhatTheyCannotRead) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  double x, y;
  PushComplexScalar(ctx, 1, 2);
  EXPECT_EQ(PopRealScalar(ctx, &x), kErrNonScalarArg);
  EXPECT_EQ(GetScalarArg(ctx, 0, &x), kErrWrongType);
  EXPECT_EQ(PopComplexScalar(ctx, &x, &y), kOk);
  EXPECT_EQ(y, 2);
  PushRow(ctx, {1, 2});
  EXPECT_EQ(PopRealScalar(ctx, &x), kErrNonScalarArg);
  Drop(ctx);
  PushCString(ctx, -1, "a");
  EXPECT_EQ(PopRealScalar(ctx, &x), kErrWrongType);
  Drop(ctx);
  // A stored complex 3 + 0i is still complex, and reads as 3.
  double *re, *im;
  PushNewMatrix(ctx, 1, 1, &re, &im);
  *re = 3;
  *im = 0;
  EXPECT_EQ(GetScalarArg(ctx, 0, &x), kOk);
  EXPECT_EQ(x, 3);
}

TEST(Scalars, IntegersFromEveryClass) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t v;
  PushRealScalar(ctx, 2.5);
  EXPECT_EQ(GetIntegerArg(ctx, 0, &v), kErrNonIntArg);
  PushRealScalar(ctx, 1e10);
  EXPECT_EQ(GetIntegerArg(ctx, 0, &v), kErrOutOfRangeArg);
  // A fraction is told before the range, and NaN is no whole number; the
  // ends of the range are whole numbers that fit.
  for (const double x : {-0.5, 2147483646.5, 1e10 + 0.5, std::nan("")}) {
    PushRealScalar(ctx, x);
    EXPECT_EQ(GetIntegerArg(ctx, 0, &v), kErrNonIntArg) << x;
  }
  PushRealScalar(ctx, 2147483648.0);
  EXPECT_EQ(GetIntegerArg(ctx, 0, &v), kErrOutOfRangeArg);
  PushRealScalar(ctx, -2147483648.0);
  EXPECT_EQ(GetIntegerArg(ctx, 0, &v), kOk);
  EXPECT_EQ(v, INT32_MIN);
  PushRealScalar(ctx, 2147483647.0);
  EXPECT_EQ(GetIntegerArg(ctx, 0, &v), kOk);
  EXPECT_EQ(v, INT32_MAX);
  PushRealScalar(ctx, -7);
  EXPECT_EQ(PopIntegerArg(ctx, &v), kOk);
  EXPECT_EQ(v, -7);
  PushInts(ctx, 1, true, {200});
  EXPECT_EQ(GetIntegerArg(ctx, 0, &v), kOk);
  EXPECT_EQ(v, -56);  // 1-byte elements read as signed
  PushInts(ctx, 8, false, {(int64_t{5} << 32) + 9});
  EXPECT_EQ(GetIntegerArg(ctx, 0, &v), kOk);
  EXPECT_EQ(v, 9);  // the low 32 bits
  PushInts(ctx, 2, false, {1, 2});
  EXPECT_EQ(GetIntegerArg(ctx, 0, &v), kErrNonScalarArg);
}

TEST(Scalars, BooleansAndConditions) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  uint8_t b;
  PushEmptyMatrix(ctx);
  EXPECT_EQ(GetConditionTruth(ctx, 0, &b), kOk);
  EXPECT_EQ(b, 0);
  PushRow(ctx, {1, NAN});
  EXPECT_EQ(GetConditionTruth(ctx, 0, &b), kOk);
  EXPECT_EQ(b, 1);
  PushRow(ctx, {1, 0});
  EXPECT_EQ(GetConditionTruth(ctx, 0, &b), kOk);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(GetBooleanArg(ctx, 0, &b), kErrWrongType);
  PushComplexScalar(ctx, 0, 1);
  EXPECT_EQ(PopConditionTruth(ctx, &b), kOk);
  EXPECT_EQ(b, 1);
  PushComplexScalar(ctx, 0, 1);
  EXPECT_EQ(GetBooleanArg(ctx, 0, &b), kErrWrongType);  // two units
  Drop(ctx);
  PushInts(ctx, 4, false, {0});
  EXPECT_EQ(PopBooleanArg(ctx, &b), kOk);
  EXPECT_EQ(b, 0);
  PushListFromEntries(ctx, 0, false, nullptr, 0);
  EXPECT_EQ(GetConditionTruth(ctx, 0, &b), kErrWrongBoolType);
}

TEST(Conversions, CommonTypeFollowsTheClassRules) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushInts(ctx, 1, false, {-3});
  PushInts(ctx, 2, true, {7});
  PushLogicalScalar(ctx, 1);
  ASSERT_EQ(ConvertArgsToCommonType(ctx, 3), kOk);
  for (int d = 0; d < 3; d++) {
    NumericView v = ViewNumeric(ctx, d);
    EXPECT_EQ(v.cls, ValueClass::kInteger);
    EXPECT_EQ(v.code, kCodeUInt16);
  }
  EXPECT_EQ(ReadIntegerBits(ViewNumeric(ctx, 2).elements, kCodeUInt16, 0), 0xFFFDu);  // wraps
  Drop(ctx, 3);
  const int32_t one[2] = {1, 1};
  float* s;
  PushNewSingleArray(ctx, 2, one, &s, nullptr);
  *s = 1.5f;
  PushInts(ctx, 4, false, {9});
  ASSERT_EQ(ConvertArgsToCommonType(ctx, 2), kOk);
  EXPECT_EQ(ViewNumeric(ctx, 0).cls, ValueClass::kSingle);
  PushRealScalar(ctx, 2);
  ASSERT_EQ(ConvertArgsToCommonType(ctx, 3), kOk);
  EXPECT_EQ(TopScalar(ctx, 1), 9);
  EXPECT_EQ(TopScalar(ctx, 2), 1.5);
}

TEST(Conversions, CheckedIntegerConversion) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, {1, 2.5});
  EXPECT_EQ(ConvertToInteger(ctx, 0, 1, false, true), kErrNonIntArg);
  Drop(ctx);
  PushRow(ctx, {1, 300});
  uint32_t top = ctx->dataTop;
  EXPECT_EQ(ConvertToInteger(ctx, 0, 1, true, true), kErrOutOfRangeArg);
  EXPECT_EQ(ctx->dataTop, top);
  EXPECT_EQ(ConvertToInteger(ctx, 0, 3, true, true), kErrNotSupported);
  ASSERT_EQ(ConvertToInteger(ctx, 0, 2, false, true), kOk);
  NumericView v = ViewNumeric(ctx, 0);
  EXPECT_EQ(v.code, kCodeInt16);
  EXPECT_EQ(ReadIntegerElement(v.elements, v.code, 1), 300);
  // Unchecked conversions never fault: NaN and huge values give defined bits.
  PushRow(ctx, {NAN, 1e300, -1});
  ASSERT_EQ(ConvertToInteger(ctx, 0, 4, false, false), kOk);
  PushInts(ctx, 8, false, {-1});
  EXPECT_EQ(ConvertToInteger(ctx, 0, 8, true, true), kErrOutOfRangeArg);
  ASSERT_EQ(ConvertToInteger(ctx, 0, 8, true, false), kOk);
  EXPECT_EQ(ReadIntegerBits(ViewNumeric(ctx, 0).elements, kCodeUInt64, 0), ~uint64_t{0});
}

// Doubles out of an integer class's range, at the limits of each class:
// truncated toward zero, the low bits of the width kept, for the 64-bit
// classes as for the narrower ones; NaN and the infinities give 0.
TEST(Conversions, OutOfRangeDoublesKeepTheLowBitsOfEveryWidth) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  struct Limits {
    int32_t bytes;
    bool isUnsigned;
  };
  for (const Limits c : {Limits{1, false}, Limits{1, true}, Limits{2, false}, Limits{2, true},
                         Limits{4, false}, Limits{4, true}}) {
    const int bits = 8 * c.bytes;
    const double lo = c.isUnsigned ? 0 : -std::ldexp(1, bits - 1);
    const double hi = std::ldexp(1, c.isUnsigned ? bits : bits - 1) - 1;
    PushRow(ctx, {lo, hi, lo - 1, hi + 1, hi + 2.9, lo - 1.9, NAN, INFINITY, -INFINITY});
    ASSERT_EQ(ConvertToInteger(ctx, 0, c.bytes, c.isUnsigned, false), kOk);
    const NumericView v = ViewNumeric(ctx, 0);
    const double want[] = {lo, hi, hi, lo, lo + 1, hi, 0, 0, 0};
    for (int i = 0; i < 9; i++)
      EXPECT_EQ(ReadIntegerElement(v.elements, v.code, i), want[i])
          << bits << (c.isUnsigned ? " unsigned, element " : " signed, element ") << i;
    Drop(ctx);
  }
  // 64 bits: the doubles next to the limits are 2^11 apart.
  const double two63 = 9223372036854775808.0, two64 = 18446744073709551616.0;
  PushRow(ctx, {two63, -two63, -two63 - 2048, two63 + 2048, two64, 1e30, NAN, INFINITY, -2.9});
  ASSERT_EQ(ConvertToInteger(ctx, 0, 8, false, false), kOk);
  const int64_t signedWant[] = {
      INT64_MIN, INT64_MIN, INT64_MAX - 2047, INT64_MIN + 2048, 0, 5076964154930102272, 0, 0, -2};
  for (int i = 0; i < 9; i++)
    EXPECT_EQ(static_cast<int64_t>(ReadIntegerBits(ViewNumeric(ctx, 0).elements, kCodeInt64, i)),
              signedWant[i])
        << "int64 element " << i;
  Drop(ctx);
  PushRow(ctx, {two64 - 2048, two64, -1, -two63, two64 + 4096, -INFINITY, 2.9});
  ASSERT_EQ(ConvertToInteger(ctx, 0, 8, true, false), kOk);
  const uint64_t unsignedWant[] = {UINT64_MAX - 2047, 0, UINT64_MAX, uint64_t{1} << 63, 4096, 0, 2};
  for (int i = 0; i < 7; i++)
    EXPECT_EQ(ReadIntegerBits(ViewNumeric(ctx, 0).elements, kCodeUInt64, i), unsignedWant[i])
        << "uint64 element " << i;
  Drop(ctx);
}

TEST(Conversions, FloatAndLogical) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushInts(ctx, 1, true, {250, 0, 3});
  ASSERT_EQ(ConvertToLogical(ctx, 0), kOk);  // relabelled in place
  NumericView v = ViewNumeric(ctx, 0);
  EXPECT_EQ(v.cls, ValueClass::kLogical);
  EXPECT_EQ(v.elements[0], 1);
  EXPECT_EQ(v.elements[1], 0);
  PushRow(ctx, {NAN, 0, -2});
  ASSERT_EQ(ConvertToLogical(ctx, 0), kOk);
  v = ViewNumeric(ctx, 0);
  EXPECT_EQ(v.elements[0], 0);
  EXPECT_EQ(v.elements[2], 1);
  const int32_t one[2] = {1, 1};
  float* s;
  PushNewSingleArray(ctx, 2, one, &s, nullptr);
  EXPECT_EQ(ConvertToLogical(ctx, 0), kErrWrongType);
  Drop(ctx);
  // Convert the value below the top; the top stays where it is.
  PushCString(ctx, -1, "AB");
  PushRealScalar(ctx, 5);
  ASSERT_EQ(ConvertToFloat(ctx, 1, false), kOk);
  EXPECT_EQ(TopScalar(ctx, 0), 5);
  double* re;
  int32_t m, n;
  ASSERT_EQ(GetNumericArg(ctx, 1, &m, &n, &re, nullptr), kOk);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(re[1], 'B');
  ASSERT_EQ(ConvertToFloat(ctx, -2, true), kOk);
  EXPECT_EQ(ViewNumeric(ctx, 1).cls, ValueClass::kSingle);
}

TEST(ElementwiseOperands, ScalarsExpandAndShapesMustAgree) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, {1, 2, 3});
  PushRealScalar(ctx, 4);
  PushInts(ctx, 1, false, {1, 2, 3});
  Shape s;
  ElementwiseOperand ops[3];
  ASSERT_EQ(GetElementwiseOperands(ctx, 3, &s, ops), kOk);
  EXPECT_EQ(s.count, 3);
  EXPECT_TRUE(ops[0].full);
  EXPECT_FALSE(ops[1].full);
  EXPECT_EQ(ops[2].cls, OperandClass::kInteger);
  EXPECT_EQ(ops[2].elementBytes, 1);
  PushRow(ctx, {1, 2});
  EXPECT_EQ(GetElementwiseOperands(ctx, 2, &s, ops), kErrIncompSize);
  Drop(ctx, 4);
  PushRealScalar(ctx, 1);
  PushRealScalar(ctx, 2);
  ASSERT_EQ(GetElementwiseOperands(ctx, 2, &s, ops), kOk);
  EXPECT_EQ(s.count, 1);
  PushListFromEntries(ctx, 0, false, nullptr, 0);
  EXPECT_EQ(GetElementwiseOperands(ctx, 2, &s, ops), kErrWrongType);
}

TEST(ComplexParts, MakeTopRealAndComplex) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, {1, 2});
  void* im;
  ASSERT_EQ(MakeTopComplex(ctx, &im), kOk);
  EXPECT_EQ(DescAt(ctx, 0)->size, 4u);
  EXPECT_EQ(static_cast<double*>(im)[1], 0);
  ASSERT_EQ(MakeTopReal(ctx), kOk);
  EXPECT_EQ(DescAt(ctx, 0)->size, 2u);
  const int32_t d3[3] = {1, 3, 2};
  float* s;
  PushNewSingleArray(ctx, 3, d3, &s, nullptr);
  ASSERT_EQ(MakeTopComplex(ctx, &im), kOk);
  EXPECT_EQ(HeaderCode(DataAt(ctx, 0)), kCodeSingleComplex);
  EXPECT_EQ(static_cast<float*>(im) - s, 6);
  // With no room for the imaginary block the data stack reports the overflow.
  Drop(ctx, 2);
  uint32_t room = ctx->dataCap - ctx->dataTop;
  double* re;
  PushNewMatrix(ctx, 1, static_cast<int32_t>(room - 2), &re, nullptr);
  EXPECT_EQ(MakeTopComplex(ctx, &im), kErrDataOverflow);
}

TEST(Strings, PushReadAndNarrow) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushCString(ctx, -1, "hello");
  char buf[8];
  int32_t len;
  // Too long: refused, its start written all the same (terminated when no
  // length is asked for), so that no caller reads bytes never written.
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(GetStringArgToBuffer(ctx, 0, buf, 4, nullptr), kErrObjTooLarge);
  EXPECT_STREQ(buf, "hel");
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(GetStringArgToBuffer(ctx, 0, buf, 3, &len), kErrObjTooLarge);
  EXPECT_EQ(len, 3);
  EXPECT_EQ(std::string(buf, 4), "helx");
  EXPECT_EQ(GetStringArgToBuffer(ctx, 0, buf, 5, nullptr), kErrObjTooLarge);
  EXPECT_EQ(GetStringArgToBuffer(ctx, 0, buf, 5, &len), kOk);
  EXPECT_EQ(len, 5);
  EXPECT_EQ(PopStringToBuffer(ctx, buf, sizeof buf, nullptr), kOk);
  EXPECT_STREQ(buf, "hello");
  PushCString(ctx, -1, "abc");
  const char* text;
  ASSERT_EQ(GetStringArg(ctx, 0, &text, &len), kOk);
  EXPECT_STREQ(text, "abc");
  Drop(ctx);
  PushUtf8String(ctx, -1, "\xE2\x82\xAC!");
  NumericView v = ViewNumeric(ctx, 0);
  ASSERT_EQ(v.shape.count, 2);
  EXPECT_EQ(Load<uint16_t>(v.elements), 0x20AC);
  PushRealScalar(ctx, 1);
  EXPECT_EQ(GetStringArg(ctx, 0, &text, &len), kErrWrongType);
}

TEST(Strings, ScratchBuffersBecomeRows) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  uint32_t freeBytes;
  GetDataStackFree(ctx, &freeBytes, nullptr);
  int32_t n = -2;
  uint16_t* chars;
  ASSERT_EQ(PushStringOfLength(ctx, &n, &chars), kOk);
  EXPECT_EQ(n, static_cast<int32_t>(freeBytes / 4));  // half of the free space
  Drop(ctx);
  n = -1;
  uint8_t* bytes;
  ASSERT_EQ(ReserveByteBuffer(ctx, &n, &bytes), kOk);
  std::memcpy(bytes, "xyz", 3);
  ASSERT_EQ(WidenBytesToString(ctx, 3), kOk);
  EXPECT_EQ(TopString(ctx), "xyz");
  n = 16;
  ASSERT_EQ(ReserveByteBuffer(ctx, &n, &bytes), kOk);
  std::memcpy(bytes,
              "\xC3\xA9"
              "a",
              3);
  ASSERT_EQ(DecodeUtf8Buffer(ctx, 3), kOk);
  NumericView v = ViewNumeric(ctx, 0);
  ASSERT_EQ(v.shape.count, 2);
  EXPECT_EQ(Load<uint16_t>(v.elements), 0xE9);
  // A buffer too small for the decoded characters reports the overflow.
  n = 8;
  ASSERT_EQ(ReserveByteBuffer(ctx, &n, &bytes), kOk);
  std::memcpy(bytes, "abcdefgh", 8);
  EXPECT_EQ(DecodeUtf8Buffer(ctx, 8), kErrDataOverflow);
}

// Text read as bytes decodes the same whether a run below 0x80 is widened
// as a block or each byte goes through the decoder: every length about the
// block's size, with a byte of another kind (a lead byte, an invalid one)
// at each place, under both of the system's decoders and the plain widening.
TEST(Strings, TextDecodesTheSameAsABlockOrByCharacter) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const auto decode = [&](const std::string& bytes, bool fast) {
    SetFastForms(fast);
    int32_t n = 96;  // room for 48 characters
    uint8_t* buffer;
    EXPECT_EQ(ReserveByteBuffer(ctx, &n, &buffer), kOk);
    std::memset(buffer, 0xAA, 96);
    std::memcpy(buffer, bytes.data(), bytes.size());
    EXPECT_EQ(DecodeTextBuffer(ctx, static_cast<int32_t>(bytes.size())), kOk);
    const NumericView v = ViewNumeric(ctx, 0);
    std::vector<uint16_t> chars(static_cast<size_t>(v.shape.count));
    for (size_t i = 0; i < chars.size(); i++) chars[i] = Load<uint16_t>(v.elements + 2 * i);
    // The last unit's bytes past the characters are zeros, whatever the
    // buffer held there.
    for (size_t b = 2 * chars.size(); b % 8 != 0; b++)
      EXPECT_EQ(v.elements[b], 0) << bytes.size() << " " << b;
    Drop(ctx);
    SetFastForms(true);
    return chars;
  };
  for (const char letter : {'u', 's', '-'}) {
    SetTextEncoding(ctx, letter);
    for (int32_t length = 0; length <= 40; length++) {
      std::string ascii;
      for (int32_t i = 0; i < length; i++) ascii += static_cast<char>(32 + (i * 7) % 95);
      const std::vector<uint16_t> widened(ascii.begin(), ascii.end());
      EXPECT_EQ(decode(ascii, true), widened) << letter << " " << length;
      EXPECT_EQ(decode(ascii, false), widened) << letter << " " << length;
      for (int32_t at = 0; at < length; at++) {
        for (const char other : {'\xC3', '\xFF'}) {
          std::string mixed = ascii;
          mixed[at] = other;
          EXPECT_EQ(decode(mixed, true), decode(mixed, false))
              << letter << " " << length << " " << at;
        }
      }
    }
  }
}

TEST(Strings, CopyThroughTheEncoder) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  SetTextEncoding(ctx, 'u');
  const uint16_t text[] = {0x41, 0xE9, 0x20AC};
  PushWideString(ctx, 3, text);
  ASSERT_EQ(GetStringArgCopy(ctx, 0), kOk);
  NumericView v = ViewNumeric(ctx, 0);
  ASSERT_EQ(v.shape.count, 6);
  const uint8_t want[] = {0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC};
  EXPECT_EQ(std::memcmp(v.elements, want, 6), 0);
}

TEST(StackShuffles, DropRollReverseDuplicate) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  for (double x : {1.0, 2.0, 3.0, 4.0}) PushRealScalar(ctx, x);
  PushRow(ctx, {5, 6});                         // entries of different sizes
  ASSERT_EQ(RollStackEntries(ctx, 3, 1), kOk);  // depth j moves to depth j + 1, cyclically
  EXPECT_EQ(TopScalar(ctx, 0), 3);
  EXPECT_EQ(DescAt(ctx, 1)->size, 2u);
  EXPECT_EQ(TopScalar(ctx, 2), 4);
  ASSERT_EQ(RollStackEntries(ctx, 3, -1), kOk);
  EXPECT_EQ(DescAt(ctx, 0)->size, 2u);
  ASSERT_EQ(DropStackEntries(ctx, 1, 2), kOk);  // drop 4 and 3 under the row
  EXPECT_EQ(TopScalar(ctx, 1), 2);
  double* re;
  int32_t m, n;
  GetNumericArg(ctx, 0, &m, &n, &re, nullptr);
  EXPECT_EQ(re[1], 6);
  ASSERT_EQ(ReverseStackEntries(ctx, 3), kOk);
  EXPECT_EQ(TopScalar(ctx, 0), 1);
  EXPECT_EQ(TopScalar(ctx, 1), 2);
  ASSERT_EQ(DuplicateStackEntries(ctx, 1, 2), kOk);  // copies 2 and the row, in order
  EXPECT_EQ(TopScalar(ctx, 0), 2);
  EXPECT_EQ(DescAt(ctx, 1)->size, 2u);
  EXPECT_EQ(TopScalar(ctx, 2), 1);
}

// Entries whose descriptors claim more data than the data stack holds (a
// damaged stack) are not dropped: the data under the kept result would be
// moved from below the stack's base. The kept entries count as well as the
// dropped ones.
TEST(StackShuffles, DropRefusesEntriesBeyondTheDataStack) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  for (double x : {1.0, 2.0, 3.0}) PushRealScalar(ctx, x);
  const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  for (const std::vector<int32_t>& claims : {std::vector<int32_t>{1, 2}, {0}}) {
    for (int32_t depth : claims) DescAt(ctx, depth)->size = dataTop;
    EXPECT_EQ(DropStackEntries(ctx, 1, 2), kErrIllegal);
    EXPECT_EQ(DropStackEntries(ctx, 0, 3), kErrIllegal);
    EXPECT_EQ(ctx->descTop, descTop);
    EXPECT_EQ(ctx->dataTop, dataTop);
    for (int32_t depth : claims) DescAt(ctx, depth)->size = 1;
  }
  ASSERT_EQ(DropStackEntries(ctx, 1, 2), kOk);
  EXPECT_EQ(TopScalar(ctx, 0), 3);
  EXPECT_EQ(ctx->dataTop, dataTop - 2);
}

// Rolls and copies weigh the entries they are given as drops do: a count
// beyond the descriptor stack, a negative depth, entries whose descriptors
// claim more data than the data stack holds (sizes that wrap a 32-bit sum
// among them) and, for a roll, entries below a running native's own change
// nothing.
TEST(StackShuffles, RollAndDuplicateRefuseWhatTheStacksDoNotHold) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  for (double x : {1.0, 2.0, 3.0}) PushRealScalar(ctx, x);
  const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  auto expectUnchanged = [&] {
    EXPECT_EQ(ctx->descTop, descTop);
    EXPECT_EQ(ctx->dataTop, dataTop);
    for (int32_t depth = 0; depth < 3; depth++) EXPECT_EQ(TopScalar(ctx, depth), 3 - depth);
  };
  const auto beyond = static_cast<int32_t>(descTop / 3) + 1;
  EXPECT_EQ(RollStackEntries(ctx, beyond, 1), kErrIllegal);
  EXPECT_EQ(DuplicateStackEntries(ctx, beyond - 1, 1), kErrIllegal);
  EXPECT_EQ(DuplicateStackEntries(ctx, -1, 2), kErrIllegal);
  expectUnchanged();
  for (const auto& claim : {std::pair<int32_t, uint32_t>{0, 0xFFFFFFFFu}, {2, dataTop}}) {
    SCOPED_TRACE(claim.second);
    DescAt(ctx, claim.first)->size = claim.second;
    EXPECT_EQ(RollStackEntries(ctx, 3, 1), kErrIllegal);
    EXPECT_EQ(DuplicateStackEntries(ctx, 2, 1), kErrIllegal);
    EXPECT_EQ(DuplicateStackEntries(ctx, 0, 3), kErrIllegal);
    DescAt(ctx, claim.first)->size = 1;
    expectUnchanged();
  }
  ctx->nativeFloor = descTop - 3;
  EXPECT_EQ(RollStackEntries(ctx, 2, 1), kErrIllegal);
  expectUnchanged();
  ctx->nativeFloor = descTop - 6;
  ASSERT_EQ(RollStackEntries(ctx, 2, 1), kOk);
  EXPECT_EQ(TopScalar(ctx, 0), 2);
  ctx->nativeFloor = 0;
}

TEST(StackShuffles, RawCopiesRoundTrip) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushComplexScalar(ctx, 1, -2);
  std::vector<double> buf(GetEntryWordCount(ctx, 0));
  ASSERT_EQ(CopyEntryToBytes(ctx, 0, buf.data()), kOk);
  EXPECT_EQ(buf[0], 1);  // the flags as a double
  Drop(ctx);
  ASSERT_EQ(PushEntryFromBytes(ctx, buf.data()), kOk);
  // Bytes that are no such copy are refused and leave the stacks alone.
  std::vector<double> bad = buf;
  uint32_t top = ctx->descTop;
  for (double f : {1e10, -1.0, 0.5, std::nan("")}) {
    bad[0] = f;
    EXPECT_EQ(PushEntryFromBytes(ctx, bad.data()), kErrBadArg);
  }
  bad = buf;
  bad[2] = 3e9;
  EXPECT_EQ(PushEntryFromBytes(ctx, bad.data()), kErrBadArg);
  bad = buf;
  bad[1] = 1e12;
  EXPECT_EQ(PushEntryFromBytes(ctx, bad.data()), kErrDataOverflow);
  EXPECT_EQ(ctx->descTop, top);
  double re, im;
  ASSERT_EQ(PopComplexScalar(ctx, &re, &im), kOk);
  EXPECT_EQ(im, -2);
  void* scratch;
  uint32_t cap = ctx->dataCap;
  ASSERT_EQ(ReserveDataStack(ctx, 10, &scratch), kOk);
  EXPECT_EQ(static_cast<uint8_t*>(scratch), ctx->DataBytes() + 8ull * (cap - 10));
  EXPECT_EQ(ReserveDataStack(ctx, cap - ctx->dataTop + 1, &scratch), kErrDataOverflow);
}

TEST(Transpose, MatricesVectorsAndTypedArrays) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  double *re, *im;
  PushNewMatrix(ctx, 2, 3, &re, &im);
  for (int i = 0; i < 6; i++) re[i] = i, im[i] = 10 + i;
  ASSERT_EQ(TransposeTopValue(ctx), kOk);
  int32_t m, n;
  GetNumericArg(ctx, 0, &m, &n, &re, &im);
  EXPECT_EQ(m, 3);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(re[1], 3);  // (0,1) of the transpose is (1,0) of the original
  EXPECT_EQ(im[1], 13);
  PushRow(ctx, {1, 2, 3});
  ASSERT_EQ(TransposeTopValue(ctx), kOk);
  GetNumericArg(ctx, 0, &m, &n, &re, nullptr);
  EXPECT_EQ(m, 3);
  EXPECT_EQ(n, 1);
  const int32_t d[2] = {2, 2};
  uint16_t* c;
  PushNewCharArray(ctx, 2, d, &c);
  c[0] = 'a', c[1] = 'b', c[2] = 'c', c[3] = 'd';
  ASSERT_EQ(TransposeTopValue(ctx), kOk);
  EXPECT_EQ(TopString(ctx), "acbd");
  const int32_t d3[3] = {2, 2, 2};
  PushNewArray(ctx, 3, d3, &re, nullptr);
  EXPECT_EQ(TransposeTopValue(ctx), kErrNonMatrix);
}

}  // namespace
}  // namespace vke
