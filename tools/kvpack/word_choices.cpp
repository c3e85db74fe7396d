// The allowed word nearest to a misspelt one.
#include "tools/kvpack/word_choices.hpp"

#include <algorithm>

namespace vke::kvpack {

size_t EditDistance(std::string_view a, std::string_view b) {
  // Three rows of the distances between prefixes: two back, one back, this.
  std::vector<size_t> before(b.size() + 1), last(b.size() + 1), row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); j++) last[j] = j;
  for (size_t i = 1; i <= a.size(); i++) {
    row[0] = i;
    for (size_t j = 1; j <= b.size(); j++) {
      const size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + change});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        row[j] = std::min(row[j], before[j - 2] + 1);
    }
    std::swap(before, last);
    std::swap(last, row);
  }
  return last[b.size()];
}

std::vector<std::string_view> NearestWords(std::string_view word,
                                           const std::vector<std::string_view>& allowed) {
  size_t best = std::max<size_t>(1, word.size() / 3);
  std::vector<std::string_view> nearest;
  for (std::string_view candidate : allowed) {
    const size_t d = EditDistance(word, candidate);
    if (d > best) continue;
    if (d < best) {
      nearest.clear();
      best = d;
    }
    nearest.push_back(candidate);
  }
  return nearest;
}

}  // namespace vke::kvpack
