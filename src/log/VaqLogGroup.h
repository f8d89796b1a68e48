#pragma once

#include "platform/FileTime.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace kestrane {

class RemoveLog;

// One file of a group taking part in a removal run, as the recorder keeps it.
struct VaqLogItem {
    std::string path;
    std::uint64_t fileItemSize = 0;
    platform::FileTime modificationDate;
    bool isDirectory = false;
    bool isRemoved = false;
    std::optional<std::string> pathInTrash;  // where it went, when it went to a trash
};

// One duplicates group taking part in a removal run: its files by path.
class VaqLogGroup {
public:
    explicit VaqLogGroup(std::uint64_t identifier) : m_identifier(identifier) {}

    std::uint64_t identifier() const { return m_identifier; }
    const std::map<std::string, VaqLogItem>& items() const { return m_items; }
    // Stores the item under its path (replacing one with the same path); an
    // item without a path is not stored.
    void addItem(VaqLogItem item);
    VaqLogItem* itemWithPath(const std::string& path);
    bool hasRemovedItems() const;

    // Writes every item into the log under the group's id in decimal: moved
    // to the trash, removed permanently, or kept.
    void writeToLog(RemoveLog& log) const;

private:
    std::uint64_t m_identifier;
    std::map<std::string, VaqLogItem> m_items;
};

}  // namespace kestrane
