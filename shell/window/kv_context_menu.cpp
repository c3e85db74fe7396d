// The figure's context menu: a select click makes the subplot under the
// pointer the selection, then the menu of the figure commands, with the
// application's plot choices when it offers them, opens at the pointer.
#include "graphics/figure_codes.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

void KVCanvas::OnContextMenu(wxContextMenuEvent& event) {
  wxPoint at = event.GetPosition();
  at = at == wxDefaultPosition ? wxPoint(width_ / 2, height_ / 2) : ScreenToClient(at);
  InstallTarget();
  if (engine_.Created() &&
      engine_.Interaction().FigureSelectClick(host_.Instance(), at.x, at.y) == kStatusRepaint)
    DrawNowFromHere();
  const std::unique_ptr<wxMenu> menu(NewMenu(host_.ContextMenu()));
  PopupMenu(menu.get(), at);
}

}  // namespace vke
