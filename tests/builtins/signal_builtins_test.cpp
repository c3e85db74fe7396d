// Convolution, polynomial division and sums, and the digital filter.
#include <gtest/gtest.h>

#include "tests/builtins/stack_values.hpp"

namespace vke {
namespace {

using namespace test;

const Elems kMagic4{16, 2, 3, 13, 5, 11, 10, 8, 9, 7, 6, 12, 4, 14, 15, 1};

class SignalTest : public ::testing::Test {
 protected:
  TestHost host_;
  EngineContext* ctx_ = host_.ctx();
};

TEST_F(SignalTest, Conv) {
  ArrayValue v = Result(ctx_, ConvBuiltin, {Row({1, 2}), Row({1, 3})});
  EXPECT_EQ(v.dims, (Dims{1, 3}));
  EXPECT_EQ(v.re, (Elems{1, 5, 6}));
  EXPECT_EQ(Result(ctx_, ConvBuiltin, {Col({1, 2}), Col({1, 3})}).dims, (Dims{3, 1}));
  // A row and a column run down the columns, the column serving each one.
  v = Result(ctx_, ConvBuiltin, {Row({1, 2}), Col({1, 3})});
  EXPECT_EQ(v.dims, (Dims{2, 2}));
  EXPECT_EQ(v.re, (Elems{1, 2, 3, 6}));
  EXPECT_EQ(Result(ctx_, ConvBuiltin, {Mat(2, 2, {1, 2, 3, 4}), Col({1, 1})}).re,
            (Elems{1, 2, 4, 6, 3, 4}));
  v = Result(ctx_, ConvBuiltin, {Mat(2, 2, {1, 2, 3, 4}), Row({1, 1}), Row({2})});
  EXPECT_EQ(v.dims, (Dims{2, 3}));
  EXPECT_EQ(v.re, (Elems{1, 3, 2, 3, 7, 4}));
  // (1 + ix)(1 - ix) = 1 + x^2: the mixed terms cancel.
  v = Result(ctx_, ConvBuiltin, {Row({1, 0}, {0, 1}), Row({1, 0}, {0, -1})});
  EXPECT_EQ(v.re, (Elems{1, 0, 1}));
  EXPECT_EQ(v.im, (Elems{0, 0, 0}));
  EXPECT_EQ(Result(ctx_, ConvBuiltin, {Row({}), Row({1, 2})}).dims, (Dims{0, 0}));

  EXPECT_EQ(Failure(ctx_, ConvBuiltin, {Mat(2, 2, {1, 2, 3, 4}), Mat(2, 3, {1, 2, 3, 4, 5, 6})}),
            kErrIncompSize);
  EXPECT_EQ(Failure(ctx_, ConvBuiltin, {Row({1}), Row({1}), Row({3})}), kErrBadDim);
  EXPECT_EQ(Failure(ctx_, ConvBuiltin, {Row({1}), Row({1}), Row({1.5})}), kErrNonIntArg);
  EXPECT_EQ(Failure(ctx_, ConvBuiltin, {Text("ab"), Row({1})}), kErrWrongTypeOverload);
}

TEST_F(SignalTest, Conv2Shapes) {
  auto conv2 = [&](Arg a, Arg b, const char* shape) {
    std::vector<Arg> args{a, b};
    if (shape) args.push_back(Text(shape));
    return Result(ctx_, Conv2Builtin, args);
  };
  const Arg ones3 = Mat(3, 3, Elems(9, 1)), ones2 = Mat(2, 2, Elems(4, 1));
  ArrayValue v = conv2(ones3, ones2, nullptr);
  EXPECT_EQ(v.dims, (Dims{4, 4}));
  EXPECT_EQ(v.re, (Elems{1, 2, 2, 1, 2, 4, 4, 2, 2, 4, 4, 2, 1, 2, 2, 1}));
  EXPECT_EQ(conv2(ones3, ones2, "valid").re, (Elems{4, 4, 4, 4}));
  EXPECT_EQ(conv2(ones2, ones3, "v").dims, (Dims{0, 0}));
  // "same" keeps A's size: an odd kernel centred (reference values), an even
  // one taking the leading part of the full result.
  EXPECT_EQ(
      conv2(Mat(4, 4, kMagic4), Mat(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 10}), "same").re,
      (Elems{109, 165, 140, 129, 236, 369, 328, 276, 212, 376, 439, 307, 197, 342, 365, 251}));
  EXPECT_EQ(conv2(Mat(4, 4, kMagic4), Mat(2, 2, {1, 2, 3, 4}), "s").re,
            (Elems{16, 34, 7, 19, 53, 91, 49, 79, 24, 78, 94, 88, 31, 79, 89, 91}));
  // A complex kernel (reference values).
  v = conv2(Mat(4, 4, kMagic4), Mat(2, 2, {0, 2, 3, 4}, {1, 0, 0, -1}), nullptr);
  EXPECT_EQ(v.re, (Elems{0,  32, 4,  6,  26, 48, 80, 39, 71, 68,  15, 71, 88,
                         76, 56, 27, 65, 74, 90, 50, 12, 58, 101, 63, 4}));
  EXPECT_EQ(v.im, (Elems{16, 2,  3, 13, 0, 5,  -5,  8, 5,  -13, 9,   2, -5,
                         2,  -8, 4, 5,  8, -5, -12, 0, -4, -14, -15, -1}));
  EXPECT_EQ(conv2(Row({}), Row({1, 2}), nullptr).dims, (Dims{0, 0}));
  for (const char* word : {"FULL", "fu"})
    EXPECT_EQ(Failure(ctx_, Conv2Builtin, {ones2, Row({1}), Text(word)}), kErrUnknownOpt);
}

TEST_F(SignalTest, PolynomialDivisionAndSums) {
  std::vector<ArrayValue> qr = Outputs(ctx_, DeconvBuiltin, {Row({1, 5, 6}), Row({1, 2})}, 2);
  EXPECT_EQ(qr[0].re, (Elems{1, 3}));
  EXPECT_EQ(qr[1].dims, (Dims{1, 1}));
  EXPECT_EQ(qr[1].re, Elems{0});
  // A longer divisor: no quotient, the dividend at the end of the remainder.
  qr = Outputs(ctx_, DeconvBuiltin, {Row({1, 2}), Row({1, 2, 3, 4})}, 2);
  EXPECT_EQ(qr[0].dims, (Dims{0, 0}));
  EXPECT_EQ(qr[1].re, (Elems{0, 1, 2}));
  qr = Outputs(ctx_, DeconvBuiltin, {Col({2, 7, 7, 2}), Row({2, 1})}, 2);
  EXPECT_EQ(qr[0].dims, (Dims{3, 1}));
  EXPECT_EQ(qr[0].re, (Elems{1, 3, 2}));
  // (x^2 + 1) / (x + i) = x - i: a real dividend and a complex divisor.
  qr = Outputs(ctx_, DeconvBuiltin, {Row({1, 0, 1}), Row({1, 0}, {0, 1})}, 2);
  ExpectNear(qr[0].re, {1, 0});
  ExpectNear(qr[0].im, {0, -1});
  ExpectNear(qr[1].re, {0});
  EXPECT_EQ(Failure(ctx_, DeconvBuiltin, {Mat(2, 2, {1, 2, 3, 4}), Row({1})}), kErrIncompSize);
  EXPECT_EQ(Failure(ctx_, DeconvBuiltin, {Row({1, 2}), Row({})}), kErrIncompSize);
  EXPECT_EQ(Failure(ctx_, DeconvBuiltin, {Text("ab"), Row({1})}), kErrWrongTypeOverload);

  // Sums aligned at the bottom right, in place or in a new matrix.
  EXPECT_EQ(Result(ctx_, AddpolBuiltin, {Row({1, 2, 3}), Row({1, 1})}).re, (Elems{1, 3, 4}));
  EXPECT_EQ(Result(ctx_, AddpolBuiltin, {Row({1, 1}), Row({1, 2, 3})}).re, (Elems{1, 3, 4}));
  EXPECT_EQ(Result(ctx_, AddpolBuiltin, {Row({1, 2}), Row({})}).re, (Elems{1, 2}));
  EXPECT_EQ(Result(ctx_, AddpolBuiltin, {Mat(2, 2, {1, 2, 3, 4}), Row({1})}).re,
            (Elems{1, 2, 3, 5}));
  ArrayValue v = Result(ctx_, AddpolBuiltin, {Col({1, 2}), Row({1, 2, 3})});
  EXPECT_EQ(v.dims, (Dims{2, 3}));
  EXPECT_EQ(v.re, (Elems{0, 0, 1, 1, 2, 5}));
  v = Result(ctx_, AddpolBuiltin, {Row({1, 2}), Row({0}, {1})});
  EXPECT_EQ(v.re, (Elems{1, 2}));
  EXPECT_EQ(v.im, (Elems{0, 1}));
  EXPECT_EQ(Failure(ctx_, AddpolBuiltin, {Text("a"), Row({1})}), kErrWrongTypeOverload);
}

TEST_F(SignalTest, FilterResponsesAndState) {
  EXPECT_EQ(Result(ctx_, FilterBuiltin, {Row({1}), Row({1, -0.5}), Row({1, 1, 1})}).re,
            (Elems{1, 1.5, 1.75}));
  EXPECT_EQ(Result(ctx_, FilterBuiltin, {Row({2, 4}), Row({2}), Row({1, 2})}).re, (Elems{1, 4}));
  EXPECT_EQ(Outputs(ctx_, FilterBuiltin, {Row({1}), Row({1, -0.5}), Row({1})}, 2)[1].re,
            Elems{0.5});

  // The final state carries a signal across calls.
  const Arg b = Row({1, 2, 3}), a = Row({2, 1});
  Elems whole = Result(ctx_, FilterBuiltin, {b, a, Row({1, 2, 3, 4, 5})}).re;
  std::vector<ArrayValue> first = Outputs(ctx_, FilterBuiltin, {b, a, Row({1, 2})}, 2);
  EXPECT_EQ(first[1].dims, (Dims{2, 1}));
  Elems rest = Result(ctx_, FilterBuiltin, {b, a, Row({3, 4, 5}), Col(first[1].re)}).re;
  first[0].re.insert(first[0].re.end(), rest.begin(), rest.end());
  EXPECT_EQ(first[0].re, whole);

  // The columns of a matrix are signals (reference values), rows with dim 2.
  std::vector<ArrayValue> out =
      Outputs(ctx_, FilterBuiltin, {b, a, Mat(3, 2, {1, 2, 3, 4, 5, 6})}, 2);
  EXPECT_EQ(out[0].re, (Elems{0.5, 1, 2.25, 3.5, 5.875, 8.25}));
  EXPECT_EQ(out[1].dims, (Dims{2, 2}));
  EXPECT_EQ(out[1].re, (Elems{6.5625, 7.875, 7.5, 9}));
  EXPECT_EQ(Result(ctx_, FilterBuiltin,
                   {Row({1, 1}), Row({1}), Mat(2, 3, {1, 2, 3, 4, 5, 6}), Row({}), Row({2})})
                .re,
            (Elems{1, 3, 5, 4, 9, 11}));
}

TEST_F(SignalTest, FilterClassesAndErrors) {
  ArrayValue v =
      Result(ctx_, FilterBuiltin, {Row({1}), Row({1, -0.5}), Of("single", {1, 3}, {1, 1, 1})});
  EXPECT_EQ(v.cls, "single");
  EXPECT_EQ(v.re, (Elems{1, 1.5, 1.75}));
  v = Result(ctx_, FilterBuiltin, {Row({1}), Row({0}, {1}), Row({1, 2})});  // divided by i
  EXPECT_EQ(v.re, (Elems{0, 0}));
  EXPECT_EQ(v.im, (Elems{-1, -2}));

  auto filter = [&](Arg b, const Elems& zi, double dim) {
    return Failure(ctx_, FilterBuiltin, {b, Row({1}), Row({1, 2}), Col(zi), Row({dim})});
  };
  EXPECT_EQ(filter(Mat(2, 2, {1, 2, 3, 4}), {}, 1), kErrNonScalarArg);
  EXPECT_EQ(filter(Row({1, 2}), {1, 2}, 2), kErrIncompSize);
  EXPECT_EQ(filter(Row({1, 2}), {}, 1.5), kErrBadDim);
  EXPECT_EQ(filter(Row({1, 2}), {1}, 2), kOk);
  // A dimension below 1 means the first one above 1.
  EXPECT_EQ(Result(ctx_, FilterBuiltin, {Row({1, 2}), Row({1}), Row({1, 2}), Row({}), Row({0})}).re,
            (Elems{1, 4}));
  EXPECT_EQ(Failure(ctx_, FilterBuiltin, {Row({1}), Row({1}), Text("ab")}), kErrWrongType);
}

}  // namespace
}  // namespace vke
