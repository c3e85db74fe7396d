// Menus without a window: a tree of items and pop-ups, the operations the
// menu builders use on a menu bar or a pop-up (count, text, insert and
// remove by position, the pop-up at a position), that tree as one such
// menu, and the lookups by exact text (ampersands included). The window
// applies the same operations to its own menus.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vke {

// A plain command, a check item (a mark the user turns on and off), a radio
// item (one of the items beside it that has the mark), a separator or a
// pop-up.
enum class MenuItemKind : uint8_t { kCommand, kCheck, kRadio, kSeparator, kPopup };

struct MenuNode {
  MenuItemKind kind = MenuItemKind::kPopup;
  std::string label;  // with mnemonic and accelerator; empty for a separator
  int32_t id = -1;    // the command id; -1 for separators and pop-ups
  std::string help;   // the status text shown while the item is highlighted
  std::vector<MenuNode> children;

  static MenuNode Popup(std::string label, std::vector<MenuNode> children = {});
  static MenuNode Separator();
  // A command, check or radio item.
  static MenuNode Item(int32_t id, std::string label, MenuItemKind kind,
                       std::string help = std::string());
};

// A menu bar or a pop-up, addressed by position.
class MenuSurface {
 public:
  virtual ~MenuSurface() = default;
  virtual int32_t Count() const = 0;
  // The text of the item at the position (empty for a separator).
  virtual std::string TextAt(int32_t position) const = 0;
  virtual void RemoveAt(int32_t position) = 0;
  // Inserts the node (a menu bar takes pop-ups only); a position past the
  // end appends.
  virtual void InsertAt(int32_t position, const MenuNode& node) = 0;
  // The pop-up at the position, or null when the item is none.
  virtual std::unique_ptr<MenuSurface> SubMenuAt(int32_t position) = 0;
  // Shows the changes of a menu bar.
  virtual void Redraw() {}
};

// A node's children as a menu.
class NodeMenu : public MenuSurface {
 public:
  explicit NodeMenu(MenuNode& node) : node_(node) {}
  int32_t Count() const override;
  std::string TextAt(int32_t position) const override;
  void RemoveAt(int32_t position) override;
  void InsertAt(int32_t position, const MenuNode& node) override;
  std::unique_ptr<MenuSurface> SubMenuAt(int32_t position) override;

 private:
  MenuNode& node_;
};

// Whether two menus have the same items and pop-ups in the same places,
// whatever their texts.
bool SameShape(const MenuNode& a, const MenuNode& b);

// The position of the first item whose text equals the text, or -1.
int32_t FindMenuByText(const MenuSurface& menu, std::string_view text);
// Removes the first item with that text, when there is one.
void RemoveMenuByText(MenuSurface& menu, std::string_view text);
// Removes the items from the start position up to the one with that text;
// nothing when there is no such item or it lies before the start.
void RemoveMenusBefore(MenuSurface& menu, int32_t start, std::string_view text);

}  // namespace vke
