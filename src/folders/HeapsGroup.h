#pragma once

#include "folders/HeapsFolderData.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

namespace kestrane {

class DuplicateItem;
class DuplicatesHeap;
class FolderSystemItem;

// One similar folder of a main folder, as a group of heaps keeps it: where the
// second folder's record is in the group's record table, how many groups the
// two folders share and half the size of their shared copies. The heap itself
// (with its copies) is built only when asked for: a registry of many folders
// alike holds millions of these.
struct HeapsPairEntry {
    std::uint32_t second = 0;
    std::uint32_t sharedGroups = 0;
    std::uint64_t halfSize = 0;
};

// The records a group's entries point into; one table serves every group of
// a computation.
using HeapsRecordTable = std::vector<std::shared_ptr<HeapsFolderData>>;

// Every similar folder of one (main) folder: at most one heap per second
// folder. Heaps in which either folder is, or lies inside, a duplicate folder
// are kept apart: they are not shown with the others and add nothing to the
// sizes. A group the registry computed may know of more heaps than it keeps
// (the registry bounds the pairs it keeps); what it counts and the copies
// that take part are those of every heap found.
class HeapsGroup {
    struct Key {
        explicit Key() = default;
    };

public:
    // What a computation found for one main folder.
    struct ComputedHeaps {
        std::shared_ptr<const HeapsRecordTable> records;
        std::vector<HeapsPairEntry> heaps;                     // largest first, then by second record ID
        std::vector<HeapsPairEntry> heapsWithDuplicatesFolder;  // the same order
        std::uint32_t foundHeaps = 0;                           // kept or not
        std::uint32_t foundHeapsWithDuplicatesFolder = 0;
        std::vector<std::shared_ptr<DuplicateItem>> participatingItems;
    };

    // initWithMainFolder: — an empty group, filled by addHeap.
    static std::shared_ptr<HeapsGroup> create(std::shared_ptr<HeapsFolderData> mainFolder);
    // The group as a computation of the registry found it.
    static std::shared_ptr<HeapsGroup> createComputed(std::shared_ptr<HeapsFolderData> mainFolder,
                                                      ComputedHeaps computed);
    HeapsGroup(Key, std::shared_ptr<HeapsFolderData> mainFolder);

    const std::shared_ptr<HeapsFolderData>& getMainFolder() const { return m_pMainFolder; }

    // Ignored unless the heap's main folder is this group's. A heap with a
    // duplicate folder goes apart; otherwise the first heap for a second
    // folder is kept and its main-folder copies join the participating ones.
    void addHeap(const std::shared_ptr<DuplicatesHeap>& heap);

    // The heap of the second folder with that record ID, built afresh from
    // the two records (null when there is none, or it no longer holds).
    std::shared_ptr<DuplicatesHeap> getHeapForKey(std::uint64_t secondFolderID) const;
    std::shared_ptr<DuplicatesHeap> getSubHeapWithSecondFolder(const HeapsFolderData& secondFolder) const;
    // The second records' IDs of the kept heaps, ascending.
    std::vector<std::uint64_t> getAllSubHeapsKeys() const;
    // The kept heaps, by ascending second record ID.
    std::vector<std::shared_ptr<DuplicatesHeap>> buildAllSubHeapsArray() const;
    std::vector<std::shared_ptr<DuplicatesHeap>> getAllSubHeapsWithDuplicatesFolder() const;
    // The second folders of the kept heaps (not of those with duplicate folders).
    std::vector<FolderSystemItem*> getAllSecondFolders() const;
    std::vector<std::shared_ptr<HeapsFolderData>> secondHeapsFoldersData() const;
    // The kept heaps as entries: a computed group's come largest first (then
    // by second record ID), a group filled by addHeap's in the order added.
    const std::vector<HeapsPairEntry>& getHeapEntries() const { return m_arrHeaps; }
    const std::vector<HeapsPairEntry>& getHeapEntriesWithDuplicatesFolder() const {
        return m_arrHeapsWithDuplicatesFolder;
    }
    const std::shared_ptr<HeapsFolderData>& secondRecordOf(const HeapsPairEntry& entry) const {
        return (*m_pRecords)[entry.second];
    }
    std::size_t getCountOfHeapsInGroup() const { return m_arrHeaps.size(); }
    bool hasAnyHeap() const { return m_nFoundHeaps > 0 || m_nFoundHeapsWithDuplicatesFolder > 0; }
    bool hasOnlyHeapsWithDuplicatesFolder() const {
        return m_nFoundHeaps == 0 && m_nFoundHeapsWithDuplicatesFolder > 0;
    }
    // Heaps found (not with duplicate folders) but not kept.
    std::size_t getCountOfLeftOutHeaps() const { return m_nFoundHeaps - m_arrHeaps.size(); }
    // The main folder's copies that take part in at least one heap found
    // (not with duplicate folders).
    const std::vector<std::shared_ptr<DuplicateItem>>& getItemsInMainFolderThatParticipateInHeaps() const {
        return m_arrMainFolderItemsInHeaps;
    }
    // The participating copies that are not inside a duplicate folder, and their size.
    std::uint64_t calculateSizeOfParticipatingItems() const;

    // The group holds a heap of either kind, so that its second folders are
    // the ones to look at again.
    bool isCanBeUsedForFastRecalculation() const { return hasAnyHeap(); }
    // Builds again one heap for the second folder of every kept heap of old
    // (both kinds) and adds each that still holds. currentRecordOf gives the
    // record to use for an old second record (null: the folder is no longer a
    // candidate); without it the old records are used as they are.
    void fastRecalculateGroup(
        const HeapsGroup& old,
        const std::function<std::shared_ptr<HeapsFolderData>(const HeapsFolderData&)>& currentRecordOf = {});

    // Orders the kept heaps as a computed group's (see getHeapEntries).
    void sortHeapsLargestFirst();

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
    void calculateSelectionCounts(
        std::uint64_t* countOfItems, std::uint64_t* countOfSelectedItems, std::uint64_t* countOfSimilarSelectedItems,
        std::uint64_t* totalSize) const;

private:
    std::vector<std::shared_ptr<DuplicatesHeap>> buildHeaps(const std::vector<HeapsPairEntry>& entries) const;
    // The table addHeap may append to: a shared one is copied first.
    HeapsRecordTable& ownRecords();

    std::shared_ptr<HeapsFolderData> m_pMainFolder;
    std::shared_ptr<const HeapsRecordTable> m_pRecords;
    std::shared_ptr<HeapsRecordTable> m_pOwnRecords;  // m_pRecords once addHeap has added to it
    std::vector<HeapsPairEntry> m_arrHeaps;
    std::vector<HeapsPairEntry> m_arrHeapsWithDuplicatesFolder;
    std::uint32_t m_nFoundHeaps = 0;
    std::uint32_t m_nFoundHeapsWithDuplicatesFolder = 0;
    std::vector<std::shared_ptr<DuplicateItem>> m_arrMainFolderItemsInHeaps;
    // Only for addHeap: the second records added, and the participating copies.
    std::unordered_set<std::uint64_t> m_arrAddedSecondIDs;
    std::unordered_set<const DuplicateItem*> m_arrMainFolderItemsInHeapsSet;
};

}  // namespace kestrane
