// When the lines typed at the console make one whole command: a block (if,
// for, while, switch, try ... end; repeat ... until) or a function definition
// that is not closed yet, a statement continued with "..." or inside a
// bracket ("(", "[" or "{") not closed yet, and a "/*" comment not closed
// yet all keep the command open for the next line. The keywords and the
// brackets are the compiler's own (compiler/statement_keywords.def,
// compiler/lexer_helpers.hpp). Each line is scanned once, from the state the
// lines before it left.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vke::runner {

class CommandGatherer {
 public:
  // Scans the next line of the command, given without its line end.
  void Add(std::string_view line);
  // Whether the lines added so far make a whole command.
  bool Complete() const {
    return openBlocks_ == 0 && !inDefinition_ && !continued_ && !inComment_ && depth_ == 0;
  }
  // Whether the last line added left open a bracket it opened: from it on,
  // every line goes into the command until that bracket closes.
  bool OpenedBracket() const { return opened_; }
  // Forgets every line added.
  void Reset() { *this = CommandGatherer(); }

 private:
  // The keyword at line[at], when one that matters stands there at the start
  // of a statement; `at` then moves behind it.
  void TakeWord(std::string_view line, size_t* at);
  // At the end of a header statement: a header the scanner refuses opens no
  // definition, so that the command runs and the compiler reports it.
  void CheckHeader();

  int32_t openBlocks_ = 0;     // blocks opened and not yet closed
  bool inDefinition_ = false;  // inside a "function" not closed by "endfunction"
  bool continued_ = false;     // the last line ended with "..."
  bool inComment_ = false;     // inside a "/*" comment
  bool atStatement_ = true;    // where a statement may begin
  int32_t depth_ = 0;          // brackets open in the statement
  bool opened_ = false;        // the last line left a bracket of its own open
  char previous_ = ' ';        // the character before, for quotes
  bool inHeader_ = false;      // reading a function's header statement
  std::string header_;         // its text so far
};

}  // namespace vke::runner
