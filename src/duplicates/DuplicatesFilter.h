#pragma once

#include "duplicates/FileCategory.h"
#include "duplicates/FileSeparator.h"
#include "platform/Clock.h"
#include "platform/QueueChecker.h"
#include "platform/TaskInbox.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kestrane {

namespace platform {
class SerialQueue;
class TaskInbox;
}

class DuplicatesContainer;
class ExcludeChecker;
class FileSystemItem;
class FolderSystemItem;
class HardLinkNames;
class HeapsCollection;
class ScanProblems;

struct DuplicatesFilterProgress {
    float totalProgress = 0;       // candidate sets done / all candidate sets
    float autoDefineProgress = 0;  // the same against the sets above 1,000,000 bytes in automatic mode
};

// What the duplicate files filter reports; every call arrives on the main thread.
class DuplicatesFilterListener {
public:
    virtual ~DuplicatesFilterListener() = default;
    virtual void onDuplicatesFilesFilterStartFilterFiles(std::uint64_t totalCount) = 0;
    // Normal mode: a group of a file category after images is about to be
    // reported, so the category before it is done.
    virtual void onFinishSearchDuplicatesFilesWithType(FileCategory type) = 0;
    virtual void onDuplicatesFilesFilterProgressChanged(DuplicatesFilterProgress progress) = 0;
    virtual void onPossibleFoldersSizeChanged(std::uint64_t heapsSize,
                                                                               std::uint64_t foldersSize) = 0;
    // One group of `count` identical files of `size` bytes each was found;
    // `type` is the category of their name (none: no group was added).
    virtual void onFilteredFiles(std::int32_t count, std::uint64_t size,
                                                         std::optional<FileCategory> type) = 0;
    // Once, at the end (also after a stop), with the smallest size the search
    // covers: the fixed minimal size; in automatic mode 0 when the search ran
    // to its end, and after a stop the size reached: the smallest group
    // found, but never below a set that was not compared to its end (one
    // byte above that set's size, so a search stopped before it finished any
    // set names a size above every candidate).
    virtual void onFinishFilterWithResultContainer(std::shared_ptr<DuplicatesContainer> container,
                                                   std::uint64_t minimalFileSize) = 0;
};

// The duplicate-files stage of a scan. While the folders are read it collects
// the acceptable file items in candidate sets of one category and one exact
// logical size; filterDuplicates() then sends the sets of two or more through
// FileSeparators and adds every set of identical files to the container as a
// group. In automatic mode (minimal size -1) the largest sets go first, so
// that a search stopped early has the largest duplicates.
//
// Several candidate sets are separated at once (up to kMaxSeparationsInFlight
// sets, kMaxFilesInFlight files), so that the hashing threads always have the
// files of many small sets at hand; each separation still reads at most
// FileSeparator::kMaxConcurrentOperations files at a time. Results are saved,
// and groups reported, strictly in the order of the candidate sets, as if the
// sets had been separated one after the other. A stop ends the search with
// the results saved before it, once every separation started has reported.
//
// Collecting and filtering run on the working queue the orchestrator gives,
// and so do the queries; filterDuplicates() and stopFilterDuplicates() may be
// called from any thread. What the search reached goes to the listener with
// the end, on the main queue.
//
// The filter keeps raw pointers to the items offered. Before filtering starts
// the roots of their tree are saved in the container
// (DuplicatesContainer::saveRoots): the filter, the work it has queued and
// every separation it starts hold the container, so that a filter that was
// stopped and dropped by its owners still finds its items until it is done.
// Without saved roots the caller keeps the tree alive until the filter is gone.
class DuplicatesFilter final : public FileSeparatorListener, public std::enable_shared_from_this<DuplicatesFilter> {
public:
    // Sets whose files are below this size mark the end of the "large" part
    // of an automatic search.
    static constexpr std::uint64_t kAutoModeLargeFileSize = 1000000;
    // How far separation may run ahead of the candidate set being saved.
    static constexpr std::size_t kMaxSeparationsInFlight = 128;
    static constexpr std::size_t kMaxFilesInFlight = 512;

    // minimalFileSize -1 selects automatic mode. heaps is the similar-folder
    // registry of the container (null: none). Every separation the filter
    // starts keys files as the options say.
    static std::shared_ptr<DuplicatesFilter> create(std::int64_t minimalFileSize,
                                                    std::shared_ptr<HeapsCollection> heaps,
                                                    std::shared_ptr<const ExcludeChecker> excludeChecker,
                                                    SeparationOptions options);

    // The setters complete the making of the filter: its owner calls them
    // before it offers a file or starts filtering, which hands them over to
    // the working queue with the first task posted there.
    void setWorkingQueue(std::shared_ptr<platform::SerialQueue> queue);
    void setListener(std::weak_ptr<DuplicatesFilterListener> listener);
    // What the scan noted: the names of files with several names, which count
    // as one copy (the first name by path is compared, the others become its
    // other names in the container), and where files that cannot be read or
    // change while they are read are noted. Set before filtering starts.
    void setScanContext(std::shared_ptr<HardLinkNames> hardLinks, std::shared_ptr<ScanProblems> problems);
    const std::shared_ptr<DuplicatesContainer>& getContainer() const { return m_pDuplicatesContainer; }

