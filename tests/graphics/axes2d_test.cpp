// 2-D axes, ticks, labels and the polar frame through the recording port.
#include "graphics/axes2d.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "decoration_fixture.hpp"
#include "graphics/axis_ticks.hpp"

namespace vke {
namespace {

using test::AddPoints;
using test::CountCalls;
using test::MakeSubplot;
using test::Polylines;
using test::Texts;
using test::TextStrings;

using Strings = std::vector<std::string>;

// A port measuring text by a cell of 10 by 12 units; `measures` keeps its
// text-extent slot.
struct Port {
  explicit Port(bool measures = false) {
    rec.SetCharCell(10, 12);
    if (!measures) rec.RemoveSlot(PortSlot::textExtent);
  }
  void Axes(const SubplotRecord& r) {
    DrawAxesTicksAndLabels(r, nullptr, rec.port(), rec.target());
  }
  RecordingPort rec;
};

void SetLabel(SubplotRecord* r, Axis axis, const char* text) {
  const auto n = static_cast<int32_t>(std::strlen(text));
  const AxisLabel z = GetAxisLabel(*r, kAxisZ);
  SetAxisLabels(r, axis == kAxisX ? text : nullptr, n, axis == kAxisY ? text : nullptr, n,
                axis == kAxisZ ? text : z.text, axis == kAxisZ ? n : z.length);
}

TEST(Axes2D, PlotOfThreePointsLabelsBothAxes) {
  SubplotRecord r = MakeSubplot(50, 450, 18, 318);
  AddPoints(&r, {1, 2, 3}, {1, 2, 3});
  Port p;
  p.Axes(r);
  const auto texts = Texts(p.rec);
  ASSERT_EQ(texts.size(), 16u);
  const Strings xs = {"1", "1.5", "2", "2.5", "3"};
  for (size_t i = 0; i < xs.size(); ++i) {
    EXPECT_EQ(texts[i].text, xs[i]);
    EXPECT_NEAR(texts[i].x, 58 + 96 * i, 1e-9);
    EXPECT_NEAR(texts[i].y, 319.8, 1e-9);
    EXPECT_EQ(texts[i].align, kTextBelow);
  }
  const Strings ys = {"1", "1.2", "1.4", "1.6", "1.8", "2", "2.2", "2.4", "2.6", "2.8", "3"};
  for (size_t i = 0; i < ys.size(); ++i) {
    EXPECT_EQ(texts[5 + i].text, ys[i]);
    EXPECT_NEAR(texts[5 + i].x, 45, 1e-9);
    EXPECT_NEAR(texts[5 + i].y, 312 - 28.8 * i, 1e-9);
    EXPECT_EQ(texts[5 + i].align, kTextLeft);
  }
  // Frame, then 21 minor and 3 major ticks per axis on both edges.
  const auto lines = Polylines(p.rec);
  ASSERT_EQ(lines.size(), 4u + 2 * 2 * 24);
  EXPECT_EQ(lines[0], (std::vector<double>{50, 318, 450, 318}));
  EXPECT_EQ(lines[3], (std::vector<double>{450, 18, 450, 318}));
  EXPECT_NEAR(lines[4][0], 58, 1e-9);  // minor tick at 1 pointing up from the bottom
  EXPECT_EQ(lines[4][3], 316);
  EXPECT_EQ(lines[5][3], 20);        // and down from the top
  EXPECT_EQ(lines[4 + 42][3], 314);  // the first major tick
}

TEST(Axes2D, OptionBitsAndMissingSlots) {
  SubplotRecord r = MakeSubplot(50, 450, 18, 318);
  AddPoints(&r, {1, 2, 3}, {1, 2, 3});
  r.optionWord = kOptXAxisLine | kOptYAxisLine | kOptMargin;
  Port frame;
  frame.Axes(r);
  EXPECT_EQ(CountCalls(frame.rec, PortSlot::drawPolyline), 4u);
  EXPECT_EQ(frame.rec.calls().size(), 4u);
  // Ticks without the margin: no labels.
  r.optionWord = kDefaultOptions & ~kOptMargin;
  Port bare;
  bare.Axes(r);
  EXPECT_EQ(CountCalls(bare.rec, PortSlot::drawText), 0u);
  EXPECT_EQ(CountCalls(bare.rec, PortSlot::drawPolyline), 100u);
  r.optionWord = kDefaultOptions;
  Port noText;
  noText.rec.RemoveSlot(PortSlot::drawText);
  noText.Axes(r);
  EXPECT_EQ(CountCalls(noText.rec, PortSlot::drawPolyline), 100u);
  Port noLines;
  noLines.rec.RemoveSlot(PortSlot::drawPolyline);
  noLines.Axes(r);
  EXPECT_TRUE(noLines.rec.calls().empty());
}

TEST(Axes2D, AxisLabelsKeepTheirRoom) {
  SubplotRecord r = MakeSubplot(50, 450, 18, 318);
  AddPoints(&r, {1, 2, 3}, {1, 2, 3});
  std::memcpy(r.labels[kAxisX], "0123456789abcdef", 16);  // no NUL
  Port p(true);
  p.Axes(r);
  // 16 characters and a margin unit (170 units, 0.885 in data) are kept
  // free of tick labels.
  const auto texts = Texts(p.rec);
  EXPECT_EQ(texts[0].text, "1");
  EXPECT_EQ(texts[2].text, "2");
  EXPECT_EQ(texts[3].text, "0123456789abcdef");
  EXPECT_EQ(texts[3].x, 450);
  EXPECT_EQ(texts[3].align, kTextLeft | kTextBelow);
  // A label longer than 16 bytes is drawn whole, on either axis.
  SetLabel(&r, kAxisX, "frequency [rad/s]");
  SetLabel(&r, kAxisY, "angular velocity [deg/s]");
  Port longer(true);
  longer.Axes(r);
  const Strings drawn = TextStrings(longer.rec);
  EXPECT_EQ(std::count(drawn.begin(), drawn.end(), "frequency [rad/s]"), 1);
  EXPECT_EQ(std::count(drawn.begin(), drawn.end(), "angular velocity [deg/s]"), 1);
}

// A tick label is centred on its value: the right edge of its text, not
// only its value, stays clear of the x axis label's room.
TEST(Axes2D, TickLabelsEndBeforeTheAxisLabel) {
  // At these ranges the last label's value lies left of the room but its
  // text ran into "f [Hz]".
  for (double top : {120.0, 180.0, 240.0}) {
    SubplotRecord r = MakeSubplot(50, 450, 18, 318);
    AddPoints(&r, {0, top}, {0, 1});
    SetLabel(&r, kAxisX, "f [Hz]");
    Port p(true);
    p.Axes(r);
    const auto texts = Texts(p.rec);
    size_t tickLabels = 0;
    for (const auto& t : texts) {
      if (t.align != kTextBelow) continue;
      ++tickLabels;
      // "f [Hz]" and a character: 70 units at the right end.
      EXPECT_LE(t.x + 5.0 * t.text.size(), 380) << top << " " << t.text;
    }
    EXPECT_GE(tickLabels, 3u) << top;
  }
}

// Likewise the top of a y tick label's text stays clear of the room kept
// below the top for the y axis label (and "[dB]"), on the screen and on
// upward-y targets, with linear, logarithmic and dB axes.
TEST(Axes2D, TickLabelsStayBelowTheYAxisLabel) {
  for (const bool upward : {false, true}) {
    for (const uint32_t kind : {0u, kScaleLogY, kScaleDbY}) {
      for (int k = 0; k < 40; ++k) {
        const double top = 0.5 + 0.025 * k;
        SubplotRecord r = upward ? MakeSubplot(50, 450, 220, 20) : MakeSubplot(50, 450, 20, 220);
        AddPoints(&r, {0, 1}, {kind != 0 ? 0.01 : -top, top});
        SetScaleKindBits(&r, kind, kScaleLogY | kScaleDbY);
        ComputeSubplotTransform(&r, true, kAutoMargin);
        SetLabel(&r, kAxisY, "theta [deg]");
        Port p(true);
        p.Axes(r);
        // The label's 12 units and half a margin unit; twice that with "[dB]".
        const double room = (kind == kScaleDbY ? 2 : 1) * (12 + 6);
        int tickLabels = 0;
        for (const auto& t : Texts(p.rec)) {
          if (t.align != kTextLeft) continue;
          ++tickLabels;
          EXPECT_GE(std::fabs(t.y - r.viewport[kTop]) - 6, room - 1e-9)
              << upward << " " << kind << " " << top << " " << t.text;
        }
        EXPECT_GE(tickLabels, 2) << upward << " " << kind << " " << top;
      }
    }
  }
}

// In a viewport lower than the y axis label the label reaches down to the
// x tick labels: none of them may touch it, on any of these widths.
TEST(Axes2D, TickLabelsKeepClearOfAYAxisLabelReachingDown) {
  for (double left = 80; left <= 120; left += 2.5) {
    SubplotRecord r = MakeSubplot(left, left + 300, 40, 44);
    AddPoints(&r, {0, 15}, {-50, 50});
    SetLabel(&r, kAxisY, "theta [deg]");
    Port p(true);
    p.Axes(r);
    const auto texts = Texts(p.rec);
    ASSERT_EQ(texts.back().text, "theta [deg]");
    // The left edge of a text's cell in the port's 10 by 12 units.
    const auto leftEdge = [](const test::TextCall& t) {
      return AlignedTextCell(t.x, t.y, 10.0 * t.text.size(), 12, t.align).left;
    };
    const double labelRight = leftEdge(texts.back()) + 10.0 * texts.back().text.size();
    int xLabels = 0;
    for (const auto& t : texts) {
      if (t.align != kTextBelow) continue;
      ++xLabels;
      EXPECT_GE(leftEdge(t), labelRight + kTextGap) << left << " " << t.text;
    }
    EXPECT_GE(xLabels, 1) << left;
  }
}

// A y axis label ends half a character left of the viewport; one wider
// than the margin there starts at the subplot's outer edge, its clearance
// kept, so that the clip to the subplot cuts none of it.
TEST(Axes2D, LongYLabelsShowWhole) {
  for (bool measures : {true, false}) {
    SubplotRecord r = MakeSubplot(50, 450, 18, 318);
    AddPoints(&r, {1, 2, 3}, {1, 2, 3});
    SetLabel(&r, kAxisY, "y");
    Port fits(measures);
    fits.Axes(r);
    const auto shortLabel = Texts(fits.rec).back();
    EXPECT_EQ(shortLabel.text, "y");
    EXPECT_EQ(shortLabel.x, 45);
    EXPECT_EQ(shortLabel.align, kTextLeft | kTextBelow);
    // 11 characters of 10 units against 45 units of margin.
    SetLabel(&r, kAxisY, "theta [deg]");
    Port wide(measures);
    wide.Axes(r);
    const auto longLabel = Texts(wide.rec).back();
    EXPECT_EQ(longLabel.text, "theta [deg]");
    EXPECT_EQ(longLabel.x, r.position[kLeft] + kLabelEdgeClearance - kTextGap);
    EXPECT_EQ(longLabel.y, 18);
    EXPECT_EQ(longLabel.align, kTextRight | kTextBelow);
  }
}

// One point, or constant data, still gets an axis of at least two distinct
// labels on either side of its value, on linear and logarithmic axes.
TEST(Axes2D, ConstantDataGetsTwoDistinctLabelsOnEachAxis) {
  struct Case {
    std::vector<double> x, y;
    uint32_t kind;
  };
  const std::vector<double> ones(10, 7.0);
  const Case cases[] = {
      {{7}, {7}, 0},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, ones, 0},
      {{0}, {0}, 0},
      {{1e-12}, {-3e5}, 0},
      {{7}, {7}, kScaleLogX | kScaleLogY},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, ones, kScaleLogY},
  };
  for (const Case& c : cases) {
    SubplotRecord r = MakeSubplot(50, 450, 18, 318);
    SetScaleKind(&r, 0, c.kind);
    AddPoints(&r, c.x, c.y);
    Port p;
    p.Axes(r);
    std::set<std::string> xs;
    std::set<std::string> ys;
    for (const auto& t : Texts(p.rec)) (t.align == kTextBelow ? xs : ys).insert(t.text);
    EXPECT_GE(xs.size(), 2u) << c.x[0] << " kind " << c.kind;
    EXPECT_GE(ys.size(), 2u) << c.y[0] << " kind " << c.kind;
  }
}

