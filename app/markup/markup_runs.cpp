// The run recorder over the markup converter, the conversion that doubles
// its buffers, link targets taken out of the text, and the format of each
// kind of run.
#include "app/markup/markup_runs.hpp"

#include <algorithm>
#include <cstring>

#include "app/markup/markup_convert.hpp"

namespace vke {

namespace {

// The tags the converter reports, with the kind of their runs; any other
// block tag ("p", "----") is a paragraph.
struct TagKind {
  const char* tag;
  int32_t kind;
  int32_t companion;  // a second run that ends with this one, or 0
};
constexpr TagKind kTagKinds[] = {
    {"#", kRunNumberedItem, 0},            // numbered list item
    {"*", kRunBulletItem, 0},              // bullet list item
    {":", kRunIndent, 0},                  // indented paragraph
    {";", kRunTerm, kRunTermText},         // definition term, in bold
    {";:", kRunDefinition, 0},             // definition
    {"=", kRunHeading, 0},                 // heading
    {"{{{", kRunMonospace, 0},             // preformatted block
    {"|", kRunCell, 0},                    // table cell
    {"|=", kRunCell, kRunHeaderCellText},  // header cell, in bold
    {"##", kRunMonospace, 0},              // monospace, inline preformatted
    {"**", kRunBold, 0},                   // bold
    {",,", kRunSubscript, 0},              // subscript
    {"//", kRunItalic, 0},                 // italic
    {"[[", kRunLink, 0},                   // link
    {"^^", kRunSuperscript, 0},            // superscript
    {"__", kRunUnderline, 0},              // underline
    {"{{", kRunImage, 0},                  // image
};

const TagKind& KindOfTag(const char* tag) {
  static constexpr TagKind kParagraphTag{"p", kRunParagraph, 0};
  for (const TagKind& t : kTagKinds) {
    if (tag != nullptr && std::strcmp(t.tag, tag) == 0) return t;
  }
  return kParagraphTag;
}

// The recorder's state: the runs, their capacity, the runs still open (with
// the tag they end with) and the output counted so far.
struct Recorder {
  std::vector<MarkupRun> runs;
  size_t capacity = 0;
  struct Open {
    size_t run;
    const TagKind* tag;
  };
  std::vector<Open> open;  // grows with the nesting
  const uint8_t* countedOut = nullptr;
  int32_t countedBytes = 0;
  int32_t chars = 0;

  // The output's length in characters, counting only what was added.
  int32_t Position(const MarkupOutput& out) {
    if (out.out != countedOut || out.bytes < countedBytes) {
      countedOut = out.out;
      countedBytes = 0;
      chars = 0;
    }
    chars += MarkupCountChars(out.out + countedBytes, out.bytes - countedBytes);
    countedBytes = out.bytes;
    return chars;
  }

