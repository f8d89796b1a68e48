#include "scan/FolderScanWorker2.h"

#include "scan/FolderSystemItem.h"

#include <string_view>
#include <utility>

namespace kestrane {

using platform::DirectoryEntry;
using platform::DirectoryEntryType;
using platform::DirectoryReader;

namespace {

FileKind fileKindOf(DirectoryEntryType type) {
    switch (type) {
        case DirectoryEntryType::regular: return FileKind::regular;
        case DirectoryEntryType::fifo: return FileKind::fifo;
        case DirectoryEntryType::socket: return FileKind::socket;
        case DirectoryEntryType::charDevice: return FileKind::characterDevice;
        case DirectoryEntryType::blockDevice: return FileKind::blockDevice;
        default: return FileKind::other;
    }
}

// Finder droppings and similar files that never take part in a scan.
bool isSkippedFileName(std::string_view name) {
    return name == ".DS_Store" || name == "Thumbs.db" || name == ".localized";
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string childPath(const std::string& folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(name);
    return path;
}

// Names of files with several names are handed to the scan context this many at a time.
constexpr std::size_t kHardLinkBatch = 256;

}  // namespace

FolderScanWorker2::FolderScanWorker2(const platform::DispatchQueue& queue,
                                     std::shared_ptr<const FolderScanContext> context,
                                     const std::atomic<bool>& canceled, DeliverFiles deliverFiles)
    : m_queueChecker(queue),
      m_context(std::move(context)),
      m_canceled(canceled),
      m_deliverFiles(std::move(deliverFiles)) {
    m_files.reserve(kMinFilesForDelivery);
}

std::vector<FolderScanTask> FolderScanWorker2::read(FolderScanTask task, const ShareFolders& share) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_stack.clear();
    m_stack.push_back(std::move(task));
    while (!m_stack.empty() && !m_canceled.load(std::memory_order_relaxed)) {
        FolderScanTask next = std::move(m_stack.back());
        m_stack.pop_back();
        readFolder(next, share);
    }
    m_stack.clear();
    if (m_context) m_context->hardLinks->add(m_hardLinkNames);
    return std::exchange(m_shared, {});
}

void FolderScanWorker2::deliverFiles() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_files.empty()) return;
    m_deliverFiles(std::exchange(m_files, {}));
    m_files.reserve(kMinFilesForDelivery);
}

void FolderScanWorker2::readFolder(FolderScanTask& task, const ShareFolders& share) {
    if (auto error = m_reader.open(task.path)) {
        task.item->markThatHasExcludeContent();  // unreadable: its content is unknown
        if (m_context) m_context->problems->add(task.path, ScanProblemKind::unreadableFolder, error->code);
        return;
    }
    m_found.clear();
    while (m_reader.readBatch([&](const DirectoryEntry& entry) { processEntry(task, entry); }) ==
           DirectoryReader::ReadResult::entries) {
        if (m_canceled.load(std::memory_order_relaxed)) break;
        if (m_files.size() >= kMinFilesForDelivery) deliverFiles();
    }
    const bool shareSubFolders = m_reader.entriesRead() >= kMinEntriesForPool;
    for (auto& folder : m_found) {
        if (!shareSubFolders) {
            m_stack.push_back(std::move(folder));
            continue;
        }
        m_shared.push_back(std::move(folder));
        if (m_shared.size() >= kSharedFoldersBunch) share(std::exchange(m_shared, {}));
    }
    m_found.clear();
    // Entries that could not be examined (a folder that may be listed but not
    // searched, or a read that failed part way) leave the folder's content
    // unknown: it must never pass for a copy of a folder that holds more.
    if (const auto& error = m_reader.lastError()) {
        task.item->markThatHasExcludeContent();
        if (m_context) m_context->problems->add(task.path, ScanProblemKind::partlyReadFolder, error->code);
    }
    m_reader.close();
}

void FolderScanWorker2::noteProblem(const FolderScanTask& task, std::string_view name, ScanProblemKind kind,
                                    int error) {
    if (m_context) m_context->problems->add(childPath(task.path, name), kind, error);
}

bool FolderScanWorker2::isChosenFolder(const DirectoryEntry& entry) const {
    if (!m_context) return false;
    const platform::FileIdentity identity{entry.device, entry.inode};
    for (const auto& chosen : m_context->chosenFolders)
        if (chosen == identity) return true;
    return false;
}

void FolderScanWorker2::processEntry(FolderScanTask& task, const DirectoryEntry& entry) {
    if (entry.type == DirectoryEntryType::symlink) return;
    const std::string_view name = entry.name;
    if (entry.isMountPoint) {
        // Another file system (or a file bind-mounted here): never entered.
        noteProblem(task, name, ScanProblemKind::mountNotEntered);
        return;
    }

    const bool hidden = !name.empty() && name.front() == '.';
    const bool excluded = task.excludeChecker.checkName(name) == ExcludeTreeChecker::Excluded;
    FolderSystemItem& parent = *task.item;

    if (entry.type == DirectoryEntryType::directory) {
        const bool package = endsWith(name, ".app");
        FolderSystemItem* folder = parent.addChild(FolderSystemItem::make(name, &parent, hidden, package));
        if (excluded || isChosenFolder(entry)) {
            // In the tree, but not read: excluded, or one of the chosen folders
            // seen again (a bind mount), which is read as itself.
            folder->markThatHasExcludeContent();
            noteProblem(task, name, excluded ? ScanProblemKind::excludedFolder : ScanProblemKind::sameFolderReadOnce);
            return;
        }
        if (hidden && m_context && !m_context->includeHidden && !parent.isTopHiddenFlag())
            noteProblem(task, name, ScanProblemKind::hiddenFolderLeftOut);
        m_found.push_back({childPath(task.path, name), folder, task.excludeChecker.subCheckerByName(name)});
        return;
    }

    if (isSkippedFileName(name)) return;
    FileSystemItem* file = parent.addChild(FileSystemItem::make(name, &parent,
                                                                static_cast<std::int64_t>(entry.allocatedSize), hidden,
                                                                static_cast<std::int64_t>(entry.logicalSize),
                                                                fileKindOf(entry.type)));
    if (excluded) file->markThatHasExcludeContent();
    if (m_context && entry.linkCount > 1 && entry.type == DirectoryEntryType::regular) {
        m_hardLinkNames.push_back({file, {entry.device, entry.inode}});
        if (m_hardLinkNames.size() >= kHardLinkBatch) m_context->hardLinks->add(m_hardLinkNames);
    }
    m_files.push_back(file);
}

}  // namespace kestrane
