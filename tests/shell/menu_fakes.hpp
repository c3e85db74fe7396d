// What the menu and document tests stand in for: the clipboard, the text
// windows and the document's window, and a fake menu lookup that answers
// from lists of stops.
#pragma once

#include <gmock/gmock.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/errors.hpp"
#include "graphics/kv_elements.hpp"
#include "shell/clipboard.hpp"
#include "shell/command_table.hpp"
#include "shell/document_commands.hpp"
#include "shell/menu_tree.hpp"
#include "tests/shell/mock_engine_facade.hpp"

namespace vke::test {

struct FakeClipboard : Clipboard {
  std::optional<std::string> text;
  bool opens = true;
  std::optional<std::string> Text() override { return opens ? text : std::nullopt; }
  bool SetText(std::string_view t) override {
    if (!opens) return false;
    text = std::string(t);
    return true;
  }
};

struct FakeTextWindow : TextWindow {
  std::string title, text;
  bool shown = false;
  void SetTitle(const std::string& t) override { title = t; }
  void SetText(const std::string& t) override { text = t; }
  void BringToTop() override { shown = true; }
  void Hide() override { shown = false; }
};

// The document's window: counts what it was asked, keeps the menu bar as a
// tree and the error boxes as "caption: text".
struct FakeDocumentHost : DocumentHost {
  int views = 0;
  std::optional<bool> modified;
  std::string title = "unset";
  std::vector<std::string> errors;
  MenuNode bar;
  std::unique_ptr<NodeMenu> barMenu;
  std::vector<std::unique_ptr<FakeTextWindow>> windows;

  void UpdateAllViews() override { views++; }
  void SetModified(bool m) override { modified = m; }
  void SetTitle(const std::string& t) override { title = t; }
  void ShowError(const std::string& text, const std::string& caption) override {
    errors.push_back(caption + ": " + text);
  }
  MenuSurface* MenuBar() override { return barMenu.get(); }
  TextWindow* NewTextWindow(const std::string& t) override {
    windows.push_back(std::make_unique<FakeTextWindow>());
    windows.back()->title = t;
    return windows.back().get();
  }
  void UseMenuBar(MenuNode node) {
    bar = std::move(node);
    barMenu = std::make_unique<NodeMenu>(bar);
  }
};

// The menu lookup answered from a list of stops per family letter; a
// stop's position is its index in its list.
struct FakeLookup {
  std::map<char, std::vector<MenuStop>> stops;
  std::vector<std::string> languages;

  void Add(char family, uint32_t kind, std::string text = std::string(), int32_t offset = 0) {
    stops[family].push_back({kind, std::move(text), 0, offset});
  }
  void Install(MockEngineFacade& engine) {
    ON_CALL(engine, NextMenuStop)
        .WillByDefault(
            [this](int32_t, char family, int32_t* at, MenuStop* stop, bool, bool) -> ErrCode {
              const std::vector<MenuStop>& list = stops[family];
              if (*at + 1 >= static_cast<int32_t>(list.size())) return kKvUndefElement;
              *stop = list[++*at];
              return kOk;
            });
    ON_CALL(engine, NextLanguage)
        .WillByDefault([this](int32_t, int32_t* at, std::string* name) -> ErrCode {
          if (*at + 1 >= static_cast<int32_t>(languages.size())) return kKvUndefElement;
          *name = languages[++*at];
          return kOk;
        });
  }
};

// A created context whose instance offers layouts and plot choices, with
// its menus answered by the lookup.
inline void ServeMenus(MockEngineFacade& engine, FakeLookup& lookup, int32_t id) {
  using ::testing::Return;
  ON_CALL(engine, Created()).WillByDefault(Return(true));
  ON_CALL(engine, FigureCommandOffered(id, kLayoutFigureCommand)).WillByDefault(Return(true));
  lookup.Install(engine);
}

// The labels of a menu's items, separators as "-", pop-ups followed by
// their items in braces.
inline std::string Outline(const MenuNode& node) {
  std::string out;
  for (const MenuNode& c : node.children) {
    if (!out.empty()) out += ",";
    out += c.kind == MenuItemKind::kSeparator ? "-" : c.label;
    if (c.kind == MenuItemKind::kPopup) out += "{" + Outline(c) + "}";
  }
  return out;
}

// The top-level labels only.
inline std::string Titles(const MenuNode& node) {
  std::string out;
  for (const MenuNode& c : node.children) out += (out.empty() ? "" : ",") + c.label;
  return out;
}

}  // namespace vke::test
