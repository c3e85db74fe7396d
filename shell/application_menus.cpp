// Building, running and updating the menus of the KV application.
#include "shell/application_menus.hpp"

#include <utility>

#include "app/figure_commands.hpp"
#include "app/kv_elements.hpp"
#include "app/menu_items.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/subplot.hpp"
#include "shell/command_table.hpp"
#include "shell/menu_resources.hpp"

namespace vke {

namespace {

constexpr std::string_view kUntitledMenu = "Settings";
constexpr std::string_view kLanguageMenu = "Language";
constexpr std::string_view kPasteAsMenu = "Paste As";
constexpr std::string_view kCopyAsMenu = "Copy As";
constexpr std::string_view kPlotsMenu = "&Plots";
constexpr std::string_view kRemovePlotText = "&Remove";

// One menu in progress: entries go to its open sub-menu, else to it. A
// structure text opens a sub-menu, closing the one that is open; an empty
// one only closes it. Entries before any title start a "Settings" menu.
class MenuFill {
 public:
  void Start(std::string_view title) {
    menu_ = MenuNode::Popup(MenuEntryText(title.empty() ? kUntitledMenu : title));
  }
  void Append(MenuNode node) {
    if (!menu_) Start(kUntitledMenu);
    (sub_ ? *sub_ : *menu_).children.push_back(std::move(node));
  }
  void Structure(std::string_view text) {
    CloseSub();
    if (text.empty()) return;
    if (!menu_) Start(kUntitledMenu);
    sub_ = MenuNode::Popup(MenuEntryText(text));
  }
  // The menu with its sub-menu closed; nothing when none was started.
  std::optional<MenuNode> Finish() {
    CloseSub();
    return std::exchange(menu_, std::nullopt);
  }

 private:
  void CloseSub() {
    if (sub_) menu_->children.push_back(std::move(*std::exchange(sub_, std::nullopt)));
  }

