// Class tests and casts: is* tests, logical and not, uplus, double and
// single, swapbytes, cast and typecast, char and setstr.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/eval_fixture.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using namespace test;

class Casts : public ::testing::Test {
 protected:
  // name(pushed values) as text; the result is dropped.
  template <typename Push>
  std::string Result(const std::string& name, int32_t nargin, Push push) {
    push();
    return CallForText(ctx, name, nargin);
  }
  std::string Test(const std::string& name, double x) {
    return Result(name, 1, [&] { PushRealScalar(ctx, x); });
  }

  TestHost host;
  EngineContext* ctx = host.ctx();
};

TEST_F(Casts, ClassTestsByValueClass) {
  EXPECT_EQ(Result("isnumeric", 1, [&] { PushText(ctx, "a"); }), "false");
  EXPECT_EQ(Result("isinteger", 1, [&] { PushText(ctx, "a"); }), "true");
  EXPECT_EQ(Result("isinteger", 1, [&] { PushRow(ctx, "logical", {1}); }), "true");
  EXPECT_EQ(Result("isfloat", 1, [&] { PushIntegers(ctx, kCodeInt32, {1, 1}, {1}); }), "false");
  EXPECT_EQ(Result("isvector", 1, [&] { PushEmptyMatrix(ctx); }), "true");
  EXPECT_EQ(Result("isnumeric", 1, [&] { PushIntegers(ctx, kCodeUInt64, {1, 1}, {1}); }), "true");
  EXPECT_EQ(Result("isnumeric", 1, [&] { PushRow(ctx, "logical", {1}); }), "false");
  EXPECT_EQ(Result("isfloat", 1,
                   [&] {
                     const int32_t dims[2] = {1, 1};
                     PushNewSingleArray(ctx, 2, dims, nullptr, nullptr);
                   }),
            "true");
  EXPECT_EQ(Result("ischar", 1, [&] { PushText(ctx, ""); }), "true");
  EXPECT_EQ(Result("islogical", 1, [&] { PushRealScalar(ctx, 1); }), "false");
  EXPECT_EQ(Result("isnumeric", 1, [&] { MakeList(ctx, 0); }), "false");
  // isscalar and isvector refuse values that are not arrays.
  EXPECT_EQ(Test("isscalar", 4), "true");
  EXPECT_EQ(Result("isscalar", 1, [&] { MakeList(ctx, 0); }), "error 44");
  EXPECT_EQ(Result("isvector", 1, [&] { MakeStruct(ctx, {}); }), "error 44");
  EXPECT_EQ(Result("isvector", 1,
                   [&] {
                     PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
                   }),
            "false");
  EXPECT_EQ(Result("isvector", 1,
                   [&] {
                     PushIntegers(ctx, kCodeInt8, {1, 1, 3}, {1, 2, 3});
                   }),
            "false");
  EXPECT_EQ(Result("isvector", 1, [&] { PushArray(ctx, "double", {3, 1}, {1, 2, 3}); }), "true");
}

TEST_F(Casts, LogicalNotAndUplus) {
  EXPECT_EQ(Test("logical", NAN), "false");
  EXPECT_EQ(Result("logical", 1,
                   [&] {
                     PushIntegers(ctx, kCodeInt8, {1, 3}, {0, 5, -1});
                   }),
            "[false,true(1,2)]");
  EXPECT_EQ(Result("logical", 1,
                   [&] {
                     const int32_t dims[2] = {1, 1};
                     PushNewSingleArray(ctx, 2, dims, nullptr, nullptr);
                   }),
            "error 44");
  EXPECT_EQ(Result("not", 1, [&] { PushRow(ctx, "double", {2, 0}); }), "[false,true]");
  EXPECT_EQ(Result("not", 1, [&] { PushText(ctx, "a"); }), "false");
  EXPECT_EQ(Result("uplus", 1, [&] { PushRow(ctx, "logical", {1}); }), "1uint8");
  EXPECT_EQ(Result("uplus", 1, [&] { PushText(ctx, "a"); }), "97uint16");
  EXPECT_EQ(Test("uplus", -2), "-2");
  EXPECT_EQ(Result("uplus", 1, [&] { MakeStruct(ctx, {}); }), "error 44");
  EXPECT_EQ(Result("double", 1, [&] { PushIntegers(ctx, kCodeInt8, {1, 2}, {-3, 4}); }), "[-3,4]");
  EXPECT_EQ(Test("single", 0.1), "0.1single");
  EXPECT_EQ(Result("double", 1, [&] { MakeList(ctx, 0); }), "error 44");
}

