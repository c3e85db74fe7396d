// The manipulate tool: the mouse handlers a press, a drag and a release
// run on an object, with their event values and first flags, the one undo
// version of a gesture and what a failing handler leaves; controls, the
// hover and the wheel.
#include "app/figure_mouse.hpp"

#include <gtest/gtest.h>

#include "app/figure_commands.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/scale.hpp"
#include "tests/app/mouse_app.hpp"

namespace vke {
namespace {

using test::Descriptor;
using test::MouseApp;

// Three points on a line, object 7; each mouse handler prints what it was
// given. n counts presses (by 100) and drag steps (by 1).
constexpr char kPoints[] = R"(
function (x, y, n) = start()
  x = [0.2 0.5 0.8];
  y = [0.5 0.5 0.5];
  n = 0;
  subplots('Points');
function show(x, y)
  scale([0 1 0 1]);
  plot(x, y, 'o', 7);
function print(action, n, x, y, x0, y0, id, ix, dx, dy, m)
  fprintf('%s n=%d x=%s y=%s x0=%s y0=%s id=%s ix=%s dx=%s dy=%s m=%d\n', action, n, v(x), ...
          v(y), v(x0), v(y0), v(id), v(ix), v(dx), v(dy), m);
function n = down(n, action, x, y, x0, y0, id, ix, dx, dy, m)
  print(action, n, x, y, x0, y0, id, ix, dx, dy, m);
  n = n + 100;
function (x, y, n) = drag(x, y, n, action, ex, ey, x0, y0, id, ix, dx, dy, m)
  print(action, n, ex, ey, x0, y0, id, ix, dx, dy, m);
  if ex > 0.9
    error('too far');
  end
  x(ix) = ex;
  y(ix) = ey;
  n = n + 1;
function up(n, action, x, y, x0, y0, id, ix, dx, dy, m)
  print(action, n, x, y, x0, y0, id, ix, dx, dy, m);
)";

// The event inputs every handler above takes after its variables.
std::vector<int32_t> EventInputs(std::vector<int32_t> first) {
  for (int32_t code :
       {kVarAction, kVarX, kVarY, kVarX0, kVarY0, kVarId, kVarIx, kVarDx, kVarDy, kVarM}) {
    first.push_back(code);
  }
  return first;
}

struct Points : MouseApp {
  Points() : MouseApp({"x", "y", "n"}, std::string(kPoints) + test::kValueText) {
    const int32_t x = Var("x"), y = Var("y"), n = Var("n");
    list.Handler(kElemInit, {Fn("start"), {x, y, n}});
    Plot("Points", {Fn("show"), {}, {x, y}});
    Mouse(kElemMouseDown, {Fn("down"), {n}, EventInputs({n})});
    Mouse(kElemMouseDrag, {Fn("drag"), {x, y, n}, EventInputs({x, y, n})});
    Mouse(kElemMouseUp, {Fn("up"), {}, EventInputs({n})});
    Start();
  }
  double X(double x) const { return PixelX(0, x); }
  double Y(double y) const { return PixelY(0, y); }
};

TEST(ManipulateTool, PressDragAndReleaseRunTheHandlersOfTheObject) {
  Points a;
  const uint32_t versions = a.host.VersionCount();
  // Two pixels beside the middle vertex.
  EXPECT_EQ(a.view->Press(a.X(0.5) + 2, a.Y(0.5) - 1, false), kStatusRepaint);
  EXPECT_TRUE(a.view->dragging());
  EXPECT_EQ(a.view->Move(a.X(0.6), a.Y(0.7), kViewLeft), kStatusRepaint);
  EXPECT_EQ(a.view->Move(a.X(0.7), a.Y(0.4), kViewLeft | kViewShift), kStatusRepaint);
  EXPECT_EQ(a.view->Release(false), kStatusRepaint);
  // "mousedown" changes the version it finds; "mousedrag" and "mouseup"
  // read the one before the gesture's (n stays 100 for them): the press
  // pushed exactly one version.
  const std::string log = a.Output();
  EXPECT_EQ(log,
            "mousedown n=0 x=0.503 y=0.502 x0=0.5 y0=0.5 id=7 ix=2 dx=0 dy=0 m=0\n"
            "mousedrag n=100 x=0.503 y=0.502 x0=0.5 y0=0.5 id=7 ix=2 dx=0 dy=0 m=0\n"
            "mousedrag n=100 x=0.6 y=0.7 x0=0.5 y0=0.5 id=7 ix=2 dx=0.0966 dy=0.198 m=0\n"
            "mousedrag n=100 x=0.7 y=0.4 x0=0.5 y0=0.5 id=7 ix=2 dx=0.197 dy=-0.102 m=1\n"
            "mouseup n=100 x=0.7 y=0.4 x0=0.5 y0=0.5 id=7 ix=2 dx=0.197 dy=-0.102 m=0\n");
  EXPECT_NEAR(a.Values("x")[1], 0.7, 1e-12);
  EXPECT_NEAR(a.Values("y")[1], 0.4, 1e-12);
  EXPECT_EQ(a.Scalar("n"), 101);
  EXPECT_EQ(a.host.VersionCount(), versions + 1);
  // The scales were held while the handlers ran, and are free again.
  EXPECT_EQ(a.subplot(0).scaleState[kAxisX] & kScaleHoldBit, 0);
  // One undo goes back to before the press, "mousedown"'s change included.
  ASSERT_EQ(UndoFigureStep(a.slot(), 0), kStatusRepaint);
  EXPECT_EQ(a.Scalar("n"), 0);
  EXPECT_EQ(a.Values("x")[1], 0.5);
  ASSERT_EQ(RedoFigureStep(a.slot(), 0), kStatusRepaint);
  EXPECT_EQ(a.Scalar("n"), 101);
}

TEST(ManipulateTool, AFailingDragLeavesTheVariablesAsBeforeThePress) {
  Points a;
  const uint32_t versions = a.host.VersionCount();
  ASSERT_EQ(a.view->Press(a.X(0.8), a.Y(0.5), false), kStatusRepaint);
  ASSERT_EQ(a.view->Move(a.X(0.85), a.Y(0.6), kViewLeft), kStatusRepaint);
  EXPECT_NEAR(a.Values("x")[2], 0.85, 1e-12);
  // Past 0.9 the handler fails: the gesture's version goes, the press ends.
  EXPECT_NE(a.view->Move(a.X(0.95), a.Y(0.6), kViewLeft), kOk);
  EXPECT_FALSE(a.view->dragging());
  EXPECT_EQ(a.Values("x")[2], 0.8);
  EXPECT_EQ(a.Scalar("n"), 100);  // what "mousedown" stored stays, in a version of its own
  EXPECT_EQ(a.host.VersionCount(), versions + 1);
  ASSERT_EQ(UndoFigureStep(a.slot(), 0), kStatusRepaint);
  EXPECT_EQ(a.Scalar("n"), 0);
  EXPECT_EQ(FigureMouseDrag(a.slot(), 0, 1, 1, false, nullptr, 0, nullptr), kStatusNothingDone);
  EXPECT_EQ(FigureMouseUp(a.slot(), 0, false), kStatusNothingDone);
}

TEST(ManipulateTool, PressesWithoutAnythingToDo) {
  Points a;
  // Outside every subplot, and on no object of a plot without other
  // handlers than those of object 7 but its draw handler.
  EXPECT_EQ(a.view->Press(2, 2, false), kStatusNothingDone);
  EXPECT_EQ(FigureMouseDown(a.slot(), 3, a.X(0.5), a.Y(0.5), false), kKvNonexistentInstance);
  // Without a gesture record the mouse does nothing.
  InteractionState* record = a.block()->interaction;
  a.block()->interaction = nullptr;
  EXPECT_EQ(FigureMouseDown(a.slot(), 0, a.X(0.5), a.Y(0.5), false), kStatusNothingDone);
  a.block()->interaction = record;
  // A press whose instance disappears before the drag ends there.
  ASSERT_EQ(a.view->Press(a.X(0.5), a.Y(0.5), false), kStatusRepaint);
  EXPECT_EQ(FigureMouseDrag(a.slot(), 3, 1, 1, false, nullptr, 0, nullptr), kKvNonexistentInstance);
  EXPECT_EQ(record->pressedSubplot, -1);
  EXPECT_EQ(FigureMouseUp(a.slot(), 0, false), kStatusNothingDone);
}

// ---- The rate limit ----

// A move within the interval is dropped; made just before the release, it
// is made at the release, where the button came up.
// A press on the middle point, a move that takes it to (0.6, 0.6), and one
// 4 ms later, to (0.3, 0.3), that the rate limit drops.
void PressAndDropAMove(Points& a, test::HandClock& clock) {
  ASSERT_EQ(a.view->Press(a.X(0.5), a.Y(0.5), false), kStatusRepaint);
  EXPECT_EQ(a.view->Move(a.X(0.6), a.Y(0.6), kViewLeft), kStatusRepaint);
  clock.Advance(0.004);
  EXPECT_EQ(a.view->Move(a.X(0.3), a.Y(0.3), kViewLeft), kStatusMoveDropped);
}

TEST(ManipulateTool, MovesWithinTheIntervalAreDropped) {
  Points a;
  test::HandClock clock(a.block());
  ASSERT_NO_FATAL_FAILURE(PressAndDropAMove(a, clock));
  EXPECT_TRUE(a.view->dragging());
  EXPECT_NEAR(a.Values("x")[1], 0.6, 1e-12);
  clock.Advance(0.01);
  EXPECT_EQ(a.view->Move(a.X(0.3), a.Y(0.3), kViewLeft), kStatusRepaint);
  EXPECT_NEAR(a.Values("x")[1], 0.3, 1e-12);
  clock.Advance(0.004);
  EXPECT_EQ(a.view->Move(a.X(0.4), a.Y(0.45), kViewLeft), kStatusMoveDropped);
  EXPECT_NEAR(a.Values("x")[1], 0.3, 1e-12);
  EXPECT_EQ(a.view->Release(false), kStatusRepaint);
  EXPECT_NEAR(a.Values("x")[1], 0.4, 1e-12);
  EXPECT_NEAR(a.Values("y")[1], 0.45, 1e-12);
  EXPECT_FALSE(a.view->dragging());
  // One gesture, one undo step back to where the press found the point.
  ASSERT_EQ(UndoFigureStep(a.slot(), 0), kStatusRepaint);
  EXPECT_NEAR(a.Values("x")[1], 0.5, 1e-12);
}

// A gesture whose last move the rate limit dropped and whose release never
// came (the button came up outside: the next move comes without it) leaves
// nothing to the next one: a new press and its release run the drag
// handler once, at the press, as a click does; a new press and one move
// run it for the move.
TEST(ManipulateTool, ANewPressForgetsAMoveTheRateLimitDropped) {
  for (const bool moved : {false, true}) {
    Points a;
    test::HandClock clock(a.block());
    ASSERT_NO_FATAL_FAILURE(PressAndDropAMove(a, clock));
    clock.Advance(0.02);
    a.view->Move(a.X(0.35), a.Y(0.3), 0);
    ASSERT_FALSE(a.view->dragging());
    a.Output();
    clock.Advance(0.02);
    ASSERT_EQ(a.view->Press(a.X(0.2), a.Y(0.5), false), kStatusRepaint);
    if (moved) {
      clock.Advance(0.02);
      EXPECT_EQ(a.view->Move(a.X(0.25), a.Y(0.4), kViewLeft), kStatusRepaint);
    }
    EXPECT_EQ(a.view->Release(false), kStatusRepaint) << moved;
    const std::string out = a.Output();
    size_t drags = 0;
    for (size_t at = out.find("mousedrag"); at != std::string::npos;
         at = out.find("mousedrag", at + 1))
      ++drags;
    EXPECT_EQ(drags, moved ? 2u : 1u) << out;
    EXPECT_NEAR(a.Values("x")[0], moved ? 0.25 : 0.2, 1e-12) << moved;
  }
}

}  // namespace
}  // namespace vke
