#include "folders/FolderDuplicatesInfo.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "scan/FolderSystemItem.h"

namespace kestrane {

FolderDuplicatesInfo::FolderDuplicatesInfo(FolderSystemItem* folder) : m_pFolder(folder) {
    updateData();
}

void FolderDuplicatesInfo::updateData() {
    resetGroupsInfo();
    m_nCountOfSubFolders = 0;
    m_nCountOfUniqueItems = 0;
    m_nCountOfItems = m_pFolder ? m_pFolder->numberOfChildren() : 0;
    m_nCountOfNotCheckedItems = m_nCountOfItems;
    if (m_pFolder == nullptr) return;
    for (const auto& child : m_pFolder->childrenArray()) {
        updateDataAfterProcessedItem(child.get());
        if (child->isDir()) ++m_nCountOfSubFolders;
    }
}

void FolderDuplicatesInfo::resetGroupsInfo() {
    m_arrGroupInfo.clear();
    m_nCountOfDuplicatesGroups = 0;
}

void FolderDuplicatesInfo::updateDataAfterProcessedItem(const FileSystemItem* item) {
    if (item == nullptr || m_pFolder == nullptr || item->parent() != m_pFolder || !item->isCheckedForDuplicates())
        return;
    if (m_nCountOfNotCheckedItems > 0) --m_nCountOfNotCheckedItems;
    const DuplicateItem* entry = item->getDuplicateItem();
    const auto group = entry ? entry->getGroup() : nullptr;
    if (!group) {
        // Compared, and nothing found like it.
        ++m_nCountOfUniqueItems;
        return;
    }
    auto [it, isNew] = m_arrGroupInfo.try_emplace(group->getGroupID(), 0);
    ++it->second;
    if (isNew) ++m_nCountOfDuplicatesGroups;
}

int FolderDuplicatesInfo::getCountOfDuplicatesInGroupWithID(std::uint64_t groupID) const {
    const auto it = m_arrGroupInfo.find(groupID);
    return it == m_arrGroupInfo.end() ? 0 : it->second;
}

bool FolderDuplicatesInfo::isEqualToFolderInfo(const FolderDuplicatesInfo& other) const {
    if (m_pFolder == nullptr || other.m_pFolder == nullptr) return false;
    if (isHasUniqueItems() || other.isHasUniqueItems()) return false;
    if (m_nCountOfNotCheckedItems != other.m_nCountOfNotCheckedItems || m_nCountOfItems != other.m_nCountOfItems ||
        m_nCountOfSubFolders != other.m_nCountOfSubFolders ||
        m_nCountOfDuplicatesGroups != other.m_nCountOfDuplicatesGroups)
        return false;
    for (const auto& [groupID, count] : m_arrGroupInfo)
        if (other.getCountOfDuplicatesInGroupWithID(groupID) != count) return false;
    // Empty folders are told apart by their names only.
    if (m_pFolder->numberOfChildren() == 0 && other.m_pFolder->numberOfChildren() == 0)
        return m_pFolder->name() == other.m_pFolder->name();
    return true;
}

}  // namespace kestrane
