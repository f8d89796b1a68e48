#pragma once

#include "folders/FSComplexFolderData.h"
#include "folders/FSSimpleFolderData.h"
#include "folders/InternalDuplicatesByGroupSeparator.h"
#include "platform/WeakListeners.h"
#include "scan/FileSystemItem.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrane {

class DuplicateItem;
class FSFolder;
class FSFolderDescription;
class FolderSystemItem;

// Told, on the main queue, that a folder's counters were brought up to date.
class FSFolderListener {
public:
    virtual ~FSFolderListener() = default;
    virtual void onFSFolderChanged(const std::shared_ptr<FSFolder>& folder) = 0;
};

// One folder of the folder tree behind selecting duplicates by folder: how
// many copies the folder holds whose group has copies outside it (its
// duplicates), how many of those are selected and their size, how many other
// files it holds (no copy outside it), and how many folders below hold
// duplicates.
//
// A group's copies count at every folder from theirs up to, not including,
// the lowest folder that holds every copy of the group (copies inside
// duplicate folders aside); there they become other files. A folder that is
// itself a duplicate folder is a leaf of the tree and counts itself.
//
// The tree is built by FSFolderManager (on a background queue, inside an
// update group) and used on the main queue after that. A node owns its
// sub-folders; its parent is held weakly. The counters follow the selection:
// a change of a copy a node watches (those directly in its folder, and a
// duplicate folder's own copy) marks the path to the root, and the marked
// nodes count again when the outermost update group closes.
class FSFolder : public std::enable_shared_from_this<FSFolder>, public ItemLinkTarget {
    struct Key {
        explicit Key() = default;
    };

public:
    using Items = InternalDuplicatesByGroupSeparator::Items;

    // initWithFolder:parent: — the node of `folder` (null: the invisible
    // root) with its whole subtree. A node right below the root also counts
    // the duplicates of its subtree (deeper nodes get theirs from it).
    static std::shared_ptr<FSFolder> create(FolderSystemItem* folder, const std::shared_ptr<FSFolder>& parent = nullptr);
    FSFolder(Key, FolderSystemItem* folder, const std::shared_ptr<FSFolder>& parent);
    ~FSFolder();
    FSFolder(const FSFolder&) = delete;
    FSFolder& operator=(const FSFolder&) = delete;

    // Null for the root, and once the scanned folder has gone.
    FolderSystemItem* folderItem() const { return m_folderItem; }
    std::shared_ptr<FSFolder> parentFolderItem() const { return m_parent.lock(); }
    const std::vector<std::shared_ptr<FSFolder>>& subFolders() const { return m_subFolders; }
    // The sub-folders in the order a view shows them (see precedesInView).
    std::vector<std::shared_ptr<FSFolder>> subFoldersInViewOrder() const;

    // The counters shown for the folder, and its own part of them.
    const FSComplexFolderData& info() const { return m_info; }
    const FSSimpleFolderData& currentInfo() const { return m_currentInfo; }

    // The mark of a folder whose files the user keeps (see FolderSelection).
    bool isFavorite() const { return m_isFavorite; }
    void setFavoriteMark(bool favorite) { m_isFavorite = favorite; }

    bool isChanged() const { return m_isChanged; }
    bool isChildChanged() const { return m_isChildChanged; }
    bool isItemChanged() const { return m_isChanged || m_isChildChanged; }
    // The folder lies inside a duplicate folder (it goes with that folder).
    bool isInDuplicateFolder() const { return m_isInDuplicateFolder; }

    // The copies the folder holds whose group has copies outside it, and
    // the same by group.
    const Items& internalDuplicatesForSelection() const { return m_internalDuplicates; }
    InternalDuplicatesByGroupSeparator internalDuplicatesForSelectionSeparator() const;
    std::int64_t countOfInternalDuplicatesWithExternalPart() const {
        return static_cast<std::int64_t>(m_internalDuplicates.size());
    }
    // Files directly in the folder without copies, and the copies of the
    // groups this folder is the lowest one to hold whole.
    std::int64_t countOfUniqueItems() const { return m_countOfUniqueItems; }

