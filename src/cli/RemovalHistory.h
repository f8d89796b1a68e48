#pragma once

#include "log/BaseRemovedItem.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {
class RestoreController;
}

namespace kestrane::cli {

// One removal run of the history as the command line numbers it: 1 is the
// newest.
struct HistoryRun {
    std::size_t number = 0;
    std::shared_ptr<RestoreController> log;  // loaded
};

// Every log of the folder, read, newest first and numbered; logs that hold
// nothing to restore (unreadable, or no removed file) are left out.
std::vector<HistoryRun> loadRemovalHistory(const std::string& folder);

// The run a RUN argument names: its number in the list, or its date as the
// history shows it ("2026-03-05 14:07:09", with or without the zone, or the
// log's file name). None, with a message in `error`, when no run or more
// than one has it.
std::optional<HistoryRun> findRun(const std::vector<HistoryRun>& runs, const std::string& text, std::string& error);

// What a run removed and what can come back.
struct RunFigures {
    std::uint64_t count = 0, size = 0;                     // everything removed
    std::uint64_t trashCount = 0, trashSize = 0;           // to a trash
    std::uint64_t permanentCount = 0, permanentSize = 0;   // permanently
    std::map<RestoreAvailability, std::uint64_t> availability;
};
RunFigures figuresOf(const RestoreController& log);

// "in the Trash", "restorable from the kept copy", ... for a human reader;
// "inTrash", "fromKeptCopy", ... for scripts.
std::string availabilityText(RestoreAvailability availability);
std::string availabilityKey(RestoreAvailability availability);

// "2026-03-05 14:07:09": a log's date for a human reader, local time.
std::string runDateText(std::int64_t seconds);

}  // namespace kestrane::cli
