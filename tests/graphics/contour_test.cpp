// contour and contour3 run as draw handlers: the points of traced lines,
// the levels and their styles, closed lines inside the grid, filled
// contours closed along the border and painted largest first, and grids or
// stores too small for them.
#include "graphics/contour.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/block.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/object_store.hpp"
#include "tests/graphics/room_guard.hpp"
#include "tests/host/figure_harness.hpp"

namespace vke {
namespace {

using test::FigureHarness;
using test::Guard;
using Doubles = std::vector<double>;

// A dome over a 21 x 21 grid: 1 at the centre, falling to 0 at distance 1
// and staying 0 out to the border, so that every level between 0 and 1 is
// one closed line.
const char* kDome =
    "x = repmat(-1.2:0.12:1.2, 21, 1); y = x'; z = max(0, 1 - sqrt(x .^ 2 + y .^ 2));";

ErrCode Fresh(FigureHarness& h, const std::string& body) {
  h.Open();
  return h.Draw(0, body);
}

// The points of a line command: x, then y (then z).
struct Line {
  explicit Line(const test::FigureCommand& c) : code(c.header.code) {
    n = static_cast<size_t>(c.data.at(0));
    const size_t dims = code == kCmdPolyline3 ? 3 : 2;
    EXPECT_EQ(c.data.size(), 1 + dims * n);
    x.assign(c.data.begin() + 1, c.data.begin() + 1 + n);
    y.assign(c.data.begin() + 1 + n, c.data.begin() + 1 + 2 * n);
    if (dims == 3) z.assign(c.data.begin() + 1 + 2 * n, c.data.end());
  }
  bool Closed() const { return n > 2 && x.front() == x.back() && y.front() == y.back(); }
  double Area() const {
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
      const size_t j = (i + 1) % n;
      sum += (x[j] + x[i]) * (y[j] - y[i]) / 2;
    }
    return std::fabs(sum);
  }
  int32_t code;
  size_t n;
  Doubles x, y, z;
};

TEST(Contour, OneLineAcrossTwoByTwo) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, "contour([0 2; 0 2], [], [1 1])"), kOk);
  const auto cmds = h.Commands(0);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].header.code, kCmdPolyline);
  EXPECT_EQ((std::vector<int32_t>{cmds[0].header.id, cmds[0].header.index}),
            (std::vector<int32_t>{-1, -1}));
  EXPECT_EQ(cmds[0].data, (Doubles{2, 1.5, 1.5, 1, 2}));
  // The grid's corners widen the limits.
  const SubplotRecord& s = h.subplot(0);
  EXPECT_EQ((Doubles{s.limits[0], s.limits[3], s.limits[1], s.limits[4]}), (Doubles{1, 2, 1, 2}));

  // A position places the grid; levels outside the heights draw nothing.
  ASSERT_EQ(Fresh(h, "contour([0 2; 0 2], [10 20 -1 1], [1 5])"), kOk);
  ASSERT_EQ(h.Commands(0).size(), 1u);
  EXPECT_EQ(h.Commands(0)[0].data, (Doubles{2, 15, 15, -1, 1}));
  EXPECT_EQ(Fresh(h, "contour([0 2; 0 2], [1 2 3])"), kErrBadSize);
}

TEST(Contour, LevelsTheirColoursAndClosedLines) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, std::string(kDome) + "contour(z);"), kOk);
  auto cmds = h.Commands(0);
  ASSERT_EQ(cmds.size(), 7u);
  const uint32_t colours[7] = {0, 1, 4, 5, 2, 3, 6};
  for (size_t k = 0; k < 7; ++k) {
    EXPECT_EQ(cmds[k].header.style, colours[k]) << k;
    EXPECT_TRUE(Line(cmds[k]).Closed()) << k;
  }
  // Higher levels lie inside lower ones.
  EXPECT_GT(Line(cmds[0]).Area(), Line(cmds[6]).Area());

  ASSERT_EQ(Fresh(h, std::string(kDome) + "contour(z, [], 200);"), kOk);
  EXPECT_EQ(h.Commands(0).size(), 100u);
  ASSERT_EQ(Fresh(h, std::string(kDome) + "contour(z, [], 3, 'r-,g');"), kOk);
  cmds = h.Commands(0);
  ASSERT_EQ(cmds.size(), 3u);
  EXPECT_EQ(cmds[0].header.colour, 0xFF0000u);
  EXPECT_EQ(cmds[1].header.colour, 0x00FF00u);
  EXPECT_EQ(cmds[2].header.colour, 0xFF0000u);
}

