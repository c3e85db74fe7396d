// Menu trees made into the toolkit's menus, the menu bar and menus as the
// menu builders see them, and update rules given to menu items and tools.
#include <wx/app.h>
#include <wx/menu.h>
#include <wx/toolbar.h>

#include <algorithm>

#include "shell/command_table.hpp"
#include "shell/platform/menu_check.hpp"
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

wxItemKind ItemKindOf(MenuItemKind kind) {
  switch (kind) {
    case MenuItemKind::kCheck:
      return wxITEM_CHECK;
    case MenuItemKind::kRadio:
      return wxITEM_RADIO;
    default:
      return wxITEM_NORMAL;
  }
}

MenuItemKind KindOf(const wxMenuItem* item) {
  switch (item->GetKind()) {
    case wxITEM_CHECK:
      return MenuItemKind::kCheck;
    case wxITEM_RADIO:
      return MenuItemKind::kRadio;
    default:
      return MenuItemKind::kCommand;
  }
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
                            WindowText(node.help), ItemKindOf(node.kind));
  }
}

// A menu as a tree, read back from the toolkit.
MenuNode NodeOf(wxMenu* menu) {
  MenuNode node = MenuNode::Popup(std::string());
  for (wxMenuItem* item : menu->GetMenuItems()) {
    if (item->IsSeparator()) {
      node.children.push_back(MenuNode::Separator());
    } else if (wxMenu* sub = item->GetSubMenu()) {
      node.children.push_back(NodeOf(sub));
      node.children.back().label = Utf8(item->GetItemLabel());
    } else {
      node.children.push_back(MenuNode::Item(CommandOfWindowId(item->GetId()),
                                             Utf8(item->GetItemLabel()), KindOf(item),
                                             Utf8(item->GetHelp())));
    }
  }
  return node;
}

// Gives the menu's items the texts of a menu of the same shape.
void Relabel(wxMenu* menu, const MenuNode& was, const MenuNode& now) {
  size_t k = 0;
  for (wxMenuItem* item : menu->GetMenuItems()) {
    const MenuNode& a = was.children[k];
    const MenuNode& b = now.children[k++];
    if (a.label != b.label) item->SetItemLabel(WindowText(b.label));
    if (a.help != b.help) item->SetHelp(WindowText(b.help));
    if (wxMenu* sub = item->GetSubMenu()) Relabel(sub, a, b);
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

// Pop-ups taken out of the menus, each with its tree, until the menu bar is
// redrawn.
class MenuPool {
 public:
  ~MenuPool() { Flush(); }
  void Keep(wxMenu* menu) { menus_.push_back({NodeOf(menu), menu}); }
  // A kept menu of the node's shape, relabelled as the node; null for none.
  wxMenu* Take(const MenuNode& node) {
    for (auto k = menus_.begin(); k != menus_.end(); ++k) {
      if (!SameShape(k->node, node)) continue;
      wxMenu* menu = k->menu;
      Relabel(menu, k->node, node);
      menus_.erase(k);
      return menu;
    }
    return nullptr;
  }
  void Flush() {
    for (const Kept& k : menus_) wxTheApp->ScheduleForDestruction(k.menu);
    menus_.clear();
  }

 private:
  struct Kept {
    MenuNode node;
    wxMenu* menu;
  };
  std::vector<Kept> menus_;
};

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

WxMenuBarSurface::WxMenuBarSurface(wxMenuBar* bar) : bar_(bar), pool_(new MenuPool) {}

WxMenuBarSurface::~WxMenuBarSurface() = default;

void WxMenuBarSurface::RemoveAt(int32_t position) {
  if (wxMenu* menu = bar_->Remove(static_cast<size_t>(position))) pool_->Keep(menu);
}

void WxMenuBarSurface::InsertAt(int32_t position, const MenuNode& node) {
  wxMenu* menu = pool_->Take(node);
  bar_->Insert(static_cast<size_t>(std::clamp(position, 0, Count())), menu ? menu : NewMenu(node),
               WindowText(node.label));
}

std::unique_ptr<MenuSurface> WxMenuBarSurface::SubMenuAt(int32_t position) {
  return std::make_unique<WxMenuSurface>(bar_->GetMenu(static_cast<size_t>(position)), pool_.get());
}

void WxMenuBarSurface::Redraw() {
  pool_->Flush();
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
  if (!item || !menu_->Remove(item)) return;
  if (wxMenu* sub = item->GetSubMenu(); sub && pool_) {
    item->SetSubMenu(nullptr);
    pool_->Keep(sub);
  }
  wxTheApp->ScheduleForDestruction(item);
}

void WxMenuSurface::InsertAt(int32_t position, const MenuNode& node) {
  wxMenu* kept = pool_ && node.kind == MenuItemKind::kPopup ? pool_->Take(node) : nullptr;
  wxMenuItem* item = kept ? new wxMenuItem(menu_, wxID_ANY, WindowText(node.label), wxString(),
                                           wxITEM_NORMAL, kept)
                          : NewItem(menu_, node);
  menu_->Insert(static_cast<size_t>(std::clamp(position, 0, Count())), item);
}

std::unique_ptr<MenuSurface> WxMenuSurface::SubMenuAt(int32_t position) {
  wxMenuItem* item = menu_->FindItemByPosition(static_cast<size_t>(position));
  wxMenu* sub = item ? item->GetSubMenu() : nullptr;
  return sub ? std::make_unique<WxMenuSurface>(sub, pool_) : nullptr;
}

void ApplyCommandUpdate(wxUpdateUIEvent& event, const CommandUpdate& update) {
  event.Enable(update.enabled);
  auto* menu = dynamic_cast<wxMenu*>(event.GetEventObject());
  wxMenuItem* item = menu ? menu->FindItem(event.GetId()) : nullptr;
  const bool checkable = item ? item->IsCheckable() : !menu;
  // A radio item is turned off by turning on another of its group.
  const bool radio = item && item->IsRadio();
  if (update.check != CheckMark::kNone && checkable && !(radio && update.check != CheckMark::kOn))
    event.Check(update.check == CheckMark::kOn);
  if (!item) return;
  if (!update.text.empty()) {
    const wxString label = Relabelled(item->GetItemLabel(), update.text);
    if (label != item->GetItemLabel()) event.SetText(label);
  }
  if (checkable && !radio)
    SetCheckItemIndeterminate(item->GetMenuItem(), update.check == CheckMark::kMixed);
}

}  // namespace vke
