#pragma once

#include "log/Log.h"
#include "platform/FileTime.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kestrane {

class JObject;

// The description of one file handed to a removal log.
struct LogConfigurator {
    std::string path;
    std::uint64_t size = 0;
    bool isDirectory = false;
    platform::FileTime modificationDate;
};

// The log of one removal run. Its root holds, in this order, "application"
// (the program and its version), "date" (when the log was made) and
// "changes": one object per duplicates group, under the group's id, with up
// to three arrays in this order: "kept" (files of the group that stayed),
// "removed" (removed permanently) and "moved to trash". A kept or removed
// record holds "path", "size", "date_mod", "isDirectory"; a record of the
// trash "path in trash", "original path", "size", "date_mod", "isDirectory".
// Every value is a string; a path that is not UTF-8 adds its base64 member
// at the end of the record (LogPaths.h).
class RemoveLog final : public Log {
public:
    // A log made at `creationDate` (seconds since 1970, UTC), its root filled.
    explicit RemoveLog(std::int64_t creationDate);
    ~RemoveLog() override;

    std::int64_t creationDate() const { return m_creationDate; }

    // inGroupWithId:fileNotRemovedWithConfigurator: and its siblings: append
    // a record to the group's array of that kind (group and array made when
    // missing). Queued on the work queue.
    void addKeptFile(const std::string& groupId, LogConfigurator file);
    void addRemovedFile(const std::string& groupId, LogConfigurator file);
    void addFileMovedToTrash(const std::string& groupId, std::string pathInTrash, LogConfigurator file);
    // Empties "changes", so that a run can be written again as it now stands.
    void clearChanges();

    // After everything queued: the JSON text of the file, with the groups
    // numbered "1", "2", ... (VaqLogFactory::prepareForWriteRootObject); none
    // when no group was added.
    std::optional<std::string> textToSave();

    // The object of a group under "changes" (made when missing, with the sort
    // positions of its three arrays). Work queue only.
    static std::shared_ptr<JObject> groupWithIdentifier(const std::string& identifier, JObject& root);
    // "yyyy-MM-dd HH:mm:ss z".
    static std::string stringWithDate(std::int64_t seconds);

private:
    enum class Kind { kept, removed, movedToTrash };
    void addRecord(Kind kind, const std::string& groupId, std::string pathInTrash, LogConfigurator file);

    const std::int64_t m_creationDate;
};

}  // namespace kestrane
