// The rows of commands.def.
#include "shell/command_table.hpp"

#include "graphics/camera.hpp"
#include "graphics/scale.hpp"
#include "graphics/subplot.hpp"

namespace vke {

namespace {

constexpr CommandRow kRows[] = {
#define VKE_COMMAND(name, id, text, prompt, action, kind, first, second) \
  {id, text, prompt, CommandAction::action, MenuItemKind::kind, first, second},
#include "shell/commands.def"
#undef VKE_COMMAND
};

}  // namespace

std::span<const CommandRow> CommandRows() {
  return kRows;
}

const CommandRow* FindCommand(int32_t id) {
  for (const CommandRow& row : kRows)
    if (row.id == id) return &row;
  return nullptr;
}

std::string_view PromptStatus(std::string_view prompt) {
  return prompt.substr(0, prompt.find('\n'));
}

}  // namespace vke
