// Appends in place: s = [s x] and v(end + 1) = x give what the copying
// path gives, for every kind of piece, from empty starts, for rows and
// columns, and where the value must take the ordinary path; the heap stays
// sound while two values grow side by side. Rows appended to matrices, items
// to lists and cell arrays and elements to structure arrays give the values
// the general path gives, copies taken before keep theirs, and a store that
// fails after its element was appended leaves the variable as it was.
#include <gtest/gtest.h>

#include <string>

#include "engine/errors/errors.hpp"
#include "engine/fast_forms.hpp"
#include "engine/frames/frames.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/engine_state.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::RunForOutput;
using test::TestHost;

TEST(Appends, GiveWhatConcatenationGives) {
  TestHost host;
  // Strings from '' with 8-bit and 16-bit literals and a char variable; a
  // copy taken before keeps its value.
  EXPECT_EQ(RunForOutput(host,
                         "s = ''; w = char([300 66]);\n"
                         "for k = 1:3, s = [s 'ab']; s = [s w]; end\n"
                         "t = s; s = [s 'z'];\n"
                         "disp(double(s(1:4))), disp(size(s)), disp(size(t)), disp(class(s))\n"),
            "        97        98       300        66\n         1        13\n         1        "
            "12\nchar\n");
  // Double rows from [] with scalars, literals and a row variable.
  EXPECT_EQ(RunForOutput(host,
                         "v = []; r = [7 8];\n"
                         "for k = 1:3, v = [v k]; v = [v 0.5]; end\n"
                         "v = [v r]; disp(v)\n"),
            "         1       0.5         2       0.5         3       0.5         7         8\n");
  // Pieces of another class, or a value of the wrong shape, take the
  // ordinary path: char with a number and a number with char (both give
  // double), a column, the variable with itself.
  EXPECT_EQ(RunForOutput(host,
                         "a = 'x'; a = [a 65]; b = [1 2]; b = [b 'A'];\n"
                         "c = [1; 2]; ok = 0; try, c = [c 3]; catch, ok = 1; end\n"
                         "d = 'ab'; d = [d d];\n"
                         "disp(a), disp(class(b)), disp(ok), disp(d)\n"),
            "       120        65\ndouble\n         1\nabab\n");
}

TEST(Appends, EndPlusOneGrowsRowsAndColumns) {
  TestHost host;
  EXPECT_EQ(RunForOutput(host,
                         "v = []; for k = 1:5, v(end + 1) = k * 2; end\n"
                         "c = [1; 2]; c(end + 1) = 3; o = 4; o(end + 1) = 5;\n"
                         "disp(v), disp(size(c)), disp(o)\n"
                         "u = v; for k = v, u(end + 1) = k; end, disp(numel(u)), disp(numel(v))\n"),
            "         2         4         6         8        10\n         3         1\n"
            "         4         5\n        10\n         5\n");
  // Two values grown in turn cannot both grow in place: they move, and
  // every element survives.
  EXPECT_EQ(RunForOutput(host,
                         "p = []; q = ''; for k = 1:2000, p(end + 1) = k; q = [q 'xy']; end\n"
                         "disp(sum(p) == 2001000), disp(numel(q)), disp(all(q(2:2:end) == 'y'))\n"),
            "true\n      4000\ntrue\n");
}

// The output of a program with the fast forms on, and with them off.
std::pair<std::string, std::string> RunBothWays(const std::string& text) {
  std::pair<std::string, std::string> out;
  for (const bool fast : {true, false}) {
    SetFastForms(fast);
    TestHost host;
    (fast ? out.first : out.second) = RunForOutput(host, text);
  }
  SetFastForms(true);
  return out;
}

