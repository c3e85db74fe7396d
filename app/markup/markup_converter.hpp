// The converter's working state, shared by its block part
// (markup_convert.cpp) and its inline part (markup_inline.cpp).
#pragma once

#include "app/markup/markup_convert.hpp"

namespace vke::markup {

// Block states of the converter.
enum class Block : uint8_t {
  kText = 0,        // running text of a paragraph, item or cell
  kPre = 1,         // a preformatted block
  kHeading = 2,     // the text of a heading
  kLineStart = 3,   // the start of a line inside a block
  kInlinePre = 4,   // inline preformatted text
  kBlockStart = 5,  // the start of a block
};

// Inline styles, in the order of their rows in kStyles.
enum Style : uint8_t {
  kBold,
  kItalic,
  kUnderline,
  kSuperscript,
  kSubscript,
  kMonospace,
  kInlinePre,
  kLink,
  kImage,
};

struct StyleSpec {
  const char* tag;  // as the style hook reports it
  MarkupTemplate begin, end;
  uint32_t off;  // the option that makes its marks plain text
};

inline constexpr StyleSpec kStyles[] = {
    {"**", kBoldBegin, kBoldEnd, kMarkupNoBold},                   // bold
    {"//", kItalicBegin, kItalicEnd, kMarkupNoItalic},             // italic
    {"__", kUnderlineBegin, kUnderlineEnd, kMarkupNoUnderline},    // underline
    {"^^", kSuperscriptBegin, kSuperscriptEnd, kMarkupNoScripts},  // superscript
    {",,", kSubscriptBegin, kSubscriptEnd, kMarkupNoScripts},      // subscript
    {"##", kMonospaceBegin, kMonospaceEnd, kMarkupNoMonospace},    // monospace
    {"##", kMonospaceBegin, kMonospaceEnd, 0},                     // inline preformatted
    {"[[", kLinkBegin, kLinkEnd, kMarkupNoLinks},                  // link
    {"{{", kImageBegin, kImageEnd, kMarkupNoImages},               // image
};

// An open inline style; a link or image keeps its target for reopening.
struct OpenStyle {
  Style style;
  int32_t target, targetLength;
};

class Converter {
 public:
  Converter(const MarkupDescriptor* d, uint32_t flags, const char* newline, int32_t fontSize,
            const uint8_t* source, int32_t length, uint8_t* out, int32_t capacity);
  // 0 when the whole source is converted, else why not.
  int32_t Run();
  const MarkupOutput& Output() const { return o_; }

 private:
  // ---- Emission ----
  bool Emit(MarkupTemplate slot);
  bool Hook(MarkupHookFn hook, int32_t level, int32_t number, int32_t begin, const char* tag);
  // One character of running text from pos (its UTF-8 sequence); moves pos.
  bool TextChar(MarkupEncodeFn encoder, const void* user);
  bool Encode(MarkupEncodeFn encoder, const void* user, const uint8_t* text, int32_t length);
  bool Target(int32_t at, int32_t length);
  // The space template for blanks, but none at the start of an output line
  // (nor where the format's reader would not see it).
  bool Space();
  // The text of a preformatted run or a shown target, from pos to end.
  bool RunText(int32_t end);
  // Drops the blanks that end the open block's text where the format's
  // reader drops them.
  void TrimBlankEnd();
  int32_t CharLength(int32_t at) const;

  // ---- Blocks (markup_convert.cpp) ----
  bool LineStart();
  bool Heading(int32_t at);
  bool EndHeading();
  // What a line that is not blank, from its first character at on, opens
  // at the start of a block or line.
  enum class LineKind : uint8_t { kText, kPre, kRule, kHeading, kPlugin, kItem, kRow };
  LineKind Classify(int32_t at, int32_t eol) const;
  // Whether the line after the line end eol goes on with the open block's
  // text (joined by a blank).
  bool NextLineJoins(int32_t eol) const;
  // The marks of the list, definition or indent item that the line at `at`
  // opens: their count (0 for none), where they end, and how many open
  // levels they continue.
  int32_t ItemMarks(int32_t at, int32_t eol, int32_t* end, int32_t* kept) const;
  bool ListItem(int32_t at, int32_t eol);
  bool TableRow(int32_t at);
  bool OpenCell();
  bool EndCell();
  void TrimBlanks();
  bool PreLine();
  bool OpenParagraph();
  bool OpenItem();
  bool PushLevel(MarkupLevel kind);
  bool EndBlock();
  bool CloseLevelsTo(int32_t depth);
  bool CloseStructure();
  bool Finish();
  // Where the block plugin call at `at` ends (the start of the line after
  // it), or -1 when the line holds none.
  int32_t BlockPluginEnd(int32_t at, int32_t eol) const;
  bool InTable() const;

