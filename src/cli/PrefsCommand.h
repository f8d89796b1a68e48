#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kestrane::cli {

// `kestrane prefs ARGS...` (ARGS without the word "prefs"): lists, shows and
// changes the preferences of the standard store through the typed settings.
// Writes results to out, messages to err; returns the exit status
// (cli/ExitStatus.h).
int runPrefsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The text of `kestrane prefs --help`.
std::string prefsHelpText();

}  // namespace kestrane::cli
