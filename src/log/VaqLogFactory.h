#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kestrane {

class JObject;
class RemoveLog;

// What decides where and how a removal log is written: its folder, its file
// name, and the root as it goes to disk.
class VaqLogFactory {
public:
    // "Kestrane v0.1.0": the program's name, " v" and its version.
    static std::string applicationName();
    // The user's application-support folder: $XDG_DATA_HOME (~/.local/share).
    static std::string systemLogFolderPath();
    // $XDG_DATA_HOME/Kestrane/Removed, read now (it is not made here).
    static std::string logFolderPath();
    // "yyyy-MM-dd HH.mm.ss z.log" for a log made at that moment.
    static std::string fileNameOfLogCreatedOnDate(std::int64_t seconds);
    // A new log made now.
    static std::shared_ptr<RemoveLog> createEmptyLog(std::int64_t creationDate);

    // The root as written: the same "application" and "date", and a new
    // "changes" holding the group objects (in the order the changes map
    // gives them) under "1", "2", ... with the sort positions 0, 1, ...
    // Null when "changes" holds nothing: such a log is not written.
    static std::shared_ptr<JObject> prepareForWriteRootObject(const JObject& root);
};

}  // namespace kestrane
