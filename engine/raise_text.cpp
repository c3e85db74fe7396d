// Composing error texts: a template's placeholders replaced by the details of
// the failing operation, the plain message of a code, and the location suffix.
#include "compiler/names.hpp"
#include "engine/raise.hpp"
#include "engine/text.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxVariableChars = 32;
constexpr int32_t kMaxIdentifierChars = 32;

bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

int32_t BoundedLength(const char* text, int32_t max) {
  int32_t n = 0;
  while (n < max && text[n]) n++;
  return n;
}

// Integers in the given base, lowercase digits, at least minDigits of them.
void AppendInteger(char* buffer, int32_t* position, int64_t value, uint32_t base, int32_t minDigits,
                   int32_t size) {
  char digits[72];
  int32_t n = 0;
  uint64_t u = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[n++] = "0123456789abcdef"[u % base];
    u /= base;
  } while (u);
  while (n < minDigits && n < 64) digits[n++] = '0';
  if (value < 0) digits[n++] = '-';
  while (n > 0) AppendBytes(buffer, position, &digits[--n], 1, size);
}

// 'text' in single quotes; false (nothing written) for an empty text.
bool AppendQuoted(const char* text, int32_t length, char* buffer, int32_t* position, int32_t size) {
  if (!text || length < 1) return false;
  AppendBytes(buffer, position, "'", 1, size);
  AppendBytes(buffer, position, text, length, size);
  AppendBytes(buffer, position, "'", 1, size);
  return true;
}

// The character code as 'x' when printable, else 0x and hexadecimal digits.
void AppendCharacter(int32_t code, char* buffer, int32_t* position, int32_t size) {
  if (code >= 32 && code <= 126) {
    const char quoted[3] = {'\'', static_cast<char>(code), '\''};
    AppendBytes(buffer, position, quoted, 3, size);
    return;
  }
  AppendBytes(buffer, position, "0x", 2, size);
  AppendInteger(buffer, position, code, 16, 2, size);
}

// Writes the value of one placeholder; false when the details lack it.
bool AppendPlaceholder(EngineContext* ctx, char letter, const ErrorDetails& d, char* buffer,
                       int32_t* position, int32_t size) {
  switch (letter) {
    case 'v':
      return d.variable && AppendQuoted(d.variable, BoundedLength(d.variable, kMaxVariableChars),
                                        buffer, position, size);
    case 'n': {
      if (!d.name) return false;
      int32_t n = 0;
      while (n < kMaxIdentifierChars && IsIdentifierChar(d.name[n])) n++;
      return AppendQuoted(d.name, n, buffer, position, size);
    }
    case 's':
      return d.name && AppendQuoted(d.name, CStringLength(d.name), buffer, position, size);
    case 'S':
      return AppendQuoted(d.name, d.integer, buffer, position, size);
    case 'f': {
      int32_t n = 0;
      const char* field = d.fieldId ? NameText(ctx, d.fieldId, &n) : nullptr;
      return AppendQuoted(field, n, buffer, position, size);
    }
    case 'i':
      if (d.integer < 0) return false;
      AppendInteger(buffer, position, d.integer, 10, 1, size);
      return true;
    case 'c':
      if (d.integer < 0) return false;
      AppendCharacter(d.integer, buffer, position, size);
      return true;
    default:
      return false;
  }
}

bool IsPlaceholderLetter(char c) {
  return c == 'v' || c == 'n' || c == 's' || c == 'S' || c == 'f' || c == 'i' || c == 'c';
}

}  // namespace

int32_t ExpandErrorTemplate(EngineContext* ctx, const char* tmpl, const ErrorDetails& details,
                            char* buffer, int32_t size) {
  if (size <= 0) return 0;
  int32_t pos = 0;
  for (int32_t i = 0; tmpl[i];) {
    if (tmpl[i] != '%' || !IsPlaceholderLetter(tmpl[i + 1])) {
      AppendBytes(buffer, &pos, tmpl + i, 1, size);
      i++;
      continue;
    }
    const char letter = tmpl[i + 1];
    i += 2;
    if (AppendPlaceholder(ctx, letter, details, buffer, &pos, size)) continue;
    // Left out: "(%i)" goes as a whole, then one blank goes with it.
    if (letter == 'i' && pos > 0 && buffer[pos - 1] == '(' && tmpl[i] == ')') {
      pos--;
      i++;
    }
    if (tmpl[i] == ' ')
      i++;
    else if (!tmpl[i] && pos > 0 && buffer[pos - 1] == ' ')
      pos--;
  }
  buffer[pos] = 0;
  return pos;
}

bool AppendPlainErrorText(EngineContext* ctx, ErrCode code, char* buffer, int32_t* position,
                          int32_t size) {
  if (code == 0) return false;
  if (const ErrorTableRecord* r = FindErrorMessage(ctx, code, false)) {
    AppendCString(buffer, position, r->message, size);
    return true;
  }
  AppendBytes(buffer, position, "Error ", 6, size);
  AppendInteger(buffer, position, code, 10, 1, size);
  return true;
}

void AppendLocationSuffix(const char* location, int32_t errPosition, char* buffer,
                          int32_t* position, int32_t size) {
  AppendBytes(buffer, position, " (", 2, size);
  AppendCString(buffer, position, location, size);
  if (errPosition > 1) {
    if (location[0]) AppendBytes(buffer, position, ";", 1, size);
    AppendInteger(buffer, position, errPosition, 10, 1, size);
  }
  AppendBytes(buffer, position, ")", 1, size);
}

}  // namespace vke
