// Convolution, polynomial division and sums, and the digital filter.
#include <gtest/gtest.h>

#include "builtins/builtin.hpp"
#include "tests/builtins/stack_values.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::ArrayValue;
using test::Dims;
using test::Elems;
using test::EntryCount;
using test::ExpectNear;
using test::PushArray;
using test::PushColumn;
using test::PushRow;
using test::ReadArray;
using test::TestHost;

const Elems kMagic4{16, 2, 3, 13, 5, 11, 10, 8, 9, 7, 6, 12, 4, 14, 15, 1};

class SignalTest : public ::testing::Test {
 protected:
  // Calls the builtin on the entries pushed; on success the single result
  // (or the first of two) is read and every entry dropped.
  ErrCode Run(BuiltinFn fn, int32_t nargin, int32_t nargout = 1) {
    last_ = fn(ctx_, nargin, nargout, 0);
    if (last_ == kOk) {
      result_ = ReadArray(ctx_);
      if (nargout >= 2) second_ = ReadArray(ctx_, 1);
      EXPECT_EQ(EntryCount(ctx_), nargout >= 2 ? 2 : 1);
    }
    Drop(ctx_, EntryCount(ctx_));
    return last_;
  }

  TestHost host_;
  EngineContext* ctx_ = host_.ctx();
  ErrCode last_ = kOk;
  ArrayValue result_, second_;
};

TEST_F(SignalTest, ConvAlongRowsOrColumns) {
  PushRow(ctx_, "double", {1, 2});
  PushRow(ctx_, "double", {1, 3});
  ASSERT_EQ(Run(ConvBuiltin, 2), kOk);
  EXPECT_EQ(result_.dims, (Dims{1, 3}));
  EXPECT_EQ(result_.re, (Elems{1, 5, 6}));

  PushColumn(ctx_, {1, 2});
  PushColumn(ctx_, {1, 3});
  ASSERT_EQ(Run(ConvBuiltin, 2), kOk);
  EXPECT_EQ(result_.dims, (Dims{3, 1}));

  // A row and a column run down the columns, the column serving each one.
  PushRow(ctx_, "double", {1, 2});
  PushColumn(ctx_, {1, 3});
  ASSERT_EQ(Run(ConvBuiltin, 2), kOk);
  EXPECT_EQ(result_.dims, (Dims{2, 2}));
  EXPECT_EQ(result_.re, (Elems{1, 2, 3, 6}));

  PushArray(ctx_, "double", {2, 2}, {1, 2, 3, 4});
  PushColumn(ctx_, {1, 1});
  ASSERT_EQ(Run(ConvBuiltin, 2), kOk);
  EXPECT_EQ(result_.re, (Elems{1, 2, 4, 6, 3, 4}));
  PushArray(ctx_, "double", {2, 2}, {1, 2, 3, 4});
  PushRow(ctx_, "double", {1, 1});
  PushRow(ctx_, "double", {2});
  ASSERT_EQ(Run(ConvBuiltin, 3), kOk);
  EXPECT_EQ(result_.dims, (Dims{2, 3}));
  EXPECT_EQ(result_.re, (Elems{1, 3, 2, 3, 7, 4}));

  // (1 + ix)(1 - ix) = 1 + x^2, the mixed terms cancelling.
  PushRow(ctx_, "double", {1, 0}, {0, 1});
  PushRow(ctx_, "double", {1, 0}, {0, -1});
  ASSERT_EQ(Run(ConvBuiltin, 2), kOk);
  EXPECT_EQ(result_.re, (Elems{1, 0, 1}));
  EXPECT_EQ(result_.im, (Elems{0, 0, 0}));

  ASSERT_EQ(PushEmptyMatrix(ctx_), kOk);
  PushRow(ctx_, "double", {1, 2});
  ASSERT_EQ(Run(ConvBuiltin, 2), kOk);
  EXPECT_EQ(result_.dims, (Dims{0, 0}));
}

TEST_F(SignalTest, ConvRefusesBadArguments) {
  PushArray(ctx_, "double", {2, 2}, {1, 2, 3, 4});
  PushArray(ctx_, "double", {2, 3}, {1, 2, 3, 4, 5, 6});
  EXPECT_EQ(Run(ConvBuiltin, 2), kErrIncompSize);
  for (auto [dim, code] : {std::pair{3.0, kErrBadDim}, {1.5, kErrNonIntArg}}) {
    PushRow(ctx_, "double", {1});
    PushRow(ctx_, "double", {1});
    PushRow(ctx_, "double", {dim});
    EXPECT_EQ(Run(ConvBuiltin, 3), code) << dim;
  }
  test::PushString(ctx_, "ab");
  PushRow(ctx_, "double", {1});
  EXPECT_EQ(Run(ConvBuiltin, 2), kErrWrongTypeOverload);
}

