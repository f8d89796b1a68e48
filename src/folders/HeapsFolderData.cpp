#include "folders/HeapsFolderData.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "scan/FolderSystemItem.h"

#include <atomic>
#include <unordered_set>

namespace kestrane {

namespace {

std::atomic<std::uint64_t> s_nextFolderDataID{0};

std::shared_ptr<DuplicateItem> entryOf(const FileSystemItem& item) {
    DuplicateItem* entry = item.getDuplicateItem();
    return entry != nullptr ? entry->weak_from_this().lock() : nullptr;
}

// The group of the copy when it counts for similar folders: a group of a file
// category or of the hidden category.
std::shared_ptr<DuplicatesGroup> countedGroupOf(const DuplicateItem& item) {
    auto group = item.getGroup();
    if (!group) return nullptr;
    const auto category = group->getCategory();
    if (!category || category->getRole() == DuplicatesCategory::Role::scratch) return nullptr;
    return group;
}

}  // namespace

void HeapsItemsStatistics::copyTo(std::uint64_t* items, std::uint64_t* selected, std::uint64_t* similar,
                                  std::uint64_t* size) const {
    if (items != nullptr) *items = countOfItems;
    if (selected != nullptr) *selected = countOfSelectedItems;
    if (similar != nullptr) *similar = countOfSimilarSelectedItems;
    if (size != nullptr) *size = totalSize;
}

std::shared_ptr<HeapsFolderData> HeapsFolderData::create(FolderSystemItem* folder,
                                                         std::weak_ptr<DuplicatesContainer> container,
                                                         std::string path) {
    return std::make_shared<HeapsFolderData>(Key{}, folder, std::move(container), std::move(path));
}

HeapsFolderData::HeapsFolderData(Key, FolderSystemItem* folder, std::weak_ptr<DuplicatesContainer> container,
                                 std::string path)
    : m_nID(s_nextFolderDataID.fetch_add(1, std::memory_order_relaxed)),
      m_sFolderPath(!path.empty() || folder == nullptr ? std::move(path) : folder->path()),
      m_pFolder(folder),
      m_pContainer(std::move(container)),
      m_bHasContainer(!m_pContainer.expired()) {}

HeapsFolderData::~HeapsFolderData() = default;

FolderSystemItem* HeapsFolderData::getFolderSystemItem() const {
    // A copy still in the tree has a live parent: the folder.
    for (const auto& item : m_arrItems) {
        const FileSystemItem* file = item->getFileSystemItem();
        if (file != nullptr && file->parent() != nullptr) return m_pFolder = file->parent();
    }
    if (!m_bHasContainer) return m_pFolder;
    // The copies moved on (their groups were replaced) or went: ask the tree.
    const auto container = m_pContainer.lock();
    FileSystemItem* found = container ? container->findExistedSystemItemWithPath(m_sFolderPath) : nullptr;
    m_pFolder = found != nullptr && found->isDir() ? static_cast<FolderSystemItem*>(found) : nullptr;
    return m_pFolder;
}

void HeapsFolderData::updateData() {
    const FolderSystemItem* folder = getFolderSystemItem();
    m_arrItems.clear();
    m_arrGroups.clear();
    if (folder != nullptr) {
        for (const auto& child : folder->childrenArray()) {
            auto entry = entryOf(*child);
            if (!entry) continue;
            auto group = countedGroupOf(*entry);
            if (!group) continue;
            m_arrGroups.emplace(group->getGroupID(), std::move(group));
            m_arrItems.push_back(std::move(entry));
        }
    }
    recalculateSize();
}

void HeapsFolderData::addItemsOfGroup(const std::shared_ptr<DuplicatesGroup>& group) {
    if (!group || hasGroupWithID(group->getGroupID())) return;
    bool added = false;
    for (const auto& item : group->itemsView()) {
        if (item->getFileSystemItem() == nullptr || item->getParentFolderItemPath() != m_sFolderPath) continue;
        m_arrItems.push_back(item);
        added = true;
    }
    if (!added) return;
    m_arrGroups.emplace(group->getGroupID(), group);
    recalculateSize();
}

void HeapsFolderData::removeItemsOfGroup(std::uint64_t groupID) {
    if (m_arrGroups.erase(groupID) == 0) return;
    std::erase_if(m_arrItems, [groupID](const std::shared_ptr<DuplicateItem>& item) {
        const auto group = item->getGroup();
        return !group || group->getGroupID() == groupID;
    });
    recalculateSize();
}

void HeapsFolderData::recalculateSize() {
    m_nAllDuplicatesSize = 0;
    for (const auto& item : m_arrItems) m_nAllDuplicatesSize += item->getFileItemSize();
}

std::vector<std::shared_ptr<DuplicateItem>> HeapsFolderData::getItemsFromFolderInGroups(
    const HeapsGroupIDSet& groups) const {
    std::vector<std::shared_ptr<DuplicateItem>> items;
    for (const auto& item : m_arrItems) {
        const auto group = item->getGroup();
        if (group && groups.contains(group->getGroupID())) items.push_back(item);
    }
    return items;
}

HeapsItemsStatistics HeapsFolderData::statisticsOfItems(
    const std::vector<std::shared_ptr<DuplicateItem>>& items,
    const std::function<bool(const FolderSystemItem* folder)>& isSimilarFolder) {
    HeapsItemsStatistics statistics;
    std::unordered_set<const DuplicateItem*> similar;
    std::unordered_set<std::uint64_t> groupsSeen;
    for (const auto& item : items) {
        ++statistics.countOfItems;
        if (item->isSelected()) ++statistics.countOfSelectedItems;
        statistics.totalSize += item->getFileItemSize();
        const auto group = item->getGroup();
        if (!group || !groupsSeen.insert(group->getGroupID()).second) continue;
        for (const auto& selected : group->getSelectedItems()) {
            const FileSystemItem* file = selected->getFileSystemItem();
            if (file != nullptr && isSimilarFolder(file->parent())) similar.insert(selected.get());
        }
    }
    statistics.countOfSimilarSelectedItems = similar.size();
    return statistics;
}

HeapsItemsStatistics HeapsFolderData::calculateStatistics() const {
    const FolderSystemItem* folder = getFolderSystemItem();
    if (folder != nullptr) {
        if (const auto folderEntry = entryOf(*folder); folderEntry && folderEntry->getGroup()) {
            HeapsItemsStatistics statistics;
            statistics.countOfItems = m_arrItems.size();
            statistics.countOfSelectedItems = folderEntry->isSelected() ? m_arrItems.size() : 0;
            const std::int64_t size = folder->logicalSize();
            statistics.totalSize = size > 0 ? static_cast<std::uint64_t>(size) : 0;
            return statistics;
        }
    }
    return statisticsOfItems(m_arrItems, [folder](const FolderSystemItem* other) { return other != folder; });
}

void HeapsFolderData::calculateSelectionCounts(
    std::uint64_t* countOfItems, std::uint64_t* countOfSelectedItems, std::uint64_t* countOfSimilarSelectedItems,
    std::uint64_t* totalSize) const {
    calculateStatistics().copyTo(countOfItems, countOfSelectedItems, countOfSimilarSelectedItems, totalSize);
}

std::uint64_t HeapsFolderData::calculateCountOfGroupsThatFullySelected() const {
    std::uint64_t count = 0;
    for (const auto& [id, group] : m_arrGroups) {
        const std::uint64_t total = group->getTotalCount();
        if (total > 0 && group->getSelectedCountWithDuplicatesFolderContent() == total) ++count;
    }
    return count;
}

}  // namespace kestrane
