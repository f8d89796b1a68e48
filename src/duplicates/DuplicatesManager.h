#pragma once

#include "platform/QueueChecker.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class DuplicatesContainer;
class DuplicatesGroup;
class DuplicatesHeap;

namespace platform {
template <typename T>
class NoDestructor;
}  // namespace platform

// Receives the ranked lists of DuplicatesManager, on the main thread.
class DuplicatesManagerDelegate {
public:
    virtual ~DuplicatesManagerDelegate() = default;
    virtual void onCalculatedTenBiggestHeaps(const std::vector<std::shared_ptr<DuplicatesHeap>>& heaps) = 0;
    virtual void onCalculateBiggestEasyForRemoveHeaps(const std::vector<std::shared_ptr<DuplicatesHeap>>& heaps) = 0;
    virtual void onCalculatedBiggestGroups(const std::vector<std::shared_ptr<DuplicatesGroup>>& groups) = 0;
};

// The process-wide holder of the current scan result and of the facts about
// the scan that the screens show (folders, dates, minimal size, sizes found
// and removed). It keeps the previous scan's folders and minimal size so that
// a repeated scan with a smaller automatic minimal size can be recognised, and
// computes the ranked lists of the overview screens.
//
// Lives on the main queue (checked in debug builds), with the result it holds:
// the properties take no locks. The asynchronous computations start from the
// container current when they are asked for and return at once; the result
// reaches a weakly held delegate on the main queue (a delegate that has gone
// is not called). None reads the result off the main queue, which may change
// the selection or remove copies in the meantime: the ranking of groups takes
// each group's removable size there and sorts on the background queue; the
// rankings of similar folders build pair groups from the registry's records
// and the groups' copies, as much work as copying them would be, and run as
// a later task of the main queue.
//
// The auto-select manager and the candidates of auto-select belong to the
// selection layer above this one: AutoSelectManager::sharedManager() and
// AutoSelectManager::calculateDuplicatesForAutoselectWithDelegate, which reads
// the current result from here.
class DuplicatesManager {
public:
    using Date = std::chrono::system_clock::time_point;
    using Heaps = std::vector<std::shared_ptr<DuplicatesHeap>>;
    using Groups = std::vector<std::shared_ptr<DuplicatesGroup>>;
    using Paths = std::vector<std::string>;

    static constexpr std::size_t kBiggestHeapsCount = 10;

    static DuplicatesManager& sharedManager();

    DuplicatesManager(const DuplicatesManager&) = delete;
    DuplicatesManager& operator=(const DuplicatesManager&) = delete;

    // The current scan result. Setting it registers the container as the
    // settings' deselector of fully selected groups (null unregisters).
    const std::shared_ptr<DuplicatesContainer>& duplicateContainer() const {
        KESTRANE_CHECK_QUEUE(m_queueChecker);
        return m_pDuplicateContainer;
    }
    void setDuplicateContainer(std::shared_ptr<DuplicatesContainer> container);

    const std::optional<Paths>& scannedFolders() const { return m_arrScannedFolders; }
    void setScannedFolders(std::optional<Paths> folders) { m_arrScannedFolders = std::move(folders); }
    const std::optional<Date>& scanStartDate() const { return m_scanStartDate; }
    void setScanStartDate(std::optional<Date> date) { m_scanStartDate = date; }
    const std::optional<Date>& scanFinishDate() const { return m_scanFinishDate; }
    void setScanFinishDate(std::optional<Date> date) { m_scanFinishDate = date; }
    bool isBackupsWereSkipped() const { return m_bIsBackupsWereSkipped; }
    void setIsBackupsWereSkipped(bool value) { m_bIsBackupsWereSkipped = value; }
    bool isMinimalSizeAutomatic() const {
        return m_minimalSizeIsAutomatic;
    }
    void setMinimalSizeAutomatic(bool value) {
        m_minimalSizeIsAutomatic = value;
    }
    std::uint64_t minimalDuplicatesSize() const { return m_nMinimalDuplicatesSize; }
    void setMinimalDuplicatesSize(std::uint64_t size) { m_nMinimalDuplicatesSize = size; }
    const std::optional<std::int64_t>& foundSize() const { return m_nFoundSize; }
    void setFoundSize(std::optional<std::int64_t> size) { m_nFoundSize = size; }
    const std::optional<std::int64_t>& removedSize() const { return m_nRemovedSize; }
    void setRemovedSize(std::optional<std::int64_t> size) { m_nRemovedSize = size; }
    bool scanSettingsChanged() const { return m_bScanSettingsChanged; }
    void setScanSettingsChanged(bool value) { m_bScanSettingsChanged = value; }