    std::string_view name() const;
    std::string_view displayName() const { return name(); }
    // The folder is itself a copy in a group of identical folders.
    bool isDuplicateFolder() const;
    std::size_t countOfSubFolders() const { return m_subFolders.size(); }
    bool isLeaf() const { return m_subFolders.empty(); }
    // It has duplicates and does not go with an enclosing duplicate folder.
    bool isCanChangeDuplicatesSelection() const {
        return m_info.countOfDuplicates >= 1 && !m_isInDuplicateFolder;
    }
    // 0 nothing selected, 1 every duplicate selected, -1 some.
    int duplicatesSelectionState() const;

    // Reads the folder's children: sub-folders become nodes, copies are
    // watched, other files counted; a duplicate folder has no sub-folders.
    void fillData();
    // Counts the duplicates of the subtree, bottom up, and hands them to the
    // parent's gathering (null for a node right below the root).
    void calculateInternalDuplicatesWithExternalPart(InternalDuplicatesByGroupSeparator* parent);
    // Brings the marked part of the subtree up to date, unless an update
    // group is open; tells the listeners of each node it counted again.
    void updateInfo();
    void updateCurrentInfo();
    void addSubFolder(const std::shared_ptr<FSFolder>& folder);
    void markThatChanged();
    void markThatChildChanged();
    // Runs the block with this node inside an update group.
    void doWork(const std::function<void(FSFolder&)>& block);

    // The content of the folder, split into groups reaching outside and other files.
    FSFolderDescription buildDescription() const;

    // Breadth first from this node, the first node with the most duplicates.
    std::shared_ptr<FSFolder> findSubFolderWithMaxCountOfDuplicates();
    // The same, handed over later on the main queue (the counters belong to
    // the main queue, so they are read there).
    void findSubFolderWithMaxCountOfDuplicatesWithCompletion(std::function<void(std::shared_ptr<FSFolder>)> completion);

    // A watched copy was selected or deselected.
    void onItemSelectionChanged(const std::shared_ptr<DuplicateItem>& item);
    // Looks at every copy watched in the subtree and reports those whose
    // selection changed since last seen. Main queue.
    void checkWatchedItemsOfSubtree();
    // Takes every watched copy's selection as seen.
    void resetWatchedItemsOfSubtree();
    // Registers every node of the subtree on its folder item (findFSFolder).
    void registerSubtreeOnFolderItems();

    // A big selection: an update group around a selection batch; the update
    // group is closed from the main queue, after the selection's own news.
    static void startBigSelection();
    static void endBigSelection();

    // The sibling order of a view: folders with duplicates first; of the
    // others, those with sub-folders holding duplicates first; then by name
    // (bytes compared).
    static bool precedesInView(const FSFolder& a, const FSFolder& b);

    void addListener(const std::shared_ptr<FSFolderListener>& listener);
    void removeListener(const FSFolderListener* listener);

private:
    void watch(DuplicateItem* item);
    // The folder item is being destroyed: forget it.
    void onFileSystemItemDestroyed() noexcept override { m_folderItem = nullptr; }

    FolderSystemItem* m_folderItem;
    std::weak_ptr<FSFolder> m_parent;
    std::vector<std::shared_ptr<FSFolder>> m_subFolders;
    FSComplexFolderData m_info;
    FSSimpleFolderData m_currentInfo;
    std::unique_ptr<WeakListeners<FSFolderListener>> m_listeners;  // made on first use
    Items m_internalDuplicates;
    // The copies watched, with their selection as last seen.
    std::vector<std::pair<std::shared_ptr<DuplicateItem>, bool>> m_watched;
    std::int64_t m_countOfUniqueItems = 0;
    bool m_isFavorite = false;
    bool m_isChanged = false;
    bool m_isChildChanged = false;
    bool m_isInDuplicateFolder = false;
};

}  // namespace kestrane
