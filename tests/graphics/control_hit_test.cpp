// The control and sensor routines: button edges, slider values (an empty
// range among them), button rows and pop-up menus through the hit test and
// the drag, the root-locus gain, and 3-D sensors against closed forms.
#include "graphics/control_hit.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

#include "decoration_fixture.hpp"
#include "graphics/camera.hpp"
#include "hit_fixture.hpp"

namespace vke {
namespace {

using test::CommandList;
using test::HitCanvas;
using test::Join;
using test::Packed;
using V = std::vector<double>;

TEST(ControlHit, ButtonEdgesShareTheRowUntilEightyUnitsEach) {
  EXPECT_DOUBLE_EQ(ButtonEdge(0, 1000, 3, nullptr, 0, 1), 1000.0 / 3);
  EXPECT_DOUBLE_EQ(ButtonEdge(0, 1000, 3, nullptr, 0, 3), 1000);
  EXPECT_DOUBLE_EQ(ButtonEdge(0, 1000, 20, nullptr, 0, 2), 160);
  // Tab positions, extended by their last spacing.
  const double tabs[] = {30, 70};
  EXPECT_DOUBLE_EQ(ButtonEdge(10, 1000, 5, tabs, 2, 2), 80);
  EXPECT_DOUBLE_EQ(ButtonEdge(10, 1000, 5, tabs, 2, 5), 10 + 70 + 3 * 40);
  EXPECT_EQ(FindButtonAt(500, 0, 1000, 3, nullptr, 0), 1);
  EXPECT_EQ(FindButtonAt(-1, 0, 1000, 3, nullptr, 0), -1);
  EXPECT_EQ(FindButtonAt(1700, 0, 1000, 20, nullptr, 0), -1);
}

TEST(ControlHit, SliderValuesAndAnEmptyRange) {
  const double values[] = {1};
  SliderSpec log{{0, 100, 0, 10}, values, 1, 1, 100, true};
  EXPECT_NEAR(SliderValueAt(log, 50), 10, 1e-12);
  EXPECT_DOUBLE_EQ(SliderValueAt(log, 500), 100);  // clamped
  // min = max, or an empty track: the minimum wherever the pointer is.
  for (double along : {-100.0, 0.0, 37.0, 1e9}) {
    EXPECT_EQ(SliderValueAt({{0, 100, 0, 10}, values, 1, 3, 3, false}, along), 3);
    EXPECT_EQ(SliderValueAt({{0, 100, 0, 10}, values, 1, 3, 3, true}, along), 3);
    EXPECT_EQ(SliderValueAt({{50, 50, 0, 10}, values, 1, 0, 9, false}, along), 0);
  }
}

TEST(ControlHit, CheckBoxesToggleTheirBit) {
  ButtonRowSpec row{{0, 300, 0, 20}, 3, nullptr, 0, 2, kButtonCheck, 5};
  EventState hit{};
  ASSERT_TRUE(ButtonRowHit(250, 10, row, 7, 1, true, &hit));
  EXPECT_EQ(hit.x, 7);
  EXPECT_EQ(hit.x0, 5);
  EXPECT_EQ(hit.flags, kHitItemSet);
  EXPECT_FALSE(ButtonRowHit(50, 10, row, 7, 1, true, &hit));  // the label
  // A drag away from a pressed push button clears its pressed state.
  row.kind = kButtonPush;
  ASSERT_TRUE(ButtonRowHit(150, 10, row, 7, 1, true, &hit));
  EXPECT_EQ(hit.flags, kHitButtonPressed);
  ButtonRowHit(250, 10, row, 7, 1, false, &hit);
  EXPECT_EQ(hit.flags & kHitPressedUnderPointer, 0u);
  ButtonRowHit(150, 10, row, 7, 1, false, &hit);
  EXPECT_NE(hit.flags & kHitPressedUnderPointer, 0u);
}

// A slider of a control panel on 100..300 across `low` .. low + 20.
V Slider(double lo, double hi, double value, double low) {
  return {lo, hi, -1, 100, 300, low, low + 20, 1, value, 0, 0};
}

TEST(ControlHit, ControlRowsThroughTheHitTestAndTheDrag) {
  HitCanvas c;
  c.subplot().transformValid = 0;
  const std::string text = "row\tone\ttwo";
  c.Store(
      CommandList()
          .Begin(0)
          .Add(kCmdFirstSlider, Slider(0, 10, 5, 40), 0, 0, 3, 1)
          .Add(kCmdLastSlider, Slider(4, 4, 4, 240), 0, 0, 3, 2)
          .Add(kCmdPushButton, Join({0, 3, 90, 110, double(text.size())}, Packed(text)), 8, 0, 5, 1)
          .Add(kCmdPopupMenu, {2, -1, 3, 0, 0, 100, 200, 140, 160}, 8, 0, 6, 0)
          .Add(kCmdTextField, {100, 300, 190, 210, -1, 0, 0}, 8, 0, 9, 1));
  ASSERT_TRUE(c.Hit(150, 50));
  EXPECT_EQ(c.event.flags, kHitSliderPicked);  // x and y are not the pointer's
  EXPECT_EQ(c.event.x, 5);
  EXPECT_EQ(c.subplot().dragId, 3);
  EXPECT_EQ(c.subplot().dragValue[1], 10);
  c.event.flags &= ~kEventX;
  ASSERT_TRUE(UpdateControlFromDrag(c.View(), 0, &c.subplot(), 250, 80, 1, &c.event));
  EXPECT_DOUBLE_EQ(c.event.x, 7.5);
  EXPECT_EQ(c.event.x0, 5);
  EXPECT_EQ(c.event.dragPixel[0], 250);
  // A slider without a range gives its minimum.
  c.event.nb = 2;
  ASSERT_TRUE(UpdateControlFromDrag(c.View(), 0, &c.subplot(), 170, 80, 1, &c.event));
  EXPECT_EQ(c.event.x, 4);

  // Three columns of 200 units: button "two" holds 400..600.
  ASSERT_TRUE(c.Hit(450, 100));
  EXPECT_EQ(c.event.flags, kHitButtonPressed);
  EXPECT_EQ(c.event.ix, 2);
  ASSERT_TRUE(UpdateControlFromDrag(c.View(), 0, &c.subplot(), 450, 100, 1, &c.event));
  EXPECT_EQ(c.event.flags & (kEventActsOnRelease | kHitPressedUnderPointer),
            kEventActsOnRelease | kHitPressedUnderPointer);

  // A press on the pop-up opens it; dragging two rows down picks item 3 of 3.
  HitTestEffects effects;
  ASSERT_TRUE(c.Hit(150, 150, false, true, &effects));
  EXPECT_TRUE(effects.popupOpened);
  EXPECT_EQ(c.event.flags, kHitPopupPicked);
  EXPECT_EQ(c.event.x, 2);
  ASSERT_TRUE(UpdateControlFromDrag(c.View(), 0, &c.subplot(), 150, 190, 1, &c.event));
  EXPECT_EQ(c.event.x, 3);
  // The second point the drag marks valid is that item, not the slider's
  // value of the earlier gesture.
  EXPECT_TRUE(c.event.flags & kHitValueChanged);
  EXPECT_EQ(c.event.x1, 3);

  // A press on the text field starts editing it with the whole text selected.
  ASSERT_TRUE(c.Hit(200, 200, false, true));
  EXPECT_EQ(c.event.id, 9);
  EXPECT_EQ(c.fig->editField, 0);
  EXPECT_EQ(c.fig->caretEnd, 32000);
}

// Where the row's drawing puts the text of button "two": one unit right
// and down while it is pressed.
std::pair<double, double> ButtonTextAt(HitCanvas& c) {
  c.rec.Clear();
  uint32_t offset = 0;
  DrawSubplotGroup(c.View(), &offset, false);
  for (const PortCall& call : test::CallsOf(c.rec, PortSlot::drawText)) {
    if (call.text == "two") return {call.values[0], call.values[1]};
  }
  return {NAN, NAN};
}

TEST(ControlHit, AHeldPushButtonLooksPressedWhileThePointerIsOnIt) {
  HitCanvas c;
  c.subplot().transformValid = 0;
  const std::string text = "row\tone\ttwo";
  c.Store(CommandList().Begin(0).Add(
      kCmdPushButton, Join({0, 3, 90, 110, double(text.size())}, Packed(text)), 8, 0, 5, 1));
  // Drawn once, the row is laid out where its text stands.
  const auto raised = ButtonTextAt(c);
  const auto [x, y] = raised;
  ASSERT_TRUE(c.Hit(x, y));
  bool shown = false;
  ASSERT_TRUE(UpdateControlFromDrag(c.View(), 0, &c.subplot(), x, y, 1, &c.event, &shown));
  EXPECT_TRUE(shown);
  const auto pressed = ButtonTextAt(c);
  EXPECT_EQ(pressed.first, x + 1);
  EXPECT_EQ(pressed.second, y + 1);
  // Held still: nothing to paint again.
  shown = false;
  ASSERT_TRUE(UpdateControlFromDrag(c.View(), 0, &c.subplot(), x + 5, y, 1, &c.event, &shown));
  EXPECT_FALSE(shown);
  // Off the button it rises, and back on it it is pressed again.
  ASSERT_TRUE(UpdateControlFromDrag(c.View(), 0, &c.subplot(), x - 150, y, 1, &c.event, &shown));
  EXPECT_TRUE(shown);
  EXPECT_EQ(ButtonTextAt(c), raised);
  ASSERT_TRUE(UpdateControlFromDrag(c.View(), 0, &c.subplot(), x, y, 1, &c.event, &shown));
  EXPECT_EQ(ButtonTextAt(c), pressed);
}

TEST(ControlHit, AControlWithoutLayoutEndsTheWalk) {
  HitCanvas c;
  c.subplot().transformValid = 0;
  c.Store(CommandList().Begin(0).Add(kCmdFirstSlider, {0, 1, -1, 0, 0, 0, 0, 0}, 0, 0, 3, 1));
  EXPECT_FALSE(c.Hit(10, 10));
}

TEST(ControlHit, TheRootLocusGainAtThePointer) {
  // 1 / (s (s + 2)): closed-loop poles -1 +- j sqrt(K - 1), so the point
  // -1 + 2j lies on the locus at K = 5.
  HitCanvas c;
  c.Store(CommandList().Begin(0).Add(kCmdLastSystem, {0, 2, 1, 1, 2, 0}, 0, 0, 4, 1));
  EventState hit{};
  hit.id = 4;
  ASSERT_TRUE(UpdateControlFromDrag(c.View(), 0, &c.subplot(), -1, 2, 1, &hit));
  EXPECT_NEAR(hit.x, 5, 1e-12);
}

// A camera looking down the z axis: pixel (X, Y) shows data (X, Y, any z).
SubplotRecord Camera(bool orthographic) {
  SubplotRecord s{};
  s.is3d = 1;
  s.orthographic = orthographic;
  s.xFactor = s.yFactor = 1;
  for (double& a : s.inverseAspect) a = 1;
  s.rightAxis[0] = s.trueUp[1] = s.backAxis[2] = 1;
  s.depthTerm = -10;  // perspective: depth z - 10, in front below z = 10
  s.cameraPosition[2] = 100;
  return s;
}

TEST(SensorDrag, PointsStayOnTheirPlaneUnderThePointer) {
  for (bool ortho : {true, false}) {
    const SubplotRecord s = Camera(ortho);
    const double point[3] = {1, 2, 3}, normal[3] = {1, 0, 1};
    EventState hit{};
    ASSERT_TRUE(PointSensorDrag(s, 0.2, 0.5, point, normal, &hit));
    EXPECT_NEAR(hit.x1 + hit.z1, 4, 1e-12);
    double X, Y, w;
    ProjectPoint(s, hit.x1, hit.y1, hit.z1, true, &X, &Y, &w);
    EXPECT_NEAR(X, 0.2, 1e-12);
    EXPECT_NEAR(Y, 0.5, 1e-12);
    // A plane seen edge on moves nothing.
    const double edgeOn[3] = {1, 0, 0};
    EXPECT_FALSE(PointSensorDrag(Camera(true), 5, 5, point, edgeOn, &hit));
  }
}

TEST(SensorDrag, SpheresAndRaysMeetWhereExpected) {
  const double centre[3] = {0, 0, 0}, grabbed[3] = {0, 0, 5};
  EventState hit{};
  ASSERT_TRUE(SphereSensorDrag(Camera(true), 3, 0, centre, grabbed, &hit));
  EXPECT_NEAR(hit.x1, 3, 1e-12);
  EXPECT_NEAR(hit.z1, 4, 1e-12);  // the side toward the camera
  EXPECT_NEAR(hit.q[1], std::atan2(4, 3), 1e-12);

  double az = 0, el = 0;
  const double down[3] = {0, 0, -1}, top[3] = {0, 0, 10};
  ASSERT_TRUE(RayToAngles(top, down, 2, &az, &el));
  EXPECT_NEAR(el, M_PI / 2, 1e-12);
  const double east[3] = {1, 0, 0}, west[3] = {-10, 0, 0}, northWest[3] = {-10, 5, 0};
  ASSERT_TRUE(RayToAngles(west, east, 1, &az, &el));
  EXPECT_NEAR(az, M_PI, 1e-12);
  ASSERT_TRUE(RayToAngles(northWest, east, 1, &az, &el));  // misses: nearest point
  EXPECT_NEAR(az, M_PI / 2, 1e-12);
  const double none[3] = {0, 0, 0};
  EXPECT_FALSE(RayToAngles(west, none, 1, &az, &el));
}

}  // namespace
}  // namespace vke
