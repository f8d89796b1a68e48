#include "log/BaseFileLogItem.h"

#include "log/LogDates.h"
#include "log/LogPaths.h"
#include "log/RestoreGroup.h"
#include "platform/Text.h"
#include "platform/UserFolders.h"

#include <nlohmann/json.hpp>

namespace kestrane {

namespace {

// "4096" -> 4096; anything else (a sign, letters, nothing) -> -1.
std::int64_t sizeFromText(const std::string& text) {
    if (text.empty() || text.size() > 19) return -1;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

bool BaseFileLogItem::readRecord(const nlohmann::json& record) {
    if (record.is_string()) {
        m_originalPath = record.get<std::string>();
    } else if (record.is_object()) {
        auto path = logPath(record, originalPathKey());
        if (!path) return false;
        m_originalPath = std::move(*path);
        if (const auto size = record.find(sizeKey()); size != record.end()) {
            if (size->is_string()) m_fileSize = sizeFromText(size->get<std::string>());
            else if (size->is_number_unsigned()) m_fileSize = static_cast<std::int64_t>(size->get<std::uint64_t>());
            else if (size->is_number_integer()) m_fileSize = size->get<std::int64_t>();
        }
        if (const auto date = record.find(modificationDateKey()); date != record.end() && date->is_string()) {
            m_modificationDateString = date->get<std::string>();
            m_modificationDate = parseLogDate(m_modificationDateString);
        }
        if (const auto folder = record.find(isDirectoryKey()); folder != record.end()) {
            m_isDirectory = folder->is_string() ? folder->get<std::string>() == "1"
                                                : (folder->is_boolean() && folder->get<bool>());
            return !m_originalPath.empty();
        }
    } else {
        return false;
    }
    if (m_originalPath.empty()) return false;
    // No folder flag: a path without an extension is taken for a folder.
    m_isDirectory = platform::pathExtension(m_originalPath).empty();
    return true;
}

void BaseFileLogItem::setFromFile(std::string path, std::int64_t size, bool isDirectory, platform::FileTime modified) {
    m_originalPath = std::move(path);
    m_fileSize = size;
    m_isDirectory = isDirectory;
    m_modificationDate = modified.seconds;
    m_modificationDateString = logDateText(modified.seconds);
}

std::optional<std::int64_t> BaseFileLogItem::removeDate() const {
    const auto group = m_removeInfoDataSource.lock();
    return group ? group->baseFileLogItemRemoveDate() : std::nullopt;
}

std::string BaseFileLogItem::originalPathDisplayString() const {
    const std::string home = platform::homeFolder();
    if (home.size() > 1 && m_originalPath.starts_with(home) &&
        (m_originalPath.size() == home.size() || m_originalPath[home.size()] == '/'))
        return "~" + m_originalPath.substr(home.size());
    return m_originalPath;
}

}  // namespace kestrane
