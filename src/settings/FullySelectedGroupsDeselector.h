#pragma once

namespace kestrane {

// Implemented by whoever holds the current scan result. Restoring the removal
// defaults forbids selecting every copy of a group again, so before that flag
// changes, every group whose selected copies (those selected through duplicate
// folders included) are all of its copies must be deselected copy by copy.
// Called on the main thread.
class FullySelectedGroupsDeselector {
public:
    virtual ~FullySelectedGroupsDeselector() = default;
    virtual void deselectFullySelectedGroups() = 0;
};

}  // namespace kestrane
