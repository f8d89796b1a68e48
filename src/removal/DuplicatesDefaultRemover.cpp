#include "removal/DuplicatesDefaultRemover.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "log/VaqLog.h"
#include "platform/Clock.h"
#include "platform/DirectoryReader.h"
#include "platform/FileComparison.h"
#include "platform/FileFacts.h"
#include "platform/FileFlags.h"
#include "platform/MainQueue.h"
#include "platform/OpenParent.h"
#include "platform/PermanentRemoval.h"
#include "platform/SerialQueue.h"
#include "platform/Trash.h"
#include "removal/AuthorizationManager.h"
#include "removal/DuplicatesRootRemover.h"
#include "removal/RemovalPaths.h"
#include "scan/FileSystemItem.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace kestrane {

namespace {

constexpr std::chrono::seconds kReportInterval{1};

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool existsAt(const std::string& path) {
    return platform::factsOfPath(path).has_value();
}

bool isLocked(const std::string& path) {
    const auto flags = platform::fileFlagsOfPath(path);
    return flags && flags->isLocked();
}

bool isInside(const std::string& path, const std::string& folder) {
    if (folder == "/") return path.size() > 1 && path.front() == '/';
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

// Names that do not keep a folder from counting as empty: what file managers
// of other systems leave behind.
bool isLeftBehindName(std::string_view name) {
    return name == ".DS_Store" || name == "Thumbs.db" || name == ".localized";
}

}  // namespace

std::shared_ptr<DuplicatesDefaultRemover> DuplicatesDefaultRemover::create() {
    return std::make_shared<DuplicatesDefaultRemover>();
}

DuplicatesDefaultRemover::DuplicatesDefaultRemover()
    : m_clock(platform::Clock::steady()),
      m_workingQueue(platform::SerialQueue::create("kestrane.removal.working")),
      m_removeQueue(platform::SerialQueue::create("kestrane.removal.remove")) {}

DuplicatesDefaultRemover::~DuplicatesDefaultRemover() = default;

void DuplicatesDefaultRemover::setItems(std::vector<std::shared_ptr<DuplicateItem>> items,
                                        std::weak_ptr<RemoverListener> listener, bool toTrash, bool removeEmptyFolders) {
    if (m_started) return;
    m_listener = std::move(listener);
    m_toTrash = toTrash;
    m_removeEmptyFolders = removeEmptyFolders;
    RemovalPaths removing;
    for (const auto& item : items)
        if (item) removing.add(item->getFileItemPath());
    m_entries.clear();
    m_entries.reserve(items.size());
    for (auto& item : items) {
        if (!item) continue;
        Entry entry;
        entry.path = item->getFileItemPath();
        if (const auto group = item->getGroup()) entry.groupId = group->getGroupID();
        entry.size = item->getFileItemSize();
        entry.isFolder = item->isDirectory();
        entry.check = std::make_shared<const RemovalCheck>(RemovalCheck::prepare(*item, removing));
        entry.item = std::move(item);
        m_entries.push_back(std::move(entry));
    }
}

void DuplicatesDefaultRemover::setClock(std::shared_ptr<const platform::Clock> clock) {
    if (clock) m_clock = std::move(clock);
}

bool DuplicatesDefaultRemover::startRemove() {
    if (m_started) return true;
    m_started = true;
    // A password prompt refused in an earlier removal may be shown again.
    AuthorizationManager::shared().setIsNeedAskAuthentication(true);
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const Entry& a, const Entry& b) { return a.path.size() > b.path.size(); });
    m_workingQueue->async([self = shared_from_this()] {
        self->m_lastReport = self->m_clock->now();
        self->takeNextItem();
    });
    return true;
}

void DuplicatesDefaultRemover::stopRemove() {
    m_workingQueue->async([self = shared_from_this()] { self->m_canceled = true; });
}

float DuplicatesDefaultRemover::progress() const {
    if (m_entries.empty()) return m_finished ? 1.0f : 0.0f;
    return static_cast<float>(m_processedCount) / static_cast<float>(m_entries.size());
}

