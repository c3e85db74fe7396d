// The menus a KV application declares, built from its compiled file into
// the menu bar (its own menus and "&Plots" between "&Edit" and "F&igure"),
// the "&Edit" menu ("Copy As", "Paste As", "Language") and the figure's
// context menu; the two tables that map the ids they take back to the
// instance's elements, languages and plots; running those commands, with
// the clipboard for "Copy As" and "Paste As", and their update rules. An
// application's menu item is a check item unless its state says it carries
// no check mark; "Copy As" and "Paste As" entries are plain commands, the
// languages and plots check items.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "shell/clipboard.hpp"
#include "shell/command_state.hpp"
#include "shell/engine_facade.hpp"
#include "shell/menu_tree.hpp"

namespace vke {

// What a generated command stands for.
enum class KVMenuKind : int32_t { kItem = 0, kPasteAs = 1, kCopyAs = 2, kLanguage = 3 };

// One generated entry: its command id and the element position, language
// offset or plot id it stands for; both -1 for a separator.
struct MenuCommandRecord {
  int32_t id;
  int32_t element;
  KVMenuKind kind;
};

inline constexpr int32_t kMaxMenuRecords = 256;
// The most of an entry's text that is shown, in bytes.
inline constexpr size_t kMenuTextBytes = 60;
// Where "Language", and "Copy As" and "Paste As", go in the "&Edit" menu.
inline constexpr int32_t kLanguagePosition = 8;
inline constexpr int32_t kFormatsPosition = 7;

// At most kMaxMenuRecords records, in creation order.
class MenuCommandTable {
 public:
  bool Full() const { return records_.size() >= kMaxMenuRecords; }
  void Add(const MenuCommandRecord& record) { records_.push_back(record); }
  // The first record of a command id; separators are never found.
  const MenuCommandRecord* Find(int32_t id) const;
  std::span<const MenuCommandRecord> Records() const { return records_; }
  void Clear() { records_.clear(); }

 private:
  std::vector<MenuCommandRecord> records_;
};

// A text cut to kMenuTextBytes bytes, before a character that would not fit
// whole.
std::string MenuEntryText(std::string_view text);

class ApplicationMenus {
 public:
  ApplicationMenus(EngineFacade& engine, Clipboard& clipboard)
      : engine_(engine), clipboard_(clipboard) {}

  // Removes the application's menus from the menu bar and its sub-menus
  // from "&Edit", and empties both tables.
  void Clear(MenuSurface& bar);
  // Clears, then builds the instance's menus, languages, "Paste As" and
  // "Copy As" formats and, when the instance offers them, its plots.
  void Rebuild(int32_t id, MenuSurface& bar);
  // Removes "&Layout" unless the instance offers layouts.
  void UpdateLayoutMenu(int32_t id, MenuSurface& bar);
  // Fills the pop-up with "&Remove", a separator and the instance's plots;
  // whether any plot entry was made.
  bool BuildPlotsMenu(int32_t id, MenuNode* popup);
  // The figure's context menu, with "&Plots" and a separator on top when
  // the instance offers plot choices.
  MenuNode ContextMenu(int32_t id);

  // The commands of the generated ids: 0 for an id not in the tables,
  // kStatusRepaint when the figure must be repainted, kStatusInstanceChanged when the instance
  // changed, else an error. A text the clipboard could not take is kKvExhaustedRsrc.
  ErrCode RunKVMenuItem(int32_t id, int32_t command);
  ErrCode RunPlotMenuCommand(int32_t id, int32_t command);
  // Their update rules; nothing for an id not in the tables.
  std::optional<CommandUpdate> UpdateKVMenuCommand(int32_t id, int32_t command);
  std::optional<CommandUpdate> UpdatePlotMenuCommand(int32_t id, int32_t command);

  const MenuCommandTable& Commands() const { return commands_; }
  const MenuCommandTable& Plots() const { return plots_; }

 private:
  // Builds a pop-up of one family ('i' or 'e') with ids from `first`.
  MenuNode FormatMenu(int32_t id, char family, int32_t first, KVMenuKind kind, std::string label);
  MenuNode LanguageMenu(int32_t id);
  void BuildKVMenus(int32_t id, MenuSurface& bar, int32_t* position);
  CommandUpdate StateUpdate(uint32_t state) const;
  // The state of an element's entry with the clipboard's text; 0 without an
  // engine or when it cannot be had.
  uint8_t ItemState(int32_t id, int32_t element);

  EngineFacade& engine_;
  Clipboard& clipboard_;
  MenuCommandTable commands_;
  MenuCommandTable plots_;
};

}  // namespace vke
