// The view's mouse rules over a scripted interaction layer: when a drag
// starts, goes on and ends, when the mouse is taken and given back, what is
// drawn at once and what the status pane shows.
#include "app/figure_view.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "graphics/figure_codes.hpp"

namespace vke {
namespace {

// Answers each call with the next scripted code and logs calls and effects.
class Script : public FigureInteraction, public FigureViewHost {
 public:
  std::deque<ErrCode> codes;
  std::string text = "x=1";
  std::vector<std::string> log;

  ErrCode Next(const std::string& call, double x, double y, bool shift) {
    log.push_back(call + " " + std::to_string(static_cast<int>(x)) + "," +
                  std::to_string(static_cast<int>(y)) + (shift ? " shift" : ""));
    const ErrCode code = codes.empty() ? kOk : codes.front();
    if (!codes.empty()) codes.pop_front();
    return code;
  }
  ErrCode FigureMouseDown(int32_t, double x, double y, bool shift) override {
    return Next("down", x, y, shift);
  }
  ErrCode FigureMouseDrag(int32_t, double x, double y, bool shift, std::string* t) override {
    *t = text;
    return Next("drag", x, y, shift);
  }
  ErrCode FigureMouseUp(int32_t, double x, double y, bool shift) override {
    return Next("up", x, y, shift);
  }
  ErrCode FigureMouseHover(int32_t, double x, double y, bool shift, std::string* t) override {
    *t = text;
    return Next("hover", x, y, shift);
  }
  ErrCode FigureMouseScroll(int32_t, double x, double y, double dx, double dy, bool shift,
                            std::string* t) override {
    *t = text;
    scroll = {dx, dy};
    return Next("scroll", x, y, shift);
  }
  int32_t HitTestForCursor(int32_t, double, double, bool) override { return 0; }

  void InstallTarget() override {}
  void CaptureMouse() override { log.push_back("capture"); }
  void ReleaseMouse() override { log.push_back("release"); }
  void DrawNow() override { log.push_back("draw"); }
  void ShowStatus(std::string_view t) override { log.push_back("status '" + std::string(t) + "'"); }
  void MarkModified() override { log.push_back("modified"); }

  std::pair<double, double> scroll;
};

using Log = std::vector<std::string>;

struct View : ::testing::Test {
  Script s;
  FigureView view{s, s};
};

TEST_F(View, AcceptedPressDragsWithCaptureUntilTheRelease) {
  s.codes = {kOk, kStatusRepaint, kOk, kStatusRepaint};
  view.Press(10, 20, false);
  view.Move(11, 21, {true, false, false});
  view.Move(12, 22, {true, false, true});
  view.Release(13, 23, true);
  EXPECT_EQ(s.log,
            (Log{"down 10,20", "capture", "drag 11,21", "status 'x=1'", "draw", "drag 12,22 shift",
                 "status 'x=1'", "up 13,23 shift", "draw", "release", "modified"}));
  EXPECT_FALSE(view.Dragging());
}

TEST_F(View, PressesThatStartNoDragTakeNoCaptureAndRepaintUnlessZero) {
  s.codes = {kStatusRepaint};
  view.Press(1, 1, false);
  EXPECT_TRUE(view.Dragging());
  view.CaptureLost();
  s.log.clear();
  s.codes = {kErrNotSupported};  // an interaction not built answers 1000
  view.Press(1, 1, false);
  EXPECT_EQ(s.log, (Log{"down 1,1", "draw"}));
  EXPECT_FALSE(view.Dragging());
  s.log.clear();
  view.Release(1, 1, false);  // only while dragging
  EXPECT_TRUE(s.log.empty());
}

TEST_F(View, DroppedMovesKeepTheDragAndFailuresEndIt) {
  s.codes = {kOk, kStatusMoveDropped, kErrNotSupported};
  view.Press(0, 0, false);
  s.log.clear();
  view.Move(1, 1, {true, false, false});
  EXPECT_EQ(s.log, (Log{"drag 1,1"}));
  EXPECT_TRUE(view.Dragging());
  view.Move(2, 2, {true, false, false});
  EXPECT_EQ(s.log, (Log{"drag 1,1", "drag 2,2", "release", "draw"}));
  EXPECT_FALSE(view.Dragging());
}

TEST_F(View, MiddleButtonIsTheLeftWithShift) {
  view.MiddlePress(5, 6);
  view.Move(7, 8, {false, true, false});
  EXPECT_EQ(s.log, (Log{"down 5,6 shift", "capture", "drag 7,8 shift", "status 'x=1'"}));
}

TEST_F(View, HoverShowsItsTextAndAPlainMoveEndsAStaleDrag) {
  s.codes = {kStatusRepaint, kOk, kStatusMoveDropped, kErrNotSupported};
  view.Move(1, 1, {false, false, false});
  view.Move(2, 2, {false, false, false});
  view.Move(2, 3, {false, false, false});  // dropped: the text stays
  view.Move(3, 3, {false, false, false});
  EXPECT_EQ(s.log, (Log{"hover 1,1", "draw", "status 'x=1'", "hover 2,2", "status 'x=1'",
                        "hover 2,3", "hover 3,3", "status ''"}));
  s.log.clear();
  s.codes = {kOk, kOk};
  view.Press(0, 0, false);
  view.Move(4, 4, {false, false, false});  // button released elsewhere
  EXPECT_EQ(s.log, (Log{"down 0,0", "capture", "hover 4,4", "status 'x=1'", "release"}));
  EXPECT_FALSE(view.Dragging());
}

TEST_F(View, WheelNotchAwayScrollsByMinusOne) {
  s.codes = {kStatusRepaint, kErrNotSupported};
  view.Wheel(3, 4, 120, false);
  EXPECT_EQ(s.scroll, std::make_pair(0.0, -1.0));
  view.Wheel(3, 4, -240, true);
  EXPECT_EQ(s.scroll, std::make_pair(0.0, 2.0));
  EXPECT_EQ(s.log, (Log{"scroll 3,4", "draw", "status 'x=1'", "scroll 3,4 shift", "status ''"}));
}

TEST(StatusText, IsBoundedAndValidUtf8) {
  EXPECT_EQ(ShownStatusText("x = 1.5"), "x = 1.5");
  EXPECT_EQ(ShownStatusText(std::string(300, 'a')).size(), 255u);
  // A character that would cross the bound is left out whole.
  const std::string e = "\xC3\xA9";
  EXPECT_EQ(ShownStatusText(std::string(254, 'a') + e), std::string(254, 'a'));
  EXPECT_EQ(ShownStatusText("a\xFF"
                            "b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(ShownStatusText("z\xC3"), "z\xEF\xBF\xBD");
}

// The feedback drawn by inversion shows without drawing the figure anew.
struct FeedbackScript : Script {
  void ShowFeedback() override { log.push_back("feedback"); }
};

TEST(ViewFeedback, ShownAfterEveryCallThatAnsweredZero) {
  FeedbackScript s;
  FigureView view{s, s};
  s.codes = {kOk, kOk, kStatusRepaint, kOk};
  view.Press(1, 2, false);
  view.Move(3, 4, {true, false, false});
  view.Move(5, 6, {true, false, false});
  view.Release(7, 8, false);
  EXPECT_EQ(s.log,
            (Log{"down 1,2", "feedback", "capture", "drag 3,4", "status 'x=1'", "feedback",
                 "drag 5,6", "status 'x=1'", "draw", "up 7,8", "feedback", "release", "modified"}));
}

}  // namespace
}  // namespace vke
