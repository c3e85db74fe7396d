// Matrix products, divisions, inverse, determinant and powers, through their
// builtins and the kernels under them.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "builtins/matrix_kernels.hpp"
#include "engine/registry/registry.hpp"
#include "tests/builtins/stack_values.hpp"
#include "tests/host/builtin_calls.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using namespace test;

Elems Random(size_t n, uint32_t seed) {
  std::mt19937 g(seed);
  std::uniform_real_distribution<double> d(-1, 1);
  Elems v(n);
  for (double& x : v) x = d(g);
  return v;
}

class MatrixTest : public ::testing::Test {
 protected:
  // The engine's own solvers, with no "!lapack" division in the registry.
  TestHost host_{TestHostOptions{.runtimeTable = false}};
  EngineContext* ctx_ = host_.ctx();
};

TEST(MatrixKernels, BlockedProductSumsInOrderLikeThePlainLoop) {
  // Sizes that leave partial tiles and panels and span several inner-dimension
  // passes, then random ones, tiny and odd among them; every vector width the
  // processor has, with a packed panel and strip by strip.
  std::vector<std::tuple<int32_t, int32_t, int32_t>> sizes = {
      {37, 600, 21}, {4, 8, 8}, {1, 257, 1}, {65, 3, 130}, {9, 513, 529}, {17, 40, 1040}};
  std::mt19937 g(11);
  for (int t = 0; t < 12; t++)
    sizes.push_back({int32_t(g() % 70 + 1), int32_t(g() % 300 + 1), int32_t(g() % 90 + 1)});
  for (auto [m, k, n] : sizes) {
    Elems a = Random(size_t(m) * k, 1), b = Random(size_t(k) * n, 2);
    Elems plain(size_t(m) * n);
    for (int32_t i = 0; i < m; i++)
      for (int32_t j = 0; j < n; j++) {
        double s = 0;
        for (int32_t l = 0; l < k; l++) s += a[size_t(i) * k + l] * b[size_t(l) * n + j];
        plain[size_t(i) * n + j] = s;
      }
    Elems panel(ProductPanelDoubles(n), 5);
    for (int32_t lanes : {0, 8, 4, 2})
      for (double* p : {panel.data(), static_cast<double*>(nullptr)}) {
        Elems c(size_t(m) * n, 7);
        if (!MultiplyRealMatricesWithLanes(lanes, m, k, n, a.data(), b.data(), c.data(), p))
          continue;
        for (size_t e = 0; e < c.size(); e++)
          ASSERT_EQ(c[e], plain[e]) << m << "x" << k << "x" << n << " lanes " << lanes
                                    << (p ? " panel" : " strips") << " at " << e;
      }
  }
  Elems c(6, 9);
  MultiplyRealMatrices(2, 0, 3, nullptr, nullptr, c.data());
  EXPECT_EQ(c, Elems(6, 0.0));  // an empty inner dimension gives zeros
}

