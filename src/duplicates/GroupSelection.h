#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrane {

class DuplicateItem;
class DuplicatesGroup;

// The selected copies of one group, and the rules for changing them:
//  - without force, the last unselected copy of a group is never selected;
//  - a copy inside a duplicate folder goes with its folder: it can be
//    selected only while the folder is, and cannot be deselected alone while
//    the folder is selected; selecting or deselecting a duplicate folder
//    brings everything below it in line;
//  - changes are announced with kDuplicateItemSelectionChangedNotification,
//    once per outermost batch (BeginSelectionGroup / EndSelectionGroup nest).
//
// Owned by its group, which it refers to weakly. Used on the main queue.
class GroupSelection {
public:
    static constexpr const char* kDuplicateItemSelectionChangedNotification =
        "DuplicateItemSelectionChangedNotification";

    explicit GroupSelection(std::weak_ptr<DuplicatesGroup> group);  // initForGroup
    ~GroupSelection();
    GroupSelection(const GroupSelection&) = delete;
    GroupSelection& operator=(const GroupSelection&) = delete;

    // Adds / removes the copy as it is, announcing it to the group and the copy.
    void addItem(const std::shared_ptr<DuplicateItem>& item);
    void removeItem(const std::shared_ptr<DuplicateItem>& item);
    bool containsItem(const DuplicateItem* item) const { return m_arrSelectedItems.contains(item); }
    // The selected copies, in the group's item order.
    std::vector<std::shared_ptr<DuplicateItem>> getItems() const;
    // Every selected copy, those inside duplicate folders included.
    std::uint64_t getDirtyItemsCount() const { return m_arrSelectedItems.size(); }
    // The selected copies that are not inside a duplicate folder, and their size.
    std::uint64_t getActualItemsCount() const { return m_nCountWithoutAssociatedDuplicateFolder; }
    std::uint64_t getTotalSize() const { return m_nTotalSize; }
    // A selected copy moved into or out of a duplicate folder: recounted.
    void updateItemAfterMovedToOrFromFolderDuplicates(const DuplicateItem& item);

    // True when the copy was newly selected. Without force the last unselected
    // copy is refused; a copy inside a duplicate folder is refused (even with
    // force) unless its folder is selected.
    bool selectItemForced(const std::shared_ptr<DuplicateItem>& item, bool forced);
    void deselectItem(const std::shared_ptr<DuplicateItem>& item);
    // Every copy, in item order, in one batch.
    void deselectAllItems();

    static void BeginSelectionGroup();
    static void EndSelectionGroup();
    // Posts the notification unless a batch is open.
    static void sendNotificationThatSelectionChangedIfNeeded();
    // Open batches (for tests and diagnostics).
    static std::int32_t openSelectionGroups();

private:
    struct Entry {
        std::shared_ptr<DuplicateItem> item;
        bool countedOutsideFolder = false;  // counted in the actual count and size
        std::uint64_t countedSize = 0;
    };

    // Selects or deselects every copy below the folder copy so that each one
    // inside a duplicate folder matches its folder.
    static void bringFolderContentInLine(const DuplicateItem& folder);

    std::weak_ptr<DuplicatesGroup> m_pGroup;
    std::unordered_map<const DuplicateItem*, Entry> m_arrSelectedItems;
    std::uint64_t m_nCountWithoutAssociatedDuplicateFolder = 0;
    std::uint64_t m_nTotalSize = 0;
};

// Opens a selection batch (GroupSelection::BeginSelectionGroup) for as long
// as it lives.
class SelectionBatch {
public:
    SelectionBatch() { GroupSelection::BeginSelectionGroup(); }
    ~SelectionBatch() { GroupSelection::EndSelectionGroup(); }
    SelectionBatch(const SelectionBatch&) = delete;
    SelectionBatch& operator=(const SelectionBatch&) = delete;
};

}  // namespace kestrane
