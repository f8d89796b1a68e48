#include "duplicates/DuplicatesManager.h"

#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/DuplicatesHeap.h"
#include "folders/DuplicatesHeaps.h"
#include "folders/HeapsFolderData.h"
#include "folders/HeapsGroup.h"
#include "platform/MainQueue.h"
#include "platform/NoDestructor.h"
#include "platform/OperationQueue.h"
#include "settings/Settings.h"

#include <algorithm>
#include <map>
#include <mutex>
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

// Building pair groups fills caches of the folder records: one computation
// reads a result at a time.
std::mutex& calculationMutex() {
    static platform::NoDestructor<std::mutex> mutex;
    return *mutex;
}

const DuplicatesHeaps* heapsOf(const DuplicatesContainer* container) {
    return container ? dynamic_cast<const DuplicatesHeaps*>(container->getHeaps().get()) : nullptr;
}

void sortByHalfSize(std::vector<std::shared_ptr<DuplicatesHeap>>& heaps) {
    std::stable_sort(heaps.begin(), heaps.end(),
                     [](const auto& a, const auto& b) { return a->getHeapHalfSize() > b->getHeapHalfSize(); });
}

}  // namespace

DuplicatesManager& DuplicatesManager::sharedManager() {
    static platform::NoDestructor<DuplicatesManager> manager;
    return *manager;
}

void DuplicatesManager::setDuplicateContainer(std::shared_ptr<DuplicatesContainer> container) {
    m_pDuplicateContainer = std::move(container);
    std::weak_ptr<FullySelectedGroupsDeselector> deselector;
    if (m_pDuplicateContainer) deselector = m_pDuplicateContainer;
    Settings::setFullySelectedGroupsDeselector(std::move(deselector));
}

void DuplicatesManager::clearScanBasicInformation() {
    if (!m_arrScannedFolders) return;
    m_arrPreviousScanScannedFolders = std::move(m_arrScannedFolders);
    m_bPreviousScanIsMinimalDuplicatesSizeWasDefinedAutomatically = m_bIsMinimalDuplicatesSizeWasDefinedAutomatically;
    m_nPreviousScanMinimalDuplicatesSize = m_nMinimalDuplicatesSize;

    m_bIsBackupsWereSkipped = false;
    m_bIsMinimalDuplicatesSizeWasDefinedAutomatically = false;
    m_bScanSettingsChanged = false;
    m_nMinimalDuplicatesSize = 0;
    m_pScanStartDate.reset();
    m_pScanFinishDate.reset();
    m_arrScannedFolders.reset();
    m_nFoundSize.reset();
    m_nRemovedSize.reset();
}

bool DuplicatesManager::isScannedSameFolderAsPreviousButAutomaticallyDefinedFileSizeIsSmaller() const {
    return m_bPreviousScanIsMinimalDuplicatesSizeWasDefinedAutomatically &&
           m_bIsMinimalDuplicatesSizeWasDefinedAutomatically &&
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
    platform::backgroundQueue().async([container = m_pDuplicateContainer, delegate = std::move(delegate)] {
        deliver(delegate, biggestHeapsOf(container.get(), kBiggestHeapsCount), &Delegate::onCalculatedTenBiggestHeaps);
    });
}

void DuplicatesManager::calculateBiggestEasyForRemoveHeapsWithDelegate(
    std::weak_ptr<DuplicatesManagerDelegate> delegate) {
    platform::backgroundQueue().async([container = m_pDuplicateContainer, delegate = std::move(delegate)] {
        deliver(delegate, biggestEasyForRemoveHeapsOf(container.get()),
                &Delegate::onCalculateBiggestEasyForRemoveHeaps);
    });
}

void DuplicatesManager::calculateBiggestGroupsWithDelegate(std::weak_ptr<DuplicatesManagerDelegate> delegate) {
    platform::backgroundQueue().async([container = m_pDuplicateContainer, delegate = std::move(delegate)] {
        deliver(delegate, biggestGroupsOf(container.get()), &Delegate::onCalculatedBiggestGroups);
    });
}

void DuplicatesManager::pleaseCalculateTenBiggestHeapsWithDelegate(
    std::weak_ptr<DuplicatesManagerDelegate> delegate) const {
    deliver(std::move(delegate), pleaseCalculateBiggestHeapsWithMaxResultCount(kBiggestHeapsCount),
            &Delegate::onCalculatedTenBiggestHeaps);
}

void DuplicatesManager::pleaseCalculateBiggestEasyForRemoveHeapsWithDelegate(
    std::weak_ptr<DuplicatesManagerDelegate> delegate) const {
    deliver(std::move(delegate), biggestEasyForRemoveHeapsOf(m_pDuplicateContainer.get()),
            &Delegate::onCalculateBiggestEasyForRemoveHeaps);
}

