// The element-wise arithmetic builtins over every class, and uminus and conj.
#include "builtins/arith.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <string>
#include <vector>

#include "builtins/builtin.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "tests/host/eval_fixture.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using namespace test;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class Arith : public ::testing::Test {
 protected:
  // Calls the builtin on the two values on top; the result (popped) or, on
  // failure, a value of class "error <code>".
  ArrayValue Apply(const std::string& op) {
    int32_t before = EntryCount(ctx);
    ErrCode e = CallByName(ctx, op);
    if (e) {
      Drop(ctx, 2);
      ArrayValue failed;
      failed.cls = "error " + std::to_string(e);
      return failed;
    }
    EXPECT_EQ(EntryCount(ctx), before - 1) << op;
    ArrayValue r = ReadArray(ctx);
    Drop(ctx);
    return r;
  }
  ArrayValue Scalars(const std::string& op, const std::string& clsA, double a,
                     const std::string& clsB, double b) {
    PushScalar(ctx, clsA, a);
    PushScalar(ctx, clsB, b);
    return Apply(op);
  }
  ArrayValue Complexes(const std::string& op, std::complex<double> a, std::complex<double> b) {
    PushComplex(ctx, a.real(), a.imag());
    PushComplex(ctx, b.real(), b.imag());
    return Apply(op);
  }

  TestHost host;
  EngineContext* ctx = host.ctx();
};

struct IntegerCase {
  const char* op;
  const char* cls;
  double a, b, expected;
};

TEST_F(Arith, IntegerResultsWrapAndDivisionTruncatesTowardZero) {
  const IntegerCase cases[] = {
      {"plus", "int8", 100, 100, -56},
      {"minus", "uint8", 3, 5, 254},
      {"times", "uint16", 300, 300, 24464},
      {"times", "int32", 65536, 65536, 0},
      {"minus", "int16", -32768, 1, 32767},
      {"rdivide", "int16", 7, 2, 3},
      {"rdivide", "int16", -7, 2, -3},
      {"rdivide", "int32", 5, 0, 0},
      {"rdivide", "int8", -128, -1, -128},
      {"rdivide", "int32", -2147483648.0, -1, -2147483648.0},
      {"ldivide", "int16", 2, 7, 3},
      {"rdivide", "uint32", 4000000000.0, 3, 1333333333},
      {"rem", "int8", -7, 3, -1},
      {"mod", "int8", -7, 3, 2},
      {"mod", "int8", 7, -3, -2},
      {"mod", "int8", -6, 3, 0},
      {"mod", "int8", -128, 127, 126},
      {"mod", "int8", 5, 0, 5},
      {"mod", "uint8", 5, 0, 5},
      {"rem", "int8", 5, 0, 0},
      {"rem", "int8", -128, -1, 0},
      {"mod", "int8", -128, -1, 0},
      {"rem", "int64", -9223372036854775808.0, -1, 0},
      {"rem", "uint64", 18446744073709549568.0, 10, 8},
  };
  for (const IntegerCase& c : cases) {
    ArrayValue r = Scalars(c.op, c.cls, c.a, c.cls, c.b);
    EXPECT_EQ(r.cls, c.cls) << c.op << " " << c.a << " " << c.b;
    ASSERT_EQ(r.re.size(), 1u);
    EXPECT_EQ(r.re[0], c.expected) << c.op << "(" << c.cls << ") " << c.a << " " << c.b;
  }
  // The 64-bit extremes wrap exactly.
  ArrayValue low = Scalars("minus", "int64", -9223372036854775808.0, "int64", 1);
  EXPECT_EQ(low.bits, std::vector<int64_t>{std::numeric_limits<int64_t>::max()});
  ArrayValue quotient = Scalars("rdivide", "int64", -9223372036854775808.0, "int64", -1);
  EXPECT_EQ(quotient.bits, std::vector<int64_t>{std::numeric_limits<int64_t>::min()});
}

