#include "duplicates/GroupSelection.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/GroupContent.h"
#include "platform/NotificationCenter.h"
#include "scan/FolderSystemItem.h"

#include <algorithm>
#include <atomic>

namespace kestrane {

namespace {

// Open selection batches. Used from the main queue only; atomic so that a
// stray use from another queue is not a data race.
std::atomic<std::int32_t> g_selectionGroups{0};

}  // namespace

GroupSelection::GroupSelection(std::weak_ptr<DuplicatesGroup> group) : m_pGroup(std::move(group)) {}

GroupSelection::~GroupSelection() = default;

void GroupSelection::addItem(const std::shared_ptr<DuplicateItem>& item) {
    if (!item || containsItem(item.get())) return;
    const auto group = m_pGroup.lock();
    if (group) group->notifyListenerThatGroupWillChange();
    Entry entry{item, item->getAssociatedDuplicateFolder() == nullptr, 0};
    if (entry.countedOutsideFolder) {
        entry.countedSize = item->getFileItemSize();
        ++m_nCountWithoutAssociatedDuplicateFolder;
        m_nTotalSize += entry.countedSize;
    }
    m_arrSelectedItems.emplace(item.get(), std::move(entry));
    item->onItemSelectionChanged();
    if (group) group->notifyListenerThatGroupDidChange();
}

void GroupSelection::removeItem(const std::shared_ptr<DuplicateItem>& item) {
    if (!item) return;
    const auto found = m_arrSelectedItems.find(item.get());
    if (found == m_arrSelectedItems.end()) return;
    const auto group = m_pGroup.lock();
    if (group) group->notifyListenerThatGroupWillChange();
    if (found->second.countedOutsideFolder) {
        if (m_nCountWithoutAssociatedDuplicateFolder > 0) --m_nCountWithoutAssociatedDuplicateFolder;
        m_nTotalSize = m_nTotalSize > found->second.countedSize ? m_nTotalSize - found->second.countedSize : 0;
    }
    m_arrSelectedItems.erase(found);
    item->onItemSelectionChanged();
    if (group) group->notifyListenerThatGroupDidChange();
}

std::vector<std::shared_ptr<DuplicateItem>> GroupSelection::getItems() const {
    std::vector<std::shared_ptr<DuplicateItem>> items;
    if (m_arrSelectedItems.empty()) return items;
    items.reserve(m_arrSelectedItems.size());
    if (const auto group = m_pGroup.lock()) {
        for (const auto& item : group->getItems())
            if (containsItem(item.get())) items.push_back(item);
    }
    // Copies no longer in the content (never the case for a settled group) come last.
    if (items.size() != m_arrSelectedItems.size()) {
        for (const auto& [raw, entry] : m_arrSelectedItems)
            if (std::find(items.begin(), items.end(), entry.item) == items.end()) items.push_back(entry.item);
    }
    return items;
}

void GroupSelection::updateItemAfterMovedToOrFromFolderDuplicates(const DuplicateItem& item) {
    const auto found = m_arrSelectedItems.find(&item);
    if (found == m_arrSelectedItems.end()) return;
    Entry& entry = found->second;
    const bool outside = item.getAssociatedDuplicateFolder() == nullptr;
    if (outside == entry.countedOutsideFolder) return;
    if (entry.countedOutsideFolder) {
        if (m_nCountWithoutAssociatedDuplicateFolder > 0) --m_nCountWithoutAssociatedDuplicateFolder;
        m_nTotalSize = m_nTotalSize > entry.countedSize ? m_nTotalSize - entry.countedSize : 0;
        entry.countedSize = 0;
    } else {
        entry.countedSize = item.getFileItemSize();
        ++m_nCountWithoutAssociatedDuplicateFolder;
        m_nTotalSize += entry.countedSize;
    }
    entry.countedOutsideFolder = outside;
}

bool GroupSelection::selectItemForced(const std::shared_ptr<DuplicateItem>& item, bool forced) {
    const auto group = m_pGroup.lock();
    if (!group || !item || containsItem(item.get())) return false;
    const GroupContent* content = group->getContent();
    if (content == nullptr || !content->containsItem(item.get())) return false;
    // Without force the last unselected copy stays.
    if (!forced && getDirtyItemsCount() + 1 >= content->getItemsCount()) return false;

    if (const auto folder = item->getAssociatedDuplicateFolder()) {
        // A copy inside a duplicate folder goes with its folder.
        if (!folder->isSelected()) return false;
        addItem(item);
        sendNotificationThatSelectionChangedIfNeeded();
        return true;
    }
    addItem(item);
    if (item->isDirectory()) {
        BeginSelectionGroup();
        bringFolderContentInLine(*item);
        EndSelectionGroup();
    } else {
        sendNotificationThatSelectionChangedIfNeeded();
    }
    return true;
}

void GroupSelection::deselectItem(const std::shared_ptr<DuplicateItem>& item) {
    if (!item || !containsItem(item.get())) return;
    const auto group = m_pGroup.lock();  // kept alive while the folder's content follows
    if (const auto folder = item->getAssociatedDuplicateFolder()) {
        // Content of a selected duplicate folder is deselected only with the folder.
        if (folder->isSelected()) return;
        removeItem(item);
        sendNotificationThatSelectionChangedIfNeeded();
        return;
    }
    removeItem(item);
    if (item->isDirectory()) {
        BeginSelectionGroup();
        bringFolderContentInLine(*item);
        EndSelectionGroup();
    } else {
        sendNotificationThatSelectionChangedIfNeeded();
    }
}

void GroupSelection::deselectAllItems() {
    const auto group = m_pGroup.lock();
    if (!group) return;
    BeginSelectionGroup();
    for (const auto& item : group->getItems()) deselectItem(item);
    EndSelectionGroup();
}

namespace {

// Every entry at and below item that lies inside a duplicate folder is
// selected (forced) when that folder is selected and deselected otherwise.
void bringTreeInLine(const FileSystemItem& item) {
    if (DuplicateItem* entry = item.getDuplicateItem()) {
        if (const auto strong = entry->weak_from_this().lock()) {
            if (const auto folder = strong->getAssociatedDuplicateFolder()) {
                if (folder->isSelected())
                    strong->selectItemForced(true);
                else
                    strong->deselectItem();
            }
        }
    }
    if (!item.isDir()) return;
    const auto& children = static_cast<const FolderSystemItem&>(item).childrenArray();
    for (std::size_t i = 0; i < children.size(); ++i) bringTreeInLine(*children[i]);
}

}  // namespace

void GroupSelection::bringFolderContentInLine(const DuplicateItem& folder) {
    const FileSystemItem* fileItem = folder.getFileSystemItem();
    if (fileItem == nullptr || !fileItem->isDir()) return;
    // Children are read by index: bringing a copy in line never changes the tree.
    const auto& children = static_cast<const FolderSystemItem*>(fileItem)->childrenArray();
    for (std::size_t i = 0; i < children.size(); ++i) bringTreeInLine(*children[i]);
}

void GroupSelection::BeginSelectionGroup() {
    g_selectionGroups.fetch_add(1, std::memory_order_relaxed);
}

void GroupSelection::EndSelectionGroup() {
    const std::int32_t before = g_selectionGroups.fetch_sub(1, std::memory_order_relaxed);
    if (before <= 1) {
        g_selectionGroups.store(0, std::memory_order_relaxed);
        sendNotificationThatSelectionChangedIfNeeded();
    }
}

void GroupSelection::sendNotificationThatSelectionChangedIfNeeded() {
    if (g_selectionGroups.load(std::memory_order_relaxed) != 0) return;
    platform::NotificationCenter::defaultCenter().post(kDuplicateItemSelectionChangedNotification);
}

std::int32_t GroupSelection::openSelectionGroups() {
    return g_selectionGroups.load(std::memory_order_relaxed);
}

}  // namespace kestrane
