// The frame's and the view's rules that need no window: the placement and
// the bars kept in the preferences, the busy pane's width, the cursor table, the arrow keys, the
// timers' ticks, which never enter a busy engine and run only while there is work, and the
// interrupt that closes an idle program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <utility>

#include "graphics/figure_codes.hpp"
#include "shell/bar_settings.hpp"
#include "shell/status_bar.hpp"
#include "shell/view_input.hpp"
#include "shell/window_placement.hpp"
#include "tests/shell/memory_preferences.hpp"
#include "tests/shell/mock_engine_facade.hpp"

namespace vke {
namespace {

using ::testing::Return;
using ::testing::StrictMock;

constexpr WindowPlacement kCurrent{0, kShowNormal, 10, 20, 650, 500};
const ScreenSize kScreen{{{0, 0, 1024, 768}}, 32, 32, 320, 240};

struct Placement : ::testing::Test {
  test::MemoryPreferences prefs;
  void Store(int left, int top, int right, int bottom) {
    prefs.Set(PrefKey::WindowLeft, std::to_string(left));
    prefs.Set(PrefKey::WindowTop, std::to_string(top));
    prefs.Set(PrefKey::WindowRight, std::to_string(right));
    prefs.Set(PrefKey::WindowBottom, std::to_string(bottom));
  }
};

TEST_F(Placement, WholeRectanglesOnTheScreensAreRestoredWhateverTheirSize) {
  EXPECT_FALSE(RestoredPlacement(prefs, kCurrent, kScreen));
  Store(0, 0, 1000, 1000);
  std::optional<WindowPlacement> p = RestoredPlacement(prefs, kCurrent, kScreen);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->showCmd, kShowNormal);  // the frame's own without a stored one
  EXPECT_EQ(p->right, 1000);
  // Wider and taller than 1000, and on a second screen left of the first.
  const ScreenSize wide{{{0, 0, 1920, 1080}, {-1280, 0, 0, 1024}}, 32, 32, 320, 240};
  for (auto [l, t, r, b] : {std::array{0, 0, 1001, 500}, std::array{100, 50, 1900, 1060},
                            std::array{-1200, 10, -300, 900}}) {
    Store(l, t, r, b);
    p = RestoredPlacement(prefs, kCurrent, wide);
    ASSERT_TRUE(p) << l << " " << t << " " << r;
    EXPECT_EQ((std::array{p->left, p->top, p->right, p->bottom}), (std::array{l, t, r, b}));
  }
  // Inverted, smaller than the window may be, or wholly outside the screens
  // (below the shorter of two screens, too).
  for (auto [l, t, r, b] :
       {std::array{600, 0, 500, 500}, std::array{0, 600, 500, 500}, std::array{0, 0, 319, 500},
        std::array{0, 0, 500, 239}, std::array{2000, 0, 2600, 400},
        std::array{-1200, 1030, -300, 1400}, std::array{INT32_MAX, 0, INT32_MIN, 500}}) {
    Store(l, t, r, b);
    EXPECT_FALSE(RestoredPlacement(prefs, kCurrent, wide)) << l << " " << t << " " << r;
  }
  // A rectangle with an edge missing or not a number.
  Store(0, 0, 800, 600);
  prefs.Set(PrefKey::WindowBottom, "tall");
  EXPECT_FALSE(RestoredPlacement(prefs, kCurrent, kScreen));
}

TEST_F(Placement, ACornerBeyondTheScreenIsPulledBackAndTheRestKept) {
  Store(700, 500, 1100, 950);
  prefs.Set(PrefKey::WindowShowCmd, "3");
  const std::optional<WindowPlacement> p =
      RestoredPlacement(prefs, kCurrent, {{{0, 0, 800, 600}}, 32, 32, 320, 240});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->left, 700);
  EXPECT_EQ(p->top, 500);
  Store(790, 590, 1200, 950);
  const std::optional<WindowPlacement> q =
      RestoredPlacement(prefs, kCurrent, {{{0, 0, 800, 600}}, 32, 32, 320, 240});
  ASSERT_TRUE(q);
  EXPECT_EQ(q->left, 768);
  EXPECT_EQ(q->top, 568);
  EXPECT_EQ(q->right, 1200);
  EXPECT_EQ(q->bottom, 950);
  EXPECT_EQ(q->showCmd, kShowMaximized);
}

