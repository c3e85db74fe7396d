// The shortage texts, gathered from the engine's and the application's
// error tables.
#include "tests/host/shortage_texts.hpp"

#include <algorithm>
#include <vector>

#include "app/errors.hpp"
#include "engine/errors/errors.hpp"

namespace vke::test {

namespace {

const std::vector<std::string>& ShortageTexts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> t{kCeilingNote};
    auto add = [&t](std::string text) {
      while (!text.empty() && text.back() == ' ') text.pop_back();
      if (!text.empty() && std::find(t.begin(), t.end(), text) == t.end()) t.push_back(text);
    };
    for (const ErrorTableRecord* table : {kEngineErrorTable, kAppErrorTable})
      for (const ErrorTableRecord* r = table; r->message; r++) {
        if (!IsMemoryCode(r->code)) continue;
        const std::string text = r->message;
        add(text.substr(0, text.find('%')));
        if (r->id && *r->id) add(std::string("VKE:") + r->id);
      }
    return t;
  }();
  return texts;
}

}  // namespace

uint64_t CountShortages(const std::string& text) {
  uint64_t n = 0;
  for (const std::string& s : ShortageTexts())
    for (size_t at = text.find(s); at != std::string::npos; at = text.find(s, at + s.size())) n++;
  return n;
}

std::string FirstShortage(const std::string& text) {
  size_t first = std::string::npos;
  std::string found;
  for (const std::string& s : ShortageTexts()) {
    const size_t at = text.find(s);
    if (at == std::string::npos || at > first || (at == first && s.size() <= found.size()))
      continue;
    first = at;
    found = s;
  }
  return found;
}

}  // namespace vke::test
