// The subplot renderer through the recording port: the fixed order around
// the data, the frame of a subplot without data, group boundaries, and how
// each kind of command reaches the port, including what is skipped
// (non-finite points, logarithmic axes, missing room, missing slots,
// malformed commands).
#include "graphics/renderer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "command_list.hpp"
#include "decoration_fixture.hpp"

namespace vke {
namespace {

using test::CallsOf;
using test::CommandList;
using test::CountCalls;
using test::Join;
using test::MakeSubplot;
using test::Packed;
using test::Polylines;
using test::TextStrings;
using V = std::vector<double>;

constexpr double kNaN = NAN;

// One subplot with a 200 x 100 viewport at (50, 20) showing 0..10 on both
// axes, its command list, a recording port and a scratch buffer.
struct Render {
  Render() {
    test::AddPoints(&s, {0, 10}, {0, 10});
    rec.SetCharCell(10, 12);
  }
  // No frame: only the data reach the port between clip and restore.
  Render& Plain() {
    s.optionWord &= ~kOptFrame;
    return *this;
  }
  bool Run(bool layoutOnly = false) {
    return RenderObjectList(list.bytes(), list.size(), scratch.data(),
                            static_cast<uint32_t>(scratch.size()), &s, &position, styles,
                            kNoTextFieldEdit, layoutOnly, rec.port(), rec.target());
  }
  // The slots called, without the text measurements.
  std::vector<std::string> Slots() const {
    std::vector<std::string> out;
    for (const PortCall& c : rec.calls()) {
      if (c.slot != PortSlot::textExtent) out.push_back(PortSlotName(c.slot));
    }
    return out;
  }
  double X(double x) const { return DataXToDevice(s, x); }
  double Y(double y) const { return DataYToDevice(s, y); }

