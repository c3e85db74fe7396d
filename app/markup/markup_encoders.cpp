// The character encoders of the built-in markup output formats: each writes
// one character of running or preformatted text (a UTF-8 sequence or a
// single byte), or a link target, in the escaped form its format needs.
#include <cctype>
#include <cstring>

#include "app/markup/markup_convert.hpp"
#include "app/markup/markup_descriptor.hpp"

namespace vke {

namespace {

struct Replacement {
  char c;
  const char* text;
};

// HTML, for text, preformatted text and link targets alike.
constexpr Replacement kHtmlReplacements[] = {
    {'<', "&lt;"},    // tag start
    {'>', "&gt;"},    // tag end
    {'"', "&quot;"},  // ends an attribute value
    {'&', "&amp;"},   // entity start
};

// LaTeX running text; preformatted text is verbatim and copied.
constexpr Replacement kLatexReplacements[] = {
    {'#', "\\#"},                // macro parameter
    {'^', "$\\,\\hat{}\\,$"},    // superscript
    {'~', "$\\,\\tilde{}\\,$"},  // unbreakable space
    {'\\', "$\\backslash$"},     // control sequence
    {'|', "$|$"},                // not in the text fonts
    {'\'', "'{}"},               // would join into a closing quote
    {'`', "`{}"},                // would join into an opening quote
    {'<', "$<$"},                // not in the text fonts
    {'>', "$>$"},                // not in the text fonts
    {'{', "\\{"},                // group start
    {'}', "\\}"},                // group end
    {'%', "\\%"},                // comment: would swallow the rest of the line
    {'&', "\\&"},                // alignment tab
    {'_', "\\_"},                // subscript
    {'$', "\\$"},                // math shift
};

// LaTeX link targets: what would end the argument or start a command is
// written as a URL escape.
constexpr Replacement kLatexTargetReplacements[] = {
    {'{', "%7B"},   // group start
    {'}', "%7D"},   // group end
    {'\\', "%5C"},  // control sequence
};

// Characters that, doubled, make an inline markup token.
constexpr char kDoubledTokens[] = "*/#_^,[]{}<>\\";

template <size_t N>
bool Replace(MarkupOutput* out, const Replacement (&table)[N], const uint8_t* text,
             int32_t length) {
  if (length == 1)
    for (const Replacement& r : table)
      if (r.c == static_cast<char>(text[0]))
        return MarkupPut(out, r.text, static_cast<int32_t>(std::strlen(r.text)));
  return MarkupPut(out, text, length);
}

// The code point of a UTF-8 sequence of two to four bytes; -1 when malformed.
int32_t DecodeSequence(const uint8_t* text, int32_t length) {
  const uint8_t lead = text[0];
  int32_t need, cp;
  if (lead >= 0xF0 && lead < 0xF8) {
    need = 4;
    cp = lead & 0x07;
  } else if (lead >= 0xE0) {
    need = 3;
    cp = lead & 0x0F;
  } else if (lead >= 0xC0) {
    need = 2;
    cp = lead & 0x1F;
  } else {
    return -1;
  }
  if (length != need || lead >= 0xF8) return -1;
  for (int32_t k = 1; k < need; k++) {
    if ((text[k] & 0xC0) != 0x80) return -1;
    cp = cp << 6 | (text[k] & 0x3F);
  }
  return cp;
}

// "\u" with the 16-bit unit as a signed decimal, then the "?" a reader
// without Unicode shows in its place.
bool PutRtfUnit(MarkupOutput* out, int32_t unit) {
  char text[16];
  int32_t n = 0;
  text[n++] = '\\';
  text[n++] = 'u';
  int32_t value = unit >= 32768 ? unit - 65536 : unit;
  if (value < 0) {
    text[n++] = '-';
    value = -value;
  }
  char digits[8];
  int32_t d = 0;
  do {
    digits[d++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value);
  while (d) text[n++] = digits[--d];
  text[n++] = '?';
  return MarkupPut(out, text, n);
}

// The byte written last, 0 when there is none or a "~" escapes it.
char LastUnescaped(const MarkupOutput* out) {
  if (out->bytes == 0) return 0;
  int32_t tildes = 0;
  while (tildes < out->bytes - 1 && out->out[out->bytes - 2 - tildes] == '~') tildes++;
  return tildes % 2 ? 0 : static_cast<char>(out->out[out->bytes - 1]);
}

bool IsBlank(uint8_t c) {
  return c == ' ' || c == '\t';
}

bool IsBlankOrLineEnd(uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool InTerm(const MarkupOutput* out) {
  return out->depth > 0 && out->nesting[out->depth - 1].kind == MarkupLevel::kTerm;
}

bool InCell(const MarkupOutput* out) {
  if (out->depth == 0) return false;
  const MarkupLevel kind = out->nesting[out->depth - 1].kind;
  return kind == MarkupLevel::kCell || kind == MarkupLevel::kHeaderCell;
}

// Whether blanks before the source byte at `at` emit nothing because what
// it starts takes them away: the marks that close a heading, the bar that
// ends a cell, the ":" that ends a term.
bool EndsRunBeforeIt(const MarkupOutput* out, int32_t at) {
  const uint8_t c = out->source[at];
  if (c == '=') return out->heading;
  if (c == '|') return InCell(out);
  return c == ':' && InTerm(out);
}

// Whether a template may follow the line end at `at` directly: the next
// line does not join the text, or begins with what ends a term. A joined
// line reads as text after a blank however the writer breaks its lines.
bool TemplateMayFollowLine(const MarkupOutput* out, int32_t at) {
  if (!out->lineJoins) return true;
  const uint8_t* src = out->source;
  at += src[at] == '\r' && at + 1 < out->sourceLength && src[at + 1] == '\n' ? 2 : 1;
  while (at < out->sourceLength && IsBlank(src[at])) at++;
  return at < out->sourceLength && EndsRunBeforeIt(out, at);
}

// Whether the source at `at` opens a preformatted run written as text that
// starts with blanks and then text: its first blank follows directly.
// (Without its closing marks "{{{" is text, which follows as well.)
bool BlankRunFollows(const MarkupOutput* out, int32_t at) {
  const uint8_t* src = out->source;
  const int32_t n = out->sourceLength;
  if ((out->flags & kMarkupInlinePreMonospace) || n - at < 5 || std::memcmp(src + at, "{{{", 3) ||
      !IsBlank(src[at + 3]))
    return false;
  for (at += 4; at < n && IsBlank(src[at]);) at++;
  return at < n && src[at] != '}' && src[at] != '\n' && src[at] != '\r';
}

// Where a preformatted run written as text that the source opens at `at`
// ends when it holds blanks alone or nothing (*blank: it writes a blank);
// -1 for anything else.
int32_t BlankRunEnd(const MarkupOutput* out, int32_t at, bool* blank) {
  const uint8_t* src = out->source;
  const int32_t n = out->sourceLength;
  if ((out->flags & kMarkupInlinePreMonospace) || n - at < 6 || std::memcmp(src + at, "{{{", 3))
    return -1;
  int32_t k = at + 3;
  while (k < n && IsBlank(src[k])) k++;
  // Its closing marks are the last three of a run of "}".
  if (n - k < 3 || std::memcmp(src + k, "}}}", 3) || (k + 3 < n && src[k + 3] == '}')) return -1;
  *blank = k > at + 3;
  return k + 3;
}

// Where the source goes on after the character written now: past the
// closing marks of a preformatted run written as text, which emit nothing.
int32_t NextSourcePos(const MarkupOutput* out) {
  return out->sourcePos == out->runClose ? out->sourcePos + 3 : out->sourcePos;
}

// Whether a template may follow the character written now directly: the
// source goes on with a token, or with blanks that emit nothing (or are
// taken away), as at the end of a line that the next does not join,
// before the marks that close a heading, at the end of a cell or term, or
// before a plugin call, which emits nothing; the open styles may close
// there. Preformatted runs of blanks alone write at most a blank.
bool TemplateMayFollow(const MarkupOutput* out) {
  const uint8_t* src = out->source;
  const int32_t n = out->sourceLength;
  int32_t at = NextSourcePos(out);
  bool blank = false;  // a blank comes before what the source has at `at`
  for (;;) {
    for (; at < n && IsBlank(src[at]); at++) blank = true;
    bool runBlank = false;
    const int32_t end = BlankRunEnd(out, at, &runBlank);
    if (end < 0) break;
    at = end;
    blank = blank || runBlank;
  }
  if (at == n) return true;
  const uint8_t c = src[at];
  if (c == '\n' || c == '\r') return TemplateMayFollowLine(out, at);
  if (!blank) return !BlankRunFollows(out, at) && c && std::strchr(kMarkupInlineTokenStarts, c);
  if (c == '<' && at + 1 < n && src[at + 1] == '<' && !(out->flags & kMarkupNoPlugins)) return true;
  return EndsRunBeforeIt(out, at);
}

// Whether a ":" written next, after a letter, a digit, "+", "-" or ".",
// would make an italic mark written after it the slashes of a URL (which
// they are when something other than a blank follows them, as the marks
// written after them may).
bool IsSchemeByte(uint8_t c) {
  return std::isalnum(c) || c == '+' || c == '-' || c == '.';
}

bool SchemeColon(const MarkupOutput* out) {
  if (out->bytes == 0 || !IsSchemeByte(out->out[out->bytes - 1])) return false;
  // Slashes that the source's own colon (the byte before them, after a
  // scheme byte) makes those of a URL are text.
  const uint8_t* src = out->source;
  const int32_t at = out->sourcePos;
  if (at >= 2 && at + 2 < out->sourceLength && IsSchemeByte(src[at - 2]) && src[at] == '/' &&
      src[at + 1] == '/' && !IsBlankOrLineEnd(src[at + 2]))
    return false;
  // An escape goes on with its character, "~" first or a slash that no
  // slash follows: never with the slashes of a URL.
  const int32_t next = NextSourcePos(out);
  if (next < out->sourceLength && src[next] == '~') return false;
  return TemplateMayFollow(out);
}

// Whether c, written next, would start a markup token where it lands: a
// line-start mark at the start of a line, ":" in a definition term, "=" in
// a heading, or a character that doubles with the one written before it or
// with what may follow it: the next one of the source, or a template, such
// as the end of a style (a "~" before that one escapes it, so the output is
// looked at, not the source).
bool StartsToken(const MarkupOutput* out, char c) {
  if (c == '~' || c == '|') return true;
  if (out->column == 0 && std::strchr(kMarkupLineStartTokens, c)) return true;
  if (c == ':' && InTerm(out)) return true;
  // "=" after a heading's marks or a cell's bar (text never leaves a bar
  // unescaped) would close the heading or make a header cell.
  if (c == '=' && (out->heading || LastUnescaped(out) == '|')) return true;
  if (c == ':' && SchemeColon(out)) return true;
  if (!std::strchr(kDoubledTokens, c)) return false;
  const int32_t at = NextSourcePos(out);
  const char next = at < out->sourceLength ? static_cast<char>(out->source[at]) : 0;
  return LastUnescaped(out) == c || next == c || TemplateMayFollow(out);
}

}  // namespace

bool MarkupHtmlEncode(MarkupOutput* out, const uint8_t* text, int32_t length, const void*) {
  return Replace(out, kHtmlReplacements, text, length);
}

bool MarkupLatexEncode(MarkupOutput* out, const uint8_t* text, int32_t length, const void*) {
  return Replace(out, kLatexReplacements, text, length);
}

bool MarkupLatexTargetEncode(MarkupOutput* out, const uint8_t* text, int32_t length, const void*) {
  return Replace(out, kLatexTargetReplacements, text, length);
}

bool MarkupRtfTargetEncode(MarkupOutput* out, const uint8_t* text, int32_t length,
                           const void* user) {
  // A quote would end the field's quoted target.
  if (length == 1 && text[0] == '"') return MarkupPut(out, "%22", 3);
  return MarkupRtfEncode(out, text, length, user);
}

bool MarkupRtfEncode(MarkupOutput* out, const uint8_t* text, int32_t length, const void*) {
  for (int32_t k = 0; k < length;) {
    const uint8_t c = text[k];
    if (c < 0x80) {
      if ((c == '\\' || c == '{' || c == '}') && !MarkupPut(out, "\\", 1)) return false;
      if (!MarkupPut(out, &c, 1)) return false;
      k++;
      continue;
    }
    // A sequence runs from its lead byte over its continuation bytes.
    int32_t end = k + 1;
    while (end < length && (text[end] & 0xC0) == 0x80) end++;
    const int32_t cp = DecodeSequence(text + k, end - k);
    k = end;
    if (cp < 0) continue;  // a stray byte is dropped
    if (cp < 0x10000) {
      if (!PutRtfUnit(out, cp)) return false;
    } else {  // beyond 16 bits: a surrogate pair
      const int32_t v = cp - 0x10000;
      if (!PutRtfUnit(out, 0xD800 + (v >> 10)) || !PutRtfUnit(out, 0xDC00 + (v & 0x3FF)))
        return false;
    }
  }
  return true;
}

bool MarkupMarkupEncode(MarkupOutput* out, const uint8_t* text, int32_t length, const void*) {
  if (length == 1 && text[0] && StartsToken(out, static_cast<char>(text[0])) &&
      !MarkupPut(out, "~", 1))
    return false;
  return MarkupPut(out, text, length);
}

bool MarkupManEncode(MarkupOutput* out, const uint8_t* text, int32_t length, const void*) {
  if (length == 1 && text[0] == '\\') return MarkupPut(out, "\\e", 2);
  // A quote would end a quoted argument such as a term.
  if (length == 1 && text[0] == '"') return MarkupPut(out, "\\(dq", 4);
  // A control character at the start of a line would make it a request.
  if (length == 1 && out->column == 0 && (text[0] == '.' || text[0] == '\'') &&
      !MarkupPut(out, "\\&", 2))
    return false;
  return MarkupPut(out, text, length);
}

bool MarkupNullEncode(MarkupOutput*, const uint8_t*, int32_t, const void*) {
  return true;
}

}  // namespace vke
