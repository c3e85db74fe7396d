// When the lines typed at the console make one whole command: a block (if,
// for, while, switch, try ... end; repeat ... until) or a function definition
// that is not closed yet, a statement continued with "..." or inside a
// bracket ("(", "[" or "{") not closed yet, and a "/*" comment not closed
// yet all keep the command open for the next line. The keywords, the
// brackets and the numbers are the compiler's own
// (compiler/statement_keywords.def, compiler/lexer_helpers.hpp,
// compiler/compile_lexer.hpp). Each line is scanned once, from the state
// the lines before it left.
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
    return openBlocks_ == 0 && !inDefinition_ && !continued_ && !inComment_ && open_.empty();
  }
  // Whether the last line added is a row of a matrix or cell array that an
  // earlier line opened: numbers (a sign before one, a comma behind one,
  // semicolons) and blanks only, read as a row of its own. Such a line
  // leaves a text that lacked only its end lacking only its end.
  bool NumberRow() const { return numberRow_; }
  // Whether the last line added holds whole statements of a block an
  // earlier line opened, outside a definition, and no keyword of a
  // statement: the lines before it say nothing of what it holds, but the
  // names they assign.
  bool StatementsAlone() const { return alone_; }
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
  std::string open_;           // the brackets open in the statement, innermost last
  bool numberRow_ = false;     // the last line was a row of numbers
  bool alone_ = false;         // the last line held whole statements of a block
  bool keyword_ = false;       // a statement's keyword was read on the line
  char previous_ = ' ';        // the character before, for quotes
  bool inHeader_ = false;      // reading a function's header statement
  std::string header_;         // its text so far
};

}  // namespace vke::runner
