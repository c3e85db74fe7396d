// The clipboard as the menu commands see it: its text, and text put on it
// with its line ends as the clipboard keeps them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vke {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // The clipboard's text (UTF-8) up to its first NUL; nothing when it holds
  // no text or cannot be opened.
  virtual std::optional<std::string> Text() = 0;
  // Replaces the clipboard's contents by the text; false when it cannot be
  // opened.
  virtual bool SetText(std::string_view text) = 0;
};

// The text with the platform's line ends: CR LF and a lone CR become LF.
std::string WithLineFeeds(std::string_view text);

// Puts the text on the clipboard with LF line ends; false when the
// clipboard cannot be opened.
bool CopyTextToClipboard(Clipboard& clipboard, std::string_view text);

}  // namespace vke
