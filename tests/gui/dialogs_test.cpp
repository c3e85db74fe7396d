// The shell's dialogs and text windows on the display, each closed from a
// timer as a user would close it: the prompt (typed text comes back through
// the engine's callback), the file choosers (filters, chosen paths, Cancel,
// the overwrite question), the about box (its picture, a key ends it), the
// help text's formats, and the font and colour dialogs of the figure
// preferences. Screenshots go to VKE_SCREEN_DIR when set.
#include <glib.h>
#include <gmock/gmock.h>
#include <wx/display.h>
#include <wx/fontdlg.h>
#include <wx/modalhook.h>
#include <wx/richtext/richtextctrl.h>
#include <wx/uiaction.h>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "shell/host_context.hpp"
#include "shell/window/kv_dialogs.hpp"
#include "shell/window/kv_windows.hpp"
#include "tests/gui/gui_env.hpp"
#include "tests/shell/memory_preferences.hpp"
#include "tests/shell/mock_engine_facade.hpp"

namespace vke {
namespace {

using ::testing::NiceMock;
using ::testing::Return;

using test::Gtk;
constexpr int kGtkResponseAccept = -3;
constexpr int kGtkResponseOk = -5;

void Respond(wxWindow* dialog, int response) {
  Gtk<void (*)(void*, int)>("gtk_dialog_response")(dialog->GetHandle(), response);
}

// Keeps the modal dialog that is open.
class OpenDialogs : public wxModalDialogHook {
 public:
  OpenDialogs() { Register(); }
  ~OpenDialogs() override { Unregister(); }
  wxDialog* current = nullptr;

 protected:
  int Enter(wxDialog* dialog) override {
    current = dialog;
    return wxID_NONE;
  }
  void Exit(wxDialog*) override { current = nullptr; }
};

// Runs an action on the open dialog once it has been on the screen a
// moment, from a timer of the modal loop.
class WhenOpen : public wxTimer {
 public:
  WhenOpen(std::function<wxDialog*()> dialog, std::function<void(wxDialog*)> action)
      : dialog_(std::move(dialog)), action_(std::move(action)) {
    Start(100);
  }
  void Notify() override {
    wxDialog* d = dialog_();
    if (!d || !d->IsShown() || ++ticks_ < 4) return;
    Stop();
    action_(d);
  }

 private:
  std::function<wxDialog*()> dialog_;
  std::function<void(wxDialog*)> action_;
  int ticks_ = 0;
};

struct Dialogs : ::testing::Test {
  OpenDialogs open;
  wxFrame* frame = nullptr;
  void SetUp() override {
    VKE_REQUIRE_GUI();
    frame = new wxFrame(nullptr, wxID_ANY, "Dialogs", wxPoint(30, 30), wxSize(400, 300));
    frame->Show();
    test::Pump(200);
  }
  void TearDown() override {
    if (frame) frame->Destroy();
    test::Pump(50);
  }
  std::function<wxWindow*()> Parent() {
    return [this] { return frame; };
  }
  std::function<wxDialog*()> Open() {
    return [this] { return open.current; };
  }
};

TEST_F(Dialogs, ThePromptShowsItsTextsAndGivesBackWhatIsTyped) {
  KVAppContext context(8290304, 8290304);
  ASSERT_TRUE(context.Created());
  WxPromptWindows windows(Parent());
  context.SetPromptWindows(&windows);
  KVContextBlock* block = context.Block();
  wxString title, prompt, answer;
  WhenOpen typist(Open(), [&](wxDialog* d) {
    auto* p = static_cast<PromptDialog*>(d);
    title = p->GetTitle();
    prompt = p->Prompt();
    answer = p->Answer();
    test::Snapshot(p, "prompt");
    wxUIActionSimulator sim;
    p->AnswerEdit()->SetFocus();
    p->AnswerEdit()->SetInsertionPointEnd();
    test::PumpUntil([&] { return p->AnswerEdit()->HasFocus(); });
    sim.Text(",3");
    test::PumpUntil([&] { return p->AnswerEdit()->GetValue().EndsWith(",3"); });
    sim.Char(WXK_RETURN);
  });
  char buffer[32] = "1,2";
  int32_t length = 3;
  ASSERT_TRUE(
      block->askInput("Valeurs", 7, "a, b ?", 6, buffer, 32, &length, 0, block->askInputArg));
  EXPECT_EQ(title, "Valeurs");
  EXPECT_EQ(prompt, "a, b ?");
  EXPECT_EQ(answer, "1,2");
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "1,2,3");