TEST(Axes2D, LabelsCloseToZeroReadAsZero) {
  SubplotRecord r = MakeSubplot(0, 400, 0, 300);
  AxisTicks t{};
  t.form = AxisScaleForm::kLinear;
  t.axis = kAxisX;
  t.scale = 1;
  t.limit = 0.35;
  t.linear.firstLabel = -0.3;  // -0.3 + 3 * 0.1 is 5.6e-17
  t.linear.labelStep = 0.1;
  std::vector<double> values;
  ForEachLabel(r, t, [&](double, double v) { values.push_back(v); });
  ASSERT_EQ(values.size(), 7u);
  EXPECT_EQ(values[3], 0);
  char text[24];
  EXPECT_EQ(std::string(text, FormatTickLabel(values[3], 3, text)), "0");
}

// y from 0.01 to 1 on a dB axis: labels every 10 dB up to the room kept for
// the axis label and "[dB]".
TEST(Axes2D, DecibelAxisLabelsAndUnitLine) {
  SubplotRecord r = MakeSubplot(50, 450, 18, 318);
  SetScaleKind(&r, 0, kScaleDbY);
  AddPoints(&r, {1, 2}, {0.01, 1});
  Port plain;
  plain.Axes(r);
  auto texts = Texts(plain.rec);
  ASSERT_GE(texts.size(), 5u);
  const Strings dbLabels = {"-40", "-30", "-20", "-10", "[dB]"};
  Strings all = TextStrings(plain.rec);
  EXPECT_EQ(Strings(all.end() - 5, all.end()), dbLabels);
  EXPECT_NEAR(texts.back().y, 18, 1e-9);
  // The label's own device y: 0.01 lies 2 % above the bottom.
  EXPECT_NEAR(texts[texts.size() - 5].y, DataYToDevice(r, 0.01), 1e-9);
  SetLabel(&r, kAxisY, "Gain");
  Port labelled;
  labelled.Axes(r);
  texts = Texts(labelled.rec);
  const Strings tail = {"-40", "-30", "-20", "Gain", "[dB]"};
  all = TextStrings(labelled.rec);
  EXPECT_EQ(Strings(all.end() - 5, all.end()), tail);
  EXPECT_NEAR(texts.back().y, 2 * 18 - 0, 1e-9);  // a margin height inside the top
  // A dB axis showing no positive value draws no y ticks and no y labels.
  r.limits[kAxisY] = -2;
  r.limits[kAxisY + 3] = -1;
  r.yFactor = 2e9;
  Port none;
  none.Axes(r);
  EXPECT_FALSE(Texts(none.rec).empty());
  for (const auto& t : Texts(none.rec)) EXPECT_EQ(t.align, kTextBelow) << t.text;
}

