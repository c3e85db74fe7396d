// Lexical helpers shared by the scanners of source text.
#include "compiler/lexer_helpers.hpp"

namespace vke {

namespace {

bool StartsWith(const char* text, int32_t length, int32_t pos, const char* s) {
  for (int32_t i = 0; s[i]; i++)
    if (pos + i >= length || text[pos + i] != s[i]) return false;
  return true;
}

int32_t LineEndAt(const char* text, int32_t length, int32_t pos) {
  while (pos < length && !IsLineEnd(text[pos])) pos++;
  return pos;
}

// Passes the line end at pos (CR LF counts once).
int32_t PassLineEnd(const char* text, int32_t length, int32_t pos, int32_t* lines) {
  if (text[pos] == '\r' && pos + 1 < length && text[pos + 1] == '\n') pos++;
  ++*lines;
  return pos + 1;
}

// Passes a "/*" comment starting at pos, counting its line ends.
int32_t PassBlockComment(const char* text, int32_t length, int32_t pos, int32_t* lines) {
  pos += 2;
  while (pos < length && !StartsWith(text, length, pos, "*/")) {
    if (IsLineEnd(text[pos]))
      pos = PassLineEnd(text, length, pos, lines);
    else
      pos++;
  }
  return pos < length ? pos + 2 : length;
}

// Passes a "..." continuation: the rest of the line and its line end.
int32_t PassContinuation(const char* text, int32_t length, int32_t pos, int32_t* lines) {
  pos = LineEndAt(text, length, pos);
  return pos < length ? PassLineEnd(text, length, pos, lines) : pos;
}

}  // namespace

int32_t PassString(const char* text, int32_t length, int32_t pos) {
  for (pos++; pos < length && !IsLineEnd(text[pos]); pos++) {
    if (text[pos] == '\\' && pos + 1 < length && !IsLineEnd(text[pos + 1])) {
      pos++;
    } else if (text[pos] == '\'') {
      if (pos + 1 < length && text[pos + 1] == '\'')
        pos++;
      else
        return pos + 1;
    }
  }
  return pos;
}

bool EndsOperand(char c) {
  return IsNameChar(c) || c == '.' || c == ')' || c == ']' || c == '}' || c == '\'';
}

bool IsCommentStart(const char* text, int32_t length, int32_t pos) {
  return pos < length && (text[pos] == '%' || StartsWith(text, length, pos, "//") ||
                          StartsWith(text, length, pos, "/*"));
}

int32_t SkipSpaceAndComments(const char* text, int32_t length, int32_t* pos, bool separators,
                             int32_t* lines) {
  int32_t p = *pos;
  int32_t result = kSkippedNothing;
  auto passed = [&](int32_t level) {
    if (result < level) result = level;
  };
  while (p < length) {
    char c = text[p];
    if (c == ' ' || c == '\t') {
      p++;
      passed(kSkippedBlanks);
    } else if (IsLineEnd(c)) {
      p = PassLineEnd(text, length, p, lines);
      passed(kSkippedLineEnd);
    } else if (separators && (c == ',' || c == ';')) {
      p++;
      passed(kSkippedLineEnd);
    } else if (StartsWith(text, length, p, "/*")) {
      p = PassBlockComment(text, length, p, lines);
      passed(kSkippedBlanks);
    } else if (c == '%' || StartsWith(text, length, p, "//")) {
      p = LineEndAt(text, length, p);
    } else if (StartsWith(text, length, p, "...")) {
      p = PassContinuation(text, length, p, lines);
      passed(kSkippedBlanks);
    } else {
      break;
    }
  }
  if (p >= length) passed(kSkippedLineEnd);
  *pos = p;
  return result;
}

bool MatchKeywordAt(const char* text, int32_t length, int32_t* pos, const char* keyword) {
  int32_t n = static_cast<int32_t>(std::strlen(keyword));
  if (!StartsWith(text, length, *pos, keyword)) return false;
  if (*pos + n < length && IsNameChar(text[*pos + n])) return false;
  *pos += n;
  return true;
}

void SkipStatement(const char* text, int32_t length, int32_t* pos, int32_t* lines, bool atComma) {
  int32_t p = *pos;
  char previous = ' ';
  int32_t depth = 0;  // brackets open at p
  while (p < length) {
    char c = text[p];
    if (IsLineEnd(c) || c == '%' || StartsWith(text, length, p, "//")) break;
    if (c == ';' || (c == ',' && atComma && depth == 0)) {
      p++;
      break;
    }
    if (OpeningBracket(c)) depth++;
    if (IsClosingBracket(c) && depth > 0) depth--;
    if (StartsWith(text, length, p, "/*")) {
      p = PassBlockComment(text, length, p, lines);
      previous = ' ';
    } else if (StartsWith(text, length, p, "...")) {
      p = PassContinuation(text, length, p, lines);
      previous = ' ';
    } else if (c == '\'' && !EndsOperand(previous)) {
      p = PassString(text, length, p);
      previous = '\'';
    } else {
      previous = c;
      p++;
    }
  }
  *pos = p;
}

}  // namespace vke