  // Escape cancels and leaves the buffer.
  WhenOpen canceller(Open(), [](wxDialog*) { wxUIActionSimulator().Char(WXK_ESCAPE); });
  EXPECT_FALSE(block->askInput("T", 1, "P", 1, buffer, 32, &length, 0, block->askInputArg));
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "1,2,3");
}

TEST_F(Dialogs, FileChoosersFilterChooseCancelAndAskBeforeOverwriting) {
  test::TempFolder folder;
  const std::string page = folder.Path() + "/page.html";
  const std::string bare = folder.Path() + "/README";
  std::ofstream(page) << "<p>";
  std::ofstream(bare) << "x";
  WxFileChooser chooser(Parent());
  wxFileDialog* shown = nullptr;
  chooser.WatchOpening([&](wxFileDialog& d) { shown = &d; });

  // The open dialog on "*.html" with an "All files" entry that lists names
  // without a dot.
  wxString wildcard;
  int filters = 0;
  bool allListsBare = false;
  WhenOpen picker(
      [&] { return static_cast<wxDialog*>(shown); },
      [&](wxDialog*) {
        wildcard = shown->GetWildcard();
        void* widget = shown->GetHandle();
        GSList* list = Gtk<GSList* (*)(void*)>("gtk_file_chooser_list_filters")(widget);
        filters = static_cast<int>(g_slist_length(list));
        if (filters == 2) {
          struct FilterInfo {
            int contains;
            const char* filename;
            const char* uri;
            const char* display;
            const char* mime;
          } info{1 | 4, bare.c_str(), nullptr, "README", nullptr};  // file name and display name
          allListsBare = Gtk<int (*)(void*, const FilterInfo*)>("gtk_file_filter_filter")(
              g_slist_nth_data(list, 1), &info);
        }
        g_slist_free(list);
        shown->SetPath(page);
        test::Pump(500);
        Respond(shown, kGtkResponseAccept);
      });
  const std::optional<std::string> chosen =
      chooser.Choose({false, "Open", "html|*.html|All files|*.*||", ""});
  EXPECT_EQ(wildcard, "html|*.html|All files|*");
  EXPECT_EQ(filters, 2);
  EXPECT_TRUE(allListsBare);
  EXPECT_EQ(chosen, page);

  // Cancel gives nothing, whatever was selected.
  shown = nullptr;
  WhenOpen canceller([&] { return static_cast<wxDialog*>(shown); },
                     [&](wxDialog*) {
                       shown->SetPath(page);
                       test::Pump(300);
                       shown->EndModal(wxID_CANCEL);
                     });
  EXPECT_EQ(chooser.Choose({false, "", "", ""}), std::nullopt);

  // The save dialog proposes the name and asks before overwriting.
  shown = nullptr;
  wxString proposed;
  bool confirms = false;
  WhenOpen saver([&] { return static_cast<wxDialog*>(shown); },
                 [&](wxDialog*) {
                   proposed = shown->GetFilename();
                   confirms = Gtk<int (*)(void*)>("gtk_file_chooser_get_do_overwrite_confirmation")(
                       shown->GetHandle());
                   shown->EndModal(wxID_CANCEL);
                 });
  EXPECT_EQ(chooser.Choose({true, "Save", "", "résultat.txt"}), std::nullopt);
  EXPECT_EQ(proposed, wxString::FromUTF8("résultat.txt"));
  EXPECT_TRUE(confirms);
}

TEST_F(Dialogs, TheAboutBoxIsAWhiteBoxThatAKeyEnds) {
  SplashDialog about(frame, "VKE Runtime", "", "Demo Application");
  wxImage picture;
  WhenOpen viewer(Open(), [&](wxDialog* d) {
    picture = test::Snapshot(d, "about");
    wxUIActionSimulator().Char('x');
  });
  EXPECT_EQ(about.ShowModal(), wxID_CANCEL);
  // Ended, not destroyed: the box is still there to be asked.
  EXPECT_FALSE(about.IsModal());
  ASSERT_TRUE(picture.IsOk());
  EXPECT_EQ(picture.GetWidth(), 520);
  EXPECT_EQ(picture.GetHeight(), 355);
  // White around, the icon at the top middle, the texts centred below it.
  EXPECT_EQ(picture.GetRed(5, 5) + picture.GetGreen(5, 5) + picture.GetBlue(5, 5), 3 * 255);
  auto inkInRows = [&](int top, int bottom, int* left, int* right) {
    *left = 520;
    *right = -1;
    for (int y = top; y < bottom; y++) {
      for (int x = 0; x < 520; x++) {
        if (picture.GetRed(x, y) < 128) {
          *left = std::min(*left, x);
          *right = std::max(*right, x);
        }
      }
    }
  };
  int left, right;
  inkInRows(10, 58, &left, &right);  // the 48-pixel icon
  EXPECT_NEAR((left + right) / 2.0, 260, 4);
  inkInRows(58 + 40, 58 + 60, &left, &right);  // the body's line
  EXPECT_GT(right, left);
  EXPECT_NEAR((left + right) / 2.0, 260, 4);
}

