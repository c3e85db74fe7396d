// The bit-operation natives: bit numbers and their limits, the logical
// operations in the operands' common class, complements, shifts beyond the
// width, reductions along a dimension and Gray codes both ways.
#include <gtest/gtest.h>

#include <string>

#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "tests/host/eval_fixture.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using namespace test;

class BitNatives : public EvalFixture {};

TEST_F(BitNatives, BitsOfIntegersAndDoubles) {
  EXPECT_EQ(Eval("bitget(5, [1 2 3])"), "[1,0,1]");
  EXPECT_EQ(Eval("bitget(int8(-1), 8)"), "1int8");
  EXPECT_EQ(Eval("bitget(bitshift(uint64(1), 63), 64)"), "1uint64");
  EXPECT_EQ(Eval("bitset(0, [1 3])"), "[1,4]");
  EXPECT_EQ(Eval("bitset(uint8(255), 8, false)"), "127uint8");
  EXPECT_EQ(Eval("bitset(int64(0), 64)"), "int64(-9223372036854775808)");
  EXPECT_EQ(Eval("bitset([0 0], 2, [true false])"), "[2,0]");
  EXPECT_EQ(Eval("bitand(12, 10)"), "8");
  EXPECT_EQ(Eval("bitor(uint8(240), uint8(15))"), "255uint8");
  EXPECT_EQ(Eval("bitxor(int8(-1), int16(1))"), "-2int16");
  EXPECT_EQ(Eval("bitand(-1, 7)"), "7");  // the low word of a negative double
  EXPECT_EQ(Eval("bitcmp(uint8(0))"), "255uint8");
  EXPECT_EQ(Eval("bitcmp(int8(0))"), "-1int8");
  EXPECT_EQ(Eval("bitcmp(0, 4)"), "15");
  EXPECT_EQ(Eval("bitcmp(uint16(1), 4)"), "14uint16");
  // An operand without elements gives a result of its shape.
  EXPECT_EQ(Eval("bitand(zeros(3, 0), 1)"), "zeros(3,0)");
  EXPECT_EQ(Eval("bitor(zeros(0, 2, 'uint8'), uint8(1))"), "zeros(0,2,'uint8')");
  EXPECT_EQ(Eval("size(bitshift(zeros(3, 0, 'int16'), 1))"), "[3,0]");
}

TEST_F(BitNatives, BadBitNumbersAndOperands) {
  EXPECT_EQ(Eval("bitget(5, 33)"), "error 29");
  EXPECT_EQ(Eval("bitget(int8(1), 9)"), "error 29");
  EXPECT_EQ(Eval("bitget(5, 0)"), "error 29");
  EXPECT_EQ(Eval("bitset(uint16(1), 17)"), "error 29");
  EXPECT_EQ(Eval("bitcmp(0)"), "error 43");
  EXPECT_EQ(Eval("bitcmp(uint8(0), 9)"), "error 103");
  EXPECT_EQ(Eval("bitget(1 + 2i, 1)"), "error 44");
  EXPECT_EQ(Eval("bitor({1}, 1)"), "error 44");
  EXPECT_EQ(Eval("bitand([1 2], [1 2 3])"), "error 20");
  EXPECT_EQ(Eval("bitall([1 2], 0)"), "error 34");
  // NaN and the infinities have no bits to take.
  for (const char* call : {"bitall(nan)", "graycode(inf)", "igraycode(-inf)", "bitand(1, -inf)",
                           "bitget([1 nan], 1)", "bitshift(inf, 1)", "bitany([1; nan], 1)"})
    EXPECT_EQ(Eval(call), "error 103") << call;
  // Singles, chars and logicals are refused with 44, after which compiled
  // code calls the native again with doubles.
  PushScalar(ctx, "single", 1);
  PushRealScalar(ctx, 1);
  EXPECT_EQ(BitLogicNative(ctx, 2, 1, '&'), kErrWrongTypeOverload);
  Drop(ctx, 2);
  PushText(ctx, "a");
  EXPECT_EQ(GrayCodeNative(ctx, 1, 1, 'g'), kErrWrongTypeOverload);
  Drop(ctx);
  EXPECT_EQ(Eval("graycode('a')"), "81");
}

TEST_F(BitNatives, ShiftsKeepTheClassWidth) {
  EXPECT_EQ(Eval("bitshift(int8(-8), -1)"), "-4int8");
  EXPECT_EQ(Eval("bitshift(uint8(255), 1)"), "254uint8");
  EXPECT_EQ(Eval("bitshift(1, [31 32 40])"), "[2.147483648e9,0,0]");
  EXPECT_EQ(Eval("bitshift(-1, -31)"), "1");  // doubles shift as unsigned words
  EXPECT_EQ(Eval("bitshift(int32(-5), [-31 -32 -100])"), "int32([-1,-1,-1])");
  EXPECT_EQ(Eval("bitshift(uint32(5), -32)"), "0uint32");
  EXPECT_EQ(Eval("bitshift(int64(1), [63 64])"), "[int64(-9223372036854775808),0int64]");
  EXPECT_EQ(Eval("bitshift(5, 1, 2)"), "2");
  EXPECT_EQ(Eval("bitshift(1, -2147483648)"), "0");
}

TEST_F(BitNatives, ReductionsAlongADimension) {
  EXPECT_EQ(Eval("bitall([7 3 1], 2)"), "1");
  EXPECT_EQ(Eval("bitany([7 3 1], 2)"), "7");
  EXPECT_EQ(Eval("bitany([1 2; 4 8])"), "[5,10]");
  EXPECT_EQ(Eval("bitall(uint8([255 15; 7 3]), 2)"), "uint8([15\n3])");
  EXPECT_EQ(Eval("bitall([7 3], 3)"), "[7,3]");
  EXPECT_EQ(Eval("bitall([-1 -3])"), "-3");  // doubles use all 64 bits
}

TEST_F(BitNatives, GrayCodesInvertEachOther) {
  EXPECT_EQ(Eval("graycode(2)"), "3");
  EXPECT_EQ(Eval("igraycode(3)"), "2");
  EXPECT_EQ(Eval("x = 0:1000; all(igraycode(graycode(x)) == x)"), "true");
  EXPECT_EQ(Eval("x = uint16(0:1000); all(igraycode(graycode(x)) == x)"), "true");
  EXPECT_EQ(Eval("x = intmax('uint64') - uint64(0:5); all(igraycode(graycode(x)) == x)"), "true");
  EXPECT_EQ(Eval("igraycode(uint32(2147483648))"), "4294967295uint32");
}

}  // namespace
}  // namespace vke
