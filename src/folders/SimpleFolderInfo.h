#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class FolderSystemItem;
class SimpleFolderInfo;

// A bucket of candidate folders that may be identical (equal identifiers).
using SimpleFolderInfoGroup = std::vector<SimpleFolderInfo>;

// A candidate folder of the duplicate-folder search, described by what can
// be known without comparing content: its logical size and the number of
// items below it. Folders with equal identifiers may be identical.
class SimpleFolderInfo {
public:
    explicit SimpleFolderInfo(FolderSystemItem* folderItem) : m_pFolderItem(folderItem) {}

    FolderSystemItem* getSystemItem() const { return m_pFolderItem; }

    // False when the folder's content cannot be fully known (excluded or
    // unreadable content) or is already known to hold something unique.
    bool isCanBeDuplicate() const;

    // Method 1, the only one: see buildSizeAndChildrenCountIdentifier. Any
    // other method gives none.
    std::optional<std::string> buildIdentifierForMethod(int method) const;
    // "<logical size>_<count of deep children>" (the count as last computed by
    // recalculateCountOfDeepChildren).
    std::string buildSizeAndChildrenCountIdentifier() const;

    // Buckets the folders by their identifier for the method, in the order in
    // which each identifier first appears. Only buckets of two or more folders
    // are returned; the folder of a bucket of one cannot have a twin and is
    // marked checked for duplicates. A folder without identifier joins no bucket.
    static std::vector<SimpleFolderInfoGroup> GroupFoldersWithMethod(const std::vector<SimpleFolderInfo>& folders,
                                                                     int method);
    static std::vector<SimpleFolderInfoGroup> GroupFoldersBySizeAndChildrenCount(
        const std::vector<SimpleFolderInfo>& folders) {
        return GroupFoldersWithMethod(folders, 1);
    }

    // Largest logical size first (stable: buckets of equal size keep their order).
    static std::vector<SimpleFolderInfoGroup> PreSortedGroupsBySizeFromBigToSmall(std::vector<SimpleFolderInfoGroup> groups);
    // Largest folders first, but every bucket owning a folder that lies inside
    // a folder of an earlier bucket comes just before it: each cluster (a
    // bucket with all the buckets nested in it, transitively) is ordered from
    // small to big and the clusters follow each other from big to small.
    static std::vector<SimpleFolderInfoGroup> SortedGroupsBySizeFromBigToSmall(std::vector<SimpleFolderInfoGroup> groups);
    // Smallest logical size first, ties by count of deep children, fewest first.
    static std::vector<SimpleFolderInfoGroup> SortedGroupsBySizeFromSmallToBig(std::vector<SimpleFolderInfoGroup> groups);

private:
    FolderSystemItem* m_pFolderItem;
};

}  // namespace kestrane
