// The round trip of a markup text through written markup (round_trip.hpp).
#include "tests/markup/round_trip.hpp"

#include <cctype>
#include <cstring>

#include "app/markup/markup_convert.hpp"

namespace vke {

namespace {

// The flags that say how a text is read; written markup is normalised and
// read back with none of them.
constexpr uint32_t kReadingFlags =
    kMarkupSingleEqualsLevel2 | kMarkupNoDefinitions | kMarkupNoIndent | kMarkupLineEndsParagraph |
    kMarkupNoEscape | kMarkupNoRule | kMarkupNoLinks | kMarkupNoImages | kMarkupNoTables |
    kMarkupNoUnderline | kMarkupNoMonospace | kMarkupNoScripts | kMarkupNoBold | kMarkupNoItalic |
    kMarkupNoPlugins;
// Anchors name source offsets, which differ between a text and its markup;
// inline preformatted text as monospace can nest in monospace, which
// markup cannot say.
constexpr uint32_t kNotCompared = kMarkupAnchors | kMarkupInlinePreMonospace;

bool IsWhite(char c) {
  return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

// Whether the tag at html[k] ("<" on) begins or ends a block, or breaks a
// line: white space beside it shows nothing.
bool BlockTag(const std::string& html, size_t k) {
  static const char* const kBlocks[] = {"p",  "li", "dt",    "dd",  "td",   "th",  "tr", "ul",
                                        "ol", "dl", "table", "div", "hr",   "br",  "h1", "h2",
                                        "h3", "h4", "h5",    "h6",  "body", "html"};
  size_t at = k + 1;
  if (at < html.size() && html[at] == '/') at++;
  size_t end = at;
  while (end < html.size() && std::isalnum(static_cast<unsigned char>(html[end]))) end++;
  const std::string name = html.substr(at, end - at);
  for (const char* b : kBlocks)
    if (name == b) return true;
  return false;
}

// A paragraph with nothing in it shows nothing: one that shown ends with
// ("<p", its attributes, ">", "</p>") is taken away.
void DropEmptyParagraph(std::string* shown) {
  constexpr char kEnd[] = "</p>";
  const size_t n = std::strlen(kEnd);
  if (shown->size() < n || shown->compare(shown->size() - n, n, kEnd) != 0) return;
  const size_t open = shown->rfind("<p");
  if (open == std::string::npos || shown->find('>', open) != shown->size() - n - 1) return;
  if ((*shown)[open + 2] == '>' || (*shown)[open + 2] == ' ') shown->erase(open);
}

}  // namespace

std::string ShownHtml(const std::string& html) {
  constexpr char kPre[] = "<pre", kPreEnd[] = "</pre>";
  std::string shown;
  bool afterBlock = true;  // white space here shows nothing
  size_t k = 0;
  while (k < html.size()) {
    if (html.compare(k, std::strlen(kPre), kPre) == 0) {
      const size_t end = html.find(kPreEnd, k);
      const size_t to = end == std::string::npos ? html.size() : end + std::strlen(kPreEnd);
      shown.append(html, k, to - k);
      k = to;
      afterBlock = true;
      continue;
    }
    if (IsWhite(html[k])) {
      while (k < html.size() && IsWhite(html[k])) k++;
      const bool beforeBlock = k < html.size() && html[k] == '<' && BlockTag(html, k);
      if (!afterBlock && !beforeBlock && k < html.size()) shown += ' ';
      continue;
    }
    if (html[k] == '<') {
      // The tag, its inner white space as single blanks.
      afterBlock = BlockTag(html, k);
      while (k < html.size() && html[k] != '>') {
        if (IsWhite(html[k])) {
          while (k < html.size() && IsWhite(html[k])) k++;
          shown += ' ';
        } else {
          shown += html[k++];
        }
      }
      if (k < html.size()) shown += html[k++];
      DropEmptyParagraph(&shown);
      // A line break in an image's text stands inside its tag.
      constexpr char kBreak[] = "<br />";
      const size_t n = std::strlen(kBreak);
      afterBlock =
          afterBlock || (shown.size() >= n && shown.compare(shown.size() - n, n, kBreak) == 0);
      continue;
    }
    afterBlock = false;
    shown += html[k++];
  }
  return shown;
}

RoundTrip MarkupRoundTrip(const std::string& text, uint32_t flags, int32_t fontSize,
                          int64_t firstSize) {
  RoundTrip r;
  const uint32_t compared = flags & ~kNotCompared;
  const MarkupDescriptor* html = &BuiltinMarkupDescriptor(MarkupFormat::kHtml);
  const MarkupDescriptor* markup = &BuiltinMarkupDescriptor(MarkupFormat::kMarkup);
  r.result = MarkupConvertGrown(text, compared, "\n", html, fontSize, firstSize, &r.html);
  if (!r.result)
    r.result = MarkupConvertGrown(text, compared, "\n", markup, fontSize, firstSize, &r.markup);
  if (!r.result)
    r.result = MarkupConvertGrown(r.markup, compared & ~kReadingFlags, "\n", html, fontSize,
                                  firstSize, &r.again);
  r.same = !r.result && ShownHtml(r.html) == ShownHtml(r.again);
  return r;
}

}  // namespace vke
