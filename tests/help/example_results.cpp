// Splitting help examples into the statements a result is stated for, and
// comparing what they print with what their comments state.
#include "tests/help/example_results.hpp"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>

namespace vke::test {

namespace {

constexpr char kMarker[] = "@@stated@@";
constexpr char kRemark[] = ": ";

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Whether the character at i starts a text: a double quote, or a quote
// that follows no value (after a value it transposes).
bool OpensText(const std::string& code, size_t i) {
  if (code[i] == '"') return true;
  if (code[i] != '\'') return false;
  const char before = i > 0 ? code[i - 1] : ' ';
  return !(IsNameChar(before) || before == ')' || before == ']' || before == '}' || before == '.' ||
           before == '\'');
}

// The words of a code line outside texts and brackets: what opens and
// closes blocks.
std::vector<std::string> TopWords(const std::string& code) {
  std::vector<std::string> words;
  int brackets = 0;
  std::string word;
  char quote = 0;
  for (size_t i = 0; i <= code.size(); i++) {
    const char c = i < code.size() ? code[i] : ' ';
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (IsNameChar(c)) {
      word += c;
      continue;
    }
    if (!word.empty() && brackets == 0) words.push_back(word);
    word.clear();
    if (c == '(' || c == '[' || c == '{') brackets++;
    if ((c == ')' || c == ']' || c == '}') && brackets > 0) brackets--;
    if (OpensText(code, i)) quote = c;
  }
  return words;
}

int DepthChange(const std::string& code, bool* opens) {
  static const std::set<std::string> kOpen = {"if",  "for",      "while", "switch",
                                              "try", "function", "repeat"};
  static const std::set<std::string> kClose = {"end", "endfunction", "until"};
  int change = 0;
  *opens = false;
  for (const std::string& w : TopWords(code)) {
    if (kOpen.count(w)) {
      change++;
      *opens = true;
    } else if (kClose.count(w)) {
      change--;
    }
  }
  return change;
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// The words compared: blanks, line ends and , ; [ ] { } separate them;
// "NAME =" is left out, and from what was printed also a structure's field
// names ("speed:"), the size and class line of an integer array ("1x2 int8
// array") and the class behind an integer scalar ("-56int8").
std::vector<std::string> Words(const std::string& text, bool printed) {
  static const char* const kClasses[] = {"uint8", "uint16", "uint32", "uint64",
                                         "int8",  "int16",  "int32",  "int64"};
  std::vector<std::string> words;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (printed) {
      std::istringstream parts(line);
      std::string size, cls, array, more;
      if (parts >> size >> cls >> array && !(parts >> more) && array == "array" &&
          size.find('x') != std::string::npos && std::isdigit(static_cast<unsigned char>(size[0])))
        continue;
    }
    std::string word;
    for (size_t i = 0; i <= line.size(); i++) {
      const char c = i < line.size() ? line[i] : ' ';
      if (c == ' ' || c == '\t' || c == '\r' || c == ',' || c == ';' || c == '[' || c == ']' ||
          c == '{' || c == '}') {
        if (!word.empty()) words.push_back(word);
        word.clear();
      } else {
        word += c;
      }
    }
  }
  std::vector<std::string> kept;
  for (size_t i = 0; i < words.size(); i++) {
    if (words[i] == "=") continue;
    if (i + 1 < words.size() && words[i + 1] == "=") continue;
    if (printed && words[i].size() > 1 && words[i].back() == ':') continue;
    std::string w = words[i];
    if (printed)
      for (const char* cls : kClasses) {
        const std::string suffix = cls;
        if (w.size() > suffix.size() && w.ends_with(suffix) &&
            std::isdigit(static_cast<unsigned char>(w[w.size() - suffix.size() - 1]))) {
          w.resize(w.size() - suffix.size());
          break;
        }
      }
    kept.push_back(w);
  }
  return kept;
}

// A number at text[*at] (a sign only before a digit or a point), with the
// decimals written; false when none starts there.
bool ReadNumber(const std::string& text, size_t* at, double* value, int* decimals) {
  size_t i = *at;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) i++;
  if (i >= text.size() || !(std::isdigit(static_cast<unsigned char>(text[i])) ||
                            (text[i] == '.' && i + 1 < text.size() &&
                             std::isdigit(static_cast<unsigned char>(text[i + 1])))))
    return false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) i++;
  int d = 0;
  if (i < text.size() && text[i] == '.') {
    i++;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) i++, d++;
  }
  int exponent = 0;
  if (i + 1 < text.size() && (text[i] == 'e' || text[i] == 'E') &&
      (std::isdigit(static_cast<unsigned char>(text[i + 1])) || text[i + 1] == '-' ||
       text[i + 1] == '+')) {
    size_t k = i + 1;
    if (text[k] == '-' || text[k] == '+') k++;
    if (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]))) {
      while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]))) k++;
      exponent = std::atoi(text.substr(i + 1, k - i - 1).c_str());
      i = k;
    }
  }
  *value = std::strtod(text.substr(*at, i - *at).c_str(), nullptr);
  *decimals = d - exponent;
  *at = i;
  return true;
}

