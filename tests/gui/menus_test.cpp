// The menus in the toolkit, against a mocked engine: the application's
// menus built into a real menu bar and built again, the update rules given
// to menu items with the indeterminate check mark and relabelled items,
// radio and plain items, the busy pane of the status bar, and the desktop
// clipboard seen from another program.
#include <gmock/gmock.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/menu_items.hpp"
#include "shell/command_table.hpp"
#include "shell/platform/menu_check.hpp"
#include "shell/status_bar.hpp"
#include "shell/window/kv_windows.hpp"
#include "tests/gui/gui_env.hpp"
#include "tests/shell/menu_fakes.hpp"

namespace vke {
namespace {

using ::testing::NiceMock;
using ::testing::Return;

constexpr int32_t kId = 1;

struct ToolkitMenus : ::testing::Test {
  NiceMock<test::MockEngineFacade> engine;
  test::FakeLookup lookup;
  test::FakeClipboard clipboard;
  wxFrame* frame = nullptr;

  void SetUp() override {
    VKE_REQUIRE_GUI();
    test::ServeMenus(engine, lookup, kId);
    frame = new wxFrame(nullptr, wxID_ANY, "Menus", wxPoint(40, 40), wxSize(760, 300));
    frame->SetMenuBar(NewMenuBar(MainMenu()));
    frame->Show();
    test::Pump(200);
  }
  void TearDown() override {
    if (frame) frame->Destroy();
    test::Pump(50);
  }
  std::string Titles() {
    std::string out;
    wxMenuBar* bar = frame->GetMenuBar();
    for (size_t k = 0; k < bar->GetMenuCount(); k++)
      out.append(k ? "," : "").append(bar->GetMenuLabel(k).ToStdString());
    return out;
  }
};

TEST_F(ToolkitMenus, TheApplicationsMenusAreBuiltAgainInPlace) {
  lookup.Add('m', kElemMenuStart, "&Count");
  lookup.Add('m', kElemMenuItem, "Add one");
  lookup.Add('m', kElemMenuStructure, "More");
  lookup.Add('m', kElemMenuItem, "Zero");
  lookup.Add('e', kElemCopy, "Count");
  lookup.Add('f', kElemFigure, "Counter", 40);
  lookup.languages = {"English"};
  ApplicationMenus menus(engine, clipboard);
  WxMenuBarSurface bar(frame->GetMenuBar());
  for (int k = 0; k < 3; k++) {
    menus.Rebuild(kId, bar);
    bar.Redraw();
    test::Pump(20);
  }
  EXPECT_EQ(Titles(), "&File,&Edit,&Count,&Plots,F&igure,&Layout,&View,&Help");
  wxMenu* edit = frame->GetMenuBar()->GetMenu(1);
  ASSERT_EQ(edit->GetMenuItemCount(), 9u);
  EXPECT_EQ(edit->FindItemByPosition(7)->GetItemLabel(), "Copy As");
  EXPECT_EQ(edit->FindItemByPosition(8)->GetItemLabel(), "Language");
  wxMenu* count = frame->GetMenuBar()->GetMenu(2);
  EXPECT_EQ(count->FindItemByPosition(1)->GetSubMenu()->FindItemByPosition(0)->GetId(),
            kKVMenuFirstId + 1);

  // Menus of the same shape are taken back, relabelled; others made anew.
  wxMenu* copyAs = edit->FindItemByPosition(7)->GetSubMenu();
  lookup.stops['m'][0].text = "&Compte";
  lookup.stops['m'][1].text = "Un de plus";
  lookup.stops['e'][0].text = "Compte";
  menus.Rebuild(kId, bar);
  bar.Redraw();
  EXPECT_EQ(frame->GetMenuBar()->GetMenu(2), count);
  EXPECT_EQ(frame->GetMenuBar()->GetMenuLabel(2), "&Compte");
  EXPECT_EQ(count->FindItemByPosition(0)->GetItemLabel(), "Un de plus");
  EXPECT_EQ(edit->FindItemByPosition(7)->GetSubMenu(), copyAs);
  EXPECT_EQ(copyAs->FindItemByPosition(0)->GetItemLabel(), "Compte");
  lookup.Add('m', kElemMenuItem, "Two");
  menus.Rebuild(kId, bar);
  bar.Redraw();
  test::Pump(20);
  wxMenu* more = frame->GetMenuBar()->GetMenu(2)->FindItemByPosition(1)->GetSubMenu();
  ASSERT_NE(more, nullptr);
  ASSERT_EQ(more->GetMenuItemCount(), 2u);
  EXPECT_EQ(more->FindItemByPosition(1)->GetId(), kKVMenuFirstId + 2);

  menus.Clear(bar);
  bar.Redraw();
  test::Pump(20);
  EXPECT_EQ(Titles(), "&File,&Edit,F&igure,&Layout,&View,&Help");
  EXPECT_EQ(edit->GetMenuItemCount(), 7u);
}

TEST_F(ToolkitMenus, UpdatesEnableCheckRelabelAndMarkMixedItems) {
  CommandUpdate update;
  frame->Bind(
      wxEVT_UPDATE_UI, [&](wxUpdateUIEvent& event) { ApplyCommandUpdate(event, update); },
      kCmdYGrid);
  frame->Bind(
      wxEVT_UPDATE_UI, [&](wxUpdateUIEvent& event) { ApplyCommandUpdate(event, update); },
      kCmdKVFileHelp);
  wxMenuBar* bar = frame->GetMenuBar();
  wxMenuItem* grid = bar->FindItem(kCmdYGrid);
  ASSERT_NE(grid, nullptr);
  auto refresh = [&] {
    for (size_t k = 0; k < bar->GetMenuCount(); k++) bar->GetMenu(k)->UpdateUI(frame);
  };
  update = {true, CheckMark::kMixed, ""};
  refresh();
  EXPECT_TRUE(grid->IsEnabled());
  EXPECT_FALSE(grid->IsChecked());
  EXPECT_TRUE(CheckItemIndeterminate(grid->GetMenuItem()));
  update = {false, CheckMark::kOn, ""};
  refresh();
  EXPECT_FALSE(grid->IsEnabled());
  EXPECT_TRUE(grid->IsChecked());
  EXPECT_FALSE(CheckItemIndeterminate(grid->GetMenuItem()));
  // A new text keeps the item's accelerator.
  update = {true, CheckMark::kNone, "Families Help"};
  refresh();
  EXPECT_EQ(bar->FindItem(kCmdKVFileHelp)->GetItemLabel(), "Families Help\tF1");
}

// The figure modes are radio items of one group: turning one on turns the
// one before off, and the update of the others, off, leaves it on. The
// application's items without a check mark are plain items.
TEST_F(ToolkitMenus, FigureModesAreRadioItemsAndPlainItemsCarryNoMark) {
  wxMenuBar* bar = frame->GetMenuBar();
  for (const int32_t id : {kCmdManipulate, kCmdZoom, kCmdZoomX, kCmdDrag, kCmdSelect})
    EXPECT_TRUE(bar->FindItem(id)->IsRadio()) << id;
  EXPECT_TRUE(bar->FindItem(kCmdLogX)->IsCheck());
  EXPECT_FALSE(bar->FindItem(kCmdResetData)->IsCheckable());
  int32_t mode = kCmdDrag;
  frame->Bind(
      wxEVT_UPDATE_UI,
      [&](wxUpdateUIEvent& event) {
        ApplyCommandUpdate(event,
                           {true, event.GetId() == mode ? CheckMark::kOn : CheckMark::kOff, ""});
      },
      kCmdManipulate, kCmdSelect);
  auto refresh = [&] {
    for (size_t k = 0; k < bar->GetMenuCount(); k++) bar->GetMenu(k)->UpdateUI(frame);
  };
  refresh();
  EXPECT_TRUE(bar->FindItem(kCmdDrag)->IsChecked());
  EXPECT_FALSE(bar->FindItem(kCmdManipulate)->IsChecked());
  mode = kCmdZoom;
  refresh();
  EXPECT_TRUE(bar->FindItem(kCmdZoom)->IsChecked());
  EXPECT_FALSE(bar->FindItem(kCmdDrag)->IsChecked());

  lookup.Add('m', kElemMenuStart, "&Count");
  lookup.Add('m', kElemMenuItem, "Add one");
  ON_CALL(engine, MenuItemState)
      .WillByDefault([](int32_t, int32_t, std::string_view, uint8_t* state) {
        *state = kMenuStateEnabled | kMenuStateNoCheckMark;
        return kOk;
      });
  ApplicationMenus menus(engine, clipboard);
  WxMenuBarSurface surface(bar);
  menus.Rebuild(kId, surface);
  surface.Redraw();
  EXPECT_FALSE(bar->FindItem(kKVMenuFirstId)->IsCheckable());
}

// The busy pane shows its text whole; at the 64 pixels it had, the text
// did not fit.
TEST_F(ToolkitMenus, TheBusyPaneShowsItsTextWhole) {
  wxStatusBar* bar = frame->CreateStatusBar(2);
  frame->SendSizeEvent();
  test::Pump(100);
  auto shown = [&](int width) {
    if (width > 0) {
      const int widths[2] = {-1, width};
      bar->SetStatusWidths(2, widths);
    } else {
      FitBusyPane(bar);
    }
    bar->SetStatusText(WindowText(kBusyText), kBusyPane);
    bar->Refresh();
    bar->Update();
    test::Pump(100);
    return !bar->GetField(kBusyPane).IsEllipsized();
  };
  EXPECT_FALSE(shown(kBusyPaneLeast));
  EXPECT_TRUE(shown(0));
  test::Snapshot(frame, "busy-pane");
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(ToolkitMenus, TheClipboardIsSharedWithOtherPrograms) {
  VKE_REQUIRE_COMMANDS("xclip", "xclip");
  test::TempFolder folder;
  const std::string out = folder.Path() + "/clip.txt";
  ASSERT_TRUE(CopyTextToClipboard(SystemClipboard(), "a\nb\r\nc\rd"));
  // This program serves the clipboard while the other one reads it.
  test::Shell("(" + test::UnlessHung("xclip -o -selection clipboard") + " > '" + out + "') &");
  test::PumpUntil([&] { return !ReadFile(out).empty(); });
  EXPECT_EQ(ReadFile(out), "a\nb\nc\nd");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  test::Shell("printf 'pasted' | " + test::UnlessHung("xclip -selection clipboard"));
  // The other program owns the clipboard once a third one reads its text,
  // and this one has heard that it lost it once its events have run: a
  // read while the owner changes is answered by the toolkit out of turn.
  const std::string check = folder.Path() + "/check.txt";
  test::PumpUntil([&] {
    test::Shell(test::UnlessHung("xclip -o -selection clipboard") + " > '" + check +
                "' 2>/dev/null");
    return ReadFile(check) == "pasted";
  });
  test::Pump(200);
  test::PumpUntil([] { return SystemClipboard().Text() == "pasted"; });
  EXPECT_EQ(SystemClipboard().Text(), "pasted");
}

}  // namespace
}  // namespace vke
