#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kestrane::cli {

// `kestrane history [RUN] [--format human|json]`: the removal runs recorded
// in the log folder, newest first, by day, with what each removed and what
// can still be restored and from where; with RUN, that run's files. Writes
// the history to out, messages to err; returns the exit status.
int runHistoryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string historyHelpText();

}  // namespace kestrane::cli
