// The main window's placement as the preferences keep it: the flags, the
// show command (the SW_* numbers) and the normal rectangle. A stored
// rectangle is restored when it is whole (all four edges stored, left not
// beyond right nor top beyond bottom), no smaller than the window's minimum
// size and not wholly outside the screens' work areas; its top-left corner
// is then pulled back so that at least an icon's width and height of it lie
// before the right and bottom edges of the screens. "CmdPanelHeight" names
// a row below the view that this frame does not have: 0 is written and it
// is never read back.
#pragma once

#include <optional>
#include <vector>

#include "shell/preferences.hpp"

namespace vke {

// The show commands the frame stores and applies.
enum ShowCommand : int32_t { kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3 };

struct WindowPlacement {
  int32_t flags;
  int32_t showCmd;
  int32_t left, top, right, bottom;
};

// A rectangle of the desktop, right and bottom excluded.
struct ScreenRect {
  int32_t left, top, right, bottom;
};

// The screens as the window sees them.
struct ScreenSize {
  std::vector<ScreenRect> workAreas;  // one per screen
  int32_t iconWidth, iconHeight;
  int32_t minWidth, minHeight;  // the window's smallest size
};

// A window's outer rectangle moved, and shrunk when it is larger, so that it
// lies whole inside the work area that holds its middle (the nearest one
// when none does); unchanged without work areas.
ScreenRect PlaceInWorkArea(const ScreenRect& window, const std::vector<ScreenRect>& workAreas);

// The stored placement over the current one, or nothing when it is
// missing or rejected.
std::optional<WindowPlacement> RestoredPlacement(const Preferences& preferences,
                                                 const WindowPlacement& current,
                                                 const ScreenSize& screen);
void SavePlacement(Preferences& preferences, const WindowPlacement& placement);

}  // namespace vke
