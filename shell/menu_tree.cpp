// The menu tree and the lookups by text.
#include "shell/menu_tree.hpp"

#include <algorithm>

namespace vke {

MenuNode MenuNode::Popup(std::string label, std::vector<MenuNode> children) {
  return {MenuItemKind::kPopup, std::move(label), -1, std::string(), std::move(children)};
}

MenuNode MenuNode::Separator() {
  return {MenuItemKind::kSeparator, std::string(), -1, std::string(), {}};
}

MenuNode MenuNode::Item(int32_t id, std::string label, MenuItemKind kind, std::string help) {
  return {kind, std::move(label), id, std::move(help), {}};
}

int32_t NodeMenu::Count() const {
  return static_cast<int32_t>(node_.children.size());
}

std::string NodeMenu::TextAt(int32_t position) const {
  return position >= 0 && position < Count() ? node_.children[position].label : std::string();
}

void NodeMenu::RemoveAt(int32_t position) {
  if (position >= 0 && position < Count()) node_.children.erase(node_.children.begin() + position);
}

void NodeMenu::InsertAt(int32_t position, const MenuNode& node) {
  node_.children.insert(node_.children.begin() + std::clamp(position, 0, Count()), node);
}

std::unique_ptr<MenuSurface> NodeMenu::SubMenuAt(int32_t position) {
  if (position < 0 || position >= Count() || node_.children[position].kind != MenuItemKind::kPopup)
    return nullptr;
  return std::make_unique<NodeMenu>(node_.children[position]);
}

bool SameShape(const MenuNode& a, const MenuNode& b) {
  if (a.kind != b.kind || a.id != b.id || a.children.size() != b.children.size()) return false;
  for (size_t k = 0; k < a.children.size(); k++)
    if (!SameShape(a.children[k], b.children[k])) return false;
  return true;
}

int32_t FindMenuByText(const MenuSurface& menu, std::string_view text) {
  const int32_t n = menu.Count();
  for (int32_t k = 0; k < n; k++)
    if (menu.TextAt(k) == text) return k;
  return -1;
}

void RemoveMenuByText(MenuSurface& menu, std::string_view text) {
  const int32_t at = FindMenuByText(menu, text);
  if (at >= 0) menu.RemoveAt(at);
}

void RemoveMenusBefore(MenuSurface& menu, int32_t start, std::string_view text) {
  const int32_t end = FindMenuByText(menu, text);
  for (int32_t k = start; k < end; k++) menu.RemoveAt(start);
}

}  // namespace vke