TEST_F(MatrixTest, Products) {
  ArrayValue v = Result(ctx_, MtimesBuiltin, {Mat(2, 2, {1, 2, 3, 4}), Col({5, 6})});
  EXPECT_EQ(v.dims, (Dims{2, 1}));
  EXPECT_EQ(v.re, (Elems{17, 39}));
  // (1+i 2) [3; i] = 3 + 5i; a real row times a complex matrix.
  v = Result(ctx_, MtimesBuiltin, {Row({1, 2}, {1, 0}), Col({3, 0}, {0, 1})});
  EXPECT_EQ(v.re, Elems{3});
  EXPECT_EQ(v.im, Elems{5});
  v = Result(ctx_, MtimesBuiltin, {Row({1, 2}), Mat(2, 2, {1, 0, 0, 1}, {1, 0, 0, -1})});
  EXPECT_EQ(v.re, (Elems{1, 2}));
  EXPECT_EQ(v.im, (Elems{1, -2}));
  // Scalars go to the elementwise product.
  EXPECT_EQ(Result(ctx_, MtimesBuiltin, {Row({2}), Mat(2, 2, {1, 2, 3, 4})}).re,
            (Elems{2, 4, 6, 8}));
  EXPECT_EQ(Result(ctx_, MtimesBuiltin, {Of("int8", {1, 2}, {1, 2}), Row({2})}).re, (Elems{2, 4}));

  EXPECT_EQ(Failure(ctx_, MtimesBuiltin, {Row({1, 2}), Row({3, 4})}), kErrIncompSize);
  EXPECT_EQ(Failure(ctx_, MtimesBuiltin, {Of("int8", {1, 2}, {1, 2}), Of("int8", {2, 1}, {3, 4})}),
            kErrBadSize);
  EXPECT_EQ(Failure(ctx_, MtimesBuiltin, {List({}), Row({1})}), kErrWrongTypeOverload);

  // Empty operands keep their dimensions: an empty inner dimension gives
  // zeros, an empty outer one 0 x 0, and neither hides a mismatch of the
  // inner ones.
  struct Case {
    Dims a, b;
    ErrCode code;
    Dims result;
  };
  for (const Case& c : {Case{{2, 0}, {0, 3}, kOk, {2, 3}}, Case{{0, 3}, {3, 2}, kOk, {0, 0}},
                        Case{{0, 3}, {5, 2}, kErrIncompSize, {}}}) {
    for (const Dims& d : {c.a, c.b}) {
      if (d[0] > 0 && d[1] > 0) {
        PushArray(ctx_, "double", d, Elems(size_t(d[0]) * d[1], 1));
      } else {
        PushEmptyArray(ctx_, "double", d);
      }
    }
    ASSERT_EQ(MtimesBuiltin(ctx_, 2, 1, 0), c.code);
    if (!c.code) {
      EXPECT_EQ(ReadArray(ctx_).dims, c.result);
      EXPECT_EQ(ReadArray(ctx_).re, Elems(size_t(c.result[0]) * c.result[1], 0));
    }
    Drop(ctx_, EntryCount(ctx_));
  }
}

