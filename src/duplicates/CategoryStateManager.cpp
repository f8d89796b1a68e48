#include "duplicates/CategoryStateManager.h"

namespace kestrane {

CategoryStateManager& CategoryStateManager::sharedManager() {
    static CategoryStateManager manager;
    return manager;
}

void CategoryStateManager::setDuplicateGroupForType(const std::shared_ptr<DuplicatesGroup>& group, FileCategory type) {
    std::lock_guard lock(m_mutex);
    Remembered& remembered = m_categories[type];
    if (remembered.group.lock() != group) remembered.item.reset();
    remembered.group = group;
}

void CategoryStateManager::setFileItemForType(const std::shared_ptr<DuplicateItem>& item, FileCategory type) {
    std::lock_guard lock(m_mutex);
    m_categories[type].item = item;
}

CategoryStateManager::Items CategoryStateManager::getItemsForType(FileCategory type) const {
    std::lock_guard lock(m_mutex);
    const Remembered& remembered = m_categories[type];
    return {remembered.group.lock(), remembered.item.lock()};
}

void CategoryStateManager::removeCategoryItems() {
    std::lock_guard lock(m_mutex);
    m_categories = {};
}

std::optional<std::string> CategoryStateManager::heapsMainFolderItem() const {
    std::lock_guard lock(m_mutex);
    return m_heapsMainFolder;
}

std::optional<std::string> CategoryStateManager::heapsSecondFolderItem() const {
    std::lock_guard lock(m_mutex);
    return m_heapsSecondFolder;
}

void CategoryStateManager::setHeapsFolderItems(std::string mainFolderPath, std::string secondFolderPath) {
    std::lock_guard lock(m_mutex);
    m_heapsMainFolder = std::move(mainFolderPath);
    m_heapsSecondFolder = std::move(secondFolderPath);
}

void CategoryStateManager::removeHeapsItems() {
    std::lock_guard lock(m_mutex);
    m_heapsMainFolder.reset();
    m_heapsSecondFolder.reset();
}

std::optional<std::int32_t> CategoryStateManager::lastAutoSelectState() const {
    std::lock_guard lock(m_mutex);
    return m_lastAutoSelectState;
}

void CategoryStateManager::setLastAutoSelectState(std::optional<std::int32_t> state) {
    std::lock_guard lock(m_mutex);
    m_lastAutoSelectState = state;
}

}  // namespace kestrane
