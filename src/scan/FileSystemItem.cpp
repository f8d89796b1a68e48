#include "scan/FileSystemItem.h"

#include "platform/DirectoryReader.h"
#include "scan/FolderSystemItem.h"
#include "scan/AutoSelectName.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <utility>

namespace kestrane {

std::unique_ptr<FileSystemItem> FileSystemItem::make(std::string_view name, FolderSystemItem* parent,
                                                     std::int64_t allocatedSize, bool hidden,
                                                     std::int64_t logicalSize, FileKind kind) {
    return makeWithName<FileSystemItem>(name, parent, allocatedSize, hidden, logicalSize, kind);
}

FileSystemItem* FileSystemItem::createInParent(std::string_view name, FolderSystemItem& parent,
                                               std::int64_t allocatedSize, bool hidden,
                                               std::int64_t logicalSize, FileKind kind) {
    return parent.addChild(make(name, &parent, allocatedSize, hidden, logicalSize, kind));
}

std::string_view FileSystemItem::placeName(void* block, std::size_t objectSize, std::string_view name) {
    char* text = static_cast<char*>(block) + objectSize;
    if (!name.empty()) std::memcpy(text, name.data(), name.size());
    text[name.size()] = '\0';
    return {text, name.size()};
}

FileSystemItem::FileSystemItem(Key, PlacedName name, FolderSystemItem* parent,
                               std::int64_t allocatedSize, bool hidden, std::int64_t logicalSize,
                               FileKind kind)
    : m_allocatedSize(allocatedSize),
      m_logicalSize(logicalSize),
      m_name(name.text().data()),
      m_parent(parent),
      m_nameLength(static_cast<std::uint32_t>(name.text().size())),
      m_flags(hidden ? kHidden : 0),
      m_kind(kind) {}

FileSystemItem::~FileSystemItem() {
    // An entry that is still linked must not keep a pointer to a destroyed item.
    if (m_links && m_links->duplicateItem != nullptr) m_links->duplicateItem->onFileSystemItemDestroyed();
    // So must the folder-tree node of a folder.
    if (m_links && m_links->fsFolder != nullptr) m_links->fsFolder->onFileSystemItemDestroyed();
}

FileSystemItem::Links::Links() = default;

FileSystemItem::Links::~Links() = default;

void FileSystemItem::appendPath(std::string& out) const {
    if (m_parent != nullptr) {
        m_parent->appendPath(out);
        if (!out.empty() && out.back() != '/') out.push_back('/');
    }
    out.append(relativePath());
}

std::string FileSystemItem::path() const {
    std::size_t length = 0;
    for (const FileSystemItem* item = this; item != nullptr; item = item->m_parent)
        length += item->m_nameLength + 1;
    std::string result;
    result.reserve(length);
    appendPath(result);
    return result;
}

std::string_view FileSystemItem::name() const {
    std::string_view path = relativePath();
    if (m_parent != nullptr) return path;
    // A root holds a full path: its last component, trailing slashes ignored.
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    if (path == "/") return path;
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

const FolderSystemItem* FileSystemItem::topParent() const {
    if (m_parent == nullptr) return isDir() ? static_cast<const FolderSystemItem*>(this) : nullptr;
    const FolderSystemItem* top = m_parent;
    while (top->m_parent != nullptr) top = top->m_parent;
    return top;
}

FolderSystemItem* FileSystemItem::topParent() {
    return const_cast<FolderSystemItem*>(std::as_const(*this).topParent());
}

std::size_t FileSystemItem::getLevel() const {
    std::size_t level = 0;
    for (const FolderSystemItem* folder = m_parent; folder != nullptr; folder = folder->m_parent) ++level;
    return level;
}

std::int64_t FileSystemItem::calculateTotalSize() {
    return m_allocatedSize < 0 ? 0 : m_allocatedSize;
}

bool FileSystemItem::isInPackage() const {
    for (const FolderSystemItem* folder = m_parent; folder != nullptr; folder = folder->m_parent)
        if (folder->isPackage()) return true;
    return false;
}

bool FileSystemItem::isTopHiddenFlag() const {
    for (const FileSystemItem* item = this; item != nullptr; item = item->m_parent)
        if (item->isHiddenFlag()) return true;
    return false;
}

void FileSystemItem::markThatHasExcludeContent() {
    for (const FileSystemItem* item = this; item != nullptr; item = item->m_parent)
        item->addFlags(kHasExcludeContent);
}

void FileSystemItem::setFlag(Flag flag, bool on) const {
    if (on)
        m_flags.fetch_or(flag, std::memory_order_relaxed);
    else
        m_flags.fetch_and(static_cast<std::uint8_t>(~flag), std::memory_order_relaxed);
}

FileSystemItem::Links& FileSystemItem::ensureLinks() {
    if (!m_links) m_links = std::make_unique<Links>();
    return *m_links;
}

void FileSystemItem::dropLinksIfEmpty() {
    if (m_links && m_links->empty()) m_links.reset();
}

ItemLinkTarget* FileSystemItem::linkedEntry() const {
    return m_links ? m_links->duplicateItem : nullptr;
}

void FileSystemItem::setLinkedEntry(ItemLinkTarget* entry) {
    if (entry != nullptr) {
        ensureLinks().duplicateItem = entry;
    } else if (m_links) {
        m_links->duplicateItem = nullptr;
        dropLinksIfEmpty();
    }
}

const AutoSelectName& FileSystemItem::getAutoSelectData() {
    Links& links = ensureLinks();
    if (!links.autoSelectName)
        links.autoSelectName = std::make_unique<AutoSelectName>(AutoSelectName::buildAutoSelectNameForFileItem(*this));
    return *links.autoSelectName;
}

ItemLinkTarget* FileSystemItem::findParentLinkedEntry() const {
    for (const FolderSystemItem* folder = m_parent; folder != nullptr; folder = folder->m_parent)
        if (ItemLinkTarget* entry = folder->linkedEntry()) return entry;
    return nullptr;
}

ItemLinkTarget* FileSystemItem::findFolderTreeLink() const {
    // Only folders carry a folder-tree node, so a file starts looking at itself harmlessly.
    for (const FileSystemItem* item = this; item != nullptr; item = item->m_parent)
        if (item->m_links && item->m_links->fsFolder != nullptr) return item->m_links->fsFolder;
    return nullptr;
}

const ScanFacts* FileSystemItem::scanFacts() const {
    return m_links && m_links->scanFacts ? &*m_links->scanFacts : nullptr;
}

void FileSystemItem::rememberScanFacts(const ScanFacts& facts) {
    Links& links = ensureLinks();
    if (!links.scanFacts) links.scanFacts = facts;
}

std::uint64_t FileSystemItem::getCountOfDeepFilesWithHidden(bool) const {
    return 0;
}

std::optional<platform::FileTime> FileSystemItem::getFileItemLastModificationDate() const {
    const std::string itemPath = path();
    const platform::PathAnchor anchor(itemPath);  // paths of any length
    if (!anchor) return std::nullopt;
    struct statx info {};
    if (::statx(anchor.directory(), anchor.name(), AT_SYMLINK_NOFOLLOW, STATX_MTIME, &info) != 0) return std::nullopt;
    if ((info.stx_mask & STATX_MTIME) == 0) return std::nullopt;
    return platform::FileTime::fromStatx(info.stx_mtime);
}

}  // namespace kestrane
