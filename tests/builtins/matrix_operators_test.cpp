// Matrix products, divisions, inverse, determinant and powers, through their
// builtins and the kernels under them.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "builtins/builtin.hpp"
#include "builtins/matrix_kernels.hpp"
#include "engine/registry.hpp"
#include "tests/builtins/stack_values.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::ArrayValue;
using test::Elems;
using test::EntryCount;
using test::ExpectNear;
using test::PushArray;
using test::PushColumn;
using test::PushRow;
using test::ReadArray;
using test::TestHost;

ErrCode Call(BuiltinFn fn, EngineContext* ctx, int32_t nargin = 2) {
  return fn(ctx, nargin, 1, 0);
}

Elems Random(size_t n, uint32_t seed) {
  std::mt19937 g(seed);
  std::uniform_real_distribution<double> d(-1, 1);
  Elems v(n);
  for (double& x : v) x = d(g);
  return v;
}

TEST(MatrixProduct, BlockedKernelSumsInOrderLikeThePlainLoop) {
  // Sizes that leave partial tiles and span several inner-dimension passes.
  for (auto [m, k, n] : {std::tuple{37, 600, 21}, {4, 8, 8}, {1, 257, 1}, {65, 3, 130}}) {
    Elems a = Random(size_t(m) * k, 1), b = Random(size_t(k) * n, 2), c(size_t(m) * n, 7);
    MultiplyRealMatrices(m, k, n, a.data(), b.data(), c.data());
    for (int32_t i = 0; i < m; i++)
      for (int32_t j = 0; j < n; j++) {
        double s = 0;
        for (int32_t l = 0; l < k; l++) s += a[size_t(i) * k + l] * b[size_t(l) * n + j];
        ASSERT_EQ(c[size_t(i) * n + j], s) << m << "x" << k << "x" << n << " at " << i << "," << j;
      }
  }
  Elems c(6, 9);
  MultiplyRealMatrices(2, 0, 3, nullptr, nullptr, c.data());
  EXPECT_EQ(c, Elems(6, 0.0));  // an empty inner dimension gives zeros
}

TEST(MatrixProduct, RealAndComplexOperands) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  PushColumn(ctx, {5, 6});
  ASSERT_EQ(Call(MtimesBuiltin, ctx), kOk);
  ArrayValue v = ReadArray(ctx);
  EXPECT_EQ(v.dims, (test::Dims{2, 1}));
  EXPECT_EQ(v.re, (Elems{17, 39}));
  EXPECT_EQ(EntryCount(ctx), 1);
  Drop(ctx);

  // (1+i  2) * [3; i] = 3 + 3i + 2i = 3 + 5i, each combination of parts.
  PushRow(ctx, "double", {1, 2}, {1, 0});
  PushColumn(ctx, {3, 0}, {0, 1});
  ASSERT_EQ(Call(MtimesBuiltin, ctx), kOk);
  v = ReadArray(ctx);
  EXPECT_EQ(v.re, Elems{3});
  EXPECT_EQ(v.im, Elems{5});
  Drop(ctx);
  PushRow(ctx, "double", {1, 2});
  PushArray(ctx, "double", {2, 2}, {1, 0, 0, 1}, {1, 0, 0, -1});
  ASSERT_EQ(Call(MtimesBuiltin, ctx), kOk);
  v = ReadArray(ctx);
  EXPECT_EQ(v.re, (Elems{1, 2}));
  EXPECT_EQ(v.im, (Elems{1, -2}));
  Drop(ctx);
  PushArray(ctx, "double", {2, 2}, {1, 0, 0, 1}, {1, 0, 0, -1});
  PushColumn(ctx, {1, 2});
  ASSERT_EQ(Call(MtimesBuiltin, ctx), kOk);
  v = ReadArray(ctx);
  EXPECT_EQ(v.re, (Elems{1, 2}));
  EXPECT_EQ(v.im, (Elems{1, -2}));
  Drop(ctx);

  // Scalars: real stays real, complex stays complex.
  PushRow(ctx, "double", {2});
  PushRow(ctx, "double", {3});
  ASSERT_EQ(Call(MtimesBuiltin, ctx), kOk);
  v = ReadArray(ctx);
  EXPECT_TRUE(v.im.empty());
  EXPECT_EQ(v.re, Elems{6});
  Drop(ctx);
  PushRow(ctx, "double", {1}, {2});
  PushRow(ctx, "double", {3}, {-1});
  ASSERT_EQ(Call(MtimesBuiltin, ctx), kOk);
  v = ReadArray(ctx);
  EXPECT_EQ(v.re, Elems{5});
  EXPECT_EQ(v.im, Elems{5});
  Drop(ctx);

  // A scalar scales a matrix of any numeric class.
  PushRow(ctx, "double", {2});
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  ASSERT_EQ(Call(MtimesBuiltin, ctx), kOk);
  EXPECT_EQ(ReadArray(ctx).re, (Elems{2, 4, 6, 8}));
  Drop(ctx);
  PushRow(ctx, "int8", {1, 2});
  PushRow(ctx, "double", {2});
  ASSERT_EQ(Call(MtimesBuiltin, ctx), kOk);
  EXPECT_EQ(ReadArray(ctx).re, (Elems{2, 4}));
}

