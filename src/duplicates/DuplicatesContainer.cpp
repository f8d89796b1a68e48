#include "duplicates/DuplicatesContainer.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/FileCategory.h"
#include "duplicates/GroupSelection.h"
#include "duplicates/HeapsCollection.h"
#include "platform/NotificationCenter.h"
#include "scan/ExcludeChecker.h"
#include "scan/VolumeSystemItem.h"

#include <unordered_set>

namespace kestrane {

namespace {

std::shared_ptr<DuplicateItem> strongEntry(const FileSystemItem* item) {
    DuplicateItem* entry = item->getDuplicateItem();
    return entry != nullptr ? entry->weak_from_this().lock() : nullptr;
}

// Takes the entry of the item, and every entry below it, out of their groups.
void removeEntriesOfFileItem(FileSystemItem* item) {
    if (item->isDir()) {
        for (FileSystemItem* below : static_cast<FolderSystemItem*>(item)->duplicatesDeepArray()) {
            // Read now: a group that moved meanwhile gave the item a new entry.
            const auto entry = strongEntry(below);
            if (!entry) continue;
            if (const auto group = entry->getGroup())
                group->removeEntryWithSubItems(entry, false);
        }
    }
    const auto entry = strongEntry(item);
    if (!entry) return;
    if (const auto group = entry->getGroup()) group->removeEntryWithSubItems(entry, false);
}

// The items that have no ancestor among the items.
std::vector<FileSystemItem*> topmostItems(const std::vector<FileSystemItem*>& items) {
    const std::unordered_set<const FileSystemItem*> all(items.begin(), items.end());
    std::unordered_set<const FileSystemItem*> taken;
    std::vector<FileSystemItem*> top;
    for (FileSystemItem* item : items) {
        bool covered = false;
        for (const FileSystemItem* parent = item->parent(); parent != nullptr && !covered; parent = parent->parent())
            covered = all.contains(parent);
        if (!covered && taken.insert(item).second) top.push_back(item);
    }
    return top;
}

}  // namespace

std::shared_ptr<DuplicatesContainer> DuplicatesContainer::create(std::shared_ptr<HeapsCollection> heaps,
                                                                 std::shared_ptr<const ExcludeChecker> excludeChecker) {
    auto container = std::make_shared<DuplicatesContainer>(Key{}, std::move(heaps), std::move(excludeChecker));
    container->createCategories();
    return container;
}

DuplicatesContainer::DuplicatesContainer(Key, std::shared_ptr<HeapsCollection> heaps,
                                         std::shared_ptr<const ExcludeChecker> excludeChecker)
    : m_pHeaps(std::move(heaps)), m_pExcludeChecker(std::move(excludeChecker)) {}

DuplicatesContainer::~DuplicatesContainer() {
    // The categories no longer reach this container, so nothing moves or is reported.
    m_pSmallDuplicatesCategory->removeAllGroups();
    m_pHiddenCategoryOfDuplicates->removeAllGroups();
    for (const auto& category : m_fileCategories) category->removeAllGroups();
    m_allFilesGroups.clear();
}

void DuplicatesContainer::createCategories() {
    const std::weak_ptr<DuplicatesCategoryListener> listener = weak_from_this();
    for (const FileCategory type : kAllFileCategories)
        m_fileCategories[type] = DuplicatesCategory::create(type, listener, DuplicatesCategory::Role::file);
    m_pHiddenCategoryOfDuplicates = DuplicatesCategory::create(std::nullopt, {}, DuplicatesCategory::Role::hidden);
    m_pSmallDuplicatesCategory = DuplicatesCategory::create(std::nullopt, {}, DuplicatesCategory::Role::scratch);
}

void DuplicatesContainer::attachToQueue(const platform::DispatchQueue& queue) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_queueChecker.attach(queue);
    if (m_pHeaps) m_pHeaps->attachToQueue(queue);
}

