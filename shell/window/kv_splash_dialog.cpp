// The runtime's about box: painted by itself in white with the program's
// icon, its heading, body and footer in an 8.5-point sans-serif face. A key,
// Cancel or closing ends it: shown modally it ends its modal loop (the
// caller owns it), else it is destroyed.
#include <wx/dcbuffer.h>
#include <wx/mstream.h>

#include "shell/file_type_icons.hpp"
#include "shell/splash_layout.hpp"
#include "shell/window/kv_dialogs.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

namespace {

constexpr double kSplashPoints = 8.5;

wxBitmap SplashBitmap() {
  wxMemoryInputStream png(kKVIconPng.data(), kKVIconPng.size());
  const wxImage image(png, wxBITMAP_TYPE_PNG);
  return image.IsOk() ? wxBitmap(image) : wxBitmap();
}

}  // namespace

SplashDialog::SplashDialog(wxWindow* parent, const std::string& heading, const std::string& footer,
                           const std::string& body)
    : wxDialog(parent, wxID_ANY, "About This Application"),
      heading_(heading),
      footer_(footer),
      body_(body),
      bitmap_(SplashBitmap()) {
  SetClientSize(kSplashWidth, kSplashHeight);
  // The box is painted on a face that fills it and takes the keyboard: a
  // dialog without a child to focus hears no keys.
  face_ = new wxWindow(this, wxID_ANY, wxPoint(0, 0), wxSize(kSplashWidth, kSplashHeight),
                       wxWANTS_CHARS);
  face_->SetBackgroundStyle(wxBG_STYLE_PAINT);
  face_->Bind(wxEVT_PAINT, &SplashDialog::OnPaint, this);
  face_->SetFocus();
  Bind(wxEVT_CHAR_HOOK, &SplashDialog::OnChar, this);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { Close(wxID_CANCEL); }, wxID_CANCEL);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Close(wxID_CANCEL); });
  CentreOnScreen();
}

void SplashDialog::Close(int code) {
  if (IsModal()) {
    EndModal(code);
  } else {
    Destroy();
  }
}

void SplashDialog::OnChar(wxKeyEvent&) {
  Close(wxID_CANCEL);
}

void SplashDialog::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(face_);
  dc.SetBackground(*wxWHITE_BRUSH);
  dc.Clear();
  const bool hasBitmap = bitmap_.IsOk();
  const int32_t bw = hasBitmap ? bitmap_.GetWidth() : 0;
  const int32_t bh = hasBitmap ? bitmap_.GetHeight() : 0;
  dc.SetFont(wxFont(wxFontInfo(kSplashPoints).FaceName("Arial")));
  dc.SetTextForeground(*wxBLACK);
  const SplashLayout layout =
      LayOutSplash(bw, bh, heading_, body_, footer_, [&dc](const std::string& text) {
        const wxSize size = dc.GetTextExtent(WindowText(text));
        return TextSize{size.x, size.y};
      });
  if (hasBitmap) dc.DrawBitmap(bitmap_, layout.bitmapX, layout.bitmapY, true);
  for (const SplashText& t : layout.texts) dc.DrawText(WindowText(t.text), t.x, t.y);
}

}  // namespace vke
