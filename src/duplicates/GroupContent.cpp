#include "duplicates/GroupContent.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesGroup.h"
#include "scan/FileSystemItem.h"

#include <algorithm>

namespace kestrane {

GroupContent::GroupContent(std::weak_ptr<DuplicatesGroup> group) : m_pGroup(std::move(group)) {}

GroupContent::~GroupContent() = default;

std::shared_ptr<DuplicateItem> GroupContent::addItem(FileSystemItem* fileItem) {
    const auto group = m_pGroup.lock();
    if (fileItem == nullptr || !group) return nullptr;

    bool inPackage = false;
    if (const auto category = group->getCategory(); category && fileItem->isInPackage()) {
        if (!category->isHiddenCategory()) return nullptr;
        inPackage = true;
    }

    // The entry is in the list before it is linked: linking asks the group
    // whether it holds the entry.
    auto item = std::make_shared<DuplicateItem>(DuplicateItem::Key{});
    m_arrItems.push_back(item);
    indexItem(item.get());
    if (!item->initWithFileItemWithGroup(fileItem, group)) {
        m_arrItems.pop_back();
        unindexItem(item.get());
        return nullptr;
    }
    if (inPackage) {
        ++m_nCountOfItemsInPackages;
        item->m_bCountedInPackage = true;
    }
    addFigures(*item);
    return item;
}

void GroupContent::removeItem(const std::shared_ptr<DuplicateItem>& item) {
    if (!item || !containsItem(item.get())) return;
    if (item->m_bCounted) removeFigures(*item);
    if (item->m_bCountedInPackage) {
        if (m_nCountOfItemsInPackages > 0) --m_nCountOfItemsInPackages;
        item->m_bCountedInPackage = false;
    }
    // Groups are emptied from the back, so look there first.
    const auto found = std::find(m_arrItems.rbegin(), m_arrItems.rend(), item);
    const std::shared_ptr<DuplicateItem> keepAlive = item;
    m_arrItems.erase(std::next(found).base());
    unindexItem(item.get());
    keepAlive->detach();
}

bool GroupContent::containsItem(const DuplicateItem* item) const {
    if (m_arrItemsSet) return m_arrItemsSet->contains(item);
    return std::any_of(m_arrItems.begin(), m_arrItems.end(), [item](const auto& held) { return held.get() == item; });
}

// Called after the entry went into m_arrItems.
void GroupContent::indexItem(const DuplicateItem* item) {
    if (m_arrItems.size() < kIndexedFromCount) return;
    if (!m_arrItemsSet) {
        m_arrItemsSet = std::make_unique<std::unordered_set<const DuplicateItem*>>();
        for (const auto& held : m_arrItems) m_arrItemsSet->insert(held.get());
    } else {
        m_arrItemsSet->insert(item);
    }
}

// Called after the entry left m_arrItems.
void GroupContent::unindexItem(const DuplicateItem* item) {
    if (!m_arrItemsSet) return;
    if (m_arrItems.size() < kIndexedFromCount / 2)
        m_arrItemsSet.reset();
    else
        m_arrItemsSet->erase(item);
}

std::uint64_t GroupContent::getSizeThatCanBeRemoved() const {
    return m_nTotalSize > m_nNotRemovedSize ? m_nTotalSize - m_nNotRemovedSize : 0;
}

std::uint64_t GroupContent::getItemsCountThatCanBeRemoved() const {
    const std::uint64_t kept = m_bHasKeptCopy ? 1 : 0;
    return m_nCountOfItemsOutsideDuplicatesFolders > kept ? m_nCountOfItemsOutsideDuplicatesFolders - kept : 0;
}

std::vector<FileSystemItem*> GroupContent::createArrayWithFileSystemItems() const {
    std::vector<FileSystemItem*> items;
    items.reserve(m_arrItems.size());
    for (const auto& item : m_arrItems)
        if (FileSystemItem* fileItem = item->getFileSystemItem()) items.push_back(fileItem);
    return items;
}

void GroupContent::updateInfo() {
    m_nTotalSize = 0;
    m_nNotRemovedSize = 0;
    m_nCountOfItemsOutsideDuplicatesFolders = 0;
    m_nCountOfItemsInDuplicatesFolders = 0;
    m_bHasKeptCopy = false;
    for (const auto& item : m_arrItems) item->m_bCounted = false;
    for (const auto& item : m_arrItems) addFigures(*item);
}

void GroupContent::updateAfterItemMovedIntoOrOutOfDuplicateFolder(DuplicateItem& item) {
    if (!containsItem(&item) || !item.m_bCounted) return;
    removeFigures(item);
    addFigures(item);
}

void GroupContent::addFigures(DuplicateItem& item) {
    const bool inFolder = item.getAssociatedDuplicateFolder() != nullptr;
    item.m_bCounted = true;
    item.m_bCountedInFolder = inFolder;
    if (inFolder) {
        ++m_nCountOfItemsInDuplicatesFolders;
    } else {
        ++m_nCountOfItemsOutsideDuplicatesFolders;
        m_nTotalSize += item.getFileItemSize();
    }
    refreshKeptCopy();
}

void GroupContent::removeFigures(DuplicateItem& item) {
    if (item.m_bCountedInFolder) {
        if (m_nCountOfItemsInDuplicatesFolders > 0) --m_nCountOfItemsInDuplicatesFolders;
    } else {
        if (m_nCountOfItemsOutsideDuplicatesFolders > 0) --m_nCountOfItemsOutsideDuplicatesFolders;
        const std::uint64_t size = item.getFileItemSize();
        m_nTotalSize = m_nTotalSize > size ? m_nTotalSize - size : 0;
    }
    item.m_bCounted = false;
    item.m_bCountedInFolder = false;
    refreshKeptCopy();
}

void GroupContent::refreshKeptCopy() {
    if (m_nCountOfItemsInDuplicatesFolders != 0 || m_nCountOfItemsOutsideDuplicatesFolders == 0) {
        m_bHasKeptCopy = false;
        m_nNotRemovedSize = 0;
        return;
    }
    if (m_bHasKeptCopy) return;
    m_bHasKeptCopy = true;
    m_nNotRemovedSize = 0;
    for (const auto& item : m_arrItems) {
        if (!item->m_bCounted || item->m_bCountedInFolder) continue;
        m_nNotRemovedSize = item->getFileItemSize();
        break;
    }
}

}  // namespace kestrane
