// The frame's status bar as the shell's rules see it: panes addressed by
// their index, each showing one text; the busy pane, its texts and its
// width.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace vke {

class StatusBar {
 public:
  virtual ~StatusBar() = default;
  virtual void SetPaneText(int pane, std::string_view text) = 0;
};

// The pane that shows kBusyText while a handler runs long, and nothing
// otherwise.
inline constexpr int kBusyPane = 1;
inline constexpr std::string_view kBusyText = "Running";
// The busy pane is never narrower than this, in pixels.
inline constexpr int32_t kBusyPaneLeast = 64;

// The busy pane's width in pixels: its longest text as textWidth measures
// it in the bar's font, with the margins the pane keeps beside a text.
int32_t BusyPaneWidth(const std::function<int32_t(std::string_view)>& textWidth, int32_t margins);

}  // namespace vke
