// The about and help text windows of the application: a read-only rich-text
// control in an 11-point sans-serif face with 32 tab stops a third of an
// inch apart, 500 by 300 pixels, above other windows and inside the work
// area, showing the text's markup rendered (or the text as it is).
#include <wx/richtext/richtextctrl.h>

#include "shell/window/kv_dialogs.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

namespace {

constexpr int kWidth = 500;
constexpr int kHeight = 300;
constexpr int kPoints = 11;
constexpr int kInnerMargin = 6;  // pixels between the border and the text
constexpr int kTabStops = 32;
constexpr int kTabStepTenthsMm = 85;  // 480 twips

wxRichTextAttr TextWindowStyle() {
  wxRichTextAttr style;
  style.SetFont(wxFont(wxFontInfo(kPoints).FaceName("Arial")));
  style.SetTextColour(*wxBLACK);
  wxArrayInt tabs;
  for (int k = 0; k < kTabStops; k++) tabs.Add(k * kTabStepTenthsMm);
  style.SetTabs(tabs);
  return style;
}

}  // namespace

KVTextWindow::KVTextWindow(wxWindow* parent, const std::string& title, bool markup)
    : wxFrame(parent, wxID_ANY, WindowText(title), wxDefaultPosition, wxSize(kWidth, kHeight),
              (wxDEFAULT_FRAME_STYLE & ~(wxMINIMIZE_BOX | wxMAXIMIZE_BOX)) | wxSTAY_ON_TOP),
      text_(new wxRichTextCtrl(
          this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
          wxRE_MULTILINE | wxRE_READONLY | wxVSCROLL | (markup ? 0 : wxHSCROLL))),
      markup_(markup) {
  text_->SetBasicStyle(TextWindowStyle());
  // The text is read, never edited: it shows no caret, though clicks and
  // keys still move the (hidden) insertion point and scroll. The control
  // draws its caret while the caret's show count is above zero and raises
  // that count on focus; it keeps its caret object (it draws through it),
  // so the count is taken to zero here and focus leaves it alone.
  if (wxCaret* caret = text_->GetCaret())
    while (caret->IsVisible()) caret->Hide();
  // The handlers reach the control through its event or its own pointer,
  // never through this window: destroyed while the control has the focus,
  // the window's members are gone when the control loses it.
  auto repaint = [](wxFocusEvent& event) {
    auto* control = static_cast<wxWindow*>(event.GetEventObject());
    if (!control->IsBeingDeleted()) control->Refresh(false);
  };
  text_->Bind(wxEVT_SET_FOCUS, repaint);
  text_->Bind(wxEVT_KILL_FOCUS, repaint);
  // A scroll (the wheel, the bar) has the control show its caret again
  // once idle: the window is scrolled here, in place of the control's own
  // handler of the scroll events.
  for (const wxEventTypeTag<wxScrollWinEvent>& type :
       {wxEVT_SCROLLWIN_TOP, wxEVT_SCROLLWIN_BOTTOM, wxEVT_SCROLLWIN_LINEUP,
        wxEVT_SCROLLWIN_LINEDOWN, wxEVT_SCROLLWIN_PAGEUP, wxEVT_SCROLLWIN_PAGEDOWN,
        wxEVT_SCROLLWIN_THUMBTRACK, wxEVT_SCROLLWIN_THUMBRELEASE})
    text_->Bind(type, [text = text_](wxScrollWinEvent& event) { text->HandleOnScroll(event); });
  // The text keeps clear of the border.
  text_->SetMargins(kInnerMargin, kInnerMargin);
  text_->Bind(wxEVT_TEXT_URL,
              [](wxTextUrlEvent& event) { wxLaunchDefaultBrowser(event.GetString()); });
  // Closing keeps the window for the next time.
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
    if (!event.CanVeto()) return event.Skip();
    event.Veto();
    Hide();
  });
}

void KVTextWindow::SetTitle(const std::string& title) {
  wxFrame::SetTitle(WindowText(title));
}

void KVTextWindow::SetText(const std::string& text) {
  if (markup_ && RenderMarkupToRichEdit(text_, text, false, nullptr, false)) return;
  text_->SetValue(WindowText(text));
  text_->SetInsertionPoint(0);
}

void KVTextWindow::BringToTop() {
  if (!placed_) {
    // Placed before it first shows: the window manager takes the place
    // asked for.
    placed_ = true;
    CentreOnParent();
    KeepInWorkArea(this);
  }
  Show();
  Restore();
  Raise();
}

void KVTextWindow::Hide() {
  wxFrame::Hide();
}

}  // namespace vke
