// The tools other than manipulate: the figure modes, the zoom rectangle
// drawn by inversion and the zoom of the subplots that follow the press,
// moving subplots in a grid and resizing them in a free layout, and the
// camera tools of a 3-D subplot.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/draw_cycle.hpp"
#include "app/figure_commands.hpp"
#include "app/figure_mouse.hpp"
#include "app/figure_variables.hpp"
#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "engine/room_requests.hpp"
#include "graphics/camera.hpp"
#include "graphics/camera_drag.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/mouse_tools.hpp"
#include "graphics/port_recording.hpp"
#include "graphics/saved_figure.hpp"
#include "graphics/scale.hpp"
#include "tests/app/mouse_app.hpp"

namespace vke {
namespace {

using test::MouseApp;

// The layout comes as a VKE expression.
std::string Source(const std::string& layout) {
  return "function start()\n  subplots(" + layout + R"();
function flat()
  scale([0 1 0 1]);
  plot([0.1 0.9], [0.1 0.9], 'o', 1);
function solid()
  plot3([0 1], [0 1], [0 1], 'o', 2);
function out()
  fprintf('out\n');
)";
}

// Plots "a" to "f" (2-D, with a "mouseout" handler) and "s" (3-D) laid out
// as the expression gives.
struct Plots : MouseApp {
  explicit Plots(const std::string& layout) : MouseApp({}, Source(layout)) {
    list.Handler(kElemInit, {Fn("start")});
    for (const char* name : {"a", "b", "c", "d", "e", "f"}) {
      Plot(name, {Fn("flat")});
      Mouse(kElemMouseOut, {Fn("out")});
    }
    Plot("s", {Fn("solid")});
    Start();
  }
  // The middle of subplot k's viewport.
  double MidX(int32_t k) { return (subplot(k).viewport[kLeft] + subplot(k).viewport[kRight]) / 2; }
  double MidY(int32_t k) { return (subplot(k).viewport[kTop] + subplot(k).viewport[kBottom]) / 2; }
  // The plot shown by each subplot, as letters.
  std::string Shown() {
    std::string out;
    for (int32_t k = 0; k < ActiveSubplotCount(figure()); ++k) {
      for (size_t p = 0; p < plots.size(); ++p) {
        if (plots[p] == subplot(k).plotId) out += "abcdefs"[p];
      }
    }
    return out;
  }
};

TEST(FigureModes, CameraModesAreStoredAsTheirFigureModes) {
  Plots a("'a'");
  EXPECT_EQ(a.block()->figureMode, 1u);
  for (const auto& [mode, stored] : {std::pair{7, 2}, {12, 4}, {6, 2}, {8, 4}, {5, 5}, {1, 1}}) {
    SetFigureMode(a.slot(), mode);
    EXPECT_EQ(a.block()->figureMode, static_cast<uint32_t>(stored)) << mode;
  }
}

TEST(FigureModes, LeavingManipulateEndsTheHoverOfEveryInstanceInOrder) {
  MouseApp a({}, Source("'a'") + "function other()\n  fprintf('second\\n');\n");
  a.list.Handler(kElemInit, {a.Fn("start")});
  a.Plot("a", {a.Fn("flat")}).Mouse(kElemMouseOut, {a.Fn("out")});
  // A second instance whose plot says who it is.
  a.list.Instance(1, "two.kv", a.host.library()).Text(kElemFigure, "a");
  const auto plot = static_cast<int32_t>(a.list.LastOffset());
  a.list.Handler(kElemDraw, {a.Fn("flat")}).Handler(kElemMouseOut, {a.Fn("other")});
  int32_t second = -1;
  ASSERT_EQ(CreateInstance(a.block(), &second), kOk);
  ASSERT_EQ(second, 1);
  a.Start();
  FigureState& other = FindInstance(a.block(), 1)->figure;
  SetRect(other.rect, 0, 200, 0, 100);
  ASSERT_EQ(SetSubplotLayout(&other, 1, 1), kOk);
  InstanceFigureHost host(a.block(), 1);
  ASSERT_EQ(ResetSubplots(&other, host, 0, 0, plot, true), kOk);
  a.host.Record()->hoveredSubplot = 0;
  FindInstance(a.block(), 1)->hoveredSubplot = 0;
  SetFigureMode(a.slot(), kModeManipulate);  // staying in mode 1 ends nothing
  EXPECT_EQ(a.Output(), "");
  SetFigureMode(a.slot(), 9);
  EXPECT_EQ(a.block()->figureMode, static_cast<uint32_t>(kModeDrag));
  EXPECT_EQ(a.Output(), "out\nsecond\n");
  EXPECT_EQ(a.host.Record()->hoveredSubplot, -1);
  EXPECT_EQ(FindInstance(a.block(), 1)->hoveredSubplot, -1);
}

// ---- Zoom ----

// Both subplots of "a" and "b" side by side, selected, in Zoom mode, with a
// recording port in place of the screen's.
struct Zoom : Plots {
  Zoom() : Plots("['a', char(9), 'b']") {
    EXPECT_EQ(SelectAllSubplots(block(), 0, true), kOk);
    SetFigureMode(slot(), kModeZoom);
    SetGraphicsPortFunctions(block(), &port.port());
    SetGraphicsPortTarget(block(), port.target());
    SetInteractionState(block(), &state);
  }
  std::vector<double> Focus() {
    std::vector<double> flags;
    for (const PortCall& c : port.calls()) {
      if (c.slot == PortSlot::drawFocusRect) flags.push_back(c.values[4]);
    }
    port.Clear();
    return flags;
  }
  RecordingPort port;
  InteractionState state;
};

TEST(ZoomTool, TheRectangleIsDrawnByInversionInEverySubplotThatFollows) {
  Zoom z;
  const double x0 = z.PixelX(0, 0.25), y0 = z.PixelY(0, 0.75);
  const double x1 = z.PixelX(0, 0.5), y1 = z.PixelY(0, 0.25);
  ASSERT_EQ(FigureMouseDown(z.slot(), 0, x0, y0, false), kOk);
  EXPECT_EQ(z.state.followMask, 0b11u);
  EXPECT_EQ(z.figure().selection, 0u);  // the marks go while the press lasts
  z.port.Clear();
  EXPECT_EQ(FigureMouseDrag(z.slot(), 0, x0 + 20, y0 + 20, false, nullptr, 0, nullptr), kOk);
  EXPECT_EQ(z.Focus(), (std::vector<double>{1, 1}));
  EXPECT_EQ(FigureMouseDrag(z.slot(), 0, x1, y1, false, nullptr, 0, nullptr), kOk);
  EXPECT_EQ(z.Focus(), (std::vector<double>{0, 0, 1, 1}));
  // Painted anew, the figure gets the rectangles back.
  DrawInstanceSubplots(z.block(), 0);
  EXPECT_EQ(z.Focus(), (std::vector<double>{1, 1}));
  // The release zooms both into the rectangle and selects them again.
  EXPECT_EQ(FigureMouseUp(z.slot(), 0, false), kStatusRepaint);
  for (int32_t k = 0; k < 2; ++k) {
    double xMin, xMax, yMin, yMax;
    GetViewportXRange(z.subplot(k), &xMin, &xMax);
    GetViewportYRange(z.subplot(k), &yMin, &yMax);
    EXPECT_NEAR(xMin, 0.25, 1e-9) << k;
    EXPECT_NEAR(xMax, 0.5, 1e-9) << k;
    EXPECT_NEAR(yMin, 0.25, 1e-9) << k;
    EXPECT_NEAR(yMax, 0.75, 1e-9) << k;
  }
  EXPECT_EQ(z.figure().selection, 0b11u);
  // Shift zooms out around the press point.
  ASSERT_EQ(FigureMouseDown(z.slot(), 0, z.MidX(0), z.MidY(0), true), kOk);
  EXPECT_EQ(FigureMouseUp(z.slot(), 0, true), kStatusRepaint);
  double xMin, xMax;
  GetViewportXRange(z.subplot(1), &xMin, &xMax);
  EXPECT_NEAR(xMax - xMin, 0.5, 1e-9);
}

TEST(ZoomTool, WithoutAFocusRectangleEveryMoveRepaints) {
  Zoom z;
  z.port.RemoveSlot(PortSlot::drawFocusRect);
  ASSERT_EQ(FigureMouseDown(z.slot(), 0, z.MidX(0), z.MidY(0), false), kOk);
  EXPECT_EQ(
      FigureMouseDrag(z.slot(), 0, z.MidX(0) + 30, z.MidY(0) + 30, false, nullptr, 0, nullptr),
      kStatusRepaint);
  EXPECT_EQ(z.Focus(), std::vector<double>{});
  // A subplot zoomed in to a twentieth of its span refuses to go further.
  SubplotRecord& s = z.subplot(0);
  SetFixedLimits(&s, 0, 0.04, 0, 0.04);
  ASSERT_EQ(FigureMouseUp(z.slot(), 0, false), kStatusRepaint);
  SetFixedLimits(&z.subplot(0), 0, 0.04, 0, 0.04);
  EXPECT_EQ(FigureMouseDown(z.slot(), 0, z.MidX(0), z.MidY(0), false), kStatusNothingDone);
  EXPECT_EQ(z.state.pressedSubplot, -1);
}

// ---- Select ----

TEST(SelectTool, MovingTwoCellsRightFillsTheCellTheyLeave) {
  for (const bool shift : {false, true}) {
    Plots p("['a', char(9), 'b', char(9), 'c', char(10), 'd', char(9), 'e', char(9), 'f']");
    SetFigureMode(p.slot(), kModeSelect);
    HeadlessFigureView& v = *p.view;
    const uint32_t held = kViewLeft | (shift ? uint32_t{kViewShift} : 0u);
    // Cell 0 selected by a click, cell 1 added with Shift, then the press
    // on cell 0 takes both.
    EXPECT_EQ(v.Press(p.MidX(0), p.MidY(0), false), kOk);
    EXPECT_EQ(v.Release(false), kOk);
    // The Shift-press only selects: it leaves no undo version behind.
    const int32_t version = UndoSetCurrentVersion(p.block()->UndoArea(), 0);
    EXPECT_EQ(v.Press(p.MidX(1), p.MidY(1), true), kStatusNothingDone);
    EXPECT_EQ(p.figure().selection, 0b11u);
    EXPECT_EQ(UndoSetCurrentVersion(p.block()->UndoArea(), 0), version);
    EXPECT_EQ(v.Press(p.MidX(0), p.MidY(0), false), kOk);
    // Within the cell only the outlines follow.
    EXPECT_EQ(v.Move(p.MidX(0) + 5, p.MidY(0), kViewLeft), kStatusRepaint);
    EXPECT_EQ(v.Move(p.MidX(0) + 9, p.MidY(0), held), kOk);
    EXPECT_EQ(p.Shown(), "abcdef");
    // Into the next cell: the plots move one column right.
    EXPECT_EQ(v.Move(p.MidX(1), p.MidY(1), held), kStatusRepaint);
    EXPECT_EQ(v.Release(false), kOk);
    EXPECT_EQ(p.Shown(), shift ? "aabdef" : "cabdef") << shift;
    EXPECT_EQ(p.figure().selection, 0b110u);
    // _pl holds the new order.
    const std::vector<double> pl = p.Values(kVarPl);
    ASSERT_EQ(pl.size(), size_t{kLayoutHeader + 6 * kGridEntry});
    for (int32_t k = 0; k < 6; ++k) {
      EXPECT_EQ(pl[kLayoutHeader + k * kGridEntry], p.subplot(k).plotId) << k;
    }
  }
}

// The figure's variables in every version of the instance, as bytes.
std::string FigureVersions(KVContextBlock* block) {
  std::string out;
  for (int32_t back = UndoSetCurrentVersion(block->UndoArea(), 0); back >= 0; --back) {
    for (const int32_t variable : {kVarPl, kVar3d, kVarPpl}) {
      uint32_t units = 0;
      void* data = nullptr;
      if (GetUndoValue(block->UndoArea(), 0, back, variable, &units, &data) != kOk) return "?";
      out +=
          std::to_string(units) + ":" + std::string(static_cast<char*>(data), data ? 8 * units : 0);
    }
  }
  return out;
}

// Moving cells and undoing the move with a request for room refused: the
// block grows and each read or store is made once, from what the first
// attempt found, so that the plots shown and every version are the same.
TEST(SelectTool, AMoveAndItsUndoWithoutRoomGiveTheSameVersions) {
  std::string shown, versions;
  for (uint64_t k = 0;; ++k) {
    Plots p("['a', char(9), 'b', char(9), 'c', char(10), 'd', char(9), 'e', char(9), 'f']");
    SetFigureMode(p.slot(), kModeSelect);
    HeadlessFigureView& v = *p.view;
    if (k > 0) WatchRoomRequests(k);
    v.Press(p.MidX(0), p.MidY(0), false);
    v.Move(p.MidX(1), p.MidY(1), kViewLeft);
    v.Move(p.MidX(2), p.MidY(2), kViewLeft);
    v.Release(false);
    const std::string moved = p.Shown() + FigureVersions(p.block());
    UndoFigureStep(p.slot(), 0);
    const bool refused = RoomRequestRefused();
    StopWatchingRoomRequests();
    if (k == 0) {
      ASSERT_EQ(p.Shown(), "abcdef");
      shown = moved;
      versions = p.Shown() + FigureVersions(p.block());
      continue;
    }
    if (!refused) break;
    EXPECT_EQ(moved, shown) << k;
    EXPECT_EQ(p.Shown() + FigureVersions(p.block()), versions) << k;
  }
}

TEST(SelectTool, ACornerDragInAFreeLayoutSnapsAndIsStored) {
  Plots p("['a', char(9), 'b']");
  InstanceFigureHost host(p.slot(), 0);
  ASSERT_EQ(MakeLayoutFree(&p.figure(), host, false), kOk);
  p.view->Paint();
  SetFigureMode(p.slot(), kModeSelect);
  HeadlessFigureView& v = *p.view;
  EXPECT_EQ(v.Press(p.MidX(0), p.MidY(0), false), kStatusRepaint);  // drawn last
  EXPECT_EQ(v.Release(false), kOk);
  const int32_t k = p.view->gesture().pressedSubplot < 0 ? 1 : 0;
  const double* before = p.subplot(k).position;
  const double right = before[kRight], bottom = before[kBottom], left = before[kLeft];
  EXPECT_EQ(v.Press(right - 1, bottom + 2, false), kStatusRepaint);
  EXPECT_EQ(v.gesture().corner, kCornerBottomRight);
  EXPECT_EQ(v.Move(right + 12.6, bottom + 30.2, kViewLeft), kStatusRepaint);
  EXPECT_EQ(v.Release(false), kOk);
  const double* after = p.subplot(k).position;
  EXPECT_EQ(after[kLeft], left);
  EXPECT_EQ(after[kRight] - after[kLeft], std::floor(right - left + 13.6 + 0.5));
  const std::vector<double> pl = p.Values(kVarPl);
  ASSERT_EQ(pl.size(), size_t{kLayoutHeader + 2 * kFreeEntry});
  EXPECT_EQ(pl[kLayoutHeader + k * kFreeEntry + 7], after[kRight]);
  // A figure that forbids moving subplots with the mouse keeps them.
  p.figure().flags |= kFigureMouseLayoutLocked;
  ASSERT_EQ(v.Press(after[kRight] - 1, after[kBottom], false), kStatusRepaint);
  EXPECT_EQ(v.Move(after[kRight] + 40, after[kBottom] + 40, kViewLeft), kOk);
  v.Release(false);
  EXPECT_EQ(p.subplot(k).position[kRight], after[kRight]);
}

// ---- 3-D ----

TEST(CameraTools, DragsTurnTheCameraAndTheViewIsSaved) {
  Plots p("'s'");
  SubplotRecord& s = p.subplot(0);
  const double x = p.MidX(0), y = p.MidY(0);
  // Drag mode orbits a 3-D subplot; with Shift it dollies sideways.
  SetFigureMode(p.slot(), kModeDrag);
  SubplotRecord expected = s;
  OrbitCameraDrag(&expected, x, y, x + 40, y - 25);
  ASSERT_EQ(p.view->Press(x, y, false), kOk);
  EXPECT_EQ(p.view->Move(x + 40, y - 25, kViewLeft), kStatusRepaint);
  EXPECT_EQ(p.view->Release(false), kOk);
  for (int a = 0; a < 3; ++a) EXPECT_NEAR(s.cameraPosition[a], expected.cameraPosition[a], 1e-9);
  DollyCameraDrag(&expected, x, y, x + 10, y);
  ASSERT_EQ(p.view->Press(x, y, true), kOk);
  p.view->Move(x + 10, y, kViewLeft | kViewShift);
  p.view->Release(true);
  for (int a = 0; a < 3; ++a) EXPECT_NEAR(s.cameraTarget[a], expected.cameraTarget[a], 1e-9);
  // Zoom along x in perspective dollies forward.
  SetViewAngle(&s, 40);
  SetFigureMode(p.slot(), kModeZoomX);
  expected = s;
  DollyForwardCameraDrag(&expected, CameraDistance(s), DistanceFromViewportCentre(s, x + 5, y),
                         x + 60, y, false);
  ASSERT_EQ(p.view->Press(x + 5, y, false), kOk);
  p.view->Move(x + 60, y, kViewLeft);
  p.view->Release(false);
  for (int a = 0; a < 3; ++a) EXPECT_NEAR(s.cameraPosition[a], expected.cameraPosition[a], 1e-9);
  // The release saved the view: _3d brings it back.
  const SubplotRecord saved = s;
  CameraOrbit(&s, 1, 0.5);
  ASSERT_EQ(RestoreFigureState(p.block(), 0), kOk);
  for (int a = 0; a < 3; ++a) EXPECT_NEAR(s.cameraPosition[a], saved.cameraPosition[a], 1e-9);
}

// ---- Instance-wide code ----

// An instance drawn by its instance-wide code, which reads the mouse itself.
TEST(WideInstance, DragsRedrawTheCodeWithTheDraggingByteSet) {
  MouseApp a({}, "function nothing()\n");
  a.list.Text(kElemInstanceCode,
              "plot([0 1], [0 1], 'o', 5);\n"
              "if ~isempty(_x)\n  fprintf('%.2f\\n', _x);\nend\n");
  a.Start();
  const double x = a.PixelX(0, 1), y = a.PixelY(0, 1);
  EXPECT_EQ(a.view->Press(x, y, false), kStatusRepaint);
  EXPECT_EQ(a.view->Move(a.PixelX(0, 0.5), a.PixelY(0, 0.5), kViewLeft), kStatusRepaint);
  EXPECT_EQ(a.host.Record()->dragging, 1);
  EXPECT_EQ(a.Output(), "0.50\n");
  EXPECT_EQ(a.view->Release(false), kStatusRepaint);
  EXPECT_EQ(a.host.Record()->dragging, 0);
}

}  // namespace
}  // namespace vke