  SubplotRecord s = MakeSubplot(50, 250, 20, 120);
  CommandList list;
  RecordingPort rec;
  std::vector<double> scratch = std::vector<double>(1000);
  RenderStyles styles{};
  uint32_t position = 0;
};

void SetTitle(SubplotRecord* s, const char* text) {
  SetSubplotTitle(s, text, -1);
}

TEST(Renderer, DrawsBackgroundDataThenFrameAndTitleInOrder) {
  Render r;
  SetTitle(&r.s, "Title");
  r.list.Begin(0).Add(kCmdPolyline, {2, 1, 9, 1, 9});
  EXPECT_FALSE(r.Run());
  EXPECT_EQ(r.position, r.list.size());
  const auto slots = r.Slots();
  ASSERT_GE(slots.size(), 7u);
  EXPECT_EQ((std::vector<std::string>(slots.begin(), slots.begin() + 6)),
            (std::vector<std::string>{"clip", "fill", "polyline", "restore", "clip", "polyline"}));
  // The last x label, "10" centred 4 units left of the right edge, takes a
  // unit more than the right margin's 5, and its clearance from the edge.
  EXPECT_EQ(CallsOf(r.rec, PortSlot::clipRect)[0].values, (V{50, 247, 20, 120}));
  EXPECT_EQ(CallsOf(r.rec, PortSlot::fillBackground)[0].values, (V{50, 20, 247, 120, 1}));
  // The frame, ticks and labels are clipped to the position; the title comes
  // last, centred between the position's top and the viewport's.
  EXPECT_EQ(CallsOf(r.rec, PortSlot::clipRect)[1].values, (V{0, 255, 2, 138}));
  const PortCall& title = r.rec.calls()[r.rec.calls().size() - 2];
  EXPECT_EQ(title.text, "Title");
  EXPECT_EQ(title.values[0], 50);
  EXPECT_EQ(title.values[1], 11);
  EXPECT_EQ(title.values[3], kTextRight);
  EXPECT_EQ(slots.back(), "restore");
}

TEST(Renderer, UndecoratedSubplotGetsBackgroundColourAndNoFrame) {
  Render r;
  r.Plain();
  r.list.Begin(0).Add(kCmdPolyline, {2, 1, 9, 1, 9});
  r.Run();
  EXPECT_EQ(r.Slots(),
            (std::vector<std::string>{"clip", "fill", "polyline", "restore", "clip", "restore"}));
  EXPECT_EQ(CallsOf(r.rec, PortSlot::fillBackground).at(0).values.back(), 2);
}

TEST(Renderer, TitleNeedsBothLabelAndMargin) {
  for (uint32_t off : {0u, kOptLabel, kOptMargin}) {
    Render r;
    r.Plain();
    SetTitle(&r.s, "T");
    r.s.optionWord &= ~off;
    r.list.Begin(0);
    r.Run();
    EXPECT_EQ(CountCalls(r.rec, PortSlot::drawText), off == 0 ? 1u : 0u) << off;
  }
}

// A title longer than its cell is shortened with "..." to fit between the
// viewport's left and the position's right side less the clearance, cut
// between whole characters; a cell without room for "..." shows none.
TEST(Renderer, ALongTitleIsShortenedToItsCell) {
  auto titleIn = [](double cellRight, const char* title) {
    Render r;
    r.Plain();
    r.s.position[kRight] = cellRight;
    SetTitle(&r.s, title);
    r.list.Begin(0);
    r.Run();
    const auto texts = TextStrings(r.rec);
    return texts.empty() ? std::string("(none)") : texts.back();
  };
  // 10 units a character; the title starts at 50.
  EXPECT_EQ(titleIn(255, "Frequency response of the closed loop"), "Frequency respons...");
  EXPECT_EQ(titleIn(255, "Twenty characters ok"), "Twenty characters ok");
  EXPECT_EQ(titleIn(251, "Twenty characters ok"), "Twenty character...");
  EXPECT_EQ(titleIn(132, "Temp\xC3\xA9rature"), "Temp\xC3\xA9...");
  EXPECT_EQ(titleIn(122, "Temp\xC3\xA9rature"), "Temp...");
  EXPECT_EQ(titleIn(83, "Long title"), "...");
  EXPECT_EQ(titleIn(81, "Long title"), "(none)");
}

// A draw that drew no data after one that did (a handler that only sets a
// title, or one that failed): the frame shows empty, without ticks, grid
// lines or tick labels computed over the placeholder transform of no data.
// Whether the transform is still that of the data drawn before or was
// computed again (at a new layout) for no data; a polar subplot likewise,
// and a 3-D one draws no box.
TEST(Renderer, ASubplotWithoutDataShowsItsFrameAlone) {
  enum Kind { kPlain, kPolar, kSpace };
  for (Kind kind : {kPlain, kPolar, kSpace}) {
    for (bool laidOutAgain : {false, true}) {
      Render r;
      r.s.optionWord |= kOptXGrid | kOptYGrid;
      r.s.plotFlag = kind == kPolar;
      r.s.is3d = kind == kSpace;
      SubplotScaleDefaults(&r.s);
      if (laidOutAgain) ComputeSubplotTransform(&r.s, true, kAutoMargin);
      ASSERT_TRUE(r.s.transformValid);
      SetTitle(&r.s, "empty");
      r.list.Begin(0);
      r.Run();
      const std::string seen = std::to_string(kind) + (laidOutAgain ? " laid out" : "");
      EXPECT_EQ(TextStrings(r.rec), (std::vector<std::string>{"empty"})) << seen;
      // The four sides of the frame and nothing else.
      const V v(r.s.viewport, r.s.viewport + 4);
      std::vector<V> frame = {{v[kLeft], v[kBottom], v[kRight], v[kBottom]},
                              {v[kLeft], v[kTop], v[kRight], v[kTop]},
                              {v[kLeft], v[kTop], v[kLeft], v[kBottom]},
                              {v[kRight], v[kTop], v[kRight], v[kBottom]}};
      if (kind == kSpace) frame.clear();
      EXPECT_EQ(Polylines(r.rec), frame) << seen;
    }
  }
}

TEST(Renderer, GroupsEndAtTheNextObjectBegin) {
  Render r;
  r.Plain();
  r.list.Begin(0).Add(kCmdPolyline, {1, 5, 5});
  const uint32_t second = r.list.size();
  r.list.Begin(1).Add(kCmdPolyline, {1, 6, 6});
  EXPECT_TRUE(r.Run());
  EXPECT_EQ(r.position, second);
  EXPECT_EQ(Polylines(r.rec).size(), 1u);
  // The group's own command 70 at the start position does not stop it.
  r.rec.Clear();
  EXPECT_FALSE(r.Run());
  EXPECT_EQ(r.position, r.list.size());
  ASSERT_EQ(Polylines(r.rec).size(), 1u);
  EXPECT_EQ(Polylines(r.rec)[0], (V{r.X(6), r.Y(6)}));
}

TEST(Renderer, MalformedCommandEndsTheGroup) {
  Render r;
  r.Plain();
  r.list.Begin(0).Add(kCmdPolyline, {1, 5, 5});
  r.list.d.insert(r.list.d.end(), {1, -1, -1, 0, 0, 1e9});  // data past the end
  EXPECT_FALSE(r.Run());
  EXPECT_EQ(r.position, r.list.size());
  EXPECT_EQ(Polylines(r.rec).size(), 1u);
}

TEST(Renderer, PolylinesSplitAtPointsThatAreNotFinite) {
  Render r;
  r.Plain();
  r.list.Begin(0)
      .Add(kCmdPolyline, {4, 1, 2, 3, 4, 1, kNaN, 3, 4})
      .Add(kCmdPolyline, {3, kNaN, 5, INFINITY, 1, 5, 2})
      .Add(kCmdPolyline, {0});
  r.Run();
  const auto lines = Polylines(r.rec);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], (V{r.X(1), r.Y(1)}));
  EXPECT_EQ(lines[1], (V{r.X(3), r.Y(3), r.X(4), r.Y(4)}));
  EXPECT_EQ(lines[2], (V{r.X(5), r.Y(5)}));
}

