#include "log/RestoreGroup.h"

#include "log/BaseRemovedItem.h"
#include "log/FolderNames.h"
#include "log/KeptItem.h"
#include "log/PermanentlyRemovedItem.h"
#include "log/RestoreItem.h"

#include <nlohmann/json.hpp>

namespace kestrane {

std::shared_ptr<RestoreGroup> RestoreGroup::fromJson(const nlohmann::json& entry,
                                                     std::weak_ptr<RestoreGroupDataSource> dataSource,
                                                     std::shared_ptr<FolderNames> folderNames) {
    if (!entry.is_object()) return nullptr;
    auto records = [&](const char* key) {
        const auto found = entry.find(key);
        return found != entry.end() && found->is_array() ? *found : nlohmann::json::array();
    };
    std::vector<std::shared_ptr<KeptItem>> kept;
    for (const auto& record : records("kept"))
        if (auto item = KeptItem::fromRecord(record)) kept.push_back(std::move(item));
    std::vector<std::shared_ptr<BaseRemovedItem>> removed;
    for (const auto& record : records("removed"))
        if (auto item = PermanentlyRemovedItem::fromRecord(record)) removed.push_back(std::move(item));
    for (const auto& record : records("moved to trash"))
        if (auto item = RestoreItem::fromRecord(record)) removed.push_back(std::move(item));
    if (removed.empty()) return nullptr;
    return create(std::move(removed), std::move(kept), std::move(dataSource), std::move(folderNames));
}

std::shared_ptr<RestoreGroup> RestoreGroup::create(std::vector<std::shared_ptr<BaseRemovedItem>> removed,
                                                   std::vector<std::shared_ptr<KeptItem>> kept,
                                                   std::weak_ptr<RestoreGroupDataSource> dataSource,
                                                   std::shared_ptr<FolderNames> folderNames) {
    auto group = std::make_shared<RestoreGroup>(Key());
    group->m_children = std::move(removed);
    group->m_keptItems = std::move(kept);
    group->m_dataSource = std::move(dataSource);
    group->m_folderNames = std::move(folderNames);
    for (const auto& item : group->m_children) {
        item->setRemoveInfoDataSource(group);
        group->m_allOriginalPaths.insert(item->originalPath());
    }
    for (const auto& item : group->m_keptItems) {
        item->setRemoveInfoDataSource(group);
        group->m_allOriginalPaths.insert(item->originalPath());
    }
    return group;
}

std::shared_ptr<KeptItem> RestoreGroup::fakeKeptItem() const {
    std::lock_guard lock(m_mutex);
    return m_fakeKeptItem;
}

std::shared_ptr<BaseFileLogItem> RestoreGroup::calculateRestoreSourceForRemovedItem(const BaseRemovedItem& item) const {
    for (const auto& kept : m_keptItems)
        if (kept->canBeUsedToRestore()) return kept;
    for (const auto& other : m_children)
        if (other.get() != &item && other->canBeRestoredFromCurrent()) return other;
    return fakeKeptItem();
}

std::optional<std::string> RestoreGroup::calculatePathToKeptCopyForRemovedItem(const BaseRemovedItem&) const {
    for (const auto& kept : m_keptItems)
        if (kept->canBeUsedToRestore()) return kept->originalPath();
    if (!m_keptItems.empty()) return m_keptItems.front()->originalPath();
    if (const auto fake = fakeKeptItem()) return fake->originalPath();
    return std::nullopt;
}

std::vector<std::string> RestoreGroup::createKeptCopyItemsArrayForRemovedItem(const BaseRemovedItem&,
                                                                              bool onlyExisting) const {
    std::vector<std::string> paths;
    for (const auto& kept : m_keptItems)
        if (!onlyExisting || kept->canBeUsedToRestore()) paths.push_back(kept->originalPath());
    return paths;
}

void RestoreGroup::baseRemovedItemCreateFakeOriginal(const BaseRemovedItem&, const std::string& path) {
    auto fake = KeptItem::fromFile(path);
    if (fake) fake->setRemoveInfoDataSource(weak_from_this());
    {
        std::lock_guard lock(m_mutex);
        m_fakeKeptItem = std::move(fake);
    }
    for (const auto& child : m_children) {
        child->clearCache();
        child->notifyStateDidUpdate();
    }
}

void RestoreGroup::baseRemovedItemCacheHasToBeCleaned(const BaseRemovedItem&) {
    if (m_folderNames) m_folderNames->clear();
    for (const auto& kept : m_keptItems) kept->clearCache();
    if (const auto fake = fakeKeptItem()) fake->clearCache();
    for (const auto& child : m_children) child->clearCache();
}

std::optional<std::int64_t> RestoreGroup::baseFileLogItemRemoveDate() const {
    const auto dataSource = m_dataSource.lock();
    return dataSource ? dataSource->restoreGroupRestoreDate() : std::nullopt;
}

}  // namespace kestrane
