#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kestrane::cli {

// `kestrane restore RUN [PATH...] [--to DIR] [--yes|--no]`: puts the files
// removed by one run back, from the Trash or from the copy that was kept,
// never replacing anything. Writes one line per file and the summary to
// out, questions and messages to err; returns the exit status.
int runRestoreCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string restoreHelpText();

}  // namespace kestrane::cli
