// The status bar's busy pane sized to its text in the bar's font.
#include "shell/status_bar.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

namespace {

// The room the toolkit's status bar keeps on either side of a pane's text.
constexpr int kPaneTextMargin = 2;

}  // namespace

void FitBusyPane(wxStatusBar* bar) {
  // The bar's borders and text margins on both sides of the text, and the
  // size grip that the last pane gives room to (as wide as the bar is high).
  const int grip =
      bar->HasFlag(wxSTB_SIZEGRIP) ? std::max(bar->GetClientSize().y, bar->GetBestSize().y) : 0;
  const int margins = 2 * bar->GetBorderX() + 2 * kPaneTextMargin + grip;
  const int widths[2] = {-1,
                         BusyPaneWidth(
                             [bar](std::string_view text) {
                               return static_cast<int32_t>(bar->GetTextExtent(WindowText(text)).x);
                             },
                             margins)};
  bar->SetStatusWidths(2, widths);
}

}  // namespace vke