TEST(Renderer, FarPointsArePulledInTowardTheOrigin) {
  Render r;
  r.Plain();
  r.list.Begin(0).Add(kCmdPolyline, {3, 1, 1e300, 1, 1, 1, -1e300});
  r.Run();
  const auto lines = Polylines(r.rec);
  ASSERT_EQ(lines.size(), 1u);
  const V& p = lines[0];
  // 100 x (200 + 100) on the 200 x 100 viewport.
  EXPECT_NEAR(std::fabs(p[2]) + std::fabs(p[3]), 30000, 1e-9);
  EXPECT_GT(p[2], 29000);
  EXPECT_EQ(p[5], 30000);  // |x| within the limit, y beyond it
  EXPECT_EQ(p[0], r.X(1));
}

TEST(Renderer, ArrowheadsAtTheChosenEnds) {
  Render r;
  r.Plain();
  r.list.Begin(0).Add(kCmdPolyline, {3, 1, 5, 9, 5, 5, 5}, kStyleArrowFirst | kStyleArrowLast);
  r.Run();
  const auto lines = Polylines(r.rec);
  ASSERT_EQ(lines.size(), 3u);
  // A horizontal curve: heads of 2 arrow units (5 without text metrics,
  // here 0.4 x 12) back along the curve and 2 to either side.
  const double u = 0.4 * 12;
  const double y = r.Y(5);
  EXPECT_EQ(lines[1][2], r.X(1));
  EXPECT_NEAR(lines[1][0], r.X(1) + 2 * u, 1e-9);
  EXPECT_NEAR(std::fabs(lines[1][1] - y), u, 1e-9);
  EXPECT_NEAR(lines[1][5] - y, -(lines[1][1] - y), 1e-9);
  EXPECT_NEAR(lines[2][0], r.X(9) - 2 * u, 1e-9);
}