TEST_F(Dialogs, HelpTextShowsItsFormatsWithoutMarkup) {
  auto* window = new KVTextWindow(frame, "Help");
  window->SetText("= Aide =\nUn mot **gras** et [[https://x.org|un lien]] ici, ça va.\n");
  window->BringToTop();
  test::Pump(300);
  wxRichTextCtrl* text = window->Control();
  const wxString shown = text->GetValue();
  EXPECT_EQ(shown.utf8_string(), "Aide\nUn mot gras et un lien ici, ça va.");
  auto at = [&](long position) {
    wxRichTextAttr attr;
    EXPECT_TRUE(text->GetStyle(position, attr));
    return attr;
  };
  EXPECT_EQ(at(1).GetFontSize(), 18);
  EXPECT_EQ(at(1).GetAlignment(), wxTEXT_ALIGNMENT_CENTRE);
  const long bold = shown.Find("gras");
  EXPECT_EQ(at(bold + 1).GetFontWeight(), wxFONTWEIGHT_BOLD);
  EXPECT_NE(at(bold - 2).GetFontWeight(), wxFONTWEIGHT_BOLD);
  EXPECT_EQ(at(bold - 2).GetFontSize(), 11);
  EXPECT_EQ(at(bold - 2).GetLeftIndent(), 53);  // 300 twips
  EXPECT_EQ(at(bold - 2).GetLeftSubIndent(), -53);
  EXPECT_EQ(at(bold - 2).GetTabs().size(), 32u);
  // Read-only, it shows no caret after a click gives it the focus nor after
  // Ctrl+End moves the insertion point, and the keys change nothing.
  wxUIActionSimulator keys;
  keys.MouseMove(text->ClientToScreen(wxPoint(60, 40)));
  keys.MouseClick();
  test::PumpUntil([&] { return text->HasFocus(); });
  EXPECT_TRUE(text->HasFocus());
  test::Pump(200);
  ASSERT_NE(text->GetCaret(), nullptr);
  EXPECT_FALSE(text->GetCaret()->IsVisible());
  keys.Char(WXK_END, wxMOD_CONTROL);
  keys.Char('x');
  test::PumpUntil([&] { return text->GetInsertionPoint() == text->GetLastPosition(); });
  EXPECT_EQ(text->GetInsertionPoint(), text->GetLastPosition());
  EXPECT_FALSE(text->GetCaret()->IsVisible());
  EXPECT_EQ(text->GetValue(), shown);
  test::Snapshot(window, "help-text");
  // It opens inside the work area.
  const wxRect area = wxDisplay(window).GetClientArea();
  EXPECT_TRUE(area.Contains(window->GetRect())) << window->GetRect().GetBottom();
  // Closing hides it; it is shown again as it was.
  window->Close();
  test::PumpUntil([&] { return !window->IsShown(); });
  EXPECT_FALSE(window->IsShown());
  window->BringToTop();
  test::PumpUntil([&] { return window->IsShown(); });
  EXPECT_TRUE(window->IsShown());
  EXPECT_EQ(text->GetValue(), shown);
  window->Destroy();
}

// Nor after a click and a turn of the wheel over a text longer than the
// window: the text scrolls, no caret shows.
TEST_F(Dialogs, HelpTextShowsNoCaretWhenScrolled) {
  VKE_REQUIRE_COMMANDS("xdotool", "xdotool");
  auto* window = new KVTextWindow(frame, "Help");
  std::string lines;
  for (int k = 0; k < 60; k++) lines += "line " + std::to_string(k) + "\n\n";
  window->SetText(lines);
  window->BringToTop();
  wxRichTextCtrl* text = window->Control();
  // Laid out, it holds more than it shows.
  test::PumpUntil([&] {
    return text->IsShownOnScreen() && text->GetVirtualSize().y > text->GetClientSize().y;
  });
  ASSERT_GT(text->GetVirtualSize().y, text->GetClientSize().y);
  wxUIActionSimulator mouse;
  mouse.MouseMove(text->ClientToScreen(wxPoint(60, 40)));
  mouse.MouseClick();
  test::PumpUntil([&] { return text->HasFocus(); });
  ASSERT_TRUE(text->HasFocus());
  test::Shell("xdotool click 5");
  test::PumpUntil([&] { return text->GetViewStart().y > 0; });
  EXPECT_GT(text->GetViewStart().y, 0);
  // What the control does once the events are handled, it does when idle.
  wxTheApp->ProcessIdle();
  ASSERT_NE(text->GetCaret(), nullptr);
  EXPECT_FALSE(text->GetCaret()->IsVisible());
  window->Destroy();
}

