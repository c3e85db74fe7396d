// Transposition, flips, rot90, triangles, diagonals, and the builtins that
// combine matrices: trace, kron, diff, cross, dot, cov; magic squares.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "builtins/magic.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/builtin_calls.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using namespace test;

TEST(Transpose, MatricesNdArraysAndCells) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // A 2 x 3 x 2 array becomes 3 x 2 x 2: each page transposed.
  PushArray(ctx, "double", {2, 3, 2}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  ASSERT_EQ(CallOp(ctx, kOpTranspose), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{3, 2, 2}));
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 4, 2, 5, 3, 6, 7, 10, 8, 11, 9, 12}));
  // ctranspose conjugates.
  PushArray(ctx, "double", {1, 2}, {1, 2}, {3, -4});
  ASSERT_EQ(CallOp(ctx, kOpCtranspose), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.dims, (Dims{2, 1}));
  EXPECT_EQ(a.im, (Values{-3, 4}));
  PushArray(ctx, "single", {2, 2}, {1, 2, 3, 4}, {1, 1, 1, 1});
  ASSERT_EQ(CallOp(ctx, kOpCtranspose), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.re, (Values{1, 3, 2, 4}));
  EXPECT_EQ(a.im, (Values{-1, -1, -1, -1}));
  // A 1 x 2 cell array becomes 2 x 1.
  PushRow(ctx, "double", {5});
  PushText(ctx, "x");
  ASSERT_EQ(PushListFromEntries(ctx, 2, false, nullptr, 0), kOk);
  ASSERT_EQ(CallOp(ctx, kOpTranspose), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindCell);
  EXPECT_EQ(parts.shape.dims[0], 2);
  EXPECT_EQ(parts.shape.dims[1], 1);
  ASSERT_EQ(GetListElement(ctx, 0, 1), kOk);
  EXPECT_EQ(TopScalar(ctx), 5);
  Drop(ctx, 2);
  // Empty values keep their shape.
  PushEmptyArray(ctx, "int8", {0, 3});
  ASSERT_EQ(CallOp(ctx, kOpTranspose), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "int8");
  EXPECT_EQ(a.dims, (Dims{3, 0}));
  ASSERT_EQ(PushTypedEntry(ctx, kKindFuncRef, 8, nullptr), kOk);
  EXPECT_EQ(CallOp(ctx, kOpTranspose), kErrWrongTypeOverload);
}

// Objects are refused with 44, so that a class method of the builtin's name
// may serve them; the value stays on the stack.
TEST(ArrayBuiltins, RefuseObjects) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto pushObject = [&]() {
    PushRow(ctx, "double", {1});
    ASSERT_EQ(PushListFromEntries(ctx, 1, false, "f", -1), kOk);
    DescAt(ctx, 0)->word = 7;  // an object of a class
  };
  for (int32_t op : {kOpTranspose, kOpFliplr, kOpRot90, kOpNumel, kOpSize, kOpIsempty, kOpReshape,
                     kOpSqueeze, kOpTril, kOpDiag, kOpNdims}) {
    pushObject();
    EXPECT_EQ(CallOp(ctx, op, 1, 1), kErrWrongTypeOverload) << op;
    EXPECT_EQ(DescAt(ctx, 0)->word, 7);
    Drop(ctx);
  }
  for (int32_t op : {kOpRepmat, kOpHorzcat, kOpPermute, kOpSize}) {
    pushObject();
    PushRow(ctx, "double", {2});
    EXPECT_EQ(CallOp(ctx, op, 2, 1), kErrWrongTypeOverload) << op;
    EXPECT_EQ(DescAt(ctx, 1)->word, 7);
    Drop(ctx, 2);
  }
  // cat(2, object): the dimension is taken first.
  PushRow(ctx, "double", {2});
  pushObject();
  EXPECT_EQ(CallOp(ctx, kOpCat, 2, 1), kErrWrongTypeOverload);
  EXPECT_EQ(DescAt(ctx, 0)->word, 7);
}

