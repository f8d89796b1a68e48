#pragma once

#include "folders/HeapsFolderData.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kestrane {

class DuplicateItem;
class DuplicatesGroup;
class FolderSystemItem;

// What decides whether a folder can be a similar folder of another, read once
// per folder so that a computation over many pairs compares plain values.
struct HeapsFolderTraits {
    const FolderSystemItem* folder = nullptr;
    // The folder is gone, is a package or lies inside one: it pairs with nothing.
    bool excluded = true;
    // The folder is, or lies inside, a duplicate folder: its heaps are kept apart.
    bool isOrIsInDuplicateFolder = false;
    // The group of the folder itself, and of the outermost duplicate folder enclosing it.
    const DuplicatesGroup* folderGroup = nullptr;
    const DuplicatesGroup* enclosingGroup = nullptr;

    static HeapsFolderTraits of(const FolderSystemItem* folder);
    // Two different folders, neither excluded, that are no copies of each
    // other (directly or through their outermost enclosing duplicate folders).
    static bool canBeSimilar(const HeapsFolderTraits& a, const HeapsFolderTraits& b);
};

// Two similar folders, seen from the first (main) one: the groups that have
// copies directly in both, and those copies. Made only when the folders share
// at least two groups. A value: computed once from the two records and not
// changed afterwards.
class DuplicatesHeap {
    struct Key {
        explicit Key() = default;
    };

public:
    static constexpr std::size_t kMinimalCountOfSharedGroups = 2;

    // The heap of main and second, or null when they are not similar folders:
    // the same record or folder, a folder missing or inside a package,
    // folders that are copies of each other (directly or through their
    // outermost enclosing duplicate folders), or fewer than two shared groups.
    static std::shared_ptr<DuplicatesHeap> buildHeapWithFolderWithFolder(
        const std::shared_ptr<HeapsFolderData>& main, const std::shared_ptr<HeapsFolderData>& second);
    // initWithMainFolderData:andSecondFolderData: — the shared groups and
    // copies of the two records, whatever their number.
    DuplicatesHeap(Key, std::shared_ptr<HeapsFolderData> main, std::shared_ptr<HeapsFolderData> second);

    FolderSystemItem* getMainFolderItem() const { return m_pMainFolderData->getFolderSystemItem(); }
    FolderSystemItem* getSecondFolderItem() const { return m_pSecondFolderData->getFolderSystemItem(); }
    const std::shared_ptr<HeapsFolderData>& getMainHeapsFolderData() const { return m_pMainFolderData; }
    const std::shared_ptr<HeapsFolderData>& getSecondHeapsFolderData() const { return m_pSecondFolderData; }

    // The copies of both folders in the shared groups: the main folder's first.
    const std::vector<std::shared_ptr<DuplicateItem>>& getDuplicateItems() const { return m_arrItems; }
    std::vector<std::shared_ptr<DuplicateItem>> getMainFolderItems() const;
    std::vector<std::shared_ptr<DuplicateItem>> getSecondFolderItems() const;
    const HeapsGroupIDSet& getGroupIDs() const { return m_arrGroups; }

    // Twice the half size: the size of every shared copy, rounded down to even.
    std::uint64_t getHeapSize() const { return m_nHeapHalfSize * 2; }
    std::uint64_t getHeapHalfSize() const { return m_nHeapHalfSize; }
    std::uint64_t getCountOfItems() const { return m_arrItems.size(); }
    std::uint64_t getCountOfGroups() const { return m_arrGroups.size(); }

    // The same two folders, in either order.
    bool sameAs(const DuplicatesHeap& other) const;
    // The heap seen from the second folder (null when it no longer holds).
    std::shared_ptr<DuplicatesHeap> revertedHeap() const;

    // See HeapsGroup::isHasLastItemsInItems and isOnlyLastItemsNotSelectedInItems,
    // applied to one side's copies in the shared groups.
    bool isHasLastItemsInMainFolder() const;
    bool isHasLastItemsInSecondFolder() const;
    bool isOnlyLastItemsNotSelectedInMainFolder() const;
    bool isOnlyLastItemsNotSelectedInSecondFolder() const;

    // The second folder's copies in the shared groups; similar counts the
    // selected copies of those groups lying in the main folder.
    HeapsItemsStatistics calculateStatisticsForSecondFolder() const;
    void calculateSelectionCountsOfSecondFolder(
        std::uint64_t* countOfItems, std::uint64_t* countOfSelectedItems, std::uint64_t* countOfSimilarSelectedItems,
        std::uint64_t* totalSize) const;

private:
    std::shared_ptr<HeapsFolderData> m_pMainFolderData;
    std::shared_ptr<HeapsFolderData> m_pSecondFolderData;
    HeapsGroupIDSet m_arrGroups;
    std::vector<std::shared_ptr<DuplicateItem>> m_arrItems;
    std::size_t m_nCountOfMainItems = 0;
    std::uint64_t m_nHeapHalfSize = 0;
};

}  // namespace kestrane
