// The legend box: layout in each corner, hit test and drawing through the
// recording port.
#include "graphics/legend.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoration_fixture.hpp"

namespace vke {
namespace {

using test::MakeSubplot;
using test::Polylines;
using test::TextStrings;
using Points = std::vector<double>;

// Two entries: a red line and blue circles.
const double kEntries[] = {4, 0xFF0000, kKindCircle | 1, 0x0000FF, 0x20, 0x00FF00};

LegendEntries Entries(const std::string& text, int32_t n) {
  return {n, kEntries, text.data(), static_cast<int32_t>(text.size())};
}

// Framed in the top-right corner of the viewport 50..450 x 18..318, text
// measured by 10 x 12 cells: the box is 58 x 32 units, 8 units inside the
// corner.
TEST(Legend, FramedTopRightLandsInItsCorner) {
  const SubplotRecord r = MakeSubplot(50, 450, 18, 318);
  RecordingPort rec;
  rec.SetCharCell(10, 12);
  const std::string text = "sin\ncos2";
  const LegendEntries legend = Entries(text, 2);
  LegendLayout l;
  LayoutLegend(r, legend, true, rec.port(), rec.target(), &l);
  EXPECT_EQ((Points{l.cx, l.cy, l.halfWidth, l.halfHeight}), (Points{413, 42, 29, 16}));
  EXPECT_EQ((Points{l.sampleX, l.firstRowY, l.rowStep, l.sampleLength}), (Points{391, 36, 12, 6}));
  // Strictly inside only.
  EXPECT_FALSE(HitTestLegend(r, legend, true, rec.port(), rec.target(), 384, 42));
  EXPECT_TRUE(HitTestLegend(r, legend, true, rec.port(), rec.target(), 385, 42));
  EXPECT_FALSE(HitTestLegend(r, legend, true, rec.port(), rec.target(), 413, 58));

  rec.Clear();
  const PlotStyle outline{0, 1, 2, 3, 0};
  const PlotStyle background{0x27, 0, 0, 0, 0};
  DrawLegend(r, legend, true, &outline, &background, rec.port(), rec.target());
  const auto lines = Polylines(rec);
  ASSERT_EQ(lines.size(), 4u);
  const Points box = {384, 26, 384, 58, 442, 58, 442, 26, 384, 26};
  EXPECT_EQ(lines[0], box);
  EXPECT_EQ(lines[1], box);
  EXPECT_EQ(lines[2], (Points{388, 36, 394, 36}));  // a line sample
  EXPECT_EQ(lines[3], (Points{391, 48}));           // a marker
  const auto calls = test::CallsOf(rec, PortSlot::drawPolyline);
  EXPECT_EQ(calls[0].values[1], 0x27);  // background first
  EXPECT_EQ((Points(calls[2].values.begin() + 1, calls[2].values.begin() + 5)),
            (Points{4, 255, 0, 0}));  // the entry's own style
  const auto texts = test::Texts(rec);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1].text, "cos2");
  EXPECT_EQ((Points{texts[1].x, texts[1].y}), (Points{398, 48}));
  EXPECT_EQ(texts[1].align, kTextRight);
}

TEST(Legend, EntriesAndLinesNeedNotAgree) {
  const SubplotRecord r = MakeSubplot(50, 450, 18, 318);
  RecordingPort rec;
  const std::string two = "a\nb";
  DrawLegend(r, Entries(two, 3), false, nullptr, nullptr, rec.port(), rec.target());
  EXPECT_EQ(TextStrings(rec), (std::vector<std::string>{"a", "b", ""}));
  // The third entry fills its sample.
  EXPECT_EQ(Polylines(rec)[4].size(), 8u);
  rec.Clear();
  const std::string three = "a\nb\nc";
  DrawLegend(r, Entries(three, 1), false, nullptr, nullptr, rec.port(), rec.target());
  EXPECT_EQ(TextStrings(rec), (std::vector<std::string>{"a"}));
  // No entries: a box of one legend unit's height and no rows.
  rec.Clear();
  const LegendEntries none{0, nullptr, nullptr, 0};
  LegendLayout l;
  LayoutLegend(r, none, false, rec.port(), rec.target(), &l);
  EXPECT_EQ(l.halfHeight, 4);
  DrawLegend(r, none, false, nullptr, nullptr, rec.port(), rec.target());
  EXPECT_EQ(Polylines(rec).size(), 2u);
  EXPECT_TRUE(TextStrings(rec).empty());
}

TEST(Legend, CornersWithoutTextMetricsAndUpwardY) {
  SubplotRecord r = MakeSubplot(50, 450, 18, 318);
  RecordingPort rec;
  rec.RemoveSlot(PortSlot::textExtent);
  const std::string text = "ab\ncdef";
  const LegendEntries legend = Entries(text, 2);
  LegendLayout l;
  r.optionWord |= kOptLegendLeft;
  LayoutLegend(r, legend, false, rec.port(), rec.target(), &l);
  EXPECT_EQ(l.halfWidth, 26);  // 1.5 x 8 + 8 + 4 x 8
  EXPECT_EQ(l.cx, 50 + 1 + 26);
  EXPECT_EQ(l.rowStep, 18);  // the height of the top margin
  // y up: rows run down the page from the top; a bottom box stands its
  // inset above the bottom edge.
  r = MakeSubplot(50, 450, 318, 18);
  r.optionWord |= kOptLegendBottom;
  LayoutLegend(r, legend, true, rec.port(), rec.target(), &l);
  EXPECT_EQ(l.rowStep, -18);
  EXPECT_EQ(l.cy - l.halfHeight, 18 + 8);
  EXPECT_EQ(l.firstRowY, l.cy + l.halfHeight - (18 + 8) / 2.0);
  r.optionWord &= ~kOptLegendBottom;
  LayoutLegend(r, legend, true, rec.port(), rec.target(), &l);
  EXPECT_EQ(l.cy + l.halfHeight, 318 - 8);
}

}  // namespace
}  // namespace vke
