// Lexical helpers shared by the scanners of source text (the name characters
// are engine/text/name_chars.hpp's): skipping blanks, comments and
// continuations, keywords at a position, and skipping the rest of a
// statement.
#pragma once

#include "engine/base.hpp"
#include "engine/text/name_chars.hpp"

namespace vke {

inline bool IsLineEnd(char c) {
  return c == '\n' || c == '\r';
}

// The brackets of a statement. A line end inside one does not end the
// statement: the statement parser reads it as what the bracket's row gives,
// so that a matrix or an argument list may span lines. A closing bracket
// closes the innermost bracket open, whichever it is; one with none open is
// left for the expression compiler to report.
struct StatementBracket {
  char open;
  char close;
  char lineEnd;  // what a line end inside it reads as
};
inline constexpr StatementBracket kStatementBrackets[] = {
    {'(', ')', ' '},  // arguments and grouping: a blank
    {'[', ']', ';'},  // a matrix: the end of its row
    {'{', '}', ';'},  // a cell array: likewise
};

// The bracket that c opens, null when it opens none.
constexpr const StatementBracket* OpeningBracket(char c) {
  for (const StatementBracket& b : kStatementBrackets)
    if (b.open == c) return &b;
  return nullptr;
}
constexpr bool IsClosingBracket(char c) {
  for (const StatementBracket& b : kStatementBrackets)
    if (b.close == c) return true;
  return false;
}

// True when a quote right behind c is the transpose operator, not the start
// of a string.
bool EndsOperand(char c);
// Passes the quoted string whose opening quote stands at pos, its doubled
// quotes and backslash escapes with it; a string never goes past its line.
int32_t PassString(const char* text, int32_t length, int32_t pos);

// True when a comment ("%", "//" or "/*") starts at text[pos].
bool IsCommentStart(const char* text, int32_t length, int32_t pos);

// What SkipSpaceAndComments passed.
enum SkipResult : int32_t {
  kSkippedNothing = 0,
  kSkippedBlanks = 1,   // blanks, tabs, a continuation or a block comment
  kSkippedLineEnd = 2,  // a line end (or separator), or the text has ended
};

// Skips blanks, tabs, "%" and "//" comments to the line end, "/*" ... "*/"
// comments, "..." continuations (with their line end) and line ends (CR, LF
// and CR LF, each counted once in *lines); with separators also "," and ";".
int32_t SkipSpaceAndComments(const char* text, int32_t length, int32_t* pos, bool separators,
                             int32_t* lines);
// True when the keyword stands at *pos and no name character follows it;
// *pos then moves behind it.
bool MatchKeywordAt(const char* text, int32_t length, int32_t* pos, const char* keyword);
// Moves *pos to the end of the statement that starts there: behind its ";"
// (or behind a "," outside brackets when atComma is set), or onto the line
// end or comment that ends it. Quoted strings, block comments and
// continuations inside the statement are passed. Statements that list
// names with commas ("use a, b") are skipped with atComma clear.
void SkipStatement(const char* text, int32_t length, int32_t* pos, int32_t* lines,
                   bool atComma = false);

}  // namespace vke
