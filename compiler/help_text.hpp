// Help texts as sources and help files carry them. In a source, the help of
// a function is the block of comment lines right after its definition line
// ("%" and "//" lines, "/*" ... "*/" comments); its first line is taken as
// the usage line, its second as the short description. A help file holds
// entries: a line that begins with a key ("name" or "lib::name", up to the
// first blank) starts one, and everything up to the next such line is its
// text; the comment on the key line counts as the entry's first line.
// A "/*=" comment is markup for the help window and is kept whole.
#pragma once

#include <cstdint>

namespace vke {

// One line of a help text, its comment marker removed.
struct HelpLine {
  const char* text = nullptr;
  int32_t length = 0;
  bool markup = false;  // a "/*=" comment, whole (its text between "/*=" and "*/")
  bool shown = true;    // false for a key line without a comment: counted, not shown
};

// The lines of one help text, from a position at the start of a line (a
// source's help block) or right behind an entry's key (a help-file entry).
class HelpTextReader {
 public:
  enum class Kind : uint8_t {
    kSourceBlock,  // ends at the first line that is not a comment
    kFileEntry,    // blank lines belong to it; ends at the next key line
  };
  HelpTextReader(const char* text, int32_t length, int32_t pos, Kind kind);
  // The next line; false at the end of the text.
  bool Next(HelpLine* line);

 private:
  bool NextInBlockComment(HelpLine* line);

  const char* text_;
  int32_t length_;
  int32_t pos_;
  Kind kind_;
  bool first_;            // an entry's key line comes first
  bool inBlock_ = false;  // inside a "/*" comment
};

// The position of the line after a definition line that starts at pos,
// continuation lines ("...") included.
int32_t SkipDefinitionLines(const char* text, int32_t length, int32_t pos);

// The short description of a help text: its second line without its
// marker and leading blanks. False when the text has no second line.
bool ShortDescription(HelpTextReader reader, HelpLine* description);

// One entry of a help file.
struct HelpEntry {
  const char* key = nullptr;
  int32_t keyLength = 0;
  const char* library = nullptr;  // the "lib::" qualifier, null when none
  int32_t libraryLength = 0;
  int32_t textStart = 0;  // right behind the key
};

// Finds the next entry's key line from *pos on (lines inside comments and
// lines that begin with a blank or a comment are passed) and moves *pos to
// the line after it. False at the end of the file.
bool NextHelpEntry(const char* text, int32_t length, int32_t* pos, HelpEntry* entry);

// True when a line of help is empty or holds only blanks and tabs.
bool IsBlankHelpLine(const HelpLine& line);

}  // namespace vke