std::shared_ptr<DuplicatesCategory> DuplicatesContainer::getCategoryWithType(std::optional<FileCategory> type) const {
    if (!type) return nullptr;
    return m_fileCategories[*type];
}

std::vector<std::shared_ptr<DuplicatesCategory>> DuplicatesContainer::getCategories() const {
    std::vector<std::shared_ptr<DuplicatesCategory>> categories(m_fileCategories.begin(),
                                                                m_fileCategories.end());
    categories.push_back(m_pHiddenCategoryOfDuplicates);
    return categories;
}

std::vector<std::shared_ptr<DuplicatesGroup>> DuplicatesContainer::getAllFilesGroups() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    std::vector<std::shared_ptr<DuplicatesGroup>> groups;
    groups.reserve(m_allFilesGroups.size());
    for (const auto& [id, group] : m_allFilesGroups) groups.push_back(group);
    return groups;
}

std::shared_ptr<DuplicatesGroup> DuplicatesContainer::addGroupWithItems(const std::vector<FileSystemItem*>& items) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (items.size() < 2 || items.front() == nullptr) return nullptr;
    const FileSystemItem* first = items.front();
    const std::optional<FileCategory> type =
        first->isDir() && !first->isPackage() ? FileCategory::folders : typeOfFileAtPath(first->name());
    const auto category = getCategoryWithType(type);
    return category ? category->addGroupWithItems(items) : nullptr;
}

std::int64_t DuplicatesContainer::getAllFilesSize() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    std::int64_t sum = 0;
    for (const auto& category : m_fileCategories) sum += category->getTotalSize();
    return sum;
}

std::int64_t DuplicatesContainer::getItemsCountInRemoveList() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    std::int64_t sum = 0;
    for (const auto& category : m_fileCategories) sum += category->getCountOfActualSelectedItems();
    return sum;
}

std::int64_t DuplicatesContainer::getRemoveListTotalSize() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    std::int64_t sum = 0;
    for (const auto& category : m_fileCategories) sum += category->getTotalSelectedSize();
    return sum;
}

std::vector<std::shared_ptr<DuplicateItem>> DuplicatesContainer::buildRemoveListWithFolders(bool withFolders) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    std::vector<std::shared_ptr<DuplicateItem>> list;
    for (const auto& category : getCategories()) {
        if (!withFolders && category->getType() == FileCategory::folders) continue;
        for (const auto& group : category->getGroups())
            for (const auto& item : group->getSelectedItems())
                if (!item->getAssociatedDuplicateFolder()) list.push_back(item);
    }
    return list;
}

void DuplicatesContainer::deselectAllItems() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    SelectionBatch batch;
    for (const auto& category : getCategories())
        for (const auto& group : category->getGroups()) group->deselectAllItems();
}

void DuplicatesContainer::deselectItemsInFolders(const std::vector<FolderSystemItem*>& folders) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    SelectionBatch batch;
    for (const FolderSystemItem* folder : folders) {
        if (folder == nullptr) continue;
        for (const FileSystemItem* below : folder->duplicatesDeepArray())
            if (const auto entry = strongEntry(below)) entry->deselectItem();
    }
}

void DuplicatesContainer::restoreRemoveListTo(const std::vector<std::shared_ptr<DuplicateItem>>& items) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    SelectionBatch batch;
    deselectAllItems();
    for (const auto& item : items)
        if (item) item->selectItemForced(true);
}

void DuplicatesContainer::deselectFullySelectedGroups() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    SelectionBatch batch;
    for (const auto& category : m_fileCategories) {
        for (const auto& group : category->getGroups()) {
            const std::uint64_t total = group->getTotalCount();
            if (total > 0 && group->getSelectedCountWithDuplicatesFolderContent() == total) group->deselectAllItems();
        }
    }
}

void DuplicatesContainer::saveRoots(std::vector<std::shared_ptr<VolumeSystemItem>> roots) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_roots = std::move(roots);
}

void DuplicatesContainer::updateRoots() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    for (const auto& root : m_roots)
        if (root) root->calculateTotalSize();
}

