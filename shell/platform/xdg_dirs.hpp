// The per-user folders of the desktop's base-directory rules: where
// configuration and data files go. Each is an absolute path, or empty when
// neither its variable nor a home folder is known.
#pragma once

#include <string>

namespace vke {

// $HOME, else the home folder of the user's account.
std::string HomeFolder();
// $XDG_CONFIG_HOME, else ~/.config.
std::string ConfigHome();
// $XDG_DATA_HOME, else ~/.local/share.
std::string DataHome();
// ~/.local/bin, where the user's own programs are found by name.
std::string UserBinFolder();

}  // namespace vke
