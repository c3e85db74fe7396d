// Markup output descriptors: what the markup converter emits for every
// construct, as templates of a small template language, plus the
// character encoders and line-break finders of a format; the output state
// the converter shares with them; and the built-in descriptors.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

namespace vke {

enum MarkupTemplate : int32_t {
#define MARKUP_TEMPLATE(slot, what) slot,
#include "app/markup/markup_templates.def"
#undef MARKUP_TEMPLATE
  kMarkupTemplateCount
};

// Levels of the converter's nesting stack and open inline styles; the
// stack's depth is the deepest nesting the markup can reach.
inline constexpr int32_t kMarkupMaxDepth = 8;
inline constexpr int32_t kMarkupMaxStyles = 9;

enum class MarkupLevel : uint8_t {
  kBullet,
  kNumbered,
  kTerm,
  kDefinition,
  kIndent,
  kCell,
  kHeaderCell,
};

// What each kind of level emits: its mark in a list prefix (none for table
// levels), the markup tag its items are reported with, and its templates.
struct MarkupLevelSpec {
  char mark;
  const char* tag;
  MarkupTemplate listBegin, listEnd, itemBegin, itemEnd;
};

// Rows in the order of MarkupLevel.
inline constexpr MarkupLevelSpec kMarkupLevels[] = {
    {'*', "*", kBulletListBegin, kBulletListEnd, kBulletItemBegin, kBulletItemEnd},
    {'#', "#", kNumberedListBegin, kNumberedListEnd, kNumberedItemBegin, kNumberedItemEnd},
    {';', ";", kDefinitionListBegin, kDefinitionListEnd, kTermBegin, kTermEnd},
    {':', ";:", kDefinitionListBegin, kDefinitionListEnd, kDefinitionBegin, kDefinitionEnd},
    {':', ":", kIndentBegin, kIndentEnd, kIndentedParagraphBegin, kIndentedParagraphEnd},
    {0, "|", kTableBegin, kTableEnd, kCellBegin, kCellEnd},
    {0, "|=", kTableBegin, kTableEnd, kHeaderCellBegin, kHeaderCellEnd},
};

inline const MarkupLevelSpec& LevelSpec(MarkupLevel kind) {
  return kMarkupLevels[static_cast<int32_t>(kind)];
}

struct MarkupNesting {
  MarkupLevel kind;
  int32_t counter;  // the next item number of a numbered list
};

struct MarkupDescriptor;

// The converter's output state, shared with the descriptor's routines.
struct MarkupOutput {
  uint8_t* out;           // the output area
  int32_t bytes;          // bytes written
  int32_t capacity;       // bytes the output may take (its NUL not counted)
  const uint8_t* source;  // the copy of the source
  int32_t sourcePos;      // the next source byte
  int32_t sourceLength;
  int32_t indent;     // blanks after each line feed of a template
  int32_t column;     // characters since the last line end
  int32_t lineStart;  // output offset of the current line
  MarkupNesting nesting[kMarkupMaxDepth];
  int32_t depth;
  const MarkupDescriptor* descriptor;
  const char* newline;
  int32_t newlineLength;
  char escape;
  uint32_t flags;
  // Template variables: level, item or heading number, font size, source
  // position of the construct, anchors wanted.
  int32_t l, i, s, o, x;
  bool wrap;     // the line width applies (not in preformatted text, nor in
                 // headings and rows the descriptor keeps unbroken)
  bool heading;  // the text is a heading's, which a run of "=" may close
  // The source line after the current one goes on with its text, joined
  // by a blank.
  bool lineJoins;
  // Inside a preformatted run written as text: the source offset of its
  // closing marks, which emit nothing; else -1.
  int32_t runClose;
  // The line at unbreakableStart had no place to break in its first
  // unbreakableLength bytes (after its indentation): a long word is not
  // searched again from its start for every character added.
  int32_t unbreakableStart;
  int32_t unbreakableLength;
  // The line at leadStart begins with at least leadLength blanks (its
  // indentation): a line of blanks is not counted again from its start for
  // every character added.
  int32_t leadStart;
  int32_t leadLength;
  // No break goes into kept text: while keeping, none at or after
  // keepFrom; and none before keepTo on its line. A link's target shown in
  // the output is kept, and in a line-bound format its whole link or image.
  bool keeping;
  int32_t keepFrom;
  int32_t keepTo;
  int32_t result;  // why the conversion stopped: 1 no room, or a hook's code
};

// Writes one character (a UTF-8 sequence or a single byte) or a link target
// into the output; false when it does not fit.
using MarkupEncodeFn = bool (*)(MarkupOutput* out, const uint8_t* text, int32_t length,
                                const void* user);
// Where the line of length bytes may break: the offset at which the newline
// goes and in *removed how many bytes the break replaces; -1 for nowhere.
using MarkupBreakFn = int32_t (*)(const uint8_t* line, int32_t length, int32_t* removed,
                                  const void* user);
// A structure or style hook: (level, number, 1 begin / 0 end, markup tag,
// source position, output state, user word); non-zero aborts the conversion.
using MarkupHookFn = int32_t (*)(int32_t level, int32_t number, int32_t begin, const char* tag,
                                 int32_t sourcePos, MarkupOutput* out, void* user);

struct MarkupPrefix {
  const char* prefix;
  const char* replacement;
};

struct MarkupDescriptor {
  std::array<const char*, kMarkupTemplateCount> text{};  // absent: emits nothing
  int32_t defaultFontSize = 10;
  char escape = '%';
  int32_t headingLevels = 4;
  bool plainAttributes = false;            // style marks inside an image's text are dropped
  const MarkupPrefix* prefixes = nullptr;  // ends with a null prefix
  MarkupEncodeFn targetEncoder = nullptr;
  const void* targetUser = nullptr;
  MarkupEncodeFn textEncoder = nullptr;
  const void* textUser = nullptr;
  MarkupEncodeFn preEncoder = nullptr;
  const void* preUser = nullptr;
  int32_t lineWidth = 70;  // -1: no wrapping
  // Headings, table rows, links and images are never broken: the format
  // reads a line end as their end.
  bool lineBound = false;
  // The output is markup that the converter reads back: every blank of the
  // text, preformatted runs' included, is written as it is read (a run as
  // one, none that starts or ends a block's text or follows a line break),
  // and a paragraph with no text is left out, so that the output written
  // again comes out the same.
  bool readBack = false;
  MarkupBreakFn breakFinder = nullptr;
  const void* breakUser = nullptr;
  MarkupHookFn structureHook = nullptr;
  MarkupHookFn styleHook = nullptr;
  void* hookUser = nullptr;
};

struct MarkupTemplateText {
  MarkupTemplate slot;
  const char* text;
};

// A descriptor with the given templates; the other fields are set after.
constexpr MarkupDescriptor MakeMarkupDescriptor(std::initializer_list<MarkupTemplateText> texts) {
  MarkupDescriptor d;
  for (const MarkupTemplateText& t : texts) d.text[t.slot] = t.text;
  return d;
}

// The built-in output formats.
enum class MarkupFormat : uint8_t {
  kPlain,
  kCompact,
  kNull,
  kMarkup,
  kHtml,
  kRtf,
  kLatex,
  kMan,
  kRichEdit,
};

const MarkupDescriptor& BuiltinMarkupDescriptor(MarkupFormat format);
// The format of a name ("plain", "compact", "null", "markup", "html", "rtf",
// "latex", "man", "richedit"); false for another.
bool FindMarkupFormat(const char* name, MarkupFormat* format);

// ---- Output primitives (app/markup/markup_output.cpp) ----

// Appends bytes as they are, keeping the column; false (result 1) when full.
bool MarkupPut(MarkupOutput* out, const void* bytes, int32_t length);
// Breaks the current line while it is wider than the descriptor's width.
bool MarkupWrapLine(MarkupOutput* out);
// Expands a template (length -1: NUL-terminated) into the output.
bool MarkupExpandTemplate(const char* text, int32_t length, char escape, MarkupOutput* out);
// The value of an integer expression over the template variables; 1 when
// it is malformed.
int32_t MarkupEvalExpression(const char* text, int32_t length, const MarkupOutput* out);
// The characters (lead and ASCII bytes) of a UTF-8 text.
int32_t MarkupCountChars(const uint8_t* text, int32_t length);

// ---- Encoders and break finders of the built-ins (markup_encoders.cpp) ----

// The characters that make a block token at the start of a line of markup
// (a list item, a term, an indented block, a heading, a rule, a table row):
// written there they are escaped, and a line of markup never breaks before
// one.
inline constexpr char kMarkupLineStartTokens[] = "*#;:=-|";
// The bytes besides blanks and tabs that may start a token in running text.
inline constexpr char kMarkupInlineTokenStarts[] = "~\\*/_^,#[]{}<|:=";

bool MarkupHtmlEncode(MarkupOutput* out, const uint8_t* text, int32_t length, const void* user);
bool MarkupLatexEncode(MarkupOutput* out, const uint8_t* text, int32_t length, const void* user);
bool MarkupLatexTargetEncode(MarkupOutput* out, const uint8_t* text, int32_t length,
                             const void* user);
bool MarkupRtfTargetEncode(MarkupOutput* out, const uint8_t* text, int32_t length,
                           const void* user);
bool MarkupRtfEncode(MarkupOutput* out, const uint8_t* text, int32_t length, const void* user);
bool MarkupMarkupEncode(MarkupOutput* out, const uint8_t* text, int32_t length, const void* user);
bool MarkupManEncode(MarkupOutput* out, const uint8_t* text, int32_t length, const void* user);
bool MarkupNullEncode(MarkupOutput* out, const uint8_t* text, int32_t length, const void* user);
// Replaces the last blank or tab that a character follows, one not in the
// user's text (a NUL-terminated list, or none); the default of every
// descriptor.
int32_t MarkupBreakAtBlank(const uint8_t* line, int32_t length, int32_t* removed, const void* user);
// Breaks after the last blank, which stays at the end of the line.
int32_t MarkupBreakAfterBlank(const uint8_t* line, int32_t length, int32_t* removed,
                              const void* user);

}  // namespace vke