TEST(MatrixProduct, SizeAndTypeErrors) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {1, 2});
  PushRow(ctx, "double", {3, 4});
  EXPECT_EQ(Call(MtimesBuiltin, ctx), kErrIncompSize);
  Drop(ctx, 2);

  // An empty outer dimension does not hide a mismatch of the inner ones:
  // 0x3 times 5x2 fails, 0x3 times 3x2 is 0x0.
  auto pushZeroByThree = [&] { ASSERT_EQ(PushEntry(ctx, 0, 0, 3, false, nullptr), kOk); };
  pushZeroByThree();
  PushArray(ctx, "double", {5, 2}, Elems(10, 1));
  EXPECT_EQ(Call(MtimesBuiltin, ctx), kErrIncompSize);
  Drop(ctx, 2);
  pushZeroByThree();
  PushArray(ctx, "double", {3, 2}, Elems(6, 1));
  ASSERT_EQ(Call(MtimesBuiltin, ctx), kOk);
  EXPECT_EQ(ReadArray(ctx).dims, (test::Dims{0, 0}));
  Drop(ctx);

  // Typed operands: both non-scalar is a size error, a non-numeric one a
  // type error the class method may serve.
  PushArray(ctx, "int8", {1, 2}, {1, 2});
  PushArray(ctx, "int8", {2, 1}, {3, 4});
  EXPECT_EQ(Call(MtimesBuiltin, ctx), kErrBadSize);
  EXPECT_EQ(Call(MpowerBuiltin, ctx), kErrBadSize);
  Drop(ctx, 2);
  ASSERT_EQ(PushListFromEntries(ctx, 0, false, nullptr, 0), kOk);
  PushRow(ctx, "double", {1});
  EXPECT_EQ(Call(MtimesBuiltin, ctx), kErrWrongTypeOverload);
  EXPECT_EQ(Call(MrdivideBuiltin, ctx), kErrWrongTypeOverload);
  Drop(ctx, 2);
  PushArray(ctx, "int8", {1, 1}, {2});
  PushArray(ctx, "int8", {1, 2}, {1, 2});
  EXPECT_EQ(Call(MrdivideBuiltin, ctx), kErrBadSize);  // a non-scalar divisor
  EXPECT_EQ(EntryCount(ctx), 2);
}

