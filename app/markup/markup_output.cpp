// The markup converter's output: appending bytes with the column kept,
// breaking lines wider than the descriptor's width, and expanding the
// templates of a descriptor with their integer expressions.
#include <algorithm>
#include <cstring>

#include "app/markup/markup_descriptor.hpp"

namespace vke {

namespace {

// Repeat counts of a template are capped here.
constexpr int32_t kMaxRepeat = 100;
// Operators and parentheses an expression may hold pending at once.
constexpr int32_t kMaxPending = 16;

bool IsBlank(uint8_t c) {
  return c == ' ' || c == '\t';
}

// Binding strength of a binary operator, loosest first; 0 for none.
int32_t Precedence(char op) {
  switch (op) {
    case '|':
      return 1;
    case '&':
      return 2;
    case '=':
    case '!':
    case '<':
    case '>':
      return 3;
    case '+':
    case '-':
      return 4;
    case '*':
    case '/':
      return 5;
    default:
      return 0;
  }
}

// Arithmetic is that of 32-bit integers.
int32_t Apply(char op, int32_t a, int32_t b) {
  const int64_t x = a, y = b;
  switch (op) {
    case '|':
      return a ? a : b;
    case '&':
      return a ? b : 0;
    case '=':
      return a == b;
    case '!':
      return a != b;
    case '<':
      return a < b;
    case '>':
      return a > b;
    case '+':
      return static_cast<int32_t>(static_cast<uint32_t>(x + y));
    case '-':
      return static_cast<int32_t>(static_cast<uint32_t>(x - y));
    case '*':
      return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(x * y)));
    default:  // '/': a division by zero gives 0
      return b ? static_cast<int32_t>(static_cast<uint32_t>(x / y)) : 0;
  }
}

// The template variable of a letter; false for another letter.
bool Variable(char name, const MarkupOutput* out, int32_t* value) {
  switch (name) {
    case 'l':
      *value = out->l;
      return true;
    case 'i':
      *value = out->i;
      return true;
    case 's':
      *value = out->s;
      return true;
    case 'o':
      *value = out->o;
      return true;
    case 'p':
      *value = out->bytes;
      return true;
    case 'x':
      *value = out->x;
      return true;
    default:
      return false;
  }
}

bool PutDecimal(MarkupOutput* out, int32_t value) {
  char digits[12];
  int32_t n = sizeof digits;
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : value;
  do {
    digits[--n] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (value < 0) digits[--n] = '-';
  return MarkupPut(out, digits + n, static_cast<int32_t>(sizeof digits) - n);
}

bool PutNewline(MarkupOutput* out) {
  if (!MarkupPut(out, out->newline, out->newlineLength)) return false;
  for (int32_t k = 0; k < out->indent; k++)
    if (!MarkupPut(out, " ", 1)) return false;
  return true;
}

// The list prefix of the open nesting levels: one mark per list level. A
// term with levels inside it is continued by ":" as by ";", and only ":"
// lets indentation start more than one level deeper.
bool PutListPrefix(MarkupOutput* out) {
  for (int32_t k = 0; k < out->depth; k++) {
    const MarkupLevel kind = out->nesting[k].kind;
    const char mark = kind == MarkupLevel::kTerm && k + 1 < out->depth ? ':' : LevelSpec(kind).mark;
    if (mark && !MarkupPut(out, &mark, 1)) return false;
  }
  return true;
}

// The first occurrence of the escape character twice from k on, or n.
int32_t FindEscapePair(const char* text, int32_t k, int32_t n, char escape) {
  for (; k + 1 < n; k++)
    if (text[k] == escape && text[k + 1] == escape) return k;
  return n;
}

}  // namespace

int32_t MarkupCountChars(const uint8_t* text, int32_t length) {
  int32_t n = 0;
  for (int32_t k = 0; k < length; k++) n += (text[k] & 0xC0) != 0x80;
  return n;
}

