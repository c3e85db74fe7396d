// The application's name and the per-user base folders.
#include "shell/desktop_places.hpp"

#include "shell/platform/xdg_dirs.hpp"

namespace vke {

std::string ApplicationName(std::string_view executable) {
  const std::string_view name = executable.substr(executable.find_last_of('/') + 1);
  return name.empty() ? "kvrt" : std::string(name);
}

DesktopPlaces DesktopPlaces::FromEnvironment(std::string_view executable) {
  return {ApplicationName(executable), ConfigHome(), DataHome(), UserBinFolder()};
}

}  // namespace vke
