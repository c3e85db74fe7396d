// intmax, intmin and map2int: class names, limits, the mapping onto every
// class and its saturation at the ends of the 64-bit classes.
#include <gtest/gtest.h>

#include <string>

#include "tests/host/eval_fixture.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using namespace test;

class IntegerClasses : public EvalFixture {};

TEST_F(IntegerClasses, LimitsOfNamedClasses) {
  EXPECT_EQ(Eval("intmax"), "2147483647int32");
  EXPECT_EQ(Eval("intmin('uint16')"), "0uint16");
  EXPECT_EQ(Eval("intmax('int8')"), "127int8");
  EXPECT_EQ(Eval("intmin('int8')"), "int8(-128)");
  EXPECT_EQ(Eval("intmax('uint64')"), "18446744073709551615uint64");
  EXPECT_EQ(Eval("intmin('int64')"), "int64(-9223372036854775808)");
  for (const char* bad : {"'int'", "'Int8'", "'uint'", "'int80'", "'uint8 '", "''"})
    EXPECT_EQ(Eval(std::string("intmax(") + bad + ")"), "error 108") << bad;
  EXPECT_EQ(Eval("intmin(8)"), "error 44");
}

TEST_F(IntegerClasses, MapOntoTheWholeRange) {
  EXPECT_EQ(Eval("map2int([0 0.5 1])"), "uint8([0,127,255])");
  EXPECT_EQ(Eval("map2int([-3 nan 7])"), "uint8([0,0,255])");
  EXPECT_EQ(Eval("map2int([0 0.5 1], 0, 1, 'int8')"), "int8([-128,-1,127])");
  EXPECT_EQ(Eval("map2int([0 1], 0, 1, 'uint32')"), "uint32([0,4294967295])");
  EXPECT_EQ(Eval("map2int(0.75, 0, 1, 'uint64')"), "13835058055282163712uint64");
  EXPECT_EQ(Eval("map2int([0 1], 0, 1, 'int64')"),
            "[int64(-9223372036854775808),9223372036854775807int64]");
  EXPECT_EQ(Eval("map2int(zeros(2, 0))"), "uint8([])");
  EXPECT_EQ(Eval("size(map2int(ones(2, 3, 2)))"), "[2,3,2]");
}

TEST_F(IntegerClasses, MapSaturatesAndRefusesEmptyIntervals) {
  // A scale that rounds to the top of the interval stays inside the class.
  EXPECT_EQ(Eval("map2int(0, -1, 1e-17, 'uint64')"), "18446744073709551615uint64");
  EXPECT_EQ(Eval("map2int(0, -1, 1e-17, 'int64')"), "9223372036854775807int64");
  // An interval too wide for doubles: its middle and its ends still land
  // where they belong.
  EXPECT_EQ(Eval("map2int(0, -realmax, realmax, 'int16')"), "-1int16");
  EXPECT_EQ(Eval("map2int([1e308 -1e308 inf -inf], -1e308, 1e308, 'int32')"),
            "int32([2147483647,-2147483648,2147483647,-2147483648])");
  EXPECT_EQ(Eval("map2int(realmax, -realmax, realmax, 'uint8')"), "255uint8");
  EXPECT_EQ(Eval("map2int(0, 1, 1)"), "error 103");
  EXPECT_EQ(Eval("map2int(0, 2, 1)"), "error 103");
  EXPECT_EQ(Eval("map2int(0, nan, 1)"), "error 103");
  EXPECT_EQ(Eval("map2int(0, 0)"), "error 125");
  EXPECT_EQ(Eval("map2int(0, 0, 1, 'int')"), "error 108");
  EXPECT_EQ(Eval("map2int({0})"), "error 44");
}

}  // namespace
}  // namespace vke