TEST(Renderer, DefaultStyleBitTakesTheDataDefault) {
  Render r;
  r.Plain();
  const PlotStyle data{kKindDash | 4, 1, 2, 3, 0};
  r.styles.data = &data;
  r.list.Begin(0)
      .Add(kCmdPolyline, {1, 5, 5}, kStyleDefaultRecord | 1, 0x0000FF)
      .Add(kCmdPolyline, {1, 5, 5}, kStyleDefaultRecord | kKindCircle)
      .Add(kCmdPolyline, {1, 5, 5}, 0x20 | 1, 0x102030);
  r.Run();
  const auto calls = CallsOf(r.rec, PortSlot::drawPolyline);
  ASSERT_EQ(calls.size(), 3u);
  // Data reaches the port marked smooth.
  EXPECT_EQ(V(calls[0].values.begin() + 1, calls[0].values.begin() + 5),
            (V{0x44 | kStyleSmooth, 1, 2, 3}));
  EXPECT_EQ(V(calls[1].values.begin() + 1, calls[1].values.begin() + 5),
            (V{0x1C4 | kStyleSmooth, 1, 2, 3}));
  EXPECT_EQ(V(calls[2].values.begin() + 1, calls[2].values.begin() + 5),
            (V{0x21 | kStyleSmooth, 0x10, 0x20, 0x30}));
}

TEST(Renderer, CommandsThatDoNotFitOrLackTheirSlotAreSkipped) {
  Render r;
  r.Plain();
  r.scratch.resize(7);  // 3 doubles per point, 4 per circle
  r.list.Begin(0)
      .Add(kCmdPolyline, {3, 1, 2, 3, 1, 2, 3})
      .Add(kCmdPolyline, {2, 1, 2, 1, 2})
      .Add(kCmdPolyline, {-4, 1, 2})
      .Add(kCmdPolyline, {5, 1, 2})  // fewer data than its count
      .Add(kCmdCircles, {2, 1, 2, 1, 2, 1, 1});
  r.Run();
  EXPECT_EQ(Polylines(r.rec).size(), 1u);
  EXPECT_EQ(CountCalls(r.rec, PortSlot::drawCircle), 0u);
  Render t;
  t.Plain();
  t.rec.RemoveSlot(PortSlot::drawPolyline);
  t.rec.RemoveSlot(PortSlot::drawText);
  t.list.Begin(0).Add(kCmdPolyline, {1, 5, 5}).Add(56, Join({5, 5, 0, 0, 2}, Packed("ab")));
  t.Run();
  EXPECT_EQ(t.Slots(), (std::vector<std::string>{"clip", "fill", "restore", "clip", "restore"}));
}

TEST(Renderer, InfiniteLinesCrossTheViewportUnlessLogarithmicAxesForbid) {
  Render r;
  r.Plain();
  // x = 4 (steep), y = 2 x (shallow, filled toward the bottom edge).
  r.list.Begin(0).Add(kCmdInfiniteLine, {1, 0, 4}).Add(kCmdInfiniteLine, {-1, 2, 6}, 0x20);
  r.list.Add(kCmdInfiniteLine, {0, 0, 1});
  r.Run();
  const auto lines = Polylines(r.rec);
  ASSERT_EQ(lines.size(), 2u);
  ASSERT_EQ(lines[0].size(), 4u);
  EXPECT_EQ(lines[0][0], r.X(4));
  EXPECT_NEAR(lines[0][1], 120, 1e-9);
  EXPECT_NEAR(lines[0][3], 20, 1e-9);
  double x0, x1;
  GetViewportXRange(r.s, &x0, &x1);
  ASSERT_EQ(lines[1].size(), 8u);
  EXPECT_NEAR(lines[1][1], r.Y((6 + x0) / 2), 1e-9);
  EXPECT_NEAR(lines[1][3], r.Y((6 + x1) / 2), 1e-9);
  EXPECT_EQ((V{lines[1][4], lines[1][5], lines[1][6], lines[1][7]}),
            (V{lines[1][2], 120, lines[1][0], 120}));

  Render g;
  g.Plain();
  SetScaleKind(&g.s, 0, kScaleLogX);
  test::AddPoints(&g.s, {1, 100}, {0, 10});
  // x = -1 never meets a logarithmic axis; x = 10 does.
  g.list.Begin(0).Add(kCmdInfiniteLine, {1, 0, -1}).Add(kCmdInfiniteLine, {1, 0, 10});
  g.Run();
  ASSERT_EQ(Polylines(g.rec).size(), 1u);
  EXPECT_NEAR(Polylines(g.rec)[0][0], g.X(10), 1e-9);
}

