#include "folders/HeapsGroup.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/DuplicatesHeap.h"
#include "scan/FolderSystemItem.h"

#include <algorithm>
#include <unordered_map>

namespace kestrane {

std::shared_ptr<HeapsGroup> HeapsGroup::create(std::shared_ptr<HeapsFolderData> mainFolder) {
    return std::make_shared<HeapsGroup>(Key{}, std::move(mainFolder));
}

std::shared_ptr<HeapsGroup> HeapsGroup::createComputed(std::shared_ptr<HeapsFolderData> mainFolder,
                                                       ComputedHeaps computed) {
    auto group = create(std::move(mainFolder));
    group->m_pRecords = std::move(computed.records);
    group->m_arrHeaps = std::move(computed.heaps);
    group->m_arrHeapsWithDuplicatesFolder = std::move(computed.heapsWithDuplicatesFolder);
    group->m_nFoundHeaps = computed.foundHeaps;
    group->m_nFoundHeapsWithDuplicatesFolder = computed.foundHeapsWithDuplicatesFolder;
    group->m_arrMainFolderItemsInHeaps = std::move(computed.participatingItems);
    return group;
}

HeapsGroup::HeapsGroup(Key, std::shared_ptr<HeapsFolderData> mainFolder)
    : m_pMainFolder(std::move(mainFolder)), m_pRecords(std::make_shared<const HeapsRecordTable>()) {}

HeapsRecordTable& HeapsGroup::ownRecords() {
    if (!m_pOwnRecords) {
        m_pOwnRecords = std::make_shared<HeapsRecordTable>(*m_pRecords);
        m_pRecords = m_pOwnRecords;
    }
    return *m_pOwnRecords;
}

void HeapsGroup::addHeap(const std::shared_ptr<DuplicatesHeap>& heap) {
    if (!heap || heap->getMainHeapsFolderData() != m_pMainFolder) return;
    const auto& second = heap->getSecondHeapsFolderData();
    if (m_arrAddedSecondIDs.empty()) {
        // A computed group: the seconds it already has count as added.
        for (const auto* entries : {&m_arrHeaps, &m_arrHeapsWithDuplicatesFolder})
            for (const auto& entry : *entries) m_arrAddedSecondIDs.insert(secondRecordOf(entry)->getID());
        for (const auto& item : m_arrMainFolderItemsInHeaps) m_arrMainFolderItemsInHeapsSet.insert(item.get());
    }
    if (!m_arrAddedSecondIDs.insert(second->getID()).second) return;
    auto& records = ownRecords();
    const HeapsPairEntry entry{static_cast<std::uint32_t>(records.size()),
                               static_cast<std::uint32_t>(heap->getCountOfGroups()), heap->getHeapHalfSize()};
    records.push_back(second);
    const bool apart = HeapsFolderTraits::of(heap->getMainFolderItem()).isOrIsInDuplicateFolder ||
                       HeapsFolderTraits::of(heap->getSecondFolderItem()).isOrIsInDuplicateFolder;
    if (apart) {
        m_arrHeapsWithDuplicatesFolder.push_back(entry);
        ++m_nFoundHeapsWithDuplicatesFolder;
        return;
    }
    m_arrHeaps.push_back(entry);
    ++m_nFoundHeaps;
    for (auto& item : heap->getMainFolderItems())
        if (m_arrMainFolderItemsInHeapsSet.insert(item.get()).second) m_arrMainFolderItemsInHeaps.push_back(std::move(item));
}

std::shared_ptr<DuplicatesHeap> HeapsGroup::getHeapForKey(std::uint64_t secondFolderID) const {
    for (const auto& entry : m_arrHeaps) {
        const auto& second = secondRecordOf(entry);
        if (second->getID() == secondFolderID) return DuplicatesHeap::buildHeapWithFolderWithFolder(m_pMainFolder, second);
    }
    return nullptr;
}

std::shared_ptr<DuplicatesHeap> HeapsGroup::getSubHeapWithSecondFolder(const HeapsFolderData& secondFolder) const {
    return getHeapForKey(secondFolder.getID());
}

std::vector<std::uint64_t> HeapsGroup::getAllSubHeapsKeys() const {
    std::vector<std::uint64_t> keys;
    keys.reserve(m_arrHeaps.size());
    for (const auto& entry : m_arrHeaps) keys.push_back(secondRecordOf(entry)->getID());
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::vector<std::shared_ptr<DuplicatesHeap>> HeapsGroup::buildHeaps(const std::vector<HeapsPairEntry>& entries) const {
    std::vector<const HeapsPairEntry*> ordered;
    ordered.reserve(entries.size());
    for (const auto& entry : entries) ordered.push_back(&entry);
    std::sort(ordered.begin(), ordered.end(), [this](const HeapsPairEntry* a, const HeapsPairEntry* b) {
        return secondRecordOf(*a)->getID() < secondRecordOf(*b)->getID();
    });
    std::vector<std::shared_ptr<DuplicatesHeap>> heaps;
    heaps.reserve(entries.size());
    for (const auto* entry : ordered)
        if (auto heap = DuplicatesHeap::buildHeapWithFolderWithFolder(m_pMainFolder, secondRecordOf(*entry)))
            heaps.push_back(std::move(heap));
    return heaps;
}

std::vector<std::shared_ptr<DuplicatesHeap>> HeapsGroup::buildAllSubHeapsArray() const {
    return buildHeaps(m_arrHeaps);
}

std::vector<std::shared_ptr<DuplicatesHeap>> HeapsGroup::getAllSubHeapsWithDuplicatesFolder() const {
    return buildHeaps(m_arrHeapsWithDuplicatesFolder);
}

std::vector<FolderSystemItem*> HeapsGroup::getAllSecondFolders() const {
    std::vector<FolderSystemItem*> folders;
    folders.reserve(m_arrHeaps.size());
    for (const auto& entry : m_arrHeaps) folders.push_back(secondRecordOf(entry)->getFolderSystemItem());
    return folders;
}

std::vector<std::shared_ptr<HeapsFolderData>> HeapsGroup::secondHeapsFoldersData() const {
    std::vector<std::shared_ptr<HeapsFolderData>> records;
    records.reserve(m_arrHeaps.size());
    for (const auto& entry : m_arrHeaps) records.push_back(secondRecordOf(entry));
    return records;
}

std::uint64_t HeapsGroup::calculateSizeOfParticipatingItems() const {
    std::uint64_t size = 0;
    for (const auto& item : m_arrMainFolderItemsInHeaps)
        if (!item->getAssociatedDuplicateFolder()) size += item->getFileItemSize();
    return size;
}

void HeapsGroup::fastRecalculateGroup(
    const HeapsGroup& old, const std::function<std::shared_ptr<HeapsFolderData>(const HeapsFolderData&)>& currentRecordOf) {
    const auto rebuild = [&](const HeapsPairEntry& entry) {
        const auto& oldSecond = old.secondRecordOf(entry);
        const auto second = currentRecordOf ? currentRecordOf(*oldSecond) : oldSecond;
        if (second) addHeap(DuplicatesHeap::buildHeapWithFolderWithFolder(m_pMainFolder, second));
    };
    for (const auto& entry : old.m_arrHeaps) rebuild(entry);
    for (const auto& entry : old.m_arrHeapsWithDuplicatesFolder) rebuild(entry);
}

void HeapsGroup::sortHeapsLargestFirst() {
    for (auto* entries : {&m_arrHeaps, &m_arrHeapsWithDuplicatesFolder})
        std::sort(entries->begin(), entries->end(), [this](const HeapsPairEntry& a, const HeapsPairEntry& b) {
            if (a.halfSize != b.halfSize) return a.halfSize > b.halfSize;
            return secondRecordOf(a)->getID() < secondRecordOf(b)->getID();
        });
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
    for (const auto& entry : m_arrHeaps)
        if (const FolderSystemItem* folder = secondRecordOf(entry)->getFolderSystemItem()) secondFolders.insert(folder);
    return HeapsFolderData::statisticsOfItems(
        m_arrMainFolderItemsInHeaps,
        [&secondFolders](const FolderSystemItem* folder) { return secondFolders.contains(folder); });
}

void HeapsGroup::calculateSelectionCounts(
    std::uint64_t* countOfItems, std::uint64_t* countOfSelectedItems, std::uint64_t* countOfSimilarSelectedItems,
    std::uint64_t* totalSize) const {
    calculateStatistics().copyTo(countOfItems, countOfSelectedItems, countOfSimilarSelectedItems, totalSize);
}

}  // namespace kestrane