    const std::optional<Paths>& previousScanScannedFolders() const { return m_arrPreviousScanScannedFolders; }
    void setPreviousScanScannedFolders(std::optional<Paths> folders) {
        m_arrPreviousScanScannedFolders = std::move(folders);
    }
    bool previousScanMinimalSizeWasAutomatic() const {
        return m_previousScanMinimalSizeWasAutomatic;
    }
    void setPreviousScanMinimalSizeWasAutomatic(bool value) {
        m_previousScanMinimalSizeWasAutomatic = value;
    }
    std::uint64_t previousScanMinimalDuplicatesSize() const { return m_nPreviousScanMinimalDuplicatesSize; }
    void setPreviousScanMinimalDuplicatesSize(std::uint64_t size) { m_nPreviousScanMinimalDuplicatesSize = size; }

    // Before a new scan: keeps the folders and minimal size as the previous
    // scan's and resets the scan facts. Does nothing without scanned folders;
    // the container stays.
    void clearScanBasicInformation();
    // Both minimal sizes found automatically, the current one smaller, and
    // the same set of folders scanned.
    bool isRescanWithSmallerAutomaticSize() const;
    // Both present and equal once sorted; a missing array answers false.
    static bool isArrayHasSameContentAsArray(const std::optional<Paths>& first, const std::optional<Paths>& second);

    // Start the computation and return at once.
    void calculateTenBiggestHeapsWithDelegate(std::weak_ptr<DuplicatesManagerDelegate> delegate);
    void calculateBiggestEasyForRemoveHeapsWithDelegate(std::weak_ptr<DuplicatesManagerDelegate> delegate);
    void calculateBiggestGroupsWithDelegate(std::weak_ptr<DuplicatesManagerDelegate> delegate);

    // The synchronous workers on the current container; the result reaches
    // the delegate through the main queue.
    void pleaseCalculateTenBiggestHeapsWithDelegate(std::weak_ptr<DuplicatesManagerDelegate> delegate) const;
    void pleaseCalculateBiggestEasyForRemoveHeapsWithDelegate(std::weak_ptr<DuplicatesManagerDelegate> delegate) const;
    void pleaseCalculateBiggestGroupsWithDelegate(std::weak_ptr<DuplicatesManagerDelegate> delegate) const;
    // The biggest similar-folder pairs, largest first: maxCount of them, and
    // more when pairs tie with the last one; each pair once.
    Heaps pleaseCalculateBiggestHeapsWithMaxResultCount(std::size_t maxCount) const;
    // The same for any result (none for a null one).
    static Heaps biggestHeapsOf(const DuplicatesContainer* container, std::size_t maxCount);

private:
    friend class platform::NoDestructor<DuplicatesManager>;
    DuplicatesManager();

    static Heaps biggestEasyForRemoveHeapsOf(const DuplicatesContainer* container);

    std::shared_ptr<DuplicatesContainer> m_pDuplicateContainer;
    std::optional<Paths> m_arrScannedFolders;
    std::optional<Date> m_scanStartDate;
    std::optional<Date> m_scanFinishDate;
    bool m_bIsBackupsWereSkipped = false;
    bool m_minimalSizeIsAutomatic = false;
    std::uint64_t m_nMinimalDuplicatesSize = 0;
    std::optional<std::int64_t> m_nFoundSize;
    std::optional<std::int64_t> m_nRemovedSize;
    bool m_bScanSettingsChanged = false;
    std::optional<Paths> m_arrPreviousScanScannedFolders;
    bool m_previousScanMinimalSizeWasAutomatic = false;
    std::uint64_t m_nPreviousScanMinimalDuplicatesSize = 0;
    platform::QueueChecker m_queueChecker;  // the main queue
};

}  // namespace kestrane
