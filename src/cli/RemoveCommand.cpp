#include "cli/RemoveCommand.h"

#include "cli/CommandScan.h"
#include "cli/ExitStatus.h"
#include "cli/ReportText.h"
#include "cli/ReviewReport.h"
#include "cli/ScanReport.h"
#include "cli/TerminalQuestions.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "platform/FileComparison.h"
#include "platform/MainQueue.h"
#include "platform/Timer.h"
#include "removal/DuplicateItemsRemover.h"
#include "removal/RemovalCheck.h"
#include "removal/RemovalPaths.h"
#include "settings/Settings.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>

#include <unistd.h>

namespace kestrane::cli {

namespace {

using namespace std::chrono_literals;

constexpr const char* kPrefix = "kestrane remove: ";
// The question of the command line before anything is removed.
constexpr const char* kConfirmKind = "remove.confirm";

std::string copies(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " copy" : " copies");
}

// One copy that was selected and is still there, and why.
struct NotRemoved {
    std::string path;
    std::string reason;  // "changed since the scan", "not identical to the kept copy", or the error group
    std::string detail;
};

// Shows the session's progress on standard error (when it is a terminal) and
// keeps what it removed.
class RemovalPresenter final : public DuplicateItemsRemoverDelegate {
public:
    RemovalPresenter(bool showProgress, std::uint64_t total, std::ostream& err)
        : m_showProgress(showProgress), m_total(total), m_err(err) {}

    void onRemoverRemove(DuplicateItemsRemover&, const std::vector<std::shared_ptr<DuplicateItem>>& items) override {
        for (const auto& item : items) removed.push_back(item->getFileItemPath());
        show();
    }
    void onRemoverBeginRemoveSession(DuplicateItemsRemover&) override { show(); }
    void onRemoverFinishWork(DuplicateItemsRemover&) override {
        clearLine();
        finished = true;
        platform::MainQueue::shared().stop();
    }

    void show() {
        if (!m_showProgress || finished) return;
        m_err << "\r\x1b[KRemoving: " << removed.size() << " of " << copies(m_total) << std::flush;
        m_lineShown = true;
    }
    void clearLine() {
        if (m_lineShown) m_err << "\r\x1b[K" << std::flush;
        m_lineShown = false;
    }

