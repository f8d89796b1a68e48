#pragma once

#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

namespace kestrane {

class DuplicateItem;
class DuplicatesGroup;
class FileSystemItem;

// The copies of one group and their figures. Owned by the group.
//
// Figures: a copy inside a duplicate folder goes with its folder, so it adds
// nothing to the total; every other copy adds its size. While no copy lies
// inside a duplicate folder, one copy outside must be kept; once one does,
// the copies outside may all go.
class GroupContent {
public:
    explicit GroupContent(std::weak_ptr<DuplicatesGroup> group);  // initForGroup
    ~GroupContent();
    GroupContent(const GroupContent&) = delete;
    GroupContent& operator=(const GroupContent&) = delete;

    // Makes the entry for fileItem and counts it; null when the item is
    // refused (inside a package, outside the hidden category) or the entry
    // could not be linked.
    std::shared_ptr<DuplicateItem> addItem(FileSystemItem* fileItem);
    // Takes the entry out of the figures and the list and detaches it.
    void removeItem(const std::shared_ptr<DuplicateItem>& item);

    const std::vector<std::shared_ptr<DuplicateItem>>& getItems() const { return m_arrItems; }
    bool containsItem(const DuplicateItem* item) const;
    // Room for this many entries, before they are added one by one.
    void reserveItems(std::size_t count) { m_arrItems.reserve(count); }
    std::uint64_t getItemsCount() const { return m_arrItems.size(); }

    std::uint64_t getTotalSize() const { return m_nTotalSize; }
    std::uint64_t getNotRemovedSize() const { return m_nNotRemovedSize; }
    std::uint64_t getSizeThatCanBeRemoved() const;
    std::uint64_t getItemsCountThatCanBeRemoved() const;
    std::uint64_t getItemsCountInPackages() const { return m_nCountOfItemsInPackages; }
    std::uint64_t getItemsCountInDuplicatesFolders() const { return m_nCountOfItemsInDuplicatesFolders; }

    std::vector<FileSystemItem*> createArrayWithFileSystemItems() const;

    // Recounts every entry, in list order (the package count stays).
    void updateInfo();
    // The entry moved into or out of a duplicate folder: counted out as it
    // was, counted in as it is now.
    void updateAfterItemMovedIntoOrOutOfDuplicateFolder(DuplicateItem& item);

private:
    void addFigures(DuplicateItem& item);
    void removeFigures(DuplicateItem& item);
    // Chooses (or drops) the copy to keep after the counts changed.
    void refreshKeptCopy();

    std::weak_ptr<DuplicatesGroup> m_pGroup;
    std::vector<std::shared_ptr<DuplicateItem>> m_arrItems;
    // Most groups hold two or three entries, searched directly; an index is
    // kept only while a group is large.
    static constexpr std::size_t kIndexedFromCount = 32;
    void indexItem(const DuplicateItem* item);
    void unindexItem(const DuplicateItem* item);
    std::unique_ptr<std::unordered_set<const DuplicateItem*>> m_arrItemsSet;
    std::uint64_t m_nTotalSize = 0;
    std::uint64_t m_nNotRemovedSize = 0;
    std::uint64_t m_nCountOfItemsOutsideDuplicatesFolders = 0;
    std::uint64_t m_nCountOfItemsInDuplicatesFolders = 0;
    std::uint64_t m_nCountOfItemsInPackages = 0;
    bool m_bHasKeptCopy = false;
};

}  // namespace kestrane
