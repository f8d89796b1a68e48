#include "cli/KestraneCommand.h"

#include "cli/ExitStatus.h"
#include "cli/HistoryCommand.h"
#include "cli/MergeCommand.h"
#include "cli/PrefsCommand.h"
#include "cli/RemoveCommand.h"
#include "cli/RestoreCommand.h"
#include "cli/ScanCommand.h"
#include "cli/TrashForUserCommand.h"

#include <iostream>

namespace kestrane::cli {

namespace {

const char* const kHelpText = R"(Usage: kestrane COMMAND [OPTIONS] [ARGUMENTS]

Kestrane finds duplicate files, duplicate folders and similar folders in the
folders you choose.

Commands:
  scan FOLDER...   scan folders and print a report of the duplicates found
  remove FOLDER... scan, select copies and remove them to the Trash or for good
  merge SOURCE DESTINATION
                   make DESTINATION complete with what only its similar
                   folder SOURCE holds, by copying or moving
  prefs            list, show, change and restore the stored preferences
  history [RUN]    list the removal runs, and what of them can be restored
  restore RUN      put back files a removal run removed
  help [COMMAND]   show this help, or the help of a command

Options:
  -h, --help       show this help
  -V, --version    show the version

`kestrane COMMAND --help` shows the options of a command; kestrane(1) has
them all.
)";

}  // namespace

int runKestraneCommand(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << kHelpText;
        return kExitUsage;
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "-V" || command == "--version") {
        std::cout << "kestrane " << KESTRANE_VERSION << "\n";
        return kExitSuccess;
    }
    if (command == "-h" || command == "--help") {
        std::cout << kHelpText;
        return kExitSuccess;
    }
    if (command == "help") {
        if (rest.empty()) std::cout << kHelpText;
        else if (rest[0] == "scan") std::cout << scanHelpText();
        else if (rest[0] == "prefs") std::cout << prefsHelpText();
        else if (rest[0] == "remove") std::cout << removeHelpText();
        else if (rest[0] == "merge") std::cout << mergeHelpText();
        else if (rest[0] == "history") std::cout << historyHelpText();
        else if (rest[0] == "restore") std::cout << restoreHelpText();
        else {
            std::cerr << "kestrane: no command \"" << rest[0] << "\"; commands are scan, remove, merge, prefs, history and restore\n";
            return kExitUsage;
        }
        return kExitSuccess;
    }
    if (command == "scan") return runScanCommand(rest);
    if (command == "prefs") return runPrefsCommand(rest, std::cout, std::cerr);
    if (command == "merge") return runMergeCommand(rest);
    if (command == "history") return runHistoryCommand(rest, std::cout, std::cerr);
    if (command == "restore") return runRestoreCommand(rest, std::cout, std::cerr);
    if (command == "remove") return runRemoveCommand(rest, std::cout, std::cerr);
    if (command == "trash-for-user") return runTrashForUserCommand(rest, std::cerr);
    std::cerr << "kestrane: unknown command \"" << command << "\"; see `kestrane --help`\n";
    return kExitUsage;
}

}  // namespace kestrane::cli
