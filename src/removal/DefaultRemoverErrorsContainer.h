#pragma once

#include "removal/DefaultRemoverErrorGroup.h"

#include <vector>

namespace kestrane {

class DuplicateItemsRemoverBehaviorLog;

// The error groups of one removal session. Made with the session's choice of
// Trash or permanent removal: the groups that only make sense for the Trash
// (hard-linked folders, network volumes) exist only then, and an error of
// such a group in a permanent removal goes to the unknown group. Used on
// the main queue.
class DefaultRemoverErrorsContainer {
public:
    explicit DefaultRemoverErrorsContainer(bool removeToTrash);

    bool removeToTrash() const { return m_removeToTrash; }
    // Files the error into the registered group of its type, else the unknown group.
    void addError(RemoveErrorInfo error);
    // The first group holding an error, in the order ReadOnlyAccess,
    // LockedFiles, HardLinkFolder, NetworkDisk, ReadOnlyNTFSDisk,
    // ReadOnlyDisk, Unknown; null when every group is empty.
    DefaultRemoverErrorGroup* nextGroup();
    DefaultRemoverErrorGroup& unknownErrorGroup() { return m_groups.back(); }
    // The group of a type when it is registered; null otherwise.
    DefaultRemoverErrorGroup* groupOfType(RemoveGroupType type);
    // " - Group NAME: COUNT" for every registered group and the unknown group.
    void writeGroupCounts(DuplicateItemsRemoverBehaviorLog& log) const;

private:
    bool m_removeToTrash;
    // In the order of registration, which is the order they are offered; the
    // unknown group last.
    std::vector<DefaultRemoverErrorGroup> m_groups;
};

}  // namespace kestrane
