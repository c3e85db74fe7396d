// What the extension tests share: the fixture libraries' paths, a fresh
// folder to copy them into, and a host whose registry they load into.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "compiler/extensions/extension_loader.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke::test {

inline std::string FixtureLibrary(const std::string& name) {
  return std::string(VKE_EXTENSION_FIXTURES) + "/" + name + ".so";
}

// A new empty folder under the system's temporary folder, removed with the
// object.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& path() const { return path_; }
  // Copies a fixture library into the folder under a new file name.
  void CopyFixture(const std::string& fixture, const std::string& fileName) const;

 private:
  std::string path_;
};

// Records the paths the loader reports.
struct LoadedPaths {
  std::vector<std::string> paths;
  static void Add(const char* path, uintptr_t self) {
    reinterpret_cast<LoadedPaths*>(self)->paths.push_back(path);
  }
};

}  // namespace vke::test
