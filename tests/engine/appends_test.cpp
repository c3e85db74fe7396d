// Appends in place: s = [s x] and v(end + 1) = x give what the copying
// path gives, for every kind of piece, from empty starts, for rows and
// columns, and where the value must take the ordinary path; the heap stays
// sound while two values grow side by side. Rows appended to matrices, items
// to lists and cell arrays and elements to structure arrays give the values
// the general path gives, copies taken before keep theirs, and a store that
// fails after its element was appended leaves the variable as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/errors/errors.hpp"
#include "engine/fast_forms.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/entry_items.hpp"
#include "engine/frames/frames.hpp"
#include "engine/variables/variables_internal.hpp"
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

// An empty integer or single matrix keeps its class as a non-empty one
// does, whether the row or element comes by the fast form or the general
// path; a row of no columns grows a matrix of none; a typed row of another
// width is refused as the general path refuses it.
TEST(Appends, EmptyTypedValuesKeepTheirClassAndWidth) {
  const std::string text =
      "t = int8(zeros(0, 2)); t(end + 1, :) = [1.5 300]; n = int8([1 2]); n(end + 1, :) = [1.5 "
      "300];\n"
      "e = int8([7 8]); e(1, :) = []; e(end + 1, :) = [1.5 300];\n"
      "disp(class(t)), disp(t), disp(n(2, :)), disp(class(e)), disp(size(e)), disp(e)\n"
      "v = uint16(zeros(1, 0)); v(end + 1) = 70000; w = uint16(1); w(end + 1) = 70000;\n"
      "u = uint16([5 6]); u(:) = []; u(end + 1) = 70000;\n"
      "disp(class(v)), disp(v), disp(w(2)), disp(class(u)), disp(u)\n"
      "s = single([1 2]); s(1, :) = []; s(end + 1, :) = [0.5 2]; disp(class(s)), disp(size(s))\n"
      "m = zeros(3, 0); m(end + 1, :) = zeros(1, 0); disp(size(m))\n"
      "q = int8([1 2; 3 4]); try, q(end + 1, :) = int8([5 6 7]); catch, disp(lasterr), end\n"
      "disp(size(q)), disp(q(2, :))\n";
  const auto [fast, general] = RunBothWays(text);
  EXPECT_EQ(fast, general);
  const std::string int8Row = "1x2 int8 array\n    1   44\n";
  EXPECT_EQ(fast, "int8\n" + int8Row + int8Row + "int8\n         1         2\n" + int8Row +
                      "uint16\n  4464uint16\n  4464uint16\nuint16\n  4464uint16\n"
                      "single\n         1         2\n         4         0\n"
                      "Incompatible size of right-hand side expression in assignment to variable "
                      "'q'\n         2         2\n1x2 int8 array\n    3    4\n");
}

