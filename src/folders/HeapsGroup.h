#pragma once

#include "folders/HeapsFolderData.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <unordered_set>
#include <vector>

namespace kestrane {

class DuplicateItem;
class DuplicatesHeap;
class FolderSystemItem;

// Every similar folder of one (main) folder: at most one heap per second
// folder, keyed by the second record's ID. Heaps in which either folder is,
// or lies inside, a duplicate folder are kept apart: they are not shown with
// the others and add nothing to the sizes.
class HeapsGroup {
    struct Key {
        explicit Key() = default;
    };

public:
    // initWithMainFolder:
    static std::shared_ptr<HeapsGroup> create(std::shared_ptr<HeapsFolderData> mainFolder);
    HeapsGroup(Key, std::shared_ptr<HeapsFolderData> mainFolder);

    const std::shared_ptr<HeapsFolderData>& getMainFolder() const { return m_pMainFolder; }

    // Ignored unless the heap's main folder is this group's. A heap with a
    // duplicate folder goes apart; otherwise the first heap for a second
    // folder is kept and its main-folder copies join the participating ones.
    void addHeap(const std::shared_ptr<DuplicatesHeap>& heap);

    // The heap of the second folder with that record ID, or null.
    std::shared_ptr<DuplicatesHeap> getHeapForKey(std::uint64_t secondFolderID) const;
    std::shared_ptr<DuplicatesHeap> getSubHeapWithSecondFolder(const HeapsFolderData& secondFolder) const;
    // The second records' IDs, ascending.
    std::vector<std::uint64_t> getAllSubHeapsKeys() const;
    std::vector<std::shared_ptr<DuplicatesHeap>> buildAllSubHeapsArray() const;
    const std::vector<std::shared_ptr<DuplicatesHeap>>& getAllSubHeapsWithDuplicatesFolder() const {
        return m_arrHeapsWithDuplicatesFolder;
    }
    // The second folders of the kept heaps (not of those with duplicate folders).
    const std::vector<FolderSystemItem*>& getAllSecondFolders() const { return m_arrSecondFoldersForHeaps; }
    const std::vector<std::shared_ptr<HeapsFolderData>>& secondHeapsFoldersData() const {
        return m_arrSecondHeapsFoldersData;
    }
    std::size_t getCountOfHeapsInGroup() const { return m_arrHeaps.size(); }
    bool hasAnyHeap() const { return !m_arrHeaps.empty() || !m_arrHeapsWithDuplicatesFolder.empty(); }
    bool hasOnlyHeapsWithDuplicatesFolder() const {
        return m_arrHeaps.empty() && !m_arrHeapsWithDuplicatesFolder.empty();
    }
    // The main folder's copies that take part in at least one kept heap.
    const std::vector<std::shared_ptr<DuplicateItem>>& getItemsInMainFolderThatParticipateInHeaps() const {
        return m_arrMainFolderItemsInHeaps;
    }
    // The participating copies that are not inside a duplicate folder, and their size.
    std::uint64_t calculateSizeOfParticipatingItems() const;

    // The group holds a heap of either kind, so that its second folders are
    // the ones to look at again.
    bool isCanBeUsedForFastRecalculation() const { return hasAnyHeap(); }
    // Builds again one heap for the second folder of every heap of old (both
    // kinds) and adds each that still holds. currentRecordOf gives the record
    // to use for an old second record (null: the folder is no longer a
    // candidate); without it the old records are used as they are.
    void fastRecalculateGroup(
        const HeapsGroup& old,
        const std::function<std::shared_ptr<HeapsFolderData>(const HeapsFolderData&)>& currentRecordOf = {});

    // isHasLastItemsInItems over the participating copies.
    bool isHasLastItems() const;
    // For some group, the set holds every copy of it that is not yet selected.
    static bool isHasLastItemsInItems(const std::vector<std::shared_ptr<DuplicateItem>>& items);
    // The set has an unselected copy, and every unselected copy is the last
    // one of its group left to select.
    static bool isOnlyLastItemsNotSelectedInItems(const std::vector<std::shared_ptr<DuplicateItem>>& items);

    // Over the participating copies, similar counting the selected copies in
    // the second folders. A main folder that is a duplicate folder counts as
    // a whole: all its children selected when it is, its logical size.
    HeapsItemsStatistics calculateStatistics() const;
    void calculateCountOfItemsCountOfSelectedItemsCountOfSimilarSelectedItemsTotalSize(
        std::uint64_t* countOfItems, std::uint64_t* countOfSelectedItems, std::uint64_t* countOfSimilarSelectedItems,
        std::uint64_t* totalSize) const;

private:
    std::shared_ptr<HeapsFolderData> m_pMainFolder;
    std::map<std::uint64_t, std::shared_ptr<DuplicatesHeap>> m_arrHeaps;
    std::vector<std::shared_ptr<DuplicatesHeap>> m_arrHeapsWithDuplicatesFolder;
    std::set<std::uint64_t> m_arrSecondIDsWithDuplicatesFolder;
    std::vector<std::shared_ptr<DuplicateItem>> m_arrMainFolderItemsInHeaps;
    std::unordered_set<const DuplicateItem*> m_arrMainFolderItemsInHeapsSet;
    std::vector<FolderSystemItem*> m_arrSecondFoldersForHeaps;
    std::vector<std::shared_ptr<HeapsFolderData>> m_arrSecondHeapsFoldersData;
};

}  // namespace kestrane
