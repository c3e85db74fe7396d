// unique and the set operations over arrays and lists of strings.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/builtins/stack_values.hpp"

namespace vke {
namespace {

using namespace test;

const double kNaN = std::nan("");

class SetTest : public ::testing::Test {
 protected:
  TestHost host_;
  EngineContext* ctx_ = host_.ctx();
};

TEST_F(SetTest, UniqueOfArrays) {
  ArrayValue v = Result(ctx_, UniqueBuiltin, {Row({3, 1, 3, 2})});
  EXPECT_EQ(v.dims, (Dims{1, 3}));
  EXPECT_EQ(v.re, (Elems{1, 2, 3}));
  v = Result(ctx_, UniqueBuiltin, {Col({3, 1, 3})});
  EXPECT_EQ(v.dims, (Dims{2, 1}));
  EXPECT_EQ(v.re, (Elems{1, 3}));
  std::vector<ArrayValue> out = Outputs(ctx_, UniqueBuiltin, {Row({3, 1, 3})}, 3);
  EXPECT_EQ(out[0].re, (Elems{1, 3}));
  EXPECT_EQ(out[1].re, (Elems{2, 1}));  // first occurrences
  EXPECT_EQ(out[2].re, (Elems{2, 1, 2}));
  // A matrix becomes a column.
  out = Outputs(ctx_, UniqueBuiltin, {Mat(2, 2, {4, 4, 1, 4})}, 2);
  EXPECT_EQ(out[0].dims, (Dims{2, 1}));
  EXPECT_EQ(out[0].re, (Elems{1, 4}));
  EXPECT_EQ(out[1].re, (Elems{3, 1}));

  // Every NaN is its own value, placed last, and does not split equal values.
  out = Outputs(ctx_, UniqueBuiltin, {Row({kNaN, 4, kNaN, 1, 4})}, 3);
  ASSERT_EQ(out[0].re.size(), 4u);
  EXPECT_EQ(Elems(out[0].re.begin(), out[0].re.begin() + 2), (Elems{1, 4}));
  EXPECT_TRUE(std::isnan(out[0].re[2]) && std::isnan(out[0].re[3]));
  EXPECT_EQ(out[1].re, (Elems{4, 2, 1, 3}));
  EXPECT_EQ(out[2].re, (Elems{3, 2, 4, 1, 2}));
  // Complex values sort by modulus: values of one modulus that differ stay
  // apart, equal ones are one value even when they are not adjacent.
  out = Outputs(ctx_, UniqueBuiltin, {Row({0, 1, 0, 1}, {1, 0, 1, 0})}, 3);
  EXPECT_EQ(out[0].re, (Elems{0, 1}));
  EXPECT_EQ(out[0].im, (Elems{1, 0}));
  EXPECT_EQ(out[2].re, (Elems{1, 2, 1, 2}));

  // Other classes keep their class.
  v = Result(ctx_, UniqueBuiltin, {Text("hello")});
  EXPECT_EQ(v.cls, "char");
  EXPECT_EQ(v.re, (Elems{'e', 'h', 'l', 'o'}));
  out = Outputs(ctx_, UniqueBuiltin, {Of("int16", {3, 1}, {-2, 7, -2})}, 2);
  EXPECT_EQ(out[0].cls, "int16");
  EXPECT_EQ(out[0].re, (Elems{-2, 7}));
  EXPECT_EQ(out[1].re, (Elems{1, 2}));
  v = Result(ctx_, UniqueBuiltin, {Of("single", {2, 2, 2}, {1, 0, 1, 0, 2, 2, 0, 1})});
  EXPECT_EQ(v.dims, (Dims{3, 1}));
  EXPECT_EQ(v.re, (Elems{0, 1, 2}));
  EXPECT_EQ(Outputs(ctx_, UniqueBuiltin, {Row({})}, 3)[2].dims, (Dims{0, 0}));
}

TEST_F(SetTest, UniqueOfStrings) {
  Apply(ctx_, UniqueBuiltin, {List({"b", "a", "b", "ab"})}, 3);
  EXPECT_EQ(ReadStringList(ctx_, 0), (Strings{"a", "ab", "b"}));
  EXPECT_EQ(ReadArray(ctx_, 1).re, (Elems{2, 4, 1}));
  EXPECT_EQ(ReadArray(ctx_, 2).re, (Elems{3, 1, 3, 2}));
  Drop(ctx_, 3);
  Push(ctx_, Row({1}));
  ASSERT_EQ(PushListFromEntries(ctx_, 1, false, nullptr, 0), kOk);
  EXPECT_EQ(UniqueBuiltin(ctx_, 1, 1, 0), kErrWrongType);
}

TEST_F(SetTest, UnionAndIntersect) {
  std::vector<ArrayValue> out = Outputs(ctx_, UnionBuiltin, {Row({1, 2}), Row({2, 3})}, 3);
  EXPECT_EQ(out[0].dims, (Dims{3, 1}));
  EXPECT_EQ(out[0].re, (Elems{1, 2, 3}));
  EXPECT_EQ(out[1].re, (Elems{1, 2}));
  EXPECT_EQ(out[2].re, Elems{2});

  out = Outputs(ctx_, IntersectBuiltin, {Row({1, 2, 3}), Row({3, 1, 5})}, 3);
  EXPECT_EQ(out[0].dims, (Dims{2, 1}));
  EXPECT_EQ(out[0].re, (Elems{1, 3}));
  EXPECT_EQ(out[1].re, (Elems{1, 3}));
  EXPECT_EQ(out[2].re, (Elems{2, 1}));
  out = Outputs(ctx_, IntersectBuiltin, {Row({4, 4, kNaN}), Row({kNaN, 4, 4})}, 3);
  EXPECT_EQ(out[0].re, Elems{4});  // NaN is in neither
  EXPECT_EQ(out[1].re, Elems{1});
  EXPECT_EQ(out[2].re, Elems{2});
  EXPECT_EQ(Result(ctx_, IntersectBuiltin, {Row({1, 2}), Row({3})}).dims, (Dims{0, 0}));

  Apply(ctx_, UnionBuiltin, {List({"b", "a"}), List({"c", "b"})}, 1);
  EXPECT_EQ(ReadStringList(ctx_), (Strings{"a", "b", "c"}));
  Drop(ctx_);
  Apply(ctx_, IntersectBuiltin, {List({"b", "a"}), List({"c", "b"})}, 2);
  EXPECT_EQ(ReadStringList(ctx_), Strings{"b"});
  EXPECT_EQ(ReadArray(ctx_, 1).re, Elems{1});
  Drop(ctx_, 2);
}

TEST_F(SetTest, DifferencesAndMembership) {
  std::vector<ArrayValue> out = Outputs(ctx_, SetdiffBuiltin, {Row({5, 1, 3}), Row({1})}, 2);
  EXPECT_EQ(out[0].dims, (Dims{1, 2}));
  EXPECT_EQ(out[0].re, (Elems{3, 5}));
  EXPECT_EQ(out[1].re, (Elems{3, 1}));
  EXPECT_EQ(Failure(ctx_, SetdiffBuiltin, {Row({1}), Row({1})}, 3), kErrTooManyArgout);
  ArrayValue text = Result(ctx_, SetdiffBuiltin, {Text("cab"), Text("b")});
  EXPECT_EQ(text.cls, "char");
  EXPECT_EQ(text.re, (Elems{'a', 'c'}));
  out = Outputs(ctx_, SetxorBuiltin, {Row({1, 2, 3}), Row({2, 5})}, 3);
  EXPECT_EQ(out[0].re, (Elems{1, 3, 5}));
  EXPECT_EQ(out[1].re, (Elems{1, 3}));
  EXPECT_EQ(out[2].re, Elems{2});

  ArrayValue v = Result(ctx_, IsmemberBuiltin, {Row({1, 5}), Row({5, 6})});
  EXPECT_EQ(v.cls, "logical");
  EXPECT_EQ(v.re, (Elems{0, 1}));
  v = Result(ctx_, IsmemberBuiltin, {Mat(2, 2, {6, 1, 6, 7}), Row({6, 7})});
  EXPECT_EQ(v.dims, (Dims{2, 2}));
  EXPECT_EQ(v.re, (Elems{1, 0, 1, 1}));
  EXPECT_EQ(Result(ctx_, IsmemberBuiltin, {List({"a", "z", "a"}), List({"z"})}).re,
            (Elems{0, 1, 0}));

  // Objects go to their class; a list with an array, or a structure, is
  // refused by every operation.
  Push(ctx_, List({}));
  DescAt(ctx_, 0)->word = 7;
  Push(ctx_, Row({1}));
  EXPECT_EQ(IsmemberBuiltin(ctx_, 2, 1, 0), kErrWrongTypeOverload);
  Drop(ctx_, 2);
  for (BuiltinFn fn :
       {UnionBuiltin, IntersectBuiltin, SetdiffBuiltin, SetxorBuiltin, IsmemberBuiltin}) {
    EXPECT_NE(Failure(ctx_, fn, {List({"a"}), Row({1, 2})}), kOk);
    Push(ctx_, Row({1}));
    ASSERT_EQ(PushListFromEntries(ctx_, 1, false, "f", 1), kOk);
    Push(ctx_, Row({1}));
    EXPECT_NE(fn(ctx_, 2, 1, 0), kOk);
    Drop(ctx_, EntryCount(ctx_));
  }
}

}  // namespace
}  // namespace vke
