// Where the running application keeps its per-user files on the desktop:
// its name (the executable's base name, which tells applications apart) and
// the base folders of configuration, data and the user's programs.
#pragma once

#include <string>
#include <string_view>

namespace vke {

// The base name of an executable's path ("kvrt" for a path without one).
std::string ApplicationName(std::string_view executable);

struct DesktopPlaces {
  std::string application;
  std::string configHome;  // mimeapps.list
  std::string dataHome;    // mime/, applications/, icons/
  std::string binFolder;   // programs found by name

  // The running executable's name and the folders of the environment.
  static DesktopPlaces FromEnvironment(std::string_view executable);
};

}  // namespace vke