TEST_F(MatrixTest, SquareDivisions) {
  ExpectNear(Result(ctx_, MldivideBuiltin, {Mat(2, 2, {1, 2, 3, 4}), Col({5, 6})}).re, {-4, 4.5});
  ArrayValue v = Result(ctx_, MrdivideBuiltin, {Row({5, 6}), Mat(2, 2, {1, 2, 3, 4})});
  EXPECT_EQ(v.dims, (Dims{1, 2}));
  ExpectNear(v.re, {-1, 2});
  // The imaginary part of a complex dividend is divided as well.
  v = Result(ctx_, MrdivideBuiltin, {Row({1, 2}, {2, 0}), Mat(2, 2, {1, 0, 0, 2})});
  EXPECT_EQ(v.re, (Elems{1, 1}));
  EXPECT_EQ(v.im, (Elems{2, 0}));

  // A complex A from the left and from the right, checked through products.
  const Arg a = Mat(2, 2, {2, 1, 0, 3}, {1, 0, -1, 1});
  Apply(ctx_, MldivideBuiltin, {a, Mat(2, 2, {1, 0, 0, 1})}, 1);
  Push(ctx_, a);
  ASSERT_EQ(MtimesBuiltin(ctx_, 2, 1, 0), kOk);
  ExpectNear(ReadArray(ctx_).re, {1, 0, 0, 1});
  ExpectNear(ReadArray(ctx_).im, {0, 0, 0, 0});
  Drop(ctx_);
  Apply(ctx_, MrdivideBuiltin, {Row({1, 2}, {0, 1}), a}, 1);
  Push(ctx_, a);
  ASSERT_EQ(MtimesBuiltin(ctx_, 2, 1, 0), kOk);
  ExpectNear(ReadArray(ctx_).re, {1, 2});
  ExpectNear(ReadArray(ctx_).im, {0, 1});
  Drop(ctx_);

  // Scalar divisors divide element by element, complex quotients scaled so
  // that large parts do not overflow.
  v = Result(ctx_, MrdivideBuiltin, {Row({1e200}, {1e200}), Row({1e200})});
  EXPECT_EQ(v.re, Elems{1});
  EXPECT_EQ(v.im, Elems{1});
  EXPECT_EQ(Result(ctx_, MldivideBuiltin, {Row({2}), Row({2, 4})}).re, (Elems{1, 2}));

  EXPECT_EQ(Result(ctx_, MldivideBuiltin, {Mat(2, 2, {1, 2, 3, 4}), Row({})}).dims, (Dims{0, 0}));
  EXPECT_EQ(Failure(ctx_, MldivideBuiltin, {Mat(2, 2, {1, 2, 3, 4}), Row({1, 2, 3})}),
            kErrIncompSize);
  EXPECT_EQ(Failure(ctx_, MrdivideBuiltin, {Row({1, 2, 3}), Mat(2, 2, {1, 2, 3, 4})}),
            kErrIncompSize);
  EXPECT_EQ(Failure(ctx_, MrdivideBuiltin, {Of("int8", {1, 1}, {2}), Of("int8", {1, 2}, {1, 2})}),
            kErrBadSize);  // a non-scalar typed divisor
  // An array of three dimensions is no matrix operand (a scalar divisor
  // still divides it elementwise).
  const Arg cube = Of("double", {2, 2, 2}, Elems(8, 1.0));
  EXPECT_EQ(Failure(ctx_, MldivideBuiltin, {Mat(2, 2, {1, 2, 3, 4}), cube}), kErrWrongTypeOverload);
  EXPECT_EQ(Failure(ctx_, MrdivideBuiltin, {cube, Mat(2, 2, {1, 2, 3, 4})}), kErrWrongTypeOverload);
  EXPECT_EQ(Failure(ctx_, MtimesBuiltin, {Mat(2, 2, {1, 2, 3, 4}), cube}), kErrWrongTypeOverload);
  EXPECT_EQ(Result(ctx_, MldivideBuiltin, {Row({2}), cube}).re, Elems(8, 0.5));
}

// A stand-in for the numerical library's "pinv", enough for vectors: v' / |v|^2.
uintptr_t g_pinvOption = 0;
ErrCode VectorPinv(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  g_pinvOption = option;
  int32_t rows, cols;
  double *re, *im;
  if (nargin != 1 || nargout != 1 || GetNumericArg(ctx, 0, &rows, &cols, &re, &im) || im)
    return kErrUnknown;
  double sum = 0;
  for (int32_t i = 0; i < rows * cols; i++) sum += re[i] * re[i];
  for (int32_t i = 0; i < rows * cols; i++) re[i] /= sum;
  return TransposeTopValue(ctx);
}

ErrCode FailingPinv(EngineContext*, int32_t, int32_t, uintptr_t) {
  return kErrNoConvergence;
}

TEST_F(MatrixTest, NonSquareDivisorsUseTheRegisteredPinv) {
  const std::vector<Arg> leftArgs{Row({1, 2, 3}), Row({14, 28})};
  // The engine's own "pinv" serves until a table in front has one.
  ExpectNear(Result(ctx_, MldivideBuiltin, leftArgs).re, {1, 2, 2, 4, 3, 6});

  NativeFunctionRecord table[] = {MakeRecord("@pinvtest"),
                                  MakeRecord("pinv", &VectorPinv, 1, 2, 1, 1, 77), MakeRecord("")};
  ASSERT_EQ(RegisterLibrary(ctx_, table, true), kOk);
  ArrayValue v = Result(ctx_, MldivideBuiltin, leftArgs);  // pinv([1 2 3]) * [14 28]
  EXPECT_EQ(v.dims, (Dims{3, 2}));
  ExpectNear(v.re, {1, 2, 2, 4, 3, 6});
  EXPECT_EQ(g_pinvOption, 77u);
  v = Result(ctx_, MrdivideBuiltin, {Mat(2, 3, {1, 2, 3, 2, 4, 6}), Row({1, 2, 3})});
  EXPECT_EQ(v.dims, (Dims{2, 1}));
  ExpectNear(v.re, {1, 2});

  // The first record of the name serves, and its failure is returned.
  NativeFunctionRecord failing[] = {MakeRecord("@pinvfail"), MakeRecord("pinv", &FailingPinv),
                                    MakeRecord("")};
  ASSERT_EQ(RegisterLibrary(ctx_, failing, true), kOk);
  EXPECT_EQ(Failure(ctx_, MldivideBuiltin, leftArgs), kErrNoConvergence);
}

