// Scanning sources for definitions, and the lexical helpers under it.
#include "compiler/scan.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/lexer_helpers.hpp"
#include "engine/errors/errors.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

struct Found {
  std::string name, library;
  int32_t line;
  bool isPrivate, isConstant;
  bool operator==(const Found&) const = default;
};

// Every definition of the text, and the code the scan ended with.
std::vector<Found> ScanAll(EngineContext* ctx, const std::string& text, ErrCode* end,
                           bool stopAtStatements = false) {
  std::vector<Found> found;
  SourceScan scan;
  ScannedDefinition d;
  const int32_t n = static_cast<int32_t>(text.size());
  while ((*end = ScanSourceForFunctions(ctx, text.data(), n, &scan, &d, stopAtStatements, true)) ==
         kOk) {
    EXPECT_TRUE(text.compare(d.start, d.isConstant ? 6 : 8, d.isConstant ? "define" : "function") ==
                0);
    found.push_back({std::string(d.name, d.nameLength),
                     d.library ? std::string(d.library, d.libraryLength) : "", d.line, d.isPrivate,
                     d.isConstant});
  }
  return found;
}

TEST(ScanSource, FindsDefinitionsWithTheirLines) {
  TestHost host;
  ErrCode end;
  std::string text =
      "% a library\r\n"
      "function [a, b] = lib::name(x)\r\n"
      "s = 'function hidden';  % function nothere\n"
      "/* block\n comment */ private\n"
      "function (c, ...\n d) = two()\n"
      "function y = three\n"
      "public function four\n"
      "define five = 5\n";
  std::vector<Found> expected{{"name", "lib", 2, false, false},
                              {"two", "", 6, true, false},
                              {"three", "", 8, true, false},
                              {"four", "", 9, false, false},
                              {"five", "", 10, false, true}};
  EXPECT_EQ(ScanAll(host.ctx(), text, &end), expected);
  EXPECT_EQ(end, kErrEof);
  EXPECT_TRUE(ScanAll(host.ctx(), "% only\n\n/* comments */\n", &end).empty());
  EXPECT_EQ(end, kErrEof);
}

TEST(ScanSource, Errors) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ErrCode end;
  for (const char* bad : {"function [a, b] name(x)\n", "function lib:name\n", "function 3x\n",
                          "function [a, b\n] = f\n"}) {
    ScanAll(ctx, bad, &end);
    EXPECT_EQ(end, kErrBadFunHeader) << bad;
  }
  for (const char* bad : {"define = 3\n", "define lib::x = 1\n"}) {
    ScanAll(ctx, bad, &end);
    EXPECT_EQ(end, kErrBadDefinition) << bad;
  }
  EXPECT_EQ(ScanAll(ctx, "use a, b\nfunction f\ninclude x\n", &end).size(), 1u);
  EXPECT_EQ(end, kErrIncludeNotPermitted);
  std::string closed = "function f\nx = 1;\nendfunction\ny = 2;\n";
  ScanAll(ctx, closed, &end, true);
  EXPECT_EQ(end, kErrExpectedFunHeader);
  ScanAll(ctx, closed, &end, false);
  EXPECT_EQ(end, kErrEof);
}

TEST(LexerHelpers, SkipResultsAndKeywords) {
  const std::string t = "  ...x\n  a %c\n b, c";
  int32_t pos = 0, lines = 1;
  EXPECT_EQ(SkipSpaceAndComments(t.data(), 19, &pos, false, &lines), kSkippedBlanks);
  EXPECT_EQ(t[pos], 'a');
  EXPECT_EQ(lines, 2);
  pos++;
  EXPECT_EQ(SkipSpaceAndComments(t.data(), 19, &pos, false, &lines), kSkippedLineEnd);
  EXPECT_EQ(t[pos], 'b');
  pos++;
  EXPECT_EQ(SkipSpaceAndComments(t.data(), 19, &pos, false, &lines), kSkippedNothing);
  EXPECT_EQ(SkipSpaceAndComments(t.data(), 19, &pos, true, &lines), kSkippedLineEnd);
  EXPECT_EQ(t[pos], 'c');
  EXPECT_EQ(lines, 3);

  const std::string k = "includeifexists x";
  pos = 0;
  EXPECT_FALSE(MatchKeywordAt(k.data(), 17, &pos, "include"));
  EXPECT_TRUE(MatchKeywordAt(k.data(), 17, &pos, "includeifexists"));
  EXPECT_EQ(pos, 15);
}

}  // namespace
}  // namespace vke
