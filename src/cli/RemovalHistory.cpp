#include "cli/RemovalHistory.h"

#include "log/LogDates.h"
#include "log/RestoreController.h"
#include "log/RestoreControllersContainer.h"
#include "log/RestoreKernelManager.h"

#include <charconv>
#include <ctime>

namespace kestrane::cli {

std::vector<HistoryRun> loadRemovalHistory(const std::string& folder) {
    RestoreKernelManager history;
    history.loadFromFolder(folder);
    std::vector<HistoryRun> runs;
    for (const auto& day : history.restoreControllers()) {
        for (const auto& log : day->controllers()) {
            log->loadNow();
            if (log->children().empty()) continue;
            runs.push_back({0, log});
        }
    }
    // Within a day the logs came by their file names' dates; a loaded log
    // knows its own date.
    std::stable_sort(runs.begin(), runs.end(),
                     [](const HistoryRun& a, const HistoryRun& b) { return a.log->date() > b.log->date(); });
    for (std::size_t i = 0; i < runs.size(); ++i) runs[i].number = i + 1;
    return runs;
}

std::optional<HistoryRun> findRun(const std::vector<HistoryRun>& runs, const std::string& text, std::string& error) {
    std::size_t number = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (failure == std::errc() && end == text.data() + text.size()) {
        if (number >= 1 && number <= runs.size()) return runs[number - 1];
        error = runs.empty() ? "no removal has been recorded"
                             : "there is no run " + text + "; the history lists " + std::to_string(runs.size()) +
                                   (runs.size() == 1 ? " run" : " runs");
        return std::nullopt;
    }
    std::string dateText = text;
    if (dateText.ends_with(".log")) dateText.resize(dateText.size() - 4);
    const auto date = parseLogDate(dateText);
    if (!date) {
        error = "\"" + text + "\" is neither a run number nor a date such as 2026-03-05 14:07:09";
        return std::nullopt;
    }
    std::vector<HistoryRun> matching;
    for (const auto& run : runs)
        if (run.log->date() == *date || run.log->name() == dateText + ".log") matching.push_back(run);
    if (matching.size() == 1) return matching.front();
    if (matching.empty()) {
        error = "no run was recorded at " + text + "; see `kestrane history`";
    } else {
        error = "more than one run was recorded at " + text + ": name it by its number (";
        for (std::size_t i = 0; i < matching.size(); ++i)
            error += (i ? ", " : "") + std::to_string(matching[i].number);
        error += ")";
    }
    return std::nullopt;
}

RunFigures figuresOf(const RestoreController& log) {
    RunFigures figures;
    for (const auto& item : log.children()) {
        const std::uint64_t size = item->fileSize() > 0 ? static_cast<std::uint64_t>(item->fileSize()) : 0;
        ++figures.count;
        figures.size += size;
        if (item->isTrashItem()) {
            ++figures.trashCount;
            figures.trashSize += size;
        } else {
            ++figures.permanentCount;
            figures.permanentSize += size;
        }
        ++figures.availability[item->restoreAvailability()];
    }
    return figures;
}

std::string availabilityText(RestoreAvailability availability) {
    switch (availability) {
        case RestoreAvailability::restored: return "already restored";
        case RestoreAvailability::fromTrash: return "in the Trash";
        case RestoreAvailability::fromKeptCopy: return "from the kept copy";
        case RestoreAvailability::fromOtherCopy: return "from another copy";
        case RestoreAvailability::fromChosenFile: return "from a chosen file";
        case RestoreAvailability::none: return "cannot be restored";
    }
    return {};
}

std::string availabilityKey(RestoreAvailability availability) {
    switch (availability) {
        case RestoreAvailability::restored: return "restored";
        case RestoreAvailability::fromTrash: return "inTrash";
        case RestoreAvailability::fromKeptCopy: return "fromKeptCopy";
        case RestoreAvailability::fromOtherCopy: return "fromOtherCopy";
        case RestoreAvailability::fromChosenFile: return "fromChosenFile";
        case RestoreAvailability::none: return "notRestorable";
    }
    return {};
}

std::string runDateText(std::int64_t seconds) {
    const std::string text = logDateText(seconds);  // "yyyy-MM-dd HH:mm:ss GMT+1"
    return text.substr(0, std::min<std::size_t>(text.size(), 19));
}

}  // namespace kestrane::cli