int g_divisionCalls = 0;

ErrCode StubDivision(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  g_divisionCalls++;
  ErrCode e = Drop(ctx, nargin);
  return e ? e : PushRealScalar(ctx, 42);
}

TEST_F(MatrixTest, DivisionOperatorsHandMatricesToARegisteredNative) {
  // A method record of a library type comes first and is passed over.
  NativeFunctionRecord table[] = {
      MakeRecord("@divtest"), MakeRecord("mldivide", &StubDivision, 2, 2, 1, 1, 0, 1),
      MakeRecord("mldivide", &StubDivision, 2, 2, 1, 1),
      MakeRecord("mrdivide", &StubDivision, 2, 2, 1, 1), MakeRecord("")};
  ASSERT_EQ(RegisterLibrary(ctx_, table, true), kOk);
  g_divisionCalls = 0;
  // Scalar divisors and empty operands stay with the builtins: the
  // operators compile to them, not to the native.
  EXPECT_EQ(EvaluateToText(ctx_, "s = 0; for k = 1:3, s = s + k / 4; end; s"), "1.5");
  EXPECT_EQ(EvaluateToText(ctx_, "2 \\ [4 6]"), "[2,3]");
  EXPECT_EQ(EvaluateToText(ctx_, "size(zeros(0, 0) \\ zeros(0, 3))"), "[0,3]");
  EXPECT_EQ(EvaluateToText(ctx_, "int8([4 6]) / int8(2)"), "int8([2,3])");
  EXPECT_EQ(g_divisionCalls, 0);
  // Matrix divisors reach it through the builtins, and so do named calls.
  EXPECT_EQ(EvaluateToText(ctx_, "[1 2; 3 4] \\ [1; 1]"), "42");
  EXPECT_EQ(EvaluateToText(ctx_, "[1 1] / [1 2; 3 4]"), "42");
  EXPECT_EQ(EvaluateToText(ctx_, "mrdivide(6, 3)"), "42");
  EXPECT_EQ(g_divisionCalls, 3);
}

