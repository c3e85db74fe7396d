// Composing error texts: a template's placeholders replaced by the details of
// the failing operation, the plain message of a code, and the location suffix.
#include "engine/code/names.hpp"
#include "engine/engine.hpp"
#include "engine/errors/raise.hpp"
#include "engine/text/number_text.hpp"
#include "engine/text/text.hpp"

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
  AppendHex32(buffer, position, static_cast<uint32_t>(code), 0, false, false, false, 2, size - 1);
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
      AppendFormattedInt64(buffer, position, d.integer, false, 0, false, false, false, 1, size - 1);
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
  AppendFormattedInt64(buffer, position, code, false, 0, false, false, false, 1, size - 1);
  return true;
}

void AppendSourcePlace(const char* name, int32_t line, char* buffer, int32_t* position,
                       int32_t size) {
  AppendBytes(buffer, position, " (", 2, size);
  AppendCString(buffer, position, name, size);
  AppendBytes(buffer, position, ", line ", 7, size);
  AppendFormattedInt64(buffer, position, line, false, 0, false, false, false, 1, size - 1);
  AppendBytes(buffer, position, ")", 1, size);
}

bool AppendCodePlace(EngineContext* ctx, int32_t function, int32_t line, char* buffer,
                     int32_t* position, int32_t size) {
  if (line < 1 || !ctx->sourceFileName || !ctx->sourceFilePlacesRuns ||
      !IsCommandLineCode(ctx, function))
    return false;
  AppendSourcePlace(ctx->sourceFileName, line, buffer, position, size);
  return true;
}

void AppendLocationSuffix(const char* location, int32_t errPosition, char* buffer,
                          int32_t* position, int32_t size) {
  AppendBytes(buffer, position, " (", 2, size);
  AppendCString(buffer, position, location, size);
  if (errPosition > 1) {
    if (location[0]) AppendBytes(buffer, position, ";", 1, size);
    AppendFormattedInt64(buffer, position, errPosition, false, 0, false, false, false, 1, size - 1);
  }
  AppendBytes(buffer, position, ")", 1, size);
}

}  // namespace vke
