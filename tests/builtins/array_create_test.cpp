// Array creation from dimension arguments, the random generators, the
// constants, size queries, any and all, complex and imag, and list joining.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "builtins/array_builtins.hpp"
#include "builtins/builtin.hpp"
#include "builtins/random.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/builtin_calls.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using namespace test;

TEST(ArrayFill, SizesFromScalarsVectorsAndSeveralArguments) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {3});
  ASSERT_EQ(CallOp(ctx, kOpZeros, 1), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{3, 3}));
  EXPECT_EQ(ValuesAt(ctx), Values(9, 0));
  PushRow(ctx, "double", {2, 3, 4});
  ASSERT_EQ(CallOp(ctx, kOpOnes, 1), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 3, 4}));
  EXPECT_EQ(ValuesAt(ctx), Values(24, 1));
  // Sizes are truncated; trailing ones are dropped.
  PushRow(ctx, "double", {2.9});
  PushRow(ctx, "double", {1.5});
  PushRow(ctx, "double", {1});
  ASSERT_EQ(CallOp(ctx, kOpOnes, 3), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 1}));
  // No argument, or an empty size vector: 1 x 1.
  ASSERT_EQ(CallOp(ctx, kOpRand, 0), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{1, 1}));
  PushArray(ctx, "double", {0, 0}, {});
  ASSERT_EQ(CallOp(ctx, kOpZeros, 1), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{1, 1}));
  EXPECT_EQ(EntryCount(ctx), 5);
}

TEST(ArrayFill, EmptyResultsKeepTheirDimensionsAndClass) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // zeros(2, 0) is 2 x 0 and zeros(0, 3) 0 x 3, so that size sees them.
  PushRow(ctx, "double", {2});
  PushRow(ctx, "double", {0});
  ASSERT_EQ(CallOp(ctx, kOpZeros, 2), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "double");
  EXPECT_EQ(a.dims, (Dims{2, 0}));
  PushRow(ctx, "double", {0});
  PushRow(ctx, "double", {3});
  ASSERT_EQ(CallOp(ctx, kOpZeros, 2), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{0, 3}));
  ASSERT_EQ(CallOp(ctx, kOpSize, 1, 3), kOk);
  EXPECT_EQ(TopScalar(ctx, 0), 0);
  EXPECT_EQ(TopScalar(ctx, 1), 3);
  EXPECT_EQ(TopScalar(ctx, 2), 0);
  // Negative and NaN sizes count as 0; a class name keeps its class.
  for (double x : {-1.0, double(NAN), 0.5}) {
    PushRow(ctx, "double", {x});
    ASSERT_EQ(CallOp(ctx, kOpZeros, 1), kOk);
    EXPECT_EQ(DimsAt(ctx), (Dims{0, 0}));
  }
  PushRow(ctx, "double", {2});
  PushRow(ctx, "double", {-4});
  PushText(ctx, "int8");
  ASSERT_EQ(CallOp(ctx, kOpZeros, 3), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "int8");
  EXPECT_EQ(a.dims, (Dims{2, 0}));
  PushRow(ctx, "double", {0});
  ASSERT_EQ(CallOp(ctx, kOpCell, 1), kOk);
  EXPECT_EQ(DescAt(ctx, 0)->word, kKindCell);
  Shape s;
  ASSERT_EQ(GetValueShape(ctx, 0, &s), kOk);
  EXPECT_EQ(s.count, 0);
  PushRow(ctx, "double", {3});
  PushRow(ctx, "double", {0});
  ASSERT_EQ(CallOp(ctx, kOpTrue, 2), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "logical");
  EXPECT_EQ(a.dims, (Dims{3, 0}));
}

