#pragma once

#include <memory>
#include <string_view>
#include <vector>

namespace kestrane {

class DuplicatesContainer;
class DuplicatesGroup;
class FileSystemItem;
class FolderSystemItem;

// Brings what a merge did into the result model and the similar-folder
// registry, so that the results shown stay true without a new scan. Used
// once per merge, on the main thread, after the file operations:
//
//  - An item that arrived in the destination gets a scanned item there, with
//    everything below it, under the name it arrived with (the sizes, flags
//    and kinds of the original; the folder sizes are summed again).
//  - Moved: the original leaves the source folder's tree, and each of its
//    copies (the item itself and everything below it that was in a group)
//    takes its place in its group from the destination. A group that lost
//    its last other copy meanwhile is made again from what is left of it.
//  - Copied: each copy in a group joins that group; a file that was in no
//    group forms a new group with its copy, and so does a copied folder
//    (not one with content the scan left out), since each is now a
//    duplicate of the other. An empty file only groups with a copy of the
//    same name, as content keys of empty files go by name.
//  - A source folder that went to the Trash leaves the tree with everything
//    in it.
//  - finish(): the folder sizes are summed again, the groups that changed
//    are registered again with the similar-folder registry (their copies'
//    folders changed), and the container cleans up as after a removal:
//    groups of fewer than two copies go, groups move to or from the hidden
//    category, the similar folders are computed again, and the data-changed
//    notification is posted.
class MergeModelUpdate {
public:
    explicit MergeModelUpdate(std::shared_ptr<DuplicatesContainer> container);

    // The scanned item now standing in destination under name; `original`
    // is destroyed when moved. Null when the destination already has an item
    // of that name.
    FileSystemItem* addArrival(FileSystemItem& original, FolderSystemItem& destination, std::string_view name,
                               bool moved);
    void removeFolder(FolderSystemItem& folder);
    void finish();

private:
    void rehomeMovedEntries(FileSystemItem& original,
                            const std::vector<std::pair<FileSystemItem*, FileSystemItem*>>& pairs);
    void groupCopies(const std::vector<std::pair<FileSystemItem*, FileSystemItem*>>& pairs);
    void touched(const std::shared_ptr<DuplicatesGroup>& group);

    std::shared_ptr<DuplicatesContainer> m_container;
    std::vector<std::shared_ptr<DuplicatesGroup>> m_touchedGroups;
};

}  // namespace kestrane