TEST_F(MatrixTest, InverseAndDeterminant) {
  ExpectNear(Result(ctx_, InvBuiltin, {Mat(2, 2, {4, 7, 2, 6})}).re, {0.6, -0.7, -0.2, 0.4});
  ArrayValue v = Result(ctx_, InvBuiltin, {Row({1}, {1})});
  EXPECT_EQ(v.re, Elems{0.5});
  EXPECT_EQ(v.im, Elems{-0.5});
  // A singular matrix is not reported: non-finite entries, determinant 0.
  v = Result(ctx_, InvBuiltin, {Mat(2, 2, {1, 2, 2, 4})});
  EXPECT_TRUE(std::any_of(v.re.begin(), v.re.end(), [](double x) { return !std::isfinite(x); }));
  EXPECT_EQ(Result(ctx_, DetBuiltin, {Mat(2, 2, {1, 2, 2, 4})}).re, Elems{0});

  // Row exchanges change the sign; the product of the pivots is the rest.
  EXPECT_EQ(Result(ctx_, DetBuiltin, {Mat(3, 3, {0, 1, 0, 1, 0, 0, 0, 0, 1})}).re, Elems{-1});
  ExpectNear(Result(ctx_, DetBuiltin, {Mat(3, 3, {2, -1, 0, -1, 2, -1, 0, -1, 2})}).re, {4});
  v = Result(ctx_, DetBuiltin, {Mat(2, 2, {0, 0, 0, 0}, {1, 0, 0, 1})});  // det(i I) = -1, real
  EXPECT_TRUE(v.im.empty());
  EXPECT_EQ(v.re, Elems{-1});
  v = Result(ctx_, DetBuiltin, {Mat(2, 2, {1, 0, 0, 1}, {1, 0, 0, 0})});
  EXPECT_EQ(v.re, Elems{1});
  EXPECT_EQ(v.im, Elems{1});

  // A NaN never wins the pivot search; the zero pivot beside it counts as
  // NaN, in the first column and after an elimination step alike.
  for (const Elems& a : {Elems{NAN, 0, 0, 0, 1, 0, 0, 0, 1}, Elems{1, 0, 0, 0, NAN, 0, 0, 0, 1}}) {
    v = Result(ctx_, DetBuiltin, {Mat(3, 3, a)});
    ASSERT_EQ(v.re.size(), 1u);
    EXPECT_TRUE(std::isnan(v.re[0]));
  }
  EXPECT_EQ(Result(ctx_, DetBuiltin, {Mat(2, 2, {0, NAN, 0, 1})}).re, Elems{0});  // a zero column

  EXPECT_EQ(Result(ctx_, DetBuiltin, {Row({})}).re, Elems{1});
  EXPECT_EQ(Result(ctx_, InvBuiltin, {Row({})}).dims, (Dims{0, 0}));
  EXPECT_EQ(Failure(ctx_, DetBuiltin, {Row({1, 2, 3})}), kErrIncompSize);
  EXPECT_EQ(Failure(ctx_, InvBuiltin, {Row({1, 2, 3})}), kErrNonSquareSize);
  EXPECT_EQ(Failure(ctx_, DetBuiltin, {Text("ab")}), kErrWrongTypeOverload);
  EXPECT_EQ(Failure(ctx_, InvBuiltin, {Text("ab")}), kErrWrongTypeOverload);
}

TEST_F(MatrixTest, IntegerPowersOfMatrices) {
  auto power = [&](const Elems& a, double p) {
    return Result(ctx_, MpowerBuiltin, {Mat(2, 2, a), Row({p})}).re;
  };
  EXPECT_EQ(power({1, 1, 0, 1}, 10), (Elems{1, 10, 0, 1}));
  EXPECT_EQ(power({1, 1, 0, 1}, 1023), (Elems{1, 1023, 0, 1}));
  ExpectNear(power({1, 1, 0, 1}, -1), {1, -1, 0, 1});
  ExpectNear(power({1, 1, 0, 1}, -3), {1, -3, 0, 1});
  EXPECT_EQ(power({5, 6, 7, 8}, 0), (Elems{1, 0, 0, 1}));
  EXPECT_EQ(power({1, 2, 3, 4}, 3), (Elems{37, 54, 81, 118}));
  ArrayValue v = Result(ctx_, MpowerBuiltin, {Mat(2, 2, {0, 0, 0, 1}, {1, 0, 0, 0}), Row({3})});
  EXPECT_EQ(v.re, (Elems{0, 0, 0, 1}));  // diag(i, 1)^3 = diag(-i, 1)
  EXPECT_EQ(v.im, (Elems{-1, 0, 0, 0}));

  for (double p : {0.5, 2000.0})
    EXPECT_EQ(Failure(ctx_, MpowerBuiltin, {Mat(2, 2, {1, 2, 3, 4}), Row({p})}), kErrNotSupported);
  EXPECT_EQ(Failure(ctx_, MpowerBuiltin, {Mat(2, 2, {1, 2, 3, 4}), Mat(2, 2, {1, 2, 3, 4})}),
            kErrNotSupported);
  EXPECT_EQ(Failure(ctx_, MpowerBuiltin, {Row({1, 2, 3}), Row({2})}), kErrNonSquareSize);
}