TEST(Appends, RowsGrowMatricesOfEveryClass) {
  const std::string text =
      "b = []; for k = 1:300, b(end + 1, :) = [k, -k, 2*k]; end\n"
      "disp(size(b)), disp(b(300, :)), disp(sum(b(:, 3)))\n"
      "i = int8([1 2]); j = i; for k = 1:5, i(end + 1, :) = int8([k 100 + k]); end\n"
      "disp(class(i)), disp(size(i)), disp(i(6, :)), disp(size(j))\n"
      "m = 'ab'; for k = 1:4, m(end + 1, :) = char('c' + [k k]); end, disp(m)\n"
      "l = [true false]; l(end + 1, :) = [false false]; disp(class(l)), disp(l)\n"
      "w = zeros(0, 2); w(end + 1, :) = [5 6]; disp(w)\n"
      "n = [1 2]; ok = 0; try, n(end + 1, :) = [1 2 3]; catch, ok = 1; end, disp(ok), disp(n)\n"
      "u = uint16([1 2]); u(end + 1, :) = [3 4]; disp(class(u)), disp(u)\n";
  const auto [fast, general] = RunBothWays(text);
  EXPECT_EQ(fast, general);
  EXPECT_EQ(fast,
            "       300         3\n       300      -300       600\n     90300\n"
            "int8\n         6         2\n1x2 int8 array\n    5  105\n"
            "         1         2\nab\ndd\nee\nff\ngg\nlogical\n T F\n F F\n"
            "         5         6\n         1\n         1         2\nuint16\n"
            "2x2 uint16 array\n     1     2\n     3     4\n");
}

TEST(Appends, ItemsGrowListsAndCellArrays) {
  const std::string text =
      "c = {}; for k = 1:500, c{end + 1} = k; end, d = c; c{end + 1} = 'x';\n"
      "disp(size(c)), disp(size(d)), disp(class(c{501})), disp(c{500} + d{499})\n"
      "e = {}; for k = 1:200, e(end + 1) = {k * [1 1]}; end, disp(size(e)), disp(e{200})\n"
      "g = cell(1, 2); g{end + 1} = 3; g(end + 1) = {'t'}; disp(size(g)), disp(class(g))\n"
      "h = {1}; h{end + 1}.f = 2; h{end + 1}(3) = 4; disp(h{2}.f), disp(h{3})\n"
      "q = {}; q{end + 1} = {}; q{end + 1} = []; disp(size(q)), disp(class(q{1}))\n"
      "z{1} = 5; z{2} = 6; disp(size(z))\n"
      "r = {1, 2}; r(end + 1) = {3}; r(end + 1) = {4}; disp(numel(r)), disp(r{4})\n";
  const auto [fast, general] = RunBothWays(text);
  EXPECT_EQ(fast, general);
  EXPECT_EQ(fast,
            "         1       501\n         1       500\nchar\n       999\n"
            "         1       200\n       200       200\n         1         4\n"
            "cell\n         2\n         0         0         4\n"
            "         1         2\nlist\n         1         2\n         4\n"
            "         4\n");
}

TEST(Appends, ElementsGrowStructureArrays) {
  const std::string text =
      "s = struct('v', 0, 'w', 0); for k = 2:300, s(k).v = k; end\n"
      "for k = 1:3, s(end + 1).w = -k; end, t = s; s(end + 1).v = 7;\n"
      "disp(size(s)), disp(size(t)), disp(s(300).v), disp(isempty(s(300).w))\n"
      "disp(s(303).w), disp(isempty(s(303).v)), disp(s(304).v), disp(numel(fieldnames(s)))\n"
      "s(end + 1).z = 1; disp(numel(fieldnames(s))), disp(size(s)), disp(isempty(s(2).z))\n"
      "p(1).a = 1; p(2).a = 2; p(end + 1).a.b = 3; disp(p(3).a.b)\n";
  const auto [fast, general] = RunBothWays(text);
  EXPECT_EQ(fast, general);
  EXPECT_EQ(fast,
            "         1       304\n         1       303\n       300\ntrue\n"
            "        -3\ntrue\n         7\n         2\n         3\n"
            "         1       305\ntrue\n         3\n");
}

