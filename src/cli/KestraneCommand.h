#pragma once

#include <string>
#include <vector>

namespace kestrane::cli {

// The kestrane command: `kestrane [--help|--version] COMMAND [ARGS...]`.
// Returns the exit status (cli/ExitStatus.h).
int runKestraneCommand(const std::vector<std::string>& args);

}  // namespace kestrane::cli
