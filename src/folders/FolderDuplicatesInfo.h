#pragma once

#include <cstdint>
#include <unordered_map>

namespace kestrane {

class FileSystemItem;
class FolderSystemItem;

// What the duplicate-folder comparison knows about the direct children of
// one folder: how many there are, how many are folders, how many are not yet
// compared, how many are known to be unique, and how many fall in each group
// of duplicates. Two folders whose summaries are equal may be identical at
// this level; the folder separator narrows that down batch by batch.
//
// Used on the folder separators' working queue only.
class FolderDuplicatesInfo {
public:
    // Builds the summary at once (updateData).
    explicit FolderDuplicatesInfo(FolderSystemItem* folder);

    FolderSystemItem* getFolder() const { return m_pFolder; }

    // Recounts everything from the folder's children.
    void updateData();
    // Forgets the groups (and their count) only; the other counts stay.
    void resetGroupsInfo();
    // Takes one newly compared child into account: nothing happens unless the
    // item is a child of this folder and is marked checked for duplicates. It
    // is then no longer counted as not checked, and it counts in its group
    // when it has a duplicate entry in a group, else as unique.
    void updateDataAfterProcessedItem(const FileSystemItem* item);

    bool isHasUniqueItems() const { return m_nCountOfUniqueItems > 0; }
    std::uint64_t getCountOfNotCheckedItems() const { return m_nCountOfNotCheckedItems; }
    std::uint64_t getCountOfSubFolders() const { return m_nCountOfSubFolders; }
    std::uint64_t getCountOfItems() const { return m_nCountOfItems; }
    std::uint64_t getCountOfUniqueItems() const { return m_nCountOfUniqueItems; }
    std::uint64_t getCountOfDuplicatesGroups() const { return m_nCountOfDuplicatesGroups; }
    // Children counted in the group; 0 for a group not seen.
    int getCountOfDuplicatesInGroupWithID(std::uint64_t groupID) const;

    // Whether the two folders may be identical as far as is known: both have
    // a folder, neither has unique children, the counts of children, of
    // subfolders, of not-checked children and of groups are equal, every
    // group holds as many children of one as of the other, and two folders
    // without any child have exactly the same name.
    bool isEqualToFolderInfo(const FolderDuplicatesInfo& other) const;

private:
    FolderSystemItem* m_pFolder;
    std::uint64_t m_nCountOfItems = 0;
    std::uint64_t m_nCountOfSubFolders = 0;
    std::uint64_t m_nCountOfNotCheckedItems = 0;
    std::uint64_t m_nCountOfUniqueItems = 0;
    std::unordered_map<std::uint64_t, int> m_arrGroupInfo;  // group ID -> children in it
    std::uint64_t m_nCountOfDuplicatesGroups = 0;
};

}  // namespace kestrane