  bool Add(int32_t kind, int32_t level, int32_t at, int32_t sourcePos) {
    if (runs.size() >= capacity) return false;
    runs.push_back({at, at, kind, level, sourcePos, 0});
    return true;
  }
};

int32_t RecordRun(int32_t level, int32_t, int32_t begin, const char* tag, int32_t sourcePos,
                  MarkupOutput* out, void* user) {
  auto* r = static_cast<Recorder*>(user);
  const int32_t at = r->Position(*out);
  const TagKind& t = KindOfTag(tag);
  if (begin) {
    if (!r->Add(t.kind, level, at, sourcePos)) return kMarkupRunsFull;
    r->open.push_back({r->runs.size() - 1, &t});
    if (t.companion != 0) {
      if (!r->Add(t.companion, level, at, sourcePos)) return kMarkupRunsFull;
    }
    return 0;
  }
  // The innermost open run of the same tag ends here, with its companion.
  auto o = std::find_if(r->open.rbegin(), r->open.rend(),
                        [&](const Recorder::Open& e) { return e.tag == &t; });
  if (o == r->open.rend()) return kMarkupInconsistent;
  const size_t first = o->run;
  const size_t last = t.companion != 0 ? first + 1 : first;
  for (size_t k = first; k <= last; ++k) {
    MarkupRun& run = r->runs[k];
    run.end = at;
    run.sourceLength = std::max(0, sourcePos - run.sourcePos);
  }
  r->open.erase(std::next(o).base());
  return 0;
}

// A size that doubles toward the limit; false once it is there.
bool Double(int32_t* size, int64_t limit) {
  if (*size >= limit) return false;
  *size = static_cast<int32_t>(std::min<int64_t>(int64_t{*size} * 2, limit));
  return true;
}

// The byte offset of every character of a UTF-8 text (lead and ASCII bytes,
// as the recorder counts them), and the text's end.
std::vector<size_t> CharOffsets(const std::string& text) {
  std::vector<size_t> at;
  for (size_t k = 0; k < text.size(); ++k) {
    if ((static_cast<uint8_t>(text[k]) & 0xC0) != 0x80) at.push_back(k);
  }
  at.push_back(text.size());
  return at;
}

// Takes each link's target and its bar out of the text, keeping the target
// with the run, and moves the runs to the shortened text.
void TakeLinkTargets(MarkupRuns* r) {
  const std::vector<size_t> at = CharOffsets(r->text);
  const auto chars = static_cast<int32_t>(at.size() - 1);
  std::vector<int32_t> removedBefore(at.size() + 1, 0);  // removed characters before each one
  std::vector<bool> removed(at.size(), false);
  for (size_t k = 0; k < r->runs.size(); ++k) {
    const MarkupRun& run = r->runs[k];
    if (run.kind != kRunLink) continue;
    const int32_t end = std::min(run.end, chars);
    int32_t bar = run.start;
    while (bar < end && r->text[at[bar]] != '|') ++bar;
    if (bar >= end) continue;
    r->links.push_back({k, r->text.substr(at[run.start], at[bar] - at[run.start])});
    for (int32_t c = run.start; c <= bar; ++c) removed[c] = true;
  }
  if (r->links.empty()) return;
  std::string text;
  for (int32_t c = 0; c < chars; ++c) {
    removedBefore[c + 1] = removedBefore[c] + (removed[c] ? 1 : 0);
    if (!removed[c]) text.append(r->text, at[c], at[c + 1] - at[c]);
  }
  for (MarkupRun& run : r->runs) {
    run.start -= removedBefore[std::clamp(run.start, 0, chars)];
    run.end -= removedBefore[std::clamp(run.end, 0, chars)];
  }
  r->text = std::move(text);
}

}  // namespace

int32_t ConvertMarkupRuns(std::string_view markup, bool showLinks, MarkupRuns* out) {
  const auto length = static_cast<int32_t>(std::min<size_t>(markup.size(), INT32_MAX / 4));
  return ConvertMarkupRuns(markup, showLinks, 2 * length + 1024, length + 116, out);
}

int32_t ConvertMarkupRuns(std::string_view markup, bool showLinks, int32_t outputBytes,
                          int32_t runListBytes, MarkupRuns* out) {
  *out = MarkupRuns{};
  if (markup.size() > INT32_MAX / 4) return kMarkupNoRoom;
  const auto length = static_cast<int32_t>(markup.size());
  const int64_t limit = std::min<int64_t>(int64_t{10} * length + 65536, INT32_MAX);
  MarkupDescriptor descriptor = BuiltinMarkupDescriptor(MarkupFormat::kRichEdit);
  descriptor.structureHook = &RecordRun;
  descriptor.styleHook = &RecordRun;
  if (showLinks) descriptor.text[kLinkMiddle] = "|";
  std::vector<char> buffer;
  for (;;) {
    out->attempts++;
    Recorder recorder;
    recorder.capacity =
        static_cast<size_t>(std::max(0, runListBytes - kRunListHeaderBytes) / kRunRecordBytes);
    recorder.runs.reserve(recorder.capacity);
    descriptor.hookUser = &recorder;
    buffer.assign(static_cast<size_t>(outputBytes), 0);
    char* text = nullptr;
    int32_t textLength = 0;
    const int32_t e = MarkupConvert(markup.data(), length, buffer.data(), outputBytes, 0, "\n",
                                    &descriptor, 0, &text, &textLength, nullptr);
    if (e == kMarkupDone) {
      out->text.assign(text, static_cast<size_t>(textLength));
      out->runs = std::move(recorder.runs);
      if (showLinks) TakeLinkTargets(out);
      return kMarkupDone;
    }
    const bool retry = e == kMarkupNoRoom     ? Double(&outputBytes, limit)
                       : e == kMarkupRunsFull ? Double(&runListBytes, limit)
                                              : false;
    if (!retry) {
      const int32_t attempts = out->attempts;
      *out = MarkupRuns{};
      out->attempts = attempts;
      return e;
    }
  }
}

MarkupRunFormat FormatOfRun(const MarkupRun& run, bool showLinks) {
  constexpr int32_t kIndentTwips = 300;
  constexpr int32_t kIndentStepTwips = 600;
  constexpr int32_t kScriptTwips = 100;
  constexpr int32_t kHeadingStepTwips = 40;
  MarkupRunFormat f;
  switch (run.kind) {
    case kRunBold:
    case kRunTermText:
    case kRunHeaderCellText:
      f.bold = true;
      break;
    case kRunItalic:
      f.italic = true;
      break;
    case kRunUnderline:
      f.underline = true;
      break;
    case kRunSuperscript:
      f.baselineTwips = kScriptTwips;
      break;
    case kRunSubscript:
      f.baselineTwips = -kScriptTwips;
      break;
    case kRunMonospace:
      f.monospace = true;
      break;
    case kRunLink:
      f.link = showLinks;
      break;
    case kRunParagraph:
      f.paragraph = true;
      f.leftIndentTwips = kIndentTwips;
      f.subIndentTwips = -kIndentTwips;
      break;
    case kRunHeading:
      // Levels beyond the descriptor's four would come out too small.
      f.fontTwips = (10 - std::clamp(run.level, 1, 9)) * kHeadingStepTwips;
      f.centred = run.level == 1;
      break;
    case kRunIndent:
      f.paragraph = true;
      f.leftIndentTwips =
          std::clamp(run.level, 0, kMarkupMaxDepth) * kIndentStepTwips + kIndentTwips;
      f.subIndentTwips = -kIndentTwips;
      break;
    default:
      break;
  }
  return f;
}

}  // namespace vke
