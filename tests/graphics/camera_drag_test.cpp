// The camera tools as drags: the angles a drag gives, drags that undo each
// other, and the forward dolly that covers the view distance over half the
// viewport's diagonal.
#include "graphics/camera_drag.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "decoration_fixture.hpp"
#include "graphics/camera.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// A perspective 3-D subplot of 400 x 300 device units showing a unit cube.
SubplotRecord Cube(bool perspective) {
  SubplotRecord r = test::MakeSubplot(0, 400, 0, 300);
  r.is3d = 1;
  const double x[2] = {0, 1}, y[2] = {0, 1}, z[2] = {0, 1};
  UpdateAutoLimits(&r, x, y, z, 2);
  if (perspective) SetViewAngle(&r, 30);
  ComputeProjection(&r);
  return r;
}

TEST(CameraDrag, AnglesFollowThePointerAcrossTheViewport) {
  const SubplotRecord r = Cube(false);
  double theta = 0, phi = 0;
  // Half the larger side (200) across turns a quarter.
  OrbitDragAngles(r, 100, 100, 300, 100, &theta, &phi);
  EXPECT_NEAR(theta, M_PI / 2, 1e-12);
  EXPECT_EQ(phi, 0);
  // Down the screen (y margin unit positive) turns the other way.
  OrbitDragAngles(r, 100, 100, 100, 200, &theta, &phi);
  EXPECT_NEAR(phi, -M_PI / 4, 1e-12);
  // A quarter turn around the viewport's centre (200, 150).
  EXPECT_NEAR(RollDragAngle(r, 250, 150, 200, 200), M_PI / 2, 1e-12);
  EXPECT_NEAR(DistanceFromViewportCentre(r, 230, 190), 50, 1e-12);
}

TEST(CameraDrag, ADragAndItsReverseLeaveTheCamera) {
  for (bool perspective : {false, true}) {
    SubplotRecord r = Cube(perspective);
    const SubplotRecord before = r;
    OrbitCameraDrag(&r, 100, 100, 160, 100);
    RollCameraDrag(&r, 250, 150, 200, 200);
    DollyCameraDrag(&r, 10, 10, 40, 30);
    DollyCameraDrag(&r, 40, 30, 10, 10);
    RollCameraDrag(&r, 200, 200, 250, 150);
    OrbitCameraDrag(&r, 160, 100, 100, 100);
    for (int a = 0; a < 3; ++a) {
      EXPECT_NEAR(r.cameraPosition[a], before.cameraPosition[a], 1e-9) << perspective;
      EXPECT_NEAR(r.cameraTarget[a], before.cameraTarget[a], 1e-9) << perspective;
      EXPECT_NEAR(r.cameraUp[a], before.cameraUp[a], 1e-9) << perspective;
    }
  }
}

TEST(CameraDrag, DollyForwardCoversTheViewDistanceOverHalfTheDiagonal) {
  SubplotRecord r = Cube(true);
  const double d0 = CameraDistance(r);
  const double quarter = std::hypot(400, 300) / 4;
  // With the target kept a quarter of the diagonal halves the distance.
  DollyForwardCameraDrag(&r, d0, 0, 200 + quarter, 150, true);
  EXPECT_NEAR(CameraDistance(r), d0 / 2, 1e-9);
  // Without, the camera and its target move together.
  SubplotRecord s = Cube(true);
  DollyForwardCameraDrag(&s, d0, 0, 200 + quarter, 150, false);
  EXPECT_NEAR(CameraDistance(s), d0, 1e-9);
  // An orthographic camera has no distance and no view angle: nothing moves.
  SubplotRecord o = Cube(false);
  const SubplotRecord before = o;
  DollyForwardCameraDrag(&o, CameraDistance(o), 0, 300, 150, true);
  PanTiltCameraDrag(&o, 0, 0, 50, 50);
  for (int a = 0; a < 3; ++a) {
    EXPECT_EQ(o.cameraPosition[a], before.cameraPosition[a]);
    EXPECT_EQ(o.cameraTarget[a], before.cameraTarget[a]);
  }
}

}  // namespace
}  // namespace vke