TEST(ArrayFill, ClassesFillsAndLimits) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {2});
  PushRow(ctx, "double", {3});
  PushText(ctx, "uint8");
  ASSERT_EQ(CallOp(ctx, kOpOnes, 3), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "uint8");
  EXPECT_EQ(a.dims, (Dims{2, 3}));
  EXPECT_EQ(a.re, Values(6, 1));
  PushRow(ctx, "double", {2});
  PushRow(ctx, "double", {3});
  ASSERT_EQ(CallOp(ctx, kOpEye, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 0, 0, 0, 1, 0}));
  PushRow(ctx, "double", {2});
  PushText(ctx, "single");
  ASSERT_EQ(CallOp(ctx, kOpEye, 2), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "single");
  EXPECT_EQ(a.re, (Values{1, 0, 0, 1}));
  PushRow(ctx, "double", {2});
  ASSERT_EQ(CallOp(ctx, kOpCell, 1), kOk);
  Shape s;
  ASSERT_EQ(GetValueShape(ctx, 0, &s), kOk);
  EXPECT_EQ(s.count, 4);
  const int32_t base = EntryCount(ctx);

  // Refusals: the arguments stay for the loop's error path.
  PushRow(ctx, "double", {2});
  PushText(ctx, "float");
  EXPECT_EQ(CallOp(ctx, kOpOnes, 2), kErrUnknownOpt);
  Drop(ctx, 2);
  PushRow(ctx, "double", {2});
  PushText(ctx, "single");
  EXPECT_EQ(CallOp(ctx, kOpRand, 2), kErrWrongTypeOverload);
  Drop(ctx, 2);
  PushRow(ctx, "double", {2});
  PushRow(ctx, "double", {2});
  PushRow(ctx, "double", {2});
  // A failure leaves the sizes where they were, so that the builtin can run
  // again once the area has grown.
  const int32_t sizesAt = EntryCount(ctx);
  EXPECT_EQ(CallOp(ctx, kOpEye, 3), kErrBadSize);
  EXPECT_EQ(EntryCount(ctx), sizesAt);
  Drop(ctx, 3);
  PushRow(ctx, "double", {16384});
  EXPECT_EQ(CallOp(ctx, kOpZeros, 1), kErrObjTooLarge);
  Drop(ctx);
  // 16383 passes the size tests; only the data stack's room refuses it.
  PushRow(ctx, "double", {16383});
  EXPECT_EQ(CallOp(ctx, kOpZeros, 1), kErrDataOverflow);
  EXPECT_EQ(TopScalar(ctx), 16383);
  // As int8 the same count is more than a typed array holds.
  PushText(ctx, "int8");
  EXPECT_EQ(CallOp(ctx, kOpOnes, 2), kErrObjTooLarge);
  EXPECT_EQ(test::TopString(ctx), "int8");
  Drop(ctx, 2);
  PushRow(ctx, "double", {100000});
  PushRow(ctx, "double", {100000});
  EXPECT_EQ(CallOp(ctx, kOpZeros, 2), kErrObjTooLarge);
  Drop(ctx, 2);
  // A size that does not fit a dimension, even beside a zero.
  PushRow(ctx, "double", {3e9});
  PushRow(ctx, "double", {0});
  EXPECT_EQ(CallOp(ctx, kOpZeros, 2), kErrObjTooLarge);
  Drop(ctx, 2);
  // More than 16 sizes: zeros looks for an empty size first, true does not.
  Values sizes(17, 1);
  sizes[3] = 0;
  PushRow(ctx, "double", sizes);
  ASSERT_EQ(CallOp(ctx, kOpZeros, 1), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{0, 0}));
  PushRow(ctx, "double", sizes);
  EXPECT_EQ(CallOp(ctx, kOpTrue, 1), kErrObjTooLarge);
  Drop(ctx, 2);
  PushRow(ctx, "double", {2});
  PushText(ctx, "logical");
  EXPECT_EQ(CallOp(ctx, kOpTrue, 2), kErrWrongTypeOverload);
  Drop(ctx, 2);
  EXPECT_EQ(EntryCount(ctx), base);
}