void DuplicatesManager::pleaseCalculateBiggestGroupsWithDelegate(
    std::weak_ptr<DuplicatesManagerDelegate> delegate) const {
    deliver(std::move(delegate), biggestGroupsOf(m_pDuplicateContainer.get()), &Delegate::onCalculatedBiggestGroups);
}

DuplicatesManager::Heaps DuplicatesManager::pleaseCalculateBiggestHeapsWithMaxResultCount(std::size_t maxCount) const {
    return biggestHeapsOf(m_pDuplicateContainer.get(), maxCount);
}

DuplicatesManager::Heaps DuplicatesManager::biggestHeapsOf(const DuplicatesContainer* container,
                                                           std::size_t maxCount) {
    const DuplicatesHeaps* heaps = heapsOf(container);
    if (!heaps || maxCount == 0) return {};
    const std::lock_guard lock(calculationMutex());

    std::vector<std::shared_ptr<HeapsFolderData>> records;
    records.reserve(heaps->getAllFoldersData().size());
    for (const auto& [path, record] : heaps->getAllFoldersData()) records.push_back(record);
    std::stable_sort(records.begin(), records.end(), [](const auto& a, const auto& b) {
        return a->getAllDuplicatesSize() > b->getAllDuplicatesSize();
    });

    Heaps result;
    std::uint64_t threshold = 0;
    for (const auto& record : records) {
        // The records come largest first and the threshold only grows: no
        // later folder can hold a pair big enough.
        if (record->getAllDuplicatesSize() <= threshold) break;
        bool appended = false;
        {
            // The pair group lives only for this folder, to bound memory.
            const auto group = heaps->buildHeapsGroupForFolderWithPath(record->getFolderPath());
            if (!group) continue;
            for (const auto key : group->getAllSubHeapsKeys()) {
                auto heap = group->getHeapForKey(key);
                if (!heap || heap->getHeapHalfSize() < threshold) continue;
                const bool known = std::any_of(result.begin(), result.end(),
                                               [&](const auto& other) { return other->sameAs(*heap); });
                if (known) continue;
                result.push_back(std::move(heap));
                appended = true;
            }
        }
        if (appended && result.size() > maxCount) {
            sortByHalfSize(result);
            threshold = result[maxCount - 1]->getHeapHalfSize();
            while (result.back()->getHeapHalfSize() < threshold) result.pop_back();
        }
    }
    sortByHalfSize(result);
    return result;
}

DuplicatesManager::Heaps DuplicatesManager::biggestEasyForRemoveHeapsOf(const DuplicatesContainer* container) {
    const DuplicatesHeaps* heaps = heapsOf(container);
    if (!heaps) return {};

    std::unique_lock lock(calculationMutex());
    // Folders with a single similar folder, keyed by the main folder's ID.
    std::map<std::uint64_t, std::shared_ptr<DuplicatesHeap>> stored;
    for (const auto& [path, record] : heaps->getAllFoldersData()) {
        const auto group = heaps->buildHeapsGroupForFolderWithPath(path);
        if (!group || group->getCountOfHeapsInGroup() != 1) continue;
        auto heap = group->getHeapForKey(group->getAllSubHeapsKeys().front());
        if (!heap) continue;
        const auto reverse = stored.find(heap->getSecondHeapsFolderData()->getID());
        if (reverse != stored.end() && reverse->second->sameAs(*heap)) continue;
        stored[heap->getMainHeapsFolderData()->getID()] = std::move(heap);
    }
    lock.unlock();
    if (stored.empty()) return biggestHeapsOf(container, kBiggestHeapsCount);

    Heaps result;
    result.reserve(stored.size());
    for (auto& [id, heap] : stored) result.push_back(std::move(heap));
    sortByHalfSize(result);
    if (result.size() > kBiggestHeapsCount) result.resize(kBiggestHeapsCount);
    return result;
}

DuplicatesManager::Groups DuplicatesManager::biggestGroupsOf(const DuplicatesContainer* container) {
    if (!container) return {};
    const std::lock_guard lock(calculationMutex());
    Groups groups = container->getAllFilesGroups();
    std::vector<std::pair<std::uint64_t, std::shared_ptr<DuplicatesGroup>>> sized;
    sized.reserve(groups.size());
    for (auto& group : groups) sized.emplace_back(group->getSizeThatCanBeRemoved(), std::move(group));
    std::stable_sort(sized.begin(), sized.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    groups.clear();
    for (auto& entry : sized) groups.push_back(std::move(entry.second));
    return groups;
}

}  // namespace kestrane