TEST_F(Arith, PowersOfIntegerClassesAreRefused) {
  EXPECT_EQ(Scalars("power", "int8", 5, "int8", 2).cls, "error 107");
  EXPECT_EQ(Scalars("realpow", "uint16", 5, "uint16", 2).cls, "error 107");
  // A double exponent makes the common class double.
  ArrayValue r = Scalars("power", "int8", 5, "double", 2);
  EXPECT_EQ(r.cls, "double");
  EXPECT_EQ(r.re, std::vector<double>{25});
}

struct MixedCase {
  const char* clsA;
  double a;
  const char* clsB;
  double b;
  const char* cls;
  double sum;
};

TEST_F(Arith, MixedOperandsMeetInTheirCommonClass) {
  const MixedCase cases[] = {
      {"logical", 1, "logical", 1, "uint8", 2},
      {"char", 97, "char", 98, "uint16", 195},
      {"char", 97, "double", 1, "double", 98},
      {"uint8", 200, "int8", -1, "uint8", 199},  // int8(-1) becomes uint8(255)
      {"int16", -1, "uint16", 1, "uint16", 0},
      {"single", 1.5, "int32", 2, "single", 3.5},
      {"logical", 1, "int64", -3, "int64", -2},
  };
  for (const MixedCase& c : cases) {
    for (bool swapped : {false, true}) {
      ArrayValue r = swapped ? Scalars("plus", c.clsB, c.b, c.clsA, c.a)
                             : Scalars("plus", c.clsA, c.a, c.clsB, c.b);
      EXPECT_EQ(r.cls, c.cls) << c.clsA << " + " << c.clsB;
      EXPECT_EQ(r.re, std::vector<double>{c.sum}) << c.clsA << " + " << c.clsB;
    }
  }
}

TEST_F(Arith, OnlyScalarsExpand) {
  PushRow(ctx, "double", {1, 2, 3});
  PushArray(ctx, "double", {3, 1}, {1, 2, 3});
  EXPECT_EQ(Apply("plus").cls, "error 20");

  PushRow(ctx, "double", {});
  PushScalar(ctx, "double", 1);
  ArrayValue empty = Apply("plus");
  EXPECT_EQ(empty.cls, "double");
  EXPECT_EQ(empty.dims, (std::vector<int32_t>{0, 0}));

  PushRow(ctx, "double", {});
  PushRow(ctx, "double", {1, 2});
  EXPECT_EQ(Apply("plus").cls, "error 20");

  // Same element count, other dimensions.
  PushArray(ctx, "double", {2, 2, 2}, {1, 2, 3, 4, 5, 6, 7, 8});
  PushArray(ctx, "double", {2, 4}, {1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(Apply("times").cls, "error 20");

  PushScalar(ctx, "double", 10);
  PushArray(ctx, "double", {2, 3}, {1, 2, 3, 4, 5, 6});
  ArrayValue left = Apply("minus");
  EXPECT_EQ(left.dims, (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(left.re, (std::vector<double>{9, 8, 7, 6, 5, 4}));

  PushArray(ctx, "int8", {2, 1, 2}, {1, 2, 3, 4});
  PushArray(ctx, "int8", {2, 1, 2}, {10, 20, 30, 40});
  ArrayValue nd = Apply("plus");
  EXPECT_EQ(nd.cls, "int8");
  EXPECT_EQ(nd.dims, (std::vector<int32_t>{2, 1, 2}));
  EXPECT_EQ(nd.re, (std::vector<double>{11, 22, 33, 44}));

  PushArray(ctx, "double", {1, 2, 2}, {1, 2, 3, 4});
  PushScalar(ctx, "double", 2);
  ArrayValue ndDouble = Apply("power");
  EXPECT_FALSE(ndDouble.plain);
  EXPECT_EQ(ndDouble.dims, (std::vector<int32_t>{1, 2, 2}));
  EXPECT_EQ(ndDouble.re, (std::vector<double>{1, 4, 9, 16}));
}

TEST_F(Arith, NonNumericOperandsLetAClassMethodServe) {
  PushScalar(ctx, "double", 1);
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, "f", -1), kOk);
  PushScalar(ctx, "double", 1);
  EXPECT_EQ(Apply("plus").cls, "error 44");
  PushScalar(ctx, "int8", 1);
  PushScalar(ctx, "double", 1);
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, nullptr, 0), kOk);
  EXPECT_EQ(Apply("power").cls, "error 44");
}