std::vector<RemoveErrorInfo> DuplicatesDefaultRemover::removeErrors() const {
    return m_finished ? m_errors : std::vector<RemoveErrorInfo>{};
}

std::vector<SkippedCopy> DuplicatesDefaultRemover::skippedCopies() const {
    return m_finished ? m_skipped : std::vector<SkippedCopy>{};
}

void DuplicatesDefaultRemover::takeNextItem() {
    ++m_index;
    if (m_canceled || m_index >= static_cast<std::int64_t>(m_entries.size())) {
        startEmptyFolderStage();
        return;
    }
    const auto index = static_cast<std::size_t>(m_index);
    m_removeQueue->async([self = shared_from_this(), index] {
        Result result = self->removeEntry(self->m_entries[index]);
        self->m_workingQueue->async(
            [self, index, result = std::move(result)]() mutable { self->onItemDone(index, std::move(result)); });
    });
}

void DuplicatesDefaultRemover::onItemDone(std::size_t index, Result result) {
    const Entry& entry = m_entries[index];
    switch (result.fate) {
        case Fate::removed:
            if (m_removeEmptyFolders) m_folderCandidates.insert(parentOf(entry.path));
            m_unreported.push_back(entry.item);
            m_unreportedSize += entry.size;
            reportRemovedItems(false);
            break;
        case Fate::failed:
            m_errorsSoFar.emplace_back(entry.item, entry.path, entry.isFolder, std::move(result.error), entry.check);
            break;
        case Fate::skipped:
            m_skippedSoFar.push_back({entry.item, entry.path, std::move(result.check)});
            break;
    }
    takeNextItem();
}

void DuplicatesDefaultRemover::reportRemovedItems(bool forced) {
    const auto now = m_clock->now();
    if (!forced && m_lastReport && now - *m_lastReport <= kReportInterval) return;
    m_lastReport = now;
    auto batch = std::exchange(m_unreported, {});
    const std::uint64_t size = std::exchange(m_unreportedSize, 0);
    // The log on disk lists every copy of the batch before the batch leaves the result.
    if (!batch.empty()) VaqLog::shared().flush();
    const std::uint64_t processed =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max<std::int64_t>(m_index, 0)), m_entries.size());
    platform::MainQueue::shared().async([self = shared_from_this(), batch = std::move(batch), size, processed] {
        self->m_processedCount = std::max(self->m_processedCount, processed);
        self->m_removedSize += size;
        if (const auto listener = self->m_listener.lock()) listener->onRemoverDidRemove(*self, batch);
    });
}

void DuplicatesDefaultRemover::startEmptyFolderStage() {
    if (!m_removeEmptyFolders || m_folderCandidates.empty()) {
        finish();
        return;
    }
    std::vector<std::string> candidates(m_folderCandidates.begin(), m_folderCandidates.end());
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    m_removeQueue->async([self = shared_from_this(), candidates = std::move(candidates)] {
        self->removeEmptyFolders(candidates);
        self->m_workingQueue->async([self] { self->finish(); });
    });
}

void DuplicatesDefaultRemover::finish() {
    reportRemovedItems(true);
    platform::MainQueue::shared().async([self = shared_from_this(), errors = std::move(m_errorsSoFar),
                                         skipped = std::move(m_skippedSoFar)]() mutable {
        self->m_errors = std::move(errors);
        self->m_skipped = std::move(skipped);
        self->m_processedCount = self->m_entries.size();
        self->m_finished = true;
        if (const auto listener = self->m_listener.lock()) listener->onRemoverFinished(*self);
    });
}

DuplicatesDefaultRemover::Result DuplicatesDefaultRemover::removeEntry(const Entry& entry) {
    if (!m_comparer) m_comparer = std::make_unique<platform::ByteComparer>();
    Result result;
    result.check = entry.check->verify(*m_comparer);
    if (result.check.result != RemovalCheck::Result::passed) {
        result.fate = Fate::skipped;
        return result;
    }
    Result removal = m_toTrash ? removeToTrash(entry) : removePermanently(entry);
    // Recorded the moment the file went.
    if (removal.fate == Fate::removed) {
        if (removal.pathInTrash) VaqLog::shared().onItemMovedToTrash(entry.groupId, entry.path, *removal.pathInTrash);
        else VaqLog::shared().onItemRemoved(entry.groupId, entry.path);
    }
    removal.check = std::move(result.check);
    return removal;
}

