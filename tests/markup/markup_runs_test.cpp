// Help text for the rich-text window: the text without markup characters,
// the runs where the formats go (counted in characters, not bytes), links
// with and without their targets, the buffers that double, and the formats
// of the kinds.
#include "app/markup/markup_runs.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vke {
namespace {

// The text a run covers.
std::string RunText(const MarkupRuns& r, const MarkupRun& run) {
  std::u32string wide;
  for (size_t k = 0; k < r.text.size();) {
    const auto c = static_cast<uint8_t>(r.text[k]);
    const size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    wide += static_cast<char32_t>(k);  // the byte offset stands for the character
    k += n;
  }
  wide += static_cast<char32_t>(r.text.size());
  return r.text.substr(wide[run.start], wide[run.end] - wide[run.start]);
}

const MarkupRun* FindRun(const MarkupRuns& r, int32_t kind, int nth = 0) {
  for (const MarkupRun& run : r.runs) {
    if (run.kind == kind && nth-- == 0) return &run;
  }
  return nullptr;
}

TEST(MarkupRuns, HeadingBoldLinkAndAccentsWithoutMarkupCharacters) {
  MarkupRuns r;
  ASSERT_EQ(ConvertMarkupRuns("= Über =\nSee **très** [[https://x.org|the site]] ok.\n", false, &r),
            0);
  EXPECT_EQ(r.text, "Über\nSee très the site ok.\n");
  const MarkupRun* heading = FindRun(r, kRunHeading);
  ASSERT_NE(heading, nullptr);
  EXPECT_EQ(heading->level, 1);
  EXPECT_EQ(RunText(r, *heading), "Über\n");
  const MarkupRun* bold = FindRun(r, kRunBold);
  ASSERT_NE(bold, nullptr);
  // Characters, not bytes: "è" is one position.
  EXPECT_EQ(bold->start, 9);
  EXPECT_EQ(bold->end, 13);
  EXPECT_EQ(RunText(r, *bold), "très");
  EXPECT_EQ(bold->level, -1);
  const MarkupRun* link = FindRun(r, kRunLink);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(RunText(r, *link), "the site");
  EXPECT_TRUE(r.links.empty());
  const MarkupRun* paragraph = FindRun(r, kRunParagraph);
  ASSERT_NE(paragraph, nullptr);
  EXPECT_EQ(RunText(r, *paragraph), "See très the site ok.\n");
}

TEST(MarkupRuns, ShownLinksKeepTheirTargetsApart) {
  MarkupRuns r;
  ASSERT_EQ(ConvertMarkupRuns("a [[http://é.org|**go**]] b //c//\n", true, &r), 0);
  EXPECT_EQ(r.text, "a go b c\n");
  ASSERT_EQ(r.links.size(), 1u);
  EXPECT_EQ(r.links[0].target, "http://é.org");
  const MarkupRun& link = r.runs[r.links[0].run];
  EXPECT_EQ(link.kind, kRunLink);
  EXPECT_EQ(RunText(r, link), "go");
  // The runs inside and after the link moved with the text.
  EXPECT_EQ(RunText(r, *FindRun(r, kRunBold)), "go");
  EXPECT_EQ(RunText(r, *FindRun(r, kRunItalic)), "c");
  EXPECT_TRUE(FormatOfRun(link, true).link);
  EXPECT_FALSE(FormatOfRun(link, false).link);
}

TEST(MarkupRuns, StylesThatOverlapAreClosedAndOpenedAgain) {
  MarkupRuns r;
  ASSERT_EQ(ConvertMarkupRuns("//a **b// c**\n", false, &r), 0);
  EXPECT_EQ(r.text, "a b c\n");
  std::string bold;
  for (const MarkupRun& run : r.runs) {
    if (run.kind == kRunBold) bold += "[" + RunText(r, run) + "]";
  }
  EXPECT_EQ(bold, "[b][ c]");
  EXPECT_EQ(RunText(r, *FindRun(r, kRunItalic)), "a b");
}

TEST(MarkupRuns, ListsTermsCellsAndDeepNesting) {
  MarkupRuns r;
  ASSERT_EQ(ConvertMarkupRuns("; Term : its meaning\n\n|= H |= I |\n| 1 | 2 |\n\n"
                              ":: deep\n",
                              false, &r),
            0);
  const MarkupRun* term = FindRun(r, kRunTerm);
  const MarkupRun* termText = FindRun(r, kRunTermText);
  ASSERT_NE(term, nullptr);
  ASSERT_NE(termText, nullptr);
  EXPECT_EQ(term->start, termText->start);
  EXPECT_EQ(term->end, termText->end);
  EXPECT_TRUE(FormatOfRun(*termText, false).bold);
  EXPECT_EQ(RunText(r, *FindRun(r, kRunHeaderCellText, 1)), "I\t");
  EXPECT_EQ(FindRun(r, kRunHeaderCellText, 2), nullptr);
  const MarkupRun* indent = FindRun(r, kRunIndent);
  ASSERT_NE(indent, nullptr);
  EXPECT_EQ(indent->level, 2);
  EXPECT_EQ(RunText(r, *indent), "deep\n");
  EXPECT_EQ(FormatOfRun(*indent, false).leftIndentTwips, 2 * 600 + 300);

  // More than nineteen runs open at once: the open runs grow.
  std::string nested;
  for (int k = 0; k < 8; ++k) nested += std::string(k + 1, '*') + " item\n";
  nested += "**//__^^##deep##^^__//** [[x|y **z** w]]\n";
  ASSERT_EQ(ConvertMarkupRuns(nested, false, &r), 0);
  EXPECT_EQ(RunText(r, *FindRun(r, kRunBulletItem, 7)), "- item\n");
}

TEST(MarkupRuns, FullBuffersDoubleUpToTheLimit) {
  std::string text;
  for (int k = 0; k < 40; ++k) text += "**b** ";
  MarkupRuns r;
  // Too small for either: the output and the run list each double.
  ASSERT_EQ(ConvertMarkupRuns(text, false, 2 * static_cast<int32_t>(text.size()) + 8, 116 + 24, &r),
            0);
  EXPECT_GT(r.attempts, 2);
  EXPECT_EQ(r.runs.size(), 41u);
  EXPECT_EQ(RunText(r, r.runs[40]), "b");
  // Ample sizes fit at once.
  ASSERT_EQ(ConvertMarkupRuns(text, false, 1 << 16, 1 << 16, &r), 0);
  EXPECT_EQ(r.attempts, 1);
  // A run list without room for one record still grows.
  ASSERT_EQ(ConvertMarkupRuns("**a**", false, 1024, 92, &r), 0);
  EXPECT_EQ(r.runs.size(), 2u);
  EXPECT_EQ(ConvertMarkupRuns("", false, &r), 0);
  EXPECT_EQ(r.text, "");
  EXPECT_TRUE(r.runs.empty());
}

TEST(MarkupRuns, FormatsOfTheKinds) {
  auto format = [](int32_t kind, int32_t level = -1) {
    return FormatOfRun({0, 1, kind, level, 0, 1}, false);
  };
  EXPECT_TRUE(format(kRunBold).bold);
  EXPECT_TRUE(format(kRunItalic).italic);
  EXPECT_TRUE(format(kRunUnderline).underline);
  EXPECT_EQ(format(kRunSuperscript).baselineTwips, 100);
  EXPECT_EQ(format(kRunSubscript).baselineTwips, -100);
  EXPECT_TRUE(format(kRunMonospace).monospace);
  const MarkupRunFormat paragraph = format(kRunParagraph, 0);
  EXPECT_TRUE(paragraph.paragraph);
  EXPECT_EQ(paragraph.leftIndentTwips, 300);
  EXPECT_EQ(paragraph.subIndentTwips, -300);
  // Level 1 at 18 points, centred; level 2 at 16, not centred.
  EXPECT_EQ(format(kRunHeading, 1).fontTwips, 360);
  EXPECT_TRUE(format(kRunHeading, 1).centred);
  EXPECT_EQ(format(kRunHeading, 2).fontTwips, 320);
  EXPECT_FALSE(format(kRunHeading, 2).centred);
  for (int32_t kind : std::initializer_list<int32_t>{
           kRunImage, kRunCell, kRunBulletItem, kRunNumberedItem, kRunTerm, kRunDefinition, 99}) {
    const MarkupRunFormat none = format(kind, 1);
    EXPECT_FALSE(none.bold || none.italic || none.underline || none.monospace || none.link ||
                 none.paragraph || none.centred || none.baselineTwips || none.fontTwips)
        << kind;
  }
}

}  // namespace
}  // namespace vke
