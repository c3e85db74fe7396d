// Text for the clipboard.
#include "shell/clipboard.hpp"

namespace vke {

std::string WithLineFeeds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t k = 0; k < text.size(); k++) {
    if (text[k] != '\r') {
      out += text[k];
    } else if (k + 1 == text.size() || text[k + 1] != '\n') {
      out += '\n';
    }
  }
  return out;
}

bool CopyTextToClipboard(Clipboard& clipboard, std::string_view text) {
  return clipboard.SetText(WithLineFeeds(text));
}

}  // namespace vke
