// Runs that store into an element of a matrix they read: the element stored
// is the one the store names, whether it is the element read, one sharing a
// subscript with it or another, in runs done once and in loops, in rows,
// columns and matrices; the same as the subscripts as expressions give.
#include <gtest/gtest.h>

#include <string>

#include "engine/errors/errors.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

// The text's output, or its error output after a failure.
std::string Outcome(const std::string& text) {
  test::TestHost host;
  const ErrCode e = test::RunCommandLine(host.ctx(), text);
  return e == kOk ? host.Output(1) : "error: " + host.Output(2);
}

// The text with its subscript variables written as expressions ("i + 0"),
// which the runs do not take.
std::string General(std::string text) {
  for (const std::string name : {"i", "j", "k"})
    for (const std::string& form : {"(" + name + ",", "(" + name + ")", ", " + name + ")"}) {
      const std::string general = form.substr(0, form.size() - 1) + " + 0" + form.back();
      for (size_t at = 0; (at = text.find(form, at)) != std::string::npos; at += general.size())
        text.replace(at, form.size(), general);
    }
  return text;
}

TEST(DecodedRunStores, AStoreNamesItsOwnElement) {
  const struct {
    const char* text;
    const char* shown;
  } cases[] = {
      // Two subscripts, the first shared with the element read, the second,
      // both (the same element) and neither.
      {"x = [1 2; 3 4]; i = 1; j = 1; k = 2; x(i, j) = x(i, k) + 10;", "12 2 3 4"},
      {"x = [1 2; 3 4]; i = 1; j = 1; k = 2; x(i, j) = x(k, j) + 10;", "13 2 3 4"},
      {"x = [1 2; 3 4]; i = 2; j = 2; x(i, j) = x(i, j) * 3;", "1 2 3 12"},
      {"x = [1 2; 3 4]; i = 1; j = 2; k = 2; x(k, i) = x(i, j) - 10;", "1 2 -8 4"},
      // Two elements read, the stored one among them, and literals.
      {"x = [1 2; 3 4]; i = 1; j = 1; k = 2; x(i, j) = x(i, k) * 2 + x(i, j);", "5 2 3 4"},
      {"x = [1 2; 3 4]; i = 2; x(i, 1) = x(i, 2) + x(1, 2);", "1 2 6 4"},
      // One subscript: a row, a column, a matrix (its elements row by row).
      {"x = [1 2 3]; i = 1; k = 3; x(i) = x(k) + 10;", "13 2 3"},
      {"x = [1; 2; 3]; i = 2; x(i) = x(i) + 10;", "1 12 3"},
      {"x = [1 2; 3 4]; i = 2; k = 3; x(i) = x(k) - x(i);", "1 1 3 4"},
  };
  for (const auto& c : cases) {
    const std::string text = std::string(c.text) + " fprintf('%g ', x);\n";
    const std::string shown = std::string(c.shown) + " ";
    SCOPED_TRACE(text);
    EXPECT_EQ(Outcome(text), shown);
    EXPECT_EQ(Outcome(General(text)), shown) << General(text);
  }
}

TEST(DecodedRunStores, LoopsStoreEachRoundsOwnElement) {
  const char* loops[] = {
      // Each element from its neighbour in the row, the column, and itself.
      "x = magic(4); for i = 1:4, for j = 1:3, k = j + 1; x(i, j) = x(i, k) + i; end, end; "
      "disp(x)\n",
      "x = magic(4); for j = 1:4, for i = 2:4, k = i - 1; x(i, j) = x(k, j) * 2 - x(i, j); end, "
      "end; disp(x)\n",
      "x = magic(3); for t = 1:5, for i = 1:3, j = 4 - i; x(i, j) = x(i, j) + x(j, i); end, end; "
      "disp(x)\n",
      "v = 1:8; for t = 1:3, for i = 1:7, k = i + 1; v(i) = v(k) - v(i) * 0.5; end, end; "
      "disp(v)\n",
      "v = (1:6)'; for i = 6:-1:2, k = i - 1; v(k) = v(i) + v(k); end; disp(v')\n",
      // A loop variable as a subscript of the store and of the read.
      "x = zeros(3); for i = 1:3, x(i, 2) = x(i, 1) + i; x(i, 1) = x(i, 2) * 2; end; disp(x)\n",
  };
  for (const char* loop : loops) {
    SCOPED_TRACE(loop);
    const std::string fast = Outcome(loop);
    EXPECT_EQ(fast.rfind("error", 0), std::string::npos) << fast;
    EXPECT_EQ(fast, Outcome(General(loop))) << General(loop);
  }
}

}  // namespace
}  // namespace vke
