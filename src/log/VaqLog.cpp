#include "log/VaqLog.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "log/RemoveLog.h"
#include "log/VaqLogFactory.h"
#include "platform/NoDestructor.h"
#include "platform/SafeFileOperations.h"
#include "platform/UserFolders.h"
#include "settings/Settings.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {

namespace {

std::int64_t secondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Makes the log folder: its parents as usual, the folder itself private (the
// logs list the user's files).
bool makeLogFolder(const std::string& folder) {
    const std::string parent(platform::parentPath(folder));
    if (!parent.empty() && !platform::makeFolders(parent)) return false;
    if (::mkdir(folder.c_str(), 0700) == 0) return true;
    struct stat attributes {};
    return errno == EEXIST && ::stat(folder.c_str(), &attributes) == 0 && S_ISDIR(attributes.st_mode);
}

}  // namespace

VaqLog& VaqLog::shared() {
    static platform::NoDestructor<VaqLog> instance;
    return *instance;
}

VaqLog::VaqLog() : m_now(secondsNow) {}

VaqLog::VaqLog(std::string folder) : m_fixedFolder(std::move(folder)), m_now(secondsNow) {}

VaqLog::~VaqLog() = default;

std::string VaqLog::folderForNewRun() const {
    return m_fixedFolder.empty() ? VaqLogFactory::logFolderPath() : m_fixedFolder;
}

void VaqLog::setDateSource(std::function<std::int64_t()> now) {
    std::lock_guard lock(m_mutex);
    m_now = now ? std::move(now) : std::function<std::int64_t()>(secondsNow);
}

void VaqLog::beginLogOfGroups(const std::vector<std::shared_ptr<DuplicatesGroup>>& groups) {
    std::vector<VaqLogGroup> described;
    described.reserve(groups.size());
    for (const auto& group : groups) {
        if (!group) continue;
        VaqLogGroup logGroup(group->getGroupID());
        for (const auto& item : group->getItems()) {
            if (!item || item->getFileItemPath().empty()) continue;
            logGroup.addItem(VaqLogItem{item->getFileItemPath(), item->getFileItemSize(),
                                        item->getLastModificationDate(), item->isDirectory()});
        }
        described.push_back(std::move(logGroup));
    }
    beginLogOfGroups(std::move(described));
}

void VaqLog::beginLogOfGroups(std::vector<VaqLogGroup> groups) {
    endLog();
    const bool logging = Settings::standard().logRemovedDuplicates();
    std::lock_guard lock(m_mutex);
    m_isLoggingTurnOn = logging;
    if (!logging) return;
    m_runFolder = folderForNewRun();
    for (auto& group : groups) {
        const std::uint64_t id = group.identifier();
        m_groups.insert_or_assign(id, std::move(group));
    }
}

void VaqLog::addGroup(VaqLogGroup group) {
    std::lock_guard lock(m_mutex);
    const std::uint64_t id = group.identifier();
    m_groups.insert_or_assign(id, std::move(group));
}

std::optional<VaqLogGroup> VaqLog::groupWithIdentifier(std::uint64_t identifier) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_groups.find(identifier);
    if (found == m_groups.end()) return std::nullopt;
    return found->second;
}

void VaqLog::onItemRemoved(const DuplicateItem& item) {
    const auto group = item.getGroup();
    if (group) onItemRemoved(group->getGroupID(), item.getFileItemPath());
}

void VaqLog::onItemMovedToTrash(const DuplicateItem& item, const std::string& pathInTrash) {
    const auto group = item.getGroup();
    if (group) onItemMovedToTrash(group->getGroupID(), item.getFileItemPath(), pathInTrash);
}

void VaqLog::onItemRemoved(std::uint64_t groupId, const std::string& path) { markRemoved(groupId, path, std::nullopt); }

void VaqLog::onItemMovedToTrash(std::uint64_t groupId, const std::string& path, const std::string& pathInTrash) {
    markRemoved(groupId, path, pathInTrash);
}

