// Menu trees made into the toolkit's menus, the menu bar and menus as the
// menu builders see them, and update rules given to menu items and tools.
#include <wx/app.h>
#include <wx/menu.h>
#include <wx/toolbar.h>

#include <algorithm>

#include "platform/gui/menu_check.hpp"
#include "shell/command_table.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

namespace {

// Ids the toolkit's items take for commands whose ids it cannot hold (its
// limit is 0x7FFF) and that have no stock id of their own.
constexpr int kSpareIds = 13100;

// The commands the toolkit knows by other ids: its stock ids where nothing
// of the toolkit handles them on its own, else spare ones.
constexpr std::pair<int32_t, int> kToolkitIds[] = {
    {kCmdUndo, wxID_UNDO},
    {kCmdRedo, wxID_REDO},
    {kCmdSelectAll, wxID_SELECTALL},
    {kCmdExit, wxID_EXIT},
    {kCmdCopy, wxID_COPY},
    {kCmdAboutApplication, wxID_ABOUT},
    {kCmdPageSetup, kSpareIds},
    {kCmdPrint, kSpareIds + 1},
    {kCmdPrintPreview, kSpareIds + 2},
    {kCmdToolbar, kSpareIds + 3},
    {kCmdStatusBar, kSpareIds + 4},
};

std::string Utf8(const wxString& text) {
  const wxScopedCharBuffer utf8 = text.utf8_str();
  return std::string(utf8.data(), utf8.length());
}

wxMenuItem* NewItem(wxMenu* parent, const MenuNode& node) {
  switch (node.kind) {
    case MenuItemKind::kSeparator:
      return new wxMenuItem(parent, wxID_SEPARATOR);
    case MenuItemKind::kPopup:
      return new wxMenuItem(parent, wxID_ANY, WindowText(node.label), wxString(), wxITEM_NORMAL,
                            NewMenu(node));
    default:
      return new wxMenuItem(parent, WindowCommandId(node.id), WindowText(node.label),
                            WindowText(node.help),
                            node.kind == MenuItemKind::kCheck ? wxITEM_CHECK : wxITEM_NORMAL);
  }
}

// The item's label with a new text before its accelerator.
wxString Relabelled(const wxString& label, const std::string& text) {
  const int tab = label.Find('\t');
  return tab == wxNOT_FOUND ? WindowText(text) : WindowText(text) + label.Mid(tab);
}

}  // namespace

wxString WindowText(std::string_view text) {
  wxString s = wxString::FromUTF8(text.data(), text.size());
  return s.empty() && !text.empty() ? wxString(text.data(), wxConvISO8859_1, text.size()) : s;
}

int WindowCommandId(int32_t id) {
  for (const auto& [command, toolkit] : kToolkitIds)
    if (command == id) return toolkit;
  return id;
}

int32_t CommandOfWindowId(int id) {
  for (const auto& [command, toolkit] : kToolkitIds)
    if (toolkit == id) return command;
  return id;
}

wxMenu* NewMenu(const MenuNode& popup) {
  auto* menu = new wxMenu;
  for (const MenuNode& child : popup.children) menu->Append(NewItem(menu, child));
  return menu;
}

wxMenuBar* NewMenuBar(const MenuNode& bar) {
  auto* menus = new wxMenuBar;
  for (const MenuNode& child : bar.children) menus->Append(NewMenu(child), WindowText(child.label));
  return menus;
}

int32_t WxMenuBarSurface::Count() const {
  return static_cast<int32_t>(bar_->GetMenuCount());
}

std::string WxMenuBarSurface::TextAt(int32_t position) const {
  return Utf8(bar_->GetMenuLabel(static_cast<size_t>(position)));
}

void WxMenuBarSurface::RemoveAt(int32_t position) {
  if (wxMenu* menu = bar_->Remove(static_cast<size_t>(position)))
    wxTheApp->ScheduleForDestruction(menu);
}

void WxMenuBarSurface::InsertAt(int32_t position, const MenuNode& node) {
  bar_->Insert(static_cast<size_t>(std::clamp(position, 0, Count())), NewMenu(node),
               WindowText(node.label));
}

std::unique_ptr<MenuSurface> WxMenuBarSurface::SubMenuAt(int32_t position) {
  return std::make_unique<WxMenuSurface>(bar_->GetMenu(static_cast<size_t>(position)));
}

void WxMenuBarSurface::Redraw() {
  bar_->Refresh();
}

int32_t WxMenuSurface::Count() const {
  return static_cast<int32_t>(menu_->GetMenuItemCount());
}

std::string WxMenuSurface::TextAt(int32_t position) const {
  const wxMenuItem* item = menu_->FindItemByPosition(static_cast<size_t>(position));
  return item && !item->IsSeparator() ? Utf8(item->GetItemLabel()) : std::string();
}

void WxMenuSurface::RemoveAt(int32_t position) {
  wxMenuItem* item = menu_->FindItemByPosition(static_cast<size_t>(position));
  if (item && menu_->Remove(item)) wxTheApp->ScheduleForDestruction(item);
}

void WxMenuSurface::InsertAt(int32_t position, const MenuNode& node) {
  menu_->Insert(static_cast<size_t>(std::clamp(position, 0, Count())), NewItem(menu_, node));
}

std::unique_ptr<MenuSurface> WxMenuSurface::SubMenuAt(int32_t position) {
  wxMenuItem* item = menu_->FindItemByPosition(static_cast<size_t>(position));
  wxMenu* sub = item ? item->GetSubMenu() : nullptr;
  return sub ? std::make_unique<WxMenuSurface>(sub) : nullptr;
}

void ApplyCommandUpdate(wxUpdateUIEvent& event, const CommandUpdate& update) {
  event.Enable(update.enabled);
  auto* menu = dynamic_cast<wxMenu*>(event.GetEventObject());
  wxMenuItem* item = menu ? menu->FindItem(event.GetId()) : nullptr;
  const bool checkable = item ? item->IsCheckable() : !menu;
  if (update.check != CheckMark::kNone && checkable) event.Check(update.check == CheckMark::kOn);
  if (!item) return;
  if (!update.text.empty()) {
    const wxString label = Relabelled(item->GetItemLabel(), update.text);
    if (label != item->GetItemLabel()) event.SetText(label);
  }
  if (checkable) SetCheckItemIndeterminate(item->GetMenuItem(), update.check == CheckMark::kMixed);
}

}  // namespace vke
