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

}  // namespace

FolderScanWorker2::FolderScanWorker2(std::shared_ptr<FolderScanWorkerFilesCollector> filesCollector)
    : _filesCollector(std::move(filesCollector)) {}

FolderScanWorker2::~FolderScanWorker2() = default;

std::uint32_t FolderScanWorker2::entryCountForPoolRule(const DirectoryEntry& entry) {
    return entry.minimumEntryCount;
}

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
    completion();
}

void FolderScanWorker2::scanFolder(FolderScanTask& task, const SubtaskCreator& subtaskCreator) {
    if (_reader.open(task.path)) {
        task.item->markThatHasExcludeContent();  // unreadable: its content is unknown
        return;
    }
    while (_reader.readBatch([&](const DirectoryEntry& entry) { processEntry(task, entry, subtaskCreator); }) ==
           DirectoryReader::ReadResult::entries) {
        if (isCanceled()) break;
        _filesCollector->updateForced(false);
    }
    // Entries that could not be examined (a folder that may be listed but not
    // searched, or a read that failed part way) leave the folder's content
    // unknown: it must never pass for a copy of a folder that holds more.
    if (_reader.lastError()) task.item->markThatHasExcludeContent();
    _reader.close();
}

void FolderScanWorker2::processEntry(FolderScanTask& task, const DirectoryEntry& entry,
                                     const SubtaskCreator& subtaskCreator) {
    if (entry.type == DirectoryEntryType::symlink) return;
    if (entry.type == DirectoryEntryType::directory && entry.isMountPoint) return;

    const std::string_view name = entry.name;
    const bool hidden = !name.empty() && name.front() == '.';
    const bool excluded = task.excludeChecker && task.excludeChecker->checkName(name) == ExcludeTreeChecker::Excluded;
    FolderSystemItem& parent = *task.item;

    if (entry.type == DirectoryEntryType::directory) {
        const bool package = endsWith(name, ".app");
        FolderSystemItem* folder = parent.addChild(FolderSystemItem::make(name, &parent, hidden, package));
        if (excluded) {
            folder->markThatHasExcludeContent();
            return;  // in the tree, but not read
        }
        std::string path;
        path.reserve(task.path.size() + 1 + name.size());
        path.append(task.path);
        if (path.empty() || path.back() != '/') path.push_back('/');
        path.append(name);
        auto checker = task.excludeChecker ? task.excludeChecker->subCheckerByName(name) : nullptr;
        auto subTask = std::make_unique<FolderScanTask>(std::move(path), folder, std::move(checker));
        if (entryCountForPoolRule(entry) < kMinEntriesForPool)
            _stackCollection.push_back(std::move(subTask));
        else
            subtaskCreator(std::move(subTask));
        return;
    }

    if (isSkippedFileName(name)) return;
    FileSystemItem* file = parent.addChild(FileSystemItem::make(name, &parent,
                                                                static_cast<std::int64_t>(entry.allocatedSize), hidden,
                                                                static_cast<std::int64_t>(entry.logicalSize),
                                                                fileKindOf(entry.type)));
    if (excluded) file->markThatHasExcludeContent();
    _filesCollector->addFile(file);
}

}  // namespace kestrane
