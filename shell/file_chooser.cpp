// The toolkit's wildcard of the file dialogs' filter.
#include "shell/file_chooser.hpp"

#include <vector>

namespace vke {

namespace {

// The fields between the bars up to the first empty one.
std::vector<std::string_view> FilterFields(std::string_view filter) {
  std::vector<std::string_view> fields;
  while (!filter.empty()) {
    const size_t bar = filter.find('|');
    const std::string_view field = filter.substr(0, bar);
    if (field.empty()) break;
    fields.push_back(field);
    if (bar == std::string_view::npos) break;
    filter.remove_prefix(bar + 1);
  }
  return fields;
}

std::string Patterns(std::string_view list) {
  std::string out;
  while (!list.empty()) {
    const size_t semicolon = list.find(';');
    const std::string_view pattern = list.substr(0, semicolon);
    if (!pattern.empty()) {
      if (!out.empty()) out += ';';
      out += pattern == "*.*" ? std::string_view("*") : pattern;
    }
    if (semicolon == std::string_view::npos) break;
    list.remove_prefix(semicolon + 1);
  }
  return out;
}

}  // namespace

std::string WildcardOfFilter(std::string_view filter) {
  const std::vector<std::string_view> fields = FilterFields(filter);
  std::string wildcard;
  for (size_t k = 0; k + 1 < fields.size(); k += 2) {
    const std::string patterns = Patterns(fields[k + 1]);
    if (patterns.empty()) continue;
    if (!wildcard.empty()) wildcard += '|';
    wildcard.append(fields[k]);
    wildcard += '|';
    wildcard += patterns;
  }
  return wildcard;
}

}  // namespace vke
