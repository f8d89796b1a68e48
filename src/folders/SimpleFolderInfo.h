#pragma once

#include <optional>
#include <string>

namespace kestrane {

class FolderSystemItem;

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
    std::string buildSimplyHash() const { return buildSizeAndChildrenCountIdentifier(); }

private:
    FolderSystemItem* m_pFolderItem;
};

}  // namespace kestrane