bool MarkupPut(MarkupOutput* out, const void* bytes, int32_t length) {
  if (length > out->capacity - out->bytes) {
    out->result = 1;
    return false;
  }
  const auto* b = static_cast<const uint8_t*>(bytes);
  uint8_t* to = out->out + out->bytes;
  for (int32_t k = 0; k < length; k++) {
    const uint8_t c = b[k];
    to[k] = c;
    if (c == '\n' || c == '\r') {
      out->column = 0;
      out->lineStart = out->bytes + k + 1;
    } else {
      out->column += (c & 0xC0) != 0x80;
    }
  }
  out->bytes += length;
  return true;
}

int32_t MarkupBreakAtBlank(const uint8_t* line, int32_t length, int32_t* removed,
                           const void* user) {
  const char* refused = static_cast<const char*>(user);
  // A blank that ends the line waits for what follows it: a character the
  // user's text refuses, or the end of a cell or term, which takes the
  // blank away. The next line starts at the first character past the
  // blanks, which a reader skips.
  int32_t next = length;  // the first character after the blanks at k
  for (int32_t k = length - 1; k > 0; k--) {
    if (!IsBlank(line[k])) {
      next = k;
      continue;
    }
    if (next == length) continue;
    if (refused && line[next] && std::strchr(refused, line[next])) continue;
    *removed = 1;
    return k;
  }
  return -1;
}

int32_t MarkupBreakAfterBlank(const uint8_t* line, int32_t length, int32_t* removed, const void*) {
  for (int32_t k = length - 2; k > 0; k--) {
    if (line[k] != ' ') continue;
    *removed = 0;
    return k + 1;
  }
  return -1;
}

bool MarkupWrapLine(MarkupOutput* out) {
  const MarkupDescriptor* d = out->descriptor;
  while (out->wrap && d->lineWidth >= 0 && out->column > d->lineWidth) {
    uint8_t* line = out->out + out->lineStart;
    const int32_t length = out->bytes - out->lineStart;
    // A blank past the width waits for what follows it, which may take it
    // away or break the line there (unless breaks keep their blanks at
    // the lines' ends).
    if (length > 0 && IsBlank(line[length - 1]) && out->column - 1 <= d->lineWidth &&
        d->breakFinder != &MarkupBreakAfterBlank)
      return true;
    // A line's leading blanks are its indentation and never break.
    int32_t lead = out->leadStart == out->lineStart ? std::min(out->leadLength, length) : 0;
    while (lead < length && IsBlank(line[lead])) lead++;
    out->leadStart = out->lineStart;
    out->leadLength = lead;
    // Only the bytes added since a search that found nothing can hold a
    // break now (a finder looks at most one byte ahead of a break), and
    // none lies in kept text. The window holds the first byte kept, so that
    // a blank before it is judged by what follows; a finder never breaks
    // at its window's first byte, which may be the blank after kept text.
    const int32_t lineStart = out->lineStart + lead;
    int32_t first = lead;
    if (out->unbreakableStart == lineStart && out->unbreakableLength > 2)
      first += std::min(out->unbreakableLength, length - lead) - 2;
    if (out->keepTo > out->lineStart) first = std::max(first, out->keepTo - out->lineStart - 1);
    int32_t last = length;
    if (out->keeping)
      last = out->keepFrom < out->lineStart ? first
                                            : std::min(length, out->keepFrom - out->lineStart + 1);
    int32_t removed = 0;
    const int32_t window = std::max(0, last - first);
    int32_t at = d->breakFinder ? d->breakFinder(line + first, window, &removed, d->breakUser)
                                : MarkupBreakAtBlank(line + first, window, &removed, nullptr);
    if (at >= 0) at += first;
    // The new line must come out shorter than the old one.
    const int32_t insert = out->newlineLength + out->indent;
    if (at < 0 || at + removed <= out->indent || at + removed > length) {
      out->unbreakableStart = lineStart;
      out->unbreakableLength = std::max(0, last - lead);
      return true;
    }
    if (insert - removed > out->capacity - out->bytes) {
      out->result = 1;
      return false;
    }
    std::memmove(line + at + insert, line + at + removed, length - at - removed);
    std::memcpy(line + at, out->newline, out->newlineLength);
    std::memset(line + at + out->newlineLength, ' ', out->indent);
    out->bytes += insert - removed;
    if (out->keeping && out->keepFrom >= out->lineStart + at) out->keepFrom += insert - removed;
    out->lineStart += at + out->newlineLength;
    out->column = MarkupCountChars(out->out + out->lineStart, out->bytes - out->lineStart);
  }
  return true;
}