TEST(MatrixDivide, SquareSystemsLeftAndRight) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  PushColumn(ctx, {5, 6});
  ASSERT_EQ(Call(MldivideBuiltin, ctx), kOk);
  ExpectNear(ReadArray(ctx).re, {-4, 4.5});
  Drop(ctx);
  PushRow(ctx, "double", {5, 6});
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  ASSERT_EQ(Call(MrdivideBuiltin, ctx), kOk);
  ArrayValue v = ReadArray(ctx);
  EXPECT_EQ(v.dims, (test::Dims{1, 2}));
  ExpectNear(v.re, {-1, 2});
  Drop(ctx);

  // The imaginary part of a complex dividend is divided as well.
  PushRow(ctx, "double", {1, 2}, {2, 0});
  PushArray(ctx, "double", {2, 2}, {1, 0, 0, 2});
  ASSERT_EQ(Call(MrdivideBuiltin, ctx), kOk);
  v = ReadArray(ctx);
  EXPECT_EQ(v.re, (Elems{1, 1}));
  EXPECT_EQ(v.im, (Elems{2, 0}));
  Drop(ctx);

  // Complex A with real and complex right-hand sides, checked through A x.
  const Elems ar{2, 1, 0, 3}, ai{1, 0, -1, 1};
  PushArray(ctx, "double", {2, 2}, ar, ai);
  PushArray(ctx, "double", {2, 2}, {1, 0, 0, 1});
  ASSERT_EQ(Call(MldivideBuiltin, ctx), kOk);  // inv(A) from the left
  PushArray(ctx, "double", {2, 2}, ar, ai);
  ASSERT_EQ(Call(MtimesBuiltin, ctx), kOk);
  v = ReadArray(ctx);
  ExpectNear(v.re, {1, 0, 0, 1});
  ExpectNear(v.im, {0, 0, 0, 0});
  Drop(ctx);
  PushRow(ctx, "double", {1, 2}, {0, 1});
  PushArray(ctx, "double", {2, 2}, ar, ai);
  ASSERT_EQ(Call(MrdivideBuiltin, ctx), kOk);  // x A = b
  PushArray(ctx, "double", {2, 2}, ar, ai);
  ASSERT_EQ(Call(MtimesBuiltin, ctx), kOk);
  v = ReadArray(ctx);
  ExpectNear(v.re, {1, 2});
  ExpectNear(v.im, {0, 1});
  Drop(ctx);

  // Scalar divisors divide element by element, complex quotients scaled so
  // that large parts do not overflow.
  PushRow(ctx, "double", {1e200}, {1e200});
  PushRow(ctx, "double", {1e200});
  ASSERT_EQ(Call(MrdivideBuiltin, ctx), kOk);
  v = ReadArray(ctx);
  EXPECT_EQ(v.re, Elems{1});
  EXPECT_EQ(v.im, Elems{1});
  Drop(ctx);
  PushRow(ctx, "double", {2});
  PushRow(ctx, "double", {2, 4});
  ASSERT_EQ(Call(MldivideBuiltin, ctx), kOk);
  EXPECT_EQ(ReadArray(ctx).re, (Elems{1, 2}));
  Drop(ctx);

  // Empty right-hand sides and sizes that do not fit.
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  ASSERT_EQ(PushEmptyMatrix(ctx), kOk);
  ASSERT_EQ(Call(MldivideBuiltin, ctx), kOk);
  EXPECT_EQ(ReadArray(ctx).dims, (test::Dims{0, 0}));
  EXPECT_EQ(EntryCount(ctx), 1);
  Drop(ctx);
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  PushRow(ctx, "double", {1, 2, 3});
  EXPECT_EQ(Call(MldivideBuiltin, ctx), kErrIncompSize);
  Drop(ctx, 2);
  PushRow(ctx, "double", {1, 2, 3});
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  EXPECT_EQ(Call(MrdivideBuiltin, ctx), kErrIncompSize);
}

// A stand-in for the numerical library's "pinv", enough for vectors: v' / |v|^2.
uintptr_t g_pinvOption = 0;
ErrCode VectorPinv(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  g_pinvOption = option;
  if (nargin != 1 || nargout != 1) return kErrIllegal;
  int32_t rows, cols;
  double *re, *im;
  if (GetNumericArg(ctx, 0, &rows, &cols, &re, &im) || im) return kErrUnknown;
  double sum = 0;
  for (int32_t i = 0; i < rows * cols; i++) sum += re[i] * re[i];
  for (int32_t i = 0; i < rows * cols; i++) re[i] /= sum;
  return TransposeTopValue(ctx);
}

ErrCode FailingPinv(EngineContext*, int32_t, int32_t, uintptr_t) {
  return kErrNoConvergence;
}

