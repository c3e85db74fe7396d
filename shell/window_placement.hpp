// The main window's placement as the preferences keep it: the flags, the
// show command (the SW_* numbers) and the normal rectangle, restored only
// when the stored rectangle is whole and inside 0..1000, its top-left
// corner pulled back onto the screen. "CmdPanelHeight" names a row below
// the view that this frame does not have: 0 is written and it is never
// read back.
#pragma once

#include <optional>

#include "shell/preferences.hpp"

namespace vke {

// The show commands the frame stores and applies.
enum ShowCommand : int32_t { kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3 };

struct WindowPlacement {
  int32_t flags;
  int32_t showCmd;
  int32_t left, top, right, bottom;
};

struct ScreenSize {
  int32_t width, height;
  int32_t iconWidth, iconHeight;
};

// The stored placement over the current one, or nothing when it is
// missing or rejected.
std::optional<WindowPlacement> RestoredPlacement(const Preferences& preferences,
                                                 const WindowPlacement& current,
                                                 const ScreenSize& screen);
void SavePlacement(Preferences& preferences, const WindowPlacement& placement);

}  // namespace vke