std::vector<FileSystemItem*> DuplicatesContainer::findSystemItemWithPath(std::string_view path) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    std::vector<FileSystemItem*> found;
    std::string wanted(path);
    if (wanted.empty() || wanted.back() != '/') wanted.push_back('/');
    for (const auto& root : m_roots) {
        if (!root) continue;
        std::string rootPath = root->path();
        if (rootPath.empty() || rootPath.back() != '/') rootPath.push_back('/');
        if (rootPath.starts_with(wanted)) {
            // The root lies inside the path (or is it).
            found.push_back(root.get());
            continue;
        }
        if (!wanted.starts_with(rootPath) || rootPath.size() + 2 > wanted.size()) continue;
        // The root contains the path: walk down to it.
        FileSystemItem* item = root.get();
        std::string_view rest = std::string_view(wanted).substr(rootPath.size());
        while (item != nullptr && !rest.empty()) {
            const std::size_t slash = rest.find('/');
            const std::string_view component = rest.substr(0, slash);
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
            if (component.empty()) continue;
            item = item->isDir() ? static_cast<FolderSystemItem*>(item)->childWithName(component) : nullptr;
        }
        if (item != nullptr) found.push_back(item);
        break;
    }
    return found;
}

FileSystemItem* DuplicatesContainer::findExistedSystemItemWithPath(std::string_view path) const {
    const auto found = findSystemItemWithPath(path);
    return found.size() == 1 ? found.front() : nullptr;
}

void DuplicatesContainer::markAsDuplicatesFolderAndFolder(FolderSystemItem* folderA, FolderSystemItem* folderB) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (folderA == nullptr || folderB == nullptr || folderA == folderB) return;
    deselectItemsInFolders({folderA, folderB});
    const auto entryA = strongEntry(folderA);
    const auto entryB = strongEntry(folderB);
    const auto groupA = entryA ? entryA->getGroup() : nullptr;
    const auto groupB = entryB ? entryB->getGroup() : nullptr;
    if (groupA && groupB) {
        // Both already have groups: one group of both (the category merges them).
        if (groupA != groupB) addGroupWithItems({folderA, folderB});
    } else if (groupA) {
        groupA->addFileItem(folderB);
    } else if (groupB) {
        groupB->addFileItem(folderA);
    } else {
        addGroupWithItems({folderA, folderB});
    }
}

void DuplicatesContainer::removeEntries(const std::vector<std::shared_ptr<DuplicateItem>>& items) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    std::vector<FileSystemItem*> fileItems;
    fileItems.reserve(items.size());
    for (const auto& item : items)
        if (item && item->getFileSystemItem() != nullptr) fileItems.push_back(item->getFileSystemItem());
    removeFileItems(fileItems, true);
}

void DuplicatesContainer::removeFileItems(
    const std::vector<FileSystemItem*>& items, bool recalculateParent) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    // Items below another listed folder go with it; work that out while every item is alive.
    const auto top = topmostItems(items);
    for (FileSystemItem* item : top) removeEntriesOfFileItem(item);
    removeFileItemsFromTree(top, recalculateParent);
}

void DuplicatesContainer::removeFileItemsFromTree(const std::vector<FileSystemItem*>& items, bool recalculateParent) {
    for (FileSystemItem* item : items) {
        FolderSystemItem* parent = item->parent();
        if (parent == nullptr) continue;  // a scanned root stays
        forgetOtherNamesWithin(*item);
        if (recalculateParent)
            parent->removeChildAndRecalc(item);
        else
            parent->removeChild(item);
    }
}

void DuplicatesContainer::removeGroupsOfFewerThanTwoCopies() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    const auto& folders = m_fileCategories[FileCategory::folders];
    while (folders->removeEmptyGroups() > 0) {
    }
    for (const FileCategory type : kFileContentCategories) m_fileCategories[type]->removeEmptyGroups();
    m_pHiddenCategoryOfDuplicates->removeEmptyGroups();
}

