// Reading help texts: comment blocks after definitions, help-file entries
// and short descriptions.
#include "compiler/help_text.hpp"

#include "compiler/lexer_helpers.hpp"

namespace vke {

namespace {

int32_t LineEnd(const char* text, int32_t length, int32_t pos) {
  while (pos < length && !IsLineEnd(text[pos])) pos++;
  return pos;
}

// The start of the line after a line that ends at end (CR LF counts once).
int32_t NextLine(const char* text, int32_t length, int32_t end) {
  if (end < length && text[end] == '\r' && end + 1 < length && text[end + 1] == '\n') end++;
  return end < length ? end + 1 : length;
}

int32_t FirstNonBlank(const char* text, int32_t pos, int32_t end) {
  while (pos < end && (text[pos] == ' ' || text[pos] == '\t')) pos++;
  return pos;
}

bool At(const char* text, int32_t end, int32_t pos, const char* s) {
  for (int32_t i = 0; s[i]; i++)
    if (pos + i >= end || text[pos + i] != s[i]) return false;
  return true;
}

// The position of "*/" from pos on within [pos, end), -1 when it is not there.
int32_t FindClose(const char* text, int32_t pos, int32_t end) {
  for (; pos + 1 < end; pos++)
    if (text[pos] == '*' && text[pos + 1] == '/') return pos;
  return -1;
}

// The position of "*/" from pos on, across lines; length when it is missing.
int32_t FindCloseAnywhere(const char* text, int32_t length, int32_t pos) {
  const int32_t close = FindClose(text, pos, length);
  return close < 0 ? length : close;
}

bool IsBlank(const char* text, int32_t from, int32_t to) {
  return FirstNonBlank(text, from, to) == to;
}

}  // namespace

HelpTextReader::HelpTextReader(const char* text, int32_t length, int32_t pos, Kind kind)
    : text_(text), length_(length), pos_(pos), kind_(kind), first_(kind == Kind::kFileEntry) {}

bool HelpTextReader::Next(HelpLine* line) {
  for (;;) {
    *line = HelpLine{};
    if (inBlock_) {
      if (NextInBlockComment(line)) return true;
      continue;  // the comment ended without a line of its own
    }
    if (pos_ >= length_) return false;
    const int32_t end = LineEnd(text_, length_, pos_);
    const int32_t next = NextLine(text_, length_, end);
    const int32_t q = FirstNonBlank(text_, pos_, end);
    const bool keyLine = first_;
    first_ = false;
    const int32_t marker = At(text_, end, q, "//") ? 2 : At(text_, end, q, "%") ? 1 : 0;
    if (marker) {
      line->text = text_ + q + marker;
      line->length = end - q - marker;
      pos_ = next;
      return true;
    }
    if (At(text_, end, q, "/*=")) {
      const int32_t close = FindCloseAnywhere(text_, length_, q + 3);
      line->text = text_ + q + 3;
      line->length = close - q - 3;
      line->markup = true;
      pos_ = NextLine(text_, length_, LineEnd(text_, length_, close));
      return true;
    }
    if (At(text_, end, q, "/*")) {
      inBlock_ = true;
      // The rest of the "/*" line counts as a line only when it holds text.
      const int32_t close = FindClose(text_, q + 2, end);
      pos_ = close < 0 && IsBlank(text_, q + 2, end) ? next : q + 2;
      continue;
    }
    if (keyLine) {
      // A key line without a comment: the entry's first line, empty.
      line->shown = false;
      pos_ = next;
      return true;
    }
    if (q == end) {
      if (kind_ == Kind::kSourceBlock) return false;
      line->text = text_ + pos_;
      pos_ = next;
      return true;
    }
    // Code ends a source's block; a line that begins with a key ends an
    // entry, and any other line of an entry is shown as it stands.
    if (kind_ == Kind::kSourceBlock || q == pos_) return false;
    line->text = text_ + pos_;
    line->length = end - pos_;
    pos_ = next;
    return true;
  }
}

// One line of the comment being read; false when the comment ends with a
// "*/" alone on its line, or with the text.
bool HelpTextReader::NextInBlockComment(HelpLine* line) {
  if (pos_ >= length_) {
    inBlock_ = false;
    return false;
  }
  const int32_t end = LineEnd(text_, length_, pos_);
  const int32_t close = FindClose(text_, pos_, end);
  const int32_t stop = close < 0 ? end : close;
  const int32_t from = pos_;
  pos_ = NextLine(text_, length_, end);
  if (close >= 0) {
    inBlock_ = false;
    if (IsBlank(text_, from, stop)) return false;
  }
  line->text = text_ + from;
  line->length = stop - from;
  return true;
}

int32_t SkipDefinitionLines(const char* text, int32_t length, int32_t pos) {
  for (;;) {
    const int32_t end = LineEnd(text, length, pos);
    bool continued = false;
    for (int32_t i = pos; i < end && !continued; i++) {
      if (text[i] == '%' || At(text, end, i, "//")) break;
      continued = At(text, end, i, "...");
    }
    pos = NextLine(text, length, end);
    if (!continued || pos >= length) return pos;
  }
}

bool ShortDescription(HelpTextReader reader, HelpLine* description) {
  HelpLine first;
  if (!reader.Next(&first) || !reader.Next(description) || description->markup) return false;
  const int32_t skip = FirstNonBlank(description->text, 0, description->length);
  description->text += skip;
  description->length -= skip;
  return true;
}

bool NextHelpEntry(const char* text, int32_t length, int32_t* pos, HelpEntry* entry) {
  int32_t p = *pos;
  while (p < length) {
    const int32_t end = LineEnd(text, length, p);
    const int32_t next = NextLine(text, length, end);
    const int32_t q = FirstNonBlank(text, p, end);
    if (At(text, end, q, "/*")) {
      // A comment: its lines are no keys.
      p = NextLine(text, length, LineEnd(text, length, FindCloseAnywhere(text, length, q + 2)));
      continue;
    }
    if (q == end || q > p || At(text, end, q, "%") || At(text, end, q, "//")) {
      p = next;
      continue;
    }
    int32_t k = p;
    while (k < end && text[k] != ' ' && text[k] != '\t') k++;
    *entry = HelpEntry{};
    entry->key = text + p;
    entry->keyLength = k - p;
    for (int32_t i = p; i + 2 < k; i++)
      if (text[i] == ':' && text[i + 1] == ':') {
        entry->library = text + p;
        entry->libraryLength = i - p;
        entry->key = text + i + 2;
        entry->keyLength = k - i - 2;
        break;
      }
    entry->textStart = k;
    // A comment that opens on the key line runs past it.
    int32_t open = k;
    while (open < end && !At(text, end, open, "/*")) open++;
    const int32_t close = open < end ? FindClose(text, open + 2, end) : 0;
    *pos = open < end && close < 0
               ? NextLine(text, length,
                          LineEnd(text, length, FindCloseAnywhere(text, length, open + 2)))
               : next;
    return true;
  }
  *pos = length;
  return false;
}

bool IsBlankHelpLine(const HelpLine& line) {
  return IsBlank(line.text, 0, line.length);
}

}  // namespace vke