void VaqLog::markRemoved(std::uint64_t groupId, const std::string& path, std::optional<std::string> pathInTrash) {
    std::lock_guard lock(m_mutex);
    if (!m_isLoggingTurnOn) return;
    const auto group = m_groups.find(groupId);
    if (group == m_groups.end()) return;
    if (VaqLogItem* item = group->second.itemWithPath(path)) {
        item->isRemoved = true;
        item->pathInTrash = std::move(pathInTrash);
        m_changedSinceWrite = true;
    }
}

bool VaqLog::hasRemovedItems() const {
    std::lock_guard lock(m_mutex);
    for (const auto& [id, group] : m_groups)
        if (group.hasRemovedItems()) return true;
    return false;
}

bool VaqLog::isLoggingTurnOn() const {
    std::lock_guard lock(m_mutex);
    return m_isLoggingTurnOn;
}

std::string VaqLog::logFolderPath() const {
    const std::string folder = folderForNewRun();
    makeLogFolder(folder);
    return folder;
}

std::string VaqLog::currentLogFilePath() const {
    std::lock_guard lock(m_writeMutex);
    return m_currentFile;
}

std::optional<Error> VaqLog::claimFileName(RemoveLog& log, const std::string& folder) {
    if (!makeLogFolder(folder)) return Error::fromErrno(errno, "cannot make the folder of the removal logs", folder);
    // A run never replaces the log of another run: when a log of the same
    // second exists (two runs within one second), the name of the next
    // free second is taken. The name is claimed with O_EXCL, so two
    // processes cannot take the same one; the log's own "date" stays the
    // moment it was made.
    for (std::int64_t second = log.creationDate(); second < log.creationDate() + 3600; ++second) {
        const std::string path = platform::joinPath(folder, VaqLogFactory::fileNameOfLogCreatedOnDate(second));
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            m_currentFile = path;
            return std::nullopt;
        }
        if (errno != EEXIST) return Error::fromErrno(errno, "cannot make the removal log", path);
    }
    return Error::fromErrno(EEXIST, "every name for the removal log is taken", folder);
}

std::optional<Error> VaqLog::flush() {
    std::lock_guard writeLock(m_writeMutex);
    std::vector<VaqLogGroup> groups;
    std::shared_ptr<RemoveLog> log;
    std::string folder;
    {
        std::lock_guard lock(m_mutex);
        if (!m_isLoggingTurnOn || !m_changedSinceWrite) return std::nullopt;
        bool anyRemoved = false;
        for (const auto& [id, group] : m_groups) anyRemoved = anyRemoved || group.hasRemovedItems();
        if (!anyRemoved) return std::nullopt;
        groups.reserve(m_groups.size());
        for (const auto& [id, group] : m_groups) groups.push_back(group);
        if (!m_currentLog) m_currentLog = VaqLogFactory::createEmptyLog(m_now());
        log = m_currentLog;
        folder = m_runFolder;
        m_changedSinceWrite = false;
    }
    auto failed = [&](Error error) {
        std::lock_guard lock(m_mutex);
        m_changedSinceWrite = true;  // the next flush tries again
        return std::optional<Error>(std::move(error));
    };
    if (folder.empty()) return failed(Error::fromErrno(ENOENT, "no folder for the removal logs"));
    if (m_currentFile.empty()) {
        if (auto error = claimFileName(*log, folder)) return failed(std::move(*error));
    }
    log->clearChanges();
    for (const auto& group : groups) group.writeToLog(*log);
    const auto text = log->textToSave();
    if (!text) return std::nullopt;
    if (auto error = platform::writeFileAtomically(m_currentFile, *text, 0600)) return failed(std::move(*error));
    return std::nullopt;
}

std::optional<Error> VaqLog::endLog() {
    auto error = flush();
    std::lock_guard writeLock(m_writeMutex);
    std::lock_guard lock(m_mutex);
    if (!m_isLoggingTurnOn) return error;
    // The file of a run whose every write failed was claimed but is empty:
    // it holds nothing, so it goes.
    if (error && !m_currentFile.empty()) {
        struct stat attributes {};
        if (::stat(m_currentFile.c_str(), &attributes) == 0 && attributes.st_size == 0) ::unlink(m_currentFile.c_str());
    }
    m_groups.clear();
    m_currentLog.reset();
    m_currentFile.clear();
    m_changedSinceWrite = false;
    return error;
}

}  // namespace kestrane
