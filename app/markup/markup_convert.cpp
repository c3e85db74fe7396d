// The markup converter's block part: the block state machine over the
// starts of lines (headings, lists, definitions, indents, tables, rules,
// preformatted blocks, paragraphs), the nesting stack, and the entry point.
#include "app/markup/markup_convert.hpp"

#include <algorithm>
#include <cstring>

#include "app/markup/markup_converter.hpp"

namespace vke {

namespace markup {

namespace {

// Whether the line [at, eol) holds only the fence (and blanks after it).
bool FenceLine(const uint8_t* src, int32_t at, int32_t eol, const char* fence) {
  const int32_t n = static_cast<int32_t>(std::strlen(fence));
  if (eol - at < n || std::memcmp(src + at, fence, n) != 0) return false;
  for (int32_t k = at + n; k < eol; k++)
    if (!IsBlank(src[k])) return false;
  return true;
}

// Whether the line [at, eol) holds a rule: four or more "-" and blanks.
bool RuleLine(const uint8_t* src, int32_t at, int32_t eol) {
  int32_t k = at;
  while (k < eol && src[k] == '-') k++;
  if (k - at < 4) return false;
  while (k < eol && IsBlank(src[k])) k++;
  return k == eol;
}

bool IsTableLevel(MarkupLevel kind) {
  return kind == MarkupLevel::kCell || kind == MarkupLevel::kHeaderCell;
}

// Whether an open level of that kind continues under a list mark.
bool Continues(char mark, MarkupLevel kind) {
  switch (mark) {
    case '*':
      return kind == MarkupLevel::kBullet;
    case '#':
      return kind == MarkupLevel::kNumbered;
    case ';':
      return kind == MarkupLevel::kTerm || kind == MarkupLevel::kDefinition;
    default:  // ':'
      return kind == MarkupLevel::kTerm || kind == MarkupLevel::kDefinition ||
             kind == MarkupLevel::kIndent;
  }
}

// The kind a list mark opens, or gives the level it continues.
MarkupLevel KindOf(char mark, bool inDefinitionList) {
  switch (mark) {
    case '*':
      return MarkupLevel::kBullet;
    case '#':
      return MarkupLevel::kNumbered;
    case ';':
      return MarkupLevel::kTerm;
    default:
      return inDefinitionList ? MarkupLevel::kDefinition : MarkupLevel::kIndent;
  }
}

}  // namespace

Converter::Converter(const MarkupDescriptor* d, uint32_t flags, const char* newline,
                     int32_t fontSize, const uint8_t* source, int32_t length, uint8_t* out,
                     int32_t capacity)
    : o_{}, d_(d), src_(source), n_(length) {
  o_.out = out;
  o_.capacity = capacity;
  o_.source = source;
  o_.sourceLength = length;
  o_.descriptor = d;
  o_.newline = newline;
  o_.newlineLength = static_cast<int32_t>(std::strlen(newline));
  o_.escape = d->escape;
  o_.flags = flags;
  o_.s = fontSize < 1 ? d->defaultFontSize : fontSize;
  o_.x = (flags & kMarkupAnchors) != 0;
  o_.wrap = true;
  o_.runClose = -1;
}

// ---- Emission ----

bool Converter::Emit(MarkupTemplate slot) {
  const char* text = d_->text[slot];
  if (!text) return true;
  return MarkupExpandTemplate(text, -1, o_.escape, &o_) && MarkupWrapLine(&o_);
}

bool Converter::Hook(MarkupHookFn hook, int32_t level, int32_t number, int32_t begin,
                     const char* tag) {
  if (!hook) return true;
  const int32_t e = hook(level, number, begin, tag, o_.o, &o_, d_->hookUser);
  if (e) o_.result = e;
  return e == 0;
}

int32_t Converter::CharLength(int32_t at) const {
  int32_t end = at + 1;
  if (src_[at] >= 0xC0)
    while (end < n_ && end - at < 4 && (src_[end] & 0xC0) == 0x80) end++;
  return end - at;
}

bool Converter::Encode(MarkupEncodeFn encoder, const void* user, const uint8_t* text,
                       int32_t length) {
  if (!(encoder ? encoder(&o_, text, length, user) : MarkupPut(&o_, text, length))) return false;
  return o_.column <= d_->lineWidth || d_->lineWidth < 0 || MarkupWrapLine(&o_);
}

bool Converter::TextChar(MarkupEncodeFn encoder, const void* user) {
  const int32_t length = CharLength(pos_);
  const int32_t at = pos_;
  pos_ += length;
  o_.sourcePos = pos_;
  return Encode(encoder, user, src_ + at, length);
}

bool Converter::Target(int32_t at, int32_t length) {
  if (d_->prefixes) {
    for (const MarkupPrefix* p = d_->prefixes; p->prefix; p++) {
      const int32_t n = static_cast<int32_t>(std::strlen(p->prefix));
      if (n <= length && std::memcmp(src_ + at, p->prefix, n) == 0) {
        if (!MarkupPut(&o_, p->replacement, static_cast<int32_t>(std::strlen(p->replacement))))
          return false;
        at += n;
        length -= n;
        break;
      }
    }
  }
  for (int32_t k = at; k < at + length;) {
    int32_t c = CharLength(k);
    c = std::min(c, at + length - k);
    if (!Encode(d_->targetEncoder, d_->targetUser, src_ + k, c)) return false;
    k += c;
  }
  return true;
}

bool Converter::Space() {
  // The line's bytes count, not its characters: a stray UTF-8
  // continuation byte is no character but text a blank follows.
  if (o_.bytes - o_.lineStart <= o_.indent) return true;
  // Markup read back takes a run of blanks as one, and skips those that
  // start a block's text or follow a line break.
  if (d_->readBack &&
      (IsBlank(o_.out[o_.bytes - 1]) || o_.bytes == breakEnd_ || o_.bytes == textStart_))
    return true;
  return Emit(kSpace);
}

bool Converter::RunText(int32_t end) {
  while (pos_ < end) {
    if (d_->readBack && IsBlank(src_[pos_])) {
      while (pos_ < end && IsBlank(src_[pos_])) pos_++;
      if (!Space()) return false;
    } else if (!TextChar(d_->textEncoder, d_->textUser)) {
      return false;
    }
  }
  return true;
}

void Converter::TrimBlankEnd() {
  if (d_->readBack) TrimBlanks();
}

// ---- Lines ----

int32_t Converter::Eol(int32_t at) const {
  if (at >= eolFrom_ && at <= eolAt_) return eolAt_;
  eolFrom_ = at;
  while (at < n_ && !IsLineEnd(src_[at])) at++;
  eolAt_ = at;
  return at;
}

int32_t Converter::NextLine(int32_t eol) const {
  if (eol < n_ && src_[eol] == '\r' && eol + 1 < n_ && src_[eol + 1] == '\n') return eol + 2;
  return eol < n_ ? eol + 1 : eol;
}

int32_t Converter::SkipBlanks(int32_t at) const {
  while (at < n_ && IsBlank(src_[at])) at++;
  return at;
}

bool Converter::InTable() const {
  return o_.depth > 0 && IsTableLevel(o_.nesting[o_.depth - 1].kind);
}

// ---- Blocks ----

bool Converter::OpenParagraph() {
  o_.o = pos_;
  o_.l = 0;
  o_.i = 0;
  paragraphOpen_ = true;
  if (!Hook(d_->structureHook, 0, 0, 1, "p") || !Emit(kParagraphBegin)) return false;
  textStart_ = o_.bytes;
  return true;
}

bool Converter::PushLevel(MarkupLevel kind) {
  if (o_.depth == kMarkupMaxDepth) {
    o_.result = kMarkupInconsistent;
    return false;
  }
  o_.nesting[o_.depth++] = {kind, 1};
  o_.l = o_.depth;
  o_.i = 0;
  return Emit(LevelSpec(kind).listBegin);
}

bool Converter::OpenItem() {
  const MarkupNesting& top = o_.nesting[o_.depth - 1];
  const MarkupLevelSpec& spec = LevelSpec(top.kind);
  o_.l = o_.depth;
  o_.i = top.kind == MarkupLevel::kNumbered ? top.counter : 0;
  itemOpen_ = true;
  if (!Hook(d_->structureHook, o_.l, o_.i, 1, spec.tag) || !Emit(spec.itemBegin)) return false;
  textStart_ = o_.bytes;
  return true;
}

bool Converter::EndBlock() {
  if (!CloseStyles()) return false;
  if (o_.depth == 0) {
    if (!paragraphOpen_) return true;
    paragraphOpen_ = false;
    TrimBlankEnd();
    const bool empty = d_->readBack && o_.bytes == textStart_;
    o_.l = 0;
    o_.i = 0;
    return (empty || Emit(kParagraphEnd)) && Hook(d_->structureHook, 0, 0, 0, "p");
  }
  MarkupNesting& top = o_.nesting[o_.depth - 1];
  o_.l = o_.depth;
  o_.i = 0;
  if (IsTableLevel(top.kind)) {
    if (cellOpen_ && !EndCell()) return false;
    if (!rowOpen_) return true;
    rowOpen_ = false;
    const bool ended = Emit(kRowEnd);
    o_.wrap = true;
    return ended;
  }
  if (!itemOpen_) return true;
  itemOpen_ = false;
  TrimBlankEnd();
  const MarkupLevelSpec& spec = LevelSpec(top.kind);
  if (top.kind == MarkupLevel::kNumbered) o_.i = top.counter++;
  return Emit(spec.itemEnd) && Hook(d_->structureHook, o_.l, o_.i, 0, spec.tag);
}

bool Converter::CloseLevelsTo(int32_t depth) {
  while (o_.depth > depth) {
    if (!EndBlock()) return false;
    o_.l = o_.depth;
    o_.i = 0;
    if (!Emit(LevelSpec(o_.nesting[o_.depth - 1].kind).listEnd)) return false;
    o_.depth--;
  }
  return true;
}

bool Converter::CloseStructure() {
  return EndBlock() && CloseLevelsTo(0);
}

Converter::LineKind Converter::Classify(int32_t at, int32_t eol) const {
  const uint8_t c = src_[at];
  if (c == '{' && FenceLine(src_, at, eol, "{{{")) return LineKind::kPre;
  if (c == '-' && !(o_.flags & kMarkupNoRule) && RuleLine(src_, at, eol)) return LineKind::kRule;
  if (c == '=') return LineKind::kHeading;
  if (c == '<' && !(o_.flags & kMarkupNoPlugins) && BlockPluginEnd(at, eol) >= 0)
    return LineKind::kPlugin;
  int32_t end, kept;
  if (ItemMarks(at, eol, &end, &kept) > 0) return LineKind::kItem;
  // A new table takes a level of its own, or is plain text.
  if (c == '|' && !(o_.flags & kMarkupNoTables) && (InTable() || o_.depth < kMarkupMaxDepth))
    return LineKind::kRow;
  return LineKind::kText;
}

bool Converter::NextLineJoins(int32_t eol) const {
  if (state_ == Block::kHeading || (o_.flags & kMarkupLineEndsParagraph) || InTable()) return false;
  const int32_t at = SkipBlanks(NextLine(eol));
  if (at >= n_ || IsLineEnd(src_[at])) return false;
  return Classify(at, Eol(at)) == LineKind::kText;
}

bool Converter::LineStart() {
  const int32_t at = SkipBlanks(pos_);
  const int32_t eol = Eol(at);
  o_.sourcePos = at;
  if (at == eol) {  // a blank line ends every block
    pos_ = NextLine(eol);
    if (state_ == Block::kLineStart && !CloseStructure()) return false;
    state_ = Block::kBlockStart;
    return true;
  }
  o_.o = at;
  switch (Classify(at, eol)) {
    case LineKind::kPre:
      if (!CloseStructure()) return false;
      pos_ = NextLine(eol);
      state_ = Block::kPre;
      o_.wrap = false;
      o_.l = 0;
      o_.i = 0;
      return Hook(d_->structureHook, 0, 0, 1, "{{{") && Emit(kPreBegin);
    case LineKind::kRule:
      if (!CloseStructure()) return false;
      pos_ = NextLine(eol);
      state_ = Block::kBlockStart;
      o_.l = 0;
      o_.i = 0;
      return Hook(d_->structureHook, 0, 0, 1, "----") && Emit(kRule) &&
             Hook(d_->structureHook, 0, 0, 0, "----");
    case LineKind::kHeading:
      return Heading(at);
    case LineKind::kPlugin:
      pos_ = BlockPluginEnd(at, eol);
      return true;
    case LineKind::kItem:
      return ListItem(at, eol);
    case LineKind::kRow:
      return TableRow(at);
    case LineKind::kText:
      break;
  }
  // Plain text: a new paragraph, or the next line of the open block.
  pos_ = at;
  if (state_ == Block::kBlockStart) {
    if (!OpenParagraph()) return false;
  } else if ((o_.flags & kMarkupLineEndsParagraph) || InTable()) {
    if (!CloseStructure() || !OpenParagraph()) return false;
  } else {
    if (!Space()) return false;
  }
  state_ = Block::kText;
  return true;
}

bool Converter::Heading(int32_t at) {
  if (!CloseStructure()) return false;
  int32_t k = at;
  while (k < n_ && src_[k] == '=') k++;
  int32_t level = k - at;
  if (level == 1 && (o_.flags & kMarkupSingleEqualsLevel2)) level = 2;
  level = std::max(1, std::min(level, d_->headingLevels));
  int32_t number = 0;
  if (level <= 2) {
    headingCount_[level - 1]++;
    if (level == 1) headingCount_[1] = 0;
    const uint32_t numbered = level == 1 ? kMarkupNumberLevel1 : kMarkupNumberLevel2;
    if (o_.flags & numbered) number = headingCount_[level - 1];
  }
  headingLevel_ = level;
  headingNumber_ = number;
  o_.l = level;
  o_.i = number;
  pos_ = SkipBlanks(k);
  state_ = Block::kHeading;
  o_.heading = true;
  o_.wrap = !d_->lineBound;
  if (!Hook(d_->structureHook, level, number, 1, "=") || !Emit(kHeadingBegin)) return false;
  textStart_ = o_.bytes;
  return true;
}

bool Converter::EndHeading() {
  if (!CloseStyles()) return false;
  TrimBlankEnd();
  o_.l = headingLevel_;
  o_.i = headingNumber_;
  state_ = Block::kBlockStart;
  o_.heading = false;
  const bool ended = Emit(kHeadingEnd);
  o_.wrap = true;
  return ended && Hook(d_->structureHook, headingLevel_, headingNumber_, 0, "=");
}

int32_t Converter::ItemMarks(int32_t at, int32_t eol, int32_t* end, int32_t* kept) const {
  int32_t q = at;
  bool indentOnly = true;
  for (; q < eol; q++) {
    const uint8_t c = src_[q];
    if (c == ';' && (o_.flags & kMarkupNoDefinitions)) break;
    if (c == ':' && (o_.flags & kMarkupNoIndent)) break;
    if (c != '*' && c != '#' && c != ';' && c != ':') break;
    indentOnly = indentOnly && c == ':';
  }
  // Marks beyond the deepest level count as that level.
  const int32_t n = std::min(q - at, kMarkupMaxDepth);
  if (n == 0) return 0;
  int32_t m = 0;
  while (m < n && m < o_.depth && Continues(src_[at + m], o_.nesting[m].kind)) m++;
  // A list opens one level at a time, so that "**" starting a paragraph is
  // bold; indentation may start deep.
  if (n > m + 1 && !indentOnly) return 0;
  *end = q;
  *kept = m;
  return n;
}

bool Converter::ListItem(int32_t at, int32_t eol) {
  int32_t q, m;
  const int32_t n = ItemMarks(at, eol, &q, &m);
  if (!EndBlock()) return false;
  const int32_t keep = std::min(n, m);
  if (!CloseLevelsTo(keep)) return false;
  if (keep == n) {
    MarkupNesting& top = o_.nesting[n - 1];
    top.kind = KindOf(src_[at + n - 1],
                      top.kind == MarkupLevel::kTerm || top.kind == MarkupLevel::kDefinition);
  }
  for (int32_t k = keep; k < n; k++)
    if (!PushLevel(KindOf(src_[at + k], false))) return false;
  pos_ = SkipBlanks(q);
  state_ = Block::kText;
  return OpenItem();
}

bool Converter::TableRow(int32_t at) {
  if (!InTable() && (!EndBlock() || !PushLevel(MarkupLevel::kCell))) return false;
  o_.l = o_.depth;
  o_.i = 0;
  o_.wrap = !d_->lineBound;
  if (!Emit(kRowBegin)) return false;
  rowOpen_ = true;
  pos_ = at;
  state_ = Block::kText;
  return OpenCell();
}

bool Converter::OpenCell() {
  MarkupNesting& top = o_.nesting[o_.depth - 1];
  o_.o = pos_;
  pos_++;  // the bar
  top.kind = MarkupLevel::kCell;
  if (pos_ < n_ && src_[pos_] == '=') {
    top.kind = MarkupLevel::kHeaderCell;
    pos_++;
  }
  pos_ = SkipBlanks(pos_);
  cellOpen_ = true;
  const MarkupLevelSpec& spec = LevelSpec(top.kind);
  o_.l = o_.depth;
  o_.i = 0;
  if (!Hook(d_->structureHook, o_.l, 0, 1, spec.tag) || !Emit(spec.itemBegin)) return false;
  textStart_ = o_.bytes;
  return true;
}

void Converter::TrimBlanks() {
  while (o_.bytes > textStart_ && o_.bytes > o_.lineStart && o_.out[o_.bytes - 1] == ' ') {
    o_.bytes--;
    o_.column--;
    o_.unbreakableLength = 0;  // the line changed: search it anew
  }
  // The blanks counted as its indentation end at the end of the line now.
  if (o_.leadStart == o_.lineStart)
    o_.leadLength = std::min(o_.leadLength, o_.bytes - o_.lineStart);
}

bool Converter::EndCell() {
  // The blanks before the bar belong to no cell.
  TrimBlanks();
  if (!CloseStyles()) return false;
  cellOpen_ = false;
  const MarkupLevelSpec& spec = LevelSpec(o_.nesting[o_.depth - 1].kind);
  o_.l = o_.depth;
  o_.i = 0;
  return Emit(spec.itemEnd) && Hook(d_->structureHook, o_.l, 0, 0, spec.tag);
}

bool Converter::PreLine() {
  const int32_t eol = Eol(pos_);
  if (FenceLine(src_, pos_, eol, "}}}")) {
    pos_ = NextLine(eol);
    state_ = Block::kBlockStart;
    o_.wrap = true;
    o_.l = 0;
    o_.i = 0;
    return Emit(kPreEnd) && Hook(d_->structureHook, 0, 0, 0, "{{{");
  }
  if (!Emit(kPreLineBegin)) return false;
  while (pos_ < eol)
    if (!TextChar(d_->preEncoder, d_->preUser)) return false;
  pos_ = NextLine(eol);
  return Emit(kPreLineEnd);
}

int32_t Converter::BlockPluginEnd(int32_t at, int32_t eol) const {
  if (at + 1 >= eol || src_[at + 1] != '<') return -1;
  // A call that fills its line is dropped with the line; one that goes on
  // over lines ends at a line starting with its closing marks.
  const int32_t end = PluginEnd(at, eol);
  if (end >= 0) return SkipBlanks(end) == eol ? NextLine(eol) : -1;
  const bool triple = at + 2 < eol && src_[at + 2] == '<';
  int32_t& unclosedFrom = blockUnclosedFrom_[triple];
  const int32_t first = NextLine(eol);
  if (unclosedFrom >= 0 && first >= unclosedFrom) return -1;
  for (int32_t line = first; line < n_;) {
    const int32_t e = Eol(line);
    const int32_t k = SkipBlanks(line);
    if (e - k >= 2 && src_[k] == '>' && src_[k + 1] == '>' &&
        (!triple || (e - k >= 3 && src_[k + 2] == '>')))
      return NextLine(e);
    line = NextLine(e);
  }
  unclosedFrom = first;
  return -1;
}

bool Converter::Finish() {
  switch (state_) {
    case Block::kHeading:
      if (!EndHeading()) return false;
      break;
    case Block::kPre:
      o_.wrap = true;
      o_.l = 0;
      o_.i = 0;
      if (!Emit(kPreEnd) || !Hook(d_->structureHook, 0, 0, 0, "{{{")) return false;
      break;
    default:
      if (!CloseStructure()) return false;
  }
  o_.l = 0;
  o_.i = 0;
  return (o_.flags & kMarkupFragment) || Emit(kDocumentEnd);
}

int32_t Converter::Run() {
  if (!(o_.flags & kMarkupFragment) && !Emit(kDocumentBegin)) return o_.result;
  while (pos_ < n_) {
    bool ok;
    switch (state_) {
      case Block::kBlockStart:
      case Block::kLineStart:
        ok = LineStart();
        break;
      case Block::kPre:
        ok = PreLine();
        break;
      case Block::kText:
      case Block::kHeading:
        ok = Inline();
        break;
      default:
        o_.result = kMarkupInconsistent;
        ok = false;
    }
    if (!ok) return o_.result ? o_.result : kMarkupInconsistent;
  }
  if (!Finish()) return o_.result ? o_.result : kMarkupInconsistent;
  return kMarkupDone;
}

}  // namespace markup

int32_t MarkupConvert(const char* source, int32_t sourceLength, char* buffer, int32_t bufferSize,
                      uint32_t flags, const char* newline, const MarkupDescriptor* descriptor,
                      int32_t fontSize, char** output, int32_t* outputLength, int32_t* charCount) {
  if (sourceLength < 0 || bufferSize < 0 || sourceLength > bufferSize / 2) return kMarkupNoRoom;
  const int32_t half = bufferSize / 2;
  auto* copy = reinterpret_cast<uint8_t*>(buffer);
  if (sourceLength) std::memmove(copy, source, sourceLength);
  if (!descriptor) descriptor = &BuiltinMarkupDescriptor(MarkupFormat::kPlain);
  // The output keeps a byte for its NUL.
  const int32_t capacity = bufferSize - half - 1;
  if (capacity < 0) return kMarkupNoRoom;
  markup::Converter c(descriptor, flags, newline ? newline : "\n", fontSize, copy, sourceLength,
                      copy + half, capacity);
  if (const int32_t e = c.Run()) return e;
  const MarkupOutput& o = c.Output();
  o.out[o.bytes] = 0;
  *output = reinterpret_cast<char*>(o.out);
  *outputLength = o.bytes;
  if (charCount) *charCount = MarkupCountChars(o.out, o.bytes);
  return kMarkupDone;
}

}  // namespace vke