// A stated word and a printed one: the same but for their numbers, each
// printed number equal to the stated one at the decimals written.
bool WordMatches(const std::string& stated, const std::string& printed) {
  size_t i = 0, j = 0;
  while (i < stated.size() && j < printed.size()) {
    double s, p;
    int decimals, ignored;
    size_t si = i, pj = j;
    const bool sn = (i == 0 || !std::isdigit(static_cast<unsigned char>(stated[i - 1]))) &&
                    ReadNumber(stated, &si, &s, &decimals);
    if (sn && ReadNumber(printed, &pj, &p, &ignored)) {
      const double tolerance = 0.5 * std::pow(10.0, -decimals) * (1 + 1e-9);
      if (!(std::fabs(p - s) <= tolerance)) return false;
      i = si;
      j = pj;
      continue;
    }
    if (stated[i] != printed[j]) return false;
    i++;
    j++;
  }
  return i == stated.size() && j == printed.size();
}

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
  return text;
}

}  // namespace

CodeLine SplitCodeLine(const std::string& line) {
  char quote = 0;
  for (size_t i = 0; i < line.size(); i++) {
    const char c = line[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '%' || (c == '/' && i + 1 < line.size() && line[i + 1] == '/')) {
      return {line.substr(0, i), Trim(line.substr(i + (c == '%' ? 1 : 2)))};
    }
    if (OpensText(line, i)) quote = c;
  }
  return {line, ""};
}

std::vector<ExampleSegment> SegmentExample(const std::string& code) {
  std::vector<ExampleSegment> segments;
  ExampleSegment current;
  int depth = 0;
  std::istringstream lines(code);
  bool inComment = false;  // in a "/* ... */" comment of several lines
  for (std::string line; std::getline(lines, line);) {
    const CodeLine split = SplitCodeLine(line);
    const size_t opening = split.code.find("/*");
    if (inComment ||
        (opening != std::string::npos && split.code.find("*/", opening) == std::string::npos)) {
      inComment = line.find("*/") == std::string::npos;
      current.lines.push_back(line);
      continue;
    }
    bool opens = false;
    depth += DepthChange(split.code, &opens);
    current.lines.push_back(line);
    const bool remark = opens || Trim(split.code).empty();
    if (!split.comment.empty() && !remark) {
      const std::string result = split.comment.substr(0, split.comment.find(kRemark));
      current.stated += (current.stated.empty() ? "" : " ") + result;
      current.states = true;
    }
    const std::string body = Trim(split.code);
    if (depth <= 0 && !body.ends_with("...")) {
      depth = 0;
      segments.push_back(current);
      current = ExampleSegment();
    }
  }
  if (!current.lines.empty()) segments.push_back(current);
  return segments;
}

std::string MarkedExample(const std::vector<ExampleSegment>& segments) {
  const std::string marker = std::string("fprintf('\\n") + kMarker + "\\n');";
  std::string text;
  for (const ExampleSegment& s : segments) {
    for (size_t k = 0; k + 1 < s.lines.size(); k++) text += s.lines[k] + "\n";
    // The marker goes on the segment's last line, so that the lines keep
    // their numbers (errors name them), but on a line of its own after a
    // function's definition, whose end takes no statement after it.
    const CodeLine last = SplitCodeLine(s.lines.back());
    const std::vector<std::string> words = TopWords(last.code);
    const std::string code = Trim(last.code);
    if (code.empty() || (!words.empty() && words.back() == "endfunction")) {
      text += s.lines.back() + "\n" + marker + "\n";
      continue;
    }
    const bool separated = code.back() == ';' || code.back() == ',';
    text += code + (separated ? " " : ", ") + marker + "\n";
  }
  return text;
}

std::vector<std::string> PrintedBySegment(const std::string& output, size_t segments) {
  std::vector<std::string> printed;
  size_t at = 0;
  for (size_t k = 0; k < segments; k++) {
    const size_t marker = output.find(kMarker, at);
    if (marker == std::string::npos) return {};
    printed.push_back(output.substr(at, marker - at));
    at = marker + sizeof kMarker - 1;
  }
  return printed;
}

bool PrintedAsStated(const std::string& printed, const std::string& stated, std::string* why) {
  const std::vector<std::string> want = Words(stated, false), got = Words(printed, true);
  bool same = want.size() == got.size();
  for (size_t k = 0; same && k < want.size(); k++) same = WordMatches(want[k], got[k]);
  if (!same) *why = "states  " + Joined(want) + "\nprints  " + Joined(got);
  return same;
}

}  // namespace vke::test
