// The extension tests' scratch folders.
#include "tests/extensions/extension_test_support.hpp"

#include <unistd.h>

namespace vke::test {

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vke-ext-XXXXXX").string();
  path_ = mkdtemp(pattern.data()) ? pattern : std::string();
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

void ScratchFolder::CopyFixture(const std::string& fixture, const std::string& fileName) const {
  std::filesystem::copy_file(FixtureLibrary(fixture), path_ + "/" + fileName);
}

}  // namespace vke::test
