// N-D shape builtins: repmat, ndgrid and meshgrid, reshape and squeeze,
// permute and ipermute, sub2ind and ind2sub.
#include <gtest/gtest.h>

#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/builtin_calls.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using namespace test;

Values Iota(int n) {
  Values v(n);
  for (int i = 0; i < n; i++) v[i] = i + 1;
  return v;
}

// A structure with one field f holding the value.
void PushStruct(EngineContext* ctx, const char* field, double value) {
  PushRow(ctx, "double", {value});
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, field, -1), kOk);
}

TEST(Repmat, TilesOfEveryClass) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {1, 2});
  PushRow(ctx, "double", {2});
  ASSERT_EQ(CallOp(ctx, kOpRepmat, 2), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 4}));
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 2, 1, 2, 1, 2, 1, 2}));
  PushArray(ctx, "double", {2, 1}, {1, 2}, {3, 4});
  PushRow(ctx, "double", {1});
  PushRow(ctx, "double", {3});
  ASSERT_EQ(CallOp(ctx, kOpRepmat, 3), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.dims, (Dims{2, 3}));
  EXPECT_EQ(a.re, (Values{1, 1, 1, 2, 2, 2}));
  EXPECT_EQ(a.im, (Values{3, 3, 3, 4, 4, 4}));
  PushArray(ctx, "char", {1, 2}, {'a', 'b'});
  PushRow(ctx, "double", {1, 1, 2});
  ASSERT_EQ(CallOp(ctx, kOpRepmat, 2), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "char");
  EXPECT_EQ(a.dims, (Dims{1, 2, 2}));
  // A zero count: an empty value of x's class.
  PushArray(ctx, "int8", {1, 2}, {1, 2});
  PushRow(ctx, "double", {0});
  PushRow(ctx, "double", {3});
  ASSERT_EQ(CallOp(ctx, kOpRepmat, 3), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "int8");
  EXPECT_EQ(a.re.size(), 0u);
  PushStruct(ctx, "f", 1);
  PushRow(ctx, "double", {0});
  ASSERT_EQ(CallOp(ctx, kOpRepmat, 2), kOk);
  EXPECT_TRUE(IsStructValue(ctx, 0));
  EXPECT_EQ(DescAt(ctx, 0)->size, 0u);
  // A structure becomes a structure array; a cell array a larger one.
  PushStruct(ctx, "f", 7);
  PushRow(ctx, "double", {1, 3});
  ASSERT_EQ(CallOp(ctx, kOpRepmat, 2), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindStructArray);
  EXPECT_EQ(parts.elements, 3);
  ASSERT_EQ(GetListElement(ctx, 0, 3), kOk);
  ASSERT_EQ(GetStructField(ctx, 0, "f", -1), kOk);
  EXPECT_EQ(TopScalar(ctx), 7);
  Drop(ctx, 2);
  PushRow(ctx, "double", {5});
  PushText(ctx, "x");
  ASSERT_EQ(PushListFromEntries(ctx, 2, false, nullptr, 0), kOk);
  PushRow(ctx, "double", {2, 1});
  ASSERT_EQ(CallOp(ctx, kOpRepmat, 2), kOk);
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindCell);
  EXPECT_EQ(parts.shape.dims[0], 2);
  EXPECT_EQ(parts.shape.dims[1], 2);
  ASSERT_EQ(GetListElement(ctx, 0, 3), kOk);
  EXPECT_EQ(TopScalar(ctx), 5);
  Drop(ctx);
  const int32_t base = EntryCount(ctx);
  PushRow(ctx, "double", {1});
  PushRow(ctx, "double", Values(17, 1));
  EXPECT_EQ(CallOp(ctx, kOpRepmat, 2), kErrOutOfRangeArg);
  Drop(ctx);
  PushText(ctx, "2");
  EXPECT_EQ(CallOp(ctx, kOpRepmat, 2), kErrWrongTypeOverload);
  Drop(ctx);
  PushRow(ctx, "double", {1, 2});
  PushRow(ctx, "double", {3});
  EXPECT_EQ(CallOp(ctx, kOpRepmat, 3), kErrNonScalarArg);
  Drop(ctx, 3);
  EXPECT_EQ(EntryCount(ctx), base);
}

