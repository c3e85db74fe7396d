// The operator table and the keyword list of the language, as constant data.
// The lexer walks the operator table in row order and takes the first row
// whose characters stand at the position and whose kind fits, so longer
// operators stand before the shorter ones they begin with.
#pragma once

#include <cstdint>

namespace vke {

enum OperatorKind : int32_t {
  kOperatorBinary = 0,
  kOperatorPrefix = 1,
  kOperatorPostfix = 3,
  kOperatorJumps = 5,  // compiled into jumps; no builtin (name "***")
  kOperatorEnd = -1,
};

// One row (24 bytes). A higher precedence binds tighter.
struct OperatorRecord {
  int32_t kind;
  int32_t precedence;
  char chars[4];  // the operator, NUL-terminated
  char name[12];  // the builtin that implements it
};
static_assert(sizeof(OperatorRecord) == 24);

inline constexpr int32_t kOperatorCount = 31;
inline constexpr int32_t kKeywordCount = 29;

// The rows in lexer order, ending with a row of kind kOperatorEnd.
extern const OperatorRecord kOperatorTable[kOperatorCount + 1];
// The keywords in their listed order, ending with an empty entry.
extern const char* const kKeywords[kKeywordCount + 1];

// The keyword after previous in the list; the first for null; null after the
// last and for a text that is not a keyword.
const char* GetKeyword(const char* previous);

// The first row whose builtin is name; null when no operator names it.
const OperatorRecord* FindOperatorOfBuiltin(const char* name);

}  // namespace vke