TEST(Flips, AlongEachDimensionAndOfLists) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {1, 2, 3});
  ASSERT_EQ(CallOp(ctx, kOpFliplr), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{3, 2, 1}));
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  ASSERT_EQ(CallOp(ctx, kOpFlipud), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{3, 4, 1, 2}));
  PushArray(ctx, "int16", {1, 2, 2}, {1, 2, 3, 4});
  PushRow(ctx, "double", {3});
  ASSERT_EQ(CallOp(ctx, kOpFlipdim), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "int16");
  EXPECT_EQ(a.re, (Values{3, 4, 1, 2}));
  // A dimension of one element, or beyond the value: unchanged.
  PushRow(ctx, "double", {1, 2});
  PushRow(ctx, "double", {5});
  ASSERT_EQ(CallOp(ctx, kOpFlipdim), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 2}));
  PushArray(ctx, "double", {1, 2}, {1, 2}, {3, 4});
  ASSERT_EQ(CallOp(ctx, kOpFliplr), kOk);
  EXPECT_EQ(ReadArray(ctx).im, (Values{4, 3}));
  // A list holding 1 and 'a' becomes the list holding 'a' and 1.
  PushRow(ctx, "double", {1});
  PushText(ctx, "a");
  ASSERT_EQ(PushListFromEntries(ctx, 2, false, nullptr, 0), kOk);
  ASSERT_EQ(CallOp(ctx, kOpFliplr), kOk);
  EXPECT_TRUE(IsListValue(ctx, 0));
  EXPECT_EQ(DescAt(ctx, 0)->word, kKindList);
  ASSERT_EQ(GetListElement(ctx, 0, 1), kOk);
  EXPECT_EQ(test::TopString(ctx), "a");
  Drop(ctx);
  ASSERT_EQ(GetListElement(ctx, 0, 2), kOk);
  EXPECT_EQ(TopScalar(ctx), 1);
  Drop(ctx, 2);
  PushRow(ctx, "double", {1});
  PushRow(ctx, "double", {0});
  EXPECT_EQ(CallOp(ctx, kOpFlipdim), kErrBadDim);
}

TEST(Rot90, QuarterTurnsOfEachPage) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto rot = [&](int k) {
    PushArray(ctx, "double", {2, 3}, {1, 2, 3, 4, 5, 6});
    PushRow(ctx, "double", {double(k)});
    EXPECT_EQ(CallOp(ctx, kOpRot90, 2), kOk);
    ArrayValue a = ReadArray(ctx);
    Drop(ctx);
    return a;
  };
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  ASSERT_EQ(CallOp(ctx, kOpRot90, 1), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{2, 4, 1, 3}));
  ArrayValue a = rot(1);
  EXPECT_EQ(a.dims, (Dims{3, 2}));
  EXPECT_EQ(a.re, (Values{3, 6, 2, 5, 1, 4}));
  a = rot(2);
  EXPECT_EQ(a.re, (Values{6, 5, 4, 3, 2, 1}));
  a = rot(3);
  EXPECT_EQ(a.re, (Values{4, 1, 5, 2, 6, 3}));
  EXPECT_EQ(rot(-1).re, a.re);
  EXPECT_EQ(rot(4).re, (Values{1, 2, 3, 4, 5, 6}));
  PushArray(ctx, "char", {1, 2, 2}, {'a', 'b', 'c', 'd'});
  ASSERT_EQ(CallOp(ctx, kOpRot90, 1), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "char");
  EXPECT_EQ(a.dims, (Dims{2, 1, 2}));
  EXPECT_EQ(a.re, (Values{'b', 'a', 'd', 'c'}));
}

