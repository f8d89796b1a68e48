#pragma once

#include "log/BaseFileLogItem.h"

#include <memory>
#include <mutex>
#include <optional>

namespace kestrane {

// A file of a group that was kept when its copies were removed: its content
// was identical to theirs, so as long as it is still there, unchanged (same
// size, same modification date), it can be copied back in their place. A
// kept item made from a file the user chose stands for the group's kept
// copy in the same way.
class KeptItem final : public BaseFileLogItem {
public:
    // itemFromJsonObject: null when the record cannot be read.
    static std::shared_ptr<KeptItem> fromRecord(const nlohmann::json& record);
    // initWithFileURL: the file's size, date and folder flag as they are now;
    // null when it cannot be examined.
    static std::shared_ptr<KeptItem> fromFile(const std::string& path);

    // Whether a file exists at its path and passes the match test for
    // itself (cached until clearCache).
    bool canBeUsedToRestore() const;
    void clearCache();

    std::optional<std::string> itemToRestoreSourcePath() const override;
    bool itemToRestoreHasToBeRemovedAfterRestore() const override { return false; }
    bool itemToRestoreCanBeUsedToRestoreFrom() const override { return canBeUsedToRestore(); }

    struct Key {
    private:
        friend class KeptItem;
        Key() = default;
    };
    explicit KeptItem(Key) {}

private:
    mutable std::mutex m_mutex;
    mutable std::optional<bool> m_canBeUsedToRestore;
};

}  // namespace kestrane
