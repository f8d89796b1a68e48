#include "folders/FSFolderDescription.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"

#include <unordered_set>

namespace kestrane {

FSFolderDuplicates::FSFolderDuplicates(std::shared_ptr<DuplicatesGroup> owner,
                                       InternalDuplicatesByGroupSeparator::Items internal)
    : group(std::move(owner)), internalItems(std::move(internal)) {
    std::unordered_set<const DuplicateItem*> inside;
    for (const auto& item : internalItems) inside.insert(item.get());
    if (group)
        for (const auto& item : group->getItems())
            if (!inside.contains(item.get())) externalItems.push_back(item);
}

FSFolderDescription::FSFolderDescription(const FolderSystemItem* folder) {
    const InternalDuplicatesByGroupSeparator separator(folder,
                                                       InternalDuplicatesByGroupSeparator::CollectionType::description);
    separator.enumerate([&](const std::shared_ptr<DuplicatesGroup>& group,
                            const InternalDuplicatesByGroupSeparator::Items& items) {
        m_duplicates.emplace_back(group, items);
    });
    m_otherFiles = separator.otherItems();
    m_countOfFullGroups = separator.countOfRemovedFullGroups();
}

std::string FSFolderDescription::duplicateFilesDescription() const {
    if (!m_duplicates.empty()) return {};
    std::string text = kNoDuplicateFilesText;
    if (m_countOfFullGroups >= 1) text += kDuplicatesInSubfoldersText;
    return text;
}

std::string FSFolderDescription::otherFilesDescription() const {
    return m_otherFiles.empty() ? kNoOtherFilesText : std::string();
}

}  // namespace kestrane
