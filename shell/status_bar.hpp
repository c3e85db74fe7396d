// The frame's status bar as the shell's rules see it: panes addressed by
// their index, each showing one text.
#pragma once

#include <string_view>

namespace vke {

class StatusBar {
 public:
  virtual ~StatusBar() = default;
  virtual void SetPaneText(int pane, std::string_view text) = 0;
};

}  // namespace vke
