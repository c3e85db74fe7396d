// The headless figure view's rules: drags only after a press that started
// one, the middle button as left with Shift, dropped moves, repaints by
// result, status texts, and the wheel's notches.
#include "app/headless_view.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/figure_codes.hpp"
#include "tests/app/figure_app.hpp"

namespace vke {
namespace {

// What the fake mouse operations were called with, and what they answer.
struct Script {
  std::vector<std::string> calls;
  ErrCode next = kOk;
  double dy = 0;
};
Script* script = nullptr;

ErrCode Log(const std::string& call, bool shift, char* text, int32_t size, int32_t* length) {
  script->calls.push_back(call + (shift ? " shift" : ""));
  if (text != nullptr) {
    const std::string status = "status " + call;
    *length = std::min<int32_t>(size, int32_t(status.size()));
    std::memcpy(text, status.data(), size_t(*length));
  }
  return script->next;
}

constexpr FigureMouseEvents kEvents{
    [](KVContextBlock**, int32_t, double, double, bool shift) {
      return Log("down", shift, nullptr, 0, nullptr);
    },
    [](KVContextBlock**, int32_t, double, double, bool shift, char* t, int32_t n, int32_t* l) {
      return Log("drag", shift, t, n, l);
    },
    [](KVContextBlock**, int32_t, bool shift) { return Log("up", shift, nullptr, 0, nullptr); },
    [](KVContextBlock**, int32_t, double, double, bool shift, char* t, int32_t n, int32_t* l) {
      return Log("hover", shift, t, n, l);
    },
    [](KVContextBlock**, int32_t, double, double, double, double dy, bool shift, char* t, int32_t n,
       int32_t* l) {
      script->dy = dy;
      return Log("scroll", shift, t, n, l);
    },
    [](KVContextBlock**, int32_t, double, double) {
      return Log("select", false, nullptr, 0, nullptr);
    },
};

struct View : test::FigureApp {
  View() : FigureApp(1, 1), slot(block()), view(&slot, 0, kEvents) {
    script = &s;
    EXPECT_EQ(view.Create(640, 480), kOk);
  }
  Script s;
  KVContextBlock* slot;
  HeadlessFigureView view;
};

TEST(HeadlessView, DragsFollowOnlyAPressThatStartedOne) {
  View v;
  EXPECT_EQ(v.view.Move(5, 5, kViewLeft), kOk);  // no drag yet: a hover
  EXPECT_EQ(v.view.Release(false), kStatusNothingDone);
  v.s.next = kStatusRepaint;
  v.view.MiddlePress(1, 1);  // left with Shift
  EXPECT_TRUE(v.view.dragging());
  EXPECT_EQ(v.view.paints(), 1);
  v.s.next = kStatusMoveDropped;
  v.view.Move(2, 2, kViewMiddle);
  EXPECT_TRUE(v.view.dragging());
  EXPECT_EQ(v.view.paints(), 1);
  v.s.next = kOk;
  v.view.Move(3, 3, kViewLeft);
  EXPECT_EQ(v.view.status(), "status drag");
  EXPECT_EQ(v.view.paints(), 1);
  v.s.next = kStatusRepaint;
  v.view.Release(false);
  EXPECT_FALSE(v.view.dragging());
  EXPECT_EQ(v.view.paints(), 2);
  const std::vector<std::string> expected{"hover", "down shift", "drag shift", "drag", "up"};
  EXPECT_EQ(v.s.calls, expected);
}

TEST(HeadlessView, AFailingPressOrDragEndsTheDrag) {
  View v;
  v.s.next = kStatusNothingDone;
  v.view.Press(1, 1, false);
  EXPECT_FALSE(v.view.dragging());
  EXPECT_EQ(v.view.paints(), 1);  // any result but 0 repaints
  v.s.next = kOk;
  v.view.Press(1, 1, false);
  EXPECT_TRUE(v.view.dragging());
  v.s.next = 402;
  v.view.Move(2, 2, kViewLeft);
  EXPECT_FALSE(v.view.dragging());
  EXPECT_EQ(v.view.paints(), 2);
}

TEST(HeadlessView, HoverAndWheelRepaintOnlyWhenAsked) {
  View v;
  v.s.next = kOk;
  v.view.Move(1, 1, 0);
  EXPECT_EQ(v.view.status(), "status hover");
  EXPECT_EQ(v.view.paints(), 0);
  v.s.next = kStatusMoveDropped;
  v.s.calls.clear();
  v.view.Move(2, 2, 0);
  EXPECT_EQ(v.view.status(), "status hover");  // a dropped move leaves the text
  v.s.next = kStatusNothingDone;
  v.view.Wheel(1, 1, 240, false);
  EXPECT_EQ(v.view.status(), "");
  EXPECT_EQ(v.s.dy, -2);
  v.s.next = kStatusRepaint;
  v.view.Wheel(1, 1, -120, true);
  EXPECT_EQ(v.view.paints(), 1);
  EXPECT_EQ(v.s.dy, 1);
  EXPECT_EQ(v.view.status(), "status scroll");
}

}  // namespace
}  // namespace vke