TEST(MatrixDivide, NonSquareDivisorsUseTheRegisteredPinv) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {1, 2, 3});
  PushRow(ctx, "double", {14, 28});
  EXPECT_EQ(Call(MldivideBuiltin, ctx), kErrNonSquareSize);  // no "pinv" yet
  Drop(ctx, 2);

  NativeFunctionRecord table[] = {MakeRecord("@pinvtest"),
                                  MakeRecord("pinv", &VectorPinv, 1, 2, 1, 1, 77), MakeRecord("")};
  ASSERT_EQ(RegisterLibrary(ctx, table, true), kOk);
  PushRow(ctx, "double", {1, 2, 3});
  PushRow(ctx, "double", {14, 28});
  ASSERT_EQ(Call(MldivideBuiltin, ctx), kOk);  // pinv([1 2 3]) * [14 28]
  ArrayValue v = ReadArray(ctx);
  EXPECT_EQ(v.dims, (test::Dims{3, 2}));
  ExpectNear(v.re, {1, 2, 2, 4, 3, 6});
  EXPECT_EQ(g_pinvOption, 77u);
  EXPECT_EQ(EntryCount(ctx), 1);
  Drop(ctx);
  PushArray(ctx, "double", {2, 3}, {1, 2, 3, 2, 4, 6});
  PushRow(ctx, "double", {1, 2, 3});
  ASSERT_EQ(Call(MrdivideBuiltin, ctx), kOk);  // B * pinv([1 2 3])
  v = ReadArray(ctx);
  EXPECT_EQ(v.dims, (test::Dims{2, 1}));
  ExpectNear(v.re, {1, 2});
  Drop(ctx);

  // The first record of the name wins, and its failure is returned.
  NativeFunctionRecord failing[] = {MakeRecord("@pinvfail"), MakeRecord("pinv", &FailingPinv),
                                    MakeRecord("")};
  ASSERT_EQ(RegisterLibrary(ctx, failing, true), kOk);
  PushRow(ctx, "double", {1, 2, 3});
  PushRow(ctx, "double", {14, 28});
  EXPECT_EQ(Call(MldivideBuiltin, ctx), kErrNoConvergence);
}

TEST(MatrixInverse, InverseAndDeterminant) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushArray(ctx, "double", {2, 2}, {4, 7, 2, 6});
  ASSERT_EQ(Call(InvBuiltin, ctx, 1), kOk);
  ExpectNear(ReadArray(ctx).re, {0.6, -0.7, -0.2, 0.4});
  Drop(ctx);
  PushRow(ctx, "double", {1}, {1});
  ASSERT_EQ(Call(InvBuiltin, ctx, 1), kOk);
  ArrayValue v = ReadArray(ctx);
  EXPECT_EQ(v.re, Elems{0.5});
  EXPECT_EQ(v.im, Elems{-0.5});
  Drop(ctx);

  // A singular matrix is not reported: non-finite entries, determinant 0.
  PushArray(ctx, "double", {2, 2}, {1, 2, 2, 4});
  ASSERT_EQ(Call(InvBuiltin, ctx, 1), kOk);
  v = ReadArray(ctx);
  EXPECT_TRUE(std::any_of(v.re.begin(), v.re.end(), [](double x) { return !std::isfinite(x); }));
  Drop(ctx);
  PushArray(ctx, "double", {2, 2}, {1, 2, 2, 4});
  ASSERT_EQ(Call(DetBuiltin, ctx, 1), kOk);
  EXPECT_EQ(ReadArray(ctx).re, Elems{0});
  Drop(ctx);

  // Row exchanges change the sign; the product of the pivots is the rest.
  PushArray(ctx, "double", {3, 3}, {0, 1, 0, 1, 0, 0, 0, 0, 1});
  ASSERT_EQ(Call(DetBuiltin, ctx, 1), kOk);
  EXPECT_EQ(ReadArray(ctx).re, Elems{-1});
  Drop(ctx);
  PushArray(ctx, "double", {3, 3}, {2, -1, 0, -1, 2, -1, 0, -1, 2});
  ASSERT_EQ(Call(DetBuiltin, ctx, 1), kOk);
  ExpectNear(ReadArray(ctx).re, {4});
  Drop(ctx);
  // det([1+i 2; 1 1-i]) = (1+i)(1-i) - 2 = 0 exactly real; [i 0; 0 i] gives -1.
  PushArray(ctx, "double", {2, 2}, {0, 0, 0, 0}, {1, 0, 0, 1});
  ASSERT_EQ(Call(DetBuiltin, ctx, 1), kOk);
  v = ReadArray(ctx);
  EXPECT_TRUE(v.im.empty());
  EXPECT_EQ(v.re, Elems{-1});
  Drop(ctx);
  PushArray(ctx, "double", {2, 2}, {1, 0, 0, 1}, {1, 0, 0, 0});
  ASSERT_EQ(Call(DetBuiltin, ctx, 1), kOk);
  v = ReadArray(ctx);
  EXPECT_EQ(v.re, Elems{1});
  EXPECT_EQ(v.im, Elems{1});
  Drop(ctx);

  // Empty, non-square and non-double inputs.
  ASSERT_EQ(PushEmptyMatrix(ctx), kOk);
  ASSERT_EQ(Call(DetBuiltin, ctx, 1), kOk);
  EXPECT_EQ(ReadArray(ctx).re, Elems{1});
  Drop(ctx);
  ASSERT_EQ(PushEmptyMatrix(ctx), kOk);
  ASSERT_EQ(Call(InvBuiltin, ctx, 1), kOk);
  EXPECT_EQ(ReadArray(ctx).dims, (test::Dims{0, 0}));
  Drop(ctx);
  PushRow(ctx, "double", {1, 2, 3});
  EXPECT_EQ(Call(DetBuiltin, ctx, 1), kErrIncompSize);
  EXPECT_EQ(Call(InvBuiltin, ctx, 1), kErrNonSquareSize);
  Drop(ctx);
  test::PushString(ctx, "ab");
  EXPECT_EQ(Call(DetBuiltin, ctx, 1), kErrWrongTypeOverload);
  EXPECT_EQ(Call(InvBuiltin, ctx, 1), kErrWrongTypeOverload);
}