TEST_F(Casts, SwapbytesReversesEachElement) {
  EXPECT_EQ(Result("swapbytes", 1,
                   [&] {
                     PushIntegers(ctx, kCodeUInt16, {1, 1}, {1});
                   }),
            "256uint16");
  PushRealScalar(ctx, 1);
  ASSERT_EQ(CallNamed(ctx, "swapbytes", 1), kOk);
  double x = 0;
  ASSERT_EQ(PopRealScalar(ctx, &x), kOk);
  EXPECT_EQ(std::bit_cast<uint64_t>(x), 0x000000000000F03Full);
  EXPECT_EQ(Result("swapbytes", 1, [&] { PushComplexScalar(ctx, 0, 5); }), "0");
  EXPECT_EQ(Result("swapbytes", 1,
                   [&] {
                     PushIntegers(ctx, kCodeInt8, {1, 2}, {1, 2});
                   }),
            "int8([1,2])");
  EXPECT_EQ(Result("swapbytes", 1, [&] { MakeList(ctx, 0); }), "error 44");
}

TEST_F(Casts, CastConvertsByClassName) {
  auto cast = [&](double x, const char* name) {
    return Result("cast", 2, [&] {
      PushRealScalar(ctx, x);
      PushText(ctx, name);
    });
  };
  EXPECT_EQ(cast(3.7, "int8"), "3int8");
  EXPECT_EQ(cast(-1, "uint8"), "255uint8");
  EXPECT_EQ(cast(-3.7, "int64"), "-3int64");
  EXPECT_EQ(cast(65, "char"), "'A'");
  EXPECT_EQ(cast(2, "logical"), "true");
  EXPECT_EQ(cast(0.1, "single"), "0.1single");
  EXPECT_EQ(cast(1, "int12"), "error 108");
  EXPECT_EQ(cast(1, "Double"), "error 108");
  EXPECT_EQ(cast(1, "int"), "error 108");
  EXPECT_EQ(Result("cast", 2,
                   [&] {
                     PushText(ctx, "a");
                     PushText(ctx, "double");
                   }),
            "97");
  EXPECT_EQ(Result("cast", 2,
                   [&] {
                     PushComplexScalar(ctx, 1, 2);
                     PushText(ctx, "double");
                   }),
            "1+2i");
  EXPECT_EQ(Result("cast", 2,
                   [&] {
                     MakeList(ctx, 0);
                     PushText(ctx, "double");
                   }),
            "error 44");
  EXPECT_EQ(Result("cast", 2,
                   [&] {
                     PushRealScalar(ctx, 1);
                     PushRealScalar(ctx, 1);
                   }),
            "error 44");
}

