#include "app/SIFTFolderPresentation.h"

#include "app/DuplicateItemPresentation.h"
#include "app/RemoveItemPresentationContainer.h"
#include "scan/FileSystemItem.h"

#include <algorithm>
#include <unordered_set>

namespace kestrane {

SIFTFolderPresentation::SIFTFolderPresentation(const FileSystemItem* folderItem, std::optional<std::string> name,
                                               std::optional<std::string> path)
    : m_folderItem(folderItem) {
    if (path)
        m_path = std::move(*path);
    else if (folderItem)
        m_path = folderItem->path();
    if (name)
        m_name = std::move(*name);
    else if (folderItem)
        m_name = std::string(folderItem->name());
}

void SIFTFolderPresentation::addFile(std::shared_ptr<DuplicateItemPresentation> file) {
    const std::lock_guard lock(m_lock);
    m_files.push_back(std::move(file));
}

std::shared_ptr<SIFTFolderPresentation> SIFTFolderPresentation::addFolder(
    std::shared_ptr<SIFTFolderPresentation> folder) {
    const std::lock_guard lock(m_lock);
    const auto [found, added] = m_foldersByName.try_emplace(folder->name(), folder);
    if (added) m_folders.push_back(std::move(folder));
    return found->second;
}

std::shared_ptr<SIFTFolderPresentation> SIFTFolderPresentation::folderWithName(std::string_view name) const {
    const auto found = m_foldersByName.find(name);
    return found == m_foldersByName.end() ? nullptr : found->second;
}

void SIFTFolderPresentation::prepareForUse() {
    const std::lock_guard lock(m_lock);
    for (const auto& folder : m_folders) folder->prepareForUse();
    m_subItems.clear();
    m_subItems.reserve(m_files.size() + m_folders.size());
    m_subItems.insert(m_subItems.end(), m_files.begin(), m_files.end());
    m_subItems.insert(m_subItems.end(), m_folders.begin(), m_folders.end());
}

bool SIFTFolderPresentation::removeRemovedSubItems(RemoveItemPresentationContainer& container) {
    std::unordered_set<const ItemPresentation*> gone;
    for (const auto& file : m_files)
        if (container.shouldDelete(*file)) gone.insert(file.get());
    for (const auto& folder : m_folders)
        if (container.shouldDelete(*folder)) gone.insert(folder.get());
    if (gone.empty()) return false;

    const auto isGone = [&](const auto& presentation) { return gone.contains(presentation.get()); };
    std::erase_if(m_files, isGone);
    std::erase_if(m_folders, isGone);
    std::erase_if(m_foldersByName, [&](const auto& entry) { return gone.contains(entry.second.get()); });
    std::erase_if(m_subItems, isGone);
    notifyListenersThatPresentationChanged();
    return true;
}

}  // namespace kestrane
