// The engine's prompt: a handler asks the user for a line of text, or shows
// a message with OK (and Cancel). The texts cross as UTF-8 both ways; a
// default answer is read no further than the answer buffer holds, and the
// answer is cut to the buffer at a character boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vke {

// The windows the prompt opens; a test gives its own.
class PromptWindows {
 public:
  virtual ~PromptWindows() = default;
  // The dialog with its caption, the prompt and an edit holding *answer;
  // true on OK with the edited text in *answer, false (nothing changed) on
  // Cancel.
  virtual bool AskText(const std::string& title, const std::string& prompt,
                       std::string* answer) = 0;
  // A message box over the main window with OK, or OK and Cancel; true for
  // OK.
  virtual bool ShowMessage(const std::string& title, const std::string& text, bool okCancel) = 0;
};

// The prompt callback of the engine (the host context's AskInput): title
// and prompt with their lengths in bytes (none when not positive); with an
// answer buffer, its capacity and the answer's length (the default answer's
// on entry), the dialog: true on OK with the answer and its length stored,
// false on Cancel with the buffer as it was. Without a buffer, the message:
// with okCancel true only for OK, without it always false.
bool RunPromptDialog(PromptWindows& windows, const char* title, int32_t titleLength,
                     const char* prompt, int32_t promptLength, char* answer, int32_t capacity,
                     int32_t* length, int32_t okCancel);

// The length of the longest start of the text that has at most `capacity`
// bytes and does not end inside a UTF-8 sequence.
size_t Utf8PrefixLength(std::string_view text, size_t capacity);

}  // namespace vke