TEST(Triangles, TrilAndTriuInPlace) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const Values m3 = {8, 1, 6, 3, 5, 7, 4, 9, 2};
  PushArray(ctx, "double", {3, 3}, m3);
  PushRow(ctx, "double", {-1});
  ASSERT_EQ(CallOp(ctx, kOpTril, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{0, 0, 0, 3, 0, 0, 4, 9, 0}));
  PushArray(ctx, "double", {3, 3}, m3);
  PushRow(ctx, "double", {1});
  ASSERT_EQ(CallOp(ctx, kOpTriu, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{0, 1, 6, 0, 0, 7, 0, 0, 0}));
  PushArray(ctx, "int8", {2, 3}, {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(CallOp(ctx, kOpTril, 1), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 0, 0, 4, 5, 0}));
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4}, {5, 6, 7, 8});
  ASSERT_EQ(CallOp(ctx, kOpTriu, 1), kOk);
  EXPECT_EQ(ReadArray(ctx).im, (Values{5, 6, 0, 8}));
  PushArray(ctx, "double", {2, 2, 2}, Values(8, 1));
  EXPECT_EQ(CallOp(ctx, kOpTril, 1), kErrBadDim);
}

TEST(Diag, VectorsToMatricesAndBack) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {1, 2});
  PushRow(ctx, "double", {1});
  ASSERT_EQ(CallOp(ctx, kOpDiag, 2), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{3, 3}));
  EXPECT_EQ(ValuesAt(ctx), (Values{0, 1, 0, 0, 0, 2, 0, 0, 0}));
  PushArray(ctx, "uint8", {2, 1}, {7, 9});
  PushRow(ctx, "double", {-1});
  ASSERT_EQ(CallOp(ctx, kOpDiag, 2), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "uint8");
  EXPECT_EQ(a.re, (Values{0, 0, 0, 7, 0, 0, 0, 9, 0}));
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  ASSERT_EQ(CallOp(ctx, kOpDiag, 1), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 1}));
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 4}));
  PushArray(ctx, "double", {3, 2}, {1, 2, 3, 4, 5, 6});
  PushRow(ctx, "double", {-1});
  ASSERT_EQ(CallOp(ctx, kOpDiag, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{3, 6}));
  PushArray(ctx, "double", {2, 3}, {1, 2, 3, 4, 5, 6});
  PushRow(ctx, "double", {1});
  ASSERT_EQ(CallOp(ctx, kOpDiag, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{2, 6}));
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  PushRow(ctx, "double", {5});
  ASSERT_EQ(CallOp(ctx, kOpDiag, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx).size(), 0u);
  PushArray(ctx, "double", {1, 2}, {1, 2}, {3, 4});
  ASSERT_EQ(CallOp(ctx, kOpDiag, 1), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.re, (Values{1, 0, 0, 2}));
  EXPECT_EQ(a.im, (Values{3, 0, 0, 4}));
  // A diagonal too far off for a square that fits.
  PushRow(ctx, "double", {1});
  PushRow(ctx, "double", {2147483647});
  EXPECT_EQ(CallOp(ctx, kOpDiag, 2), kErrObjTooLarge);
}

TEST(MatrixCombinations, TraceKronDiff) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushArray(ctx, "double", {2, 3}, {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(CallOp(ctx, kOpTrace), kOk);
  EXPECT_EQ(TopScalar(ctx), 6);
  PushArray(ctx, "double", {2, 2}, {1, 0, 0, 1}, {1, 0, 0, -1});
  ASSERT_EQ(CallOp(ctx, kOpTrace), kOk);
  EXPECT_EQ(TopScalar(ctx), 2);  // the imaginary parts cancel: real
  PushRow(ctx, "double", {1, 2});
  PushArray(ctx, "double", {2, 1}, {1, 1});
  ASSERT_EQ(CallOp(ctx, kOpKron), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 2}));
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 2, 1, 2}));
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  PushArray(ctx, "double", {1, 2}, {0, 1}, {1, 0});
  ASSERT_EQ(CallOp(ctx, kOpKron), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.dims, (Dims{2, 4}));
  EXPECT_EQ(a.re, (Values{0, 1, 0, 2, 0, 3, 0, 4}));
  EXPECT_EQ(a.im, (Values{1, 0, 2, 0, 3, 0, 4, 0}));

  auto diff = [&](const Values& order, int dim = 0) {
    PushRow(ctx, "double", {1, 4, 9});
    int32_t n = 1;
    if (!order.empty()) {
      PushRow(ctx, "double", order);
      n = 2;
    }
    if (dim) {
      PushRow(ctx, "double", {double(dim)});
      n = 3;
    }
    EXPECT_EQ(CallOp(ctx, kOpDiff, n), kOk);
    Values v = ValuesAt(ctx);
    Drop(ctx);
    return v;
  };
  EXPECT_EQ(diff({}), (Values{3, 5}));
  EXPECT_EQ(diff({2}), (Values{2}));
  EXPECT_EQ(diff({3}), (Values{}));
  EXPECT_EQ(diff({0}), (Values{1, 4, 9}));
  EXPECT_EQ(diff({1}, 1), (Values{}));
  PushArray(ctx, "double", {3, 2}, {1, 2, 4, 8, 9, 18});
  ASSERT_EQ(CallOp(ctx, kOpDiff, 1), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 2}));
  EXPECT_EQ(ValuesAt(ctx), (Values{3, 6, 5, 10}));
  PushRow(ctx, "double", {1, 4, 9});
  PushRow(ctx, "double", {-1});
  EXPECT_EQ(CallOp(ctx, kOpDiff, 2), kErrOutOfRangeArg);
  PushRow(ctx, "double", {1, 2});
  EXPECT_EQ(CallOp(ctx, kOpDiff, 2), kErrBadSize);
}

