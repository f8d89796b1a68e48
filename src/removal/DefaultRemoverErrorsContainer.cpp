#include "removal/DefaultRemoverErrorsContainer.h"

#include "removal/DuplicateItemsRemoverBehaviorLog.h"

namespace kestrane {

DefaultRemoverErrorsContainer::DefaultRemoverErrorsContainer(bool removeToTrash) : m_removeToTrash(removeToTrash) {
    m_groups.emplace_back(RemoveGroupType::readOnlyAccess);
    m_groups.emplace_back(RemoveGroupType::lockedFiles);
    if (removeToTrash) {
        m_groups.emplace_back(RemoveGroupType::hardLinkFolder);
        m_groups.emplace_back(RemoveGroupType::networkDisk);
    }
    m_groups.emplace_back(RemoveGroupType::readOnlyNTFSDisk);
    m_groups.emplace_back(RemoveGroupType::readOnlyDisk);
    m_groups.emplace_back(RemoveGroupType::unknown);
}

DefaultRemoverErrorGroup* DefaultRemoverErrorsContainer::groupOfType(RemoveGroupType type) {
    for (auto& group : m_groups)
        if (group.type() == type) return &group;
    return nullptr;
}

void DefaultRemoverErrorsContainer::addError(RemoveErrorInfo error) {
    DefaultRemoverErrorGroup* group = groupOfType(error.removeGroupType());
    (group != nullptr ? *group : unknownErrorGroup()).addError(std::move(error));
}

DefaultRemoverErrorGroup* DefaultRemoverErrorsContainer::nextGroup() {
    for (auto& group : m_groups)
        if (group.hasErrors()) return &group;
    return nullptr;
}

void DefaultRemoverErrorsContainer::writeGroupCounts(DuplicateItemsRemoverBehaviorLog& log) const {
    for (const auto& group : m_groups)
        log.addLine(std::string(" - Group ") + nameOfGroupType(group.type()) + ": " + std::to_string(group.errors().size()));
}

}  // namespace kestrane
