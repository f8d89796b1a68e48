#include "folders/HeapsGroup.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/DuplicatesHeap.h"
#include "scan/FolderSystemItem.h"

#include <unordered_map>

namespace kestrane {

namespace {

// The folder is a duplicate folder or lies inside one.
bool isOrIsInDuplicateFolder(const FolderSystemItem* folder) {
    return folder != nullptr && (folder->getDuplicateItem() != nullptr || folder->findParentDuplicateFolder() != nullptr);
}

}  // namespace

std::shared_ptr<HeapsGroup> HeapsGroup::create(std::shared_ptr<HeapsFolderData> mainFolder) {
    return std::make_shared<HeapsGroup>(Key{}, std::move(mainFolder));
}

HeapsGroup::HeapsGroup(Key, std::shared_ptr<HeapsFolderData> mainFolder) : m_pMainFolder(std::move(mainFolder)) {}

void HeapsGroup::addHeap(const std::shared_ptr<DuplicatesHeap>& heap) {
    if (!heap || heap->getMainHeapsFolderData() != m_pMainFolder) return;
    const auto& second = heap->getSecondHeapsFolderData();
    if (isOrIsInDuplicateFolder(heap->getMainFolderItem()) || isOrIsInDuplicateFolder(heap->getSecondFolderItem())) {
        if (m_arrSecondIDsWithDuplicatesFolder.insert(second->getID()).second)
            m_arrHeapsWithDuplicatesFolder.push_back(heap);
        return;
    }
    if (!m_arrHeaps.emplace(second->getID(), heap).second) return;
    m_arrSecondFoldersForHeaps.push_back(heap->getSecondFolderItem());
    m_arrSecondHeapsFoldersData.push_back(second);
    for (auto& item : heap->getMainFolderItems())
        if (m_arrMainFolderItemsInHeapsSet.insert(item.get()).second) m_arrMainFolderItemsInHeaps.push_back(std::move(item));
}

std::shared_ptr<DuplicatesHeap> HeapsGroup::getHeapForKey(std::uint64_t secondFolderID) const {
    const auto it = m_arrHeaps.find(secondFolderID);
    return it == m_arrHeaps.end() ? nullptr : it->second;
}

std::shared_ptr<DuplicatesHeap> HeapsGroup::getSubHeapWithSecondFolder(const HeapsFolderData& secondFolder) const {
    return getHeapForKey(secondFolder.getID());
}

std::vector<std::uint64_t> HeapsGroup::getAllSubHeapsKeys() const {
    std::vector<std::uint64_t> keys;
    keys.reserve(m_arrHeaps.size());
    for (const auto& [id, heap] : m_arrHeaps) keys.push_back(id);
    return keys;
}

std::vector<std::shared_ptr<DuplicatesHeap>> HeapsGroup::buildAllSubHeapsArray() const {
    std::vector<std::shared_ptr<DuplicatesHeap>> heaps;
    heaps.reserve(m_arrHeaps.size());
    for (const auto& [id, heap] : m_arrHeaps) heaps.push_back(heap);
    return heaps;
}

std::uint64_t HeapsGroup::calculateSizeOfParticipatingItems() const {
    std::uint64_t size = 0;
    for (const auto& item : m_arrMainFolderItemsInHeaps)
        if (!item->getAssociatedDuplicateFolder()) size += item->getFileItemSize();
    return size;
}

void HeapsGroup::fastRecalculateGroup(
    const HeapsGroup& old, const std::function<std::shared_ptr<HeapsFolderData>(const HeapsFolderData&)>& currentRecordOf) {
    const auto rebuild = [&](const std::shared_ptr<DuplicatesHeap>& oldHeap) {
        const auto& oldSecond = oldHeap->getSecondHeapsFolderData();
        const auto second = currentRecordOf ? currentRecordOf(*oldSecond) : oldSecond;
        if (second) addHeap(DuplicatesHeap::buildHeapWithFolderWithFolder(m_pMainFolder, second));
    };
    for (const auto& [id, heap] : old.m_arrHeaps) rebuild(heap);
    for (const auto& heap : old.m_arrHeapsWithDuplicatesFolder) rebuild(heap);
}

bool HeapsGroup::isHasLastItems() const {
    return isHasLastItemsInItems(m_arrMainFolderItemsInHeaps);
}

bool HeapsGroup::isHasLastItemsInItems(const std::vector<std::shared_ptr<DuplicateItem>>& items) {
    // Unselected copies of the set, per group.
    std::unordered_map<std::uint64_t, std::pair<std::shared_ptr<DuplicatesGroup>, std::uint64_t>> unselected;
    for (const auto& item : items) {
        if (item->isSelected()) continue;
        auto group = item->getGroup();
        if (!group) continue;
        auto& entry = unselected[group->getGroupID()];
        entry.first = std::move(group);
        ++entry.second;
    }
    for (const auto& [id, entry] : unselected) {
        const auto& [group, count] = entry;
        if (count + group->getSelectedCountWithDuplicatesFolderContent() == group->getTotalCount()) return true;
    }
    return false;
}

bool HeapsGroup::isOnlyLastItemsNotSelectedInItems(const std::vector<std::shared_ptr<DuplicateItem>>& items) {
    bool anyUnselected = false;
    for (const auto& item : items) {
        if (item->isSelected()) continue;
        anyUnselected = true;
        const auto group = item->getGroup();
        if (!group || !group->isOneItemLeftToSelect()) return false;
    }
    return anyUnselected;
}

HeapsItemsStatistics HeapsGroup::calculateStatistics() const {
    const FolderSystemItem* mainFolder = m_pMainFolder->getFolderSystemItem();
    if (mainFolder != nullptr) {
        const DuplicateItem* folderEntry = mainFolder->getDuplicateItem();
        if (folderEntry != nullptr && folderEntry->getGroup()) {
            HeapsItemsStatistics statistics;
            statistics.countOfItems = m_arrMainFolderItemsInHeaps.size();
            statistics.countOfSelectedItems = folderEntry->isSelected() ? mainFolder->numberOfChildren() : 0;
            const std::int64_t size = mainFolder->logicalSize();
            statistics.totalSize = size > 0 ? static_cast<std::uint64_t>(size) : 0;
            return statistics;
        }
    }
    std::unordered_set<const FolderSystemItem*> secondFolders;
    for (const auto& second : m_arrSecondHeapsFoldersData)
        if (const FolderSystemItem* folder = second->getFolderSystemItem()) secondFolders.insert(folder);
    return HeapsFolderData::statisticsOfItems(
        m_arrMainFolderItemsInHeaps,
        [&secondFolders](const FolderSystemItem* folder) { return secondFolders.contains(folder); });
}

void HeapsGroup::calculateCountOfItemsCountOfSelectedItemsCountOfSimilarSelectedItemsTotalSize(
    std::uint64_t* countOfItems, std::uint64_t* countOfSelectedItems, std::uint64_t* countOfSimilarSelectedItems,
    std::uint64_t* totalSize) const {
    calculateStatistics().copyTo(countOfItems, countOfSelectedItems, countOfSimilarSelectedItems, totalSize);
}

}  // namespace kestrane