// Limits 1..1554 on a log y axis put 1000 18 units from the top edge: inside
// the room of a y axis label (24 units), on either direction of the y axis.
TEST(Axes2D, LogLabelsStopBelowTheAxisLabel) {
  for (const bool down : {true, false}) {
    SubplotRecord r = down ? MakeSubplot(50, 450, 18, 318) : MakeSubplot(50, 450, 318, 18);
    SetScaleKind(&r, 0, kScaleLogY);
    AddPoints(&r, {1, 2}, {1, 1554});
    SetFixedLimits(&r, 1, 2, 1, 1554);
    Port open;
    open.Axes(r);
    Strings texts = TextStrings(open.rec);
    EXPECT_EQ(texts.back(), "1000") << down;
    SetLabel(&r, kAxisY, "V");
    Port labelled;
    labelled.Axes(r);
    texts = TextStrings(labelled.rec);
    EXPECT_EQ(texts[texts.size() - 2], "500") << down;
    EXPECT_EQ(texts.back(), "V");
  }
}

TEST(Axes2D, PolarFrameAndRadialLabels) {
  SubplotRecord r = MakeSubplot(50, 450, 18, 318);
  r.plotFlag = 1;
  AddPoints(&r, {-2, 3}, {-1, 2});
  Port p;
  DrawPolarFrame(r, nullptr, p.rec.port(), p.rec.target());
  const auto lines = Polylines(p.rec);
  ASSERT_EQ(lines.size(), 2u);
  const double ox = DataXToDevice(r, 0);
  const double oy = DataYToDevice(r, 0);
  EXPECT_EQ(lines[0], (std::vector<double>{50, oy, 450, oy}));
  EXPECT_EQ(lines[1], (std::vector<double>{ox, 318, ox, 18}));
  // The circle of the last label value, 3, on the x axis' spacing.
  const PortCall& circle = p.rec.calls().back();
  ASSERT_EQ(circle.slot, PortSlot::drawCircle);
  EXPECT_NEAR(circle.values[0], ox, 1e-9);
  EXPECT_NEAR(circle.values[2], 3 * r.xFactor, 1e-9);
  EXPECT_NEAR(circle.values[3], 3 * -r.yFactor, 1e-9);

  p.rec.Clear();
  p.Axes(r);
  EXPECT_EQ(TextStrings(p.rec), (Strings{"0", "1", "2", "3"}));
  EXPECT_EQ(CountCalls(p.rec, PortSlot::drawPolyline), 4u);  // the frame only
  // With the origin outside both ranges there are no labels.
  SubplotRecord far = MakeSubplot(50, 450, 18, 318);
  far.plotFlag = 1;
  AddPoints(&far, {1, 3}, {1, 2});
  Port q;
  q.Axes(far);
  EXPECT_EQ(CountCalls(q.rec, PortSlot::drawText), 0u);
  // Not polar: no frame.
  r.plotFlag = 0;
  p.rec.Clear();
  DrawPolarFrame(r, nullptr, p.rec.port(), p.rec.target());
  EXPECT_TRUE(p.rec.calls().empty());
}