TEST(Grids, MeshgridAndNdgrid) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {1, 2, 3});
  PushRow(ctx, "double", {10, 20});
  ASSERT_EQ(CallOp(ctx, kOpMeshgrid, 2, 2), kOk);
  EXPECT_EQ(EntryCount(ctx), 2);
  EXPECT_EQ(DimsAt(ctx, 0), (Dims{2, 3}));
  EXPECT_EQ(ValuesAt(ctx, 0), (Values{1, 2, 3, 1, 2, 3}));
  EXPECT_EQ(ValuesAt(ctx, 1), (Values{10, 10, 10, 20, 20, 20}));
  Drop(ctx, 2);
  PushRow(ctx, "double", {1, 2, 3});
  ASSERT_EQ(CallOp(ctx, kOpNdgrid, 1, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx, 0), (Values{1, 1, 1, 2, 2, 2, 3, 3, 3}));
  EXPECT_EQ(ValuesAt(ctx, 1), (Values{1, 2, 3, 1, 2, 3, 1, 2, 3}));
  Drop(ctx, 2);
  PushRow(ctx, "double", {1, 2});
  ASSERT_EQ(CallOp(ctx, kOpMeshgrid, 1, 1), kOk);
  EXPECT_EQ(ValuesAt(ctx, 0), (Values{1, 2, 1, 2}));
  Drop(ctx);
  // Three inputs, the third output only asked for through the count.
  PushRow(ctx, "double", {1, 2});
  PushArray(ctx, "int8", {1, 3}, {5, 6, 7});
  PushRow(ctx, "double", {8, 9});
  ASSERT_EQ(CallOp(ctx, kOpNdgrid, 3, 2), kOk);
  ArrayValue a = ReadArray(ctx, 1);
  EXPECT_EQ(a.cls, "int8");
  EXPECT_EQ(a.dims, (Dims{2, 3, 2}));
  EXPECT_EQ(a.re, (Values{5, 6, 7, 5, 6, 7, 5, 6, 7, 5, 6, 7}));
  EXPECT_EQ(ValuesAt(ctx, 0), (Values{1, 1, 1, 2, 2, 2, 1, 1, 1, 2, 2, 2}));
  Drop(ctx, 2);
  PushRow(ctx, "double", {1});
  PushRow(ctx, "double", {2});
  EXPECT_EQ(CallOp(ctx, kOpNdgrid, 2, 3), kErrTooManyArgout);
}

