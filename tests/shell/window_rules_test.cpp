// The frame's and the view's rules that need no window: the placement kept
// in the preferences, the cursor table, the arrow keys and the timers'
// ticks, which never enter a busy engine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>

#include "graphics/figure_codes.hpp"
#include "shell/view_input.hpp"
#include "shell/window_placement.hpp"
#include "tests/shell/memory_preferences.hpp"
#include "tests/shell/mock_engine_facade.hpp"

namespace vke {
namespace {

using ::testing::Return;
using ::testing::StrictMock;

constexpr WindowPlacement kCurrent{0, kShowNormal, 10, 20, 650, 500};
constexpr ScreenSize kScreen{1024, 768, 32, 32};

struct Placement : ::testing::Test {
  test::MemoryPreferences prefs;
  void Store(int left, int top, int right, int bottom) {
    prefs.Set(PrefKey::WindowLeft, std::to_string(left));
    prefs.Set(PrefKey::WindowTop, std::to_string(top));
    prefs.Set(PrefKey::WindowRight, std::to_string(right));
    prefs.Set(PrefKey::WindowBottom, std::to_string(bottom));
  }
};

TEST_F(Placement, WholeRectanglesUpTo1000AreRestored) {
  EXPECT_FALSE(RestoredPlacement(prefs, kCurrent, kScreen));
  Store(0, 0, 1000, 1000);
  std::optional<WindowPlacement> p = RestoredPlacement(prefs, kCurrent, kScreen);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->showCmd, kShowNormal);  // the frame's own without a stored one
  EXPECT_EQ(p->right, 1000);
  for (auto [l, t, r, b] :
       {std::array{0, 0, 1001, 500}, std::array{0, 0, 500, 1001}, std::array{-1, 0, 500, 500},
        std::array{600, 0, 500, 500}, std::array{0, 600, 500, 500}}) {
    Store(l, t, r, b);
    EXPECT_FALSE(RestoredPlacement(prefs, kCurrent, kScreen)) << l << " " << t << " " << r;
  }
}

TEST_F(Placement, ACornerBeyondTheScreenIsPulledBackAndTheRestKept) {
  Store(999, 900, 1000, 950);
  prefs.Set(PrefKey::WindowShowCmd, "3");
  const std::optional<WindowPlacement> p = RestoredPlacement(prefs, kCurrent, {800, 600, 32, 32});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->left, 768);
  EXPECT_EQ(p->top, 568);
  EXPECT_EQ(p->right, 1000);
  EXPECT_EQ(p->bottom, 950);
  EXPECT_EQ(p->showCmd, kShowMaximized);
}

TEST_F(Placement, SavedPlacementComesBackAndThePanelRowIsZero) {
  SavePlacement(prefs, {0, kShowNormal, 5, 6, 705, 506});
  EXPECT_EQ(prefs.ReadInt(PrefKey::CmdPanelHeight), 0);
  const std::optional<WindowPlacement> p = RestoredPlacement(prefs, kCurrent, kScreen);
  ASSERT_TRUE(p);
  EXPECT_EQ((std::array{p->left, p->top, p->right, p->bottom}), (std::array{5, 6, 705, 506}));
}

TEST(ViewInput, CursorCodesMapToTheTableAndOthersLeaveTheCursor) {
  EXPECT_EQ(CursorForCode(0), kArrowCursor);
  EXPECT_EQ(CursorForCode(1), 150);
  EXPECT_EQ(CursorForCode(2), 153);
  EXPECT_EQ(CursorForCode(3), 154);
  EXPECT_EQ(CursorForCode(8), kArrowCursor);
  EXPECT_EQ(CursorForCode(10), 159);
  EXPECT_EQ(CursorForCode(14), 161);
  EXPECT_FALSE(CursorForCode(15));
  EXPECT_FALSE(CursorForCode(-1));
  EXPECT_FALSE(CursorForCode(kErrNotSupported));
}

TEST(ViewInput, ArrowKeysBecomeTheFigureCodes) {
  EXPECT_EQ(FigureArrowKey(ArrowKey::kLeft), 0xF702u);
  EXPECT_EQ(FigureArrowKey(ArrowKey::kUp), 0xF700u);
  EXPECT_EQ(FigureArrowKey(ArrowKey::kRight), 0xF703u);
  EXPECT_EQ(FigureArrowKey(ArrowKey::kDown), 0xF701u);
}

TEST(ViewInput, TicksNeverEnterABusyEngineNorOneUnderAModalDialog) {
  StrictMock<test::MockEngineFacade> engine;
  EXPECT_CALL(engine, HandlerBusy()).WillRepeatedly(Return(true));
  EXPECT_FALSE(RunFrameTick(engine, false));
  EXPECT_EQ(RunViewTick(engine, 0, false), kOk);

  ::testing::Mock::VerifyAndClearExpectations(&engine);
  EXPECT_CALL(engine, HandlerBusy()).WillRepeatedly(Return(false));
  EXPECT_FALSE(RunFrameTick(engine, true));
  EXPECT_EQ(RunViewTick(engine, 0, true), kOk);

  EXPECT_CALL(engine, ResumeThreads());
  EXPECT_TRUE(RunFrameTick(engine, false));
  EXPECT_CALL(engine, OnTimer(7)).WillOnce(Return(kStatusRepaint));
  EXPECT_EQ(RunViewTick(engine, 7, false), kStatusRepaint);
}

}  // namespace
}  // namespace vke
