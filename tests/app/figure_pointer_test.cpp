// The cursor code under the pointer: outside the subplots, without draw
// handler, each mode's tool, manipulate over plots and control panels with
// and without objects.
#include "app/figure_pointer.hpp"

#include <gtest/gtest.h>

#include "graphics/scale.hpp"
#include "tests/app/figure_app.hpp"
#include "tests/graphics/command_list.hpp"

namespace vke {
namespace {

using test::CommandList;
using test::FigureApp;

struct Pointer : FigureApp {
  Pointer() : FigureApp(1, 2) {
    const double x[] = {0, 10}, y[] = {0, 10};
    for (int32_t k = 0; k < 2; ++k) {
      UpdateAutoLimits(&subplot(k), x, y, nullptr, 2);
      subplot(k).handlers[kHandlerDraw] = 4;
    }
    block()->cursor = 0;
    block()->eventSubplot = -1;
  }
  // The centre of subplot k's viewport.
  int32_t At(int32_t k, bool shift = false) {
    const double* v = subplot(k).viewport;
    return HitTestForCursor(block(), 0, (v[kLeft] + v[kRight]) / 2, (v[kTop] + v[kBottom]) / 2,
                            shift);
  }
  void Store(const CommandList& commands) {
    const ObjectList list(block()->DataArea());
    ObjectWriterState& w = block()->capture;
    BeginObjectListCapture(list, &w, 0, true);
    for (double v : commands.d) list.Set(w.start + w.used++, v);
    ASSERT_EQ(EndObjectListCapture(list, &w), kOk);
  }
};

TEST(FigurePointer, TheToolOfEachModeGivesItsCursor) {
  Pointer p;
  EXPECT_EQ(HitTestForCursor(p.block(), 7, 1, 1, false), kKvNonexistentInstance);
  EXPECT_EQ(HitTestForCursor(p.block(), 0, -10, -10, false), kCursorNone);
  p.block()->figureMode = kModeZoom;
  EXPECT_EQ(p.At(1), kCursorZoomIn);
  EXPECT_EQ(p.At(1, true), kCursorZoomOut);
  p.block()->figureMode = kModeDrag;
  EXPECT_EQ(p.At(0, true), kCursorDragX);
  // Without a draw handler only selection shows.
  p.subplot(0).handlers[kHandlerDraw] = kNoHandler;
  EXPECT_EQ(p.At(0), kCursorNone);
  p.block()->figureMode = kModeSelect;
  EXPECT_EQ(p.At(0), kCursorSelect);
  SetInteractiveHighlight(p.block(), 1);
  EXPECT_EQ(p.block()->interactiveHighlight, 1);
  EXPECT_EQ(GetFigureMode(p.block()), kModeSelect);
}

TEST(FigurePointer, ManipulateNeedsMouseHandlersAndSomethingToHit) {
  Pointer p;
  EXPECT_EQ(GetFigureMode(p.block()), kModeManipulate);
  EXPECT_EQ(p.At(0), kCursorNone);  // no mouse handler
  p.subplot(0).handlers[kHandlerMouseUp] = 8;
  EXPECT_EQ(p.At(0), kCursorManipulate);
  p.block()->eventSubplot = 0;  // its handler ran last
  EXPECT_EQ(p.At(0), kCursorNone);

  // A control panel: no objects, then objects missed, then hit.
  p.subplot(0).transformValid = 0;
  EXPECT_EQ(p.At(0), kCursorNoObject);
  const double* v = p.subplot(0).viewport;
  const double cx = (v[kLeft] + v[kRight]) / 2, cy = (v[kTop] + v[kBottom]) / 2;
  p.Store(CommandList().Begin(0).Add(kCmdTextField, {cx - 50, cx + 50, cy + 100, cy + 120}, 8, 0, 3,
                                     1));
  p.subplot(0).scaleState[kAxisY] = 0;
  EXPECT_EQ(p.At(0), kCursorNone);
  p.subplot(0).scaleState[kAxisY] = kScaleReleased;  // a scrolling panel
  EXPECT_EQ(p.At(0), kCursorDrag);
  p.Store(
      CommandList().Begin(0).Add(kCmdTextField, {cx - 50, cx + 50, cy - 10, cy + 10}, 8, 0, 3, 1));
  EXPECT_EQ(p.At(0), kCursorManipulate);
  EXPECT_EQ(p.block()->cursor, 1u);
}

}  // namespace
}  // namespace vke
