// The object hit test: the priority of points over lines over regions, the
// tolerance, the legend box, each hit-testable command hit and missed, a
// control panel without a transform, and payloads that lie about their
// sizes.
#include "graphics/hit_test.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "graphics/legend.hpp"
#include "hit_fixture.hpp"

namespace vke {
namespace {

using test::CommandList;
using test::HitCanvas;
using test::Join;
using test::Packed;
using V = std::vector<double>;

constexpr uint32_t kVertexFlags = 0x3812 | 0x2D;
constexpr uint32_t kLineFlags = 0x1812 | 0x2D;

TEST(HitTest, PointsBeatLinesAndTheFirstOfEqualPointsStays) {
  HitCanvas c;
  // A line 2 px from the pointer, then a vertex 15 px away, then another.
  c.Store(CommandList()
              .Begin(0)
              .Add(kCmdInfiniteLine, {1, 0, 102}, 0, 0, 7, 1)
              .Add(kCmdPolyline, {2, 500, 115, 500, 100}, 0, 0, 8, 3)
              .Add(kCmdInfiniteLine, {1, 0, 100}, 0, 0, 9, 1));
  ASSERT_TRUE(c.Hit(100, 100));
  EXPECT_EQ(c.event.id, 8);
  EXPECT_EQ(c.event.nb, 3);
  EXPECT_EQ(c.event.ix, 2);
  EXPECT_EQ(c.event.flags, kVertexFlags);
  EXPECT_EQ(c.event.x0, 115);
  EXPECT_EQ(c.event.subplot, 0);
  EXPECT_EQ(c.event.pixelX, 100);

  // Two vertices 5 px away: the first in command order stays.
  c.Store(CommandList()
              .Begin(0)
              .Add(kCmdPolyline, {1, 105, 100}, 0, 0, 1, 1)
              .Add(kCmdPolyline, {2, 95, 100, 100, 105}, 0, 0, 2, 1));
  ASSERT_TRUE(c.Hit(100, 100));
  EXPECT_EQ(c.event.id, 1);
  EXPECT_EQ(c.event.ix, 1);
}

TEST(HitTest, ToleranceIsManhattanAndUnnamedCommandsAreNeverHit) {
  HitCanvas c;
  c.Store(CommandList().Begin(0).Add(kCmdPolyline, {1, 110, 110}, 0, 0, 5, 1));
  ASSERT_TRUE(c.Hit(100, 100));  // 20.0 px: no hit
  EXPECT_EQ(c.event.id, -1);
  EXPECT_EQ(c.event.flags, 0x2Du);
  ASSERT_TRUE(c.Hit(100.1, 100));  // 19.9 px
  EXPECT_EQ(c.event.id, 5);

  c.Store(CommandList().Begin(0).Add(kCmdPolyline, {1, 100, 100}, 0, 0, -1, 1));
  ASSERT_TRUE(c.Hit(100, 100));
  EXPECT_EQ(c.event.id, -1);
  // Shift is reported as _m.
  ASSERT_TRUE(c.Hit(100, 100, true));
  EXPECT_EQ(c.event.flags, 0x2Du | kEventM);
}

TEST(HitTest, TheLegendBoxReportsOnlyTheOffsetToItsCentre) {
  HitCanvas c;
  c.subplot().optionWord = kOptLegend;
  const std::string text = "one\ntwo";
  const V entries{8, 0xFF, 8, 0xFF00};
  c.Store(
      CommandList()
          .Begin(0)
          .Add(kCmdPolyline, {1, 560, 20}, 0, 0, 3, 1)
          .Add(kCmdLegendEntry, Join(Join({0, 2, double(text.size())}, entries), Packed(text))));
  const LegendEntries legend{2, entries.data(), text.data(), int32_t(text.size())};
  LegendLayout l{};
  LayoutLegend(c.subplot(), legend, false, c.rec.port(), c.rec.target(), &l);
  ASSERT_TRUE(c.Hit(l.cx - 3, l.cy + 2));
  EXPECT_EQ(c.event.flags, kEventLegend);
  EXPECT_DOUBLE_EQ(c.event.dx, 3);
  EXPECT_DOUBLE_EQ(c.event.dy, -2);
  // Without the legend option the box is not there.
  c.subplot().optionWord = 0;
  ASSERT_TRUE(c.Hit(l.cx - 3, l.cy + 2));
  EXPECT_EQ(c.event.flags & kEventLegend, 0u);
}

TEST(HitTest, LinesCirclesAndFrequencyResponses) {
  HitCanvas c;
  // The line x + y = 200, 10 / sqrt(2) px from (100, 90): the foot of the
  // perpendicular is reported in data units.
  c.Store(CommandList().Begin(0).Add(kCmdInfiniteLine, {1, 1, 200}, 0, 0, 2, 4));
  ASSERT_TRUE(c.Hit(100, 90));
  EXPECT_EQ(c.event.flags, kLineFlags);
  EXPECT_DOUBLE_EQ(c.event.x0, 105);
  EXPECT_DOUBLE_EQ(c.event.y0, 95);
  ASSERT_TRUE(c.Hit(100, 50));
  EXPECT_EQ(c.event.id, -1);

  // Circles: the nearest edge point along the ray from the centre.
  c.Store(CommandList().Begin(0).Add(kCmdCircles, {2, 100, 300, 100, 100, 50, 10}, 0, 0, 6, -1));
  ASSERT_TRUE(c.Hit(295, 100));
  EXPECT_EQ(c.event.nb, 2);
  ASSERT_TRUE(c.Hit(100, 160));  // 10 px outside the first
  EXPECT_EQ(c.event.nb, 1);
  EXPECT_EQ(c.event.x0, 100);
  ASSERT_TRUE(c.Hit(200, 100));
  EXPECT_EQ(c.event.id, -1);

  // Bode magnitude of 1 / (s + 1) at x: |H| = 1 / sqrt(1 + x^2); the y
  // axis shows 100 px per unit here.
  c.subplot().yFactor = -100;
  c.subplot().yOffset = 300;
  c.Store(CommandList().Begin(0).Add(kCmdFirstSystem, {0, 1, 1, 1, 1}, 0, 0, 3, 1));
  const double y = 300 - 100 / std::sqrt(2.0);
  ASSERT_TRUE(c.Hit(1, y + 4));
  EXPECT_EQ(c.event.id, 3);
  EXPECT_NEAR(c.event.y0, 1 / std::sqrt(2.0), 1e-12);
  ASSERT_TRUE(c.Hit(1, y + 30));
  EXPECT_EQ(c.event.id, -1);
  // Its phase (code 20) at x = 1 is -pi/4; a discrete gain of 2 (23, T =
  // 0.5) has magnitude 2 everywhere.
  c.Store(CommandList()
              .Begin(0)
              .Add(20, {0, 1, 1, 1, 1}, 0, 0, 4, 1)
              .Add(23, {0.5, 0, 0, 2, 1}, 0, 0, 5, 1));
  ASSERT_TRUE(c.Hit(1, 300 + 25 * std::atan(1.0) * 4 + 1));
  EXPECT_EQ(c.event.id, 4);
  ASSERT_TRUE(c.Hit(3, 102));
  EXPECT_EQ(c.event.id, 5);
}

TEST(HitTest, BarEndsAndBases) {
  HitCanvas c;
  // Vertical bars of width 20 at 100 and 200 reaching 50 and 80.
  c.Store(CommandList().Begin(0).Add(kCmdBars, {0, 20, 2, 100, 200, 50, 80}, 0, 0, 1, 2));
  ASSERT_TRUE(c.Hit(195, 85));
  EXPECT_EQ(c.event.ix, 2);
  EXPECT_EQ(c.event.flags, kVertexFlags);
  EXPECT_EQ(c.event.y0, 80);
  ASSERT_TRUE(c.Hit(115, 50));  // beside the bar
  EXPECT_EQ(c.event.id, -1);
  // Horizontal interval bars: from 40 to 300 at y = 100; the nearer end.
  c.Store(CommandList().Begin(0).Add(kCmdBars, {3, 10, 1, 100, 300, 40}, 0, 0, 2, 1));
  ASSERT_TRUE(c.Hit(45, 102));
  EXPECT_EQ(c.event.x0, 40);
  EXPECT_EQ(c.event.y0, 100);
  ASSERT_TRUE(c.Hit(290, 103));
  EXPECT_EQ(c.event.x0, 300);
}

TEST(HitTest, RegionsHoldThePointerAndYieldOnlyToPoints) {
  HitCanvas c;
  // An image, then a circle edge 3 px away: the image stays.
  c.Store(CommandList()
              .Begin(0)
              .Add(kCmdImageCells, {0, 1, 1, 50, 50, 100, 100, 0}, 0, 0, 1, 0)
              .Add(kCmdCircles, {1, 100, 100, 3}, 0, 0, 2, -1));
  ASSERT_TRUE(c.Hit(100, 106));
  EXPECT_EQ(c.event.id, 1);
  EXPECT_EQ(c.event.flags, kLineFlags);
  ASSERT_TRUE(c.Hit(40, 40));
  EXPECT_EQ(c.event.id, -1);
  // A vertex later in the list replaces it.
  c.Store(CommandList()
              .Begin(0)
              .Add(kCmdImageCells, {0, 1, 1, 50, 50, 100, 100, 0}, 0, 0, 1, 0)
              .Add(kCmdPolyline, {1, 100, 110}, 0, 0, 2, 1));
  ASSERT_TRUE(c.Hit(100, 106));
  EXPECT_EQ(c.event.id, 2);

  // An active region shaped like a U: the notch is outside.
  c.Store(CommandList().Begin(0).Add(
      kCmdActiveRegion, {8, 0, 300, 300, 200, 200, 100, 100, 0, 0, 0, 300, 300, 100, 100, 300, 300},
      0, 0, 9, -1));
  ASSERT_TRUE(c.Hit(50, 200));
  EXPECT_EQ(c.event.id, 9);
  EXPECT_EQ(c.event.flags, 0x2Du | kEventId);
  ASSERT_TRUE(c.Hit(150, 200));
  EXPECT_EQ(c.event.id, -1);
}

// On a reversed x axis the image's first column lies at its right: it is
// hit between its corners whichever way they lie, and not beside them.
TEST(HitTest, AnImageOnAReversedAxis) {
  HitCanvas c;
  c.subplot().xFactor = -1;
  c.subplot().xOffset = 600;  // x = 50 .. 150 lies at 550 .. 450 px
  c.Store(CommandList().Begin(0).Add(kCmdImageCells, {0, 1, 1, 50, 50, 100, 100, 0}, 0, 0, 1, 0));
  ASSERT_TRUE(c.Hit(500, 100));
  EXPECT_EQ(c.event.id, 1);
  EXPECT_EQ(c.event.x0, 100);
  for (const double px : {100.0, 440.0, 560.0}) {
    ASSERT_TRUE(c.Hit(px, 100)) << px;
    EXPECT_EQ(c.event.id, -1) << px;
  }
}

TEST(HitTest, PseudoColourCellsByVectorsAndMatrices) {
  HitCanvas c;
  // x at 0, 100, 200 and y at 0, 50: two cells side by side.
  const V cells{1, 2, 3, 4, 5, 6};
  c.Store(CommandList().Begin(0).Add(kCmdPseudoColour, Join({5, 2, 3, 0, 100, 200, 0, 50}, cells),
                                     0, 0, 7, 0));
  ASSERT_TRUE(c.Hit(150, 20));
  EXPECT_EQ(c.event.ix, 2);
  EXPECT_EQ(c.event.flags, 0x2Du | kEventId | kEventIx);
  ASSERT_TRUE(c.Hit(250, 20));
  EXPECT_EQ(c.event.id, -1);
  // Matrices: a sheared 2 x 2 grid whose only cell leans right.
  const V x{0, 100, 100, 200}, y{0, 0, 100, 100};
  c.Store(CommandList().Begin(0).Add(kCmdPseudoColour,
                                     Join(Join(Join({10, 2, 2}, x), y), {1, 2, 3, 4}), 0, 0, 7, 0));
  ASSERT_TRUE(c.Hit(150, 90));
  EXPECT_EQ(c.event.ix, 1);
  ASSERT_TRUE(c.Hit(20, 90));
  EXPECT_EQ(c.event.id, -1);
}

TEST(HitTest, NoObjectOrNoGroupIsNoWalk) {
  HitCanvas c;
  EXPECT_FALSE(c.Hit(1, 2));
  EXPECT_EQ(c.event.x, 1);  // the pointer is still given in data units
  c.Store(CommandList().Begin(0).Add(kCmdPolyline, {1, 1, 2}, 0, 0, 1, 1));
  const HitTestRequest other{1, &c.subplot(), 1, 2, kHitTolerance, false, false};
  EXPECT_FALSE(HitTestSubplotObjects(c.View(), other, &c.event));
}

// Payloads whose counts run past their command or are negative are never
// read: random headers and data under the address sanitizer.
TEST(HitTest, RandomPayloadsAreReadOnlyWithinTheirCommands) {
  std::mt19937 rng(27);
  std::uniform_int_distribution<int> codeOf(1, 70);
  std::uniform_real_distribution<double> value(-50, 400);
  const double counts[] = {-3, 0, 1, 2, 5, 1e9, -1e9, NAN, 1e300};
  for (int round = 0; round < 300; ++round) {
    HitCanvas c;
    c.subplot().optionWord = kOptLegend;
    CommandList list;
    list.Begin(0);
    for (int k = 0; k < 6; ++k) {
      V data(rng() % 12);
      for (double& d : data) d = rng() % 3 == 0 ? counts[rng() % 9] : value(rng);
      int code = codeOf(rng);
      if (code == kCmdObjectBegin) code = kCmdPolyline;
      list.Add(code, data, 0, 0, int32_t(rng() % 3), 1);
    }
    c.Store(list);
    c.Hit(value(rng), value(rng), false, true);
  }
}

}  // namespace
}  // namespace vke
