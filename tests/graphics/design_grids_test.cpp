// The control-design grids through the recording port, on a subplot that
// shows 100 device units per data unit: the curves' geometry and counts, the
// values each grid steps through, what is left out (missing slots,
// logarithmic axes, values out of range), and the renderer's conditions
// for the whole grids.
#include "graphics/design_grids.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "command_list.hpp"
#include "decoration_fixture.hpp"
#include "graphics/renderer.hpp"

namespace vke {
namespace {

using test::CallsOf;
using test::Polylines;
using V = std::vector<double>;

constexpr double kPi = std::numbers::pi;
const PlotStyle kStyle{0x100, 0, 0, 0, 0};

// An 800 x 600 viewport; data x = (X - left0) / 100 with x = -4 .. 4 unless
// the left edge says otherwise, y = -3 .. 3 upward.
SubplotRecord Plane(double leftEdge = -4) {
  SubplotRecord s;
  SubplotRecordClear(&s);
  SetRect(s.viewport, 0, 800, 0, 600);
  s.transformValid = 1;
  s.xFactor = 100;
  s.xOffset = -100 * leftEdge;
  s.yFactor = -100;
  s.yOffset = 300;
  return s;
}

struct Point {
  double x, y;
};

// The data points of each polyline drawn.
std::vector<std::vector<Point>> DataPolylines(const SubplotRecord& s, const RecordingPort& rec) {
  std::vector<std::vector<Point>> out;
  for (const V& p : Polylines(rec)) {
    std::vector<Point> line;
    for (size_t k = 0; k + 1 < p.size(); k += 2) {
      line.push_back({DeviceXToData(s, p[k]), DeviceYToData(s, p[k + 1])});
    }
    out.push_back(line);
  }
  return out;
}

// The data radii of the circles drawn (along x).
V Radii(const RecordingPort& rec) {
  V r;
  for (const PortCall& c : CallsOf(rec, PortSlot::drawCircle)) r.push_back(c.values[2] / 100);
  return r;
}

TEST(DesignGrids, ZPlaneCurves) {
  const SubplotRecord s = Plane();
  RecordingPort rec;
  // A frequency curve and its mirror: 16 points from e^(iw) to e^(-w).
  DrawZGridFrequencyCurve(s, 1, &kStyle, rec.port(), rec.target());
  auto lines = DataPolylines(s, rec);
  ASSERT_EQ(lines.size(), 2u);
  ASSERT_EQ(lines[0].size(), 16u);
  EXPECT_NEAR(lines[0][0].x, std::cos(1.0), 1e-12);
  EXPECT_NEAR(lines[0][0].y, std::sin(1.0), 1e-12);
  EXPECT_NEAR(lines[0][15].x, std::exp(-1.0), 1e-12);
  EXPECT_NEAR(lines[1][0].y, -std::sin(1.0), 1e-12);

  // Damping 0: the upper half of the unit circle down to -1, in pieces of
  // at most 16 points, each with its mirror image.
  rec.Clear();
  DrawZGridDampingCurve(s, 0, &kStyle, rec.port(), rec.target());
  lines = DataPolylines(s, rec);
  ASSERT_GE(lines.size(), 8u);
  ASSERT_EQ(lines.size() % 2, 0u);
  for (size_t k = 0; k < lines.size(); k += 2) {
    ASSERT_LE(lines[k].size(), 16u);
    for (size_t i = 0; i < lines[k].size(); i++) {
      // The last point is where the last step's chord crosses the axis.
      const bool last = k + 2 == lines.size() && i + 1 == lines[k].size();
      EXPECT_NEAR(std::hypot(lines[k][i].x, lines[k][i].y), 1, last ? 1e-3 : 1e-9);
      EXPECT_GE(lines[k][i].y, -1e-12);
      EXPECT_NEAR(lines[k + 1][i].y, -lines[k][i].y, 1e-12);
    }
    if (k > 0) {  // pieces join
      EXPECT_NEAR(lines[k][0].x, lines[k - 2].back().x, 1e-12);
    }
  }
  EXPECT_NEAR(lines[lines.size() - 2].back().x, -1, 1e-3);
  EXPECT_EQ(lines[lines.size() - 2].back().y, 0);
  // Damping 0.5 shrinks on its way round; 1 is the segment 0..1; values
  // outside 0..1 draw nothing.
  rec.Clear();
  DrawZGridDampingCurve(s, 0.5, &kStyle, rec.port(), rec.target());
  lines = DataPolylines(s, rec);
  const Point end = lines[lines.size() - 2].back();
  EXPECT_NEAR(end.x, -std::exp(-kPi * 0.5 / std::sqrt(0.75)), 2e-3);
  rec.Clear();
  DrawZGridDampingCurve(s, 1, &kStyle, rec.port(), rec.target());
  lines = DataPolylines(s, rec);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NEAR(lines[0][1].x, 1, 1e-12);
  rec.Clear();
  for (double zeta : {1.2, -0.1, double(NAN)}) {
    DrawZGridDampingCurve(s, zeta, &kStyle, rec.port(), rec.target());
  }
  EXPECT_TRUE(rec.calls().empty());
}

TEST(DesignGrids, ZGridCountsItsCurves) {
  const SubplotRecord s = Plane();
  RecordingPort rec;
  DrawZGrid(s, 10, 10, &kStyle, false, rec.port(), rec.target());
  ASSERT_EQ(rec.calls().size(), 1u);
  EXPECT_EQ(Radii(rec), (V{1}));
  rec.Clear();
  DrawZGrid(s, 10, 10, &kStyle, true, rec.port(), rec.target());
  // Nine spirals, each ending on the negative real axis, then ten
  // frequency curves of 16 points, the last at pi.
  const auto lines = DataPolylines(s, rec);
  ASSERT_GT(lines.size(), 20u);
  EXPECT_EQ(CallsOf(rec, PortSlot::drawCircle).size(), 1u);
  std::vector<std::vector<Point>> frequency(lines.end() - 20, lines.end());
  for (size_t i = 0; i < 20; i += 2) {
    const double w = (i / 2 + 1) * kPi / 10;
    EXPECT_NEAR(frequency[i][0].x, std::cos(w), 1e-9) << i;
    EXPECT_NEAR(frequency[i][15].x, std::exp(-w), 1e-9) << i;
  }
  // Every spiral ends once on the negative real axis.
  int ends = 0;
  for (size_t i = 0; i + 20 < lines.size(); i += 2) {
    if (lines[i].back().y == 0 && lines[i].back().x < 0) ends++;
  }
  EXPECT_EQ(ends, 9);
  // Without the ellipse slot the circle goes; without the polyline slot
  // the curves.
  rec.Clear();
  rec.RemoveSlot(PortSlot::drawPolyline);
  DrawZGrid(s, 10, 10, &kStyle, true, rec.port(), rec.target());
  EXPECT_EQ(rec.calls().size(), 1u);
  // A logarithmic axis has no unit circle.
  SubplotRecord logx = s;
  logx.scaleKind = 1;
  rec.Clear();
  DrawUnitCircle(logx, &kStyle, rec.port(), rec.target());
  EXPECT_TRUE(rec.calls().empty());
}

TEST(DesignGrids, SPlaneCirclesFollowTheLeftEdge) {
  RecordingPort rec;
  SubplotRecord s = Plane(-5);
  DrawSGrid(s, 10, 10, &kStyle, true, rec.port(), rec.target());
  V radii = Radii(rec);
  ASSERT_EQ(radii.size(), 10u);
  for (size_t i = 0; i < 10; i++) EXPECT_NEAR(radii[i], kPi * (i + 1), 1e-9);
  // The imaginary axis and nine pairs of rays to the left edge.
  const auto lines = DataPolylines(s, rec);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_NEAR(lines[0][0].x, 0, 1e-12);
  EXPECT_NEAR(lines[5][0].x, -5, 1e-12);  // damping 0.5
  EXPECT_NEAR(lines[5][0].y, -std::sqrt(0.75) / 0.5 * -5, 1e-9);
  EXPECT_NEAR(lines[5][1].x, 0, 1e-12);
  EXPECT_NEAR(lines[5][2].y, std::sqrt(0.75) / 0.5 * -5, 1e-9);
  rec.Clear();
  s = Plane(-0.5);
  DrawSGrid(s, 10, 10, &kStyle, true, rec.port(), rec.target());
  radii = Radii(rec);
  ASSERT_EQ(radii.size(), 10u);
  EXPECT_NEAR(radii[0], 0.1 * kPi, 1e-9);
  EXPECT_NEAR(radii[9], kPi, 1e-9);
  // Without full only the imaginary axis; the single curves.
  rec.Clear();
  DrawSGrid(s, 10, 10, &kStyle, false, rec.port(), rec.target());
  EXPECT_EQ(rec.calls().size(), 1u);
  rec.Clear();
  DrawSGridDampingRays(s, 0, &kStyle, rec.port(), rec.target());
  DrawSGridDampingRays(s, 1.5, &kStyle, rec.port(), rec.target());
  DrawSGridFrequencyCircle(s, 2, &kStyle, rec.port(), rec.target());
  EXPECT_EQ(Polylines(rec).size(), 1u);
  EXPECT_EQ(Radii(rec), (V{2}));
}

TEST(DesignGrids, HallChartDrawsCirclesOfVisibleSize) {
  RecordingPort rec;
  SubplotRecord s = Plane();
  s.limits[0] = s.limits[1] = -1;  // x and y span 2: d = 0.4, D = 10
  s.limits[3] = s.limits[4] = 1;
  DrawHGrid(s, &kStyle, true, rec.port(), rec.target());
  const V radii = Radii(rec);
  // The unit circle, the pairs of radius 2/3 and 20/9 (not 5/24), the 90
  // degree circle and both centres of the six phase circles.
  ASSERT_EQ(radii.size(), 18u);
  EXPECT_NEAR(radii[1], 2.0 / 3, 1e-12);
  EXPECT_NEAR(radii[3], 20.0 / 9, 1e-12);
  EXPECT_NEAR(radii[5], 0.5, 1e-12);
  EXPECT_NEAR(radii[6], 0.5 / std::sin(75 * kPi / 180), 1e-12);
  EXPECT_NEAR(radii[6], 0.5176, 1e-4);
  const auto circles = CallsOf(rec, PortSlot::drawCircle);
  EXPECT_NEAR(DeviceXToData(s, circles[1].values[0]), 1.0 / 3, 1e-12);   // M = 0.5
  EXPECT_NEAR(DeviceXToData(s, circles[2].values[0]), -4.0 / 3, 1e-12);  // M = 2
  EXPECT_NEAR(DeviceYToData(s, circles[7].values[1]), -0.5 / std::tan(75 * kPi / 180), 1e-12);
  // The real axis and the closed-loop magnitude 1.
  const auto lines = DataPolylines(s, rec);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NEAR(lines[0][0].y, 0, 1e-12);
  EXPECT_NEAR(lines[1][0].x, -0.5, 1e-12);
  rec.Clear();
  DrawHGrid(s, &kStyle, false, rec.port(), rec.target());
  EXPECT_EQ(rec.calls().size(), 2u);
}

TEST(DesignGrids, NicholsChartRepeatsEveryTurn) {
  RecordingPort rec;
  // Phases -12 pi .. 0 (100 units a radian), magnitudes 0 .. 3.
  SubplotRecord s = Plane();
  s.xFactor = 800 / (12 * kPi);
  s.xOffset = 800;
  s.yOffset = 600;
  DrawNicholsMagnitudeCurve(s, 2, &kStyle, rec.port(), rec.target());
  auto lines = DataPolylines(s, rec);
  // Two halves, each in five copies and five mirrored.
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_NEAR(lines[0][0].x, -kPi, 1e-9);
  EXPECT_NEAR(lines[0][0].y, 2, 1e-9);  // |e + c| of M = 2
  EXPECT_NEAR(lines[1][0].x, -3 * kPi, 1e-9);
  // The mirror about -pi of a point at phase p lies at -2 pi - p.
  EXPECT_NEAR(lines[5][3].x, -2 * kPi - lines[0][3].x, 1e-9);
  for (const auto& line : lines) {
    for (const Point& p : line) {
      // Every point keeps the closed-loop magnitude 2: |L / (1 + L)|.
      const double re = p.y * std::cos(p.x), im = p.y * std::sin(p.x);
      EXPECT_NEAR(std::hypot(re, im) / std::hypot(1 + re, im), 2, 1e-9);
    }
  }
  // The 0 dB curve needs the top at 0.5 or above; nothing without a
  // positive top.
  rec.Clear();
  DrawNicholsMagnitudeCurve(s, 1, &kStyle, rec.port(), rec.target());
  lines = DataPolylines(s, rec);
  ASSERT_EQ(lines.size(), 10u);
  for (const Point& p : lines[0]) {
    const double re = p.y * std::cos(p.x), im = p.y * std::sin(p.x);
    EXPECT_NEAR(std::hypot(re, im), std::hypot(1 + re, im), 1e-9);
  }
  rec.Clear();
  s.yOffset = -10;  // y from -6.1 to -0.1
  DrawNicholsMagnitudeCurve(s, 1, &kStyle, rec.port(), rec.target());
  DrawNicholsMagnitudeCurve(s, 2, &kStyle, rec.port(), rec.target());
  EXPECT_TRUE(rec.calls().empty());
  // The whole chart: five phase lines, the magnitude 1, seven curves.
  s.yOffset = 600;
  DrawNGrid(s, &kStyle, false, rec.port(), rec.target());
  EXPECT_EQ(Polylines(rec).size(), 6u);
  rec.Clear();
  DrawNGrid(s, &kStyle, true, rec.port(), rec.target());
  EXPECT_EQ(Polylines(rec).size(), 6u + 6 * 20 + 10);
}

TEST(DesignGrids, RendererDrawsWholeGridsOnlyForAGridKind) {
  SubplotRecord s = test::MakeSubplot(50, 250, 20, 120);
  test::AddPoints(&s, {-2, 2}, {-2, 2});
  s.optionWord &= ~(kOptFrame | kOptGridKindMask);
  test::CommandList list;
  list.Begin(0).Add(kCmdZGrid, {}).Add(kCmdSGridFrequency, {1});
  RecordingPort rec;
  std::vector<double> scratch(1000);
  const auto render = [&] {
    rec.Clear();
    uint32_t position = 0;
    RenderObjectList(list.bytes(), list.size(), scratch.data(), 1000, &s, &position, {},
                     kNoTextFieldEdit, false, rec.port(), rec.target());
    return CallsOf(rec, PortSlot::drawCircle).size();
  };
  EXPECT_EQ(render(), 1u);  // the circle of command 53 only
  s.optionWord |= 0x2000;
  EXPECT_EQ(render(), 2u);  // and the unit circle
  s.optionWord ^= 0x6000;
  EXPECT_EQ(render(), 2u);
  EXPECT_GT(Polylines(rec).size(), 20u);  // the full grid's curves
}

}  // namespace
}  // namespace vke
