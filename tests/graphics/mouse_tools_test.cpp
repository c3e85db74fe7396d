// The figure modes as tools: 2-D, 3-D and control-panel subplots, the
// cursor of each tool, the status texts and their copy, and the resize
// corners of selected subplots.
#include "graphics/mouse_tools.hpp"

#include <gtest/gtest.h>

#include <string>

#include "figure_fixture.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

using test::EmptyFigure;

TEST(MouseTools, EachSubplotKindMapsTheModes) {
  SubplotRecord s{};
  s.transformValid = 1;
  for (int32_t mode = kModeManipulate; mode <= kModeSelect; ++mode) {
    EXPECT_EQ(GetEffectiveTool(mode, false, s), mode);
  }
  s.is3d = 1;
  s.orthographic = 1;
  EXPECT_EQ(GetEffectiveTool(kModeZoomX, false, s), kToolZoom);
  s.orthographic = 0;
  EXPECT_EQ(GetEffectiveTool(kModeZoomX, false, s), kToolDollyForward);
  EXPECT_EQ(GetEffectiveTool(kModeZoom, false, s), kToolZoom);
  EXPECT_EQ(GetEffectiveTool(kModeDrag, false, s), kToolOrbit);
  EXPECT_EQ(GetEffectiveTool(kModeDrag, true, s), kToolDollyLateral);
  EXPECT_EQ(GetEffectiveTool(kModeSelect, false, s), kToolSelect);
  // A control panel has no transform.
  s.transformValid = 0;
  EXPECT_EQ(GetEffectiveTool(kModeZoom, false, s), kToolManipulate);
  EXPECT_EQ(GetEffectiveTool(kModeSelect, false, s), kToolSelect);
}

TEST(MouseTools, CursorOfEachTool) {
  auto fig = EmptyFigure(1, 1);
  SubplotRecord* s = &fig->subplots[0];
  const double x[] = {0, 10}, y[] = {0, 10};
  UpdateAutoLimits(s, x, y, nullptr, 2);
  struct Row {
    int32_t tool, plain, shifted;
  };
  const Row rows[] = {
      {kToolZoom, 2, 3},           {kToolZoomX, 4, 5},         {kToolDrag, 6, 7},
      {kToolSelect, 8, 8},         {kToolZoomCamera, 0, 0},    {kToolMoveCloser, 0, 0},
      {kToolOrbit, 9, 10},         {kToolPanTilt, 12, 12},     {kToolRoll, 11, 11},
      {kToolDollyLateral, 13, 13}, {kToolDollyForward, 14, 14}};
  for (const Row& r : rows) {
    EXPECT_EQ(ToolCursor(r.tool, false, s), r.plain) << r.tool;
    EXPECT_EQ(ToolCursor(r.tool, true, s), r.shifted) << r.tool;
  }
  // No zooming along x with equal scales.
  s->scaleKind = kScaleEqual;
  EXPECT_EQ(ToolCursor(kToolZoomX, false, s), kCursorNone);
}

TEST(MouseTools, StatusTextsAndTheirCopy) {
  auto fig = EmptyFigure(1, 2);
  const double x[] = {0, 10}, y[] = {0, 10};
  for (int k = 0; k < 2; ++k) {
    UpdateAutoLimits(&fig->subplots[k], x, y, nullptr, 2);
    fig->subplots[k].handlers[kHandlerDraw] = 4;
  }
  const double* v = fig->subplots[1].viewport;
  const double cx = (v[kLeft] + v[kRight]) / 2, cy = (v[kTop] + v[kBottom]) / 2;
  EXPECT_STREQ(FigureStatusText(fig.get(), kModeDrag, cx, cy, false),
               "Drag (hold down the Shift key to drag along x axis)");
  EXPECT_STREQ(FigureStatusText(fig.get(), kModeZoomX, cx, cy, true),
               "Zoom along x axis (hold down the Shift key to zoom out)");
  fig->subplots[1].is3d = 1;
  fig->subplots[1].orthographic = 0;
  EXPECT_STREQ(FigureStatusText(fig.get(), kModeZoomX, cx, cy, true),
               "Make camera dolly forward (fixed target)");
  EXPECT_STREQ(FigureStatusText(fig.get(), kModeZoomX, cx, cy, false), "Make camera dolly forward");
  fig->subplots[1].handlers[kHandlerDraw] = kNoHandler;
  EXPECT_EQ(FigureStatusText(fig.get(), kModeDrag, cx, cy, false), nullptr);
  EXPECT_EQ(FigureStatusText(fig.get(), kModeDrag, -50, -50, false), nullptr);
  // Select in free layout: a corner of a selected subplot just outside it.
  fig->freeLayout = 1;
  fig->selection = 1;
  const double* p = fig->subplots[0].position;
  EXPECT_STREQ(FigureStatusText(fig.get(), kModeSelect, p[kLeft] - 2, p[kTop] - 2, false),
               "Resize");

  const char* text = "Orbit around target";
  char buffer[8];
  EXPECT_EQ(CopyStatusText(text, buffer, 8, nullptr), 7);
  EXPECT_STREQ(buffer, "Orbit a");
  int32_t length = -1;
  std::string out(8, 'x');
  EXPECT_EQ(CopyStatusText(text, out.data(), 8, &length), 8);
  EXPECT_EQ(length, 8);
  EXPECT_EQ(out, "Orbit ar");
}

TEST(MouseTools, ResizeCornersOfSelectedSubplots) {
  auto fig = EmptyFigure(1, 2);
  for (int k = 0; k < 2; ++k) SetRect(fig->subplots[k].position, 100, 300, 50, 250);
  int32_t k = -1, corner = -1;
  EXPECT_FALSE(HitTestResizeCorner(*fig, 97, 53, &k, &corner));  // nothing selected
  EXPECT_EQ(corner, kCornerNone);
  fig->selection = 0b11;
  ASSERT_TRUE(HitTestResizeCorner(*fig, 97, 53, &k, &corner));
  EXPECT_EQ(corner, kCornerTopLeft);
  EXPECT_EQ(k, 1);  // the higher index wins
  EXPECT_FALSE(HitTestResizeCorner(*fig, 96.99, 53, &k, &corner));
  ASSERT_TRUE(HitTestResizeCorner(*fig, 301, 249, &k, &corner));
  EXPECT_EQ(corner, kCornerBottomRight);
  fig->selection = 0b01;
  ASSERT_TRUE(HitTestResizeCorner(*fig, 300, 50, &k, &corner));
  EXPECT_EQ(corner, kCornerTopRight);
  EXPECT_EQ(k, 0);
  EXPECT_EQ(FindSubplotAt(*fig, 300, 50, true), kNoSubplot);  // right edge excluded
  EXPECT_EQ(FindSubplotAt(*fig, 100, 50, true), 1);
}

}  // namespace
}  // namespace vke