bool MarkupExpandTemplate(const char* text, int32_t length, char escape, MarkupOutput* out) {
  if (!text) return true;
  const int32_t n = length < 0 ? static_cast<int32_t>(std::strlen(text)) : length;
  int32_t k = 0;
  while (k < n) {
    int32_t run = k;
    while (run < n && text[run] != escape && text[run] != '\n') run++;
    if (run > k) {
      if (!MarkupPut(out, text + k, run - k)) return false;
      k = run;
      continue;
    }
    if (text[k] == '\n') {
      if (!PutNewline(out)) return false;
      k++;
      continue;
    }
    const char next = k + 1 < n ? text[k + 1] : 0;
    if (next == '{') {
      const char* close = static_cast<const char*>(std::memchr(text + k + 2, '}', n - k - 2));
      if (!close) return true;  // an unclosed expression ends the template
      const int32_t end = static_cast<int32_t>(close - text);
      if (!PutDecimal(out, MarkupEvalExpression(text + k + 2, end - k - 2, out))) return false;
      k = end + 1;
    } else if (next == 'L') {
      if (!PutListPrefix(out)) return false;
      k += 2;
    } else if (next == escape && k + 2 < n && text[k + 2] == '{') {
      const char* close = static_cast<const char*>(std::memchr(text + k + 3, '}', n - k - 3));
      if (!close) return true;
      const int32_t end = static_cast<int32_t>(close - text);
      int32_t count = MarkupEvalExpression(text + k + 3, end - k - 3, out);
      if (count > kMaxRepeat) count = kMaxRepeat;
      const int32_t bodyEnd = FindEscapePair(text, end + 1, n, escape);
      for (int32_t r = 0; r < count; r++)
        if (!MarkupExpandTemplate(text + end + 1, bodyEnd - end - 1, escape, out)) return false;
      k = bodyEnd + 2;
    } else {
      if (!MarkupPut(out, text + k, 1)) return false;
      k++;
    }
  }
  return true;
}

int32_t MarkupEvalExpression(const char* text, int32_t length, const MarkupOutput* out) {
  int32_t values[kMaxPending + 1];
  char ops[kMaxPending];
  int32_t nv = 0, nops = 0;
  bool operand = true;  // an operand is expected next
  const auto reduce = [&]() {
    const char op = ops[--nops];
    const int32_t b = values[--nv];
    values[nv - 1] = Apply(op, values[nv - 1], b);
  };
  for (int32_t k = 0; k < length;) {
    const char c = text[k];
    int32_t value;
    if (IsBlank(static_cast<uint8_t>(c))) {
      k++;
    } else if (c >= '0' && c <= '9') {
      if (!operand || nv > kMaxPending) return 1;
      int64_t literal = 0;
      while (k < length && text[k] >= '0' && text[k] <= '9') {
        if (literal < INT32_MAX) literal = literal * 10 + (text[k] - '0');
        k++;
      }
      values[nv++] = literal > INT32_MAX ? INT32_MAX : static_cast<int32_t>(literal);
      operand = false;
    } else if (Variable(c, out, &value)) {
      if (!operand || nv > kMaxPending) return 1;
      values[nv++] = value;
      operand = false;
      k++;
    } else if (c == '(') {
      if (!operand || nops == kMaxPending) return 1;
      ops[nops++] = c;
      k++;
    } else if (c == ')') {
      if (operand) return 1;
      while (nops > 0 && ops[nops - 1] != '(') reduce();
      if (nops == 0) return 1;
      nops--;
      k++;
    } else if (const int32_t p = Precedence(c)) {
      if (operand) return 1;
      while (nops > 0 && ops[nops - 1] != '(' && Precedence(ops[nops - 1]) >= p) reduce();
      if (nops == kMaxPending) return 1;
      ops[nops++] = c;
      operand = true;
      k++;
    } else {
      return 1;
    }
  }
  if (operand) return 1;
  while (nops > 0) {
    if (ops[nops - 1] == '(') return 1;
    reduce();
  }
  return nv == 1 ? values[0] : 1;
}

}  // namespace vke
