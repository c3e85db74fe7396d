// The document's commands against a mocked engine: the exact calls of the
// figure commands, their update rules with the indeterminate state, the
// error box with its fallbacks, and a change of the instance that rebuilds
// the menus and retitles the text windows.
#include "shell/document_commands.hpp"

#include <gtest/gtest.h>

#include "app/figure_commands.hpp"
#include "graphics/figure_codes.hpp"
#include "shell/menu_resources.hpp"
#include "tests/shell/menu_fakes.hpp"

namespace vke {
namespace {

using ::testing::_;
using ::testing::NiceMock;
using ::testing::Return;

constexpr int32_t kId = 2;

struct Document : ::testing::Test {
  NiceMock<test::MockEngineFacade> engine;
  test::FakeClipboard clipboard;
  test::FakeDocumentHost host;
  test::FakeLookup lookup;
  DocumentCommands doc{engine, clipboard, host};

  void SetUp() override {
    test::ServeMenus(engine, lookup, kId);
    ON_CALL(engine, ErrorText(_)).WillByDefault([](ErrCode e) {
      return "Error " + std::to_string(e);
    });
    host.UseMenuBar(MainMenu());
    doc.SetInstance(kId);
  }
  CommandUpdate Update(int32_t id) {
    std::optional<CommandUpdate> u = doc.Update(id);
    EXPECT_TRUE(u) << id;
    return u.value_or(CommandUpdate{});
  }
};

TEST_F(Document, FigureCommandsSendTheirMasksAndValues) {
  EXPECT_CALL(engine, SetFigureMenuBits(kId, FigureMenu::kOption, 0x6000u, 0x1000u));
  doc.Execute(kCmdNoGrid);
  EXPECT_EQ(host.views, 1);
  EXPECT_EQ(host.modified, true);

  // Log X flips bit 1 of the selection's scale bits under mask 19.
  ON_CALL(engine, GetFigureMenuState(kId, FigureMenu::kScale))
      .WillByDefault(Return(MenuBits{0x2, 0x13, 0}));
  EXPECT_CALL(engine, SetFigureMenuBits(kId, FigureMenu::kScale, 19u, 0x3u));
  doc.Execute(kCmdLogX);
  EXPECT_CALL(engine, SetFigureMenuBits(kId, FigureMenu::kScale, 19u, 0x0u));
  doc.Execute(kCmdLogY);

  // Options toggle their bit: the inverse of the current word under it.
  ON_CALL(engine, GetFigureMenuState(kId, FigureMenu::kOption))
      .WillByDefault(Return(MenuBits{0x8000, 0x8004, 0}));
  EXPECT_CALL(engine, SetFigureMenuBits(kId, FigureMenu::kOption, 0x8000u, ~0x8000u));
  doc.Execute(kCmdFrame);
  EXPECT_CALL(engine, SetFigureMenuBits(kId, FigureMenu::kOption, 0x4u, ~0x8000u));
  doc.Execute(kCmdXGrid);

  ViewMenuState view{};
  view.autoUp = true;
  ON_CALL(engine, GetViewMenuState(kId, _)).WillByDefault([&](int32_t, ViewMenuState* v) {
    *v = view;
    return true;
  });
  EXPECT_CALL(engine, SetCameraViewFlag(kId, 4u, false));
  doc.Execute(kCmdAutoUpVector);
  EXPECT_CALL(engine, SetPerspectiveView(kId, true));
  doc.Execute(kCmdPerspective);
  EXPECT_CALL(engine, ToggleLockedScale(kId));
  doc.Execute(kCmdLockedScale);
  EXPECT_CALL(engine, ApplyLayout(kId, 2, 3));
  doc.Execute(kCmdLayout2x3);
  EXPECT_CALL(engine, MakeLayoutFree(kId, true));
  doc.Execute(kCmdFixedSize);
  EXPECT_EQ(host.views, 10);

  // The modes and idle processing change no view.
  for (int32_t id = kCmdManipulate; id <= kCmdSelect; id++) {
    EXPECT_CALL(engine, SetFigureMode(static_cast<uint32_t>(id - 10019)));
    doc.Execute(id);
  }
  ON_CALL(engine, IdleProcessingEnabled(kId)).WillByDefault(Return(true));
  EXPECT_CALL(engine, SetIdleProcessing(kId, false));
  doc.Execute(kCmdIdleProcessing);
  EXPECT_EQ(host.views, 10);
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(Document, UpdateRulesEnableCheckAndMarkMixedSelections) {
  ON_CALL(engine, GetFigureMenuState(kId, FigureMenu::kOption))
      .WillByDefault(Return(MenuBits{0x2000, 0x6044, 0x40}));
  CommandUpdate u = Update(kCmdYGrid);
  EXPECT_TRUE(u.enabled);
  EXPECT_EQ(u.check, CheckMark::kMixed);
  EXPECT_EQ(Update(kCmdBasicGrid).check, CheckMark::kOn);
  EXPECT_EQ(Update(kCmdZGrid).enabled, false);
  ON_CALL(engine, GetLockedScaleState(kId, _)).WillByDefault([](int32_t, bool* mixed) {
    *mixed = true;
    return false;
  });
  EXPECT_EQ(Update(kCmdLockedScale).check, CheckMark::kMixed);

  ON_CALL(engine, GetLayout(kId)).WillByDefault(Return(LayoutState{2, 3, false, false, false}));
  ON_CALL(engine, HasFigureElements(kId)).WillByDefault(Return(true));
  EXPECT_EQ(Update(kCmdLayout2x3).check, CheckMark::kOn);
  EXPECT_EQ(Update(kCmdLayout3x3).check, CheckMark::kOff);
  ON_CALL(engine, GetLayout(kId)).WillByDefault(Return(LayoutState{2, 3, true, false, true}));
  EXPECT_EQ(Update(kCmdLayout2x3).check, CheckMark::kOff);
  EXPECT_EQ(Update(kCmdFreeLayout).check, CheckMark::kOn);
  EXPECT_EQ(Update(kCmdFixedSize).check, CheckMark::kOff);

  ON_CALL(engine, GetFigureMode()).WillByDefault(Return(3u));
  ON_CALL(engine, FindHandlerSlot(kId)).WillByDefault(Return(true));
  EXPECT_EQ(Update(kCmdZoomX).check, CheckMark::kOn);
  EXPECT_EQ(Update(kCmdZoom).check, CheckMark::kOff);

  // The texts of the application's about and help commands.
  EXPECT_EQ(Update(kCmdKVFileHelp).text, "KV File Help");
  EXPECT_EQ(Update(kCmdAboutKVFile).text, "About KV File");
  // The frame's and the hooks' commands are not the document's.
  EXPECT_FALSE(doc.Update(kCmdPrint));
  EXPECT_FALSE(doc.Update(kCmdUndo));

  // Without a context every item is disabled and commands only redraw.
  ON_CALL(engine, Created()).WillByDefault(Return(false));
  for (int32_t id : {kCmdResetData, kCmdLayout2x3, kCmdZoomX, kCmdKVFileHelp}) {
    EXPECT_FALSE(Update(id).enabled) << id;
    EXPECT_NE(Update(id).check, CheckMark::kOn) << id;
  }
  EXPECT_CALL(engine, ResetData(_)).Times(0);
  doc.Execute(kCmdResetData);
  EXPECT_EQ(host.views, 1);
}

TEST_F(Document, FailuresShowTheirTextOrTheCommandsFallback) {
  EXPECT_CALL(engine, ResetData(kId)).WillOnce(Return(kErrExhaustedRsrc)).WillOnce(Return(kOk));
  doc.Execute(kCmdResetData);
  EXPECT_CALL(engine, RunDrawHandlers(kId));
  doc.Execute(kCmdResetData);
  EXPECT_EQ(host.modified, false);
  EXPECT_EQ(host.views, 1);

  lookup.Add('m', kElemMenuStart, "Count");
  lookup.Add('m', kElemMenuItem, "Add one");
  lookup.Add('f', kElemFigure, "Counter", 40);
  doc.UpdateMenus(true);
  EXPECT_CALL(engine, RunMenuItem(kId, 1)).WillOnce(Return(10100)).WillOnce(Return(10201));
  doc.Execute(kKVMenuFirstId);
  doc.Execute(kKVMenuFirstId);
  EXPECT_EQ(host.views, 2);
  EXPECT_CALL(engine, ChoosePlot(kId, 40)).WillOnce(Return(10041));
  doc.Execute(kFirstPlotId);
  EXPECT_CALL(engine, ErrorText(600)).WillOnce(Return(""));
  EXPECT_CALL(engine, ChoosePlot(kId, kRemovePlot)).WillOnce(Return(600));
  doc.Execute(kRemovePlotId);
  EXPECT_EQ(host.errors, (std::vector<std::string>{
                             "Reset error: Error 10000",
                             "Menu error: Error 10100",
                             "Choose Plot error: Error 10041",
                             "Choose Plot error: Choose Plot error",
                         }));
}

TEST_F(Document, AChangedInstanceRebuildsMenusAndRetitlesItsWindows) {
  lookup.languages = {"English", "Francais"};
  doc.UpdateMenus(false);
  ON_CALL(engine, GetText(kId, InstanceText::kVersion)).WillByDefault(Return("v1"));
  EXPECT_TRUE(doc.ShowAboutKVFile());
  ASSERT_EQ(host.windows.size(), 1u);
  EXPECT_EQ(host.windows[0]->title, "About KV File");
  EXPECT_EQ(host.windows[0]->text, "v1");
  host.windows[0]->shown = true;
  doc.Execute(kCmdKVFileHelp);  // no help text: made, left hidden
  ASSERT_EQ(host.windows.size(), 2u);
  EXPECT_FALSE(host.windows[1]->shown);

  // The language changes the title (longer than 119 characters) and drops
  // the version text; the new language also gets a menu item.
  const std::string title = std::string(118, 't') + "\xc3\xa9\xc3\xa9";
  ON_CALL(engine, GetText(kId, InstanceText::kTitle)).WillByDefault(Return(title));
  ON_CALL(engine, GetText(kId, InstanceText::kVersion)).WillByDefault(Return(std::nullopt));
  EXPECT_CALL(engine, SetLanguage(kId, 1)).WillOnce([&](int32_t, int32_t) {
    lookup.Add('m', kElemMenuStart, "Compte");
    lookup.Add('m', kElemMenuItem, "Un de plus");
    return kStatusInstanceChanged;
  });
  doc.Execute(kLanguageFirstId + 1);
  const std::string kept = std::string(118, 't') + "\xc3\xa9";
  EXPECT_EQ(doc.Title(), kept);
  EXPECT_EQ(host.title, kept);
  EXPECT_EQ(test::Titles(host.bar).substr(0, 19), "&File,&Edit,Compte,");
  EXPECT_EQ(host.windows[0]->title, "About " + kept);
  EXPECT_FALSE(host.windows[0]->shown);
  EXPECT_EQ(host.windows[1]->title, kept + " Help");
  EXPECT_EQ(Update(kCmdKVFileHelp).text, kept + " Help");
  EXPECT_EQ(host.modified, true);

  doc.UpdateEditMenus();
  EXPECT_EQ(test::Outline(host.bar), test::Outline(MainMenu()));
}

}  // namespace
}  // namespace vke