TEST(RandomGenerator, SequenceAndStateOfAFreshEngine) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushText(ctx, "state");
  ASSERT_EQ(CallOp(ctx, kOpRand, 1), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 1}));
  EXPECT_EQ(ValuesAt(ctx), (Values{0, 1}));
  PushRow(ctx, "double", {1});
  PushRow(ctx, "double", {3});
  ASSERT_EQ(CallOp(ctx, kOpRand, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{0.2360050375573337, 0.26306433673016727, 0.2968806130811572}));
  // Set and read back; one word sets the xorshift word to 1 (rand) or 2
  // (randn); negative words keep their low 32 bits.
  PushText(ctx, "state");
  PushRow(ctx, "double", {5, 7});
  ASSERT_EQ(CallOp(ctx, kOpRand, 2), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{0, 0}));
  PushText(ctx, "state");
  ASSERT_EQ(CallOp(ctx, kOpRand, 1), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{5, 7}));
  PushText(ctx, "seed");
  PushRow(ctx, "double", {-1});
  ASSERT_EQ(CallOp(ctx, kOpRandn, 2), kOk);
  EXPECT_EQ(ctx->rng[kNormalState], 0xFFFFFFFFu);
  EXPECT_EQ(ctx->rng[kNormalState + 1], 2u);
  PushText(ctx, "state");
  PushRow(ctx, "double", {1, 2, 3});
  EXPECT_EQ(CallOp(ctx, kOpRand, 2), kErrBadSize);
  PushRow(ctx, "double", {1});
  EXPECT_EQ(CallOp(ctx, kOpRand, 3), kErrTooManyArgin);
}

TEST(RandomGenerator, UniformValuesLieInTheUnitIntervalAndStatesAreSeparate) {
  uint32_t state[2] = {12345, 678};
  for (int i = 0; i < 10000; i++) {
    const double u = NextUniform(state);
    ASSERT_GE(u, 0);
    ASSERT_LT(u, 1);
  }
  // A xorshift word of 0 stays 0: the LCG alone.
  uint32_t lcg[2] = {0, 0};
  EXPECT_EQ(NextUniform(lcg), 1013904223 * 0x1p-32);
  EXPECT_EQ(lcg[1], 0u);

  TestHost host;
  EngineContext* ctx = host.ctx();
  RandomNumber(ctx, 'n');
  EXPECT_EQ(ctx->rng[kUniformState], 0u);
  RandomNumber(ctx, 'u');
  EXPECT_NE(ctx->rng[kUniformState], 0u);
}

TEST(RandomGenerator, NormalNumbersRedrawAZeroUniform) {
  // This LCG word followed by a xorshift word of 0 draws exactly 0.
  constexpr uint32_t kZeroNext = 634785765;
  uint32_t probe[2] = {kZeroNext, 0};
  ASSERT_EQ(NextUniform(probe), 0);
  uint32_t state[2] = {kZeroNext, 0};
  const double x = NextNormal(state);
  EXPECT_TRUE(std::isfinite(x));
  // The same as drawing from the state after the zero.
  uint32_t after[2] = {probe[0], probe[1]};
  EXPECT_EQ(x, NextNormal(after));
  // Through randn, from the state set as two words.
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushText(ctx, "state");
  PushRow(ctx, "double", {kZeroNext, 0});
  ASSERT_EQ(CallOp(ctx, kOpRandn, 2), kOk);
  ASSERT_EQ(CallOp(ctx, kOpRandn, 0), kOk);
  EXPECT_EQ(TopScalar(ctx), x);
}

TEST(SpecialValues, ValuesClassesAndShapes) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(CallOp(ctx, kOpRealmax, 0), kOk);
  EXPECT_EQ(TopScalar(ctx), 1.7976931348623157e308);
  ASSERT_EQ(CallOp(ctx, kOpRealmin, 0), kOk);
  EXPECT_EQ(TopScalar(ctx), 2.2250738585072014e-308);
  ASSERT_EQ(CallOp(ctx, kOpInf, 0), kOk);
  EXPECT_EQ(TopScalar(ctx), std::numeric_limits<double>::infinity());
  PushRow(ctx, "double", {2});
  PushText(ctx, "single");
  ASSERT_EQ(CallOp(ctx, kOpInf, 2), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "single");
  EXPECT_EQ(a.dims, (Dims{2, 2}));
  EXPECT_TRUE(std::isinf(a.re[3]));
  PushText(ctx, "single");
  ASSERT_EQ(CallOp(ctx, kOpRealmax, 1), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "single");
  EXPECT_EQ(a.re[0], double(std::numeric_limits<float>::max()));
  PushRow(ctx, "double", {1});
  PushRow(ctx, "double", {2});
  ASSERT_EQ(CallOp(ctx, kOpNan, 2), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.dims, (Dims{1, 2}));
  EXPECT_TRUE(std::isnan(a.re[1]));
  PushText(ctx, "x");
  EXPECT_EQ(CallOp(ctx, kOpNan, 1), kErrUnknownOpt);
}

