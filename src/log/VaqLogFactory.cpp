#include "log/VaqLogFactory.h"

#include "log/JObject.h"
#include "log/LogDates.h"
#include "log/RemoveLog.h"
#include "platform/UserFolders.h"

namespace kestrane {

std::string VaqLogFactory::applicationName() {
    // The short version and the build version are one on Linux, so the
    // " (build)" part never shows.
    return std::string("Kestrane v") + KESTRANE_VERSION;
}

std::string VaqLogFactory::systemLogFolderPath() { return platform::dataHome(); }

std::string VaqLogFactory::logFolderPath() {
    return platform::joinPath(platform::applicationSupportFolder(), "Removed");
}

std::string VaqLogFactory::fileNameOfLogCreatedOnDate(std::int64_t seconds) { return logFileDateText(seconds) + ".log"; }

std::shared_ptr<RemoveLog> VaqLogFactory::createEmptyLog(std::int64_t creationDate) {
    return std::make_shared<RemoveLog>(creationDate);
}

std::shared_ptr<JObject> VaqLogFactory::prepareForWriteRootObject(const JObject& root) {
    const auto changesValue = root.valueForKey("changes");
    const JObject* changes = changesValue ? changesValue->asObject() : nullptr;
    if (!changes || changes->count() == 0) return nullptr;
    auto prepared = std::make_shared<JObject>();
    for (const char* key : {"application", "date"}) {
        prepared->setValueForKey(root.valueForKey(key), key);
        prepared->setSortOrderForKey(root.sortOrderValueForKey(key), key);
    }
    auto numbered = std::make_shared<JObject>();
    std::uint64_t position = 0;
    for (const auto& group : changes->allValues()) {
        numbered->setValueForKey(group, std::to_string(position + 1));
        numbered->setSortOrderForKey(position, std::to_string(position + 1));
        ++position;
    }
    prepared->setValueForKey(numbered, "changes");
    prepared->setSortOrderForKey(root.sortOrderValueForKey("changes"), "changes");
    return prepared;
}

}  // namespace kestrane
