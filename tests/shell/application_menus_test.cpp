// The menus built from an application against a fake menu lookup: where
// its menus, formats, languages and plots go in the menu bar, the ids and
// records they take, cut texts, malformed sequences, the record limit and
// the id blocks, the commands they run with the clipboard, and their
// update rules; the figure's context menu.
#include "shell/application_menus.hpp"

#include <gtest/gtest.h>

#include "app/figure_commands.hpp"
#include "app/menu_items.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/subplot.hpp"
#include "shell/command_table.hpp"
#include "shell/menu_resources.hpp"
#include "tests/shell/menu_fakes.hpp"

namespace vke {
namespace {

using ::testing::_;
using ::testing::NiceMock;
using ::testing::Return;

constexpr int32_t kId = 4;

struct Menus : ::testing::Test {
  NiceMock<test::MockEngineFacade> engine;
  test::FakeLookup lookup;
  test::FakeClipboard clipboard;
  ApplicationMenus menus{engine, clipboard};
  MenuNode bar = MainMenu();
  NodeMenu barMenu{bar};

  void SetUp() override { test::ServeMenus(engine, lookup, kId); }
  const MenuNode& Menu(std::string_view title) {
    return bar.children[FindMenuByText(barMenu, title)];
  }
  std::string Edit() { return test::Outline(Menu(kEditMenuText)); }
};

TEST_F(Menus, AnApplicationWithNothingToAddLeavesTheMenuBarAsLaidOut) {
  const std::string before = test::Outline(bar);
  EXPECT_EQ(test::Titles(bar), "&File,&Edit,F&igure,&Layout,&View,&Help");
  // "Copy As", "Paste As" and "Language" follow the seven items of "&Edit".
  EXPECT_EQ(Menu(kEditMenuText).children.size(), size_t{kFormatsPosition});
  menus.Rebuild(kId, barMenu);
  menus.UpdateLayoutMenu(kId, barMenu);
  EXPECT_EQ(test::Outline(bar), before);
  EXPECT_TRUE(menus.Commands().Records().empty());
  // Without layouts offered "&Layout" goes.
  ON_CALL(engine, FigureCommandOffered(kId, kLayoutFigureCommand)).WillByDefault(Return(false));
  menus.UpdateLayoutMenu(kId, barMenu);
  EXPECT_EQ(test::Titles(bar), "&File,&Edit,F&igure,&View,&Help");
}

TEST_F(Menus, TheApplicationsMenusFormatsLanguagesAndPlotsTakeTheirPlacesAndIds) {
  lookup.Add('m', kElemMenuStart, "&Count");
  lookup.Add('m', kElemMenuItem, "Add one");
  lookup.Add('m', kElemMenuSeparator);
  lookup.Add('m', kElemMenuStructure, "More");
  lookup.Add('m', kElemMenuItem, "Zero");
  lookup.Add('m', kElemMenuStructure);
  lookup.Add('m', kElemMenuItem, "Mode");
  lookup.Add('m', kElemMenuEnd);
  lookup.Add('m', kElemMenuStart, "Other");
  lookup.Add('m', kElemMenuItem, std::string(59, 'x') + "\xc3\xa9" + "yz");
  lookup.Add('m', kElemMenuEnd);
  lookup.Add('i', kElemPaste, "Count");
  lookup.Add('i', kElemPaste);
  lookup.Add('e', kElemCopy, "Count");
  lookup.Add('e', kElemCopy, "Typed");
  lookup.Add('f', kElemFigure, "Counter", 40);
  lookup.Add('f', kElemFigure, "Phase", 52);
  lookup.languages = {"English", "Francais"};
  menus.Rebuild(kId, barMenu);

  EXPECT_EQ(test::Titles(bar), "&File,&Edit,&Count,Other,&Plots,F&igure,&Layout,&View,&Help");
  EXPECT_EQ(test::Outline(Menu("&Count")), "Add one,-,More{Zero},Mode");
  // Cut at 60 bytes, before the two-byte character that would not fit.
  EXPECT_EQ(Menu("Other").children[0].label, std::string(59, 'x'));
  EXPECT_EQ(test::Outline(Menu("&Plots")), "&Remove,-,Counter,Phase");
  EXPECT_EQ(Edit().substr(Edit().find("Copy As")),
            "Copy As{Count,Typed},Paste As{Count,-},Language{English,Francais}");

  const MenuNode& count = Menu("&Count");
  EXPECT_EQ(count.children[0].id, kKVMenuFirstId);
  EXPECT_EQ(count.children[2].children[0].id, kKVMenuFirstId + 1);
  EXPECT_EQ(count.children[3].id, kKVMenuFirstId + 2);
  std::vector<std::tuple<int32_t, int32_t, KVMenuKind>> records;
  for (const MenuCommandRecord& r : menus.Commands().Records())
    records.emplace_back(r.id, r.element, r.kind);
  using K = KVMenuKind;
  EXPECT_EQ(records, (std::vector<std::tuple<int32_t, int32_t, K>>{
                         {11200, 1, K::kItem},
                         {-1, -1, K::kItem},
                         {11201, 4, K::kItem},
                         {11202, 6, K::kItem},
                         {11203, 9, K::kItem},
                         {11400, 0, K::kLanguage},
                         {11401, 1, K::kLanguage},
                         {11600, 0, K::kPasteAs},
                         {-1, -1, K::kPasteAs},
                         {11800, 0, K::kCopyAs},
                         {11801, 1, K::kCopyAs},
                     }));
  ASSERT_EQ(menus.Plots().Records().size(), 2u);
  EXPECT_EQ(menus.Plots().Records()[1].id, kFirstPlotId + 1);
  EXPECT_EQ(menus.Plots().Records()[1].element, 52);

  // Building again replaces everything; clearing restores the layout.
  menus.Rebuild(kId, barMenu);
  EXPECT_EQ(test::Titles(bar), "&File,&Edit,&Count,Other,&Plots,F&igure,&Layout,&View,&Help");
  menus.Clear(barMenu);
  EXPECT_EQ(test::Outline(bar), test::Outline(MainMenu()));
  EXPECT_TRUE(menus.Commands().Records().empty());
  EXPECT_TRUE(menus.Plots().Records().empty());
}

TEST_F(Menus, MalformedSequencesBuildWhole) {
  // An item before any title, an unmatched sub-menu end, a sub-menu opened
  // inside another, and a title while a sub-menu is open.
  lookup.Add('m', kElemMenuItem, "Loose");
  lookup.Add('m', kElemMenuStructure);
  lookup.Add('m', kElemMenuStructure, "A");
  lookup.Add('m', kElemMenuItem, "a1");
  lookup.Add('m', kElemMenuStructure, "B");
  lookup.Add('m', kElemMenuItem, "b1");
  lookup.Add('m', kElemMenuStart, "Next");
  lookup.Add('m', kElemMenuItem, "n1");
  lookup.Add('m', kElemMenuStructure, "C");
  lookup.Add('m', kElemMenuEnd);
  lookup.Add('m', kElemMenuEnd);
  lookup.Add('m', kElemMenuStart);
  lookup.Add('m', kElemMenuItem, "untitled");
  menus.Rebuild(kId, barMenu);
  EXPECT_EQ(test::Titles(bar), "&File,&Edit,Settings,Next,Settings,F&igure,&Layout,&View,&Help");
  EXPECT_EQ(test::Outline(bar.children[2]), "Loose,A{a1},B{b1}");
  EXPECT_EQ(test::Outline(bar.children[3]), "n1,C{}");
  EXPECT_EQ(menus.Commands().Records().size(), 5u);
}

TEST_F(Menus, RecordsStopAt256AndIdsStayInTheirBlocks) {
  // 210 items: the block holds 200 ids, none reaches the languages' block.
  lookup.Add('m', kElemMenuStart, "Many");
  for (int k = 0; k < 210; k++) lookup.Add('m', kElemMenuItem, "item " + std::to_string(k));
  for (int k = 0; k < 80; k++) lookup.languages.push_back("language " + std::to_string(k));
  menus.Rebuild(kId, barMenu);
  const auto records = menus.Commands().Records();
  ASSERT_EQ(records.size(), size_t{kMaxMenuRecords});
  EXPECT_EQ(records[199].id, kKVMenuFirstId + 199);
  EXPECT_EQ(records[200].id, kLanguageFirstId);
  EXPECT_EQ(records.back().id, kLanguageFirstId + 55);
  EXPECT_EQ(Menu("Many").children.size(), 200u);
  // The update rules find records beyond the first 64.
  EXPECT_CALL(engine, MenuItemState(kId, 55, _, _))
      .WillOnce([](int32_t, int32_t, std::string_view, uint8_t* s) -> ErrCode {
        *s = 3;
        return kOk;
      });
  const std::optional<CommandUpdate> u = menus.UpdateKVMenuCommand(kId, kLanguageFirstId + 55);
  ASSERT_TRUE(u);
  EXPECT_TRUE(u->enabled);
  EXPECT_EQ(u->check, CheckMark::kOn);
  EXPECT_FALSE(menus.UpdateKVMenuCommand(kId, kLanguageFirstId + 56));
}

TEST_F(Menus, RemovingUpToAMissingMenuRemovesNothing) {
  MenuNode other = MenuNode::Popup("", {MenuNode::Popup("&Edit"), MenuNode::Popup("A")});
  NodeMenu menu(other);
  RemoveMenusBefore(menu, 1, kFigureMenuText);
  EXPECT_EQ(test::Titles(other), "&Edit,A");
  RemoveMenuByText(menu, "&edit");  // exact text only
  EXPECT_EQ(menu.Count(), 2);
  // Without "&Edit" the application's menus go last and the Edit
  // sub-menus are left out.
  lookup.Add('m', kElemMenuStart, "Mine");
  lookup.Add('m', kElemMenuItem, "x");
  lookup.Add('e', kElemCopy, "Count");
  MenuNode plain = MenuNode::Popup("", {MenuNode::Popup("&File")});
  NodeMenu plainMenu(plain);
  menus.Rebuild(kId, plainMenu);
  EXPECT_EQ(test::Titles(plain), "&File,Mine");
}

// The kinds of item a menu shows a mark in front of.
std::string Kinds(const MenuNode& node) {
  std::string out;
  for (const MenuNode& c : node.children) {
    switch (c.kind) {
      case MenuItemKind::kCheck:
        out += 'c';
        break;
      case MenuItemKind::kRadio:
        out += 'r';
        break;
      case MenuItemKind::kCommand:
        out += '.';
        break;
      case MenuItemKind::kSeparator:
        out += '-';
        break;
      case MenuItemKind::kPopup:
        out += "{" + Kinds(c) + "}";
        break;
    }
  }
  return out;
}

// The figure modes are one group of radio items; the toggles are check
// items, the rest plain commands.
TEST_F(Menus, FigureModesAreRadioItemsAndTogglesCheckItems) {
  EXPECT_EQ(Kinds(Menu(kFigureMenuText)), "rrrrr-cccc-c{ccc}{cccc}{ccc-ccc}-c");
  EXPECT_EQ(Kinds(Menu("&File")), ".-...-.");
  EXPECT_EQ(Kinds(Menu(kEditMenuText)), "..-..-{cc..}");
  EXPECT_EQ(Kinds(Menu(kLayoutMenuText)), "ccccccccc-cc");
  EXPECT_EQ(Kinds(FigureContextMenu()), "cccc-c{ccc}{cccc}{ccc-ccc}");
}

// Only the application's items whose state may carry a check mark are
// check items; its formats are plain commands, languages and plots check
// items. Without the state (no engine), items keep their check mark.
TEST_F(Menus, OnlyItemsWithACheckedExpressionAreCheckItems) {
  lookup.Add('m', kElemMenuStart, "&Count");
  lookup.Add('m', kElemMenuItem, "Add one");
  lookup.Add('m', kElemMenuItem, "Mode");
  lookup.Add('m', kElemMenuItem, "Unread");
  lookup.Add('m', kElemMenuEnd);
  lookup.Add('i', kElemPaste, "Count");
  lookup.Add('e', kElemCopy, "Count");
  lookup.Add('f', kElemFigure, "Counter", 40);
  lookup.languages = {"English"};
  clipboard.text = "12";
  EXPECT_CALL(engine, MenuItemState(kId, 1, std::string_view("12"), _))
      .WillRepeatedly([](int32_t, int32_t, std::string_view, uint8_t* state) {
        *state = kMenuStateEnabled | kMenuStateNoCheckMark;
        return kOk;
      });
  EXPECT_CALL(engine, MenuItemState(kId, 2, _, _))
      .WillRepeatedly([](int32_t, int32_t, std::string_view, uint8_t* state) {
        *state = kMenuStateEnabled;
        return kOk;
      });
  EXPECT_CALL(engine, MenuItemState(kId, 3, _, _)).WillRepeatedly(Return(kKvUndefElement));
  menus.Rebuild(kId, barMenu);
  EXPECT_EQ(Kinds(Menu("&Count")), ".cc");
  EXPECT_EQ(Kinds(Menu("&Plots")), "c-c");
  const MenuNode& edit = Menu(kEditMenuText);
  EXPECT_EQ(Kinds(edit).substr(Kinds(edit).size() - 9), "{.}{.}{c}");
  // The update of a plain item gives no check mark.
  EXPECT_EQ(menus.UpdateKVMenuCommand(kId, kKVMenuFirstId)->check, CheckMark::kOff);

  ON_CALL(engine, Created()).WillByDefault(Return(false));
  menus.Rebuild(kId, barMenu);
  EXPECT_EQ(Kinds(Menu("&Count")), "ccc");
}

TEST(MenuShapes, TextsDoNotChangeAShapeButItemsAndIdsDo) {
  const MenuNode a = MenuNode::Popup(
      "A", {MenuNode::Item(7, "x", MenuItemKind::kCheck), MenuNode::Separator(),
            MenuNode::Popup("S", {MenuNode::Item(8, "y", MenuItemKind::kCommand)})});
  MenuNode b = a;
  b.label = "B";
  b.children[0].label = "z";
  b.children[2].label = "T";
  EXPECT_TRUE(SameShape(a, b));
  b.children[2].children[0].id = 9;
  EXPECT_FALSE(SameShape(a, b));
  b = a;
  b.children[0].kind = MenuItemKind::kCommand;
  EXPECT_FALSE(SameShape(a, b));
  b = a;
  b.children.pop_back();
  EXPECT_FALSE(SameShape(a, b));
}

TEST_F(Menus, CopyAsPutsLineFeedsAndAClosedClipboardIsAnError) {
  lookup.Add('e', kElemCopy, "Text");
  lookup.Add('i', kElemPaste, "Text");
  lookup.languages = {"en", "fr"};
  menus.Rebuild(kId, barMenu);
  EXPECT_CALL(engine, RunCopyHandler(kId, 0, -1, _))
      .WillRepeatedly([](int32_t, int32_t, int32_t, std::string* text) -> ErrCode {
        *text = "\nab\ncd\r\nef\rg\n";
        return kOk;
      });
  EXPECT_EQ(menus.RunKVMenuItem(kId, kCopyAsFirstId), kOk);
  EXPECT_EQ(clipboard.text, "\nab\ncd\nef\ng\n");
  clipboard.opens = false;
  EXPECT_EQ(menus.RunKVMenuItem(kId, kCopyAsFirstId), kErrExhaustedRsrc);

  // Paste As takes the clipboard's text; with none it does nothing.
  EXPECT_EQ(menus.RunKVMenuItem(kId, kPasteAsFirstId), kOk);
  clipboard.opens = true;
  clipboard.text = "41";
  EXPECT_CALL(engine, PasteLink(kId, 0, std::string_view("41"))).WillOnce(Return(kStatusRepaint));
  EXPECT_EQ(menus.RunKVMenuItem(kId, kPasteAsFirstId), kStatusRepaint);
  // A language is chosen by its offset; an id not in the table does nothing.
  EXPECT_CALL(engine, SetLanguage(kId, 1)).WillOnce(Return(kStatusInstanceChanged));
  EXPECT_EQ(menus.RunKVMenuItem(kId, kLanguageFirstId + 1), kStatusInstanceChanged);
  EXPECT_EQ(menus.RunKVMenuItem(kId, kLanguageFirstId + 2), kOk);
  // Without a context: its creation error.
  ON_CALL(engine, Created()).WillByDefault(Return(false));
  ON_CALL(engine, CreationError()).WillByDefault(Return(kErrNotSupported));
  EXPECT_EQ(menus.RunKVMenuItem(kId, kLanguageFirstId), kErrNotSupported);
}

TEST_F(Menus, MenuStatesSeeTheClipboardsText) {
  lookup.Add('i', kElemPaste, "Text");
  menus.Rebuild(kId, barMenu);
  EXPECT_CALL(engine, MenuItemState(kId, 0, std::string_view(), _))
      .WillOnce([](int32_t, int32_t, std::string_view clip, uint8_t* s) -> ErrCode {
        *s = clip.data() == nullptr ? 2 : 0;
        return kOk;
      });
  EXPECT_EQ(menus.UpdateKVMenuCommand(kId, kPasteAsFirstId)->check, CheckMark::kOn);
  clipboard.text = "12";
  EXPECT_CALL(engine, MenuItemState(kId, 0, std::string_view("12"), _))
      .WillOnce([](int32_t, int32_t, std::string_view, uint8_t* s) -> ErrCode {
        *s = 1;
        return kOk;
      });
  const CommandUpdate u = *menus.UpdateKVMenuCommand(kId, kPasteAsFirstId);
  EXPECT_TRUE(u.enabled);
  EXPECT_EQ(u.check, CheckMark::kOff);
}

TEST_F(Menus, APlotChoiceReportsAFailureAndDrawsOnSuccess) {
  lookup.Add('f', kElemFigure, "Counter", 40);
  menus.Rebuild(kId, barMenu);
  EXPECT_CALL(engine, ChoosePlot(kId, 40)).WillOnce(Return(kErrExhaustedRsrc));
  EXPECT_CALL(engine, RunDrawHandlers(kId)).Times(0);
  EXPECT_EQ(menus.RunPlotMenuCommand(kId, kFirstPlotId), kErrExhaustedRsrc);
  ::testing::Mock::VerifyAndClearExpectations(&engine);
  EXPECT_CALL(engine, ChoosePlot(kId, kRemovePlot)).WillOnce(Return(kOk));
  EXPECT_CALL(engine, RunDrawHandlers(kId)).WillOnce(Return(kOk));
  EXPECT_EQ(menus.RunPlotMenuCommand(kId, kRemovePlotId), kStatusRepaint);
  EXPECT_EQ(menus.RunPlotMenuCommand(kId, kFirstPlotId + 1), kOk);
  // States: "&Remove" asks for the empty plot.
  EXPECT_CALL(engine, SubplotSelectionState(kId, kPlotNone)).WillOnce(Return(1u));
  EXPECT_CALL(engine, SubplotSelectionState(kId, 40)).WillOnce(Return(3u));
  EXPECT_EQ(menus.UpdatePlotMenuCommand(kId, kRemovePlotId)->check, CheckMark::kOff);
  EXPECT_EQ(menus.UpdatePlotMenuCommand(kId, kFirstPlotId)->check, CheckMark::kOn);
  EXPECT_FALSE(menus.UpdatePlotMenuCommand(kId, kFirstPlotId + 1));
}

TEST_F(Menus, TheContextMenuShowsPlotsWhenOffered) {
  EXPECT_EQ(test::Outline(menus.ContextMenu(kId)).substr(0, 37),
            "&Locked Scale,Log &X,Log &Y,d&B Y,-,&");
  lookup.Add('f', kElemFigure, "Counter", 40);
  EXPECT_EQ(test::Titles(menus.ContextMenu(kId)).substr(0, 22), "&Plots,,&Locked Scale,");
  ON_CALL(engine, FigureCommandOffered(kId, kLayoutFigureCommand)).WillByDefault(Return(false));
  EXPECT_EQ(test::Titles(menus.ContextMenu(kId)).substr(0, 13), "&Locked Scale");
}

}  // namespace
}  // namespace vke