TEST(Eps, SpacingOfDoublesAndSingles) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(CallOp(ctx, kOpEps, 0), kOk);
  EXPECT_EQ(TopScalar(ctx), 0x1p-52);
  PushRow(ctx, "double", {1, 2, -1, 0, 1.99, 1e300});
  ASSERT_EQ(CallOp(ctx, kOpEps, 1), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{0x1p-52, 0x1p-51, -0x1p-52, 0x1p-1074, 0x1p-52,
                                   std::nextafter(1e300, INFINITY) - 1e300}));
  PushRow(ctx, "double", {INFINITY});
  ASSERT_EQ(CallOp(ctx, kOpEps, 1), kOk);
  EXPECT_TRUE(std::isnan(ValuesAt(ctx)[0]));
  PushText(ctx, "single");
  ASSERT_EQ(CallOp(ctx, kOpEps, 1), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "single");
  EXPECT_EQ(a.re[0], 0x1p-23);
  PushArray(ctx, "single", {1, 2}, {1, -4});
  ASSERT_EQ(CallOp(ctx, kOpEps, 1), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{0x1p-23, -0x1p-21}));
  PushText(ctx, "half");
  EXPECT_EQ(CallOp(ctx, kOpEps, 1), kErrUnknownOpt);
  PushArray(ctx, "int8", {1, 1}, {1});
  EXPECT_EQ(CallOp(ctx, kOpEps, 1), kErrWrongType);
}

TEST(IntegerLiterals, WidthSignednessAndSignExtension) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(PushIntegerScalar(ctx, 1, false, 300), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "int8");
  EXPECT_EQ(a.re[0], 44);
  ASSERT_EQ(PushIntegerScalar(ctx, 8, true, -1), kOk);
  NumericView v = ViewNumeric(ctx, 0);
  EXPECT_EQ(v.code, kCodeUInt64);
  EXPECT_EQ(Load<uint64_t>(v.elements), ~uint64_t{0});
  ASSERT_EQ(PushIntegerScalar(ctx, 2, true, -1), kOk);
  EXPECT_EQ(ValuesAt(ctx)[0], 65535);
}

TEST(SizeQueries, SizeLengthNumelNdims) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto push = [&]() { PushArray(ctx, "double", {2, 3, 4}, Values(24, 0)); };
  push();
  ASSERT_EQ(CallOp(ctx, kOpSize, 1, 1), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{2, 3, 4}));
  // Several outputs do not fold the trailing dimensions.
  push();
  ASSERT_EQ(CallOp(ctx, kOpSize, 1, 2), kOk);
  EXPECT_EQ(TopScalar(ctx, 0), 2);
  EXPECT_EQ(TopScalar(ctx, 1), 3);
  push();
  ASSERT_EQ(CallOp(ctx, kOpNdims), kOk);
  EXPECT_EQ(TopScalar(ctx), 3);
  push();
  ASSERT_EQ(CallOp(ctx, kOpNumel), kOk);
  EXPECT_EQ(TopScalar(ctx), 24);
  push();
  PushRow(ctx, "double", {5});
  ASSERT_EQ(CallOp(ctx, kOpSize, 2, 1), kOk);
  EXPECT_EQ(TopScalar(ctx), 1);
  PushEmptyArray(ctx, "double", {0, 3});
  ASSERT_EQ(CallOp(ctx, kOpLength), kOk);
  EXPECT_EQ(TopScalar(ctx), 3);
  PushEmptyArray(ctx, "double", {0, 3});
  PushRow(ctx, "double", {4});
  ASSERT_EQ(CallOp(ctx, kOpSize, 2, 1), kOk);
  EXPECT_EQ(TopScalar(ctx), 0);
  // A list counts its items; a structure is one element.
  PushRow(ctx, "double", {1});
  PushText(ctx, "a");
  ASSERT_EQ(PushListFromEntries(ctx, 2, false, nullptr, 0), kOk);
  ASSERT_EQ(CallOp(ctx, kOpSize, 1, 1), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 2}));
  PushRow(ctx, "double", {1});
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, "f", -1), kOk);
  ASSERT_EQ(CallOp(ctx, kOpLength), kOk);
  EXPECT_EQ(TopScalar(ctx), 1);
  const int32_t base = EntryCount(ctx);
  PushRow(ctx, "double", {1});
  PushRow(ctx, "double", {0});
  EXPECT_EQ(CallOp(ctx, kOpSize, 2, 1), kErrBadDim);
  EXPECT_EQ(CallOp(ctx, kOpSize, 2, 2), kErrTooManyArgout);
  Drop(ctx, 2);
  ASSERT_EQ(PushTypedEntry(ctx, kKindFuncRef, 8, nullptr), kOk);
  EXPECT_EQ(CallOp(ctx, kOpNdims), kErrWrongTypeOverload);
  EXPECT_EQ(CallOp(ctx, kOpNumel), kErrWrongTypeOverload);
  EXPECT_EQ(CallOp(ctx, kOpSize, 1, 1), kErrWrongTypeOverload);
  Drop(ctx);
  EXPECT_EQ(EntryCount(ctx), base);
}