TEST(Renderer, LineWhereTwoPlanesMeet) {
  Render r;
  r.Plain();
  // z = 0 and y = x: the line runs along x and y alike, and y goes before x
  // in a tie, so the segment spans the y limits.
  r.list.Begin(0).Add(kCmdInfiniteLine3, {0, 0, 1, 0, 1, -1, 0, 0});
  r.list.Add(kCmdInfiniteLine3, {0, 0, 1, 0, 0, 0, 2, 5});  // parallel planes
  r.Run();
  const auto lines = Polylines(r.rec);
  ASSERT_EQ(lines.size(), 1u);
  const double lo = LimitMin(r.s, kAxisY);
  const double hi = LimitMax(r.s, kAxisY);
  EXPECT_EQ(lines[0], (V{r.X(lo), r.Y(lo), r.X(hi), r.Y(hi)}));
}

TEST(Renderer, CirclesAndEllipsesOnLinearAxesOnly) {
  Render r;
  r.Plain();
  r.list.Begin(0).Add(kCmdCircles, {1, 5, 5, 2}).Add(kCmdEllipses, {1, 5, 5, 1, -3});
  r.Run();
  const auto circles = CallsOf(r.rec, PortSlot::drawCircle);
  ASSERT_EQ(circles.size(), 2u);
  EXPECT_EQ(V(circles[0].values.begin(), circles[0].values.begin() + 4),
            (V{r.X(5), r.Y(5), 2 * r.s.xFactor, -2 * r.s.yFactor}));
  EXPECT_EQ(circles[1].values[3], -3 * r.s.yFactor);

  Render g;
  g.Plain();
  SetScaleKind(&g.s, 0, kScaleLogY);
  g.list.Begin(0).Add(kCmdCircles, {1, 5, 5, 2});
  g.Run();
  EXPECT_EQ(CountCalls(g.rec, PortSlot::drawCircle), 0u);
}

TEST(Renderer, BarsAreClosedAndKeptNearTheViewport) {
  Render r;
  r.Plain();
  // Flags 2: bases given. One bar from 1 to 5 at x = 2, one from 0 to 1e6.
  r.list.Begin(0).Add(kCmdBars, {2, 1, 2, 2, 8, 5, 1e6, 1, 0});
  r.list.Add(kCmdBars, {1, 2, 1, 5, kNaN});  // horizontal, value not a number
  r.Run();
  const auto lines = Polylines(r.rec);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], (V{r.X(1.5), r.Y(1), r.X(1.5), r.Y(5), r.X(2.5), r.Y(5), r.X(2.5), r.Y(1),
                         r.X(1.5), r.Y(1)}));
  // Above the top (20) goes to one viewport height above it.
  EXPECT_EQ(lines[1][3], 20 - 100);
}

TEST(Renderer, CurveListRunsUntilANegativeCount) {
  Render r;
  r.Plain();
  r.list.Begin(0).Add(kCmdCurveList, {2, 1, 2, 1, 2, 1, 3, 3, -1, 7, 7});
  r.list.Add(kCmdCurveList, {-1, 2, 1, 2, 1, 2});
  r.Run();
  const auto lines = Polylines(r.rec);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], (V{r.X(3), r.Y(3)}));
}

TEST(Renderer, TextLegendAndFonts) {
  Render r;
  r.Plain();
  r.list.Begin(0)
      .Add(68, Join({14, kFontBold}, Packed(std::string("Serif\0", 6))), 0, 0x102030)
      .Add(56, Join({5, 5, 0, kTextBelow, 5}, Packed("hello")))
      .Add(57, Join({1, 1, 7, 0, 2}, Packed("hi")))
      .Add(kCmdLegendEntry, Join({0, 1, 4, 0, 0xFF0000}, Packed("sine")))
      .Add(69, {});
  r.Run();
  const auto fonts = CallsOf(r.rec, PortSlot::setFont);
  ASSERT_EQ(fonts.size(), 2u);
  EXPECT_EQ(fonts[0].text, "Serif");
  EXPECT_EQ(fonts[0].values, (V{14, kFontBold, 0x10, 0x20, 0x30}));
  EXPECT_FALSE(fonts[1].hasText);
  const auto texts = CallsOf(r.rec, PortSlot::drawText);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ((V{texts[0].values[0], texts[0].values[1], texts[0].values[3]}),
            (V{r.X(5), r.Y(5), kTextBelow}));
  EXPECT_EQ(texts[1].text, "hi");
  EXPECT_EQ(texts[2].text, "sine");  // the legend's row

  Render off;
  off.Plain();
  off.s.optionWord &= ~kOptLegend;
  off.list.Begin(0).Add(kCmdLegendEntry, Join({0, 1, 4, 0, 0}, Packed("sine")));
  off.Run();
  EXPECT_EQ(CountCalls(off.rec, PortSlot::drawText), 0u);
}

