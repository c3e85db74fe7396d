// String literals: single quotes, doubled quotes, backslash escapes and the
// decoding of bytes above 127 through the context's text decoder.
#include "compiler/compile_lexer.hpp"
#include "compiler/lexer_helpers.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

namespace {

// One escape: the character it stands for, or -1 for an unknown escape.
struct SimpleEscape {
  char letter;
  uint16_t value;
};
constexpr SimpleEscape kSimpleEscapes[] = {
    {'n', 10}, {'r', 13}, {'t', 9},   {'v', 11},  {'b', 8},
    {'f', 12}, {'a', 7},  {'\\', 92}, {'\'', 39}, {'"', 34},
};

int32_t HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes the escape behind a backslash at text[*pos]; moves *pos past it.
ErrCode DecodeEscape(const char* text, int32_t length, int32_t* pos, uint16_t* out) {
  char c = *pos < length ? text[*pos] : '\0';
  for (const SimpleEscape& e : kSimpleEscapes)
    if (e.letter == c) {
      *out = e.value;
      ++*pos;
      return kOk;
    }
  int32_t digits = 0, base = 0, first = *pos;
  if (c == 'x' || c == 'u') {
    digits = c == 'x' ? 2 : 4;
    base = 16;
    first++;
  } else if (c >= '0' && c <= '7') {
    digits = 3;
    base = 8;
  } else {
    return kErrUnknownEscape;
  }
  uint32_t value = 0;
  int32_t p = first;
  while (p < length && p - first < digits) {
    int32_t d = HexValue(text[p]);
    if (d < 0 || d >= base) break;
    value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
    p++;
  }
  if (p == first) return kErrUnknownEscape;
  *out = static_cast<uint16_t>(value);
  *pos = p;
  return kOk;
}

}  // namespace

ErrCode ScanStringLiteral(EngineContext* ctx, const char* text, int32_t length, int32_t* pos,
                          uint16_t* chars, int32_t capacity, int32_t* count) {
  int32_t p = *pos + 1;
  int32_t n = 0;
  for (;;) {
    if (p >= length || IsLineEnd(text[p])) return kErrUnterminatedString;
    uint16_t ch;
    char c = text[p];
    if (c == '\'') {
      if (p + 1 < length && text[p + 1] == '\'') {
        ch = '\'';
        p += 2;
      } else {
        p++;
        break;
      }
    } else if (c == '\\') {
      p++;
      if (ErrCode e = DecodeEscape(text, length, &p, &ch)) return e;
    } else if (static_cast<uint8_t>(c) > 127 && ctx && ctx->decodeChar) {
      bool produced = false;
      int32_t used =
          ctx->decodeChar(reinterpret_cast<const uint8_t*>(text + p), length - p, &ch, &produced);
      p += used > 0 ? used : 1;
      if (!produced) continue;
    } else {
      ch = static_cast<uint8_t>(c);
      p++;
    }
    if (n >= capacity) return kErrExprTooLarge;
    chars[n++] = ch;
  }
  *count = n;
  *pos = p;
  return kOk;
}

}  // namespace vke
