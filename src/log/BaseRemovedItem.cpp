#include "log/BaseRemovedItem.h"

#include "log/KeptItem.h"
#include "log/RestoreGroup.h"
#include "log/RestoreHelper.h"

namespace kestrane {

std::optional<std::string> BaseRemovedItem::pathToRestoredFile() const {
    {
        std::lock_guard lock(m_mutex);
        if (m_pathToRestoredFile) return *m_pathToRestoredFile;
    }
    auto path = RestoreHelper::restoredFilePath(*this);
    std::lock_guard lock(m_mutex);
    m_pathToRestoredFile = path;
    return path;
}

std::optional<std::string> BaseRemovedItem::currentItemPathToRestoreFrom() const { return pathToRestoredFile(); }

std::shared_ptr<BaseFileLogItem> BaseRemovedItem::itemToRestoreFrom() const {
    {
        std::lock_guard lock(m_mutex);
        if (m_isItemToRestoreFromCached) return m_itemToRestoreFrom.lock();
    }
    std::shared_ptr<BaseFileLogItem> source;
    if (canBeRestoredFromCurrent()) {
        source = std::const_pointer_cast<BaseFileLogItem>(shared_from_this());
    } else if (const auto group = removeInfoDataSource()) {
        source = group->calculateRestoreSourceForRemovedItem(*this);
    }
    std::lock_guard lock(m_mutex);
    m_itemToRestoreFrom = source;
    m_isItemToRestoreFromCached = true;
    return source;
}

RestoreAvailability BaseRemovedItem::restoreAvailability() const {
    if (isRestored()) return RestoreAvailability::restored;
    const auto source = itemToRestoreFrom();
    if (!source) return RestoreAvailability::none;
    if (source.get() == this) return isTrashItem() ? RestoreAvailability::fromTrash : RestoreAvailability::fromOtherCopy;
    if (const auto kept = std::dynamic_pointer_cast<KeptItem>(source)) {
        const auto group = removeInfoDataSource();
        return group && group->fakeKeptItem() == kept ? RestoreAvailability::fromChosenFile
                                                       : RestoreAvailability::fromKeptCopy;
    }
    return RestoreAvailability::fromOtherCopy;
}

bool BaseRemovedItem::couldBeUsedAsRestoredPath(const std::string& path) const {
    if (path == originalPath()) return true;
    const auto group = removeInfoDataSource();
    return !group || !group->containsItemWithOriginalPath(path);
}

std::optional<std::string> BaseRemovedItem::pathToKeptCopyItem() const {
    const auto group = removeInfoDataSource();
    return group ? group->calculatePathToKeptCopyForRemovedItem(*this) : std::nullopt;
}

std::vector<std::string> BaseRemovedItem::pathToKeptCopyItemsArray() const {
    const auto group = removeInfoDataSource();
    return group ? group->createKeptCopyItemsArrayForRemovedItem(*this, true) : std::vector<std::string>{};
}

std::vector<std::string> BaseRemovedItem::pathToKeptCopyItemsArrayEvenNotExisting() const {
    const auto group = removeInfoDataSource();
    return group ? group->createKeptCopyItemsArrayForRemovedItem(*this, false) : std::vector<std::string>{};
}

bool BaseRemovedItem::canBeRestoredFromFileWithUrl(const std::string& path) const {
    return RestoreHelper::fileMatchesItem(path, *this);
}

void BaseRemovedItem::setFileAsFakeOriginal(const std::string& path) {
    if (const auto group = removeInfoDataSource()) group->baseRemovedItemCreateFakeOriginal(*this, path);
}

bool BaseRemovedItem::isSelected() const {
    std::lock_guard lock(m_mutex);
    return m_isSelected;
}

bool BaseRemovedItem::setIsSelected(bool selected) {
    if (selected && (isRestored() || !isRestorable())) return false;
    {
        std::lock_guard lock(m_mutex);
        if (m_isSelected == selected) return true;
        m_isSelected = selected;
    }
    m_listeners.notify(&BaseRemovedItemListener::baseRemovedItemSelectionDidChange, *this);
    return true;
}

bool BaseRemovedItem::isRestoreFailed() const {
    std::lock_guard lock(m_mutex);
    return m_isRestoreFailed;
}

std::optional<Error> BaseRemovedItem::restoreError() const {
    std::lock_guard lock(m_mutex);
    return m_restoreError;
}

void BaseRemovedItem::clearItemErrorInfo() {
    std::lock_guard lock(m_mutex);
    m_isRestoreFailed = false;
    m_restoreError.reset();
}

void BaseRemovedItem::clearCache() {
    std::lock_guard lock(m_mutex);
    m_pathToRestoredFile.reset();
    m_itemToRestoreFrom.reset();
    m_isItemToRestoreFromCached = false;
}

void BaseRemovedItem::notifyStateDidUpdate() {
    m_listeners.notify(&BaseRemovedItemListener::baseRemovedItemStateDidUpdate, *this);
}

void BaseRemovedItem::onItemWasRestoredSuccessfully(bool restored, std::optional<Error> error,
                                                    bool isToExternalFolder) {
    if (!isToExternalFolder) {
        std::lock_guard lock(m_mutex);
        m_isRestoreFailed = !restored;
        m_restoreError = restored ? std::nullopt : std::move(error);
    }
    // A restore changes what the folders hold, and so the answers of every
    // item of the group (a restored file may now serve its copies); the
    // group forgets them all.
    if (const auto group = removeInfoDataSource())
        group->baseRemovedItemCacheHasToBeCleaned(*this);
    else
        clearCache();
    notifyStateDidUpdate();
    bool selectionChanged = false;
    {
        std::lock_guard lock(m_mutex);
        selectionChanged = m_isSelected;
        m_isSelected = false;
    }
    if (isToExternalFolder && isRestored()) {
        std::lock_guard lock(m_mutex);
        m_restoreError.reset();
    }
    if (selectionChanged) m_listeners.notify(&BaseRemovedItemListener::baseRemovedItemSelectionDidChange, *this);
}

}  // namespace kestrane