  // ---- Running text (markup_inline.cpp) ----
  bool Inline();
  bool LineEnd();
  bool Blanks();
  bool Special(bool* handled);
  bool Toggle(Style style, int32_t target, int32_t targetLength);
  bool OpenStyleTemplates(const OpenStyle& s);
  bool CloseStyleTemplates(const OpenStyle& s);
  bool CloseStyles();
  // Whether the open or closed link or image s is kept whole on its line
  // (else at most its target, while it is written).
  bool KeptWhole(const OpenStyle& s) const;
  void Keep();
  void Release();
  bool LinkOrImage(Style style, bool* handled);
  bool InlinePre(bool* handled);
  int32_t PluginEnd(int32_t at, int32_t eol) const;
  // The closing marks searched for on a line: "]]", "}}", ">>", ">>>" and
  // a run of "}}}".
  enum Closer { kLinkClose, kImageClose, kPluginClose, kLongPluginClose, kPreClose, kCloserCount };
  // A search for closing marks that found none from `from` to the line end
  // eol finds none from any later place of that line either: remembered, a
  // line full of unclosed openings is read once, not once per opening.
  struct FailedSearch {
    int32_t from = 0, eol = -1;
  };
  bool KnownUnclosed(Closer kind, int32_t from, int32_t eol) const;
  void NoteUnclosed(Closer kind, int32_t from, int32_t eol) const;
  bool ClosingEquals(int32_t at) const;
  bool UrlSlashes() const;

  int32_t Eol(int32_t at) const;
  int32_t NextLine(int32_t eol) const;
  int32_t SkipBlanks(int32_t at) const;

  MarkupOutput o_;
  const MarkupDescriptor* d_;
  const uint8_t* src_;
  int32_t n_;
  int32_t pos_ = 0;
  Block state_ = Block::kBlockStart;
  bool paragraphOpen_ = false;
  bool itemOpen_ = false;  // an item of the innermost level
  bool rowOpen_ = false;
  bool cellOpen_ = false;
  int32_t textStart_ = 0;  // output offset where the open block's text starts
  int32_t breakEnd_ = -1;  // output offset just past the last forced line break
  int32_t headingLevel_ = 0, headingNumber_ = 0;
  int32_t headingCount_[2] = {0, 0};  // numbers of levels 1 and 2
  OpenStyle styles_[kMarkupMaxStyles];
  int32_t styleCount_ = 0;
  int32_t kept_ = 0;  // kept constructs open (Keep, Release)
  // The line end found last and the place its search started: every place
  // between them has the same line end (lines are read forward).
  mutable int32_t eolFrom_ = 0, eolAt_ = -1;
  mutable FailedSearch unclosed_[kCloserCount];
  // A run of "=" in a heading's text that text follows: it closes the
  // heading from none of its places, so that a long run is read once.
  struct Span {
    int32_t from = 0, to = 0;
  };
  mutable Span openEquals_;
  // Lines from this place on hold no line that closes a block plugin call
  // (">>", or ">>>" for the long form): calls that never close are not
  // searched for to the end of the text once each.
  mutable int32_t blockUnclosedFrom_[2] = {-1, -1};
};

inline bool IsBlank(uint8_t c) {
  return c == ' ' || c == '\t';
}
inline bool IsLineEnd(uint8_t c) {
  return c == '\n' || c == '\r';
}

}  // namespace vke::markup