TEST(SizeQueries, Isempty) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto isempty = [&]() {
    EXPECT_EQ(CallOp(ctx, kOpIsempty), kOk);
    NumericView v = ViewNumeric(ctx, 0);
    EXPECT_EQ(v.cls, ValueClass::kLogical);
    const bool r = v.elements[0] != 0;
    Drop(ctx);
    return r;
  };
  PushEmptyArray(ctx, "double", {0, 3});
  EXPECT_TRUE(isempty());
  PushRow(ctx, "double", {1});
  EXPECT_FALSE(isempty());
  ASSERT_EQ(PushListFromEntries(ctx, 0, false, nullptr, 0), kOk);
  EXPECT_TRUE(isempty());
  const int32_t dims[2] = {0, 0};
  ASSERT_EQ(PushNewCellArray(ctx, 2, dims), kOk);
  EXPECT_TRUE(isempty());
  PushText(ctx, "");
  EXPECT_TRUE(isempty());
  PushArray(ctx, "int16", {1, 2}, {1, 2});
  EXPECT_FALSE(isempty());
  ASSERT_EQ(PushTypedEntry(ctx, kKindInline, 8, nullptr), kOk);
  EXPECT_EQ(CallOp(ctx, kOpIsempty), kErrWrongTypeOverload);
}

TEST(AnyAll, AlongTheFirstNonSingletonDimensionOrAGivenOne) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto truth = [&]() {
    ArrayValue a = ReadArray(ctx);
    EXPECT_EQ(a.cls, "logical");
    return a.re;
  };
  PushArray(ctx, "double", {0, 0}, {});
  ASSERT_EQ(CallOp(ctx, kOpAny, 1), kOk);
  EXPECT_EQ(truth(), (Values{0}));
  PushEmptyArray(ctx, "double", {0, 3});
  PushRow(ctx, "double", {2});
  ASSERT_EQ(CallOp(ctx, kOpAll, 2), kOk);
  EXPECT_EQ(truth(), (Values{1}));
  PushRow(ctx, "double", {NAN});
  ASSERT_EQ(CallOp(ctx, kOpAny, 1), kOk);
  EXPECT_EQ(truth(), (Values{1}));
  PushArray(ctx, "double", {2, 2}, {1, 0, 1, 1});
  ASSERT_EQ(CallOp(ctx, kOpAll, 1), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{1, 2}));
  EXPECT_EQ(truth(), (Values{1, 0}));
  PushArray(ctx, "double", {2, 2}, {0, 0, 0, -0.0});
  PushRow(ctx, "double", {2});
  ASSERT_EQ(CallOp(ctx, kOpAny, 2), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 1}));
  EXPECT_EQ(truth(), (Values{0, 0}));
  // A dimension beyond the value's: each element on its own.
  PushArray(ctx, "double", {2, 2}, {1, 0, 2, 3});
  PushRow(ctx, "double", {5});
  ASSERT_EQ(CallOp(ctx, kOpAll, 2), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 2}));
  EXPECT_EQ(truth(), (Values{1, 0, 1, 1}));
  // Along the third dimension of a 2 x 1 x 2 array; complex and integer
  // elements.
  PushArray(ctx, "double", {2, 1, 2}, {0, 0, 0, 0}, {0, 1, 0, 0});
  ASSERT_EQ(CallOp(ctx, kOpAny, 1), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{1, 1, 2}));
  EXPECT_EQ(truth(), (Values{1, 0}));
  PushArray(ctx, "int32", {1, 3}, {0, 5, 0});
  ASSERT_EQ(CallOp(ctx, kOpAny, 1), kOk);
  EXPECT_EQ(truth(), (Values{1}));
  PushRow(ctx, "double", {1});
  PushRow(ctx, "double", {0});
  EXPECT_EQ(CallOp(ctx, kOpAny, 2), kErrBadDim);
}