TEST(MatrixCombinations, CrossDotCov) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {1, 0, 0});
  PushRow(ctx, "double", {0, 1, 0});
  ASSERT_EQ(CallOp(ctx, kOpCross, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{0, 0, 1}));
  // Columns of 3 x 2 matrices; rows of 2 x 3 matrices with dim 2.
  PushArray(ctx, "double", {3, 2}, {1, 0, 0, 1, 0, 0});
  PushArray(ctx, "double", {3, 2}, {0, 0, 1, 0, 0, 1});
  ASSERT_EQ(CallOp(ctx, kOpCross, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{0, 1, 0, 0, 1, 0}));
  PushArray(ctx, "double", {2, 3}, {1, 0, 0, 0, 1, 0});
  PushArray(ctx, "double", {2, 3}, {0, 1, 0, 0, 0, 1});
  PushRow(ctx, "double", {2});
  ASSERT_EQ(CallOp(ctx, kOpCross, 3), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{0, 0, 1, 1, 0, 0}));
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  EXPECT_EQ(CallOp(ctx, kOpCross, 2), kErrBadSize);
  Drop(ctx, 2);
  PushArray(ctx, "double", {3, 2}, Values(6, 1));
  PushArray(ctx, "double", {2, 3}, Values(6, 1));
  EXPECT_EQ(CallOp(ctx, kOpCross, 2), kErrIncompSize);
  Drop(ctx, 2);

  PushRow(ctx, "double", {1, 2, 3});
  PushArray(ctx, "double", {3, 1}, {4, 5, 6});
  ASSERT_EQ(CallOp(ctx, kOpDot, 2), kOk);
  EXPECT_EQ(TopScalar(ctx), 32);
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  PushArray(ctx, "double", {2, 2}, {1, 1, 2, 2});
  ASSERT_EQ(CallOp(ctx, kOpDot, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{7, 10}));
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  PushArray(ctx, "double", {2, 2}, {1, 1, 2, 2});
  PushRow(ctx, "double", {2});
  ASSERT_EQ(CallOp(ctx, kOpDot, 3), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 1}));
  EXPECT_EQ(ValuesAt(ctx), (Values{3, 14}));
  PushRow(ctx, "double", {1, 2});
  PushRow(ctx, "double", {1, 2, 3});
  EXPECT_EQ(CallOp(ctx, kOpDot, 2), kErrIncompSize);
  Drop(ctx, 2);
  PushArray(ctx, "double", {1, 2}, {1, 2}, {1, 1});
  PushRow(ctx, "double", {1, 2});
  EXPECT_EQ(CallOp(ctx, kOpDot, 2), kErrWrongTypeOverload);
  Drop(ctx, 2);

  PushArray(ctx, "double", {3, 2}, {1, 2, 3, 4, 5, 9});
  ASSERT_EQ(CallOp(ctx, kOpCov, 1), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{4, 7, 7, 13}));
  PushArray(ctx, "double", {3, 2}, {1, 2, 3, 4, 5, 9});
  PushRow(ctx, "double", {1});
  ASSERT_EQ(CallOp(ctx, kOpCov, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{8.0 / 3, 14.0 / 3, 14.0 / 3, 26.0 / 3}));
  PushRow(ctx, "double", {1, 2});
  ASSERT_EQ(CallOp(ctx, kOpCov, 1), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 2}));
  EXPECT_EQ(ValuesAt(ctx), (Values{0, 0, 0, 0}));
  // Complex data: re x re + im x im, a real result.
  PushArray(ctx, "double", {2, 1}, {0, 0}, {1, -1});
  ASSERT_EQ(CallOp(ctx, kOpCov, 1), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_TRUE(a.im.empty());
  EXPECT_EQ(a.re, (Values{2}));
}

