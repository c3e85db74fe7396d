// When the lines typed at the console make one whole command: a block (if,
// for, while, switch, try ... end; repeat ... until) or a function definition
// that is not closed yet, a statement continued with "..." or inside a
// bracket ("(", "[" or "{") not closed yet, and a "/*" comment not closed
// yet all keep the command open for the next line. The keywords, the
// brackets and the numbers are the compiler's own
// (compiler/statement_keywords.def, compiler/lexer_helpers.hpp,
// compiler/compile_lexer.hpp). Each line is scanned once, from the state
// the lines before it left.
//
// It also keeps what the compiler's look at a command typed in part needs
// to start where the lines before left it (tools/command_look.hpp): where
// the statements the last line is part of begin, and the statements that
// stand for the lines before them, in the text and in the definition open
// there: each open block's opening statement and the keyword that began
// its last part ("else", "otherwise", "catch": a keyword that opens no
// block and that a statement may follow on its line), and the header of
// the definition.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vke::runner {

class CommandGatherer {
 public:
  // Scans the next line of the command, given without its line end.
  void Add(std::string_view line);
  // Whether the lines added so far make a whole command.
  bool Complete() const {
    return blocks_.empty() && !inDefinition_ && !continued_ && !inComment_ && open_.empty();
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
  // Whether the last line added neither begins nor ends a statement: an
  // earlier line began it and it goes on behind this one.
  bool MidStatement() const { return midStatement_; }
  // Where the statements the last line added is part of begin: the start of
  // the line behind the last one that ended its statements, counting each
  // line added with its line end.
  size_t PartStart() const { return partStart_; }
  // The statements that stand for the lines before PartStart(), each on a
  // line of its own: the opening statements of the blocks open there, each
  // followed by the keyword of its last part when one began it, the header
  // of the definition open there and the blocks open in it.
  const std::string& PartContext() const { return partContext_; }
  // Whether a definition is open at PartStart().
  bool PartInDefinition() const { return partInDefinition_; }
  // Whether a definition is open behind the last line added.
  bool InDefinition() const { return inDefinition_; }
  // Forgets every line added.
  void Reset() { *this = CommandGatherer(); }

 private:
  // A block open: its opening statement and the keyword of its last part.
  struct Block {
    std::string opener;
    std::string lastPart;
  };
  // Where the text of the statement being read goes once it ends.
  enum class Taking { kNothing, kOpener, kLastPart, kHeader };

  // The keyword at line[at], when one that matters stands there at the start
  // of a statement; `at` then moves behind it.
  void TakeWord(std::string_view line, size_t* at);
  // The blocks of the definition open, or else of the text.
  std::vector<Block>& Blocks() { return inDefinition_ ? definitionBlocks_ : blocks_; }
  // Begins to take the text of a keyword's statement from line[at] on.
  void Take(Taking what, size_t at);
  // The statement taken ends at line[end].
  void EndTaking(std::string_view line, size_t end);
  // At the start of a line behind one that ended its statements.
  void BeginPart();
  // At the end of a header statement: a header the scanner refuses opens no
  // definition, so that the command runs and the compiler reports it.
  void CheckHeader();

  std::vector<Block> blocks_;            // blocks of the text opened and not yet closed
  bool inDefinition_ = false;            // inside a "function" not closed by "endfunction"
  bool continued_ = false;               // the last line ended with "..."
  bool inComment_ = false;               // inside a "/*" comment
  bool atStatement_ = true;              // where a statement may begin
  std::string open_;                     // the brackets open in the statement, innermost last
  bool numberRow_ = false;               // the last line was a row of numbers
  bool alone_ = false;                   // the last line held whole statements of a block
  bool midStatement_ = false;            // the last line was inside one statement
  bool keyword_ = false;                 // a statement's keyword was read on the line
  char previous_ = ' ';                  // the character before, for quotes
  bool inHeader_ = false;                // reading a function's header statement
  std::string header_;                   // the header statement of the definition open
  std::vector<Block> definitionBlocks_;  // blocks open in that definition
  Taking taking_ = Taking::kNothing;     // the keyword statement being read
  std::string taken_;                    // its text so far
  size_t takeFrom_ = 0;                  // where it goes on in the line
  size_t added_ = 0;                     // the length of the lines added
  bool lineEnded_ = true;                // the last line ended its statements
  size_t partStart_ = 0;
  std::string partContext_;
  bool partInDefinition_ = false;
};

}  // namespace vke::runner
