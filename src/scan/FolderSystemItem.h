#pragma once

#include "scan/FileSystemItem.h"

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// A scanned folder: owns its children in the order they were added.
//
// The children vector is held by value: an empty vector allocates nothing,
// and most folders do have children, so a separately allocated vector would
// cost one more heap block per folder for the 16 bytes it saves in the object.
class FolderSystemItem : public FileSystemItem {
public:
    using Children = std::vector<std::unique_ptr<FileSystemItem>>;

    // A folder item (sizes 0) not yet in parent's children; parent may be null.
    // A package folder is marked as by SetitsLeafPackage; otherwise its
    // package status is decided on first request.
    static std::unique_ptr<FolderSystemItem> make(std::string_view name, FolderSystemItem* parent,
                                                  bool hidden, bool isPackage);
    // A folder item appended to parent's children; the parent owns it.
    static FolderSystemItem* createInParent(std::string_view name, FolderSystemItem& parent,
                                            bool hidden, bool isPackage);

    FolderSystemItem(Key key, PlacedName name, FolderSystemItem* parent, bool hidden);
    ~FolderSystemItem() override;

    bool isDir() const override { return true; }
    // Marked by the scan, or the path ends with ".framework"; decided once and kept.
    bool isPackage() const override;
    // Marks the package status as decided and true.
    void SetitsLeafPackage();

    // Both sums set from the children (child folders first brought up to
    // date); returns the allocated sum.
    std::int64_t calculateTotalSize() override;

    // Appends child (no check for duplicates, sizes unchanged) and makes this
    // folder its parent. Returns the child, now owned by this folder.
    template <std::derived_from<FileSystemItem> T>
    T* addChild(std::unique_ptr<T> child) {
        T* raw = child.get();
        adoptChild(std::unique_ptr<FileSystemItem>(std::move(child)));
        return raw;
    }
    // Takes child out of the children (by identity) and hands it over; sizes
    // unchanged, its parent link cleared. Null when it is not a child.
    std::unique_ptr<FileSystemItem> removeChild(const FileSystemItem* child);
    // When child is a child: lowers this folder's and every ancestor's
    // allocated size by child's allocatedSize, removes and DESTROYS the child
    // (with its subtree), and returns true. Otherwise changes nothing and returns false.
    bool removeChildAndRecalc(const FileSystemItem* child);
    // Puts replacement at old's position and hands old back (its parent link
    // cleared). When old is not a child, nothing changes: null is returned and
    // replacement stays with the caller. Sizes unchanged.
    std::unique_ptr<FileSystemItem> replaceChild(const FileSystemItem* old,
                                                 std::unique_ptr<FileSystemItem>&& replacement);

    // Add / subtract amount to the allocated size of this folder and every
    // ancestor; logical sizes are not touched.
    void increaseTotalSize(std::int64_t amount);
    void decreaseTotalSize(std::int64_t amount);

    const Children& childrenArray() const { return m_children; }
    std::size_t numberOfChildren() const { return m_children.size(); }
    // The child at index; null when index is out of range.
    FileSystemItem* childAtIndex(std::size_t index) const;
    // The first child whose name equals name byte for byte; null otherwise.
    FileSystemItem* childWithName(std::string_view name) const;
    bool containsObject(const FileSystemItem* item) const;

    // Every item below: all children in order, then the same for each child folder in order.
    std::vector<FileSystemItem*> childrenDeepArray() const;
    // Every folder below, pre-order (each folder followed by its own sub-folders).
    std::vector<FolderSystemItem*> subFoldersDeepArray() const;
    // Every item below with a duplicate entry, pre-order, descending into all folders.
    std::vector<FileSystemItem*> duplicatesDeepArray() const;

    // Recomputes the cached count of all items below (child folders first).
    void recalculateCountOfDeepChildren();
    std::uint64_t getCountOfDeepChildren() const override { return m_nCountOfDeepChildren; }
    // "<logical size>_<count of deep children>": what can be known of the
    // folder without comparing content. Folders that differ in it are never
    // duplicates of each other.
    std::string sizeAndChildrenCountIdentifier() const {
        return std::to_string(logicalSize()) + "_" + std::to_string(getCountOfDeepChildren());
    }
    // Files below; without hidden items, a child that is hidden itself or
    // under a hidden folder is skipped with its subtree. Folders are not counted.
    std::uint64_t getCountOfDeepFilesWithHidden(bool withHidden) const override;

    // The folder's node in the folder tree, or null. The node is told when
    // the folder is destroyed (see findFSFolder).
    ItemLinkTarget* folderTreeLink() const;
    template <class Folder = FSFolder>
    Folder* fsFolder() const {
        return static_cast<Folder*>(folderTreeLink());
    }
    void setFsFolder(ItemLinkTarget* folder);

private:
    void adoptChild(std::unique_ptr<FileSystemItem> child);
    Children::iterator findChild(const FileSystemItem* child);
    void appendDeepChildren(std::vector<FileSystemItem*>& out) const;
    void appendSubFolders(std::vector<FolderSystemItem*>& out) const;
    void appendDuplicates(std::vector<FileSystemItem*>& out) const;
    std::uint64_t countFilesBelow(bool withHidden) const;

    Children m_children;
    std::uint64_t m_nCountOfDeepChildren = 0;
};

}  // namespace kestrane