void DuplicatesContainer::refreshAssociationsToRemovedFolders() {
    for (const auto& category : getCategories()) {
        for (const auto& group : category->getGroups()) {
            for (const auto& item : group->getItems()) {
                if (!group->hasContent()) break;  // the group moved on
                if (item->isCountedInGoneDuplicateFolder()) item->updateAssociatedDuplicateFolder();
            }
        }
    }
}

void DuplicatesContainer::validateEmptyDataAfterRemoveWithListener(
    const std::shared_ptr<HeapsValidateProgressListener>& listener) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    const auto self = shared_from_this();
    removeGroupsOfFewerThanTwoCopies();
    refreshAssociationsToRemovedFolders();

    for (const auto& group : m_pHiddenCategoryOfDuplicates->getGroups()) {
        if (!m_pHiddenCategoryOfDuplicates->containsGroup(*group) || group->calculateIsFullyInDuplicatesFolders())
            continue;
        const auto items = group->getItems();
        if (items.empty()) continue;
        if (const auto target = getCategoryWithType(items.front()->getTypeUsingFileSystemItem()))
            group->moveToCategory(target);
    }

    const auto groups = getAllFilesGroups();
    for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
        const auto& group = *it;
        if (!m_allFilesGroups.contains(group->getGroupID())) continue;
        if (group->calculateIsFullyInDuplicatesFolders()) group->moveToCategory(m_pHiddenCategoryOfDuplicates);
    }

    if (m_pHeaps) m_pHeaps->validateEmptyDataAfterRemoveWithListener(listener);
    postDataChangedNotification();
}

void DuplicatesContainer::postDataChangedNotification() const {
    platform::NotificationCenter::defaultCenter().post(kDuplicatesContainerDataChangedNotification, {}, this);
}

void DuplicatesContainer::onGroupAddedToCategory(const std::shared_ptr<DuplicatesGroup>& group, DuplicatesCategory&) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_allFilesGroups.emplace(group->getGroupID(), group);
    if (m_pHeaps) m_pHeaps->addGroup(group);
}

void DuplicatesContainer::onGroupWillBeRemovedFromCategory(const std::shared_ptr<DuplicatesGroup>& group,
                                                         DuplicatesCategory&) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    // A group that moved on while being attached was never announced.
    if (m_pHeaps && m_allFilesGroups.contains(group->getGroupID())) m_pHeaps->removeGroup(group);
}

void DuplicatesContainer::onGroupWasRemovedFromCategory(const std::shared_ptr<DuplicatesGroup>& group,
                                                        DuplicatesCategory&) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_allFilesGroups.erase(group->getGroupID());
}

void DuplicatesContainer::addOtherNames(const FileSystemItem* item, std::vector<FileSystemItem*> names) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (names.empty()) return;
    m_nOtherNamesCount += names.size();
    auto& list = m_otherNames[item];
    list.insert(list.end(), names.begin(), names.end());
}

void DuplicatesContainer::forgetOtherNamesWithin(const FileSystemItem& item) {
    if (m_otherNames.empty()) return;
    std::unordered_set<const FileSystemItem*> going{&item};
    if (item.isDir())
        for (const FileSystemItem* below : static_cast<const FolderSystemItem&>(item).childrenDeepArray())
            going.insert(below);
    for (auto it = m_otherNames.begin(); it != m_otherNames.end();) {
        if (going.contains(it->first)) {
            it = m_otherNames.erase(it);
            continue;
        }
        std::erase_if(it->second, [&](const FileSystemItem* name) { return going.contains(name); });
        it = it->second.empty() ? m_otherNames.erase(it) : std::next(it);
    }
}

const std::vector<FileSystemItem*>* DuplicatesContainer::getOtherNames(const FileSystemItem* item) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    const auto it = m_otherNames.find(item);
    return it == m_otherNames.end() ? nullptr : &it->second;
}

}  // namespace kestrane
