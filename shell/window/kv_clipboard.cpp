// The desktop's clipboard as UTF-8 text. Reading it asks the program that
// owns it, so a read is kept for a moment: the update rules of a menu that
// opens all read it at once.
#include <wx/clipbrd.h>
#include <wx/dataobj.h>

#include <chrono>

#include "shell/window/kv_windows.hpp"

namespace vke {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kKept = std::chrono::milliseconds(250);

class DesktopClipboard : public Clipboard {
 public:
  std::optional<std::string> Text() override {
    const Clock::time_point now = Clock::now();
    if (readAt_ && now - *readAt_ < kKept) return text_;
    text_.reset();
    if (wxTheClipboard->Open()) {
      wxTextDataObject data;
      if ((wxTheClipboard->IsSupported(wxDF_UNICODETEXT) ||
           wxTheClipboard->IsSupported(wxDF_TEXT)) &&
          wxTheClipboard->GetData(data)) {
        const wxString whole = data.GetText();
        const wxScopedCharBuffer utf8 = whole.utf8_str();
        const std::string text(utf8.data(), utf8.length());
        text_ = text.substr(0, text.find('\0'));
      }
      wxTheClipboard->Close();
    }
    readAt_ = now;
    return text_;
  }

  bool SetText(std::string_view text) override {
    readAt_.reset();
    if (!wxTheClipboard->Open()) return false;
    const bool done = wxTheClipboard->SetData(new wxTextDataObject(WindowText(text)));
    wxTheClipboard->Close();
    return done;
  }

 private:
  std::optional<std::string> text_;
  std::optional<Clock::time_point> readAt_;
};

}  // namespace

Clipboard& SystemClipboard() {
  static DesktopClipboard clipboard;
  return clipboard;
}

}  // namespace vke
