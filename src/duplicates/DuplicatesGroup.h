#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class DuplicateItem;
class DuplicatesCategory;
class DuplicatesContainer;
class FileSystemItem;
class GroupContent;
class GroupSelection;

// One set of identical files (or identical folders) with its selection.
//
// A group is made detached, attached once to the category that made it (its
// content is built then), possibly moved (which removes it and makes a new
// group elsewhere) and finally removed (its content dropped). Owned by its
// category; the category and the listener are held weakly. Every change of
// the content or the selection runs between a will-change and a did-change
// call; only the outermost pair reaches the listener, so the category takes
// the old figures out once and puts the new ones in once.
class DuplicatesGroup : public std::enable_shared_from_this<DuplicatesGroup> {
    struct Key {
        explicit Key() = default;
    };

public:
    // initWithItems:withListener:
    static std::shared_ptr<DuplicatesGroup> create(std::vector<FileSystemItem*> items,
                                                   const std::shared_ptr<DuplicatesCategory>& listener);
    DuplicatesGroup(Key, std::vector<FileSystemItem*> items, const std::shared_ptr<DuplicatesCategory>& listener);
    ~DuplicatesGroup();
    DuplicatesGroup(const DuplicatesGroup&) = delete;
    DuplicatesGroup& operator=(const DuplicatesGroup&) = delete;

    std::uint64_t getGroupID() const { return m_nGroupID; }
    std::shared_ptr<DuplicatesCategory> getCategory() const { return m_pCategory.lock(); }
    std::shared_ptr<DuplicatesContainer> getContainer() const;
    // The entries; empty without content.
    std::vector<std::shared_ptr<DuplicateItem>> getItems() const;
    // The same entries without a copy: valid only until the group changes,
    // so for loops that only read.
    const std::vector<std::shared_ptr<DuplicateItem>>& itemsView() const;
    std::vector<FileSystemItem*> getFileSystemItems() const;
    // The selected entries, in item order.
    std::vector<std::shared_ptr<DuplicateItem>> getSelectedItems() const;
    bool hasContent() const { return m_pContent != nullptr; }

    // Figures of the content; 0 without content.
    std::uint64_t getTotalSize() const;
    std::uint64_t getSizeThatCanBeRemoved() const;
    std::uint64_t getTotalCount() const;
    std::uint64_t getCountOfDuplicatesThatCanBeRemoved() const;
    std::uint64_t getItemsCountInPackages() const;
    std::uint64_t getItemsCountInDuplicatesFolders() const;
    // Figures of the selection: size and count leave out copies inside
    // duplicate folders; the count with folder content includes them.
    std::uint64_t getSelectedSize() const;
    std::uint64_t getActualSelectedCount() const;
    std::uint64_t getSelectedCountWithDuplicatesFolderContent() const;
    bool isAllItemsSelected() const;
    bool isOneItemLeftToSelect() const;
    // The first item's size, or 0.
    std::uint64_t oneItemSize() const;

    // Always true in the hidden category; otherwise whether the content holds it.
    bool isHasItem(const DuplicateItem& item) const;
    bool isFolderGroup() const;
    // Whether the copies were told apart by partial content keys (three
    // blocks of each file) rather than by every byte: a file group whose
    // copies got partial keys, a folder group with such a file below its
    // first copy. Such copies agree on those blocks and may differ elsewhere.
    bool isComparedInPart() const;

    // The display name of the first copy whose name does not look like a
    // copy (else of the first copy), that name without extension, and its
    // extension in lowercase. Computed when first asked after a change.
    const std::string& getGroupName() const;
    const std::string& getGroupNameWithoutExtension() const;
    const std::string& getGroupExtension() const;

    // Adds a copy; null when it is refused.
    std::shared_ptr<DuplicateItem> addFileItem(FileSystemItem* fileItem);
    // Takes a copy out of the selection and the content. The group stays even
    // with fewer than two copies; the container drops it later.
    void removeDuplicateItem(const std::shared_ptr<DuplicateItem>& item);
    // removeEntryWithSubItems with sub-items.
    void removeEntry(const std::shared_ptr<DuplicateItem>& item);
    // Only when the group holds the copy. With sub-items and a folder copy,
    // every copy below the folder first leaves its own group.
    void removeEntryWithSubItems(const std::shared_ptr<DuplicateItem>& item,
                                                             bool withSubItems);
    // Removes the group from its category and adds a new group of its copies
    // to target; returns the new group (or null when none could be made).
    std::shared_ptr<DuplicatesGroup> moveToCategory(const std::shared_ptr<DuplicatesCategory>& target);
    // Recounts the figures.
    void updateGroupInfo();
    void updateAfterItemMovedIntoOrOutOfDuplicateFolder(const std::shared_ptr<DuplicateItem>& item);
    bool isFullyInDuplicatesFolders() const { return m_bIsFullyInDuplicatesFolders; }
    bool isPackageContent() const { return m_bIsPackageContent; }
    // Package content, no content, or every copy inside a duplicate folder.
    bool calculateIsFullyInDuplicatesFolders() const;
    // Stores the new value; a change moves the group to the container's hidden
    // category, or from the hidden category back to its file category.
    void recalculateIsFullyInDuplicatesFolders();

    // Selection (see GroupSelection).
    bool selectItemForced(const std::shared_ptr<DuplicateItem>& item, bool forced);
    void deselectItem(const std::shared_ptr<DuplicateItem>& item);
    void deselectAllItems();
    static void BeginSelectionGroup();
    static void EndSelectionGroup();
    static void sendNotificationThatSelectionChangedIfNeeded();

    GroupSelection& getSelection() const { return *m_pSelection; }
    const GroupContent* getContent() const { return m_pContent.get(); }

    // The change protocol; pairs nest.
    void notifyListenerThatGroupWillChange();
    void notifyListenerThatGroupDidChange();

    // Sent by the category that made the group, right after it took the
    // group in: builds the content (once) and may move the group.
    void onGroupAddedToCategory(const std::shared_ptr<DuplicatesCategory>& category);
    // Sent by the category when it lets the group go: forgets the category,
    // detaches every copy and drops the content.
    void onGroupRemovedFromCategory();

private:
    void calculateGroupCachedData() const;
    void clearGroupCachedData() { m_groupName.reset(); }
    // Takes the copy out of the selection and the content, nothing else.
    void removeItemFromSelectionAndContent(const std::shared_ptr<DuplicateItem>& item);
    bool isInHiddenCategory() const;

    struct GroupName {
        std::string name;
        std::string nameWithoutExtension;
        std::string extension;
    };

    std::uint64_t m_nGroupID;
    std::weak_ptr<DuplicatesCategory> m_pCategory;
    std::weak_ptr<DuplicatesCategory> m_pListener;
    std::vector<FileSystemItem*> m_arrFileSystemItems;
    std::unique_ptr<GroupContent> m_pContent;
    std::unique_ptr<GroupSelection> m_pSelection;
    mutable std::unique_ptr<GroupName> m_groupName;  // made on first use: most groups are never named
    std::uint32_t m_nNotificationDeep = 0;
    bool m_bCanBeAddedToCategory = true;
    bool m_bIsPackageContent = false;
    bool m_bIsFullyInDuplicatesFolders = false;
};

}  // namespace kestrane
