// The comparisons, the element-wise logical operators and the float class
// tests, which all yield logical arrays.
#include <gtest/gtest.h>

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

using Bits = std::vector<double>;

class Relational : public ::testing::Test {
 protected:
  // Calls the builtin on the values on top (count of them); the logical
  // result's elements, or an error code as the only element on failure.
  Bits Apply(const std::string& op, int32_t count = 2) {
    int32_t before = EntryCount(ctx);
    ErrCode e = CallByName(ctx, op);
    if (e) {
      Drop(ctx, count);
      return {-static_cast<double>(e)};
    }
    EXPECT_EQ(EntryCount(ctx), before - count + 1) << op;
    ArrayValue r = ReadArray(ctx);
    EXPECT_EQ(r.cls, "logical") << op;
    dims = r.dims;
    Drop(ctx);
    return r.re;
  }
  Bits Scalars(const std::string& op, const std::string& clsA, double a, const std::string& clsB,
               double b) {
    PushScalar(ctx, clsA, a);
    PushScalar(ctx, clsB, b);
    return Apply(op);
  }

  TestHost host;
  EngineContext* ctx = host.ctx();
  std::vector<int32_t> dims;
};

TEST_F(Relational, NaNIsUnorderedAndUnequal) {
  EXPECT_EQ(Scalars("eq", "double", kNaN, "double", kNaN), Bits{0});
  EXPECT_EQ(Scalars("ne", "double", kNaN, "double", kNaN), Bits{1});
  for (const char* op : {"lt", "gt", "le", "ge"}) {
    EXPECT_EQ(Scalars(op, "double", kNaN, "double", 1), Bits{0}) << op;
    EXPECT_EQ(Scalars(op, "single", 1, "single", kNaN), Bits{0}) << op;
  }
  PushRow(ctx, "double", {1, 2, 3, kInf});
  PushScalar(ctx, "double", 2);
  EXPECT_EQ(Apply("lt"), (Bits{1, 0, 0, 0}));
  PushScalar(ctx, "double", 2);
  PushRow(ctx, "double", {1, 2, 3, kNaN});
  EXPECT_EQ(Apply("ge"), (Bits{1, 1, 0, 0}));
  PushScalar(ctx, "double", 2);
  PushRow(ctx, "double", {1, 2, 3, kNaN});
  EXPECT_EQ(Apply("gt"), (Bits{1, 0, 0, 0}));
}

struct ComplexCase {
  const char* op;
  std::complex<double> a;
  double b;
  double expected;
};

TEST_F(Relational, ComplexValuesAreEqualByBothPartsAndOrderedByRealParts) {
  const ComplexCase cases[] = {
      {"eq", {1, 2}, 1, 0}, {"eq", {1, 0}, 1, 1}, {"ne", {1, kNaN}, 1, 1},
      {"lt", {1, 5}, 2, 1}, {"gt", {0, 3}, 0, 0}, {"le", {2, -1}, 2, 1},
  };
  for (const ComplexCase& c : cases) {
    PushComplex(ctx, c.a.real(), c.a.imag());
    PushScalar(ctx, "double", c.b);
    EXPECT_EQ(Apply(c.op), Bits{c.expected}) << c.op << " " << c.a << " " << c.b;
  }
  PushArray(ctx, "single", {1, 2}, {1, 1}, {2, 0});
  PushScalar(ctx, "single", 1);
  EXPECT_EQ(Apply("ne"), (Bits{1, 0}));
}

TEST_F(Relational, MixedClassesAreComparedInTheirCommonClass) {
  PushRow(ctx, "char", {'a', 'b', 'c'});
  PushRow(ctx, "char", {'a', 'b', 'd'});
  EXPECT_EQ(Apply("eq"), (Bits{1, 1, 0}));
  EXPECT_EQ(Scalars("lt", "char", 'a', "char", 'b'), Bits{1});
  EXPECT_EQ(Scalars("eq", "char", 'a', "double", 97), Bits{1});
  // int8(-1) becomes uint8(255); with int16 the sign survives.
  EXPECT_EQ(Scalars("eq", "int8", -1, "uint8", 255), Bits{1});
  EXPECT_EQ(Scalars("lt", "int8", -1, "int16", 0), Bits{1});
  EXPECT_EQ(Scalars("lt", "int8", -1, "uint8", 0), Bits{0});
  EXPECT_EQ(Scalars("gt", "int64", -1, "int64", -2), Bits{1});
  EXPECT_EQ(Scalars("gt", "uint64", 18446744073709549568.0, "uint64", 1), Bits{1});
  EXPECT_EQ(Scalars("le", "logical", 1, "int8", 1), Bits{1});
  EXPECT_EQ(Scalars("eq", "single", 0.1, "double", 0.1), Bits{0});
  EXPECT_EQ(Scalars("ge", "int32", 3, "double", 2.5), Bits{1});
}

