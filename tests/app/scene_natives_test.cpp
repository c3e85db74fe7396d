// The 3-D scene natives on a figure whose subplot 0 is a 3-D box: lights,
// material, sensors and the camera natives, with their argument checks and
// the camera inputs that would leave no usable projection.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/block.hpp"
#include "engine/values/values.hpp"
#include "graphics/camera.hpp"
#include "graphics/scale.hpp"
#include "tests/app/figure_app.hpp"

namespace vke {
namespace {

using V = std::vector<double>;

struct Scene : test::FigureApp {
  Scene() : FigureApp(1, 1) {
    EXPECT_TRUE(BeginSubplot(0));
    EXPECT_EQ(Row({0, 1}).Row({0, 2}).Row({0, 3}).Run("plot3"), kOk);
  }
  SubplotRecord& s() { return subplot(0); }
  V Field(const double* v) { return V(v, v + 3); }
  // Everything of the camera a failed call must leave alone.
  V Camera() {
    V c = Field(s().cameraPosition);
    for (const double* v : {s().cameraTarget, s().cameraUp}) c.insert(c.end(), v, v + 3);
    c.push_back(s().viewFlags);
    c.push_back(s().orthographic);
    c.push_back(s().zoom);
    c.push_back(s().xFactor);
    return c;
  }
};

TEST(SceneNatives, LightAngleWritesOneLightPerAnglePair) {
  Scene n;
  ASSERT_EQ(
      n.Row({0, M_PI / 2, M_PI}).Row({0, 0, M_PI / 2}).Table(1, 3, {1, 0.5, 0}).Run("lightangle"),
      kOk);
  auto cmds = n.Commands(0);
  ASSERT_EQ(cmds.size(), 2u);
  const test::FigureCommand& light = cmds[1];
  EXPECT_EQ(light.header.code, kCmdLight);
  EXPECT_EQ(light.header.id, -1);
  ASSERT_EQ(light.data.size(), 18u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(V(light.data.begin() + 6 * i + 3, light.data.begin() + 6 * i + 6), (V{1, 0.5, 0}));
  }
  EXPECT_NEAR(light.data[6 + 1], 1, 1e-15);   // east
  EXPECT_NEAR(light.data[12 + 2], 1, 1e-15);  // straight up
  // No angles: one white light at azimuth 4, elevation 1.
  ASSERT_EQ(n.Row({}).Row({}).Run("lightangle"), kOk);
  const V d = n.Commands(0)[2].data;
  ASSERT_EQ(d.size(), 6u);
  EXPECT_NEAR(d[0], std::cos(4) * std::cos(1), 1e-15);
  EXPECT_EQ(V(d.begin() + 3, d.end()), (V{1, 1, 1}));
  // Bad colours, sizes and angles write nothing.
  EXPECT_EQ(n.Row({0}).Row({0}).Table(1, 2, {1, 1}).Run("lightangle"), kErrBadSize);
  EXPECT_EQ(n.Row({0}).Row({0}).Table(1, 3, {1, NAN, 1}).Run("lightangle"), kErrOutOfRangeArg);
  EXPECT_EQ(n.Row({0, 1}).Row({0, 1}).Table(3, 3, V(9, 1)).Run("lightangle"), kErrIncompSize);
  EXPECT_EQ(n.Row({0, 1}).Row({0}).Run("lightangle"), kErrIncompSize);
  EXPECT_EQ(n.Row({INFINITY}).Row({0}).Run("lightangle"), kErrOutOfRangeArg);
  EXPECT_EQ(n.Text("a").Row({0}).Run("lightangle"), kErrWrongTypeOverload);
  EXPECT_EQ(n.Commands(0).size(), 3u);
}

TEST(SceneNatives, MaterialTakesItsDefaults) {
  Scene n;
  ASSERT_EQ(n.Row({0.3}).Run("material"), kOk);
  const test::FigureCommand m = n.Commands(0)[1];
  EXPECT_EQ(m.header.code, kCmdMaterial);
  EXPECT_EQ(m.data, (V{0.3, 0.8, 1, 3, 1}));
  EXPECT_EQ(n.Row(V(6, 1)).Run("material"), kErrBadSize);
  EXPECT_EQ(n.Row({}).Run("material"), kErrBadSize);
  n.LimitRoom(10);
  EXPECT_EQ(n.Row({1}).Run("material"), kKvPlotOverflow);
  EXPECT_EQ(n.Commands(0).size(), 2u);
}

TEST(SceneNatives, SensorsNeverMarkTheFigureDrawn) {
  Scene n;
  n.Open();
  ASSERT_TRUE(n.BeginSubplot(0));
  ASSERT_EQ(n.Text("p").Row({1, 2, 3, 0, 0, 1}).Row({7}).Run("sensor3"), kOk);
  EXPECT_EQ(n.callFlags(), 0u);
  auto cmds = n.Commands(0);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].header.code, kCmdSensor3);
  EXPECT_EQ(cmds[0].header.id, 7);
  EXPECT_EQ(cmds[0].data, (V{'p', 3, 1, 2, 3, 0, 0, 1}));
  // Two parts in the order given; the second's failure keeps the first.
  ASSERT_EQ(
      n.Text("s").Row({1, 2, 3}).Text("point").Row({4, 5, 6, 0, 1, 0}).Row({8}).Run("sensor3"),
      kOk);
  cmds = n.Commands(0);
  ASSERT_EQ(cmds.size(), 3u);
  EXPECT_EQ(V(cmds[1].data.begin(), cmds[1].data.begin() + 2), (V{'s', 1}));
  EXPECT_EQ(V(cmds[2].data.begin(), cmds[2].data.begin() + 2), (V{'p', 2}));
  EXPECT_EQ(n.Text("p").Row({1, 2, 3}).Row({9}).Run("sensor3"), kErrBadSize);
  EXPECT_EQ(n.Text("q").Row({1, 2, 3}).Row({9}).Run("sensor3"), kErrUnknownOpt);
  EXPECT_EQ(n.Text("").Row({1, 2, 3}).Row({9}).Run("sensor3"), kErrUnknownOpt);
  EXPECT_EQ(n.Commands(0).size(), 3u);
  EXPECT_EQ(n.callFlags(), 0u);
}

