#pragma once

#include "cli/ScanCommand.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kestrane::cli {

// The options of `kestrane remove`: every option of `kestrane scan` that
// shapes the scan and the selection, and its own.
struct RemoveCommandOptions {
    ScanCommandOptions scan;
    std::optional<bool> toTrash;             // --trash / --permanently; unset: the preference
    std::optional<bool> removeEmptyFolders;  // --remove-empty-folders / --keep-empty-folders
    bool dryRun = false;
};

// Parses the arguments after "remove". On a mistake, returns no value and
// puts a one-line message in `error`.
std::optional<RemoveCommandOptions> parseRemoveCommandOptions(const std::vector<std::string>& args, std::string& error);

// `kestrane remove [OPTIONS] FOLDER...`: scans, applies the selection
// options, shows what is selected, asks, removes, and says what became of
// every selected copy. Returns the exit status.
int runRemoveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string removeHelpText();

}  // namespace kestrane::cli
