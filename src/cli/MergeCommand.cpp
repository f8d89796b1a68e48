#include "cli/MergeCommand.h"

#include "cli/CommandScan.h"
#include "cli/ExitStatus.h"
#include "cli/ReportText.h"
#include "cli/TerminalQuestions.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "merge/MergeOperationData.h"
#include "platform/MainQueue.h"
#include "platform/Timer.h"
#include "scan/FileSystemItem.h"
#include "settings/Settings.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iostream>
#include <string_view>
#include <unistd.h>

namespace kestrane::cli {

namespace {

using namespace std::chrono_literals;

// Options of `kestrane scan` that shape its report: a merge writes none.
constexpr std::array<std::string_view, 7> kReportOptions = {"-F", "--format", "-o", "--output", "-a", "--all",
                                                            "--no-folder-stages"};

std::string_view verbOf(MergeAction action) { return action == MergeAction::Move ? "move" : "copy"; }

// The error of a failed item in one line.
std::string reasonOf(const Error& error) {
    std::string text = error.message;
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

// Why two folders are no pair to merge, for the message.
std::string whyNoPair(const DuplicatesContainer& container, const std::string& source, const std::string& destination) {
    const FileSystemItem* a = container.findExistedSystemItemWithPath(source);
    const FileSystemItem* b = container.findExistedSystemItemWithPath(destination);
    const DuplicateItem* entryA = a != nullptr ? a->getDuplicateItem() : nullptr;
    const DuplicateItem* entryB = b != nullptr ? b->getDuplicateItem() : nullptr;
    if (entryA != nullptr && entryB != nullptr && entryA->getGroup() && entryA->getGroup() == entryB->getGroup())
        return "they are identical folders: each already holds everything the other does";
    return "they are not similar folders: they do not both directly hold copies of at least two different files "
           "(see the similar folders of `kestrane scan`)";
}

void printItemLine(std::ostream& out, const MergeItem& item, const MergeOperationData& merge) {
    const MergeFolder& destination = *merge.destinationFolder();
    const std::string name = printablePath(item.name()) + (item.isFolder() ? "/" : "");
    if (item.action()) {
        out << "  " << verbOf(*item.action()) << "  " << name;
        if (item.plannedName() != item.name())
            out << " -> " << printablePath(item.plannedName()) << (item.isFolder() ? "/" : "");
    } else {
        out << "  skip  " << name;
    }
    if (!item.canBeMerged()) {
        out << " (only files and folders are merged)\n";
        return;
    }
    const auto copies = destination.copiesOf(item);
    if (copies.empty()) {
        out << "\n";
        return;
    }
    bool sameName = false;
    for (const MergeItem* copy : copies) sameName = sameName || copy->name() == item.name();
    out << " (";
    if (sameName) {
        out << "already in \"" << printablePath(std::string(destination.name())) << "\"";
    } else {
        out << "in \"" << printablePath(std::string(destination.name())) << "\" as " << printablePath(copies.front()->name());
        if (!item.action() && merge.options().action) out << "; --different-names takes it over";
    }
    out << ")\n";
}

void printPreview(std::ostream& out, const MergeOperationData& merge) {
    const auto preview = merge.preview();
    out << preview.message << "\n" << preview.hint << "\n";
    const MergeFolder& source = *merge.sourceFolder();
    out << "\n" << MergeTexts::kUniqueFilesTitle << "\n";
    bool any = false;
    for (const auto& item : source.items()) {
        if (source.isDuplicate(*item)) continue;
        printItemLine(out, *item, merge);
        any = true;
    }
    if (!any) out << "  (none)\n";
    out << MergeTexts::kDuplicateFilesTitle << "\n";
    any = false;
    for (const MergeItem* item : source.duplicates()) {
        printItemLine(out, *item, merge);
        any = true;
    }
    if (!any) out << "  (none)\n";
}

// Shows the file operations on the error stream and stops the main queue at the end.
class MergePresenter final : public MergeOperationDataListener {
public:
    MergePresenter(bool showProgress, std::ostream& err) : m_showProgress(showProgress), m_err(err) {}

    void onMergeProgress(const MergeOperationData&, const MergeOperationProgressInfo& info) override {
        if (!m_showProgress) return;
        const auto& statistics = info.operationsStatistics;
        const std::uint64_t done =
            statistics.countOfSuccessfullyPerformed + statistics.countOfFailed + statistics.countOfNotPerformed;
        const double part = info.sizeOfAllItems > 0 ? info.sizeOfMergedItems / info.sizeOfAllItems
                                                    : (statistics.totalCount ? double(done) / statistics.totalCount : 1);
        char line[96];
        std::snprintf(line, sizeof line, "%3.0f%%  %llu of %llu files", part * 100.0,
                      static_cast<unsigned long long>(done), static_cast<unsigned long long>(statistics.totalCount));
        m_err << "\r\033[K" << line << std::flush;
        m_lineShown = true;
    }
    void onMergeStateChanged(const MergeOperationData& merge) override {
        if (merge.state() != MergeState::ViewResult) return;
        if (m_lineShown) m_err << "\r\033[K" << std::flush;
        m_lineShown = false;
        platform::MainQueue::shared().stop();
    }

private:
    bool m_showProgress;
    bool m_lineShown = false;
    std::ostream& m_err;
};

void printResults(std::ostream& out, const MergeOperationData& merge) {
    const auto& statistics = merge.operationsStatistics();
    const std::string failureLine = MergeTexts::failureLine(statistics.countOfFailed, merge.options().action);
    for (const auto& line : merge.resultLines()) {
        out << line << "\n";
        if (statistics.countOfFailed == 0 || line != failureLine) continue;
        for (const auto& item : merge.sourceFolder()->items())
            if (item->action() && item->error())
                out << "  " << printablePath(item->name()) << ": " << reasonOf(*item->error()) << "\n";
    }
    if (const auto skipped = merge.operationsStatistics().countOfNotPerformed)
        out << MergeTexts::notPerformedLine(skipped) << "\n";
    const auto& removal = merge.sourceFolderOutcome();
    if (!removal) return;
    const std::string line = MergeTexts::sourceFolderLine(
        *removal, merge.sourceFolder()->name(), merge.destinationFolder()->name(),
        [](std::string_view name) { return printablePath(std::string(name)); });
    if (!line.empty()) out << line << "\n";
}

}  // namespace

std::optional<MergeCommandOptions> parseMergeCommandOptions(const std::vector<std::string>& args, std::string& error) {
    MergeCommandOptions options;
    std::vector<std::string> scanArgs;
    bool onlyFolders = false;
    for (const auto& arg : args) {
        if (onlyFolders || arg == "-" || !arg.starts_with("-")) {
            scanArgs.push_back(arg);
            continue;
        }
        const std::string_view name = std::string_view(arg).substr(0, arg.find('='));
        if (arg == "--") {
            onlyFolders = true;
            scanArgs.push_back(arg);
        } else if (arg == "--move" || arg == "--copy") {
            const bool move = arg == "--move";
            if (options.move && *options.move != move) {
                error = "choose --move or --copy, not both";
                return std::nullopt;
            }
            options.move = move;
        } else if (arg == "--different-names") {
            options.differentNames = true;
        } else if (arg == "--no-different-names") {
            options.differentNames = false;
        } else if (arg == "--remove-source") {
            options.removeSource = true;
        } else if (arg == "--preview") {
            options.previewOnly = true;
        } else if (std::find(kReportOptions.begin(), kReportOptions.end(), name) != kReportOptions.end()) {
            error = "option " + std::string(name) + " belongs to `kestrane scan`: a merge writes no report";
            return std::nullopt;
        } else {
            scanArgs.push_back(arg);
        }
    }
    auto scan = parseScanCommandOptions(scanArgs, error);
    if (!scan) {
        // The scan's own complaint about folders speaks of scanning.
        if (error == "name at least one folder to scan") error = "name the SOURCE folder and the DESTINATION folder";
        return std::nullopt;
    }
    options.scan = std::move(*scan);
    if (options.scan.help) return options;
    if (!options.scan.selection.empty() || options.scan.alwaysSelectFolders || options.scan.neverSelectFolders ||
        options.scan.review || options.scan.reviewSortType) {
        error = "selection and review options belong to `kestrane scan`: a merge selects nothing";
        return std::nullopt;
    }
    if (options.scan.folders.size() != 2) {
        error = "name the SOURCE folder and the DESTINATION folder (" + std::to_string(options.scan.folders.size()) +
                " folder" + (options.scan.folders.size() == 1 ? " was" : "s were") + " given)";
        return std::nullopt;
    }
    if (options.removeSource && options.move == false) {
        error = "--remove-source goes with --move: a copy leaves the source as it is";
        return std::nullopt;
    }
    // A merge acts on what the scan calls unique: every file is compared,
    // whatever its size, unless the command line says otherwise.
    if (options.scan.minimalSize == ScanCommandOptions::MinimalSize::stored)
        options.scan.minimalSize = ScanCommandOptions::MinimalSize::all;
    return options;
}

int runMergeCommand(const std::vector<std::string>& args) {
    std::string error;
    auto parsed = parseMergeCommandOptions(args, error);
    if (!parsed) {
        std::cerr << "kestrane merge: " << error << "; see `kestrane merge --help`\n";
        return kExitUsage;
    }
    MergeCommandOptions& options = *parsed;
    if (options.scan.help) {
        std::cout << mergeHelpText();
        return kExitSuccess;
    }

    CommandScan scan(options.scan, std::cerr);
    if (!scan.resolveFolders()) return kExitBadFolder;
    const std::string source = scan.folders()[0];
    const std::string destination = scan.folders()[1];
    if (source == destination) {
        std::cerr << "kestrane merge: SOURCE and DESTINATION are the same folder, " << printablePath(source) << "\n";
        return kExitUsage;
    }
    MergeOperationOptions mergeOptions = MergeOperationOptions::fromSettings(scan.settings());
    if (options.move) mergeOptions.action = *options.move ? MergeAction::Move : MergeAction::Copy;
    if (options.differentNames) mergeOptions.mergeDuplicatesWithDifferentNames = *options.differentNames;
    mergeOptions.removeSourceFolder = options.removeSource;
    if (options.removeSource && mergeOptions.action != MergeAction::Move) {
        std::cerr << "kestrane merge: --remove-source goes with --move (the preferences say copy); see `kestrane "
                     "merge --help`\n";
        return kExitUsage;
    }

    if (const int status = scan.run(CommandScan::OnInterrupt::abandon); status != kExitSuccess) return status;
    scan.releaseFlow();
    const auto& container = scan.container();
    const auto heap = MergeOperationData::heapOfFolders(*container, source, destination);
    if (!heap) {
        std::cerr << "kestrane merge: " << printablePath(source) << " and " << printablePath(destination)
                  << " cannot be merged: " << whyNoPair(*container, source, destination) << "; nothing was changed\n";
        return kExitUsage;
    }
    const auto merge = MergeOperationData::create(heap, container, mergeOptions);
    printPreview(std::cout, *merge);
    std::cout.flush();

    if (auto message = merge->feasibilityMessage()) {
        std::cerr << "kestrane merge: " << *message << "\n";
        return kExitFailure;
    }
    if (options.previewOnly) return kExitSuccess;
    if (merge->countOfAffectedItems() == 0 && !mergeOptions.removeSourceFolder) return kExitSuccess;

    const bool interactive = ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO);
    TerminalQuestions questions(options.scan.answers, interactive, std::cin, std::cerr);
    bool confirmed = false;
    questions.ask({.kind = "merge.confirm",
                   .title = "Merge \"" + printablePath(std::string(merge->sourceFolder()->name())) + "\" into \"" +
                            printablePath(std::string(merge->destinationFolder()->name())) + "\"?",
                   .text = merge->preview().message +
                           (mergeOptions.removeSourceFolder
                                ? " Then the source folder goes to the Trash if everything left in it has an "
                                  "identical copy in the destination."
                                : ""),
                   .buttons = {"Merge", "Cancel"},
                   .yesButton = 0,
                   .safeButton = 1,
                   .paths = {source, destination}},
                  [&](Answer answer) { confirmed = answer.button == 0; });
    if (!confirmed) {
        std::cerr << "kestrane merge: nothing was merged\n";
        return kExitFailure;
    }

