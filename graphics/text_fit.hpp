// Fitting a text into the room it has: a text too wide is shortened to the
// longest start, cut between whole UTF-8 characters, that fits with "..."
// after it.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/port.hpp"

namespace vke {

// The text as it fits in `room` units measured by the port: whole when it
// fits or the port cannot measure, shortened with "..." when that fits, and
// empty when not even "..." fits.
inline std::string TextFittingRoom(const char* text, int32_t length, double room,
                                   const GraphicsPort& port, void* target) {
  std::string fitted(text, static_cast<size_t>(length > 0 ? length : 0));
  if (port.textExtent == nullptr) return fitted;
  auto width = [&](const std::string& t) {
    double w = 0;
    port.textExtent(t.data(), static_cast<int32_t>(t.size()), &w, nullptr, target);
    return w;
  };
  if (width(fitted) <= room) return fitted;
  size_t keep = fitted.size();
  std::string shortened;
  do {
    if (keep == 0) return std::string();
    keep--;
    while (keep > 0 && (static_cast<unsigned char>(fitted[keep]) & 0xC0) == 0x80) keep--;
    shortened = fitted.substr(0, keep) + "...";
  } while (width(shortened) > room);
  return shortened;
}

}  // namespace vke