    std::vector<std::string> removed;
    bool finished = false;

private:
    bool m_showProgress;
    std::uint64_t m_total;
    std::ostream& m_err;
    bool m_lineShown = false;
};

struct Outcome {
    bool dryRun = false;
    bool toTrash = true;
    std::uint64_t selectedCount = 0;
    std::uint64_t selectedSize = 0;
    std::vector<std::string> removed;  // or, in a dry run, what would be
    std::uint64_t removedSize = 0;
    std::vector<NotRemoved> notRemoved;
    std::string logFile;
    std::optional<nlohmann::ordered_json> review;  // --review, for the JSON result
};

void writeHuman(std::ostream& out, const Outcome& outcome) {
    const std::string where = outcome.toTrash ? "to the Trash" : "permanently";
    if (outcome.dryRun) {
        out << "Would remove " << copies(outcome.removed.size()) << " (" << formatSize(outcome.removedSize) << ") "
            << where << "; nothing was changed.\n";
    } else {
        out << "Removed " << copies(outcome.removed.size()) << " (" << formatSize(outcome.removedSize) << ") " << where
            << ".\n";
    }
    if (!outcome.notRemoved.empty()) {
        out << copies(outcome.notRemoved.size()) << (outcome.dryRun ? " would be kept:" : " not removed:") << "\n";
        for (const auto& copy : outcome.notRemoved) {
            out << "  " << printablePath(copy.path) << ": " << copy.reason;
            if (!copy.detail.empty()) out << " (" << printablePath(copy.detail) << ")";
            out << "\n";
        }
    }
    if (!outcome.logFile.empty()) out << "The removal log is " << printablePath(outcome.logFile) << "\n";
}

void writeJson(std::ostream& out, const Outcome& outcome) {
    nlohmann::ordered_json report;
    report["dryRun"] = outcome.dryRun;
    report["to"] = outcome.toTrash ? "trash" : "permanently";
    report["selected"] = {{"count", outcome.selectedCount}, {"size", outcome.selectedSize}};
    if (outcome.review) report["review"] = *outcome.review;
    report["removed"] = {{"count", outcome.removed.size()}, {"size", outcome.removedSize}};
    auto& removed = report["removedCopies"] = nlohmann::ordered_json::array();
    for (const auto& path : outcome.removed) {
        nlohmann::ordered_json copy = nlohmann::ordered_json::object();
        putPath(copy, path);
        removed.push_back(std::move(copy));
    }
    auto& kept = report["notRemoved"] = nlohmann::ordered_json::array();
    for (const auto& copy : outcome.notRemoved) {
        nlohmann::ordered_json entry = nlohmann::ordered_json::object();
        putPath(entry, copy.path);
        entry["reason"] = copy.reason;
        entry["detail"] = copy.detail;
        kept.push_back(std::move(entry));
    }
    if (outcome.logFile.empty()) report["log"] = nullptr;
    else putPath(report, outcome.logFile, "log");
    // Bytes that are not UTF-8 become U+FFFD; paths carry their exact bytes beside (putPath).
    out << report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

// What the checks say of each copy of the removal list, without removing anything.
void dryRun(const DuplicatesContainer& container, Outcome& outcome) {
    const auto items = container.buildRemoveListAsArray();
    RemovalPaths removing;
    for (const auto& item : items) removing.add(item->getFileItemPath());
    platform::ByteComparer comparer;
    for (const auto& item : items) {
        const RemovalCheck check = RemovalCheck::prepare(*item, removing);
        const RemovalCheck::Outcome verdict = check.verify(comparer);
        if (verdict.result == RemovalCheck::Result::passed) {
            outcome.removed.push_back(item->getFileItemPath());
            outcome.removedSize += item->getFileItemSize();
        } else {
            outcome.notRemoved.push_back({item->getFileItemPath(), RemovalCheck::describe(verdict.result), verdict.detail});
        }
    }
}

}  // namespace

std::optional<RemoveCommandOptions> parseRemoveCommandOptions(const std::vector<std::string>& args, std::string& error) {
    RemoveCommandOptions options;
    std::vector<std::string> scanArgs;
    bool onlyFolders = false;
    for (const auto& arg : args) {
        if (onlyFolders || arg == "--") {
            onlyFolders = true;
            scanArgs.push_back(arg);
        } else if (arg == "--trash") {
            options.toTrash = true;
        } else if (arg == "--permanently") {
            options.toTrash = false;
        } else if (arg == "--remove-empty-folders") {
            options.removeEmptyFolders = true;
        } else if (arg == "--keep-empty-folders") {
            options.removeEmptyFolders = false;
        } else if (arg == "--dry-run") {
            options.dryRun = true;
        } else if (arg == "-o" || arg.starts_with("--output") || arg == "-a" || arg == "--all") {
            error = "option " + arg + " belongs to `kestrane scan`: `kestrane remove` prints what it did, not a report";
            return std::nullopt;
        } else {
            scanArgs.push_back(arg);
        }
    }
    auto scan = parseScanCommandOptions(scanArgs, error);
    if (!scan) {
        if (error == "name at least one folder to scan") error = "name at least one folder to scan for copies to remove";
        return std::nullopt;
    }
    if (scan->report.format == ReportFormat::csv) {
        error = "`kestrane remove` prints its result as human text or json, not csv";
        return std::nullopt;
    }
    options.scan = std::move(*scan);
    return options;
}

int runRemoveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string error;
    auto parsed = parseRemoveCommandOptions(args, error);
    if (!parsed) {
        err << kPrefix << error << "; see `kestrane remove --help`\n";
        return kExitUsage;
    }
    RemoveCommandOptions& options = *parsed;
    if (options.scan.help) {
        out << removeHelpText();
        return kExitSuccess;
    }

    CommandScan scan(options.scan, err);
    if (!scan.resolveFolders()) return kExitBadFolder;
    auto selectionActions = makeSelectionActions(options.scan.selection);
    if (!checkSelectionActions(selectionActions, scan.folders(), err)) return kExitUsage;
    // A scan stopped half-way is no ground for removing anything.
    if (const int status = scan.run(CommandScan::OnInterrupt::abandon); status != kExitSuccess) return status;
    const auto container = scan.container();
    scan.releaseFlow();
    if (!selectionActions.empty()) {
        SelectionContext context{container, scan.questions(), err};
        runSelectionActionsAndWait(std::move(selectionActions), context);
    }

