// Help text for a rich-text window: the markup converted to plain text with
// the rich-edit descriptor while a hook records where each construct begins
// and ends in the output (a run), and the format each kind of run gets. The
// window puts the text in and formats the runs one by one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/markup/markup_descriptor.hpp"

namespace vke {

// What a run is, by the tag the converter reported it with.
enum MarkupRunKind : int32_t {
  kRunBold = 1,
  kRunItalic = 2,
  kRunUnderline = 3,
  kRunSuperscript = 4,
  kRunSubscript = 5,
  kRunMonospace = 6,  // also preformatted blocks
  kRunLink = 7,
  kRunImage = 8,
  kRunTermText = 9,         // the text of a definition term, in bold
  kRunHeaderCellText = 10,  // the text of a header cell, in bold
  kRunParagraph = 11,       // also rules and anything else
  kRunHeading = 12,
  kRunCell = 13,
  kRunBulletItem = 14,
  kRunNumberedItem = 15,
  kRunTerm = 16,
  kRunDefinition = 17,
  kRunIndent = 18,
};

// One construct of the output: [start, end) in characters of the output,
// its kind and level (-1 for inline styles), and where it began in the
// source and how many source bytes it took.
struct MarkupRun {
  int32_t start;
  int32_t end;
  int32_t kind;
  int32_t level;
  int32_t sourcePos;
  int32_t sourceLength;
};

// A link shown with its target: the run and the target, which was cut out
// of the text.
struct MarkupLinkTarget {
  size_t run;
  std::string target;
};

struct MarkupRuns {
  std::string text;  // UTF-8; positions count its characters
  std::vector<MarkupRun> runs;
  std::vector<MarkupLinkTarget> links;
  // Conversions tried: a full output buffer or a full run list doubles it.
  int32_t attempts = 0;
};

// The run list's header takes 92 bytes of its buffer, each record 24.
inline constexpr int32_t kRunListHeaderBytes = 92;
inline constexpr int32_t kRunRecordBytes = 24;
// A full run list answers this code to the converter.
inline constexpr int32_t kMarkupRunsFull = 4;

// Converts the markup (UTF-8) with the rich-edit descriptor, recording the
// runs; the output buffer starts at twice the text's length plus 1,024
// bytes and the run list at its length plus 116, and each doubles while the
// conversion finds it full, up to ten times the length plus 65,536 bytes.
// With links shown, a link's target is taken out of the text and kept with
// its run. 0, or the converter's or the recorder's failure (nothing then).
int32_t ConvertMarkupRuns(std::string_view markup, bool showLinks, MarkupRuns* out);

// The same with the first sizes given, for the tests of the doubling.
int32_t ConvertMarkupRuns(std::string_view markup, bool showLinks, int32_t outputBytes,
                          int32_t runListBytes, MarkupRuns* out);

// How a run is formatted, in twips (1/1440 inch); nothing set for the kinds
// that get no format (images, cells and lists) and for links not shown.
struct MarkupRunFormat {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool monospace = false;       // the face "Courier"
  bool link = false;            // clickable, to the run's target
  int32_t baselineTwips = 0;    // raised (+) or lowered (-)
  bool paragraph = false;       // the indents below apply
  int32_t leftIndentTwips = 0;  // of the first line
  int32_t subIndentTwips = 0;   // of the other lines, from the first
  int32_t fontTwips = 0;        // 0 keeps the size
  bool centred = false;
};
MarkupRunFormat FormatOfRun(const MarkupRun& run, bool showLinks);

// The face of monospace runs.
inline constexpr const char* kMarkupMonospaceFace = "Courier";

}  // namespace vke