// A list appended to keeps its item count beside its value; once the value
// has changed its size otherwise, that count is not trusted.
TEST(Appends, AListShortenedAfterAppendsCountsItsItemsAgain) {
  const std::string text =
      "x = {}; for k = 1:5, x{end + 1} = k * 10; end\n"
      "x(2) = []; disp(x{end}), disp(numel(x))\n"
      "x{end + 1} = 0; disp(numel(x)), disp([x{:}])\n"
      "y = {}; for k = 1:4, y{end + 1} = k; end, y(end) = []; y{end + 1} = 9; disp([y{:}])\n"
      "a = {}; b = {}; for k = 1:20, a{end + 1} = k; b{end + 1} = k; end\n"
      "a(end + 2) = {7}; a{end} = 99; disp(a{end}), disp(numel(a))\n"
      "a(2) = []; a{end} = 55; disp(a{end}), a{end + 1} = 0; disp(numel(a)), disp(a{end - 1})\n"
      "c = {}; d = {}; for k = 1:30, c{end + 1} = k; d{end + 1} = k; end\n"
      "c(end + 2) = {7}; c{end} = 99; disp([c{end - 2:end}])\n"
      "l = {}; l{end + 1, 1} = 5; disp(size(l)), disp(class(l))\n";
  const auto [fast, general] = RunBothWays(text);
  EXPECT_EQ(fast, general);
  EXPECT_EQ(fast,
            "        50\n         4\n         5\n"
            "        10        30        40        50         0\n"
            "         1         2         3         9\n"
            "        99\n        22\n        55\n        22\n        55\n"
            "        30        99\n"
            "         1         1\nlist\n");
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

// The block holding the value of variable `name` of the base workspace
// (a global's shared block), 0 when there is none.
int32_t ValueBlockOf(EngineContext* ctx, const std::string& name) {
  for (int32_t i = 0; i < InnermostFrameVariables(ctx); i++) {
    const char* stored = GetVariableName(ctx, i);
    uint32_t position;
    if (!stored || std::string(stored, strnlen(stored, 32)) != name ||
        FindVariableSlot(ctx, i, &position))
      continue;
    return VariableValueBlock(ctx, SlotValueBlock(ctx, position));
  }
  return 0;
}

// Whether the block behind `block` in the heap is free and holds zeros
// only: the room a value grown in place gave back at a save keeps none of
// what was written there.
bool FreeZerosBehind(EngineContext* ctx, int32_t block) {
  if (block <= 0) return false;
  const uint8_t* next = BlockData(ctx, block) + 8ull * BlockUnits(ctx, block);
  const uint8_t* end = ctx->HeapBytes() + 8ull * ctx->heapSize;
  if (next + 8 > end) return false;
  const uint32_t h = Load<uint32_t>(next);
  const uint8_t* last = std::min(end, next + 8 + 8ull * (h & kBlockSizeMask));
  return !(h & kBlockInUse) && std::all_of(next + 8, last, [](uint8_t b) { return b == 0; });
}

TEST(Appends, ValuesGrownInPlaceAreSavedWithoutTheirSpareRoom) {
  // Each value grown by 1,000 appends is saved in as many heap units as the
  // same value the general path builds, copied whole at each append, and
  // loads as that value; the room it spared is given back cleared.
  struct Form {
    const char* grow;
    const char* check;  // what a loaded engine prints of the value
    const char* name;   // the variable that holds it
  };
  const Form forms[] = {
      {"x = []; for k = 1:1000, x(end + 1) = k; end", "disp(size(x)), disp(sum(x))", "x"},
      {"x = zeros(0, 3); for k = 1:1000, x(end + 1, :) = [k, -k, 2*k]; end",
       "disp(size(x)), disp(sum(x))", "x"},
      {"x = {}; for k = 1:1000, x{end + 1} = k; end",
       "disp(size(x)), disp(class(x)), disp(sum([x{:}]))", "x"},
      {"x = cell(1, 1); for k = 2:1000, x(end + 1) = {k}; end",
       "disp(size(x)), disp(class(x)), disp(sum([x{2:end}]))", "x"},
      {"x = struct('v', 1, 'w', 0); for k = 2:1000, x(k).v = k; end",
       "t = 0; for k = 1:1000, t = t + x(k).v; end, disp(size(x)), disp(class(x)), disp(t)", "x"},
      {"global g; g = []; for k = 1:1000, g(end + 1) = k; end",
       "global g; disp(size(g)), disp(sum(g))", "g"},
      {"global h; h = {}; for k = 1:1000, h{end + 1} = k; end",
       "global h; disp(size(h)), disp(sum([h{:}]))", "h"},
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
      if (fast) {
        EXPECT_TRUE(FreeZerosBehind(saver.ctx(), ValueBlockOf(saver.ctx(), form.name)));
      }
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

// With the fast forms off every append takes the general path, which
// copies the value into a block of its size: no form leaves room to spare
// behind the value, as the forms in place do.
TEST(Appends, WithTheFastFormsOffAppendsLeaveNoSpareRoom) {
  const char* const forms[] = {
      "x = []; for k = 1:200, x(end + 1) = k; end",
      "x = ''; for k = 1:200, x = [x 'ab']; end",
      "x = zeros(0, 3); for k = 1:200, x(end + 1, :) = [k, -k, 2*k]; end",
      "x = {}; for k = 1:200, x{end + 1} = k; end",
      "x = cell(1, 1); for k = 2:200, x(end + 1) = {k}; end",
      "x = struct('v', 1, 'w', 0); for k = 2:200, x(k).v = k; end",
      "x = struct('v', 1); for k = 2:200, x(end + 1).v = k; end",
      // Elements whose item stays the empty one an append adds.
      "x = {}; for k = 1:200, x{end + 1} = []; end",
      "x = struct('v', 1, 'w', 0); for k = 2:200, x(end + 1).w = []; end",
  };
  SetFastForms(false);
  for (const char* form : forms) {
    SCOPED_TRACE(form);
    TestHost host;
    ASSERT_EQ(test::RunCommandLine(host.ctx(), std::string(form) + "\n"), kOk);
    const int32_t block = ValueBlockOf(host.ctx(), "x");
    ASSERT_GT(block, 0);
    const uint32_t units = Load<ValueDescriptor>(BlockData(host.ctx(), block)).size;
    EXPECT_EQ(BlockUnits(host.ctx(), block), kItemHeaderUnits + units);
  }
  SetFastForms(true);
}

// Values grown in the frames of a waiting thread, in the function it runs
// and in the one that function called, are saved without their spare room
// too.
TEST(Appends, ValuesOfAWaitingThreadAreSavedWithoutTheirSpareRoom) {
  const std::string text =
      "function worker()\n"
      "  y = []; v = []; for k = 1:300, y(end + 1) = k; v(end + 1) = k; end\n"
      "  rest();\n"
      "  disp(y(end) + y(1))\n"
      "endfunction\n"
      "function rest()\n"
      "  z = {}; w = {}; for k = 1:300, z{end + 1} = k; w{end + 1} = k; end\n"
      "  threadsleep(1000);\n"
      "  disp(z{end} + z{1})\n"
      "endfunction\n"
      "threadnew(@worker, threadset('StackSize', 65536));\n";
  uint64_t used[2];
  for (const bool fast : {true, false}) {
    SetFastForms(fast);
    TestHost saver;
    ASSERT_EQ(test::RunCommandLine(saver.ctx(), text), kOk) << saver.Output(2);
    for (int i = 0; i < 50; i++) ASSERT_EQ(ExecuteBytecode(saver.ctx(), 0), kOk) << saver.Output(2);
    ASSERT_NE(saver->firstThread, 0u);  // asleep in rest
    test::MemoryImage image = test::SaveToMemory(saver.ctx());
    used[fast] = HeapUnitsInUse(image.records[3]);
    // Woken in a loaded engine, it finds its values whole.
    TestHost loader;
    ASSERT_EQ(test::LoadFromMemory(loader.ctx(), image), kOk);
    TestHost::AdvanceClock(2000);
    for (int i = 0; i < 50 && loader->firstThread; i++)
      ASSERT_EQ(ExecuteBytecode(loader.ctx(), 0), kOk) << loader.Output(2);
    EXPECT_EQ(loader.Output(1), "       301\n       301\n");
  }
  SetFastForms(true);
  EXPECT_EQ(used[true], used[false]);
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
