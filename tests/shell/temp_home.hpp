// A temporary home folder for the shell's tests: HOME, XDG_CONFIG_HOME and
// XDG_DATA_HOME point into it while it lives, and it is removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace vke::test {

class TempHome {
 public:
  TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vke-home-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    Swap("HOME", root_, &home_);
    Swap("XDG_CONFIG_HOME", root_ + "/config", &config_);
    Swap("XDG_DATA_HOME", root_ + "/data", &data_);
  }
  ~TempHome() {
    Restore("HOME", home_);
    Restore("XDG_CONFIG_HOME", config_);
    Restore("XDG_DATA_HOME", data_);
    std::error_code error;
    std::filesystem::remove_all(root_, error);
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::string& Root() const { return root_; }

 private:
  struct Saved {
    bool set = false;
    std::string value;
  };
  static void Swap(const char* name, const std::string& value, Saved* saved) {
    if (const char* old = std::getenv(name)) *saved = {true, old};
    setenv(name, value.c_str(), 1);
  }
  static void Restore(const char* name, const Saved& saved) {
    if (saved.set) {
      setenv(name, saved.value.c_str(), 1);
    } else {
      unsetenv(name);
    }
  }

  std::string root_;
  Saved home_, config_, data_;
};

inline void WriteFile(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace vke::test
