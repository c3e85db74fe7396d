// unique and the set operations over arrays and lists of strings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>

#include "builtins/builtin.hpp"
#include "compiler/opcodes.hpp"
#include "engine/value_read.hpp"
#include "tests/builtins/stack_values.hpp"
#include "tests/host/builtin_stand_in.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::ArrayValue;
using test::BuiltinStandIn;
using test::Dims;
using test::Elems;
using test::EntryCount;
using test::PushArray;
using test::PushColumn;
using test::PushRow;
using test::ReadArray;
using test::ReadStringList;
using test::TestHost;
using Strings = std::vector<std::string>;

const double kNaN = std::nan("");

// Stand-ins for the concatenation builtins while they are not served: two
// columns of one class one above the other, and two lists joined.
ErrCode StackColumns(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  NumericView a = ViewNumeric(ctx, 1), b = ViewNumeric(ctx, 0);
  if (nargin != 2 || a.cls == ValueClass::kOther || a.code != b.code) return kErrNotSupported;
  int es = ElementBytesOfCode(a.code);
  int32_t na = a.shape.count, nb = b.shape.count;
  const int32_t dims[2] = {na + nb, 1};
  uint8_t* out;
  if (a.cls == ValueClass::kDouble) {
    double *re, *im;
    if (PushNewArray(ctx, 2, dims, &re, a.complex ? &im : nullptr)) return kErrDataOverflow;
    out = reinterpret_cast<uint8_t*>(re);
  } else {
    void* data;
    if (PushNewTypedArray(ctx, 2, dims, es, a.code & kCodeUnsigned, &data)) return kErrDataOverflow;
    DescAt(ctx, 0)->word = DescAt(ctx, 1)->word;
    out = static_cast<uint8_t*>(data);
  }
  a = ViewNumeric(ctx, 2);
  b = ViewNumeric(ctx, 1);
  for (int part = 0; part < (a.complex ? 2 : 1); part++) {
    std::memcpy(out + es * (part * (na + nb)), a.elements + es * (part * na), es * na);
    std::memcpy(out + es * (part * (na + nb) + na), b.elements + es * (part * nb), es * nb);
  }
  return DropStackEntries(ctx, 1, 2);
}

ErrCode JoinLists(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  StructuredParts a, b;
  if (nargin != 2 || GetListParts(ctx, 1, &a) || GetListParts(ctx, 0, &b)) return kErrNotSupported;
  for (int32_t i = 1; i <= a.elements; i++) GetListElement(ctx, 1 + (i - 1), i);
  for (int32_t i = 1; i <= b.elements; i++) GetListElement(ctx, a.elements + (i - 1), i);
  ErrCode e = PushListFromEntries(ctx, a.elements + b.elements, false, nullptr, 0);
  return e ? e : DropStackEntries(ctx, 1, 2);
}

class SetTest : public ::testing::Test {
 protected:
  SetTest() {
    // The real builtins serve once they answer.
    PushRow(ctx_, "double", {1});
    PushRow(ctx_, "double", {2});
    const BuiltinDispatch& vertcat = GetBuiltinDispatch(kOpVertcat);
    if (vertcat.fn(ctx_, 2, 1, vertcat.option) == kErrNotSupported) {
      vertcat_.emplace(kOpVertcat, &StackColumns);
      join_.emplace(kOpJoin, &JoinLists);
    }
    Drop(ctx_, EntryCount(ctx_));
  }

  // Runs a builtin on two values (or one) and reads its outputs.
  std::vector<ArrayValue> Run(BuiltinFn fn, int32_t nargin, int32_t nargout,
                              ErrCode expected = kOk) {
    std::vector<ArrayValue> out;
    EXPECT_EQ(fn(ctx_, nargin, nargout, 0), expected);
    if (expected == kOk) {
      EXPECT_EQ(EntryCount(ctx_), nargout);
      for (int32_t k = 0; k < nargout; k++) out.push_back(ReadArray(ctx_, k));
    }
    Drop(ctx_, EntryCount(ctx_));
    return out;
  }

  TestHost host_;
  EngineContext* ctx_ = host_.ctx();
  std::optional<BuiltinStandIn> vertcat_, join_;
};

