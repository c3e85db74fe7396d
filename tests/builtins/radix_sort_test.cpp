// The radix sort of real doubles against the stable Shell-sort kernel: the
// same values to the last bit (the sign of zeros and the bits of NaNs among
// them) and the same positions, in both directions; and sort with its fast
// form against its general path.
#include "builtins/radix_sort.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numeric>
#include <random>

#include "builtins/builtin.hpp"
#include "builtins/shell_sort.hpp"
#include "engine/engine.hpp"
#include "engine/fast_forms.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_io.hpp"

namespace vke {
namespace {

using Elems = std::vector<double>;

void ExpectSameAsShellSort(const Elems& input, const char* what) {
  const int32_t n = static_cast<int32_t>(input.size());
  for (bool descending : {false, true}) {
    Elems expected = input, expectedIndex(n);
    std::iota(expectedIndex.begin(), expectedIndex.end(), 1.0);
    ShellSortRealWithIndex(expected.data(), expectedIndex.data(), n, 1, descending);
    Elems values = input, index(n), scratch(n), indexScratch(n);
    std::iota(index.begin(), index.end(), 1.0);
    RadixSortReal(values.data(), index.data(), n, descending, scratch.data(), indexScratch.data());
    Elems alone = input;
    RadixSortReal(alone.data(), nullptr, n, descending, scratch.data(), nullptr);
    for (int32_t i = 0; i < n; i++) {
      ASSERT_EQ(std::bit_cast<uint64_t>(values[i]), std::bit_cast<uint64_t>(expected[i]))
          << what << " n " << n << (descending ? " descending" : "") << " at " << i;
      ASSERT_EQ(index[i], expectedIndex[i]) << what << " n " << n << " at " << i;
      ASSERT_EQ(std::bit_cast<uint64_t>(alone[i]), std::bit_cast<uint64_t>(expected[i]))
          << what << " values alone, n " << n << " at " << i;
    }
  }
}

TEST(RadixSort, GivesTheStableShellSortsValuesAndPositions) {
  std::mt19937 g(3);
  std::uniform_real_distribution<double> uniform(-1e3, 1e3);
  const double nan = std::nan(""), negativeNan = -std::nan("1");
  // Lengths on both sides of the insertion sort's limit and a long one.
  for (int32_t n : {0, 1, 2, 3, 47, 48, 49, 50, 200, 5000, 70000}) {
    std::vector<std::pair<const char*, std::function<double(int32_t)>>> kinds = {
        {"random", [&](int32_t) { return uniform(g); }},
        {"sorted", [&](int32_t i) { return i * 0.5 - 7; }},
        {"reversed", [&](int32_t i) { return -i * 1e-3; }},
        {"many equal", [&](int32_t) { return double(g() % 4); }},
        {"NaNs", [&](int32_t i) { return i % 3 == 0 ? (i % 2 ? nan : negativeNan) : uniform(g); }},
        {"signed zeros", [&](int32_t) { return g() % 3 == 0 ? -0.0
                                               : g() % 2    ? 0.0
                                                            : -1.0; }},
        {"extremes",
         [&](int32_t i) {
           const double v[] = {INFINITY,
                               -INFINITY,
                               5e-324,
                               -5e-324,
                               1.7976931348623157e308,
                               -1.7976931348623157e308,
                               1,
                               -1,
                               0.0,
                               -0.0};
           return v[(i * 7 + g() % 3) % 10];
         }},
    };
    for (auto& [what, make] : kinds) {
      Elems input(n);
      for (int32_t i = 0; i < n; i++) input[i] = make(i);
      ExpectSameAsShellSort(input, what);
    }
  }
}

// Keys that all share a digit but one: the pass of that digit still moves
// the odd key, wherever it lies, in lines long enough for the buckets.
TEST(RadixSort, AKeyThatAloneDiffersInADigitIsMoved) {
  for (int32_t n : {49, 61, 100, 1000}) {
    for (const auto& [common, odd] : std::vector<std::pair<double, double>>{
             {1, 0}, {5, 3}, {0, 1}, {-2, 7}, {1, 1 + 0x1p-52}, {1e300, -0.0}}) {
      for (int32_t at : {0, 1, n / 2, n - 2, n - 1}) {
        Elems input(n, common);
        input[at] = odd;
        ExpectSameAsShellSort(input, "one odd key");
      }
    }
  }
}

// sort itself, fast and general: the same values and positions for long
// and short lines, along either dimension (a line at a stride), both ways.
// Without positions only the order of -0 and +0 among equal zeros may
// differ (the general path's Shell sort keeps no order among equal keys),
// so those lines carry no signed zeros.
TEST(RadixSort, SortGivesWhatTheGeneralPathGives) {
  const char* program =
      "rand('seed', 4); x = round(rand(60, 7) * 40) - 20; x(3, 2) = NaN; x(9, 5) = -0;\n"
      "[a, i] = sort(x); [b, j] = sort(x, 2, 'descend'); c = sort(x(:, 1)');\n"
      "d = sort([3 NaN 1 2], 'descend'); e = sort(x(1:10, :));\n"
      "fprintf('%.17g ', a, i, 1 ./ a(a == 0), b, j, c, d, e); disp(' ')\n";
  std::string outputs[2];
  for (bool fast : {true, false}) {
    SetFastForms(fast);
    test::TestHost host;
    outputs[fast] = test::RunForOutput(host, program);
    SetFastForms(true);
  }
  EXPECT_EQ(outputs[true], outputs[false]);
  EXPECT_EQ(outputs[true].find("rror"), std::string::npos) << outputs[true];
}

// The same through sort: an odd value among sixty equal ones, first and
// last, with its position.
TEST(RadixSort, SortMovesTheOneOddValue) {
  test::TestHost host;
  const std::string out = test::RunForOutput(
      host,
      "fprintf('%g ', sort([ones(1, 60) 0])); fprintf('\\n');"
      "[s, i] = sort([5 * ones(1, 60) 3]); fprintf('%g ', s([1 2 61]), i([1 2 61]));"
      "fprintf('\\n');"
      "[s, i] = sort([7 2 * ones(1, 70)], 'descend'); fprintf('%g ', s([1 2 71]), i([1 2 71]));");
  std::string sorted = "0 ";
  for (int k = 0; k < 60; k++) sorted += "1 ";
  EXPECT_EQ(out, sorted + "\n3 5 5 61 1 60 \n7 2 2 1 2 71 ");
}

// With the fast forms off sort takes the Shell sort, which needs no
// scratch: where the host grows the area for room, the radix sort asks for
// its copies and the Shell sort sorts in the room there is (so that the
// comparisons of the two paths compare two paths).
TEST(RadixSort, WithTheFastFormsOffSortTakesTheShellSort) {
  Elems values(5000);
  for (int32_t k = 0; k < 5000; k++) values[k] = (k * 7919) % 5003;
  for (const bool fast : {true, false}) {
    SCOPED_TRACE(fast);
    SetFastForms(fast);
    test::TestHost host;
    EngineContext* ctx = host.ctx();
    test::PushRow(ctx, "double", values);
    SetMemoryRetry(ctx, true);
    const uint32_t capacity = ctx->dataCap;
    ctx->dataCap = ctx->dataTop + 100;
    const ErrCode e = SortBuiltin(ctx, 1, 1, 0);
    ctx->dataCap = capacity;
    SetMemoryRetry(ctx, false);
    SetFastForms(true);
    if (fast) {
      EXPECT_EQ(e, kErrDataOverflow);
      continue;
    }
    ASSERT_EQ(e, kOk);
    const Elems sorted = test::PopNumbers(ctx);
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
    EXPECT_EQ(sorted.size(), values.size());
  }
}

}  // namespace
}  // namespace vke
