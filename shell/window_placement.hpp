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

// The zoom steps of the print preview, in per cent: those of its zoom
// control up to the page's own size.
inline constexpr int32_t kPreviewZoomSteps[] = {10, 15, 20, 25, 30, 35, 40, 45, 50, 55,
                                                60, 65, 70, 75, 80, 85, 90, 95, 100};

// What the print preview's window holds: the page at 100 % and the room
// its frame takes around the page (bars, borders, margins), in pixels; the
// window is never narrower than `leastWidth`, its bars' width.
struct PreviewContent {
  int32_t pageWidth, pageHeight;
  int32_t aroundWidth, aroundHeight;
  int32_t leastWidth;
};

struct PreviewPlacement {
  ScreenRect window;
  int32_t zoom;  // one of kPreviewZoomSteps
};

// The print preview shows the whole page: the largest zoom step at which
// the page with the room around it fits the work area that holds the main
// window's middle (the nearest one; the main window itself without work
// areas), the smallest step when none fits. The window just holds it,
// centred on the main window and kept in that work area.
PreviewPlacement PlacePreview(const ScreenRect& mainWindow, const PreviewContent& content,
                              const std::vector<ScreenRect>& workAreas);

// The stored placement over the current one, or nothing when it is
// missing or rejected.
std::optional<WindowPlacement> RestoredPlacement(const Preferences& preferences,
                                                 const WindowPlacement& current,
                                                 const ScreenSize& screen);
void SavePlacement(Preferences& preferences, const WindowPlacement& placement);

}  // namespace vke