TEST_F(SetTest, UniqueOfArrays) {
  PushRow(ctx_, "double", {3, 1, 3, 2});
  std::vector<ArrayValue> out = Run(UniqueBuiltin, 1, 1);
  EXPECT_EQ(out[0].dims, (Dims{1, 3}));
  EXPECT_EQ(out[0].re, (Elems{1, 2, 3}));
  PushColumn(ctx_, {3, 1, 3});
  out = Run(UniqueBuiltin, 1, 1);
  EXPECT_EQ(out[0].dims, (Dims{2, 1}));
  EXPECT_EQ(out[0].re, (Elems{1, 3}));
  PushRow(ctx_, "double", {3, 1, 3});
  out = Run(UniqueBuiltin, 1, 3);
  EXPECT_EQ(out[0].re, (Elems{1, 3}));
  EXPECT_EQ(out[1].re, (Elems{2, 1}));  // first occurrences
  EXPECT_EQ(out[2].re, (Elems{2, 1, 2}));

  // Every NaN is its own value, placed last, and does not split equal values.
  PushRow(ctx_, "double", {kNaN, 4, kNaN, 1, 4});
  out = Run(UniqueBuiltin, 1, 3);
  ASSERT_EQ(out[0].re.size(), 4u);
  EXPECT_EQ(Elems(out[0].re.begin(), out[0].re.begin() + 2), (Elems{1, 4}));
  EXPECT_TRUE(std::isnan(out[0].re[2]) && std::isnan(out[0].re[3]));
  EXPECT_EQ(out[1].re, (Elems{4, 2, 1, 3}));
  EXPECT_EQ(out[2].re, (Elems{3, 2, 4, 1, 2}));
  // A matrix becomes a column.
  test::PushArray(ctx_, "double", {2, 2}, {4, 4, 1, 4});
  out = Run(UniqueBuiltin, 1, 2);
  EXPECT_EQ(out[0].dims, (Dims{2, 1}));
  EXPECT_EQ(out[0].re, (Elems{1, 4}));
  EXPECT_EQ(out[1].re, (Elems{3, 1}));

  // Complex values sort by modulus: values of one modulus that differ stay
  // apart, equal ones are one value even when they are not adjacent.
  PushRow(ctx_, "double", {0, 1, 0, 1}, {1, 0, 1, 0});
  out = Run(UniqueBuiltin, 1, 3);
  EXPECT_EQ(out[0].re, (Elems{0, 1}));
  EXPECT_EQ(out[0].im, (Elems{1, 0}));
  EXPECT_EQ(out[2].re, (Elems{1, 2, 1, 2}));

  // Other classes keep their class.
  test::PushString(ctx_, "hello");
  out = Run(UniqueBuiltin, 1, 1);
  EXPECT_EQ(out[0].cls, "char");
  EXPECT_EQ(out[0].re, (Elems{'e', 'h', 'l', 'o'}));
  PushArray(ctx_, "int16", {3, 1}, {-2, 7, -2});
  out = Run(UniqueBuiltin, 1, 2);
  EXPECT_EQ(out[0].cls, "int16");
  EXPECT_EQ(out[0].re, (Elems{-2, 7}));
  EXPECT_EQ(out[1].re, (Elems{1, 2}));
  PushArray(ctx_, "single", {2, 2, 2}, {1, 0, 1, 0, 2, 2, 0, 1});
  out = Run(UniqueBuiltin, 1, 1);
  EXPECT_EQ(out[0].dims, (Dims{3, 1}));
  EXPECT_EQ(out[0].re, (Elems{0, 1, 2}));

  ASSERT_EQ(PushEmptyMatrix(ctx_), kOk);
  out = Run(UniqueBuiltin, 1, 3);
  EXPECT_EQ(out[0].dims, (Dims{0, 0}));
  EXPECT_EQ(out[2].dims, (Dims{0, 0}));
  ASSERT_EQ(PushListFromEntries(ctx_, 0, false, nullptr, 0), kOk);
  PushRow(ctx_, "double", {1});
  ASSERT_EQ(PushListFromEntries(ctx_, 2, false, nullptr, 0), kOk);
  Run(UniqueBuiltin, 1, 1, kErrWrongType);
}

TEST_F(SetTest, UniqueOfStrings) {
  test::PushStringList(ctx_, {"b", "a", "b", "ab"});
  ASSERT_EQ(UniqueBuiltin(ctx_, 1, 3, 0), kOk);
  EXPECT_EQ(ReadStringList(ctx_, 0), (Strings{"a", "ab", "b"}));
  EXPECT_EQ(ReadArray(ctx_, 1).re, (Elems{2, 4, 1}));
  EXPECT_EQ(ReadArray(ctx_, 2).re, (Elems{3, 1, 3, 2}));
}

