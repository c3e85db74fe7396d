// The preferences kept in a per-user INI file, one per application:
// $XDG_CONFIG_HOME/Morvath/<application>.conf, <application> being the base
// name of the executable, so that applications keep their settings apart.
// Every write reaches the file at once; what the file holds besides the
// values written (other keys, comments, lines that are not understood) stays
// as it is.
#pragma once

#include <memory>

#include "shell/preferences.hpp"

class wxFileConfig;

namespace vke {

// The file of an application's preferences; empty when no configuration
// folder is known.
std::string PreferencesPath(std::string_view application);

class FilePreferences : public Preferences {
 public:
  // Reads the file, when there is one. A file that exists but cannot be
  // read, and an empty path, give a store that holds nothing and refuses
  // every write, so that nothing is written over a file not understood.
  explicit FilePreferences(std::string path);
  ~FilePreferences() override;

  std::optional<std::string> Read(std::string_view group, std::string_view key) const override;
  // Creates the file's folder when needed.
  bool Write(std::string_view group, std::string_view key, std::string_view value) override;

 private:
  std::string path_;
  std::unique_ptr<wxFileConfig> config_;
};

}  // namespace vke
