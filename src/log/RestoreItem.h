#pragma once

#include "log/BaseRemovedItem.h"
#include "platform/Trash.h"

#include <memory>
#include <optional>
#include <string>

namespace kestrane {

// A file the log says was moved to a trash ("moved to trash"): it comes back
// from there, moved, as long as it is still there.
class RestoreItem final : public BaseRemovedItem {
public:
    // Null when the record cannot be read or has no "path in trash".
    static std::shared_ptr<RestoreItem> fromRecord(const nlohmann::json& record);

    bool isTrashItem() const override { return true; }
    const char* originalPathKey() const override { return "original path"; }
    const std::string& pathInTrash() const { return m_pathInTrash; }

    // Where it is in the trash now, when it is there and passes the match
    // test: at the logged path in the trash (unless the info file there names
    // another original path: the name was used again), or else, when a file
    // manager restored it and it was thrown away again, at the entry of its
    // trash that names its original path. Otherwise where it was restored to.
    std::optional<std::string> currentItemPathToRestoreFrom() const override;
    // The trash entry of currentItemPathToRestoreFrom(), when that is in a trash.
    std::optional<platform::TrashEntry> currentTrashEntry() const;
    void clearCache() override;

    struct Key {
    private:
        friend class RestoreItem;
        Key() = default;
    };
    explicit RestoreItem(Key) {}

private:
    std::optional<platform::TrashEntry> findInTrash() const;

    std::string m_pathInTrash;
    mutable bool m_isRestoreFromCurrentPossibilityCalculated = false;
    mutable std::optional<platform::TrashEntry> m_trashEntry;
};

}  // namespace kestrane