TEST(Renderer, TabStopsStoreCumulativeWidths) {
  Render r;
  r.Plain();
  // Labels of 3 and 5 characters at 10 units: 30, then 80; a third slot
  // beyond the labels stays as it was. "\b" makes room for slider arrows.
  r.list.Begin(0).Add(kCmdTabStops, Join({3, -1, -1, -1, 9}, Packed("abc\tabcde")));
  const uint32_t at = 7 + 6;
  r.list.Add(kCmdTabStops, Join({1, -1, 3}, Packed("\bab")));
  r.Run(true);
  EXPECT_EQ((V{r.list.d[at + 1], r.list.d[at + 2], r.list.d[at + 3]}), (V{30, 80, -1}));
  EXPECT_EQ(r.list.d[at + 7 + 6 + 1], 20 + 3 * 0.4 * 12);
  EXPECT_EQ(CountCalls(r.rec, PortSlot::textExtent), 4u);  // with "M" for the row height
  EXPECT_TRUE(r.Slots().empty());
}

TEST(Renderer, ThreeDimensionalCommandsStayOutOfTwoDimensionalDrawing) {
  Render r;
  r.Plain();
  r.list.Begin(0).Add(kCmdPolygons3, {1, 2, 3, 4}).Add(kCmdImageCells, {0, 1, 1, 0, 0, 1, 1, 0});
  r.Run();
  // The image is drawn; the polygons are not.
  EXPECT_EQ(r.Slots(), (std::vector<std::string>{"clip", "fill", "scale", "cells", "restore",
                                                 "clip", "restore"}));

  // A 3-D subplot hands its 2-D curves and texts to the depth pool.
  Render d;
  d.Plain();
  d.s.is3d = 1;
  d.list.Begin(0).Add(kCmdPolyline, {1, 5, 5}).Add(kCmdCircles, {1, 5, 5, 2});
  d.Run();
  EXPECT_EQ(Polylines(d.rec).size(), 0u);
  EXPECT_EQ(CountCalls(d.rec, PortSlot::drawCircle), 0u);
}

TEST(Renderer, LayoutOnlyDrawsNothing) {
  Render r;
  SetTitle(&r.s, "T");
  r.list.Begin(0).Add(kCmdPolyline, {1, 5, 5}).Add(56, Join({5, 5, 0, 0, 1}, Packed("a")));
  r.list.Add(69, {});
  r.Run(true);
  EXPECT_EQ(r.Slots(), (std::vector<std::string>{"font"}));
}

TEST(Renderer, PendingLayoutIsPreparedForThePort) {
  Render r;
  r.Plain();
  SubplotRecord& s = r.s;
  s.layoutPending = 1;
  SetRect(s.margins, 0, 0, 0, 0);
  SetSubplotViewport(&s, 0, 400, 0, 300);
  r.list.Begin(0);
  r.Run();
  EXPECT_EQ(s.layoutPending, 0);
  EXPECT_EQ((V{s.marginUnit[0], s.marginUnit[1]}), (V{10, 12}));
  EXPECT_EQ((V(s.viewport, s.viewport + 4)), (V{50, 395, 18, 282}));

  // Without text metrics the units are 10 by 12; without a port the
  // margins are the screen's first ones.
  SubplotRecord t = s;
  PrepareSubplotLayout(&t, nullptr, nullptr);
  EXPECT_EQ((V(t.margins, t.margins + 4)), (V{5, 0.5, 1.5, 1.5}));
}

}  // namespace
}  // namespace vke
