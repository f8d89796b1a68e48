#include "cli/KestraneCommand.h"

#include "cli/ExitStatus.h"

#include <iostream>

namespace kestrane::cli {

int runKestraneCommand(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "--version") {
        std::cout << "kestrane " << KESTRANE_VERSION << "\n";
        return kExitSuccess;
    }
    std::cerr << "kestrane: no command given\n";
    return kExitUsage;
}

}  // namespace kestrane::cli