TEST_F(SignalTest, Conv2Shapes) {
  auto conv2 = [&](int32_t ra, int32_t ca, const Elems& a, int32_t rb, int32_t cb, const Elems& b,
                   const char* shape) {
    PushArray(ctx_, "double", {ra, ca}, a);
    PushArray(ctx_, "double", {rb, cb}, b);
    if (shape) test::PushString(ctx_, shape);
    return Run(Conv2Builtin, shape ? 3 : 2);
  };
  ASSERT_EQ(conv2(3, 3, Elems(9, 1), 2, 2, Elems(4, 1), nullptr), kOk);
  EXPECT_EQ(result_.dims, (Dims{4, 4}));
  EXPECT_EQ(result_.re, (Elems{1, 2, 2, 1, 2, 4, 4, 2, 2, 4, 4, 2, 1, 2, 2, 1}));
  ASSERT_EQ(conv2(3, 3, Elems(9, 1), 2, 2, Elems(4, 1), "valid"), kOk);
  EXPECT_EQ(result_.re, (Elems{4, 4, 4, 4}));
  ASSERT_EQ(conv2(2, 2, Elems(4, 1), 3, 3, Elems(9, 1), "v"), kOk);
  EXPECT_EQ(result_.dims, (Dims{0, 0}));

  // "same" keeps A's size; an odd kernel is centred, an even one takes the
  // leading part of the full result.
  ASSERT_EQ(conv2(4, 4, kMagic4, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 10}, "same"), kOk);
  EXPECT_EQ(result_.re, (Elems{109, 165, 140, 129, 236, 369, 328, 276, 212, 376, 439, 307, 197, 342,
                               365, 251}));
  ASSERT_EQ(conv2(4, 4, kMagic4, 2, 2, {1, 2, 3, 4}, "s"), kOk);
  EXPECT_EQ(result_.re, (Elems{16, 34, 7, 19, 53, 91, 49, 79, 24, 78, 94, 88, 31, 79, 89, 91}));

  // A complex kernel, against the numeric reference.
  PushArray(ctx_, "double", {4, 4}, kMagic4);
  PushArray(ctx_, "double", {2, 2}, {0, 2, 3, 4}, {1, 0, 0, -1});
  ASSERT_EQ(Run(Conv2Builtin, 2), kOk);
  EXPECT_EQ(result_.re, (Elems{0,  32, 4,  6,  26, 48, 80, 39, 71, 68,  15, 71, 88,
                               76, 56, 27, 65, 74, 90, 50, 12, 58, 101, 63, 4}));
  EXPECT_EQ(result_.im, (Elems{16, 2,  3, 13, 0, 5,  -5,  8, 5,  -13, 9,   2, -5,
                               2,  -8, 4, 5,  8, -5, -12, 0, -4, -14, -15, -1}));

  EXPECT_EQ(conv2(2, 2, Elems(4, 1), 1, 1, {1}, "FULL"), kErrUnknownOpt);
  EXPECT_EQ(conv2(2, 2, Elems(4, 1), 1, 1, {1}, "fu"), kErrUnknownOpt);
  ASSERT_EQ(PushEmptyMatrix(ctx_), kOk);
  PushRow(ctx_, "double", {1, 2});
  ASSERT_EQ(Run(Conv2Builtin, 2), kOk);
  EXPECT_EQ(result_.dims, (Dims{0, 0}));
}

