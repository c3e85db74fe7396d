// The one switch of the fast forms: switched off, a program prints what it
// prints with them, and none of them kept or took anything on the way (no
// decoded run, round or leaf of this code generation, no value moved by
// pages); switched on again, they serve at once.
#include "engine/fast_forms.hpp"

#include <gtest/gtest.h>

#include <string>

#include "engine/heap_pages.hpp"
#include "engine/loop/decoded_chain.hpp"
#include "engine/loop/decoded_leaf.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

// Scalar runs, a round, elements, leaf calls with branches and a
// recursion, values of other kinds through the same code.
const char kProgram[] =
    "function r = half(x)\n  if x > 1\n    r = x / 2;\n  else\n    r = 1 - x;\n  end\nendfunction\n"
    "function r = fib(n)\n  if n < 2\n    r = n;\n  else\n    r = fib(n - 1) + fib(n - 2);\n"
    "  end\nendfunction\n"
    "s = 0; v = [1 2 3];\n"
    "for k = 1:200\n  s = s * 0.5 + k;\nend\n"
    "for k = 1:40\n  t = half(k) - fib(mod(k, 9)) * 0.25 + v(2);\n  s = s + t;\n  v(3) = s;\nend\n"
    "fprintf('%.17g %.17g\\n', s, v(3));\n"
    "disp(class(half(int8(5))))\ndisp(half([4 6]))\n";

// Entries of the tables of decoded forms trusted in this code generation.
int TrustedEntries() {
  int trusted = 0;
  for (const DecodedChain& d : tDecodedChains)
    trusted += d.start && d.generation == CodeGeneration();
  for (const DecodedLeaf& d : tDecodedLeaves)
    trusted += d.block && d.generation == CodeGeneration();
  return trusted;
}

std::string Output(bool fast, int* trusted) {
  SetFastForms(fast);
  test::TestHost host;
  const std::string output = test::RunForOutput(host, kProgram);
  *trusted = TrustedEntries();
  SetFastForms(true);
  return output;
}

TEST(FastForms, SwitchedOffTheGeneralPathsDoTheWork) {
  int fastEntries = 0, generalEntries = 0;
  const std::string fast = Output(true, &fastEntries);
  EXPECT_GT(fastEntries, 3);
  EXPECT_EQ(Output(false, &generalEntries), fast);
  EXPECT_EQ(generalEntries, 0);
  EXPECT_EQ(Output(true, &fastEntries), fast);
  EXPECT_GT(fastEntries, 3);
  EXPECT_NE(fast.find("         2         3\n"), std::string::npos) << fast;
}

// An element one past the end of a matrix with more than one row and
// column has no place to grow to: the store fails with either switch, and
// a row or a column grows along its length.
TEST(FastForms, AnElementPastTheEndGrowsOnlyARowOrAColumn) {
  const char program[] =
      "b = [1 2; 3 4];\ntry\n  b(5) = 5;\ncatch\n  disp(lasterr)\nend\n"
      "try\n  b(end + 1) = 5;\ncatch\n  disp(lasterr)\nend\ndisp(size(b))\n"
      "r = [1 2]; r(end + 1) = 3; c = [1; 2]; c(end + 1) = 3; disp([size(r), size(c)])\n";
  const std::string expected =
      "Index out of range for variable 'b'\nIndex out of range for variable 'b'\n"
      "         2         2\n         1         3         3         1\n";
  for (const bool fast : {true, false}) {
    SetFastForms(fast);
    test::TestHost host;
    EXPECT_EQ(test::RunForOutput(host, program), expected) << (fast ? "fast" : "general");
    SetFastForms(true);
  }
}

bool AnySwap(void*, void*, size_t) {
  return true;
}

TEST(FastForms, SwitchedOffNoValueMovesByPages) {
  test::TestHost host;
  SetPageSwap(host.ctx(), &AnySwap);
  EXPECT_TRUE(MovesByPages(host.ctx(), kPageMovedUnits));
  SetFastForms(false);
  EXPECT_FALSE(MovesByPages(host.ctx(), kPageMovedUnits));
  SetFastForms(true);
}

}  // namespace
}  // namespace vke
