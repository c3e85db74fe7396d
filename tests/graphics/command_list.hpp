// Drawing commands written in a few lines, for the renderer's tests:
//
//   CommandList list;
//   list.Begin(0).Add(kCmdPolyline, {3, 1, 2, 3, 4, 5, 6});
#pragma once

#include <cstring>
#include <string_view>
#include <vector>

#include "graphics/drawing_command.hpp"

namespace vke::test {

// A text packed eight bytes to a double, the last double padded with zeros.
inline std::vector<double> Packed(std::string_view text) {
  std::vector<double> out((text.size() + 7) / 8, 0.0);
  if (!text.empty()) std::memcpy(out.data(), text.data(), text.size());
  return out;
}

inline std::vector<double> Join(std::vector<double> a, const std::vector<double>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct CommandList {
  std::vector<double> d;

  CommandList& Add(int32_t code, const std::vector<double>& data, uint32_t style = 0,
                   uint32_t colour = 0, int32_t id = -1, int32_t index = -1) {
    d.insert(d.end(), {static_cast<double>(code), static_cast<double>(id),
                       static_cast<double>(index), static_cast<double>(style),
                       static_cast<double>(colour), static_cast<double>(data.size())});
    d.insert(d.end(), data.begin(), data.end());
    return *this;
  }
  CommandList& Begin(int32_t subplot) { return Add(kCmdObjectBegin, {double(subplot)}); }

  std::byte* bytes() { return reinterpret_cast<std::byte*>(d.data()); }
  uint32_t size() const { return static_cast<uint32_t>(d.size()); }
};

}  // namespace vke::test