TEST_F(SetTest, UnionAndIntersect) {
  PushRow(ctx_, "double", {1, 2});
  PushRow(ctx_, "double", {2, 3});
  std::vector<ArrayValue> out = Run(UnionBuiltin, 2, 3);
  EXPECT_EQ(out[0].dims, (Dims{3, 1}));
  EXPECT_EQ(out[0].re, (Elems{1, 2, 3}));
  EXPECT_EQ(out[1].re, (Elems{1, 2}));
  EXPECT_EQ(out[2].re, Elems{2});

  PushRow(ctx_, "double", {1, 2, 3});
  PushRow(ctx_, "double", {3, 1, 5});
  out = Run(IntersectBuiltin, 2, 3);
  EXPECT_EQ(out[0].dims, (Dims{2, 1}));
  EXPECT_EQ(out[0].re, (Elems{1, 3}));
  EXPECT_EQ(out[1].re, (Elems{1, 3}));
  EXPECT_EQ(out[2].re, (Elems{2, 1}));
  PushRow(ctx_, "double", {4, 4, kNaN});
  PushRow(ctx_, "double", {kNaN, 4, 4});
  out = Run(IntersectBuiltin, 2, 3);
  EXPECT_EQ(out[0].re, Elems{4});  // NaN is in neither
  EXPECT_EQ(out[1].re, Elems{1});
  EXPECT_EQ(out[2].re, Elems{2});
  PushRow(ctx_, "double", {1, 2});
  PushRow(ctx_, "double", {3});
  out = Run(IntersectBuiltin, 2, 1);
  EXPECT_EQ(out[0].dims, (Dims{0, 0}));

  test::PushStringList(ctx_, {"b", "a"});
  test::PushStringList(ctx_, {"c", "b"});
  ASSERT_EQ(UnionBuiltin(ctx_, 2, 1, 0), kOk);
  EXPECT_EQ(ReadStringList(ctx_), (Strings{"a", "b", "c"}));
  Drop(ctx_);
  test::PushStringList(ctx_, {"b", "a"});
  test::PushStringList(ctx_, {"c", "b"});
  ASSERT_EQ(IntersectBuiltin(ctx_, 2, 2, 0), kOk);
  EXPECT_EQ(ReadStringList(ctx_), Strings{"b"});
  EXPECT_EQ(ReadArray(ctx_, 1).re, Elems{1});
  Drop(ctx_, 2);
}

TEST_F(SetTest, DifferencesAndMembership) {
  PushRow(ctx_, "double", {5, 1, 3});
  PushRow(ctx_, "double", {1});
  std::vector<ArrayValue> out = Run(SetdiffBuiltin, 2, 2);
  EXPECT_EQ(out[0].dims, (Dims{1, 2}));
  EXPECT_EQ(out[0].re, (Elems{3, 5}));
  EXPECT_EQ(out[1].re, (Elems{3, 1}));
  PushRow(ctx_, "double", {1});
  PushRow(ctx_, "double", {1});
  Run(SetdiffBuiltin, 2, 3, kErrTooManyArgout);

  PushRow(ctx_, "double", {1, 2, 3});
  PushRow(ctx_, "double", {2, 5});
  out = Run(SetxorBuiltin, 2, 3);
  EXPECT_EQ(out[0].re, (Elems{1, 3, 5}));
  EXPECT_EQ(out[1].re, (Elems{1, 3}));
  EXPECT_EQ(out[2].re, Elems{2});

  PushRow(ctx_, "double", {1, 5});
  PushRow(ctx_, "double", {5, 6});
  out = Run(IsmemberBuiltin, 2, 1);
  EXPECT_EQ(out[0].cls, "logical");
  EXPECT_EQ(out[0].re, (Elems{0, 1}));
  test::PushArray(ctx_, "double", {2, 2}, {6, 1, 6, 7});
  PushRow(ctx_, "double", {6, 7});
  out = Run(IsmemberBuiltin, 2, 1);
  EXPECT_EQ(out[0].dims, (Dims{2, 2}));
  EXPECT_EQ(out[0].re, (Elems{1, 0, 1, 1}));
  test::PushStringList(ctx_, {"a", "z", "a"});
  test::PushStringList(ctx_, {"z"});
  EXPECT_EQ(Run(IsmemberBuiltin, 2, 1)[0].re, (Elems{0, 1, 0}));

  ASSERT_EQ(PushListFromEntries(ctx_, 0, false, nullptr, 0), kOk);
  DescAt(ctx_, 0)->word = 7;  // an object
  PushRow(ctx_, "double", {1});
  Run(IsmemberBuiltin, 2, 1, kErrWrongTypeOverload);

  // A list with an array, or a structure, is refused by every operation.
  for (BuiltinFn fn :
       {UnionBuiltin, IntersectBuiltin, SetdiffBuiltin, SetxorBuiltin, IsmemberBuiltin}) {
    test::PushStringList(ctx_, {"a"});
    PushRow(ctx_, "double", {1, 2});
    EXPECT_NE(fn(ctx_, 2, 1, 0), kOk);
    Drop(ctx_, EntryCount(ctx_));
    PushRow(ctx_, "double", {1});
    ASSERT_EQ(PushListFromEntries(ctx_, 1, false, "f", 1), kOk);
    PushRow(ctx_, "double", {1});
    EXPECT_NE(fn(ctx_, 2, 1, 0), kOk);
    Drop(ctx_, EntryCount(ctx_));
  }
}

}  // namespace
}  // namespace vke
