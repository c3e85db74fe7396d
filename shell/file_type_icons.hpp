// The PNG icons (48 x 48) of the two document types, compiled in from
// shell/icons.
#pragma once

#include <cstdint>
#include <span>

namespace vke {

extern const std::span<const uint8_t> kKVIconPng;
extern const std::span<const uint8_t> kKVDIconPng;

}  // namespace vke
