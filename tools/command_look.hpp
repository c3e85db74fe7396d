// The compiler's look at a console command typed in part, line by line:
// each look compiles only the statements its last line is part of, behind
// the statements that stand for the lines before them (the openers of the
// blocks and the header of the definition still open, as the command
// gatherer keeps them: tools/command_gatherer.hpp), knowing the variables
// the looks before found there. So a long block, definition or bracket
// pasted line by line is not compiled again at each line.
#pragma once

#include <string>

#include "engine/context.hpp"
#include "tools/command_gatherer.hpp"

namespace vke::runner {

class CommandLook {
 public:
  explicit CommandLook(EngineContext* ctx) : ctx_(ctx) {}
  // The error of the command before its end (0 when all it lacks is its
  // end, a memory code when the look ran short of room); `line` is where
  // its last line starts (0 begins a command), `alone` as
  // ConsoleInput::FaultFn gives it. After a look, the same command may be
  // asked about longer, or shorter by lines of the statement its last line
  // is in.
  ErrCode Fault(const std::string& command, size_t line, bool alone);

 private:
  EngineContext* ctx_;
  CommandGatherer outline_;      // the lines of the command read so far
  size_t read_ = 0;              // their length
  size_t part_ = 0;              // where their last part begins
  std::string names_;            // the variables of the text the last look found
  std::string definitionNames_;  // those of the definition open behind it
  size_t partNames_ = 0;         // the bytes of each known where the part begins
  size_t partDefinitionNames_ = 0;
};

}  // namespace vke::runner
