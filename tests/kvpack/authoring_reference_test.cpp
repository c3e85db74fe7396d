// docs/authoring.md, the reference of application authors, names every
// keyword of a description, every step of a check script, every standard
// variable and every native of the application's table, so that none is
// added without its place there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/shell/packed_app.hpp"
#include "tools/disk_file.hpp"

namespace vke::kvpack {
namespace {

std::string Reference() {
  const std::string path = test::SourcePath("docs/authoring.md");
  std::string text;
  EXPECT_TRUE(ReadDiskFile(path, &text)) << path;
  return text;
}

// The names of one table that the reference does not hold in code as
// `name` or `name ARGUMENTS` (or, for natives, as `help name`).
std::vector<std::string> Missing(const std::string& text, const std::vector<std::string>& names,
                                 bool natives) {
  std::vector<std::string> missing;
  for (const std::string& name : names) {
    const bool found = text.find("`" + name + "`") != std::string::npos ||
                       text.find("`" + name + " ") != std::string::npos ||
                       (natives && text.find("help " + name + "`") != std::string::npos);
    if (!found) missing.push_back(name);
  }
  return missing;
}

TEST(AuthoringReference, NamesEveryKeywordStepStandardVariableAndNative) {
  const std::string text = Reference();
  std::vector<std::string> keywords{
#define VKE_ELEMENT_KIND(code, name, layout, keyword, group, slot, action, meaning) keyword,
#include "app/element_kinds.def"
#undef VKE_ELEMENT_KIND
#define KVPACK_KEYWORD(word, what) word,
#include "tools/kvpack/keywords.def"
#undef KVPACK_KEYWORD
  };
  std::erase(keywords, "");
  const std::vector<std::string> steps{
#define KVPACK_CHECK_STEP(id, name, form) name,
#include "tools/kvpack/check_steps.def"
#undef KVPACK_CHECK_STEP
  };
  const std::vector<std::string> variables{
#define VKE_STD_VAR(constant, code, name) name,
#include "app/standard_variables.def"
#undef VKE_STD_VAR
  };
  // The natives, not the library headers ("@", "!") and hooks ("+").
  std::vector<std::string> natives;
  const auto add = [&](const char* name) {
    if (name[0] != '@' && name[0] != '!' && name[0] != '+') natives.push_back(name);
  };
#define VKE_APP_RECORD(name, ...) add(name);
#define VKE_APP_HEADLESS_RECORD(name, ...) add(name);
#define VKE_APP_RESPONSE_RECORD(name, ...) add(name);
#define VKE_APP_HEADLESS_HOOK(name, ...) add(name);
#include "app/natives.def"
#undef VKE_APP_RECORD
#undef VKE_APP_HEADLESS_RECORD
#undef VKE_APP_RESPONSE_RECORD
#undef VKE_APP_HEADLESS_HOOK
  EXPECT_EQ(Missing(text, keywords, false), std::vector<std::string>{});
  EXPECT_EQ(Missing(text, steps, false), std::vector<std::string>{});
  EXPECT_EQ(Missing(text, variables, false), std::vector<std::string>{});
  EXPECT_EQ(Missing(text, natives, true), std::vector<std::string>{});
}

}  // namespace
}  // namespace vke::kvpack