TEST(ComplexAndImag, PartsOfComplexValues) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {1, 2});
  PushRow(ctx, "double", {0});
  ASSERT_EQ(CallOp(ctx, kOpComplex), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_FALSE(a.im.empty());  // even with a zero imaginary part
  EXPECT_EQ(a.re, (Values{1, 2}));
  EXPECT_EQ(a.im, (Values{0, 0}));
  ASSERT_EQ(CallOp(ctx, kOpImag), kOk);
  a = ReadArray(ctx);
  EXPECT_TRUE(a.im.empty());
  EXPECT_EQ(a.re, (Values{0, 0}));
  PushArray(ctx, "double", {1, 2, 2}, {1, 2, 3, 4}, {5, 6, 7, 8});
  ASSERT_EQ(CallOp(ctx, kOpImag), kOk);
  a = ReadArray(ctx);
  EXPECT_TRUE(a.im.empty());
  EXPECT_EQ(a.dims, (Dims{1, 2, 2}));
  EXPECT_EQ(a.re, (Values{5, 6, 7, 8}));
  PushArray(ctx, "int8", {1, 1}, {3});
  PushRow(ctx, "double", {1, 2, 3});
  ASSERT_EQ(CallOp(ctx, kOpComplex), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.re, (Values{3, 3, 3}));
  EXPECT_EQ(a.im, (Values{1, 2, 3}));
  PushArray(ctx, "double", {2, 3}, Values(6, 1));
  PushArray(ctx, "double", {3, 2}, Values(6, 1));
  EXPECT_EQ(CallOp(ctx, kOpComplex), kErrIncompSize);
  PushArray(ctx, "int8", {1, 1}, {3});
  EXPECT_EQ(CallOp(ctx, kOpImag), kErrWrongTypeOverload);
}

TEST(JoinLists, ListsAndCellsBecomeOneList) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // join({1, 2}, {3}) with the first a cell array and the second a list.
  const int32_t dims[2] = {1, 2};
  ASSERT_EQ(PushNewCellArray(ctx, 2, dims), kOk);
  PushRow(ctx, "double", {3});
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, nullptr, 0), kOk);
  ASSERT_EQ(CallOp(ctx, kOpJoin, 2), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindList);
  EXPECT_EQ(parts.elements, 3);
  ASSERT_EQ(GetListElement(ctx, 0, 3), kOk);
  EXPECT_EQ(TopScalar(ctx), 3);
  Drop(ctx, 2);
  ASSERT_EQ(CallOp(ctx, kOpJoin, 0), kOk);
  EXPECT_TRUE(IsListValue(ctx, 0));
  PushRow(ctx, "double", {1});
  EXPECT_EQ(CallOp(ctx, kOpJoin, 2), kErrWrongTypeOverload);
  Drop(ctx, 2);

  // The list-building instruction: 10, 20 and then the items of {30, 40}.
  PushRow(ctx, "double", {10});
  PushRow(ctx, "double", {20});
  PushRow(ctx, "double", {30});
  PushRow(ctx, "double", {40});
  ASSERT_EQ(PushListFromEntries(ctx, 2, false, nullptr, 0), kOk);
  ASSERT_EQ(ConcatenateValues(ctx, 3), kOk);
  EXPECT_EQ(EntryCount(ctx), 1);
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.elements, 4);
  for (int32_t i = 1; i <= 4; i++) {
    ASSERT_EQ(GetListElement(ctx, 0, i), kOk);
    EXPECT_EQ(TopScalar(ctx), 10.0 * i);
    Drop(ctx);
  }
}

}  // namespace
}  // namespace vke
