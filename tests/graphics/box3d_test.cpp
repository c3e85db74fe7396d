// The 3-D box through the recording port: its corners as seen from the
// camera, grid lines without ticks, tick labels near zero, boxes of small
// cells, and ticks measured against the sides they stand on.
#include "graphics/box3d.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "decoration_fixture.hpp"
#include "graphics/camera.hpp"

namespace vke {
namespace {

using test::Polylines;
using test::TextStrings;

SubplotRecord Box(const std::vector<double>& x, const std::vector<double>& y,
                  const std::vector<double>& z) {
  SubplotRecord r = test::MakeSubplot(0, 400, 0, 300);
  r.is3d = 1;
  UpdateAutoLimits(&r, x.data(), y.data(), z.data(), static_cast<int32_t>(x.size()));
  return r;
}

TEST(Box3D, PerspectiveCameraBeyondEveryMaximum) {
  SubplotRecord r = Box({0, 1}, {0, 2}, {0, 3});
  SetOrthographic(&r, false);
  const double position[3] = {10, 20, 30};
  std::copy_n(position, 3, r.cameraPosition);
  r.viewFlags &= ~kViewAutoPosition;
  ComputeProjection(&r);
  Box3D box{};
  Compute3DBoxOutline(r, &box);
  EXPECT_EQ(std::vector<double>(box.back, box.back + 3), (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(std::vector<double>(box.front, box.front + 3), (std::vector<double>{1, 2, 3}));
  const double corners[7][3] = {{1, 0, 0}, {1, 2, 0}, {0, 2, 0}, {0, 2, 3},
                                {0, 0, 3}, {1, 0, 3}, {1, 0, 0}};
  for (int c = 0; c < 7; ++c) {
    double X = 0, Y = 0, w = 0;
    ProjectPoint(r, corners[c][0], corners[c][1], corners[c][2], true, &X, &Y, &w);
    EXPECT_DOUBLE_EQ(box.outlineX[c], X) << c;
    EXPECT_DOUBLE_EQ(box.outlineY[c], Y) << c;
  }
  // Corners behind the camera take the point before them.
  const double inside[3] = {0.5, 1, 1.5};
  std::copy_n(inside, 3, r.cameraPosition);
  const double target[3] = {0.5, 1, 5};
  std::copy_n(target, 3, r.cameraTarget);
  r.viewFlags &= ~kViewAutoTarget;
  ComputeProjection(&r);
  Compute3DBoxOutline(r, &box);
  for (int c = 0; c < 7; ++c) EXPECT_TRUE(std::isfinite(box.outlineX[c])) << c;
  // Looking toward -x from inside the box: the first corner (1, 0, 0) and
  // the sixth (1, 0, 3) lie behind the camera; the first takes the fifth
  // (0, 0, 3), not the device's origin.
  const double looking[3] = {0.9, 1, 1.5};
  std::copy_n(looking, 3, r.cameraPosition);
  const double ahead[3] = {0, 1, 1.5};
  std::copy_n(ahead, 3, r.cameraTarget);
  ComputeProjection(&r);
  Compute3DBoxOutline(r, &box);
  double X = 0, Y = 0, w = 0;
  ProjectPoint(r, 0, 0, 3, true, &X, &Y, &w);
  EXPECT_DOUBLE_EQ(box.outlineX[0], X);
  EXPECT_DOUBLE_EQ(box.outlineY[0], Y);
}

TEST(Box3D, GridWithoutTicksLiesAtMajorValuesOnly) {
  SubplotRecord r = Box({0, 7}, {0, 7}, {0, 7});
  r.optionWord = kOptXGrid;
  RecordingPort grid;
  Draw3DBox(r, nullptr, nullptr, nullptr, grid.port(), grid.target());
  const auto lines = Polylines(grid);
  // The outline, the three back edges, then two lines per major value.
  ASSERT_GT(lines.size(), 4u);
  EXPECT_EQ(lines[0].size(), 14u);
  const size_t gridLines = lines.size() - 4;
  EXPECT_EQ(gridLines % 2, 0u);
  EXPECT_GE(gridLines, 4u);
  EXPECT_EQ(gridLines, 2 * 7u);  // at 0, 1, ... 6
  // Ticks add more segments than the grid has lines: minor ticks too.
  r.optionWord |= kOptXTicks;
  RecordingPort ticks;
  Draw3DBox(r, nullptr, nullptr, nullptr, ticks.port(), ticks.target());
  EXPECT_GT(Polylines(ticks).size() - lines.size(), gridLines);
}

TEST(Box3D, LabelsNearZeroPrintAsZero) {
  SubplotRecord r = Box({-0.7, 0.7}, {-0.7, 0.7}, {-0.7, 0.7});
  RecordingPort rec;
  Draw3DOutlineAndLabels(r, nullptr, rec.port(), rec.target());
  const auto texts = TextStrings(rec);
  ASSERT_FALSE(texts.empty());
  std::set<std::string> seen(texts.begin(), texts.end());
  EXPECT_TRUE(seen.count("0"));
  for (const std::string& t : texts) EXPECT_EQ(t.find('e'), std::string::npos) << t;
}

// A constant z (plot3 at one height, surf of a constant matrix) gets a box
// of some height, widened around the value as a 2-D axis is, and a z axis
// of at least two distinct labels.
TEST(Box3D, AConstantAxisIsWidenedAroundItsValue) {
  struct Case {
    double z;
    double low, high;
  };
  for (const Case c : {Case{50, 45, 55}, Case{0, -1, 1}, Case{-2, -2.2, -1.8}}) {
    SubplotRecord r = Box({0, 1, 0.5}, {0, 1, 0.25}, {c.z, c.z, c.z});
    EXPECT_EQ(r.limits[kAxisZ], c.z);  // the limits themselves stay the data's
    Box3D box{};
    Compute3DBoxOutline(r, &box);
    EXPECT_DOUBLE_EQ(box.minimum[kAxisZ], c.low) << c.z;
    EXPECT_DOUBLE_EQ(box.maximum[kAxisZ], c.high) << c.z;
    // The box stands up on the device: its outline spans some height.
    const auto [lowest, highest] = std::minmax_element(box.outlineY, box.outlineY + 7);
    EXPECT_GT(*highest - *lowest, 50) << c.z;
    r.optionWord = kOptXLabels << 8;  // the z labels alone
    RecordingPort rec;
    Draw3DOutlineAndLabels(r, nullptr, rec.port(), rec.target());
    const auto texts = TextStrings(rec);
    const std::set<std::string> labels(texts.begin(), texts.end());
    EXPECT_GE(labels.size(), 2u) << c.z;
  }
  // An axis with two values is left as it is.
  SubplotRecord r = Box({0, 1}, {0, 1}, {3, 4});
  Box3D box{};
  Compute3DBoxOutline(r, &box);
  EXPECT_EQ(box.minimum[kAxisZ], 3);
  EXPECT_EQ(box.maximum[kAxisZ], 4);
}

// Boxes of every size, seen from several sides: every line lies inside the
// cell (no tick or outline reaches far from the box), and a box too small
// for its labels gets none.
TEST(Box3D, SmallBoxesDrawNoStrayLinesNorLabelsTheyCannotHold) {
  constexpr double kCellLeft = 100, kCellTop = 50;
  for (bool perspective : {false, true}) {
    for (double turn : {0.0, 0.6, 1.4, 2.5}) {
      for (double width = 40; width <= 400; width += 30) {
        for (double height = 30; height <= 300; height += 30) {
          SubplotRecord r = test::SurfaceInCell(kCellLeft, kCellTop, width, height);
          SetOrthographic(&r, !perspective);
          CameraOrbit(&r, turn, turn / 3);
          RecordingPort rec;
          Draw3DBox(r, nullptr, nullptr, nullptr, rec.port(), rec.target());
          Draw3DOutlineAndLabels(r, nullptr, rec.port(), rec.target());
          const std::string seen = std::to_string(width) + " x " + std::to_string(height) +
                                   (perspective ? " perspective " : " orthographic ") +
                                   std::to_string(turn);
          const double* p = r.position;
          for (const auto& line : Polylines(rec)) {
            for (size_t k = 0; k + 1 < line.size(); k += 2) {
              ASSERT_TRUE(line[k] >= p[kLeft] && line[k] <= p[kRight]) << seen;
              ASSERT_TRUE(line[k + 1] >= p[kTop] && line[k + 1] <= p[kBottom]) << seen;
            }
          }
          Box3D box{};
          Compute3DBoxOutline(r, &box);
          const auto [left, right] = std::minmax_element(box.outlineX, box.outlineX + 7);
          const auto [top, bottom] = std::minmax_element(box.outlineY, box.outlineY + 7);
          // Two lines of labels at the least.
          if (*right - *left < 28 && *bottom - *top < 28) {
            EXPECT_EQ(test::CountCalls(rec, PortSlot::drawText), 0u) << seen;
          }
        }
      }
    }
  }
  // A box of a good size has its labels.
  SubplotRecord r = Box({-3, 3}, {-3, 3}, {-6.5, 8.1});
  RecordingPort rec;
  Draw3DOutlineAndLabels(r, nullptr, rec.port(), rec.target());
  EXPECT_GE(test::CountCalls(rec, PortSlot::drawText), 3u);
}

// The device length of the box's side along axis a, from its back corner.
double SideLength(const SubplotRecord& r, int a) {
  Box3D box{};
  Compute3DBoxOutline(r, &box);
  double end[3] = {box.back[0], box.back[1], box.back[2]};
  end[a] = box.front[a];
  double X0 = 0, Y0 = 0, X1 = 0, Y1 = 0, w = 0;
  ProjectPoint(r, box.back[0], box.back[1], box.back[2], true, &X0, &Y0, &w);
  ProjectPoint(r, end[0], end[1], end[2], true, &X1, &Y1, &w);
  return std::hypot(X1 - X0, Y1 - Y0);
}

// A box seen almost along y in orthographic projection: its y side is a
// few units long on the device, shorter than a major tick and than the
// tick spacing.
SubplotRecord BoxSeenAlongY() {
  SubplotRecord r = Box({0, 10}, {-1, 1}, {0, 10});
  SetOrthographic(&r, true);
  const double along[3] = {0.4, 30, 0.25};
  std::copy_n(along, 3, r.cameraPosition);
  r.viewFlags &= ~kViewAutoPosition;
  ComputeProjection(&r);
  return r;
}

// The ticks of an axis stand on the box's two back faces that hold it,
// pointing into the box: none reaches past the face's far side, however
// short that side looks, and an edge seen end on, shorter than the tick
// spacing, holds no ticks of its own.
TEST(Box3D, TicksStayOnTheirFacesAndOffEdgesSeenEndOn) {
  SubplotRecord r = BoxSeenAlongY();
  const double sideY = SideLength(r, kAxisY);
  const double sideZ = SideLength(r, kAxisZ);
  ASSERT_GT(sideY, r.tickParams[2]);  // a minor tick fits, a major one not
  ASSERT_LT(sideY, r.tickParams[1]);
  ASSERT_GT(SideLength(r, kAxisX), 100);

  // The x ticks: after the outline and the back edges, each value gives a
  // tick along y, then one along z.
  r.optionWord = kOptXTicks;
  RecordingPort rec;
  Draw3DBox(r, nullptr, nullptr, nullptr, rec.port(), rec.target());
  const auto lines = Polylines(rec);
  ASSERT_GT(lines.size(), 8u);
  double longestAlongY = 0;
  double longestAlongZ = 0;
  for (size_t i = 4; i < lines.size(); ++i) {
    const auto& l = lines[i];
    ASSERT_EQ(l.size(), 4u);
    const double length = std::hypot(l[2] - l[0], l[3] - l[1]);
    double& longest = (i - 4) % 2 == 0 ? longestAlongY : longestAlongZ;
    longest = std::max(longest, length);
  }
  EXPECT_NEAR(longestAlongY, sideY, 1e-6);  // the major ticks, cut to the side
  EXPECT_NEAR(longestAlongZ, r.tickParams[1], 1e-6);
  EXPECT_LT(r.tickParams[1], sideZ);

  // The y edge itself, a few units long, holds no ticks: only the outline
  // and the back edges are drawn.
  r.optionWord = kOptXTicks << 4;
  RecordingPort endOn;
  Draw3DBox(r, nullptr, nullptr, nullptr, endOn.port(), endOn.target());
  EXPECT_EQ(Polylines(endOn).size(), 4u);
  // Seen from aside, the same axis has its ticks.
  CameraOrbit(&r, 0.8, 0.3);
  ASSERT_GT(SideLength(r, kAxisY), r.tickParams[0]);
  RecordingPort aside;
  Draw3DBox(r, nullptr, nullptr, nullptr, aside.port(), aside.target());
  EXPECT_GT(Polylines(aside).size(), 4u);
}

}  // namespace
}  // namespace vke
