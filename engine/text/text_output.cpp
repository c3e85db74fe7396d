// Engine text (16-bit characters) to host text (8-bit): line ends by the
// host's mode and characters through the context's text encoder.
#include "engine/text/text.hpp"

namespace vke {

const char* LineEndBytes(int32_t mode, int32_t* length) {
  switch (mode) {
    case kLineEndLF:
      *length = 1;
      return "\n";
    case kLineEndCRLF:
      *length = 2;
      return "\r\n";
    default:
      *length = 1;
      return "\r";
  }
}

namespace {

// Appends one character: a line feed as the mode's line end, anything else
// through the encoder, or as its low byte without one. False when it does
// not fit below limit.
bool AppendHostChar(EngineContext* ctx, int32_t mode, uint16_t ch, uint8_t* buffer, int32_t limit,
                    int32_t* pos) {
  if (ch == '\n') {
    int32_t n;
    const char* end = LineEndBytes(mode, &n);
    if (limit - *pos < n) return false;
    for (int32_t i = 0; i < n; i++) buffer[(*pos)++] = static_cast<uint8_t>(end[i]);
    return true;
  }
  if (ctx->encodeChar) return ctx->encodeChar(ch, buffer, limit, pos);
  if (limit - *pos < 1) return false;
  buffer[(*pos)++] = static_cast<uint8_t>(ch);
  return true;
}

// Room an encoder always gets before the next character is converted.
constexpr int32_t kEncoderRoom = 5;
// Distance an in-place conversion keeps from the next unread character.
constexpr int32_t kInPlaceGap = 4;

}  // namespace

bool EncodeOutputText(EngineContext* ctx, int32_t mode, const uint16_t* text, int32_t length,
                      uint8_t* buffer, int32_t size, int32_t* outLength) {
  if (outLength) *outLength = 0;
  if (size <= 0) return false;
  if (length < 0) length = 0;
  const bool inPlace = static_cast<const void*>(text) == static_cast<const void*>(buffer);
  int32_t pos = 0;
  bool fitted = true;

  if (!ctx->encodeChar || !inPlace) {
    // Without an encoder a character never takes more bytes than it held, so
    // in-place conversion from the front is safe.
    const auto* chars = reinterpret_cast<const uint8_t*>(text);
    for (int32_t i = 0; i < length; i++) {
      if (ctx->encodeChar && size - pos < kEncoderRoom) {
        fitted = false;
        break;
      }
      if (!AppendHostChar(ctx, mode, Load<uint16_t>(chars + 2 * i), buffer, size - 1, &pos)) {
        fitted = false;
        break;
      }
    }
  } else {
    // In place with an encoder: the text moves to the end of the buffer and
    // is converted from the front while the output stays clear of it.
    int32_t room = size / 2 - kEncoderRoom;
    if (room < 0) room = 0;
    if (length > room) {
      length = room;
      fitted = false;
    }
    int32_t read = size - 2 * length;
    std::memmove(buffer + read, text, 2ull * length);
    while (read + 2 <= size) {
      if (read - pos < kInPlaceGap) {
        fitted = false;
        break;
      }
      uint16_t ch = Load<uint16_t>(buffer + read);
      read += 2;
      if (!AppendHostChar(ctx, mode, ch, buffer, read, &pos)) {
        fitted = false;
        break;
      }
    }
  }
  buffer[pos] = 0;
  if (outLength) *outLength = pos;
  return fitted;
}

}  // namespace vke
