// The Shell-sort kernels and comparators, sort, find and nnz.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "builtins/builtin.hpp"
#include "builtins/shell_sort.hpp"
#include "tests/builtins/stack_values.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::ArrayValue;
using test::Dims;
using test::Elems;
using test::EntryCount;
using test::PushArray;
using test::PushRow;
using test::ReadArray;
using test::TestHost;

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
  // A NaN stops an ascending move and moves forward when descending.
  Elems a{1, kNaN};
  ShellSortReal(a.data(), 2, 1, false);
  EXPECT_EQ(a[0], 1);
  ShellSortReal(a.data(), 2, 1, true);
  EXPECT_TRUE(std::isnan(a[0]));
  EXPECT_EQ(a[1], 1);
}

TEST(ShellSort, IndexCompanionsKeepEqualKeysInOrder) {
  Elems keys{2, 1, 2, 1, 2}, index{1, 2, 3, 4, 5};
  ShellSortRealWithIndex(keys.data(), index.data(), 5, 1, false);
  EXPECT_EQ(keys, (Elems{1, 1, 2, 2, 2}));
  EXPECT_EQ(index, (Elems{2, 4, 1, 3, 5}));
  ShellSortRealWithIndex(keys.data(), index.data(), 5, 1, true);
  EXPECT_EQ(keys, (Elems{2, 2, 2, 1, 1}));
  EXPECT_EQ(index, (Elems{1, 3, 5, 2, 4}));

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

  // Singles: complex keys by squared modulus, NaN always "smaller".
  std::vector<float> singles{3, kNaN, 1, 0, 0, 2};  // 3, NaN, 1 + 2i
  c.data = reinterpret_cast<const uint8_t*>(singles.data());
  c.imag = 3;
  EXPECT_EQ(SortCompareSingle(&c, 0, 2), 1);  // 9 > 5
  EXPECT_EQ(SortCompareSingle(&c, 1, 0), -1);
  EXPECT_EQ(SortCompareSingle(&c, 0, 1), -1);

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
  // Runs a builtin and reads its outputs, first output first; drops all.
  std::vector<ArrayValue> Run(BuiltinFn fn, int32_t nargin, int32_t nargout,
                              ErrCode expected = kOk) {
    std::vector<ArrayValue> out;
    EXPECT_EQ(fn(ctx_, nargin, nargout, 0), expected);
    if (expected == kOk) {
      EXPECT_EQ(EntryCount(ctx_), std::max(nargout, 0));
      for (int32_t k = 0; k < nargout; k++) out.push_back(ReadArray(ctx_, k));
    }
    Drop(ctx_, EntryCount(ctx_));
    return out;
  }

  TestHost host_;
  EngineContext* ctx_ = host_.ctx();
};