    // On the working queue: offers a scanned file; returns the size of its
    // candidate set after adding it, or 0 when it is not accepted.
    std::uint64_t addFileItemIncludeHidden(FileSystemItem* item, bool includeHidden);
    // Automatic mode: the time after which the listener may stop the search
    // in answer to a group report. From then on each result is saved only
    // once the listener has seen the reports of the one before, so that such
    // a stop lands right after the group that caused it, as it would if the
    // sets were separated one at a time.
    struct SearchTimeLimit {
        std::shared_ptr<const platform::Clock> clock;
        platform::Clock::time_point start{};
        platform::Clock::duration limit{};
    };
    // Starts filtering on the working queue (any thread), with the time limit
    // of an automatic search, if any.
    void filterDuplicates(std::optional<SearchTimeLimit> timeLimit = std::nullopt);
    // Any thread: filtering ends with the groups found so far.
    void stopFilterDuplicates();

    bool isAutoDefineMinimalFileSize() const { return m_bAutoDefineMinimalFileSize; }
    // On the working queue, what the search has done so far: the candidate
    // sets in automatic mode down to the first one below
    // kAutoModeLargeFileSize, the files of the sets whose separation has started,
    // the estimate of duplicate folders' size, and the candidate keys
    // ("<size>_<type key>") in processing order, once filtering started.
    std::uint64_t groupCountAtAutomaticMinimalSize() const;
    std::uint64_t getTotalProcessedFiles() const;
    std::uint64_t getPossibleDuplicateFoldersSize() const;
    std::vector<std::string> candidateKeys() const;

    void onFinishSeparateItemsByHash(FileSeparator& separator, FileSeparatorMap result) override;

private:
    struct Private {};

public:
    DuplicatesFilter(Private, std::int64_t minimalFileSize, std::shared_ptr<DuplicatesContainer> container,
                     SeparationOptions options);

    const SeparationOptions& separationOptions() const { return m_separationOptions; }

private:
    struct Candidate {
        std::string key;
        std::uint64_t size = 0;
        std::vector<FileSystemItem*> items;
    };
    // A candidate set being separated, or separated and waiting for the ones
    // before it to be saved.
    struct Separation {
        std::size_t candidate = 0;
        std::size_t fileCount = 0;
        std::shared_ptr<FileSeparator> separator;
        std::optional<FileSeparatorMap> result;  // once reported, unless stopped
        bool reported = false;
        bool stopped = false;  // by a stop of the filter, before it reported
    };

    bool isNeedScanFileItemIncludeHidden(FileSystemItem* item, bool includeHidden) const;
    void buildCandidates();
    void collapseNamesOfOneFile(std::vector<FileSystemItem*>& items);
    // Saves the results that are next in order, starts more separations, and
    // finishes when nothing is left.
    void filterNextPossibleDuplicates();
    void startSeparation(std::size_t candidateIndex);
    void stopSeparationsOnWorkingQueue();
    // Whether the listener must see a result's reports before the next is saved.
    bool pacesSavingByListener() const;
    void saveHashHeapsInContainer(const FileSeparatorMap& result);
    void updatePossibleDuplicateFolder(FolderSystemItem* folder);
    void notifyFilteredFiles(std::int32_t count, std::uint64_t size,
                                                                  std::optional<FileCategory> type);
    void finishFilterDuplicates();

    // Every report to the listener goes through one inbox, so they keep their
    // order and a stream of group reports wakes the main thread once a batch.
    platform::TaskInbox m_mainInbox;
    const std::shared_ptr<DuplicatesContainer> m_pDuplicatesContainer;
    const SeparationOptions m_separationOptions;
    std::shared_ptr<platform::SerialQueue> m_pWorkingQueue;
    // The results of separations, on their way to the working queue.
    std::unique_ptr<platform::TaskInbox> m_resultsInbox;
    std::weak_ptr<DuplicatesFilterListener> m_pListener;

    // Collecting: category -> logical size -> items. Items are offered once
    // each, so a vector serves as the set and costs a pointer per file.
    using ItemsBySize = std::unordered_map<std::uint64_t, std::vector<FileSystemItem*>>;
    PerCategory<ItemsBySize> m_possibleDuplicates;
    // Files whose name gives no category: counted like the others, never compared.
    ItemsBySize m_uncategorizedPossibleDuplicates;
    // Filtering: the candidate sets in processing order.
    std::vector<Candidate> m_candidates;
    // The candidate set whose result was saved last (-1 before the first).
    std::int64_t m_nCurrentFilterIndexInKeys = -1;
    // The next candidate set to start, and those started and not yet saved, in order.
    std::size_t m_nNextCandidate = 0;
    std::deque<Separation> m_separations;
    std::size_t m_nFilesInFlight = 0;
    // The search was stopped: nothing more is saved.
    bool m_bSavingEnded = false;
    std::optional<SearchTimeLimit> m_searchTimeLimit;
    bool m_bAwaitingListener = false;
    bool m_bFinished = false;
    std::uint64_t m_nTotalProcessedFiles = 0;

    const bool m_bAutoDefineMinimalFileSize;
    const std::uint64_t m_nMinimalDuplicatesFileSize;
    std::uint64_t m_nCurrentMinimalDuplicatesFileSize = UINT64_MAX;
    // The leading candidate sets whose separation ended without a stop.
    std::size_t m_nFinishedCandidates = 0;
    std::uint64_t m_groupCountAtAutomaticMinimalSize = 0;
    std::atomic<bool> isFilterCanceled{false};
    std::shared_ptr<HardLinkNames> m_pHardLinks;
    std::shared_ptr<ScanProblems> m_pScanProblems;

    std::uint64_t m_nPossibleDuplicateFoldersSize = 0;
    std::unordered_map<std::string, std::uint64_t> m_possibleDuplicateFolders;
    std::unordered_set<const FolderSystemItem*> m_possibleDuplicateFoldersContainer;
    platform::QueueChecker m_queueChecker;  // the working queue, once given
};

}  // namespace kestrane
