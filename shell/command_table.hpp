// The menu commands' vocabulary (commands.def): their ids, menu texts,
// status prompts, who carries them out and with what arguments; and the
// blocks of ids that the menus built from the application take.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "shell/menu_tree.hpp"

namespace vke {

enum class CommandAction : uint8_t {
  kResetData,       // Reset Data of the instance
  kAboutKVFile,     // the application's about text
  kKVFileHelp,      // the application's help text
  kFigureMode,      // first: the figure mode
  kLockedScale,     // locks or releases the selection's scales
  kScaleKind,       // first: the scale-kind bit flipped
  kPerspective,     // perspective projection of the selection's 3-D views
  kCameraView,      // first: the automatic-view flag flipped
  kOptionToggle,    // first: the option bit flipped
  kGridKind,        // first: the grid kind set
  kIdleProcessing,  // idle processing on or off
  kEntryOption,     // the instance's entry option on or off
  kGridLayout,      // first, second: rows and columns of the grid
  kFreeLayout,      // first: anchored (absolute size) rather than relative
  kWindow,          // the frame's or the application's own
  kHook,            // a dialog's or printing's, disabled until installed
};

enum CommandId : int32_t {
#define VKE_COMMAND(name, id, text, prompt, action, kind, first, second) name = id,
#include "shell/commands.def"
#undef VKE_COMMAND
};

struct CommandRow {
  int32_t id;
  std::string_view text;    // menu text, with mnemonic and accelerator
  std::string_view prompt;  // status text, "\n", tool tip
  CommandAction action;
  MenuItemKind kind;  // plain command, check item or radio item
  uint32_t first;
  uint32_t second;
};

std::span<const CommandRow> CommandRows();
// The row of a command id, or null.
const CommandRow* FindCommand(int32_t id);
// The status-bar part of a prompt (before its "\n").
std::string_view PromptStatus(std::string_view prompt);

// The scale-kind bits that the scale commands store together (log x, log
// y, dB y), and the grid-kind bits that a grid kind replaces.
inline constexpr uint32_t kScaleCommandMask = 0x13;
inline constexpr uint32_t kGridKindMask = 0x6000;
// The figure menu command (1 to 9) that layouts and plot choices need.
inline constexpr int32_t kLayoutFigureCommand = 4;

// The ids the menus built from the application take: each block counts up
// from its first id, one id per item.
inline constexpr int32_t kKVMenuFirstId = 11200;    // the application's menu items
inline constexpr int32_t kLanguageFirstId = 11400;  // "Language"
inline constexpr int32_t kPasteAsFirstId = 11600;   // "Paste As"
inline constexpr int32_t kCopyAsFirstId = 11800;    // "Copy As"
inline constexpr int32_t kGeneratedBlockIds = 200;
inline constexpr int32_t kKVCommandsEnd = 12000;    // past the four blocks above
inline constexpr int32_t kRemovePlotId = 12000;     // "&Remove" of "&Plots"
inline constexpr int32_t kFirstPlotId = 12001;      // the plot choices
inline constexpr int32_t kPlotCommandsEnd = 13000;  // past the plot choices

}  // namespace vke
