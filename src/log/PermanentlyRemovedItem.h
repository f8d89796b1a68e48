#pragma once

#include "log/BaseRemovedItem.h"

#include <memory>

namespace kestrane {

// A file the log says was removed permanently ("removed"): it comes back
// only from a copy, the group's kept copy first.
class PermanentlyRemovedItem final : public BaseRemovedItem {
public:
    // Null when the record cannot be read.
    static std::shared_ptr<PermanentlyRemovedItem> fromRecord(const nlohmann::json& record);

    bool isTrashItem() const override { return false; }

    struct Key {
    private:
        friend class PermanentlyRemovedItem;
        Key() = default;
    };
    explicit PermanentlyRemovedItem(Key) {}
};

}  // namespace kestrane
