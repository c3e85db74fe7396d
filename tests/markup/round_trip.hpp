// The round trip of a markup text: the text written as markup and that
// markup read back give the HTML the text gives. Shared by the markup tests
// and the converter's fuzzer.
#pragma once

#include <cstdint>
#include <string>

namespace vke {

struct RoundTrip {
  std::string markup;  // the text written as markup
  std::string html;    // the text as HTML
  std::string again;   // the markup read back as HTML
  int32_t result = 0;  // a conversion's failure, 0 when all three were done
  bool same = false;   // the two HTML texts say the same
};

// The round trip of text read with flags (the converter's options; those
// that name source offsets or have no markup form are left out), its
// buffers starting at firstSize bytes and doubling as they must.
RoundTrip MarkupRoundTrip(const std::string& text, uint32_t flags, int32_t fontSize = 0,
                          int64_t firstSize = 64);

// HTML with each run of white space outside preformatted blocks as one
// blank, and none beside the tags of blocks and line breaks: texts a
// browser shows alike come out the same.
std::string ShownHtml(const std::string& html);

}  // namespace vke