    auto presenter = std::make_shared<MergePresenter>(options.scan.progress && ::isatty(STDERR_FILENO), std::cerr);
    merge->addListener(presenter);
    const int interruptsBefore = CommandScan::interruptCount();
    bool stopped = false;
    std::string refusal;
    if (!merge->perform(&refusal)) {
        std::cerr << "kestrane merge: " << refusal << "\n";
        return kExitFailure;
    }
    auto interruptWatch = platform::Timer::scheduled(50ms, true, [&] {
        if (stopped || CommandScan::interruptCount() == interruptsBefore) return;
        stopped = true;
        std::cerr << "\r\033[Kkestrane: stopping after the file under way (Ctrl-C again to quit at once)\n";
        merge->stop();
    });
    if (merge->state() != MergeState::ViewResult) platform::MainQueue::shared().run();
    interruptWatch.reset();

    printResults(std::cout, *merge);
    std::cout.flush();
    if (stopped) return kExitInterrupted;
    const auto& statistics = merge->operationsStatistics();
    const bool sourceAsAsked = !mergeOptions.removeSourceFolder ||
                               (merge->sourceFolderOutcome() && merge->sourceFolderOutcome()->removed);
    return statistics.countOfFailed == 0 && statistics.countOfNotPerformed == 0 && sourceAsAsked ? kExitSuccess
                                                                                                 : kExitFailure;
}

std::string mergeHelpText() {
    return R"(Usage: kestrane merge [OPTIONS] SOURCE DESTINATION

Makes DESTINATION complete with what only SOURCE holds. The two folders are
scanned first and must be similar folders: each directly holds copies of at
least two different files of the other. The files and folders directly in
SOURCE that have no copy directly in DESTINATION are copied (or moved) into
it; a name already taken there gets a number: "report.pdf" arrives as
"report 1.pdf" (or "report 2.pdf", and so on), a folder "photos.2019" as
"photos.2019 1". Nothing in DESTINATION is ever replaced, and a file changed
since the scan is left where it is.

A preview lists what will be done (with --preview, nothing more happens);
then the merge is confirmed (--yes, or on the terminal), performed with its
progress on standard error, and its result printed.

Merge options (without them, the merge preferences decide: see `kestrane
prefs`, KEY_MERGE_DIALOGUE_MOVE_MERGED_FILES and
KEY_MERGE_DIALOGUE_NEED_MERGE_DUPLICATES_WITH_DIFFERENT_NAMES):
      --copy            copy; SOURCE stays as it is (the default)
      --move            move: a rename on one file system; across file
                        systems a copy put in place, then the original removed
      --different-names also take over the files whose copy in DESTINATION
                        has another name: DESTINATION then holds both names
                        (the default)
      --no-different-names
                        leave those files out
      --remove-source   with --move: afterwards, send SOURCE to the Trash,
                        only when everything still in it has an identical
                        copy in DESTINATION, compared byte for byte
      --preview         show the plan and change nothing
  -y, --yes             merge without asking (and scan folders that raise a
                        question, such as a read-only volume)
  -n, --no              answer no to every question: nothing is merged
  -h, --help            show this help

Scan options, as for `kestrane scan` (for this run only):
  -m, --min-size SIZE   smallest file size compared; a merge compares every
                        file unless told otherwise ("all")
  -f, --full-hash       compare whole files, not three blocks of large ones
      --no-full-hash
  -H, --hidden          compare what lies inside hidden folders too
      --no-hidden
  -q, --no-progress     no progress on standard error

Without --yes a terminal is asked; a run without a terminal merges nothing
and says so. Ctrl-C during the scan stops it and changes nothing; during the
merge it stops after the file under way (a copy being made is dropped);
twice quits at once. An interrupted merge never leaves a partial file under
a real name: a copy is made under a hidden name (".NAME.kestrane-XXXXXX")
and renamed into place when complete.

Exit status: 0 merged (or nothing to merge), 1 a file could not be merged,
the source folder was kept although --remove-source asked, the merge was not
confirmed, or a folder cannot be written, 2 bad option, or the folders are
no similar-folder pair (nothing changed), 3 a folder does not exist, is not a
folder or cannot be read, 4 a folder was left out of the scan, 130
interrupted.

Examples:
  kestrane merge --preview ~/Pictures/Old ~/Pictures/Photos
  kestrane merge --move --remove-source --yes /mnt/backup/Music ~/Music
)";
}

}  // namespace kestrane::cli