TEST(Reshape, SizesPlaceholdersAndSqueeze) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto reshape = [&](const std::vector<Values>& sizes) {
    PushRow(ctx, "double", Iota(6));
    for (const Values& s : sizes) PushArray(ctx, "double", {1, int32_t(s.size())}, s);
    return CallOp(ctx, kOpReshape, 1 + static_cast<int32_t>(sizes.size()));
  };
  ASSERT_EQ(reshape({{}, {2}}), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{3, 2}));
  EXPECT_EQ(ValuesAt(ctx), Iota(6));
  ASSERT_EQ(reshape({{2, 3}}), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 3}));
  ASSERT_EQ(reshape({{1}, {2}, {3}}), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{1, 2, 3}));
  ASSERT_EQ(reshape({{2}, {3}, {1}, {1}}), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 3}));
  ASSERT_EQ(reshape({}), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{6, 1}));
  const int32_t base = EntryCount(ctx);
  EXPECT_EQ(reshape({{4}, {}}), kErrBadSize);
  EXPECT_EQ(reshape({{-1}, {-6}}), kErrBadSize);
  EXPECT_EQ(reshape({{}, {}}), kErrBadSize);
  EXPECT_EQ(reshape({{4, 2}}), kErrBadSize);
  EXPECT_EQ(reshape({Values(17, 1)}), kErrOutOfRangeArg);
  Drop(ctx, EntryCount(ctx) - base);
  // No element: 0 x 0 whatever the sizes.
  PushEmptyArray(ctx, "double", {0, 3});
  PushRow(ctx, "double", {3});
  PushRow(ctx, "double", {0});
  ASSERT_EQ(CallOp(ctx, kOpReshape, 3), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{0, 0}));
  // A cell array keeps its elements in order.
  const int32_t dims[2] = {1, 4};
  ASSERT_EQ(PushNewCellArray(ctx, 2, dims), kOk);
  PushRow(ctx, "double", {2, 2});
  ASSERT_EQ(CallOp(ctx, kOpReshape, 2), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindCell);
  EXPECT_EQ(parts.shape.dims[0], 2);
  PushArray(ctx, "int16", {1, 1, 3}, {1, 2, 3});
  ASSERT_EQ(CallOp(ctx, kOpSqueeze), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{3, 1}));
  // Removing the first or second dimension moves the elements as permute
  // does: x(1, j, k) = 10j + k (stored page by page) squeezes to
  // [11 12 13; 21 22 23].
  PushArray(ctx, "double", {1, 2, 3}, {11, 21, 12, 22, 13, 23});
  ASSERT_EQ(CallOp(ctx, kOpSqueeze), kOk);
  ArrayValue squeezed = ReadArray(ctx);
  EXPECT_EQ(squeezed.dims, (Dims{2, 3}));
  EXPECT_EQ(squeezed.re, (Values{11, 12, 13, 21, 22, 23}));
  PushArray(ctx, "double", {2, 1, 3}, Iota(6));
  ASSERT_EQ(CallOp(ctx, kOpSqueeze), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 3}));
}

TEST(Permute, OrdersAndTheirInverse) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushArray(ctx, "double", {2, 3, 4}, Iota(24));
  PushRow(ctx, "double", {3, 1, 2});
  ASSERT_EQ(CallOp(ctx, kOpPermute), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.dims, (Dims{4, 2, 3}));
  // Element (k, i, j) of the result, at (j x 4 + k) x 2 + i, is element
  // (i, j, k) of x, at (k x 2 + i) x 3 + j.
  for (int k = 0; k < 4; k++)
    for (int i = 0; i < 2; i++)
      for (int j = 0; j < 3; j++) EXPECT_EQ(a.re[(j * 4 + k) * 2 + i], (k * 2 + i) * 3 + j + 1);
  PushRow(ctx, "double", {3, 1, 2});
  ASSERT_EQ(CallOp(ctx, kOpIpermute), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 3, 4}));
  EXPECT_EQ(ValuesAt(ctx), Iota(24));
  // A matrix with [2 1] is its transpose; cells move their elements.
  PushArray(ctx, "double", {2, 3}, Iota(6));
  PushRow(ctx, "double", {2, 1});
  ASSERT_EQ(CallOp(ctx, kOpPermute), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 4, 2, 5, 3, 6}));
  PushRow(ctx, "double", {1});
  PushRow(ctx, "double", {2});
  ASSERT_EQ(PushListFromEntries(ctx, 2, false, nullptr, 0), kOk);
  PushRow(ctx, "double", {2, 1});
  ASSERT_EQ(CallOp(ctx, kOpPermute), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindCell);
  EXPECT_EQ(parts.shape.dims[0], 2);
  const int32_t base = EntryCount(ctx);
  for (const Values& order : {Values{1, 1}, Values{1, 3}, Values{1.5, 2}}) {
    PushArray(ctx, "double", {2, 3}, Iota(6));
    PushRow(ctx, "double", order);
    EXPECT_EQ(CallOp(ctx, kOpPermute), kErrNonPermutation);
    Drop(ctx, 2);
  }
  PushArray(ctx, "double", {2, 3, 4}, Iota(24));
  PushRow(ctx, "double", {2, 1});
  EXPECT_EQ(CallOp(ctx, kOpPermute), kErrNonPermutation);
  Drop(ctx, 2);
  EXPECT_EQ(EntryCount(ctx), base);
}

