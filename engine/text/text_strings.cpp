// 8-bit string helpers: bounded copies, comparison, search and appenders.
#include "engine/text/text.hpp"

namespace vke {

int32_t CStringLength(const char* text) {
  int32_t n = 0;
  while (text[n]) n++;
  return n;
}

void CopyCStringBounded(char* dest, int32_t destSize, const char* src, int32_t srcLength) {
  if (destSize <= 0) return;
  int32_t n = srcLength < 0 ? CStringLength(src) : srcLength;
  if (n > destSize) n = destSize;
  std::memmove(dest, src, n);
  if (n < destSize) dest[n] = 0;
}

static inline char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool StringsEqual(const char* a, int32_t la, const char* b, int32_t lb, bool ignoreCase) {
  if (la >= 0 && lb >= 0 && la != lb) return false;
  int32_t i = 0;
  for (;; i++) {
    bool endA = la >= 0 ? i >= la : a[i] == 0;
    bool endB = lb >= 0 ? i >= lb : b[i] == 0;
    if (endA || endB) return endA && endB;
    char x = a[i], y = b[i];
    if (ignoreCase) {
      x = FoldAscii(x);
      y = FoldAscii(y);
    }
    if (x != y) return false;
  }
}

int32_t FindSubstring(const char* text, int32_t length, const char* pattern, int32_t plen) {
  if (length < 0) length = CStringLength(text);
  if (plen < 0) plen = CStringLength(pattern);
  if (plen > length) return -1;
  for (int32_t i = 0; i + plen <= length; i++)
    if (StringsEqual(text + i, plen, pattern, plen, false)) return i;
  return -1;
}

const char* AppendCString(char* buffer, int32_t* position, const char* text, int32_t size) {
  int32_t p = *position;
  while (*text && p < size - 1) buffer[p++] = *text++;
  *position = p;
  return text;
}

int32_t AppendBytes(char* buffer, int32_t* position, const char* bytes, int32_t n, int32_t size) {
  int32_t p = *position;
  int32_t room = size - 1 - p;
  if (n > room) n = room;
  if (n <= 0) return 0;
  std::memmove(buffer + p, bytes, n);
  *position = p + n;
  return n;
}

int32_t AppendRepeatedByte(char* buffer, int32_t* position, char byte, int32_t n, int32_t size) {
  int32_t p = *position;
  int32_t room = size - p;
  if (n > room) n = room;
  if (n <= 0) return 0;
  std::memset(buffer + p, byte, n);
  *position = p + n;
  return n;
}

int32_t AppendRepeatedChar(uint16_t* buffer, int32_t* position, uint16_t ch, int32_t n,
                           int32_t size) {
  int32_t p = *position;
  int32_t room = size - p;
  if (n > room) n = room;
  if (n <= 0) return 0;
  for (int32_t i = 0; i < n; i++) buffer[p + i] = ch;
  *position = p + n;
  return n;
}

}  // namespace vke
