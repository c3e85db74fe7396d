// The rule that gathers the console's lines into whole commands: blocks and
// definitions up to what closes them, keywords that close nothing (in
// strings, comments, indices, behind other words), statements that go on to
// the next line, refused headers, the rows of numbers and the statements
// that stand alone, and a gathering cancelled half way.
#include "tools/command_gatherer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vke::runner {
namespace {

// For each line fed in turn, 'c' when the lines so far make a whole command
// (the gathering then starts again), '.' when the command goes on.
std::string Completion(const std::vector<std::string>& lines) {
  CommandGatherer g;
  std::string marks;
  for (const std::string& line : lines) {
    g.Add(line);
    marks += g.Complete() ? 'c' : '.';
    if (g.Complete()) g.Reset();
  }
  return marks;
}

TEST(CommandGatherer, BlocksAreGatheredUpToWhatClosesThem) {
  EXPECT_EQ(Completion({"x = 1;", "if 0", "  x = 99;", "end", "disp(x)"}), "c..cc");
  EXPECT_EQ(Completion({"for k = 1:3", "  while k > 5", "    switch k", "      case 1", "    end",
                        "  end", "end"}),
            "......c");
  EXPECT_EQ(Completion({"try", "  error('x')", "catch", "  disp(1)", "end"}), "....c");
  EXPECT_EQ(Completion({"repeat", "  k = k + 1;", "until k > 3"}), "..c");
  // A body begun on the keyword's line, blocks closed on the line they open.
  EXPECT_EQ(Completion({"try x = f(1)", "catch disp(2), end"}), ".c");
  EXPECT_EQ(Completion({"repeat k = k + 1; until k > 3"}), "c");
  EXPECT_EQ(Completion({"for k = 1:3, if k, disp(k), end, end", "if(x) y = 1;", "end"}), "c.c");
  // "else if" opens a block of its own.
  EXPECT_EQ(Completion({"if a", "else if b", "end", "end"}), "...c");
  // A close with nothing open is the compiler's to report.
  EXPECT_EQ(Completion({"end", "until x"}), "cc");
}

TEST(CommandGatherer, KeywordsElsewhereCloseNothing) {
  EXPECT_EQ(Completion({"if x(end) > 0", "  y = a(1, end) + b([1; end]);", "  s = 'end';",
                        "  t = {'if', 'end'}; % end", "  u = v.end + w // end", "end"}),
            ".....c");
  // A quote behind a value is a transpose: the "end" behind it counts.
  EXPECT_EQ(Completion({"if 1, y = x', end"}), "c");
  EXPECT_EQ(Completion({"if 1", "  y = x'; z = 'end';", "end"}), "..c");
  // Command syntax and words that only begin with a keyword.
  EXPECT_EQ(Completion({"while k", "  disp end", "  endx = 1; format if", "end"}), "...c");
  // A "/*" comment over several lines.
  EXPECT_EQ(Completion({"if a /* end", "end */", "end"}), "..c");
}

TEST(CommandGatherer, StatementsGoOnAfterContinuationsAndComments) {
  EXPECT_EQ(Completion({"x = 1 + ...", "  2"}), ".c");
  EXPECT_EQ(Completion({"/* x = 99;", "   y = 1; */ z = 2"}), ".c");
  EXPECT_EQ(Completion({"x = 1 /* a", " b */ + 2, if 1", "end"}), "..c");
  // Strings hide the markers.
  EXPECT_EQ(Completion({"s = '... /* %';", "x = 2"}), "cc");
}

// A bracket open at a line end keeps the statement going, as the statement
// parser reads it; brackets in strings and comments and keywords inside
// brackets count for nothing.
TEST(CommandGatherer, BracketsOpenAtALineEndKeepTheStatementGoing) {
  EXPECT_EQ(Completion({"a = [1 2", "3 4]", "c = {'x'", "'y'};"}), ".c.c");
  EXPECT_EQ(Completion({"f(1,", "  g(2, [3", "  4]))", "disp(1)"}), "..cc");
  EXPECT_EQ(Completion({"s = ['(' % [", "'x']"}), ".c");
  EXPECT_EQ(Completion({"if x", "  y = a([1", "end]);", "end"}), "...c");
  // A header whose inputs span lines; a close with nothing open is the
  // compiler's to report.
  EXPECT_EQ(Completion({"function r = k(a,", "  b)", "  r = a;", "endfunction"}), "...c");
  EXPECT_EQ(Completion({"x = 1)]", "y = [2"}), "c.");
}

// The lines that are rows of numbers in a matrix or cell array an earlier
// line opened, and those that hold whole statements of a block without a
// keyword: neither changes what the lines before it lack.
TEST(CommandGatherer, TellsRowsOfNumbersAndStatementsThatStandAlone) {
  CommandGatherer g;
  std::string marks;
  for (const char* line : {"x = [",
                           "1 -2.5e3, 3i;",
                           "",
                           "4 5 ...",
                           "6",
                           "7 - 8",
                           "9,, 1",
                           ", 2",
                           "3 +",
                           "4 a",
                           "f(1, [",
                           "2",
                           "])]; c = {",
                           "1, 2",
                           "}; if x",
                           "  y = (x + 1) * 2; z = y'",
                           "  if y",
                           "  q = [1",
                           "  2]",
                           "  p = 1 + ...",
                           "  2",
                           "  for k = 1:2, s = k; end",
                           "  r = 1 % if",
                           "  end",
                           "end"}) {
    g.Add(line);
    marks += g.NumberRow() ? 'n' : g.StatementsAlone() ? 's' : '.';
  }
  EXPECT_EQ(marks, ".nn........n.n.s......s..");
  EXPECT_TRUE(g.Complete());
}

// A number joined to the next without a blank, comma or semicolon is not a
// row of numbers: "1-2" is one element, "1.5.2" no element at all.
TEST(CommandGatherer, NumbersWithoutASeparatorAreNoRow) {
  for (const char* row : {"1-2", "1.5.2", "3 4+5", "-1e3-2"}) {
    CommandGatherer g;
    g.Add("m = [");
    g.Add(row);
    EXPECT_FALSE(g.NumberRow()) << row;
  }
}

// The statement parser's keywords: a quote right behind each opens a
// string, so that what the string holds ends no statement.
TEST(CommandGatherer, EveryParserKeywordIsRead) {
  EXPECT_EQ(Completion({"switch s", "  case'a;end'", "end"}), "..c");
  EXPECT_EQ(Completion({"if a", "elseif'b;end'", "end"}), "..c");
}

TEST(CommandGatherer, DefinitionsAreGatheredUpToEndfunction) {
  EXPECT_EQ(Completion({"function r = f(n)", "  if n", "    r = 1;", "  end",
                        "  s = 'endfunction'; % endfunction", "endfunction", "f(1)"}),
            ".....cc");
  EXPECT_EQ(Completion({"function g(), endfunction"}), "c");
  EXPECT_EQ(Completion({"private function h(x)", "endfunction"}), ".c");
  // A header over two lines; a header the scanner refuses completes the
  // command at once, for the compiler to report.
  EXPECT_EQ(Completion({"function r = k(a, ...", "  b)", "  r = a;", "endfunction"}), "...c");
  EXPECT_EQ(Completion({"function () = 3", "x = 1"}), "cc");
  // One whose bracket is still open goes on, as the compiler reads it.
  EXPECT_EQ(Completion({"function (", "x = 1"}), "..");
  // A definition inside a block leaves the block open.
  EXPECT_EQ(Completion({"if 1", "function q()", "end", "endfunction", "end"}), "....c");
}

// For each line, what stands for the lines before its part: the openers
// of the blocks open there with the keyword of their last part, and the
// header of the definition open there with its own blocks; and whether the
// line is inside one statement.
TEST(CommandGatherer, KeepsWhatStandsForTheLinesBeforeAPart) {
  struct Step {
    const char* line;
    size_t part;
    const char* context;
    bool inDefinition, mid;
  };
  const Step steps[] = {
      {"x = 1;", 0, "", false, false},
      {"if a, y = [2", 7, "", false, false},
      {"3]", 7, "", false, false},
      {"else x = 1", 23, "if a\n", false, false},
      {"  function r = f(n), s = (1", 34, "if a\nelse\n", false, false},
      {"  2, ...", 34, "if a\nelse\n", false, true},
      {"  3)", 34, "if a\nelse\n", false, false},
      {"  while k ...", 76, "if a\nelse\nfunction r = f(n)\n", true, false},
      {"    < 3", 76, "if a\nelse\nfunction r = f(n)\n", true, false},
      {"  try", 98, "if a\nelse\nfunction r = f(n)\nwhile k ...\n    < 3\n", true, false},
      {"  catch", 104, "if a\nelse\nfunction r = f(n)\nwhile k ...\n    < 3\ntry\n", true, false},
      {"  end, end", 112, "if a\nelse\nfunction r = f(n)\nwhile k ...\n    < 3\ntry\ncatch\n", true,
       false},
      {"endfunction, end", 123, "if a\nelse\nfunction r = f(n)\n", true, false},
  };
  CommandGatherer g;
  for (const Step& s : steps) {
    g.Add(s.line);
    EXPECT_EQ(g.PartStart(), s.part) << s.line;
    EXPECT_EQ(g.PartContext(), s.context) << s.line;
    EXPECT_EQ(g.PartInDefinition(), s.inDefinition) << s.line;
    EXPECT_EQ(g.MidStatement(), s.mid) << s.line;
  }
  EXPECT_TRUE(g.Complete());
  EXPECT_FALSE(g.InDefinition());
  // A header the scanner refuses opens no definition to stand for.
  g.Reset();
  for (const char* line : {"while 1", "function () = 3", "x = 1"}) g.Add(line);
  EXPECT_EQ(g.PartContext(), "while 1\n");
  EXPECT_FALSE(g.PartInDefinition());
}

TEST(CommandGatherer, ResetForgetsWhatWasGathered) {
  CommandGatherer g;
  for (const char* line : {"function r = f(n)", "  for k = 1:n", "  x = 1 + ...", "/* a"})
    g.Add(line);
  EXPECT_FALSE(g.Complete());
  g.Reset();
  g.Add("disp(7)");
  EXPECT_TRUE(g.Complete());
}

}  // namespace
}  // namespace vke::runner
