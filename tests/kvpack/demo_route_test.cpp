// The point demo driven end to end: a press, drags and a release through
// the headless figure view run the mouse handlers, redraw the figure and
// run the post-event handlers, and the check script's event step, given
// the point the view reached, leaves the same variables.
#include <gtest/gtest.h>

#include <string>

#include "app/draw_cycle.hpp"
#include "app/figure_event_route.hpp"
#include "app/figure_png.hpp"
#include "app/headless_view.hpp"
#include "app/reset_data.hpp"
#include "graphics/figure_codes.hpp"
#include "tests/shell/packed_app.hpp"
#include "tools/kvpack/check.hpp"

namespace vke::kvpack {
namespace {

constexpr int32_t kInstance = 0;

// The demo packed into a fresh tool's block.
struct Demo {
  Demo() {
    EXPECT_EQ(tool.Create(), kOk);
    test::PackApp(&tool, "examples/demo/demo.kvd");
    tool.Collect(false);  // the values printed go to the standard output
  }

  // What the script printed.
  std::string Run(const std::string& script) {
    std::string error;
    ::testing::internal::CaptureStdout();
    const bool ran = RunCheckScript(&tool, script, &error);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ran) << error;
    return out;
  }

  ToolHost tool;
};

// The value printed after "> print NAME", on the line after "NAME =".
std::string Printed(const std::string& out, const std::string& name) {
  const std::string head = "> print " + name + "\n" + name + " =\n";
  const size_t at = out.find(head);
  if (at == std::string::npos) return "";
  const size_t from = out.find_first_not_of(' ', at + head.size());
  if (from == std::string::npos) return "";
  return out.substr(from, out.find('\n', from) - from);
}

TEST(DemoRoute, TheViewRunsTheHandlersTheRedrawAndThePostEventHandlers) {
  Demo demo;
  ASSERT_FALSE(HasFatalFailure());
  KVContextBlock** slot = demo.tool.slot();
  ASSERT_EQ(ResetInstanceData(slot, kInstance), kOk);
  ASSERT_EQ(RunDrawHandlers(slot, kInstance), kOk);
  HeadlessFigureView view(slot, kInstance);
  ASSERT_EQ(view.Create(640, 480), kOk);
  ASSERT_EQ(DrawFigureImage(slot, kInstance, view.image(), false), kOk);

  // The press on the point runs the mousedown handler and keeps the mouse.
  EXPECT_EQ(view.Press(338, 240, false), kStatusRepaint);
  EXPECT_TRUE(view.dragging());
  EXPECT_EQ(view.paints(), 1);
  EXPECT_EQ(view.Move(450, 150, kViewLeft), kStatusRepaint);
  EXPECT_EQ(view.paints(), 2);
  EXPECT_EQ(view.Release(false), kStatusRepaint);
  EXPECT_FALSE(view.dragging());
  EXPECT_EQ(view.paints(), 3);
  // A second release finds no drag and draws nothing.
  EXPECT_EQ(view.Release(false), kStatusNothingDone);
  EXPECT_EQ(view.paints(), 3);
}

TEST(DemoRoute, TheEventStepLeavesWhatTheViewLeft) {
  Demo byView;
  ASSERT_FALSE(HasFatalFailure());
  const std::string viewed = byView.Run(
      "reset\ndraw\nmouse down 338 240\nmouse drag 400 200\nmouse drag 450 150\nmouse up\n"
      "print x\nprint y\nprint label\n");
  const std::string x = Printed(viewed, "x"), y = Printed(viewed, "y");
  EXPECT_EQ(x, "0.6999");
  ASSERT_FALSE(x.empty()) << viewed;
  ASSERT_FALSE(y.empty()) << viewed;
  EXPECT_NE(x, "0.5");  // the point moved
  // The label follows the point only once the post-event handlers ran.
  EXPECT_NE(Printed(viewed, "label"), "0.000 from the middle");

  Demo byEvent;
  ASSERT_FALSE(HasFatalFailure());
  const std::string evented =
      byEvent.Run("reset\ndraw\nevent mousedown 0.5 0.5\nevent mousedrag " + x + " " + y +
                  "\nevent mouseup " + x + " " + y + "\nprint x\nprint y\nprint label\n");
  EXPECT_EQ(Printed(evented, "x"), x) << evented;
  EXPECT_EQ(Printed(evented, "y"), y);
  EXPECT_EQ(Printed(evented, "label"), Printed(viewed, "label"));
}

// Kinds that fill no single handler of a plot (the figure rectangle, the
// draw-and-mouse element, an instance-wide kind) are refused, and nothing runs.
TEST(DemoRoute, TheEventRouteRefusesKindsThatAreNoPlotHandler) {
  Demo demo;
  ASSERT_FALSE(HasFatalFailure());
  KVContextBlock** slot = demo.tool.slot();
  ASSERT_EQ(ResetInstanceData(slot, kInstance), kOk);
  for (uint32_t kind : {kElemResize, kElemDrawAndMouse, kElemPostEvent, kElemInstanceStart})
    EXPECT_EQ(RunFigureEvent(slot, kInstance, kind, 0.5, 0.5, -1), kErrBadArg) << kind;
  const std::string out = demo.Run("print x\n");
  EXPECT_EQ(Printed(out, "x"), "0.5") << out;
}

}  // namespace
}  // namespace vke::kvpack
