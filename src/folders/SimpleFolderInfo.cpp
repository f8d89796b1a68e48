#include "folders/SimpleFolderInfo.h"

#include "scan/FolderSystemItem.h"

#include <deque>

namespace kestrane {

bool SimpleFolderInfo::isCanBeDuplicate() const {
    const FolderSystemItem& folder = *m_pFolderItem;
    if (folder.hasExcludeContent()) return false;
    if (folder.isCheckedForDuplicates() && folder.getDuplicateItem() == nullptr) return false;
    // Breadth first: anything below already known to be unique rules the folder out.
    std::deque<const FolderSystemItem*> pending{&folder};
    while (!pending.empty()) {
        const FolderSystemItem* current = pending.front();
        pending.pop_front();
        for (const auto& child : current->childrenArray()) {
            if (child->isCheckedForDuplicates() && child->getDuplicateItem() == nullptr) return false;
            if (child->isDir()) pending.push_back(static_cast<const FolderSystemItem*>(child.get()));
        }
    }
    return true;
}

std::optional<std::string> SimpleFolderInfo::buildIdentifierForMethod(int method) const {
    if (method != 1) return std::nullopt;
    return buildSizeAndChildrenCountIdentifier();
}

std::string SimpleFolderInfo::buildSizeAndChildrenCountIdentifier() const {
    return std::to_string(m_pFolderItem->logicalSize()) + "_" +
           std::to_string(m_pFolderItem->getCountOfDeepChildren());
}

}  // namespace kestrane
