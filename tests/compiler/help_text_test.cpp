// Reading help texts: the block after a definition (continued definition
// lines, "%", "//" and "/* */" comments, markup kept whole), short
// descriptions, and the entries of a help file.
#include "compiler/help_text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vke {
namespace {

using Kind = HelpTextReader::Kind;

// The lines a reader gives, markup in brackets, unshown lines as "-".
std::vector<std::string> Lines(const std::string& text, int32_t pos, Kind kind) {
  HelpTextReader reader(text.data(), static_cast<int32_t>(text.size()), pos, kind);
  std::vector<std::string> lines;
  HelpLine line;
  while (reader.Next(&line)) {
    const std::string s(line.text ? line.text : "", line.length);
    lines.push_back(!line.shown ? "-" : line.markup ? "[" + s + "]" : s);
  }
  return lines;
}

std::vector<std::string> SourceHelp(const std::string& text) {
  const int32_t start = SkipDefinitionLines(text.data(), static_cast<int32_t>(text.size()), 0);
  return Lines(text, start, Kind::kSourceBlock);
}

std::string Description(const std::string& text, int32_t pos, Kind kind) {
  HelpLine d;
  if (!ShortDescription(HelpTextReader(text.data(), static_cast<int32_t>(text.size()), pos, kind),
                        &d))
    return "(none)";
  return std::string(d.text, d.length);
}

TEST(HelpText, TheBlockAfterTheDefinitionEndsAtCode) {
  EXPECT_EQ(SourceHelp("function y = f(x) % not help\n% y = f(x)\n//  twice x\n%\n  y = 2*x;\n"
                       "% not help either\n"),
            (std::vector<std::string>{" y = f(x)", "  twice x", ""}));
  // A definition continued over lines: the block starts after the last.
  EXPECT_EQ(SourceHelp("function y = f(a, ... first\r\n  b) \r\n% usage\r\n"),
            (std::vector<std::string>{" usage"}));
  // An empty line ends it; no comment at all gives no line.
  EXPECT_EQ(SourceHelp("function f\n% one\n\n% two\n"), (std::vector<std::string>{" one"}));
  EXPECT_TRUE(SourceHelp("function f\n  x = 1;\n").empty());
  EXPECT_TRUE(SourceHelp("function f").empty());
}

TEST(HelpText, BlockCommentsAndMarkup) {
  EXPECT_EQ(SourceHelp("function f\n/*\n  usage\n  what it does\n*/\n% more\nx=1;\n"),
            (std::vector<std::string>{"  usage", "  what it does", " more"}));
  EXPECT_EQ(SourceHelp("function f\n  /* usage\n  what */ ignored\n"),
            (std::vector<std::string>{" usage", "  what "}));
  // Markup goes whole, line ends and all.
  EXPECT_EQ(SourceHelp("function f\n% usage\n/*=<b>x</b>\n% not a comment */\n% after\n"),
            (std::vector<std::string>{" usage", "[<b>x</b>\n% not a comment ]", " after"}));
  // An unclosed comment runs to the end of the text.
  EXPECT_EQ(SourceHelp("function f\n/* a\nb"), (std::vector<std::string>{" a", "b"}));
  EXPECT_EQ(SourceHelp("function f\n/*= open"), (std::vector<std::string>{"[ open]"}));
}

TEST(HelpText, ShortDescriptions) {
  const std::string percent = "% y = f(x)\n%   Doubles x.\n% more\n";
  EXPECT_EQ(Description(percent, 0, Kind::kSourceBlock), "Doubles x.");
  EXPECT_EQ(Description("/*\n usage\n\t what\n*/\n", 0, Kind::kSourceBlock), "what");
  EXPECT_EQ(Description("/* usage\n what */\n", 0, Kind::kSourceBlock), "what ");
  EXPECT_EQ(Description("% only a usage line\nx = 1;\n", 0, Kind::kSourceBlock), "(none)");
  // In a help file the key line's comment is the first line, present or not.
  EXPECT_EQ(Description("  % usage\n% what\n", 0, Kind::kFileEntry), "what");
  EXPECT_EQ(Description("\n% what\n", 0, Kind::kFileEntry), "what");
  EXPECT_EQ(Description("\nnext\n", 0, Kind::kFileEntry), "(none)");
}

TEST(HelpText, HelpFileEntries) {
  const std::string file =
      "% header, no entry\n"
      "abs  % y = abs(x)\n"
      "% absolute value\n"
      "\n"
      "  indented text\n"
      "lib::f\t% y = f(x)\n"
      "/*\n"
      "notakey in a comment\n"
      "*/\n"
      "|| /* a || b\n"
      "inside */\n"
      "last";
  std::vector<std::string> keys;
  std::string texts;
  HelpEntry e;
  for (int32_t pos = 0; NextHelpEntry(file.data(), static_cast<int32_t>(file.size()), &pos, &e);) {
    keys.push_back((e.library ? std::string(e.library, e.libraryLength) + "|" : "") +
                   std::string(e.key, e.keyLength));
    if (keys.size() == 1)
      for (const std::string& l : Lines(file, e.textStart, Kind::kFileEntry)) texts += l + "/";
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"abs", "lib|f", "||", "last"}));
  EXPECT_EQ(texts, " y = abs(x)/ absolute value//  indented text/");
  // A key line without a comment counts as an unshown first line.
  EXPECT_EQ(Lines("last\n% text\nnext\n", 4, Kind::kFileEntry),
            (std::vector<std::string>{"-", " text"}));
}

}  // namespace
}  // namespace vke
