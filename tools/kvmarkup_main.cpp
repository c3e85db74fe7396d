// kvmarkup: converts help-text markup from a file or standard input into
// one of the built-in output formats and writes it to standard output.
//
//   kvmarkup --format plain|compact|null|markup|html|rtf|latex|man
//            [--flags N] [--size S] [FILE]
//
// The flags are the converter's option bits, the size its font size (below
// 1: the format's default). Exit status: 0 done, 1 a failed conversion, 2 a
// bad command line or an unreadable file.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "app/markup/markup_convert.hpp"
#include "tools/disk_file.hpp"

namespace {

using namespace vke;

int Usage(const std::string& problem) {
  std::fprintf(stderr,
               "kvmarkup: %s\n"
               "usage: kvmarkup --format plain|compact|null|markup|html|rtf|latex|man "
               "[--flags N] [--size S] [FILE]\n",
               problem.c_str());
  return 2;
}

// A whole decimal number in int32 range.
bool ParseNumber(const char* text, int64_t low, int64_t high, int64_t* value) {
  char* end;
  *value = std::strtoll(text, &end, 10);
  return *text && !*end && *value >= low && *value <= high;
}

}  // namespace

int main(int argc, char** argv) {
  std::string file;
  const char* format = nullptr;
  int64_t flags = 0, size = 0;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    const bool value = a == "--format" || a == "--flags" || a == "--size";
    if (value && i + 1 >= argc) return Usage(a + " needs a value");
    if (a == "--format") {
      format = argv[++i];
    } else if (a == "--flags") {
      if (!ParseNumber(argv[++i], 0, UINT32_MAX, &flags)) return Usage("bad --flags");
    } else if (a == "--size") {
      if (!ParseNumber(argv[++i], INT32_MIN, INT32_MAX, &size)) return Usage("bad --size");
    } else if (!a.empty() && a[0] != '-' && file.empty()) {
      file = a;
    } else {
      return Usage("unexpected argument " + a);
    }
  }
  // The help window's format needs its hooks; the tool offers the others.
  MarkupFormat f;
  if (!format || !FindMarkupFormat(format, &f) || f == MarkupFormat::kRichEdit)
    return Usage(format ? std::string("unknown format ") + format : "--format is missing");
  std::string source;
  if (file.empty()) {
    std::ostringstream s;
    s << std::cin.rdbuf();
    source = s.str();
  } else if (!ReadDiskFile(file, &source)) {
    return Usage(file + ": cannot be read: " + DiskFileReason(errno));
  }
  if (source.size() > INT32_MAX / 4) return Usage("the input is too large");
  // The output may outgrow the source: the buffer doubles until it fits.
  std::string output;
  const int32_t e = MarkupConvertGrown(source, static_cast<uint32_t>(flags), "\n",
                                       &BuiltinMarkupDescriptor(f), static_cast<int32_t>(size),
                                       2 * static_cast<int64_t>(source.size()) + 64, &output);
  if (e != kMarkupDone) {
    std::fprintf(stderr, "kvmarkup: the conversion failed (%d)\n", e);
    return 1;
  }
  std::fwrite(output.data(), 1, output.size(), stdout);
  return 0;
}
