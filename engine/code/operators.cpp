// The operator table and the keyword list.
#include "engine/code/operators.hpp"

#include <cstring>

namespace vke {

const OperatorRecord kOperatorTable[kOperatorCount + 1] = {
    {kOperatorBinary, 8, ";", "vertcat"},       // [a; b]
    {kOperatorBinary, 10, ",", "horzcat"},      // [a, b]
    {kOperatorBinary, 12, ":", "colon"},        // ranges
    {kOperatorJumps, 12, "?", "***"},           // c ? a : b
    {kOperatorJumps, 13, "||", "***"},          // short-circuit or
    {kOperatorJumps, 14, "&&", "***"},          // short-circuit and
    {kOperatorBinary, 15, "|", "or"},           // elementwise or
    {kOperatorBinary, 17, "&", "and"},          // elementwise and
    {kOperatorBinary, 19, "<=", "le"},          // before "<"
    {kOperatorBinary, 19, "<", "lt"},           // less than
    {kOperatorBinary, 19, ">=", "ge"},          // before ">"
    {kOperatorBinary, 19, ">", "gt"},           // greater than
    {kOperatorBinary, 19, "===", "same"},       // identity, before "=="
    {kOperatorBinary, 19, "==", "eq"},          // equality
    {kOperatorBinary, 19, "~==", "unsame"},     // non-identity, before "~="
    {kOperatorBinary, 19, "~=", "ne"},          // inequality
    {kOperatorBinary, 20, "+", "plus"},         // addition
    {kOperatorBinary, 20, "-", "minus"},        // subtraction
    {kOperatorBinary, 21, "*", "mtimes"},       // matrix product
    {kOperatorBinary, 21, "/", "mrdivide"},     // right matrix division
    {kOperatorBinary, 21, "\\", "mldivide"},    // left matrix division
    {kOperatorBinary, 21, ".*", "times"},       // elementwise product
    {kOperatorBinary, 21, "./", "rdivide"},     // elementwise division
    {kOperatorBinary, 21, ".\\", "ldivide"},    // elementwise left division
    {kOperatorBinary, 23, "^", "mpower"},       // matrix power
    {kOperatorBinary, 23, ".^", "power"},       // elementwise power
    {kOperatorPrefix, 18, "~", "not"},          // below the comparisons
    {kOperatorPrefix, 22, "-", "uminus"},       // below the powers: -2^2 is -4
    {kOperatorPrefix, 22, "+", "uplus"},        // unary plus
    {kOperatorPostfix, 24, "'", "ctranspose"},  // conjugate transpose
    {kOperatorPostfix, 24, ".'", "transpose"},  // transpose
    {kOperatorEnd, 0, "", ""},
};

const char* const kKeywords[kKeywordCount + 1] = {
    "break",       "case",       "catch",       "classdef",
    "continue",    "else",       "elseif",      "end",
    "endfunction", "for",        "function",    "global",
    "goto",        "if",         "include",     "includeifexists",
    "otherwise",   "persistent", "private",     "public",
    "repeat",      "return",     "switch",      "try",
    "until",       "use",        "useifexists", "while",
    "_pragma",     "",
};

const char* GetKeyword(const char* previous) {
  if (!previous) return kKeywords[0];
  for (int32_t i = 0; i + 1 < kKeywordCount; i++)
    if (std::strcmp(kKeywords[i], previous) == 0) return kKeywords[i + 1];
  return nullptr;
}

const OperatorRecord* FindOperatorOfBuiltin(const char* name) {
  for (const OperatorRecord* r = kOperatorTable; r->kind != kOperatorEnd; r++)
    if (std::strcmp(r->name, name) == 0) return r;
  return nullptr;
}

}  // namespace vke
