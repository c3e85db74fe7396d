// Ranges of double, single, complex and integer bounds.
#include <gtest/gtest.h>

#include <cmath>

#include "builtins/array_builtins.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/builtin_calls.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using namespace test;

// colon(bounds...) of one class.
ErrCode Colon(EngineContext* ctx, const char* cls, const Values& bounds) {
  for (double b : bounds) PushArray(ctx, cls, {1, 1}, {b});
  return CallOp(ctx, kOpColon, static_cast<int32_t>(bounds.size()));
}

TEST(Ranges, DoubleRangesReachTheirStop) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(MakeRange(ctx, 0, 0.5, 0.1, false), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{1, 6}));
  ASSERT_EQ(MakeRange(ctx, 1, 3, 1, false), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 2, 3}));
  ASSERT_EQ(MakeRange(ctx, 3, 1, 1, false), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{0, 0}));
  ASSERT_EQ(MakeRange(ctx, 5, 1, -1.5, false), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{5, 3.5, 2}));
  ASSERT_EQ(MakeRange(ctx, 5, 1, 0, false), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{0, 0}));
  ASSERT_EQ(MakeRange(ctx, 0, NAN, 1, false), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{0, 0}));
  EXPECT_EQ(MakeRange(ctx, 1, 5, 0, false), kErrObjTooLarge);
  EXPECT_EQ(MakeRange(ctx, 1, INFINITY, 1, false), kErrObjTooLarge);
  ASSERT_EQ(MakeRange(ctx, 0, 1, 0.25, true), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "single");
  EXPECT_EQ(a.re, (Values{0, 0.25, 0.5, 0.75, 1}));
  // Element k is start + k * step: no drift toward the stop.
  ASSERT_EQ(MakeRange(ctx, 0, 1, 0.1, false), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.re.size(), 11u);
  EXPECT_EQ(a.re.back(), 1);
  EXPECT_EQ(a.re[3], 3 * 0.1);
  ASSERT_EQ(MakeRange(ctx, 10, 9, -0.1, false), kOk);
  EXPECT_EQ(ReadArray(ctx).re.back(), 9);
  ASSERT_EQ(MakeRange(ctx, 0, 10, 0.001, false), kOk);
  EXPECT_EQ(ReadArray(ctx).re.back(), 10);
  Drop(ctx);
  // Single bounds count in single precision: 0:0.1:0.5 has six elements.
  const double tenth = 0.1f, half = 0.5f;
  ASSERT_EQ(MakeRange(ctx, 0, half, tenth, true), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.re.size(), 6u);
  EXPECT_EQ(a.re.back(), half);
  // Through colon: (start, stop) and (start, step, stop).
  PushRow(ctx, "double", {1});
  PushRow(ctx, "double", {2});
  PushRow(ctx, "double", {6});
  ASSERT_EQ(CallOp(ctx, kOpColon, 3), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 3, 5}));
  PushRow(ctx, "double", {1, 2});
  PushRow(ctx, "double", {3});
  EXPECT_EQ(CallOp(ctx, kOpColon, 2), kErrNonScalarArg);
}

TEST(Ranges, ComplexBounds) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // colon(0, 1i, 2i)
  PushRow(ctx, "double", {0});
  ASSERT_EQ(PushComplexScalar(ctx, 0, 1), kOk);
  ASSERT_EQ(PushComplexScalar(ctx, 0, 2), kOk);
  ASSERT_EQ(CallOp(ctx, kOpColon, 3), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_FALSE(a.im.empty());
  EXPECT_EQ(a.re, (Values{0, 0, 0}));
  EXPECT_EQ(a.im, (Values{0, 1, 2}));
  // A step that moves away from the stop, and one across the direction.
  ASSERT_EQ(MakeComplexRange(ctx, 0, 0, 0, 2, 0, -1, false), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{0, 0}));
  ASSERT_EQ(MakeComplexRange(ctx, 0, 0, 0, 2, 1, 0, false), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{1, 1}));
  ASSERT_EQ(MakeComplexRange(ctx, 1, 1, 1, 1, 5, 5, false), kOk);
  EXPECT_EQ(ReadArray(ctx).im, (Values{1}));
  // The advance is along the direction: steps off the line still count.
  ASSERT_EQ(MakeComplexRange(ctx, 0, 0, 3, 0, 1, 1, true), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "single");
  EXPECT_EQ(a.re, (Values{0, 1, 2, 3}));
  EXPECT_EQ(a.im, (Values{0, 1, 2, 3}));
  // Element k is start + k * step in both parts.
  ASSERT_EQ(MakeComplexRange(ctx, 0, 0, 0, 1, 0, 0.1, false), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.im.size(), 11u);
  EXPECT_EQ(a.im.back(), 1);
  // A tiny step: more elements than memory holds.
  EXPECT_EQ(MakeComplexRange(ctx, 0, 0, 0, 1, 0, 1e-9, false), kErrDataOverflow);
}

