// Structured values: lists, structures, cell arrays and structure arrays.
#include <gtest/gtest.h>

#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;
using test::TopScalar;
using test::TopString;

TEST(Lists, GatherEntriesAndTakeThemApart) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRealScalar(ctx, 1);
  PushCString(ctx, -1, "two");
  PushRealScalar(ctx, 3);
  ASSERT_EQ(PushListFromEntries(ctx, 3, false, nullptr, 0), kOk);
  EXPECT_TRUE(IsListValue(ctx, 0));
  StructuredParts parts;
  ASSERT_EQ(GetListParts(ctx, 0, &parts), kOk);
  EXPECT_EQ(parts.elements, 3);
  ASSERT_EQ(GetListElement(ctx, 0, 2), kOk);
  EXPECT_EQ(TopString(ctx), "two");
  Drop(ctx);
  EXPECT_EQ(GetListElement(ctx, 0, 4), kErrIndexOutOfRange);
  EXPECT_EQ(GetListElement(ctx, 0, 0), kErrIndexOutOfRange);
  // Append two more items.
  PushRealScalar(ctx, 4);
  PushRealScalar(ctx, 5);
  ASSERT_EQ(PushListFromEntries(ctx, 2, true, nullptr, 0), kOk);
  ASSERT_EQ(GetListParts(ctx, 0, &parts), kOk);
  EXPECT_EQ(parts.elements, 5);
  int32_t count;
  ASSERT_EQ(GetStructFields(ctx, &count), kOk);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(TopScalar(ctx, 0), 5);
  EXPECT_EQ(TopScalar(ctx, 4), 1);
}

TEST(Lists, AppendToANonStructuredValueRestoresTheStack) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRealScalar(ctx, 1);
  PushRealScalar(ctx, 2);
  uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  EXPECT_EQ(PushListFromEntries(ctx, 1, true, nullptr, 0), kErrBadArg);
  EXPECT_EQ(ctx->descTop, descTop);
  EXPECT_EQ(ctx->dataTop, dataTop);
}

TEST(Structures, FieldsByName) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRealScalar(ctx, 7);
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, "alpha", -1), kOk);
  PushCString(ctx, -1, "b");
  ASSERT_EQ(PushListFromEntries(ctx, 1, true, "beta", 4), kOk);
  EXPECT_TRUE(IsStructValue(ctx, 0));
  ASSERT_EQ(GetStructField(ctx, 0, "beta", -1), kOk);
  EXPECT_EQ(TopString(ctx), "b");
  Drop(ctx);
  EXPECT_EQ(GetStructField(ctx, 0, "gamma", -1), kErrUndefField);
  const char* name;
  int32_t len;
  ASSERT_EQ(GetStructFieldName(ctx, 0, 1, &name, &len), kOk);
  EXPECT_EQ(std::string(name, len), "alpha");
  EXPECT_EQ(GetStructFieldName(ctx, 0, 3, &name, &len), kErrIndexOutOfRange);
  EXPECT_EQ(PushListFromEntries(ctx, 0, false, "a23456789012345678901234567890123", -1),
            kErrNameTooLong);
}

TEST(CellArrays, NewCellsReshapeAndElements) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const int32_t one[1] = {3};
  ASSERT_EQ(PushNewCellArray(ctx, 1, one), kOk);  // 3 x 3
  StructuredParts parts;
  ASSERT_EQ(GetListParts(ctx, 0, &parts), kOk);
  EXPECT_EQ(parts.kind, kKindCell);
  EXPECT_EQ(parts.elements, 9);
  EXPECT_EQ(parts.shape.dims[0], 3);
  ASSERT_EQ(GetListElement(ctx, 0, 9), kOk);
  EXPECT_EQ(DescAt(ctx, 0)->size, 0u);
  Drop(ctx);
  const int32_t d[3] = {1, 9, 1};
  ASSERT_EQ(ReshapeTopValue(ctx, 3, d), kOk);
  ASSERT_EQ(GetListParts(ctx, 0, &parts), kOk);
  EXPECT_EQ(parts.shape.ndims, 2);
  EXPECT_EQ(parts.shape.dims[1], 9);
  const int32_t bad[2] = {2, 5};
  EXPECT_EQ(ReshapeTopValue(ctx, 2, bad), kErrBadSize);
  const int32_t many[17] = {9, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2};
  EXPECT_EQ(ReshapeTopCellArray(ctx, 17, many), kErrOutOfRangeArg);
  Shape s;
  ASSERT_EQ(GetValueShape(ctx, 0, &s), kOk);
  EXPECT_EQ(s.count, 9);
}

TEST(StructureArrays, FromAListOfStructures) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  for (double x : {1.0, 2.0}) {
    PushRealScalar(ctx, x);
    PushListFromEntries(ctx, 1, false, "v", 1);
  }
  ASSERT_EQ(PushListFromEntries(ctx, 2, false, nullptr, 0), kOk);
  ASSERT_EQ(StructListToArray(ctx), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, 's', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindStructArray);
  EXPECT_EQ(parts.elements, 2);
  EXPECT_EQ(parts.fields, 1);
  ASSERT_EQ(GetListElement(ctx, 0, 2), kOk);
  ASSERT_EQ(GetStructField(ctx, 0, "v", 1), kOk);
  EXPECT_EQ(TopScalar(ctx), 2);
  Drop(ctx, 2);
  EXPECT_EQ(GetStructuredValueOfKind(ctx, 0, 'c', &parts), kErrWrongType);
  // A list holding a non-structure is refused.
  PushRealScalar(ctx, 3);
  PushListFromEntries(ctx, 1, false, nullptr, 0);
  EXPECT_EQ(StructListToArray(ctx), kErrWrongType);
  PushListFromEntries(ctx, 0, false, nullptr, 0);
  ASSERT_EQ(StructListToArray(ctx), kOk);
  EXPECT_TRUE(IsStructValue(ctx, 0));
}

TEST(Reshape, NumericValuesKeepTheirOrder) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  double* re;
  PushNewMatrix(ctx, 2, 3, &re, nullptr);
  for (int i = 0; i < 6; i++) re[i] = i;
  const int32_t d3[3] = {1, 2, 3};
  ASSERT_EQ(ReshapeTopValue(ctx, 3, d3), kOk);
  Shape s;
  double* im;
  ASSERT_EQ(GetDoubleArrayArg(ctx, 0, &s, &re, &im), kOk);
  EXPECT_EQ(s.ndims, 3);
  EXPECT_EQ(re[5], 5);
  const int32_t d2[2] = {3, 2};
  ASSERT_EQ(ReshapeTopValue(ctx, 2, d2), kOk);
  EXPECT_TRUE(IsPlain(*DescAt(ctx, 0)));
  int32_t m, n;
  GetNumericArg(ctx, 0, &m, &n, &re, nullptr);
  EXPECT_EQ(m, 3);
  EXPECT_EQ(re[4], 4);
}

}  // namespace
}  // namespace vke
