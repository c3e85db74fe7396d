// A conversion into a buffer that grows: the caller's loop of trying, and
// doubling the buffer while the conversion finds no room, kept in one place.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/markup/markup_convert.hpp"

namespace vke {

int32_t MarkupConvertGrown(std::string_view source, uint32_t flags, const char* newline,
                           const MarkupDescriptor* descriptor, int32_t fontSize, int64_t firstSize,
                           std::string* output) {
  // A source this long could not fit the largest buffer's first half.
  if (source.size() > INT32_MAX / 4) return kMarkupNoRoom;
  const auto length = static_cast<int32_t>(source.size());
  int64_t size = std::clamp<int64_t>(firstSize, 1, INT32_MAX);
  std::vector<char> buffer;
  for (;;) {
    buffer.assign(static_cast<size_t>(size), 0);
    char* text = nullptr;
    int32_t textLength = 0;
    const int32_t e =
        MarkupConvert(source.data(), length, buffer.data(), static_cast<int32_t>(size), flags,
                      newline, descriptor, fontSize, &text, &textLength, nullptr);
    if (e == kMarkupDone) {
      output->assign(text, static_cast<size_t>(textLength));
      return e;
    }
    if (e != kMarkupNoRoom || size >= INT32_MAX) return e;
    size = std::min<int64_t>(2 * size, INT32_MAX);
  }
}

}  // namespace vke
