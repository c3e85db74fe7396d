// The parts of the engine's area above the data stack's base (data stack,
// block heap, descriptor stack, code area), how an area is shared among
// them when the engine is created, and the function table it starts with.
#pragma once

#include <cstdint>

namespace vke {

struct AreaParts {
  uint32_t data;  // thread 0's data stack, 8-byte units
  uint32_t heap;  // 8-byte units
  uint32_t desc;  // thread 0's descriptor stack, words
  uint32_t code;  // 16-bit units
};

constexpr uint32_t RoundDownToEight(int64_t v) {
  return static_cast<uint32_t>(v < 0 ? 0 : v & ~int64_t{7});
}

// The parts of `bytes` above the data stack's base as creation shares them:
// an eighth to the data stack, three eighths to the heap, an eighth to the
// descriptor stack and the rest to the code area, each a multiple of 8.
constexpr AreaParts ProportionalParts(int64_t bytes) {
  const int64_t q = bytes / 8;
  AreaParts p{RoundDownToEight(q / 8), RoundDownToEight(3 * q / 8), RoundDownToEight(q / 4), 0};
  p.code = RoundDownToEight((bytes - 8ll * p.data - 8ll * p.heap - 4ll * p.desc) / 2);
  return p;
}

// The function table's entries at creation: a 512th of the code area's
// bytes, or a 128th of its units when that gives fewer than 100.
constexpr uint32_t CreationTableCapacity(uint32_t codeBytes, uint32_t codeUnits) {
  const uint32_t cap = codeBytes / 512;
  return cap < 100 ? codeUnits / 128 : cap;
}

}  // namespace vke
