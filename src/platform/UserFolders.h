#pragma once

#include <string>

namespace kestrane::platform {

// The folders of the user running the program. Read from the environment at
// every call, so that a change of HOME or XDG_* takes effect at once.

// $HOME when set and absolute, otherwise the home folder of the account (getpwuid).
std::string homeFolder();
// $XDG_CONFIG_HOME when set and absolute, otherwise ~/.config.
std::string configHome();
// $XDG_DATA_HOME when set and absolute, otherwise ~/.local/share.
std::string dataHome();
// dataHome()/Kestrane: where removal logs and generated scripts live.
std::string applicationSupportFolder();
// configHome()/kestrane/preferences.json
std::string preferencesFilePath();

// Joins two path parts with exactly one "/" between them.
std::string joinPath(const std::string& base, const std::string& component);

}  // namespace kestrane::platform
