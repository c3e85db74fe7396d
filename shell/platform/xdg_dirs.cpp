// The base-directory lookups: a variable holds only when it is an absolute
// path; the fall-backs are relative to the home folder.
#include "shell/platform/xdg_dirs.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace vke {

namespace {

std::string AbsoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string UnderHome(const char* relative) {
  const std::string home = HomeFolder();
  return home.empty() ? home : home + relative;
}

}  // namespace

std::string HomeFolder() {
  std::string home = AbsoluteVariable("HOME");
  if (!home.empty()) return home;
  std::vector<char> buffer(16384);
  passwd entry;
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir && found->pw_dir[0] == '/') {
    home = found->pw_dir;
  }
  return home;
}

std::string ConfigHome() {
  std::string folder = AbsoluteVariable("XDG_CONFIG_HOME");
  return folder.empty() ? UnderHome("/.config") : folder;
}

std::string DataHome() {
  std::string folder = AbsoluteVariable("XDG_DATA_HOME");
  return folder.empty() ? UnderHome("/.local/share") : folder;
}

std::string UserBinFolder() {
  return UnderHome("/.local/bin");
}

}  // namespace vke
