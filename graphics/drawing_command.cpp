// Reading and writing drawing-command headers.
#include "graphics/drawing_command.hpp"

namespace vke {

void WriteCommandHeader(std::byte* at, const CommandHeader& h) {
  SetPayloadDouble(at, 0, h.code);
  SetPayloadDouble(at, 1, h.id);
  SetPayloadDouble(at, 2, h.index);
  SetPayloadDouble(at, 3, h.style);
  SetPayloadDouble(at, 4, h.colour);
  SetPayloadDouble(at, 5, h.length);
}

bool ReadCommandAt(const std::byte* payload, uint32_t payloadLength, uint32_t offset,
                   CommandHeader* out) {
  if (offset > payloadLength || payloadLength - offset < kCommandHeaderDoubles) return false;
  const std::byte* at = payload + size_t{offset} * 8;
  CommandHeader h;
  h.code = TruncToInt32(PayloadDouble(at, 0));
  h.id = TruncToInt32(PayloadDouble(at, 1));
  h.index = TruncToInt32(PayloadDouble(at, 2));
  h.style = static_cast<uint32_t>(TruncToInt64(PayloadDouble(at, 3)));
  h.colour = static_cast<uint32_t>(TruncToInt64(PayloadDouble(at, 4)));
  h.length = TruncToInt32(PayloadDouble(at, 5));
  if (h.length < 0 ||
      static_cast<uint32_t>(h.length) > payloadLength - offset - kCommandHeaderDoubles) {
    return false;
  }
  *out = h;
  return true;
}

bool AppendObjectBeginCommand(std::byte* payload, uint32_t capacity, uint32_t* used,
                              int32_t subplot) {
  if (*used > capacity || capacity - *used < kObjectBeginDoubles) return false;
  std::byte* at = payload + size_t{*used} * 8;
  WriteCommandHeader(at, {kCmdObjectBegin, -1, -1, 0, 0, 1});
  SetPayloadDouble(at, kCommandHeaderDoubles, subplot);
  *used += kObjectBeginDoubles;
  return true;
}

}  // namespace vke
