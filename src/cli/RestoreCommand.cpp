#include "cli/RestoreCommand.h"

#include "cli/ExitStatus.h"
#include "cli/RemovalHistory.h"
#include "cli/ReportText.h"
#include "cli/TerminalQuestions.h"
#include "log/BaseRemovedItem.h"
#include "log/RestoreComplexOperation.h"
#include "log/RestoreController.h"
#include "log/RestoreResultDescriptor.h"
#include "log/VaqLogFactory.h"
#include "platform/MainQueue.h"
#include "platform/UserFolders.h"

#include <climits>
#include <iostream>
#include <optional>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane::cli {

namespace {

constexpr const char* kPrefix = "kestrane restore: ";

int usageError(std::ostream& err, const std::string& message) {
    err << kPrefix << message << "; see `kestrane restore --help`\n";
    return kExitUsage;
}

// An absolute path for what was typed, without resolving links or "..": the
// log keeps the paths as they were, so a typed path is compared as text.
std::string absolute(const std::string& typed) {
    std::string path = typed;
    if (path.empty() || path.front() != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) != nullptr) path = platform::joinPath(cwd, path == "." ? std::string() : path);
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool isInside(const std::string& path, const std::string& folder) {
    if (path == folder) return true;
    if (folder == "/") return true;
    return path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/';
}

std::string sourceWords(const RestoreOutcome& outcome) {
    switch (outcome.method) {
        case RestoreMethod::movedFromTrash: return "from the Trash";
        case RestoreMethod::copiedFromTrash: return "copied from the Trash";
        case RestoreMethod::copiedFromKeptCopy: return "from the kept copy " + printablePath(outcome.source);
        case RestoreMethod::copiedFromRestoredCopy: return "from another copy, " + printablePath(outcome.source);
        case RestoreMethod::copiedFromChosenFile: return "from " + printablePath(outcome.source);
    }
    return {};
}

// Prints each outcome as it comes and counts them.
class RestorePrinter final : public RestoreComplexOperationDelegate {
public:
    RestorePrinter(std::ostream& out, std::size_t total) : result(static_cast<std::int64_t>(total), 0), m_out(out) {}

    void restoreOperationStarted(RestoreComplexOperation&) override {}
    void restoreOperationSuccessfullyRestore(RestoreComplexOperation&, const std::shared_ptr<BaseRemovedItem>& item,
                                             const RestoreOutcome& outcome) override {
        result.itemHasSuccessfullyRestored();
        m_out << "restored " << printablePath(item->originalPath());
        if (outcome.destination != item->originalPath()) m_out << " as " << printablePath(outcome.destination);
        m_out << " (" << sourceWords(outcome) << ")\n";
    }
    void restoreOperationFailedToRestore(RestoreComplexOperation&, const std::shared_ptr<BaseRemovedItem>& item,
                                         const Error& error) override {
        result.itemHasFailedToRestore();
        m_out << "not restored " << printablePath(item->originalPath()) << ": " << error.message;
        if (!error.path.empty() && error.path != item->originalPath()) m_out << " (" << printablePath(error.path) << ")";
        m_out << "\n";
    }
    void restoreOperationSkipped(RestoreComplexOperation&, const std::shared_ptr<BaseRemovedItem>& item,
                                 RestoreSkipReason reason) override {
        if (reason == RestoreSkipReason::alreadyRestored) {
            ++alreadyRestored;
            m_out << "already restored " << printablePath(item->originalPath());
            if (const auto at = item->pathToRestoredFile(); at && *at != item->originalPath())
                m_out << " (at " << printablePath(*at) << ")";
            m_out << "\n";
        } else {
            result.itemHasFailedToRestore();
            m_out << "not restored " << printablePath(item->originalPath())
                  << ": nothing is left to restore it from (it is no longer in the Trash";
            if (const auto kept = item->pathToKeptCopyItem())
                m_out << ", and the kept copy " << printablePath(*kept) << " is gone or has changed";
            m_out << ")\n";
        }
    }
    void restoreOperationFinished(RestoreComplexOperation&) override {
        finished = true;
        platform::MainQueue::shared().stop();
    }

    RestoreResultDescriptor result;
    std::size_t alreadyRestored = 0;
    bool finished = false;

private:
    std::ostream& m_out;
};

}  // namespace

int runRestoreCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::optional<std::string> runText;
    std::vector<std::string> paths;
    std::optional<std::string> destination;
    TerminalQuestions::Mode answers = TerminalQuestions::Mode::ask;
    bool onlyPaths = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!onlyPaths && (arg == "-h" || arg == "--help")) {
            out << restoreHelpText();
            return kExitSuccess;
        }
        if (!onlyPaths && arg == "--") {
            onlyPaths = true;
        } else if (!onlyPaths && (arg == "--to" || arg == "-t")) {
            if (i + 1 >= args.size()) return usageError(err, "option " + arg + " needs a folder");
            destination = args[++i];
        } else if (!onlyPaths && arg.starts_with("--to=")) {
            destination = arg.substr(5);
        } else if (!onlyPaths && (arg == "--yes" || arg == "-y")) {
            if (answers == TerminalQuestions::Mode::no) return usageError(err, "--yes and --no exclude each other");
            answers = TerminalQuestions::Mode::yes;
        } else if (!onlyPaths && (arg == "--no" || arg == "-n")) {
            if (answers == TerminalQuestions::Mode::yes) return usageError(err, "--yes and --no exclude each other");
            answers = TerminalQuestions::Mode::no;
        } else if (!onlyPaths && arg.starts_with("-") && arg != "-") {
            return usageError(err, "unknown option \"" + arg + "\"");
        } else if (!runText) {
            runText = arg;
        } else {
            if (arg.empty()) return usageError(err, "an empty path was given");
            paths.push_back(absolute(arg));
        }
    }
    if (!runText) return usageError(err, "name the run to restore (its number or date in `kestrane history`)");
    if (destination) {
        if (destination->empty()) return usageError(err, "an empty folder was given to --to");
        *destination = absolute(*destination);
        struct stat attributes {};
        if (::stat(destination->c_str(), &attributes) != 0 || !S_ISDIR(attributes.st_mode)) {
            err << kPrefix << printablePath(*destination) << " is not a folder (--to)\n";
            return kExitBadFolder;
        }
    }

    const auto runs = loadRemovalHistory(VaqLogFactory::logFolderPath());
    std::string error;
    const auto run = findRun(runs, *runText, error);
    if (!run) {
        err << kPrefix << error << "\n";
        return kExitUsage;
    }
    // The files asked for: every file of the run, or those at or below the PATHs.
    std::vector<std::shared_ptr<BaseRemovedItem>> items;
    std::vector<bool> pathUsed(paths.size(), false);
    for (const auto& item : run->log->children()) {
        bool wanted = paths.empty();
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (isInside(item->originalPath(), paths[i])) {
                wanted = true;
                pathUsed[i] = true;
            }
        }
        if (wanted) items.push_back(item);
    }
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (!pathUsed[i]) {
            err << kPrefix << "run " << run->number << " removed nothing at " << printablePath(paths[i])
                << "; see `kestrane history " << run->number << "`\n";
            return kExitUsage;
        }

    const bool interactive = ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO);
    const auto questions = std::make_shared<TerminalQuestions>(answers, interactive, std::cin, err);
    // When nothing can come back, the person is told so first; the files are
    // then still gone through, to say what became of each.
    if (const auto message = RestoreComplexOperation::messageWhenNothingCanBeRestored(items, destination.has_value()))
        questions->ask(*message, [](Answer) {});

    const auto printer = std::make_shared<RestorePrinter>(out, items.size());
    const auto operation = RestoreComplexOperation::create(items, destination, questions);
    operation->setDelegate(printer);
    operation->start();
    platform::MainQueue::shared().run();
    if (const std::string summary = printer->result.resultDescription(); !summary.empty()) out << summary;
    if (printer->alreadyRestored > 0)
        out << (printer->result.resultDescription().empty() ? "" : " ")
            << (printer->alreadyRestored == 1 ? std::string("1 file was restored already.")
                                              : std::to_string(printer->alreadyRestored) +
                                                    " files were restored already.");
    out << "\n";
    return printer->result.failedItemsCount() > 0 ? kExitNotAllRestored : kExitSuccess;
}

std::string restoreHelpText() {
    return R"(Usage: kestrane restore RUN [PATH...] [--to DIR] [--yes|--no]

Puts back the files one removal run removed. RUN is the run's number in
`kestrane history` (1 is the newest) or its date as the history shows it
(2026-03-05 14:07:09). Without PATHs every file of the run that can be
restored is; a PATH restores the file removed from there, or every file the
run removed from inside that folder.

A file comes back from its own copy in the Trash (moved back, as a file
manager restores it), or, when it was deleted permanently or is no longer in
the Trash, from the copy that was kept when it was removed (copied, with the
removed file's modification time), as long as that copy is unchanged.
Nothing is ever replaced: a copy is written under a temporary name and
renamed into place only if the name is still free. A file already back at
its place is left alone ("already restored").

When something else now stands at a file's original place, you are asked
whether to restore it next to it under a new name ("photo restored.jpg",
"photo restored 2.jpg", ...). Without a terminal to ask, the file is left
out unless --yes is given.

Options:
  -t, --to DIR   restore into DIR instead of the original places (copies:
                 the Trash keeps its copies); a name taken in DIR gets the
                 " restored" name
  -y, --yes      restore under a new name when the original place is taken
  -n, --no       leave such files out without asking
  -h, --help     show this help

Exit status: 0 every file asked for is back (restored now or already), 2 a
wrong option, a RUN that names no run or a PATH the run removed nothing
from (nothing is restored then), 3 DIR is not a folder, 5 some files could
not be restored (each is named with the reason).
)";
}

}  // namespace kestrane::cli
