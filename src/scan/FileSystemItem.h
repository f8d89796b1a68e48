#pragma once

#include "platform/FileIdentity.h"
#include "platform/FileTime.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace kestrane {

class AutoSelectName;
class DuplicateItem;
class FSFolder;
class FolderSystemItem;

// What an item of the tree can be linked to from the result model (the
// duplicate entry of the file, a type of a higher layer). The item keeps only
// the pointer; when the item is destroyed first it tells the entry to forget it.
class ItemLinkTarget {
public:
    virtual void onFileSystemItemDestroyed() noexcept = 0;

protected:
    ItemLinkTarget() = default;
    ItemLinkTarget(const ItemLinkTarget&) = default;
    ItemLinkTarget& operator=(const ItemLinkTarget&) = default;
    ~ItemLinkTarget() = default;
};

// Which file an item was, and when its data had last been written, when it
// joined a group of duplicates during the scan: what a removal checks the
// file against before anything is removed (a file that no longer has these
// facts was changed or replaced since the scan).
struct ScanFacts {
    platform::FileIdentity identity;
    platform::FileTime modification;

    // Facts that match no file: for an item whose file was already not what
    // the scan listed (another size) when it joined its group.
    static ScanFacts unusable() { return {}; }
    bool isUsable() const { return identity.inode != 0; }
};

// What kind of file-system object an item stands for. Only regular files are
// ever opened for reading (hashing refuses everything else).
enum class FileKind : std::uint8_t {
    regular,
    fifo,
    socket,
    characterDevice,
    blockDevice,
    other,
    directory,  // every folder item
};

// One scanned file; the base of the item tree (folders and roots derive from it).
//
// The tree holds millions of items, so an item is kept small:
//  - the name's bytes and a terminating NUL are stored right behind the
//    object, in the same heap block (names are arbitrary bytes, not
//    necessarily UTF-8, and are kept exactly). The factories make every item
//    this way (makeWithName), so the name lives exactly as long as the item,
//    wherever the item is moved in the tree, and costs no heap block of its
//    own;
//  - the parent is a plain pointer: a folder owns its children, and a child
//    never outlives its parent while it is attached;
//  - the links that few items ever get (the duplicate entry, and for folders
//    the folder-tree node) live in a small side block made on first use;
//  - every flag is one bit of a single atomic byte, because several scan
//    workers mark the same ancestors at once (markThatHasExcludeContent).
//
// Items compare by identity; no value equality is defined. The path is not
// stored, it is built from the parent chain on every request.
//
// Threads: the children of a folder are added only by the worker that reads
// that folder; the flags may be changed from any thread at any time. Sizes,
// links and the tree shape are otherwise used by one queue at a time.
//
// The link to the result model: an item found in a group of duplicates
// points at its entry (an ItemLinkTarget, in practice a DuplicateItem) and
// keeps the analysis of its name for auto-select (AutoSelectName), both in
// the side block. The entry makes and clears the link (the logic lives with
// the entry); an item that is destroyed first tells its entry to forget it.
class FileSystemItem {
protected:
    // Only the factories of the item classes make items.
    struct Key {
        explicit Key() = default;
    };

    // The name as makeWithName placed it behind the object; the constructors
    // keep a pointer to it. Only makeWithName makes one.
    class PlacedName {
    public:
        std::string_view text() const { return m_text; }

    private:
        friend class FileSystemItem;
        explicit PlacedName(std::string_view text) : m_text(text) {}
        std::string_view m_text;
    };

    // A T (an item class) in one heap block with a copy of name and a NUL
    // right behind it; the block is freed by the class's operator delete.
    template <class T, class... Args>
    static std::unique_ptr<T> makeWithName(std::string_view name, Args&&... args) {
        void* block = ::operator new(sizeof(T) + name.size() + 1);
        const PlacedName placed(placeName(block, sizeof(T), name));
        try {
            return std::unique_ptr<T>(::new (block) T(Key{}, placed, std::forward<Args>(args)...));
        } catch (...) {
            ::operator delete(block);
            throw;
        }
    }

public:
    // Items are made only by makeWithName, as one block with their name: the
    // block is freed whole (no sized deallocation, whose size would leave the
    // name out).
    static void operator delete(void* block) { ::operator delete(block); }

