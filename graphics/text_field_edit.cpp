// The keyboard on a text field's text.
#include "graphics/text_field_edit.hpp"

#include <algorithm>
#include <cstring>

#include "engine/text/number_text.hpp"
#include "graphics/render_call.hpp"

namespace vke {
namespace {

// The payload double that counts the area's bytes; the area follows it.
constexpr int32_t kFieldAreaCount = 6;

int32_t Bounded(const char* text, int32_t n) {
  const void* end = std::memchr(text, 0, static_cast<size_t>(std::max(n, 0)));
  return end ? static_cast<int32_t>(static_cast<const char*>(end) - text) : std::max(n, 0);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsFieldCharacter(uint32_t key) {
  return (key >= '0' && key <= '9') || key == '-' || key == '.' || key == 'e' || key == 'E';
}

// Removes bytes [from, to) and pads the end with NULs.
void Erase(FieldText* f, int32_t from, int32_t to) {
  std::memmove(f->text + from, f->text + to, static_cast<size_t>(f->room - to));
  std::memset(f->text + f->room - (to - from), 0, static_cast<size_t>(to - from));
  f->length -= to - from;
}

}  // namespace

bool ReadFieldNumber(const char* text, int32_t length, double* value) {
  int32_t at = 0;
  double number = 0;
  if (!ParseNumberText(text, length, &at, &number)) return false;
  // The reader takes a lone "." as 0: a number needs a digit of its own.
  const char* mantissaEnd =
      std::find_if(text, text + at, [](char c) { return c == 'e' || c == 'E'; });
  if (std::none_of(text, mantissaEnd, [](char c) { return c >= '0' && c <= '9'; })) return false;
  while (at < length && IsBlank(text[at])) ++at;
  if (at != length) return false;
  *value = number;
  return true;
}

bool FindFieldText(std::byte* data, int32_t doubles, FieldText* out) {
  if (doubles <= kFieldAreaCount) return false;
  const int32_t area = PayloadCount(PayloadDouble(data, kFieldAreaCount));
  if (area < 0 || PackedDoubles(area) > doubles - kFieldAreaCount - 1) return false;
  char* label = reinterpret_cast<char*>(data + size_t{kFieldAreaCount + 1} * 8);
  out->label = label;
  out->labelLength = Bounded(label, area);
  const int32_t skip = std::min(out->labelLength + 1, area);
  out->text = label + skip;
  out->room = area - skip;
  out->length = Bounded(out->text, out->room);
  return true;
}

void EditFieldText(FieldText* f, int32_t* caret, int32_t* selectionEnd, uint32_t key) {
  int32_t start = std::clamp(*caret, 0, f->length);
  int32_t end = std::clamp(*selectionEnd, start, f->length);
  const bool selection = start < end;
  if (key == kKeyBackspace) {
    if (selection) {
      Erase(f, start, end);
    } else if (start > 0) {
      --start;
      Erase(f, start, start + 1);
    }
    end = start;
  } else if (key == kKeyLeft) {
    if (!selection && start > 0) --start;
    end = start;
  } else if (key == kKeyRight) {
    if (selection) {
      start = end;
    } else if (start < f->length) {
      end = ++start;
    }
  } else if (IsFieldCharacter(key)) {
    Erase(f, start, end);
    end = start;
    if (f->length < kFieldEditChars && f->length + 1 < f->room) {
      std::memmove(f->text + start + 1, f->text + start, static_cast<size_t>(f->length - start));
      f->text[start] = static_cast<char>(key);
      f->text[++f->length] = 0;
      end = ++start;
    }
  }
  *caret = start;
  *selectionEnd = end;
}

}  // namespace vke