TEST(MatrixPower, IntegerPowersOfMatrices) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto power = [&](const Elems& a, double p, ErrCode expected = kOk) {
    PushArray(ctx, "double", {2, 2}, a);
    PushRow(ctx, "double", {p});
    EXPECT_EQ(Call(MpowerBuiltin, ctx), expected) << p;
    ArrayValue v = ReadArray(ctx);
    Drop(ctx, expected ? 2 : 1);
    return v.re;
  };
  EXPECT_EQ(power({1, 1, 0, 1}, 10), (Elems{1, 10, 0, 1}));
  EXPECT_EQ(power({1, 1, 0, 1}, 1023), (Elems{1, 1023, 0, 1}));
  ExpectNear(power({1, 1, 0, 1}, -1), {1, -1, 0, 1});
  ExpectNear(power({1, 1, 0, 1}, -3), {1, -3, 0, 1});
  EXPECT_EQ(power({5, 6, 7, 8}, 0), (Elems{1, 0, 0, 1}));
  EXPECT_EQ(power({5, 6, 7, 8}, 1), (Elems{5, 6, 7, 8}));
  EXPECT_EQ(power({1, 2, 3, 4}, 3), (Elems{37, 54, 81, 118}));
  power({1, 2, 3, 4}, 0.5, kErrNotSupported);
  power({1, 2, 3, 4}, 2000, kErrNotSupported);

  // A complex base: [i 0; 0 1]^3 = [-i 0; 0 1].
  PushArray(ctx, "double", {2, 2}, {0, 0, 0, 1}, {1, 0, 0, 0});
  PushRow(ctx, "double", {3});
  ASSERT_EQ(Call(MpowerBuiltin, ctx), kOk);
  ArrayValue v = ReadArray(ctx);
  EXPECT_EQ(v.re, (Elems{0, 0, 0, 1}));
  EXPECT_EQ(v.im, (Elems{-1, 0, 0, 0}));
  Drop(ctx);

  PushRow(ctx, "double", {1, 2, 3});
  PushRow(ctx, "double", {2});
  EXPECT_EQ(Call(MpowerBuiltin, ctx), kErrNonSquareSize);
  Drop(ctx, 2);
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  EXPECT_EQ(Call(MpowerBuiltin, ctx), kErrNotSupported);
}

