#pragma once

#include "platform/FileTime.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kestrane {

class RestoreGroup;

// One file of a log's group as the history reads it back: where it was, its
// size (-1 when the log does not say), whether it is a folder, and its
// modification date as the log gives it.
//
// Every item can be asked whether it can serve as the source of a restore
// and from where: a kept file is copied from its path; a removed file from
// where it is now (its copy in the trash is moved, a copy already restored is
// copied).
class BaseFileLogItem : public std::enable_shared_from_this<BaseFileLogItem> {
public:
    virtual ~BaseFileLogItem() = default;
    BaseFileLogItem(const BaseFileLogItem&) = delete;
    BaseFileLogItem& operator=(const BaseFileLogItem&) = delete;

    const std::string& originalPath() const { return m_originalPath; }
    std::int64_t fileSize() const { return m_fileSize; }
    bool isDirectory() const { return m_isDirectory; }
    // The text of "date_mod", empty when the record has none.
    const std::string& originalFileModificationDateString() const { return m_modificationDateString; }
    // The date it gives; none when missing or unreadable.
    std::optional<std::int64_t> originalFileModificationDate() const { return m_modificationDate; }
    // When the file was removed: the date of the log (through its group).
    std::optional<std::int64_t> removeDate() const;
    // The path with the home folder shown as "~".
    std::string originalPathDisplayString() const;

    void setRemoveInfoDataSource(std::weak_ptr<RestoreGroup> group) { m_removeInfoDataSource = std::move(group); }
    std::shared_ptr<RestoreGroup> removeInfoDataSource() const { return m_removeInfoDataSource.lock(); }

    // As the source of a restore: the path to take the content from (none when
    // it cannot serve), whether that path is to be moved rather than copied,
    // and whether it can serve at all.
    virtual std::optional<std::string> itemToRestoreSourcePath() const = 0;
    virtual bool itemToRestoreHasToBeRemovedAfterRestore() const = 0;
    virtual bool itemToRestoreCanBeUsedToRestoreFrom() const = 0;

    // The record's keys, for each kind of item.
    virtual const char* originalPathKey() const { return "path"; }
    static const char* sizeKey() { return "size"; }
    static const char* modificationDateKey() { return "date_mod"; }
    static const char* isDirectoryKey() { return "isDirectory"; }

protected:
    BaseFileLogItem() = default;
    // Reads path, size, date and folder flag from a record (an object with
    // the keys, or a bare string that is the path). False when there is no
    // path to read.
    bool readRecord(const nlohmann::json& record);
    // For an item made from a file on disk.
    void setFromFile(std::string path, std::int64_t size, bool isDirectory, platform::FileTime modified);

private:
    std::string m_originalPath;
    std::int64_t m_fileSize = -1;
    bool m_isDirectory = false;
    std::string m_modificationDateString;
    std::optional<std::int64_t> m_modificationDate;
    std::weak_ptr<RestoreGroup> m_removeInfoDataSource;
};

}  // namespace kestrane