TEST_F(Placement, SavedPlacementComesBackAndThePanelRowIsZero) {
  SavePlacement(prefs, {0, kShowNormal, 5, 6, 705, 506});
  EXPECT_EQ(prefs.ReadInt(PrefKey::CmdPanelHeight), 0);
  const std::optional<WindowPlacement> p = RestoredPlacement(prefs, kCurrent, kScreen);
  ASSERT_TRUE(p);
  EXPECT_EQ((std::array{p->left, p->top, p->right, p->bottom}), (std::array{5, 6, 705, 506}));
}

// The help window and the print preview open inside the work area: one that
// hangs over an edge is moved in, one larger than the area is shrunk to
// it, and on two screens the one holding its middle takes it.
TEST(WindowInWorkArea, AWindowOverAnEdgeIsMovedInsideAndATooLargeOneShrunk) {
  const std::vector<ScreenRect> one{{0, 0, 1024, 740}};
  const ScreenRect inside{100, 100, 600, 400};
  const ScreenRect same = PlaceInWorkArea(inside, one);
  EXPECT_EQ(same.left, 100);
  EXPECT_EQ(same.bottom, 400);
  // Edges as left, top, right, bottom.
  auto edges = [](const ScreenRect& r) {
    return std::vector<int>{r.left, r.top, r.right, r.bottom};
  };
  EXPECT_EQ(edges(PlaceInWorkArea({0, 263, 670, 783}, one)), (std::vector<int>{0, 220, 670, 740}));
  EXPECT_EQ(edges(PlaceInWorkArea({-50, -20, 200, 100}, one)), (std::vector<int>{0, 0, 250, 120}));
  EXPECT_EQ(edges(PlaceInWorkArea({10, 10, 3000, 2000}, one)), (std::vector<int>{0, 0, 1024, 740}));
  const std::vector<ScreenRect> two{{0, 0, 1024, 740}, {1024, 0, 2048, 1000}};
  const ScreenRect second = PlaceInWorkArea({1500, 900, 1800, 1100}, two);
  EXPECT_EQ(second.left, 1500);
  EXPECT_EQ(second.bottom, 1000);
  // Beyond every screen: the nearest one.
  const ScreenRect beyond = PlaceInWorkArea({3000, 100, 3100, 200}, two);
  EXPECT_EQ(beyond.right, 2048);
  EXPECT_EQ(PlaceInWorkArea(inside, {}).top, 100);
}

// The preview shows the whole page: A4 at 96 dpi (794 x 1123 pixels at
// 100 %) in a 1024 x 768 work area takes the largest step whose page and
// bars fit, in a window centred on the main one and kept inside; a large
// screen shows it at 100 %, a tiny one at the smallest step.
TEST(WindowInWorkArea, ThePrintPreviewHoldsTheWholePage) {
  const std::vector<ScreenRect> screen{{0, 0, 1024, 768}};
  const PreviewContent a4{794, 1123, 40, 120, 520};
  const ScreenRect main{100, 100, 767, 580};
  auto edges = [](const ScreenRect& r) {
    return std::vector<int>{r.left, r.top, r.right, r.bottom};
  };
  PreviewPlacement p = PlacePreview(main, a4, screen);
  EXPECT_EQ(p.zoom, 55);  // 617 + 120 rows of 768; 60 % needs 793
  EXPECT_EQ(edges(p.window), (std::vector<int>{173, 0, 693, 737}));
  // Landscape: 85 % would fit the width but not the height; the window
  // is wider than its bars.
  p = PlacePreview(main, {1123, 794, 40, 120, 520}, screen);
  EXPECT_EQ(p.zoom, 80);
  EXPECT_EQ(edges(p.window), (std::vector<int>{0, 0, 938, 755}));
  // The work area under the main window's middle counts, not the first.
  const std::vector<ScreenRect> two{{0, 0, 1024, 768}, {1024, 0, 3584, 1440}};
  p = PlacePreview({1500, 200, 2100, 700}, a4, two);
  EXPECT_EQ(p.zoom, 100);
  EXPECT_GE(p.window.left, 1024);
  EXPECT_EQ(p.window.bottom - p.window.top, 1123 + 120);
  p = PlacePreview(main, a4, {{0, 0, 200, 150}});
  EXPECT_EQ(p.zoom, kPreviewZoomSteps[0]);
  EXPECT_EQ(edges(p.window), (std::vector<int>{0, 0, 200, 150}));
  // Without work areas the main window is the room.
  EXPECT_EQ(PlacePreview(main, a4, {}).zoom, 30);
}