TEST_F(SignalTest, PolynomialDivision) {
  PushRow(ctx_, "double", {1, 5, 6});
  PushRow(ctx_, "double", {1, 2});
  ASSERT_EQ(Run(DeconvBuiltin, 2, 2), kOk);
  EXPECT_EQ(result_.re, (Elems{1, 3}));
  EXPECT_EQ(second_.dims, (Dims{1, 1}));
  EXPECT_EQ(second_.re, Elems{0});

  // A longer divisor: no quotient, the dividend at the end of the remainder.
  PushRow(ctx_, "double", {1, 2});
  PushRow(ctx_, "double", {1, 2, 3, 4});
  ASSERT_EQ(Run(DeconvBuiltin, 2, 2), kOk);
  EXPECT_EQ(result_.dims, (Dims{0, 0}));
  EXPECT_EQ(second_.re, (Elems{0, 1, 2}));

  PushColumn(ctx_, {2, 7, 7, 2});
  PushRow(ctx_, "double", {2, 1});
  ASSERT_EQ(Run(DeconvBuiltin, 2, 2), kOk);
  EXPECT_EQ(result_.dims, (Dims{3, 1}));
  EXPECT_EQ(result_.re, (Elems{1, 3, 2}));
  EXPECT_EQ(second_.dims, (Dims{1, 1}));

  // (x + 2)(x + i) / (x + 2) with a complex dividend and a real divisor,
  // and a real dividend divided by a complex one.
  PushRow(ctx_, "double", {1, 2, 0}, {0, 1, 2});
  PushRow(ctx_, "double", {1, 2});
  ASSERT_EQ(Run(DeconvBuiltin, 2), kOk);
  EXPECT_EQ(result_.re, (Elems{1, 0}));
  EXPECT_EQ(result_.im, (Elems{0, 1}));
  PushRow(ctx_, "double", {1, 0, 1});
  PushRow(ctx_, "double", {1, 0}, {0, 1});
  ASSERT_EQ(Run(DeconvBuiltin, 2, 2), kOk);  // (x^2 + 1) / (x + i) = x - i
  ExpectNear(result_.re, {1, 0});
  ExpectNear(result_.im, {0, -1});
  ExpectNear(second_.re, {0});

  PushArray(ctx_, "double", {2, 2}, {1, 2, 3, 4});
  PushRow(ctx_, "double", {1});
  EXPECT_EQ(Run(DeconvBuiltin, 2), kErrIncompSize);
  PushRow(ctx_, "double", {1, 2});
  ASSERT_EQ(PushEmptyMatrix(ctx_), kOk);
  EXPECT_EQ(Run(DeconvBuiltin, 2), kErrIncompSize);
  test::PushString(ctx_, "ab");
  PushRow(ctx_, "double", {1});
  EXPECT_EQ(Run(DeconvBuiltin, 2), kErrWrongTypeOverload);
}

TEST_F(SignalTest, PolynomialSums) {
  PushRow(ctx_, "double", {1, 2, 3});
  PushRow(ctx_, "double", {1, 1});
  ASSERT_EQ(Run(AddpolBuiltin, 2), kOk);
  EXPECT_EQ(result_.re, (Elems{1, 3, 4}));
  PushRow(ctx_, "double", {1, 1});
  PushRow(ctx_, "double", {1, 2, 3});
  ASSERT_EQ(Run(AddpolBuiltin, 2), kOk);
  EXPECT_EQ(result_.re, (Elems{1, 3, 4}));
  PushRow(ctx_, "double", {1, 2});
  ASSERT_EQ(PushEmptyMatrix(ctx_), kOk);
  ASSERT_EQ(Run(AddpolBuiltin, 2), kOk);
  EXPECT_EQ(result_.re, (Elems{1, 2}));

  // Aligned at the bottom right; a size that neither operand has.
  PushArray(ctx_, "double", {2, 2}, {1, 2, 3, 4});
  PushRow(ctx_, "double", {1});
  ASSERT_EQ(Run(AddpolBuiltin, 2), kOk);
  EXPECT_EQ(result_.re, (Elems{1, 2, 3, 5}));
  PushColumn(ctx_, {1, 2});
  PushRow(ctx_, "double", {1, 2, 3});
  ASSERT_EQ(Run(AddpolBuiltin, 2), kOk);
  EXPECT_EQ(result_.dims, (Dims{2, 3}));
  EXPECT_EQ(result_.re, (Elems{0, 0, 1, 1, 2, 5}));
  PushRow(ctx_, "double", {1, 2});
  PushRow(ctx_, "double", {0}, {1});
  ASSERT_EQ(Run(AddpolBuiltin, 2), kOk);
  EXPECT_EQ(result_.re, (Elems{1, 2}));
  EXPECT_EQ(result_.im, (Elems{0, 1}));

  test::PushString(ctx_, "a");
  PushRow(ctx_, "double", {1});
  EXPECT_EQ(Run(AddpolBuiltin, 2), kErrWrongTypeOverload);
}

