#pragma once

#include "log/VaqLogGroup.h"
#include "platform/Error.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class DuplicateItem;
class DuplicatesGroup;
class RemoveLog;

// The recorder of removal runs: the removal tells it which groups take part,
// then every item it removed (permanently, or to a trash with the place it
// went), and the recorder keeps one log file per run in
// $XDG_DATA_HOME/Kestrane/Removed/ ("yyyy-MM-dd HH.mm.ss z.log"), from which
// the history reads removed files back and restores them.
//
// A run, from the removal's side (any thread; every operation takes the
// recorder's lock):
//
//   VaqLog& log = VaqLog::shared();
//   log.beginLogOfGroups(groups);          // every group that takes part, before anything is removed
//   ... remove items, then for each one:
//   log.onItemMovedToTrash(item, entry.trashedPath);   // or
//   log.onItemRemoved(item);                             // removed permanently
//   ... after each batch of removed items:
//   log.flush();                            // the file on disk lists every item reported so far
//   log.endLog();                           // after the run
//
// The kept copies of a group are the items that were not reported removed;
// sizes, modification dates and folder flags are taken from the items when
// the run begins. Durable: flush() (and endLog()) write the whole log to a
// temporary file, fsync it and rename it over the run's file, so a run
// killed at any moment leaves a readable log of everything reported up to
// its last flush. The file is made at the first flush that has something
// removed to record; a run that removed nothing leaves no file. With the
// setting "Log Removed Duplicates" off when the run begins, nothing is
// recorded.
class VaqLog {
public:
    // The process-wide recorder, writing into VaqLogFactory::logFolderPath()
    // as it is when each run begins.
    static VaqLog& shared();
    VaqLog();
    // A recorder writing into `folder` (tests, tools).
    explicit VaqLog(std::string folder);
    ~VaqLog();
    VaqLog(const VaqLog&) = delete;
    VaqLog& operator=(const VaqLog&) = delete;

    // Ends a run in progress, reads the setting "Log Removed Duplicates" and,
    // when it is on, keeps every group with each of its items (path, size,
    // modification date, folder flag). Items without a path are left out; a
    // group replaces an earlier one with the same id.
    void beginLogOfGroups(const std::vector<std::shared_ptr<DuplicatesGroup>>& groups);
    // The same, from groups described by the caller.
    void beginLogOfGroups(std::vector<VaqLogGroup> groups);

    // An item removed permanently / moved to a trash (pathInTrash: where it
    // went, TRASH/files/NAME). Items of groups or paths not in the run are
    // ignored, as is everything while logging is off.
    void onItemRemoved(const DuplicateItem& item);
    void onItemMovedToTrash(const DuplicateItem& item, const std::string& pathInTrash);
    void onItemRemoved(std::uint64_t groupId, const std::string& path);
    void onItemMovedToTrash(std::uint64_t groupId, const std::string& path, const std::string& pathInTrash);

    // Writes the run's file as it now stands (see above); nothing when
    // nothing was removed or nothing changed since the last write. Returns
    // why the file could not be written; the run goes on, and the next
    // flush tries again. Waits for the write: call it from the removal's
    // working queue, not while holding up the main queue for long.
    std::optional<Error> flush();
    // The last flush, then the run is over: the groups are forgotten. Does
    // nothing when logging was off.
    std::optional<Error> endLog();

    bool hasRemovedItems() const;
    bool isLoggingTurnOn() const;
    void addGroup(VaqLogGroup group);
    std::optional<VaqLogGroup> groupWithIdentifier(std::uint64_t identifier) const;
    // The folder the logs go to, made (mode 0700) when missing.
    std::string logFolderPath() const;
    // The file of the run in progress; empty before its first write.
    std::string currentLogFilePath() const;

    // Where "now" comes from for a new log's date, in seconds since 1970
    // (tests set a fixed moment; the real clock by default).
    void setDateSource(std::function<std::int64_t()> now);

private:
    std::string folderForNewRun() const;
    void markRemoved(std::uint64_t groupId, const std::string& path, std::optional<std::string> pathInTrash);
    std::optional<Error> claimFileName(RemoveLog& log, const std::string& folder);

    mutable std::mutex m_mutex;  // the run's state
    const std::string m_fixedFolder;
    std::function<std::int64_t()> m_now;
    bool m_isLoggingTurnOn = false;
    bool m_changedSinceWrite = false;
    std::map<std::uint64_t, VaqLogGroup> m_groups;
    std::string m_runFolder;
    std::shared_ptr<RemoveLog> m_currentLog;  // made at the first write

    mutable std::mutex m_writeMutex;  // one write at a time; guards the file name
    std::string m_currentFile;
};

}  // namespace kestrane