struct DoubleCase {
  const char* op;
  double a, b, expected;
};

TEST_F(Arith, RealDoublesFollowIeeeWithRemAndModRules) {
  const DoubleCase cases[] = {
      {"plus", 0.5, 0.25, 0.75},
      {"minus", 1, 3, -2},
      {"times", -1.5, 4, -6},
      {"rdivide", 1, 0, kInf},
      {"rdivide", -1, 0, -kInf},
      {"ldivide", 2, 6, 3},
      {"rem", -7, 3, -1},
      {"mod", -7, 3, 2},
      {"mod", 7, -3, -2},
      {"mod", 5, 0, 5},
      {"rem", 5, 0, kNaN},
      {"rem", 5.5, 2, 1.5},
      {"realpow", 2, 10, 1024},
      {"realpow", -8, 1.0 / 3, kNaN},
      {"power", -2, 3, -8},
      {"power", 0, 0, 1},
      {"power", kNaN, 0, 1},
      {"power", -2, kInf, kInf},
      {"power", -0.5, kInf, 0},
      {"power", 4, 0.5, 2},
      // A dividend far smaller than the divisor is its own modulus.
      {"mod", 5, 1e17, 5},
      {"mod", 0.3, 1e10, 0.3},
      {"mod", 1e-10, 1, 1e-10},
      {"mod", -1e-10, -1, -1e-10},
      {"mod", -0.5, 1e10, 1e10 - 0.5},
      {"rem", -1e-10, 1, -1e-10},
      // Whole numbers at the edge of exact integers, either sign.
      {"mod", -9007199254740991, 10, 9},
      {"mod", 9007199254740991, -10, -9},
      {"mod", -12, -5, -2},
  };
  for (const DoubleCase& c : cases) {
    // Scalars, an array against a scalar on either side, and two arrays.
    for (int layout = 0; layout < 4; layout++) {
      const std::string where = std::string(c.op) + " layout " + std::to_string(layout);
      if (layout & 1) {
        PushRow(ctx, "double", {c.a, c.a});
      } else {
        PushScalar(ctx, "double", c.a);
      }
      if (layout & 2) {
        PushRow(ctx, "double", {c.b, c.b});
      } else {
        PushScalar(ctx, "double", c.b);
      }
      ArrayValue r = Apply(c.op);
      ASSERT_EQ(r.cls, "double") << where;
      EXPECT_TRUE(r.plain && r.im.empty()) << where;
      ASSERT_EQ(r.re.size(), layout ? 2u : 1u) << where;
      for (double x : r.re) {
        if (std::isnan(c.expected)) {
          EXPECT_TRUE(std::isnan(x)) << where;
        } else {
          EXPECT_EQ(x, c.expected) << where;
        }
      }
    }
  }
}

TEST_F(Arith, SingleOperandsAreComputedAndStoredAsSingle) {
  PushScalar(ctx, "single", 1);
  PushRow(ctx, "single", {3, 7});
  ArrayValue r = Apply("rdivide");
  EXPECT_EQ(r.cls, "single");
  EXPECT_EQ(r.re, (std::vector<double>{1.0f / 3.0f, 1.0f / 7.0f}));

  PushRow(ctx, "single", {-8, 9});
  PushScalar(ctx, "single", 0.5);
  ArrayValue root = Apply("power");
  EXPECT_EQ(root.cls, "single");
  ASSERT_EQ(root.im.size(), 2u);
  EXPECT_NEAR(root.re[0], 0, 1e-6);
  EXPECT_FLOAT_EQ(root.im[0], std::sqrt(8.0f));
  EXPECT_EQ(root.re[1], 3);
  EXPECT_EQ(root.im[1], 0);
}