TEST(Magic, SmallSquaresAndArguments) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto magic = [&](double n) {
    PushRow(ctx, "double", {n});
    EXPECT_EQ(CallOp(ctx, kOpMagic), kOk);
    ArrayValue a = ReadArray(ctx);
    Drop(ctx);
    return a.re;
  };
  EXPECT_EQ(magic(1), (Values{1}));
  EXPECT_EQ(magic(2), (Values{1, 3, 4, 2}));
  EXPECT_EQ(magic(3), (Values{8, 1, 6, 3, 5, 7, 4, 9, 2}));
  EXPECT_EQ(magic(4), (Values{16, 2, 3, 13, 5, 11, 10, 8, 9, 7, 6, 12, 4, 14, 15, 1}));
  EXPECT_EQ(magic(0), (Values{}));
  EXPECT_EQ(magic(-3), (Values{}));
  EXPECT_EQ(magic(NAN), (Values{}));
  EXPECT_EQ(magic(3.7), magic(3));
  ASSERT_EQ(PushComplexScalar(ctx, 3, 2), kOk);
  ASSERT_EQ(CallOp(ctx, kOpMagic), kOk);
  EXPECT_EQ(ValuesAt(ctx), magic(3));
  PushRow(ctx, "double", {16384});
  EXPECT_EQ(CallOp(ctx, kOpMagic), kErrObjTooLarge);
  PushArray(ctx, "int8", {1, 1}, {3});
  EXPECT_EQ(CallOp(ctx, kOpMagic), kErrWrongTypeOverload);
  Drop(ctx);
  PushRow(ctx, "double", {3, 4});
  EXPECT_EQ(CallOp(ctx, kOpMagic), kErrWrongTypeOverload);
}

TEST(Magic, EqualsTheReferenceSquares) {
  const char* dir = std::getenv("VKE_TEST_DATA");
  ASSERT_NE(dir, nullptr);
  std::ifstream in(std::string(dir) + "/magic_squares.txt");
  ASSERT_TRUE(in.good());
  std::string line;
  int squares = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    int32_t n;
    fields >> n;
    std::vector<double> expected(size_t(n) * n), got(expected.size(), -1);
    for (double& x : expected) fields >> x;
    MakeMagicSquare(got.data(), n);
    EXPECT_EQ(got, expected) << "magic(" << n << ")";
    squares++;
  }
  EXPECT_EQ(squares, 29);
}

TEST(Magic, EveryOrderHasEqualSums) {
  for (int32_t n : {31, 32, 34, 50, 101}) {
    std::vector<double> a(size_t(n) * n);
    MakeMagicSquare(a.data(), n);
    const double sum = double(n) * (double(n) * n + 1) / 2;
    double d1 = 0, d2 = 0;
    for (int32_t i = 0; i < n; i++) {
      double row = 0, col = 0;
      for (int32_t j = 0; j < n; j++) {
        row += a[i * n + j];
        col += a[j * n + i];
      }
      EXPECT_EQ(row, sum) << n;
      EXPECT_EQ(col, sum) << n;
      d1 += a[i * n + i];
      d2 += a[i * n + n - 1 - i];
    }
    EXPECT_EQ(d1, sum) << n;
    EXPECT_EQ(d2, sum) << n;
  }
}

}  // namespace
}  // namespace vke
