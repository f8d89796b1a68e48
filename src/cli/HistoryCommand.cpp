#include "cli/HistoryCommand.h"

#include "cli/ExitStatus.h"
#include "cli/RemovalHistory.h"
#include "cli/ReportText.h"
#include "cli/ScanReport.h"
#include "log/KeptItem.h"
#include "log/LogDates.h"
#include "log/RestoreController.h"
#include "log/RestoreItem.h"
#include "log/VaqLogFactory.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <ostream>

namespace kestrane::cli {

namespace {

using json = nlohmann::ordered_json;

constexpr const char* kPrefix = "kestrane history: ";
constexpr int kHistoryVersion = 1;

const RestoreAvailability kAvailabilities[] = {
    RestoreAvailability::fromTrash,     RestoreAvailability::fromKeptCopy, RestoreAvailability::fromOtherCopy,
    RestoreAvailability::fromChosenFile, RestoreAvailability::restored,    RestoreAvailability::none,
};

std::string countText(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "can be restored: 2 from the Trash, 1 from the kept copy; already restored: 1; cannot be restored: 1"
std::string availabilityLine(const RunFigures& figures) {
    auto count = [&](RestoreAvailability availability) {
        const auto found = figures.availability.find(availability);
        return found == figures.availability.end() ? std::uint64_t{0} : found->second;
    };
    std::string restorable;
    const std::pair<RestoreAvailability, const char*> sources[] = {
        {RestoreAvailability::fromTrash, "from the Trash"},
        {RestoreAvailability::fromKeptCopy, "from kept copies"},
        {RestoreAvailability::fromOtherCopy, "from other copies"},
        {RestoreAvailability::fromChosenFile, "from chosen files"},
    };
    for (const auto& [availability, words] : sources)
        if (const auto n = count(availability)) restorable += (restorable.empty() ? "" : ", ") + std::to_string(n) + " " + words;
    std::string line;
    if (!restorable.empty()) line = "can be restored: " + restorable;
    if (const auto n = count(RestoreAvailability::restored))
        line += (line.empty() ? "" : "; ") + std::string("already restored: ") + std::to_string(n);
    if (const auto n = count(RestoreAvailability::none))
        line += (line.empty() ? "" : "; ") + std::string("cannot be restored: ") + std::to_string(n);
    return line;
}

void writeHumanRuns(std::ostream& out, const std::vector<HistoryRun>& runs) {
    if (runs.empty()) {
        out << "No removals have been recorded.\n";
        return;
    }
    std::optional<LocalDay> day;
    for (const auto& run : runs) {
        const RunFigures figures = figuresOf(*run.log);
        const LocalDay runDay = localDayOf(run.log->date());
        const std::string date = runDateText(run.log->date());
        if (!day || *day != runDay) {
            if (day) out << "\n";
            out << date.substr(0, 10) << "\n";
            day = runDay;
        }
        std::string removal;
        if (figures.trashCount) removal += std::to_string(figures.trashCount) + " to the Trash";
        if (figures.permanentCount)
            removal += (removal.empty() ? "" : ", ") + std::to_string(figures.permanentCount) + " permanently";
        std::string number = std::to_string(run.number);
        number.insert(0, number.size() < 3 ? 3 - number.size() : 0, ' ');
        out << number << "  " << date.substr(11) << "  " << countText(figures.count, "file", "files") << ", "
            << formatSize(figures.size) << " removed: " << removal << "\n";
        out << std::string(15, ' ') << availabilityLine(figures) << "\n";
    }
}

void writeHumanRun(std::ostream& out, const HistoryRun& run) {
    const RunFigures figures = figuresOf(*run.log);
    out << "Run " << run.number << ", " << runDateText(run.log->date()) << ": "
        << countText(figures.count, "file", "files") << ", " << formatSize(figures.size) << " removed\n";
    out << "Log: " << printablePath(run.log->path()) << "\n";
    for (const auto& item : run.log->children()) {
        const RestoreAvailability availability = item->restoreAvailability();
        std::string state = availabilityText(availability);
        state.resize(std::max<std::size_t>(state.size(), 19), ' ');
        out << "  " << state << "  " << printablePath(item->originalPath());
        if (!item->isDirectory() && item->fileSize() >= 0)
            out << "  " << formatSize(static_cast<std::uint64_t>(item->fileSize()));
        if (availability == RestoreAvailability::restored) {
            if (const auto at = item->pathToRestoredFile(); at && *at != item->originalPath())
                out << "  (at " << printablePath(*at) << ")";
        } else if (availability == RestoreAvailability::fromKeptCopy) {
            if (const auto kept = item->pathToKeptCopyItem()) out << "  (kept: " << printablePath(*kept) << ")";
        }
        out << "\n";
    }
}

json fileObject(const BaseRemovedItem& item) {
    json file = json::object();
    putPath(file, item.originalPath());
    file["size"] = item.fileSize();
    file["isDirectory"] = item.isDirectory();
    if (const auto modified = item.originalFileModificationDate())
        file["modified"] = formatIsoDate(platform::FileTime{*modified, 0});
    file["removal"] = item.isTrashItem() ? "trash" : "permanent";
    if (const auto* trashed = dynamic_cast<const RestoreItem*>(&item)) putPath(file, trashed->pathInTrash(), "trashPath");
    json kept = json::array();
    for (const auto& path : item.pathToKeptCopyItemsArrayEvenNotExisting()) {
        json entry = json::object();
        putPath(entry, path);
        kept.push_back(std::move(entry));
    }
    file["keptCopies"] = std::move(kept);
    const RestoreAvailability availability = item.restoreAvailability();
    file["state"] = availabilityKey(availability);
    if (availability == RestoreAvailability::restored) {
        if (const auto at = item.pathToRestoredFile()) putPath(file, *at, "restoredPath");
    } else if (availability != RestoreAvailability::none) {
        if (const auto source = item.itemToRestoreFrom())
            if (const auto from = source->itemToRestoreSourcePath()) putPath(file, *from, "source");
    }
    return file;
}

json runObject(const HistoryRun& run) {
    const RunFigures figures = figuresOf(*run.log);
    json object = json::object();
    object["number"] = run.number;
    object["date"] = formatIsoDate(platform::FileTime{run.log->date(), 0});
    putPath(object, run.log->path(), "logFile");
    object["application"] = run.log->application();
    object["removedCount"] = figures.count;
    object["removedSize"] = figures.size;
    object["trashCount"] = figures.trashCount;
    object["trashSize"] = figures.trashSize;
    object["permanentCount"] = figures.permanentCount;
    object["permanentSize"] = figures.permanentSize;
    json states = json::object();
    for (const auto availability : kAvailabilities) {
        const auto found = figures.availability.find(availability);
        states[availabilityKey(availability)] = found == figures.availability.end() ? 0 : found->second;
    }
    object["states"] = std::move(states);
    json files = json::array();
    for (const auto& item : run.log->children()) files.push_back(fileObject(*item));
    object["files"] = std::move(files);
    return object;
}

}  // namespace

int runHistoryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool asJson = false;
    std::optional<std::string> runText;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            out << historyHelpText();
            return kExitSuccess;
        }
        std::string format;
        if (arg == "--format" || arg == "-f") {
            if (i + 1 >= args.size()) {
                err << kPrefix << "option " << arg << " needs a value; see `kestrane history --help`\n";
                return kExitUsage;
            }
            format = args[++i];
        } else if (arg.starts_with("--format=")) {
            format = arg.substr(9);
        } else if (arg.starts_with("-") && arg != "-") {
            err << kPrefix << "unknown option \"" << arg << "\"; see `kestrane history --help`\n";
            return kExitUsage;
        } else if (!runText) {
            runText = arg;
            continue;
        } else {
            err << kPrefix << "one run at a time; see `kestrane history --help`\n";
            return kExitUsage;
        }
        if (format == "json") {
            asJson = true;
        } else if (format == "human") {
            asJson = false;
        } else {
            err << kPrefix << "unknown format \"" << format << "\"; formats are human and json\n";
            return kExitUsage;
        }
    }

    const std::string folder = VaqLogFactory::logFolderPath();
    const auto runs = loadRemovalHistory(folder);
    std::optional<HistoryRun> chosen;
    if (runText) {
        std::string error;
        chosen = findRun(runs, *runText, error);
        if (!chosen) {
            err << kPrefix << error << "\n";
            return kExitUsage;
        }
    }
    if (!asJson) {
        if (chosen)
            writeHumanRun(out, *chosen);
        else
            writeHumanRuns(out, runs);
        return kExitSuccess;
    }
    json history = json::object();
    history["format"] = "kestrane-removal-history";
    history["version"] = kHistoryVersion;
    history["kestraneVersion"] = KESTRANE_VERSION;
    putPath(history, folder, "logFolder");
    json list = json::array();
    for (const auto& run : runs)
        if (!chosen || chosen->number == run.number) list.push_back(runObject(run));
    history["runs"] = std::move(list);
    out << history.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
    return kExitSuccess;
}

std::string historyHelpText() {
    return R"(Usage: kestrane history [RUN] [--format human|json]

Shows the removal runs recorded in the removal logs
($XDG_DATA_HOME/Kestrane/Removed, by default ~/.local/share/Kestrane/Removed),
newest first and by day: for each run its number, its time, how many files
it removed and their size, how many went to the Trash and how many were
deleted permanently, and how many can still be restored and from where (the
Trash, the copy that was kept, another copy) or were restored already.

RUN shows the files of one run instead: its number in the list (1 is the
newest) or its date as the list shows it (2026-03-05 14:07:09).

Options:
  -f, --format FORMAT  human (the default) or json (laid out in
                       kestrane(1) and docs/report-format.md)
  -h, --help           show this help

Exit status: 0 done (also when nothing was recorded), 2 a wrong option or a
RUN that names no run.
)";
}

}  // namespace kestrane::cli