TEST_F(Casts, TypecastReinterpretsTheBytes) {
  auto typecast = [&](std::vector<int32_t> dims, std::initializer_list<int64_t> v, const char* to) {
    return Result("typecast", 2, [&] {
      PushIntegers(ctx, kCodeUInt8, dims, v);
      PushText(ctx, to);
    });
  };
  EXPECT_EQ(typecast({1, 4}, {1, 0, 0, 0}, "uint32"), "1uint32");
  EXPECT_EQ(typecast({3, 1}, {1, 0, 0}, "uint16"), "error 21");
  EXPECT_EQ(typecast({1, 4}, {1, 0, 2, 0}, "uint16"), "uint16([1,2])");
  EXPECT_EQ(typecast({4, 1}, {1, 0, 2, 0}, "uint16"), "uint16([1\n2])");
  EXPECT_EQ(typecast({1, 2}, {0x41, 0}, "char"), "'A'");
  EXPECT_EQ(typecast({1, 8}, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}, "double"), "1");
  EXPECT_EQ(Result("typecast", 2,
                   [&] {
                     const int32_t dims[2] = {1, 1};
                     float* re;
                     PushNewSingleArray(ctx, 2, dims, &re, nullptr);
                     *re = 1;
                     PushText(ctx, "uint32");
                   }),
            "1065353216uint32");
  EXPECT_EQ(Result("typecast", 2,
                   [&] {
                     PushEmptyMatrix(ctx);
                     PushText(ctx, "int8");
                   }),
            "int8([])");
}

TEST_F(Casts, CharStacksRowsWithPadding) {
  EXPECT_EQ(Result("char", 2,
                   [&] {
                     PushText(ctx, "ab");
                     PushText(ctx, "cde");
                   }),
            "['ab '\n'cde']");
  EXPECT_EQ(Result("char", 3,
                   [&] {
                     PushText(ctx, "x");
                     PushText(ctx, "");
                     PushRow(ctx, "double", {72, 105});
                   }),
            "['x '\n'Hi']");
  EXPECT_EQ(Test("char", 65.9), "'A'");
  EXPECT_EQ(Test("setstr", 72), "'H'");
  EXPECT_EQ(Result("char", 0, [] {}), "''");
  EXPECT_EQ(Result("char", 1, [&] { MakeList(ctx, 0); }), "error 44");
  EXPECT_EQ(Result("char", 2,
                   [&] {
                     MakeList(ctx, 0);
                     PushText(ctx, "a");
                   }),
            "error 43");
  EXPECT_EQ(Result("char", 2,
                   [&] {
                     PushIntegers(ctx, kCodeUInt8, {1, 1, 2}, {65, 66});
                     PushText(ctx, "a");
                   }),
            "error 21");
}

class CastsOfEmpties : public EvalFixture {};

// An array without elements keeps its shape through every cast, so that rows
// of none still append to it.
TEST_F(CastsOfEmpties, KeepTheShapeInEveryClass) {
  const char* const sources[] = {"zeros(3, 0)", "zeros(3, 0, 'int8')", "zeros(3, 0, 'single')",
                                 "char(zeros(3, 0))", "false(3, 0)"};
  const char* const casts[] = {"double", "single", "int8", "uint16", "int64", "char", "uplus"};
  for (const char* from : sources) {
    for (const char* to : casts) {
      const std::string text = std::string("size(") + to + "(" + from + "))";
      EXPECT_EQ(Eval(text), "[3,0]") << text;
    }
    EXPECT_EQ(Eval(std::string("size(cast(") + from + ", 'uint32'))"), "[3,0]") << from;
  }
  // logical and not refuse singles.
  for (const char* from : {"zeros(3, 0)", "zeros(3, 0, 'uint32')", "char(zeros(3, 0))"}) {
    EXPECT_EQ(Eval(std::string("size(logical(") + from + "))"), "[3,0]") << from;
    EXPECT_EQ(Eval(std::string("size(~") + from + ")"), "[3,0]") << from;
  }
  EXPECT_EQ(Eval("int8(zeros(0, 2))"), "zeros(0,2,'int8')");
  EXPECT_EQ(Eval("single(zeros(2, 0, 3))"), "zeros(2,0,3,'single')");
  EXPECT_EQ(Eval("double(zeros(3, 0, 'uint8'))"), "zeros(3,0)");
  EXPECT_EQ(Eval("x = int8(zeros(3, 0)); x(end + 1, :) = int8(zeros(1, 0)); size(x)"), "[4,0]");
  EXPECT_EQ(Eval("x = single(zeros(3, 0)); x(end + 1, :) = zeros(1, 0); size(x)"), "[4,0]");
}

}  // namespace
}  // namespace vke
