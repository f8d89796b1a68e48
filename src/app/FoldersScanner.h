#pragma once

#include "duplicates/DuplicatesFilter.h"
#include "duplicates/FileCategory.h"
#include "duplicates/HeapsValidateProgressListener.h"
#include "folders/DuplicatesFolderFilter.h"
#include "folders/HeapsItemsFilter.h"
#include "platform/QueueChecker.h"
#include "scan/FolderScanContext.h"
#include "scan/FolderScanner.h"
#include "settings/Settings.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

namespace platform {
class Clock;
class SerialQueue;
class VolumeInfoProvider;
}  // namespace platform

class DuplicatesContainer;
class DuplicatesHeaps;
class ExcludeTreeCheckerByRootNode;
class VolumeSystemItem;

class FoldersScannerListener {
public:
    virtual ~FoldersScannerListener() = default;
    // Once, on the main thread, at the end of the scan (also after a stop
    // that did not ignore the result).
    virtual void onScanCompleteWithResult(std::shared_ptr<DuplicatesContainer> container) = 0;
};

// One whole scan: reduces the chosen folders to top folders, reads them one
// after another, feeds every file to the duplicate files filter while the
// folders are still being read, then finds duplicate files, duplicate folders
// and similar folders, in that order. Keeps the counters the scan screen
// polls and hands the finished container to its listener.
//
// Commands, queries and the reports of the stages belong to the main queue.
// The reading workers reach the duplicate search's queue only, and the
// similar-folder stage gets what it reads when the main queue starts it.
class FoldersScanner final : public FolderScannerListener,
                             public DuplicatesFilterListener,
                             public DuplicatesFolderFilterListener,
                             public HeapsItemsFilterDelegate,
                             public HeapsValidateProgressListener,
                             public std::enable_shared_from_this<FoldersScanner> {
public:
    enum State : std::int32_t {
        kCreated = 0,
        kReadingFolders = 1,
        kSearchingDuplicateFiles = 2,
        kSearchingDuplicateFolders = 3,
        kSearchingSimilarFolders = 4,
        kSeparatingSimilarFolderItems = 5,
        kCompleted = 6,
        kStopped = 7,
    };
    static constexpr std::uint64_t kAutoDefineMinimalFileSize = UINT64_MAX;
    static constexpr std::uint64_t kAutoModeStopBelowSize = 1000000;

    // initWithFolders:withListener:. Volumes are looked up through the
    // process-wide volume provider; settings are read from the given store.
    static std::shared_ptr<FoldersScanner> create(std::vector<std::string> paths,
                                                  std::weak_ptr<FoldersScannerListener> listener,
                                                  Settings settings = Settings::standard());

    void includeHiddenFiles(bool include) {
        KESTRANE_CHECK_QUEUE(m_queueChecker);
        m_bIncludeHiddenFiles = include;
    }
    void enableSearchDuplicatesFoldersAndSimilars(bool enable) {
        KESTRANE_CHECK_QUEUE(m_queueChecker);
        m_bSearchDuplicatesFoldersAndSimilars = enable;
    }
    // How long an automatic search runs before it stops at the first group
    // below 1,000,000 bytes, by the scan's clock.
    static constexpr std::chrono::seconds kAutoModeSearchTimeLimit{30};
    // The clock that time limits and report spacing of this scan and of its
    // stages read (the real one unless set here, before the start).
    void setClock(std::shared_ptr<const platform::Clock> clock) {
        KESTRANE_CHECK_QUEUE(m_queueChecker);
        m_clock = std::move(clock);
    }

    // kAutoDefineMinimalFileSize finds the size automatically; any other size
    // beyond the largest a file can have (2^63 - 1 bytes) compares no file.
    void startScanWithMinimalSize(std::uint64_t minimalFileSize, bool fullHash);
    void startScanWithAutomaticMinimalSize(bool fullHash);
    void stopWithIgnoreResult(bool ignoreResult);

    // Queries polled by the scan screen.
    std::int32_t getCurrentState() const { return m_eCurrentState; }
    const std::vector<std::string>& getUserSelectedFolderArray() const {
        KESTRANE_CHECK_QUEUE(m_queueChecker);
        return _userSelectedPaths;
    }
    const std::vector<std::string>& getFoldersForScan() const {
        KESTRANE_CHECK_QUEUE(m_queueChecker);
        return m_foldersForScan;
    }
    // The top folders whose reading has begun, in order.
    const std::vector<std::string>& getScannedFolders() const {
        KESTRANE_CHECK_QUEUE(m_queueChecker);
        return m_scannedFolders;
    }
    std::uint64_t getCountOfScannedFiles() const {
        KESTRANE_CHECK_QUEUE(m_queueChecker);
        return m_nCountOfScannedFiles;
    }
    std::uint64_t getCountOfPossibleDuplicates() const {
        KESTRANE_CHECK_QUEUE(m_queueChecker);
        return m_nCountOfPossibleDuplicates;
    }
    std::uint64_t getCountOfActualDuplicates() const;
    std::uint64_t getCountOfCheckedFolders() const;
    std::uint64_t getPossibleDuplicatesSizeOfType(FileCategory type) const;
    std::uint64_t getActualDuplicatesSizeOfType(FileCategory type) const;
    bool isFinishSearchDuplicatesOfType(FileCategory type) const;
    std::uint64_t getActualHeapsSize() const {
        KESTRANE_CHECK_QUEUE(m_queueChecker);
        return m_nActualHeapsSize;
    }
    std::uint64_t getPossibleHeapsSize() const;
    float getDuplicatesFilesFilterProgress() const;
    float getDuplicatesFoldersFilterProgress() const;
    float getHeapsFilterProgress() const {
        KESTRANE_CHECK_QUEUE(m_queueChecker);
        return m_heapsFilterProgress;
    }
    double getSearchDuplicatesDuration() const;
    double getTimeFromStart() const;
    bool isMinimalSizeAutomatic() const {
        return m_nDuplicatesMinimalFileSize == kAutoDefineMinimalFileSize;
    }
    // The smallest size the duplicate search covered (see
    // DuplicatesFilterListener), known once that search has ended.
    std::uint64_t finalMinimalDuplicatesSize() const;
    bool isBackupsWereSkipped() const { return _isBackupsWereSkipped; }
    // Seconds spent reading folders, searching duplicate files, duplicate
    // folders and similar folders, in that order. A stage that never ran
    // counts 0; the running stage counts up to now.
    static constexpr int kStageCount = 4;
    std::array<double, kStageCount> getStageDurations() const;

    // What the scan could not read or did not enter, with the reason (null
    // before the scan started). Complete once the scan is.
    // How this scan keys files (set when it starts).
    const SeparationOptions& getSeparationOptions() const { return m_separationOptions; }

    std::shared_ptr<const ScanProblems> getScanProblems() const {
        return m_pScanContext ? m_pScanContext->problems : nullptr;
    }

    // The top folders of a set of chosen folders, per volume, outer folders
    // winning over folders inside them; folders without a volume are dropped.
    // Folders are compared by what they are on disk: each is taken at its
    // real path (a chosen symbolic link to a folder stands for that folder),
    // and of two paths to one folder (a bind mount) the first stays.
    static std::vector<std::string> chooseTopFolders(const std::vector<std::string>& paths,
                                                     const platform::VolumeInfoProvider& volumes);

    // FolderScannerListener
    void onScannerFoundFiles(FolderScanner& scanner, std::vector<FileSystemItem*> files) override;
    void onScannerCompletedScanItem(FolderScanner& scanner, std::shared_ptr<VolumeSystemItem> root) override;
    // DuplicatesFilterListener
    void onDuplicatesFilesFilterStartFilterFiles(std::uint64_t totalCount) override;
    void onFinishSearchDuplicatesFilesWithType(FileCategory type) override;
    void onDuplicatesFilesFilterProgressChanged(DuplicatesFilterProgress progress) override;
    void onPossibleFoldersSizeChanged(std::uint64_t heapsSize,
                                                                       std::uint64_t foldersSize) override;
    void onFilteredFiles(std::int32_t count, std::uint64_t size,
                                                 std::optional<FileCategory> type) override;
    void onFinishFilterWithResultContainer(std::shared_ptr<DuplicatesContainer> container,
                                           std::uint64_t minimalFileSize) override;
    // DuplicatesFolderFilterListener
    void onDuplicateFoldersProgress(
        std::uint64_t totalSize, float progress, std::uint64_t countOfCheckedFolders) override;
    void onUpdateSizesUsingContainer(const std::shared_ptr<DuplicatesContainer>& container) override;
    void onDuplicateFoldersFiltered(std::shared_ptr<DuplicatesContainer> container) override;
    // HeapsItemsFilterDelegate
    std::shared_ptr<HeapsValidateProgressListener> getHeapsValidateProgressListener() override;
    bool isHeapsItemsFilterCanceled() override;
    void onHeapsItemsFilterStartSeparateItems() override;
    void onHeapsItemsFilterFoundDuplicatesCount(std::uint64_t count) override;
    void onHeapsItemsFilterFinishedWork() override;
    // HeapsValidateProgressListener
    bool isHeapsValidationCanceled() override;
    void onHeapsCheckedFolders(std::uint64_t count) override;
    void onHeapsSizeChangedWithProgress(std::uint64_t size, float progress) override;

private:
    struct Private {};

public:
    FoldersScanner(Private, std::vector<std::string> paths, std::weak_ptr<FoldersScannerListener> listener,
                   Settings settings);

private:
    using Clock = std::chrono::steady_clock;

    bool isContainsBackups(const platform::VolumeInfoProvider& volumes) const;
    void scanNextFolder();
    void addFilesBatch(std::vector<FileSystemItem*> files);
    void startFilterDuplicatesFiles();
    void startFilterDuplicatesFoldersInContainer(std::shared_ptr<DuplicatesContainer> container);
    // On the main queue: starts the similar-folder stage on the background queue.
    void startSimilarFolders(std::shared_ptr<DuplicatesContainer> container);
    void setState(State state);

    Settings m_settings;
    std::weak_ptr<FoldersScannerListener> m_pListener;  // main thread
    std::vector<std::string> _userSelectedPaths;
    std::vector<std::string> m_foldersForScan;
    std::vector<std::string> m_scannedFolders;
    std::shared_ptr<FolderScanner> m_pCurrentScanner;
    // Identity of the current folder scanner, checked from the workers' queues.
    std::atomic<const FolderScanner*> m_pCurrentScannerIdentity{nullptr};
    std::vector<std::shared_ptr<VolumeSystemItem>> m_roots;
    platform::QueueChecker m_queueChecker;  // the main queue
    // The duplicate search's queue. The reading workers post their batches
    // there, where the filter and the choice of hidden files wait for them,
    // set by the start (posted before any folder is read).
    const std::shared_ptr<platform::SerialQueue> m_pDuplicatesFilterWorkingQueue;
    struct SearchFeed {
        std::shared_ptr<DuplicatesFilter> filter;
        bool includeHidden = false;
    };
    SearchFeed m_searchFeed;
    platform::QueueChecker m_searchQueueChecker;
    std::shared_ptr<DuplicatesFilter> m_pDuplicatesFilter;
    // The container's similar-folder registry, typed for the similar-folder stage.
    std::shared_ptr<DuplicatesHeaps> m_pSimilarFolders;
    std::shared_ptr<DuplicatesFolderFilter> m_pDuplicatesFolderFilter;
    std::shared_ptr<HeapsItemsFilter> _heapItemsFilter;
    std::shared_ptr<const ExcludeTreeCheckerByRootNode> _excludeTreeChecker;
    std::shared_ptr<const FolderScanContext> m_pScanContext;

    std::atomic<std::int32_t> m_eCurrentState{kCreated};
    // When each state was first entered, in steady-clock ticks (0: never).
    std::array<std::atomic<std::int64_t>, kStopped + 1> m_stateEnteredAt{};
    std::uint64_t m_nDuplicatesMinimalFileSize = 0;
    std::uint64_t m_nFinalMinimalDuplicatesSize = 0;
    // How every stage keys files, taken from the settings when the scan starts.
    SeparationOptions m_separationOptions;
    std::atomic<bool> m_bSearchDuplicatesFoldersAndSimilars{true};
    bool m_bIncludeHiddenFiles = false;
    bool _isBackupsWereSkipped = false;
    std::optional<Clock::time_point> _startScanDate;
    std::shared_ptr<const platform::Clock> m_clock;
    // By m_clock.
    std::optional<Clock::time_point> m_startSearchDuplicatesDate;

    // Written on the main thread only, unless atomic.
    std::uint64_t m_nCountOfScannedFiles = 0;
    std::uint64_t m_nCountOfPossibleDuplicates = 0;
    // The folders slot is filled by the duplicate-folder stage, the others
    // by the duplicate-file search.
    PerCategory<std::uint64_t> m_possibleDuplicatesSizes;
    std::uint64_t m_nCountOfActualDuplicates = 0;
    PerCategory<std::uint64_t> m_actualDuplicatesSizes;
    PerCategory<bool> m_searchDuplicatesStates;
    std::atomic<std::uint64_t> m_nCountOfSmallDuplicatesInHeaps{0};
    std::uint64_t m_nActualHeapsSize = 0;
    std::uint64_t m_nPossibleHeapsSize = 0;
    DuplicatesFilterProgress m_duplicatesFilesFilterProgress;
    float m_duplicatesFolderFilterProgress = 0;
    bool m_bFolderFilterReportedProgress = false;
    float m_heapsFilterProgress = 0;
    bool m_bHeapsFilterReportedProgress = false;
    std::uint64_t m_nCountOfCheckedFolders = 0;
    std::atomic<std::uint64_t> m_nCountOfCheckedFoldersInHeaps{0};
};

}  // namespace kestrane
