// The results the examples of the help files state in their comments, and
// their check against what the examples print. The form is the one
// docs/authoring.md defines under "Help files and the results of their
// examples": the comment of a code line that prints states what it prints
// (up to a ": " that starts a remark); a block's lines state, in order,
// what the block prints.
#pragma once

#include <string>
#include <vector>

namespace vke::test {

// A code line split at its comment ("%" or "//" outside a text).
struct CodeLine {
  std::string code;
  std::string comment;  // without "%" and the blanks after it; empty when none
};
CodeLine SplitCodeLine(const std::string& line);

// The statements of an example that a marker may follow: a line at the top
// (out of any block, not continued with "..."), or a whole block; with what
// their comments state. The comment of a line that opens a block is a
// remark.
struct ExampleSegment {
  std::vector<std::string> lines;
  std::string stated;  // the results stated, one after the other
  bool states = false;
};
std::vector<ExampleSegment> SegmentExample(const std::string& code);

// The example's text with a line after each segment that writes the
// marker, and what was printed between markers, segment by segment (empty
// when the markers are not all there).
std::string MarkedExample(const std::vector<ExampleSegment>& segments);
std::vector<std::string> PrintedBySegment(const std::string& output, size_t segments);

// Whether what a segment printed is what its comments state, compared word
// by word; why not in *why.
bool PrintedAsStated(const std::string& printed, const std::string& stated, std::string* why);

}  // namespace vke::test