// The bars' visibility comes back as stored; records that do not read
// whole, and a damaged count, leave the bars as they are.
TEST_F(Placement, BarsComeBackAsTheyWereAndDamagedRecordsAreSkipped) {
  EXPECT_TRUE(LoadBarStates(prefs).empty());
  const BarState bars[] = {{59392, false}, {59393, true}};
  SaveBarStates(prefs, bars);
  std::vector<BarState> back = LoadBarStates(prefs);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].id, 59392);
  EXPECT_FALSE(back[0].visible);
  EXPECT_EQ(back[1].id, 59393);
  EXPECT_TRUE(back[1].visible);
  EXPECT_EQ((prefs.values[{"BarSettings", "Bar0Visible"}]), "0");

  prefs.values[{"BarSettings", "Bar0Visible"}] = "2";
  prefs.values[{"BarSettings", "Bar1ID"}] = "toolbar";
  EXPECT_TRUE(LoadBarStates(prefs).empty());
  SaveBarStates(prefs, std::span<const BarState>(bars, 1));
  ASSERT_EQ(LoadBarStates(prefs).size(), 1u);
  prefs.values[{"BarSettings", "Bars"}] = "2147483647";
  EXPECT_EQ(LoadBarStates(prefs).size(), 1u);
  prefs.values[{"BarSettings", "Bars"}] = "-3";
  EXPECT_TRUE(LoadBarStates(prefs).empty());
}

// The busy pane holds its text whole in the bar's font, however wide, and
// never shrinks below its least width.
TEST(StatusBarRules, TheBusyPaneFitsItsLongestText) {
  auto perLetter = [](int32_t pixels) {
    return [pixels](std::string_view text) { return static_cast<int32_t>(text.size()) * pixels; };
  };
  EXPECT_EQ(BusyPaneWidth(perLetter(12), 30), 7 * 12 + 30);
  EXPECT_EQ(BusyPaneWidth(perLetter(3), 10), kBusyPaneLeast);
  EXPECT_EQ(BusyPaneWidth(perLetter(20), -5), 140);
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

TEST(ViewInput, KeysWithoutACharacterBecomeTheFigureCodes) {
  EXPECT_EQ(FigureCommandKey(CommandKey::kLeft), 0xF702u);
  EXPECT_EQ(FigureCommandKey(CommandKey::kUp), 0xF700u);
  EXPECT_EQ(FigureCommandKey(CommandKey::kRight), 0xF703u);
  EXPECT_EQ(FigureCommandKey(CommandKey::kDown), 0xF701u);
  EXPECT_EQ(FigureCommandKey(CommandKey::kDelete), 127u);
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

bool g_breakNoted = false;
bool TakeBreak(uintptr_t) {
  return std::exchange(g_breakNoted, false);
}

TEST(ViewInput, TimersTickWhileThereIsWorkAndInterruptsCloseOnlyAnIdleProgram) {
  StrictMock<test::MockEngineFacade> engine;
  EXPECT_CALL(engine, HasTimedWork(3)).WillOnce(Return(false)).WillOnce(Return(true));
  EXPECT_FALSE(TimersNeeded(engine, 3, false));
  EXPECT_TRUE(TimersNeeded(engine, 3, false));
  EXPECT_TRUE(TimersNeeded(engine, 3, true));  // a drag needs no question

  // A running handler keeps the break for its own test.
  g_breakNoted = true;
  EXPECT_CALL(engine, HandlerBusy()).WillOnce(Return(true)).WillRepeatedly(Return(false));
  EXPECT_FALSE(InterruptClosesWindow(engine, &TakeBreak));
  EXPECT_TRUE(g_breakNoted);
  EXPECT_TRUE(InterruptClosesWindow(engine, &TakeBreak));
  EXPECT_FALSE(g_breakNoted);
  // A handler took the break before the window saw the interrupt.
  EXPECT_FALSE(InterruptClosesWindow(engine, &TakeBreak));
}

}  // namespace
}  // namespace vke
