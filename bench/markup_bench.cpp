// Speed of the markup converter: a help text of 1 MB that uses every
// construct, converted to HTML and to plain text (milliseconds per
// megabyte, best of several runs; the target is under 50); 10 MB on one
// line of each construct that looks for its end on the line (one word, and
// closed or unclosed plugins, links and images), whose time per megabyte
// should be that of the text of many lines (the ratio printed); 10 MB of
// one table row of empty cells in plain, compact and man output, likewise;
// and the same text converted by pandoc's creole reader to HTML as a whole
// process, when pandoc is installed, with the ratio of its time to ours.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/markup/markup_convert.hpp"

namespace {

constexpr size_t kTextBytes = 1 << 20;
constexpr int kRuns = 5;

// One section of a help text: headings, paragraphs with every inline
// style, links, images, lists, definitions, indents, tables, a rule and
// preformatted text.
constexpr char kSection[] =
    "= Section =\n"
    "A paragraph with **bold**, //italic//, __underlined__, ^^super^^, ,,sub,, and\n"
    "##monospace## text, a [[http://example.org/page|link]], an {{image.png|image}},\n"
    "an escaped ~** and a forced\\\\ line break, long enough to wrap at least once.\n"
    "\n"
    "== Lists ==\n"
    "* first item\n"
    "** nested item with **bold** text\n"
    "* second item\n"
    "# numbered\n"
    "# numbered again\n"
    "; term : definition of the term\n"
    ": indented paragraph\n"
    "\n"
    "|= Name |= Value |\n"
    "| width | 10 |\n"
    "| height | 20 |\n"
    "\n"
    "----\n"
    "{{{\n"
    "preformatted <text> & more\n"
    "}}}\n"
    "Inline {{{code}}} & <tags> in \"quotes\".\n"
    "\n";

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The best time of kRuns conversions of text into the format.
double TimeConversion(const std::string& text, vke::MarkupFormat format) {
  std::vector<char> buffer(8 * text.size());
  double best = 1e9;
  for (int run = 0; run < kRuns; run++) {
    char* out;
    int32_t length;
    const auto start = std::chrono::steady_clock::now();
    const int32_t e =
        vke::MarkupConvert(text.data(), static_cast<int32_t>(text.size()), buffer.data(),
                           static_cast<int32_t>(buffer.size()), 0, "\n",
                           &vke::BuiltinMarkupDescriptor(format), 0, &out, &length, nullptr);
    best = std::min(best, Seconds(start));
    if (e) {
      std::fprintf(stderr, "conversion failed (%d)\n", e);
      std::exit(1);
    }
  }
  return best;
}

}  // namespace

int main() {
  std::string text;
  while (text.size() < kTextBytes) text += kSection;
  const double mb = text.size() / double(1 << 20);
  const double html = TimeConversion(text, vke::MarkupFormat::kHtml);
  const double plain = TimeConversion(text, vke::MarkupFormat::kPlain);
  std::printf("markup to HTML:  %8.2f ms per MB\n", 1000 * html / mb);
  std::printf("markup to plain: %8.2f ms per MB\n", 1000 * plain / mb);
  constexpr size_t kLineBytes = 10 << 20;
  for (const char* piece : {"a", "<<a>> ", "<<x ", "[[x ", "{{x ", "{{{x "}) {
    std::string line;
    while (line.size() < kLineBytes) line += piece;
    line += '\n';
    const double t = TimeConversion(line, vke::MarkupFormat::kPlain);
    const double perMb = 1000 * t / (line.size() / double(1 << 20));
    std::printf("one line of \"%s\" to plain: %8.2f ms per MB (%.1f x the text of many lines)\n",
                piece, perMb, perMb / (1000 * plain / mb));
  }
  // A table row of empty cells comes out as one line of blanks, which
  // never breaks, in each format that wraps lines.
  const struct {
    const char* name;
    vke::MarkupFormat format;
  } wrapping[] = {{"plain", vke::MarkupFormat::kPlain},
                  {"compact", vke::MarkupFormat::kCompact},
                  {"man", vke::MarkupFormat::kMan}};
  for (const char* piece : {"|", "| "}) {
    std::string row;
    while (row.size() < kLineBytes) row += piece;
    row += "x\n";
    for (const auto& w : wrapping) {
      const double t = TimeConversion(row, w.format);
      const double perMb = 1000 * t / (row.size() / double(1 << 20));
      std::printf("one row of \"%s\" to %s: %8.2f ms per MB (%.1f x the text of many lines)\n",
                  piece, w.name, perMb, perMb / (1000 * plain / mb));
    }
  }

  if (std::system("command -v pandoc >/dev/null 2>&1") != 0) {
    std::printf("pandoc is not installed: no comparison\n");
    return 0;
  }
  const std::string path = "/tmp/markup_bench_help.txt";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size()) return 1;
  std::fclose(f);
  const std::string command = "pandoc -f creole -t html -o /dev/null " + path;
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const double pandoc = Seconds(start);
  std::remove(path.c_str());
  if (status != 0) {
    std::printf("pandoc failed (%d)\n", status);
    return 1;
  }
  std::printf("pandoc creole to HTML: %8.2f ms per MB\n", 1000 * pandoc / mb);
  std::printf("ratio pandoc / markup to HTML: %.1f\n", pandoc / html);
  return 0;
}
