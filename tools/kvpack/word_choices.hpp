// What a line may hold where it holds something else: the allowed word
// nearest to a misspelt one, or the list of the allowed words, for the
// errors of descriptions and check scripts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vke::kvpack {

// The number of single-character insertions, deletions, substitutions and
// swaps of two neighbours that turn a into b.
size_t EditDistance(std::string_view a, std::string_view b);

// The allowed words nearest to `word`, in their order, when they are near
// enough to be a slip of the keyboard (a third of the word's letters at
// most, and at least one); empty when none is.
std::vector<std::string_view> NearestWords(std::string_view word,
                                           const std::vector<std::string_view>& allowed);

// "a, b, c": the words in their order.
template <typename Words>
std::string WordList(const Words& words) {
  std::string list;
  for (const auto& w : words) {
    if (!list.empty()) list += ", ";
    list += w;
  }
  return list;
}

}  // namespace vke::kvpack