DuplicatesDefaultRemover::Result DuplicatesDefaultRemover::removeToTrash(const Entry& entry) {
    if (!m_trash) m_trash = std::make_unique<platform::Trash>();
    Result result;
    auto moved = m_trash->moveToTrash(entry.path);
    if (moved) {
        result.fate = Fate::removed;
        result.pathInTrash = moved->trashedPath;
        return result;
    }
    // Gone by itself meanwhile: nothing is left to remove.
    result.fate = existsAt(entry.path) ? Fate::failed : Fate::removed;
    if (result.fate == Fate::failed) result.error = moved.error();
    return result;
}

DuplicatesDefaultRemover::Result DuplicatesDefaultRemover::removePermanently(const Entry& entry) {
    Result result;
    const std::string parent = parentOf(entry.path);
    const bool parentLocked = isLocked(parent);
    if (entry.isFolder && parentLocked) {
        result.fate = Fate::failed;
        result.error = Error{"removal", EPERM, "The folder could not be removed because the folder holding it is locked",
                             entry.path};
        return result;
    }
    auto error = platform::removePermanently(entry.path);
    if (!error) {
        result.fate = Fate::removed;
        return result;
    }
    // Not allowed to this user: the privileged helper removes it, unless a
    // lock would stop even the administrator.
    if ((error->code == EACCES || error->code == EPERM) && !parentLocked && !isLocked(entry.path)) {
        if (DuplicatesRootRemover::shared().removeFileAtPath(entry.path) || !existsAt(entry.path)) {
            result.fate = Fate::removed;
            return result;
        }
    }
    result.fate = Fate::failed;
    result.error = std::move(error);
    return result;
}

bool DuplicatesDefaultRemover::mayRemoveEmptyFolder(const std::string& path) const {
    for (const auto& chosen : m_chosenFolders)
        if (isInside(path, chosen)) return true;
    return false;
}

void DuplicatesDefaultRemover::removeEmptyFolders(const std::vector<std::string>& candidates) {
    if (!m_trash && m_toTrash) m_trash = std::make_unique<platform::Trash>();
    for (const auto& folder : candidates) {
        if (!mayRemoveEmptyFolder(folder)) continue;
        std::optional<Error> error;
        const auto parent = platform::OpenParent::open(folder, error);
        if (!parent) continue;
        const int fd = ::openat(parent->fd(), parent->name(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        const auto facts = platform::factsOfDescriptor(fd);
        std::vector<std::string> leftBehind;
        bool empty = facts && !facts->isMountRoot;
        platform::DirectoryReader reader;
        if (empty && !reader.openAt(fd, ".", folder)) {
            while (empty && reader.readBatch([&](const platform::DirectoryEntry& entry) {
                       if (isLeftBehindName(entry.name) && entry.type == platform::DirectoryEntryType::regular)
                           leftBehind.emplace_back(entry.name);
                       else
                           empty = false;
                   }) == platform::DirectoryReader::ReadResult::entries) {
            }
            empty = empty && !reader.lastError();
        } else {
            empty = false;
        }
        reader.close();
        if (!empty) {
            ::close(fd);
            continue;
        }
        if (m_toTrash) {
            ::close(fd);
            m_trash->moveToTrash(folder);  // what comes of it changes nothing
            continue;
        }
        // The names that do not count, then the folder, which fails (and
        // stays) when anything else appeared in it meanwhile.
        bool removed = true;
        for (const auto& name : leftBehind) removed = ::unlinkat(fd, name.c_str(), 0) == 0 && removed;
        ::close(fd);
        // An empty folder this user may not remove is left: the privileged
        // helper removes whole trees, and something may have appeared in it.
        if (removed) ::unlinkat(parent->fd(), parent->name(), AT_REMOVEDIR);
    }
}

}  // namespace kestrane
