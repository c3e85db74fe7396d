// Figure menu states and commands over the selected subplots: scale kinds
// (with both bits of an axis asked at once), locked scales, plot changes in
// grids and free layouts, and stepping through the plots.
#include "graphics/figure_menu.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "figure_fixture.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

using test::EmptyFigure;
using test::LoggingHost;
using test::PlotList;
using Calls = std::vector<std::string>;

TEST(FigureMenu, ScaleStateAggregatesTheSelection) {
  auto fig = EmptyFigure(1, 3);
  fig->selection = 0b011;
  fig->subplots[0].scaleKind = kScaleLogX | kScaleLogY;
  fig->subplots[0].applicableScaleKinds = 0x100003;
  fig->subplots[1].scaleKind = kScaleLogX;
  fig->subplots[1].applicableScaleKinds = 0x10;
  fig->subplots[2].scaleKind = kScaleEqual;  // not selected
  MenuBits bits = GetScaleMenuState(*fig);
  EXPECT_EQ(bits.checked, kScaleLogX);
  EXPECT_EQ(bits.mixed, kScaleLogY);
  EXPECT_EQ(bits.enabled, 0x100013u);
  fig->flags = 16;
  EXPECT_EQ(GetScaleMenuState(*fig).enabled, 0x13u);
  fig->selection = 0;
  bits = GetScaleMenuState(*fig);
  EXPECT_EQ(bits.checked | bits.enabled | bits.mixed, 0u);
}

TEST(FigureMenu, TogglingBothBitsOfAnAxisKeepsTheOneTheSubplotHas) {
  auto fig = EmptyFigure(1, 4);
  fig->selection = 0b1111;
  const uint32_t kinds[4] = {0, kScaleLogX2, kScaleDbY, 0};
  for (int k = 0; k < 4; ++k) {
    fig->subplots[k].scaleKind = kinds[k];
    fig->subplots[k].applicableScaleKinds = 0x1B;
  }
  fig->subplots[3].applicableScaleKinds = kScaleLogY;  // log x may not change here
  LoggingHost host;
  ASSERT_EQ(ToggleScaleKind(fig.get(), host, 0x1B, 0x1B), kOk);
  EXPECT_EQ(fig->subplots[0].scaleKind, kScaleLogX | kScaleLogY);
  EXPECT_EQ(fig->subplots[1].scaleKind, kScaleLogX2 | kScaleLogY);
  EXPECT_EQ(fig->subplots[2].scaleKind, kScaleLogX | kScaleDbY);
  EXPECT_EQ(fig->subplots[3].scaleKind, kScaleLogY);
  EXPECT_EQ(host.calls, (Calls{"undo", "draw"}));
  // Off again: every bit of the mask that may change.
  ASSERT_EQ(ToggleScaleKind(fig.get(), host, 0x1B, 0), kOk);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(fig->subplots[k].scaleKind, 0u) << k;
}

TEST(FigureMenu, LockedScalesCountSubplotsWithPlotAndTransform) {
  auto fig = EmptyFigure(1, 3);
  fig->selection = 0b111;
  for (int k = 0; k < 3; ++k) SetFixedLimits(&fig->subplots[k], 0, 1, 0, 1);
  fig->subplots[0].handlers[kHandlerDraw] = 7;
  fig->subplots[1].handlers[kHandlerDraw] = 9;
  ReleaseScales(&fig->subplots[1]);
  bool mixed = false;
  EXPECT_FALSE(GetLockedScaleState(*fig, false, &mixed));
  EXPECT_TRUE(mixed);
  EXPECT_TRUE(CanLockScale(*fig, false));
  LoggingHost host;
  ASSERT_EQ(ToggleLockedScale(fig.get(), host, false), kOk);
  EXPECT_TRUE(GetLockedScaleState(*fig, false, &mixed));
  EXPECT_FALSE(mixed);
  ASSERT_EQ(ToggleLockedScale(fig.get(), host, false), kOk);
  EXPECT_FALSE(IsScaleLocked(fig->subplots[0]));
  EXPECT_TRUE(IsScaleLocked(fig->subplots[2]));  // no draw handler: not counted
  EXPECT_FALSE(GetLockedScaleState(*fig, true, &mixed));
  EXPECT_TRUE(mixed);
  fig->subplots[0].transformValid = fig->subplots[1].transformValid = 0;
  EXPECT_FALSE(CanLockScale(*fig, false));
}

