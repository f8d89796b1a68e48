#pragma once

#include "folders/FolderSeparatorForContainer.h"
#include "folders/SimpleFolderInfo.h"

#include "platform/QueueChecker.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kestrane {

class DuplicatesContainer;
class VolumeSystemItem;

// What the duplicate-folder stage reports (the scan orchestrator).
class DuplicatesFolderFilterListener {
public:
    virtual ~DuplicatesFolderFilterListener() = default;
    // On the main queue: the total size of the folders category so far, the
    // progress (0 to 1) and the number of folders compared.
    virtual void onDuplicateFoldersProgress(
        std::uint64_t totalSize, float progress, std::uint64_t countOfCheckedFolders) = 0;
    // On the main queue, after such a report made at the start of a bucket or
    // at the end: the container may be read (nothing changes it until this returns).
    virtual void onUpdateSizesUsingContainer(const std::shared_ptr<DuplicatesContainer>& container) = 0;
    // Once, on a background queue, also after stop().
    virtual void onDuplicateFoldersFiltered(std::shared_ptr<DuplicatesContainer> container) = 0;
};

// The duplicate-folder stage of a scan: finds folders whose whole content is
// identical and adds each set of them to the container as a folder group.
//
// The candidate folders (those whose content may still turn out identical)
// are bucketed by logical size and number of descendants; the buckets are
// separated one at a time by a FolderSeparatorForContainer. With a minimal
// size the smallest buckets go first (nested folders are then settled before
// the folders around them). In automatic mode (minimal size -1) the largest
// folders go first, each preceded by the buckets nested in it, and the whole
// stage gets getAutoModeTimeLimit() seconds (checked before each bucket, so
// the bucket under way is always finished).
//
// Everything runs on FolderSeparator::workingQueue(). Progress is reported at
// most every getUpdateTimeInterval() seconds. A report made with the container
// holds the next bucket back until the main queue has delivered it, so that the
// listener reads a container no one is changing; the stage therefore needs the
// main queue to be running while it has a listener. Completion is delivered
// exactly once, after the final report, when the listener and the container
// are still there.
class DuplicatesFolderFilter final : public FolderSeparatorForContainerListener,
                                     public std::enable_shared_from_this<DuplicatesFolderFilter> {
public:
    static constexpr double kAutoModeTimeLimit = 30.0;

    // minimalFileSize -1 selects automatic mode. Files inside the folders
    // are keyed as the options say.
    static std::shared_ptr<DuplicatesFolderFilter> create(std::shared_ptr<DuplicatesContainer> container,
                                                          std::int64_t minimalFileSize, SeparationOptions options);

    void setListener(std::weak_ptr<DuplicatesFolderFilterListener> listener);
    // The clock that the time limit and the report spacing read (the real
    // one unless set here, before the start).
    void setClock(std::shared_ptr<const platform::Clock> clock) { m_clock = std::move(clock); }
    double getAutoModeTimeLimit() const { return kAutoModeTimeLimit; }

    // Starts the stage over the trees and returns at once. Runs once.
    void findFoldersDuplicatesInRootsIncludeHidden(std::vector<std::shared_ptr<VolumeSystemItem>> roots,
                                                   bool includeHidden);
    // Any thread: ends the stage with the groups found so far (the completion still comes).
    void stop();
    bool isCanceled() const { return m_bIsCanceled.load(); }

    static double getUpdateTimeInterval() { return FolderSeparatorForContainer::kUpdateTimeInterval; }

    // FolderSeparatorForContainerListener
    void updateCountOfCheckedFolders(std::uint64_t count) override;
    void onFinishFolderSeparatorWithResultToContainer(FolderSeparatorForContainer& separator, const FolderSets& result,
                                                      const std::shared_ptr<DuplicatesContainer>& container) override;

private:
    struct Private {};

public:
    DuplicatesFolderFilter(Private, std::shared_ptr<DuplicatesContainer> container, std::int64_t minimalFileSize,
                           SeparationOptions options);

private:
    using Clock = std::chrono::steady_clock;

    std::vector<SimpleFolderInfo> collectCandidates(const std::vector<std::shared_ptr<VolumeSystemItem>>& roots,
                                                    bool includeHidden) const;
    bool isSkippedWithSubtree(FolderSystemItem& folder, bool includeHidden) const;
    void processNextSimpleGroup();
    void startNextSimpleGroup();
    void finish();
    double secondsSinceStart() const;
    float currentProgress() const;
    // Posts a report to the main queue; afterDelivery then runs there.
    void reportProgress(bool withContainer, platform::Task afterDelivery);

    const SeparationOptions m_options;
    std::shared_ptr<const platform::Clock> m_clock;
    // Touched on the working queue only (the completion takes the container along).
    std::shared_ptr<DuplicatesContainer> m_pContainer;
    std::weak_ptr<DuplicatesFolderFilterListener> m_pListener;
    std::vector<std::shared_ptr<VolumeSystemItem>> m_arrRoots;
    bool m_bAutoDefineMinimalFileSize = false;
    std::uint64_t m_nMinimalFileSize = 0;
    std::vector<SimpleFolderInfoGroup> m_arrGroupedSimpleFoldersInfo;
    std::int64_t m_nNextProcessedSimpleFolderInfoIndex = 0;
    std::shared_ptr<FolderSeparatorForContainer> m_pFolderSeparatorForContainer;
    std::uint64_t m_nTotalCheckedFolders = 0;
    std::uint64_t m_nCurrentCheckedFolders = 0;
    Clock::time_point m_startDate;
    std::optional<Clock::time_point> m_lastReportDate;
    std::atomic<bool> m_bIsStarted{false};
    bool m_bIsFinished = false;
    std::atomic<bool> m_bIsCanceled{false};
    platform::QueueChecker m_queueChecker{FolderSeparator::workingQueue()};
};

}  // namespace kestrane
