// A window that shows a text of the application (its about or help text):
// kept once made, hidden when closed and shown again on the next request.
#pragma once

#include <string>

namespace vke {

class TextWindow {
 public:
  virtual ~TextWindow() = default;
  virtual void SetTitle(const std::string& title) = 0;
  // The text (UTF-8), read-only.
  virtual void SetText(const std::string& text) = 0;
  // Shows the window, restored, above the others.
  virtual void BringToTop() = 0;
  virtual void Hide() = 0;
};

}  // namespace vke
