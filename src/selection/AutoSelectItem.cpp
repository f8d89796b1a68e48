#include "selection/AutoSelectItem.h"

#include "duplicates/DuplicateItem.h"
#include "scan/FolderSystemItem.h"

namespace kestrane {

AutoSelectItem::AutoSelectItem(std::shared_ptr<DuplicateItem> item, const AutoSelectManager* manager)
    : m_item(std::move(item)) {
    if (manager && m_item) m_choice = manager->getChoiceUsingUserAutoSelectPathsForPath(m_item->getFileItemPath());
}

void AutoSelectItem::setChoice(AutoSelectChoice choice) {
    if (m_choice != AutoSelectChoice::neverSelect) m_choice = choice;
}

FileSystemItem* AutoSelectItem::getComponentWithIndex(std::size_t index) const {
    if (index == 0 || !m_item) return nullptr;
    FileSystemItem* component = m_item->getFileSystemItem();
    for (std::size_t level = 1; component && level < index; ++level) component = component->parent();
    return component;
}

}  // namespace kestrane
