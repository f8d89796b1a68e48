#include "duplicates/DuplicatesGroup.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/FileCategory.h"
#include "duplicates/GroupContent.h"
#include "platform/Text.h"
#include "scan/FolderSystemItem.h"
#include "scan/AutoSelectName.h"
#include "duplicates/GroupSelection.h"

#include <algorithm>
#include <atomic>

namespace kestrane {

namespace {

std::atomic<std::uint64_t> g_nextGroupID{1};

}  // namespace

std::shared_ptr<DuplicatesGroup> DuplicatesGroup::create(std::vector<FileSystemItem*> items,
                                                         const std::shared_ptr<DuplicatesCategory>& listener) {
    auto group = std::make_shared<DuplicatesGroup>(Key{}, std::move(items), listener);
    group->m_pSelection = std::make_unique<GroupSelection>(group);
    return group;
}

DuplicatesGroup::DuplicatesGroup(Key, std::vector<FileSystemItem*> items,
                                 const std::shared_ptr<DuplicatesCategory>& listener)
    : m_nGroupID(g_nextGroupID.fetch_add(1, std::memory_order_relaxed)),
      m_pListener(listener),
      m_arrFileSystemItems(std::move(items)) {}

DuplicatesGroup::~DuplicatesGroup() {
    // A group dropped while it still has content (its container went away)
    // unlinks its copies from the tree, which may outlive it.
    m_pSelection.reset();
    if (m_pContent) {
        const auto items = m_pContent->getItems();
        for (auto it = items.rbegin(); it != items.rend(); ++it) m_pContent->removeItem(*it);
    }
}

std::shared_ptr<DuplicatesContainer> DuplicatesGroup::getContainer() const {
    const auto category = getCategory();
    return category ? category->getContainer() : nullptr;
}

std::vector<std::shared_ptr<DuplicateItem>> DuplicatesGroup::getItems() const {
    return m_pContent ? m_pContent->getItems() : std::vector<std::shared_ptr<DuplicateItem>>{};
}

const std::vector<std::shared_ptr<DuplicateItem>>& DuplicatesGroup::itemsView() const {
    static const std::vector<std::shared_ptr<DuplicateItem>> none;
    return m_pContent ? m_pContent->getItems() : none;
}

std::vector<FileSystemItem*> DuplicatesGroup::getFileSystemItems() const {
    return m_pContent ? m_pContent->createArrayWithFileSystemItems() : std::vector<FileSystemItem*>{};
}

std::vector<std::shared_ptr<DuplicateItem>> DuplicatesGroup::getSelectedItems() const {
    return m_pSelection->getItems();
}

std::uint64_t DuplicatesGroup::getTotalSize() const { return m_pContent ? m_pContent->getTotalSize() : 0; }

std::uint64_t DuplicatesGroup::getSizeThatCanBeRemoved() const {
    return m_pContent ? m_pContent->getSizeThatCanBeRemoved() : 0;
}

std::uint64_t DuplicatesGroup::getTotalCount() const { return m_pContent ? m_pContent->getItemsCount() : 0; }

std::uint64_t DuplicatesGroup::getCountOfDuplicatesThatCanBeRemoved() const {
    return m_pContent ? m_pContent->getItemsCountThatCanBeRemoved() : 0;
}

std::uint64_t DuplicatesGroup::getItemsCountInPackages() const {
    return m_pContent ? m_pContent->getItemsCountInPackages() : 0;
}

std::uint64_t DuplicatesGroup::getItemsCountInDuplicatesFolders() const {
    return m_pContent ? m_pContent->getItemsCountInDuplicatesFolders() : 0;
}

std::uint64_t DuplicatesGroup::getSelectedSize() const { return m_pSelection->getTotalSize(); }

std::uint64_t DuplicatesGroup::getActualSelectedCount() const { return m_pSelection->getActualItemsCount(); }

std::uint64_t DuplicatesGroup::getSelectedCountWithDuplicatesFolderContent() const {
    return m_pSelection->getDirtyItemsCount();
}

bool DuplicatesGroup::isAllItemsSelected() const {
    return getTotalCount() == getSelectedCountWithDuplicatesFolderContent();
}

bool DuplicatesGroup::isOneItemLeftToSelect() const {
    const std::uint64_t total = getTotalCount();
    return total > 0 && getSelectedCountWithDuplicatesFolderContent() == total - 1;
}

std::uint64_t DuplicatesGroup::oneItemSize() const {
    if (!m_pContent || m_pContent->getItems().empty()) return 0;
    return m_pContent->getItems().front()->getFileItemSize();
}

bool DuplicatesGroup::isInHiddenCategory() const {
    const auto category = getCategory();
    return category && category->isHiddenCategory();
}

bool DuplicatesGroup::isHasItem(const DuplicateItem& item) const {
    if (isInHiddenCategory()) return true;
    return m_pContent && m_pContent->containsItem(&item);
}

bool DuplicatesGroup::isFolderGroup() const {
    const auto category = getCategory();
    return category && category->getType() == FileCategory::folders;
}

namespace {

// Walks the tree with a stack of its own: folders may nest deeper than the
// call stack would take.
bool anyFileComparedInPart(const FileSystemItem& top) {
    std::vector<const FileSystemItem*> pending{&top};
    while (!pending.empty()) {
        const FileSystemItem* item = pending.back();
        pending.pop_back();
        if (!item->isDir()) {
            if (item->isComparedInPart()) return true;
            continue;
        }
        for (const auto& child : static_cast<const FolderSystemItem*>(item)->childrenArray())
            pending.push_back(child.get());
    }
    return false;
}

}  // namespace

bool DuplicatesGroup::isComparedInPart() const {
    const std::vector<FileSystemItem*> items = getFileSystemItems();
    return !items.empty() && anyFileComparedInPart(*items.front());
}

const std::string& DuplicatesGroup::getGroupName() const {
    calculateGroupCachedData();
    return m_groupName->name;
}

const std::string& DuplicatesGroup::getGroupNameWithoutExtension() const {
    calculateGroupCachedData();
    return m_groupName->nameWithoutExtension;
}

const std::string& DuplicatesGroup::getGroupExtension() const {
    calculateGroupCachedData();
    return m_groupName->extension;
}

void DuplicatesGroup::calculateGroupCachedData() const {
    if (m_groupName) return;
    m_groupName = std::make_unique<GroupName>();
    const auto items = getItems();
    if (items.empty()) return;

    // The first copy whose name does not look like a copy stands for the group.
    const DuplicateItem* chosen = items.front().get();
    for (const auto& item : items) {
        const std::string name = item->getName();
        const bool wholeName = item->isDirectory() && !item->isPackage();
        const std::string_view baseName = wholeName ? std::string_view(name) : platform::nameWithoutExtension(name);
        if (AutoSelectName::isOriginalName(baseName)) {
            chosen = item.get();
            break;
        }
    }
    m_groupName->name = chosen->getDisplayName();
    m_groupName->nameWithoutExtension = std::string(platform::nameWithoutExtension(m_groupName->name));
    m_groupName->extension = AutoSelectName::lowercasedName(platform::pathExtension(m_groupName->name));
}

std::shared_ptr<DuplicateItem> DuplicatesGroup::addFileItem(FileSystemItem* fileItem) {
    if (!m_pContent) return nullptr;
    const auto self = shared_from_this();
    clearGroupCachedData();
    notifyListenerThatGroupWillChange();
    auto item = m_pContent->addItem(fileItem);
    notifyListenerThatGroupDidChange();
    recalculateIsFullyInDuplicatesFolders();
    return item;
}

void DuplicatesGroup::removeDuplicateItem(const std::shared_ptr<DuplicateItem>& item) {
    if (!m_pContent || !item || !m_pContent->containsItem(item.get())) return;
    const auto self = shared_from_this();
    clearGroupCachedData();
    notifyListenerThatGroupWillChange();
    removeItemFromSelectionAndContent(item);
    notifyListenerThatGroupDidChange();
    recalculateIsFullyInDuplicatesFolders();
}

void DuplicatesGroup::removeItemFromSelectionAndContent(const std::shared_ptr<DuplicateItem>& item) {
    m_pSelection->removeItem(item);
    m_pContent->removeItem(item);
}

void DuplicatesGroup::removeEntry(const std::shared_ptr<DuplicateItem>& item) {
    removeEntryWithSubItems(item, true);
}

void DuplicatesGroup::removeEntryWithSubItems(const std::shared_ptr<DuplicateItem>& item,
                                                                          bool withSubItems) {
    if (!m_pContent || !item || !m_pContent->containsItem(item.get())) return;
    const auto self = shared_from_this();
    const FileSystemItem* fileItem = item->getFileSystemItem();
    if (withSubItems && fileItem != nullptr && fileItem->isDir()) {
        for (FileSystemItem* below : static_cast<const FolderSystemItem*>(fileItem)->duplicatesDeepArray()) {
            DuplicateItem* entry = below->getDuplicateItem();
            if (entry == nullptr) continue;
            auto strong = entry->weak_from_this().lock();
            if (!strong) continue;
            if (const auto group = strong->getGroup())
                group->removeEntryWithSubItems(strong, false);
        }
    }
    removeDuplicateItem(item);
}

std::shared_ptr<DuplicatesGroup> DuplicatesGroup::moveToCategory(const std::shared_ptr<DuplicatesCategory>& target) {
    const auto category = getCategory();
    if (!target || !category) return nullptr;
    const auto self = shared_from_this();
    std::vector<FileSystemItem*> items = getFileSystemItems();
    // A group whose every copy was refused (all inside packages) still knows
    // the items it was made of until it has settled.
    if (items.empty()) items = m_arrFileSystemItems;
    category->removeGroup(self);
    return target->addGroupWithItems(items);
}

void DuplicatesGroup::updateGroupInfo() {
    if (!m_pContent) return;
    notifyListenerThatGroupWillChange();
    m_pContent->updateInfo();
    notifyListenerThatGroupDidChange();
}

void DuplicatesGroup::updateAfterItemMovedIntoOrOutOfDuplicateFolder(const std::shared_ptr<DuplicateItem>& item) {
    if (!m_pContent || !item || !m_pContent->containsItem(item.get())) return;
    const auto self = shared_from_this();
    notifyListenerThatGroupWillChange();
    m_pContent->updateAfterItemMovedIntoOrOutOfDuplicateFolder(*item);
    m_pSelection->updateItemAfterMovedToOrFromFolderDuplicates(*item);
    notifyListenerThatGroupDidChange();
    recalculateIsFullyInDuplicatesFolders();
}

bool DuplicatesGroup::calculateIsFullyInDuplicatesFolders() const {
    if (m_bIsPackageContent || !m_pContent || m_pContent->getItems().empty()) return true;
    const auto& items = m_pContent->getItems();
    return std::all_of(items.begin(), items.end(),
                       [](const auto& item) { return item->getAssociatedDuplicateFolder() != nullptr; });
}

void DuplicatesGroup::recalculateIsFullyInDuplicatesFolders() {
    const bool fully = calculateIsFullyInDuplicatesFolders();
    if (fully == m_bIsFullyInDuplicatesFolders) return;
    m_bIsFullyInDuplicatesFolders = fully;
    const auto self = shared_from_this();
    const auto container = getContainer();
    if (!container) return;  // the hidden and the scratch category have none
    if (fully) {
        if (!isInHiddenCategory()) moveToCategory(container->getHiddenCategoryOfDuplicates());
    } else if (isInHiddenCategory()) {
        const auto items = getItems();
        if (!items.empty())
            moveToCategory(container->getCategoryWithType(items.front()->getTypeUsingFileSystemItem()));
    }
}

bool DuplicatesGroup::selectItemForced(const std::shared_ptr<DuplicateItem>& item, bool forced) {
    return m_pSelection->selectItemForced(item, forced);
}

void DuplicatesGroup::deselectItem(const std::shared_ptr<DuplicateItem>& item) { m_pSelection->deselectItem(item); }

void DuplicatesGroup::deselectAllItems() { m_pSelection->deselectAllItems(); }

void DuplicatesGroup::BeginSelectionGroup() { GroupSelection::BeginSelectionGroup(); }

void DuplicatesGroup::EndSelectionGroup() { GroupSelection::EndSelectionGroup(); }

void DuplicatesGroup::sendNotificationThatSelectionChangedIfNeeded() {
    GroupSelection::sendNotificationThatSelectionChangedIfNeeded();
}

void DuplicatesGroup::notifyListenerThatGroupWillChange() {
    if (m_nNotificationDeep++ != 0) return;
    if (const auto listener = m_pListener.lock()) listener->onGroupWillChange(*this);
}

void DuplicatesGroup::notifyListenerThatGroupDidChange() {
    if (m_nNotificationDeep == 0 || --m_nNotificationDeep != 0) return;
    if (const auto listener = m_pListener.lock()) listener->onGroupDidChange(*this);
}

void DuplicatesGroup::onGroupAddedToCategory(const std::shared_ptr<DuplicatesCategory>& category) {
    if (!m_bCanBeAddedToCategory || m_pContent || !category) return;
    const auto self = shared_from_this();
    m_pCategory = category;
    m_bCanBeAddedToCategory = false;

    m_pContent = std::make_unique<GroupContent>(self);
    notifyListenerThatGroupWillChange();
    m_pContent->reserveItems(m_arrFileSystemItems.size());
    for (FileSystemItem* fileItem : m_arrFileSystemItems) m_pContent->addItem(fileItem);
    notifyListenerThatGroupDidChange();

    const auto& items = m_pContent->getItems();
    m_bIsPackageContent = std::all_of(items.begin(), items.end(), [](const auto& item) {
        const FileSystemItem* fileItem = item->getFileSystemItem();
        return fileItem == nullptr || fileItem->isInPackage();
    });
    recalculateIsFullyInDuplicatesFolders();
    m_arrFileSystemItems.clear();
    m_arrFileSystemItems.shrink_to_fit();
}

void DuplicatesGroup::onGroupRemovedFromCategory() {
    const auto self = shared_from_this();
    notifyListenerThatGroupWillChange();
    m_pCategory.reset();
    if (m_pContent) {
        const auto items = m_pContent->getItems();
        for (auto it = items.rbegin(); it != items.rend(); ++it) removeItemFromSelectionAndContent(*it);
        m_pContent.reset();
    }
    notifyListenerThatGroupDidChange();
    clearGroupCachedData();
}

}  // namespace kestrane