// A pair whose second part finds no room in the store takes its first part
// back: run again once the store has grown, it writes each part once.
TEST(SceneNatives, SensorsWithoutRoomForTheirSecondPartWriteNothing) {
  Scene n;
  n.Open();
  ASSERT_TRUE(n.BeginSubplot(0));
  n.LimitRoom(20);
  EXPECT_EQ(
      n.Text("s").Row({1, 2, 3}).Text("point").Row({4, 5, 6, 0, 1, 0}).Row({8}).Run("sensor3"),
      kKvPlotOverflow);
  EXPECT_TRUE(n.Commands(0).empty());
  n.LimitRoom(100);
  ASSERT_EQ(
      n.Text("s").Row({1, 2, 3}).Text("point").Row({4, 5, 6, 0, 1, 0}).Row({8}).Run("sensor3"),
      kOk);
  EXPECT_EQ(n.Commands(0).size(), 2u);
}

TEST(SceneNatives, CameraVectorsAutoAndManual) {
  Scene n;
  ASSERT_EQ(n.Run("campos", 1), kOk);
  EXPECT_EQ(n.Numbers(), (V{-3, -2, 1}));
  ASSERT_EQ(n.Row({1, 2, 3}).Run("camtarget"), kOk);
  EXPECT_EQ(n.Field(n.s().cameraTarget), (V{1, 2, 3}));
  EXPECT_FALSE(n.s().viewFlags & kViewAutoTarget);
  ASSERT_EQ(n.Text("p").Run("camproj"), kOk);
  ASSERT_EQ(n.Run("camproj", 1), kOk);
  EXPECT_EQ(test::PopText(n.ctx()), "perspective");
  ASSERT_EQ(n.Row({5, 5, 5}).Run("campos"), kOk);
  ASSERT_EQ(n.Text("auto").Run("campos"), kOk);
  ASSERT_EQ(n.Run("campos", 1), kOk);
  const V automatic = n.Numbers();
  EXPECT_NE(automatic, (V{5, 5, 5}));
  EXPECT_EQ(automatic, n.Field(n.s().cameraPosition));
  ASSERT_EQ(n.Text("manual").Run("campos"), kOk);
  EXPECT_FALSE(n.s().viewFlags & kViewAutoPosition);
  EXPECT_EQ(n.Field(n.s().cameraPosition), automatic);
  ASSERT_EQ(n.Row({30}).Run("camva"), kOk);
  ASSERT_EQ(n.Run("camva", 1), kOk);
  EXPECT_NEAR(n.Numbers()[0], 30, 1e-9);
  ASSERT_EQ(n.Text("o").Run("camproj"), kOk);
  EXPECT_TRUE(n.s().orthographic);
  EXPECT_NE(n.callFlags() & 1, 0u);
}

TEST(SceneNatives, BadCameraInputChangesNothing) {
  Scene n;
  ASSERT_EQ(n.Text("perspective").Run("camproj"), kOk);
  const V before = n.Camera();
  const V target = n.Field(n.s().cameraTarget);
  struct Case {
    const char* native;
    V value;
    ErrCode code;
  };
  const Case cases[] = {
      {"campos", {1, 2}, kErrBadSize},
      {"campos", {NAN, 0, 0}, kErrOutOfRangeArg},
      {"campos", target, kErrOutOfRangeArg},  // onto the target
      {"camup", {0, INFINITY, 0}, kErrOutOfRangeArg},
      {"camdolly", {1, 2}, kErrBadSize},
      {"camdolly", {0, NAN, 0}, kErrOutOfRangeArg},
      {"camzoom", {0}, kErrOutOfRangeArg},
      {"camzoom", {-2}, kErrOutOfRangeArg},
      {"camzoom", {INFINITY}, kErrOutOfRangeArg},
      {"camva", {180}, kErrOutOfRangeArg},
      {"camva", {-1}, kErrOutOfRangeArg},
      {"camroll", {NAN}, kErrOutOfRangeArg},
      {"camorbit", {INFINITY}, kErrOutOfRangeArg},
      {"camzoom", {1, 2}, kErrNonScalarArg},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(n.Row(c.value).Run(c.native), c.code) << c.native;
    EXPECT_EQ(n.Camera(), before) << c.native;
  }
  EXPECT_EQ(n.Row({0}).Row({NAN}).Run("campan"), kErrOutOfRangeArg);
  EXPECT_EQ(n.Text("sideways").Run("campos"), kErrUnknownOpt);
  EXPECT_EQ(n.Text("x").Run("camproj"), kErrUnknownOpt);
  EXPECT_EQ(n.Row({1}).Run("camproj"), kErrWrongTypeOverload);
  EXPECT_EQ(n.Camera(), before);
  // The camera target moved onto the position fails as well.
  EXPECT_EQ(n.Row(n.Field(n.s().cameraPosition)).Run("camtarget"), kErrOutOfRangeArg);
  EXPECT_EQ(n.Camera(), before);
}

TEST(SceneNatives, CameraMovesNeedAFigureContext) {
  Scene n;
  ASSERT_EQ(n.Close(), kOk);
  EXPECT_EQ(n.Row({2}).Run("camzoom"), kErrBadContext);
}

}  // namespace
}  // namespace vke
