// Reductions and statistics along a dimension, running sums and products,
// and min and max.
#include <gtest/gtest.h>

#include <cmath>

#include "bytecode/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/builtin_calls.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using namespace test;

class Reductions : public ::testing::Test {
 protected:
  // op(x, more...) where the extra arguments are real scalars.
  ArrayValue Run(int32_t op, int32_t rows, int32_t cols, const Values& x, const Values& more = {}) {
    PushArray(ctx_, "double", {rows, cols}, x);
    for (double m : more) PushRow(ctx_, "double", {m});
    EXPECT_EQ(CallOp(ctx_, op, 1 + static_cast<int32_t>(more.size())), kOk);
    ArrayValue a = ReadArray(ctx_);
    Drop(ctx_);
    return a;
  }
  TestHost host_;
  EngineContext* ctx_ = host_.ctx();
};

TEST_F(Reductions, EmptyArgumentsAndSingletonDimensions) {
  EXPECT_EQ(Run(kOpSum, 0, 0, {}).re, (Values{0}));
  EXPECT_EQ(Run(kOpProd, 0, 0, {}).re, (Values{1}));
  EXPECT_TRUE(std::isnan(Run(kOpMean, 0, 0, {}).re[0]));
  EXPECT_TRUE(std::isnan(Run(kOpKurtosis, 0, 3, {}).re[0]));
  EXPECT_EQ(Run(kOpSum, 0, 0, {}, {1}).dims, (Dims{0, 0}));
  // sum, prod and mean along a dimension of one element return x itself.
  EXPECT_EQ(Run(kOpSum, 1, 3, {1, 2, 3}, {1}).re, (Values{1, 2, 3}));
  EXPECT_EQ(Run(kOpMean, 1, 3, {1, 2, 3}, {3}).re, (Values{1, 2, 3}));
  EXPECT_TRUE(std::isnan(Run(kOpVar, 1, 1, {5}).re[0]));
  EXPECT_EQ(Run(kOpVar, 1, 3, {1, 2, 3}, {1, 1}).re, (Values{0, 0, 0}));
}

TEST_F(Reductions, AlongDimensions) {
  EXPECT_EQ(Run(kOpSum, 2, 2, {1, 2, 3, 4}).re, (Values{4, 6}));
  ArrayValue a = Run(kOpSum, 2, 2, {1, 2, 3, 4}, {2});
  EXPECT_EQ(a.dims, (Dims{2, 1}));
  EXPECT_EQ(a.re, (Values{3, 7}));
  EXPECT_EQ(Run(kOpProd, 1, 4, {1, 2, 3, 4}).re, (Values{24}));
  EXPECT_EQ(Run(kOpMean, 2, 3, {1, 2, 3, 5, 6, 7}).re, (Values{3, 4, 5}));
  // Along the third dimension of a 2 x 2 x 2 array: that dimension goes.
  PushArray(ctx_, "double", {2, 2, 2}, {1, 2, 3, 4, 10, 20, 30, 40});
  PushRow(ctx_, "double", {3});
  ASSERT_EQ(CallOp(ctx_, kOpSum, 2), kOk);
  EXPECT_EQ(DimsAt(ctx_), (Dims{2, 2}));
  EXPECT_EQ(ValuesAt(ctx_), (Values{11, 22, 33, 44}));
  // Complex sums and products.
  PushArray(ctx_, "double", {1, 2}, {1, 0}, {1, 1});
  ASSERT_EQ(CallOp(ctx_, kOpProd, 1), kOk);
  a = ReadArray(ctx_);
  EXPECT_EQ(a.re, (Values{-1}));
  EXPECT_EQ(a.im, (Values{1}));
  PushArray(ctx_, "double", {1, 1}, {1});
  PushRow(ctx_, "double", {0});
  EXPECT_EQ(CallOp(ctx_, kOpSum, 2), kErrBadDim);
  Drop(ctx_, 2);
  PushArray(ctx_, "int8", {1, 2}, {1, 2});
  EXPECT_EQ(CallOp(ctx_, kOpSum, 1), kErrWrongTypeOverload);
  Drop(ctx_);
  PushArray(ctx_, "logical", {2, 2}, {1, 1, 1, 1});
  EXPECT_EQ(CallOp(ctx_, kOpSum, 1), kErrWrongTypeOverload);
}

