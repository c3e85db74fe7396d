// lookfor in the runner, with no help file beside it, finds entries of the
// carried help files by words of their descriptions (names still without
// help are passed over).
#include <gtest/gtest.h>

#include <string>

#include "tests/help/example_hosts.hpp"
#include "tests/help/help_catalog.hpp"

namespace vke::test {
namespace {

struct Search {
  const char* text;  // what a user would look for
  const char* name;  // "LIB::NAME" whose link it lists
};

constexpr Search kSearches[] = {
    {"sort", "VKE::sort"},  {"EIGENVALUE", "VKE::eig"},     {"eigenvalue", "lapack::eig"},
    {"file", "VKE::fopen"}, {"slider", "Corvanel::slider"}, {"while", "while"},
};

TEST(CarriedLookfor, FindsEntriesByWordsOfTheirDescriptions) {
  const std::set<std::string> pending = ReadPendingList();
  ScratchFolder folder;
  for (const Search& s : kSearches) {
    if (pending.count(s.name)) continue;
    std::string links;
    ASSERT_EQ(RunInRunner(std::string("lookfor ") + s.text + "\n", &links), kOk) << links;
    const std::string link = std::string("##[[help:") + s.name + "|" + s.name + "]]## ";
    EXPECT_NE(links.find(link), std::string::npos)
        << "lookfor " << s.text << " lists no " << s.name << ":\n"
        << links;
  }
}

}  // namespace
}  // namespace vke::test
