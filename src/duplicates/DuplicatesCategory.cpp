#include "duplicates/DuplicatesCategory.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "scan/FileSystemItem.h"

#include <algorithm>
#include <unordered_set>

namespace kestrane {

std::shared_ptr<DuplicatesCategory> DuplicatesCategory::create(std::optional<FileCategory> type,
                                                               std::weak_ptr<DuplicatesCategoryListener> listener,
                                                               Role role) {
    return std::make_shared<DuplicatesCategory>(Key{}, type, std::move(listener), role);
}

DuplicatesCategory::DuplicatesCategory(Key, std::optional<FileCategory> type, std::weak_ptr<DuplicatesCategoryListener> listener,
                                       Role role)
    : m_eType(type), m_eRole(role), m_pListener(std::move(listener)) {}

DuplicatesCategory::~DuplicatesCategory() = default;

std::shared_ptr<DuplicatesContainer> DuplicatesCategory::getContainer() const {
    const auto listener = m_pListener.lock();
    return listener ? listener->getContainer() : nullptr;
}

std::vector<std::shared_ptr<DuplicatesGroup>> DuplicatesCategory::getGroups() const {
    std::vector<std::shared_ptr<DuplicatesGroup>> groups;
    groups.reserve(m_groups.size());
    for (const auto& [id, group] : m_groups) groups.push_back(group);
    return groups;
}

bool DuplicatesCategory::containsGroup(const DuplicatesGroup& group) const {
    const auto found = m_groups.find(group.getGroupID());
    return found != m_groups.end() && found->second.get() == &group;
}

std::vector<FileSystemItem*> DuplicatesCategory::prepareItemsForGroupCreation(
    const std::vector<FileSystemItem*>& items) {
    std::vector<std::shared_ptr<DuplicatesGroup>> overlapping;
    for (const FileSystemItem* item : items) {
        const DuplicateItem* entry = item->getDuplicateItem();
        if (entry == nullptr) continue;
        auto group = entry->getGroup();
        if (group && std::find(overlapping.begin(), overlapping.end(), group) == overlapping.end())
            overlapping.push_back(std::move(group));
    }
    if (overlapping.empty()) return items;

    std::vector<FileSystemItem*> merged;
    std::unordered_set<const FileSystemItem*> seen;
    auto append = [&](FileSystemItem* item) {
        if (item != nullptr && seen.insert(item).second) merged.push_back(item);
    };
    for (FileSystemItem* item : items) append(item);
    for (const auto& group : overlapping)
        for (FileSystemItem* item : group->getFileSystemItems()) append(item);
    for (const auto& group : overlapping)
        if (const auto category = group->getCategory()) category->removeGroup(group);
    return merged;
}

std::shared_ptr<DuplicatesGroup> DuplicatesCategory::addGroupWithItems(const std::vector<FileSystemItem*>& items) {
    if (items.size() < 2) return nullptr;
    const auto self = shared_from_this();
    auto group = DuplicatesGroup::create(prepareItemsForGroupCreation(items), self);
    m_groups.emplace(group->getGroupID(), group);
    group->onGroupAddedToCategory(self);
    if (containsGroup(*group)) {
        if (const auto listener = m_pListener.lock()) listener->onGroupAddedToCategory(group, *this);
        return group;
    }
    // Attaching moved the group on (to the hidden category): the copies know where.
    for (const FileSystemItem* item : items)
        if (const DuplicateItem* entry = item->getDuplicateItem())
            if (auto moved = entry->getGroup()) return moved;
    return nullptr;
}

void DuplicatesCategory::removeGroup(const std::shared_ptr<DuplicatesGroup>& group) {
    if (!group || !containsGroup(*group)) return;
    const auto self = shared_from_this();
    const auto keepAlive = group;
    const auto listener = m_pListener.lock();
    if (listener) listener->onGroupWillBeRemovedFromCategory(group, *this);
    m_groups.erase(group->getGroupID());
    group->onGroupRemovedFromCategory();
    if (listener) listener->onGroupWasRemovedFromCategory(group, *this);
}

void DuplicatesCategory::removeGroupWithNotification(const std::shared_ptr<DuplicatesGroup>& group,
                                                     bool withNotification) {
    removeGroup(group);
    if (!withNotification) return;
    if (const auto container = getContainer()) container->postDataChangedNotification();
}

std::size_t DuplicatesCategory::removeEmptyGroups() {
    std::size_t removed = 0;
    for (const auto& group : getGroups()) {
        if (group->getTotalCount() >= 2 || !containsGroup(*group)) continue;
        removeGroup(group);
        ++removed;
    }
    return removed;
}

void DuplicatesCategory::removeAllGroups() {
    for (const auto& group : getGroups()) removeGroup(group);
}

void DuplicatesCategory::updateCategoryInfo() {
    for (const auto& group : getGroups()) group->updateGroupInfo();
}

void DuplicatesCategory::applyGroupFigures(const DuplicatesGroup& group, std::int64_t sign) {
    auto apply = [sign](std::int64_t& counter, std::uint64_t value) {
        counter += sign * static_cast<std::int64_t>(value);
        if (counter < 0) counter = 0;
    };
    apply(m_nTotalSize, group.getTotalSize());
    apply(m_nSelectedSize, group.getSelectedSize());
    apply(m_nSizeThatCanBeRemoved, group.getSizeThatCanBeRemoved());
    apply(m_nTotalCount, group.getTotalCount());
    apply(m_nActualSelectedCount, group.getActualSelectedCount());
    apply(m_nSelectedCountWithDuplicatesFolderContent, group.getSelectedCountWithDuplicatesFolderContent());
}

void DuplicatesCategory::onGroupWillChange(const DuplicatesGroup& group) { applyGroupFigures(group, -1); }

void DuplicatesCategory::onGroupDidChange(const DuplicatesGroup& group) { applyGroupFigures(group, +1); }

}  // namespace kestrane
