// UTF-8 and the two-byte code: encoding and decoding one 16-bit character.
#include "engine/text/text.hpp"

namespace vke {

int32_t Utf8Length(uint16_t c) {
  return c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
}

int32_t EncodeUtf8Char(uint16_t c, uint8_t* out) {
  if (c < 0x80) {
    out[0] = static_cast<uint8_t>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<uint8_t>(0xC0 | (c >> 6));
    out[1] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    return 2;
  }
  out[0] = static_cast<uint8_t>(0xE0 | (c >> 12));
  out[1] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
  out[2] = static_cast<uint8_t>(0x80 | (c & 0x3F));
  return 3;
}

bool AppendUtf8Char(uint8_t* buffer, int32_t* position, uint16_t c, int32_t size) {
  if (size - *position < 3) return false;
  *position += EncodeUtf8Char(c, buffer + *position);
  return true;
}

bool AppendUtf8CharCodec(uint16_t ch, uint8_t* buffer, int32_t size, int32_t* position) {
  return AppendUtf8Char(buffer, position, ch, size);
}

int32_t DecodeUtf8Char(const uint8_t* t, int32_t length, uint16_t* out, bool* produced) {
  *produced = false;
  if (length <= 0) return 0;
  uint8_t b = t[0];
  if (b < 0x80) {
    *out = b;
    *produced = true;
    return 1;
  }
  auto cont = [](uint8_t x) { return (x & 0xC0) == 0x80; };
  if ((b & 0xE0) == 0xC0 && length >= 2 && cont(t[1])) {
    *out = static_cast<uint16_t>(((b & 0x1F) << 6) | (t[1] & 0x3F));
    *produced = true;
    return 2;
  }
  if ((b & 0xF0) == 0xE0 && length >= 3 && cont(t[1]) && cont(t[2])) {
    *out = static_cast<uint16_t>(((b & 0x0F) << 12) | ((t[1] & 0x3F) << 6) | (t[2] & 0x3F));
    *produced = true;
    return 3;
  }
  return 1;  // a byte that starts no character of 1 to 3 bytes is skipped
}

int32_t SkipUtf8Bom(const uint8_t* t, int32_t length) {
  return (length >= 3 && t[0] == 0xEF && t[1] == 0xBB && t[2] == 0xBF) ? 3 : 0;
}

void SkipByteOrderMark(const EngineContext* ctx, const char** text, int32_t* length) {
  if (!ctx->bomSkip || *length <= 0) return;
  const int32_t skip = ctx->bomSkip(reinterpret_cast<const uint8_t*>(*text), *length);
  if (skip <= 0 || skip > *length) return;
  *text += skip;
  *length -= skip;
}

int32_t DecodeTwoByteChar(const uint8_t* t, int32_t length, uint16_t* out, bool* produced) {
  *produced = false;
  if (length <= 0) return 0;
  if (t[0] < 0x80) {
    *out = t[0];
    *produced = true;
    return 1;
  }
  if (length < 2) return 0;  // a lone lead byte at the end is left unread
  *out = static_cast<uint16_t>(t[0] * 256 + t[1]);
  *produced = true;
  return 2;
}

bool AppendTwoByteChar(uint16_t ch, uint8_t* buffer, int32_t size, int32_t* position) {
  int32_t p = *position;
  if (ch & 0xFF80) {
    if (size - p < 2) return false;
    buffer[p++] = static_cast<uint8_t>(ch >> 8);
    buffer[p++] = static_cast<uint8_t>(ch & 0xFF);
  } else {
    if (size - p < 1) return false;
    buffer[p++] = static_cast<uint8_t>(ch);
  }
  *position = p;
  return true;
}

}  // namespace vke
