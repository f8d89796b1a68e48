#pragma once

#include "duplicates/FileCategory.h"
#include "platform/FileTime.h"
#include "platform/WeakListeners.h"
#include "scan/FileSystemItem.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

class DuplicateItem;
class DuplicatesGroup;

// Told, on the main queue, that a copy was selected or deselected.
class DuplicateItemListener {
public:
    virtual ~DuplicateItemListener() = default;
    virtual void onItemSelectionChanged(const std::shared_ptr<DuplicateItem>& item) = 0;
};

// One copy in a group of duplicates: a file (or, in the folders category, a
// folder) of the scanned tree.
//
// Made only by a group's content, which owns it. Its file-system item is a
// plain pointer into a tree kept alive by the container's roots; the item
// points back at the entry, and the entry clears that back reference when it
// detaches. Links up (to the group, to the enclosing duplicate folder) are weak.
//
// Used from one queue at a time; listeners are told on the main queue.
class DuplicateItem : public std::enable_shared_from_this<DuplicateItem>, public ItemLinkTarget {
public:
    // Only GroupContent makes entries.
    struct Key {
    private:
        friend class GroupContent;
        Key() = default;
    };

    explicit DuplicateItem(Key) {}
    ~DuplicateItem();
    DuplicateItem(const DuplicateItem&) = delete;
    DuplicateItem& operator=(const DuplicateItem&) = delete;

    // Links the entry to its file item and group. Fails (and leaves the entry
    // detached) when the group does not hold the entry or the file item does
    // not take the back reference.
    bool initWithFileItemWithGroup(FileSystemItem* fileItem, const std::shared_ptr<DuplicatesGroup>& group);

    FileSystemItem* getFileSystemItem() const { return m_pItem; }
    std::shared_ptr<DuplicatesGroup> getGroup() const { return m_pGroup.lock(); }
    bool isInited() const { return m_bIsInited; }

    // The file item's name; empty without one.
    std::string getName() const;
    // There is no separate display name on Linux: the name.
    std::string getDisplayName() const { return getName(); }
    // The file item's logical size; 0 without one.
    std::uint64_t getFileItemSize() const;
    const std::string& getFileItemPath() const { return m_sItemPath; }
    // A prefix of getFileItemPath(), valid as long as the entry is not detached.
    std::string_view getParentFolderItemPath() const {
        return std::string_view(m_sItemPath).substr(0, m_nParentPathLength);
    }
    bool isDirectory() const;
    bool isPackage() const { return m_bIsPackage; }
    bool isSelected() const { return m_bIsSelected; }
    // Number of "/" in the item's path.
    std::uint32_t getLevel() const;

    // The category of the group; none without group, or in the hidden category.
    std::optional<FileCategory> getType() const;
    // The folders category for a folder that is not a package, else the
    // category of the item's name; none without an item.
    std::optional<FileCategory> getTypeUsingFileSystemItem() const;

    // The modification time the scan saw when the file was hashed (or when a
    // folder joined its group); else read from the file system on the first
    // call. Kept by the entry; 1970-01-01 when it can't be read.
    platform::FileTime getLastModificationDate() const;
    // No path, or nothing at the path any more.
    bool isMovedByUserOrDeleted() const;
    // Nothing at the path, or nothing at the path of one of the file item's children.
    bool calculateIsDiskContentChanged() const;

    // The outermost enclosing duplicate folder, while it is still part of a group.
    std::shared_ptr<DuplicateItem> getAssociatedDuplicateFolder() const;
    // Climbs from the file item to the outermost enclosing duplicate folder.
    void updateAssociatedDuplicateFolder() { updateAssociatedDuplicateFolderTo(nullptr); }
    // Stores folder as the enclosing duplicate folder (the entry itself counts
    // as none); with none, climbs from the file item. When the entry moved
    // into or out of a duplicate folder, its group updates its figures.
    void updateAssociatedDuplicateFolderTo(const std::shared_ptr<DuplicateItem>& folder);
    // Counted by its group as inside a duplicate folder that has since left its group.
    bool isCountedInGoneDuplicateFolder() const {
        return m_bCounted && m_bCountedInFolder && !getAssociatedDuplicateFolder();
    }

    // Forward to the group; false / nothing without one.
    bool selectItemForced(bool forced);
    void deselectItem();
    // Re-reads membership in the group's selection; a change is reported to
    // the listeners on the main queue.
    void onItemSelectionChanged();

    void addListener(const std::shared_ptr<DuplicateItemListener>& listener);
    void removeListener(const DuplicateItemListener* listener);

private:
    friend class GroupContent;

    // Drops the file item (clearing its back reference), the group and the paths.
    void detach();
    // The file item is being destroyed: forget it without touching it.
    void onFileSystemItemDestroyed() noexcept override { m_pItem = nullptr; }
    // Links the file item to this entry, when the group holds the entry. For a
    // folder, the entry's own enclosing duplicate folder is brought up to date
    // first, and every entry below the folder is then associated with the
    // outermost duplicate folder (that one, else this entry). The name
    // analysis of the item is built while the entry is made.
    void linkFileItem(FileSystemItem& fileItem);
    // Takes the facts of the file (once per item, while the scan makes its
    // groups) that a removal later checks the file against.
    void rememberScanFacts(FileSystemItem& fileItem) const;
    // Passes the duplicate folder to the entry of every item at and below item.
    static void associateTreeWithFolder(FileSystemItem& item, const std::shared_ptr<DuplicateItem>& folder);

    FileSystemItem* m_pItem = nullptr;
    std::weak_ptr<DuplicatesGroup> m_pGroup;
    std::weak_ptr<DuplicateItem> m_pAssociatedDuplicateFolder;
    std::string m_sItemPath;
    mutable platform::FileTime m_lastModificationDate;  // once m_bDateKnown
    std::unique_ptr<WeakListeners<DuplicateItemListener>> m_listeners;  // made on first use
    std::uint32_t m_nParentPathLength = 0;  // of m_sItemPath
    mutable std::uint32_t m_nLevel = 0;
    mutable bool m_bLevelKnown = false;
    // A flag beside the others rather than an optional date: 8 bytes less
    // per entry, which brings the entry and its shared block (152 bytes)
    // into the next smaller malloc chunk.
    mutable bool m_bDateKnown = false;
    bool m_bIsPackage = false;
    bool m_bIsSelected = false;
    bool m_bIsInited = false;
    // How the content counted the entry in its figures (inside a duplicate
    // folder or not, inside a package or not), so that it takes out exactly
    // what it put in even when the enclosing folder has gone meanwhile.
    bool m_bCounted = false;
    bool m_bCountedInFolder = false;
    bool m_bCountedInPackage = false;
};

}  // namespace kestrane
