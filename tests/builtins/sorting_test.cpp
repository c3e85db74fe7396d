// The Shell-sort kernels and comparators, sort, find and nnz.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "builtins/shell_sort.hpp"
#include "tests/builtins/stack_values.hpp"
#include "tests/host/command_line.hpp"

namespace vke {
namespace {

using namespace test;

const double kNaN = std::nan("");

TEST(ShellSort, RealKernelsOrderAndStride) {
  std::mt19937 gen(5);
  std::uniform_int_distribution<int> dist(-50, 50);
  for (int32_t n : {0, 1, 2, 3, 4, 5, 13, 14, 40, 41, 500}) {
    Elems data(3 * size_t(n));
    for (double& x : data) x = dist(gen);
    Elems expected(n);
    for (int32_t i = 0; i < n; i++) expected[i] = data[3 * i];
    Elems untouched = data;
    ShellSortReal(data.data(), n, 3, false);
    std::sort(expected.begin(), expected.end());
    for (int32_t i = 0; i < n; i++) {
      ASSERT_EQ(data[3 * i], expected[i]) << n;
      EXPECT_EQ(data[3 * i + 1], untouched[3 * i + 1]);  // elements off the stride stay
    }
    ShellSortReal(data.data(), n, 3, true);
    for (int32_t i = 0; i < n; i++) ASSERT_EQ(data[3 * i], expected[n - 1 - i]) << n;
  }
  // NaNs gather last ascending and first descending, the numbers sorted.
  Elems a{3, kNaN, 1, kNaN, 2};
  ShellSortReal(a.data(), 5, 1, false);
  EXPECT_EQ((Elems{a[0], a[1], a[2]}), (Elems{1, 2, 3}));
  EXPECT_TRUE(std::isnan(a[3]) && std::isnan(a[4]));
  ShellSortReal(a.data(), 5, 1, true);
  EXPECT_TRUE(std::isnan(a[0]) && std::isnan(a[1]));
  EXPECT_EQ((Elems{a[2], a[3], a[4]}), (Elems{3, 2, 1}));
}

TEST(ShellSort, IndexCompanionsKeepEqualKeysInOrder) {
  Elems keys{2, 1, 2, 1, 2}, index{1, 2, 3, 4, 5};
  ShellSortRealWithIndex(keys.data(), index.data(), 5, 1, false);
  EXPECT_EQ(keys, (Elems{1, 1, 2, 2, 2}));
  EXPECT_EQ(index, (Elems{2, 4, 1, 3, 5}));
  ShellSortRealWithIndex(keys.data(), index.data(), 5, 1, true);
  EXPECT_EQ(keys, (Elems{2, 2, 2, 1, 1}));
  EXPECT_EQ(index, (Elems{1, 3, 5, 2, 4}));
  // NaNs keep their index order in both directions.
  Elems withNaN{kNaN, 1, kNaN, 0}, at{1, 2, 3, 4};
  ShellSortRealWithIndex(withNaN.data(), at.data(), 4, 1, false);
  EXPECT_EQ(at, (Elems{4, 2, 1, 3}));
  at = {1, 2, 3, 4};
  withNaN = {kNaN, 1, kNaN, 0};
  ShellSortRealWithIndex(withNaN.data(), at.data(), 4, 1, true);
  EXPECT_EQ(at, (Elems{1, 3, 2, 4}));

  Elems data{3, 1, 2};
  std::vector<int32_t> companion{10, 20, 30};
  ShellSortRealWithInt32Index(data.data(), companion.data(), 3, 1);
  EXPECT_EQ(companion, (std::vector<int32_t>{20, 30, 10}));

  // 32-bit words order as signed values.
  std::vector<uint32_t> words{1, 0x80000000u, 0xFFFFFFFFu, 0}, other{1, 2, 3, 4};
  ShellSortUInt32WithCompanion(words.data(), other.data(), 4);
  EXPECT_EQ(words, (std::vector<uint32_t>{0x80000000u, 0xFFFFFFFFu, 0, 1}));
  EXPECT_EQ(other, (std::vector<uint32_t>{2, 3, 4, 1}));

  // Complex values by squared modulus; equal moduli keep their places, or
  // their index order when an index is given.
  Elems re{3, 5, 1, 0}, im{4, 0, 0, -5};
  ShellSortComplex(re.data(), im.data(), 4, 1, false);
  EXPECT_EQ(re, (Elems{1, 3, 5, 0}));
  EXPECT_EQ(im, (Elems{0, 4, 0, -5}));
  ShellSortComplex(re.data(), im.data(), 4, 1, true);
  EXPECT_EQ(re, (Elems{3, 5, 0, 1}));
  Elems moduli{25, 1, 25}, r2{5, 1, 3}, i2{0, 0, 4}, idx{3, 2, 1};
  ShellSortComplexWithIndex(moduli.data(), r2.data(), i2.data(), idx.data(), 3, 1, false);
  EXPECT_EQ(idx, (Elems{2, 1, 3}));
  EXPECT_EQ(r2, (Elems{1, 3, 5}));
}

TEST(ShellSort, ComparatorsAndStablePermutations) {
  std::mt19937 gen(9);
  std::uniform_int_distribution<int> dist(-3, 3);
  std::vector<int16_t> keys(300);
  for (int16_t& k : keys) k = static_cast<int16_t>(dist(gen));
  SortCompareContext c;
  c.data = reinterpret_cast<const uint8_t*>(keys.data());
  std::vector<int32_t> perm(keys.size()), expected(keys.size());
  for (bool descending : {false, true}) {
    ShellSortByComparator(300, SortCompareInt16, perm.data(), &c, descending);
    std::iota(expected.begin(), expected.end(), 0);
    std::stable_sort(expected.begin(), expected.end(), [&](int32_t a, int32_t b) {
      return descending ? keys[a] > keys[b] : keys[a] < keys[b];
    });
    EXPECT_EQ(perm, expected);
  }

  // 64-bit keys compare as whole values of their signedness.
  std::vector<int64_t> wide{int64_t(1) << 40, -1, 0};
  c.data = reinterpret_cast<const uint8_t*>(wide.data());
  EXPECT_EQ(SortCompareInt64(&c, 0, 1), 1);
  EXPECT_EQ(SortCompareUInt64(&c, 0, 1), -1);
  EXPECT_EQ(ComparatorOfCode(kCodeUInt16), SortCompareUInt16);
  EXPECT_EQ(ComparatorOfCode(kCodeDouble), nullptr);

  // Singles: complex keys by squared modulus, NaN above every number.
  std::vector<float> singles{3, kNaN, 1, 0, 0, 2};  // 3, NaN, 1 + 2i
  c.data = reinterpret_cast<const uint8_t*>(singles.data());
  c.imag = 3;
  EXPECT_EQ(SortCompareSingle(&c, 0, 2), 1);  // 9 > 5
  EXPECT_EQ(SortCompareSingle(&c, 1, 0), 1);
  EXPECT_EQ(SortCompareSingle(&c, 0, 1), -1);
  EXPECT_EQ(SortCompareSingle(&c, 1, 1), 0);

  // Strings: units compared unsigned, a proper prefix first.
  std::vector<uint16_t> units{'a', 'b', 'a', 0xFFFF, 'a'};
  uint32_t table[] = {0, 2, 4, 1, 6, 1, 8, 1};  // "ab", "a", "\xFFFF", "a"
  SortCompareContext s;
  s.base = reinterpret_cast<const uint8_t*>(units.data());
  s.strings = table;
  EXPECT_EQ(SortCompareStrings(&s, 1, 0), -1);
  EXPECT_EQ(SortCompareStrings(&s, 2, 0), 1);
  EXPECT_EQ(SortCompareStrings(&s, 1, 3), 0);
  ShellSortByComparator(4, SortCompareStrings, perm.data(), &s, false);
  EXPECT_EQ(std::vector<int32_t>(perm.begin(), perm.begin() + 4),
            (std::vector<int32_t>{1, 3, 0, 2}));
}

class SortTest : public ::testing::Test {
 protected:
  TestHost host_;
  EngineContext* ctx_ = host_.ctx();
};

TEST_F(SortTest, SortsNumericArrays) {
  EXPECT_EQ(Result(ctx_, SortBuiltin, {Row({3, 1, 2})}).re, (Elems{1, 2, 3}));
  EXPECT_EQ(Result(ctx_, SortBuiltin, {Row({3, 1, 2}), Text("descend")}).re, (Elems{3, 2, 1}));
  EXPECT_EQ(Failure(ctx_, SortBuiltin, {Row({3, 1, 2}), Text("up")}), kErrUnknownOpt);
  std::vector<ArrayValue> out = Outputs(ctx_, SortBuiltin, {Row({2, 1, 2})}, 2);
  EXPECT_EQ(out[0].re, (Elems{1, 2, 2}));
  EXPECT_EQ(out[1].re, (Elems{2, 1, 3}));
  EXPECT_EQ(Outputs(ctx_, SortBuiltin, {Row({2, 1, 2}), Text("d")}, 2)[1].re, (Elems{1, 3, 2}));

  // Matrices down the columns by default, along the rows with dim 2; an
  // N-D array along its third dimension.
  out = Outputs(ctx_, SortBuiltin, {Mat(2, 2, {3, 1, 1, 2})}, 2);
  EXPECT_EQ(out[0].re, (Elems{1, 1, 3, 2}));
  EXPECT_EQ(out[1].re, (Elems{2, 1, 1, 2}));
  EXPECT_EQ(Result(ctx_, SortBuiltin, {Mat(2, 2, {3, 1, 2, 1}), Row({2})}).re, (Elems{1, 3, 1, 2}));
  EXPECT_EQ(Failure(ctx_, SortBuiltin, {Mat(2, 2, {3, 1, 2, 1}), Row({0})}), kErrBadDim);
  EXPECT_EQ(Result(ctx_, SortBuiltin, {Of("double", {1, 2, 2}, {5, 6, 1, 9}), Row({3})}).re,
            (Elems{1, 6, 5, 9}));

  // Complex values by modulus, stable.
  out = Outputs(ctx_, SortBuiltin, {Row({3, 1, 0, 5}, {4, 0, 1, 0})}, 2);
  EXPECT_EQ(out[0].re, (Elems{1, 0, 3, 5}));
  EXPECT_EQ(out[0].im, (Elems{0, 1, 4, 0}));
  EXPECT_EQ(out[1].re, (Elems{2, 3, 1, 4}));

  // NaNs last ascending and first descending, in their order, with their
  // positions; the numbers sorted among themselves (complex ones too).
  out = Outputs(ctx_, SortBuiltin, {Row({3, kNaN, 1, kNaN})}, 2);
  EXPECT_EQ((Elems{out[0].re[0], out[0].re[1]}), (Elems{1, 3}));
  EXPECT_EQ(out[1].re, (Elems{3, 1, 2, 4}));
  out = Outputs(ctx_, SortBuiltin, {Row({3, kNaN, 1, kNaN}), Text("descend")}, 2);
  EXPECT_EQ((Elems{out[0].re[2], out[0].re[3]}), (Elems{3, 1}));
  EXPECT_EQ(out[1].re, (Elems{2, 4, 1, 3}));
  out = Outputs(ctx_, SortBuiltin, {Of("single", {1, 3}, {kNaN, 2, 1})}, 2);
  EXPECT_EQ(out[1].re, (Elems{3, 2, 1}));
  out = Outputs(ctx_, SortBuiltin, {Row({3, 1, 0, 2}, {0, kNaN, 1, 0})}, 2);
  EXPECT_EQ(out[1].re, (Elems{3, 4, 1, 2}));

  // The positions have x's size, empty ones too; so does the sorted value.
  EXPECT_EQ(RunForOutput(host_,
                         "c = {zeros(1, 0), zeros(0, 3), zeros(0, 1), zeros(2, 0, 4)};"
                         "for k = 1:4, [y, i] = sort(c{k}); [v, j] = sort(c{k}, 'descend');"
                         "fprintf('%d ', size(y), size(i), size(v), size(j)); fprintf('|'); end"),
            "1 0 1 0 1 0 1 0 |0 3 0 3 0 3 0 3 |0 1 0 1 0 1 0 1 |2 0 4 2 0 4 2 0 4 2 0 4 |");
  // A third argument that is no mode.
  EXPECT_EQ(Failure(ctx_, SortBuiltin, {Row({2, 1}), Row({2}), Row({1})}), kErrUnknownOpt);

  // With no output the arguments go.
  Push(ctx_, Row({1}));
  EXPECT_EQ(SortBuiltin(ctx_, 1, 0, 0), kOk);
  EXPECT_EQ(EntryCount(ctx_), 0);
}

TEST_F(SortTest, SortsOtherClassesAndLists) {
  std::vector<ArrayValue> out = Outputs(ctx_, SortBuiltin, {Of("int8", {1, 4}, {3, -1, 2, -1})}, 2);
  EXPECT_EQ(out[0].cls, "int8");
  EXPECT_EQ(out[0].re, (Elems{-1, -1, 2, 3}));
  EXPECT_EQ(out[1].re, (Elems{2, 4, 3, 1}));
  ArrayValue v = Result(ctx_, SortBuiltin, {Text("cab")});
  EXPECT_EQ(v.cls, "char");
  EXPECT_EQ(v.re, (Elems{'a', 'b', 'c'}));
  v = Result(ctx_, SortBuiltin, {Of("single", {1, 3}, {2, -1, 0}, {0, 0, 3})});
  EXPECT_EQ(v.re, (Elems{-1, 2, 0}));
  EXPECT_EQ(v.im, (Elems{0, 0, 3}));
  EXPECT_EQ(Result(ctx_, SortBuiltin, {Of("uint64", {2, 1}, {7, 3})}).re, (Elems{3, 7}));

  // Lists of strings: ascending by code units, stable; descending reversed.
  Apply(ctx_, SortBuiltin, {List({"b", "a", "ab"})}, 2);
  EXPECT_EQ(ReadStringList(ctx_, 0), (Strings{"a", "ab", "b"}));
  EXPECT_EQ(ReadArray(ctx_, 1).re, (Elems{2, 3, 1}));
  Drop(ctx_, 2);
  Apply(ctx_, SortBuiltin, {List({"b", "a", "ab", "b"}), Text("descend")}, 2);
  EXPECT_EQ(ReadStringList(ctx_, 0), (Strings{"b", "b", "ab", "a"}));
  EXPECT_EQ(ReadArray(ctx_, 1).re, (Elems{1, 4, 3, 2}));
  Drop(ctx_, 2);
  Push(ctx_, Row({1}));
  ASSERT_EQ(PushListFromEntries(ctx_, 1, false, nullptr, 0), kOk);
  EXPECT_EQ(SortBuiltin(ctx_, 1, 1, 0), kErrWrongType);  // an element that is not text
  Drop(ctx_);
  EXPECT_EQ(Failure(ctx_, SortBuiltin, {List({"a"}), Row({1}), Text("a")}), kErrTooManyArgin);
}

TEST_F(SortTest, FindAndCount) {
  ArrayValue v = Result(ctx_, FindBuiltin, {Mat(2, 2, {0, 1, 1, 0})});
  EXPECT_EQ(v.dims, (Dims{2, 1}));
  EXPECT_EQ(v.re, (Elems{2, 3}));  // storage order, row by row
  std::vector<ArrayValue> out = Outputs(ctx_, FindBuiltin, {Mat(2, 2, {0, 1, 1, 0})}, 2);
  EXPECT_EQ(out[0].re, (Elems{1, 2}));
  EXPECT_EQ(out[1].re, (Elems{2, 1}));
  v = Result(ctx_, FindBuiltin, {Row({1, 1, 1, 0, 1}), Row({2})});
  EXPECT_EQ(v.dims, (Dims{1, 2}));
  EXPECT_EQ(v.re, (Elems{1, 2}));
  EXPECT_EQ(Result(ctx_, FindBuiltin, {Row({1, 1, 1, 0, 1}), Row({2}), Text("last")}).re,
            (Elems{5, 3}));
  EXPECT_EQ(Failure(ctx_, FindBuiltin, {Row({1}), Row({1}), Text("x")}), kErrUnknownOpt);

  // NaN and either part of a complex value count; values keep the class.
  EXPECT_EQ(Result(ctx_, FindBuiltin, {Row({kNaN})}).re, Elems{1});
  out = Outputs(ctx_, FindBuiltin, {Row({0, 0, 2}, {0, 1, 0})}, 3);
  EXPECT_EQ(out[1].re, (Elems{2, 3}));
  EXPECT_EQ(out[2].re, (Elems{0, 2}));
  EXPECT_EQ(out[2].im, (Elems{1, 0}));
  out = Outputs(ctx_, FindBuiltin, {Of("int8", {3, 1}, {0, -4, 5})}, 3);
  EXPECT_EQ(out[0].re, (Elems{2, 3}));
  EXPECT_EQ(out[2].cls, "int8");
  EXPECT_EQ(out[2].dims, (Dims{2, 1}));
  EXPECT_EQ(out[2].re, (Elems{-4, 5}));
  EXPECT_EQ(Outputs(ctx_, FindBuiltin, {Of("logical", {1, 2}, {1, 0})}, 3)[2].cls, "logical");
  out = Outputs(ctx_, FindBuiltin, {Row({})}, 2);
  EXPECT_EQ(out[1].dims, (Dims{0, 0}));
  const Arg cube = Of("double", {2, 2, 2}, {0, 0, 0, 0, 0, 0, 1, 0});
  EXPECT_EQ(Result(ctx_, FindBuiltin, {cube}).re, Elems{7});
  EXPECT_EQ(Failure(ctx_, FindBuiltin, {cube}, 2), kErrBadSize);

  EXPECT_EQ(Result(ctx_, NnzBuiltin, {Row({0, kNaN, 2})}).re, Elems{2});
  EXPECT_EQ(Result(ctx_, NnzBuiltin, {Of("int64", {1, 3}, {0, -1, 0})}).re, Elems{1});
  EXPECT_EQ(Result(ctx_, NnzBuiltin, {Of("single", {1, 2}, {0, 0}, {0, 1})}).re, Elems{1});
  EXPECT_EQ(Failure(ctx_, NnzBuiltin, {List({})}), kErrWrongTypeOverload);
}

}  // namespace
}  // namespace vke
