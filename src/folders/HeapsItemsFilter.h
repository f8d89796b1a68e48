#pragma once

#include "duplicates/FileSeparatorForContainer.h"
#include "duplicates/SeparatorMap.h"
#include "folders/FolderSeparatorForContainer.h"
#include "platform/QueueChecker.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestrane {

namespace platform {
class Clock;
}

class DuplicatesContainer;
class DuplicatesHeaps;
class FileSystemItem;
class FolderSystemItem;
class HeapsValidateProgressListener;

// The scan orchestrator's side of the similar-folder phase.
class HeapsItemsFilterDelegate {
public:
    virtual ~HeapsItemsFilterDelegate() = default;
    // The listener of every similar-folder computation of the phase.
    virtual std::shared_ptr<HeapsValidateProgressListener> getHeapsValidateProgressListener() = 0;
    // Any thread.
    virtual bool isHeapsItemsFilterCanceled() = 0;
    // Small items are about to be hashed (any thread).
    virtual void onHeapsItemsFilterStartSeparateItems() = 0;
    // count more items turned out to be duplicates (any thread).
    virtual void onHeapsItemsFilterFoundDuplicatesCount(std::uint64_t count) = 0;
    // Once per filterUsingContainerIncludeHiddenFiles, any thread.
    virtual void onHeapsItemsFilterFinishedWork() = 0;
};

// The similar-folder phase of a scan: computes the similar folders of the
// container, then hashes the not yet checked children of the similar
// folders (small files and folders the duplicate search left out) so that
// the similar folders become more complete, and computes again; until a
// pass finds nothing new to hash and no small duplicates were left over.
//
// The first computation runs on the calling thread; every later step runs on
// the queue of the separator that just finished (one separation at a time):
// the filter is handed to that queue when the separation starts.
// Holds the container while it works and the delegate weakly; the running
// separation holds the filter weakly, so the owner keeps it alive.
class HeapsItemsFilter final : public FileSeparatorForContainerListener,
                               public FolderSeparatorForContainerListener,
                               public std::enable_shared_from_this<HeapsItemsFilter> {
    struct Key {
        explicit Key() = default;
    };

public:
    // initWithDelegate:
    static std::shared_ptr<HeapsItemsFilter> create(std::weak_ptr<HeapsItemsFilterDelegate> delegate);
    HeapsItemsFilter(Key, std::weak_ptr<HeapsItemsFilterDelegate> delegate);
    ~HeapsItemsFilter() override;
    HeapsItemsFilter(const HeapsItemsFilter&) = delete;
    HeapsItemsFilter& operator=(const HeapsItemsFilter&) = delete;

    // Runs the phase (see the class comment); returns when the first pass has
    // either finished or handed its first batch to a separator. The files and
    // folders it compares are keyed as the options say. heaps is the
    // container's similar-folder registry (null when it has none).
    void filterUsingContainerIncludeHiddenFiles(std::shared_ptr<DuplicatesContainer> container,
                                                std::shared_ptr<DuplicatesHeaps> heaps, bool includeHiddenFiles,
                                                SeparationOptions options);
    // Any thread: the running separation stops and no further one starts;
    // the phase ends with one more computation.
    void stopHeapsAdditionalSmallFilesSearch();
    std::shared_ptr<DuplicatesContainer> getContainer() const;
    // The clock that the separators of folders started here read for the
    // spacing of their counts (the real one unless set here, before the start).
    void setClock(std::shared_ptr<const platform::Clock> clock) { m_clock = std::move(clock); }

    // FileSeparatorForContainerListener
    void onFinishFileSeparatorWithResultToContainer(FileSeparatorForContainer& separator,
                                                    const FileSeparatorMap& result,
                                                    const std::shared_ptr<DuplicatesContainer>& container) override;
    // FolderSeparatorForContainerListener
    void updateCountOfCheckedFolders(std::uint64_t count) override;
    void onFinishFolderSeparatorWithResultToContainer(FolderSeparatorForContainer& separator,
                                                      const FolderSets& result,
                                                      const std::shared_ptr<DuplicatesContainer>& container) override;

private:
    // Computes, collects the small items and either starts hashing them or ends the phase.
    void filterData();
    // Starts the next separation, or (nothing left, or cancelled) computes again.
    void separateNextItems();
    // Starts hashing the next set of files or folders; false when none is left.
    bool startNextSeparation();
    bool isCanceled() const;
    // A finished separation: reports the sizes of the sets that became groups.
    void reportFoundDuplicates(const std::vector<std::size_t>& sizes);

    // Owned for the length of one run; used by one thread at a time.
    std::shared_ptr<DuplicatesContainer> m_pContainer;
    std::shared_ptr<DuplicatesHeaps> m_pHeaps;
    SeparationOptions m_options;  // set when the phase starts
    std::shared_ptr<const platform::Clock> m_clock;
    std::weak_ptr<HeapsItemsFilterDelegate> m_pDelegate;
    bool m_bIncludeHiddenFiles = false;
    SeparatorMap<FileSystemItem> sm_arrSmallFiles;
    SeparatorMap<FolderSystemItem> sm_arrSmallFolders;
    std::vector<std::string> sm_arrSmallFoldersKeys;  // ascending by folder size; taken from the back

    // The running separators, also reached by stopHeapsAdditionalSmallFilesSearch.
    mutable std::mutex m_separatorsMutex;
    std::shared_ptr<FileSeparatorForContainer> sm_pAdditionalSeparatorForSmallFiles;
    std::shared_ptr<FolderSeparatorForContainer> sm_pAdditionalSeparatorForSmallFolders;
    std::atomic<bool> m_bIsStopped{false};
    platform::QueueChecker m_queueChecker;  // the running separator's queue
};

}  // namespace kestrane