TEST_F(Relational, OperandShapesAndTypes) {
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  PushArray(ctx, "double", {2, 3}, {1, 2, 3, 4, 5, 6});
  EXPECT_EQ(Apply("eq"), Bits{-kErrIncompSize});
  PushArray(ctx, "int16", {2, 1, 2}, {1, 2, 3, 4});
  PushArray(ctx, "int16", {2, 1, 2}, {4, 2, 3, 1});
  EXPECT_EQ(Apply("le"), (Bits{1, 1, 1, 0}));
  EXPECT_EQ(dims, (std::vector<int32_t>{2, 1, 2}));
  PushRow(ctx, "double", {});
  PushScalar(ctx, "double", 1);
  EXPECT_EQ(Apply("ne"), Bits{});

  PushScalar(ctx, "double", 1);
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, nullptr, 0), kOk);
  PushScalar(ctx, "double", 1);
  EXPECT_EQ(Apply("eq"), Bits{-kErrWrongTypeOverload});
}

TEST_F(Relational, LogicalOperatorsWorkOnTruthValues) {
  EXPECT_EQ(Scalars("and", "double", 2, "double", 0), Bits{0});
  EXPECT_EQ(Scalars("or", "double", 2, "double", 0), Bits{1});
  EXPECT_EQ(Scalars("xor", "int8", -3, "uint16", 7), Bits{0});
  PushRow(ctx, "double", {1, 0});
  PushScalar(ctx, "double", 1);
  EXPECT_EQ(Apply("xor"), (Bits{0, 1}));
  PushRow(ctx, "logical", {1, 1, 0, 0});
  PushRow(ctx, "char", {'a', 0, 'b', 0});
  EXPECT_EQ(Apply("and"), (Bits{1, 0, 0, 0}));
  PushArray(ctx, "double", {1, 2}, {0, 0}, {1, 0});
  PushScalar(ctx, "logical", 0);
  EXPECT_EQ(Apply("or"), (Bits{1, 0}));

  PushRow(ctx, "double", {1, 0, 1});
  PushRow(ctx, "double", {1, 0});
  EXPECT_EQ(Apply("or"), Bits{-kErrIncompSize});
  // Values without a truth value fail with the conversion's own code; an
  // object lets its class method serve.
  PushScalar(ctx, "single", 1);
  PushScalar(ctx, "double", 1);
  EXPECT_EQ(Apply("and"), Bits{-kErrWrongType});
  PushScalar(ctx, "double", 1);
  ASSERT_EQ(PushListFromEntries(ctx, 0, false, nullptr, 0), kOk);
  EXPECT_EQ(Apply("or"), Bits{-kErrWrongType});
  PushScalar(ctx, "double", 1);
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, "f", -1), kOk);
  DescAt(ctx, 0)->word = 7;  // an object of a class
  PushScalar(ctx, "double", 1);
  EXPECT_EQ(Apply("xor"), Bits{-kErrWrongTypeOverload});
}

TEST_F(Relational, FloatClassTests) {
  PushArray(ctx, "double", {1, 4}, {kInf, 1, kNaN, 0}, {0, -kInf, 0, kNaN});
  EXPECT_EQ(Apply("isinf", 1), (Bits{1, 1, 0, 0}));
  PushArray(ctx, "double", {1, 4}, {kInf, 1, kNaN, 0}, {0, -kInf, 0, kNaN});
  EXPECT_EQ(Apply("isnan", 1), (Bits{0, 0, 1, 1}));
  PushArray(ctx, "double", {1, 4}, {kInf, 1, kNaN, 0}, {0, 0, 0, 1});
  EXPECT_EQ(Apply("isfinite", 1), (Bits{0, 1, 0, 1}));
  PushArray(ctx, "double", {1, 2, 2}, {kNaN, 1, -kInf, 0});
  EXPECT_EQ(Apply("isfinite", 1), (Bits{0, 1, 0, 1}));
  EXPECT_EQ(dims, (std::vector<int32_t>{1, 2, 2}));
  for (const char* cls : {"int8", "single", "char", "logical"}) {
    PushScalar(ctx, cls, 1);
    EXPECT_EQ(Apply("isnan", 1), Bits{-kErrWrongTypeOverload}) << cls;
  }
}

class RelationalOfEmpties : public EvalFixture {};

// The logical result of an operand without elements has its shape.
TEST_F(RelationalOfEmpties, KeepTheShapeOfTheOperandWithoutElements) {
  for (const char* x : {"zeros(3, 0)", "zeros(3, 0, 'int16')", "char(zeros(3, 0))", "false(3, 0)"})
    for (const char* op : {"x == 1", "x < x", "1 >= x", "x ~= x", "x & 1", "x | x", "xor(x, 1)"}) {
      const std::string text = std::string("x = ") + x + "; size(" + op + ")";
      EXPECT_EQ(Eval(text), "[3,0]") << text;
    }
  for (const char* op : {"isnan", "isinf", "isfinite"})
    EXPECT_EQ(Eval(std::string(op) + "(zeros(3, 0))"), "false(3,0)") << op;
  EXPECT_EQ(Eval("zeros(0, 2, 'single') == 1"), "false(0,2)");
}

}  // namespace
}  // namespace vke