TEST_F(Arith, NegativeBasesGoComplexOnlyUnderNonIntegerExponents) {
  ArrayValue cube = Scalars("power", "double", -8, "double", 1.0 / 3);
  ASSERT_EQ(cube.im.size(), 1u);
  EXPECT_NEAR(cube.re[0], 1, 1e-12);
  EXPECT_NEAR(cube.im[0], std::sqrt(3.0), 1e-12);

  // One negative base makes the whole result complex.
  PushRow(ctx, "double", {8, -8});
  PushScalar(ctx, "double", 1.0 / 3);
  ArrayValue mixed = Apply("power");
  ASSERT_EQ(mixed.im.size(), 2u);
  EXPECT_NEAR(mixed.re[0], 2, 1e-15);
  EXPECT_EQ(mixed.im[0], 0);
  EXPECT_NEAR(mixed.im[1], std::sqrt(3.0), 1e-12);

  PushRow(ctx, "double", {-2, -2, -3});
  PushRow(ctx, "double", {3, 2, -1});
  ArrayValue integral = Apply("power");
  EXPECT_TRUE(integral.im.empty());
  EXPECT_EQ(integral.re[0], -8);
  EXPECT_EQ(integral.re[1], 4);
  EXPECT_DOUBLE_EQ(integral.re[2], -1.0 / 3);
}

TEST_F(Arith, ComplexOperands) {
  // A result whose imaginary parts are zero stays complex.
  ArrayValue sum = Complexes("plus", {1, 2}, {1, -2});
  EXPECT_EQ(sum.re, std::vector<double>{2});
  EXPECT_EQ(sum.im, std::vector<double>{0});

  ArrayValue product = Complexes("times", {1, 2}, {3, -1});
  EXPECT_EQ(product.re, std::vector<double>{5});
  EXPECT_EQ(product.im, std::vector<double>{5});

  PushScalar(ctx, "double", 1);
  PushComplex(ctx, 1, 2);
  ArrayValue difference = Apply("minus");
  EXPECT_EQ(difference.re, std::vector<double>{0});
  EXPECT_EQ(difference.im, std::vector<double>{-2});

  ArrayValue quotient = Complexes("rdivide", {1, 2}, {3, 4});
  EXPECT_DOUBLE_EQ(quotient.re[0], 0.44);
  EXPECT_DOUBLE_EQ(quotient.im[0], 0.08);
  ArrayValue left = Complexes("ldivide", {3, 4}, {1, 2});
  EXPECT_EQ(left.re, quotient.re);
  EXPECT_EQ(left.im, quotient.im);

  // The scaled division neither overflows nor underflows on its way.
  ArrayValue big = Complexes("rdivide", {1e300, 1e300}, {1e300, 1e300});
  EXPECT_EQ(big.re, std::vector<double>{1});
  EXPECT_EQ(big.im, std::vector<double>{0});
  ArrayValue tiny = Complexes("rdivide", {1e-300, 2e-300}, {2e-300, 4e-300});
  EXPECT_DOUBLE_EQ(tiny.re[0], 0.5);
  EXPECT_DOUBLE_EQ(tiny.im[0], 0);
  ArrayValue steep = Complexes("rdivide", {2, 4}, {1, 2});
  EXPECT_DOUBLE_EQ(steep.re[0], 2);
  EXPECT_DOUBLE_EQ(steep.im[0], 0);
}

TEST_F(Arith, ComplexDivisionByZeroAndNaN) {
  ArrayValue realOverZero = Complexes("rdivide", {1, 0}, {0, 0});
  EXPECT_EQ(realOverZero.re, std::vector<double>{kInf});
  EXPECT_EQ(realOverZero.im, std::vector<double>{0});
  ArrayValue complexOverZero = Complexes("rdivide", {1, 1}, {0, 0});
  EXPECT_TRUE(std::isnan(complexOverZero.re[0]) && std::isnan(complexOverZero.im[0]));
  // A real divisor divides both parts.
  PushComplex(ctx, 1, -1);
  PushScalar(ctx, "double", 0);
  ArrayValue byRealZero = Apply("rdivide");
  EXPECT_EQ(byRealZero.re, std::vector<double>{kInf});
  EXPECT_EQ(byRealZero.im, std::vector<double>{-kInf});
  // A NaN in the divisor never passes for a zero divisor.
  for (std::complex<double> divisor : {std::complex<double>{kNaN, 0}, {0, kNaN}, {kNaN, kNaN}}) {
    ArrayValue r = Complexes("rdivide", {1, 0}, divisor);
    EXPECT_TRUE(std::isnan(r.re[0]) && std::isnan(r.im[0])) << divisor;
  }
}

