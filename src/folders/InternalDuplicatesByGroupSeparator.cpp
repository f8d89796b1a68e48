#include "folders/InternalDuplicatesByGroupSeparator.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "scan/FolderSystemItem.h"

#include <algorithm>
#include <unordered_set>

namespace kestrane {

namespace {

std::shared_ptr<DuplicateItem> entryOf(const FileSystemItem* item) {
    DuplicateItem* entry = item ? item->getDuplicateItem() : nullptr;
    return entry ? entry->weak_from_this().lock() : nullptr;
}

std::shared_ptr<DuplicatesGroup> groupOf(const InternalDuplicatesByGroupSeparator::Items& items) {
    for (const auto& item : items)
        if (auto group = item->getGroup()) return group;
    return nullptr;
}

}  // namespace

InternalDuplicatesByGroupSeparator::InternalDuplicatesByGroupSeparator(CollectionType type)
    : m_type(type), m_skipMainFolder(type == CollectionType::description) {}

InternalDuplicatesByGroupSeparator::InternalDuplicatesByGroupSeparator(const FolderSystemItem* folder,
                                                                       CollectionType type)
    : InternalDuplicatesByGroupSeparator(type) {
    addFolder(folder);
    if (type == CollectionType::description) {
        removeFullGroupsWithAction([this](const std::shared_ptr<DuplicatesGroup>&, const Items& items) {
            for (const auto& item : items)
                if (FileSystemItem* file = item->getFileSystemItem()) m_otherItems.push_back(file);
        });
    }
}

InternalDuplicatesByGroupSeparator InternalDuplicatesByGroupSeparator::duplicatesWithExternalCopies(
    const FolderSystemItem& folder) {
    // What the folder tree computes bottom up, for one folder at once: the
    // copies below, without the groups held whole, and then the folder
    // itself when it is a duplicate folder (which always counts itself).
    InternalDuplicatesByGroupSeparator separator;
    separator.m_skipMainFolder = true;
    separator.addFolder(&folder);
    separator.removeFullGroups();
    separator.addFileItem(&folder);
    return separator;
}

void InternalDuplicatesByGroupSeparator::addFolder(const FolderSystemItem* folder) {
    if (folder == nullptr) return;
    std::vector<const FileSystemItem*> stack{folder};
    while (!stack.empty()) {
        const FileSystemItem* item = stack.back();
        stack.pop_back();
        if (!m_skipMainFolder) {
            if (auto entry = entryOf(item)) {
                addItem(entry);
                if (!collectAllDuplicates()) continue;
            }
        }
        m_skipMainFolder = false;
        if (!item->isDir()) continue;
        for (const auto& child : static_cast<const FolderSystemItem*>(item)->childrenArray()) {
            if (child->isDir() && !child->isPackage()) {
                stack.push_back(child.get());
            } else if (auto entry = entryOf(child.get())) {
                addItem(entry);
            } else if (collectOtherFiles()) {
                m_otherItems.push_back(child.get());
            }
        }
    }
}

void InternalDuplicatesByGroupSeparator::addChildrenOfFolder(const FolderSystemItem* folder) {
    if (folder == nullptr) return;
    for (const auto& child : folder->childrenArray())
        if (!child->isDir() || child->isPackage()) addFileItem(child.get());
}

void InternalDuplicatesByGroupSeparator::addFileItem(const FileSystemItem* item) {
    addItem(entryOf(item));
}

void InternalDuplicatesByGroupSeparator::addItem(const std::shared_ptr<DuplicateItem>& item) {
    if (!item || item->getAssociatedDuplicateFolder()) return;
    const auto group = item->getGroup();
    if (!group) return;
    m_duplicatesByGroups[group->getGroupID()].push_back(item);
}

void InternalDuplicatesByGroupSeparator::addItemInsideDuplicateFolder(const std::shared_ptr<DuplicateItem>& item) {
    const auto group = item ? item->getGroup() : nullptr;
    if (group) addItems(Items{item}, group->getGroupID());
}

void InternalDuplicatesByGroupSeparator::addItems(const Items& items, std::uint64_t groupID) {
    if (items.empty()) return;
    auto [it, added] = m_duplicatesByGroups.try_emplace(groupID);
    Items& kept = it->second;
    if (added || kept.empty()) {
        kept = items;
        return;
    }
    std::unordered_set<const DuplicateItem*> present;
    present.reserve(kept.size() + items.size());
    for (const auto& item : kept) present.insert(item.get());
    for (const auto& item : items)
        if (present.insert(item.get()).second) kept.push_back(item);
}

void InternalDuplicatesByGroupSeparator::addItems(Items&& items, std::uint64_t groupID) {
    if (items.empty()) return;
    auto [it, added] = m_duplicatesByGroups.try_emplace(groupID);
    if (added || it->second.empty()) {
        it->second = std::move(items);
        return;
    }
    addItems(static_cast<const Items&>(items), groupID);
}

void InternalDuplicatesByGroupSeparator::addSeparator(const InternalDuplicatesByGroupSeparator& other) {
    for (const auto& [groupID, items] : other.m_duplicatesByGroups) addItems(items, groupID);
}

void InternalDuplicatesByGroupSeparator::addSeparator(InternalDuplicatesByGroupSeparator&& other) {
    for (auto& [groupID, items] : other.m_duplicatesByGroups) addItems(std::move(items), groupID);
    other.m_duplicatesByGroups.clear();
}

void InternalDuplicatesByGroupSeparator::removeGroup(std::uint64_t groupID) {
    m_duplicatesByGroups.erase(groupID);
}

void InternalDuplicatesByGroupSeparator::removeFullGroupsWithAction(
    const std::function<void(const std::shared_ptr<DuplicatesGroup>&, const Items&)>& action) {
    for (auto it = m_duplicatesByGroups.begin(); it != m_duplicatesByGroups.end();) {
        ++m_countOfRemovedFullGroups;
        const auto group = groupOf(it->second);
        const std::uint64_t total = group ? group->getTotalCount() : 0;
        const std::uint64_t inFolders = group ? group->getItemsCountInDuplicatesFolders() : 0;
        const std::uint64_t outsideFolders = total > inFolders ? total - inFolders : 0;
        if (it->second.size() >= outsideFolders) {
            if (action) action(group, it->second);
            it = m_duplicatesByGroups.erase(it);
        } else {
            ++it;
        }
    }
}

InternalDuplicatesByGroupSeparator::Items InternalDuplicatesByGroupSeparator::allDuplicates() const {
    Items all;
    all.reserve(countOfDuplicates());
    enumerate([&](const std::shared_ptr<DuplicatesGroup>&, const Items& items) {
        all.insert(all.end(), items.begin(), items.end());
    });
    return all;
}

std::uint64_t InternalDuplicatesByGroupSeparator::countOfDuplicates() const {
    std::uint64_t count = 0;
    for (const auto& [groupID, items] : m_duplicatesByGroups) count += items.size();
    return count;
}

const InternalDuplicatesByGroupSeparator::Items* InternalDuplicatesByGroupSeparator::itemsOfGroup(
    std::uint64_t groupID) const {
    const auto found = m_duplicatesByGroups.find(groupID);
    return found == m_duplicatesByGroups.end() ? nullptr : &found->second;
}

void InternalDuplicatesByGroupSeparator::enumerate(
    const std::function<void(const std::shared_ptr<DuplicatesGroup>&, const Items&)>& visit) const {
    // By group ID, so that what is done group by group happens in the same
    // order on every run.
    std::vector<std::uint64_t> ids;
    ids.reserve(m_duplicatesByGroups.size());
    for (const auto& [groupID, items] : m_duplicatesByGroups) ids.push_back(groupID);
    std::sort(ids.begin(), ids.end());
    for (const std::uint64_t id : ids) {
        const Items& items = m_duplicatesByGroups.at(id);
        if (const auto group = groupOf(items)) visit(group, items);
    }
}

void InternalDuplicatesByGroupSeparator::enumerateWithAbilityToMutate(
    const std::function<void(const std::shared_ptr<DuplicatesGroup>&, const Items&)>& visit) const {
    const InternalDuplicatesByGroupSeparator snapshot = *this;
    snapshot.enumerate(visit);
}

}  // namespace kestrane