TEST_F(SignalTest, FilterResponsesAndState) {
  PushRow(ctx_, "double", {1});
  PushRow(ctx_, "double", {1, -0.5});
  PushRow(ctx_, "double", {1, 1, 1});
  ASSERT_EQ(Run(FilterBuiltin, 3), kOk);
  EXPECT_EQ(result_.re, (Elems{1, 1.5, 1.75}));
  PushRow(ctx_, "double", {2, 4});
  PushRow(ctx_, "double", {2});
  PushRow(ctx_, "double", {1, 2});
  ASSERT_EQ(Run(FilterBuiltin, 3), kOk);
  EXPECT_EQ(result_.re, (Elems{1, 4}));
  PushRow(ctx_, "double", {1});
  PushRow(ctx_, "double", {1, -0.5});
  PushRow(ctx_, "double", {1});
  ASSERT_EQ(Run(FilterBuiltin, 3, 2), kOk);
  EXPECT_EQ(second_.re, Elems{0.5});

  // The final state carries a signal across calls.
  PushRow(ctx_, "double", {1, 2, 3});
  PushRow(ctx_, "double", {2, 1});
  PushRow(ctx_, "double", {1, 2, 3, 4, 5});
  ASSERT_EQ(Run(FilterBuiltin, 3), kOk);
  Elems whole = result_.re;
  PushRow(ctx_, "double", {1, 2, 3});
  PushRow(ctx_, "double", {2, 1});
  PushRow(ctx_, "double", {1, 2});
  ASSERT_EQ(Run(FilterBuiltin, 3, 2), kOk);
  Elems first = result_.re, state = second_.re;
  EXPECT_EQ(second_.dims, (Dims{2, 1}));
  PushRow(ctx_, "double", {1, 2, 3});
  PushRow(ctx_, "double", {2, 1});
  PushRow(ctx_, "double", {3, 4, 5});
  PushColumn(ctx_, state);
  ASSERT_EQ(Run(FilterBuiltin, 4), kOk);
  first.insert(first.end(), result_.re.begin(), result_.re.end());
  EXPECT_EQ(first, whole);

  // Columns of a matrix are signals (reference values), and rows with dim 2.
  PushRow(ctx_, "double", {1, 2, 3});
  PushRow(ctx_, "double", {2, 1});
  PushArray(ctx_, "double", {3, 2}, {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(Run(FilterBuiltin, 3, 2), kOk);
  EXPECT_EQ(result_.re, (Elems{0.5, 1, 2.25, 3.5, 5.875, 8.25}));
  EXPECT_EQ(second_.dims, (Dims{2, 2}));
  EXPECT_EQ(second_.re, (Elems{6.5625, 7.875, 7.5, 9}));
  PushRow(ctx_, "double", {1, 1});
  PushRow(ctx_, "double", {1});
  PushArray(ctx_, "double", {2, 3}, {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(PushEmptyMatrix(ctx_), kOk);
  PushRow(ctx_, "double", {2});
  ASSERT_EQ(Run(FilterBuiltin, 5), kOk);
  EXPECT_EQ(result_.re, (Elems{1, 3, 5, 4, 9, 11}));
}

TEST_F(SignalTest, FilterClassesAndErrors) {
  // Single data stays single; a complex leading coefficient divides.
  PushRow(ctx_, "double", {1});
  PushRow(ctx_, "double", {1, -0.5});
  PushArray(ctx_, "single", {1, 3}, {1, 1, 1});
  ASSERT_EQ(Run(FilterBuiltin, 3), kOk);
  EXPECT_EQ(result_.cls, "single");
  EXPECT_EQ(result_.re, (Elems{1, 1.5, 1.75}));
  PushRow(ctx_, "double", {1});
  PushRow(ctx_, "double", {0}, {1});
  PushRow(ctx_, "double", {1, 2});
  ASSERT_EQ(Run(FilterBuiltin, 3), kOk);
  EXPECT_EQ(result_.re, (Elems{0, 0}));
  EXPECT_EQ(result_.im, (Elems{-1, -2}));

  auto filter = [&](const Elems& b, const Elems& x, const Elems& zi, double dim) {
    PushArray(ctx_, "double", {b.size() == 4 ? 2 : 1, b.size() == 4 ? 2 : int32_t(b.size())}, b);
    PushRow(ctx_, "double", {1});
    PushRow(ctx_, "double", x);
    PushColumn(ctx_, zi);
    PushRow(ctx_, "double", {dim});
    return Run(FilterBuiltin, 5);
  };
  EXPECT_EQ(filter({1, 2, 3, 4}, {1, 2}, {}, 1), kErrNonScalarArg);
  EXPECT_EQ(filter({1, 2}, {1, 2}, {1, 2}, 2), kErrIncompSize);
  EXPECT_EQ(filter({1, 2}, {1, 2}, {}, 1.5), kErrBadDim);
  EXPECT_EQ(filter({1, 2}, {1, 2}, {1}, 2), kOk);
  EXPECT_EQ(filter({1, 2}, {1, 2}, {}, 0), kOk);  // below 1: the first dimension above 1
  EXPECT_EQ(result_.re, (Elems{1, 4}));
  PushRow(ctx_, "double", {1});
  PushRow(ctx_, "double", {1});
  test::PushString(ctx_, "ab");
  EXPECT_EQ(Run(FilterBuiltin, 3), kErrWrongType);
}

}  // namespace
}  // namespace vke