// The units of the blocks in use in a saved heap.
uint64_t HeapUnitsInUse(const std::vector<uint8_t>& heap) {
  uint64_t used = 0;
  for (size_t u = 0; 8 * u + 8 <= heap.size();) {
    const uint32_t h = Load<uint32_t>(heap.data() + 8 * u);
    if (h & kBlockInUse) used += (h & kBlockSizeMask) + 1;
    u += (h & kBlockSizeMask) + 1;
  }
  return used;
}

TEST(Appends, ValuesGrownInPlaceAreSavedWithoutTheirSpareRoom) {
  // Each value grown by 1,000 appends is saved in as many heap units as the
  // same value the general path builds, copied whole at each append, and
  // loads as that value.
  struct Form {
    const char* grow;
    const char* check;  // what a loaded engine prints of x
  };
  const Form forms[] = {
      {"x = []; for k = 1:1000, x(end + 1) = k; end", "disp(size(x)), disp(sum(x))"},
      {"x = zeros(0, 3); for k = 1:1000, x(end + 1, :) = [k, -k, 2*k]; end",
       "disp(size(x)), disp(sum(x))"},
      {"x = {}; for k = 1:1000, x{end + 1} = k; end",
       "disp(size(x)), disp(class(x)), disp(sum([x{:}]))"},
      {"x = cell(1, 1); for k = 2:1000, x(end + 1) = {k}; end",
       "disp(size(x)), disp(class(x)), disp(sum([x{2:end}]))"},
      {"x = struct('v', 1, 'w', 0); for k = 2:1000, x(k).v = k; end",
       "t = 0; for k = 1:1000, t = t + x(k).v; end, disp(size(x)), disp(class(x)), disp(t)"},
  };
  for (const Form& form : forms) {
    SCOPED_TRACE(form.grow);
    uint64_t used[2];
    std::string seen[2];
    for (const bool fast : {true, false}) {
      SetFastForms(fast);
      TestHost saver;
      ASSERT_EQ(test::RunCommandLine(saver.ctx(), std::string(form.grow) + "\n"), kOk);
      test::MemoryImage image = test::SaveToMemory(saver.ctx());
      used[fast] = HeapUnitsInUse(image.records[3]);
      TestHost loader;
      ASSERT_EQ(test::LoadFromMemory(loader.ctx(), image), kOk);
      seen[fast] = RunForOutput(loader, std::string(form.check) + "\n");
    }
    SetFastForms(true);
    EXPECT_EQ(used[true], used[false]);
    EXPECT_EQ(seen[true], seen[false]);
    EXPECT_NE(seen[true].find("1000"), std::string::npos);
  }
}

TEST(Appends, AFailedStoreTakesItsElementBack) {
  const std::string text =
      "c = {1, 2}; try, c{end + 1}(0) = 1; catch, end, disp(numel(c))\n"
      "c{end + 1} = 3; disp(numel(c)), disp(c{3})\n"
      "l = {}; l{1} = 1; try, l{end + 1}(1.5) = 1; catch, end, disp(numel(l))\n"
      "g = cell(1, 2); try, g{end + 1}(0) = 1; catch, end, disp(size(g))\n"
      "s(1).v = 1; s(2).v = 2; try, s(end + 1).v(0) = 1; catch, end, disp(size(s))\n"
      "s(end + 1).v = 5; disp(size(s)), disp(s(3).v)\n"
      "try, u{end + 1}(0) = 1; catch, end, disp(exist('u'))\n";
  const auto [fast, general] = RunBothWays(text);
  EXPECT_EQ(fast, general);
  EXPECT_EQ(fast,
            "         2\n         3\n         3\n         1\n         1         2\n"
            "         1         2\n         1         3\n         5\nfalse\n");
}

}  // namespace
}  // namespace vke