TEST_F(Arith, ComplexRemModAndRealpow) {
  EXPECT_EQ(Complexes("rem", {5, 1}, {2, 0}).cls, "error 43");
  PushScalar(ctx, "double", 5);
  PushArray(ctx, "single", {1, 1}, {2}, {1});
  EXPECT_EQ(Apply("mod").cls, "error 43");
  // realpow ignores the imaginary parts.
  ArrayValue r = Complexes("realpow", {4, 3}, {0.5, 7});
  EXPECT_TRUE(r.im.empty());
  EXPECT_EQ(r.re, std::vector<double>{2});
}

TEST_F(Arith, ComplexPowers) {
  ArrayValue one = Complexes("power", {0, 0}, {0, 0});
  EXPECT_EQ(one.re, std::vector<double>{1});
  ArrayValue zero = Complexes("power", {0, 0}, {-1, 1});
  EXPECT_EQ(zero.re, std::vector<double>{0});
  EXPECT_EQ(zero.im, std::vector<double>{0});
  // Checked against the standard library's principal value.
  const std::complex<double> cases[][2] = {
      {{0, 1}, {2, 0}}, {{-8, 0}, {1.0 / 3, 0}}, {{1, 2}, {0.5, -1.5}}, {{-3, -4}, {-2, 0.25}}};
  for (const auto& c : cases) {
    ArrayValue r = Complexes("power", c[0], c[1]);
    std::complex<double> expected = std::pow(c[0], c[1]);
    EXPECT_NEAR(r.re[0], expected.real(), 1e-12) << c[0] << " ^ " << c[1];
    EXPECT_NEAR(r.im[0], expected.imag(), 1e-12) << c[0] << " ^ " << c[1];
  }
  // Large moduli do not overflow on the way to the logarithm.
  double re, im;
  ComplexPowerScalar(3e200, 4e200, 0.5, 0, &re, &im);
  std::complex<double> root = std::sqrt(std::complex<double>(3e200, 4e200));
  EXPECT_NEAR(re / root.real(), 1, 1e-12);
  EXPECT_NEAR(im / root.imag(), 1, 1e-12);
}

TEST_F(Arith, UminusNegatesInPlaceAndRelabelsCharAndLogical) {
  PushArray(ctx, "double", {1, 2}, {1, -2}, {3, 0});
  ASSERT_EQ(CallByName(ctx, "uminus"), kOk);
  ArrayValue plain = ReadArray(ctx);
  EXPECT_EQ(plain.re, (std::vector<double>{-1, 2}));
  EXPECT_EQ(plain.im, (std::vector<double>{-3, 0}));

  PushArray(ctx, "single", {1, 1, 2}, {1, 2}, {3, 4});
  ASSERT_EQ(CallByName(ctx, "uminus"), kOk);
  ArrayValue single = ReadArray(ctx);
  EXPECT_EQ(single.cls, "single");
  EXPECT_EQ(single.dims, (std::vector<int32_t>{1, 1, 2}));
  EXPECT_EQ(single.re, (std::vector<double>{-1, -2}));
  EXPECT_EQ(single.im, (std::vector<double>{-3, -4}));

  const struct {
    const char* cls;
    double value;
    const char* resultCls;
    double result;
  } integers[] = {
      {"int8", -128, "int8", -128}, {"int8", 5, "int8", -5},       {"uint8", 1, "uint8", 255},
      {"int64", 7, "int64", -7},    {"char", 97, "uint16", 65439}, {"logical", 1, "uint8", 255},
      {"uint32", 0, "uint32", 0},
  };
  for (const auto& c : integers) {
    PushScalar(ctx, c.cls, c.value);
    ASSERT_EQ(CallByName(ctx, "uminus"), kOk);
    ArrayValue r = ReadArray(ctx);
    EXPECT_EQ(r.cls, c.resultCls) << c.cls;
    EXPECT_EQ(r.re, std::vector<double>{c.result}) << c.cls;
  }

  PushScalar(ctx, "double", 1);
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, "f", -1), kOk);
  EXPECT_EQ(CallByName(ctx, "uminus"), kErrWrongTypeOverload);
}

