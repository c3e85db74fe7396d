// The engine's prompt answered through the prompt windows.
#include "shell/prompt_dialog.hpp"

#include <algorithm>
#include <cstring>

namespace vke {

namespace {

std::string TextOf(const char* text, int32_t length) {
  return text != nullptr && length > 0 ? std::string(text, static_cast<size_t>(length))
                                       : std::string();
}

}  // namespace

size_t Utf8PrefixLength(std::string_view text, size_t capacity) {
  if (text.size() <= capacity) return text.size();
  // Back up over continuation bytes to the start of the cut character.
  size_t n = capacity;
  while (n > 0 && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

bool RunPromptDialog(PromptWindows& windows, const char* title, int32_t titleLength,
                     const char* prompt, int32_t promptLength, char* answer, int32_t capacity,
                     int32_t* length, int32_t okCancel) {
  const std::string caption = TextOf(title, titleLength);
  const std::string text = TextOf(prompt, promptLength);
  if (answer == nullptr) {
    const bool ok = windows.ShowMessage(caption, text, okCancel != 0);
    return okCancel != 0 && ok;
  }
  const int32_t room = std::max(capacity, 0);
  const int32_t given = length != nullptr ? std::clamp(*length, 0, room) : 0;
  std::string edited(answer, static_cast<size_t>(given));
  if (!windows.AskText(caption, text, &edited)) return false;
  const size_t n = Utf8PrefixLength(edited, static_cast<size_t>(room));
  std::memcpy(answer, edited.data(), n);
  if (length != nullptr) *length = static_cast<int32_t>(n);
  return true;
}

}  // namespace vke
