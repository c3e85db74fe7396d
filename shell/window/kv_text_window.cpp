// The about and help text windows of the application: a read-only text in
// an 11-point sans-serif face, 500 by 300 pixels, above other windows.
#include <wx/textctrl.h>

#include "shell/window/kv_windows.hpp"

namespace vke {

namespace {

constexpr int kWidth = 500;
constexpr int kHeight = 300;
constexpr int kPoints = 11;

}  // namespace

KVTextWindow::KVTextWindow(wxWindow* parent, const std::string& title)
    : wxFrame(parent, wxID_ANY, WindowText(title), wxDefaultPosition, wxSize(kWidth, kHeight),
              (wxDEFAULT_FRAME_STYLE & ~(wxMINIMIZE_BOX | wxMAXIMIZE_BOX)) | wxSTAY_ON_TOP),
      text_(new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                           wxTE_MULTILINE | wxTE_READONLY | wxTE_WORDWRAP)) {
  text_->SetFont(wxFont(wxFontInfo(kPoints).FaceName("Arial")));
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
  text_->ChangeValue(WindowText(text));
  text_->SetInsertionPoint(0);
}

void KVTextWindow::BringToTop() {
  Show();
  Restore();
  Raise();
}

void KVTextWindow::Hide() {
  wxFrame::Hide();
}

}  // namespace vke