    // A file item that is not yet in its parent's children (the caller calls
    // parent->addChild). parent may be null.
    static std::unique_ptr<FileSystemItem> make(std::string_view name, FolderSystemItem* parent,
                                                std::int64_t allocatedSize, bool hidden,
                                                std::int64_t logicalSize,
                                                FileKind kind = FileKind::regular);
    // A file item appended to parent's children; the parent owns it.
    static FileSystemItem* createInParent(std::string_view name, FolderSystemItem& parent,
                                          std::int64_t allocatedSize, bool hidden,
                                          std::int64_t logicalSize,
                                          FileKind kind = FileKind::regular);

    FileSystemItem(Key, PlacedName name, FolderSystemItem* parent, std::int64_t allocatedSize,
                   bool hidden, std::int64_t logicalSize, FileKind kind);
    virtual ~FileSystemItem();

    FileSystemItem(const FileSystemItem&) = delete;
    FileSystemItem& operator=(const FileSystemItem&) = delete;

    // Own name for an item with a parent; the full absolute path for a root.
    std::string_view relativePath() const { return {m_name, m_nameLength}; }
    FolderSystemItem* parent() const { return m_parent; }

    // The parent's path joined with relativePath; relativePath itself without a parent.
    std::string path() const;
    // The same path written over out, which keeps its capacity: no allocation
    // once out is long enough.
    void pathInto(std::string& out) const {
        out.clear();
        appendPath(out);
    }
    // relativePath with a parent; otherwise the last component of relativePath.
    std::string_view name() const;
    // There is no separate display name on Linux: the name.
    std::string_view displayName() const { return name(); }
    // The root of the tree: the topmost folder above (or, for a parentless
    // folder, the folder itself); null for a parentless file.
    FolderSystemItem* topParent();
    const FolderSystemItem* topParent() const;
    // Number of ancestors (0 for a root).
    std::size_t getLevel() const;

    std::int64_t logicalSize() const { return m_logicalSize; }
    // File: the allocated size. Folder: after calculateTotalSize, the sum over the subtree.
    std::int64_t allocatedSize() const { return m_allocatedSize; }
    // File: the allocated size, 0 when negative. Folder: recomputes both sums
    // of the subtree and returns the allocated one.
    virtual std::int64_t calculateTotalSize();

    virtual bool isDir() const { return false; }
    virtual bool isVol() const { return false; }
    virtual bool isPackage() const { return false; }
    // Whether any ancestor (not the item itself) is a package.
    bool isInPackage() const;

    FileKind fileKind() const { return m_kind; }
    bool isRegularFile() const { return m_kind == FileKind::regular; }

    bool isHiddenFlag() const { return hasFlag(kHidden); }
    // The item or any ancestor is hidden.
    bool isTopHiddenFlag() const;
    bool hasExcludeContent() const { return hasFlag(kHasExcludeContent); }
    bool isCheckedForDuplicates() const { return hasFlag(kCheckedForDuplicates); }
    void setIsCheckedForDuplicates(bool checked) { setFlag(kCheckedForDuplicates, checked); }
    // Another name of a file that is compared under its first name (a hard
    // link): it never joins a group, so it is never counted or selected.
    bool isOtherNameOfFile() const { return hasFlag(kOtherNameOfFile); }
    void setIsOtherNameOfFile(bool on) { setFlag(kOtherNameOfFile, on); }
    // The file's content key covers three blocks of it, not every byte (a
    // partial key): its group holds files that agree on those blocks.
    bool isComparedInPart() const { return hasFlag(kComparedInPart); }
    void setIsComparedInPart(bool on) { setFlag(kComparedInPart, on); }
    // Sets the excluded-content flag on the item and on every ancestor up to
    // the root (always the whole chain). Safe from several threads at once.
    void markThatHasExcludeContent();

