// Text for the clipboard.
#include "shell/clipboard.hpp"

namespace vke {

std::string WithCarriageReturns(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t k = 0; k < text.size(); k++) {
    if (text[k] == '\n' && k > 0 && text[k - 1] != '\r') out += '\r';
    out += text[k];
  }
  return out;
}

bool CopyTextToClipboard(Clipboard& clipboard, std::string_view text) {
  return clipboard.SetText(WithCarriageReturns(text));
}

}  // namespace vke
