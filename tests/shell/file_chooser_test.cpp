// The file dialogs' filter as the toolkit's wildcard.
#include "shell/file_chooser.hpp"

#include <gtest/gtest.h>

namespace vke {
namespace {

TEST(FileChooser, FiltersBecomeWildcards) {
  EXPECT_EQ(WildcardOfFilter("html|*.html|All files|*.*||"), "html|*.html|All files|*");
  EXPECT_EQ(WildcardOfFilter("txt/gif|*.txt;*.gif|All files|*.*||"),
            "txt/gif|*.txt;*.gif|All files|*");
  EXPECT_EQ(WildcardOfFilter(""), "");
  EXPECT_EQ(WildcardOfFilter("||"), "");
  // Without the closing bars, with a description left alone, with empty
  // patterns, or with text after the end.
  EXPECT_EQ(WildcardOfFilter("kv|*.kv"), "kv|*.kv");
  EXPECT_EQ(WildcardOfFilter("kv|*.kv|lonely"), "kv|*.kv");
  EXPECT_EQ(WildcardOfFilter("kv|;;*.kv;;|x|;"), "kv|*.kv");
  EXPECT_EQ(WildcardOfFilter("a|*.a||b|*.b"), "a|*.a");
}

}  // namespace
}  // namespace vke
