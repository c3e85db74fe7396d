// The figure's preference commands: toggles reach the engine and the port
// and are written; the background colour and the figure font are stored
// only when the user accepts, and read back as the start reads them.
#include "shell/figure_preferences.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "graphics/cairo_target.hpp"
#include "graphics/port.hpp"
#include "tests/shell/memory_preferences.hpp"
#include "tests/shell/mock_engine_facade.hpp"

namespace vke {
namespace {

using ::testing::NiceMock;
using ::testing::Return;

class FakeDialogs : public PreferenceDialogs {
 public:
  std::optional<FigureFontChoice> ChooseFont(const FigureFontChoice& current) override {
    offeredFont = current;
    return font;
  }
  bool ChooseColor(uint32_t* colorref) override {
    offeredColor = *colorref;
    if (!color) return false;
    *colorref = *color;
    return true;
  }
  std::optional<FigureFontChoice> font;
  std::optional<uint32_t> color;
  FigureFontChoice offeredFont;
  uint32_t offeredColor = 0;
};

struct FigurePreferencesTest : ::testing::Test {
  NiceMock<test::MockEngineFacade> engine;
  test::MemoryPreferences prefs;
  FakeDialogs dialogs;
  void SetUp() override { ON_CALL(engine, Created()).WillByDefault(Return(true)); }
  void TearDown() override {
    SetBackgroundColor(kDefaultBackgroundColor);
    SetDrawingOption(false);
    SetPortFont(kDefaultFigureFontName, kDefaultFigureFontSize, 0);
  }
  std::string Stored(PrefKey key) {
    return prefs.Read(kPreferenceGroup, PreferenceKeyOf(key).name).value_or("-");
  }
};

TEST_F(FigurePreferencesTest, TogglesReachTheEngineAndThePortAndAreWritten) {
  FigurePreferences p(engine, prefs, dialogs, ReadStartupSettings(prefs));
  EXPECT_TRUE(p.InteractiveHighlight());  // on by default
  EXPECT_FALSE(p.ThickLines());
  EXPECT_CALL(engine, SetInteractiveHighlight(0));
  p.ToggleInteractiveHighlight();
  EXPECT_FALSE(p.InteractiveHighlight());
  EXPECT_EQ(Stored(PrefKey::InteractiveHilight), "0");
  p.ToggleThickLines();
  EXPECT_TRUE(p.ThickLines());
  EXPECT_EQ(Stored(PrefKey::ThickLines), "1");
  EXPECT_EQ(SelectPenBrush(PlotStyle{0, 0, 0, 0, 0}).width, 2);
  p.ToggleThickLines();
  EXPECT_EQ(SelectPenBrush(PlotStyle{0, 0, 0, 0, 0}).width, 1);
  EXPECT_EQ(ReadStartupSettings(prefs).thickLines, 0);
  EXPECT_EQ(ReadStartupSettings(prefs).interactiveHilight, 0);

  // Without an engine the highlight is still stored.
  ON_CALL(engine, Created()).WillByDefault(Return(false));
  EXPECT_CALL(engine, SetInteractiveHighlight(::testing::_)).Times(0);
  p.ToggleInteractiveHighlight();
  EXPECT_EQ(Stored(PrefKey::InteractiveHilight), "1");
}

TEST_F(FigurePreferencesTest, TheBackgroundColourIsKeptWhenAccepted) {
  FigurePreferences p(engine, prefs, dialogs, ReadStartupSettings(prefs));
  SetBackgroundColor(0x112233);
  EXPECT_FALSE(p.ChooseBackgroundColor());
  EXPECT_EQ(dialogs.offeredColor, 0x112233u);
  EXPECT_EQ(Stored(PrefKey::BkColor), "-");
  dialogs.color = 0x0000FF;  // red, as 0x00BBGGRR
  EXPECT_TRUE(p.ChooseBackgroundColor());
  EXPECT_EQ(GetBackgroundColor(), 0x0000FFu);
  // Read back at the next start.
  EXPECT_EQ(ReadStartupSettings(prefs).bkColor, 0x0000FFu);
}

TEST_F(FigurePreferencesTest, TheFigureFontIsKeptWhenAccepted) {
  prefs.Set(PrefKey::FigFontName, "DejaVu Sans");
  prefs.Set(PrefKey::FigFontSize, "-13");
  FigurePreferences p(engine, prefs, dialogs, ReadStartupSettings(prefs));
  // The margins follow an accepted font only.
  EXPECT_CALL(engine, RemeasureFigureMargins()).Times(2);
  EXPECT_FALSE(p.ChooseFigureFont());
  EXPECT_EQ(dialogs.offeredFont.face, "DejaVu Sans");
  EXPECT_EQ(dialogs.offeredFont.height, -13);
  dialogs.font = FigureFontChoice{"DejaVu Serif", -20};
  EXPECT_TRUE(p.ChooseFigureFont());
  EXPECT_EQ(Stored(PrefKey::FigFontName), "DejaVu Serif");
  EXPECT_EQ(Stored(PrefKey::FigFontSize), "-20");
  EXPECT_EQ(FigureFontPixels(prefs), 20);
  EXPECT_EQ(pango_font_description_get_family(FigureFont().desc()), std::string("DejaVu Serif"));
  EXPECT_EQ(pango_font_description_get_size(FigureFont().desc()), 20 * PANGO_SCALE);
  // Sizes beyond what the port draws are kept at its largest.
  dialogs.font = FigureFontChoice{"DejaVu Serif", -100000};
  EXPECT_TRUE(p.ChooseFigureFont());
  EXPECT_EQ(Stored(PrefKey::FigFontSize), std::to_string(-kLargestFontSize));
}

TEST(FigureFontHeights, PointsAndPixels) {
  EXPECT_EQ(FontHeightOfPoints(11, 96), -15);
  EXPECT_EQ(FontHeightOfPoints(9, 72), -9);
  EXPECT_EQ(FontHeightOfPoints(0, 96), -1);
  EXPECT_EQ(FontHeightOfPoints(1e9, 96), -kLargestFontSize);
  EXPECT_DOUBLE_EQ(PointsOfFontHeight(-15, 96), 11.25);
  EXPECT_DOUBLE_EQ(PointsOfFontHeight(15, 96), 11.25);
  EXPECT_DOUBLE_EQ(PointsOfFontHeight(0, 72), 1);
}

}  // namespace
}  // namespace vke
