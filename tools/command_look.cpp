// The look at a console command typed in part.
#include "tools/command_look.hpp"

#include <string_view>

#include "compiler/compile.hpp"
#include "engine/errors/errors.hpp"

namespace vke::runner {

ErrCode CommandLook::Fault(const std::string& command, size_t line, bool alone) {
  if (line == 0) {
    outline_.Reset();
    read_ = part_ = partNames_ = partDefinitionNames_ = 0;
    names_.clear();
    definitionNames_.clear();
  }
  // The lines not read yet. Where a part begins, the last look has read the
  // line before it: the names it found are those known there.
  while (read_ < command.size()) {
    size_t end = command.find('\n', read_);
    if (end == std::string::npos) end = command.size();
    outline_.Add(std::string_view(command).substr(read_, end - read_));
    read_ = end + 1;
    if (outline_.PartStart() != part_) {
      part_ = outline_.PartStart();
      partNames_ = names_.size();
      partDefinitionNames_ = outline_.PartInDefinition() ? definitionNames_.size() : 0;
    }
  }
  // Shorter than the part read: looked at whole.
  if (part_ > command.size())
    return CommandLineFault(ctx_, command.data(), static_cast<int32_t>(command.size()));
  // Statements alone in a block need no opener before them.
  std::string text = alone ? std::string() : outline_.PartContext();
  text.append(command, part_);
  std::string names = names_.substr(0, partNames_);
  std::string definitionNames = definitionNames_.substr(0, partDefinitionNames_);
  if (ErrCode e = CommandLineStatementsFault(ctx_, text.data(), static_cast<int32_t>(text.size()),
                                             &names, &definitionNames))
    return e;
  names_ = std::move(names);
  if (outline_.InDefinition())
    definitionNames_ = std::move(definitionNames);
  else
    definitionNames_.clear();
  return kOk;
}

}  // namespace vke::runner