TEST(Axes2D, DataLinesAndCircles) {
  SubplotRecord r = MakeSubplot(0, 400, 0, 300);
  AddPoints(&r, {0, 10}, {0, 10});
  Port p;
  DrawDataLine(r, 1, -1, 0, nullptr, p.rec.port(), p.rec.target());  // y = x
  DrawDataLine(r, 0, 2, 10, nullptr, p.rec.port(), p.rec.target());  // y = 5
  DrawDataLine(r, 0, 0, 1, nullptr, p.rec.port(), p.rec.target());
  DrawDataCircle(r, 5, 5, 2, nullptr, p.rec.port(), p.rec.target());
  const auto lines = Polylines(p.rec);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NEAR(DeviceXToData(r, lines[0][0]), DeviceYToData(r, lines[0][1]), 1e-9);
  EXPECT_NEAR(lines[0][1], 300, 1e-9);  // from the bottom edge to the top
  EXPECT_NEAR(lines[1][0], 0, 1e-9);
  EXPECT_NEAR(lines[1][3], DataYToDevice(r, 5), 1e-9);
  const PortCall& c = p.rec.calls().back();
  EXPECT_NEAR(c.values[2], 2 * r.xFactor, 1e-9);
  EXPECT_NEAR(c.values[3], -2 * r.yFactor, 1e-9);
  SetScaleKindBits(&r, kScaleLogX2, kScaleLogX2);
  p.rec.Clear();
  DrawDataLine(r, 1, -1, 0, nullptr, p.rec.port(), p.rec.target());
  EXPECT_TRUE(p.rec.calls().empty());
}

}  // namespace
}  // namespace vke
