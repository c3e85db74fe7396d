// The markup converter's inline part: running text of paragraphs, items,
// cells and headings, with blanks, escapes, forced line breaks, the stack
// of open inline styles, links, images, inline preformatted text, cell
// bars, definitions after terms and skipped plugin calls.
#include <array>

#include "app/markup/markup_converter.hpp"

namespace vke::markup {

namespace {

// Bytes that may start an inline token; every other byte is plain text.
constexpr std::array<bool, 256> SpecialBytes() {
  std::array<bool, 256> table{};
  for (const char c : kMarkupInlineTokenStarts) table[static_cast<uint8_t>(c)] = true;
  table[' '] = table['\t'] = true;
  table[0] = false;
  return table;
}
constexpr std::array<bool, 256> kSpecial = SpecialBytes();

bool IsSchemeChar(uint8_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '-' || c == '.';
}

}  // namespace

bool Converter::Inline() {
  o_.lineJoins = NextLineJoins(Eol(pos_));
  while (pos_ < n_) {
    const uint8_t c = src_[pos_];
    if (IsLineEnd(c)) return LineEnd();
    bool handled = false;
    if (kSpecial[c] && !Special(&handled)) return false;
    if (!handled && !TextChar(d_->textEncoder, d_->textUser)) return false;
  }
  return true;
}

bool Converter::LineEnd() {
  pos_ = NextLine(pos_);
  if (state_ == Block::kHeading) return EndHeading();
  state_ = Block::kLineStart;
  return !InTable() || EndBlock();
}

bool Converter::Blanks() {
  pos_ = SkipBlanks(pos_);
  // Blanks at the end of a line, or before the closing marks of a heading,
  // emit nothing.
  if (pos_ >= n_ || IsLineEnd(src_[pos_])) return true;
  if (state_ == Block::kHeading && ClosingEquals(pos_)) return true;
  return Space();
}

bool Converter::ClosingEquals(int32_t at) const {
  if (src_[at] != '=') return false;
  if (at >= openEquals_.from && at < openEquals_.to) return false;
  const int32_t from = at;
  while (at < n_ && src_[at] == '=') at++;
  const int32_t run = at;
  at = SkipBlanks(at);
  if (at >= n_ || IsLineEnd(src_[at])) return true;
  openEquals_ = {from, run};
  return false;
}

bool Converter::UrlSlashes() const {
  return pos_ >= 2 && src_[pos_ - 1] == ':' && IsSchemeChar(src_[pos_ - 2]) && pos_ + 2 < n_ &&
         !IsBlank(src_[pos_ + 2]) && !IsLineEnd(src_[pos_ + 2]);
}

bool Converter::KnownUnclosed(Closer kind, int32_t from, int32_t eol) const {
  return unclosed_[kind].eol == eol && from >= unclosed_[kind].from;
}

void Converter::NoteUnclosed(Closer kind, int32_t from, int32_t eol) const {
  unclosed_[kind] = {from, eol};
}

int32_t Converter::PluginEnd(int32_t at, int32_t eol) const {
  const int32_t marks = at + 2 < eol && src_[at + 2] == '<' ? 3 : 2;
  const Closer kind = marks == 3 ? kLongPluginClose : kPluginClose;
  if (KnownUnclosed(kind, at + marks, eol)) return -1;
  for (int32_t k = at + marks; k + marks <= eol; k++) {
    int32_t r = 0;
    while (r < marks && src_[k + r] == '>') r++;
    if (r == marks) return k + marks;
  }
  NoteUnclosed(kind, at + marks, eol);
  return -1;
}

bool Converter::Special(bool* handled) {
  const uint8_t c = src_[pos_];
  const uint8_t next = pos_ + 1 < n_ ? src_[pos_ + 1] : 0;
  switch (c) {
    case ' ':
    case '\t':
      *handled = true;
      return Blanks();
    case '~':
      // Before a blank or a line end "~" is itself plain.
      if ((o_.flags & kMarkupNoEscape) || !next || IsBlank(next) || IsLineEnd(next)) return true;
      *handled = true;
      pos_++;
      return TextChar(d_->textEncoder, d_->textUser);
    case '\\':
      if (next != '\\') return true;
      *handled = true;
      pos_ = SkipBlanks(pos_ + 2);
      if (!Emit(kLineBreak)) return false;
      breakEnd_ = o_.bytes;
      return true;
    case '*':
    case '/':
    case '_':
    case '^':
    case ',':
    case '#': {
      if (next != c) return true;
      const Style style = c == '*'   ? kBold
                          : c == '/' ? kItalic
                          : c == '_' ? kUnderline
                          : c == '^' ? kSuperscript
                          : c == ',' ? kSubscript
                                     : kMonospace;
      if ((o_.flags & kStyles[style].off) || (style == kItalic && UrlSlashes())) {
        // Both marks are text, so that the second starts nothing either.
        *handled = true;
        return TextChar(d_->textEncoder, d_->textUser) && TextChar(d_->textEncoder, d_->textUser);
      }
      *handled = true;
      pos_ += 2;
      o_.o = pos_ - 2;
      for (int32_t k = 0; k < styleCount_; k++)
        if (styles_[k].style == kImage && d_->plainAttributes) return true;
      return Toggle(style, 0, 0);
    }
    case '[':
      if (next != '[' || (o_.flags & kMarkupNoLinks)) return true;
      for (int32_t k = 0; k < styleCount_; k++)
        if (styles_[k].style == kLink) return true;
      return LinkOrImage(kLink, handled);
    case '{':
      if (next != '{') return true;
      if (pos_ + 2 < n_ && src_[pos_ + 2] == '{') return InlinePre(handled);
      if (o_.flags & kMarkupNoImages) return true;
      for (int32_t k = 0; k < styleCount_; k++)
        if (styles_[k].style == kImage) return true;
      return LinkOrImage(kImage, handled);
    case ']':
    case '}': {
      if (next != c) return true;
      const Style style = c == ']' ? kLink : kImage;
      for (int32_t k = 0; k < styleCount_; k++) {
        if (styles_[k].style != style) continue;
        *handled = true;
        pos_ += 2;
        return Toggle(style, 0, 0);
      }
      return true;
    }
    case '<': {
      if (next != '<' || (o_.flags & kMarkupNoPlugins)) return true;
      // No plugin is known: a call is skipped up to its closing marks.
      const int32_t end = PluginEnd(pos_, Eol(pos_));
      if (end < 0) return true;
      *handled = true;
      pos_ = end;
      return true;
    }
    case '|': {
      if (!InTable() || !rowOpen_) return true;
      *handled = true;
      if (cellOpen_ && !EndCell()) return false;
      const int32_t after = SkipBlanks(pos_ + 1);
      if (after >= n_ || IsLineEnd(src_[after])) {  // a bar at the end of the line ends the row
        pos_ = after;
        return true;
      }
      return OpenCell();
    }
    case ':': {
      if (!itemOpen_ || (o_.flags & kMarkupNoDefinitions) || o_.depth == 0 ||
          o_.nesting[o_.depth - 1].kind != MarkupLevel::kTerm)
        return true;
      *handled = true;
      TrimBlanks();
      if (!EndBlock()) return false;
      o_.nesting[o_.depth - 1].kind = MarkupLevel::kDefinition;
      o_.o = pos_;
      pos_ = SkipBlanks(pos_ + 1);
      return OpenItem();
    }
    case '=':
      if (state_ != Block::kHeading || !ClosingEquals(pos_)) return true;
      *handled = true;
      pos_ = Eol(pos_);
      return true;
    default:
      return true;
  }
}

bool Converter::KeptWhole(const OpenStyle& s) const {
  return (s.style == kLink || s.style == kImage) && d_->lineBound;
}

void Converter::Keep() {
  if (kept_++ > 0) return;
  o_.keeping = true;
  o_.keepFrom = o_.bytes;
}

void Converter::Release() {
  if (--kept_ > 0) return;
  o_.keeping = false;
  o_.keepTo = o_.bytes;
}

bool Converter::OpenStyleTemplates(const OpenStyle& s) {
  const StyleSpec& spec = kStyles[s.style];
  if (!Hook(d_->styleHook, -1, 0, 1, spec.tag)) return false;
  if (s.style == kInlinePre && !(o_.flags & kMarkupInlinePreMonospace)) return true;
  const bool whole = KeptWhole(s);
  if (whole) Keep();
  if (!Emit(spec.begin)) return false;
  if (s.style != kLink && s.style != kImage) return true;
  const MarkupTemplate middle = s.style == kLink ? kLinkMiddle : kImageMiddle;
  if (!d_->text[middle]) return true;  // without a middle the target is not shown
  // A target is one word, wherever it is written.
  if (!whole) Keep();
  if (!Target(s.target, s.targetLength) || !Emit(middle)) return false;
  if (!whole) Release();
  return true;
}

bool Converter::CloseStyleTemplates(const OpenStyle& s) {
  const StyleSpec& spec = kStyles[s.style];
  if (!(s.style == kInlinePre && !(o_.flags & kMarkupInlinePreMonospace)) && !Emit(spec.end))
    return false;
  if (KeptWhole(s)) Release();
  return Hook(d_->styleHook, -1, 0, 0, spec.tag);
}

bool Converter::Toggle(Style style, int32_t target, int32_t targetLength) {
  int32_t k = 0;
  while (k < styleCount_ && styles_[k].style != style) k++;
  if (k == styleCount_) {
    if (styleCount_ == kMarkupMaxStyles) {
      o_.result = kMarkupInconsistent;
      return false;
    }
    styles_[styleCount_++] = {style, target, targetLength};
    return OpenStyleTemplates(styles_[k]);
  }
  // The styles opened after it close first and open again after it, so
  // that the output nests.
  for (int32_t j = styleCount_ - 1; j >= k; j--)
    if (!CloseStyleTemplates(styles_[j])) return false;
  for (int32_t j = k + 1; j < styleCount_; j++) styles_[j - 1] = styles_[j];
  styleCount_--;
  for (int32_t j = k; j < styleCount_; j++)
    if (!OpenStyleTemplates(styles_[j])) return false;
  return true;
}

bool Converter::CloseStyles() {
  while (styleCount_ > 0) {
    if (!CloseStyleTemplates(styles_[styleCount_ - 1])) return false;
    styleCount_--;
  }
  return true;
}

bool Converter::LinkOrImage(Style style, bool* handled) {
  const int32_t eol = Eol(pos_);
  const uint8_t close = style == kLink ? ']' : '}';
  const int32_t target = pos_ + 2;
  const Closer kind = style == kLink ? kLinkClose : kImageClose;
  if (KnownUnclosed(kind, target, eol)) return true;
  int32_t k = target;
  while (k < eol && src_[k] != '|' && !(src_[k] == close && k + 1 < eol && src_[k + 1] == close))
    k++;
  if (k >= eol) {  // never closed on its line: plain text
    NoteUnclosed(kind, target, eol);
    return true;
  }
  *handled = true;
  o_.o = pos_;
  if (src_[k] == '|') {
    pos_ = k + 1;
    return Toggle(style, target, k - target);
  }
  // Without a text the target is shown in its place.
  pos_ = target;
  if (!Toggle(style, target, k - target) || !RunText(k)) return false;
  pos_ = k + 2;
  return Toggle(style, 0, 0);
}

bool Converter::InlinePre(bool* handled) {
  const int32_t eol = Eol(pos_);
  // It ends with the last three of a run of "}".
  int32_t close = -1;
  if (KnownUnclosed(kPreClose, pos_ + 3, eol)) return true;
  for (int32_t k = pos_ + 3; k < eol;) {
    if (src_[k] != '}') {
      k++;
      continue;
    }
    const int32_t run = k;
    while (k < eol && src_[k] == '}') k++;
    if (k - run >= 3) {
      close = k - 3;
      break;
    }
  }
  if (close < 0) {
    NoteUnclosed(kPreClose, pos_ + 3, eol);
    return true;
  }
  *handled = true;
  o_.o = pos_;
  const Block saved = state_;
  state_ = Block::kInlinePre;
  pos_ += 3;
  if (!Toggle(kInlinePre, 0, 0)) return false;
  // Inline preformatted text stands in running text, whose escaping it
  // needs; only a preformatted block is verbatim.
  if (!(o_.flags & kMarkupInlinePreMonospace)) o_.runClose = close;
  const bool written = RunText(close);
  o_.runClose = -1;
  if (!written) return false;
  pos_ = close + 3;
  state_ = saved;
  return Toggle(kInlinePre, 0, 0);
}

}  // namespace vke::markup
