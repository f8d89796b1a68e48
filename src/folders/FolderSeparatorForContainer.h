#pragma once

#include "folders/FolderSeparator.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace kestrane {

class DuplicatesContainer;
class FolderSeparatorForContainer;

// Told by FolderSeparatorForContainer, on FolderSeparator::workingQueue().
class FolderSeparatorForContainerListener {
public:
    virtual ~FolderSeparatorForContainerListener() = default;
    // The number of folders compared so far; at most every
    // FolderSeparatorForContainer::kUpdateTimeInterval seconds, and once more at the end.
    virtual void updateCountOfCheckedFolders(std::uint64_t count) = 0;
    // Once, after the sets were added to the container as folder groups.
    virtual void onFinishFolderSeparatorWithResultToContainer(FolderSeparatorForContainer& separator,
                                                              const FolderSets& result,
                                                              const std::shared_ptr<DuplicatesContainer>& container) = 0;
};

// Runs one FolderSeparator over a list of folders and pours what it finds
// into a container: every set of identical folders becomes a group (of the
// folders category), and the files and subfolders found identical on the way
// become groups of the container's small-duplicates category.
//
// Runs once; everything after the start happens on FolderSeparator::workingQueue().
class FolderSeparatorForContainer final : public FolderSeparatorDelegate,
                                          public std::enable_shared_from_this<FolderSeparatorForContainer> {
public:
    // Seconds between two counts given to the listener (the duplicate-folder
    // stage's update interval).
    static constexpr double kUpdateTimeInterval = 0.5;

    static std::shared_ptr<FolderSeparatorForContainer> create(SeparationOptions options);
    explicit FolderSeparatorForContainer(SeparationOptions options);
    // The clock that spaces the counts (the real one unless set here, before the start).
    void setClock(std::shared_ptr<const platform::Clock> clock) { m_clock = std::move(clock); }

    // Starts the separation and returns at once (any thread).
    void separateItemsToContainerWithListener(std::vector<FolderSystemItem*> folders,
                                              std::shared_ptr<DuplicatesContainer> container,
                                              std::weak_ptr<FolderSeparatorForContainerListener> listener);
    // Any thread: stops the separator; the listener is still told, with no result.
    void stop();

    // FolderSeparatorDelegate
    void onProcessedItemsCount(std::uint64_t count, FolderSeparator& separator) override;
    void processIndermediateItemsWithSameHash(const FileSeparatorMap& items) override;
    void onFinishSeparateFolderItemsSeparator(const FolderSets& result, FolderSeparator& separator) override;

private:
    using Clock = std::chrono::steady_clock;

    void deliverCount();

    const SeparationOptions m_options;
    std::shared_ptr<const platform::Clock> m_clock;
    // Touched on the working queue only.
    std::shared_ptr<DuplicatesContainer> m_pContainer;
    std::weak_ptr<FolderSeparatorForContainerListener> m_pListener;
    std::shared_ptr<FolderSeparator> m_pSeparator;
    std::uint64_t m_nCountOfCheckedItems = 0;
    bool m_bCountDelivered = true;
    Clock::time_point m_timeBeforeUpdate;
    bool m_bIsStopRequested = false;
    platform::QueueChecker m_queueChecker{FolderSeparator::workingQueue()};
};

}  // namespace kestrane
