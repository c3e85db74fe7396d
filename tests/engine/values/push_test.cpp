// Push primitives: shapes, layouts and the capacity rules.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

ValueDescriptor Top(EngineContext* ctx, int d = 0) {
  return *DescAt(ctx, d);
}

TEST(Push, EmptyShapesCollapseToZeroByZero) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  double* re;
  ASSERT_EQ(PushNewMatrix(ctx, 0, 5, &re, nullptr), kOk);
  EXPECT_EQ(Top(ctx).size, 0u);
  EXPECT_EQ(Top(ctx).word, 0);
  ASSERT_EQ(PushZeroMatrix(ctx, -1, 3, false), kOk);
  EXPECT_EQ(Top(ctx).word, 0);
  uint16_t* chars;
  ASSERT_EQ(PushNewCharRow(ctx, 0, &chars), kOk);
  Shape s;
  ASSERT_EQ(GetValueShape(ctx, 0, &s), kOk);
  EXPECT_EQ(s.dims[0], 0);
  EXPECT_EQ(s.dims[1], 0);
  EXPECT_TRUE(IsCharArray(ctx, 0));
  const int32_t d302[3] = {3, 0, 2};
  void* data;
  ASSERT_EQ(PushNewTypedArray(ctx, 3, d302, 4, false, &data), kOk);
  ASSERT_EQ(GetValueShape(ctx, 0, &s), kOk);
  EXPECT_EQ(s.ndims, 2);
  EXPECT_EQ(s.count, 0);
}

TEST(Push, ScalarsAndComplexScalars) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(PushComplexScalar(ctx, 2, 0), kOk);
  EXPECT_EQ(Top(ctx).flags, 0u);
  EXPECT_EQ(Top(ctx).size, 1u);
  EXPECT_EQ(Top(ctx).word, 1);
  ASSERT_EQ(PushComplexScalar(ctx, 2, 3), kOk);
  EXPECT_EQ(Top(ctx).flags, kFlagComplex);
  EXPECT_EQ(Top(ctx).size, 2u);
  ASSERT_EQ(PushInf(ctx), kOk);
  EXPECT_TRUE(std::isinf(test::TopScalar(ctx)));
  ASSERT_EQ(PushNaN(ctx), kOk);
  EXPECT_TRUE(std::isnan(test::TopScalar(ctx)));
  ASSERT_EQ(PushLogicalScalar(ctx, 1), kOk);
  EXPECT_TRUE(IsLogicalArray(ctx, 0));
  ASSERT_EQ(PushMarker(ctx, 77), kOk);
  int32_t payload = 0;
  EXPECT_TRUE(GetMarkerAt(ctx, 0, &payload));
  EXPECT_EQ(payload, 77);
  EXPECT_FALSE(GetMarkerAt(ctx, 1, &payload));
  ASSERT_EQ(PushNoValue(ctx), kOk);
  EXPECT_EQ(Top(ctx).flags, kFlagNoValue);
}

TEST(Push, TypedArraysDropTrailingOnesAndPadWithZeros) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const int32_t dims[4] = {2, 3, 1, 1};
  void* data;
  // Dirty the memory the array will take, to see the padding cleared.
  std::memset(ctx->DataBytes() + 8ull * ctx->dataTop, 0xAB, 64);
  ASSERT_EQ(PushNewTypedArray(ctx, 4, dims, 1, false, &data), kOk);
  const uint8_t* hdr = DataAt(ctx, 0);
  EXPECT_EQ(HeaderCode(hdr), kCodeInt8);
  EXPECT_EQ(HeaderNdims(hdr), 2u);
  EXPECT_EQ(Top(ctx).size, 3u);  // 2 header units + 6 bytes padded to a unit
  for (int i = 0; i < 8; i++) EXPECT_EQ(static_cast<uint8_t*>(data)[i], 0);
  const int32_t nd[3] = {2, 2, 2};
  double *re, *im;
  ASSERT_EQ(PushNewArray(ctx, 3, nd, &re, &im), kOk);
  EXPECT_EQ(HeaderCode(DataAt(ctx, 0)), kCodeDoubleComplex);
  EXPECT_EQ(im - re, 8);
  const int32_t one[1] = {4};
  ASSERT_EQ(PushNewArray(ctx, 1, one, &re, nullptr), kOk);
  EXPECT_TRUE(IsPlain(Top(ctx)));
  EXPECT_EQ(PlainRows(Top(ctx)), 4);
  EXPECT_EQ(Top(ctx).word, 1);
  float *sre, *sim;
  ASSERT_EQ(PushNewSingleArray(ctx, 0, nullptr, &sre, &sim), kOk);
  EXPECT_EQ(HeaderCode(DataAt(ctx, 0)), kCodeSingleComplex);
  const int32_t zero[2] = {0, 4};
  ASSERT_EQ(PushNewSingleArray(ctx, 2, zero, &sre, &sim), kOk);
  EXPECT_EQ(HeaderCode(DataAt(ctx, 0)), kCodeSingle);  // empty arrays are never complex
}