// Destroyed while its text holds the focus, as when the application quits
// with the help active: the text loses the focus once the window's own
// members are gone, and its handlers reach none of them (the sanitizers
// tell).
TEST_F(Dialogs, AHelpWindowDestroyedWithTheFocusInItsText) {
  auto* window = new KVTextWindow(frame, "Help");
  window->SetText("Some help\n");
  window->BringToTop();
  wxRichTextCtrl* text = window->Control();
  test::PumpUntil([&] { return text->IsShownOnScreen(); });
  wxUIActionSimulator mouse;
  mouse.MouseMove(text->ClientToScreen(wxPoint(60, 40)));
  mouse.MouseClick();
  test::PumpUntil([&] { return text->HasFocus() && window->IsActive(); });
  ASSERT_TRUE(text->HasFocus());
  delete window;
}

// A paragraph's wrapped lines keep clear of the left border too.
TEST_F(Dialogs, HelpTextKeepsClearOfTheBorder) {
  auto* window = new KVTextWindow(frame, "Help");
  std::string words;
  for (int k = 0; k < 40; k++) words += "wrapped words ";
  window->SetText(words + "\n");
  window->BringToTop();
  test::Pump(300);
  const wxImage picture = test::Snapshot(window, "help-margin");
  int firstInk = picture.GetWidth();
  for (int y = 0; y < picture.GetHeight(); y++)
    for (int x = 0; x < firstInk; x++)
      if (picture.GetRed(x, y) < 100) firstInk = x;
  EXPECT_GE(firstInk, 4);
  EXPECT_LT(firstInk, 30);
  window->Destroy();
}

TEST_F(Dialogs, TheFontAndColourDialogsChangeTheFigurePreferences) {
  NiceMock<test::MockEngineFacade> engine;
  test::MemoryPreferences prefs;
  WxPreferenceDialogs dialogs(Parent());
  FigurePreferences preferences(engine, prefs, dialogs, ReadStartupSettings(prefs));

  wxString offered;
  WhenOpen fonts(Open(), [&](wxDialog* d) {
    offered = static_cast<wxFontDialog*>(d)->GetFontData().GetInitialFont().GetFaceName();
    Gtk<void (*)(void*, const char*)>("gtk_font_chooser_set_font")(d->GetHandle(),
                                                                   "DejaVu Serif 15");
    Respond(d, kGtkResponseOk);
  });
  ASSERT_TRUE(preferences.ChooseFigureFont());
  EXPECT_EQ(offered, "Arial");
  EXPECT_EQ(prefs.ReadText(PrefKey::FigFontName), "DejaVu Serif");
  const double dpi = wxGetDisplayPPI().y > 0 ? wxGetDisplayPPI().y : 96;
  EXPECT_EQ(prefs.ReadInt(PrefKey::FigFontSize), FontHeightOfPoints(15, dpi));

  WhenOpen colours(Open(), [&](wxDialog* d) {
    const struct { double red, green, blue, alpha; } rgba{1.0, 0.5, 0.0, 1.0};
    // The toolkit's colour dialog holds a colour selection.
    void* selection =
        Gtk<void* (*)(void*)>("gtk_color_selection_dialog_get_color_selection")(d->GetHandle());
    Gtk<void (*)(void*, const void*)>("gtk_color_selection_set_current_rgba")(selection, &rgba);
    Respond(d, kGtkResponseOk);
  });
  ASSERT_TRUE(preferences.ChooseBackgroundColor());
  const int32_t stored = prefs.ReadInt(PrefKey::BkColor);
  EXPECT_EQ(stored & 0xFF, 0xFF);  // red
  EXPECT_NEAR((stored >> 8) & 0xFF, 0x80, 1);
  EXPECT_EQ((stored >> 16) & 0xFF, 0);
  SetBackgroundColor(kDefaultBackgroundColor);
  SetPortFont(kDefaultFigureFontName, kDefaultFigureFontSize, 0);
}

}  // namespace
}  // namespace vke
