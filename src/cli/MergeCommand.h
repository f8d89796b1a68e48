#pragma once

#include "cli/ScanCommand.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrane::cli {

// The options of `kestrane merge`: the scan options it shares with `kestrane
// scan` (those about the report excepted) and its own. Unset optionals take
// the merge preferences.
struct MergeCommandOptions {
    ScanCommandOptions scan;  // its folders are SOURCE and DESTINATION
    std::optional<bool> move;
    std::optional<bool> differentNames;
    bool removeSource = false;
    bool previewOnly = false;
};

// Parses the arguments after "merge". On a mistake, returns no value and puts
// a one-line message in `error`.
std::optional<MergeCommandOptions> parseMergeCommandOptions(const std::vector<std::string>& args, std::string& error);

// `kestrane merge ARGS...`: scans, finds the pair, previews, asks, merges.
// Returns the exit status.
int runMergeCommand(const std::vector<std::string>& args);

std::string mergeHelpText();

}  // namespace kestrane::cli