TEST_F(MatrixTest, ScalarBases) {
  auto scalar = [&](Arg a, double p) { return Result(ctx_, MpowerBuiltin, {a, Row({p})}); };
  EXPECT_EQ(scalar(Row({-8}), 3).re, Elems{-512});
  EXPECT_EQ(scalar(Row({-3}), 2).re, Elems{9});
  ArrayValue v = scalar(Row({-1}), 0.5);
  ExpectNear(v.re, {0});
  EXPECT_EQ(v.im, Elems{1});
  v = scalar(Row({2}, {0}), 2);  // a complex result with no imaginary part is real
  EXPECT_TRUE(v.im.empty());
  ExpectNear(v.re, {4});

  // s^M = expm(ln(s) M); negative and complex bases give complex results.
  auto toMatrix = [&](Arg s, const Elems& m) {
    return Result(ctx_, MpowerBuiltin, {s, Mat(2, 2, m)});
  };
  EXPECT_EQ(toMatrix(Row({2}), {0, 0, 0, 0}).re, (Elems{1, 0, 0, 1}));
  ExpectNear(toMatrix(Row({std::exp(1.0)}), {1, 0, 0, 2}).re, {std::exp(1.0), 0, 0, std::exp(2.0)});
  v = toMatrix(Row({-1}), {1, 0, 0, 2});
  ExpectNear(v.re, {-1, 0, 0, 1});
  ExpectNear(v.im, {0, 0, 0, 0});
  v = toMatrix(Row({0}, {1}), {1, 0, 0, 2});
  ExpectNear(v.re, {0, 0, 0, -1});
  ExpectNear(v.im, {1, 0, 0, 0});

  EXPECT_EQ(Failure(ctx_, MpowerBuiltin, {Row({2}), Row({1, 2})}), kErrNonSquareSize);
  EXPECT_EQ(Result(ctx_, MpowerBuiltin, {Row({2}), Row({})}).dims, (Dims{0, 0}));
}

TEST(MatrixKernels, ExponentialClosedForms) {
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
  // The rotation again as the complex diagonal diag(it, -it).
  Elems a{0, 0, 0, 0, t, 0, 0, -t}, result(8), work(4 + 16);
  ExpmComplex(a.data(), 2, result.data(), work.data());
  ExpectNear(result, {std::cos(t), 0, 0, std::cos(t), std::sin(t), 0, 0, -std::sin(t)});

  // A norm far beyond the largest scale (2^30) still gives the exact result
  // of a nilpotent matrix.
  const double big = std::ldexp(1.0, 40);
  Elems n{0, big, 0, 0}, r(4), w(10);
  ExpmReal(n.data(), 2, r.data(), w.data());
  EXPECT_EQ(r, (Elems{1, big, 0, 1}));

  // Squarings that overflow keep Inf where it arises and 0 beside it and
  // where entries underflow, real and complex alike.
  const double inf = INFINITY;
  Elems huge{1e6, 0, 0, -1e6};
  ExpmReal(huge.data(), 2, r.data(), w.data());
  EXPECT_EQ(r, (Elems{inf, 0, 0, 0}));
  Elems upper{1e6, 1e6, 0, -1e6};
  ExpmReal(upper.data(), 2, r.data(), w.data());
  EXPECT_EQ(r, (Elems{inf, inf, 0, 0}));
  Elems hugeComplex{1e6, 0, 0, -1e6, 0, 0, 0, 0}, rc(8), wc(20);
  ExpmComplex(hugeComplex.data(), 2, rc.data(), wc.data());
  EXPECT_EQ(rc, (Elems{inf, 0, 0, 0, 0, 0, 0, 0}));

  const double rows[] = {1, -2, 3, -4};
  EXPECT_EQ(MatrixNormReal(rows, 2), 7);
  const double re[] = {3, 0, 0, 0}, im[] = {4, 0, 1, 0};
  EXPECT_EQ(MatrixNormComplex(re, im, 2), 5);
}

}  // namespace
}  // namespace vke
