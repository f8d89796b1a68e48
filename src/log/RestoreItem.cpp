#include "log/RestoreItem.h"

#include "log/LogPaths.h"
#include "log/RestoreHelper.h"
#include "platform/SafeFileOperations.h"

#include <nlohmann/json.hpp>

namespace kestrane {

std::shared_ptr<RestoreItem> RestoreItem::fromRecord(const nlohmann::json& record) {
    if (!record.is_object()) return nullptr;
    auto pathInTrash = logPath(record, "path in trash");
    if (!pathInTrash || pathInTrash->empty()) return nullptr;
    auto item = std::make_shared<RestoreItem>(Key());
    if (!item->readRecord(record)) return nullptr;
    item->m_pathInTrash = std::move(*pathInTrash);
    return item;
}

std::optional<platform::TrashEntry> RestoreItem::findInTrash() const {
    if (platform::pathExists(m_pathInTrash) && RestoreHelper::fileMatchesItem(m_pathInTrash, *this)) {
        auto entry = platform::Trash::entryForTrashedPath(m_pathInTrash);
        if (!entry) {
            // No info file (or not a trash folder at all): the item is still
            // there all the same; restoring it removes nothing else.
            platform::TrashEntry bare;
            bare.trashedPath = m_pathInTrash;
            bare.originalPath = originalPath();
            return bare;
        }
        if (entry->originalPath == originalPath()) return entry;
    }
    platform::Trash trash;
    for (auto& entry : trash.findEntries(originalPath()))
        if (RestoreHelper::fileMatchesItem(entry.trashedPath, *this)) return std::move(entry);
    return std::nullopt;
}

std::optional<platform::TrashEntry> RestoreItem::currentTrashEntry() const {
    {
        std::lock_guard lock(m_mutex);
        if (m_isRestoreFromCurrentPossibilityCalculated) return m_trashEntry;
    }
    auto entry = findInTrash();
    std::lock_guard lock(m_mutex);
    m_trashEntry = entry;
    m_isRestoreFromCurrentPossibilityCalculated = true;
    return entry;
}

std::optional<std::string> RestoreItem::currentItemPathToRestoreFrom() const {
    if (const auto entry = currentTrashEntry()) return entry->trashedPath;
    return pathToRestoredFile();
}

void RestoreItem::clearCache() {
    BaseRemovedItem::clearCache();
    std::lock_guard lock(m_mutex);
    m_isRestoreFromCurrentPossibilityCalculated = false;
    m_trashEntry.reset();
}

}  // namespace kestrane
