#include "duplicates/DuplicatesManager.h"

#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/HeapsCollection.h"
#include "platform/MainQueue.h"
#include "platform/NoDestructor.h"
#include "platform/OperationQueue.h"
#include "settings/Settings.h"

#include <algorithm>
#include <utility>

namespace kestrane {

namespace {

using Delegate = DuplicatesManagerDelegate;

// Hands a result to the delegate on the main queue, if it is still there.
template <typename List>
void deliver(std::weak_ptr<Delegate> delegate, List list, void (Delegate::*operation)(const List&)) {
    platform::MainQueue::shared().async([delegate = std::move(delegate), list = std::move(list), operation] {
        if (const auto alive = delegate.lock()) ((*alive).*operation)(list);
    });
}

using SizedGroups = std::vector<std::pair<std::uint64_t, std::shared_ptr<DuplicatesGroup>>>;

// Each group with its removable size, read where the result lives.
SizedGroups sizedGroupsOf(const DuplicatesContainer* container) {
    SizedGroups sized;
    if (!container) return sized;
    auto groups = container->getAllFilesGroups();
    sized.reserve(groups.size());
    for (auto& group : groups) sized.emplace_back(group->getSizeThatCanBeRemoved(), std::move(group));
    return sized;
}

// Largest first; groups of one size stay in the order of the result.
DuplicatesManager::Groups sortedBySize(SizedGroups sized) {
    std::stable_sort(sized.begin(), sized.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    DuplicatesManager::Groups groups;
    groups.reserve(sized.size());
    for (auto& entry : sized) groups.push_back(std::move(entry.second));
    return groups;
}

}  // namespace

DuplicatesManager::DuplicatesManager() : m_queueChecker(platform::MainQueue::shared()) {}

DuplicatesManager& DuplicatesManager::sharedManager() {
    static platform::NoDestructor<DuplicatesManager> manager;
    return *manager;
}

void DuplicatesManager::setDuplicateContainer(std::shared_ptr<DuplicatesContainer> container) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_pDuplicateContainer = std::move(container);
    std::weak_ptr<FullySelectedGroupsDeselector> deselector;
    if (m_pDuplicateContainer) deselector = m_pDuplicateContainer;
    Settings::setFullySelectedGroupsDeselector(std::move(deselector));
}

void DuplicatesManager::clearScanBasicInformation() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (!m_arrScannedFolders) return;
    m_arrPreviousScanScannedFolders = std::move(m_arrScannedFolders);
    m_previousScanMinimalSizeWasAutomatic = m_minimalSizeIsAutomatic;
    m_nPreviousScanMinimalDuplicatesSize = m_nMinimalDuplicatesSize;

    m_bIsBackupsWereSkipped = false;
    m_minimalSizeIsAutomatic = false;
    m_bScanSettingsChanged = false;
    m_nMinimalDuplicatesSize = 0;
    m_scanStartDate.reset();
    m_scanFinishDate.reset();
    m_arrScannedFolders.reset();
    m_nFoundSize.reset();
    m_nRemovedSize.reset();
}

bool DuplicatesManager::isRescanWithSmallerAutomaticSize() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    return m_previousScanMinimalSizeWasAutomatic &&
           m_minimalSizeIsAutomatic &&
           m_nMinimalDuplicatesSize < m_nPreviousScanMinimalDuplicatesSize &&
           isArrayHasSameContentAsArray(m_arrScannedFolders, m_arrPreviousScanScannedFolders);
}

bool DuplicatesManager::isArrayHasSameContentAsArray(const std::optional<Paths>& first,
                                                     const std::optional<Paths>& second) {
    if (!first || !second || first->size() != second->size()) return false;
    Paths a = *first;
    Paths b = *second;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

void DuplicatesManager::calculateTenBiggestHeapsWithDelegate(std::weak_ptr<DuplicatesManagerDelegate> delegate) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    platform::MainQueue::shared().async([container = m_pDuplicateContainer, delegate = std::move(delegate)] {
        deliver(delegate, biggestHeapsOf(container.get(), kBiggestHeapsCount), &Delegate::onCalculatedTenBiggestHeaps);
    });
}

void DuplicatesManager::calculateBiggestEasyForRemoveHeapsWithDelegate(
    std::weak_ptr<DuplicatesManagerDelegate> delegate) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    platform::MainQueue::shared().async([container = m_pDuplicateContainer, delegate = std::move(delegate)] {
        deliver(delegate, biggestEasyForRemoveHeapsOf(container.get()),
                &Delegate::onCalculateBiggestEasyForRemoveHeaps);
    });
}

void DuplicatesManager::calculateBiggestGroupsWithDelegate(std::weak_ptr<DuplicatesManagerDelegate> delegate) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    platform::backgroundQueue().async([sized = sizedGroupsOf(m_pDuplicateContainer.get()),
                                       delegate = std::move(delegate)]() mutable {
        // The groups go back to the main queue, and are let go there.
        deliver(delegate, sortedBySize(std::move(sized)), &Delegate::onCalculatedBiggestGroups);
    });
}

void DuplicatesManager::pleaseCalculateTenBiggestHeapsWithDelegate(
    std::weak_ptr<DuplicatesManagerDelegate> delegate) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    deliver(std::move(delegate), pleaseCalculateBiggestHeapsWithMaxResultCount(kBiggestHeapsCount),
            &Delegate::onCalculatedTenBiggestHeaps);
}

void DuplicatesManager::pleaseCalculateBiggestEasyForRemoveHeapsWithDelegate(
    std::weak_ptr<DuplicatesManagerDelegate> delegate) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    deliver(std::move(delegate), biggestEasyForRemoveHeapsOf(m_pDuplicateContainer.get()),
            &Delegate::onCalculateBiggestEasyForRemoveHeaps);
}

void DuplicatesManager::pleaseCalculateBiggestGroupsWithDelegate(
    std::weak_ptr<DuplicatesManagerDelegate> delegate) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    deliver(std::move(delegate), sortedBySize(sizedGroupsOf(m_pDuplicateContainer.get())),
            &Delegate::onCalculatedBiggestGroups);
}

DuplicatesManager::Heaps DuplicatesManager::pleaseCalculateBiggestHeapsWithMaxResultCount(std::size_t maxCount) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    return biggestHeapsOf(m_pDuplicateContainer.get(), maxCount);
}

DuplicatesManager::Heaps DuplicatesManager::biggestHeapsOf(const DuplicatesContainer* container,
                                                           std::size_t maxCount) {
    const HeapsCollection* heaps = container ? container->getHeaps().get() : nullptr;
    return heaps ? heaps->biggestHeaps(maxCount) : Heaps{};
}

DuplicatesManager::Heaps DuplicatesManager::biggestEasyForRemoveHeapsOf(const DuplicatesContainer* container) {
    const HeapsCollection* heaps = container ? container->getHeaps().get() : nullptr;
    return heaps ? heaps->biggestEasyForRemoveHeaps(kBiggestHeapsCount) : Heaps{};
}

}  // namespace kestrane
