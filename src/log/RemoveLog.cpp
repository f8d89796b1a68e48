#include "log/RemoveLog.h"

#include "log/JArray.h"
#include "log/JObject.h"
#include "log/JTextValue.h"
#include "log/LogDates.h"
#include "log/LogPaths.h"
#include "log/VaqLogFactory.h"
#include "log/WriterToJSON.h"

namespace kestrane {

namespace {

const char* const kKindKeys[] = {"kept", "removed", "moved to trash"};

void setText(JObject& object, const std::string& key, std::string text, std::uint64_t order) {
    object.setValueForKey(JTextValue::withText(std::move(text)), key);
    object.setSortOrderForKey(order, key);
}

}  // namespace

RemoveLog::RemoveLog(std::int64_t creationDate) : m_creationDate(creationDate) {
    modify([creationDate](JObject& root) {
        setText(root, "application", VaqLogFactory::applicationName(), 1);
        setText(root, "date", stringWithDate(creationDate), 2);
        root.setValueForKey(std::make_shared<JObject>(), "changes");
        root.setSortOrderForKey(3, "changes");
    });
}

RemoveLog::~RemoveLog() {
    modifyAndWait([](JObject&) {});  // nothing queued outlives the log
}

std::string RemoveLog::stringWithDate(std::int64_t seconds) { return logDateText(seconds); }

std::shared_ptr<JObject> RemoveLog::groupWithIdentifier(const std::string& identifier, JObject& root) {
    bool created = false;
    auto group = root.objectForKey("changes")->objectForKey(identifier, &created);
    if (created)
        for (std::uint64_t i = 0; i < 3; ++i) group->setSortOrderForKey(i + 1, kKindKeys[i]);
    return group;
}

void RemoveLog::addKeptFile(const std::string& groupId, LogConfigurator file) {
    addRecord(Kind::kept, groupId, {}, std::move(file));
}

void RemoveLog::addRemovedFile(const std::string& groupId, LogConfigurator file) {
    addRecord(Kind::removed, groupId, {}, std::move(file));
}

void RemoveLog::addFileMovedToTrash(const std::string& groupId, std::string pathInTrash, LogConfigurator file) {
    addRecord(Kind::movedToTrash, groupId, std::move(pathInTrash), std::move(file));
}

void RemoveLog::addRecord(Kind kind, const std::string& groupId, std::string pathInTrash, LogConfigurator file) {
    modify([kind, groupId, pathInTrash = std::move(pathInTrash), file = std::move(file)](JObject& root) {
        auto group = groupWithIdentifier(groupId, root);
        auto record = std::make_shared<JObject>();
        std::uint64_t order = 1;
        constexpr std::uint64_t kBase64Orders = 100;  // after every key of the record
        if (kind == Kind::movedToTrash) {
            setLogPath(*record, "path in trash", pathInTrash, order++, kBase64Orders + 1);
            setLogPath(*record, "original path", file.path, order++, kBase64Orders + 2);
        } else {
            setLogPath(*record, "path", file.path, order++, kBase64Orders + 1);
        }
        setText(*record, "size", std::to_string(file.size), order++);
        setText(*record, "date_mod", logDateText(file.modificationDate.seconds), order++);
        setText(*record, "isDirectory", file.isDirectory ? "1" : "0", order++);
        group->arrayForKey(kKindKeys[static_cast<int>(kind)])->addValue(std::move(record));
    });
}

void RemoveLog::clearChanges() {
    modify([](JObject& root) { root.setValueForKey(std::make_shared<JObject>(), "changes"); });
}

std::optional<std::string> RemoveLog::textToSave() {
    std::optional<std::string> text;
    modifyAndWait([&](JObject& root) {
        if (const auto prepared = VaqLogFactory::prepareForWriteRootObject(root)) text = WriterToJSON().write(*prepared);
    });
    return text;
}

}  // namespace kestrane
