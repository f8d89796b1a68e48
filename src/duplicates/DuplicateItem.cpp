#include "duplicates/DuplicateItem.h"

#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/FileCategory.h"
#include "duplicates/FilesAttributesCacher.h"
#include "platform/DirectoryReader.h"
#include "platform/FileFacts.h"
#include "platform/MainQueue.h"
#include "scan/FolderSystemItem.h"
#include "duplicates/GroupSelection.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

namespace kestrane {

namespace {

bool existsAtPath(const std::string& path) {
    if (path.empty()) return false;
    const platform::PathAnchor anchor(path);  // paths of any length
    struct stat info {};
    return anchor && ::fstatat(anchor.directory(), anchor.name(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace

DuplicateItem::~DuplicateItem() {
    // An entry dropped without detaching must not leave the item pointing at it.
    if (m_pItem != nullptr && m_pItem->getDuplicateItem() == this) m_pItem->setLinkedEntry(nullptr);
}

bool DuplicateItem::initWithFileItemWithGroup(FileSystemItem* fileItem, const std::shared_ptr<DuplicatesGroup>& group) {
    if (fileItem == nullptr || !group) return false;
    m_pGroup = group;
    if (!group->isHasItem(*this)) {
        detach();
        return false;
    }
    m_pItem = fileItem;
    linkFileItem(*fileItem);
    if (fileItem->getDuplicateItem() != this) {
        detach();
        return false;
    }

    m_sItemPath = fileItem->path();
    // A name holds no "/": the parent's path is everything before the last one
    // ("/" itself for an item at the top of the file system).
    const std::size_t slash = m_sItemPath.rfind('/');
    m_nParentPathLength = slash == std::string::npos ? 0 : slash == 0 ? 1 : slash;
    m_bIsPackage = fileItem->isDir() && fileItem->isPackage();
    rememberScanFacts(*fileItem);
    // The date the scan saw is the date to show: no need to ask again.
    if (const ScanFacts* seen = fileItem->scanFacts(); seen != nullptr && seen->isUsable()) {
        m_lastModificationDate = seen->modification;
        m_bDateKnown = true;
    }
    updateAssociatedDuplicateFolder();
    m_bIsInited = true;
    return true;
}

void DuplicateItem::rememberScanFacts(FileSystemItem& fileItem) const {
    if (fileItem.scanFacts() != nullptr) return;
    const auto facts = platform::factsOfPath(m_sItemPath);
    // A file whose length is no longer the listed one was written to after
    // it was listed: what was compared is not what is there.
    const bool asListed = facts && (fileItem.isDir() ? facts->type == platform::DirectoryEntryType::directory
                                                     : facts->type == platform::DirectoryEntryType::regular &&
                                                           facts->size == getFileItemSize());
    fileItem.rememberScanFacts(asListed ? ScanFacts{facts->identity, facts->modification} : ScanFacts::unusable());
}

void DuplicateItem::linkFileItem(FileSystemItem& fileItem) {
    const auto group = getGroup();
    if (!group || !group->isHasItem(*this)) return;
    fileItem.setLinkedEntry(this);
    if (fileItem.isDir()) {
        updateAssociatedDuplicateFolder();
        std::shared_ptr<DuplicateItem> folder = getAssociatedDuplicateFolder();
        if (!folder) folder = weak_from_this().lock();
        // By index: associating entries may move groups, never items of the tree.
        const auto& children = static_cast<FolderSystemItem&>(fileItem).childrenArray();
        if (folder)
            for (std::size_t i = 0; i < children.size(); ++i) associateTreeWithFolder(*children[i], folder);
    }
    fileItem.getAutoSelectData();
}

void DuplicateItem::associateTreeWithFolder(FileSystemItem& item, const std::shared_ptr<DuplicateItem>& folder) {
    if (DuplicateItem* entry = item.getDuplicateItem()) {
        if (const auto strong = entry->weak_from_this().lock()) strong->updateAssociatedDuplicateFolderTo(folder);
    }
    if (!item.isDir()) return;
    const auto& children = static_cast<FolderSystemItem&>(item).childrenArray();
    for (std::size_t i = 0; i < children.size(); ++i) associateTreeWithFolder(*children[i], folder);
}

void DuplicateItem::detach() {
    if (m_pItem != nullptr && m_pItem->getDuplicateItem() == this) m_pItem->setLinkedEntry(nullptr);
    m_pItem = nullptr;
    m_pGroup.reset();
    m_pAssociatedDuplicateFolder.reset();
    m_sItemPath.clear();
    m_nParentPathLength = 0;
}

std::string DuplicateItem::getName() const {
    return m_pItem != nullptr ? std::string(m_pItem->name()) : std::string();
}

std::uint64_t DuplicateItem::getFileItemSize() const {
    if (m_pItem == nullptr) return 0;
    const std::int64_t size = m_pItem->logicalSize();
    return size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

bool DuplicateItem::isDirectory() const {
    return m_pItem != nullptr && m_pItem->isDir();
}

std::uint32_t DuplicateItem::getLevel() const {
    if (!m_bLevelKnown) {
        m_nLevel = static_cast<std::uint32_t>(std::count(m_sItemPath.begin(), m_sItemPath.end(), '/'));
        m_bLevelKnown = true;
    }
    return m_nLevel;
}

std::optional<FileCategory> DuplicateItem::getType() const {
    const auto group = getGroup();
    if (!group) return std::nullopt;
    const auto category = group->getCategory();
    return category ? category->getType() : std::nullopt;
}

std::optional<FileCategory> DuplicateItem::getTypeUsingFileSystemItem() const {
    if (m_pItem == nullptr) return std::nullopt;
    if (m_pItem->isDir() && !m_pItem->isPackage()) return FileCategory::folders;
    return typeOfFileAtPath(m_pItem->name());
}

platform::FileTime DuplicateItem::getLastModificationDate() const {
    if (!m_bDateKnown) {
        // Read straight from the file system: the entry keeps the date, so a
        // process-wide cache by path would only hold a second copy of every
        // path (about 15 MB on 60,000 copies) and give a later scan of the
        // same files the dates of the first.
        const auto attributes = FilesAttributesCacher::readAttributesOfItemAtPath(m_sItemPath);
        m_lastModificationDate = attributes && !attributes->isEmpty() ? attributes->modificationDate
                                                                      : platform::FileTime{};
        m_bDateKnown = true;
    }
    return m_lastModificationDate;
}

bool DuplicateItem::isMovedByUserOrDeleted() const {
    return !existsAtPath(m_sItemPath);
}

bool DuplicateItem::calculateIsDiskContentChanged() const {
    if (!existsAtPath(m_sItemPath)) return true;
    if (m_pItem == nullptr || !m_pItem->isDir()) return false;
    for (const auto& child : static_cast<const FolderSystemItem*>(m_pItem)->childrenArray()) {
        std::string childPath = m_sItemPath;
        if (childPath.back() != '/') childPath.push_back('/');
        childPath.append(child->name());
        if (!existsAtPath(childPath)) return true;
    }
    return false;
}

std::shared_ptr<DuplicateItem> DuplicateItem::getAssociatedDuplicateFolder() const {
    auto folder = m_pAssociatedDuplicateFolder.lock();
    // A folder entry that has left its group is no duplicate folder any more.
    if (folder && folder->m_pItem == nullptr) return nullptr;
    return folder;
}

void DuplicateItem::updateAssociatedDuplicateFolderTo(const std::shared_ptr<DuplicateItem>& folder) {
    std::shared_ptr<DuplicateItem> value = folder.get() == this ? nullptr : folder;
    if (!value && m_pItem != nullptr) {
        const FileSystemItem* from = m_pItem;
        while (from != nullptr) {
            DuplicateItem* found = from->findParentDuplicateFolder();
            if (found == nullptr) break;
            auto foundEntry = found->weak_from_this().lock();
            if (!foundEntry) break;
            value = std::move(foundEntry);
            from = value->getFileSystemItem();
        }
    }
    m_pAssociatedDuplicateFolder = value;

    if (!m_bIsInited) return;
    const auto group = getGroup();
    if (group && m_bCounted && (value != nullptr) != m_bCountedInFolder)
        group->updateAfterItemMovedIntoOrOutOfDuplicateFolder(shared_from_this());
}

bool DuplicateItem::selectItemForced(bool forced) {
    const auto group = getGroup();
    return group ? group->selectItemForced(shared_from_this(), forced) : false;
}

void DuplicateItem::deselectItem() {
    if (const auto group = getGroup()) group->deselectItem(shared_from_this());
}

void DuplicateItem::onItemSelectionChanged() {
    const auto group = getGroup();
    const bool selected = group && group->getSelection().containsItem(this);
    if (selected == m_bIsSelected) return;
    m_bIsSelected = selected;
    if (!m_listeners || m_listeners->size() == 0) return;
    platform::MainQueue::shared().async([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (self && self->m_listeners) self->m_listeners->notify(&DuplicateItemListener::onItemSelectionChanged, self);
    });
}

void DuplicateItem::addListener(const std::shared_ptr<DuplicateItemListener>& listener) {
    if (!m_listeners) m_listeners = std::make_unique<WeakListeners<DuplicateItemListener>>();
    m_listeners->add(listener);
}

void DuplicateItem::removeListener(const DuplicateItemListener* listener) {
    if (m_listeners) m_listeners->remove(listener);
}

}  // namespace kestrane
