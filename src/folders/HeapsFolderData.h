#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kestrane {

class DuplicateItem;
class DuplicatesContainer;
class DuplicatesGroup;
class FolderSystemItem;

// The four figures the similar-folder screens show for a set of copies.
struct HeapsItemsStatistics {
    std::uint64_t countOfItems = 0;
    std::uint64_t countOfSelectedItems = 0;
    // Distinct selected copies of the same groups lying in the other folder(s).
    std::uint64_t countOfSimilarSelectedItems = 0;
    std::uint64_t totalSize = 0;

    // Copies the figures to whichever of the out-values are given.
    void copyTo(std::uint64_t* items, std::uint64_t* selected, std::uint64_t* similar, std::uint64_t* size) const;
};

// Group IDs, for membership tests of sets of groups.
using HeapsGroupIDSet = std::set<std::uint64_t>;

// What the similar-folder registry knows of one folder that directly holds at
// least one copy of a duplicates group: those copies, their groups and their
// size.
//
// The folder item is owned by the scanned tree, which may drop it (a removal
// deletes folders left empty), so the record never trusts a stored pointer on
// its own: the folder is the parent of one of the record's copies that is
// still attached to the tree, and failing that it is looked up again by path
// in the container's trees. Copies and groups are held strongly (they point
// at nothing of the registry); the container only weakly.
//
// Used from one queue at a time.
class HeapsFolderData {
    struct Key {
        explicit Key() = default;
    };

public:
    // initWithFolder: — the record of folder, with nothing in it yet (call
    // updateData). With a container the folder is found again by path when
    // none of the copies leads to it; without one the given pointer is
    // trusted for as long as the record lives. The record is known by path
    // (the folder's own path when none is given): the parent path of the
    // copies in it.
    static std::shared_ptr<HeapsFolderData> create(FolderSystemItem* folder,
                                                   std::weak_ptr<DuplicatesContainer> container = {},
                                                   std::string path = {});
    HeapsFolderData(Key, FolderSystemItem* folder, std::weak_ptr<DuplicatesContainer> container, std::string path);
    ~HeapsFolderData();
    HeapsFolderData(const HeapsFolderData&) = delete;
    HeapsFolderData& operator=(const HeapsFolderData&) = delete;

    // Rebuilds the copies, groups and size from the folder's current direct
    // children: every child whose copy belongs to a group of a file category
    // or of the hidden category (the similar-folder stage's scratch groups do
    // not count). A folder that is gone leaves the record empty.
    void updateData();
    // Adds the copies of group that lie directly in the folder; what
    // updateData would find after the group was added.
    void addItemsOfGroup(const std::shared_ptr<DuplicatesGroup>& group);
    // Takes the copies of the group out (by group ID).
    void removeItemsOfGroup(std::uint64_t groupID);

    // A process-wide number, unique per record.
    std::uint64_t getID() const { return m_nID; }
    const std::string& getFolderPath() const { return m_sFolderPath; }
    // The folder, or null when it is no longer in the scanned tree.
    FolderSystemItem* getFolderSystemItem() const;
    // The copies in the folder, in the order of the folder's children.
    const std::vector<std::shared_ptr<DuplicateItem>>& getItems() const { return m_arrItems; }
    // The groups of those copies, by group ID.
    const std::map<std::uint64_t, std::shared_ptr<DuplicatesGroup>>& getGroups() const { return m_arrGroups; }
    bool hasGroupWithID(std::uint64_t groupID) const { return m_arrGroups.contains(groupID); }
    // The folder's copies whose group is one of groups.
    std::vector<std::shared_ptr<DuplicateItem>> getItemsFromFolderInGroups(const HeapsGroupIDSet& groups) const;
    std::uint64_t getAllDuplicatesSize() const { return m_nAllDuplicatesSize; }

    // A duplicate folder counts as a whole: its copies, all of them selected
    // when the folder is, nothing similar, the folder's logical size.
    // Otherwise over its copies: the selected ones, their total size and the
    // distinct selected copies of their groups lying in another folder.
    HeapsItemsStatistics calculateStatistics() const;
    void calculateSelectionCounts(
        std::uint64_t* countOfItems, std::uint64_t* countOfSelectedItems, std::uint64_t* countOfSimilarSelectedItems,
        std::uint64_t* totalSize) const;
    // The folder's groups whose every copy is selected (copies selected with
    // their duplicate folder count).
    std::uint64_t calculateCountOfGroupsThatFullySelected() const;

    // The figures of copies taken from one folder: how many, how many are
    // selected, their total size, and the distinct selected copies of their
    // groups whose folder isSimilarFolder accepts.
    static HeapsItemsStatistics statisticsOfItems(
        const std::vector<std::shared_ptr<DuplicateItem>>& items,
        const std::function<bool(const FolderSystemItem* folder)>& isSimilarFolder);

private:
    void recalculateSize();

    std::uint64_t m_nID;
    std::string m_sFolderPath;
    mutable FolderSystemItem* m_pFolder;  // a cache; see getFolderSystemItem
    std::weak_ptr<DuplicatesContainer> m_pContainer;
    bool m_bHasContainer;
    std::vector<std::shared_ptr<DuplicateItem>> m_arrItems;
    std::map<std::uint64_t, std::shared_ptr<DuplicatesGroup>> m_arrGroups;
    std::uint64_t m_nAllDuplicatesSize = 0;
};

}  // namespace kestrane
