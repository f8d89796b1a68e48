#include "log/VaqLogGroup.h"

#include "log/RemoveLog.h"

namespace kestrane {

void VaqLogGroup::addItem(VaqLogItem item) {
    if (item.path.empty()) return;
    std::string path = item.path;
    m_items.insert_or_assign(std::move(path), std::move(item));
}

VaqLogItem* VaqLogGroup::itemWithPath(const std::string& path) {
    const auto found = m_items.find(path);
    return found == m_items.end() ? nullptr : &found->second;
}

bool VaqLogGroup::hasRemovedItems() const {
    for (const auto& [path, item] : m_items)
        if (item.isRemoved) return true;
    return false;
}

void VaqLogGroup::writeToLog(RemoveLog& log) const {
    const std::string id = std::to_string(m_identifier);
    for (const auto& [path, item] : m_items) {
        LogConfigurator file{item.path, item.fileItemSize, item.isDirectory, item.modificationDate};
        if (item.isRemoved && item.pathInTrash)
            log.addFileMovedToTrash(id, *item.pathInTrash, std::move(file));
        else if (item.isRemoved)
            log.addRemovedFile(id, std::move(file));
        else
            log.addKeptFile(id, std::move(file));
    }
}

}  // namespace kestrane