  std::optional<MenuNode> menu_;
  std::optional<MenuNode> sub_;
};

MenuCommandRecord SeparatorRecord(KVMenuKind kind) {
  return {-1, -1, kind};
}

}  // namespace

const MenuCommandRecord* MenuCommandTable::Find(int32_t id) const {
  if (id < 0) return nullptr;
  for (const MenuCommandRecord& r : records_)
    if (r.id == id) return &r;
  return nullptr;
}

std::string MenuEntryText(std::string_view text) {
  if (text.size() <= kMenuTextBytes) return std::string(text);
  size_t n = kMenuTextBytes;
  while (n > 0 && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80) n--;
  return std::string(text.substr(0, n));
}

void ApplicationMenus::Clear(MenuSurface& bar) {
  const int32_t edit = FindMenuByText(bar, kEditMenuText);
  if (edit >= 0) {
    RemoveMenusBefore(bar, edit + 1, kFigureMenuText);
    if (std::unique_ptr<MenuSurface> menu = bar.SubMenuAt(edit)) {
      RemoveMenuByText(*menu, kPasteAsMenu);
      RemoveMenuByText(*menu, kCopyAsMenu);
      RemoveMenuByText(*menu, kLanguageMenu);
    }
  }
  commands_.Clear();
  plots_.Clear();
}

void ApplicationMenus::BuildKVMenus(int32_t id, MenuSurface& bar, int32_t* position) {
  MenuFill fill;
  auto finish = [&] {
    if (std::optional<MenuNode> menu = fill.Finish()) bar.InsertAt((*position)++, *menu);
  };
  int32_t next = kKVMenuFirstId;
  int32_t at = -1;
  MenuStop stop;
  while (!commands_.Full() && engine_.NextMenuStop(id, 'm', &at, &stop, true, true) == kOk) {
    switch (stop.kind) {
      case kElemMenuStart:
        finish();
        fill.Start(stop.text);
        break;
      case kElemMenuEnd:
        finish();
        break;
      case kElemMenuStructure:
        fill.Structure(stop.text);
        break;
      default:
        if (stop.text.empty()) {
          fill.Append(MenuNode::Separator());
          commands_.Add(SeparatorRecord(KVMenuKind::kItem));
        } else if (next < kKVMenuFirstId + kGeneratedBlockIds) {
          const bool mark = (ItemState(id, at) & kMenuStateNoCheckMark) == 0;
          fill.Append(MenuNode::Item(next, MenuEntryText(stop.text),
                                     mark ? MenuItemKind::kCheck : MenuItemKind::kCommand));
          commands_.Add({next++, at, KVMenuKind::kItem});
        }
        break;
    }
  }
  finish();
}

MenuNode ApplicationMenus::LanguageMenu(int32_t id) {
  MenuNode menu = MenuNode::Popup(std::string(kLanguageMenu));
  int32_t offset = -1;
  std::string name;
  for (int32_t next = kLanguageFirstId;
       next < kLanguageFirstId + kGeneratedBlockIds && !commands_.Full() &&
       engine_.NextLanguage(id, &offset, &name) == kOk;
       next++) {
    menu.children.push_back(MenuNode::Item(next, MenuEntryText(name), MenuItemKind::kCheck));
    commands_.Add({next, offset, KVMenuKind::kLanguage});
  }
  return menu;
}

MenuNode ApplicationMenus::FormatMenu(int32_t id, char family, int32_t first, KVMenuKind kind,
                                      std::string label) {
  MenuNode menu = MenuNode::Popup(std::move(label));
  int32_t next = first;
  int32_t at = -1;
  MenuStop stop;
  while (!commands_.Full() && engine_.NextMenuStop(id, family, &at, &stop, false, false) == kOk) {
    if (stop.text.empty()) {
      menu.children.push_back(MenuNode::Separator());
      commands_.Add(SeparatorRecord(kind));
    } else if (next < first + kGeneratedBlockIds) {
      // Formats are enabled or not, never checked.
      menu.children.push_back(
          MenuNode::Item(next, MenuEntryText(stop.text), MenuItemKind::kCommand));
      commands_.Add({next++, at, kind});
    }
  }
  return menu;
}

void ApplicationMenus::Rebuild(int32_t id, MenuSurface& bar) {
  Clear(bar);
  const int32_t edit = FindMenuByText(bar, kEditMenuText);
  int32_t position = edit >= 0 ? edit + 1 : bar.Count();
  BuildKVMenus(id, bar, &position);
  if (std::unique_ptr<MenuSurface> menu = edit >= 0 ? bar.SubMenuAt(edit) : nullptr) {
    const MenuNode languages = LanguageMenu(id);
    if (!languages.children.empty()) menu->InsertAt(kLanguagePosition, languages);
    const MenuNode paste =
        FormatMenu(id, 'i', kPasteAsFirstId, KVMenuKind::kPasteAs, std::string(kPasteAsMenu));
    if (!paste.children.empty()) menu->InsertAt(kFormatsPosition, paste);
    const MenuNode copy =
        FormatMenu(id, 'e', kCopyAsFirstId, KVMenuKind::kCopyAs, std::string(kCopyAsMenu));
    if (!copy.children.empty()) menu->InsertAt(kFormatsPosition, copy);
  }
  MenuNode plots = MenuNode::Popup(std::string(kPlotsMenu));
  if (engine_.Created() && engine_.FigureCommandOffered(id, kLayoutFigureCommand) &&
      BuildPlotsMenu(id, &plots))
    bar.InsertAt(position, plots);
}

void ApplicationMenus::UpdateLayoutMenu(int32_t id, MenuSurface& bar) {
  if (!engine_.Created() || !engine_.FigureCommandOffered(id, kLayoutFigureCommand))
    RemoveMenuByText(bar, kLayoutMenuText);
}

bool ApplicationMenus::BuildPlotsMenu(int32_t id, MenuNode* popup) {
  MenuFill fill;
  fill.Start(popup->label);
  fill.Append(MenuNode::Item(kRemovePlotId, std::string(kRemovePlotText), MenuItemKind::kCheck));
  fill.Append(MenuNode::Separator());
  plots_.Clear();
  int32_t next = kFirstPlotId;
  int32_t at = -1;
  MenuStop stop;
  while (!plots_.Full() && next < kPlotCommandsEnd &&
         engine_.NextMenuStop(id, 'f', &at, &stop, false, false) == kOk) {
    if (stop.kind == kElemMenuStructure) {
      fill.Structure(stop.text);
    } else if (stop.text.empty()) {
      fill.Append(MenuNode::Separator());
      plots_.Add(SeparatorRecord(KVMenuKind::kItem));
    } else {
      fill.Append(MenuNode::Item(next, MenuEntryText(stop.text), MenuItemKind::kCheck));
      plots_.Add({next++, stop.offset, KVMenuKind::kItem});
    }
  }
  popup->children = std::move(fill.Finish()->children);
  return !plots_.Records().empty();
}

MenuNode ApplicationMenus::ContextMenu(int32_t id) {
  MenuNode menu = FigureContextMenu();
  MenuNode plots = MenuNode::Popup(std::string(kPlotsMenu));
  if (engine_.Created() && engine_.FigureCommandOffered(id, kLayoutFigureCommand) &&
      BuildPlotsMenu(id, &plots)) {
    NodeMenu top(menu);
    top.InsertAt(0, MenuNode::Separator());
    top.InsertAt(0, plots);
  }
  return menu;
}

ErrCode ApplicationMenus::RunKVMenuItem(int32_t id, int32_t command) {
  const MenuCommandRecord* r = commands_.Find(command);
  if (!r) return kOk;
  if (!engine_.Created()) return engine_.CreationError();
  switch (r->kind) {
    case KVMenuKind::kItem:
      return engine_.RunMenuItem(id, r->element);
    case KVMenuKind::kLanguage:
      return engine_.SetLanguage(id, r->element);
    case KVMenuKind::kPasteAs: {
      const std::optional<std::string> text = clipboard_.Text();
      return text ? engine_.PasteLink(id, r->element, *text) : kOk;
    }
    case KVMenuKind::kCopyAs: {
      std::string text;
      if (ErrCode e = engine_.RunCopyHandler(id, r->element, -1, &text)) return e;
      // A clipboard that could not be opened has copied nothing.
      return CopyTextToClipboard(clipboard_, text) ? kOk : kErrExhaustedRsrc;
    }
  }
  return kOk;
}

ErrCode ApplicationMenus::RunPlotMenuCommand(int32_t id, int32_t command) {
  int32_t plot = kRemovePlot;
  if (command != kRemovePlotId) {
    const MenuCommandRecord* r = plots_.Find(command);
    if (!r) return kOk;
    plot = r->element;
  }
  // A failed choice is reported, never taken for a done one.
  const ErrCode e = engine_.ChoosePlot(id, plot);
  if (e != kOk && e != kStatusRepaint) return e;
  engine_.RunDrawHandlers(id);
  return kStatusRepaint;
}

CommandUpdate ApplicationMenus::StateUpdate(uint32_t state) const {
  return {(state & kMenuStateEnabled) != 0,
          (state & kMenuStateChecked) ? CheckMark::kOn : CheckMark::kOff, std::string()};
}

uint8_t ApplicationMenus::ItemState(int32_t id, int32_t element) {
  if (!engine_.Created()) return 0;
  const std::optional<std::string> text = clipboard_.Text();
  uint8_t state = 0;
  if (engine_.MenuItemState(id, element, text ? std::string_view(*text) : std::string_view(),
                            &state) != kOk)
    state = 0;
  return state;
}

std::optional<CommandUpdate> ApplicationMenus::UpdateKVMenuCommand(int32_t id, int32_t command) {
  const MenuCommandRecord* r = commands_.Find(command);
  if (!r) return std::nullopt;
  return StateUpdate(ItemState(id, r->element));
}

std::optional<CommandUpdate> ApplicationMenus::UpdatePlotMenuCommand(int32_t id, int32_t command) {
  int32_t plot = kPlotNone;
  if (command != kRemovePlotId) {
    const MenuCommandRecord* r = plots_.Find(command);
    if (!r) return std::nullopt;
    plot = r->element;
  }
  return StateUpdate(engine_.Created() ? engine_.SubplotSelectionState(id, plot) : 0);
}

}  // namespace vke