TEST(MatrixPower, ScalarBases) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto scalar = [&](double a, double p) {
    PushRow(ctx, "double", {a});
    PushRow(ctx, "double", {p});
    EXPECT_EQ(Call(MpowerBuiltin, ctx), kOk);
    double r = ReadArray(ctx).re.at(0);
    Drop(ctx);
    return r;
  };
  EXPECT_EQ(scalar(-8, 3), -512);
  EXPECT_EQ(scalar(-2, 4), 16);
  EXPECT_EQ(scalar(-3, 2), 9);
  EXPECT_EQ(scalar(2, 0.5), std::sqrt(2.0));
  // A complex result whose imaginary part is zero is real.
  PushRow(ctx, "double", {-1});
  PushRow(ctx, "double", {0.5});
  ASSERT_EQ(Call(MpowerBuiltin, ctx), kOk);
  ArrayValue root = ReadArray(ctx);
  ExpectNear(root.re, {0});
  EXPECT_EQ(root.im, Elems{1});
  Drop(ctx);
  PushRow(ctx, "double", {2}, {0});
  PushRow(ctx, "double", {2});
  ASSERT_EQ(Call(MpowerBuiltin, ctx), kOk);
  EXPECT_TRUE(ReadArray(ctx).im.empty());
  ExpectNear(ReadArray(ctx).re, {4});
  Drop(ctx);

  // s^M = expm(ln(s) M).
  auto scalarToMatrix = [&](const Elems& s, const Elems& m) {
    PushRow(ctx, "double", {s[0]}, s.size() > 1 ? Elems{s[1]} : Elems{});
    PushArray(ctx, "double", {2, 2}, m);
    EXPECT_EQ(Call(MpowerBuiltin, ctx), kOk);
    ArrayValue v = ReadArray(ctx);
    Drop(ctx);
    return v;
  };
  ArrayValue v = scalarToMatrix({2}, {0, 0, 0, 0});
  EXPECT_EQ(v.re, (Elems{1, 0, 0, 1}));
  v = scalarToMatrix({std::exp(1.0)}, {1, 0, 0, 2});
  ExpectNear(v.re, {std::exp(1.0), 0, 0, std::exp(2.0)}, 1e-12);
  // A negative base makes the result complex: (-1)^diag(1, 2) = diag(-1, 1).
  v = scalarToMatrix({-1}, {1, 0, 0, 2});
  ASSERT_FALSE(v.im.empty());
  ExpectNear(v.re, {-1, 0, 0, 1});
  ExpectNear(v.im, {0, 0, 0, 0});
  // i^diag(1, 2) = diag(i, -1).
  v = scalarToMatrix({0, 1}, {1, 0, 0, 2});
  ExpectNear(v.re, {0, 0, 0, -1});
  ExpectNear(v.im, {1, 0, 0, 0});

  PushRow(ctx, "double", {2});
  PushRow(ctx, "double", {1, 2});
  EXPECT_EQ(Call(MpowerBuiltin, ctx), kErrNonSquareSize);
  Drop(ctx, 2);
  PushRow(ctx, "double", {2});
  ASSERT_EQ(PushEmptyMatrix(ctx), kOk);
  ASSERT_EQ(Call(MpowerBuiltin, ctx), kOk);
  EXPECT_EQ(ReadArray(ctx).dims, (test::Dims{0, 0}));
  EXPECT_EQ(EntryCount(ctx), 1);
}

TEST(MatrixExponential, ClosedForms) {
  const double t = 0.75;
  struct Case {
    Elems a, expected;
    double tol = 1e-13;
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, {1, 0, 0, 1}},
      {{1, 0, 0, -2}, {std::exp(1.0), 0, 0, std::exp(-2.0)}},
      {{0, 1, 0, 0}, {1, 1, 0, 1}},                                            // nilpotent
      {{0, -t, t, 0}, {std::cos(t), -std::sin(t), std::sin(t), std::cos(t)}},  // rotation
      {{0, -30, 30, 0}, {std::cos(30.0), -std::sin(30.0), std::sin(30.0), std::cos(30.0)}, 1e-10},
  };
  for (const Case& c : cases) {
    Elems a = c.a, result(4), work(2 + 8);
    ExpmReal(a.data(), 2, result.data(), work.data());
    ExpectNear(result, c.expected, c.tol);
  }
  // The same rotation as the complex diagonal diag(it, -it).
  Elems a{0, 0, 0, 0, t, 0, 0, -t}, result(8), work(4 + 16);
  ExpmComplex(a.data(), 2, result.data(), work.data());
  ExpectNear(result, {std::cos(t), 0, 0, std::cos(t), std::sin(t), 0, 0, -std::sin(t)});

  // A norm far beyond the largest scale (2^30) still gives the exact result
  // of a nilpotent matrix.
  const double big = std::ldexp(1.0, 40);
  Elems n{0, big, 0, 0}, r(4), w(10);
  ExpmReal(n.data(), 2, r.data(), w.data());
  EXPECT_EQ(r, (Elems{1, big, 0, 1}));

  const double rows[] = {1, -2, 3, -4};
  EXPECT_EQ(MatrixNormReal(rows, 2), 7);
  EXPECT_EQ(MatrixNormReal(rows, 0), 0);
  const double re[] = {3, 0, 0, 0}, im[] = {4, 0, 1, 0};
  EXPECT_EQ(MatrixNormComplex(re, im, 2), 5);
}

}  // namespace
}  // namespace vke
