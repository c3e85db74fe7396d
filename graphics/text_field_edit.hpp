// Editing a text field of a control panel from the keyboard: where the
// field's text lies in its command, and what each key does to the text, the
// caret and the selection. The keys the figure takes besides characters
// are named here too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vke {

// Key codes of the figure besides characters.
enum FigureKey : uint32_t {
  kKeyBackspace = 8,
  kKeyLineFeed = 10,
  kKeyEnter = 13,
  kKeyEscape = 27,
  kKeyDelete = 127,
  kKeyUp = 0xF700,
  kKeyDown = 0xF701,
  kKeyLeft = 0xF702,
  kKeyRight = 0xF703,
};

// The most characters an edit lets a field hold.
inline constexpr int32_t kFieldEditChars = 14;

// The text of a field as its command (kCmdTextField) holds it: behind the label
// and its NUL, up to the NUL that ends it or the end of the byte area.
struct FieldText {
  const char* label;
  int32_t labelLength;
  char* text;
  int32_t length;  // bytes before the NUL
  int32_t room;    // bytes from the text to the end of the area
};

// Finds the text in a text-field command's payload of `doubles` doubles;
// false when the payload is too short for the area it names.
bool FindFieldText(std::byte* data, int32_t doubles, FieldText* out);

// Applies a key to the text, the caret and the selection end (the
// selection runs from the caret to its end), after clamping both to the
// text: Backspace deletes the selection or the character before the caret;
// Left and Right collapse a selection or move one character; "0" to "9",
// "-", ".", "e" and "E" replace the selection and are inserted while the
// text holds fewer than kFieldEditChars characters. Other keys change
// nothing. The text stays NUL-padded within its room.
void EditFieldText(FieldText* field, int32_t* caret, int32_t* selectionEnd, uint32_t key);

// The number a field's text stands for: true only when the whole text,
// blanks aside, is one number with at least one digit before its exponent
// ("1-2", "4.5.6", "3e" and "." are none).
bool ReadFieldNumber(const char* text, int32_t length, double* value);

}  // namespace vke
