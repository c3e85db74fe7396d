// Grid lines of 2-D and polar subplots through the recording port.
#include "graphics/grid2d.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "decoration_fixture.hpp"

namespace vke {
namespace {

using test::CountCalls;
using test::MakeSubplot;
using test::Polylines;

SubplotRecord Fixed(double x0, double x1, double y0, double y1, uint32_t kind, double right = 400,
                    double bottom = 300) {
  SubplotRecord r = MakeSubplot(0, right, 0, bottom);
  SetScaleKind(&r, 0, kind);
  test::AddPoints(&r, {x0, x1}, {y0, y1});
  SetFixedLimits(&r, x0, x1, y0, y1);
  return r;
}

std::vector<std::vector<double>> Grid(const SubplotRecord& r, RecordingPort* rec) {
  DrawGrid2D(r, nullptr, rec->port(), rec->target());
  return Polylines(*rec);
}

TEST(Grid2D, LinesAtEveryMinorTick) {
  SubplotRecord r = Fixed(0, 1, 0, 1, 0, 600);
  r.optionWord |= kOptXGrid;
  RecordingPort rec;
  const auto lines = Grid(r, &rec);
  ASSERT_EQ(lines.size(), 50u);  // every 0.02 from 0 below 1
  EXPECT_EQ(lines[0], (std::vector<double>{0, 300, 0, 0}));
  EXPECT_NEAR(DeviceXToData(r, lines[49][0]), 0.98, 1e-12);
  r.optionWord ^= kOptXGrid | kOptYGrid;
  rec.Clear();
  const auto rows = Grid(r, &rec);
  ASSERT_EQ(rows.size(), 20u);  // every 0.05 on 300 units
  EXPECT_EQ(rows[1], (std::vector<double>{0, 285, 600, 285}));
}

TEST(Grid2D, LogAxisLinesInsideTheRange) {
  SubplotRecord r = Fixed(3, 300, 1, 2, kScaleLogX);
  r.optionWord |= kOptXGrid;
  RecordingPort rec;
  const auto lines = Grid(r, &rec);
  const std::vector<double> want = {4, 6, 8, 10, 20, 40, 60, 80, 100, 200};
  ASSERT_EQ(lines.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(DeviceXToData(r, lines[i][0]), want[i], 1e-9);
  }
  // A dB axis with no positive value gets no y grid.
  SubplotRecord db = Fixed(1, 2, 0.1, 1, kScaleDbY);
  db.optionWord |= kOptYGrid;
  rec.Clear();
  EXPECT_FALSE(Grid(db, &rec).empty());
  db.limits[kAxisY] = -2;
  db.limits[kAxisY + 3] = -1;
  db.yFactor = 2e9;
  rec.Clear();
  EXPECT_TRUE(Grid(db, &rec).empty());
}

// Radial lines, then circles that reach the farthest corner, their radii in
// the y axis' label units.
TEST(Grid2D, PolarGridReachesTheCorners) {
  SubplotRecord r = Fixed(-1, 1, -1, 1, 0, 400, 400);
  r.plotFlag = 1;
  r.optionWord |= kOptXGrid | kOptYGrid;
  SetScaleFactors(&r, 1, 2, 1);
  RecordingPort rec;
  DrawGrid2D(r, nullptr, rec.port(), rec.target());
  const auto& calls = rec.calls();
  ASSERT_EQ(calls.size(), 12u + 14u);
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(calls[i].slot, PortSlot::drawPolyline);
  const auto lines = Polylines(rec);
  EXPECT_NEAR(lines[0][0], lines[0][2], 1e-9);  // the first one is x = 0
  for (size_t i = 12; i < calls.size(); ++i) {
    ASSERT_EQ(calls[i].slot, PortSlot::drawCircle);
    EXPECT_NEAR(calls[i].values[2], (i - 11) * 0.1 * 200, 1e-9);  // 0.2 label units
  }
  r.optionWord &= ~(kOptXGrid | kOptYGrid);
  rec.Clear();
  DrawGrid2D(r, nullptr, rec.port(), rec.target());
  EXPECT_TRUE(rec.calls().empty());
}

}  // namespace
}  // namespace vke