TEST(Push, RefusesBadSizes) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const int32_t huge[3] = {70000, 70000, 2};
  double* re;
  uint32_t top = ctx->descTop;
  EXPECT_EQ(PushNewArray(ctx, 3, huge, &re, nullptr), kErrObjTooLarge);
  void* data;
  // Sizes no area could hold are too large, not a shortage to grow for.
  EXPECT_EQ(PushNewTypedArray(ctx, 3, huge, 1, false, &data), kErrObjTooLarge);
  const int32_t big[2] = {10001, 10000};
  EXPECT_EQ(PushNewTypedArray(ctx, 2, big, 1, false, &data), kErrObjTooLarge);
  EXPECT_EQ(PushNewTypedArray(ctx, 2, big, 3, false, &data), kErrWrongType);
  EXPECT_EQ(PushNewMatrix(ctx, 65536, 32768, &re, nullptr), kErrObjTooLarge);
  EXPECT_EQ(PushZeroMatrix(ctx, 65536, 65536, true), kErrObjTooLarge);
  EXPECT_EQ(ctx->descTop, top);
}

TEST(Push, CapacityRulesLeaveTheStacksUnchanged) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // Fill the descriptor stack until exactly three words are free.
  uint32_t dataTop = ctx->dataTop;
  while (ctx->descCap - ctx->descTop > 3) ASSERT_EQ(PushEmptyMatrix(ctx), kOk);
  EXPECT_EQ(PushRealScalar(ctx, 1), kErrStackOverflow);
  EXPECT_EQ(ctx->descCap - ctx->descTop, 3u);
  EXPECT_EQ(ctx->dataTop, dataTop);
  // The exact-fit pushes may take the last three words.
  double* re;
  EXPECT_EQ(PushNewMatrix(ctx, 1, 1, &re, nullptr), kOk);
  EXPECT_EQ(ctx->descTop, ctx->descCap);
}

TEST(Push, DataCapacityAndExactFit) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  uint32_t room = ctx->dataCap - ctx->dataTop;
  double* re;
  uint32_t descTop = ctx->descTop;
  EXPECT_EQ(PushZeroMatrix(ctx, 1, static_cast<int32_t>(room), false), kErrDataOverflow);
  EXPECT_EQ(ctx->descTop, descTop);
  EXPECT_EQ(PushNewMatrix(ctx, 1, static_cast<int32_t>(room + 1), &re, nullptr), kErrDataOverflow);
  EXPECT_EQ(PushNewMatrix(ctx, 1, static_cast<int32_t>(room), &re, nullptr), kOk);
  EXPECT_EQ(ctx->dataTop, ctx->dataCap);
}

TEST(Push, TypedEntriesCarryTheCurrentNativeId) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ctx->currentNativeId = 135;
  void* data;
  std::memset(ctx->DataBytes() + 8ull * ctx->dataTop, 0xCD, 16);
  ASSERT_EQ(PushTypedEntryDefault(ctx, 5, &data), kOk);
  EXPECT_EQ(Top(ctx).word, 135);
  EXPECT_EQ(Top(ctx).size, 1u);
  EXPECT_EQ(static_cast<uint8_t*>(data)[7], 0);
  uint32_t size;
  EXPECT_EQ(GetTypedValueSize(ctx, 0, &size, &data), kOk);
  EXPECT_EQ(size, 8u);
  ctx->currentNativeId = 136;
  EXPECT_EQ(GetTypedValueSize(ctx, 0, &size, &data), kErrWrongType);
}

}  // namespace
}  // namespace vke
