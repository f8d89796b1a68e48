#include "scan/FolderScanWorker2.h"

#include "scan/ExcludeTreeChecker.h"
#include "scan/FolderScanTask.h"
#include "scan/FolderScanWorkerFilesCollector.h"
#include "scan/FolderSystemItem.h"

#include <string_view>

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

// Names of files with several names are handed to the scan context this many at a time.
constexpr std::size_t kHardLinkBatch = 256;

}  // namespace

FolderScanWorker2::FolderScanWorker2(std::shared_ptr<FolderScanWorkerFilesCollector> filesCollector,
                                     std::shared_ptr<const FolderScanContext> context,
                                     std::shared_ptr<const void> treeOwner)
    : _filesCollector(std::move(filesCollector)), _context(std::move(context)), _treeOwner(std::move(treeOwner)) {}

FolderScanWorker2::~FolderScanWorker2() = default;

void FolderScanWorker2::processTaskWithSubtaskCreatorAndCompletion(std::unique_ptr<ObjectTask> task,
                                                                   SubtaskCreator subtaskCreator,
                                                                   Completion completion) {
    _stackCollection.clear();
    if (auto* folderTask = dynamic_cast<FolderScanTask*>(task.get())) {
        task.release();
        _stackCollection.emplace_back(folderTask);
    }
    while (!_stackCollection.empty() && !isCanceled()) {
        std::unique_ptr<FolderScanTask> next = std::move(_stackCollection.back());
        _stackCollection.pop_back();
        scanFolder(*next, subtaskCreator);
    }
    _stackCollection.clear();
    if (_context) _context->hardLinks->add(_hardLinkNames);
    completion();
}

void FolderScanWorker2::scanFolder(FolderScanTask& task, const SubtaskCreator& subtaskCreator) {
    if (auto error = _reader.open(task.path)) {
        task.item->markThatHasExcludeContent();  // unreadable: its content is unknown
        if (_context) _context->problems->add(task.path, ScanProblemKind::unreadableFolder, error->code);
        return;
    }
    _foundFolders.clear();
    while (_reader.readBatch([&](const DirectoryEntry& entry) { processEntry(task, entry); }) ==
           DirectoryReader::ReadResult::entries) {
        if (isCanceled()) break;
        _filesCollector->updateForced(false);
    }
    const bool share = _reader.entriesRead() >= kMinEntriesForPool;
    for (auto& folder : _foundFolders) {
        if (share)
            subtaskCreator(std::move(folder));
        else
            _stackCollection.push_back(std::move(folder));
    }
    _foundFolders.clear();
    // Entries that could not be examined (a folder that may be listed but not
    // searched, or a read that failed part way) leave the folder's content
    // unknown: it must never pass for a copy of a folder that holds more.
    if (const auto& error = _reader.lastError()) {
        task.item->markThatHasExcludeContent();
        if (_context) _context->problems->add(task.path, ScanProblemKind::partlyReadFolder, error->code);
    }
    _reader.close();
}

void FolderScanWorker2::noteProblem(const FolderScanTask& task, std::string_view name, ScanProblemKind kind,
                                    int error) {
    if (!_context) return;
    std::string path;
    path.reserve(task.path.size() + 1 + name.size());
    path.append(task.path);
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(name);
    _context->problems->add(std::move(path), kind, error);
}

bool FolderScanWorker2::isChosenFolder(const DirectoryEntry& entry) const {
    if (!_context) return false;
    const platform::FileIdentity identity{entry.device, entry.inode};
    for (const auto& chosen : _context->chosenFolders)
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
    const bool excluded = task.excludeChecker && task.excludeChecker->checkName(name) == ExcludeTreeChecker::Excluded;
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
        if (hidden && _context && !_context->includeHidden && !parent.isTopHiddenFlag())
            noteProblem(task, name, ScanProblemKind::hiddenFolderLeftOut);
        std::string path;
        path.reserve(task.path.size() + 1 + name.size());
        path.append(task.path);
        if (path.empty() || path.back() != '/') path.push_back('/');
        path.append(name);
        auto checker = task.excludeChecker ? task.excludeChecker->subCheckerByName(name) : nullptr;
        _foundFolders.push_back(std::make_unique<FolderScanTask>(std::move(path), folder, std::move(checker)));
        return;
    }

    if (isSkippedFileName(name)) return;
    FileSystemItem* file = parent.addChild(FileSystemItem::make(name, &parent,
                                                                static_cast<std::int64_t>(entry.allocatedSize), hidden,
                                                                static_cast<std::int64_t>(entry.logicalSize),
                                                                fileKindOf(entry.type)));
    if (excluded) file->markThatHasExcludeContent();
    if (_context && entry.linkCount > 1 && entry.type == DirectoryEntryType::regular) {
        _hardLinkNames.push_back({file, {entry.device, entry.inode}});
        if (_hardLinkNames.size() >= kHardLinkBatch) _context->hardLinks->add(_hardLinkNames);
    }
    _filesCollector->addFile(file);
}

}  // namespace kestrane
