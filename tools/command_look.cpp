// The look at a console command typed in part.
#include "tools/command_look.hpp"

#include "compiler/compile.hpp"

namespace vke::runner {

ErrCode CommandLook::Fault(const std::string& command, size_t line, bool alone) {
  // A line alone is looked at after a look at its command's first lines.
  if (alone && !names_.empty())
    return CommandLineStatementsFault(ctx_, command.data() + line,
                                      static_cast<int32_t>(command.size() - line), &names_);
  return CommandLineFault(ctx_, command.data(), static_cast<int32_t>(command.size()), &names_);
}

}  // namespace vke::runner