    Settings& settings = scan.settings();
    Outcome outcome;
    outcome.dryRun = options.dryRun;
    outcome.toTrash = options.toTrash.value_or(settings.moveCleanedDuplicatesToTheTrashCan());
    const bool removeEmptyFolders = options.removeEmptyFolders.value_or(settings.removeEmptyFolders());
    const RemovalListTotals selected = removalListTotals(*container);
    outcome.selectedCount = selected.count;
    outcome.selectedSize = selected.size;
    const bool json = options.scan.report.format == ReportFormat::json;
    const auto write = [&] {
        if (json) writeJson(out, outcome);
        else writeHuman(out, outcome);
    };

    // The review: what is selected, in count and size, and with --review the
    // copies themselves as the review presents them.
    err << "kestrane: " << copies(selected.count) << " (" << formatSize(selected.size) << ") selected for removal "
        << (outcome.toTrash ? "to the Trash" : "permanently") << "\n";
    if (options.scan.review && selected.count > 0) {
        const ReviewOptions review{
            .presentation = options.scan.reviewPresentation.value_or(settings.selectedFilesPresentation()),
            .sortType = options.scan.reviewSortType.value_or(settings.selectedFilesSortType())};
        if (json) {
            std::ostringstream members;
            writeJsonReview(members, *container, review, "  ");
            outcome.review = nlohmann::ordered_json::parse("{\n" + members.str() + "\n}", nullptr, false);
            if (outcome.review->is_discarded()) outcome.review.reset();
        } else {
            writeHumanReview(out, *container, review);
            out << std::flush;
        }
    }
    if (selected.count == 0) {
        err << "kestrane: nothing to remove; choose copies with the selection options (see `kestrane remove --help`)\n";
        write();
        return kExitSuccess;
    }
    if (options.dryRun) {
        dryRun(*container, outcome);
        write();
        return outcome.notRemoved.empty() ? kExitSuccess : kExitNotAllRemoved;
    }

    // The confirmation: the permanent removal's own question while its
    // preference shows it, otherwise the command line's.
    const auto questions = scan.questions();
    std::optional<bool> confirmed;
    if (!outcome.toTrash && settings.showRemovePermanentlyMessage()) {
        DuplicateItemsRemover::confirmRemovePermanently(questions, selected.count, [&](bool ok) { confirmed = ok; });
    } else {
        Question question;
        question.kind = kConfirmKind;
        question.title = "Remove " + copies(selected.count) + " (" + formatSize(selected.size) + ") " +
                         (outcome.toTrash ? "to the Trash?" : "permanently?");
        question.text = outcome.toTrash ? "They can be put back from the Trash, or with `kestrane restore`."
                                        : "They cannot be put back from the Trash; `kestrane restore` can copy "
                                          "them back from the copies that are kept.";
        question.buttons = {"Remove", "Cancel"};
        question.yesButton = 0;
        question.safeButton = 1;
        question.parameters = {{"count", std::to_string(selected.count)}, {"size", std::to_string(selected.size)}};
        questions->ask(question, [&](Answer answer) { confirmed = answer.button == question.yesButton; });
    }
    platform::MainQueue::shared().runUntil([&] { return confirmed.has_value(); }, std::chrono::hours(24 * 365));
    if (!confirmed.value_or(false)) {
        err << "kestrane: nothing was removed\n";
        return kExitNotConfirmed;
    }

    const auto presenter =
        std::make_shared<RemovalPresenter>(options.scan.progress && ::isatty(STDERR_FILENO), selected.count, err);
    const auto remover = DuplicateItemsRemover::create(presenter, questions);
    remover->setContainer(container);
    remover->setRemoveToTrash(outcome.toTrash);
    remover->setRemoveEmptyFolders(removeEmptyFolders);
    const int interruptsBefore = CommandScan::interruptCount();
    CommandScan::installInterruptHandler();
    bool stopping = false;
    auto interruptWatch = platform::Timer::scheduled(50ms, true, [&] {
        if (stopping || CommandScan::interruptCount() == interruptsBefore) return;
        stopping = true;
        presenter->clearLine();
        err << "kestrane: stopping after the copy being removed (Ctrl-C again quits at once)\n";
        remover->stop();
    });
    remover->removeItemsInRemoveList();
    if (!presenter->finished) platform::MainQueue::shared().run();
    interruptWatch->invalidate();