TEST_F(Reductions, Statistics) {
  const Values x = {1, 2, 3, 4};
  EXPECT_DOUBLE_EQ(Run(kOpVar, 1, 4, x).re[0], 5.0 / 3);
  EXPECT_EQ(Run(kOpVar, 1, 4, x, {1}).re[0], 1.25);
  EXPECT_DOUBLE_EQ(Run(kOpStd, 1, 4, x, {0, 2}).re[0], std::sqrt(5.0 / 3));
  EXPECT_EQ(Run(kOpVar, 2, 2, x, {0, 1}).re, (Values{2, 2}));
  EXPECT_EQ(Run(kOpMoment, 1, 4, x, {0}).re[0], 1);
  EXPECT_EQ(Run(kOpMoment, 1, 4, x, {1}).re[0], 0);
  EXPECT_EQ(Run(kOpMoment, 1, 4, x, {2}).re[0], 1.25);
  EXPECT_EQ(Run(kOpMoment, 1, 3, {0, 0, 3}, {3}).re[0], (-1.0 - 1 + 8) / 3);
  EXPECT_DOUBLE_EQ(Run(kOpKurtosis, 1, 4, x).re[0], 1.64);
  EXPECT_EQ(Run(kOpSkewness, 1, 4, x).re[0], 0);
  EXPECT_DOUBLE_EQ(Run(kOpSkewness, 1, 3, {0, 0, 3}).re[0], 2 / std::sqrt(8.0));
  PushRow(ctx_, "double", {1, 2});
  PushRow(ctx_, "double", {-1});
  EXPECT_EQ(CallOp(ctx_, kOpMoment, 2), kErrOutOfRangeArg);
  Drop(ctx_, test::EntryCount(ctx_));
  // Complex data: var and std are real, the moments complex.
  PushArray(ctx_, "double", {1, 2}, {0, 0}, {1, -1});
  ASSERT_EQ(CallOp(ctx_, kOpStd, 1), kOk);
  ArrayValue a = ReadArray(ctx_);
  EXPECT_TRUE(a.im.empty());
  EXPECT_DOUBLE_EQ(a.re[0], std::sqrt(2.0));
  PushArray(ctx_, "double", {1, 2}, {0, 0}, {1, -1});
  PushRow(ctx_, "double", {2});
  ASSERT_EQ(CallOp(ctx_, kOpMoment, 2), kOk);
  a = ReadArray(ctx_);
  EXPECT_FALSE(a.im.empty());
  EXPECT_DOUBLE_EQ(a.re[0], -1);
  EXPECT_NEAR(a.im[0], 0, 1e-15);
  PushArray(ctx_, "double", {1, 3}, {0, 0, 0}, {0, 0, 3});
  ASSERT_EQ(CallOp(ctx_, kOpSkewness, 1), kOk);
  a = ReadArray(ctx_);
  // m2 = -2, m3 = -2i: -2i / (-2)^(3/2) = -2i / -2.828i.
  EXPECT_NEAR(a.re[0], 1 / std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(a.im[0], 0, 1e-15);
}

TEST_F(Reductions, CumulativeSumsAndProducts) {
  EXPECT_EQ(Run(kOpCumsum, 1, 3, {1, 2, 3}).re, (Values{1, 3, 6}));
  EXPECT_EQ(Run(kOpCumprod, 2, 2, {1, 2, 3, 4}).re, (Values{1, 2, 3, 8}));
  EXPECT_EQ(Run(kOpCumsum, 2, 2, {1, 2, 3, 4}, {2}).re, (Values{1, 3, 3, 7}));
  EXPECT_EQ(Run(kOpCumsum, 2, 2, {1, 2, 3, 4}, {3}).re, (Values{1, 2, 3, 4}));
  PushArray(ctx_, "double", {1, 2}, {0, 0}, {1, 1});
  ASSERT_EQ(CallOp(ctx_, kOpCumprod, 1), kOk);
  ArrayValue a = ReadArray(ctx_);
  EXPECT_EQ(a.re, (Values{0, -1}));
  EXPECT_EQ(a.im, (Values{1, 0}));
}

// Complex running sums and products along each dimension of a 2 x 3 matrix
// [1+2i 3-1i 2; -1i 2+2i 1-1i] (rows stored one after the other).
TEST_F(Reductions, ComplexCumulativeAlongBothDimensions) {
  const struct {
    int32_t op;
    double dim;
    Values re, im;
  } cases[] = {
      {kOpCumsum, 1, {1, 3, 2, 1, 5, 3}, {2, -1, 0, 1, 1, -1}},
      {kOpCumsum, 2, {1, 4, 6, 0, 2, 3}, {2, 1, 1, -1, 1, 0}},
      {kOpCumprod, 1, {1, 3, 2, 2, 8, 2}, {2, -1, 0, -1, 4, -2}},
      {kOpCumprod, 2, {1, 5, 10, 0, 2, 0}, {2, 5, 10, -1, -2, -4}},
  };
  for (const auto& c : cases) {
    PushArray(ctx_, "double", {2, 3}, {1, 3, 2, 0, 2, 1}, {2, -1, 0, -1, 2, -1});
    PushRow(ctx_, "double", {c.dim});
    ASSERT_EQ(CallOp(ctx_, c.op, 2), kOk);
    const ArrayValue a = ReadArray(ctx_);
    Drop(ctx_);
    EXPECT_EQ(a.re, c.re) << c.op << " along " << c.dim;
    EXPECT_EQ(a.im, c.im) << c.op << " along " << c.dim;
  }
}

TEST_F(Reductions, MinMaxOfOneArray) {
  // The index output is the second output: the value ends on top.
  PushRow(ctx_, "double", {1, NAN, 3});
  ASSERT_EQ(CallOp(ctx_, kOpMax, 1, 2), kOk);
  EXPECT_EQ(TopScalar(ctx_, 0), 3);
  EXPECT_EQ(TopScalar(ctx_, 1), 3);
  Drop(ctx_, 2);
  PushRow(ctx_, "double", {NAN, NAN});
  ASSERT_EQ(CallOp(ctx_, kOpMin, 1, 2), kOk);
  EXPECT_TRUE(std::isnan(ValuesAt(ctx_, 0)[0]));
  EXPECT_EQ(TopScalar(ctx_, 1), 1);
  Drop(ctx_, 2);
  PushRow(ctx_, "double", {2, 5, 5});
  ASSERT_EQ(CallOp(ctx_, kOpMax, 1, 2), kOk);
  EXPECT_EQ(TopScalar(ctx_, 1), 2);
  Drop(ctx_, 2);
  EXPECT_EQ(Run(kOpMin, 2, 3, {4, 2, 6, 1, 5, 3}).re, (Values{1, 2, 3}));
  // max([1+i, -2]) is -2 by the squared modulus.
  PushArray(ctx_, "double", {1, 2}, {1, -2}, {1, 0});
  ASSERT_EQ(CallOp(ctx_, kOpMax, 1), kOk);
  ArrayValue a = ReadArray(ctx_);
  EXPECT_EQ(a.re, (Values{-2}));
  EXPECT_EQ(a.im, (Values{0}));
  // min('bca') is a uint16 97; logical gives uint8; single stays single.
  PushText(ctx_, "bca");
  ASSERT_EQ(CallOp(ctx_, kOpMin, 1), kOk);
  a = ReadArray(ctx_);
  EXPECT_EQ(a.cls, "uint16");
  EXPECT_EQ(a.re, (Values{97}));
  PushArray(ctx_, "logical", {1, 2}, {0, 1});
  ASSERT_EQ(CallOp(ctx_, kOpMax, 1), kOk);
  EXPECT_EQ(ReadArray(ctx_).cls, "uint8");
  PushArray(ctx_, "int64", {2, 1}, {-5, 3});
  ASSERT_EQ(CallOp(ctx_, kOpMin, 1, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx_, 0), (Values{-5}));
  EXPECT_EQ(ValuesAt(ctx_, 1), (Values{1}));
  Drop(ctx_, 2);
  // (x, [], dim); a dimension of length 0 gives no slice: 3 x 0 results.
  PushArray(ctx_, "double", {2, 2}, {1, 4, 3, 2});
  PushArray(ctx_, "double", {0, 0}, {});
  PushRow(ctx_, "double", {2});
  ASSERT_EQ(CallOp(ctx_, kOpMax, 3, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx_, 0), (Values{4, 3}));
  EXPECT_EQ(ValuesAt(ctx_, 1), (Values{2, 1}));
  Drop(ctx_, 2);
  PushEmptyArray(ctx_, "double", {3, 0});
  PushArray(ctx_, "double", {0, 0}, {});
  PushRow(ctx_, "double", {2});
  ASSERT_EQ(CallOp(ctx_, kOpMax, 3, 2), kOk);
  EXPECT_EQ(DimsAt(ctx_, 0), (Dims{3, 0}));
  EXPECT_EQ(DimsAt(ctx_, 1), (Dims{3, 0}));
  Drop(ctx_, 2);
  PushArray(ctx_, "double", {0, 0}, {});
  ASSERT_EQ(CallOp(ctx_, kOpMax, 1), kOk);
  EXPECT_EQ(DimsAt(ctx_), (Dims{0, 0}));
  Drop(ctx_);
  PushRow(ctx_, "double", {1, 2});
  PushRow(ctx_, "double", {1, 2});
  PushRow(ctx_, "double", {1});
  EXPECT_EQ(CallOp(ctx_, kOpMin, 3), kErrBadSize);
}

TEST_F(Reductions, MinMaxOfTwoArrays) {
  PushRow(ctx_, "double", {3});
  PushRow(ctx_, "double", {NAN});
  ASSERT_EQ(CallOp(ctx_, kOpMax, 2), kOk);
  EXPECT_EQ(TopScalar(ctx_), 3);
  PushRow(ctx_, "double", {NAN});
  PushRow(ctx_, "double", {1, 5, 2});
  ASSERT_EQ(CallOp(ctx_, kOpMin, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx_), (Values{1, 5, 2}));
  PushRow(ctx_, "double", {4, 1, 2});
  PushRow(ctx_, "double", {3});
  ASSERT_EQ(CallOp(ctx_, kOpMin, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx_), (Values{3, 1, 2}));
  // One double operand makes the result double.
  PushArray(ctx_, "int8", {1, 1}, {-5});
  PushRow(ctx_, "double", {3});
  ASSERT_EQ(CallOp(ctx_, kOpMax, 2), kOk);
  ArrayValue a = ReadArray(ctx_);
  EXPECT_EQ(a.cls, "double");
  EXPECT_EQ(a.re, (Values{3}));
  // Integers of two widths: the wider class, compared by value.
  PushArray(ctx_, "uint8", {1, 2}, {200, 7});
  PushArray(ctx_, "int16", {1, 2}, {-1, 9});
  ASSERT_EQ(CallOp(ctx_, kOpMax, 2), kOk);
  a = ReadArray(ctx_);
  EXPECT_EQ(a.cls, "int16");
  EXPECT_EQ(a.re, (Values{200, 9}));
  // Complex pairs by the squared modulus; a real choice has imaginary 0.
  PushArray(ctx_, "double", {1, 2}, {3, 0}, {0, 2});
  PushRow(ctx_, "double", {-2, 1});
  ASSERT_EQ(CallOp(ctx_, kOpMin, 2), kOk);
  a = ReadArray(ctx_);
  EXPECT_EQ(a.re, (Values{-2, 1}));
  EXPECT_EQ(a.im, (Values{0, 0}));
  PushRow(ctx_, "double", {1, 2});
  PushRow(ctx_, "double", {1, 2, 3});
  EXPECT_EQ(CallOp(ctx_, kOpMin, 2), kErrIncompSize);
  EXPECT_EQ(CallOp(ctx_, kOpMin, 2, 2), kErrTooManyArgout);
}

}  // namespace
}  // namespace vke
