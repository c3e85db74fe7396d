// The screens' work areas as the placement rules take them, and a window
// kept inside them.
#include <wx/display.h>

#include "shell/window/kv_windows.hpp"
#include "shell/window_placement.hpp"

namespace vke {

std::vector<ScreenRect> ScreenWorkAreas() {
  std::vector<ScreenRect> areas;
  for (unsigned k = 0; k < wxDisplay::GetCount(); k++) {
    const wxRect area = wxDisplay(k).GetClientArea();
    areas.push_back({area.GetLeft(), area.GetTop(), area.GetRight() + 1, area.GetBottom() + 1});
  }
  return areas;
}

void KeepInWorkArea(wxTopLevelWindow* window) {
  const wxRect r = window->GetRect();
  const ScreenRect placed = PlaceInWorkArea(
      {r.GetLeft(), r.GetTop(), r.GetRight() + 1, r.GetBottom() + 1}, ScreenWorkAreas());
  const wxRect wanted(placed.left, placed.top, placed.right - placed.left,
                      placed.bottom - placed.top);
  if (wanted != r) window->SetSize(wanted);
}

}  // namespace vke
