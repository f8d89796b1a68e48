#include "scan/FolderSystemItem.h"

#include <algorithm>
#include <utility>

namespace kestrane {

std::unique_ptr<FolderSystemItem> FolderSystemItem::make(std::string_view name, FolderSystemItem* parent,
                                                         bool hidden, bool isPackage) {
    auto folder = makeWithName<FolderSystemItem>(name, parent, hidden);
    if (isPackage) folder->SetitsLeafPackage();
    return folder;
}

FolderSystemItem* FolderSystemItem::createInParent(std::string_view name, FolderSystemItem& parent,
                                                   bool hidden, bool isPackage) {
    return parent.addChild(make(name, &parent, hidden, isPackage));
}

FolderSystemItem::FolderSystemItem(Key key, PlacedName name, FolderSystemItem* parent, bool hidden)
    : FileSystemItem(key, name, parent, 0, hidden, 0, FileKind::directory) {}

FolderSystemItem::~FolderSystemItem() = default;

bool FolderSystemItem::isPackage() const {
    const std::uint8_t flags = loadFlags();
    if ((flags & kCheckedForPackage) != 0) return (flags & kPackage) != 0;
    // No bundle notion on Linux beyond what the scan marked: only frameworks
    // are recognised by their path (which ends with this item's relativePath).
    const bool package = relativePath().ends_with(".framework");
    addFlags(static_cast<std::uint8_t>(kCheckedForPackage | (package ? kPackage : 0)));
    return package;
}

void FolderSystemItem::SetitsLeafPackage() {
    addFlags(kCheckedForPackage | kPackage);
}

std::int64_t FolderSystemItem::calculateTotalSize() {
    m_allocatedSize = 0;
    m_logicalSize = 0;
    for (const auto& child : m_children) {
        m_allocatedSize += child->calculateTotalSize();
        m_logicalSize += child->logicalSize();
    }
    return m_allocatedSize;
}

void FolderSystemItem::adoptChild(std::unique_ptr<FileSystemItem> child) {
    if (!child) return;
    if (child->m_parent != this) child->m_parent = this;
    m_children.push_back(std::move(child));
}

FolderSystemItem::Children::iterator FolderSystemItem::findChild(const FileSystemItem* child) {
    return std::find_if(m_children.begin(), m_children.end(),
                        [child](const auto& slot) { return slot.get() == child; });
}

std::unique_ptr<FileSystemItem> FolderSystemItem::removeChild(const FileSystemItem* child) {
    const auto slot = findChild(child);
    if (slot == m_children.end()) return nullptr;
    std::unique_ptr<FileSystemItem> removed = std::move(*slot);
    m_children.erase(slot);
    removed->m_parent = nullptr;
    return removed;
}

bool FolderSystemItem::removeChildAndRecalc(const FileSystemItem* child) {
    const auto slot = findChild(child);
    if (slot == m_children.end()) return false;
    decreaseTotalSize((*slot)->allocatedSize());
    m_children.erase(slot);
    return true;
}

std::unique_ptr<FileSystemItem> FolderSystemItem::replaceChild(const FileSystemItem* old,
                                                               std::unique_ptr<FileSystemItem>&& replacement) {
    if (!replacement) return nullptr;
    const auto slot = findChild(old);
    if (slot == m_children.end()) return nullptr;
    std::unique_ptr<FileSystemItem> previous = std::exchange(*slot, std::move(replacement));
    (*slot)->m_parent = this;
    previous->m_parent = nullptr;
    return previous;
}

void FolderSystemItem::increaseTotalSize(std::int64_t amount) {
    for (FolderSystemItem* folder = this; folder != nullptr; folder = folder->parent()) folder->m_allocatedSize += amount;
}

void FolderSystemItem::decreaseTotalSize(std::int64_t amount) {
    for (FolderSystemItem* folder = this; folder != nullptr; folder = folder->parent()) folder->m_allocatedSize -= amount;
}

FileSystemItem* FolderSystemItem::childAtIndex(std::size_t index) const {
    return index < m_children.size() ? m_children[index].get() : nullptr;
}

FileSystemItem* FolderSystemItem::childWithName(std::string_view name) const {
    for (const auto& child : m_children)
        if (child->name() == name) return child.get();
    return nullptr;
}

bool FolderSystemItem::containsObject(const FileSystemItem* item) const {
    return std::any_of(m_children.begin(), m_children.end(),
                       [item](const auto& slot) { return slot.get() == item; });
}

void FolderSystemItem::appendDeepChildren(std::vector<FileSystemItem*>& out) const {
    for (const auto& child : m_children) out.push_back(child.get());
    for (const auto& child : m_children)
        if (child->isDir()) static_cast<const FolderSystemItem&>(*child).appendDeepChildren(out);
}

std::vector<FileSystemItem*> FolderSystemItem::childrenDeepArray() const {
    std::vector<FileSystemItem*> items;
    appendDeepChildren(items);
    return items;
}

void FolderSystemItem::appendSubFolders(std::vector<FolderSystemItem*>& out) const {
    for (const auto& child : m_children) {
        if (!child->isDir()) continue;
        auto& folder = static_cast<FolderSystemItem&>(*child);
        out.push_back(&folder);
        folder.appendSubFolders(out);
    }
}

std::vector<FolderSystemItem*> FolderSystemItem::subFoldersDeepArray() const {
    std::vector<FolderSystemItem*> folders;
    appendSubFolders(folders);
    return folders;
}

void FolderSystemItem::appendDuplicates(std::vector<FileSystemItem*>& out) const {
    for (const auto& child : m_children) {
        if (child->linkedEntry() != nullptr) out.push_back(child.get());
        if (child->isDir()) static_cast<const FolderSystemItem&>(*child).appendDuplicates(out);
    }
}

std::vector<FileSystemItem*> FolderSystemItem::duplicatesDeepArray() const {
    std::vector<FileSystemItem*> items;
    appendDuplicates(items);
    return items;
}

void FolderSystemItem::recalculateCountOfDeepChildren() {
    std::uint64_t count = 0;
    for (const auto& child : m_children) {
        if (child->isDir()) static_cast<FolderSystemItem&>(*child).recalculateCountOfDeepChildren();
        count += child->getCountOfDeepChildren() + 1;
    }
    m_nCountOfDeepChildren = count;
}

std::uint64_t FolderSystemItem::countFilesBelow(bool withHidden) const {
    std::uint64_t count = 0;
    for (const auto& child : m_children) {
        if (!withHidden && child->isHiddenFlag()) continue;
        if (child->isDir())
            count += static_cast<const FolderSystemItem&>(*child).countFilesBelow(withHidden);
        else
            ++count;
    }
    return count;
}

std::uint64_t FolderSystemItem::getCountOfDeepFilesWithHidden(bool withHidden) const {
    // Below a hidden folder every child counts as hidden, so only the
    // children's own flags need looking at once this folder's chain is clear.
    if (!withHidden && isTopHiddenFlag()) return 0;
    return countFilesBelow(withHidden);
}

ItemLinkTarget* FolderSystemItem::folderTreeLink() const {
    return links() ? links()->fsFolder : nullptr;
}

void FolderSystemItem::setFsFolder(ItemLinkTarget* folder) {
    if (folder != nullptr) {
        ensureLinks().fsFolder = folder;
    } else if (links()) {
        ensureLinks().fsFolder = nullptr;
        dropLinksIfEmpty();
    }
}

}  // namespace kestrane