TEST_F(Arith, ConjNegatesImaginaryPartsOnly) {
  PushArray(ctx, "double", {2, 1}, {1, 2}, {3, -4});
  ASSERT_EQ(CallByName(ctx, "conj"), kOk);
  ArrayValue plain = ReadArray(ctx);
  EXPECT_EQ(plain.re, (std::vector<double>{1, 2}));
  EXPECT_EQ(plain.im, (std::vector<double>{-3, 4}));

  PushArray(ctx, "single", {1, 2}, {1, 2}, {5, 0});
  ASSERT_EQ(CallByName(ctx, "conj"), kOk);
  EXPECT_EQ(ReadArray(ctx).im, (std::vector<double>{-5, 0}));

  PushRow(ctx, "char", {97, 98});
  ASSERT_EQ(CallByName(ctx, "conj"), kOk);
  ArrayValue chars = ReadArray(ctx);
  EXPECT_EQ(chars.cls, "char");
  EXPECT_EQ(chars.re, (std::vector<double>{97, 98}));

  ASSERT_EQ(PushListFromEntries(ctx, 0, false, nullptr, 0), kOk);
  EXPECT_EQ(CallByName(ctx, "conj"), kErrWrongTypeOverload);
}

class ArithOfEmpties : public EvalFixture {};

// An operand without elements gives a result of its shape in every class: a
// 3 x 0 array stays 3 x 0, and rows of none append to it.
TEST_F(ArithOfEmpties, KeepTheShapeOfTheOperandWithoutElements) {
  const char* const operands[] = {"zeros(3, 0)",           "zeros(3, 0, 'int8')",
                                  "zeros(3, 0, 'single')", "zeros(3, 0, 'uint64')",
                                  "char(zeros(3, 0))",     "false(3, 0)"};
  const char* const operations[] = {"x + 1",   "1 - x",     "x .* x",    "x ./ 2",
                                    "2 .\\ x", "rem(x, 3)", "mod(x, 3)", "x * 2",
                                    "x / 2",   "-x",        "x + x"};
  for (const char* x : operands)
    for (const char* op : operations) {
      const std::string text = std::string("x = ") + x + "; size(" + op + ")";
      EXPECT_EQ(Eval(text), "[3,0]") << text;
    }
  for (const char* x : {"zeros(3, 0)", "zeros(3, 0, 'single')"})
    for (const char* op : {"x .^ 2", "realpow(x, 2)", "2 .^ x", "x .^ 0.5"}) {
      const std::string text = std::string("x = ") + x + "; size(" + op + ")";
      EXPECT_EQ(Eval(text), "[3,0]") << text;
    }
  EXPECT_EQ(Eval("zeros(3, 0, 'int8') + zeros(3, 0, 'int8')"), "zeros(3,0,'int8')");
  EXPECT_EQ(Eval("zeros(0, 2, 'single') .* single(2)"), "zeros(0,2,'single')");
  EXPECT_EQ(Eval("size(zeros(2, 0, 3, 'uint16') - 1)"), "[2,0,3]");
  EXPECT_EQ(Eval("x = zeros(3, 0, 'int8') + 1; x(end + 1, :) = zeros(1, 0); size(x)"), "[4,0]");
  EXPECT_EQ(Eval("size([] + 1)"), "[0,0]");
  EXPECT_EQ(Eval("zeros(3, 0, 'int8') .^ int8(2)"), "error 107");
}

}  // namespace
}  // namespace vke