TEST_F(SortTest, SortsNumericArrays) {
  PushRow(ctx_, "double", {3, 1, 2});
  EXPECT_EQ(Run(SortBuiltin, 1, 1)[0].re, (Elems{1, 2, 3}));
  PushRow(ctx_, "double", {3, 1, 2});
  test::PushString(ctx_, "descend");
  EXPECT_EQ(Run(SortBuiltin, 2, 1)[0].re, (Elems{3, 2, 1}));
  PushRow(ctx_, "double", {3, 1, 2});
  test::PushString(ctx_, "up");
  Run(SortBuiltin, 2, 1, kErrUnknownOpt);
  PushRow(ctx_, "double", {2, 1, 2});
  std::vector<ArrayValue> out = Run(SortBuiltin, 1, 2);
  EXPECT_EQ(out[0].re, (Elems{1, 2, 2}));
  EXPECT_EQ(out[1].re, (Elems{2, 1, 3}));
  PushRow(ctx_, "double", {2, 1, 2});
  test::PushString(ctx_, "d");
  out = Run(SortBuiltin, 2, 2);
  EXPECT_EQ(out[1].re, (Elems{1, 3, 2}));

  // Matrices: down the columns by default, along the rows with dim 2.
  PushArray(ctx_, "double", {2, 2}, {3, 1, 1, 2});
  out = Run(SortBuiltin, 1, 2);
  EXPECT_EQ(out[0].re, (Elems{1, 1, 3, 2}));
  EXPECT_EQ(out[1].re, (Elems{2, 1, 1, 2}));
  PushArray(ctx_, "double", {2, 2}, {3, 1, 2, 1});
  PushRow(ctx_, "double", {2});
  EXPECT_EQ(Run(SortBuiltin, 2, 1)[0].re, (Elems{1, 3, 1, 2}));
  PushArray(ctx_, "double", {2, 2}, {3, 1, 2, 1});
  PushRow(ctx_, "double", {0});
  Run(SortBuiltin, 2, 1, kErrBadDim);

  // Along the third dimension of an N-D array.
  double* re;
  const int32_t dims[3] = {1, 2, 2};
  ASSERT_EQ(PushNewArray(ctx_, 3, dims, &re, nullptr), kOk);
  std::copy_n(Elems{5, 6, 1, 9}.begin(), 4, re);
  PushRow(ctx_, "double", {3});
  EXPECT_EQ(Run(SortBuiltin, 2, 1)[0].re, (Elems{1, 6, 5, 9}));

  // Complex values by modulus, stable.
  PushRow(ctx_, "double", {3, 1, 0, 5}, {4, 0, 1, 0});
  out = Run(SortBuiltin, 1, 2);
  EXPECT_EQ(out[0].re, (Elems{1, 0, 3, 5}));
  EXPECT_EQ(out[0].im, (Elems{0, 1, 4, 0}));
  EXPECT_EQ(out[1].re, (Elems{2, 3, 1, 4}));

  // With no output the arguments go.
  PushRow(ctx_, "double", {1});
  Run(SortBuiltin, 1, 0);
}

TEST_F(SortTest, SortsOtherClassesAndLists) {
  PushArray(ctx_, "int8", {1, 4}, {3, -1, 2, -1});
  std::vector<ArrayValue> out = Run(SortBuiltin, 1, 2);
  EXPECT_EQ(out[0].cls, "int8");
  EXPECT_EQ(out[0].re, (Elems{-1, -1, 2, 3}));
  EXPECT_EQ(out[1].re, (Elems{2, 4, 3, 1}));
  test::PushString(ctx_, "cab");
  out = Run(SortBuiltin, 1, 1);
  EXPECT_EQ(out[0].cls, "char");
  EXPECT_EQ(out[0].re, (Elems{'a', 'b', 'c'}));
  PushArray(ctx_, "single", {1, 3}, {2, -1, 0}, {0, 0, 3});
  out = Run(SortBuiltin, 1, 1);
  EXPECT_EQ(out[0].re, (Elems{-1, 2, 0}));
  EXPECT_EQ(out[0].im, (Elems{0, 0, 3}));
  PushArray(ctx_, "uint64", {2, 1}, {7, 3});
  EXPECT_EQ(Run(SortBuiltin, 1, 1)[0].re, (Elems{3, 7}));

  test::PushStringList(ctx_, {"b", "a", "ab"});
  EXPECT_EQ(SortBuiltin(ctx_, 1, 2, 0), kOk);
  EXPECT_EQ(test::ReadStringList(ctx_, 0), (std::vector<std::string>{"a", "ab", "b"}));
  EXPECT_EQ(ReadArray(ctx_, 1).re, (Elems{2, 3, 1}));
  Drop(ctx_, 2);
  test::PushStringList(ctx_, {"b", "a", "ab", "b"});
  test::PushString(ctx_, "descend");
  EXPECT_EQ(SortBuiltin(ctx_, 2, 2, 0), kOk);
  EXPECT_EQ(test::ReadStringList(ctx_, 0), (std::vector<std::string>{"b", "b", "ab", "a"}));
  EXPECT_EQ(ReadArray(ctx_, 1).re, (Elems{1, 4, 3, 2}));
  Drop(ctx_, 2);

  PushRow(ctx_, "double", {1});
  ASSERT_EQ(PushListFromEntries(ctx_, 1, false, nullptr, 0), kOk);
  Run(SortBuiltin, 1, 1, kErrWrongType);  // an element that is not text
  test::PushStringList(ctx_, {"a"});
  PushRow(ctx_, "double", {1});
  test::PushString(ctx_, "a");
  Run(SortBuiltin, 3, 1, kErrTooManyArgin);
}