    // The result-model entry linked to this item, or null. The accessors are
    // templates so that the conversion from the link happens where the
    // entry's type is complete (in the layers above).
    ItemLinkTarget* linkedEntry() const;
    template <class Entry = DuplicateItem>
    Entry* getDuplicateItem() const {
        return static_cast<Entry*>(linkedEntry());
    }
    // Stores the link as given, with no check and nothing else; null clears it.
    void setLinkedEntry(ItemLinkTarget* entry);
    // The entry linked to the nearest ancestor that has one, from the parent up.
    ItemLinkTarget* findParentLinkedEntry() const;
    template <class Entry = DuplicateItem>
    Entry* findParentDuplicateFolder() const {
        return static_cast<Entry*>(findParentLinkedEntry());
    }
    // The analysis of the item's name, built on first request and kept.
    const AutoSelectName& getAutoSelectData();
    // The analysis if it was built already, else null; changes nothing.
    const AutoSelectName* builtAutoSelectData() const { return m_links ? m_links->autoSelectName.get() : nullptr; }
    // The folder-tree node of this folder, else of the nearest ancestor that
    // has one. Like the duplicate entry, the node is a type of a higher layer
    // that the item knows only as a link, told when the item is destroyed.
    ItemLinkTarget* findFolderTreeLink() const;
    template <class Folder = FSFolder>
    Folder* findFSFolder() const {
        return static_cast<Folder*>(findFolderTreeLink());
    }
    // The facts taken when the item first joined a group of duplicates (kept
    // while the item lives, through later moves between groups), or null.
    const ScanFacts* scanFacts() const;
    // Keeps the facts, unless the item has some already: the first ones are
    // those of the scan.
    void rememberScanFacts(const ScanFacts& facts);

    // Count of all items below (cached, see FolderSystemItem); 0 for a file.
    virtual std::uint64_t getCountOfDeepChildren() const { return 0; }
    // Count of files below; 0 for a file.
    virtual std::uint64_t getCountOfDeepFilesWithHidden(bool withHidden) const;

    // The modification time read from the file system now (lstat of path());
    // none when the item cannot be read.
    std::optional<platform::FileTime> getFileItemLastModificationDate() const;

    // File: allocated size on disk. Folder: after calculateTotalSize, the sum over the children.
    std::int64_t m_allocatedSize = 0;
    // File: length of the data. Folder: after calculateTotalSize, the sum over the children.
    std::int64_t m_logicalSize = 0;

protected:
    enum Flag : std::uint8_t {
        kHidden = 1u << 0,
        kHasExcludeContent = 1u << 1,
        kCheckedForDuplicates = 1u << 2,
        kCheckedForPackage = 1u << 3,
        kPackage = 1u << 4,
        kOtherNameOfFile = 1u << 5,
        kComparedInPart = 1u << 6,
    };

    // The links that few items have; made on first use, dropped when all are empty.
    struct Links {
        Links();
        ~Links();
        ItemLinkTarget* duplicateItem = nullptr;
        ItemLinkTarget* fsFolder = nullptr;
        std::unique_ptr<AutoSelectName> autoSelectName;
        std::optional<ScanFacts> scanFacts;
        bool empty() const { return duplicateItem == nullptr && fsFolder == nullptr && !autoSelectName && !scanFacts; }
    };

    bool hasFlag(Flag flag) const { return (m_flags.load(std::memory_order_relaxed) & flag) != 0; }
    std::uint8_t loadFlags() const { return m_flags.load(std::memory_order_relaxed); }
    void setFlag(Flag flag, bool on) const;
    void addFlags(std::uint8_t flags) const { m_flags.fetch_or(flags, std::memory_order_relaxed); }

    const Links* links() const { return m_links.get(); }
    Links& ensureLinks();
    void dropLinksIfEmpty();

private:
    friend class FolderSystemItem;

    void appendPath(std::string& out) const;
    // Copies name and a NUL to the objectSize-th byte of block onwards.
    static std::string_view placeName(void* block, std::size_t objectSize, std::string_view name);

    const char* m_name;  // behind the object, in its block (see makeWithName)
    FolderSystemItem* m_parent = nullptr;
    std::unique_ptr<Links> m_links;
    std::uint32_t m_nameLength = 0;
    mutable std::atomic<std::uint8_t> m_flags{0};
    FileKind m_kind = FileKind::regular;
};

}  // namespace kestrane
