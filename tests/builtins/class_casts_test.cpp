// Class tests and casts: is* tests, logical and not, uplus, double and
// single, swapbytes, cast and typecast, char and setstr.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
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

}  // namespace
}  // namespace vke