TEST(FigureMenu, PlotChangesInAGrid) {
  PlotList list({"a", "b"});
  LoggingHost host(list.View());
  auto fig = EmptyFigure(2, 2);
  fig->selection = 0b0110;
  ASSERT_EQ(ChangeSubplotPlot(fig.get(), host, list.plots[1]), kOk);
  EXPECT_EQ(fig->subplots[1].plotId, list.plots[1]);
  EXPECT_EQ(fig->subplots[2].plotId, list.plots[1]);
  EXPECT_EQ(fig->subplots[0].plotId, kPlotNone);
  EXPECT_GE(fig->subplots[1].handlers[kHandlerDraw], 0);
  // Removing the plot leaves the subplots without a draw handler.
  ASSERT_EQ(ChangeSubplotPlot(fig.get(), host, kNoSubplot), kOk);
  EXPECT_EQ(fig->subplots[2].handlers[kHandlerDraw], kNoHandler);
}

TEST(FigureMenu, PlotChangesInAFreeLayoutAddAndDeleteSubplots) {
  PlotList list({"a", "b"});
  LoggingHost host(list.View());
  auto fig = EmptyFigure(2, 1);
  fig->freeLayout = 1;
  SetSubplotViewport(&fig->subplots[0], 10, 110, 20, 120);
  fig->springs[0].stiffness[kSpringSize] = 0.25;
  fig->selection = 0b01;
  ASSERT_EQ(ChangeSubplotPlot(fig.get(), host, list.plots[0]), kOk);
  ASSERT_EQ(fig->rows, 3);
  const SubplotRecord& added = fig->subplots[2];
  EXPECT_EQ(added.plotId, list.plots[0]);
  EXPECT_EQ(std::vector<double>(added.position, added.position + 4),
            (std::vector<double>{10, 110, 20, 120}));
  EXPECT_EQ(fig->springs[2].stiffness[kSpringSize], 0.25);
  // Deleting the selected one.
  ASSERT_EQ(ChangeSubplotPlot(fig.get(), host, kNoSubplot), kOk);
  EXPECT_EQ(fig->rows, 2);
  EXPECT_EQ(fig->subplots[1].plotId, list.plots[0]);
  // A full free layout takes no more.
  fig->maxSubplots = 2;
  EXPECT_EQ(ChangeSubplotPlot(fig.get(), host, list.plots[1]), kErrExhaustedRsrc);
  EXPECT_EQ(fig->rows, 2);
}

TEST(FigureMenu, SteppingThroughThePlotsWraps) {
  PlotList list({"a", "b", "c"});
  auto fig = EmptyFigure(1, 1);
  LoggingHost host(list.View());
  EXPECT_EQ(SteppedPlot(*fig, host, 1), list.plots[0]);  // no plot yet
  EXPECT_EQ(SteppedPlot(*fig, host, -1), list.plots[2]);
  fig->subplots[0].plotId = list.plots[1];
  EXPECT_EQ(SteppedPlot(*fig, host, 1), list.plots[2]);
  EXPECT_EQ(SteppedPlot(*fig, host, -1), list.plots[0]);
  fig->subplots[0].plotId = list.plots[2];
  EXPECT_EQ(SteppedPlot(*fig, host, 1), list.plots[0]);
  fig->subplots[0].plotId = list.plots[0];
  EXPECT_EQ(SteppedPlot(*fig, host, -1), list.plots[2]);
  auto grid = EmptyFigure(1, 2);
  EXPECT_EQ(SteppedPlot(*grid, host, 1), kNoSubplot);
  PlotList none({});
  LoggingHost empty(none.View());
  EXPECT_EQ(SteppedPlot(*fig, empty, 1), kNoSubplot);
}

TEST(FigureMenu, ViewCommandsAndTheZoomChangeTheProjection) {
  auto fig = EmptyFigure(1, 2);
  fig->selection = 0b01;
  SubplotRecord& s = fig->subplots[0];
  s.is3d = 1;
  const double x[2] = {0, 1};
  UpdateAutoLimits(&s, x, x, x, 2);
  const double orthographicFactor = s.xFactor;
  LoggingHost host;
  ASSERT_EQ(SetPerspectiveView(fig.get(), host, true), kOk);
  EXPECT_FALSE(s.orthographic);
  EXPECT_GT(s.xFactor, orthographicFactor);  // times the camera distance
  ASSERT_EQ(SetCameraViewFlag(fig.get(), host, kViewAutoPosition, false), kOk);
  EXPECT_FALSE(s.viewFlags & kViewAutoPosition);
  const double perspectiveFactor = s.xFactor;
  ZoomRect(&s, 100, 100, 100, 100);  // a click zooms the camera by 2
  EXPECT_NEAR(s.xFactor, 2 * perspectiveFactor, 1e-9);
  ZoomOut(&s, 100, 100);
  EXPECT_NEAR(s.xFactor, perspectiveFactor, 1e-9);
}

}  // namespace
}  // namespace vke
