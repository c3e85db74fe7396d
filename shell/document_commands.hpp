// The document's rules without a window: its commands (Reset Data, the
// figure modes, scales, views, options, grids and layouts, idle processing,
// the application's about and help texts, the application's menus and plot
// choices), their update rules, the menus rebuilt when the instance
// changes, the instance's title and the error box of a failed command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "shell/application_menus.hpp"
#include "shell/command_state.hpp"
#include "shell/command_table.hpp"
#include "shell/engine_facade.hpp"
#include "shell/text_window.hpp"

namespace vke {

// What the document does through its window.
class DocumentHost {
 public:
  virtual ~DocumentHost() = default;
  virtual void UpdateAllViews() = 0;
  virtual void SetModified(bool modified) = 0;
  // The instance's title became the document's (empty: it has none).
  virtual void SetTitle(const std::string& title) = 0;
  // An error box with the text, captioned with the command's fallback text.
  virtual void ShowError(const std::string& text, const std::string& caption) = 0;
  // The frame's menu bar; null while there is none.
  virtual MenuSurface* MenuBar() = 0;
  // A text window the host owns, made hidden.
  virtual TextWindow* NewTextWindow(const std::string& title) = 0;
};

// The longest title kept, in characters.
inline constexpr size_t kTitleCharacters = 119;

// The fallback texts of the error box.
inline constexpr std::string_view kResetError = "Reset error";
inline constexpr std::string_view kMenuError = "Menu error";
inline constexpr std::string_view kChoosePlotError = "Choose Plot error";

class DocumentCommands {
 public:
  DocumentCommands(EngineFacade& engine, Clipboard& clipboard, DocumentHost& host)
      : engine_(engine), host_(host), menus_(engine, clipboard) {}

  void SetInstance(int32_t id) { id_ = id; }
  int32_t Instance() const { return id_; }
  const std::string& Title() const { return title_; }
  ApplicationMenus& Menus() { return menus_; }

  // Whether the id is a command of the document.
  static bool Handles(int32_t id);
  void Execute(int32_t id);
  // The update of a command; nothing for an id the document leaves alone.
  std::optional<CommandUpdate> Update(int32_t id);

  // Rebuilds the application's menus in the menu bar; with the layout check,
  // "&Layout" goes when the instance does not offer layouts.
  void UpdateMenus(bool checkLayout);
  // Takes the application's menus out of the menu bar.
  void UpdateEditMenus();
  // The instance's title, at most kTitleCharacters characters.
  void FetchInstanceTitle();
  // Shows the about or the help text in its window, made on first use;
  // hides the window when the instance has no such text. Whether it has.
  bool ShowAboutKVFile();
  bool ShowKVFileHelp();
  std::string AboutTitle() const;
  std::string HelpTitle() const;

 private:
  enum class Text { kAbout, kHelp };
  bool ShowText(Text which, bool make);
  void ResetData();
  void OnKVMenuCommand(int32_t id);
  void OnPlotMenuCommand(int32_t id);
  ErrCode FigureCommand(const CommandRow& row);
  CommandUpdate FigureUpdate(const CommandRow& row) const;
  void ShowError(ErrCode code, std::string_view fallback);
  void ShowHandlerFailure(std::string_view fallback);

  EngineFacade& engine_;
  DocumentHost& host_;
  ApplicationMenus menus_;
  int32_t id_ = 0;
  std::string title_;
  TextWindow* about_ = nullptr;
  TextWindow* help_ = nullptr;
};

}  // namespace vke
