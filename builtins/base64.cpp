// Base64 encoding and decoding of byte runs.
#include "builtins/base64.hpp"

#include <algorithm>
#include <type_traits>

namespace vke {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPadding = '=';
constexpr int64_t kLineGroups = 15;  // lines of 60 characters, LF between them

// Characters that decoding reads: the range "0" to "z", "+" and "/". All
// others (blanks, line ends, tabs) are passed over.
bool IsDecodedChar(uint8_t c) {
  return (c >= '0' && c <= 'z') || c == '+' || c == '/';
}

// The value of a character read: "/", "=" and the other characters of the
// range that are not in the alphabet count as 63.
uint32_t CharValue(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  return c == '+' ? 62 : 63;
}

// The two characters of every 12 bits, stored as one unit of two Chars
// (little-endian: the first character in the low half).
template <typename Char>
struct CharPairs {
  using Unit = std::conditional_t<sizeof(Char) == 1, uint16_t, uint32_t>;
  Unit pairs[4096];
  CharPairs() {
    for (uint32_t v = 0; v < 4096; v++)
      pairs[v] = static_cast<Unit>(static_cast<Unit>(static_cast<uint8_t>(kAlphabet[v >> 6])) |
                                   static_cast<Unit>(static_cast<uint8_t>(kAlphabet[v & 63]))
                                       << (8 * sizeof(Char)));
  }
};

// The encoder for text of 8-bit or 16-bit characters.
template <typename Char>
ErrCode EncodeInto(const uint8_t* bytes, int64_t count, Char* out, int64_t size, int64_t* length) {
  const int64_t groups = (count + 2) / 3;
  const int64_t lines = (groups + kLineGroups - 1) / kLineGroups;
  const int64_t needed = 4 * groups + (lines > 0 ? lines - 1 : 0);
  if (needed > size) return kErrDataOverflow;
  static const CharPairs<Char> table;
  using Unit = typename CharPairs<Char>::Unit;
  Char* o = out;
  int64_t i = 0;
  for (int64_t line = 0; line < lines; line++) {
    if (line > 0) *o++ = '\n';
    const int64_t lineEnd = std::min(count, i + 3 * kLineGroups);
    for (; i + 3 <= lineEnd; i += 3) {
      const uint32_t word = uint32_t{bytes[i]} << 16 | uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
      Store<Unit>(o, table.pairs[word >> 12]);
      Store<Unit>(o + 2, table.pairs[word & 0xFFF]);
      o += 4;
    }
    if (i < lineEnd) {
      // The last one or two bytes, padded.
      const bool two = lineEnd - i == 2;
      const uint32_t word = uint32_t{bytes[i]} << 16 | (two ? uint32_t{bytes[i + 1]} << 8 : 0);
      o[0] = kAlphabet[word >> 18];
      o[1] = kAlphabet[(word >> 12) & 63];
      o[2] = two ? kAlphabet[(word >> 6) & 63] : kPadding;
      o[3] = kPadding;
      o += 4;
      i = lineEnd;
    }
  }
  *length = o - out;
  return kOk;
}

}  // namespace

ErrCode Base64Encode(const uint8_t* bytes, int64_t count, char* out, int64_t size,
                     int64_t* length) {
  return EncodeInto(bytes, count, out, size, length);
}

ErrCode Base64EncodeToChars(const uint8_t* bytes, int64_t count, uint16_t* out, int64_t size,
                            int64_t* length) {
  return EncodeInto(bytes, count, out, size, length);
}

void Base64DecodeCore(const char* text, int64_t length, int64_t* position, uint8_t out[3],
                      int32_t* count) {
  int64_t p = *position;
  uint8_t c[4];
  int read = 0;
  for (; read < 4; read++) {
    while (p < length && !IsDecodedChar(static_cast<uint8_t>(text[p]))) p++;
    if (p >= length) break;
    c[read] = static_cast<uint8_t>(text[p++]);
  }
  *position = p;
  // A lone character at the end makes no byte.
  if (read < 2) {
    *count = 0;
    return;
  }
  uint32_t word = 0;
  for (int k = 0; k < 4; k++) word = word << 6 | (k < read ? CharValue(c[k]) : 0);
  out[0] = static_cast<uint8_t>(word >> 16);
  out[1] = static_cast<uint8_t>(word >> 8);
  out[2] = static_cast<uint8_t>(word);
  if (read == 2 || c[2] == kPadding)
    *count = 1;
  else if (read == 3 || c[3] == kPadding)
    *count = 2;
  else
    *count = 3;
}

ErrCode Base64Decode(const char* text, int64_t length, uint8_t* out, int64_t size,
                     int64_t* decoded) {
  int64_t position = 0, n = 0;
  int32_t count = 3;
  while (position < length && count == 3) {
    uint8_t group[3];
    Base64DecodeCore(text, length, &position, group, &count);
    if (size - n < count) return kErrDataOverflow;
    for (int32_t k = 0; k < count; k++) out[n++] = group[k];
  }
  *decoded = n;
  return kOk;
}

}  // namespace vke
