#pragma once

#include "removal/RemovalCheck.h"
#include "removal/Remover.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestrane {

class DuplicateItem;

namespace platform {
class ByteComparer;
class Clock;
class SerialQueue;
class Trash;
}  // namespace platform

// The first pass of a removal: removes every copy of the list with the
// process's own rights, to the Trash or permanently, and collects what
// failed.
//
// Before a copy is touched, its RemovalCheck runs: a copy that changed since
// the scan, or that no unchanged, byte-identical kept copy backs, is left
// alone and comes back among skippedCopies(). Copies go longest path first
// (what lies deeper in a tree goes before what holds it), one at a time, on
// one remove queue; the bookkeeping runs on a serial working queue. A
// permanent removal that fails for lack of permission (EACCES, EPERM, with
// neither the item nor its folder locked) is handed to the privileged
// helper (DuplicatesRootRemover). Removed copies are reported to the
// listener at most once a second, and once more at the end. Then, when asked
// for, the folders that held removed copies are removed when nothing is left
// in them but .DS_Store, Thumbs.db or .localized (never a chosen folder
// itself, nor anything outside the chosen folders).
//
// Made with create() on the main queue; set up, started, stopped and read
// there; its listener is told there.
class DuplicatesDefaultRemover : public Remover, public std::enable_shared_from_this<DuplicatesDefaultRemover> {
public:
    static std::shared_ptr<DuplicatesDefaultRemover> create();
    DuplicatesDefaultRemover();
    ~DuplicatesDefaultRemover() override;

    // setDuplicateItemsForRemove:listener:toTrash:andRemoveEmptyFolders:
    void setItems(std::vector<std::shared_ptr<DuplicateItem>> items, std::weak_ptr<RemoverListener> listener,
                  bool toTrash, bool removeEmptyFolders);
    // The chosen folders of the scan: emptied folders are removed only
    // inside them, never themselves.
    void setChosenFolders(std::vector<std::string> folders) { m_chosenFolders = std::move(folders); }
    // Where the one-second spacing of reports reads the time (the steady clock by default).
    void setClock(std::shared_ptr<const platform::Clock> clock);

    bool startRemove() override;
    void stopRemove() override;
    float progress() const override;
    std::uint64_t countOfProcessedItems() const override { return m_processedCount; }
    std::vector<RemoveErrorInfo> removeErrors() const override;
    std::vector<SkippedCopy> skippedCopies() const override;
    std::uint64_t removedSize() const override { return m_removedSize; }

    std::uint64_t getCountOfItems() const { return m_entries.size(); }
    bool isFinished() const { return m_finished; }

private:
    // One copy of the list, with what the queues need of it (no model object is read off the main queue).
    struct Entry {
        std::shared_ptr<DuplicateItem> item;
        std::string path;
        std::uint64_t groupId = 0;
        std::uint64_t size = 0;
        bool isFolder = false;
        std::shared_ptr<const RemovalCheck> check;
    };
    enum class Fate : std::uint8_t { removed, failed, skipped };
    struct Result {
        Fate fate = Fate::failed;
        std::optional<std::string> pathInTrash;
        std::optional<Error> error;
        RemovalCheck::Outcome check;
    };

    // Working queue.
    void takeNextItem();
    void onItemDone(std::size_t index, Result result);
    void reportRemovedItems(bool forced);
    void startEmptyFolderStage();
    void finish();
    // Remove queue.
    Result removeEntry(const Entry& entry);
    Result removeToTrash(const Entry& entry);
    Result removePermanently(const Entry& entry);
    void removeEmptyFolders(const std::vector<std::string>& candidates);
    bool mayRemoveEmptyFolder(const std::string& path) const;

    std::vector<Entry> m_entries;
    std::weak_ptr<RemoverListener> m_listener;
    bool m_toTrash = true;
    bool m_removeEmptyFolders = false;
    std::vector<std::string> m_chosenFolders;
    std::shared_ptr<const platform::Clock> m_clock;
    std::shared_ptr<platform::SerialQueue> m_workingQueue;
    std::shared_ptr<platform::SerialQueue> m_removeQueue;
    bool m_started = false;

    // Working queue only.
    std::int64_t m_index = -1;
    bool m_canceled = false;
    std::vector<std::shared_ptr<DuplicateItem>> m_unreported;
    std::uint64_t m_unreportedSize = 0;
    std::set<std::string> m_folderCandidates;
    std::optional<std::chrono::steady_clock::time_point> m_lastReport;
    std::vector<RemoveErrorInfo> m_errorsSoFar;
    std::vector<SkippedCopy> m_skippedSoFar;

    // Remove queue only.
    std::unique_ptr<platform::Trash> m_trash;
    std::unique_ptr<platform::ByteComparer> m_comparer;

    // Main queue only.
    std::uint64_t m_processedCount = 0;
    std::uint64_t m_removedSize = 0;
    bool m_finished = false;
    std::vector<RemoveErrorInfo> m_errors;
    std::vector<SkippedCopy> m_skipped;
};

}  // namespace kestrane
