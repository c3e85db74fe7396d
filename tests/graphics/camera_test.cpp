// The camera of 3-D subplots: the automatic camera, the data aspect, the
// view angle, the box fit (also in small cells), the moves and their
// degenerate cases.
#include "graphics/camera.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "decoration_fixture.hpp"

namespace vke {
namespace {

// A 3-D subplot of 400 x 300 device units showing the points given.
SubplotRecord Make3D(const std::vector<double>& x, const std::vector<double>& y,
                     const std::vector<double>& z) {
  SubplotRecord r = test::MakeSubplot(0, 400, 0, 300);
  r.is3d = 1;
  UpdateAutoLimits(&r, x.data(), y.data(), z.data(), static_cast<int32_t>(x.size()));
  return r;
}

SubplotRecord Cube() {
  return Make3D({0, 1}, {0, 1}, {0, 1});
}

double Dot(const double* a, const double* b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void ExpectOrthonormal(const SubplotRecord& r) {
  const double* axes[3] = {r.rightAxis, r.trueUp, r.backAxis};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(Dot(axes[i], axes[j]), i == j ? 1 : 0, 1e-12);
  }
}

std::vector<double> Position(const SubplotRecord& r) {
  return {r.cameraPosition[0], r.cameraPosition[1], r.cameraPosition[2]};
}

TEST(Camera, NewSubplotLooksFromTheDefaultDirection) {
  SubplotRecord r = Cube();
  EXPECT_EQ(Position(r), (std::vector<double>{-3, -2, 1}));
  EXPECT_EQ(std::vector<double>(r.cameraUp, r.cameraUp + 3), (std::vector<double>{0, 0, 1}));
  EXPECT_TRUE(r.orthographic);
  EXPECT_TRUE(std::isinf(CameraDistance(r)));
  EXPECT_EQ(GetViewAngle(r), 0);
  ExpectOrthonormal(r);
  // The target is the centre of the box and lands on the viewport's centre.
  double X = 0, Y = 0, w = 0;
  ProjectPoint(r, 0.5, 0.5, 0.5, true, &X, &Y, &w);
  EXPECT_NEAR(X, r.xOffset, 1e-9);
  EXPECT_NEAR(Y, r.yOffset, 1e-9);
  // The depth is the distance along the view direction from the target,
  // larger toward the camera at (-3, -2, 1).
  EXPECT_NEAR(w, 0, 1e-12);
  double nearDepth = 0;
  ProjectPoint(r, 0, 0, 1, true, &X, &Y, &nearDepth);
  EXPECT_NEAR(nearDepth, (3 * 0.5 + 2 * 0.5 + 0.5) / std::sqrt(14.0), 1e-12);
  ProjectPoint(r, 0.5, 0.5, 0.5, true, &X, &Y, &w);
  // Up is up on the screen, where y grows downward.
  double top = 0;
  ProjectPoint(r, 0.5, 0.5, 1, true, &X, &top, &w);
  EXPECT_LT(top, Y);
}

// The box from (0, 0, -k) to (k, k, k) and points in it project alike at
// every scale k that the doubles hold: the same device points, and depths
// in the same order (in box units, so that they stay near 1).
TEST(Camera, ProjectionsAgreeAtEveryScale) {
  const std::vector<double> box[3] = {{0, 1}, {0, 1}, {-1, 1}};
  const double points[4][3] = {{0, 0, 1}, {1, 0.25, -1}, {0.5, 1, 0.3}, {1, 1, 1}};
  for (bool orthographic : {true, false}) {
    std::vector<double> base;
    for (double k : {1.0, 1e-200, 1e160, 1e300}) {
      std::vector<double> scaled[3];
      for (int a = 0; a < 3; ++a) {
        for (double v : box[a]) scaled[a].push_back(v * k);
      }
      SubplotRecord r = Make3D(scaled[0], scaled[1], scaled[2]);
      SetOrthographic(&r, orthographic);
      std::vector<double> got;
      for (const auto& p : points) {
        double X = 0, Y = 0, w = 0;
        ProjectPoint(r, p[0] * k, p[1] * k, p[2] * k, true, &X, &Y, &w);
        ASSERT_TRUE(std::isfinite(static_cast<float>(w))) << k;
        EXPECT_GT(std::fabs(w), 1e-3) << k;
        got.insert(got.end(), {X, Y, w});
      }
      if (base.empty()) base = got;
      for (size_t i = 0; i < got.size(); i += 3) {
        EXPECT_NEAR(got[i], base[i], 1e-9) << k << " " << orthographic;
        EXPECT_NEAR(got[i + 1], base[i + 1], 1e-9) << k << " " << orthographic;
        // Depths differ by one factor, which keeps their order.
        EXPECT_NEAR(got[i + 2] * base[2], base[i + 2] * got[2], 1e-12 * std::fabs(base[2] * got[2]))
            << k << " " << orthographic;
      }
    }
  }
}

TEST(Camera, NiceAspectRatios) {
  EXPECT_EQ(NiceAspectRatio(1.22), 1.2);
  EXPECT_EQ(NiceAspectRatio(1.27), 1.25);
  EXPECT_EQ(NiceAspectRatio(7.4), 7);
  EXPECT_EQ(NiceAspectRatio(1.1), 1.1);
  SubplotRecord r = Make3D({0, 10}, {0, 1}, {0, 2.02});
  EXPECT_EQ(std::vector<double>(r.dataAspect, r.dataAspect + 3), (std::vector<double>{10, 1, 2}));
  EXPECT_EQ(r.inverseAspect[0], 0.1);
}

TEST(Camera, ViewAngleSwitchesToPerspective) {
  SubplotRecord r = Cube();
  SetViewAngle(&r, 30);
  EXPECT_FALSE(r.orthographic);
  EXPECT_NEAR(GetViewAngle(r), 30, 1e-9);
  EXPECT_TRUE(std::isfinite(CameraDistance(r)));
  ExpectOrthonormal(r);
  SetViewAngle(&r, 0);
  EXPECT_TRUE(r.orthographic);
  EXPECT_EQ(GetViewAngle(r), 0);
}

TEST(Camera, FitFlagPutsTheBoxJustInsideTheViewport) {
  for (bool perspective : {false, true}) {
    SubplotRecord r = Make3D({0, 4}, {-1, 1}, {0, 2});
    r.viewFlags |= kViewFitBox;
    if (perspective) SetOrthographic(&r, false);
    ComputeProjection(&r);
    double width = 0, height = 0;
    GetMarginSizes(r, &width, &height);
    const double halfW = (r.viewport[kRight] - r.viewport[kLeft] - width) / 2;
    const double halfH = (r.viewport[kBottom] - r.viewport[kTop] - height) / 2;
    double worst = 0;
    for (int c = 0; c < 8; ++c) {
      double X = 0, Y = 0, w = 0;
      ProjectPoint(r, r.limits[c & 1 ? 3 : 0], r.limits[c & 2 ? 4 : 1], r.limits[c & 4 ? 5 : 2],
                   true, &X, &Y, &w);
      const double dx = std::fabs(X - r.xOffset) / halfW;
      const double dy = std::fabs(Y - r.yOffset) / halfH;
      EXPECT_LE(dx, 1 + 1e-9);
      EXPECT_LE(dy, 1 + 1e-9);
      worst = std::max({worst, dx, dy});
    }
    EXPECT_NEAR(worst, 1, 1e-9) << perspective;
  }
}

// Down to cells of 120 x 80 the box keeps a good part of the viewport, as a
// 2-D plot in the same cell fills its own, and stays inside it.
TEST(Camera, SmallCellsShowABoxFittedToTheirViewport) {
  for (bool perspective : {false, true}) {
    for (double width : {120, 160, 200, 240, 320, 640}) {
      for (double height : {80, 100, 130, 160, 240, 480}) {
        SubplotRecord r = test::SurfaceInCell(0, 0, width, height);
        SetOrthographic(&r, !perspective);
        const double* v = r.viewport;
        const double shorter = std::min(v[kRight] - v[kLeft], v[kBottom] - v[kTop]);
        ASSERT_GT(shorter, 0) << width << " x " << height;
        double low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
        for (int c = 0; c < 8; ++c) {
          double p[2] = {0, 0}, w = 0;
          ProjectPoint(r, r.limits[c & 1 ? 3 : 0], r.limits[c & 2 ? 4 : 1], r.limits[c & 4 ? 5 : 2],
                       true, &p[0], &p[1], &w);
          for (int a = 0; a < 2; ++a) {
            low[a] = std::min(low[a], p[a]);
            high[a] = std::max(high[a], p[a]);
          }
        }
        const std::string cell = std::to_string(width) + " x " + std::to_string(height);
        EXPECT_GE(std::max(high[0] - low[0], high[1] - low[1]), 0.3 * shorter) << cell;
        EXPECT_GE(low[0], v[kLeft]) << cell;
        EXPECT_LE(high[0], v[kRight]) << cell;
        EXPECT_GE(low[1], v[kTop]) << cell;
        EXPECT_LE(high[1], v[kBottom]) << cell;
      }
    }
  }
}

TEST(Camera, MovesKeepTheViewMatrixOrthonormal) {
  for (bool perspective : {false, true}) {
    SubplotRecord r = Cube();
    SetOrthographic(&r, !perspective);
    CameraOrbit(&r, 0.7, -0.4);
    ExpectOrthonormal(r);
    EXPECT_FALSE(r.viewFlags & kViewAutoPosition);
    CameraPan(&r, 0.2, 0.1);
    ExpectOrthonormal(r);
    EXPECT_FALSE(r.viewFlags & kViewAutoTarget);
    CameraRoll(&r, 1.1);
    ExpectOrthonormal(r);
    EXPECT_FALSE(r.viewFlags & kViewAutoUp);
    CameraDollyScreen(&r, 10, -5, 3, false);
    ExpectOrthonormal(r);
    // Over the pole the up vector lies along the view: a perpendicular
    // right axis is taken.
    CameraOrbit(&r, 0, M_PI / 2);
    CameraOrbit(&r, 0, 1e-9);
    ExpectOrthonormal(r);
  }
}

TEST(Camera, OrbitByNothingOnlyTakesThePositionOverByHand) {
  SubplotRecord r = Cube();
  const SubplotRecord before = r;
  CameraOrbit(&r, 0, 0);
  EXPECT_EQ(Position(r), Position(before));
  EXPECT_EQ(r.viewFlags, before.viewFlags & ~kViewAutoPosition);
}

TEST(Camera, DegenerateMovesLeaveTheCameraAlone) {
  SubplotRecord r = Cube();
  SetOrthographic(&r, false);
  const std::vector<double> position = Position(r);
  // A dolly of the position alone onto the target.
  const double onto[3] = {r.cameraTarget[0] - position[0], r.cameraTarget[1] - position[1],
                          r.cameraTarget[2] - position[2]};
  CameraDolly(&r, onto, true);
  EXPECT_EQ(Position(r), position);
  EXPECT_TRUE(std::isfinite(r.xFactor));
  // A camera put on its target by hand still projects finite points.
  std::copy_n(r.cameraTarget, 3, r.cameraPosition);
  r.viewFlags &= ~kViewAutoPosition;
  ComputeProjection(&r);
  ExpectOrthonormal(r);
  double X = 0, Y = 0, w = 0;
  ProjectPoint(r, 0, 0, 0, true, &X, &Y, &w);
  EXPECT_FALSE(std::isnan(r.xFactor));
}

TEST(Camera, ZoomScalesTheProjection) {
  SubplotRecord r = Cube();
  const double factor = r.xFactor;
  CameraZoom(&r, 2);
  EXPECT_NEAR(r.xFactor, 2 * factor, 1e-9);
  EXPECT_FALSE(r.viewFlags & kViewAutoZoom);
  // The orthographic toggle keeps the direction a set camera looks from.
  CameraOrbit(&r, 0.3, 0);
  double before[3];
  std::copy_n(r.backAxis, 3, before);
  SetOrthographic(&r, false);
  for (int a = 0; a < 3; ++a) EXPECT_NEAR(r.backAxis[a], before[a], 1e-12);
}

}  // namespace
}  // namespace vke
