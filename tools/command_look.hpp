// The compiler's look at a console command typed in part: the whole
// command, or only its last line when that line holds whole statements of
// a block (tools/command_gatherer.hpp), compiled with the variables the
// look before it found. So a long block pasted line by line is not
// compiled again at each line.
#pragma once

#include <string>

#include "engine/context.hpp"

namespace vke::runner {

class CommandLook {
 public:
  explicit CommandLook(EngineContext* ctx) : ctx_(ctx) {}
  // The error of the command before its end (0 when all it lacks is its
  // end, a memory code when the look ran short of room); `line` is where
  // its last line starts, `alone` as ConsoleInput::FaultFn gives it.
  ErrCode Fault(const std::string& command, size_t line, bool alone);

 private:
  EngineContext* ctx_;
  std::string names_;  // the variables of the command typed so far
};

}  // namespace vke::runner