TEST_F(SortTest, FindInStorageOrder) {
  PushArray(ctx_, "double", {2, 2}, {0, 1, 1, 0});
  std::vector<ArrayValue> out = Run(FindBuiltin, 1, 1);
  EXPECT_EQ(out[0].dims, (Dims{2, 1}));
  EXPECT_EQ(out[0].re, (Elems{2, 3}));
  PushArray(ctx_, "double", {2, 2}, {0, 1, 1, 0});
  out = Run(FindBuiltin, 1, 2);
  EXPECT_EQ(out[0].re, (Elems{1, 2}));
  EXPECT_EQ(out[1].re, (Elems{2, 1}));

  PushRow(ctx_, "double", {1, 1, 1, 0, 1});
  PushRow(ctx_, "double", {2});
  out = Run(FindBuiltin, 2, 1);
  EXPECT_EQ(out[0].dims, (Dims{1, 2}));
  EXPECT_EQ(out[0].re, (Elems{1, 2}));
  PushRow(ctx_, "double", {1, 1, 1, 0, 1});
  PushRow(ctx_, "double", {2});
  test::PushString(ctx_, "last");
  EXPECT_EQ(Run(FindBuiltin, 3, 1)[0].re, (Elems{5, 3}));
  PushRow(ctx_, "double", {1});
  PushRow(ctx_, "double", {1});
  test::PushString(ctx_, "x");
  Run(FindBuiltin, 3, 1, kErrUnknownOpt);

  // NaN and either part of a complex value count; values keep the class.
  PushRow(ctx_, "double", {kNaN});
  EXPECT_EQ(Run(FindBuiltin, 1, 1)[0].re, Elems{1});
  PushRow(ctx_, "double", {0, 0, 2}, {0, 1, 0});
  out = Run(FindBuiltin, 1, 3);
  EXPECT_EQ(out[1].re, (Elems{2, 3}));
  EXPECT_EQ(out[2].re, (Elems{0, 2}));
  EXPECT_EQ(out[2].im, (Elems{1, 0}));
  PushArray(ctx_, "int8", {3, 1}, {0, -4, 5});
  out = Run(FindBuiltin, 1, 3);
  EXPECT_EQ(out[0].re, (Elems{2, 3}));
  EXPECT_EQ(out[2].cls, "int8");
  EXPECT_EQ(out[2].dims, (Dims{2, 1}));
  EXPECT_EQ(out[2].re, (Elems{-4, 5}));
  PushArray(ctx_, "logical", {1, 2}, {1, 0});
  EXPECT_EQ(Run(FindBuiltin, 1, 3)[2].cls, "logical");

  ASSERT_EQ(PushEmptyMatrix(ctx_), kOk);
  out = Run(FindBuiltin, 1, 2);
  EXPECT_EQ(out[0].dims, (Dims{0, 0}));
  EXPECT_EQ(out[1].dims, (Dims{0, 0}));
  double* re;
  const int32_t dims[3] = {2, 2, 2};
  ASSERT_EQ(PushNewArray(ctx_, 3, dims, &re, nullptr), kOk);
  std::fill_n(re, 8, 1.0);
  Run(FindBuiltin, 1, 2, kErrBadSize);
  ASSERT_EQ(PushNewArray(ctx_, 3, dims, &re, nullptr), kOk);
  std::fill_n(re, 8, 0.0);
  re[6] = 1;
  EXPECT_EQ(Run(FindBuiltin, 1, 1)[0].re, Elems{7});
}

TEST_F(SortTest, CountsNonzeroElements) {
  PushRow(ctx_, "double", {0, kNaN, 2});
  EXPECT_EQ(Run(NnzBuiltin, 1, 1)[0].re, Elems{2});
  PushArray(ctx_, "int64", {1, 3}, {0, -1, 0});
  EXPECT_EQ(Run(NnzBuiltin, 1, 1)[0].re, Elems{1});
  PushArray(ctx_, "single", {1, 2}, {0, 0}, {0, 1});
  EXPECT_EQ(Run(NnzBuiltin, 1, 1)[0].re, Elems{1});
  ASSERT_EQ(PushListFromEntries(ctx_, 0, false, nullptr, 0), kOk);
  Run(NnzBuiltin, 1, 1, kErrWrongTypeOverload);
}

}  // namespace
}  // namespace vke