    outcome.removed = presenter->removed;
    outcome.removedSize = remover->removedSize();
    outcome.logFile = remover->logFilePath();
    for (const auto& skipped : remover->skippedCopies())
        outcome.notRemoved.push_back({skipped.path, RemovalCheck::describe(skipped.outcome.result), skipped.outcome.detail});
    for (const auto& failure : remover->removeErrors())
        outcome.notRemoved.push_back({failure.path(), std::string("not removed (") + nameOfGroupType(failure.removeGroupType()) + ")",
                                      failure.error() ? failure.error()->message : std::string()});
    for (const auto& notice : remover->notices()) err << "kestrane: " << notice << "\n";
    // A stop leaves the copies not yet taken as they were.
    const std::uint64_t accounted = outcome.removed.size() + outcome.notRemoved.size();
    if (stopping && accounted < selected.count)
        err << "kestrane: stopped; " << copies(selected.count - accounted) << " left as they were\n";
    write();
    return outcome.removed.size() == selected.count ? kExitSuccess : kExitNotAllRemoved;
}

std::string removeHelpText() {
    return R"(Usage: kestrane remove [OPTIONS] FOLDER...

Scans the FOLDERs as `kestrane scan` does, selects copies with the selection
options, says how many copies are selected and how much they hold, asks, and
removes them: to the Trash (the freedesktop.org Trash of each volume, which
the desktop's file manager lists and restores), or permanently. Every removal
is logged, so that `kestrane history` shows it and `kestrane restore` puts
the files back.

Before a copy goes, Kestrane checks that it is unchanged since the scan, that
a copy of it that stays is unchanged and is another file (not a hard link of
it), and that the two are equal byte for byte; a duplicate folder must hold
exactly what the scan saw, each file equal to one in a kept folder. A copy
that fails is left alone and listed with the reason ("changed since the
scan", "not identical to the kept copy").

Removal options:
      --trash           move to the Trash (the default, unless the preference
                        KEY_moveCleanedDuplicatesToTheTrashCan is off)
      --permanently     delete permanently; asks "Are you sure you want to
                        delete some files permanently?" unless that message
                        was turned off (KEY_showRemovePermanentlyMessage)
      --remove-empty-folders
                        afterwards, remove the folders the removal left empty
                        (or holding only .DS_Store, Thumbs.db, .localized);
                        never a FOLDER itself
      --keep-empty-folders
                        leave them (these two override KEY_removeEmptyFolders)
      --dry-run         check every selected copy and say what would be
                        removed; nothing is asked, removed or logged
  -y, --yes             answer yes: remove without asking, and accept what a
                        failure asks (a script with administrator rights to
                        unlock or remove what your account may not)
  -n, --no              answer no to every question: nothing is removed
  -F, --format FORMAT   the result on standard output: human (the default)
                        or json (see docs/report-format.md)
  -q, --no-progress     no progress line on standard error
  -h, --help            show this help

Scan options (see `kestrane scan --help`): -m/--min-size, -f/--full-hash,
--no-full-hash, -H/--hidden, --no-hidden, --no-folder-stages, --stats;
--always-select DIR and --never-select DIR set auto-select's folder lists
for the run.

The review, before the question: --review [tree|folders|list] lists the
selected copies (JSON: the member "review" of the result), --sort WORD orders
them (see `kestrane scan --help`).

Selection, applied after the scan in the order given (each option may be
repeated; DIR must be a folder being scanned or lie inside one):

)" + selectionOptionsHelp() + R"(
Without --yes a terminal is asked; without a terminal nothing is removed.
When a copy cannot be removed (a folder you may not change, a locked file,
a read-only or network volume), the copies are grouped by reason and each
group is asked about in turn; confirming runs a generated script, with
administrator rights through pkexec (or sudo where polkit is missing) when
needed. Standard error shows the progress; Ctrl-C stops after the copy being
removed, twice quits at once.

Exit status: 0 every selected copy was removed (also when nothing was
selected), 2 bad option or value, 3 a folder does not exist, is not a folder
or cannot be read, 4 every folder was left out, 5 some selected copies were
not removed (each is listed with the reason), 6 the removal was not
confirmed: nothing was removed, 130 interrupted twice.

Examples:
  kestrane remove --auto-select --review ~/Pictures
  kestrane remove --select-in ~/Downloads ~/Downloads ~/Pictures
  kestrane remove --dry-run --select-in /mnt/backup/old /mnt/backup
  kestrane remove --permanently --yes --select-in ~/tmp ~/tmp ~/Documents
)";
}

}  // namespace kestrane::cli