TEST(Ranges, IntegerBoundsCountFromExactValues) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(Colon(ctx, "int8", {1, 3}), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "int8");
  EXPECT_EQ(a.re, (Values{1, 2, 3}));
  // Descending spans give no element instead of a wrapped count.
  ASSERT_EQ(Colon(ctx, "uint8", {5, 1}), kOk);
  EXPECT_EQ(ReadArray(ctx).re.size(), 0u);
  ASSERT_EQ(Colon(ctx, "int8", {3, 1}), kOk);
  EXPECT_EQ(ReadArray(ctx).re.size(), 0u);
  ASSERT_EQ(Colon(ctx, "int8", {1, 2, 0}), kOk);
  EXPECT_EQ(ReadArray(ctx).re.size(), 0u);
  // A span wider than the class does not overflow.
  ASSERT_EQ(Colon(ctx, "int8", {-100, 100}), kOk);
  a = ReadArray(ctx);
  ASSERT_EQ(a.re.size(), 201u);
  EXPECT_EQ(a.re.front(), -100);
  EXPECT_EQ(a.re.back(), 100);
  ASSERT_EQ(Colon(ctx, "int16", {3, -2, -4}), kOk);
  EXPECT_EQ(ReadArray(ctx).re, (Values{3, 1, -1, -3}));
  ASSERT_EQ(Colon(ctx, "uint8", {250, 3, 255}), kOk);
  EXPECT_EQ(ReadArray(ctx).re, (Values{250, 253}));
  // Up to the largest int64, added without wrapping.
  for (int k = 0; k < 2; k++) {
    void* p;
    const int32_t dims[2] = {1, 1};
    ASSERT_EQ(PushNewTypedArray(ctx, 2, dims, 8, false, &p), kOk);
    Store<int64_t>(p, INT64_MAX - 2 + 2 * k);
  }
  ASSERT_EQ(CallOp(ctx, kOpColon, 2), kOk);
  NumericView v = ViewNumeric(ctx, 0);
  ASSERT_EQ(v.shape.count, 3);
  EXPECT_EQ(Load<int64_t>(v.elements + 16), INT64_MAX);
  // Char bounds give uint16; mixed integer classes go to the wider one.
  PushText(ctx, "a");
  PushText(ctx, "c");
  ASSERT_EQ(CallOp(ctx, kOpColon, 2), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "uint16");
  EXPECT_EQ(a.re, (Values{97, 98, 99}));
  PushArray(ctx, "int8", {1, 1}, {1});
  PushArray(ctx, "int32", {1, 1}, {300});
  ASSERT_EQ(CallOp(ctx, kOpColon, 2), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "int32");
  EXPECT_EQ(a.re.size(), 300u);
  // A zero step counts as a double range's does: toward a larger stop no
  // area holds the row, toward a smaller or equal one it has no element.
  EXPECT_EQ(Colon(ctx, "int8", {1, 0, 3}), kErrObjTooLarge);
  Drop(ctx, 3);
  EXPECT_EQ(Colon(ctx, "uint16", {5, 0, 3}), kOk);
  EXPECT_EQ(ReadArray(ctx).re.size(), 0u);
  EXPECT_EQ(Colon(ctx, "int8", {2, 0, 2}), kOk);
  EXPECT_EQ(ReadArray(ctx).re.size(), 0u);
  // A non-scalar bound, and a double among integers.
  PushArray(ctx, "int8", {1, 2}, {1, 2});
  PushArray(ctx, "int8", {1, 1}, {5});
  EXPECT_EQ(CallOp(ctx, kOpColon, 2), kErrNonScalarArg);
  Drop(ctx, 2);
  PushArray(ctx, "int8", {1, 1}, {1});
  PushRow(ctx, "double", {5});
  EXPECT_EQ(CallOp(ctx, kOpColon, 2), kErrWrongTypeOverload);
}

}  // namespace
}  // namespace vke
