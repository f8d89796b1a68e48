#pragma once

#include "folders/InternalDuplicatesByGroupSeparator.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {

class DuplicateItem;
class DuplicatesGroup;
class FileSystemItem;
class FolderSystemItem;

// One group with copies both inside a folder and outside it.
struct FSFolderDuplicates {
    FSFolderDuplicates(std::shared_ptr<DuplicatesGroup> group, InternalDuplicatesByGroupSeparator::Items internal);

    std::shared_ptr<DuplicatesGroup> group;
    InternalDuplicatesByGroupSeparator::Items internalItems;  // the group's copies inside the folder
    InternalDuplicatesByGroupSeparator::Items externalItems;  // all its other copies
};

// The content of one folder as the content panel of the folder tree shows
// it: the groups reaching outside the folder, and the other files (without
// copies, or of groups every copy of which, duplicate folders aside, is in
// the folder). Built on demand, on the main queue; a plain value.
class FSFolderDescription {
public:
    static constexpr const char* kDuplicateFilesTitle = "Duplicate Files";
    static constexpr const char* kNoDuplicateFilesText = "No duplicate files in the folder.";
    static constexpr const char* kDuplicatesInSubfoldersText = " There are duplicates in the subfolders.";
    static constexpr const char* kOtherFilesTitle = "Other Files";
    static constexpr const char* kNoOtherFilesText = "No other files in the folder.";

    // Walks the whole subtree, duplicate folders included, the folder itself aside.
    explicit FSFolderDescription(const FolderSystemItem* folder);

    const std::vector<FSFolderDuplicates>& duplicates() const { return m_duplicates; }
    const std::vector<FileSystemItem*>& otherFiles() const { return m_otherFiles; }
    std::int64_t countOfFullGroups() const { return m_countOfFullGroups; }

    // What the header of each part says under its title: empty when the part
    // has rows.
    std::string duplicateFilesDescription() const;
    std::string otherFilesDescription() const;

private:
    std::vector<FSFolderDuplicates> m_duplicates;
    std::vector<FileSystemItem*> m_otherFiles;
    std::int64_t m_countOfFullGroups = 0;
};

}  // namespace kestrane