TEST(Subscripts, Sub2indAndInd2subAreInverse) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto sub2ind = [&](const Values& size, const std::vector<Values>& subs) {
    PushRow(ctx, "double", size);
    for (const Values& s : subs) PushRow(ctx, "double", s);
    return CallOp(ctx, kOpSub2ind, 1 + static_cast<int32_t>(subs.size()));
  };
  ASSERT_EQ(sub2ind({2, 3}, {{2}, {3}}), kOk);
  EXPECT_EQ(TopScalar(ctx), 6);
  ASSERT_EQ(sub2ind({2, 3}, {{1}, {2}}), kOk);
  EXPECT_EQ(TopScalar(ctx), 2);
  ASSERT_EQ(sub2ind({2, 3, 4}, {{2}, {3}, {4}}), kOk);
  EXPECT_EQ(TopScalar(ctx), 24);
  ASSERT_EQ(sub2ind({3}, {{1, 2, 3}, {2}}), kOk);  // 3 x 3, scalars expand
  EXPECT_EQ(ValuesAt(ctx), (Values{2, 5, 8}));
  ASSERT_EQ(sub2ind({2, 3}, {{7}}), kOk);  // one index: returned as it is
  EXPECT_EQ(TopScalar(ctx), 7);
  const int32_t base = EntryCount(ctx);
  EXPECT_EQ(sub2ind({2, 3}, {{3}, {1}}), kErrIndexOutOfRange);
  EXPECT_EQ(sub2ind({2, 3}, {{1}, {1}, {2}}), kErrIndexOutOfRange);
  EXPECT_EQ(sub2ind({2, 3}, {{1.5}, {1}}), kErrNonIntegerIndex);
  EXPECT_EQ(sub2ind({2, 3, 4}, {{1}, {1}}), kErrTooFewArgin);
  EXPECT_EQ(sub2ind({2, 3}, {{1, 2}, {1, 2, 3}}), kErrIncompSize);
  Drop(ctx, EntryCount(ctx) - base);
  PushRow(ctx, "double", {2});
  EXPECT_EQ(CallOp(ctx, kOpSub2ind, 1), kErrTooFewArgin);
  Drop(ctx);

  PushRow(ctx, "double", {2, 3});
  PushRow(ctx, "double", {6});
  ASSERT_EQ(CallOp(ctx, kOpInd2sub, 2, 2), kOk);
  EXPECT_EQ(TopScalar(ctx, 0), 2);
  EXPECT_EQ(TopScalar(ctx, 1), 3);
  Drop(ctx, 2);
  // Every position of a 3 x 4 x 2 array and back; a fourth output is 1.
  PushRow(ctx, "double", {3, 4, 2});
  PushRow(ctx, "double", Iota(24));
  ASSERT_EQ(CallOp(ctx, kOpInd2sub, 2, 4), kOk);
  EXPECT_EQ(ValuesAt(ctx, 3), Values(24, 1));
  ASSERT_EQ(DropStackEntries(ctx, 3, 1), kOk);
  ASSERT_EQ(ReverseStackEntries(ctx, 3), kOk);
  PushRow(ctx, "double", {3, 4, 2});
  ASSERT_EQ(RollStackEntries(ctx, 4, 3), kOk);
  ASSERT_EQ(CallOp(ctx, kOpSub2ind, 4), kOk);
  EXPECT_EQ(ValuesAt(ctx), Iota(24));
  Drop(ctx);
  for (double index : {0.0, 7.0, 2.5}) {
    PushRow(ctx, "double", {2, 3});
    PushRow(ctx, "double", {index});
    EXPECT_NE(CallOp(ctx, kOpInd2sub, 2, 2), kOk);
    Drop(ctx, 2);
  }
  PushRow(ctx, "double", {2, 3, 4});
  PushRow(ctx, "double", {1});
  EXPECT_EQ(CallOp(ctx, kOpInd2sub, 2, 2), kErrTooFewArgout);
}

}  // namespace
}  // namespace vke