TEST(Contour, ThreeDimensionalLinesLieAtTheirLevels) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, std::string(kDome) + "contour3(z, [], [0.25 0.5]);"), kOk);
  const auto cmds = h.Commands(0);
  ASSERT_EQ(cmds.size(), 2u);
  for (size_t k = 0; k < 2; ++k) {
    const Line line(cmds[k]);
    EXPECT_EQ(line.code, kCmdPolyline3);
    EXPECT_EQ(line.z, Doubles(line.n, k == 0 ? 0.25 : 0.5));
  }
  EXPECT_TRUE(h.subplot(0).is3d);
  EXPECT_EQ((Doubles{h.subplot(0).limits[2], h.subplot(0).limits[5]}), (Doubles{0.25, 0.5}));
}

TEST(Contour, GridsWithoutCellsWriteNothing) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, "contour(1:5); contour([1; 2; 3], [], 2); contour3([])"), kOk);
  EXPECT_TRUE(h.Commands(0).empty());
}

TEST(Contour, FilledLinesCloseAlongTheBorderAndPaintLargestFirst) {
  FigureHarness h;
  // A ramp rising along x: the level 1.5 line runs across the grid and
  // closes along the border around the higher side.
  ASSERT_EQ(Fresh(h, "contour([0 1 2 3; 0 1 2 3], [], [1.5 1.5], 'bf')"), kOk);
  auto cmds = h.Commands(0);
  ASSERT_EQ(cmds.size(), 1u);
  const Line ramp(cmds[0]);
  EXPECT_EQ(ramp.x, (Doubles{2.5, 2.5, 4, 4, 2.5}));
  EXPECT_EQ(ramp.y, (Doubles{1, 2, 2, 1, 1}));

  // Levels traced smallest first come out largest first, behind the
  // background of the highest filled level below every height.
  ASSERT_EQ(Fresh(h, std::string(kDome) + "contour(z, [], [0.75 0.5 -1 0.25], 'bf');"), kOk);
  cmds = h.Commands(0);
  ASSERT_EQ(cmds.size(), 4u);
  EXPECT_EQ(Line(cmds[0]).Area(), 20.0 * 20.0);
  for (size_t k = 1; k < cmds.size(); ++k) {
    EXPECT_GT(Line(cmds[k - 1]).Area(), Line(cmds[k]).Area()) << k;
  }
  EXPECT_EQ(cmds[0].header.style & kStyleFilled, kStyleFilled);
}

// A store that fills while lines are traced keeps the lines written so far,
// each whole, and answers 10001.
TEST(Contour, FullStoreKeepsTheLinesWritten) {
  const std::string body = std::string(kDome) + "contour(z, [], 5);";
  FigureHarness full;
  ASSERT_EQ(Fresh(full, body), kOk);
  const uint32_t need = full.used();
  const size_t lines = full.Commands(0).size();
  for (uint32_t room : {need / 2, need - 1, uint32_t{kObjectBeginDoubles + 12}}) {
    FigureHarness h;
    h.Open();
    h.LimitRoom(room);
    const Guard guard(h);
    EXPECT_EQ(h.Draw(0, body), kErrPlotOverflow) << room;
    EXPECT_TRUE(guard.Intact());
    const auto cmds = h.Commands(0);
    EXPECT_LT(cmds.size(), lines + 1);
    for (const auto& c : cmds) EXPECT_GE(Line(c).n, 2u);
    ASSERT_EQ(h.Close(), kOk);
    EXPECT_TRUE(ObjectListIsValid(h.block()->DataArea(),
                                  (h.block()->dataBytes - kInstanceRecordBytes) / 8));
  }
}

}  // namespace
}  // namespace vke
