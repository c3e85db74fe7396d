// The markup converter: help and about texts written in the light wiki-style
// markup of KV applications, turned in one pass into the output format of a
// descriptor (app/markup/markup_descriptor.hpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/markup/markup_descriptor.hpp"

namespace vke {

// Option flags of a conversion.
enum MarkupOption : uint32_t {
  kMarkupFragment = 1u << 0,             // no document begin and end
  kMarkupSingleEqualsLevel2 = 1u << 2,   // a heading with one "=" is of level 2
  kMarkupNumberLevel1 = 1u << 3,         // level-1 headings get numbers (variable i)
  kMarkupNumberLevel2 = 1u << 4,         // level-2 headings get numbers
  kMarkupNoDefinitions = 1u << 5,        // ";" makes no definition list
  kMarkupNoIndent = 1u << 6,             // ":" makes no indented block
  kMarkupLineEndsParagraph = 1u << 7,    // lines are not joined
  kMarkupNoEscape = 1u << 8,             // "~" is plain text
  kMarkupNoRule = 1u << 9,               // "----" is plain text
  kMarkupNoLinks = 1u << 10,             // "[[" is plain text
  kMarkupNoImages = 1u << 11,            // "{{" is plain text
  kMarkupNoTables = 1u << 12,            // "|" is plain text
  kMarkupNoUnderline = 1u << 13,         // "__" is plain text
  kMarkupNoMonospace = 1u << 14,         // "##" is plain text
  kMarkupNoScripts = 1u << 15,           // "^^" and ",," are plain text
  kMarkupNoBold = 1u << 16,              // "**" is plain text
  kMarkupNoItalic = 1u << 17,            // "//" is plain text
  kMarkupNoPlugins = 1u << 18,           // "<<" is plain text
  kMarkupInlinePreMonospace = 1u << 20,  // inline preformatted text as monospace
  kMarkupAnchors = 1u << 21,             // template variable x is 1
};

// Results of a conversion (a hook's own non-zero code is passed on).
inline constexpr int32_t kMarkupDone = 0;
inline constexpr int32_t kMarkupNoRoom = 1;        // the buffer is too small
inline constexpr int32_t kMarkupInconsistent = 3;  // the converter lost its state

// Converts source (sourceLength bytes) with the descriptor (null: plain
// text). The buffer's first half takes a copy of the source (which may
// already lie there), the second the output; nothing else is allocated. The
// output is NUL-terminated; *output points at it, *outputLength counts its
// bytes and *charCount (when given) its characters. A font size below 1
// means the descriptor's default.
int32_t MarkupConvert(const char* source, int32_t sourceLength, char* buffer, int32_t bufferSize,
                      uint32_t flags, const char* newline, const MarkupDescriptor* descriptor,
                      int32_t fontSize, char** output, int32_t* outputLength, int32_t* charCount);

// The same with a buffer of firstSize bytes that doubles while the
// conversion finds no room, up to the largest size a conversion takes; the
// output in *output. The result of the last attempt.
int32_t MarkupConvertGrown(std::string_view source, uint32_t flags, const char* newline,
                           const MarkupDescriptor* descriptor, int32_t fontSize, int64_t firstSize,
                           std::string* output);

}  // namespace vke
